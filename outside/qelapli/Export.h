// What the library exports: its classes are marked with QELAPLI_API, everything else stays
// inside the library, as in a Windows DLL.
#pragma once

#ifdef _WIN32
#ifdef QELAPLI_BUILD
#define QELAPLI_API __declspec(dllexport)
#else
#define QELAPLI_API __declspec(dllimport)
#endif
#else
#define QELAPLI_API __attribute__((visibility("default")))
#endif
