// CDlgDatos (page 6: the public address, mask and adapter, for static addressing).
#pragma once

#include "wizard/DlgBase.h"

class CDlgDatos : public CDlgBase
{
  public:
    CDlgDatos();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
