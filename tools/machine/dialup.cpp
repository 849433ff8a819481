// Dial-up networking and the PPPoE clients in the registry and folders of each Windows family.
// A client is laid out whole, and removed by every piece either client may have left, so that a
// PC changes from one client to the other without remains.
#include "tools/machine/dialup.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitservice.h"
#include "platform/windows.h"
#include "tools/machine/nics.h"
#include "tools/pcreg/PcRegistry.h"
#include "tools/text/ToolText.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kitmachine
{
const char *const kSelectorKey = "SOFTWARE\\NUV\\DAX\\ADSL";

namespace
{
using kitpc::WindowsFamily;
using Key = Writer::Key;
namespace fs = std::filesystem;

const std::string kServices = "System\\CurrentControlSet\\Services";
const std::string kRemoteAccess = kServices + "\\RemoteAccess";
const std::string kRasMan = kServices + "\\RasMan";
const std::string kNineXModems = kServices + "\\Class\\Modem";
const std::string kTapiDevices = "SOFTWARE\\Microsoft\\RAS\\TAPI DEVICES";
const std::string kEnterNetAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Enternet.exe";
const std::string kWinPoetService = "WinPPPoverEthernet";
const char *const kPoetAdapter = "Ivasion Poet Adapter";
const char *const kWinPoetId = "*ivsnpoet";
const char *const kEnterNetId = "ntspppoe";
const char *const kEnterNetFiles[] = {"EnterNet.exe", "EnterNet.ini", "resfolderENU.dll"};

bool Nt5(WindowsFamily family)
{
    return kitpc::IsNtFamily(family) && family != WindowsFamily::NT4;
}

// Windows' own WAN miniports, which dial-up networking brings on 2000/XP.
struct Miniport
{
    const char *componentId, *device, *english, *spanish;
    bool xpOnly;
};

constexpr Miniport kMiniports[] = {
    {"ms_pppoeminiport", "ROOT\\MS_PPPOEMINIPORT\\0000", "WAN Miniport (PPPOE)", "Minipuerto WAN (PPPOE)",
     true},
    {"ms_pptpminiport", "ROOT\\MS_PPTPMINIPORT\\0000", "WAN Miniport (PPTP)", "Minipuerto WAN (PPTP)", false},
    {"ms_l2tpminiport", "ROOT\\MS_L2TPMINIPORT\\0000", "WAN Miniport (L2TP)", "Minipuerto WAN (L2TP)", false},
};

// Components that are no network card get GUIDs from numbers no card has.
std::string ComponentGuid(int index)
{
    return NicGuid(-1 - index);
}

// The device files of both clients on every family.
constexpr const char *kClientDevices[] = {"PoETKRNL", "WrKPoETDriver", "WrKPoet2000", "NTSPPP3", "NTSPPPOE4"};

const char *WinPoetDevice(WindowsFamily family)
{
    if (family == WindowsFamily::XP)
        return nullptr;
    return family == WindowsFamily::Win2000 ? "WrKPoet2000"
           : family == WindowsFamily::NT4   ? "WrKPoETDriver"
                                            : "PoETKRNL";
}

const char *EnterNetDevice(WindowsFamily family)
{
    if (Nt5(family))
        return nullptr;
    return family == WindowsFamily::NT4 ? "NTSPPPOE4" : "NTSPPP3";
}

// The EnterNet folder as the PC's host path and as Windows names it in App Paths.
std::string EnterNetHostFolder()
{
    return kitpc::PathOf("program_files/NTS/EnterNet");
}
std::string EnterNetFolder()
{
    return kitpc::PathOf("program_files") + "\\NTS\\EnterNet";
}

// --- Dial-up networking -------------------------------------------------------------------------

void NtRasServices(Writer &w, WindowsFamily family)
{
    const bool nt4 = family == WindowsFamily::NT4;
    const char *svchost = "%SystemRoot%\\System32\\svchost.exe -k netsvcs";
    Key(w, HKEY_LOCAL_MACHINE, kRemoteAccess)
        .Dword("Type", 0x20)
        .Dword("Start", 3)
        .Dword("ErrorControl", 1)
        .ExpandSz("ImagePath", nt4 ? "%SystemRoot%\\System32\\rassrv.exe" : svchost)
        .Sz("DisplayName", nt4 ? "Remote Access Server" : "Routing and Remote Access");
    Key(w, HKEY_LOCAL_MACHINE, kRasMan)
        .Dword("Type", nt4 ? 0x10 : 0x20)
        .Dword("Start", 3)
        .Dword("ErrorControl", 1)
        .ExpandSz("ImagePath", nt4 ? "%SystemRoot%\\System32\\rasman.exe" : svchost)
        .Sz("DisplayName", "Remote Access Connection Manager");
}

void WanMiniports(Writer &w, WindowsFamily family, LANGID language)
{
    const bool spanish = PRIMARYLANGID(language) == LANG_SPANISH;
    for (size_t i = 0; i < std::size(kMiniports); ++i)
    {
        const Miniport &m = kMiniports[i];
        if (m.xpOnly && family != WindowsFamily::XP)
            continue;
        WriteNetComponent(w, {.componentId = m.componentId,
                              .description = spanish ? m.spanish : m.english,
                              .instanceId = ComponentGuid(static_cast<int>(i)),
                              .deviceInstanceId = m.device,
                              .provider = "Microsoft",
                              .characteristics = 0x29, // virtual, hidden, not removable
                              .wanMiniport = true,
                              .descriptionFrom = Fact::Language});
    }
}

void RemoveDialUpNetworking(Writer &w, WindowsFamily family)
{
    DeleteKeys(w, {kRemoteAccess, kRasMan});
    if (!kitpc::IsNtFamily(family))
        DeleteKeys(w, {"Enum\\Root\\Net\\0000", "Enum\\Network\\MSTCP\\0000",
                       kServices + "\\Class\\Net\\0000", kServices + "\\Class\\NetTrans\\0000"});
    if (Nt5(family))
        for (const Miniport &m : kMiniports)
            if (auto key = FindNetComponent(m.componentId))
                RemoveNetComponent(w, *key);
}

// --- The PPPoE clients --------------------------------------------------------------------------

// The first number of the 9x modem class no modem has.
std::string FreeNineXModem()
{
    const std::vector<std::string> modems = pcreg::ReadKey(kNineXModems).SubKeys();
    for (int number = 0;; ++number)
    {
        char name[16];
        std::snprintf(name, sizeof name, "%04d", number);
        if (std::none_of(modems.begin(), modems.end(),
                         [&](const std::string &m) { return tooltext::EqualNoCase(m, name); }))
            return kNineXModems + "\\" + name;
    }
}

std::vector<std::string> PoetModems()
{
    std::vector<std::string> keys;
    for (const std::string &name : pcreg::ReadKey(kNineXModems).SubKeys())
        if (pcreg::ReadKey(kNineXModems + "\\" + name).Text("DriverDesc") == kPoetAdapter)
            keys.push_back(kNineXModems + "\\" + name);
    return keys;
}

void WinPoet(Writer &w, WindowsFamily family, const PppoeSettings &s)
{
    if (const char *device = WinPoetDevice(family))
        SetDeviceFile(device, family == WindowsFamily::Win2000 || !s.disabled);
    if (!kitpc::IsNtFamily(family))
    {
        Key(w, HKEY_LOCAL_MACHINE, kNineXModems).Default("Modem").Sz("Icon", "-1");
        Key(w, HKEY_LOCAL_MACHINE, FreeNineXModem())
            .Sz("DriverDesc", kPoetAdapter)
            .Sz("Manufacturer", "Ivasion")
            .Sz("AttachedTo", "POET1")
            .Sz("InfPath", "POET.INF");
        return;
    }
    if (family == WindowsFamily::NT4)
    {
        Key(w, HKEY_LOCAL_MACHINE, kTapiDevices + "\\WinPoET")
            .MultiSz("Address", {"POET1"})
            .MultiSz("Friendly Name", {kPoetAdapter})
            .MultiSz("Media Type", {"Modem"})
            .MultiSz("Usage", {"Client"});
        return;
    }
    const bool xp = family == WindowsFamily::XP;
    if (xp)
    {
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\" + kWinPoetService)
            .Dword("Type", 0x10)
            .Dword("Start", 2)
            .Dword("ErrorControl", 1)
            .ExpandSz("ImagePath", kitpc::PathOf("program_files") + "\\WinPoET\\WinPPPoverEthernet.exe")
            .Sz("DisplayName", "WinPoET Service");
        if (!kitpc::SetServiceState(kWinPoetService,
                                    s.stopped ? kitpc::ServiceState::Stopped : kitpc::ServiceState::Running))
            w.Fail("cannot write " + kitpc::ServiceStatePath(), ERROR_WRITE_FAULT);
    }
    WriteNetComponent(w, {.componentId = kWinPoetId,
                          .description = xp ? "WinPoET WAN (PPPOE) Adapter" : kPoetAdapter,
                          .instanceId = ComponentGuid(10),
                          .deviceInstanceId = "ROOT\\NET\\0000",
                          .provider = "iVasion",
                          .characteristics = 0x1, // virtual
                          .wanMiniport = true,
                          .disabled = s.disabled,
                          .descriptionFrom = std::nullopt});
}

void EnterNet(Writer &w, WindowsFamily family, const PppoeSettings &s)
{
    const std::string host = EnterNetHostFolder();
    std::error_code ec;
    fs::create_directories(host, ec);
    for (const char *file : kEnterNetFiles)
    {
        std::ofstream out(host + "/" + file, std::ios::binary | std::ios::trunc);
        out << (std::string(file) == "EnterNet.ini" ? "[Configuration]\r\nDefaultProfile=\r\n" : "MZ");
        if (!out)
            w.Fail("cannot write " + host + "/" + file, ERROR_WRITE_FAULT);
    }
    Key(w, HKEY_LOCAL_MACHINE, kEnterNetAppPath)
        .Default(EnterNetFolder() + "\\EnterNet.exe")
        .Sz("Path", EnterNetFolder());
    if (const char *device = EnterNetDevice(family))
    {
        SetDeviceFile(device, !s.disabled);
        return;
    }
    WriteNetComponent(w, {.componentId = kEnterNetId,
                          .description = "NTS EnterNet PPPoE Adapter",
                          .instanceId = ComponentGuid(11),
                          .deviceInstanceId = "ROOT\\NET\\0001",
                          .provider = "Network TeleSystems",
                          .characteristics = 0x1,
                          .disabled = s.disabled,
                          .descriptionFrom = std::nullopt});
}

// Every piece either client leaves on the PC.
void RemoveClients(Writer &w)
{
    for (const char *device : kClientDevices)
        SetDeviceFile(device, false);
    for (const std::string &modem : PoetModems())
        DeleteKeys(w, {modem});
    DeleteKeys(w, {kTapiDevices + "\\WinPoET", kServices + "\\" + kWinPoetService, kEnterNetAppPath});
    kitpc::SetServiceState(kWinPoetService, kitpc::ServiceState::Default);
    for (const char *id : {kWinPoetId, kEnterNetId})
        if (auto key = FindNetComponent(id))
            RemoveNetComponent(w, *key);
    std::error_code ec;
    fs::remove_all(EnterNetHostFolder(), ec);
    fs::remove(fs::path(EnterNetHostFolder()).parent_path(), ec); // NTS, when nothing else is in it
}

// --- What the PC holds --------------------------------------------------------------------------

bool DeviceFile(const char *name)
{
    std::error_code ec;
    return name && fs::exists(kitpc::PathOf(std::string("devices/") + name), ec);
}

std::string ShortKey(const std::string &key)
{
    const size_t classes = key.find("\\Class\\");
    return classes == std::string::npos ? key : key.substr(classes + 1);
}

// A 2000/XP component's line: its name, id, key and whether its device is enabled.
std::string ComponentLine(const std::string &key)
{
    pcreg::ReadKey component(key);
    pcreg::ReadKey device("System\\CurrentControlSet\\Enum\\" + component.Text("DeviceInstanceID"));
    const bool enabled = device && (device.Number("ConfigFlags") & 1) == 0;
    std::string name = key.substr(key.rfind('\\') + 1);
    return "\"" + component.Text("DriverDesc") + "\" (" + component.Text("ComponentId") + ", Class\\Net\\" +
           name + (enabled ? ", enabled" : ", disabled") + ")";
}

std::string ServiceLine(const std::string &service)
{
    char state[32];
    GetPrivateProfileStringA("State", service.c_str(), "", state, sizeof state,
                             kitpc::ServiceStatePath().c_str());
    const bool running = *state ? tooltext::EqualNoCase(state, "running")
                                : pcreg::ReadKey(kServices + "\\" + service).Number("Start") <= 2;
    return "service " + service + " (" + (running ? "running" : "stopped") + ")";
}

std::vector<std::string> WinPoetPieces(WindowsFamily family)
{
    std::vector<std::string> pieces;
    for (const char *device : {"PoETKRNL", "WrKPoETDriver", "WrKPoet2000"})
        if (DeviceFile(device))
            pieces.push_back(std::string("device file devices/") + device);
    for (const std::string &modem : PoetModems())
        pieces.push_back("modem " + ShortKey(modem) + " \"" + kPoetAdapter + "\"");
    if (pcreg::ReadKey(kTapiDevices + "\\WinPoET"))
        pieces.push_back("TAPI device WinPoET POET1 \"" + std::string(kPoetAdapter) + "\"");
    if (pcreg::ReadKey(kServices + "\\" + kWinPoetService))
        pieces.push_back(ServiceLine(kWinPoetService));
    if (Nt5(family))
        if (auto key = FindNetComponent(kWinPoetId))
            pieces.push_back("network component " + ComponentLine(*key));
    return pieces;
}

std::vector<std::string> EnterNetPieces(WindowsFamily family)
{
    std::vector<std::string> pieces;
    if (pcreg::ReadKey appPath(kEnterNetAppPath); appPath)
        pieces.push_back("App Paths\\Enternet.exe \"" + appPath.Text("") + "\", Path \"" +
                         appPath.Text("Path") + "\"");
    for (const char *file : kEnterNetFiles)
    {
        std::error_code ec;
        if (fs::exists(EnterNetHostFolder() + "/" + file, ec))
            pieces.push_back("file " + EnterNetFolder() + "\\" + file);
    }
    for (const char *device : {"NTSPPP3", "NTSPPPOE4"})
        if (DeviceFile(device))
            pieces.push_back(std::string("device file devices/") + device);
    if (Nt5(family))
        if (auto key = FindNetComponent(kEnterNetId))
            pieces.push_back("network component " + ComponentLine(*key));
    return pieces;
}
} // namespace

void DialUpNetworking(Writer &w, WindowsFamily family, LANGID language)
{
    if (!kitpc::IsNtFamily(family))
    {
        // Dial-Up Networking keeps whether a connection is up here.
        Key(w, HKEY_LOCAL_MACHINE, kRemoteAccess).Binary("Remote Connection", {0, 0, 0, 0});
        DialUpAdapter(w, language);
        return;
    }
    NtRasServices(w, family);
    if (family == WindowsFamily::NT4)
        Key(w, HKEY_LOCAL_MACHINE, kTapiDevices);
    else
        WanMiniports(w, family, language);
}

bool SetDialUp(bool installed, std::string &error)
{
    error.clear();
    const kitpc::Identity id = kitpc::ReadIdentity();
    SystemAccess system;
    Writer w(error);
    if (installed)
        DialUpNetworking(w, id.family, id.systemLangId);
    else
        RemoveDialUpNetworking(w, id.family);
    return w.Ok();
}

bool SetPppoe(const PppoeSettings &settings, std::string &error)
{
    error.clear();
    const WindowsFamily family = kitpc::ReadIdentity().family;
    SystemAccess system;
    Writer w(error);
    RemoveClients(w);
    if (settings.client == PppoeClient::WinPoet)
        WinPoet(w, family, settings);
    else if (settings.client == PppoeClient::EnterNet)
        EnterNet(w, family, settings);
    return w.Ok();
}

bool SetSelector(DWORD value, std::string &error)
{
    error.clear();
    SystemAccess system;
    Writer w(error);
    Key(w, HKEY_LOCAL_MACHINE, kSelectorKey).Dword("WinPoet", value);
    return w.Ok();
}

bool DialUpInstalled()
{
    return static_cast<bool>(pcreg::ReadKey(kRemoteAccess));
}

std::vector<std::string> DialUpLines()
{
    const WindowsFamily family = kitpc::ReadIdentity().family;
    std::vector<std::string> lines{DialUpInstalled() ? "installed (" + kRemoteAccess + ")" : "not installed"};
    if (!kitpc::IsNtFamily(family))
    {
        pcreg::ReadKey adapter("Enum\\Root\\Net\\0000");
        if (adapter)
            lines.push_back("dial-up adapter Enum\\Root\\Net\\0000 \"" + adapter.Text("DeviceDesc") + "\" (" +
                            pcreg::ReadKey(kServices + "\\Class\\Net\\0000").Text("AdapterName") + ")");
        for (const std::string &modem : pcreg::ReadKey(kNineXModems).SubKeys())
            lines.push_back("modem Class\\Modem\\" + modem + " \"" +
                            pcreg::ReadKey(kNineXModems + "\\" + modem).Text("DriverDesc") + "\"");
    }
    else if (family == WindowsFamily::NT4)
    {
        for (const std::string &provider : pcreg::ReadKey(kTapiDevices).SubKeys())
        {
            pcreg::ReadKey devices(kTapiDevices + "\\" + provider);
            const std::vector<std::string> ports = devices.List("Address"),
                                           names = devices.List("Friendly Name");
            for (size_t i = 0; i < names.size(); ++i)
                lines.push_back("TAPI device " + provider + " " + (i < ports.size() ? ports[i] : "") + " \"" +
                                names[i] + "\"");
        }
    }
    else
        for (const std::string &name : pcreg::ReadKey(kNetClassKey).SubKeys())
            if (pcreg::ReadKey(kNetClassKey + "\\" + name + "\\Ndi\\Interfaces").Text("UpperRange") ==
                "ndiswan")
                lines.push_back("WAN miniport " + ComponentLine(kNetClassKey + "\\" + name));
    return lines;
}

std::vector<std::string> PppoeLines()
{
    const WindowsFamily family = kitpc::ReadIdentity().family;
    std::vector<std::string> lines;
    for (auto [client, pieces] :
         {std::pair{"WinPoET", WinPoetPieces(family)}, std::pair{"EnterNet", EnterNetPieces(family)}})
        for (const std::string &piece : pieces)
            lines.push_back(std::string(client) + ": " + piece);
    if (lines.empty())
        lines.push_back("none");
    pcreg::ReadKey selector(kSelectorKey);
    lines.push_back(std::string("client selector HKEY_LOCAL_MACHINE\\") + kSelectorKey + " \"WinPoet\": " +
                    (selector.Bytes("WinPoet") ? std::to_string(selector.Number("WinPoet")) : "not set"));
    return lines;
}
} // namespace kitmachine

