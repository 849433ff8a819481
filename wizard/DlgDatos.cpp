// Page 6: public address, mask and adapter.
#include "wizard/DlgDatos.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgDatos::CDlgDatos()
    : CDlgBase(IDD_DATOS, IDS_DATOS_TITULO, cancelarPreguntando,
               {{IDC_DATOS_TEXTO, IDS_DATOS_TEXTO},
                {IDC_DATOS_ETIQ_IP, IDS_DATOS_IP},
                {IDC_DATOS_ETIQ_MASCARA, IDS_DATOS_MASCARA},
                {IDC_DATOS_ETIQ_NIC, IDS_DATOS_NIC}})
{
}

BOOL CDlgDatos::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgDatos::OnWizardNext()
{
    const CDatosAsistente &datos = asistente::Datos();
    return IrA(datos.ModoConf == 1 ? pagMultipuesto : pagIpGestion);
}

LRESULT CDlgDatos::OnWizardBack()
{
    return IrA(pagEstadoPC);
}
