// Registry scripts (.reg files, REGEDIT4) read into and written from the PC's registry
// through the Reg* functions.
#pragma once

#include "tools/regedit/RegScript.h"

#include <string>
#include <string_view>

namespace regedit
{
// Imports a whole script (see ParseRegScript for what it reads). The operations of the lines
// before a problem take effect, in order, as when Windows' regedit applies each line as it
// reads it; the problem's line is the first that is wrong or cannot be applied.
bool ImportScript(std::string_view content, ImportProblem &problem);

struct ExportProblem
{
    std::string key;          // the key that could not be exported
    bool unknownRoot = false; // its root is none of the HKEY_... names
    LONG error = ERROR_SUCCESS;
};

// The REGEDIT4 text of a key's subtree ("HKEY_LOCAL_MACHINE\Software\..."), or of the whole
// registry (HKEY_LOCAL_MACHINE and HKEY_USERS; the other roots are views of those) when `key` is
// empty. Any depth of keys is written. On failure returns false with the reason in `problem`.
bool ExportScript(std::string_view key, std::string &script, ExportProblem &problem);
} // namespace regedit
