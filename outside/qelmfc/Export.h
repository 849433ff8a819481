// What the library exports: its classes and functions are marked with QELMFC_API, everything
// else (Qt above all) stays inside the library, as in a Windows DLL.
#pragma once

#ifdef _WIN32
#ifdef QELMFC_BUILD
#define QELMFC_API __declspec(dllexport)
#else
#define QELMFC_API __declspec(dllimport)
#endif
#else
#define QELMFC_API __attribute__((visibility("default")))
#endif
