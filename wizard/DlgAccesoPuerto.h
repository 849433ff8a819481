// CDlgAccesoPuerto (page 15: reading the router over its serial console): the router's LAN
// address and mask, and the PC's address when the router hands out a public one.
#pragma once

#include "outside/daxicom/GetZyxelConfig.h"
#include "wizard/DlgProgreso.h"

class CDlgAccesoPuerto : public CDlgProgreso
{
  public:
    CDlgAccesoPuerto();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;

    // The console reader, also given the password typed on the password page.
    CGetZyxelConfig &Consola() { return m_consola; }

  protected:
    void Paso(UINT paso) override;
    void OnStart(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    void OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    bool PararComponente() override;

  private:
    enum : UINT
    {
        pasoSeguir = 1,
        pasoCerrar = 7,
    };
    // The console gave nothing usable: the manual page follows without its values.
    void SinConsola();
    bool LeerRouter();

    CGetZyxelConfig m_consola;
    bool m_bCancelando = false;
};
