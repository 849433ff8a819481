// route: Windows' route command on the simulated PC's routing table.
//
// The table is the text file "routes" in the PC's folder, one route a line, fields separated by
// one blank:
//
//     destination mask gateway metric [p]
//
// addresses as dotted quads, the metric in decimal, and a final "p" on routes added with -p
// (persistent). Lines that do not read so are dropped on the next change. Changes hold an
// exclusive lock on "routes.lock" beside it and replace the file in one rename, so several
// route processes may run at once and a reader never sees half a table.
//
// Commands, as Windows XP's route: ROUTE [-f] [-p] [PRINT|ADD|DELETE|CHANGE] [destination]
// [MASK netmask] [gateway] [METRIC metric] [IF interface], keywords in any case.
// - ADD of a route that is already there (same destination, mask and gateway) succeeds without
//   a second line and takes the new metric: Windows XP's stack updates the existing route
//   instead of refusing it (refusing with "The object already exists." came with Vista).
// - A destination with bits outside the mask: "Route: bad gateway address netmask", as XP.
//   A mask that is not contiguous is refused by the stack: "The route addition failed: The
//   parameter is incorrect."
// - When the PC has adapters with addresses, a gateway outside all of their subnets is
//   refused as XP refuses it. A PC without configured adapters accepts any gateway.
// - PRINT shows the table in Windows' layout (Spanish headers on a Spanish PC) with the
//   loopback route Windows always has; the interface of a route is the PC's address on the
//   gateway's subnet, or the gateway itself when none is known.
// Addresses must be four decimal parts (inet_addr's short and hexadecimal forms are refused);
// symbolic names from the NETWORKS and HOSTS files are not looked up. IF names an interface by
// its index (decimal or 0x hexadecimal): 1 is the loopback interface, 2 and on the PC's adapters
// that have addresses, in the order the registry keeps them; an index the PC does not have, or
// an interface whose network does not hold the gateway, is refused as XP refuses it.
// Messages are the PC's language: Spanish on a Spanish PC, in Spanish XP's wording.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "tools/pcreg/PcRegistry.h"
#include "tools/text/ToolText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr DWORD kDefaultMetric = 1;
constexpr DWORD kMaxMetric = 9999;
constexpr DWORD kLoopbackNet = 0x7F000000, kLoopbackMask = 0xFF000000, kLoopbackAddr = 0x7F000001;

struct Route
{
    DWORD dest = 0, mask = 0xFFFFFFFF, gateway = 0, metric = kDefaultMetric;
    bool persistent = false;
};

struct Interface
{
    DWORD address, mask;
};

// Exit codes.
constexpr int kOk = 0, kFailed = 1;

// What route says, in the PC's language.
struct Texts
{
    const char *badDestination; // address
    const char *badMask;        // mask
    const char *badGateway;     // address
    const char *badArgument;    // argument
    const char *badGatewayNetmask;
    const char *addFailed;
    const char *changeFailed;
    const char *deleteFailed;
    const char *parameterIncorrect;
    const char *accessDenied;
    const char *notFound;
    const char *wrongInterface;
    const char *usage;
};

constexpr Texts kEnglish = {
    "Route: bad destination address %s",
    "Route: bad mask %s",
    "Route: bad gateway address %s",
    "Route: bad argument %s",
    "Route: bad gateway address netmask",
    "The route addition failed: ",
    "The route change failed: ",
    "The route deletion failed: ",
    "The parameter is incorrect.",
    "Access is denied.",
    "The route specified was not found.",
    "Either the interface index is wrong or the gateway does not lie on the same network as the interface. "
    "Check the IP Address Table for the machine.",
    "\nManipulates network routing tables.\n\n"
    "ROUTE [-f] [-p] [command [destination]]\n"
    "                  [MASK netmask]  [gateway] [METRIC metric]  [IF interface]\n\n"
    "  -f           Clears the routing tables of all gateway entries.  If this is\n"
    "               used in conjunction with one of the commands, the tables are\n"
    "               cleared prior to running the command.\n"
    "  -p           When used with the ADD command, makes a route persistent across\n"
    "               boots of the system.\n"
    "  command      One of these:\n"
    "                 PRINT     Prints  a route\n"
    "                 ADD       Adds    a route\n"
    "                 DELETE    Deletes a route\n"
    "                 CHANGE    Modifies an existing route\n"
    "  destination  Specifies the host.\n"
    "  MASK         Specifies that the next parameter is the 'netmask' value.\n"
    "  netmask      Specifies a subnet mask value for this route entry.\n"
    "               If not specified, it defaults to 255.255.255.255.\n"
    "  gateway      Specifies gateway.\n"
    "  interface    the interface number for the specified route.\n"
    "  METRIC       specifies the metric, ie. cost for the destination.\n\n"
    "If the command is PRINT or DELETE, destination or gateway can be a wildcard\n"
    "(wildcard is specified as a star '*'), or the gateway argument may be omitted.\n\n",
};

