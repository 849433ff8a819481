#include "routefix/RouteFixer.h"
#include "common/ipv4/Ipv4Text.h"
#include "platform/winsock2.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr size_t kMaxWord = MAX_PATH - 1; // characters kept of each command-line word
constexpr u_short kGatewayPort = 80;

// The words of the command line: runs of characters between blanks, each cut to kMaxWord.
std::vector<std::string> WordsOf(const char *pszCommandLine, size_t maxWords)
{
    std::vector<std::string> words;
    const char *p = pszCommandLine;
    while (*p && words.size() < maxWords)
    {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        const char *start = p;
        while (*p && *p != ' ' && *p != '\t')
            ++p;
        words.emplace_back(start, std::min(static_cast<size_t>(p - start), kMaxWord));
    }
    return words;
}

// The first address of the subnet: each part of the address AND the mask's, the last plus one.
// Fails when the texts are not addresses or the result is not one (a last part of 256).
bool FirstAddressOfSubnet(const char *pszIp, const char *pszMask, std::string &gateway)
{
    if (!ipv4::IsValidText(pszIp) || !ipv4::IsValidText(pszMask))
        return false;
    const DWORD network = ipv4::ValueOf(pszIp) & ipv4::ValueOf(pszMask);
    if ((network & 0xFF) == 0xFF)
        return false;
    gateway = ipv4::TextOf(network + 1);
    return gateway.size() <= kMaxWord;
}

// Starts "route ADD ..." hidden, at normal priority, without waiting for it.
HRESULT StartRouteCommand(DWORD destination, DWORD mask, const char *pszGateway)
{
    char command[3 * MAX_PATH];
    std::snprintf(command, sizeof command, "%s", RouteCommand(destination, mask, pszGateway).c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = 0; // SW_HIDE
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process))
        return E_FAIL;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return S_OK;
}

// Closes what CheckIp opened, in reverse order, whichever step it reached.
struct SocketSession
{
    bool started = false;
    SOCKET socket = INVALID_SOCKET;
    ~SocketSession()
    {
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        if (started)
            WSACleanup();
    }
};
} // namespace

std::string RouteCommand(DWORD dwDestination, DWORD dwMask, const char *pszGateway)
{
    return "route ADD " + ipv4::TextOf(dwDestination) + " MASK " + ipv4::TextOf(dwMask) + " " + pszGateway;
}

std::vector<std::string> RouteCommands(const char *pszIp, const char *pszMask, const char *pszGateway)
{
    std::vector<std::string> commands;
    if (!ipv4::IsValidText(pszIp) || !ipv4::IsValidText(pszMask))
        return commands;
    const DWORD ip = ipv4::ValueOf(pszIp);
    const int routes = NumberOfRoutes(ipv4::ValueOf(pszMask));
    for (int i = 0; i < routes; ++i)
    {
        DWORD destination = 0, mask = 0;
        RouteOf(ip, i, destination, mask);
        commands.push_back(RouteCommand(destination, mask, pszGateway));
    }
    return commands;
}

int NumberOfRoutes(DWORD dwMask)
{
    const DWORD negation = 0u - dwMask;
    for (int bit = 31; bit >= 0; --bit)
        if (negation & (1u << bit))
            return bit;
    return -1;
}

void RouteOf(DWORD dwIp, int i, DWORD &dwDestination, DWORD &dwMask)
{
    const DWORD low = i >= 32 ? 0xFFFFFFFFu : (1u << i) - 1;
    dwDestination = (dwIp & ~low) ^ (i >= 32 ? 0 : (1u << i));
    dwMask = ~low;
}

HRESULT CheckIp(CTraceLog &log, const char *pszGateway)
{
    if (!pszGateway || !*pszGateway)
        return E_INVALIDARG;
    log.Write("CheckIp - Comienzo de operación.");
    SocketSession session;
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
    {
        log.Write("CheckIp - ERROR al inicializar los sockets (WSAStartup).");
        return E_FAIL;
    }
    session.started = true;
    log.Write("CheckIp - Sockets inicializados.");
    session.socket = socket(AF_INET, SOCK_STREAM, 0);
    if (session.socket == INVALID_SOCKET)
    {
        log.Write("CheckIp - ERROR al crear el socket.");
        return E_FAIL;
    }
    log.Write("CheckIp - Socket creado.");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (bind(session.socket, reinterpret_cast<sockaddr *>(&local), sizeof local) == SOCKET_ERROR)
    {
        log.Write("CheckIp - ERROR en el 'bind'.");
        return E_FAIL;
    }
    log.Write("CheckIp - 'bind' realizado.");
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = inet_addr(pszGateway);
    remote.sin_port = htons(kGatewayPort);
    HRESULT hr = S_OK;
    if (connect(session.socket, reinterpret_cast<sockaddr *>(&remote), sizeof remote) == 0)
        log.Write("CheckIp - 'connect' realizado (conectividad verificada).");
    else if (int error = WSAGetLastError(); error == WSAECONNREFUSED)
        log.Write("CheckIp - Conexión rechazada en destino (conectividad verificada).");
    else
    {
        log.WriteNumber("CheckIp - ERROR en 'connect' (conectividad NO verificada).", "Error", error);
        hr = E_FAIL;
    }
    closesocket(session.socket);
    session.socket = INVALID_SOCKET;
    WSACleanup();
    session.started = false;
    log.Write("CheckIp - Fin de la operación.");
    return hr;
}

