// CDlgFinOK (page 21: the end with success).
#pragma once

#include "wizard/DlgBase.h"

class CDlgFinOK : public CDlgBase
{
  public:
    CDlgFinOK();
    BOOL OnSetActive() override;
};
