// Windows 1252 text helpers: case folding as Windows compares names, and conversions.
#pragma once

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
} // namespace plat
