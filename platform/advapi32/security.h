// The calling process's privileges, for the platform's functions that need one.
#pragma once

#include "platform/windows.h"

namespace plat
{
// Windows' LUID of SeShutdownPrivilege (LookupPrivilegeValueA gives the same).
constexpr DWORD kShutdownPrivilegeLuid = 19;

// Whether the calling process holds the privilege and has enabled it (AdjustTokenPrivileges).
bool PrivilegeEnabled(DWORD luid);

// Whether a computer name given to a function names this PC: NULL, "", or its name with or
// without its leading two backslashes, compared without case. The kit reaches no other computer.
bool IsLocalComputerName(LPCSTR name);
} // namespace plat
