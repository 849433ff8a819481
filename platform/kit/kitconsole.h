// Text between the PC (Windows 1252) and the host's terminal (UTF-8), for the PC's tools.
#pragma once

#include <string>
#include <string_view>

namespace kitpc
{
// Windows 1252 text of the PC as UTF-8 for the terminal.
std::string TerminalText(std::string_view pcText);
// UTF-8 text of the terminal as Windows 1252 for the PC; characters 1252 cannot hold become '?'.
std::string PcText(std::string_view terminalText);
// Prints Windows 1252 text, formatted as printf does, on the terminal (standard output, flushed).
void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
} // namespace kitpc
