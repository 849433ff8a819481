// Loopback ports of the host.
#include "testing/loopback.h"

#include "testing/hostfile.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kittest
{
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
        ::close(fd_);
}

bool MapHostPort(const std::string &machine, const std::string &address, uint16_t port, uint16_t target)
{
    return WriteHostFile(machine + "/network.ini", "[Hosts]\r\n" + address + ":" + std::to_string(port) +
                                                       "=127.0.0.1:" + std::to_string(target) + "\r\n");
}
} // namespace kittest
