// CDlgResumenDatos (page 11: the summary of the answers), line by line for the mode chosen.
#pragma once

#include "wizard/DlgBase.h"

class CDlgResumenDatos : public CDlgBase
{
  public:
    CDlgResumenDatos();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
