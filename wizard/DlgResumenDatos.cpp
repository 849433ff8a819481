// Page 11: the summary of the answers.
#include "wizard/DlgResumenDatos.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "outside/qelapli/RegApli.h"

CDlgResumenDatos::CDlgResumenDatos()
    : CDlgBase(IDD_RESUMENDATOS, IDS_RESUMEN_TITULO, cancelarPreguntando,
               {{IDC_RESUMEN_TEXTO, IDS_RESUMEN_TEXTO}})
{
}

BOOL CDlgResumenDatos::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgResumenDatos::OnWizardNext()
{
    CRegApli reg;
    reg.Open(asistente::ClaveRegistro().c_str(), TRUE);
    reg.SetSettings();
    reg.Close();
    return IrA(pagConectividad);
}

LRESULT CDlgResumenDatos::OnWizardBack()
{
    const CDatosAsistente &datos = asistente::Datos();
    if (Hoja().Reanudado())
        return IrA(pagModoConf);
    if (datos.ModoConf == 1)
        return IrA(pagMultipuesto);
    return IrA(datos.ModoDirec == 0 ? pagIpGestion : pagModoConf);
}
