// CDlgDeteccion (page 4: the requirements check): adapters, TCP/IP and, when the PC dials the
// line itself, RAS and the PPPoE client, one timed step after another.
#pragma once

#include "outside/daxicom/CheckNics2.h"
#include "wizard/DlgProgreso.h"

#include <string>
#include <vector>

class CDlgDeteccion : public CDlgProgreso
{
  public:
    CDlgDeteccion();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

    // The adapters bound to TCP/IP and enabled (the component's list 3503), by display name,
    // as the last check found them.
    const std::vector<std::string> &AdaptadoresUsables() const { return m_usables; }

  protected:
    void Paso(UINT paso) override;
    void OnStart(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    void OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    bool PararComponente() override;
    BOOL OnQueryCancel() override;

  private:
    enum : UINT
    {
        pasoArrancar = 0,
        pasoAdaptadores = 1,
        pasoTcpip = 2,
        pasoPppoe = 4,
        pasoFin = 7,
    };
    void Adaptadores();
    void Tcpip();
    void Pppoe();
    std::vector<std::string> Lista(LONG idLista);

    CCheckNics2 m_nics;
    std::vector<std::string> m_usables;
    bool m_bCancelando = false;
};
