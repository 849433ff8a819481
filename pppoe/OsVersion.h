// The Windows the module runs on, as this module's own flags word, and the WinPoET service.
#pragma once

#include "platform/windows.h"

// Bits of the flags word.
enum : DWORD
{
    OSV_WIN9X = 0x0001,   // Windows 95, 98 or Me
    OSV_NT = 0x1000,      // any NT
    OSV_WIN2000 = 0x2000, // NT 5.0
    OSV_WINXP = 0x4000,   // NT 5.x, x not 0
    OSV_NT4 = 0x8000,     // NT 4
};

// 0, or HRESULT_FROM_WIN32 of the last error when the version cannot be asked.
HRESULT GetOSVersion(DWORD &dwFlags);

// Whether the service "WinPPPoverEthernet" runs: S_OK with the answer (FALSE when there is no
// such service), E_FAIL when the service manager or the service's status cannot be had.
HRESULT WinPoetServiceRunning(LONG &bRunning);
