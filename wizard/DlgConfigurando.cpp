// Page 19: the configuration run.
#include "wizard/DlgConfigurando.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"
#include "wizard/Plan.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "outside/daxicom/Texto.h"
#include "outside/qelapli/RegApli.h"
#include "pppoe/DaxWPoet.h"

namespace
{
constexpr UINT kIdTcpip = 2001;
constexpr UINT kIdModem = 2004;
constexpr DWORD kMsParada = 2000;
constexpr UINT kMsPorProgreso = 300; // the router's progress lines are let through
constexpr UINT kMsEntrePasos = 1000;
constexpr UINT kMsReintento = 2000;
constexpr char kRegistroRutas[] = "QelFixRT";

// The wizard's folder in its short (8.3) form, for a command line without quotes.
std::string DirectorioCorto()
{
    const std::string largo = asistente::Directorio();
    char corto[MAX_PATH] = "";
    const DWORD n = GetShortPathNameA(largo.c_str(), corto, sizeof corto);
    return n > 0 && n < sizeof corto ? std::string(corto, n) : largo;
}

} // namespace

CDlgConfigurando::CDlgConfigurando()
    : CDlgProgreso(IDD_CONFIGURANDO, IDS_CONFIGURANDO_TITULO, cancelarYParar,
                   {{IDC_CONFIGURANDO_TEXTO1, IDS_CONFIGURANDO_TEXTO1},
                    {IDC_CONFIGURANDO_TEXTO2, IDS_CONFIGURANDO_TEXTO2}})
{
}

BOOL CDlgConfigurando::OnInitDialog()
{
    CDlgProgreso::OnInitDialog();
    m_tcpip.Create(this, kIdTcpip);
    return TRUE;
}

BOOL CDlgConfigurando::OnSetActive()
{
    CDlgProgreso::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    m_bReintentado = false;
    m_bCancelando = false;
    m_bModem = false;
    ArrancarAnimacion();
    Modem(true);
    return TRUE;
}

void CDlgConfigurando::Paso(UINT paso)
{
    switch (paso)
    {
    case pasoModem:
        Modem(false);
        break;
    case pasoModemHecho:
        SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONF_MODEM_FIN));
        Programar(pasoTcpip, kMsEntrePasos);
        break;
    case pasoTcpip:
        Tcpip();
        break;
    case pasoRas:
        Ras();
        break;
    case pasoRutas:
        Rutas();
        break;
    case pasoPassword:
        IrA(pagPassword);
        break;
    case pasoCerrar:
        CerrarSinPreguntar();
        break;
    default:
        break;
    }
}

void CDlgConfigurando::Modem(bool bConEstado)
{
    if (bConEstado)
        SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONF_MODEM_INICIO));
    CDatosAsistente &datos = asistente::Datos();
    datos.SetParamModem(nullptr);
    IUnknown *plan = nullptr;
    if (FAILED(plan::PlanModem(datos, plan::LeerDns(), &plan)) || !plan)
    {
        Error(errModem, asistente::Cadena(IDS_ERR_PARAMETROS));
        return;
    }
    datos.SetParamModem(plan);
    Transcribir(plan::TextoPlanModem(plan));
    plan->Release();
    m_progresos = 0;
    CSetZyxelConfig &modem = Hoja().Modem();
    modem.SetModemConfig(datos.ParamModem);
    datos.PaginaEventos = pagConfigurando;
    m_bModem = true;
    if (FAILED(modem.Start()))
        ModemTerminado(1, std::string());
}

void CDlgConfigurando::ModemTerminado(LONG lStatus, const std::string &texto)
{
    m_bModem = false;
    if (asistente::EsPasswordIncorrecto(texto))
    {
        asistente::Datos().CodigoError = errModem;
        Programar(pasoPassword, 1);
    }
    else if (lStatus == 0)
        Programar(pasoModemHecho, kMsPorProgreso * static_cast<UINT>(m_progresos) + 1);
    else if (!m_bReintentado)
    {
        m_bReintentado = true;
        Programar(pasoModem, kMsReintento);
    }
    else
        Error(errModem, asistente::TextoMensajeModem(texto));
}

void CDlgConfigurando::Tcpip()
{
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONF_TCPIP_INICIO));
    CDatosAsistente &datos = asistente::Datos();
    IUnknown *plan = nullptr;
    if (FAILED(plan::PlanTcpip(datos, datos.ParamTcpip, plan::LeerDns(), &plan)) || !plan)
    {
        Error(errTcpip, asistente::Cadena(IDS_ERR_PARAMETROS));
        return;
    }
    Transcribir(plan::TextoPlanTcpip(plan));
    m_tcpip.SetInfoConfig(plan);
    plan->Release();
    m_tcpip.SetDevice(datos.NIC.c_str());
    if (FAILED(m_tcpip.Start()))
        TcpipTerminado(0, std::string());
}

