// What the library exports: its classes are marked with DAXICOM_API, everything else stays
// inside the library, as in a Windows DLL.
#pragma once

#ifdef _WIN32
#ifdef DAXICOM_BUILD
#define DAXICOM_API __declspec(dllexport)
#else
#define DAXICOM_API __declspec(dllimport)
#endif
#else
#define DAXICOM_API __attribute__((visibility("default")))
#endif
