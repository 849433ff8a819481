// CDlgDatos2 (page 8: the PPPoE account and the adapter).
#pragma once

#include "wizard/DlgBase.h"

class CDlgDatos2 : public CDlgBase
{
  public:
    CDlgDatos2();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
