// Page 5: the requirements result.
#include "wizard/DlgEstadoPC.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgEstadoPC::CDlgEstadoPC() : CDlgBase(IDD_ESTADOPC, IDS_ESTADOPC_TITULO, cancelarPreguntandoUnaVez) {}

BOOL CDlgEstadoPC::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgEstadoPC::OnWizardNext()
{
    const CDatosAsistente &datos = asistente::Datos();
    return IrA(datos.Operacion == 1 ? pagDatosFirm : datos.ModoDirec == 0 ? pagDatos : pagDatos2);
}

LRESULT CDlgEstadoPC::OnWizardBack()
{
    const CDatosAsistente &datos = asistente::Datos();
    return IrA(datos.Operacion == 1 ? pagOperacion : pagModoDirec);
}
