// Page 22: the device password.
#include "wizard/DlgPassword.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgPassword::CDlgPassword()
    : CDlgBase(IDD_PASSWORD, IDS_PASSWORD_TITULO, cancelarPreguntando,
               {{IDC_PASSWORD_TEXTO, IDS_PASSWORD_TEXTO},
                {IDC_PASSWORD_ETIQ_CLAVE, IDS_PASSWORD_CLAVE},
                {IDC_PASSWORD_PIE, IDS_PASSWORD_PIE}})
{
}

BOOL CDlgPassword::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgPassword::OnWizardNext()
{
    CDatosAsistente &datos = asistente::Datos();
    const std::string clave = GetDlgItemText(IDC_PASSWORD_CLAVE);
    datos.PasswordRouter = clave;
    Hoja().Modem().SetPassword(clave.c_str());
    switch (datos.CodigoError)
    {
    case errModem:
        return IrA(pagConfigurando);
    case errFirmware:
        return IrA(pagChangeFirm);
    case errPasswordConsola:
        Hoja().Consola().SetPassword(clave.c_str());
        return IrA(pagAccesoPuerto);
    default:
        return IrA(pagConectividad);
    }
}
