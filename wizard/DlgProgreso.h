// CDlgProgreso: a working page of the wizard. It advances in timed steps (a window timer whose
// id is the step number; the timer is killed before its step runs), plays the wait animation
// with timer 2006 and hears the events of the components it drives.
#pragma once

#include "outside/qelmfc/Animacion.h"
#include "wizard/DlgBase.h"

class CDlgProgreso : public CDlgBase
{
  public:
    using CDlgBase::CDlgBase;

    BOOL OnKillActive() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnEventoControl(UINT nIdControl, const CEventoControl &evento) override;

  protected:
    static constexpr UINT_PTR kTimerAnimacion = 2006;
    static constexpr UINT kMsAnimacion = 100;
    // The components' event ids.
    static constexpr DISPID kEventoStart = 1;
    static constexpr DISPID kEventoEnd = 2;
    static constexpr DISPID kEventoProgreso = 3;

    // Runs step `paso` after ms milliseconds (0 or 1: at the next turn of the loop).
    void Programar(UINT paso, UINT ms);
    virtual void Paso(UINT paso) = 0;
    // The events of a component: Start and End with (status, text), ProgressDone with (text).
    virtual void OnStart(UINT nIdControl, LONG lStatus, const std::string &texto);
    virtual void OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto);
    virtual void OnProgreso(UINT nIdControl, const std::string &texto);

    void ArrancarAnimacion();
    void PararAnimacion();

  private:
    CAnimacion m_animacion;
};

namespace asistente
{
// The texts of the modem component's events ("msg1".."msg8", or a count of bytes) and of the
// TCP/IP component's decimal codes 1 to 20, in the user's words; empty for anything else.
std::string TextoMensajeModem(const std::string &texto);
std::string TextoMensajeTcpip(const std::string &texto);
// The modem component's "the device refused the password".
bool EsPasswordIncorrecto(const std::string &texto);
// The modem component's "the router's FTP server did not answer".
bool EsSinConexion(const std::string &texto);
} // namespace asistente
