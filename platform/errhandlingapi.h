// Per-thread last error.
#pragma once

#include "platform/windef.h"

WINBASEAPI DWORD WINAPI GetLastError();
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode);