constexpr Texts kSpanish = {
    "Ruta: dirección de destino incorrecta %s",
    "Ruta: máscara incorrecta %s",
    "Ruta: dirección de puerta de enlace incorrecta %s",
    "Ruta: argumento incorrecto %s",
    "Ruta: máscara de red de la dirección de puerta de enlace incorrecta",
    "Error al agregar la ruta: ",
    "Error al cambiar la ruta: ",
    "Error al eliminar la ruta: ",
    "El parámetro no es correcto.",
    "Acceso denegado.",
    "No se encontró la ruta especificada.",
    "El índice de la interfaz es incorrecto o la puerta de enlace no está en la misma red que la interfaz. "
    "Compruebe la tabla de direcciones IP del equipo.",
    "\nManipula tablas de enrutamiento de red.\n\n"
    "ROUTE [-f] [-p] [comando [destino]]\n"
    "                  [MASK máscara_de_red]  [puerta_de_enlace] [METRIC métrica]  [IF interfaz]\n\n"
    "  -f           Borra las tablas de enrutamiento de todas las entradas de puerta\n"
    "               de enlace. Si se usa junto con uno de los comandos, las tablas\n"
    "               se borran antes de ejecutar el comando.\n"
    "  -p           Cuando se usa con el comando ADD, hace que una ruta sea persistente\n"
    "               entre arranques del sistema.\n"
    "  comando      Uno de estos:\n"
    "                 PRINT     Imprime   una ruta\n"
    "                 ADD       Agrega    una ruta\n"
    "                 DELETE    Elimina   una ruta\n"
    "                 CHANGE    Modifica  una ruta existente\n"
    "  destino      Especifica el host.\n"
    "  MASK         Especifica que el siguiente parámetro es el valor de máscara de red.\n"
    "  máscara_de_red Especifica un valor de máscara de subred para esta entrada de ruta.\n"
    "               Si no se especifica, el valor predeterminado es 255.255.255.255.\n"
    "  puerta_de_enlace Especifica la puerta de enlace.\n"
    "  interfaz     el número de interfaz para la ruta especificada.\n"
    "  METRIC       especifica la métrica, es decir, el costo para el destino.\n\n"
    "Si el comando es PRINT o DELETE, el destino o la puerta de enlace pueden ser un\n"
    "comodín (se especifica con un asterisco '*'), o se puede omitir la puerta de enlace.\n\n",
};

const Texts &T()
{
    static const Texts &texts = pcreg::SpanishPc() ? kSpanish : kEnglish;
    return texts;
}

void Print(const char *text)
{
    std::fputs(text, stdout);
}
void Print(const char8_t *text)
{
    std::fputs(reinterpret_cast<const char *>(text), stdout);
}
// Texts are Windows 1252; the terminal takes UTF-8.
int Error(const std::string &text)
{
    std::fprintf(stderr, "%s\n", kitpc::TerminalText(text).c_str());
    return kFailed;
}

int Error(const char *format, const std::string &argument)
{
    char text[512];
    std::snprintf(text, sizeof text, format, argument.c_str());
    return Error(std::string(text));
}

int Usage(int code = kFailed)
{
    std::fputs(kitpc::TerminalText(T().usage).c_str(), stdout);
    return code;
}

