#include "tools/pcreg/PcRegistry.h"

#include "platform/kit/kitregistry.h"
#include "tools/text/ToolText.h"

#include <algorithm>
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

ReadKey::ReadKey(HKEY root, const std::string &path)
{
    if (Note(RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key_)) != ERROR_SUCCESS)
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

namespace
{
struct RawValue
{
    DWORD type = REG_NONE;
    std::string data;
};

std::optional<RawValue> ReadRaw(HKEY key, const char *name)
{
    RawValue value;
    DWORD size = 0;
    if (!key || Note(RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size)) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.assign(size, '\0');
    if (Note(RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE *>(value.data.data()),
                              &size)) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

// The NUL-ended strings of a string or multi-string value, up to the first empty one.
std::vector<std::string> StringsOf(const std::optional<RawValue> &value)
{
    std::vector<std::string> strings;
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ && value->type != REG_MULTI_SZ))
        return strings;
    const std::string &data = value->data;
    for (size_t at = 0; at < data.size() && data[at];)
    {
        const size_t end = std::min(data.find('\0', at), data.size());
        strings.push_back(data.substr(at, end - at));
        if (value->type != REG_MULTI_SZ)
            break;
        at = end + 1;
    }
    return strings;
}
} // namespace

std::vector<std::string> ReadKey::Strings(const char *name) const
{
    std::vector<std::string> list;
    for (const std::string &string : StringsOf(ReadRaw(key_, name)))
        for (std::string_view part : tooltext::Split(string, ','))
            if (auto text = tooltext::Trim(part, tooltext::kWhitespace); !text.empty())
                list.emplace_back(text);
    return list;
}

std::string ReadKey::Text(const char *name) const
{
    auto value = ReadRaw(key_, name);
    if (!value || value->type == REG_MULTI_SZ)
        return "";
    std::vector<std::string> strings = StringsOf(value);
    return strings.empty() ? "" : strings.front();
}

std::vector<std::string> ReadKey::List(const char *name) const
{
    return StringsOf(ReadRaw(key_, name));
}

std::optional<std::string> ReadKey::Bytes(const char *name) const
{
    auto value = ReadRaw(key_, name);
    return value ? std::optional<std::string>(value->data) : std::nullopt;
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

const std::string kNetworkCards = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::string kDhcpLeases = kServices + "\\VxD\\DHCP";
const std::string kMstcp = kServices + "\\VxD\\MSTCP";
const std::string kNtTcpip = kServices + "\\Tcpip";

// A 9x lease's address: four bytes, the first one first.
std::string LeaseAddress(const ReadKey &lease, const char *name)
{
    const std::optional<std::string> bytes = lease.Bytes(name);
    if (!bytes || bytes->size() != 4)
        return "";
    auto byte = [&](int i) { return std::to_string(static_cast<unsigned char>((*bytes)[i])); };
    return byte(0) + "." + byte(1) + "." + byte(2) + "." + byte(3);
}

// The 9x DHCP client keeps the lease of NetTrans\00NN in DhcpInfoNN.
std::string NineXLeaseKey(const std::string &netTransName)
{
    const std::string digits = netTransName.size() >= 2 ? netTransName.substr(netTransName.size() - 2) : "";
    return kDhcpLeases + "\\DhcpInfo" + digits;
}

bool NineXDhcp(const std::vector<std::string> &addresses)
{
    return addresses.empty() || addresses.front() == "0.0.0.0";
}

Adapter NineXAdapter(const ReadKey &key, const std::string &name)
{
    Adapter adapter{key.Strings("IPAddress"), key.Strings("IPMask"), key.Strings("DefaultGateway"),
                    key.Strings("DefaultGatewayMetric")};
    if (NineXDhcp(adapter.addresses))
    {
        ReadKey lease(NineXLeaseKey(name));
        if (std::string address = LeaseAddress(lease, "DhcpIPAddress"); !address.empty())
        {
            adapter.addresses = {address};
            adapter.masks = {LeaseAddress(lease, "DhcpSubnetMask")};
        }
    }
    return adapter;
}
} // namespace

std::vector<std::string> SplitList(const std::string &text, char separator)
{
    std::vector<std::string> list;
    for (std::string_view part : tooltext::Split(text, separator))
        if (auto item = tooltext::Trim(part, tooltext::kWhitespace); !item.empty())
            list.emplace_back(item);
    return list;
}

