// CDlgFinError (page 20: the end with an error).
#pragma once

#include "wizard/DlgBase.h"

class CDlgFinError : public CDlgBase
{
  public:
    CDlgFinError();
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
};
