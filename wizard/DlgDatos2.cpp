// Page 8: the PPPoE account and the adapter.
#include "wizard/DlgDatos2.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgDatos2::CDlgDatos2()
    : CDlgBase(IDD_DATOS2, IDS_DATOS2_TITULO, cancelarPreguntando,
               {{IDC_DATOS2_TEXTO, IDS_DATOS2_TEXTO},
                {IDC_DATOS2_ETIQ_USUARIO, IDS_DATOS2_USUARIO},
                {IDC_DATOS2_ETIQ_PASSWORD, IDS_DATOS2_PASSWORD},
                {IDC_DATOS2_ETIQ_NIC, IDS_DATOS2_NIC}})
{
}

BOOL CDlgDatos2::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgDatos2::OnWizardNext()
{
    const CDatosAsistente &datos = asistente::Datos();
    return IrA(datos.ModoConf == 1 ? pagMultipuesto : pagResumenDatos);
}

LRESULT CDlgDatos2::OnWizardBack()
{
    return IrA(pagEstadoPC);
}
