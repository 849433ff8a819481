// regsvr32 on a library of the build, as a separate process: the PC's own tool on Linux,
// Windows' regsvr32.exe on Windows, given the library's full path (it looks for a bare name in
// its own folder, not in the build's).
#pragma once

#include "platform/windows.h"
#include "testing/kittest.h"

#include <string>
#include <vector>

namespace kittest
{
// Runs regsvr32 with the switches and the library (the last argument); its exit status.
inline int Regsvr32(std::vector<std::string> arguments, std::string *output = nullptr)
{
#ifdef _WIN32
    if (!arguments.empty() && arguments.back().find_first_of("\\/") == std::string::npos)
        arguments.back() = BinDir() + "\\" + arguments.back();
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, MAX_PATH);
    return Run(std::string(system, n < MAX_PATH ? n : 0) + "\\regsvr32.exe", arguments, output);
#else
    return Run("regsvr32", arguments, output);
#endif
}
} // namespace kittest
