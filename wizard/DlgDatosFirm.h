// CDlgDatosFirm (page 9: the firmware file and the adapter).
#pragma once

#include "wizard/DlgBase.h"

class CDlgDatosFirm : public CDlgBase
{
  public:
    CDlgDatosFirm();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
