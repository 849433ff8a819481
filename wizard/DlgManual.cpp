// Page 16: the router's address typed by hand.
#include "wizard/DlgManual.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"
#include "wizard/Plan.h"
#include "wizard/UltimaConfiguracion.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "comun/Sis.h"
#include "outside/qelapli/RegApli.h"

namespace
{
constexpr UINT kIdTcpip = 2001;
constexpr DWORD kMsParada = 2000;
// Where a router is found when nothing else is known.
constexpr char kRouterPorDefecto[] = "192.168.1.1";
constexpr char kMascaraPorDefecto[] = "255.255.255.0";

bool Dada(const std::string &direccion)
{
    return !direccion.empty() && direccion != "0.0.0.0";
}

std::string Vecina(const std::string &router, const std::string &mascara)
{
    std::string vecina;
    CDirecciones::IpVecina(router, mascara, vecina);
    return vecina;
}
} // namespace

CDlgManual::CDlgManual()
    : CDlgProgreso(IDD_MANUAL, IDS_MANUAL_TITULO, cancelarYParar,
                   {{IDC_MANUAL_TEXTO1, IDS_MANUAL_TEXTO1},
                    {IDC_MANUAL_TEXTO2, IDS_MANUAL_TEXTO2},
                    {IDC_MANUAL_ETIQ_IPROUTER, IDS_MANUAL_IPROUTER},
                    {IDC_MANUAL_ETIQ_MASCARA, IDS_MANUAL_MASCARA},
                    {IDC_MANUAL_ETIQ_IPPC, IDS_MANUAL_IPPC},
                    {IDC_MANUAL_AVISO, IDS_MANUAL_AVISO}})
{
}

BOOL CDlgManual::OnInitDialog()
{
    CDlgProgreso::OnInitDialog();
    m_tcpip.Create(this, kIdTcpip);
    return TRUE;
}

BOOL CDlgManual::OnSetActive()
{
    CDlgProgreso::OnSetActive();
    m_bCancelando = false;
    GetSheet()->SetButtonText(ID_WIZNEXT, asistente::Cadena(IDS_BOTON_RECONFIGURAR));
    Proponer();
    PonerBotones();
    return TRUE;
}

void CDlgManual::Proponer()
{
    const CDatosAsistente &datos = asistente::Datos();
    std::string router = kRouterPorDefecto, mascara = kMascaraPorDefecto, pc;
    const bool consola = Dada(datos.IpRouterConsola);
    SetTitulo(asistente::Cadena(consola ? IDS_MANUAL_CONSOLA_TITULO : IDS_MANUAL_TITULO));
    SetDlgItemText(IDC_MANUAL_TEXTO1, asistente::Cadena(consola ? IDS_MANUAL_CONSOLA : IDS_MANUAL_TEXTO1));
    if (consola)
    {
        router = datos.IpRouterConsola;
        mascara = datos.MaskRouterConsola;
        pc = Dada(datos.IpPcConsola) ? datos.IpPcConsola : Vecina(router, mascara);
    }
    else
    {
        const CUltimaConfiguracion u = CUltimaConfiguracion::Leer();
        const bool unPcEstatico = u.ModoConf == 0 && u.ModoDirec == 0;
        const std::string &ip = unPcEstatico ? u.IpPublica : u.IpPrivada;
        const std::string &m = unPcEstatico ? u.MaskPublica : u.MaskPrivada;
        const std::string primera = CDirecciones::PrimeraIp(ip, m);
        if ((unPcEstatico || u.ModoConf == 1) && Dada(ip) && Dada(m) && Dada(primera))
        {
            router = primera;
            mascara = m;
            pc = ip;
        }
        else
            pc = Vecina(router, mascara);
    }
    m_bPoniendo = true;
    IpSetAddress(IDC_MANUAL_IPROUTER, router);
    IpSetAddress(IDC_MANUAL_MASCARA, mascara);
    IpSetAddress(IDC_MANUAL_IPPC, pc);
    m_bPoniendo = false;
}

void CDlgManual::ProponerPc()
{
    const Direccion router = LeerDireccion(IDC_MANUAL_IPROUTER);
    const Direccion mascara = LeerDireccion(IDC_MANUAL_MASCARA);
    m_bPoniendo = true;
    IpSetAddress(IDC_MANUAL_IPPC, Vecina(router.texto, mascara.texto));
    m_bPoniendo = false;
}