std::vector<Adapter> ReadAdapters(kitpc::WindowsFamily family)
{
    std::vector<Adapter> adapters;
    if (family == kitpc::WindowsFamily::NT4)
    {
        for (const std::string &card : ReadKey(kNetworkCards).SubKeys())
            for (const std::string &service : ReadKey(kNetworkCards + "\\" + card).Strings("ServiceName"))
                adapters.push_back(NtAdapter(ReadKey(kServices + "\\" + service + "\\Parameters\\Tcpip")));
        return adapters;
    }
    const bool nt = kitpc::IsNtFamily(family);
    const std::string base =
        nt ? kServices + "\\Tcpip\\Parameters\\Interfaces" : kServices + "\\Class\\NetTrans";
    for (const std::string &name : ReadKey(base).SubKeys())
    {
        ReadKey key(base + "\\" + name);
        adapters.push_back(nt ? NtAdapter(key) : NineXAdapter(key, name));
    }
    return adapters;
}
namespace
{
constexpr DWORD kServiceDisabled = 4; // a service's Start value

bool Bound(const std::string &key)
{
    const std::vector<std::string> bind = ReadKey(kNtTcpip + "\\Linkage").List("Bind");
    return std::find(bind.begin(), bind.end(), "\\Device\\" + key) != bind.end();
}

bool DeviceOpens(const std::string &name)
{
    HANDLE device = CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(device);
    return true;
}

// The TCP/IP values NT 4 and 2000/XP keep alike in the adapter's key.
void ReadNtInterface(const ReadKey &tcpip, NetworkCard &card)
{
    card.dhcp = tcpip.Number("EnableDHCP") != 0;
    card.addresses = tcpip.List("IPAddress");
    card.masks = tcpip.List("SubnetMask");
    card.gateways = tcpip.List("DefaultGateway");
    card.leaseAddress = tcpip.Text("DhcpIPAddress");
    card.leaseMask = tcpip.Text("DhcpSubnetMask");
    card.leaseServer = tcpip.Text("DhcpServer");
    card.leaseGateways = tcpip.List("DhcpDefaultGateway");
}

std::vector<NetworkCard> NtCards(kitpc::WindowsFamily family)
{
    const bool nt4 = family == kitpc::WindowsFamily::NT4;
    const std::string dns = ReadKey(kNtTcpip + "\\Parameters").Text("NameServer");
    std::vector<NetworkCard> cards;
    for (const std::string &name : ReadKey(kNetworkCards).SubKeys())
    {
        ReadKey entry(kNetworkCards + "\\" + name);
        NetworkCard card;
        card.number = std::atoi(name.c_str());
        card.description = entry.Text("Description");
        card.key = entry.Text("ServiceName");
        card.hidden = entry.Bytes("Hidden").has_value();
        card.bound = Bound(card.key);
        if (nt4)
        {
            card.enabled = ReadKey(kServices + "\\" + card.key).Number("Start") != kServiceDisabled;
            ReadNtInterface(ReadKey(kServices + "\\" + card.key + "\\Parameters\\Tcpip"), card);
            card.dns = SplitList(dns, ' ');
            ReadKey netbt(kServices + "\\NetBT\\Adapters\\" + card.key);
            for (const char *server : {"NameServer", "NameServerBackup"})
                if (std::string text = netbt.Text(server); !text.empty())
                    card.wins.push_back(text);
        }
        else
        {
            card.enabled = !card.key.empty() && DeviceOpens(card.key);
            card.connection = ReadKey("System\\CurrentControlSet\\Control\\Network\\"
                                      "{4D36E972-E325-11CE-BFC1-08002BE10318}\\" +
                                      card.key + "\\Connection")
                                  .Text("Name");
            ReadKey tcpip(kNtTcpip + "\\Parameters\\Interfaces\\" + card.key);
            ReadNtInterface(tcpip, card);
            card.dns = SplitList(tcpip.Text("NameServer"), ',');
            card.wins = ReadKey(kServices + "\\NetBT\\Parameters\\Interfaces\\Tcpip_" + card.key)
                            .List("NameServerList");
        }
        cards.push_back(std::move(card));
    }
    return cards;
}

bool ListHas(const std::string &list, std::string_view item)
{
    for (const std::string &part : SplitList(list, ','))
        if (tooltext::EqualNoCase(part, item))
            return true;
    return false;
}

// Follows the instance's MSTCP binding to its TCP/IP driver key and reads it.
void ReadNineXBinding(const std::string &instance, const std::string &dns, NetworkCard &card)
{
    card.bound = false;
    ReadKey bindings(instance + "\\Bindings");
    for (const std::string &name : bindings.ValueNames())
    {
        if (!tooltext::EqualNoCase(std::string_view(name).substr(0, 6), "MSTCP\\"))
            continue;
        card.key = ReadKey("Enum\\Network\\" + name).Text("Driver");
        if (!card.key.empty())
            break;
    }
    if (card.key.empty())
        return;
    card.bound = true;
    ReadKey tcpip(kServices + "\\Class\\" + card.key);
    card.addresses = SplitList(tcpip.Text("IPAddress"), ',');
    card.masks = SplitList(tcpip.Text("IPMask"), ',');
    card.gateways = SplitList(tcpip.Text("DefaultGateway"), ',');
    card.dns = SplitList(dns, ',');
    for (int i = 1;; ++i)
    {
        const std::optional<std::string> server = tcpip.Bytes(("NameServer" + std::to_string(i)).c_str());
        if (!server)
            break;
        card.wins.push_back(tcpip.Text(("NameServer" + std::to_string(i)).c_str()));
    }
    card.dhcp = NineXDhcp(card.addresses);
    if (!card.dhcp)
        return;
    ReadKey lease(NineXLeaseKey(card.key));
    card.leaseAddress = LeaseAddress(lease, "DhcpIPAddress");
    card.leaseMask = LeaseAddress(lease, "DhcpSubnetMask");
    card.leaseServer = LeaseAddress(lease, "DhcpServer");
}

std::vector<NetworkCard> NineXCards()
{
    const std::string dns = ReadKey(kMstcp).Text("NameServer");
    std::vector<NetworkCard> cards;
    for (const std::string &enumerator : ReadKey("Enum").SubKeys())
        for (const std::string &device : ReadKey("Enum\\" + enumerator).SubKeys())
            for (const std::string &name : ReadKey("Enum\\" + enumerator + "\\" + device).SubKeys())
            {
                const std::string path = "Enum\\" + enumerator + "\\" + device + "\\" + name;
                ReadKey instance(path);
                if (!tooltext::EqualNoCase(instance.Text("Class"), "Net"))
                    continue;
                NetworkCard card;
                card.instance = path;
                card.description = instance.Text("DeviceDesc");
                card.dialUp = ListHas(instance.Text("HardwareID"), "*PNP8387") ||
                              ListHas(instance.Text("CompatibleIDs"), "*PNP8387");
                const std::string driver = instance.Text("Driver");
                card.number = std::atoi(driver.substr(driver.find('\\') + 1).c_str());
                const std::string flags = instance.Bytes("ConfigFlags").value_or("");
                card.enabled = flags.empty() || !(static_cast<unsigned char>(flags[0]) & 1);
                ReadNineXBinding(path, dns, card);
                cards.push_back(std::move(card));
            }
    return cards;
}
} // namespace

std::vector<NetworkCard> ReadNetworkCards(kitpc::WindowsFamily family)
{
    return kitpc::IsNtFamily(family) ? NtCards(family) : NineXCards();
}

TcpipSettings ReadTcpipSettings(kitpc::WindowsFamily family)
{
    TcpipSettings settings;
    if (!kitpc::IsNtFamily(family))
    {
        ReadKey mstcp(kMstcp);
        settings.hostName = mstcp.Text("HostName");
        settings.domain = mstcp.Text("Domain");
        settings.nodeType = mstcp.Text("NodeType");
        settings.dnsEnabled = mstcp.Text("EnableDNS") == "1";
        settings.dns = SplitList(mstcp.Text("NameServer"), ',');
        return settings;
    }
    ReadKey parameters(kNtTcpip + "\\Parameters");
    settings.hostName = parameters.Text("Hostname");
    settings.domain = parameters.Text("Domain");
    settings.dns = SplitList(parameters.Text("NameServer"), ' ');
    settings.dnsEnabled = !settings.dns.empty();
    settings.routing = parameters.Number("IPEnableRouter") != 0;
    return settings;
}
} // namespace pcreg
