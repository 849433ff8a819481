// Page 11: the summary of the answers. Its lines are the ones that apply to the mode, one after
// another; the DNS servers are the ones "Config.ini" gives. "Detalles..." runs the preview: the
// adapter's current settings are read, the router is looked for and its configuration
// downloaded beside the one the modem module would upload, and the TCP/IP module writes its
// deferred-change file; then everything shows in one box and whatever was touched is put back.
#include "wizard/DlgResumenDatos.h"
#include "wizard/DatosAsistente.h"
#include "wizard/DlgConectividad.h"
#include "wizard/Globales.h"
#include "wizard/Plan.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "outside/daxicom/SetZyxelConfig.h"
#include "outside/qelapli/RegApli.h"

#include <utility>
#include <vector>

namespace
{
constexpr int kFilas = 12;
constexpr UINT kIdLeerTcpip = 2003;
constexpr UINT kIdTcpip = 2001;
constexpr UINT kIdModem = 2004;
constexpr DWORD kMsParada = 2000;
// How often, and how many times, the preview looks whether the modem component is free again.
constexpr UINT kMsOcupado = 50;
constexpr int kMaxOcupado = 100;
constexpr char kConexion[] = "Conexión ADSL Router";
constexpr char kOculto[] = "********";
// The preview's own files: the router's configuration as it is and the one the run would send.
constexpr char kActual[] = "actual.cfg";
constexpr char kNuevo[] = "nuevo.cfg";
constexpr char kDeferido[] = "TcpChang.reg";
// What the TCP/IP module changes at once even when its writes are deferred: on 95/98/Me the old
// WINS values (an import file cannot delete a value), on NT the DHCP client's start.
constexpr char kClaveTcpip9x[] = "System\\CurrentControlSet\\Services\\Class\\NetTrans";
constexpr char kClaveDhcpNT[] = "System\\CurrentControlSet\\Services\\DHCP";

UINT Etiqueta(int fila)
{
    return IDC_RESUMEN_ETIQUETA1 + 2 * static_cast<UINT>(fila);
}

UINT Valor(int fila)
{
    return IDC_RESUMEN_VALOR1 + 2 * static_cast<UINT>(fila);
}

using Linea = std::pair<UINT, std::string>; // label string, value

std::vector<Linea> Lineas(const CDatosAsistente &d)
{
    using asistente::Cadena;
    const bool multipuesto = d.ModoConf == 1;
    const bool estatica = d.ModoDirec == 0;
    std::vector<Linea> lineas = {
        {IDS_RESUMEN_MODOCONF, Cadena(multipuesto ? IDS_RESUMEN_MULTIPUESTO : IDS_RESUMEN_MONOPUESTO)},
        {IDS_RESUMEN_MODODIREC, Cadena(estatica ? IDS_RESUMEN_ESTATICO : IDS_RESUMEN_DINAMICO)},
        {IDS_RESUMEN_NIC, d.NIC},
    };
    if (estatica)
    {
        lineas.push_back({IDS_RESUMEN_IPPUBLICA, d.IpPublica});
        lineas.push_back({IDS_RESUMEN_MASCARAPUBLICA, d.MaskPublica});
    }
    else
    {
        // The password is the user's own: shown as its length in stars, never as text.
        lineas.push_back({IDS_RESUMEN_USUARIO, d.Username});
        lineas.push_back({IDS_RESUMEN_PASSWORD, std::string(d.Password.size(), '*')});
    }
    if (multipuesto)
    {
        lineas.push_back({IDS_RESUMEN_DHCP, Cadena(d.DHCP == 0 ? IDS_RESUMEN_SI : IDS_RESUMEN_NO)});
        lineas.push_back({IDS_RESUMEN_IPPRIVADA, d.IpPrivada});
        lineas.push_back({IDS_RESUMEN_MASCARAPRIVADA, d.MaskPrivada});
    }
    else if (estatica)
    {
        lineas.push_back({IDS_RESUMEN_IPGESTION, d.IpGestion});
        lineas.push_back({IDS_RESUMEN_MASCARAGESTION, d.MaskGestion});
    }
    const plan::Dns dns = plan::LeerDns();
    lineas.push_back({IDS_RESUMEN_DNS1, dns.DNS1});
    lineas.push_back({IDS_RESUMEN_DNS2, dns.DNS2});
    return lineas;
}

// The dial-up connection the run would create: one PC with dynamic addressing only.
vistaprevia::Seccion SeccionConexion(const CDatosAsistente &datos)
{
    using asistente::Cadena;
    if (datos.ModoConf != 0 || datos.ModoDirec != 1)
        return {Cadena(IDS_PREVIA_CONEXION_NADA), {}};
    // The PPPoE module makes a WinPoET connection when the kit's key says so ("WinPoet"), else
    // an EnterNet profile.
    DWORD winpoet = 0;
    HKEY clave = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, asistente::ClaveRegistro().c_str(), 0, KEY_QUERY_VALUE, &clave) ==
        ERROR_SUCCESS)
    {
        DWORD tamano = sizeof winpoet;
        if (RegQueryValueExA(clave, "WinPoet", nullptr, nullptr, reinterpret_cast<BYTE *>(&winpoet),
                             &tamano) != ERROR_SUCCESS)
            winpoet = 0;
        RegCloseKey(clave);
    }
    std::vector<std::string> lineas = {
        Cadena(winpoet ? IDS_PREVIA_CONEXION_RAS : IDS_PREVIA_CONEXION_ENTERNET),
        std::string("Nombre: ") + kConexion,
        "Usuario: " + datos.Username,
    };
    if (winpoet)
        lineas.push_back(std::string("Contraseña: ") + (datos.Password.empty() ? "" : kOculto));
    return {Cadena(IDS_PREVIA_CONEXION), lineas};
}

