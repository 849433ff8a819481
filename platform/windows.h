// The Windows platform subset the kit uses. On Windows this is the SDK; elsewhere it is the
// kit's own implementation over the simulated PC ($KIT_MACHINE).
#pragma once

#ifdef _WIN32
#include <winsock2.h> // before windows.h, which would bring the old winsock.h
#include <windows.h>
#include <olectl.h>
#include <cfg.h>
#include <shlobj.h>
#include <netcfgx.h>
#else
#include "platform/windef.h"
#include "platform/winnt.h"
#include "platform/winerror.h"
#include "platform/winbase.h"
#include "platform/winreg.h"
#include "platform/winsvc.h"
#include "platform/winuser.h"
#include "platform/commdlg.h"
#include "platform/wingdi.h"
#include "platform/shellapi.h"
#include "platform/winmsg.h"
#include "platform/shlobj.h"
#include "platform/stringapiset.h"
#include "platform/ole2.h"
#include "platform/netcfgx.h"
#endif
#include "platform/wininet.h"
#include "platform/ras.h"
