// The simulated PC's directory and identity.
#include "platform/kit/kitmachine.h"
#include "platform/core/text.h"
#include "platform/windows.h"

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
struct FamilyInfo
{
    kitpc::WindowsFamily family;
    const char *name;
    DWORD platformId, major, minor, build;
    const char *csd;
    WORD servicePack;
};

// What GetVersionEx reports on a fresh installation of each family. On 9x the build number's
// high word repeats the version, as those systems report it.
constexpr FamilyInfo kFamilies[] = {
    {kitpc::WindowsFamily::Win95, "95", 1, 4, 0, 0x040003B6, "", 0},
    {kitpc::WindowsFamily::Win98, "98", 1, 4, 10, 0x040A07CE, " ", 0},
    {kitpc::WindowsFamily::Win98SE, "98se", 1, 4, 10, 0x040A08AE, " A ", 0},
    {kitpc::WindowsFamily::WinMe, "me", 1, 4, 90, 0x045A0BB8, " ", 0},
    {kitpc::WindowsFamily::NT4, "nt4", 2, 4, 0, 1381, "Service Pack 6", 6},
    {kitpc::WindowsFamily::Win2000, "2000", 2, 5, 0, 2195, "Service Pack 4", 4},
    {kitpc::WindowsFamily::XP, "xp", 2, 5, 1, 2600, "Service Pack 2", 2},
};

const FamilyInfo &InfoOf(kitpc::WindowsFamily family)
{
    for (const FamilyInfo &info : kFamilies)
        if (info.family == family)
            return info;
    return kFamilies[6];
}

std::mutex &MachineMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

std::string AbsoluteRoot(const std::string &configured)
{
    static auto *cache = new std::map<std::string, std::string>;
    std::lock_guard guard(MachineMutex());
    auto it = cache->find(configured);
    if (it != cache->end())
        return it->second;
    std::error_code ec;
    fs::path path = fs::absolute(configured, ec).lexically_normal();
    std::string root = path.string();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    (*cache)[configured] = root;
    return root;
}

std::string ConfiguredRoot()
{
    if (const char *env = std::getenv("KIT_MACHINE"); env && *env)
        return env;
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/kit/machine";
}

bool WriteTextFile(const fs::path &path, const std::string &text)
{
    fs::path tmp = path;
    tmp += ".tmp";
    FILE *file = std::fopen(tmp.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fclose(file) == 0 && ok;
    return ok && std::rename(tmp.c_str(), path.c_str()) == 0;
}

std::string Hex4(unsigned value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
    return buffer;
}

std::string MachineIni(const kitpc::MachineOptions &options)
{
    const FamilyInfo &info = InfoOf(options.os);
    std::string text;
    auto line = [&text](const std::string &s) { text += s + "\r\n"; };
    line("[Windows]");
    line(std::string("Family=") + info.name);
    line("PlatformId=" + std::to_string(info.platformId));
    line("MajorVersion=" + std::to_string(info.major));
    line("MinorVersion=" + std::to_string(info.minor));
    line("BuildNumber=" + std::to_string(info.build));
    line(std::string("CSDVersion=\"") + info.csd + "\"");
    line("ServicePackMajor=" + std::to_string(info.servicePack));
    line("");
    line("[Locale]");
    line("UserLangID=" + Hex4(options.lang));
    line("SystemLangID=" + Hex4(options.lang));
    line("");
    line("[User]");
    line("Name=" + options.userName);
    line(std::string("Administrator=") + (options.admin ? "1" : "0"));
    line("");
    line("[Computer]");
    line("Name=" + options.computerName);
    line("");
    line("[Display]");
    line("LogPixelsX=96");
    return text;
}

// Creates the default PC when the directory is missing or has no machine.ini; serialised
// between threads by the mutex and between processes by a lock file.
void EnsureMachine(const std::string &root)
{
    static auto *ready = new std::map<std::string, bool>;
    std::lock_guard guard(MachineMutex());
    if ((*ready)[root])
        return;
    std::error_code ec;
    fs::create_directories(root, ec);
    if (!fs::exists(fs::path(root) / "machine.ini"))
    {
        int lockFd = ::open((root + "/.create.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (lockFd >= 0)
            ::flock(lockFd, LOCK_EX);
        if (!fs::exists(fs::path(root) / "machine.ini"))
            kitpc::CreateMachine(root, kitpc::MachineOptions{});
        if (lockFd >= 0)
            ::close(lockFd);
    }
    (*ready)[root] = true;
}

class IniReader
{
  public:
    explicit IniReader(std::string path) : path_(std::move(path)) {}
    std::string Text(const char *section, const char *key, const char *fallback) const
    {
        char buffer[256];
        GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, path_.c_str());
        return buffer;
    }
    DWORD Number(const char *section, const char *key, DWORD fallback) const
    {
        std::string text = Text(section, key, "");
        return text.empty() ? fallback : static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 0));
    }

  private:
    std::string path_;
};
} // namespace

