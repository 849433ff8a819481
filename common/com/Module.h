// The server module: its lock count (objects alive plus IClassFactory::LockServer locks),
// behind DllCanUnloadNow, and its own file.
//
// Every library built with kitcom has its own count: the toolkit is linked statically with
// hidden symbols (kit_com_server in CMake), so two servers never share it.
#pragma once

#include "platform/windows.h"

#include <string>

namespace kitcom
{
void LockModule() noexcept;
void UnlockModule() noexcept;
LONG ModuleLockCount() noexcept;

// The file of the library (or program) this toolkit is linked into, as GetModuleFileNameA
// gives it; empty when it cannot be told.
std::string ModuleFileName();
} // namespace kitcom
