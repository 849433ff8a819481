// CDlgFinError (page 20: the end with an error).
#pragma once

#include "wizard/DlgBase.h"

class CDlgFinError : public CDlgBase
{
  public:
    CDlgFinError();
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    void OnControl(UINT nId, UINT nCodigo) override;

  private:
    // "Informe...": the support archive beside the wizard, and a box saying where.
    void GuardarInforme();
};
