// The configuration plans and their printed form.
#include "wizard/Plan.h"

#include "common/param/RouterParamPtr.h"
#include "common/param/TcpipParamPtr.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"

#include <string_view>

namespace
{
constexpr char kSinDireccion[] = "0.0.0.0";
// The host name an adapter without one is given.
constexpr char kNombreEquipo[] = "UserADSL";
// One PC with dynamic addressing: the router bridges and hands out a small private network.
constexpr char kLanPuente[] = "192.168.1.1";
constexpr char kMascaraPuente[] = "255.255.255.0";
constexpr char kPoolPuente[] = "192.168.1.33";
constexpr char kTamanoPoolPuente[] = "32";
// One PC with static addressing: the router's DHCP server gives out the public address alone.
constexpr char kTamanoPoolPublico[] = "1";

bool UnPC(const CDatosAsistente &datos)
{
    return datos.ModoConf == 0;
}

bool Estatico(const CDatosAsistente &datos)
{
    return datos.ModoDirec == 0;
}

// The PC takes its address from the router's DHCP server, which always runs for one PC.
bool ClienteDhcp(const CDatosAsistente &datos)
{
    return UnPC(datos) || datos.DHCP == 0;
}

bool SinDireccion(const std::string &ip)
{
    return ip.empty() || ip == kSinDireccion;
}

// Creates the object and fills it. A failing call on the object ends the plan there: the
// object is dropped and the call's HRESULT returned, so the run reports it as a plan that could
// not be made rather than hand a half-filled object to a component.
template <class Ptr, class Rellenar> HRESULT Construir(IUnknown **plan, Rellenar rellenar)
{
    if (!plan)
        return E_POINTER;
    *plan = nullptr;
    Ptr param;
    HRESULT hr = param.CreateInstance();
    if (FAILED(hr))
        return hr;
    try
    {
        rellenar(param);
    }
    catch (const CComError &error)
    {
        return error.Error();
    }
    *plan = param.Detach();
    return S_OK;
}

// The adapter's current settings the plan keeps; all empty without a current object.
struct Actuales
{
    std::string regId, nombre, dominio;
};

Actuales LeerActuales(IUnknown *actual)
{
    Actuales valores;
    if (!actual)
        return valores;
    TcpipParamPtr param;
    const HRESULT hr = param.QueryFrom(actual);
    if (FAILED(hr))
        ThrowComError(hr, IID_ITcpipParam);
    valores.regId = param.GetRegID();
    valores.nombre = param.GetHostName();
    valores.dominio = param.GetDomain();
    return valores;
}

// The TCP/IP plan's steps: the adapter, its key, host name and domain; then a DHCP client, or
// (with `fija`) the fixed address with its gateway and the DNS pair.
void RellenarTcpip(const TcpipParamPtr &param, const std::string &nic, const Actuales &actuales,
                   const plan::Dns &dns, const plan::DireccionFija *fija)
{
    param.PutNicName(nic);
    param.PutRegID(actuales.regId);
    param.PutHostName(actuales.nombre.empty() ? kNombreEquipo : actuales.nombre);
    param.SetModified(TCPIP_GROUP_HOSTNAME, 1);
    param.PutDomain(actuales.dominio);
    param.SetModified(TCPIP_GROUP_DOMAIN, 1);
    if (!fija)
    {
        param.PutDnsEnable(0);
        param.PutDhcpEnable(1);
        param.SetModified(TCPIP_GROUP_WINS, 1);
        return;
    }
    param.PutDhcpEnable(0);
    param.PutDnsEnable(1);
    param.AddDns(dns.DNS1);
    param.AddDns(dns.DNS2);
    param.SetModified(TCPIP_GROUP_DNS, 1);
    param.AddGateway(fija->gateway);
    param.SetModified(TCPIP_GROUP_GATEWAY, 1);
    param.AddIP(fija->ip, fija->mascara);
    param.SetModified(TCPIP_GROUP_IP, 1);
    param.SetModified(TCPIP_GROUP_WINS, 1);
}

void RellenarUnPC(const RouterParamPtr &param, const CDatosAsistente &datos, const plan::Dns &dns)
{
    param.SetNat(0);
    if (Estatico(datos))
    {
        param.SetDns(dns.DNS1, dns.DNS2);
        param.SetDhcp(datos.IpPublica, kTamanoPoolPublico);
        param.SetWan(datos.IpGestion, datos.MaskGestion);
        param.SetLan(CDirecciones::PrimeraIp(datos.IpPublica, datos.MaskPublica), datos.MaskPublica);
        return;
    }
    // The PC runs PPPoE itself, through the bridge.
    param.SetEncap(0);
    param.SetBridge(1);
    param.SetLan(kLanPuente, kMascaraPuente);
    param.SetDhcp(kPoolPuente, kTamanoPoolPuente);
}

void RellenarVariosPC(const RouterParamPtr &param, const CDatosAsistente &datos, const plan::Dns &dns)
{
    if (!datos.ListaPuertos.empty())
        param.SetPorts(datos.ListaPuertos);
    param.SetNat(1);
    param.SetLan(plan::RouterDelPlan(datos), datos.MaskPrivada);
    if (datos.DHCP == 0)
    {
        param.SetDns(dns.DNS1, dns.DNS2);
        param.SetDhcp(datos.IpPrivada,
                      std::to_string(CDirecciones::TamanoPool(datos.IpPrivada, datos.MaskPrivada)));
    }
    if (Estatico(datos))
    {
        param.SetWan(datos.IpPublica, datos.MaskPublica);
        return;
    }
    param.SetEncap(1);
    param.SetUser(datos.Username, datos.Password);
}

// The printed form: a title, then "  Etiqueta: valor" lines.
class CListado
{
  public:
    explicit CListado(std::string_view titulo) : m_texto(titulo) { m_texto += '\n'; }
    void Linea(std::string_view etiqueta, std::string_view valor)
    {
        m_texto.append("  ").append(etiqueta).append(": ").append(valor.empty() ? "-" : valor).append("\n");
    }
    void Par(std::string_view etiqueta, const TextPair &valores, std::string_view separador = " / ")
    {
        Linea(etiqueta, valores.first + std::string(separador) + valores.second);
    }
    void SiNo(std::string_view etiqueta, LONG valor) { Linea(etiqueta, valor ? "Si" : "No"); }
    std::string Fin(const CComError *error = nullptr)
    {
        if (error)
            Linea("Error al leer el plan", error->ErrorMessage());
        return m_texto;
    }

