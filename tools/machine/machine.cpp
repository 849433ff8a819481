// machine: creates, shows, changes and restarts the simulated Windows PC.
//
//   machine create --os 95|98|98se|me|nt4|2000|xp [--lang 0x0c0a] [--admin yes|no]
//                  [--computer NAME] [--user NAME] [--dir DIR] [--force]
//                  [--nic DESCRIPTION [CARD OPTIONS]]... [--ras yes|no]
//                  [--pppoe winpoet|enternet|none [--pppoe-disabled] [--pppoe-stopped]]
//                  [--winpoet-selector 0|1|2]
//   machine show [--dir DIR]
//   machine set KEY VALUE [--dir DIR]     KEY: os, lang, admin, computer, user or Section.Key
//   machine nic add DESCRIPTION [CARD OPTIONS] [--dir DIR]
//   machine nic set NUMBER|DESCRIPTION CARD OPTIONS [--dir DIR]
//   machine nic remove NUMBER|DESCRIPTION [--dir DIR]
//   machine ras yes|no [--dir DIR]
//   machine pppoe [winpoet|enternet|none [--pppoe-disabled] [--pppoe-stopped]]
//                 [--winpoet-selector 0|1|2] [--dir DIR]
//   machine logon [--dir DIR]
//   machine reboot [--dir DIR]
//
// CARD OPTIONS: --dhcp (the default) or --ip A/M[,A/M...] with --gw G[,G...]; --dns D[,D...];
// --wins W[,W...] ("none" empties a list); --disabled|--enabled, --unbound|--bound, and on NT
// --hidden|--shown. Each --nic starts a card; the options after it are that card's. Cards are
// numbered from 1 in the order they are added; a number is never given twice while the cards
// above it remain.
//
// Dial-up networking (--ras) is installed unless asked otherwise; a PPPoE client (WinPoET or
// EnterNet) only when asked, its device disabled with --pppoe-disabled and, for WinPoET on XP, its
// service stopped with --pppoe-stopped. --winpoet-selector writes the kit's client selector
// (HKEY_LOCAL_MACHINE\SOFTWARE\NUV\DAX\ADSL "WinPoet": 0 EnterNet, 1 WinPoET, 2 WinPoET
// without the XP service check). `machine pppoe` replaces the PC's client with the one named.
//
// The PC is DIR, else $KIT_MACHINE, else ~/.local/share/kit/machine. `set` changes a fact in
// machine.ini and in every registry value the family's layout repeats it in; `set os` stays
// within the layout the PC was created with (the 9x versions among themselves). A restart keeps
// only the persistent routes and the gateways of the PC's adapters.
//
// `logon` does what Windows does when a user logs on: HKEY_LOCAL_MACHINE RunOnce (each value
// deleted before its program starts, the programs run one at a time, each waited for), then
// HKEY_LOCAL_MACHINE Run and HKEY_CURRENT_USER Run (started, not waited for), then
// HKEY_CURRENT_USER RunOnce. `reboot` is the start of Windows (pending renames and deletions,
// Wininit.ini [rename], volatile keys, routes) followed by a logon. A damaged registry stops
// every command that needs it. Texts from the terminal are UTF-8 and are stored in Windows 1252.
//
// Exit codes: 0 done, 1 failed (a message on stderr), 2 bad usage.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "tools/machine/dialup.h"
#include "tools/machine/layout.h"
#include "tools/machine/nicoptions.h"
#include "tools/machine/nics.h"
#include "tools/pcreg/PcRegistry.h"
#include "tools/text/ToolText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <arpa/inet.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
constexpr int kOk = 0, kFailed = 1, kUsage = 2;

// The stand-in programs a PC finds in its bin folder, looked for beside this program.
constexpr const char *kStandIns[] = {"route", "regedit", "winipcfg"};

const char *const kUsageText =
    "usage: machine create --os 95|98|98se|me|nt4|2000|xp [--lang 0x0c0a] [--admin yes|no]\n"
    "                      [--computer NAME] [--user NAME] [--dir DIR] [--force]\n"
    "                      [--nic DESCRIPTION [CARD OPTIONS]]... [--ras yes|no]\n"
    "                      [--pppoe winpoet|enternet|none [--pppoe-disabled] [--pppoe-stopped]]\n"
    "                      [--winpoet-selector 0|1|2]\n"
    "       machine show [--dir DIR]\n"
    "       machine set os|lang|admin|computer|user|Section.Key VALUE [--dir DIR]\n"
    "       machine nic add DESCRIPTION [CARD OPTIONS] [--dir DIR]\n"
    "       machine nic set NUMBER|DESCRIPTION CARD OPTIONS [--dir DIR]\n"
    "       machine nic remove NUMBER|DESCRIPTION [--dir DIR]\n"
    "       machine ras yes|no [--dir DIR]\n"
    "       machine pppoe [winpoet|enternet|none [--pppoe-disabled] [--pppoe-stopped]]\n"
    "                     [--winpoet-selector 0|1|2] [--dir DIR]\n"
    "       machine logon [--dir DIR]\n"
    "       machine reboot [--dir DIR]\n"
    "CARD OPTIONS: [--dhcp | --ip A/M[,A/M...] [--gw G[,G...]]] [--dns D[,D...]] [--wins W[,W...]]\n"
    "              [--disabled|--enabled] [--unbound|--bound] [--hidden|--shown (NT only)]\n"
    "              (--dhcp is the default; \"none\" empties a list)\n"
    "DIAL-UP: --ras yes (the default) installs dial-up networking; --pppoe-disabled disables the\n"
    "         client's device; --pppoe-stopped stops WinPoET's service (XP only); --winpoet-selector\n"
    "         writes HKEY_LOCAL_MACHINE\\SOFTWARE\\NUV\\DAX\\ADSL \"WinPoet\" (0 EnterNet, 1 WinPoET,\n"
    "         2 WinPoET without the XP service check)\n";

int Help()
{
    std::fputs(kUsageText, stdout);
    return kOk;
}

int Usage(const std::string &problem = "")
{
    if (!problem.empty())
        std::fprintf(stderr, "machine: %s\n", problem.c_str());
    std::fputs(kUsageText, stderr);
    return kUsage;
}

int Failure(const std::string &text)
{
    std::fprintf(stderr, "machine: %s\n", text.c_str());
    return kFailed;
}

void Warn(const std::string &text)
{
    std::fprintf(stderr, "machine: warning: %s\n", text.c_str());
}

