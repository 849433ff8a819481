// CDlgConsola (page 14: the serial port choice): the ports COM1 to COM25 that can be opened.
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
