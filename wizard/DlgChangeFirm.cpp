// Page 17: the firmware update run.
#include "wizard/DlgChangeFirm.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgChangeFirm::CDlgChangeFirm()
    : CDlgBase(IDD_CHANGEFIRM, IDS_CHANGEFIRM_TITULO, cancelarYParar,
               {{IDC_CHANGEFIRM_TEXTO1, IDS_CHANGEFIRM_TEXTO1},
                {IDC_CHANGEFIRM_TEXTO2, IDS_CHANGEFIRM_TEXTO2},
                {IDC_CHANGEFIRM_TEXTO3, IDS_CHANGEFIRM_TEXTO3}})
{
}

BOOL CDlgChangeFirm::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    return TRUE;
}
