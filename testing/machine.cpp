// Simulated PCs in temporary folders.
#include "testing/machine.h"

#include "platform/kit/kitmachine.h"
#include "platform/windows.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace kittest
{
namespace
{
std::string g_current;
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
