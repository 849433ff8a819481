// The messages of a trace log file (CTraceLog's lines without their time stamps), for tests.
#pragma once

#include <string>
#include <vector>

namespace kittest
{
// Each line's message, in order; the run banners are left out, and a line that is not a trace
// line shows as "<not a trace line: ...>".
std::vector<std::string> TraceMessages(const std::string &content);
// The PC's path of the log `fileName` in its temporary folder.
std::string TempLogPath(const char *fileName);
// The messages of the log `fileName` in the PC's temporary folder ("<missing>" when absent).
std::vector<std::string> TempTraceMessages(const char *fileName);
// What is wrong with a whole log file, one text per fault: a line that is no trace line or is
// cut (every line ends in CR LF), a run not started by two empty lines and the banner, an
// operation begun ("X - Comienzo de...", "Init X") and not ended ("X - Fin...", "Fin X") in
// its run. Empty for a sound log.
std::vector<std::string> TraceLogFaults(const std::string &content);
} // namespace kittest
