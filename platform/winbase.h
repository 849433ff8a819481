// kernel32 and advapi32 functions of the kit: everything behind one include.
#pragma once

#include "platform/windef.h"

#include <cstdarg>
#include "platform/winnt.h"
#include "platform/winerror.h"
#include "platform/errhandlingapi.h"
#include "platform/handleapi.h"
#include "platform/synchapi.h"
#include "platform/fileapi.h"
#include "platform/profileapi.h"
#include "platform/processthreadsapi.h"
#include "platform/securitybaseapi.h"
#include "platform/sysinfoapi.h"
#include "platform/winnls.h"
#include "platform/threadapi.h"
#include "platform/memoryapi.h"
#include "platform/libloaderapi.h"
#include "platform/ioapiset.h"

// The entry point of a program with a window procedure (linked with platform_winmain).
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

// Messages of the system.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu

WINBASEAPI DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                       LPSTR lpBuffer, DWORD nSize, va_list *Arguments);

// Local memory, as FormatMessageA's allocated buffers need.
#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
WINBASEAPI HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
WINBASEAPI HLOCAL WINAPI LocalFree(HLOCAL hMem);
