// CDlgBienvenida (page 0): welcome; the administrator check on Windows NT; the resume after the
// reboot a TCP/IP change needed.
#pragma once

#include "wizard/DlgBase.h"

class CDlgBienvenida : public CDlgBase
{
  public:
    CDlgBienvenida();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
};
