// Simulated PCs in temporary folders. On Windows the PC is the real one (under Wine, the
// prefix): a test's "PC" there is only a scratch folder of its own.
#include "testing/machine.h"

#ifndef _WIN32
#include "platform/kit/kitloader.h"
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace kittest
{
namespace
{
std::string g_current;

#ifndef _WIN32

// The programs of the PC still running when its test ends (a route fixer keeps checking its
// gateway for minutes): every process but this one whose environment names the PC.
void EndProgramsOf(const std::string &root)
{
    const std::string mark = "KIT_MACHINE=" + root;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", ec))
    {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (pid == ::getpid())
            continue;
        std::ifstream in(entry.path() / "environ", std::ios::binary);
        for (std::string variable; std::getline(in, variable, '\0');)
            if (variable == mark)
            {
                ::kill(pid, SIGKILL);
                break;
            }
    }
}
#endif
} // namespace

#ifdef _WIN32
std::string NewTempDir(const std::string &prefix)
{
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        std::abort();
    for (DWORD attempt = 0;; ++attempt)
    {
        const std::string path = std::string(temp) + prefix + "-" + std::to_string(GetCurrentProcessId()) +
                                 "-" + std::to_string(GetTickCount() + attempt);
        if (CreateDirectoryA(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            std::abort();
    }
}
#else
std::string NewTempDir(const std::string &prefix)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}
#endif

std::string NewMachineDir()
{
    return NewTempDir("kit-pc");
}

TempMachine::TempMachine(const std::string &prefix, Identity identity) : root_(NewTempDir(prefix))
{
    g_current = root_;
#ifdef _WIN32
    (void)identity;
#else
    ::setenv("KIT_MACHINE", root_.c_str(), 1);
    kitpc::Root(); // lays out the default PC now
    if (identity == Settled)
    {
        std::error_code ec;
        std::filesystem::last_write_time(
            kitpc::PathOf("machine.ini"),
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(1), ec);
    }
#endif
}

TempMachine::~TempMachine()
{
    if (g_current == root_)
        g_current.clear();
#ifndef _WIN32
    EndProgramsOf(root_);
#endif
    if (!std::getenv("KIT_KEEP_MACHINE"))
    {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

bool RegisterServer(const char *library)
{
    HMODULE module = LoadLibraryA(library);
    if (!module)
        return false;
    auto entry = reinterpret_cast<HRESULT(WINAPI *)()>(
        reinterpret_cast<void *>(GetProcAddress(module, "DllRegisterServer")));
    const bool ok = entry && SUCCEEDED(entry());
    FreeLibrary(module);
    return ok;
}

const std::string &MachineDir()
{
    return g_current;
}

std::string BinDir()
{
    const char *bin = std::getenv("KIT_BIN");
    if (bin && *bin)
        return bin;
#ifdef _WIN32
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    self[n < MAX_PATH ? n : 0] = '\0';
#else
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
#endif
    return std::filesystem::path(self).parent_path().string();
}

std::string LibDir()
{
    return (std::filesystem::path(BinDir()).parent_path() / "lib").string();
}

std::string TempFolder()
{
    const std::string folder = MachineDir() + "/temp";
    const DWORD error = GetLastError();
    CreateDirectoryA(folder.c_str(), nullptr);
    SetLastError(error);
    return folder;
}

std::string Temp(const std::string &name)
{
    return TempFolder() + "/" + name;
}

std::string Native(std::string path)
{
#ifdef _WIN32
    for (char &c : path)
        if (c == '/')
            c = '\\';
#endif
    return path;
}

std::string LoaderText()
{
#ifdef _WIN32
    return "error " + std::to_string(GetLastError());
#else
    return kitpc::LastLoaderError();
#endif
}
} // namespace kittest