namespace kitmachine
{
namespace
{
// The structure sizes the PC's RAS knows, by family.
DWORD EntrySizeOf(WindowsFamily family)
{
    switch (family)
    {
    case WindowsFamily::XP:
        return 2884;
    case WindowsFamily::Win2000:
        return 2088;
    case WindowsFamily::NT4:
        return 1796;
    default:
        return 1768;
    }
}

std::vector<std::string> EntryNames(WindowsFamily family)
{
    const DWORD size = (family == WindowsFamily::XP || family == WindowsFamily::Win2000) ? 532 : 264;
    DWORD bytes = 0, count = 0;
    std::vector<BYTE> records(size);
    reinterpret_cast<RASENTRYNAMEA *>(records.data())->dwSize = size;
    bytes = size;
    DWORD rc =
        RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<RASENTRYNAMEA *>(records.data()), &bytes, &count);
    if (rc == ERROR_BUFFER_TOO_SMALL)
    {
        records.assign(bytes, 0);
        reinterpret_cast<RASENTRYNAMEA *>(records.data())->dwSize = size;
        rc = RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<RASENTRYNAMEA *>(records.data()), &bytes,
                             &count);
    }
    std::vector<std::string> names;
    if (rc != ERROR_SUCCESS)
        return {"(the phone book cannot be read: error " + std::to_string(rc) + ")"};
    for (DWORD i = 0; i < count; ++i)
        names.emplace_back(reinterpret_cast<const RASENTRYNAMEA *>(records.data() + i * size)->szEntryName);
    return names;
}

