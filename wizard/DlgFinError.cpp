// Page 20: the end with an error.
#include "wizard/DlgFinError.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Soporte.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

namespace
{
// What the page says for each error code; 0 for a code the page never shows.
UINT TextoDelCodigo(DWORD codigo)
{
    switch (codigo)
    {
    case errModem:
        return IDS_ERROR_MODEM;
    case errTcpip:
    case errTcpipManual:
        return IDS_ERROR_TCPIP;
    case errRas:
        return IDS_ERROR_RAS;
    case errLecturaTcpip:
        return IDS_ERROR_TCPIP_LECTURA;
    case errFirmware:
        return IDS_ERROR_FIRMWARE;
    default:
        return 0;
    }
}
} // namespace

CDlgFinError::CDlgFinError()
    : CDlgBase(IDD_FINERROR, IDS_FINERROR_TITULO, cancelarSinPreguntar,
               {{IDC_FINERROR_TEXTO, IDS_FINERROR_TEXTO}})
{
}

BOOL CDlgFinError::OnSetActive()
{
    CDlgBase::OnSetActive();
    const CDatosAsistente &datos = asistente::Datos();
    SetIcono(IDC_ICONO, IconoEstandar::Error);
    const UINT texto = TextoDelCodigo(datos.CodigoError);
    SetDlgItemText(IDC_FINERROR_CODIGO, texto ? asistente::Cadena(texto) : std::string());
    SetDlgItemText(IDC_FINERROR_DETALLE, datos.TextoError);
    GetSheet()->SetButtonText(ID_WIZBACK, asistente::Cadena(IDS_BOTON_REINTENTAR));
    GetSheet()->SetWizardButtons(PSWIZB_BACK);
    return TRUE;
}

LRESULT CDlgFinError::OnWizardBack()
{
    switch (asistente::Datos().CodigoError)
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

void CDlgFinError::OnControl(UINT nId, UINT nCodigo)
{
    if (nId == IDC_FINERROR_INFORME && nCodigo == kNotifClic)
        GuardarInforme();
}

void CDlgFinError::GuardarInforme()
{
    const std::string fichero = asistente::Directorio() + "\\" + soporte::NombreFechado();
    std::string motivo;
    const bool escrito = soporte::EscribirPaquete(fichero, motivo);
    MessageBoxA(GetSafeHwnd(),
                asistente::CadenaCon(escrito ? IDS_INFORME_ESCRITO : IDS_INFORME_FALLIDO, fichero).c_str(),
                asistente::Cadena(IDS_INFORME_TITULO).c_str(),
                MB_OK | (escrito ? MB_ICONINFORMATION : MB_ICONERROR));
}
