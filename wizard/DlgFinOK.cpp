// Page 21: the end with success.
#include "wizard/DlgFinOK.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/UltimaConfiguracion.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "comun/Sis.h"

namespace
{
constexpr char kLiberarDhcp[] = "winipcfg /release_all /Batch";

bool EsActualizacion()
{
    return asistente::Datos().Operacion == 1;
}

} // namespace

CDlgFinOK::CDlgFinOK() : CDlgBase(IDD_FINOK, IDS_FINOK_TITULO, cancelarSinPreguntar) {}

BOOL CDlgFinOK::OnSetActive()
{
    CDlgBase::OnSetActive();
    if (EsActualizacion())
        MostrarFirmware();
    else
        MostrarConfiguracion();
    GetSheet()->SetButtonText(ID_WIZFINISH, asistente::Cadena(IDS_BOTON_FINALIZAR));
    GetSheet()->SetWizardButtons(PSWIZB_FINISH);
    return TRUE;
}

void CDlgFinOK::MostrarConfiguracion()
{
    SetTitulo(asistente::Cadena(IDS_FINOK_TITULO));
    SetDlgItemText(IDC_FINOK_LINEA1, asistente::Cadena(IDS_FINOK_CONFIGURADO));
    SetDlgItemText(IDC_FINOK_LINEA2, asistente::Cadena(IDS_FINOK_REINICIAR));
    SetDlgItemText(IDC_FINOK_RUTAS, asistente::Cadena(IDS_FINOK_RUTAS));
    ShowDlgItem(IDC_FINOK_RUTAS, asistente::Datos().RutasFallidas == 1);
    SetDlgItemText(IDC_FINOK_LINEA3, std::string());
    // Windows 9x hands the DHCP lease back now, so that the card asks the router for a new one.
    if (asistente::Es9x())
        asistente::Lanzar(kLiberarDhcp);
}

void CDlgFinOK::MostrarFirmware()
{
    SetTitulo(asistente::Cadena(IDS_FINOK_FIRMWARE_TITULO));
    SetDlgItemText(IDC_FINOK_LINEA1, asistente::Cadena(IDS_FINOK_FIRMWARE_CARGADO));
    SetDlgItemText(IDC_FINOK_LINEA2, asistente::Cadena(IDS_FINOK_FIRMWARE_PARAMETROS));
    ShowDlgItem(IDC_FINOK_RUTAS, FALSE);
    SetDlgItemText(IDC_FINOK_LINEA3, asistente::Cadena(IDS_FINOK_FIRMWARE_LUCES));
}

void CDlgFinOK::Terminar()
{
    if (EsActualizacion())
        return;
    CUltimaConfiguracion::Guardar(asistente::Datos());
    CSis::ReiniciarEquipo();
}

BOOL CDlgFinOK::OnWizardFinish()
{
    Terminar();
    return TRUE;
}

BOOL CDlgFinOK::OnQueryCancel()
{
    Terminar();
    return TRUE;
}
