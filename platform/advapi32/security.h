// The calling process's privileges, for the platform's functions that need one.
#pragma once

#include "platform/windows.h"

namespace plat
{
// Windows' LUID of SeShutdownPrivilege (LookupPrivilegeValueA gives the same).
constexpr DWORD kShutdownPrivilegeLuid = 19;

// Whether the calling process holds the privilege and has enabled it (AdjustTokenPrivileges).
bool PrivilegeEnabled(DWORD luid);
} // namespace plat
