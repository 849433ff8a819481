// The module loader's own details, for tools such as regsvr32.
#pragma once

#include <string>

namespace kitpc
{
// The loader's text for the calling thread's last failed LoadLibraryA (dlerror's words).
std::string LastLoaderError();
} // namespace kitpc
