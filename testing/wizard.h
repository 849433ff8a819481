// The wizard installed in a folder of its own, as the kit's installer leaves it: the library,
// its pictures and the router's template, taken from the build. Tests and benchmarks add the
// settings file and whatever else their road needs.
#pragma once

#include <string>

namespace kittest
{
void InstallWizard(const std::string &folder);
} // namespace kittest
