// Page 12: the connectivity check.
#include "wizard/DlgConectividad.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "common/param/ComError.h"
#include "common/param/RouterParamPtr.h"
#include "common/param/TcpipParamPtr.h"
#include "outside/daxicom/SetZyxelConfig.h"
#include "outside/qelapli/RegApli.h"

namespace
{
constexpr UINT kIdLeerTcpip = 2003;
constexpr UINT kIdModem = 2004;
constexpr DWORD kMsParada = 2000;
constexpr int kMaxOcupado = 5; // busy checks before the download goes ahead anyway
constexpr UINT kMsOcupado = 1000;
constexpr UINT kMsPorProgreso = 300; // the component's progress lines are let through
constexpr char kFicheroDescarga[] = "643get.cfg";

bool EsDireccion(const std::string &texto)
{
    return !texto.empty() && texto != "0.0.0.0";
}
} // namespace

namespace asistente
{
bool DireccionesDelRouter(const TcpipParamPtr &actual, std::string &lista)
{
    // The DHCP server first, then every gateway, in order; a repeated address stays.
    lista.clear();
    auto agregar = [&lista](const std::string &direccion) {
        lista += (lista.empty() ? "" : ",") + direccion;
    };
    try
    {
        if (actual.GetDhcpEnable())
            if (const std::string servidor = actual.GetDhcpServer(); EsDireccion(servidor))
                agregar(servidor);
        const LONG pasarelas = actual.GetGatewayCount();
        for (LONG i = 1; i <= pasarelas; ++i)
            agregar(actual.GetGateway(i));
    }
    catch (const CComError &)
    {
        return false;
    }
    return true;
}
} // namespace asistente

CDlgConectividad::CDlgConectividad()
    : CDlgProgreso(IDD_CONECTIVIDAD, IDS_CONECTIVIDAD_TITULO, cancelarYParar,
                   {{IDC_CONECTIVIDAD_TEXTO, IDS_CONECTIVIDAD_TEXTO}})
{
}

BOOL CDlgConectividad::OnInitDialog()
{
    CDlgProgreso::OnInitDialog();
    m_leer.Create(this, kIdLeerTcpip);
    return TRUE;
}

BOOL CDlgConectividad::OnSetActive()
{
    CDlgProgreso::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    m_progresos = 0;
    m_ocupado = 0;
    m_bCancelando = false;
    m_modem = Modem::Nada;
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONECTIVIDAD_COMPROBANDO));
    ArrancarAnimacion();
    Programar(pasoLeerTcpip, 1);
    return TRUE;
}

void CDlgConectividad::Paso(UINT paso)
{
    switch (paso)
    {
    case pasoLeerTcpip:
        LeerTcpip();
        break;
    case pasoCandidatos:
        Candidatos();
        break;
    case pasoComprobar:
        Comprobar();
        break;
    case pasoDescargar:
    case pasoOcupado:
        Descargar();
        break;
    case pasoPuertos:
        Puertos();
        break;
    case pasoSeguir:
        Seguir();
        break;
    case pasoSinConectividad:
        GetSheet()->PressButton(PSBTN_NEXT);
        break;
    case pasoCerrar:
        CerrarSinPreguntar();
        break;
    case pasoFallo:
        IrA(pagFinError);
        break;
    default:
        break;
    }
}

void CDlgConectividad::LeerTcpip()
{
    m_leer.SetDevice(asistente::Datos().NIC.c_str());
    if (FAILED(m_leer.Start()))
        Fallo(std::string());
}

void CDlgConectividad::Candidatos()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.SetParamTcpip(nullptr);
    IUnknown *info = nullptr;
    m_leer.GetInfoConfig(&info);
    TcpipParamPtr actual;
    const HRESULT hr = actual.QueryFrom(info);
    if (info)
        info->Release();
    if (FAILED(hr))
    {
        Fallo(std::string());
        return;
    }
    datos.SetParamTcpip(actual.Get());
    std::string lista;
    if (!asistente::DireccionesDelRouter(actual, lista))
    {
        Fallo(std::string());
        return;
    }
    datos.ListaDirecciones = lista;
    Comprobar();
}

void CDlgConectividad::Comprobar()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.PaginaEventos = pagConectividad;
    m_modem = Modem::Comprobando;
    // A component that does not take the list has no router to find.
    if (FAILED(Hoja().Modem().CheckAccess(datos.ListaDirecciones.c_str())))
        OnEnd(kIdModem, 1, std::string());
}