HRESULT FixRoutes(CTraceLog &log, const char *pszIp, const char *pszMask, const char *pszGateway)
{
    if (!pszIp || !*pszIp || !pszMask || !*pszMask || !pszGateway || !*pszGateway)
        return E_INVALIDARG;
    log.Write("FixRoutes - Comienzo de operación.");
    if (!ipv4::IsValidText(pszIp) || !ipv4::IsValidText(pszMask))
    {
        log.Write("FixRoutes - ERROR al calcular el nº de rutas.");
        return E_FAIL;
    }
    const DWORD ip = ipv4::ValueOf(pszIp);
    const int routes = NumberOfRoutes(ipv4::ValueOf(pszMask));
    log.WriteNumber("FixRoutes - Nº de rutas calculado", "Nº rutas", routes);
    HRESULT hr = S_OK;
    for (int i = 0; i < routes; ++i)
    {
        DWORD destination, mask;
        RouteOf(ip, i, destination, mask);
        if (FAILED(StartRouteCommand(destination, mask, pszGateway)))
            hr = E_FAIL;
        log.Write(SUCCEEDED(hr) ? "FixRoutes - Comando de introducción de ruta ejecutado."
                                : "FixRoutes - Error al ejecutar el comando de introducción de ruta.");
    }
    log.Write("FixRoutes - Fin de la operación.");
    return hr;
}

HRESULT FixIpRoutesForADSLProblem(CTraceLog &log, const char *pszIp, const char *pszMask,
                                  const char *pszGateway, const FixRtTiming &timing)
{
    if (!pszIp || !*pszIp || !pszMask || !*pszMask)
        return E_INVALIDARG;
    log.Write("FixIpRoutesForADSLProblem - Comienzo de operación.");
    std::string gateway = pszGateway ? pszGateway : "";
    if (gateway.empty())
    {
        if (!FirstAddressOfSubnet(pszIp, pszMask, gateway))
        {
            log.Write("FixIpRoutesForADSLProblem - ERROR al calcular la IP del gateway.");
            return E_FAIL;
        }
        log.WriteText("FixIpRoutesForADSLProblem - IP del gateway calculada", gateway.c_str());
    }
    Sleep(timing.firstPauseMs);
    FixRoutes(log, pszIp, pszMask, gateway.c_str());
    log.Write("FixIpRoutesForADSLProblem - Realizado primer intento de fijación de rutas.");
    for (int attempt = 1;; ++attempt)
    {
        if (SUCCEEDED(CheckIp(log, gateway.c_str())))
        {
            log.Write("FixIpRoutesForADSLProblem - Conectividad con el gateway verificada.");
            break;
        }
        if (attempt > timing.maxFailedChecks)
        {
            log.Write("FixIpRoutesForADSLProblem - Cumplido el nº máximo de reintentos de chequeo de "
                      "conectividad con "
                      "el router.");
            break;
        }
        log.WriteNumber(
            "FixIpRoutesForADSLProblem - Chequeo de conectividad con el gateway fallido. Esperamos.",
            "Intento nº", attempt);
        Sleep(timing.retryPauseMs);
    }
    HRESULT hr = FixRoutes(log, pszIp, pszMask, gateway.c_str());
    log.Write("FixIpRoutesForADSLProblem - Realizado segundo intento de fijación de rutas.");
    log.Write("FixIpRoutesForADSLProblem - Fin de la operación.");
    return hr;
}

int RunRouteFixer(CTraceLog &log, const char *pszCommandLine, const FixRtTiming &timing)
{
    if (!pszCommandLine || !*pszCommandLine)
    {
        log.Write("WinMain - ERROR: no se han pasado parámetros. Fin.");
        return 0;
    }
    const std::vector<std::string> words = WordsOf(pszCommandLine, 3);
    if (words.empty())
    {
        log.Write("WinMain - ERROR en el primer parámetro (nulo). Fin.");
        return 0;
    }
    if (words.size() < 2)
    {
        log.Write("WinMain - ERROR en el segundo parámetro (nulo). Fin.");
        return 0;
    }
    const std::string &ip = words[0];
    const std::string &mask = words[1];
    const std::string gateway = words.size() > 2 ? words[2] : "";
    log.Write("WinMain - Parámetros obtenidos.");
    log.WriteText("WinMain - Primer parámetro (IP)", ip.c_str());
    log.WriteText("WinMain - Segundo parámetro (máscara)", mask.c_str());
    log.WriteText("WinMain - Tercer parámetro opcional (gateway)", gateway.c_str());
    if (!ipv4::IsValidText(ip.c_str()) || !ipv4::IsValidText(mask.c_str()) ||
        (!gateway.empty() && !ipv4::IsValidText(gateway.c_str())))
    {
        log.Write("WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin.");
        return 0;
    }
    log.Write("WinMain - Parámetros validados.");
    if (FAILED(FixIpRoutesForADSLProblem(log, ip.c_str(), mask.c_str(), gateway.c_str(), timing)))
    {
        log.Write("WinMain - Se detectó un error al fijar las rutas. Fin.");
        return 0;
    }
    log.Write("WinMain - Proceso de fijado de rutas terminado correctamente. Fin.");
    return 1;
}
