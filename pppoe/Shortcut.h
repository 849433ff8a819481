// A shell shortcut (.lnk) made through the system's shell link object.
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

// Writes the link file; S_OK, or the failing HRESULT.
HRESULT CrearAccesoDirecto(const std::string &linkFile, const ShortcutInfo &info);
