// Loopback ports of the host.
#include "testing/loopback.h"

#include "testing/hostfile.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kittest
{
#ifdef _WIN32
// Its own Winsock start-up, so that the socket outlives the test's WSACleanup.
ClosedPort::ClosedPort()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
    int length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    fd_ = static_cast<intptr_t>(s);
}

ClosedPort::~ClosedPort()
{
    if (fd_ == -1)
        return;
    ::closesocket(static_cast<SOCKET>(fd_));
    WSACleanup();
}
#else
ClosedPort::ClosedPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
}

ClosedPort::~ClosedPort()
{
    if (fd_ >= 0)
        ::close(static_cast<int>(fd_));
}

bool MapHostPort(const std::string &machine, const std::string &address, uint16_t port, uint16_t target)
{
    return WriteHostFile(machine + "/network.ini", "[Hosts]\r\n" + address + ":" + std::to_string(port) +
                                                       "=127.0.0.1:" + std::to_string(target) + "\r\n");
}
#endif
} // namespace kittest
