// The uninstaller's Spanish texts, as its string file "UNS_0a00.ini" holds them.
#pragma once

#include <span>

struct UninstallText
{
    const char *key;  // in the section "cadenas"
    const char *text; // "\n" (backslash and n) is a line break; %s where the uninstaller inserts
};

std::span<const UninstallText> UninstallTexts();
