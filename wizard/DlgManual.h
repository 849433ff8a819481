// CDlgManual (page 16: the router's address typed by hand).
#pragma once

#include "wizard/DlgBase.h"

class CDlgManual : public CDlgBase
{
  public:
    CDlgManual();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
};