std::string EntryLine(WindowsFamily family, const std::string &name)
{
    RASENTRYA entry = {};
    entry.dwSize = EntrySizeOf(family);
    DWORD size = entry.dwSize;
    if (RasGetEntryPropertiesA(nullptr, name.c_str(), &entry, &size, nullptr, nullptr) != ERROR_SUCCESS)
        return "\"" + name + "\" (cannot be read)";
    RASDIALPARAMSA params = {};
    params.dwSize = kitpc::IsNtFamily(family) ? sizeof params : 1052;
    std::snprintf(params.szEntryName, sizeof params.szEntryName, "%s", name.c_str());
    BOOL password = FALSE;
    RasGetEntryDialParamsA(nullptr, &params, &password);
    char options[16];
    std::snprintf(options, sizeof options, "0x%08X", static_cast<unsigned>(entry.dwfOptions));
    std::string line = "\"" + name + "\" on " + entry.szDeviceType + " \"" + entry.szDeviceName +
                       "\", number \"" + entry.szLocalPhoneNumber + "\", options " + options;
    if (family == WindowsFamily::XP)
        line += entry.dwType == RASET_Broadband ? ", broadband" : ", type " + std::to_string(entry.dwType);
    line += std::string(", user \"") + params.szUserName + "\"" +
            (password ? ", password kept" : ", no password");
    return line;
}
} // namespace

