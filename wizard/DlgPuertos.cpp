// Page 18: the port mapping.
#include "wizard/DlgPuertos.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgPuertos::CDlgPuertos()
    : CDlgBase(IDD_PUERTOS, IDS_PUERTOS_TITULO, cancelarPreguntando,
               {{IDC_PUERTOS_TEXTO, IDS_PUERTOS_TEXTO},
                {IDC_PUERTOS_AGREGAR, IDS_PUERTOS_AGREGAR},
                {IDC_PUERTOS_MODIFICAR, IDS_PUERTOS_MODIFICAR},
                {IDC_PUERTOS_ELIMINAR, IDS_PUERTOS_ELIMINAR},
                {IDC_PUERTOS_ETIQ_NUMERO, IDS_PUERTOS_NUMERO},
                {IDC_PUERTOS_ETIQ_IP, IDS_PUERTOS_IP},
                {IDC_PUERTOS_ACTUALIZAR, IDS_PUERTOS_ACTUALIZAR}})
{
}

BOOL CDlgPuertos::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgPuertos::OnWizardNext()
{
    return IrA(pagConfigurando);
}
