// The sink a wrapper connects to its component's events, and where the events go: the parent
// window, on the parent's thread.
#pragma once

#include "outside/qelmfc/Wnd.h"
#include "platform/windows.h"

#include <memory>
#include <mutex>
#include <string>

namespace daxicom
{
// The parent window and the control's id, until the wrapper cuts them off. Events are posted
// from any thread and handed to the parent on its own thread, unless cut off in between.
class CDestino : public std::enable_shared_from_this<CDestino>
{
  public:
    CDestino(CWnd *pParent, UINT nID, std::string componente)
        : m_pParent(pParent), m_nID(nID), m_componente(std::move(componente))
    {
    }

    void Enviar(CEventoControl evento);
    // Once it returns, nothing more reaches the parent (the calls already posted are dropped).
    void Cortar();

  private:
    void Entregar(const CEventoControl &evento);

    std::mutex m_lock; // events come from the components' threads
    CWnd *m_pParent;
    const UINT m_nID;
    const std::string m_componente; // its ProgID, for the record of events
};

// The component's DISPIDs of its three events.
struct TablaEventos
{
    DISPID start;
    DISPID end;
    DISPID progressDone;
};

// A new sink (one reference, the caller's) answering to the events interface iidEventos;
// nullptr when out of memory.
IDispatch *CrearSumidero(const IID &iidEventos, const TablaEventos &tabla, std::shared_ptr<CDestino> destino);
} // namespace daxicom
