// CDlgDatos2 (page 8: the PPPoE account and the adapter, for dynamic addressing).
#pragma once

#include "wizard/DlgBase.h"

class CDlgDatos2 : public CDlgBase
{
  public:
    CDlgDatos2();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnControl(UINT nId, UINT nCodigo) override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

  private:
    void PonerBotones();
};