// --- The PC's registry --------------------------------------------------------------------------

// Nothing when the PC's registry can be used; else what is wrong with it and where.
std::string DamagedRegistry(const std::string &where)
{
    return "the PC's registry is damaged: " + where + "; machine create --force makes a new PC";
}

std::optional<std::string> RegistryProblem()
{
    if (auto where = pcreg::FindDamage())
        return DamagedRegistry(*where);
    return std::nullopt;
}

// --- The PC's folder ----------------------------------------------------------------------------

std::string DefaultPcDir()
{
    if (const char *env = std::getenv("KIT_MACHINE"); env && *env)
        return env;
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/kit/machine";
}

// Makes `dir` the PC every platform call of this process works on.
std::string UsePc(const std::optional<std::string> &dir)
{
    std::error_code ec;
    std::string path = fs::absolute(dir ? *dir : DefaultPcDir(), ec).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    ::setenv("KIT_MACHINE", path.c_str(), 1);
    return path;
}

bool HoldsPc(const std::string &dir)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(dir) / "machine.ini", ec);
}

std::vector<std::string> ReadLines(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return tooltext::Lines(text.str());
}

std::string SelfFolder()
{
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

// --- Arguments ----------------------------------------------------------------------------------

struct Arguments
{
    std::string command;
    std::vector<std::string> words;             // arguments that are not options
    std::map<std::string, std::string> options; // --name value
    bool force = false, help = false;
    bool pppoeDisabled = false, pppoeStopped = false;
    machinecli::NicArguments nics; // the network card options
};

std::optional<Arguments> ParseArguments(const std::vector<std::string> &argv, std::string &problem)
{
    const int argc = static_cast<int>(argv.size());
    static const char *const withValue[] = {"--os",  "--lang",     "--admin",
                                            "--dir", "--computer", "--user",
                                            "--ras", "--pppoe",    "--winpoet-selector"};
    Arguments args;
    for (int i = 0; i < argc; ++i)
    {
        std::string word = argv[i];
        if (word == "--force")
            args.force = true;
        else if (word == "--pppoe-disabled")
            args.pppoeDisabled = true;
        else if (word == "--pppoe-stopped")
            args.pppoeStopped = true;
        else if (word == "--help" || word == "-h" || word == "/?" || word == "-?")
            args.help = true;
        else if (std::find_if(std::begin(withValue), std::end(withValue),
                              [&](const char *o) { return word == o; }) != std::end(withValue))
        {
            if (i + 1 >= argc)
            {
                problem = word + " needs a value";
                return std::nullopt;
            }
            args.options[word] = argv[++i];
        }
        else if (word.size() > 2 && word.compare(0, 2, "--") == 0)
        {
            problem = "unknown option " + word;
            return std::nullopt;
        }
        else if (args.command.empty())
            args.command = word;
        else
            args.words.push_back(word);
    }
    return args;
}

std::optional<std::string> Option(const Arguments &args, const char *name)
{
    auto it = args.options.find(name);
    return it == args.options.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<LANGID> ParseLangId(const std::string &text)
{
    char *end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || value == 0 || value > 0xFFFF)
        return std::nullopt;
    return static_cast<LANGID>(value);
}

std::optional<bool> ParseYesNo(const std::string &text)
{
    if (text == "yes")
        return true;
    if (text == "no")
        return false;
    return std::nullopt;
}

std::string Hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

const char *FamilyTitle(kitpc::WindowsFamily family)
{
    switch (family)
    {
    case kitpc::WindowsFamily::Win95:
        return "Windows 95";
    case kitpc::WindowsFamily::Win98:
        return "Windows 98";
    case kitpc::WindowsFamily::Win98SE:
        return "Windows 98 SE";
    case kitpc::WindowsFamily::WinMe:
        return "Windows Me";
    case kitpc::WindowsFamily::NT4:
        return "Windows NT 4.0";
    case kitpc::WindowsFamily::Win2000:
        return "Windows 2000";
    case kitpc::WindowsFamily::XP:
        break;
    }
    return "Windows XP";
}

// --- Dial-up networking and the PPPoE client ---------------------------------------------------

// What the dial-up options ask for; what is not given stays as it is.
struct DialUpOptions
{
    std::optional<bool> ras;
    std::optional<kitmachine::PppoeSettings> pppoe;
    std::optional<DWORD> selector;
};

bool HasDialUpOptions(const Arguments &args)
{
    return args.pppoeDisabled || args.pppoeStopped || Option(args, "--ras") || Option(args, "--pppoe") ||
           Option(args, "--winpoet-selector");
}

const char *ClientFlag(const Arguments &args)
{
    return args.pppoeDisabled ? "--pppoe-disabled" : "--pppoe-stopped";
}

// Reads the client named (`client`, from --pppoe or the pppoe command's word), the client's flags
// and the selector for a PC of `family`; the reason when they do not go together.
std::optional<std::string> ParsePppoe(const Arguments &args, const std::optional<std::string> &client,
                                      kitpc::WindowsFamily family, DialUpOptions &options)
{
    if (auto text = Option(args, "--winpoet-selector"))
    {
        if (*text != "0" && *text != "1" && *text != "2")
            return "--winpoet-selector takes 0, 1 or 2";
        options.selector = static_cast<DWORD>(std::stoul(*text));
    }
    const bool flags = args.pppoeDisabled || args.pppoeStopped;
    if (!client)
    {
        if (flags)
            return std::string(ClientFlag(args)) + " goes with a PPPoE client: winpoet or enternet";
        return std::nullopt;
    }
    kitmachine::PppoeSettings settings;
    if (*client == "winpoet")
        settings.client = kitmachine::PppoeClient::WinPoet;
    else if (*client == "enternet")
        settings.client = kitmachine::PppoeClient::EnterNet;
    else if (*client != "none")
        return "the PPPoE client is winpoet, enternet or none, not " + *client;
    if (settings.client == kitmachine::PppoeClient::None && flags)
        return std::string(ClientFlag(args)) + " needs a PPPoE client, not none";
    if (args.pppoeStopped &&
        (settings.client != kitmachine::PppoeClient::WinPoet || family != kitpc::WindowsFamily::XP))
        return "--pppoe-stopped: only WinPoET on Windows XP runs as a service";
    settings.disabled = args.pppoeDisabled;
    settings.stopped = args.pppoeStopped;
    options.pppoe = settings;
    return std::nullopt;
}

// Installs what the options ask for on the current PC; says where the selector went.
int ApplyDialUp(const DialUpOptions &options)
{
    std::string error;
    if (options.ras && !kitmachine::SetDialUp(*options.ras, error))
        return Failure("dial-up networking: " + error);
    if (options.pppoe && !kitmachine::SetPppoe(*options.pppoe, error))
        return Failure("PPPoE client: " + error);
    if (options.selector)
    {
        if (!kitmachine::SetSelector(*options.selector, error))
            return Failure("client selector: " + error);
        std::printf("Client selector: HKEY_LOCAL_MACHINE\\%s \"WinPoet\" = %u (read by a kit whose "
                    "config.ini has [General] Registro=ADSL)\n",
                    kitmachine::kSelectorKey, static_cast<unsigned>(*options.selector));
    }
    return kOk;
}

// The PC a dial-up command changes, when it can be changed.
std::optional<int> PcProblem(const Arguments &args)
{
    const std::string pc = UsePc(Option(args, "--dir"));
    if (!HoldsPc(pc))
        return Failure("no PC in " + pc + " (machine create makes one)");
    if (auto problem = RegistryProblem())
        return Failure(*problem);
    return std::nullopt;
}

int Ras(const Arguments &args)
{
    auto installed = args.words.size() == 1 ? ParseYesNo(args.words[0]) : std::nullopt;
    if (!installed)
        return Usage("ras takes yes or no");
    if (HasDialUpOptions(args))
        return Usage("ras takes no other dial-up option");
    if (auto rc = PcProblem(args))
        return *rc;
    DialUpOptions options;
    options.ras = *installed;
    if (int rc = ApplyDialUp(options); rc != kOk)
        return rc;
    std::printf("Dial-up networking %s\n", *installed ? "installed" : "removed");
    return kOk;
}

int Pppoe(const Arguments &args)
{
    if (args.words.size() > 1)
        return Usage("pppoe takes one client: winpoet, enternet or none");
    if (Option(args, "--pppoe") || Option(args, "--ras"))
        return Usage("pppoe names its client as a word: machine pppoe winpoet|enternet|none");
    const std::optional<std::string> client =
        args.words.empty() ? std::nullopt : std::optional<std::string>(args.words[0]);
    if (!client && !Option(args, "--winpoet-selector"))
        return Usage("pppoe takes a client (winpoet, enternet or none) or --winpoet-selector");
    if (auto rc = PcProblem(args))
        return *rc;
    DialUpOptions options;
    if (auto problem = ParsePppoe(args, client, kitpc::ReadIdentity().family, options))
        return Usage(*problem);
    if (int rc = ApplyDialUp(options); rc != kOk)
        return rc;
    if (client)
        std::printf("PPPoE client: %s\n", client->c_str());
    return kOk;
}

// --- create -------------------------------------------------------------------------------------

std::optional<std::string> ComputerNameProblem(const std::string &name);

// Links the stand-in programs found beside this program into the PC's bin folder.
void LinkStandIns(const std::string &pc)
{
    const std::string self = SelfFolder();
    for (const char *name : kStandIns)
    {
        const std::string target = self + "/" + name, link = pc + "/bin/" + name;
        if (::access(target.c_str(), X_OK) != 0)
        {
            Warn(std::string(name) + " not found beside machine (" + self + "); bin/" + name + " not made");
            continue;
        }
        std::error_code ec;
        fs::remove(link, ec);
        fs::create_symlink(target, link, ec);
        if (ec)
            Warn("cannot link bin/" + std::string(name) + ": " + ec.message());
    }
}

int Create(const Arguments &args)
{
    if (!args.words.empty())
        return Usage("create takes no argument " + args.words.front());
    auto os = Option(args, "--os");
    if (!os)
        return Usage("create needs --os");
    kitpc::MachineOptions options;
    auto family = kitpc::FamilyFromName(*os);
    if (!family)
        return Usage("unknown Windows " + *os);
    options.os = *family;
    if (auto lang = Option(args, "--lang"))
    {
        auto id = ParseLangId(*lang);
        if (!id)
            return Usage("bad language " + *lang);
        options.lang = *id;
    }
    bool admin = true;
    if (auto text = Option(args, "--admin"))
    {
        auto value = ParseYesNo(*text);
        if (!value)
            return Usage("--admin takes yes or no");
        admin = *value;
    }
    if (auto name = Option(args, "--computer"))
    {
        options.computerName = kitpc::PcText(*name);
        if (auto problem = ComputerNameProblem(options.computerName))
            return Usage(*problem);
    }
    if (auto name = Option(args, "--user"))
    {
        options.userName = kitpc::PcText(*name);
        if (tooltext::Trim(options.userName, " ").empty())
            return Usage("the user needs a name");
    }

    DialUpOptions dialUp;
    dialUp.ras = true;
    if (auto text = Option(args, "--ras"))
    {
        dialUp.ras = ParseYesNo(*text);
        if (!dialUp.ras)
            return Usage("--ras takes yes or no");
    }
    if (auto problem = ParsePppoe(args, Option(args, "--pppoe"), options.os, dialUp))
        return Usage(*problem);

    std::vector<kitmachine::NicSettings> cards;
    for (const machinecli::NicOptions &card : args.nics.cards)
    {
        cards.emplace_back();
        if (auto problem = machinecli::ApplyNicOptions(card, options.os, cards.back()))
            return Usage(*problem);
    }

    const std::string pc = UsePc(Option(args, "--dir"));
    std::error_code ec;
    if (fs::exists(pc, ec) && !fs::is_empty(pc, ec))
    {
        if (!args.force)
            return Failure(pc + " is not empty; --force replaces the PC in it");
        if (!HoldsPc(pc))
            return Failure(pc + " holds no PC (no machine.ini); not wiping it");
        for (const fs::directory_entry &entry : fs::directory_iterator(pc, ec))
            fs::remove_all(entry.path(), ec);
    }
    options.admin = admin;
    if (!kitpc::CreateMachine(pc, options))
        return Failure("cannot lay out the PC's folders in " + pc);
    std::string error;
    if (!kitmachine::LayOutRegistry(error, *dialUp.ras))
        return Failure("registry: " + error);
    for (const kitmachine::NicSettings &card : cards)
        if (int number = 0; !kitmachine::AddNic(card, number, error))
            return Failure("network card " + kitpc::TerminalText(card.description) + ": " + error);
    // Dial-up networking is part of the installation; the client comes after the cards.
    dialUp.ras.reset();
    if (int rc = ApplyDialUp(dialUp); rc != kOk)
        return rc;
    LinkStandIns(pc);
    std::printf("%s PC created in %s\n", FamilyTitle(options.os), pc.c_str());
    return kOk;
}

// --- show ---------------------------------------------------------------------------------------

void Section(const char *title, const std::vector<std::string> &lines)
{
    std::printf("%s:\n", title);
    if (lines.empty())
        std::printf("  (none)\n");
    for (const std::string &line : lines)
        std::printf("  %s\n", kitpc::TerminalText(line).c_str());
}

std::vector<std::string> FolderEntries(const std::string &folder)
{
    std::vector<std::string> lines;
    std::error_code ec;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, ec))
    {
        std::string line = entry.path().filename().string();
        if (entry.is_symlink(ec))
        {
            fs::path target = fs::read_symlink(entry.path(), ec);
            line += " -> " + target.string() + (fs::exists(entry.path(), ec) ? "" : " (missing)");
        }
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> HostsLines(const std::string &pc)
{
    std::vector<std::string> lines;
    const std::string path = pc + "/network.ini";
    if (!fs::exists(path))
        return lines;
    std::vector<char> buffer(32768);
    DWORD n =
        GetPrivateProfileSectionA("Hosts", buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    for (const char *p = buffer.data(); p < buffer.data() + n && *p; p += std::strlen(p) + 1)
        lines.emplace_back(p);
    return lines;
}

int Show(const Arguments &args)
{
    if (!args.words.empty())
        return Usage("show takes no argument " + args.words.front());
    const std::string pc = UsePc(Option(args, "--dir"));
    if (!HoldsPc(pc))
        return Failure("no PC in " + pc + " (machine create makes one)");
    const kitpc::Identity id = kitpc::ReadIdentity();
    const bool nt = id.platformId == VER_PLATFORM_WIN32_NT;
    const DWORD build = nt ? id.buildNumber : id.buildNumber & 0xFFFF;

    std::printf("PC: %s\n", pc.c_str());
    std::printf("Windows: %s (%s), version %u.%u build %u, platform %s\n", FamilyTitle(id.family),
                kitpc::FamilyName(id.family), id.majorVersion, id.minorVersion, build, nt ? "NT" : "9x");
    std::printf("Service pack: \"%s\"\n", kitpc::TerminalText(id.csdVersion).c_str());
    std::printf("Languages: user %s, system %s\n", Hex4(id.userLangId).c_str(),
                Hex4(id.systemLangId).c_str());
    std::printf("Administrator: %s\n", id.administrator ? "yes" : "no");
    std::printf("Computer: %s\n", kitpc::TerminalText(id.computerName).c_str());
    std::printf("User: %s\n", kitpc::TerminalText(id.userName).c_str());
    const std::optional<std::string> damage = pcreg::FindDamage();
    std::printf("Registry: %s\n", damage ? ("damaged: " + *damage).c_str() : kitreg::RegistryPath().c_str());

    std::vector<std::string> folders;
    for (const std::string &folder :
         {kitpc::WindowsFolder(), kitpc::SystemFolder(), std::string("temp"), std::string("desktop"),
          std::string("start_menu"), std::string("program_files"), std::string("appdata"),
          std::string("ras")})
        folders.push_back(folder + "  " + kitpc::PathOf(folder));
    if (nt)
        for (const char *folder : {"common_desktop", "common_start_menu"})
            folders.push_back(std::string(folder) + "  " + kitpc::PathOf(folder));
    Section("Folders", folders);
    Section("Devices", FolderEntries(pc + "/devices"));
    Section("Programs (bin)", FolderEntries(pc + "/bin"));
    Section("Network (network.ini [Hosts])", HostsLines(pc));
    Section("Routes", ReadLines(pc + "/routes"));
    Section("Power log", ReadLines(pc + "/power.log"));
    if (damage)
        return Failure(DamagedRegistry(*damage));
    Section("Dial-up networking", kitmachine::DialUpLines());
    Section("PPPoE client", kitmachine::PppoeLines());
    Section("RAS devices", kitmachine::RasDeviceLines());
    Section("Phone book", kitmachine::PhoneBookLines());
    const std::vector<pcreg::NetworkCard> cards = pcreg::ReadNetworkCards(id.family);
    Section("Network cards", machinecli::CardLines(cards));
    std::printf("\n%s", kitpc::TerminalText(machinecli::IpConfigText(id.family, cards,
                                                                     pcreg::ReadTcpipSettings(id.family),
                                                                     pcreg::SpanishPc()))
                            .c_str());
    if (auto problem = RegistryProblem())
        return Failure(*problem);
    return kOk;
}

// --- set ----------------------------------------------------------------------------------------

// The [Windows] settings CreateMachine writes for a family, read from a scratch PC.
std::optional<std::map<std::string, std::string>> WindowsSettingsOf(kitpc::WindowsFamily family)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string scratch = std::string(tmp && *tmp ? tmp : "/tmp") + "/kit-family-XXXXXX";
    if (!::mkdtemp(scratch.data()))
        return std::nullopt;
    kitpc::MachineOptions options;
    options.os = family;
    std::optional<std::map<std::string, std::string>> settings;
    if (kitpc::CreateMachine(scratch, options))
    {
        settings.emplace();
        const std::string ini = scratch + "/machine.ini";
        for (const char *key : {"Family", "PlatformId", "MajorVersion", "MinorVersion", "BuildNumber",
                                "CSDVersion", "ServicePackMajor"})
        {
            char value[256];
            GetPrivateProfileStringA("Windows", key, "", value, sizeof value, ini.c_str());
            (*settings)[key] = value;
        }
    }
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return settings;
}

// The [Windows] values machine.ini gets for the family.
std::optional<std::vector<std::pair<std::string, std::string>>> WindowsValuesOf(kitpc::WindowsFamily family)
{
    auto settings = WindowsSettingsOf(family);
    if (!settings)
        return std::nullopt;
    std::vector<std::pair<std::string, std::string>> values;
    for (auto &[key, value] : *settings)
        // Quoted, so that the blanks of " A " survive.
        values.emplace_back(key, key == "CSDVersion" ? "\"" + value + "\"" : value);
    return values;
}

// Why Windows would refuse the computer name, or nothing when it takes it: 1 to 15 characters,
// none of the reserved ones and no blank at either end.
std::optional<std::string> ComputerNameProblem(const std::string &name)
{
    if (name.empty())
        return "the computer needs a name";
    if (name.size() > 15)
        return "a computer name has at most 15 characters";
    if (name.front() == ' ' || name.back() == ' ')
        return "a computer name cannot begin or end with a blank";
    const char *const reserved = "\\/:*?\"<>|,;=+[]";
    if (name.find_first_of(reserved) != std::string::npos)
        return std::string("a computer name cannot hold any of ") + reserved;
    return std::nullopt;
}

struct IniValue
{
    std::string section, key, value;
};

std::string ReadIniValue(const std::string &section, const std::string &key)
{
    char value[1024];
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value,
                             kitpc::PathOf("machine.ini").c_str());
    return value;
}

