// CDlgPassword (page 22: the device password).
#pragma once

#include "wizard/DlgBase.h"

class CDlgPassword : public CDlgBase
{
  public:
    CDlgPassword();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
};
