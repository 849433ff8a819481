#include "tools/routersim/PcNetwork.h"
#include "platform/windows.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace routersim
{
namespace
{
constexpr const char *kSection = "Hosts";

std::string NetworkIni(const std::string &machine)
{
    return machine + "/network.ini";
}

std::string Target(uint16_t port)
{
    return "127.0.0.1:" + std::to_string(port);
}

// The lines of a router: key (address:port) and target.
struct Line
{
    std::string key;
    std::string target;
};

std::vector<Line> LinesOf(const std::string &address, const Ports &ports)
{
    return {{address + ":21", Target(ports.ftp)},
            {address + ":80", Target(ports.http)},
            {address + ":*", "127.0.0.1:*"}};
}

std::string Value(const std::string &ini, const std::string &key)
{
    char value[256];
    GetPrivateProfileStringA(kSection, key.c_str(), "", value, sizeof value, ini.c_str());
    return value;
}

// The loopback port a "127.0.0.1:PORT" target names.
std::optional<uint16_t> LoopbackPort(const std::string &target)
{
    unsigned port = 0;
    char tail;
    if (std::sscanf(target.c_str(), "127.0.0.1:%u%c", &port, &tail) != 1 || port == 0 || port > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(port);
}
} // namespace

bool MapRouter(const std::string &machine, const std::string &address, const Ports &ports)
{
    const std::string ini = NetworkIni(machine);
    for (const Line &line : LinesOf(address, ports))
        if (!WritePrivateProfileStringA(kSection, line.key.c_str(), line.target.c_str(), ini.c_str()))
            return false;
    return true;
}

void UnmapRouter(const std::string &machine, const std::string &address, const Ports &ports)
{
    const std::string ini = NetworkIni(machine);
    for (const Line &line : LinesOf(address, ports))
        if (Value(ini, line.key) == line.target)
            WritePrivateProfileStringA(kSection, line.key.c_str(), nullptr, ini.c_str());
}

std::optional<uint16_t> LiveRouterAt(const std::string &machine, const std::string &address)
{
    // Whoever takes a connection at a mapped port is alive; a line left by a router that
    // died leads nowhere.
    const std::string ini = NetworkIni(machine);
    for (const char *port : {":21", ":80"})
        if (std::optional<uint16_t> target = LoopbackPort(Value(ini, address + port)))
            if (ConnectLoopback(*target, 2000).Valid())
                return target;
    return std::nullopt;
}
} // namespace routersim
