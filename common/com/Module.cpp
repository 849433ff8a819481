// The server module's lock count and file.
#include "common/com/Module.h"

#include <atomic>

namespace kitcom
{
namespace
{
std::atomic<LONG> g_locks{0};
} // namespace

void LockModule() noexcept
{
    g_locks.fetch_add(1);
}

void UnlockModule() noexcept
{
    g_locks.fetch_sub(1);
}

LONG ModuleLockCount() noexcept
{
    return g_locks.load();
}

std::string ModuleFileName()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&g_locks), &self))
        return {};
    char path[4096]; // a host path may be longer than MAX_PATH
    DWORD length = GetModuleFileNameA(self, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return {};
    return std::string(path, length);
}
} // namespace kitcom
