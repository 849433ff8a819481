// The virtual network of the simulated PC: network.ini, read through the platform's INI
// functions and kept while the file stays the same.
#include "platform/core/virtualnet.h"
#include "platform/core/text.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"

#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
constexpr uint32_t kDefaultLocalAddress = 0xC0A80121; // 192.168.1.33, the router's first DHCP address

// A [Hosts] line. Port 0 on the left means every port of that address; on the right, the
// same port as asked ("192.168.1.1:*=127.0.0.1:*" for a server's passive data ports).
struct HostEntry
{
    plat::Endpoint virtualEnd;
    plat::Endpoint target;
    bool reachable; // the target is on loopback
};
constexpr uint16_t kEveryPort = 0;

struct Network
{
    uint32_t localAddress = kDefaultLocalAddress;
    std::vector<HostEntry> hosts; // in file order: the first of two equal keys wins
};

// What identifies one version of the file. File times have a coarse clock, so a version
// whose time is close to when it was read may still change without a visible difference:
// it is read again until it is old enough.
struct Version
{
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    timespec changed{};
    bool operator==(const Version &other) const
    {
        return path == other.path && device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

constexpr time_t kRacySeconds = 2;

Version CurrentVersion(const std::string &path)
{
    Version version;
    version.path = path;
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) == 0)
    {
        version.device = st.st_dev;
        version.inode = st.st_ino;
        version.size = st.st_size;
        version.modified = st.st_mtim;
        version.changed = st.st_ctim;
    }
    return version;
}

// "a.b.c.d:port" to an endpoint; "a.b.c.d:*" (every port) has port 0.
std::optional<plat::Endpoint> ParseEndpoint(const std::string &text)
{
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size() || text.size() - colon > 6)
        return std::nullopt;
    std::optional<uint32_t> address = plat::ParseDottedQuad(text.substr(0, colon).c_str());
    if (address && text.compare(colon, std::string::npos, ":*") == 0)
        return plat::Endpoint{*address, kEveryPort};
    unsigned port = 0;
    for (size_t i = colon + 1; i < text.size(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        port = port * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (!address || port == 0 || port > 0xFFFF)
        return std::nullopt;
    return plat::Endpoint{*address, static_cast<uint16_t>(port)};
}

// The key=value entries of a section, both sides trimmed.
std::vector<std::pair<std::string, std::string>> SectionEntries(const std::string &path, const char *section)
{
    std::vector<char> buffer(4096);
    for (;;)
    {
        DWORD length = GetPrivateProfileSectionA(section, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                 path.c_str());
        if (length + 2 < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (const char *entry = buffer.data(); *entry; entry += std::strlen(entry) + 1)
    {
        std::string line(entry);
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            entries.emplace_back(plat::Trim(std::string_view(line).substr(0, equals)),
                                 plat::Trim(std::string_view(line).substr(equals + 1)));
    }
    return entries;
}

Network ReadNetwork(const std::string &path)
{
    Network network;
    for (const auto &[key, value] : SectionEntries(path, "Local"))
    {
        if (plat::EqualNoCase(key, "Address"))
        {
            if (std::optional<uint32_t> address = plat::ParseDottedQuad(value.c_str()))
                network.localAddress = *address;
            break; // the first of two equal keys wins
        }
    }
    for (const auto &[key, value] : SectionEntries(path, "Hosts"))
    {
        std::optional<plat::Endpoint> from = ParseEndpoint(key);
        std::optional<plat::Endpoint> to = ParseEndpoint(value);
        if (from && to)
            network.hosts.push_back({*from, *to, plat::net::IsLoopback(to->address)});
    }
    return network;
}

// The current network; re-read when the file changed or may have changed unseen.
Network CurrentNetwork()
{
    static auto *lock = new std::mutex;
    static auto *cachedVersion = new Version;
    static auto *cached = new Network;
    static timespec readAt{};

    const std::string path = kitpc::PathOf("network.ini");
    Version version = CurrentVersion(path);
    std::lock_guard guard(*lock);
    const bool racy = version.modified.tv_sec + kRacySeconds >= readAt.tv_sec;
    if (version == *cachedVersion && !racy)
        return *cached;
    ::clock_gettime(CLOCK_REALTIME, &readAt);
    *cached = ReadNetwork(path);
    *cachedVersion = version;
    return *cached;
}

bool SameEndpoint(plat::Endpoint a, plat::Endpoint b)
{
    return a.address == b.address && a.port == b.port;
}
} // namespace

namespace plat
{
std::optional<Endpoint> VirtualNetLookup(uint32_t hostOrderAddress, uint16_t port)
{
    const Network network = CurrentNetwork();
    const HostEntry *found = nullptr;
    for (const HostEntry &entry : network.hosts)
    {
        if (entry.virtualEnd.address != hostOrderAddress)
            continue;
        if (entry.virtualEnd.port == port)
        {
            found = &entry; // a line for the port itself wins over every-port lines
            break;
        }
        if (entry.virtualEnd.port == kEveryPort && !found)
            found = &entry;
    }
    if (!found || !found->reachable)
        return std::nullopt;
    return Endpoint{found->target.address, found->target.port == kEveryPort ? port : found->target.port};
}

std::optional<Endpoint> VirtualNetReverse(Endpoint loopback)
{
    const Network network = CurrentNetwork();
    std::optional<uint32_t> shared;
    bool ambiguous = false;
    for (const HostEntry &entry : network.hosts)
    {
        if (!entry.reachable || entry.target.address != loopback.address)
            continue;
        if (SameEndpoint(entry.target, loopback))
            return Endpoint{entry.virtualEnd.address,
                            entry.virtualEnd.port == kEveryPort ? loopback.port : entry.virtualEnd.port};
        ambiguous = ambiguous || (shared && *shared != entry.virtualEnd.address);
        shared = entry.virtualEnd.address;
    }
    if (!shared || ambiguous)
        return std::nullopt;
    return Endpoint{*shared, loopback.port};
}

uint32_t VirtualLocalAddress()
{
    return CurrentNetwork().localAddress;
}

std::optional<uint32_t> ParseDottedQuad(const char *text)
{
    uint32_t address = 0;
    const char *p = text;
    for (int part = 0; part < 4; ++part)
    {
        if (part > 0 && *p++ != '.')
            return std::nullopt;
        unsigned value = 0;
        int digits = 0;
        for (; plat::IsDigit(*p) && digits < 4; ++p, ++digits)
            value = value * 10 + static_cast<unsigned>(*p - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
    if (*p != '\0')
        return std::nullopt;
    return address;
}
} // namespace plat
