#include "tools/pcreg/PcRegistry.h"

#include "platform/kit/kitregistry.h"
#include "tools/text/ToolText.h"

#include <atomic>
#include <cstring>

namespace pcreg
{
namespace
{
std::atomic<LONG> g_damage{ERROR_SUCCESS};

// Keeps the first failure of the hive; other errors (a missing key) pass through.
LONG Note(LONG error)
{
    if (IsDamage(error))
    {
        LONG none = ERROR_SUCCESS;
        g_damage.compare_exchange_strong(none, error);
    }
    return error;
}

const std::string kServices = "System\\CurrentControlSet\\Services";
} // namespace

bool IsDamage(LONG error)
{
    return error == ERROR_REGISTRY_CORRUPT || error == ERROR_REGISTRY_IO_FAILED || error == ERROR_BADDB;
}

LONG DamageSeen()
{
    return g_damage.load();
}

LONG Probe()
{
    HKEY key = nullptr;
    LONG error = Note(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System", 0, KEY_READ, &key));
    if (error != ERROR_SUCCESS)
        return IsDamage(error) ? error : ERROR_SUCCESS;
    DWORD subKeys = 0;
    error = Note(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    return IsDamage(error) ? error : ERROR_SUCCESS;
}

std::optional<std::string> FindDamage()
{
    std::string finding;
    if (kitreg::CheckRegistry(&finding) == ERROR_SUCCESS)
        return std::nullopt;
    return kitreg::RegistryPath() + (finding.empty() ? "" : " (" + finding + ")");
}

bool SpanishPc()
{
    return PRIMARYLANGID(GetUserDefaultLangID()) == LANG_SPANISH;
}

std::string DamageMessage()
{
    return (SpanishPc() ? "El Registro del equipo está dañado: " : "The computer's registry is damaged: ") +
           FindDamage().value_or(kitreg::RegistryPath()) + ".";
}

ReadKey::ReadKey(const std::string &path)
{
    if (Note(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_)) != ERROR_SUCCESS)
        key_ = nullptr;
}

ReadKey::~ReadKey()
{
    if (key_)
        RegCloseKey(key_);
}

std::vector<std::string> ReadKey::SubKeys() const
{
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0, size = sizeof name; key_ && Note(RegEnumKeyExA(key_, i, name, &size, nullptr, nullptr,
                                                                     nullptr, nullptr)) == ERROR_SUCCESS;
         ++i, size = sizeof name)
        names.emplace_back(name, size);
    return names;
}

std::vector<std::string> ReadKey::ValueNames() const
{
    std::vector<std::string> names;
    char name[1024];
    for (DWORD i = 0, size = sizeof name; key_ && Note(RegEnumValueA(key_, i, name, &size, nullptr, nullptr,
                                                                     nullptr, nullptr)) == ERROR_SUCCESS;
         ++i, size = sizeof name)
        names.emplace_back(name, size);
    return names;
}

std::vector<std::string> ReadKey::Strings(const char *name) const
{
    std::vector<std::string> list;
    std::vector<char> data(4096, '\0');
    DWORD size = static_cast<DWORD>(data.size() - 2), type = 0;
    if (!key_ ||
        Note(RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size)) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return list;
    for (const char *p = data.data(); p < data.data() + size && *p; p += std::strlen(p) + 1)
        for (std::string_view part : tooltext::Split(p, ','))
            if (auto text = tooltext::Trim(part, tooltext::kWhitespace); !text.empty())
                list.emplace_back(text);
    return list;
}

DWORD ReadKey::Number(const char *name) const
{
    DWORD value = 0, size = sizeof value, type = 0;
    if (!key_ ||
        Note(RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size)) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return value;
}

namespace
{
// An NT adapter's TCP/IP key: the fixed settings, or the DHCP lease's when EnableDHCP is set.
Adapter NtAdapter(const ReadKey &key)
{
    const bool dhcp = key.Number("EnableDHCP") != 0;
    return Adapter{key.Strings(dhcp ? "DhcpIPAddress" : "IPAddress"),
                   key.Strings(dhcp ? "DhcpSubnetMask" : "SubnetMask"),
                   key.Strings(dhcp ? "DhcpDefaultGateway" : "DefaultGateway"),
                   key.Strings("DefaultGatewayMetric")};
}

Adapter NineXAdapter(const ReadKey &key)
{
    return Adapter{key.Strings("IPAddress"), key.Strings("IPMask"), key.Strings("DefaultGateway"),
                   key.Strings("DefaultGatewayMetric")};
}
} // namespace

std::vector<Adapter> ReadAdapters(kitpc::WindowsFamily family)
{
    std::vector<Adapter> adapters;
    if (family == kitpc::WindowsFamily::NT4)
    {
        const std::string cards = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
        for (const std::string &card : ReadKey(cards).SubKeys())
            for (const std::string &service : ReadKey(cards + "\\" + card).Strings("ServiceName"))
                adapters.push_back(NtAdapter(ReadKey(kServices + "\\" + service + "\\Parameters\\Tcpip")));
        return adapters;
    }
    const bool nt = kitpc::IsNtFamily(family);
    const std::string base =
        nt ? kServices + "\\Tcpip\\Parameters\\Interfaces" : kServices + "\\Class\\NetTrans";
    for (const std::string &name : ReadKey(base).SubKeys())
    {
        ReadKey key(base + "\\" + name);
        adapters.push_back(nt ? NtAdapter(key) : NineXAdapter(key));
    }
    return adapters;
}
} // namespace pcreg
