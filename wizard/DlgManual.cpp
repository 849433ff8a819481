// Page 16: the router's address typed by hand.
#include "wizard/DlgManual.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "comun/Sis.h"
#include "outside/qelapli/RegApli.h"

CDlgManual::CDlgManual()
    : CDlgBase(IDD_MANUAL, IDS_MANUAL_TITULO, cancelarYParar,
               {{IDC_MANUAL_TEXTO1, IDS_MANUAL_TEXTO1},
                {IDC_MANUAL_TEXTO2, IDS_MANUAL_TEXTO2},
                {IDC_MANUAL_ETIQ_IPROUTER, IDS_MANUAL_IPROUTER},
                {IDC_MANUAL_ETIQ_MASCARA, IDS_MANUAL_MASCARA},
                {IDC_MANUAL_ETIQ_IPPC, IDS_MANUAL_IPPC},
                {IDC_MANUAL_AVISO, IDS_MANUAL_AVISO}})
{
}

BOOL CDlgManual::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetButtonText(ID_WIZNEXT, asistente::Cadena(IDS_BOTON_RECONFIGURAR));
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgManual::OnWizardNext()
{
    return -1;
}

LRESULT CDlgManual::OnWizardBack()
{
    return IrA(pagCable);
}

void CDlgManual::GuardarYReiniciar()
{
    const std::string clave = asistente::ClaveRegistro();
    CRegApli reg;
    reg.Open(clave.c_str(), TRUE);
    asistente::Datos().Guardar(reg);
    if (Mensaje(IDS_REINICIAR_PREGUNTA, IDS_REINICIAR_TITULO, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    {
        reg.SetEstadoInicial(TRUE);
        reg.Close();
        CerrarSinPreguntar();
        return;
    }
    reg.SetEstadoInicial(FALSE);
    reg.Close();
    reg.Open(clave.c_str(), TRUE);
    std::string directorio;
    reg.GetDirectorio(directorio);
    reg.Write("QelExec", (directorio + "\\QelExec.exe").c_str());
    reg.Close();
    CSis::ReiniciarEquipo();
    // Windows ends every program on its way down; where the restart is only requested, the
    // wizard closes itself rather than run on.
    CerrarSinPreguntar();
}
