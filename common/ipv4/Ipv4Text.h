// Dotted IPv4 text, as every part of the kit reads and writes addresses and masks.
#pragma once

#include "platform/windows.h"

#include <string>

namespace ipv4
{
// True only for four parts of 1 to 3 decimal digits, 0 to 255 each (leading zeros allowed:
// "010" is 10), separated by single dots with none at either end.
bool IsValidText(const char *pszText);

// The 32-bit value of dotted text, field 1 most significant; each field is the text between
// its dots read as a decimal number, as atoi reads it. Meant for texts that passed IsValidText.
DWORD ValueOf(const char *pszText);

// "%d.%d.%d.%d" from the highest byte down.
std::string TextOf(DWORD dwValue);
} // namespace ipv4
