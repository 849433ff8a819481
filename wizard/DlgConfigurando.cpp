// Page 19: the configuration run.
#include "wizard/DlgConfigurando.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgConfigurando::CDlgConfigurando()
    : CDlgBase(IDD_CONFIGURANDO, IDS_CONFIGURANDO_TITULO, cancelarYParar,
               {{IDC_CONFIGURANDO_TEXTO1, IDS_CONFIGURANDO_TEXTO1},
                {IDC_CONFIGURANDO_TEXTO2, IDS_CONFIGURANDO_TEXTO2}})
{
}

BOOL CDlgConfigurando::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    return TRUE;
}
