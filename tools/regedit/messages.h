// What regedit tells the user, in the PC's user language: Spanish worded as Spanish Windows
// words regedit's messages on a Spanish PC, English otherwise. Texts are Windows 1252.
#pragma once

#include "tools/regedit/RegScript.h"
#include "tools/regedit/regfile.h"

#include <string>

namespace regedit
{
std::string UsageText();
std::string ImportedText(const std::string &file);
std::string CannotOpenText(const std::string &file);
std::string ImportProblemText(const std::string &file, const ImportProblem &problem);
std::string ExportProblemText(const ExportProblem &problem);
std::string CannotWriteText(const std::string &file);
std::string UnknownSwitchText(const std::string &argument);
std::string ExportArgumentsText();
std::string NoFileText();
} // namespace regedit