bool WriteIniValues(const std::vector<IniValue> &values)
{
    bool ok = true;
    for (const IniValue &v : values)
        ok = kitpc::SetIdentityValue(v.section, v.key, v.value) && ok;
    return ok;
}

// Changes a fact in machine.ini and in the registry values that repeat it; when the registry
// cannot take it, machine.ini gets its old values back.
int ChangeFact(kitmachine::Fact fact, const std::vector<IniValue> &values)
{
    if (auto problem = RegistryProblem())
        return Failure(*problem);
    std::vector<IniValue> old;
    for (const IniValue &v : values)
    {
        std::string before = ReadIniValue(v.section, v.key);
        const bool quoted = before.size() != tooltext::Trim(before, " ").size();
        old.push_back({v.section, v.key, quoted ? "\"" + before + "\"" : before});
    }
    if (!WriteIniValues(values))
    {
        WriteIniValues(old);
        return Failure("cannot change " + kitpc::PathOf("machine.ini"));
    }
    std::string error;
    if (!kitmachine::RewriteFact(fact, error))
    {
        WriteIniValues(old);
        kitmachine::RewriteFact(fact, error);
        return Failure("registry: " + error);
    }
    return kOk;
}

int SetOs(const std::string &name)
{
    auto family = kitpc::FamilyFromName(name);
    if (!family)
        return Usage("unknown Windows " + name);
    const kitpc::WindowsFamily current = kitpc::ReadIdentity().family;
    if (!kitmachine::SameLayout(current, *family))
        return Failure(
            std::string("a ") + FamilyTitle(current) + " PC cannot become " + FamilyTitle(*family) +
            ": its registry has the layout of its own Windows; make a new PC: machine create --os " + name +
            " --force");
    auto values = WindowsValuesOf(*family);
    if (!values)
        return Failure("cannot read the settings of " + std::string(FamilyTitle(*family)));
    std::vector<IniValue> changes;
    for (auto &[key, value] : *values)
        changes.push_back({"Windows", key, value});
    return ChangeFact(kitmachine::Fact::Version, changes);
}

