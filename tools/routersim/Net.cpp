#include "tools/routersim/Net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace routersim
{
std::atomic<bool> g_stop{false};

namespace
{
constexpr int kSlice = 100; // how soon a wait sees the stop request

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Waits for `events` on fd for up to `milliseconds` in slices; 1 ready, 0 timed out, -1 stop.
int WaitFor(int fd, short events, int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;)
    {
        if (g_stop.load())
            return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd item{fd, events, 0};
        const int slice = left <= 0 ? 0 : static_cast<int>(left < kSlice ? left : kSlice);
        if (::poll(&item, 1, slice) > 0)
            return 1;
        if (left <= 0)
            return 0;
    }
}
} // namespace

void Fd::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Fd::Abort()
{
    if (fd_ >= 0)
    {
        ::linger reset{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    Close();
}

Fd ListenLoopback(uint16_t &port)
{
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid())
        return Fd();
    int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(port);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd.Get(), SOMAXCONN) != 0)
    {
        const int error = errno; // the caller says why
        fd.Close();
        errno = error;
        return Fd();
    }
    socklen_t length = sizeof address;
    ::getsockname(fd.Get(), reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

Fd AcceptWithin(const Fd &listener, int milliseconds)
{
    if (WaitFor(listener.Get(), POLLIN, milliseconds) != 1)
        return Fd();
    Fd fd(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (fd.Valid())
    {
        int on = 1;
        ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return fd;
}

Fd ConnectLoopback(uint16_t port, int milliseconds)
{
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid())
        return Fd();
    sockaddr_in address = Loopback(port);
    if (::connect(fd.Get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
    {
        if (errno != EINPROGRESS || WaitFor(fd.Get(), POLLOUT, milliseconds) != 1)
            return Fd();
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return Fd();
    }
    return fd;
}

bool SendAll(const Fd &fd, const void *data, size_t size, int milliseconds)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0)
    {
        ssize_t n = ::send(fd.Get(), p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
        {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            if (WaitFor(fd.Get(), POLLOUT, milliseconds) != 1)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

bool SendText(const Fd &fd, const std::string &text)
{
    return SendAll(fd, text.data(), text.size());
}

Received ReceiveSome(const Fd &fd, char *buffer, size_t size, size_t &received, int milliseconds)
{
    received = 0;
    for (;;)
    {
        int ready = WaitFor(fd.Get(), POLLIN, milliseconds);
        if (ready < 0)
            return Received::Stopped;
        if (ready == 0)
            return Received::TimedOut;
        ssize_t n = ::recv(fd.Get(), buffer, size, MSG_DONTWAIT);
        if (n > 0)
        {
            received = static_cast<size_t>(n);
            return Received::Data;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        return Received::End;
    }
}

bool Pause(int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!g_stop.load())
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return true;
        ::poll(nullptr, 0, static_cast<int>(left < kSlice ? left : kSlice));
    }
    return false;
}
} // namespace routersim
