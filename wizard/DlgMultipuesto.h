// CDlgMultipuesto (page 10: the private addressing of several PCs).
#pragma once

#include "wizard/DlgBase.h"

class CDlgMultipuesto : public CDlgBase
{
  public:
    CDlgMultipuesto();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
