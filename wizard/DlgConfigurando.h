// CDlgConfigurando (page 19: the configuration run).
#pragma once

#include "wizard/DlgBase.h"

class CDlgConfigurando : public CDlgBase
{
  public:
    CDlgConfigurando();
    BOOL OnSetActive() override;
};