namespace kitpc
{
std::optional<WindowsFamily> FamilyFromName(std::string_view name)
{
    for (const FamilyInfo &info : kFamilies)
        if (plat::EqualNoCase(name, info.name))
            return info.family;
    return std::nullopt;
}

const char *FamilyName(WindowsFamily family)
{
    return InfoOf(family).name;
}

bool IsNtFamily(WindowsFamily family)
{
    return InfoOf(family).platformId == VER_PLATFORM_WIN32_NT;
}

std::string Root()
{
    std::string root = AbsoluteRoot(ConfiguredRoot());
    EnsureMachine(root);
    return root;
}

std::string PathOf(std::string_view relative)
{
    std::string path = Root();
    if (!relative.empty())
    {
        path += '/';
        path += relative;
    }
    return path;
}

bool CreateMachine(const std::string &root, const MachineOptions &options)
{
    std::error_code ec;
    const bool nt = IsNtFamily(options.os);
    const char *folders[] = {"temp",
                             "windows",
                             nt ? "windows/system32" : "windows/system",
                             "desktop",
                             "start_menu/programs",
                             "program_files",
                             "devices",
                             "bin",
                             "ras",
                             "appdata"};
    for (const char *folder : folders)
    {
        fs::create_directories(fs::path(root) / folder, ec);
        if (ec)
            return false;
    }
    if (nt)
    {
        fs::create_directories(fs::path(root) / "common_desktop", ec);
        fs::create_directories(fs::path(root) / "common_start_menu/programs", ec);
    }
    return WriteTextFile(fs::path(root) / "machine.ini", MachineIni(options));
}

Identity ReadIdentity()
{
    const std::string path = PathOf("machine.ini");
    struct stat st
    {
    };
    ::stat(path.c_str(), &st);

    static auto *cacheMutex = new std::mutex;
    static auto *cachedPath = new std::string;
    static struct stat cachedStat
    {
    };
    static bool confirmed = false;
    static auto *cached = new Identity;
    std::lock_guard guard(*cacheMutex);
    // File times move in coarse ticks, so a copy read while the file was fresh (another edit
    // could follow within the same tick) is only trusted once read again later.
    const bool same =
        *cachedPath == path && cachedStat.st_ino == st.st_ino && cachedStat.st_size == st.st_size &&
        cachedStat.st_mtim.tv_sec == st.st_mtim.tv_sec && cachedStat.st_mtim.tv_nsec == st.st_mtim.tv_nsec &&
        cachedStat.st_ctim.tv_sec == st.st_ctim.tv_sec && cachedStat.st_ctim.tv_nsec == st.st_ctim.tv_nsec;
    if (same && confirmed)
        return *cached;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const double age = static_cast<double>(now.tv_sec - st.st_mtim.tv_sec) +
                       static_cast<double>(now.tv_nsec - st.st_mtim.tv_nsec) / 1e9;
    confirmed = age > 0.1;

    const IniReader ini(path);
    Identity id;
    id.family = FamilyFromName(ini.Text("Windows", "Family", "xp")).value_or(WindowsFamily::XP);
    const FamilyInfo &info = InfoOf(id.family);
    id.platformId = ini.Number("Windows", "PlatformId", info.platformId);
    id.majorVersion = ini.Number("Windows", "MajorVersion", info.major);
    id.minorVersion = ini.Number("Windows", "MinorVersion", info.minor);
    id.buildNumber = ini.Number("Windows", "BuildNumber", info.build);
    id.csdVersion = ini.Text("Windows", "CSDVersion", info.csd);
    id.servicePackMajor = static_cast<WORD>(ini.Number("Windows", "ServicePackMajor", info.servicePack));
    id.userLangId = static_cast<LANGID>(ini.Number("Locale", "UserLangID", 0x0C0A));
    id.systemLangId = static_cast<LANGID>(ini.Number("Locale", "SystemLangID", id.userLangId));
    id.administrator = ini.Number("User", "Administrator", 1) != 0;
    id.userName = ini.Text("User", "Name", "Usuario");
    id.computerName = ini.Text("Computer", "Name", "PC-ADSL");
    id.logPixelsX = static_cast<int>(ini.Number("Display", "LogPixelsX", 96));

    *cachedPath = path;
    cachedStat = st;
    *cached = id;
    return id;
}

bool SetIdentityValue(std::string_view section, std::string_view key, std::string_view value)
{
    std::string path = PathOf("machine.ini");
    std::string s(section), k(key), v(value);
    return WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), path.c_str()) != FALSE;
}

std::string WindowsFolder()
{
    return "windows";
}

std::string SystemFolder()
{
    return IsNtFamily(ReadIdentity().family) ? "windows/system32" : "windows/system";
}
} // namespace kitpc
