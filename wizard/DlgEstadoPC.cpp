// Page 5: the requirements result. A PC that has everything, or lacks only something about the
// kit's own card, may go on; any other lack stops the wizard here.
#include "wizard/DlgEstadoPC.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Requisitos.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include <vector>

namespace
{
constexpr UINT kLineas[] = {IDC_LINEA1, IDC_LINEA2, IDC_LINEA3, IDC_LINEA4,
                            IDC_LINEA5, IDC_LINEA6, IDC_LINEA7, IDC_LINEA8};

struct Falta
{
    DWORD bit;
    UINT texto;
};

// The lines of a PC that cannot go on, in the order they are shown.
std::vector<UINT> LineasDeError(DWORD requisitos)
{
    std::vector<UINT> lineas;
    for (const Falta &f :
         {Falta{reqSinNic, IDS_REQ_SIN_NIC}, Falta{reqSinNicEnlazada, IDS_REQ_SIN_NIC_ENLAZADA},
          Falta{reqSinNicHabilitada, IDS_REQ_SIN_NIC_HABILITADA}})
        if (requisitos & f.bit)
        {
            lineas.push_back(f.texto); // only the first of the adapter faults
            break;
        }
    if (requisitos & reqSinTcpip)
        lineas.push_back(IDS_REQ_SIN_TCPIP);
    if (requisitos & reqSinRas)
        lineas.push_back(IDS_REQ_SIN_RAS);
    if (requisitos & reqSinPppoe)
        lineas.push_back(IDS_REQ_SIN_PPPOE);
    else if (requisitos & reqSinAdaptadorPppoe)
        lineas.push_back(IDS_REQ_SIN_ADAPTADOR_PPPOE);
    return lineas;
}
} // namespace

namespace asistente
{
bool CompruebaPppoe()
{
    const CDatosAsistente &datos = Datos();
    return datos.Operacion == 0 && datos.ModoDirec == 1 && datos.ModoConf == 0;
}
} // namespace asistente

CDlgEstadoPC::CDlgEstadoPC() : CDlgBase(IDD_ESTADOPC, IDS_ESTADOPC_TITULO, cancelarPreguntandoUnaVez) {}

BOOL CDlgEstadoPC::OnSetActive()
{
    CDlgBase::OnSetActive();
    const DWORD requisitos = asistente::Datos().Requisitos;
    const bool sigue = requisitos == 0 || requisitos == reqNicKitNoInstalada ||
                       requisitos == reqNicKitNoEnlazada || requisitos == reqNicKitNoHabilitada;
    std::vector<UINT> lineas;
    UINT pie = IDS_ESTADOPC_PIE_ERROR;
    if (requisitos == 0)
    {
        lineas = {IDS_REQ_NIC_OK, IDS_REQ_TCPIP_OK};
        if (asistente::CompruebaPppoe())
            lineas.insert(lineas.end(), {IDS_REQ_RAS_OK, IDS_REQ_PPPOE_OK});
        pie = IDS_ESTADOPC_PIE_OK;
    }
    else if (sigue)
    {
        lineas = {requisitos == reqNicKitNoInstalada  ? UINT{IDS_REQ_NIC_KIT_NO_INSTALADA}
                  : requisitos == reqNicKitNoEnlazada ? UINT{IDS_REQ_NIC_KIT_NO_ENLAZADA}
                                                      : UINT{IDS_REQ_NIC_KIT_NO_HABILITADA}};
        pie = IDS_ESTADOPC_PIE_AVISO;
    }
    else
        lineas = LineasDeError(requisitos);
    SetIcono(IDC_ICONO, sigue ? IconoEstandar::Informacion : IconoEstandar::Error);
    SetDlgItemText(IDC_ESTADOPC_CABECERA, asistente::Cadena(sigue ? IDS_ESTADOPC_OK : IDS_ESTADOPC_ERROR));
    for (std::size_t i = 0; i < std::size(kLineas); ++i)
        SetDlgItemText(kLineas[i], i < lineas.size() ? asistente::Cadena(lineas[i]) : std::string());
    SetDlgItemText(IDC_ESTADOPC_PIE, asistente::Cadena(pie));
    GetSheet()->SetWizardButtons(sigue ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    return TRUE;
}

LRESULT CDlgEstadoPC::OnWizardNext()
{
    const CDatosAsistente &datos = asistente::Datos();
    return IrA(datos.Operacion == 1 ? pagDatosFirm : datos.ModoDirec == 1 ? pagDatos2 : pagDatos);
}

LRESULT CDlgEstadoPC::OnWizardBack()
{
    return IrA(pagOperacion);
}
