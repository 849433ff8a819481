// A shell shortcut (.lnk) on the user's desktop, made through the system's shell link object.
#pragma once

#include "platform/windows.h"

#include <string>

struct ShortcutInfo
{
    std::string target;
    std::string description;
    WORD wHotKey = 0;
    std::string iconPath;
    WORD wIconIndex = 0;
    std::string arguments;
};

// Writes the desktop's link file `linkName` (a file name, such as "Name.lnk") for `pInfo`:
// the save's HRESULT, E_FAIL without a record or COM, or the shell's failing HRESULT.
HRESULT CrearAccesoDirecto(const std::string &linkName, const ShortcutInfo *pInfo);
