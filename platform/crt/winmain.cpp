// The start-up code of a Windows program with a WinMain: what the C runtime does before it calls
// WinMain — the command line without the program's name, and the show state asked for.
#include "platform/windows.h"

namespace
{
// The command line after the program's name (quoted or up to the first blank) and the blanks
// that follow it, as the C runtime hands it to WinMain.
LPSTR ArgumentsOf(LPSTR commandLine)
{
    char *p = commandLine;
    if (*p == '"')
    {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    }
    else
    {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

constexpr int kShowDefault = 10; // SW_SHOWDEFAULT
} // namespace

int main()
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : kShowDefault;
    return WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsOf(GetCommandLineA()), show);
}
