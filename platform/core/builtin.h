// The Windows system libraries the platform provides itself (internal): each DLL's folder
// declares its library and exports here at start-up; the loader (kernel32/module.cpp) finds them.
#pragma once

#include "platform/windows.h"

#include <optional>
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

// The exports of a library that the PC may lack or that differs by Windows version: nullptr
// when the current PC has no such library.
using BuiltinExportsOf = const BuiltinExport *(*)();
void RegisterBuiltinModule(std::string_view name, BuiltinExportsOf exportsOf);

// The key a built-in library is known by: its name upper-cased, without ".DLL".
std::string BuiltinKey(std::string_view name);

// The exports of the built-in library of that key on the current PC; nullptr when there is none.
const BuiltinExport *FindBuiltinModule(const std::string &key);

// GUIDs compared inside the library (IsEqualGUID and operator== are the headers' own, for
// product code: used here they would show among the library's exports).
bool SameGuid(REFGUID a, REFGUID b);

// A COM class of Windows itself that the platform provides (the shell link, the network
// configuration): CoGetClassObject finds it without a registration. `create` makes a new
// object and hands out its interface `riid`; `present` says whether the running Windows
// family has the class (nullptr: every family).
struct BuiltinClass
{
    HRESULT (*create)(REFIID riid, void **ppv);
    bool (*present)();
};

// Declares a built-in class; done by static initialisers of the DLL's folder.
void RegisterBuiltinClass(REFCLSID clsid, BuiltinClass builtin);

// The built-in class of that CLSID; nothing when there is none.
std::optional<BuiltinClass> FindBuiltinClass(REFCLSID clsid);
} // namespace plat
