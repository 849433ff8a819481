// Page 9: the firmware file and the adapter.
#include "wizard/DlgDatosFirm.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgDatosFirm::CDlgDatosFirm()
    : CDlgBase(IDD_DATOSFIRM, IDS_DATOSFIRM_TITULO, cancelarPreguntando,
               {{IDC_DATOSFIRM_TEXTO, IDS_DATOSFIRM_TEXTO},
                {IDC_DATOSFIRM_ETIQ_FICHERO, IDS_DATOSFIRM_FICHERO},
                {IDC_DATOSFIRM_EXAMINAR, IDS_DATOSFIRM_EXAMINAR},
                {IDC_DATOSFIRM_ETIQ_NIC, IDS_DATOSFIRM_NIC}})
{
}

BOOL CDlgDatosFirm::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgDatosFirm::OnWizardNext()
{
    return IrA(pagConectividad);
}

LRESULT CDlgDatosFirm::OnWizardBack()
{
    return IrA(pagEstadoPC);
}
