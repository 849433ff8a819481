// QelFixRt: the route fixer program, started by the wizard with the PC's public address, mask
// and (optionally) gateway. It shows nothing; everything goes to "QelFixRt.txt".
#include "routefix/RouteFixer.h"

namespace
{
// The program's single log, closed before every exit.
CTraceLog g_log;
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    g_log.SetFileName("QelFixRt.txt");
    g_log.SetAlwaysOn(1);
    g_log.Open();
    const int exitCode = RunRouteFixer(g_log, lpCmdLine);
    g_log.Close();
    return exitCode;
}
