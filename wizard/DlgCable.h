// CDlgCable (page 13: no connectivity).
#pragma once

#include "wizard/DlgBase.h"

class CDlgCable : public CDlgBase
{
  public:
    CDlgCable();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
