// Windows 1252 text helpers: case folding as Windows compares names, and conversions.
#pragma once

#include "platform/windows.h"

#include <string>
#include <string_view>

namespace plat
{
// Upper-case of one Windows 1252 byte, as Windows folds names for comparison.
unsigned char Upper1252(unsigned char c);
std::string Upper1252(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 comparing upper-cased bytes.
int CompareNoCase(std::string_view a, std::string_view b);

std::string Utf8From1252(std::string_view text);
// Characters 1252 cannot hold become '?'.
std::string Cp1252FromUtf8(std::string_view text);

// Copies `text` with its terminator when *size allows, as the name functions (GetComputerNameA,
// GetUserNameA) do; they differ only in the error for a small buffer and in whether the count
// they give back includes the terminator. Too small: *size is the size needed.
BOOL CopyNameOut(std::string_view text, LPSTR buffer, LPDWORD size, DWORD tooSmallError,
                 bool countTerminator);
} // namespace plat
