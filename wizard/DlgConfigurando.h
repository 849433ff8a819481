// CDlgConfigurando (page 19: the configuration run): the router, then the PC's TCP/IP, then the
// dial-up connection where the PC itself dials, then the PC's static routes.
#pragma once

#include "outside/daxicom/SetTcpipConfig2.h"
#include "wizard/DlgProgreso.h"

class CDlgConfigurando : public CDlgProgreso
{
  public:
    CDlgConfigurando();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;

  protected:
    void Paso(UINT paso) override;
    void OnStart(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    void OnProgreso(UINT nIdControl, const std::string &texto) override;
    void OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto) override;

  private:
    // The steps are the timers' ids.
    enum : UINT
    {
        pasoModem = 0,
        pasoRas = 5,
        pasoRutas = 6,
        pasoCerrar = 7,
        pasoPassword = 8,
        pasoTcpip = 9,
        pasoModemHecho = 48, // the router's progress lines have been let through
    };

    void Modem(bool bConEstado);
    void ModemTerminado(LONG lStatus, const std::string &texto);
    void Tcpip();
    void TcpipTerminado(LONG lStatus, const std::string &texto);
    void Ras();
    void Rutas();
    void Error(DWORD codigo, const std::string &texto);

    CSetTcpipConfig2 m_tcpip;
    bool m_bReintentado = false;
    bool m_bCancelando = false;
    bool m_bModem = false; // the router's configuration is running
    int m_progresos = 0;
};
