// Page 7: the router's management address and mask.
#include "wizard/DlgIpGestion.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgIpGestion::CDlgIpGestion()
    : CDlgBase(IDD_IPGESTION, IDS_IPGESTION_TITULO, cancelarPreguntando,
               {{IDC_IPGESTION_TEXTO, IDS_IPGESTION_TEXTO},
                {IDC_IPGESTION_ETIQ_IP, IDS_IPGESTION_IP},
                {IDC_IPGESTION_ETIQ_MASCARA, IDS_IPGESTION_MASCARA}})
{
}

BOOL CDlgIpGestion::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgIpGestion::OnWizardNext()
{
    return IrA(pagResumenDatos);
}

LRESULT CDlgIpGestion::OnWizardBack()
{
    return IrA(pagDatos);
}
