// Ending the session: the PC records the request in power.log instead of restarting;
// `machine reboot` then does what Windows does when it starts again, `machine logon` what it does
// when the user logs on again.
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"
#include "platform/kernel32/process.h"
#include "platform/advapi32/security.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace
{
const char *RequestName(UINT flags)
{
    if (flags & EWX_POWEROFF)
        return "poweroff";
    if (flags & EWX_REBOOT)
        return "reboot";
    if (flags & EWX_SHUTDOWN)
        return "shutdown";
    return "logoff";
}

// One line of power.log:
// "YYYY-MM-DD HH:MM:SS <request> flags=0x%08X reason=0x%08X pid=<pid> program=<name>\n"
// (local time; request logoff, shutdown, reboot or poweroff).
std::string LogLine(UINT flags, DWORD reason)
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    char line[160];
    std::snprintf(line, sizeof line, "%s %s flags=0x%08X reason=0x%08X pid=%d program=", stamp,
                  RequestName(flags), flags, reason, static_cast<int>(::getpid()));
    return line + plat::ProgramName() + "\n";
}

// Appends the line in one write, so lines of several processes never mix.
bool AppendLine(const std::string &path, const std::string &line)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    const int err = errno;
    ::close(fd);
    errno = err;
    return written;
}
} // namespace

// ExitWindowsEx: never ends anything; appends the request to $KIT_MACHINE/power.log and returns
// TRUE. On the NT family shutting down, restarting or powering off needs SeShutdownPrivilege
// enabled in the process (AdjustTokenPrivileges), else ERROR_PRIVILEGE_NOT_HELD; logging off needs
// nothing, and 95/98/Me check nothing. Unlike Windows, no WM_QUERYENDSESSION is sent.
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    const bool endsSession = (uFlags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) != 0;
    if (endsSession && kitpc::IsNtFamily(kitpc::ReadIdentity().family) &&
        !plat::PrivilegeEnabled(plat::kShutdownPrivilegeLuid))
        return plat::Fail(ERROR_PRIVILEGE_NOT_HELD);
    if (!AppendLine(kitpc::PathOf("power.log"), LogLine(uFlags, dwReason)))
        return plat::FailFromErrno();
    return TRUE;
}
