// Windows paths to host paths on the simulated PC.
#pragma once

#include <string>
#include <string_view>

namespace plat
{
// "\\.\NAME" names a device of the PC; gives NAME.
bool IsDevicePath(std::string_view windowsPath, std::string *name = nullptr);

// The host path of a Windows path: both separators accepted, repeated separators collapsed,
// a device name mapped into the PC's devices folder. Where the exact name of an existing
// component is missing, a case-insensitive match in its directory is used, so names compare
// as on Windows; missing components keep the case they were given.
std::string HostPath(std::string_view windowsPath);

// The final component of a host path, and the folder holding it (without a trailing '/').
std::string_view FileNamePart(std::string_view hostPath);
std::string FolderPart(std::string_view hostPath);
} // namespace plat
