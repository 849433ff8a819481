// Page 16: the router's address typed by hand.
#include "wizard/DlgManual.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgManual::CDlgManual()
    : CDlgBase(IDD_MANUAL, IDS_MANUAL_TITULO, cancelarYParar,
               {{IDC_MANUAL_TEXTO1, IDS_MANUAL_TEXTO1},
                {IDC_MANUAL_TEXTO2, IDS_MANUAL_TEXTO2},
                {IDC_MANUAL_ETIQ_IPROUTER, IDS_MANUAL_IPROUTER},
                {IDC_MANUAL_ETIQ_MASCARA, IDS_MANUAL_MASCARA},
                {IDC_MANUAL_ETIQ_IPPC, IDS_MANUAL_IPPC},
                {IDC_MANUAL_AVISO, IDS_MANUAL_AVISO}})
{
}

BOOL CDlgManual::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetButtonText(ID_WIZNEXT, asistente::Cadena(IDS_BOTON_RECONFIGURAR));
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgManual::OnWizardNext()
{
    return -1;
}
