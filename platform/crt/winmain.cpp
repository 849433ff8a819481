// The start-up code of a Windows program with a WinMain: what the C runtime does before it calls
// WinMain — the command line without the program's name, and the show state asked for. Such a
// program is a windowed one and has no console: its standard input, output and error output lead
// nowhere, so it holds no pipe of the program that started it (it keeps its own log files).
#include "platform/windows.h"

#include <fcntl.h>
#include <unistd.h>

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

void NoConsole()
{
    const int nowhere = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nowhere < 0)
        return;
    ::dup2(nowhere, 0);
    ::dup2(nowhere, 1);
    ::dup2(nowhere, 2);
    ::close(nowhere);
}
} // namespace

int main()
{
    NoConsole();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : kShowDefault;
    return WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsOf(GetCommandLineA()), show);
}