int SetLanguage(const std::string &text)
{
    auto id = ParseLangId(text);
    if (!id)
        return Usage("bad language " + text);
    return ChangeFact(kitmachine::Fact::Language,
                      {{"Locale", "UserLangID", Hex4(*id)}, {"Locale", "SystemLangID", Hex4(*id)}});
}

int SetComputer(const std::string &name)
{
    if (auto problem = ComputerNameProblem(name))
        return Usage(*problem);
    return ChangeFact(kitmachine::Fact::Computer, {{"Computer", "Name", name}});
}

int SetUser(const std::string &name)
{
    if (name.empty() || tooltext::Trim(name, " ").empty())
        return Usage("the user needs a name");
    return ChangeFact(kitmachine::Fact::User, {{"User", "Name", name}});
}

// Section.Key: machine.ini's own settings; the ones the registry repeats go through their
// command, so that both stay the same.
int SetIniValue(const std::string &key, const std::string &value)
{
    size_t dot = key.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == key.size())
        return Usage("unknown setting " + key);
    const std::string section = key.substr(0, dot), name = key.substr(dot + 1);
    struct Mirrored
    {
        const char *section, *key, *command;
    };
    constexpr Mirrored kMirrored[] = {{"Windows", "", "os"},
                                      {"Locale", "UserLangID", "lang"},
                                      {"Locale", "SystemLangID", "lang"},
                                      {"Computer", "Name", "computer"},
                                      {"User", "Name", "user"},
                                      {"User", "Administrator", "admin"}};
    for (const Mirrored &m : kMirrored)
        if (tooltext::EqualNoCase(section, m.section) && (!*m.key || tooltext::EqualNoCase(name, m.key)))
            return Failure(key + " is changed with: machine set " + m.command + " VALUE");
    if (!kitpc::SetIdentityValue(section, name, value))
        return Failure("cannot change " + key + " in " + kitpc::PathOf("machine.ini"));
    return kOk;
}

