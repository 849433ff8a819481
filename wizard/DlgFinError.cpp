// Page 20: the end with an error.
#include "wizard/DlgFinError.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgFinError::CDlgFinError()
    : CDlgBase(IDD_FINERROR, IDS_FINERROR_TITULO, cancelarSinPreguntar,
               {{IDC_FINERROR_TEXTO, IDS_FINERROR_TEXTO}})
{
}

BOOL CDlgFinError::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetButtonText(ID_WIZBACK, asistente::Cadena(IDS_BOTON_REINTENTAR));
    GetSheet()->SetWizardButtons(PSWIZB_BACK);
    return TRUE;
}

LRESULT CDlgFinError::OnWizardBack()
{
    const CDatosAsistente &datos = asistente::Datos();
    switch (datos.CodigoError)
    {
    case errModem:
    case errTcpip:
    case errRas:
        return IrA(pagConfigurando);
    case errTcpipManual:
        return IrA(pagManual);
    default:
        return IrA(pagConectividad);
    }
}
