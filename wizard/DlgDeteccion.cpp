// Page 4: the requirements check.
#include "wizard/DlgDeteccion.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgDeteccion::CDlgDeteccion()
    : CDlgBase(IDD_DETECCION, IDS_DETECCION_TITULO, cancelarYParar,
               {{IDC_DETECCION_TEXTO, IDS_DETECCION_TEXTO},
                {IDC_DETECCION_NICS, IDS_DETECCION_NICS},
                {IDC_DETECCION_TCPIP, IDS_DETECCION_TCPIP},
                {IDC_DETECCION_PPPOE, IDS_DETECCION_PPPOE}})
{
}

BOOL CDlgDeteccion::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    return TRUE;
}