int Set(const Arguments &args)
{
    if (args.words.size() != 2)
        return Usage("set takes a key and a value");
    const std::string pc = UsePc(Option(args, "--dir"));
    if (!HoldsPc(pc))
        return Failure("no PC in " + pc + " (machine create makes one)");
    const std::string &key = args.words[0];
    const std::string value = kitpc::PcText(args.words[1]);
    if (key == "os")
        return SetOs(value);
    if (key == "lang")
        return SetLanguage(value);
    if (key == "computer")
        return SetComputer(value);
    if (key == "user")
        return SetUser(value);
    if (key == "admin")
    {
        auto admin = ParseYesNo(value);
        if (!admin)
            return Usage("admin takes yes or no");
        if (!kitpc::SetIdentityValue("User", "Administrator", *admin ? "1" : "0"))
            return Failure("cannot change admin in " + pc + "/machine.ini");
        return kOk;
    }
    return SetIniValue(key, value);
}

// --- nic ----------------------------------------------------------------------------------------

// The card a command names: its number, or its description when one card alone has it.
std::optional<pcreg::NetworkCard> NamedCard(const std::string &name, std::string &problem)
{
    const std::vector<pcreg::NetworkCard> cards = pcreg::ReadNetworkCards(kitpc::ReadIdentity().family);
    const bool byNumber = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
    std::vector<const pcreg::NetworkCard *> found;
    for (const pcreg::NetworkCard &card : cards)
        if (!card.dialUp && (byNumber ? std::to_string(card.number) == name
                                      : tooltext::EqualNoCase(card.description, kitpc::PcText(name))))
            found.push_back(&card);
    if (found.size() == 1)
        return *found.front();
    if (found.empty())
        problem = "no network card " + name + " (machine show lists them)";
    else
    {
        problem = "several network cards are described so; name one by its number:";
        for (const pcreg::NetworkCard *card : found)
            problem += " " + std::to_string(card->number);
    }
    return std::nullopt;
}

