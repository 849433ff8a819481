// Network cards in the registry of each Windows family. A card's keys all derive from its number
// n (9x: Net\000n, NetTrans\000n, MSTCP\000n, DhcpInfo0n; NT: NetworkCards\n, service E100Bn or
// a GUID made from n), so a card can be written again or removed from its number alone.
#include "tools/machine/nics.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "tools/pcreg/PcRegistry.h"
#include "tools/text/ToolText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

namespace kitmachine
{
namespace
{
using kitpc::WindowsFamily;

const std::string kServices = "System\\CurrentControlSet\\Services";
const std::string kControl = "System\\CurrentControlSet\\Control";
const std::string kNetClass = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string kNetworkCards = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::string kTcpip = kServices + "\\Tcpip";
const std::string kMstcp = kServices + "\\VxD\\MSTCP";

// The hardware a description stands for: PCI ids, maker and drivers.
struct Model
{
    const char *match; // found in the description, without regard to case
    const char *vendor, *device, *subsystem, *revision;
    const char *maker;
    const char *ntDriver;   // NT 4 driver service; the adapters' services are it and a number
    const char *driverFile; // the miniport
};

constexpr Model kModels[] = {
    {"RTL8139", "10EC", "8139", "813910EC", "10", "Realtek", "RTL8139", "rtl8139.sys"},
    {"RTL8029", "10EC", "8029", "00000000", "00", "Realtek", "RTL8029", "rtl8029.sys"},
    {"PRO/100", "8086", "1229", "000C8086", "08", "Intel", "E100B", "e100b.sys"},
    {"8255", "8086", "1229", "000C8086", "08", "Intel", "E100B", "e100b.sys"},
    {"3C905", "10B7", "9200", "100010B7", "78", "3Com", "EL90X", "el90x.sys"},
    {"PCNET", "1022", "2000", "20001022", "10", "AMD", "PCNTN4M", "pcntpci5.sys"},
};
// Any other card is taken for an NE2000-compatible one.
constexpr Model kCompatible = {"", "10EC", "8029", "00000000", "00", "(Standard)", "NE2000", "ne2000.sys"};

const Model &ModelOf(const std::string &description)
{
    const std::string upper = tooltext::ToUpper(description);
    for (const Model &model : kModels)
        if (upper.find(model.match) != std::string::npos)
            return model;
    return kCompatible;
}

std::string Format(const char *format, int value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string FourDigits(int number)
{
    return Format("%04d", number);
}

std::string Join(const std::vector<std::string> &list, const char *separator)
{
    std::string text;
    for (const std::string &item : list)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

std::vector<BYTE> AddressBytes(const std::string &dotted)
{
    std::vector<BYTE> bytes;
    for (std::string_view part : tooltext::Split(dotted, '.'))
        bytes.push_back(static_cast<BYTE>(std::atoi(std::string(part).c_str())));
    bytes.resize(4);
    return bytes;
}

// The PCI device's hardware ids, most specific first.
std::vector<std::string> HardwareIds(const Model &m)
{
    const std::string base = std::string("PCI\\VEN_") + m.vendor + "&DEV_" + m.device;
    return {base + "&SUBSYS_" + m.subsystem + "&REV_" + m.revision,
            base + "&SUBSYS_" + m.subsystem,
            base + "&REV_" + m.revision,
            base,
            base + "&CC_020000",
            base + "&CC_0200"};
}

// Each card sits in a slot of its own.
std::string PciSlot(int number)
{
    return Format("%02X", 0x0A + number);
}

// A binding list of Tcpip\Linkage (or its Disabled subkey) with the entries for one card taken
// out, then put back when `add`; the other cards' entries keep their places, before the dial-up
// (NdisWan) ones.
void EditLinkage(Writer &w, const std::string &key, const char *name, const std::string &entry, bool add)
{
    std::vector<std::string> list = pcreg::ReadKey(key).List(name);
    std::erase(list, entry);
    if (add)
    {
        auto wan = std::find_if(list.begin(), list.end(),
                                [](const std::string &e) { return e.find("NdisWan") != std::string::npos; });
        list.insert(wan, entry);
    }
    Writer::Key(w, HKEY_LOCAL_MACHINE, key).MultiSz(name, list);
}

// What a card's TCP/IP key holds for its addresses: the fixed ones, or none and the lease.
std::vector<std::string> AddressesOf(const NicSettings &nic)
{
    return nic.dhcp ? std::vector<std::string>{"0.0.0.0"} : nic.addresses;
}
std::vector<std::string> MasksOf(const NicSettings &nic)
{
    return nic.dhcp ? std::vector<std::string>{"0.0.0.0"} : nic.masks;
}

// --- Windows 95, 98 and Me ----------------------------------------------------------------------

// Where a 9x card sits in the Enum tree and what it says it is.
struct NineXDevice
{
    std::string instance; // Enum\PCI\VEN_...\BUS_00&DEV_0B&FUNC_00
    std::string hardwareIds, compatibleIds, maker, driverFile;
};

NineXDevice PciDevice(int number, const std::string &description)
{
    const Model &m = ModelOf(description);
    const std::vector<std::string> ids = HardwareIds(m);
    return {"Enum\\PCI\\" + ids.front().substr(4) + "\\BUS_00&DEV_" + PciSlot(number) + "&FUNC_00",
            Join(ids, ","), "PCI\\CC_020000,PCI\\CC_0200", m.maker, m.driverFile};
}

void WriteNineXCard(Writer &w, int number, const NicSettings &nic, const NineXDevice &device,
                    std::optional<Fact> descriptionFrom = std::nullopt)
{
    using Key = Writer::Key;
    const std::string n = FourDigits(number), mstcp = "MSTCP\\" + n, netTrans = "NetTrans\\" + n;
    Key(w, HKEY_LOCAL_MACHINE, device.instance)
        .Sz("Class", "Net")
        .Sz("HardwareID", device.hardwareIds)
        .Sz("CompatibleIDs", device.compatibleIds)
        .Sz("DeviceDesc", nic.description, descriptionFrom)
        .Sz("Mfg", device.maker)
        .Sz("Driver", "Net\\" + n)
        // CONFIGFLAG_DISABLED: the card is disabled in the hardware profile.
        .Binary("ConfigFlags", {static_cast<BYTE>(nic.disabled ? 1 : 0), 0, 0, 0});
    Key bindings(w, HKEY_LOCAL_MACHINE, device.instance + "\\Bindings");
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Class\\Net\\" + n)
        .Sz("DriverDesc", nic.description, descriptionFrom)
        .Sz("DevLoader", "*ndis")
        .Sz("DeviceVxDs", device.driverFile)
        .Sz("EnumPropPages", "netdi.dll,EnumPropPages")
        .Sz("InfPath", number == 0 ? "NETDIAL.INF" : "NET.INF");
    if (nic.unbound)
        return;
    bindings.Sz(mstcp.c_str(), "");
    Key(w, HKEY_LOCAL_MACHINE, "Enum\\Network\\" + mstcp)
        .Sz("Class", "NetTrans")
        .Sz("DeviceDesc", "TCP/IP")
        .Sz("HardwareID", "MSTCP")
        .Sz("CompatibleIDs", "MSTCP")
        .Sz("Mfg", "Microsoft")
        .Sz("Driver", netTrans)
        .Sz("MasterCopy", "Enum\\Network\\" + mstcp)
        .Binary("ConfigFlags", {0, 0, 0, 0});
    Key tcpip(w, HKEY_LOCAL_MACHINE, kServices + "\\Class\\" + netTrans);
    tcpip.Sz("DriverDesc", "TCP/IP")
        .Sz("DevLoader", "*vip")
        .Sz("InfPath", "NETTRANS.INF")
        .Sz("InfSection", "MSTCP.ndi")
        .Sz("IPAddress", Join(AddressesOf(nic), ","))
        .Sz("IPMask", Join(MasksOf(nic), ","))
        .Sz("DefaultGateway", Join(nic.gateways, ","));
    for (size_t i = 0; i < nic.wins.size(); ++i)
        tcpip.Sz(("NameServer" + std::to_string(i + 1)).c_str(), nic.wins[i]);
    // Hybrid with WINS servers; broadcast for a fixed address without; DHCP brings its own.
    if (!nic.wins.empty() || !nic.dhcp)
        tcpip.Sz("NodeType", nic.wins.empty() ? "1" : "8");
    if (!nic.wins.empty())
        Key(w, HKEY_LOCAL_MACHINE, kMstcp).Sz("NodeType", "8");
    if (number > 0 && nic.dhcp && !nic.disabled)
    {
        const Lease lease = LeaseOf(number);
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\VxD\\DHCP\\DhcpInfo" + Format("%02d", number))
            .Binary("DhcpIPAddress", AddressBytes(lease.address))
            .Binary("DhcpSubnetMask", AddressBytes(lease.mask))
            .Binary("DhcpServer", AddressBytes(lease.server));
    }
}

void RemoveNineXCard(Writer &w, const pcreg::NetworkCard &card)
{
    const std::string n = FourDigits(card.number);
    for (const std::string &key : {card.instance, "Enum\\Network\\MSTCP\\" + n,
                                   kServices + "\\Class\\Net\\" + n, kServices + "\\Class\\NetTrans\\" + n,
                                   kServices + "\\VxD\\DHCP\\DhcpInfo" + Format("%02d", card.number)})
        if (LONG rc = DeleteTree(key); rc != ERROR_SUCCESS)
            w.Fail("cannot delete HKEY_LOCAL_MACHINE\\" + key, rc);
    // The device's key goes with its last instance.
    const std::string device = card.instance.substr(0, card.instance.rfind('\\'));
    if (pcreg::ReadKey(device).SubKeys().empty())
        DeleteTree(device);
}

// --- Windows NT 4 -------------------------------------------------------------------------------

void WriteNt4Card(Writer &w, int number, const NicSettings &nic, bool machineWideDns)
{
    using Key = Writer::Key;
    const Model &m = ModelOf(nic.description);
    const std::string service = NicServiceName(number, nic.description);
    Key card(w, HKEY_LOCAL_MACHINE, kNetworkCards + "\\" + std::to_string(number));
    card.Sz("Description", nic.description)
        .Sz("ServiceName", service)
        .Sz("Title", "[" + std::to_string(number) + "] " + nic.description)
        .Sz("Manufacturer", m.maker)
        .Sz("ProductName", m.ntDriver)
        .Dword("InstallDate", 0x3D8A1F00);
    if (nic.hidden)
        card.Dword("Hidden", 1);
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\" + m.ntDriver)
        .Dword("Type", 1)
        .Dword("Start", 3)
        .Dword("ErrorControl", 1)
        .ExpandSz("ImagePath", std::string("System32\\drivers\\") + m.driverFile)
        .Sz("Group", "NDIS");
    // A disabled adapter's service does not start.
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\" + service)
        .Dword("Type", 4)
        .Dword("Start", nic.disabled ? 4 : 2)
        .Dword("ErrorControl", 1)
        .Sz("Group", "NDIS");
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\" + service + "\\Parameters")
        .Dword("BusType", 5)
        .Dword("BusNumber", 0)
        .Dword("SlotNumber", 0x0A + number)
        .Dword("MediaType", 1);
    Key tcpip(w, HKEY_LOCAL_MACHINE, kServices + "\\" + service + "\\Parameters\\Tcpip");
    tcpip.Dword("EnableDHCP", nic.dhcp ? 1 : 0)
        .MultiSz("IPAddress", AddressesOf(nic))
        .MultiSz("SubnetMask", MasksOf(nic))
        .MultiSz("DefaultGateway", nic.gateways)
        .Sz("LLInterface", "")
        .Dword("UseZeroBroadcast", 0);
    if (nic.dhcp)
    {
        const Lease lease = LeaseOf(number);
        tcpip.Sz("DhcpIPAddress", lease.address)
            .Sz("DhcpSubnetMask", lease.mask)
            .Sz("DhcpServer", lease.server)
            .MultiSz("DhcpDefaultGateway", {lease.gateway})
            .Dword("Lease", 259200);
    }
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\NetBT\\Adapters\\" + service)
        .Sz("NameServer", nic.wins.size() > 0 ? nic.wins[0] : "")
        .Sz("NameServerBackup", nic.wins.size() > 1 ? nic.wins[1] : "")
        .MultiSz("LanaNumber", {});
    // An unbound adapter's binding moves to Linkage\Disabled, as the Network panel does.
    const std::string device = "\\Device\\" + service;
    EditLinkage(w, kTcpip + "\\Linkage", "Bind", device, !nic.unbound);
    EditLinkage(w, kTcpip + "\\Linkage", "Export", "\\Device\\Tcpip_" + service, !nic.unbound);
    EditLinkage(w, kTcpip + "\\Linkage\\Disabled", "Bind", device, nic.unbound);
    if (machineWideDns)
        Key(w, HKEY_LOCAL_MACHINE, kTcpip + "\\Parameters").Sz("NameServer", Join(nic.dns, " "));
    SetDeviceFile(service, !nic.disabled);
}

void RemoveNt4Card(Writer &w, const pcreg::NetworkCard &card)
{
    EditLinkage(w, kTcpip + "\\Linkage", "Bind", "\\Device\\" + card.key, false);
    EditLinkage(w, kTcpip + "\\Linkage", "Export", "\\Device\\Tcpip_" + card.key, false);
    EditLinkage(w, kTcpip + "\\Linkage\\Disabled", "Bind", "\\Device\\" + card.key, false);
    for (const std::string &key : {kNetworkCards + "\\" + std::to_string(card.number),
                                   kServices + "\\" + card.key, kServices + "\\NetBT\\Adapters\\" + card.key})
        if (LONG rc = DeleteTree(key); rc != ERROR_SUCCESS)
            w.Fail("cannot delete HKEY_LOCAL_MACHINE\\" + key, rc);
    SetDeviceFile(card.key, false);
}

// --- Windows 2000 and XP ------------------------------------------------------------------------

std::string ConnectionName(int number, LANGID language)
{
    const std::string name =
        PRIMARYLANGID(language) == LANG_SPANISH ? "Conexión de área local" : "Local Area Connection";
    return number == 1 ? name : name + " " + std::to_string(number);
}

void WriteNt5Card(Writer &w, int number, const NicSettings &nic, LANGID language)
{
    using Key = Writer::Key;
    const Model &m = ModelOf(nic.description);
    const std::string guid = NicGuid(number);
    Key card(w, HKEY_LOCAL_MACHINE, kNetworkCards + "\\" + std::to_string(number));
    card.Sz("Description", nic.description).Sz("ServiceName", guid);
    if (nic.hidden)
        card.Dword("Hidden", 1);
    // Setup keeps the component's id in small letters.
    std::string componentId = std::string("pci\\ven_") + m.vendor + "&dev_" + m.device;
    std::transform(componentId.begin(), componentId.end(), componentId.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    const std::string instance = HardwareIds(m).front() + "\\3&61AAA01&0&" + PciSlot(number) + "08";
    WriteNetComponent(w, {.componentId = componentId,
                          .description = nic.description,
                          .instanceId = guid,
                          .deviceInstanceId = instance,
                          .provider = m.maker,
                          .characteristics = 0x84,
                          .disabled = nic.disabled,
                          .descriptionFrom = std::nullopt});
    Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Network\\" + kNetClass + "\\" + guid + "\\Connection")
        .Sz("Name", ConnectionName(number, language))
        .Sz("PnpInstanceID", instance)
        .Dword("MediaSubType", 1);

    std::vector<std::string> metrics(nic.gateways.size(), "0");
    Key tcpip(w, HKEY_LOCAL_MACHINE, kTcpip + "\\Parameters\\Interfaces\\" + guid);
    tcpip.Dword("EnableDHCP", nic.dhcp ? 1 : 0)
        .MultiSz("IPAddress", AddressesOf(nic))
        .MultiSz("SubnetMask", MasksOf(nic))
        .MultiSz("DefaultGateway", nic.gateways)
        .MultiSz("DefaultGatewayMetric", metrics)
        .Sz("NameServer", Join(nic.dns, ","))
        .Sz("Domain", "")
        .Dword("UseZeroBroadcast", 0);
    if (nic.dhcp)
    {
        const Lease lease = LeaseOf(number);
        tcpip.Sz("DhcpIPAddress", lease.address)
            .Sz("DhcpSubnetMask", lease.mask)
            .Sz("DhcpServer", lease.server)
            .MultiSz("DhcpDefaultGateway", {lease.gateway})
            .MultiSz("DhcpSubnetMaskOpt", {lease.mask})
            .Dword("Lease", 259200)
            .Dword("AddressType", 0);
    }
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\NetBT\\Parameters\\Interfaces\\Tcpip_" + guid)
        .MultiSz("NameServerList", nic.wins)
        .Dword("NetbiosOptions", 0);
    EditLinkage(w, kTcpip + "\\Linkage", "Bind", "\\Device\\" + guid, !nic.unbound);
    EditLinkage(w, kTcpip + "\\Linkage", "Export", "\\Device\\Tcpip_" + guid, !nic.unbound);
    EditLinkage(w, kTcpip + "\\Linkage", "Route", "\"" + guid + "\"", !nic.unbound);
    SetDeviceFile(guid, !nic.disabled);
}

void RemoveNt5Card(Writer &w, const pcreg::NetworkCard &card)
{
    EditLinkage(w, kTcpip + "\\Linkage", "Bind", "\\Device\\" + card.key, false);
    EditLinkage(w, kTcpip + "\\Linkage", "Export", "\\Device\\Tcpip_" + card.key, false);
    EditLinkage(w, kTcpip + "\\Linkage", "Route", "\"" + card.key + "\"", false);
    for (const std::string &key : {kNetworkCards + "\\" + std::to_string(card.number),
                                   kTcpip + "\\Parameters\\Interfaces\\" + card.key,
                                   kServices + "\\NetBT\\Parameters\\Interfaces\\Tcpip_" + card.key,
                                   kControl + "\\Network\\" + kNetClass + "\\" + card.key})
        if (LONG rc = DeleteTree(key); rc != ERROR_SUCCESS)
            w.Fail("cannot delete HKEY_LOCAL_MACHINE\\" + key, rc);
    if (pcreg::ReadKey(NetComponentKey(card.key)).Text("NetCfgInstanceId") == card.key)
        RemoveNetComponent(w, NetComponentKey(card.key));
    SetDeviceFile(card.key, false);
}

// --- Common -------------------------------------------------------------------------------------

std::optional<pcreg::NetworkCard> FindCard(WindowsFamily family, int number)
{
    for (pcreg::NetworkCard &card : pcreg::ReadNetworkCards(family))
        if (card.number == number && !card.dialUp)
            return std::move(card);
    return std::nullopt;
}

// The 9x machine-wide DNS list: set by the card that brings servers, or cleared on request.
void NineXDns(Writer &w, const NicSettings &nic)
{
    Writer::Key(w, HKEY_LOCAL_MACHINE, kMstcp)
        .Sz("NameServer", Join(nic.dns, ","))
        .Sz("EnableDNS", nic.dns.empty() ? "0" : "1");
}

bool WriteCard(int number, const NicSettings &nic, bool machineWideDns, std::string &error)
{
    const kitpc::Identity id = kitpc::ReadIdentity();
    SystemAccess system;
    Writer w(error);
    if (!kitpc::IsNtFamily(id.family))
    {
        WriteNineXCard(w, number, nic, PciDevice(number, nic.description));
        if (machineWideDns && !nic.unbound)
            NineXDns(w, nic);
    }
    else if (id.family == WindowsFamily::NT4)
        WriteNt4Card(w, number, nic, machineWideDns);
    else
        WriteNt5Card(w, number, nic, id.systemLangId);
    return w.Ok();
}

bool RemoveCard(const pcreg::NetworkCard &card, std::string &error)
{
    const WindowsFamily family = kitpc::ReadIdentity().family;
    SystemAccess system;
    Writer w(error);
    if (!kitpc::IsNtFamily(family))
        RemoveNineXCard(w, card);
    else if (family == WindowsFamily::NT4)
        RemoveNt4Card(w, card);
    else
        RemoveNt5Card(w, card);
    return w.Ok();
}
} // namespace

std::string NicGuid(int number)
{
    // A fixed mix of the number (splitmix64), shaped as a version 4 GUID.
    auto mix = [](std::uint64_t x) {
        x += 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    };
    const std::uint64_t high = mix(static_cast<std::uint64_t>(number) * 2 + 0x4B4954);
    const std::uint64_t low = mix(static_cast<std::uint64_t>(number) * 2 + 0x4B4955);
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-4%03X-%04X-%012llX}", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

std::string NicServiceName(int number, const std::string &description)
{
    return ModelOf(description).ntDriver + std::to_string(number);
}

Lease LeaseOf(int number)
{
    return {"192.168.1." + std::to_string(32 + number), "255.255.255.0", "192.168.1.1", "192.168.1.1"};
}

std::string DialUpAdapterName(LANGID language)
{
    return PRIMARYLANGID(language) == LANG_SPANISH ? "Adaptador de Acceso telefónico a redes"
                                                   : "Dial-Up Adapter";
}

void DialUpAdapter(Writer &w, LANGID language)
{
    NicSettings dialUp;
    dialUp.description = DialUpAdapterName(language);
    const NineXDevice device{"Enum\\Root\\Net\\0000", "*PNP8387", "", "Microsoft", "pppmac.vxd"};
    WriteNineXCard(w, 0, dialUp, device, Fact::Language);
    // The name the dial-up adapter's driver goes by.
    Writer::Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Class\\Net\\0000").Sz("AdapterName", "MS$PPP");
}

void SetDeviceFile(const std::string &name, bool present)
{
    const std::filesystem::path path = kitpc::PathOf("devices/" + name);
    std::error_code ec;
    if (!present)
    {
        std::filesystem::remove(path, ec);
        return;
    }
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream(path, std::ios::app);
}

const std::string kNetClassKey = kControl + "\\Class\\" + kNetClass;

namespace
{
std::string DeviceEnumKey(const std::string &deviceInstanceId)
{
    return kControl.substr(0, kControl.rfind('\\')) + "\\Enum\\" + deviceInstanceId;
}
} // namespace

std::string NetComponentKey(const std::string &instanceId)
{
    const std::vector<std::string> subKeys = pcreg::ReadKey(kNetClassKey).SubKeys();
    for (const std::string &name : subKeys)
        if (tooltext::EqualNoCase(pcreg::ReadKey(kNetClassKey + "\\" + name).Text("NetCfgInstanceId"),
                                  instanceId))
            return kNetClassKey + "\\" + name;
    int number = 0;
    while (std::any_of(subKeys.begin(), subKeys.end(),
                       [&](const std::string &name) { return std::atoi(name.c_str()) == number; }))
        ++number;
    return kNetClassKey + "\\" + FourDigits(number);
}

std::optional<std::string> FindNetComponent(const std::string &componentId)
{
    for (const std::string &name : pcreg::ReadKey(kNetClassKey).SubKeys())
        if (tooltext::EqualNoCase(pcreg::ReadKey(kNetClassKey + "\\" + name).Text("ComponentId"),
                                  componentId))
            return kNetClassKey + "\\" + name;
    return std::nullopt;
}

void WriteNetComponent(Writer &w, const NetComponent &c)
{
    using Key = Writer::Key;
    const std::string key = NetComponentKey(c.instanceId);
    Key(w, HKEY_LOCAL_MACHINE, key)
        .Sz("DriverDesc", c.description, c.descriptionFrom)
        .Sz("NetCfgInstanceId", c.instanceId)
        .Sz("ComponentId", c.componentId)
        .Sz("MatchingDeviceId", c.componentId)
        .Sz("DeviceInstanceID", c.deviceInstanceId)
        .Sz("ProviderName", c.provider)
        .Dword("Characteristics", c.characteristics);
    if (c.wanMiniport)
        Key(w, HKEY_LOCAL_MACHINE, key + "\\Ndi\\Interfaces").Sz("UpperRange", "ndiswan");
    // CONFIGFLAG_DISABLED: the device is disabled in the hardware profile.
    Key(w, HKEY_LOCAL_MACHINE, DeviceEnumKey(c.deviceInstanceId))
        .Sz("DeviceDesc", c.description, c.descriptionFrom)
        .MultiSz("HardwareID", {c.componentId})
        .Sz("Class", "Net")
        .Sz("ClassGUID", kNetClass)
        .Sz("Driver", kNetClass + key.substr(key.rfind('\\')))
        .Sz("Mfg", c.provider)
        .Dword("ConfigFlags", c.disabled ? 1 : 0);
}

void RemoveNetComponent(Writer &w, const std::string &classKey)
{
    const std::string device = pcreg::ReadKey(classKey).Text("DeviceInstanceID");
    for (const std::string &key : {classKey, device.empty() ? std::string() : DeviceEnumKey(device)})
        if (!key.empty())
            if (LONG rc = DeleteTree(key); rc != ERROR_SUCCESS)
                w.Fail("cannot delete HKEY_LOCAL_MACHINE\\" + key, rc);
}

bool AddNic(const NicSettings &nic, int &number, std::string &error)
{
    number = 1;
    for (const pcreg::NetworkCard &card : pcreg::ReadNetworkCards(kitpc::ReadIdentity().family))
        number = std::max(number, card.number + 1);
    return WriteCard(number, nic, !nic.dns.empty(), error);
}

bool ReplaceNic(int number, const NicSettings &nic, std::string &error)
{
    auto card = FindCard(kitpc::ReadIdentity().family, number);
    if (!card)
    {
        error = "no network card " + std::to_string(number);
        return false;
    }
    return RemoveCard(*card, error) && WriteCard(number, nic, true, error);
}

bool RemoveNic(int number, std::string &error)
{
    auto card = FindCard(kitpc::ReadIdentity().family, number);
    if (!card)
    {
        error = "no network card " + std::to_string(number);
        return false;
    }
    return RemoveCard(*card, error);
}
} // namespace kitmachine
