// CWizard97Sheet: the wizard's window with its 23 pages and the empty one. It hosts the modem
// component's control and hands its events to the page the run record names.
#pragma once

#include "outside/daxicom/GetZyxelConfig.h"
#include "outside/daxicom/SetZyxelConfig.h"
#include "outside/qelmfc/PropSheet.h"
#include "wizard/Paginas.h"

#include <memory>
#include <string>
#include <vector>

class CDlgBase;

class CWizard97Sheet : public CNuvPropSheet
{
  public:
    CWizard97Sheet(CApli *pApli, CMod *pMod, CWnd *pParent, UINT iSelectPage);
    ~CWizard97Sheet() override;

    BOOL PreCreateWindow() override;
    int OnCreate() override;
    BOOL OnInitDialog() override;
    BOOL OnHelpInfo() override;
    LRESULT OnQueryCancelAutoPlay() override;
    void CalcWindowRect(RECT &rect) override;
    void OnEventoControl(UINT nIdControl, const CEventoControl &evento) override;

    // The wizard resumed after the reboot: the pages show the saved answers.
    bool Reanudado() const { return m_bReanudado; }
    void SetReanudado(bool bReanudado) { m_bReanudado = bReanudado; }
    // The modem component, one for the wizard, hosted by the sheet.
    CSetZyxelConfig &Modem() { return m_modem; }
    // The console reader of the console page (page 15), hosted there.
    CGetZyxelConfig &Consola();
    // The adapters bound to TCP/IP and enabled, as the requirements check found them.
    const std::vector<std::string> &AdaptadoresUsables() const;
    // The "QueryCancelAutoPlay" message, registered when the window starts.
    UINT MensajeAutoPlay() const { return m_uAutoPlay; }

  private:
    std::unique_ptr<CDlgBase> m_paginas[numPaginas];
    CSetZyxelConfig m_modem;
    bool m_bReanudado = false;
    UINT m_uAutoPlay = 0;
    struct Mapa;
    std::unique_ptr<Mapa> m_mapa; // the single-instance record
};
