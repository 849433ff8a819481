// What the platform's other areas need to know about the calling process.
#pragma once

#include <string>

namespace plat
{
// The file name of the running program ("platform_child_args", "route"), for logs.
std::string ProgramName();
} // namespace plat
