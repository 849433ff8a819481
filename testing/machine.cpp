// Simulated PCs in temporary folders.
#include "testing/machine.h"

#include "platform/kit/kitmachine.h"
#include "platform/windows.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kittest
{
namespace
{
std::string g_current;

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
} // namespace

std::string NewTempDir(const std::string &prefix)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

std::string NewMachineDir()
{
    return NewTempDir("kit-pc");
}

TempMachine::TempMachine(const std::string &prefix, Identity identity) : root_(NewTempDir(prefix))
{
    ::setenv("KIT_MACHINE", root_.c_str(), 1);
    g_current = root_;
    kitpc::Root(); // lays out the default PC now
    if (identity == Settled)
    {
        std::error_code ec;
        std::filesystem::last_write_time(
            kitpc::PathOf("machine.ini"),
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(1), ec);
    }
}

TempMachine::~TempMachine()
{
    if (g_current == root_)
        g_current.clear();
    EndProgramsOf(root_);
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
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    return std::filesystem::path(self).parent_path().string();
}

std::string LibDir()
{
    return (std::filesystem::path(BinDir()).parent_path() / "lib").string();
}
} // namespace kittest
