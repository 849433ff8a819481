// CDlgConectividad (page 12: the connectivity check).
#pragma once

#include "wizard/DlgBase.h"

class CDlgConectividad : public CDlgBase
{
  public:
    CDlgConectividad();
    BOOL OnSetActive() override;
};
