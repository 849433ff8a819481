// Shell functions (shell32) on file associations.
#pragma once

#include "platform/windef.h"

#ifndef SHSTDAPI_
#define SHSTDAPI_(type) type WINAPI
#endif

// Errors of the shell's ShellExecute family: values of 32 or less in place of an instance.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_SHARE 26
#define SE_ERR_ASSOCINCOMPLETE 27
#define SE_ERR_DDETIMEOUT 28
#define SE_ERR_DDEFAIL 29
#define SE_ERR_DDEBUSY 30
#define SE_ERR_NOASSOC 31
#define SE_ERR_DLLNOTFOUND 32

#ifndef ERROR_NO_ASSOCIATION
#define ERROR_NO_ASSOCIATION 1155
#endif

SHSTDAPI_(HINSTANCE) FindExecutableA(LPCSTR lpFile, LPCSTR lpDirectory, LPSTR lpResult);
