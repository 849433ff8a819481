// Languages and code pages.
#pragma once

#include "platform/windef.h"
#include "platform/winnt.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001

// The locales automation calls carry.
#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u
#define LOCALE_NEUTRAL 0x0000u

WINBASEAPI LANGID WINAPI GetUserDefaultLangID();
WINBASEAPI LANGID WINAPI GetSystemDefaultLangID();
WINBASEAPI LCID WINAPI GetUserDefaultLCID();
WINBASEAPI LCID WINAPI GetSystemDefaultLCID();
WINBASEAPI UINT WINAPI GetACP();