  private:
    std::string m_texto;
};

template <class Ptr, class Lector> std::string Listar(IUnknown *plan, std::string_view titulo, Lector listar)
{
    CListado listado(titulo);
    Ptr param;
    if (FAILED(param.QueryFrom(plan)))
    {
        listado.Linea("Plan", "no disponible");
        return listado.Fin();
    }
    try
    {
        listar(param, listado);
    }
    catch (const CComError &error)
    {
        return listado.Fin(&error);
    }
    return listado.Fin();
}

template <class Leer> void Lista(CListado &listado, std::string_view etiqueta, LONG cuenta, Leer leer)
{
    for (LONG i = 1; i <= cuenta; ++i)
        listado.Linea(std::string(etiqueta) + " " + std::to_string(i), leer(i));
}

std::string Oculta(const std::string &password)
{
    return std::string(password.size(), '*');
}

struct Grupo
{
    LONG numero;
    const char *nombre;
};
constexpr Grupo kGrupos[] = {
    {TCPIP_GROUP_IP, "direcciones"},
    {TCPIP_GROUP_GATEWAY, "puertas de enlace"},
    {TCPIP_GROUP_DNS, "DNS"},
    {TCPIP_GROUP_WINS, "WINS"},
    {TCPIP_GROUP_HOSTNAME, "nombre del equipo"},
    {TCPIP_GROUP_DOMAIN, "dominio"},
};

std::string GruposModificados(const TcpipParamPtr &param)
{
    std::string grupos;
    for (const Grupo &grupo : kGrupos)
        if (param.IsModified(grupo.numero))
            grupos.append(grupos.empty() ? "" : ", ").append(grupo.nombre);
    return grupos;
}
} // namespace

