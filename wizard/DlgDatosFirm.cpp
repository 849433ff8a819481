// Page 9: the firmware file and the adapter.
#include "wizard/DlgDatosFirm.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include <algorithm>

namespace
{
// The open-file dialog's filter, in the '|' form of MFC's file dialog.
constexpr char kFiltroFirmware[] = "Ficheros de firmware (*.bin)|*.bin|";

// The '|' form as the dialog takes it: each '|' a NUL, the list ended by one more.
std::string FiltroDelDialogo(std::string filtro)
{
    std::replace(filtro.begin(), filtro.end(), '|', '\0');
    filtro.push_back('\0');
    return filtro;
}
} // namespace

CDlgDatosFirm::CDlgDatosFirm()
    : CDlgBase(IDD_DATOSFIRM, IDS_DATOSFIRM_TITULO, cancelarPreguntando,
               {{IDC_DATOSFIRM_TEXTO, IDS_DATOSFIRM_TEXTO},
                {IDC_DATOSFIRM_ETIQ_FICHERO, IDS_DATOSFIRM_FICHERO},
                {IDC_DATOSFIRM_EXAMINAR, IDS_DATOSFIRM_EXAMINAR},
                {IDC_DATOSFIRM_ETIQ_NIC, IDS_DATOSFIRM_NIC}})
{
}

bool CDlgDatosFirm::ExisteFichero(const std::string &ruta)
{
    WIN32_FIND_DATAA datos{};
    HANDLE busqueda = FindFirstFileA(ruta.c_str(), &datos);
    if (busqueda == INVALID_HANDLE_VALUE)
        return false;
    FindClose(busqueda);
    return true;
}

std::string CDlgDatosFirm::TextoSinFichero(const std::string &ruta)
{
    return asistente::CadenaCon(IDS_FIRM_ERR_FICHERO, ruta);
}

BOOL CDlgDatosFirm::OnInitDialog()
{
    CDlgBase::OnInitDialog();
    // After the reboot the run record holds the saved path (and the adapter, chosen when the
    // page is shown).
    SetDlgItemText(IDC_DATOSFIRM_FICHERO, asistente::Datos().FichFirmware);
    return TRUE;
}

BOOL CDlgDatosFirm::OnSetActive()
{
    CDlgBase::OnSetActive();
    LlenarAdaptadores(IDC_NIC, asistente::Datos().NIC);
    ActualizarBotones();
    return TRUE;
}

void CDlgDatosFirm::ActualizarBotones()
{
    // The field is also filled before the page is shown; the buttons are then another page's.
    if (GetSheet()->GetActivePage() != this)
        return;
    const bool completo =
        !GetDlgItemText(IDC_DATOSFIRM_FICHERO).empty() && !AdaptadorElegido(IDC_NIC).empty();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | (completo ? PSWIZB_NEXT : 0));
}

void CDlgDatosFirm::OnControl(UINT nId, UINT nCodigo)
{
    if (nId == IDC_DATOSFIRM_EXAMINAR && nCodigo == kNotifClic)
        Examinar();
    else if ((nId == IDC_DATOSFIRM_FICHERO && nCodigo == kNotifCambio) ||
             (nId == IDC_NIC && nCodigo == kNotifSeleccion))
        ActualizarBotones();
}

void CDlgDatosFirm::Examinar()
{
    const std::string filtro = FiltroDelDialogo(kFiltroFirmware);
    char fichero[MAX_PATH] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = GetSafeHwnd();
    ofn.lpstrFilter = filtro.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = fichero;
    ofn.nMaxFile = sizeof fichero;
    ofn.Flags = OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&ofn))
        SetDlgItemText(IDC_DATOSFIRM_FICHERO, fichero);
    ActualizarBotones();
}

LRESULT CDlgDatosFirm::OnWizardNext()
{
    const std::string ruta = GetDlgItemText(IDC_DATOSFIRM_FICHERO);
    if (!ExisteFichero(ruta))
    {
        MessageBoxA(GetSafeHwnd(), TextoSinFichero(ruta).c_str(),
                    asistente::Cadena(IDS_FIRM_ERR_FICHERO_TITULO).c_str(), MB_OK | MB_ICONERROR);
        return -1;
    }
    CDatosAsistente &datos = asistente::Datos();
    datos.FichFirmware = ruta;
    datos.NIC = AdaptadorElegido(IDC_NIC);
    return IrA(pagConectividad);
}

LRESULT CDlgDatosFirm::OnWizardBack()
{
    return IrA(pagOperacion);
}