void CDlgManual::PonerBotones()
{
    const bool llenos = LeerDireccion(IDC_MANUAL_IPROUTER).Completa() &&
                        LeerDireccion(IDC_MANUAL_MASCARA).Completa() &&
                        LeerDireccion(IDC_MANUAL_IPPC).Completa();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | (llenos ? PSWIZB_NEXT : 0));
}

void CDlgManual::OnControl(UINT nId, UINT nCodigo)
{
    if (nCodigo != kNotifCampoIp || m_bPoniendo)
        return;
    // While the user edits the router or the mask, the PC's address is proposed again.
    if (nId == IDC_MANUAL_IPROUTER || nId == IDC_MANUAL_MASCARA)
        ProponerPc();
    PonerBotones();
}

bool CDlgManual::Comprobar(const std::string &router, const std::string &mascara, const std::string &pc)
{
    auto no = [this](UINT texto) {
        Rechazar(texto, IDS_MANUAL_ERR_TITULO);
        return false;
    };
    if (!CDirecciones::EsFormatoIp(pc))
        return no(IDS_MANUAL_ERR_PC);
    if (!CDirecciones::EsMascaraValida(mascara))
        return no(IDS_MANUAL_ERR_MASCARA);
    if (!CDirecciones::EsIpValida(router, mascara))
        return no(IDS_MANUAL_ERR_ROUTER);
    if (CDirecciones::VerOcteto(router, 4) == 0)
        return no(IDS_MANUAL_ERR_ROUTER_SUBRED);
    if (CDirecciones::VerOcteto(pc, 4) == 0)
        return no(IDS_MANUAL_ERR_PC_SUBRED);
    if (pc == router)
        return no(IDS_MANUAL_ERR_PC_IGUAL);
    if (!CDirecciones::MismaSubred(router, mascara, pc))
        return no(IDS_MANUAL_ERR_SUBRED);
    const CUltimaConfiguracion u = CUltimaConfiguracion::Leer();
    if (!CDirecciones::EsPrivada(router) && Dada(u.IpPublica) && Dada(u.MaskPublica) &&
        (router != CDirecciones::PrimeraIp(u.IpPublica, u.MaskPublica) || mascara != u.MaskPublica ||
         pc != u.IpPublica) &&
        Mensaje(IDS_MANUAL_DISTINTOS, IDS_MANUAL_DISTINTOS_TITULO, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    return true;
}

LRESULT CDlgManual::OnWizardNext()
{
    const std::string router = LeerDireccion(IDC_MANUAL_IPROUTER).texto;
    const std::string mascara = LeerDireccion(IDC_MANUAL_MASCARA).texto;
    const std::string pc = LeerDireccion(IDC_MANUAL_IPPC).texto;
    if (!Comprobar(router, mascara, pc))
        return -1;
    asistente::Datos().MaskRouter = mascara;
    CambiarTcpip(router, mascara, pc);
    return -1;
}

void CDlgManual::CambiarTcpip(const std::string &router, const std::string &mascara, const std::string &pc)
{
    CDatosAsistente &datos = asistente::Datos();
    Hoja().Modem().SetModemCurIp(router.c_str());
    IUnknown *plan = nullptr;
    if (FAILED(
            plan::PlanTcpipFijo(datos.NIC, datos.ParamTcpip, plan::LeerDns(), {router, pc, mascara}, &plan)))
    {
        Fallo();
        return;
    }
    Transcribir(plan::TextoPlanTcpip(plan));
    m_tcpip.SetInfoConfig(plan);
    plan->Release();
    m_tcpip.SetDevice(datos.NIC.c_str());
    GetSheet()->SetWizardButtons(0);
    ArrancarAnimacion();
    if (FAILED(m_tcpip.Start()))
        Fallo();
}

void CDlgManual::Fallo()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.CodigoError = errTcpipManual;
    datos.TextoError = asistente::Cadena(IDS_ERR_TCPIP_MANUAL);
    IrA(pagFinError);
}

void CDlgManual::OnStart(UINT nIdControl, LONG lStatus, const std::string &)
{
    if (nIdControl == kIdTcpip && lStatus == 0 && !m_bCancelando)
        Fallo();
}

void CDlgManual::OnEnd(UINT nIdControl, LONG lStatus, const std::string &)
{
    if (nIdControl != kIdTcpip)
        return;
    if (m_bCancelando)
    {
        CerrarSinPreguntar();
        return;
    }
    if (lStatus == 0)
        Fallo();
    else
        GuardarYReiniciar();
}

bool CDlgManual::PararComponente()
{
    if (!m_tcpip.IsActive())
        return false;
    m_bCancelando = true;
    m_tcpip.Stop(kMsParada);
    return true;
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