vistaprevia::Seccion SeccionRutas(const CDatosAsistente &datos)
{
    using asistente::Cadena;
    const std::vector<std::string> rutas = vistaprevia::RutasDelPlan(datos);
    if (rutas.empty())
        return {Cadena(IDS_PREVIA_RUTAS_NADA), {Cadena(IDS_PREVIA_RUTAS_BORRAR)}};
    return {Cadena(IDS_PREVIA_RUTAS), rutas};
}
} // namespace

// What one preview holds while it runs.
struct CDlgResumenDatos::Previa
{
    asistente::CCarpetaAuxiliar carpeta{"QelPrevia"};
    TcpipParamPtr actual;
    vistaprevia::CCopiaFichero deferido;
    vistaprevia::CCopiaRegistro registro;
    vistaprevia::Seccion router, tcpip;
    std::string configNueva;
};

CDlgResumenDatos::CDlgResumenDatos()
    : CDlgProgreso(IDD_RESUMENDATOS, IDS_RESUMEN_TITULO, cancelarYParar,
                   {{IDC_RESUMEN_TEXTO, IDS_RESUMEN_TEXTO}, {IDC_RESUMEN_DETALLES, IDS_PREVIA_DETALLES}})
{
}

CDlgResumenDatos::~CDlgResumenDatos()
{
    Deshacer();
}

BOOL CDlgResumenDatos::OnInitDialog()
{
    CDlgProgreso::OnInitDialog();
    m_leer.Create(this, kIdLeerTcpip);
    m_tcpip.Create(this, kIdTcpip);
    return TRUE;
}

BOOL CDlgResumenDatos::OnSetActive()
{
    CDlgProgreso::OnSetActive();
    const std::vector<Linea> lineas = Lineas(asistente::Datos());
    for (int fila = 0; fila < kFilas; ++fila)
    {
        const bool hay = fila < static_cast<int>(lineas.size());
        SetDlgItemText(Etiqueta(fila), hay ? asistente::Cadena(lineas[fila].first) : std::string());
        SetDlgItemText(Valor(fila), hay ? lineas[fila].second : std::string());
    }
    m_bCancelando = false;
    Botones();
    return TRUE;
}

void CDlgResumenDatos::Botones()
{
    const bool libre = !m_previa;
    EnableDlgItem(IDC_RESUMEN_DETALLES, libre);
    SetDlgItemText(IDC_RESUMEN_TEXTO, asistente::Cadena(libre ? IDS_RESUMEN_TEXTO : IDS_PREVIA_PREPARANDO));
    GetSheet()->SetWizardButtons(libre ? PSWIZB_BACK | PSWIZB_NEXT : 0);
}

