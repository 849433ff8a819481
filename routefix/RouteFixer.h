// The route fixer (QelFixRt): static routes for every other address of the PC's own subnet
// through the gateway, added once at once and again when the gateway answers.
#pragma once

#include "common/trace/TraceLog.h"

#include <string>
#include <vector>

// The pauses of a run and how many failed connectivity checks it waits through. The program
// always runs with the defaults; tests drive the long paths with short pauses.
struct FixRtTiming
{
    DWORD firstPauseMs = 500;   // before the first FixRoutes
    DWORD retryPauseMs = 10000; // between two connectivity checks
    int maxFailedChecks = 120;  // a check numbered above this gives up (121 checks at most)
};

// The whole program after the log is open: the command line (without the program's name) in,
// the exit code out (1 when the routes were fixed, 0 on any error).
int RunRouteFixer(CTraceLog &log, const char *pszCommandLine, const FixRtTiming &timing = FixRtTiming());

HRESULT FixIpRoutesForADSLProblem(CTraceLog &log, const char *pszIp, const char *pszMask,
                                  const char *pszGateway, const FixRtTiming &timing = FixRtTiming());
HRESULT FixRoutes(CTraceLog &log, const char *pszIp, const char *pszMask, const char *pszGateway);
HRESULT CheckIp(CTraceLog &log, const char *pszGateway);

// H, the number of routes for a mask: the position of the highest set bit of the mask's two's
// complement negation (8 for 255.255.255.0); -1 for 0.0.0.0.
int NumberOfRoutes(DWORD dwMask);

// Route i (0 <= i < H) of an address: the address with its i lowest bits cleared and bit i
// inverted, and the mask of its 32 - i highest bits.
void RouteOf(DWORD dwIp, int i, DWORD &dwDestination, DWORD &dwMask);

// The command that adds one route ("route ADD <destination> MASK <mask> <gateway>").
std::string RouteCommand(DWORD dwDestination, DWORD dwMask, const char *pszGateway);
// The commands FixRoutes starts for an address, its mask and the gateway, in order; none for an
// address or mask that is not dotted IPv4.
std::vector<std::string> RouteCommands(const char *pszIp, const char *pszMask, const char *pszGateway);
