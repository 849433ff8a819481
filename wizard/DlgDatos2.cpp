// Page 8: the account the PC dials the line with, and the adapter.
#include "wizard/DlgDatos2.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/UltimaConfiguracion.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

namespace
{
constexpr int kMaxCuenta = 30; // characters of the user name and of the password

std::string SinBlancos(const std::string &texto)
{
    const auto inicio = texto.find_first_not_of(' ');
    if (inicio == std::string::npos)
        return {};
    return texto.substr(inicio, texto.find_last_not_of(' ') - inicio + 1);
}
} // namespace

CDlgDatos2::CDlgDatos2()
    : CDlgBase(IDD_DATOS2, IDS_DATOS2_TITULO, cancelarPreguntando,
               {{IDC_DATOS2_TEXTO, IDS_DATOS2_TEXTO},
                {IDC_DATOS2_ETIQ_USUARIO, IDS_DATOS2_USUARIO},
                {IDC_DATOS2_ETIQ_PASSWORD, IDS_DATOS2_PASSWORD},
                {IDC_DATOS2_ETIQ_NIC, IDS_DATOS2_NIC}})
{
}

BOOL CDlgDatos2::OnInitDialog()
{
    CDlgBase::OnInitDialog();
    LimitText(IDC_DATOS2_USUARIO, kMaxCuenta);
    LimitText(IDC_DATOS2_PASSWORD, kMaxCuenta);
    CDatosAsistente &datos = asistente::Datos();
    if (Hoja().Reanudado())
    {
        SetDlgItemText(IDC_DATOS2_USUARIO, datos.Username);
        SetDlgItemText(IDC_DATOS2_PASSWORD, datos.Password);
    }
    else
    {
        // A new run brings back the account's name, never its password.
        const CUltimaConfiguracion ultima = CUltimaConfiguracion::Leer();
        SetDlgItemText(IDC_DATOS2_USUARIO, ultima.Username);
        if (datos.NIC.empty())
            datos.NIC = ultima.NIC;
    }
    return TRUE;
}

BOOL CDlgDatos2::OnSetActive()
{
    CDlgBase::OnSetActive();
    LlenarAdaptadores(IDC_NIC, asistente::Datos().NIC);
    PonerBotones();
    return TRUE;
}

void CDlgDatos2::PonerBotones()
{
    const bool listo =
        ComboGetCurSel(IDC_NIC) >= 0 && !SinBlancos(GetDlgItemText(IDC_DATOS2_USUARIO)).empty();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | (listo ? PSWIZB_NEXT : 0));
}

void CDlgDatos2::OnControl(UINT nId, UINT nCodigo)
{
    if ((nId == IDC_DATOS2_USUARIO && nCodigo == kNotifCambio) ||
        (nId == IDC_NIC && nCodigo == kNotifSeleccion))
        PonerBotones();
}

LRESULT CDlgDatos2::OnWizardNext()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.Username = SinBlancos(GetDlgItemText(IDC_DATOS2_USUARIO));
    datos.Password = SinBlancos(GetDlgItemText(IDC_DATOS2_PASSWORD));
    datos.NIC = AdaptadorElegido(IDC_NIC);
    return IrA(datos.ModoConf == 1 ? pagMultipuesto : pagResumenDatos);
}

LRESULT CDlgDatos2::OnWizardBack()
{
    return IrA(pagEstadoPC);
}
