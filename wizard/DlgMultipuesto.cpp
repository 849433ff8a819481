// Page 10: the private addressing of several PCs.
#include "wizard/DlgMultipuesto.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgMultipuesto::CDlgMultipuesto()
    : CDlgBase(IDD_MULTIPUESTO, IDS_MULTIPUESTO_TITULO, cancelarPreguntando,
               {{IDC_MULTIPUESTO_TEXTO, IDS_MULTIPUESTO_TEXTO},
                {IDC_MULTIPUESTO_DHCP, IDS_MULTIPUESTO_DHCP},
                {IDC_MULTIPUESTO_MANUAL, IDS_MULTIPUESTO_MANUAL},
                {IDC_MULTIPUESTO_ETIQ_IPINICIAL, IDS_MULTIPUESTO_IPINICIAL},
                {IDC_MULTIPUESTO_ETIQ_MASCARADHCP, IDS_MULTIPUESTO_MASCARADHCP},
                {IDC_MULTIPUESTO_ETIQ_IPPC, IDS_MULTIPUESTO_IPPC},
                {IDC_MULTIPUESTO_ETIQ_MASCARAPC, IDS_MULTIPUESTO_MASCARAPC},
                {IDC_MULTIPUESTO_ETIQ_IPROUTER, IDS_MULTIPUESTO_IPROUTER}})
{
}

BOOL CDlgMultipuesto::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgMultipuesto::OnWizardNext()
{
    return IrA(pagResumenDatos);
}

LRESULT CDlgMultipuesto::OnWizardBack()
{
    const CDatosAsistente &datos = asistente::Datos();
    return IrA(datos.ModoDirec == 1 ? pagDatos2 : pagDatos);
}
