// Last-error helpers shared by the platform's sources (GetLastError and SetLastError are
// kernel32's, in kernel32/errors.cpp).
#pragma once

#include "platform/windows.h"

namespace plat
{
// The Win32 error for a POSIX errno value: the one place errno becomes a Windows error.
DWORD Win32FromErrno(int err);

// Sets the thread's last error and returns the value a failing BOOL function returns.
inline BOOL Fail(DWORD err)
{
    SetLastError(err);
    return FALSE;
}

// Sets the last error from errno and returns FALSE.
BOOL FailFromErrno();
} // namespace plat
