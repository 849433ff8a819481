// Whole files of the host.
#include "testing/hostfile.h"

#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kittest
{
std::string ReadHostFile(const std::string &path, std::string_view absent)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string(absent);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteHostFile(const std::string &path, std::string_view content)
{
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out.flush());
}

namespace
{
#ifdef _WIN32
// Windows has no such folder for an administrator: the tests that need one skip it there.
bool SetImmutable(const std::string &, bool)
{
    return false;
}
#else
bool SetImmutable(const std::string &path, bool on)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok)
    {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}
#endif
} // namespace

ImmutableFolder::ImmutableFolder(std::string path) : path_(std::move(path)), on_(SetImmutable(path_, true)) {}

ImmutableFolder::~ImmutableFolder()
{
    if (on_)
        SetImmutable(path_, false);
}
} // namespace kittest
