// Registry scripts (.reg files, REGEDIT4) read into and written from the PC's registry
// through the Reg* functions.
#pragma once

#include "platform/windows.h"

#include <string>
#include <string_view>

namespace regedit
{
struct ImportProblem
{
    int line = 0; // 1-based line of the file where the problem is
    std::string message;
};

// Imports a whole script. Each line takes effect as it is read, as Windows' regedit does, so on
// a problem the lines before it stay imported. Accepts REGEDIT4 text (Windows-1252) and
// "Windows Registry Editor Version 5.00" text in UTF-16 with its byte order mark.
bool ImportScript(std::string_view content, ImportProblem &problem);

// The REGEDIT4 text of a key's subtree ("HKEY_LOCAL_MACHINE\Software\..."), or of the whole
// registry (HKEY_LOCAL_MACHINE and HKEY_USERS; the other roots are views of those) when `key` is
// empty. On failure returns false with the reason in `error`.
bool ExportScript(std::string_view key, std::string &script, std::string &error);

// The predefined handle a root name stands for ("HKEY_CURRENT_USER"), or nullptr.
HKEY RootFromName(std::string_view name);
} // namespace regedit
