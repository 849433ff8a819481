// Message tables of modules, for FormatMessageA with FORMAT_MESSAGE_FROM_HMODULE.
#pragma once

#include "platform/windows.h"

namespace plat
{
// A module's message text for a code in English or Spanish (without the final line break), or
// nullptr when the module has none for it.
using ModuleMessageLookup = const char *(*)(DWORD code, bool spanish);

// Gives a built-in module (WININET.DLL...) a message table. Modules without one make
// FORMAT_MESSAGE_FROM_HMODULE fail with ERROR_RESOURCE_TYPE_NOT_FOUND, as on Windows.
void RegisterModuleMessages(HMODULE module, ModuleMessageLookup lookup);
} // namespace plat
