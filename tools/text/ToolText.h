// Text helpers shared by the tools: trimming, ASCII case, hex digits, splitting into parts and
// lines. The tools read Windows-1252 text in the C locale, so case rules cover ASCII letters only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tooltext
{
// Character sets for trimming.
inline constexpr std::string_view kBlanks = " \t";         // blanks within a line
inline constexpr std::string_view kWhitespace = " \t\r\n"; // blanks and line ends
inline constexpr std::string_view kSpaces = " ";           // spaces only
inline constexpr std::string_view kLineEnds = "\r\n";      // CR and LF only

// `text` without the characters of `chars` at its start, its end, or both.
std::string_view TrimLeft(std::string_view text, std::string_view chars = kBlanks);
std::string_view TrimRight(std::string_view text, std::string_view chars = kBlanks);
std::string_view Trim(std::string_view text, std::string_view chars = kBlanks);

// 'a'..'z' as 'A'..'Z'; every other byte as it is.
char ToUpper(char c);
std::string ToUpper(std::string text);

// Equal but for the case of ASCII letters.
bool EqualNoCase(std::string_view a, std::string_view b);

// The value of a hex digit (either case), or -1.
int HexDigit(char c);

// A hex number of 1 to `maxDigits` digits (at most 8), nothing else; false leaves `value` unspecified.
bool ParseHex(std::string_view text, size_t maxDigits, std::uint32_t &value);

// The parts of `text` between `separator`s, empty ones included: n separators give n + 1 parts.
std::vector<std::string_view> Split(std::string_view text, char separator);

// The lines of `text`, ended by LF or CR LF (the CR is dropped); a last LF starts no further line.
std::vector<std::string> Lines(std::string_view text);
} // namespace tooltext
