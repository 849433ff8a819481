// CDlgManual (page 16: the router's address typed by hand): the PC's TCP/IP is changed to reach
// the router at that address, which needs a restart, after which the wizard resumes.
#pragma once

#include "outside/daxicom/SetTcpipConfig2.h"
#include "wizard/DlgProgreso.h"

class CDlgManual : public CDlgProgreso
{
  public:
    CDlgManual();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnControl(UINT nId, UINT nCodigo) override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

  protected:
    void Paso(UINT) override {}
    void OnStart(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    void OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    bool PararComponente() override;

  private:
    void Proponer();
    void ProponerPc();
    void PonerBotones();
    bool Comprobar(const std::string &router, const std::string &mascara, const std::string &pc);
    void CambiarTcpip(const std::string &router, const std::string &mascara, const std::string &pc);
    void Fallo();
    // The TCP/IP now reaches the router only after a restart: the answers are saved, the
    // wizard is registered to start again, and the PC restarts (or the wizard closes when the
    // user declines).
    void GuardarYReiniciar();

    CSetTcpipConfig2 m_tcpip;
    bool m_bCancelando = false;
    bool m_bPoniendo = false; // the page itself is filling the fields
};