void CDlgConfigurando::TcpipTerminado(LONG lStatus, const std::string &texto)
{
    if (lStatus == 0)
    {
        Error(errTcpip, asistente::TextoMensajeTcpip(texto));
        return;
    }
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONF_TCPIP_FIN));
    const CDatosAsistente &datos = asistente::Datos();
    const bool marca = datos.ModoConf == 0 && datos.ModoDirec == 1;
    Programar(marca ? pasoRas : pasoRutas, kMsEntrePasos);
}

void CDlgConfigurando::Ras()
{
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONF_RAS_INICIO));
    IWPoet *poet = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WPoet, nullptr, CLSCTX_ALL, IID_IWPoet,
                                reinterpret_cast<void **>(&poet))) ||
        !poet)
    {
        Error(errRas, asistente::Cadena(IDS_ERR_PARAMETROS));
        return;
    }
    const CDatosAsistente &datos = asistente::Datos();
    const HRESULT hr = poet->CreateConnection(daxicom::CBstr(datos.Username.c_str()).Get(),
                                              daxicom::CBstr(datos.Password.c_str()).Get());
    poet->Release();
    if (hr != S_OK)
    {
        Error(errRas, asistente::Cadena(IDS_ERR_CONEXION_RAS));
        return;
    }
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONF_RAS_FIN));
    Programar(pasoRutas, kMsEntrePasos);
}

void CDlgConfigurando::Rutas()
{
    CDatosAsistente &datos = asistente::Datos();
    std::string nombre;
    if (!asistente::LeerConfig("General", "Nemonico", nombre) || nombre.empty())
        nombre = kRegistroRutas;
    CRegApli reg;
    reg.Open(asistente::ClaveRegistro().c_str(), TRUE);
    datos.RutasFallidas = 0;
    if (datos.ModoConf == 0 && datos.ModoDirec == 0)
    {
        // The route fixer runs now and at every start of the PC: the router's public network
        // must be reached through the card, not the dial-up default route.
        // "%s\QelFixRT.exe %s %s %s": the folder, the public address, its mask and the router.
        const std::string orden = DirectorioCorto() + "\\QelFixRT.exe " + datos.IpPublica + " " +
                                  datos.MaskPublica + " " +
                                  CDirecciones::PrimeraIp(datos.IpPublica, datos.MaskPublica);
        reg.Write(nombre.c_str(), orden.c_str());
        if (!asistente::Lanzar(orden))
            datos.RutasFallidas = 1;
    }
    else
        reg.Delete(nombre.c_str());
    reg.Close();
    IrA(pagFinOK);
}

void CDlgConfigurando::Error(DWORD codigo, const std::string &texto)
{
    CDatosAsistente &datos = asistente::Datos();
    datos.CodigoError = codigo;
    datos.TextoError = texto;
    IrA(pagFinError);
}

void CDlgConfigurando::OnStart(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (m_bCancelando)
        return;
    // The TCP/IP component succeeds with a non-zero status, the modem component with 0.
    if (nIdControl == kIdModem && lStatus != 0 && m_bModem)
    {
        m_bModem = false;
        Error(errModem, asistente::TextoMensajeModem(texto));
    }
    else if (nIdControl == kIdTcpip && lStatus == 0)
        Error(errTcpip, asistente::TextoMensajeTcpip(texto));
}

void CDlgConfigurando::OnProgreso(UINT nIdControl, const std::string &)
{
    if (nIdControl == kIdModem)
        ++m_progresos;
}

void CDlgConfigurando::OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (m_bCancelando)
    {
        CerrarSinPreguntar();
        return;
    }
    if (nIdControl == kIdModem && m_bModem)
        ModemTerminado(lStatus, texto);
    else if (nIdControl == kIdTcpip)
        TcpipTerminado(lStatus, texto);
}

BOOL CDlgConfigurando::OnQueryCancel()
{
    if (m_bCancelando)
    {
        // Still running at a second cancel: the wizard closes a second later.
        Programar(pasoCerrar, 1000);
        return FALSE;
    }
    if (Mensaje(IDS_CONF_CANCELAR_PREGUNTA, IDS_CONF_CANCELAR_TITULO, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return FALSE;
    if (m_tcpip.IsActive())
        m_tcpip.Stop(kMsParada);
    else if (m_bModem && Hoja().Modem().IsActive())
        Hoja().Modem().Stop(kMsParada);
    else
        return TRUE;
    m_bCancelando = true;
    return FALSE;
}
