// Page 14: the serial port choice.
#include "wizard/DlgConsola.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgConsola::CDlgConsola()
    : CDlgBase(IDD_CONSOLA, IDS_CONSOLA_TITULO, cancelarSinPreguntar,
               {{IDC_CONSOLA_TEXTO, IDS_CONSOLA_TEXTO},
                {IDC_CONSOLA_ETIQ_PUERTO, IDS_CONSOLA_PUERTO},
                {IDC_CONSOLA_AVISO, IDS_CONSOLA_AVISO}})
{
}

BOOL CDlgConsola::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetButtonText(ID_WIZBACK, asistente::Cadena(IDS_BOTON_IGNORAR));
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgConsola::OnWizardNext()
{
    return IrA(pagAccesoPuerto);
}

LRESULT CDlgConsola::OnWizardBack()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.IpRouterConsola.clear();
    datos.MaskRouterConsola.clear();
    return IrA(pagManual);
}
