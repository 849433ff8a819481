// The registry reads and writes of the adapter records. Reads are always from the registry
// (HKEY_LOCAL_MACHINE, keys opened for reading and closed at once); writes go to the registry or,
// when the process-wide write target says so, to the deferred-change file "TcpChang.reg" in the
// temporary folder, a REGEDIT4 import file that the registry editor applies later.
#pragma once

#include "platform/windows.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tcpipreg
{
// The fixed buffers of the reads: a longer value is a failed read.
inline constexpr DWORD kStringBuffer = 2500;
inline constexpr DWORD kMultiStringBuffer = 5000;
// The deferred-change file's name in the temporary folder.
inline constexpr char kDeferredFile[] = "TcpChang.reg";

bool KeyExists(const std::string &key);
// False (and `value` empty) when the value is missing or does not fit.
bool ReadString(const std::string &key, const char *name, std::string &value);
bool ReadDword(const std::string &key, const char *name, DWORD &value);
bool ReadMultiString(const std::string &key, const char *name, std::vector<std::string> &values);
// The names of the key's subkeys (index 0 upward until the enumeration stops) and of its values,
// in the registry's order; false when the key cannot be opened.
bool SubKeyNames(const std::string &key, std::vector<std::string> &names);
bool ValueNames(const std::string &key, std::vector<std::string> &names);

// The key walker: `visit` is called with the path ("<key>\<sub>\...") of every key `depth`
// levels below `key`, in index order, subkeys without a name left out. At the last level the
// walk stops when `visit` returns 1 (S_FALSE); above it, as soon as a level below gives anything
// but 0. The result is the last value obtained (S_OK when nothing was visited), E_FAIL when a
// key on the way cannot be opened.
using KeyVisitor = std::function<HRESULT(const std::string &path)>;
HRESULT WalkKeys(const std::string &key, int depth, const KeyVisitor &visit);

// Names and identifiers compared as Windows compares them without regard to case (code page
// 1252 letters included).
bool EqualNoCase(std::string_view a, std::string_view b);
// `text` cut at every `separator`, empty parts included; an empty text gives no parts.
std::vector<std::string> Split(const std::string &text, char separator);
std::string Join(const std::vector<std::string> &parts, const char *separator);

// The process-wide write target: 0 writes to the registry, anything else to the deferred file.
void SetWriteTarget(LONG lDeferred);
LONG WriteTarget();

// Writes to the current target; false on failure.
bool WriteString(const std::string &key, const char *name, const std::string &value);
bool WriteDword(const std::string &key, const char *name, DWORD value);
bool WriteMultiString(const std::string &key, const char *name, const std::vector<std::string> &values);
// Always in the registry, whatever the target.
bool DeleteValue(const std::string &key, const char *name);

// The deferred file's path ("<temp folder>TcpChang.reg"); false when it does not fit MAX_PATH.
bool DeferredFilePath(std::string &path);
// Deletes the deferred file if there is one.
void DeleteDeferredFile();

// Sets the DHCP client service to start automatically (NT 4, 2000, XP); false when the service
// manager, its database lock or the service cannot be had.
bool SetDhcpServiceAutomatic();
} // namespace tcpipreg
