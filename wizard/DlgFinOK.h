// CDlgFinOK (page 21: the end with success). After a configuration Finish (or Cancel) keeps the
// answers for the next run and restarts the PC; after a firmware update it only closes.
#pragma once

#include "wizard/DlgBase.h"

class CDlgFinOK : public CDlgBase
{
  public:
    CDlgFinOK();
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override;
    BOOL OnQueryCancel() override;

  private:
    void MostrarConfiguracion();
    void MostrarFirmware();
    // The configuration is done: its values are kept and the PC restarts.
    void Terminar();
};
