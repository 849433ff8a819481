// CDlgPuertos (page 18: the port mapping).
#pragma once

#include "wizard/DlgBase.h"

class CDlgPuertos : public CDlgBase
{
  public:
    CDlgPuertos();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
};