LRESULT CDlgResumenDatos::OnWizardNext()
{
    // The answers are about to be acted on: they go through to the registry's file.
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

void CDlgResumenDatos::OnControl(UINT nId, UINT nCodigo)
{
    if (nId == IDC_RESUMEN_DETALLES && nCodigo == kNotifClic && !m_previa)
        Empezar();
}

void CDlgResumenDatos::Paso(UINT paso)
{
    // A step still due after the preview was undone has nothing to work on.
    if (!m_previa && paso != pasoCerrar)
        return;
    switch (paso)
    {
    case pasoLeerTcpip:
        LeerTcpip();
        break;
    case pasoRouter:
        Router();
        break;
    case pasoGenerar:
        Generar();
        break;
    case pasoTcpip:
        Tcpip();
        break;
    case pasoMostrar:
        Mostrar();
        break;
    case pasoCerrar:
        CerrarSinPreguntar();
        break;
    default:
        break;
    }
}

void CDlgResumenDatos::Empezar()
{
    m_previa = std::make_unique<Previa>();
    Botones();
    Programar(pasoLeerTcpip, 1);
}

void CDlgResumenDatos::LeerTcpip()
{
    m_espera = Espera::LecturaTcpip;
    m_leer.SetDevice(asistente::Datos().NIC.c_str());
    if (FAILED(m_leer.Start()))
        LecturaTerminada(0);
}

void CDlgResumenDatos::LecturaTerminada(LONG lStatus)
{
    m_espera = Espera::Nada;
    IUnknown *info = nullptr;
    if (lStatus != 0)
        m_leer.GetInfoConfig(&info);
    const HRESULT hr = m_previa->actual.QueryFrom(info);
    if (info)
        info->Release();
    if (FAILED(hr))
    {
        // Without the current settings neither the router nor the new ones can be found.
        m_previa->router = {asistente::Cadena(IDS_PREVIA_TCPIP_ERROR), {}};
        m_previa->tcpip = {asistente::Cadena(IDS_PREVIA_TCPIP_ERROR), {}};
        Programar(pasoMostrar, 1);
        return;
    }
    Programar(pasoRouter, 1);
}

void CDlgResumenDatos::Router()
{
    std::string lista;
    asistente::DireccionesDelRouter(m_previa->actual, lista);
    asistente::Datos().PaginaEventos = pagResumenDatos;
    m_espera = Espera::BusquedaRouter;
    if (FAILED(Hoja().Modem().CheckAccess(lista.c_str())))
        RouterEncontrado(1, std::string());
}

void CDlgResumenDatos::RouterEncontrado(LONG lStatus, const std::string &texto)
{
    m_espera = Espera::Nada;
    using asistente::Cadena;
    if (lStatus != 0)
    {
        m_previa->router = {Cadena(asistente::EsPasswordIncorrecto(texto) ? IDS_PREVIA_ROUTER_PASSWORD
                                                                          : IDS_PREVIA_ROUTER_SIN_ACCESO),
                            {}};
        Programar(pasoTcpip, 1);
        return;
    }
    m_ocupado = 0;
    Programar(pasoGenerar, 1);
}

void CDlgResumenDatos::Generar()
{
    using asistente::Cadena;
    // The search's worker says End just before it ends: the module takes no new work until then.
    CSetZyxelConfig &modem = Hoja().Modem();
    if (modem.IsActive() && m_ocupado++ < kMaxOcupado)
    {
        Programar(pasoGenerar, kMsOcupado);
        return;
    }
    // The file the run would upload: the plan filled into the template the upload takes.
    CDatosAsistente &datos = asistente::Datos();
    IUnknown *plan = nullptr;
    const std::string nuevo = m_previa->carpeta.Fichero(kNuevo);
    const bool generado =
        m_previa->carpeta.Hecha() && SUCCEEDED(plan::PlanModem(datos, plan::LeerDns(), &plan)) && plan &&
        SUCCEEDED(modem.SetModemConfig(plan)) && SUCCEEDED(modem.CreateConfigFile(nuevo.c_str())) &&
        asistente::LeerFichero(nuevo, m_previa->configNueva);
    if (plan)
        plan->Release();
    if (!generado)
    {
        m_previa->router = {Cadena(IDS_PREVIA_ROUTER_ERROR), {}};
        Programar(pasoTcpip, 1);
        return;
    }
    // The router's file comes down as it is, beside the new one: the wizard's folder and its
    // template stay as they are.
    m_espera = Espera::DescargaRouter;
    modem.SetBackupFile(m_previa->carpeta.Fichero(kActual).c_str());
    modem.SetTransferMode(1);
    if (FAILED(modem.Start()))
        RouterDescargado(1, std::string());
}

void CDlgResumenDatos::RouterDescargado(LONG lStatus, const std::string &texto)
{
    m_espera = Espera::Nada;
    using asistente::Cadena;
    std::string actual;
    if (lStatus != 0 || !asistente::LeerFichero(m_previa->carpeta.Fichero(kActual), actual))
        m_previa->router = {Cadena(asistente::EsPasswordIncorrecto(texto) ? IDS_PREVIA_ROUTER_PASSWORD
                                                                          : IDS_PREVIA_ROUTER_SIN_ACCESO),
                            {}};
    else
    {
        const vistaprevia::CambiosRouter cambios = vistaprevia::CompararAjustes(
            asistente::AjustesDelRouter(actual), asistente::AjustesDelRouter(m_previa->configNueva));
        std::vector<std::string> lineas = cambios.lineas;
        lineas.push_back(asistente::CadenaCon(IDS_PREVIA_ROUTER_COLUMNAS, std::to_string(cambios.iguales)));
        m_previa->router = {Cadena(cambios.lineas.empty() ? IDS_PREVIA_ROUTER_IGUAL : IDS_PREVIA_ROUTER),
                            lineas};
    }
    Programar(pasoTcpip, 1);
}

void CDlgResumenDatos::Tcpip()
{
    CDatosAsistente &datos = asistente::Datos();
    char temporal[MAX_PATH] = "";
    GetTempPathA(sizeof temporal, temporal);
    m_previa->deferido.Tomar(std::string(temporal) + kDeferido);
    m_previa->registro.Tomar(HKEY_LOCAL_MACHINE, asistente::Es9x() ? kClaveTcpip9x : kClaveDhcpNT);
    IUnknown *plan = nullptr;
    if (FAILED(plan::PlanTcpip(datos, m_previa->actual.Get(), plan::LeerDns(), &plan)) || !plan)
    {
        TcpipEscrito(0);
        return;
    }
    m_tcpip.SetInfoConfig(plan);
    plan->Release();
    m_tcpip.SetDevice(datos.NIC.c_str());
    m_tcpip.SetChangesDelay(1);
    m_espera = Espera::EscrituraTcpip;
    if (FAILED(m_tcpip.Start()))
        TcpipEscrito(0);
}

void CDlgResumenDatos::TcpipEscrito(LONG lStatus)
{
    m_espera = Espera::Nada;
    using asistente::Cadena;
    char temporal[MAX_PATH] = "";
    GetTempPathA(sizeof temporal, temporal);
    std::string reg;
    if (lStatus == 0 || !asistente::LeerFichero(std::string(temporal) + kDeferido, reg))
        m_previa->tcpip = {Cadena(IDS_PREVIA_REGISTRO_ERROR), {}};
    else
    {
        const std::vector<std::string> lineas = vistaprevia::LineasRegistro(reg);
        m_previa->tcpip = {lineas.empty() ? Cadena(IDS_PREVIA_REGISTRO_NADA)
                                          : asistente::CadenaCon(IDS_PREVIA_REGISTRO, asistente::Datos().NIC),
                           lineas};
    }
    m_previa->deferido.Restaurar();
    m_previa->registro.Restaurar();
    Programar(pasoMostrar, 1);
}

void CDlgResumenDatos::Mostrar()
{
    const CDatosAsistente &datos = asistente::Datos();
    const std::string texto = vistaprevia::Componer(
        asistente::Cadena(IDS_PREVIA_CABECERA),
        {m_previa->tcpip, SeccionConexion(datos), SeccionRutas(datos), m_previa->router});
    Deshacer();
    Botones();
    MessageBoxA(GetSafeHwnd(), texto.c_str(), asistente::Cadena(IDS_PREVIA_TITULO).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void CDlgResumenDatos::Deshacer()
{
    if (!m_previa)
        return;
    m_previa->deferido.Restaurar();
    m_previa->registro.Restaurar();
    m_previa.reset();
    if (asistente::Datos().PaginaEventos == pagResumenDatos)
        asistente::Datos().PaginaEventos = 0;
}

void CDlgResumenDatos::OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (!m_previa)
        return;
    if (m_bCancelando)
    {
        Deshacer();
        CerrarSinPreguntar();
        return;
    }
    const Espera era = m_espera;
    if (nIdControl == kIdLeerTcpip && era == Espera::LecturaTcpip)
        LecturaTerminada(lStatus);
    else if (nIdControl == kIdModem && era == Espera::BusquedaRouter)
        RouterEncontrado(lStatus, texto);
    else if (nIdControl == kIdModem && era == Espera::DescargaRouter)
        RouterDescargado(lStatus, texto);
    else if (nIdControl == kIdTcpip && era == Espera::EscrituraTcpip)
        TcpipEscrito(lStatus);
}

BOOL CDlgResumenDatos::OnQueryCancel()
{
    if (m_bCancelando)
    {
        // Still running at a second cancel: the wizard closes a second later.
        Programar(pasoCerrar, 1000);
        return FALSE;
    }
    return CDlgProgreso::OnQueryCancel();
}

bool CDlgResumenDatos::PararComponente()
{
    if (m_espera == Espera::LecturaTcpip && m_leer.IsActive())
        m_leer.Stop(kMsParada);
    else if (m_espera == Espera::EscrituraTcpip && m_tcpip.IsActive())
        m_tcpip.Stop(kMsParada);
    else if ((m_espera == Espera::BusquedaRouter || m_espera == Espera::DescargaRouter) &&
             Hoja().Modem().IsActive())
        Hoja().Modem().Stop(kMsParada);
    else
    {
        Deshacer();
        return false;
    }
    m_bCancelando = true;
    return true;
}
