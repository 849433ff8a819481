// CDlgConsola (page 14: the serial port choice).
#pragma once

#include "wizard/DlgBase.h"

class CDlgConsola : public CDlgBase
{
  public:
    CDlgConsola();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
