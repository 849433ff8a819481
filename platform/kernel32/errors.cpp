// The thread's last error. The platform's functions set it deliberately; errno is translated
// in one place (core/lasterror).
#include "platform/windows.h"

namespace
{
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

// GetLastError: the calling thread's last error, set deliberately by the platform's functions.
DWORD WINAPI GetLastError()
{
    return t_lastError;
}

// SetLastError: sets the calling thread's last error.
void WINAPI SetLastError(DWORD dwErrCode)
{
    t_lastError = dwErrCode;
}
