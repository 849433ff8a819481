#include "tools/routersim/FileLock.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace routersim
{
namespace
{
void OnAlarm(int) {}
} // namespace

FileLock &FileLock::operator=(FileLock &&other) noexcept
{
    if (this != &other)
    {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool FileLock::Open(const std::string &path, bool folder)
{
    Close();
    fd_ = folder ? ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                 : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

bool FileLock::TryLock() const
{
    int result;
    while ((result = ::flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR)
    {
    }
    return result == 0;
}

bool FileLock::LockWithin(unsigned seconds) const
{
    // The alarm breaks the wait: its handler is installed without SA_RESTART.
    struct sigaction action = {}, previous = {};
    action.sa_handler = OnAlarm;
    ::sigaction(SIGALRM, &action, &previous);
    ::alarm(seconds);
    const bool locked = ::flock(fd_, LOCK_EX) == 0;
    ::alarm(0);
    ::sigaction(SIGALRM, &previous, nullptr);
    return locked;
}

void FileLock::Lock() const
{
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR)
    {
    }
}

void FileLock::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
} // namespace routersim
