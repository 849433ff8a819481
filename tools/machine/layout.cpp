// The registry of a fresh installation of each Windows family. One function per area of the
// registry, listed in kAreas; the network cards a PC gets are laid out by nics.cpp, dial-up
// networking by dialup.cpp (one of the areas, when the PC has it).
#include "tools/machine/layout.h"
#include "tools/machine/dialup.h"
#include "tools/machine/nics.h"
#include "tools/machine/writer.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "platform/winreg.h"

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <iterator>
#include <vector>

namespace kitmachine
{
namespace
{
using kitpc::WindowsFamily;
using enum Fact;

constexpr FamilyLayout kFamilies[] = {
    {WindowsFamily::Win95, "Microsoft Windows 95", "Windows 95", "4.00.950", "", "12722-OEM-0017536-42781",
     "Mozilla/4.0 (compatible; MSIE 4.01; Windows 95)"},
    {WindowsFamily::Win98, "Microsoft Windows 98", "Windows 98", "4.10.1998", " ", "15383-OEM-0027946-14213",
     "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)"},
    {WindowsFamily::Win98SE, "Microsoft Windows 98", "Windows 98", "4.10.2222", " A ",
     "15383-OEM-0039427-27104", "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98; DigExt)"},
    {WindowsFamily::WinMe, "Microsoft Windows ME", "Windows Millennium Edition", "4.90.3000", " ",
     "55375-OEM-0051327-63841", "Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)"},
    {WindowsFamily::NT4, "Microsoft Windows NT", "", "4.0", "", "12043-OEM-0033185-51762",
     "Mozilla/4.0 (compatible; MSIE 5.01; Windows NT)"},
    {WindowsFamily::Win2000, "Microsoft Windows 2000", "", "5.0", "", "51873-OEM-0015394-43158",
     "Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)"},
    {WindowsFamily::XP, "Microsoft Windows XP", "", "5.1", "", "55274-OEM-0011903-00102",
     "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)"},
};

// Regional settings Setup writes for the installation's language.
struct LanguageInfo
{
    LANGID id;
    const char *abbreviation; // sLanguage
    const char *country;      // sCountry
    const char *countryCode;  // iCountry
};

constexpr LanguageInfo kLanguages[] = {
    {0x0C0A, "ESN", "España", "34"},       {0x040A, "ESP", "España", "34"},
    {0x0403, "CAT", "España", "34"},       {0x042D, "EUQ", "España", "34"},
    {0x0456, "GLC", "España", "34"},       {0x080A, "ESM", "México", "52"},
    {0x0409, "ENU", "United States", "1"}, {0x0809, "ENG", "United Kingdom", "44"},
    {0x040C, "FRA", "France", "33"},       {0x0407, "DEU", "Germany", "49"},
    {0x0410, "ITA", "Italy", "39"},        {0x0816, "PTG", "Portugal", "351"},
};

const LanguageInfo *LanguageOf(LANGID id)
{
    for (const LanguageInfo &language : kLanguages)
        if (language.id == id)
            return &language;
    return nullptr;
}

// Everything the areas need to know about the PC being laid out.
struct Context
{
    kitpc::Identity id;
    const FamilyLayout *family;
    bool nt;
    bool dialUp; // lay out dial-up networking (a rewrite touches only what is there)
    std::string windows, system, temp, programFiles, commonFiles, internetExplorer;
    std::string desktop, startMenu, programs, appData, commonDesktop, commonStartMenu, commonPrograms;
};

std::string Hex(const char *format, unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

using Key = Writer::Key;

const std::string kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
const std::string kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
const std::string kServices = "System\\CurrentControlSet\\Services";
const std::string kControl = "System\\CurrentControlSet\\Control";

// HKLM ...\Windows\CurrentVersion (9x: the version itself) and, on NT, ...\Windows NT\CurrentVersion.
void WindowsVersion(Writer &w, const Context &c)
{
    const FamilyLayout &f = *c.family;
    Key version(w, HKEY_LOCAL_MACHINE, kCurrentVersion);
    version.Sz("ProgramFilesDir", c.programFiles).Sz("CommonFilesDir", c.commonFiles);
    if (!c.nt)
    {
        version.Sz("Version", f.versionName, Version)
            .Sz("VersionNumber", f.versionNumber, Version)
            .Sz("SubVersionNumber", f.subVersionNumber, Version)
            .Sz("ProductName", f.productName, Version)
            .Sz("ProductId", f.productId, Version)
            .Sz("SystemRoot", c.windows)
            .Sz("RegisteredOwner", c.id.userName, User)
            .Sz("RegisteredOrganization", "")
            .Sz("MediaPath", c.windows + "/media")
            .Sz("DevicePath", c.windows + "/inf");
        return;
    }
    version.ExpandSz("DevicePath", c.windows + "/inf").ExpandSz("MediaPath", c.windows + "/Media");
    if (c.id.family != WindowsFamily::NT4)
        version.ExpandSz("ProgramFilesPath", c.programFiles);

    Key nt(w, HKEY_LOCAL_MACHINE, kNtCurrentVersion);
    nt.Sz("CurrentVersion", f.versionNumber, Version)
        .Sz("CurrentBuildNumber", std::to_string(c.id.buildNumber), Version)
        .Sz("CurrentType", "Uniprocessor Free")
        .Sz("SystemRoot", c.windows)
        .Sz("PathName", c.windows)
        .Sz("SoftwareType", "SYSTEM")
        .Sz("ProductId", f.productId, Version)
        .Sz("RegisteredOwner", c.id.userName, User)
        .Sz("RegisteredOrganization", "")
        .Dword("InstallDate", 0x3D8A1F00);
    if (c.id.family != WindowsFamily::NT4)
        nt.Sz("ProductName", f.productName, Version);
    if (!c.id.csdVersion.empty())
        nt.Sz("CSDVersion", c.id.csdVersion, Version);
    Key(w, HKEY_LOCAL_MACHINE, kNtCurrentVersion + "\\Winlogon")
        .Sz("DefaultUserName", c.id.userName, User)
        .Sz("DefaultDomainName", c.id.computerName, Computer)
        .Sz("Shell", "Explorer.exe")
        .Sz("Userinit", c.system + "/userinit.exe,");
}

// Run and RunOnce of the machine and the user (and the 9x service variants), empty.
void StartupKeys(Writer &w, const Context &c)
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        Key(w, root, kCurrentVersion + "\\Run");
        Key(w, root, kCurrentVersion + "\\RunOnce");
    }
    if (!c.nt)
    {
        Key(w, HKEY_LOCAL_MACHINE, kCurrentVersion + "\\RunServices");
        Key(w, HKEY_LOCAL_MACHINE, kCurrentVersion + "\\RunServicesOnce");
    }
}

// Explorer's Shell Folders (the paths) and User Shell Folders (what they were set from; NT keeps
// them expandable). The common folders exist on NT only.
void ShellFolders(Writer &w, const Context &c)
{
    const std::string explorer = kCurrentVersion + "\\Explorer";
    for (const char *sub : {"\\Shell Folders", "\\User Shell Folders"})
    {
        const bool expand = c.nt && std::string(sub) == "\\User Shell Folders";
        auto set = [expand](Key &key, const char *name, const std::string &path) {
            expand ? key.ExpandSz(name, path) : key.Sz(name, path);
        };
        Key user(w, HKEY_CURRENT_USER, explorer + sub);
        set(user, "Desktop", c.desktop);
        set(user, "Start Menu", c.startMenu);
        set(user, "Programs", c.programs);
        set(user, "AppData", c.appData);
        if (c.nt)
        {
            Key common(w, HKEY_LOCAL_MACHINE, explorer + sub);
            set(common, "Common Desktop", c.commonDesktop);
            set(common, "Common Start Menu", c.commonStartMenu);
            set(common, "Common Programs", c.commonPrograms);
        }
    }
}

// App Paths, Uninstall, SharedDlls and the file types a browser check looks up.
void Applications(Writer &w, const Context &c)
{
    const std::string iexplore = c.internetExplorer + "/IEXPLORE.EXE";
    Key(w, HKEY_LOCAL_MACHINE, kCurrentVersion + "\\App Paths\\IEXPLORE.EXE")
        .Default(iexplore)
        .Sz("Path", c.internetExplorer + ";");
    Key(w, HKEY_LOCAL_MACHINE, kCurrentVersion + "\\Uninstall");
    Key(w, HKEY_LOCAL_MACHINE, kCurrentVersion + "\\SharedDlls")
        .Dword((c.system + "/MSVCRT.DLL").c_str(), 1)
        .Dword((c.system + "/MFC42.DLL").c_str(), 1);

    // Where COM servers register; Windows has them from the start, whatever is installed.
    for (const char *com : {"CLSID", "Interface", "TypeLib"})
        Key(w, HKEY_CLASSES_ROOT, com);
    Key(w, HKEY_CLASSES_ROOT, ".htm").Default("htmlfile").Sz("Content Type", "text/html");
    Key(w, HKEY_CLASSES_ROOT, ".html").Default("htmlfile").Sz("Content Type", "text/html");
    Key(w, HKEY_CLASSES_ROOT, "htmlfile").Default("HTML Document");
    Key(w, HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command").Default("\"" + iexplore + "\" -nohome");
    Key(w, HKEY_CLASSES_ROOT, ".txt").Default("txtfile").Sz("Content Type", "text/plain");
    Key(w, HKEY_CLASSES_ROOT, "txtfile").Default("Text Document");
    Key(w, HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command")
        .Default((c.nt ? c.system : c.windows) + "/NOTEPAD.EXE %1");
}

// The user's Internet settings: no dial-up by default. 9x keeps the autodial flags as binary.
void InternetSettings(Writer &w, const Context &c)
{
    Key settings(w, HKEY_CURRENT_USER, kCurrentVersion + "\\Internet Settings");
    settings.Sz("User Agent", c.family->userAgent, Version).Dword("MigrateProxy", 1).Dword("ProxyEnable", 0);
    if (c.nt)
        settings.Dword("EnableAutodial", 0).Dword("NoNetAutodial", 0);
    else
        settings.Binary("EnableAutodial", {0, 0, 0, 0}).Binary("NoNetAutodial", {0, 0, 0, 0});
}

// Session manager, computer name, language and code pages, product options.
void ControlSet(Writer &w, const Context &c)
{
    Key(w, HKEY_LOCAL_MACHINE, kControl + "\\ComputerName\\ComputerName")
        .Sz("ComputerName", c.id.computerName, Computer);
    const std::string locale = Hex("%08x", c.id.systemLangId);
    if (c.nt)
    {
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Session Manager")
            .MultiSz("BootExecute", {"autocheck autochk *"})
            .Dword("ProtectionMode", 1);
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Session Manager\\Environment")
            .ExpandSz("ComSpec", c.system + "/cmd.exe")
            .ExpandSz("Path", c.system + ";" + c.windows + ";" + c.system + "/Wbem")
            .ExpandSz("windir", c.windows)
            .ExpandSz("TEMP", c.temp)
            .ExpandSz("TMP", c.temp)
            .Sz("OS", "Windows_NT")
            .Sz("PROCESSOR_ARCHITECTURE", "x86")
            .Sz("NUMBER_OF_PROCESSORS", "1");
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Nls\\Language")
            .Sz("Default", Hex("%04x", c.id.systemLangId), Language)
            .Sz("InstallLanguage", Hex("%04x", c.id.systemLangId), Language);
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Nls\\Locale").Default(locale, Language);
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Nls\\CodePage")
            .Sz("ACP", "1252")
            .Sz("OEMCP", "850")
            .Sz("MACCP", "10000");
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\ProductOptions").Sz("ProductType", "WinNT");
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Windows")
            .Dword("CSDVersion", static_cast<DWORD>(c.id.servicePackMajor) << 8);
        return;
    }
    // 9x writes the session manager's name without the blank.
    Key(w, HKEY_LOCAL_MACHINE, kControl + "\\SessionManager\\KnownDLLs")
        .Sz("kernel32", "kernel32.dll")
        .Sz("user32", "user32.dll")
        .Sz("gdi32", "gdi32.dll");
    Key(w, HKEY_LOCAL_MACHINE, kControl).Sz("Current User", c.id.userName, User);
    Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Nls\\Locale").Default(Hex("%08X", c.id.systemLangId), Language);
    Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Nls\\Codepage").Sz("ACP", "1252").Sz("OEMCP", "850");
}

// TCP/IP as Setup installs it: the machine-wide settings and the binding list, with no
// adapter yet, and the services around it.
void Tcpip(Writer &w, const Context &c)
{
    if (!c.nt)
    {
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\VxD\\MSTCP")
            .Sz("StaticVxD", "mstcp.vxd")
            .Binary("Start", {0})
            .Sz("HostName", c.id.computerName, Computer)
            .Sz("Domain", "")
            .Sz("NameServer", "")
            .Sz("EnableDNS", "0");
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\VxD\\DHCP")
            .Sz("StaticVxD", "vdhcp.386")
            .Binary("Start", {0});
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\VxD\\VNETSUP")
            .Sz("StaticVxD", "vnetsup.vxd")
            .Sz("ComputerName", c.id.computerName, Computer)
            .Sz("Workgroup", "WORKGROUP")
            .Sz("Comment", "");
        return;
    }
    const bool nt4 = c.id.family == WindowsFamily::NT4;
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Tcpip")
        .Dword("Type", 1)
        .Dword("Start", 1)
        .Dword("ErrorControl", 1)
        .ExpandSz("ImagePath", "System32\\DRIVERS\\tcpip.sys")
        .Sz("DisplayName", nt4 ? "TCP/IP Service" : "TCP/IP Protocol Driver")
        .Sz("Group", "PNP_TDI");
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Tcpip\\Parameters")
        .Sz("Hostname", c.id.computerName, Computer)
        .Sz("NV Hostname", c.id.computerName, Computer)
        .Sz("Domain", "")
        .Sz("NameServer", "")
        .Sz("SearchList", "")
        .ExpandSz("DataBasePath", c.system + "/drivers/etc")
        .Dword("IPEnableRouter", 0)
        .Dword("EnableICMPRedirect", 1)
        .Dword("DeadGWDetectDefault", 1);
    if (nt4)
    {
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Tcpip\\Linkage")
            .MultiSz("Bind", {})
            .MultiSz("Export", {})
            .MultiSz("Route", {});
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\NetBT\\Adapters");
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\DHCP")
            .Dword("Type", 0x20)
            .Dword("Start", 2)
            .Dword("ErrorControl", 1)
            .ExpandSz("ImagePath", "%SystemRoot%\\System32\\services.exe")
            .Sz("DisplayName", "DHCP Client");
        return;
    }
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Tcpip\\Parameters\\Interfaces");
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Tcpip\\Linkage")
        .MultiSz("Bind", {"\\Device\\NdisWanIp"})
        .MultiSz("Export", {"\\Device\\Tcpip_NdisWanIp"})
        .MultiSz("Route", {"\"NdisWanIp\""});
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\NetBT\\Parameters\\Interfaces");
    Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Dhcp")
        .Dword("Type", 0x20)
        .Dword("Start", 2)
        .Dword("ErrorControl", 1)
        .ExpandSz("ImagePath", "%SystemRoot%\\System32\\svchost.exe -k netsvcs")
        .Sz("DisplayName", "DHCP Client");
}

// The device classes network adapters and protocols are installed under (9x: Services\Class,
// NT 4: the NetworkCards list, 2000/XP: both the list and the class GUID).
void NetworkClasses(Writer &w, const Context &c)
{
    if (!c.nt)
    {
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Class\\Net").Default("Network adapters").Sz("Icon", "-5");
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Class\\NetTrans")
            .Default("Network Protocol")
            .Sz("Icon", "-6");
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Class\\NetClient")
            .Default("Network Client")
            .Sz("Icon", "-7");
        Key(w, HKEY_LOCAL_MACHINE, kServices + "\\Class\\NetService")
            .Default("Network Service")
            .Sz("Icon", "-8");
        return;
    }
    Key(w, HKEY_LOCAL_MACHINE, kNtCurrentVersion + "\\NetworkCards");
    if (c.id.family != WindowsFamily::NT4)
        Key(w, HKEY_LOCAL_MACHINE, kControl + "\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}")
            .Default("Network adapters")
            .Sz("Class", "Net");
}

// The roots of the 9x hardware tree; devices are added below them.
void EnumTree(Writer &w, const Context &c)
{
    if (c.nt)
        return;
    for (const char *root : {"Enum\\Root", "Enum\\Network", "Enum\\BIOS", "Enum\\PCI"})
        Key(w, HKEY_LOCAL_MACHINE, root);
}

// Dial-up networking, when the PC has it: the RAS services and its devices (the 9x dial-up adapter
// bound to TCP/IP, Windows' WAN miniports on 2000/XP).
void DialUp(Writer &w, const Context &c)
{
    if (c.dialUp)
        DialUpNetworking(w, c.id.family, c.id.systemLangId);
}

// The user's regional settings and environment, and the 9x logon name.
void UserSettings(Writer &w, const Context &c)
{
    Key international(w, HKEY_CURRENT_USER, "Control Panel\\International");
    international.Sz("Locale", Hex("%08X", c.id.userLangId), Language);
    if (const LanguageInfo *language = LanguageOf(c.id.userLangId))
        international.Sz("sLanguage", language->abbreviation, Language)
            .Sz("sCountry", language->country, Language)
            .Sz("iCountry", language->countryCode, Language);
    if (c.nt)
        Key(w, HKEY_CURRENT_USER, "Environment").ExpandSz("TEMP", c.temp).ExpandSz("TMP", c.temp);
    else
        Key(w, HKEY_LOCAL_MACHINE, "Network\\Logon").Sz("username", c.id.userName, User);
}

struct Area
{
    const char *name;
    void (*layOut)(Writer &, const Context &);
};

constexpr Area kAreas[] = {
    {"Windows version", WindowsVersion},
    {"start-up programs", StartupKeys},
    {"shell folders", ShellFolders},
    {"applications", Applications},
    {"Internet settings", InternetSettings},
    {"control set", ControlSet},
    {"TCP/IP", Tcpip},
    {"network classes", NetworkClasses},
    {"hardware tree", EnumTree},
    {"dial-up networking", DialUp},
    {"user settings", UserSettings},
};

Context ContextOfPc(bool dialUp)
{
    Context c;
    c.dialUp = dialUp;
    c.id = kitpc::ReadIdentity();
    c.family = &LayoutOf(c.id.family);
    c.nt = kitpc::IsNtFamily(c.id.family);
    c.windows = kitpc::PathOf(kitpc::WindowsFolder());
    c.system = kitpc::PathOf(kitpc::SystemFolder());
    c.temp = kitpc::PathOf("temp");
    c.programFiles = kitpc::PathOf("program_files");
    c.commonFiles = c.programFiles + "/Common Files";
    c.internetExplorer = c.programFiles + "/Internet Explorer";
    c.desktop = kitpc::PathOf("desktop");
    c.startMenu = kitpc::PathOf("start_menu");
    c.programs = kitpc::PathOf("start_menu/programs");
    c.appData = kitpc::PathOf("appdata");
    c.commonDesktop = kitpc::PathOf("common_desktop");
    c.commonStartMenu = kitpc::PathOf("common_start_menu");
    c.commonPrograms = kitpc::PathOf("common_start_menu/programs");
    return c;
}
} // namespace

const FamilyLayout &LayoutOf(WindowsFamily family)
{
    for (const FamilyLayout &layout : kFamilies)
        if (layout.family == family)
            return layout;
    return kFamilies[std::size(kFamilies) - 1];
}

bool SameLayout(WindowsFamily from, WindowsFamily to)
{
    // The 9x versions differ only in the version values; the NT ones in keys and services too.
    return from == to || (!kitpc::IsNtFamily(from) && !kitpc::IsNtFamily(to));
}

namespace
{
// Runs every area through the writer, as the system: keys right below HKEY_LOCAL_MACHINE,
// whoever the user is.
bool WriteAreas(Writer &writer, const Context &c, std::string &error)
{
    kitreg::SetSystemAccess(true);
    for (const Area &area : kAreas)
    {
        area.layOut(writer, c);
        if (!writer.Ok())
        {
            error = std::string(area.name) + ": " + error;
            break;
        }
    }
    kitreg::SetSystemAccess(false);
    return error.empty();
}
} // namespace

bool LayOutRegistry(std::string &error, bool dialUp)
{
    error.clear();
    const Context c = ContextOfPc(dialUp);
    // Folders the registry names that the PC's own layout does not make.
    std::error_code ec;
    std::filesystem::create_directories(c.commonFiles, ec);
    std::filesystem::create_directories(c.internetExplorer, ec);
    Writer writer(error);
    return WriteAreas(writer, c, error);
}

bool RewriteFact(Fact fact, std::string &error)
{
    error.clear();
    Writer writer(error, fact);
    return WriteAreas(writer, ContextOfPc(true), error);
}
} // namespace kitmachine
