// CDlgIpGestion (page 7: the router's management address and mask, one PC with static
// addressing).
#pragma once

#include "wizard/DlgBase.h"

class CDlgIpGestion : public CDlgBase
{
  public:
    CDlgIpGestion();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

  private:
    void PorDefecto();
};
