// CDlgEstadoPC (page 5: the requirements result): what the check found, line by line.
#pragma once

#include "wizard/DlgBase.h"

class CDlgEstadoPC : public CDlgBase
{
  public:
    CDlgEstadoPC();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