int Nic(const Arguments &args)
{
    const std::string verb = args.words.empty() ? "" : args.words[0];
    if (verb != "add" && verb != "set" && verb != "remove")
        return Usage("nic takes add, set or remove");
    if (args.words.size() != 2)
        return Usage("nic " + verb +
                     " takes one card: " + (verb == "add" ? "its description" : "NUMBER|DESCRIPTION"));
    const machinecli::NicOptions &options = args.nics.loose;
    if (verb == "remove" && !options.Empty())
        return Usage("nic remove takes no card options");
    if (verb == "set" && options.Empty())
        return Usage("nic set needs a card option to change");
    const std::string pc = UsePc(Option(args, "--dir"));
    if (!HoldsPc(pc))
        return Failure("no PC in " + pc + " (machine create makes one)");
    if (auto problem = RegistryProblem())
        return Failure(*problem);
    const kitpc::WindowsFamily family = kitpc::ReadIdentity().family;
    std::string error;
    if (verb == "add")
    {
        machinecli::NicOptions card = options;
        card.description = args.words[1];
        kitmachine::NicSettings nic;
        if (auto problem = machinecli::ApplyNicOptions(card, family, nic))
            return Usage(*problem);
        int number = 0;
        if (!kitmachine::AddNic(nic, number, error))
            return Failure("registry: " + error);
        std::printf("Network card %d added: %s\n", number, args.words[1].c_str());
        return kOk;
    }
    std::string problem;
    auto card = NamedCard(args.words[1], problem);
    if (!card)
        return Failure(problem);
    if (verb == "remove")
    {
        if (!kitmachine::RemoveNic(card->number, error))
            return Failure("registry: " + error);
        std::printf("Network card %d removed\n", card->number);
        return kOk;
    }
    kitmachine::NicSettings nic = machinecli::SettingsOf(*card);
    if (auto reason = machinecli::ApplyNicOptions(options, family, nic))
        return Usage(*reason);
    if (!kitmachine::ReplaceNic(card->number, nic, error))
        return Failure("registry: " + error);
    std::printf("Network card %d changed\n", card->number);
    return kOk;
}

// --- reboot -------------------------------------------------------------------------------------

