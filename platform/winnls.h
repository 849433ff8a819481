// Languages and code pages.
#pragma once

#include "platform/windef.h"
#include "platform/winnt.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001

WINBASEAPI LANGID WINAPI GetUserDefaultLangID();
WINBASEAPI LANGID WINAPI GetSystemDefaultLangID();
WINBASEAPI LCID WINAPI GetUserDefaultLCID();
WINBASEAPI LCID WINAPI GetSystemDefaultLCID();
WINBASEAPI UINT WINAPI GetACP();
