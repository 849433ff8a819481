// CModemConfig: the modem-router's configuration file.
#include "modem/ModemConfig.h"
#include "common/com/ThreadEnd.h"

#include "modem/FicheroLineas.h"
#include "modem/Subredes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

namespace
{
using namespace std::string_view_literals;

// Tokens are ASCII, and no other byte of code page 1252 upper-cases into ASCII, so an ASCII
// upper-casing finds exactly what a 1252 one finds.
std::string Mayusculas(std::string_view texto)
{
    std::string mayusculas(texto);
    for (char &c : mayusculas)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return mayusculas;
}

bool Contiene(std::string_view texto, std::string_view buscado)
{
    return texto.find(buscado) != std::string_view::npos;
}

// Replaces every occurrence, left to right; a replacement is never searched again.
void ReemplazarTodo(std::string &linea, std::string_view token, std::string_view valor)
{
    size_t pos = linea.find(token);
    if (pos == std::string::npos)
        return;
    std::string resultado;
    resultado.reserve(linea.size());
    size_t desde = 0;
    for (; pos != std::string::npos; pos = linea.find(token, desde))
    {
        resultado.append(linea, desde, pos - desde);
        resultado.append(valor);
        desde = pos + token.size();
    }
    resultado.append(linea, desde, std::string::npos);
    linea.swap(resultado);
}

// The text up to the first comma; the rest becomes what follows that comma (nothing without one).
std::string_view CortarElemento(std::string_view &resto)
{
    const size_t coma = resto.find(',');
    const std::string_view elemento = resto.substr(0, coma);
    resto = coma == std::string_view::npos ? std::string_view() : resto.substr(coma + 1);
    return elemento;
}

// The first group of template tokens, in the order they are tested; the first one a line holds
// is the only one of the group replaced in it.
enum class Token
{
    EncapType,
    Bridge,
    Route,
    User,
    Password,
    StaticWanIp,
    RouterLanIp,
    RouterLanMask,
    RouterWanIp,
    WanMask,
    DslamIp,
    NatEnabled,
    FilterNumber1,
    FilterNumber2,
    FilterName,
    FilterActive,
    FilterDstMask,
    RemoteMng,
    DefaultIp,
    PortNumber,
    LocalIp,
    GrantPort80,
    GrantPort21,
};

struct TokenTexto
{
    Token token;
    std::string_view texto;
};

constexpr TokenTexto kPrimerGrupo[] = {
    {Token::EncapType, "<<ENCAP_TYPE>>"},
    {Token::Bridge, "<<BRIDGE>>"},
    {Token::Route, "<<ROUTE>>"},
    {Token::User, "<<USER>>"},
    {Token::Password, "<<PASSWORD>>"},
    {Token::StaticWanIp, "<<STATIC_WAN_IP>>"},
    {Token::RouterLanIp, "<<ROUTER_LAN_IP>>"},
    {Token::RouterLanMask, "<<ROUTER_LAN_MASK>>"},
    {Token::RouterWanIp, "<<ROUTER_WAN_IP>>"},
    {Token::WanMask, "<<WAN_MASK>>"},
    {Token::DslamIp, "<<DSLAM_IP>>"},
    {Token::NatEnabled, "<<NAT_ENABLED>>"},
    {Token::FilterNumber1, "<<FILTER_NUMBER_1>>"},
    {Token::FilterNumber2, "<<FILTER_NUMBER_2>>"},
    {Token::FilterName, "<<FILTER_NAME>>"},
    {Token::FilterActive, "<<FILTER_ACTIVE>>"},
    {Token::FilterDstMask, "<<FILTER_DST_MASK>>"},
    {Token::RemoteMng, "<<REMOTE_MNG>>"},
    {Token::DefaultIp, "<<DEFAULT_IP>>"},
    {Token::PortNumber, "<<PORT_NUMBER>>"},
    {Token::LocalIp, "<<LOCAL_IP>>"},
    {Token::GrantPort80, "<<GRANT_PORT_80>>"},
    {Token::GrantPort21, "<<GRANT_PORT_21>>"},
};

// The DHCP group: enabled flag, pool start, pool size, DNS servers; the first found is replaced.
constexpr std::array<std::string_view, 5> kGrupoDhcp = {"<<DHCP_ENABLED>>", "<<START_ADDRESS>>", "<<SIZE>>",
                                                        "<<DNS1>>", "<<DNS2>>"};

// Route entry tokens; a line acts on the first of them it holds.
constexpr std::string_view kRouteName = "<<ROUTE_NAME>>";
constexpr std::string_view kRouteActive = "<<ROUTE_ACTIVE>>";
constexpr std::string_view kRouteSubnet = "<<ROUTE_SUBNET>>";
constexpr std::string_view kRouteMask = "<<ROUTE_MASK>>";
constexpr std::string_view kRouteGateway = "<<ROUTE_GATEWAY>>";

// Port-mapping tokens a downloaded file's port lines are turned into.
constexpr std::string_view kDefaultIp = "<<DEFAULT_IP>>";
constexpr std::string_view kPortNumber = "<<PORT_NUMBER>>";
constexpr std::string_view kLocalIp = "<<LOCAL_IP>>";
constexpr int kCodigoDefaultIp = 150000001;

// The texts a downloaded line is tested for, in order.
enum class Texto
{
    Puertos,
    Nat,
    Bridge,
    Dns1,
    Dns2,
    DhcpInicio,
    DhcpTam,
    Encap,
    Usuario,
    Password,
    LanIp,
    LanMascara,
    WanIp,
    WanMascara,
};

struct TextoCodigo
{
    Texto texto;
    std::string_view codigo;
};

constexpr TextoCodigo kTextosBajada[] = {
    {Texto::Puertos, "1500000"},   {Texto::Nat, "40000011"},        {Texto::Bridge, "10000006"},
    {Texto::Dns1, "30200004"},     {Texto::Dns2, "30200005"},       {Texto::DhcpInicio, "30200002"},
    {Texto::DhcpTam, "30200003"},  {Texto::Encap, "40000004"},      {Texto::Usuario, "40000009"},
    {Texto::Password, "40000010"}, {Texto::LanIp, "30200008"},      {Texto::LanMascara, "30200009"},
    {Texto::WanIp, "40000013"},    {Texto::WanMascara, "40000015"},
};

constexpr std::string_view kDummy = "dummy";

bool EsBlancoDeValor(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

// Turns the value of a port-mapping line into its token. The value is the text after the last
// "=" without its blanks, so it can only occur there once: as that text's remaining bytes, when
// no blank separates them.
void ValorATokenDePuerto(std::string &linea, size_t posIgual, std::string_view valor, std::string_view token)
{
    const size_t primero = linea.find_first_not_of(" \r\n", posIgual + 1);
    const size_t ultimo = linea.find_last_not_of(" \r\n");
    if (primero == std::string::npos || ultimo < primero || ultimo - primero + 1 != valor.size())
        return;
    linea.replace(primero, valor.size(), token);
}

HRESULT DesdeWin32(DWORD dwError)
{
    return HRESULT_FROM_WIN32(dwError);
}
} // namespace

// What a download's reading carries from line to line: the port list is kept here and stored
// once, so a file of many port lines is not copied into the object again for every line.
struct CModemConfig::CLecturaBajada
{
    std::optional<std::string> puertos;
};

CModemConfig::CModemConfig(IRouterParam *pRouterParam, CTraceLog &log) : m_param(pRouterParam), m_log(log) {}

void CModemConfig::SetRouterParam(IRouterParam *pRouterParam)
{
    if (FAILED(m_param.QueryFrom(pRouterParam)))
        m_param.Release(); // every later step then throws E_POINTER
}

bool CModemConfig::RutaPlana() const
{
    return m_param.GetNat() == 0 && m_param.GetEncap() == 0 && m_param.GetBridge() == 0;
}

// --- port list ------------------------------------------------------------------------------

void CModemConfig::CrearListaPuertos()
{
    const std::string lista = m_param.GetPorts();
    m_log.Write("Init CrearListaPuertos");
    m_log.WriteText("Lista de puertos: %s", lista.c_str());
    m_puertos.clear();
    m_ips.clear();
    std::string_view resto = lista;
    size_t nPares = 0;
    while (!resto.empty())
    {
        const std::string puerto(CortarElemento(resto));
        m_puertos.push_back(puerto);
        m_log.WriteText("CrearListaPuertos, añadiendo puerto %s", puerto.c_str());
        if (Contiene(Mayusculas(puerto), "DEFAULT"))
            m_lGrant80 = m_lGrant21 = 1;
        else if (AtoiTexto(puerto) == 80)
            m_lGrant80 = 1;
        else if (AtoiTexto(puerto) == 21)
            m_lGrant21 = 1;
        const std::string ip(CortarElemento(resto));
        m_ips.push_back(ip);
        m_log.WriteText("CrearListaPuertos, añadiendo IP %s", ip.c_str());
        ++nPares;
    }
    for (; nPares < kMinPares; ++nPares)
    {
        m_puertos.emplace_back("0");
        m_ips.emplace_back("0.0.0.0");
    }
    m_log.Write("Fin CrearListaPuertos");
}

// A slot past the arrays (a template with more port lines than the list has pairs) reads as an
// unused pair, as the filler pairs do.
std::string CModemConfig::ValorPuerto(size_t nSlot) const
{
    return nSlot < m_puertos.size() ? m_puertos[nSlot] : "0";
}

std::string CModemConfig::ValorIp(size_t nSlot) const
{
    return nSlot < m_ips.size() ? m_ips[nSlot] : "0.0.0.0";
}

// --- template -------------------------------------------------------------------------------

HRESULT CModemConfig::CrearFicheroCfg(const char *pszPlantilla, const char *pszSalida)
{
    m_log.Write("Init CrearFicheroCfg");
    CFichero plantilla = CFichero::AbrirLectura(pszPlantilla);
    if (!plantilla.Abierto())
        return S_FALSE;
    CFichero salida = CFichero::CrearEscritura(pszSalida);
    if (!salida.Abierto())
        return DesdeWin32(GetLastError());

    // Every run starts at slot 0, so a template without "<<DEFAULT_IP>>" fills the same way
    // each time.
    m_nSlotPuerto = 0;
    DWORD dwError = ERROR_SUCCESS;
    try
    {
        CLectorLineas lector(plantilla.Get());
        CEscritorFichero escritor(salida.Get());
        std::string linea;
        while (lector.LeerLinea(linea))
        {
            if (Contiene(linea, "<<"))
                SustituirTokens(linea);
            std::erase(linea, '\r');
            if (!escritor.Escribir(linea))
                break;
        }
        dwError = lector.Error() != ERROR_SUCCESS ? lector.Error() : escritor.Error();
        if (dwError == ERROR_SUCCESS && !escritor.Vaciar())
            dwError = escritor.Error();
    }
    catch (...)
    {
        salida.Cerrar();
        DeleteFileA(pszSalida);
        throw;
    }
    if (!salida.Cerrar() && dwError == ERROR_SUCCESS)
        dwError = GetLastError();
    if (dwError != ERROR_SUCCESS)
    {
        DeleteFileA(pszSalida);
        return DesdeWin32(dwError);
    }
    return S_OK;
}

void CModemConfig::SustituirTokens(std::string &linea)
{
    // Tokens are looked for in an upper-cased copy made once, and replaced in the line itself
    // with their exact case: a token written in lower case is found but stays.
    const std::string mayusculas = Mayusculas(linea);
    SustituirPrimerGrupo(linea, mayusculas);
    SustituirDhcp(linea, mayusculas);
}

// The parameter object is asked only for lines that hold a token of the group: most lines of a
// template hold none, and each question is a COM call.
void CModemConfig::SustituirPrimerGrupo(std::string &linea, const std::string &mayusculas)
{
    const auto encontrado = std::find_if(std::begin(kPrimerGrupo), std::end(kPrimerGrupo),
                                         [&](const TokenTexto &t) { return Contiene(mayusculas, t.texto); });
    if (encontrado == std::end(kPrimerGrupo))
        return;
    const bool bEncap = m_param.GetEncap() != 0;
    const bool bBridge = m_param.GetBridge() != 0;
    const auto plana = [&] { return m_param.GetNat() == 0 && !bEncap && !bBridge; };
    const auto sinFiltro = [&] { return bBridge || plana(); };
    std::string valor;
    switch (encontrado->token)
    {
    case Token::EncapType:
        valor = bEncap ? "2" : "3";
        break;
    case Token::Bridge:
        valor = bBridge ? "1" : "0";
        break;
    case Token::Route:
        valor = bBridge ? "0" : "1";
        break;
    case Token::User:
        if (bEncap)
            valor = m_param.GetUser().first;
        break;
    case Token::Password:
        if (bEncap)
            valor = m_param.GetUser().second;
        break;
    case Token::StaticWanIp:
        valor = bEncap ? "1" : "0";
        break;
    case Token::RouterLanIp:
        valor = m_param.GetLan().first;
        break;
    case Token::RouterLanMask:
        valor = MascaraAPrefijo(m_param.GetLan().second);
        break;
    case Token::RouterWanIp:
        // The WAN address line itself is left empty with PPP; other lines naming it get 0.0.0.0.
        if (Contiene(mayusculas, "40000013"))
            valor = bEncap ? "" : m_param.GetWan().first;
        else
            valor = bEncap ? "0.0.0.0" : m_param.GetWan().first;
        break;
    case Token::WanMask:
        if (plana())
            valor = MascaraAPrefijo(m_param.GetWan().second);
        break;
    case Token::DslamIp:
        if (plana())
        {
            const auto [ip, mascara] = m_param.GetWan();
            valor = RedMasUno(ip, mascara);
        }
        break;
    case Token::NatEnabled:
        valor = m_param.GetNat() != 0 ? "1" : "0";
        break;
    case Token::FilterNumber1:
        valor = sinFiltro() ? "256" : "1";
        break;
    case Token::FilterNumber2:
        valor = sinFiltro() ? "256" : "12";
        break;
    case Token::FilterName:
        valor = sinFiltro() ? "" : "filtro";
        break;
    case Token::FilterActive:
        valor = sinFiltro() ? "0" : "1";
        break;
    case Token::FilterDstMask:
        valor = MascaraAPrefijo(bEncap ? "0.0.0.0" : "255.255.255.255");
        break;
    case Token::RemoteMng:
        valor = bEncap ? "2" : "0";
        break;
    case Token::DefaultIp:
        if (!m_puertos.empty() && Contiene(m_puertos[0], "Default"))
        {
            valor = ValorIp(0);
            m_nSlotPuerto = 1;
        }
        else
        {
            valor = "0.0.0.0";
            m_nSlotPuerto = 0;
        }
        break;
    case Token::PortNumber:
        valor = ValorPuerto(m_nSlotPuerto);
        break;
    case Token::LocalIp:
        valor = ValorIp(m_nSlotPuerto);
        ++m_nSlotPuerto;
        break;
    case Token::GrantPort80:
        valor = m_lGrant80 ? "1" : "0";
        break;
    case Token::GrantPort21:
        valor = m_lGrant21 ? "1" : "0";
        break;
    }
    ReemplazarTodo(linea, encontrado->texto, valor);
}

void CModemConfig::SustituirDhcp(std::string &linea, const std::string &mayusculas)
{
    const auto encontrado = std::find_if(kGrupoDhcp.begin(), kGrupoDhcp.end(),
                                         [&](std::string_view token) { return Contiene(mayusculas, token); });
    if (encontrado == kGrupoDhcp.end())
        return;
    const auto [inicio, tam] = m_param.GetDhcp();
    std::array<std::string, kGrupoDhcp.size()> valores = {"0", "", "", "", ""};
    if (!inicio.empty())
    {
        const auto [dns1, dns2] = m_param.GetDns();
        valores = {"1", inicio, tam, dns1, dns2};
    }
    ReemplazarTodo(linea, *encontrado, valores[static_cast<size_t>(encontrado - kGrupoDhcp.begin())]);
}

// --- routes ---------------------------------------------------------------------------------

HRESULT CModemConfig::PrepararRutas(const char *pszConfig)
{
    std::vector<std::string> rutas;
    if (RutaPlana())
    {
        const std::string mascaraLan = m_param.GetLan().second;
        const std::string inicioDhcp = m_param.GetDhcp().first;
        CalcularSubredesVecinas(inicioDhcp.c_str(), mascaraLan.c_str(), rutas);
        rutas.emplace_back("0.0.0.0"); // the default route: mask and subnet 0.0.0.0
        rutas.emplace_back("0.0.0.0");
    }
    return EscribirRutas(pszConfig, rutas);
}

HRESULT CModemConfig::EscribirRutas(const char *pszConfig, const std::vector<std::string> &rutas)
{
    m_log.Write("Init EscribirRutas");
    const HRESULT hr = [&]() -> HRESULT {
        const std::string temporal = RutaEnDirectorioActual(kTemporal);
        const auto [wanIp, wanMascara] = m_param.GetWan();
        const std::string gateway = RedMasUno(wanIp, wanMascara);
        CFichero config = CFichero::AbrirLectura(pszConfig);
        if (!config.Abierto())
            return S_FALSE;
        if (temporal.empty())
            return DesdeWin32(ERROR_BUFFER_OVERFLOW);
        CFichero salida = CFichero::CrearEscritura(temporal.c_str());
        if (!salida.Abierto())
            return DesdeWin32(GetLastError());

        long long nRuta = 1;
        bool bQuedan = true;
        size_t cursor = 0;
        std::string subred, prefijo;
        CLectorLineas lector(config.Get());
        CEscritorFichero escritor(salida.Get());
        std::string linea;
        while (lector.LeerLinea(linea))
        {
            if (Contiene(linea, "<<"))
            {
                if (Contiene(linea, kRouteName))
                {
                    const std::string nombre = "ruta" + std::to_string(nRuta++);
                    // A lone mask at the end of the list makes no route: the list counts as used up.
                    if (bQuedan && cursor + 1 < rutas.size())
                    {
                        ReemplazarTodo(linea, kRouteName, nombre);
                        prefijo = MascaraAPrefijo(rutas[cursor]);
                        subred = rutas[cursor + 1];
                        cursor += 2;
                        m_log.Write(("subred: " + subred + "/" + prefijo).c_str());
                    }
                    else
                    {
                        ReemplazarTodo(linea, kRouteName, "");
                        bQuedan = false;
                    }
                }
                else if (Contiene(linea, kRouteActive))
                    ReemplazarTodo(linea, kRouteActive, bQuedan ? "1" : "0");
                else if (Contiene(linea, kRouteSubnet))
                    ReemplazarTodo(linea, kRouteSubnet, bQuedan ? subred : "0");
                else if (Contiene(linea, kRouteMask))
                    ReemplazarTodo(linea, kRouteMask, bQuedan ? prefijo : "0");
                else if (Contiene(linea, kRouteGateway))
                    ReemplazarTodo(linea, kRouteGateway, bQuedan ? gateway : "0");
            }
            if (!escritor.Escribir(linea))
                break;
        }
        DWORD dwError = lector.Error() != ERROR_SUCCESS ? lector.Error() : escritor.Error();
        if (dwError == ERROR_SUCCESS && !escritor.Vaciar())
            dwError = escritor.Error();
        if (!salida.Cerrar() && dwError == ERROR_SUCCESS)
            dwError = GetLastError();
        config.Cerrar();
        if (dwError != ERROR_SUCCESS)
        {
            DeleteFileA(temporal.c_str());
            return DesdeWin32(dwError);
        }
        dwError = ReemplazarFichero(temporal.c_str(), pszConfig);
        return dwError == ERROR_SUCCESS ? S_OK : DesdeWin32(dwError);
    }();
    m_log.Write("Fin EscribirRutas");
    return hr;
}

// --- reading a downloaded file --------------------------------------------------------------

HRESULT CModemConfig::LeerConfig812(const char *pszFichero)
{
    m_log.Write("Init LeerConfig812");
    const HRESULT hr = LeerBajada(pszFichero, true);
    m_log.Write("Fin LeerConfig812");
    return hr;
}

HRESULT CModemConfig::LeerAjustes812(const char *pszFichero)
{
    m_log.Write("Init LeerAjustes812");
    const HRESULT hr = LeerBajada(pszFichero, false);
    m_log.Write("Fin LeerAjustes812");
    return hr;
}

KITCOM_CATCHES_THREAD_END HRESULT CModemConfig::LeerBajada(const char *pszFichero, bool bPlantilla)
{
    m_param.Reset();
    const HRESULT hr = [&]() -> HRESULT {
        CFichero fichero = CFichero::AbrirLectura(pszFichero);
        if (!fichero.Abierto())
            return S_FALSE;
        CLecturaBajada lectura;
        std::string plantilla;
        DWORD dwError = ERROR_SUCCESS;
        try
        {
            const DWORD cbFichero = GetFileSize(fichero.Get(), nullptr);
            if (cbFichero != INVALID_FILE_SIZE)
                plantilla.reserve(cbFichero);
            CLectorLineas lector(fichero.Get());
            std::string linea;
            while (lector.LeerLinea(linea))
            {
                TransformarLinea(linea, lectura);
                plantilla += linea;
            }
            dwError = lector.Error();
        }
        catch (...)
        {
            // What was read before the failure stays stored, as it would line by line.
            try
            {
                if (lectura.puertos)
                    m_param.SetPorts(*lectura.puertos);
            }
            KITCOM_LET_THREAD_END_THROUGH
            catch (...) {}
            throw;
        }
        if (lectura.puertos)
            m_param.SetPorts(*lectura.puertos);
        fichero.Cerrar();
        if (dwError != ERROR_SUCCESS)
            return DesdeWin32(dwError); // the file stays as it was downloaded
        if (!bPlantilla)
            return S_OK;

        // The new content goes to a file beside it first, so a failed write loses nothing.
        const std::string temporal = std::string(pszFichero) + ".tmp";
        CFichero salida = CFichero::CrearEscritura(temporal.c_str());
        if (!salida.Abierto())
            return DesdeWin32(GetLastError());
        CEscritorFichero escritor(salida.Get());
        if (!escritor.Escribir(plantilla) || !escritor.Vaciar())
            dwError = escritor.Error();
        if (!salida.Cerrar() && dwError == ERROR_SUCCESS)
            dwError = GetLastError();
        if (dwError != ERROR_SUCCESS)
        {
            DeleteFileA(temporal.c_str());
            return DesdeWin32(dwError);
        }
        dwError = ReemplazarFichero(temporal.c_str(), pszFichero);
        return dwError == ERROR_SUCCESS ? S_OK : DesdeWin32(dwError);
    }();
    return hr;
}

void CModemConfig::TransformarLinea(std::string &linea, CLecturaBajada &lectura)
{
    const size_t primerIgual = linea.find('=');
    const size_t ultimoIgual = linea.rfind('=');
    const int nCodigo =
        primerIgual == std::string::npos ? 0 : AtoiTexto(std::string_view(linea).substr(0, primerIgual));
    std::string valor = ultimoIgual == std::string::npos ? linea : linea.substr(ultimoIgual + 1);
    std::erase_if(valor, EsBlancoDeValor);
    if (valor.empty())
        return;

    const auto encontrado = std::find_if(std::begin(kTextosBajada), std::end(kTextosBajada),
                                         [&](const TextoCodigo &t) { return Contiene(linea, t.codigo); });
    if (encontrado == std::end(kTextosBajada))
        return;
    const auto contiene = [&](char c) { return valor.find(c) != std::string::npos ? 1 : 0; };
    switch (encontrado->texto)
    {
    case Texto::Puertos:
        if (!lectura.puertos)
            lectura.puertos = m_param.GetPorts();
        if (lectura.puertos->empty())
            *lectura.puertos = "Default";
        *lectura.puertos += ',';
        *lectura.puertos += valor;
        if (ultimoIgual != std::string::npos)
            ValorATokenDePuerto(linea, ultimoIgual, valor,
                                nCodigo == kCodigoDefaultIp ? kDefaultIp
                                : nCodigo % 2 == 0          ? kPortNumber
                                                            : kLocalIp);
        break;
    case Texto::Nat:
        m_param.SetNat(contiene('1'));
        break;
    case Texto::Bridge:
        m_param.SetBridge(contiene('1'));
        break;
    case Texto::Dns1:
        m_param.SetDns(valor, kDummy);
        break;
    case Texto::Dns2:
        m_param.SetDns(m_param.GetDns().first, valor);
        break;
    case Texto::DhcpInicio:
        m_param.SetDhcp(valor, kDummy);
        break;
    case Texto::DhcpTam: {
        const std::string inicio = m_param.GetDhcp().first;
        char szFin[64];
        std::snprintf(szFin, sizeof szFin, "%d.%d.%d.%lld", CampoIp(inicio, 1), CampoIp(inicio, 2),
                      CampoIp(inicio, 3), static_cast<long long>(CampoIp(inicio, 4)) + AtoiTexto(valor));
        m_param.SetDhcp(inicio, szFin);
        break;
    }
    case Texto::Encap:
        m_param.SetEncap(contiene('2'));
        break;
    case Texto::Usuario:
        m_param.SetUser(valor, kDummy);
        break;
    case Texto::Password:
        m_param.SetUser(m_param.GetUser().first, valor);
        break;
    case Texto::LanIp:
        m_param.SetLan(valor, kDummy);
        break;
    case Texto::LanMascara:
        m_param.SetLan(m_param.GetLan().first, valor);
        break;
    case Texto::WanIp:
        m_param.SetWan(valor, kDummy);
        break;
    case Texto::WanMascara:
        m_param.SetWan(m_param.GetWan().first, valor);
        break;
    }
}
