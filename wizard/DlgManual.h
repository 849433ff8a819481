// CDlgManual (page 16: the router's address typed by hand).
#pragma once

#include "wizard/DlgBase.h"

class CDlgManual : public CDlgBase
{
  public:
    CDlgManual();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

  private:
    // The TCP/IP now reaches the router only after a restart: the answers are saved, the
    // wizard is registered to start again, and the PC restarts (or the wizard closes when the
    // user declines).
    void GuardarYReiniciar();
};
