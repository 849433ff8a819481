// Page 12: the connectivity check.
#include "wizard/DlgConectividad.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgConectividad::CDlgConectividad()
    : CDlgBase(IDD_CONECTIVIDAD, IDS_CONECTIVIDAD_TITULO, cancelarYParar,
               {{IDC_CONECTIVIDAD_TEXTO, IDS_CONECTIVIDAD_TEXTO}})
{
}

BOOL CDlgConectividad::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    return TRUE;
}