namespace plan
{
Dns LeerDns()
{
    Dns dns;
    if (!asistente::LeerConfig("DNS", "DNS1", dns.DNS1) || !asistente::LeerConfig("DNS", "DNS2", dns.DNS2))
        return {kSinDireccion, kSinDireccion};
    return dns;
}

std::string RouterDelPlan(const CDatosAsistente &datos)
{
    return SinDireccion(datos.IpRouter) ? CDirecciones::PrimeraIp(datos.IpPrivada, datos.MaskPrivada)
                                        : datos.IpRouter;
}

HRESULT PlanTcpip(const CDatosAsistente &datos, IUnknown *actual, const Dns &dns, IUnknown **plan)
{
    if (ClienteDhcp(datos))
        return Construir<TcpipParamPtr>(plan, [&](const TcpipParamPtr &param) {
            RellenarTcpip(param, datos.NIC, LeerActuales(actual), dns, nullptr);
        });
    const DireccionFija fija{RouterDelPlan(datos), datos.IpPrivada, datos.MaskPrivada};
    return PlanTcpipFijo(datos.NIC, actual, dns, fija, plan);
}

HRESULT PlanTcpipFijo(const std::string &nic, IUnknown *actual, const Dns &dns, const DireccionFija &fija,
                      IUnknown **plan)
{
    return Construir<TcpipParamPtr>(plan, [&](const TcpipParamPtr &param) {
        RellenarTcpip(param, nic, LeerActuales(actual), dns, &fija);
    });
}

HRESULT PlanModem(const CDatosAsistente &datos, const Dns &dns, IUnknown **plan)
{
    return Construir<RouterParamPtr>(plan, [&](const RouterParamPtr &param) {
        if (UnPC(datos))
            RellenarUnPC(param, datos, dns);
        else
            RellenarVariosPC(param, datos, dns);
    });
}

std::string TextoPlanTcpip(IUnknown *plan)
{
    return Listar<TcpipParamPtr>(
        plan, "Plan TCP/IP del PC:", [](const TcpipParamPtr &param, CListado &listado) {
            listado.Linea("Adaptador", param.GetNicName());
            listado.Linea("Clave del adaptador", param.GetRegID());
            listado.Linea("Nombre del equipo", param.GetHostName());
            listado.Linea("Dominio", param.GetDomain());
            listado.SiNo("Cliente DHCP", param.GetDhcpEnable());
            listado.SiNo("DNS propios", param.GetDnsEnable());
            Lista(listado, "Dirección IP", param.GetIPCount(), [&](LONG i) {
                const TextPair ip = param.GetIP(i);
                return ip.first + " / " + ip.second;
            });
            Lista(listado, "Puerta de enlace", param.GetGatewayCount(),
                  [&](LONG i) { return param.GetGateway(i); });
            Lista(listado, "Servidor DNS", param.GetDnsCount(), [&](LONG i) { return param.GetDns(i); });
            listado.Linea("Cambia", GruposModificados(param));
        });
}

std::string TextoPlanModem(IUnknown *plan)
{
    return Listar<RouterParamPtr>(
        plan, "Plan del router:", [](const RouterParamPtr &param, CListado &listado) {
            listado.Par("LAN", param.GetLan());
            listado.Par("WAN", param.GetWan());
            listado.Par("DNS", param.GetDns(), ", ");
            const TextPair dhcp = param.GetDhcp();
            listado.Linea("DHCP", dhcp.first.empty() ? "" : dhcp.first + ", " + dhcp.second + " direcciones");
            listado.SiNo("NAT", param.GetNat());
            listado.SiNo("Puente", param.GetBridge());
            listado.SiNo("PPPoE en el router", param.GetEncap());
            const TextPair usuario = param.GetUser();
            listado.Linea("Usuario", usuario.first);
            listado.Linea("Contraseña", Oculta(usuario.second));
            listado.Linea("Puertos", param.GetPorts());
        });
}
} // namespace plan
