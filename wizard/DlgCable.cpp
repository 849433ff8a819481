// Page 13: no connectivity.
#include "wizard/DlgCable.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgCable::CDlgCable()
    : CDlgBase(IDD_CABLE, IDS_CABLE_TITULO, cancelarSinPreguntar,
               {{IDC_CABLE_TEXTO1, IDS_CABLE_TEXTO1},
                {IDC_CABLE_TEXTO2, IDS_CABLE_TEXTO2},
                {IDC_CABLE_TEXTO3, IDS_CABLE_TEXTO3}})
{
}

BOOL CDlgCable::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetButtonText(ID_WIZBACK, asistente::Cadena(IDS_BOTON_REINTENTAR));
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgCable::OnWizardNext()
{
    return IrA(pagConsola);
}

LRESULT CDlgCable::OnWizardBack()
{
    return IrA(pagConectividad);
}
