// Modules (internal): the built-in system libraries and module file names.
#pragma once

#include "platform/windows.h"

#include <string>
#include <string_view>

namespace plat
{
// Any function as the FARPROC GetProcAddress hands out (the caller casts it back).
template <class R, class... A> FARPROC ExportOf(R(WINAPI *function)(A...))
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void *>(function));
}

struct BuiltinExport
{
    const char *name;
    FARPROC address;
};

// Declares a Windows system library that the platform provides itself ("KERNEL32.DLL").
// LoadLibraryA and GetModuleHandleA find it by name (any case, with or without ".dll");
// GetProcAddress looks in `exports` (ended by a {nullptr, nullptr} entry).
void RegisterBuiltinModule(std::string_view name, const BuiltinExport *exports);

// The file behind a module handle (NULL: the program); false when the handle is not a module.
bool ModuleFileName(HMODULE module, std::string &path);
} // namespace plat
