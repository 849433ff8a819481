// Page 21: the end with success.
#include "wizard/DlgFinOK.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgFinOK::CDlgFinOK() : CDlgBase(IDD_FINOK, IDS_FINOK_TITULO, cancelarSinPreguntar) {}

BOOL CDlgFinOK::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetButtonText(ID_WIZFINISH, asistente::Cadena(IDS_BOTON_FINALIZAR));
    GetSheet()->SetWizardButtons(PSWIZB_FINISH);
    return TRUE;
}
