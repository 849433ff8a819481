// Child program of the process tests: writes how it was started to the file named by
// KIT_CHILD_OUT, one "key=value" line each: cmdline, argc, argv<i>, self (its own file), cwd,
// fds (on the simulated PC: descriptors open beyond 0, 1 and 2, but for the platform's hold on the
// program's own file), startup (dwFlags,wShowWindow), machine ($KIT_MACHINE) and show (the value
// of the variable KIT_CHILD_SHOW names, or "(none)").
#include "platform/windows.h"

#include <fstream>
#include <string>
#ifndef _WIN32
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{
std::string Variable(const char *name)
{
    char buffer[4096];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length == 0 || length >= sizeof buffer ? "(none)" : std::string(buffer, length);
}

#ifndef _WIN32
bool IsOwnProgram(int fd)
{
    struct stat held = {}, own = {};
    return ::fstat(fd, &held) == 0 && ::stat("/proc/self/exe", &own) == 0 && held.st_dev == own.st_dev &&
           held.st_ino == own.st_ino;
}

int InheritedDescriptors()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (struct dirent *entry = ::readdir(dir))
    {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd > 2 && fd != ::dirfd(dir) && !IsOwnProgram(fd))
            ++count;
    }
    ::closedir(dir);
    return count;
}
#endif
} // namespace

int main(int argc, char **argv)
{
#ifndef _WIN32
    const int descriptors = InheritedDescriptors(); // before this program opens anything itself
#endif
    const std::string out = Variable("KIT_CHILD_OUT");
    if (out == "(none)")
        return 2;
    std::ofstream file(out, std::ios::binary);
    file << "cmdline=" << GetCommandLineA() << "\n";
    file << "argc=" << argc << "\n";
    for (int i = 0; i < argc; ++i)
        file << "argv" << i << "=" << argv[i] << "\n";
    char path[MAX_PATH];
    const DWORD self = GetModuleFileNameA(nullptr, path, sizeof path);
    file << "self=" << std::string(path, self < sizeof path ? self : 0) << "\n";
    const DWORD cwd = GetCurrentDirectoryA(sizeof path, path);
    file << "cwd=" << (cwd > 0 && cwd < sizeof path ? path : "?") << "\n";
#ifndef _WIN32
    file << "fds=" << descriptors << "\n";
#endif
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    file << "startup=" << startup.dwFlags << "," << startup.wShowWindow << "\n";
    file << "machine=" << Variable("KIT_MACHINE") << "\n";
    const std::string show = Variable("KIT_CHILD_SHOW");
    file << "show=" << (show == "(none)" ? show : Variable(show.c_str())) << "\n";
    return file.good() ? 0 : 3;
}
