// CDlgDatos (page 6: public address, mask and adapter).
#pragma once

#include "wizard/DlgBase.h"

class CDlgDatos : public CDlgBase
{
  public:
    CDlgDatos();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
