#include "platform/core/netposix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{
sockaddr_in ToSockaddr(plat::net::Endpoint endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    return address;
}

plat::net::Endpoint FromSockaddr(const sockaddr_in &address)
{
    return {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

int Result(int rc)
{
    return rc < 0 ? errno : 0;
}

int SetIntOption(int fd, int level, int name, int value)
{
    return Result(::setsockopt(fd, level, name, &value, sizeof value));
}

using NameFunction = int (*)(int, sockaddr *, socklen_t *);
int Name(NameFunction function, int fd, plat::net::Endpoint &endpoint)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (function(fd, reinterpret_cast<sockaddr *>(&address), &length) < 0)
        return errno;
    endpoint = FromSockaddr(address);
    return 0;
}
} // namespace

namespace plat::net
{
bool IsLoopback(uint32_t address)
{
    return (address >> 24) == 127;
}

int OpenTcp(int &fd)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd < 0 ? errno : 0;
}

void Close(int fd, bool abortive)
{
    if (abortive)
    {
        ::linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    ::close(fd);
}

int BindLoopback(int fd, uint16_t port, bool reuseAddress)
{
    if (reuseAddress)
        if (int err = SetIntOption(fd, SOL_SOCKET, SO_REUSEADDR, 1))
            return err;
    sockaddr_in address = ToSockaddr({kLoopbackAddress, port});
    return Result(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address));
}

int Listen(int fd, int backlog)
{
    return Result(::listen(fd, backlog));
}

int Accept(int listenFd, int &fd, Endpoint &peer)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    do
        fd = ::accept4(listenFd, reinterpret_cast<sockaddr *>(&address), &length,
                       SOCK_NONBLOCK | SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno == EWOULDBLOCK ? EAGAIN : errno;
    peer = FromSockaddr(address);
    return 0;
}

int StartConnect(int fd, Endpoint to)
{
    if (!IsLoopback(to.address))
        return ENETUNREACH;
    sockaddr_in address = ToSockaddr(to);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return 0;
    return errno == EINTR ? EINPROGRESS : errno; // an interrupted connect goes on in the background
}

int ConnectResult(int fd)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
        return errno;
    return error;
}

int Send(int fd, const void *data, size_t size, size_t &sent)
{
    ssize_t n;
    do
        n = ::send(fd, data, size, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno == EWOULDBLOCK ? EAGAIN : errno;
    sent = static_cast<size_t>(n);
    return 0;
}

int Receive(int fd, void *data, size_t size, bool peek, size_t &received)
{
    ssize_t n;
    do
        n = ::recv(fd, data, size, peek ? MSG_PEEK : 0);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno == EWOULDBLOCK ? EAGAIN : errno;
    received = static_cast<size_t>(n);
    return 0;
}

int ShutdownSend(int fd)
{
    return Result(::shutdown(fd, SHUT_WR));
}

int LocalName(int fd, Endpoint &local)
{
    return Name(::getsockname, fd, local);
}

int PeerName(int fd, Endpoint &peer)
{
    return Name(::getpeername, fd, peer);
}

int BytesAvailable(int fd, size_t &count)
{
    int available = 0;
    if (::ioctl(fd, FIONREAD, &available) < 0)
        return errno;
    count = static_cast<size_t>(available);
    return 0;
}

int SetNoDelay(int fd, bool on)
{
    return SetIntOption(fd, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
}

int SetKeepAlive(int fd, bool on)
{
    return SetIntOption(fd, SOL_SOCKET, SO_KEEPALIVE, on ? 1 : 0);
}

int Poll(std::span<PollItem> items, int milliseconds)
{
    std::vector<pollfd> fds(items.size());
    for (size_t i = 0; i < items.size(); ++i)
    {
        fds[i].fd = items[i].fd;
        fds[i].events =
            static_cast<short>((items[i].wantRead ? POLLIN : 0) | (items[i].wantWrite ? POLLOUT : 0) |
                               (items[i].wantUrgent ? POLLPRI : 0));
    }
    int rc = ::poll(fds.data(), fds.size(), milliseconds);
    if (rc < 0)
        return errno == EINTR ? 0 : errno; // a signal only shortens the wait
    for (size_t i = 0; i < items.size(); ++i)
    {
        const short revents = fds[i].revents;
        items[i].failed = (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        items[i].readable = (revents & (POLLIN | POLLERR | POLLHUP)) != 0;
        items[i].writable = (revents & (POLLOUT | POLLERR | POLLHUP)) != 0;
        items[i].urgent = (revents & POLLPRI) != 0;
    }
    return 0;
}
} // namespace plat::net
