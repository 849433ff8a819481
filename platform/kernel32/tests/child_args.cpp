// Child program of the process tests: writes how it was started to the file named by
// KIT_CHILD_OUT, one "key=value" line each: cmdline, argc, argv<i>, cwd, fds (descriptors open
// beyond 0, 1 and 2, but for the platform's hold on the program's own file), startup (dwFlags,wShowWindow),
// machine ($KIT_MACHINE) and show (the value of the variable KIT_CHILD_SHOW names, or "(none)").
#include "platform/windows.h"

#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string Variable(const char *name)
{
    char buffer[4096];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length == 0 || length >= sizeof buffer ? "(none)" : std::string(buffer, length);
}

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
} // namespace

int main(int argc, char **argv)
{
    const int descriptors = InheritedDescriptors(); // before this program opens anything itself
    const std::string out = Variable("KIT_CHILD_OUT");
    if (out == "(none)")
        return 2;
    std::ofstream file(out, std::ios::binary);
    file << "cmdline=" << GetCommandLineA() << "\n";
    file << "argc=" << argc << "\n";
    for (int i = 0; i < argc; ++i)
        file << "argv" << i << "=" << argv[i] << "\n";
    char cwd[4096];
    file << "cwd=" << (::getcwd(cwd, sizeof cwd) ? cwd : "?") << "\n";
    file << "fds=" << descriptors << "\n";
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    file << "startup=" << startup.dwFlags << "," << startup.wShowWindow << "\n";
    file << "machine=" << Variable("KIT_MACHINE") << "\n";
    const std::string show = Variable("KIT_CHILD_SHOW");
    file << "show=" << (show == "(none)" ? show : Variable(show.c_str())) << "\n";
    return file.good() ? 0 : 3;
}
