// The PC's registry as tests read and write it, through the platform's functions. A missing
// key or value is told apart from an empty one; writes that fail are reported at the test line
// that asked for them.
#pragma once

#include "platform/windows.h"
#include "testing/check.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kittest
{
// A value as stored: its type and its bytes (strings with their terminating NUL).
struct RegValue
{
    DWORD type = REG_NONE;
    std::string data;
};

bool RegKeyExists(HKEY root, const std::string &path);

// The value (`name` null: the key's default value); nothing when the key or the value is
// missing. The bytes after the data are checked to be left alone.
std::optional<RegValue> ReadRegValue(HKEY key, const char *name, Caller where = Caller::current());
std::optional<RegValue> ReadRegValue(HKEY root, const std::string &path, const char *name,
                                     Caller where = Caller::current());
// A REG_SZ or REG_EXPAND_SZ value up to its terminating NUL; nothing when missing or of another type.
std::optional<std::string> ReadRegString(HKEY key, const char *name, Caller where = Caller::current());
std::optional<std::string> ReadRegString(HKEY root, const std::string &path, const char *name,
                                         Caller where = Caller::current());
// A REG_DWORD value; nothing when missing or of another type.
std::optional<DWORD> ReadRegDword(HKEY root, const std::string &path, const char *name,
                                  Caller where = Caller::current());
// The strings of a REG_MULTI_SZ value; nothing when missing or of another type.
std::optional<std::vector<std::string>> ReadRegMultiSz(HKEY root, const std::string &path, const char *name,
                                                       Caller where = Caller::current());
// A text of HKEY_CLASSES_ROOT as COM registration leaves it: "<no key>", "<no value>" or the text.
std::string ClassesText(const std::string &path, const char *name = nullptr,
                        Caller where = Caller::current());

// Creates the key when needed and sets the value; a failure is the caller's.
void WriteRegValue(HKEY root, const std::string &path, const char *name, DWORD type, std::string_view data,
                   Caller where = Caller::current());
void WriteRegString(HKEY root, const std::string &path, const char *name, const std::string &text,
                    Caller where = Caller::current());
void WriteRegDword(HKEY root, const std::string &path, const char *name, DWORD value,
                   Caller where = Caller::current());
} // namespace kittest