// Four decimal parts 0 to 255 separated by single dots.
std::optional<DWORD> ParseAddress(const std::string &text)
{
    DWORD value = 0;
    int parts = 0;
    size_t pos = 0;
    while (parts < 4)
    {
        size_t end = pos;
        while (end < text.size() && end - pos < 4 && std::isdigit((unsigned char)text[end]))
            ++end;
        if (end == pos || end - pos > 3)
            return std::nullopt;
        unsigned part = std::stoul(text.substr(pos, end - pos));
        if (part > 255)
            return std::nullopt;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4)
        {
            if (end >= text.size() || text[end] != '.')
                return std::nullopt;
            pos = end + 1;
        }
        else if (end != text.size())
            return std::nullopt;
    }
    return value;
}

// 1 to 9999 in decimal.
std::optional<DWORD> ParseMetric(const std::string &text)
{
    char *end = nullptr;
    unsigned long n = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || n == 0 ||
        n > kMaxMetric)
        return std::nullopt;
    return static_cast<DWORD>(n);
}

std::string FormatAddress(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", value >> 24, (value >> 16) & 0xFF, (value >> 8) & 0xFF,
                  value & 0xFF);
    return text;
}

// Ones from the top, then zeros: the inverse plus one is a power of two (or zero).
bool IsContiguous(DWORD mask)
{
    DWORD inverse = ~mask;
    return (inverse & (inverse + 1)) == 0;
}

// '*' any run of characters, '?' any one character.
bool WildcardMatch(const char *pattern, const char *text)
{
    if (*pattern == '\0')
        return *text == '\0';
    if (*pattern == '*')
        return WildcardMatch(pattern + 1, text) || (*text && WildcardMatch(pattern, text + 1));
    return *text && (*pattern == '?' || *pattern == *text) && WildcardMatch(pattern + 1, text + 1);
}

bool IsWildcard(const std::string &text)
{
    return text.find_first_of("*?") != std::string::npos;
}

// --- The table file -----------------------------------------------------------------------------

std::string TablePath()
{
    return kitpc::PathOf("routes");
}

std::vector<Route> LoadTable()
{
    std::vector<Route> routes;
    std::ifstream in(TablePath());
    std::string line;
    while (std::getline(in, line))
    {
        std::istringstream fields(line);
        std::string dest, mask, gateway, metric, flag;
        if (!(fields >> dest >> mask >> gateway >> metric))
            continue;
        fields >> flag;
        auto d = ParseAddress(dest), m = ParseAddress(mask), g = ParseAddress(gateway);
        auto n = ParseMetric(metric);
        if (d && m && g && n)
            routes.push_back(Route{*d, *m, *g, *n, flag == "p"});
    }
    return routes;
}