void CDlgConectividad::Descargar()
{
    CSetZyxelConfig &modem = Hoja().Modem();
    if (modem.IsActive() && m_ocupado < kMaxOcupado)
    {
        ++m_ocupado;
        Programar(pasoOcupado, kMsOcupado);
        return;
    }
    asistente::Datos().PaginaEventos = pagConectividad;
    m_modem = Modem::Descargando;
    modem.SetTransferMode(1);
    if (FAILED(modem.Start()))
        OnEnd(kIdModem, 1, std::string());
}

void CDlgConectividad::Puertos()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.SetParamModem(nullptr);
    datos.ListaPuertos.clear();
    IUnknown *leido = nullptr;
    Hoja().Modem().GetModemConfig(&leido);
    if (leido)
    {
        datos.SetParamModem(leido);
        RouterParamPtr router;
        if (SUCCEEDED(router.QueryFrom(leido)))
            try
            {
                datos.ListaPuertos = router.GetPorts();
            }
            catch (const CComError &)
            {
                datos.ListaPuertos.clear();
            }
        leido->Release();
    }
    DeleteFileA((asistente::Directorio() + "\\" + kFicheroDescarga).c_str());
    EstadoInicial();
    IrA(pagPuertos);
}

void CDlgConectividad::Seguir()
{
    EstadoInicial();
    const CDatosAsistente &datos = asistente::Datos();
    IrA(datos.Operacion == 1 ? pagChangeFirm : datos.ModoConf == 1 ? pagPuertos : pagConfigurando);
}

void CDlgConectividad::EstadoInicial()
{
    CRegApli reg;
    reg.Open(asistente::ClaveRegistro().c_str(), TRUE);
    reg.SetEstadoInicial(TRUE);
    reg.Close();
    asistente::Datos().CodigoError = errNinguno;
}

void CDlgConectividad::Fallo(const std::string &textoTcpip)
{
    CDatosAsistente &datos = asistente::Datos();
    datos.CodigoError = errLecturaTcpip;
    datos.TextoError = asistente::TextoMensajeTcpip(textoTcpip);
    if (datos.TextoError.empty())
        datos.TextoError = asistente::Cadena(IDS_ERR_TCPIP_CONECTIVIDAD);
    Programar(pasoFallo, 2000);
}

void CDlgConectividad::OnStart(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    // The TCP/IP component succeeds with a non-zero status, the modem component with 0.
    if (nIdControl == kIdLeerTcpip && lStatus == 0)
        Fallo(texto);
    else if (nIdControl == kIdModem && lStatus != 0 && m_modem != Modem::Nada)
    {
        m_modem = Modem::Nada;
        Fallo(std::string());
    }
}

void CDlgConectividad::OnProgreso(UINT nIdControl, const std::string &)
{
    if (nIdControl == kIdModem)
        ++m_progresos;
}

void CDlgConectividad::OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (m_bCancelando)
    {
        CerrarSinPreguntar();
        return;
    }
    if (nIdControl == kIdLeerTcpip)
    {
        if (lStatus == 0)
            Fallo(texto);
        else
            Programar(pasoCandidatos, 1);
        return;
    }
    if (nIdControl != kIdModem)
        return;
    const Modem era = std::exchange(m_modem, Modem::Nada);
    CDatosAsistente &datos = asistente::Datos();
    // A refused password, whether at the check or at the download of the router's settings,
    // is asked for and the check runs again: the download is what keeps the router's ports.
    if (asistente::EsPasswordIncorrecto(texto))
    {
        datos.CodigoError = errLecturaTcpip;
        IrA(pagPassword);
    }
    else if (era == Modem::Comprobando)
    {
        if (lStatus == 0 && datos.ModoConf == 1 && datos.Operacion == 0)
            Descargar();
        else if (lStatus == 0)
        {
            SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONECTIVIDAD_OK));
            Programar(pasoSeguir, 3000);
        }
        else
            Programar(pasoSinConectividad, 2000);
    }
    else if (era == Modem::Descargando)
    {
        if (lStatus == 0)
            Programar(pasoPuertos, kMsPorProgreso * static_cast<UINT>(m_progresos) + 2000);
        else
        {
            SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_CONECTIVIDAD_OK));
            Programar(pasoSeguir, 2000);
        }
    }
}

BOOL CDlgConectividad::OnQueryCancel()
{
    if (m_bCancelando)
    {
        // Still running at a second cancel: the wizard closes a second later.
        Programar(pasoCerrar, 1000);
        return FALSE;
    }
    return CDlgProgreso::OnQueryCancel();
}

bool CDlgConectividad::PararComponente()
{
    if (m_leer.IsActive())
        m_leer.Stop(kMsParada);
    else if (m_modem != Modem::Nada && Hoja().Modem().IsActive())
        Hoja().Modem().Stop(kMsParada);
    else
        return false;
    m_bCancelando = true;
    return true;
}