// A key opened with full access for the restart's changes.
class OpenKey
{
  public:
    OpenKey(HKEY root, const char *path)
    {
        if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~OpenKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

std::string ErrorText(DWORD code)
{
    return "error " + std::to_string(code);
}

// Deletes a file, or an empty folder, as the restart's delete operations do.
bool DeleteNow(const std::string &path)
{
    if (DeleteFileA(path.c_str()))
        return true;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           RemoveDirectoryA(path.c_str());
}

void ReportFileOperation(bool ok, const std::string &what)
{
    if (ok)
        std::printf("  %s\n", kitpc::TerminalText(what).c_str());
    else
        Warn("could not do: " + kitpc::TerminalText(what) + " (" + ErrorText(GetLastError()) + ")");
}

// NT: Session Manager's PendingFileRenameOperations, pairs of source and destination ("" deletes,
// "!" in front replaces an existing file), performed in order; then the value goes.
void PendingFileRenames()
{
    const char *kValue = "PendingFileRenameOperations";
    OpenKey key(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager");
    DWORD type = 0, size = 0;
    if (!key.get() || RegQueryValueExA(key.get(), kValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return;
    std::vector<char> data(size + 2, '\0');
    if (RegQueryValueExA(key.get(), kValue, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size) !=
        ERROR_SUCCESS)
        return;
    std::vector<std::string> strings;
    for (size_t i = 0; i < size;)
    {
        std::string s(data.data() + i);
        i += s.size() + 1;
        strings.push_back(s);
    }
    // The list ends with an empty string of its own, which is no destination.
    if (strings.size() % 2 == 1 && strings.back().empty())
        strings.pop_back();
    auto hostPath = [](std::string path) {
        if (path.compare(0, 4, "\\??\\") == 0)
            path.erase(0, 4);
        return path;
    };
    std::printf("Pending file operations (PendingFileRenameOperations):\n");
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
    {
        const std::string source = hostPath(strings[i]);
        std::string target = strings[i + 1];
        if (target.empty())
        {
            ReportFileOperation(DeleteNow(source), "deleted " + source);
            continue;
        }
        const bool replace = target.front() == '!';
        target = hostPath(replace ? target.substr(1) : target);
        ReportFileOperation(
            MoveFileExA(source.c_str(), target.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0),
            "renamed " + source + " -> " + target);
    }
    RegDeleteValueA(key.get(), kValue);
}

std::string ReadPcFile(const std::string &path)
{
    std::string text;
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

// 9x has no MoveFileEx: the target goes first, then the file moves.
bool Replace(const std::string &source, const std::string &target)
{
    DeleteFileA(target.c_str());
    return MoveFileA(source.c_str(), target.c_str());
}

// 9x: the [rename] section of the Windows folder's Wininit.ini, lines DEST=SOURCE ("NUL" as the
// destination deletes), performed in order; then the file becomes Wininit.bak.
void WininitRenames()
{
    const std::string windows = kitpc::PathOf(kitpc::WindowsFolder());
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((windows + "\\wininit.ini").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FindClose(search);
    const std::string name = found.cFileName;
    const std::string ini = windows + "/" + name;

    std::printf("Pending file operations (%s):\n", name.c_str());
    bool inRename = false;
    for (const std::string &whole : tooltext::Lines(ReadPcFile(ini)))
    {
        const std::string_view line = tooltext::Trim(whole, tooltext::kWhitespace);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[')
        {
            inRename = tooltext::EqualNoCase(line, "[rename]");
            continue;
        }
        size_t eq = line.find('=');
        if (!inRename || eq == std::string::npos)
            continue;
        const std::string target(tooltext::Trim(line.substr(0, eq), tooltext::kWhitespace));
        const std::string source(tooltext::Trim(line.substr(eq + 1), tooltext::kWhitespace));
        if (tooltext::EqualNoCase(target, "NUL"))
            ReportFileOperation(DeleteNow(source), "deleted " + source);
        else
            ReportFileOperation(Replace(source, target), "renamed " + source + " -> " + target);
    }
    // Wininit.ini -> Wininit.bak, in the case the name was written in.
    std::string backup = name.substr(0, name.size() - 3);
    backup += std::isupper(static_cast<unsigned char>(name.back())) ? "BAK" : "bak";
    ReportFileOperation(Replace(ini, windows + "/" + backup), "renamed " + name + " -> " + backup);
}

struct StartupEntry
{
    std::string name, command;
};

std::vector<StartupEntry> StartupEntries(HKEY key)
{
    std::vector<StartupEntry> entries;
    for (DWORD i = 0;; ++i)
    {
        char name[16384];
        std::vector<char> data(32768);
        DWORD nameSize = sizeof name, dataSize = static_cast<DWORD>(data.size() - 1), type = 0;
        LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                reinterpret_cast<BYTE *>(data.data()), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            continue;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            entries.push_back(StartupEntry{std::string(name, nameSize), std::string(data.data())});
    }
    return entries;
}

// Starts a start-up command line; waits for it when asked.
void StartCommand(const std::string &label, const std::string &command, bool wait)
{
    std::printf("  %s: %s\n", kitpc::TerminalText(label).c_str(), kitpc::TerminalText(command).c_str());
    std::fflush(stdout);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = command;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    {
        Warn("could not start " + kitpc::TerminalText(command) + " (" + ErrorText(GetLastError()) + ")");
        return;
    }
    if (wait)
    {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        std::printf("    ended with exit code %u\n", code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

const char *const kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char *const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Calls `start` on each command of a start-up key (the key open), under a title; nothing is
// printed when the key is missing or empty.
template <class Start> void ForEachStartupEntry(HKEY root, const char *subKey, const char *title, Start start)
{
    OpenKey key(root, subKey);
    if (!key.get())
        return;
    std::vector<StartupEntry> entries = StartupEntries(key.get());
    if (entries.empty())
        return;
    std::printf("%s:\n", title);
    for (const StartupEntry &entry : entries)
        start(key.get(), entry);
}

// RunOnce: each value deleted before its program starts, or after it ends when its name starts
// with "!"; one program at a time.
void RunOnceKey(HKEY root, const char *title)
{
    ForEachStartupEntry(root, kRunOnce, title, [](HKEY key, const StartupEntry &entry) {
        // "*" (run in safe mode too) and "!" (delete afterwards) may lead the name.
        const std::string prefix = entry.name.substr(0, entry.name.find_first_not_of("*!"));
        const bool deleteAfter = prefix.find('!') != std::string::npos;
        if (!deleteAfter)
            RegDeleteValueA(key, entry.name.c_str());
        StartCommand(entry.name, entry.command, true);
        if (deleteAfter)
            RegDeleteValueA(key, entry.name.c_str());
    });
}

void RunKey(HKEY root, const char *title)
{
    ForEachStartupEntry(root, kRun, title, [](HKEY, const StartupEntry &entry) {
        StartCommand(entry.name, entry.command, false);
    });
}

std::string Now()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// power.log: one line in one appending write, beside ExitWindowsEx's request lines
// ("YYYY-MM-DD HH:MM:SS <request> flags=... program=<name>").
bool AppendPowerLog(const std::string &event)
{
    const std::string line =
        Now() + " " + event + " pid=" + std::to_string(::getpid()) + " program=machine\n";
    const int fd =
        ::open(kitpc::PathOf("power.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && ok;
}

// --- The routing table at start-up ----------------------------------------------------------------

// A route as the route program keeps it: "destination mask gateway metric [p]".
struct RouteLine
{
    std::string dest, mask, gateway, metric;
    bool persistent = false;

    bool SameRoute(const RouteLine &other) const
    {
        return dest == other.dest && mask == other.mask && gateway == other.gateway;
    }
    std::string Text() const
    {
        return dest + " " + mask + " " + gateway + " " + metric + (persistent ? " p" : "");
    }
};

bool IsDottedQuad(const std::string &text)
{
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool IsMetric(const std::string &text)
{
    return !text.empty() && text.size() <= 4 && text.find_first_not_of("0123456789") == std::string::npos &&
           std::stoul(text) > 0;
}

std::optional<RouteLine> MakeRoute(std::string dest, std::string mask, std::string gateway,
                                   std::string metric, bool persistent)
{
    if (!IsDottedQuad(dest) || !IsDottedQuad(mask) || !IsDottedQuad(gateway) || !IsMetric(metric))
        return std::nullopt;
    return RouteLine{dest, mask, gateway, metric, persistent};
}

// Adds the route unless the table has it already.
void AddRouteOnce(std::vector<RouteLine> &table, const RouteLine &route)
{
    if (std::none_of(table.begin(), table.end(), [&](const RouteLine &r) { return r.SameRoute(route); }))
        table.push_back(route);
}

const std::string kServices = "System\\CurrentControlSet\\Services";

// The routes route -p wrote into the registry: values named "destination,mask,gateway,metric"
// (NT under Tcpip\Parameters, 98 and Me under VxD\MSTCP).
void AddRegistryPersistentRoutes(std::vector<RouteLine> &table, bool nt)
{
    pcreg::ReadKey key(kServices + (nt ? "\\Tcpip\\Parameters" : "\\VxD\\MSTCP") + "\\PersistentRoutes");
    for (const std::string &name : key.ValueNames())
    {
        std::vector<std::string> fields;
        for (std::string_view field : tooltext::Split(name, ','))
            fields.emplace_back(tooltext::Trim(field, tooltext::kWhitespace));
        if (fields.size() == 3)
            fields.push_back("1");
        if (fields.size() != 4)
            continue;
        if (auto route = MakeRoute(fields[0], fields[1], fields[2], fields[3], true))
            AddRouteOnce(table, *route);
    }
}

// The default route of each gateway the adapters are configured with (or leased by DHCP). Their
// subnets need no line: route finds them from the adapters' addresses, as it finds the loopback.
void AddAdapterRoutes(std::vector<RouteLine> &table, kitpc::WindowsFamily family)
{
    for (const pcreg::Adapter &adapter : pcreg::ReadAdapters(family))
        for (size_t i = 0; i < adapter.gateways.size(); ++i)
        {
            const std::vector<std::string> &metrics = adapter.gatewayMetrics;
            const std::string metric = i < metrics.size() && IsMetric(metrics[i]) ? metrics[i] : "1";
            if (adapter.gateways[i] != "0.0.0.0")
                if (auto route = MakeRoute("0.0.0.0", "0.0.0.0", adapter.gateways[i], metric, false))
                    AddRouteOnce(table, *route);
        }
}

// Exclusive hold on the routing table, the lock the route program takes.
class RoutesLock
{
  public:
    RoutesLock()
    {
        fd_ = ::open(kitpc::PathOf("routes.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
    }
    ~RoutesLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RoutesLock(const RoutesLock &) = delete;
    RoutesLock &operator=(const RoutesLock &) = delete;
    bool Locked() const { return locked_; }

  private:
    int fd_ = -1;
    bool locked_ = false;
};

// Replaces the file in one rename, so that a reader never sees half of it.
bool ReplaceFile(const std::string &path, const std::string &text)
{
    const std::string temp = path + "." + std::to_string(::getpid()) + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out)
        {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    std::remove(temp.c_str());
    return false;
}

// The stack starts with an empty table: the routes added without -p are gone; the persistent
// ones come back, and so do the adapters' gateways. The 9x family is treated as NT: 98 and Me
// keep route -p routes too, and a route the route program marked persistent is one.
bool RebuildRoutes(kitpc::WindowsFamily family)
{
    const std::string path = kitpc::PathOf("routes");
    RoutesLock lock;
    if (!lock.Locked())
        return false;
    std::vector<RouteLine> table;
    size_t dropped = 0;
    for (const std::string &line : ReadLines(path))
    {
        std::istringstream fields(line);
        std::string dest, mask, gateway, metric, flag;
        fields >> dest >> mask >> gateway >> metric >> flag;
        auto route = MakeRoute(dest, mask, gateway, metric, flag == "p");
        if (route && route->persistent)
            AddRouteOnce(table, *route);
        else if (!tooltext::Trim(line, tooltext::kWhitespace).empty())
            ++dropped;
    }
    AddRegistryPersistentRoutes(table, kitpc::IsNtFamily(family));
    AddAdapterRoutes(table, family);
    std::error_code ec;
    if (table.empty() && !fs::exists(path, ec))
        return true;
    std::string text;
    for (const RouteLine &route : table)
        text += route.Text() + "\n";
    if (!ReplaceFile(path, text))
        return false;
    std::printf("Routing table: %zu route(s) kept, %zu dropped.\n", table.size(), dropped);
    return true;
}

// The PC a logon or a restart acts on, or the exit code that stops the command.
std::optional<int> RefuseToStart(const Arguments &args, const char *command, const std::string &pc,
                                 const char *undone)
{
    if (!args.words.empty())
        return Usage(std::string(command) + " takes no argument " + args.words.front());
    if (!HoldsPc(pc))
        return Failure("no PC in " + pc + " (machine create makes one)");
    // A registry that cannot be read stops Windows before anything is done.
    if (auto problem = RegistryProblem())
        return Failure(*problem + "; " + undone);
    return std::nullopt;
}

// A user's logon: the machine's RunOnce before anything else, then the Run programs, then the
// user's RunOnce, as Explorer does it.
void RunLogonPrograms()
{
    RunOnceKey(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE RunOnce");
    RunKey(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE Run");
    RunKey(HKEY_CURRENT_USER, "HKEY_CURRENT_USER Run");
    RunOnceKey(HKEY_CURRENT_USER, "HKEY_CURRENT_USER RunOnce");
}

int Logon(const Arguments &args)
{
    const std::string pc = UsePc(Option(args, "--dir"));
    if (auto refused = RefuseToStart(args, "logon", pc, "nobody logged on"))
        return *refused;
    std::printf("Logging on to %s in %s\n", FamilyTitle(kitpc::ReadIdentity().family), pc.c_str());
    RunLogonPrograms();
    if (!AppendPowerLog("logged on"))
        return Failure("cannot write " + pc + "/power.log");
    std::printf("Logged on.\n");
    return kOk;
}

int Reboot(const Arguments &args)
{
    const std::string pc = UsePc(Option(args, "--dir"));
    if (auto refused = RefuseToStart(args, "reboot", pc, "the PC was not restarted"))
        return *refused;
    const kitpc::Identity id = kitpc::ReadIdentity();
    std::printf("Restarting %s in %s\n", FamilyTitle(id.family), pc.c_str());

    // Start of Windows: files first, while nothing holds them; then the registry loses its
    // volatile keys.
    if (kitpc::IsNtFamily(id.family))
        PendingFileRenames();
    else
        WininitRenames();
    if (LONG rc = kitreg::DropVolatileKeys(); rc != ERROR_SUCCESS)
        return Failure("could not drop the volatile registry keys (" + ErrorText(rc) +
                       "); the PC was not restarted");
    std::printf("Volatile registry keys dropped.\n");
    if (!RebuildRoutes(id.family))
        return Failure("cannot write " + kitpc::PathOf("routes") + "; the PC was not restarted");

    RunLogonPrograms();
    if (!AppendPowerLog("restarted"))
        return Failure("cannot write " + pc + "/power.log");
    std::printf("Restarted.\n");
    return kOk;
}
} // namespace

int main(int argc, char **argv)
{
    // The PC's own tool: it works as the system, whoever the PC's user is.
    kitreg::SetSystemAccess(true);
    std::string problem;
    auto nics = machinecli::ExtractNicOptions(argc, argv, problem);
    if (!nics)
        return Usage(problem);
    auto args = ParseArguments(nics->rest, problem);
    if (!args)
        return Usage(problem);
    args->nics = std::move(*nics);
    if (args->command != "create" && args->command != "nic" && !args->nics.cards.empty())
        return Usage("--nic belongs to create");
    if (args->command != "create" && args->command != "pppoe" && args->command != "ras" &&
        HasDialUpOptions(*args))
        return Usage("dial-up options belong to create or pppoe");
    if (args->command != "nic" && !args->nics.loose.Empty())
        return Usage("card options follow --nic DESCRIPTION (create) or go with machine nic add|set");
    if (args->help)
        return Help();
    if (args->command == "create")
        return Create(*args);
    if (args->command == "show")
        return Show(*args);
    if (args->command == "set")
        return Set(*args);
    if (args->command == "logon")
        return Logon(*args);
    if (args->command == "reboot")
        return Reboot(*args);
    if (args->command == "nic")
        return Nic(*args);
    if (args->command == "ras")
        return Ras(*args);
    if (args->command == "pppoe")
        return Pppoe(*args);
    return Usage(args->command.empty() ? "" : "unknown command " + args->command);
}