bool SaveTable(const std::vector<Route> &routes)
{
    std::string text;
    for (const Route &r : routes)
        text += FormatAddress(r.dest) + " " + FormatAddress(r.mask) + " " + FormatAddress(r.gateway) + " " +
                std::to_string(r.metric) + (r.persistent ? " p" : "") + "\n";
    const std::string path = TablePath();
    const std::string temp = path + "." + std::to_string(::getpid()) + ".tmp";
    FILE *file = std::fopen(temp.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    std::remove(temp.c_str());
    return false;
}

// Exclusive hold on the table between reading it and writing it back.
class TableLock
{
  public:
    TableLock()
    {
        fd_ = ::open(kitpc::PathOf("routes.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
    }
    ~TableLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TableLock(const TableLock &) = delete;
    TableLock &operator=(const TableLock &) = delete;
    bool Locked() const { return locked_; }

  private:
    int fd_ = -1;
    bool locked_ = false;
};

// --- The PC's own addresses, from its TCP/IP registry values ------------------------------------

// Nothing when the registry cannot be read.
std::optional<std::vector<Interface>> LocalInterfaces()
{
    std::vector<Interface> interfaces;
    for (const pcreg::Adapter &adapter : pcreg::ReadAdapters(kitpc::ReadIdentity().family))
        for (size_t i = 0; i < adapter.addresses.size() && i < adapter.masks.size(); ++i)
        {
            auto address = ParseAddress(adapter.addresses[i]), mask = ParseAddress(adapter.masks[i]);
            if (address && mask && *address != 0)
                interfaces.push_back(Interface{*address, *mask});
        }
    if (pcreg::DamageSeen() != ERROR_SUCCESS)
        return std::nullopt;
    return interfaces;
}

std::optional<DWORD> InterfaceFor(DWORD gateway, const std::vector<Interface> &interfaces)
{
    for (const Interface &i : interfaces)
        if (i.address == gateway || (i.address & i.mask) == (gateway & i.mask))
            return i.address;
    return std::nullopt;
}

// Whether the interface of that index (text as given after IF) exists and its network holds the
// gateway: 1 is the loopback interface, 2 and on the adapters.
bool InterfaceHolds(const std::string &indexText, DWORD gateway, const std::vector<Interface> &interfaces)
{
    char *end = nullptr;
    const unsigned long index = std::strtoul(indexText.c_str(), &end, 0);
    if (indexText.empty() || *end != '\0')
        return false;
    if (index == 1)
        return (gateway & kLoopbackMask) == kLoopbackNet;
    if (index < 2 || index - 2 >= interfaces.size())
        return false;
    const Interface &i = interfaces[index - 2];
    return i.address == gateway || (i.address & i.mask) == (gateway & i.mask);
}

// --- Arguments ----------------------------------------------------------------------------------

struct Request
{
    std::string command;
    bool clear = false, persistent = false;
    std::string dest, mask, gateway, metric;
    bool hasMask = false, hasMetric = false, hasInterface = false;
    std::string interfaceIndex;
};

enum class ParseResult
{
    Ok,
    Usage,
    Help,
};

ParseResult ParseArguments(int argc, char **argv, Request &req, std::string &badArgument)
{
    int i = 1;
    for (; i < argc && (argv[i][0] == '-' || argv[i][0] == '/'); ++i)
    {
        std::string flag = argv[i] + 1;
        if (tooltext::EqualNoCase(flag, "F"))
            req.clear = true;
        else if (tooltext::EqualNoCase(flag, "P"))
            req.persistent = true;
        else if (flag == "?" || flag == "-help")
            return ParseResult::Help;
        else
            return ParseResult::Usage;
    }
    if (i == argc)
        return req.clear ? ParseResult::Ok : ParseResult::Usage;
    req.command = tooltext::ToUpper(argv[i++]);

    std::vector<std::string> positional;
    for (; i < argc; ++i)
    {
        std::string word = argv[i];
        if (tooltext::EqualNoCase(word, "MASK") || tooltext::EqualNoCase(word, "METRIC") ||
            tooltext::EqualNoCase(word, "IF"))
        {
            if (i + 1 >= argc)
                return ParseResult::Usage;
            std::string value = argv[++i];
            if (tooltext::EqualNoCase(word, "MASK"))
                req.mask = value, req.hasMask = true;
            else if (tooltext::EqualNoCase(word, "METRIC"))
                req.metric = value, req.hasMetric = true;
            else
                req.interfaceIndex = value, req.hasInterface = true;
            continue;
        }
        positional.push_back(word);
    }
    if (positional.size() > 2)
    {
        badArgument = positional[2];
        return ParseResult::Ok;
    }
    if (!positional.empty())
        req.dest = positional[0];
    if (positional.size() > 1)
        req.gateway = positional[1];
    return ParseResult::Ok;
}

// --- Commands -----------------------------------------------------------------------------------

void PrintRow(const std::string &a, const std::string &b, const std::string &c, const std::string &d,
              DWORD metric)
{
    std::printf("%17s%17s%17s%16s%8u\n", a.c_str(), b.c_str(), c.c_str(), d.c_str(), metric);
}

int PrintTable(const std::string &pattern)
{
    std::vector<Route> routes = LoadTable();
    const auto interfaces = LocalInterfaces();
    if (!interfaces)
        return Error(pcreg::DamageMessage());
    const bool spanish = pcreg::SpanishPc();
    const char *line = "===========================================================================\n";

    std::vector<Route> active = routes;
    active.push_back(Route{kLoopbackNet, kLoopbackMask, kLoopbackAddr, 1, false});
    std::sort(active.begin(), active.end(), [](const Route &a, const Route &b) {
        return a.dest != b.dest   ? a.dest < b.dest
               : a.mask != b.mask ? a.mask > b.mask
                                  : a.gateway < b.gateway;
    });

    Print(line);
    Print(spanish ? u8"Lista de interfaces\n" : u8"Interface List\n");
    Print("0x1 ........................... MS TCP Loopback interface\n");
    Print(line);
    Print(line);
    Print(spanish ? u8"Rutas activas:\n" : u8"Active Routes:\n");
    Print(spanish ? u8"Destino de red      Máscara de red Puerta de acceso        Interfaz Métrica\n"
                  : u8"Network Destination        Netmask          Gateway       Interface  Metric\n");
    std::optional<DWORD> defaultGateway;
    for (const Route &r : active)
    {
        std::string dest = FormatAddress(r.dest);
        if (!pattern.empty() && !WildcardMatch(pattern.c_str(), dest.c_str()))
            continue;
        if (r.dest == 0 && r.mask == 0 && !defaultGateway)
            defaultGateway = r.gateway;
        std::string via = FormatAddress(r.dest == kLoopbackNet && r.mask == kLoopbackMask
                                            ? kLoopbackAddr
                                            : InterfaceFor(r.gateway, *interfaces).value_or(r.gateway));
        PrintRow(dest, FormatAddress(r.mask), FormatAddress(r.gateway), via, r.metric);
    }
    if (defaultGateway)
    {
        const char *label = spanish ? "Puerta de enlace predeterminada:" : "Default Gateway:";
        int width = std::max<int>(34 - static_cast<int>(std::strlen(label)), 16);
        std::printf("%s%*s\n", label, width, FormatAddress(*defaultGateway).c_str());
    }
    Print(line);
    Print(spanish ? u8"Rutas persistentes:\n" : u8"Persistent Routes:\n");
    bool any = false;
    for (const Route &r : routes)
    {
        if (!r.persistent)
            continue;
        if (!any)
            Print(spanish ? u8" Dirección de red   Máscara de red Puerta de acceso Métrica\n"
                          : u8"  Network Address          Netmask  Gateway Address  Metric\n");
        any = true;
        std::printf("%17s%17s%17s%8u\n", FormatAddress(r.dest).c_str(), FormatAddress(r.mask).c_str(),
                    FormatAddress(r.gateway).c_str(), r.metric);
    }
    if (!any)
        Print(spanish ? u8"  Ninguno\n" : u8"  None\n");
    return kOk;
}

// Destination, mask, gateway and metric of ADD and CHANGE, checked as Windows checks them.
int CheckRoute(const Request &req, const char *failure, Route &route)
{
    if (req.dest.empty() || req.gateway.empty())
        return Usage();
    auto dest = ParseAddress(req.dest);
    if (!dest)
        return Error(T().badDestination, req.dest);
    auto mask = req.hasMask ? ParseAddress(req.mask) : std::optional<DWORD>(0xFFFFFFFF);
    if (!mask)
        return Error(T().badMask, req.mask);
    auto gateway = ParseAddress(req.gateway);
    if (!gateway)
        return Error(T().badGateway, req.gateway);
    DWORD metric = kDefaultMetric;
    if (req.hasMetric)
    {
        auto n = ParseMetric(req.metric);
        if (!n)
            return Error(T().badArgument, req.metric);
        metric = *n;
    }
    if ((*dest & *mask) != *dest)
        return Error(std::string(T().badGatewayNetmask));
    if (!IsContiguous(*mask))
        return Error(std::string(failure) + T().parameterIncorrect);
    const auto interfaces = LocalInterfaces();
    if (!interfaces)
        return Error(pcreg::DamageMessage());
    if (!interfaces->empty() && !InterfaceFor(*gateway, *interfaces))
        return Error(std::string(failure) + T().wrongInterface);
    if (req.hasInterface && !InterfaceHolds(req.interfaceIndex, *gateway, *interfaces))
        return Error(std::string(failure) + T().wrongInterface);
    route = Route{*dest, *mask, *gateway, metric, req.persistent};
    return kOk;
}

int AddRoute(const Request &req)
{
    Route route;
    if (int code = CheckRoute(req, T().addFailed, route); code != kOk)
        return code;
    TableLock lock;
    if (!lock.Locked())
        return Error(std::string(T().addFailed) + T().accessDenied);
    std::vector<Route> routes = LoadTable();
    auto same = std::find_if(routes.begin(), routes.end(), [&](const Route &r) {
        return r.dest == route.dest && r.mask == route.mask && r.gateway == route.gateway;
    });
    if (same != routes.end())
    {
        same->metric = route.metric;
        same->persistent = same->persistent || route.persistent;
    }
    else
        routes.push_back(route);
    if (!SaveTable(routes))
        return Error(std::string(T().addFailed) + T().accessDenied);
    return kOk;
}

int ChangeRoute(const Request &req)
{
    Route route;
    if (int code = CheckRoute(req, T().changeFailed, route); code != kOk)
        return code;
    TableLock lock;
    std::vector<Route> routes = LoadTable();
    auto same = std::find_if(routes.begin(), routes.end(),
                             [&](const Route &r) { return r.dest == route.dest && r.mask == route.mask; });
    if (same == routes.end())
        return Error(std::string(T().notFound));
    same->gateway = route.gateway;
    same->metric = route.metric;
    if (!lock.Locked() || !SaveTable(routes))
        return Error(std::string(T().changeFailed) + T().accessDenied);
    return kOk;
}

int DeleteRoutes(const Request &req)
{
    if (req.dest.empty())
        return Usage();
    std::optional<DWORD> dest, mask, gateway;
    if (!IsWildcard(req.dest) && !(dest = ParseAddress(req.dest)))
        return Error(T().badDestination, req.dest);
    if (req.hasMask && !(mask = ParseAddress(req.mask)))
        return Error(T().badMask, req.mask);
    if (!req.gateway.empty() && !IsWildcard(req.gateway) && !(gateway = ParseAddress(req.gateway)))
        return Error(T().badGateway, req.gateway);

    TableLock lock;
    std::vector<Route> routes = LoadTable();
    auto matches = [&](const Route &r) {
        if (dest ? r.dest != *dest : !WildcardMatch(req.dest.c_str(), FormatAddress(r.dest).c_str()))
            return false;
        if (mask && r.mask != *mask)
            return false;
        if (gateway)
            return r.gateway == *gateway;
        return req.gateway.empty() || WildcardMatch(req.gateway.c_str(), FormatAddress(r.gateway).c_str());
    };
    auto removed = std::remove_if(routes.begin(), routes.end(), matches);
    if (removed == routes.end())
        return Error(std::string(T().notFound));
    routes.erase(removed, routes.end());
    if (!lock.Locked() || !SaveTable(routes))
        return Error(std::string(T().deleteFailed) + T().accessDenied);
    return kOk;
}

int ClearTable()
{
    TableLock lock;
    if (!lock.Locked() || !SaveTable({}))
        return Error(std::string(T().deleteFailed) + T().accessDenied);
    return kOk;
}
} // namespace

int main(int argc, char **argv)
{
    Request req;
    std::string badArgument;
    switch (ParseArguments(argc, argv, req, badArgument))
    {
    case ParseResult::Help:
        return Usage(kOk);
    case ParseResult::Usage:
        return Usage();
    case ParseResult::Ok:
        break;
    }
    if (!badArgument.empty())
        return Error(T().badArgument, badArgument);
    if (req.clear)
        if (int code = ClearTable(); code != kOk || req.command.empty())
            return code;
    if (req.command == "PRINT")
        return PrintTable(req.dest);
    if (req.command == "ADD")
        return AddRoute(req);
    if (req.command == "DELETE")
        return DeleteRoutes(req);
    if (req.command == "CHANGE")
        return ChangeRoute(req);
    return Usage();
}
