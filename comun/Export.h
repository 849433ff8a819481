// What the library exports: its classes are marked with QELCOMUN_API, everything else stays
// inside the library, as in a Windows DLL.
#pragma once

#ifdef _WIN32
#ifdef QELCOMUN_BUILD
#define QELCOMUN_API __declspec(dllexport)
#else
#define QELCOMUN_API __declspec(dllimport)
#endif
#else
#define QELCOMUN_API __attribute__((visibility("default")))
#endif
