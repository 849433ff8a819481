// CDlgIpGestion (page 7: the router's management address and mask).
#pragma once

#include "wizard/DlgBase.h"

class CDlgIpGestion : public CDlgBase
{
  public:
    CDlgIpGestion();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
