// CDlgChangeFirm (page 17: the firmware update run).
#pragma once

#include "wizard/DlgBase.h"

class CDlgChangeFirm : public CDlgBase
{
  public:
    CDlgChangeFirm();
    BOOL OnSetActive() override;
};
