// machine: creates, shows, changes and restarts the simulated Windows PC.
//
//   machine create --os 95|98|98se|me|nt4|2000|xp [--lang 0x0c0a] [--admin yes|no]
//                  [--computer NAME] [--user NAME] [--dir DIR] [--force]
//   machine show [--dir DIR]
//   machine set KEY VALUE [--dir DIR]     KEY: os, lang, admin, computer, user or Section.Key
//   machine reboot [--dir DIR]
//
// The PC is DIR, else $KIT_MACHINE, else ~/.local/share/kit/machine. `set os` changes only the
// identity in machine.ini (version, build, service pack) and makes the family's system folder;
// the registry keeps the layout of the family it was created with. `set computer` also renames
// the computer in the registry. Texts from the terminal are UTF-8 and are stored in Windows 1252.
//
// Exit codes: 0 done, 1 failed (a message on stderr), 2 bad usage.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "tools/machine/layout.h"
#include "tools/text/ToolText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
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
    "       machine show [--dir DIR]\n"
    "       machine set os|lang|admin|computer|user|Section.Key VALUE [--dir DIR]\n"
    "       machine reboot [--dir DIR]\n";

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
    bool force = false;
};

std::optional<Arguments> ParseArguments(int argc, char **argv, std::string &problem)
{
    static const char *const withValue[] = {"--os", "--lang", "--admin", "--dir", "--computer", "--user"};
    Arguments args;
    for (int i = 1; i < argc; ++i)
    {
        std::string word = argv[i];
        if (word == "--force")
            args.force = true;
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

// --- create -------------------------------------------------------------------------------------

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
        options.computerName = kitpc::PcText(*name);
    if (auto name = Option(args, "--user"))
        options.userName = kitpc::PcText(*name);

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
    if (!kitmachine::LayOutRegistry(error))
        return Failure("registry: " + error);
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

bool SetWindowsFamily(kitpc::WindowsFamily family)
{
    auto settings = WindowsSettingsOf(family);
    if (!settings)
        return false;
    for (auto &[key, value] : *settings)
    {
        // Quoted, so that the blanks of " A " survive.
        const std::string stored = key == "CSDVersion" ? "\"" + value + "\"" : value;
        if (!kitpc::SetIdentityValue("Windows", key, stored))
            return false;
    }
    std::error_code ec;
    fs::create_directories(kitpc::PathOf(kitpc::SystemFolder()), ec);
    if (kitpc::IsNtFamily(family))
        for (const char *folder : {"common_desktop", "common_start_menu/programs"})
            fs::create_directories(kitpc::PathOf(folder), ec);
    return true;
}

void RenameComputerInRegistry(const std::string &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName", 0,
                      KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "ComputerName", 0, REG_SZ, reinterpret_cast<const BYTE *>(name.c_str()),
                   static_cast<DWORD>(name.size() + 1));
    RegCloseKey(key);
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
    bool ok = true;
    if (key == "os")
    {
        auto family = kitpc::FamilyFromName(value);
        if (!family)
            return Usage("unknown Windows " + value);
        ok = SetWindowsFamily(*family);
    }
    else if (key == "lang")
    {
        auto id = ParseLangId(value);
        if (!id)
            return Usage("bad language " + value);
        ok = kitpc::SetIdentityValue("Locale", "UserLangID", Hex4(*id)) &&
             kitpc::SetIdentityValue("Locale", "SystemLangID", Hex4(*id));
    }
    else if (key == "admin")
    {
        auto admin = ParseYesNo(value);
        if (!admin)
            return Usage("admin takes yes or no");
        ok = kitpc::SetIdentityValue("User", "Administrator", *admin ? "1" : "0");
    }
    else if (key == "computer")
    {
        ok = kitpc::SetIdentityValue("Computer", "Name", value);
        RenameComputerInRegistry(value);
    }
    else if (key == "user")
        ok = kitpc::SetIdentityValue("User", "Name", value);
    else
    {
        size_t dot = key.find('.');
        if (dot == std::string::npos || dot == 0 || dot + 1 == key.size())
            return Usage("unknown setting " + key);
        ok = kitpc::SetIdentityValue(key.substr(0, dot), key.substr(dot + 1), value);
    }
    if (!ok)
        return Failure("cannot change " + key + " in " + pc + "/machine.ini");
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

int Reboot(const Arguments &args)
{
    if (!args.words.empty())
        return Usage("reboot takes no argument " + args.words.front());
    const std::string pc = UsePc(Option(args, "--dir"));
    if (!HoldsPc(pc))
        return Failure("no PC in " + pc + " (machine create makes one)");
    const kitpc::Identity id = kitpc::ReadIdentity();
    std::printf("Restarting %s in %s\n", FamilyTitle(id.family), pc.c_str());

    // Start of Windows: files first, while nothing holds them; then the registry loses its
    // volatile keys.
    if (kitpc::IsNtFamily(id.family))
        PendingFileRenames();
    else
        WininitRenames();
    if (LONG rc = kitreg::DropVolatileKeys(); rc != ERROR_SUCCESS)
        Warn("could not drop the volatile registry keys (" + ErrorText(rc) + ")");
    else
        std::printf("Volatile registry keys dropped.\n");

    // Logon.
    RunOnceKey(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE RunOnce");
    RunOnceKey(HKEY_CURRENT_USER, "HKEY_CURRENT_USER RunOnce");
    RunKey(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE Run");
    RunKey(HKEY_CURRENT_USER, "HKEY_CURRENT_USER Run");

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
    auto args = ParseArguments(argc, argv, problem);
    if (!args)
        return Usage(problem);
    if (args->command == "create")
        return Create(*args);
    if (args->command == "show")
        return Show(*args);
    if (args->command == "set")
        return Set(*args);
    if (args->command == "reboot")
        return Reboot(*args);
    return Usage(args->command.empty() ? "" : "unknown command " + args->command);
}
