// Page 15: reading the router over the console.
#include "wizard/DlgAccesoPuerto.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgAccesoPuerto::CDlgAccesoPuerto()
    : CDlgBase(IDD_ACCESOPUERTO, IDS_ACCESOPUERTO_TITULO, cancelarYParar,
               {{IDC_ACCESOPUERTO_TEXTO, IDS_ACCESOPUERTO_TEXTO}})
{
}

BOOL CDlgAccesoPuerto::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    return TRUE;
}
