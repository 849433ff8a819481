// The platform's text toolkit: ASCII classes and case for text where only ASCII is meant
// (numbers, keywords, GUIDs, command lines), Windows 1252 case folding as Windows compares names,
// trimming, and conversions. The ASCII helpers take any character type (char, OLECHAR...).
#pragma once

#include "platform/windows.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace plat
{
// Space and tab, as command lines and the PC's own files separate words.
template <class C> constexpr bool IsBlank(C c)
{
    return c == ' ' || c == '\t';
}

// Blanks and line ends, as OLE automation skips around numbers.
template <class C> constexpr bool IsSpace(C c)
{
    return IsBlank(c) || c == '\r' || c == '\n';
}

template <class C> constexpr bool IsDigit(C c)
{
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit of either case, or -1.
template <class C> constexpr int HexDigitValue(C c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Exactly `digits` hexadecimal digits from `text` as a number; false at the first other character.
template <class C> bool ReadHex(const C *text, int digits, uint64_t &value)
{
    value = 0;
    for (int i = 0; i < digits; ++i)
    {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return true;
}

// a-z to A-Z; every other character as it is.
template <class C> constexpr C UpperAscii(C c)
{
    return c >= 'a' && c <= 'z' ? static_cast<C>(c - 'a' + 'A') : c;
}

// Equal but for the case of ASCII letters (other characters must match exactly; a byte of `b`
// is read unsigned, so it matches the same code unit of `a`).
template <class C> bool EqualNoCaseAscii(std::basic_string_view<C> a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (static_cast<char32_t>(UpperAscii(a[i])) !=
            static_cast<char32_t>(UpperAscii(static_cast<unsigned char>(b[i]))))
            return false;
    return true;
}

// The text without the leading and trailing characters `isBlank` accepts.
template <class C, class Pred> std::basic_string_view<C> TrimIf(std::basic_string_view<C> text, Pred isBlank)
{
    size_t start = 0, end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.substr(start, end - start);
}

// The text without leading and trailing characters of `blanks` (space and tab unless told).
inline std::string_view Trim(std::string_view text, std::string_view blanks = " \t")
{
    return TrimIf(text, [blanks](char c) { return blanks.find(c) != std::string_view::npos; });
}

// Upper-case of one Windows 1252 byte, as Windows folds names for comparison.
unsigned char Upper1252(unsigned char c);
std::string Upper1252(std::string_view text);
unsigned char Lower1252(unsigned char c);
std::string Lower1252(std::string_view text);
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