std::vector<std::string> RasDeviceLines()
{
    if (!DialUpInstalled())
        return {};
    DWORD bytes = 0, count = 0;
    DWORD rc = RasEnumDevicesA(nullptr, &bytes, &count);
    std::vector<RASDEVINFOA> devices(std::max<DWORD>(count, 1));
    devices[0].dwSize = sizeof(RASDEVINFOA);
    bytes = static_cast<DWORD>(devices.size() * sizeof(RASDEVINFOA));
    rc = RasEnumDevicesA(devices.data(), &bytes, &count);
    if (rc != ERROR_SUCCESS)
        return {"(the devices cannot be listed: error " + std::to_string(rc) + ")"};
    std::vector<std::string> lines;
    for (DWORD i = 0; i < count; ++i)
        lines.push_back(std::string(devices[i].szDeviceType) + " \"" + devices[i].szDeviceName + "\"");
    return lines;
}

std::vector<std::string> PhoneBookLines()
{
    const WindowsFamily family = kitpc::ReadIdentity().family;
    if (!DialUpInstalled())
        return {};
    std::vector<std::string> lines;
    for (const std::string &name : EntryNames(family))
        lines.push_back(name.front() == '(' ? name : EntryLine(family, name));
    const std::string internet =
        family == WindowsFamily::XP
            ? pcreg::ReadKey("Software\\Microsoft\\RAS Autodial\\Default").Text("DefaultInternet")
            : pcreg::ReadKey(HKEY_CURRENT_USER, "RemoteAccess").Text("InternetProfile");
    if (!internet.empty())
        lines.push_back("default Internet connection \"" + internet + "\"");
    return lines;
}
} // namespace kitmachine
