// Loopback ports of the host for the PC's virtual network to point at.
#pragma once

#include <cstdint>
#include <string>

namespace kittest
{
// A loopback port that refuses connections (bound, never listening), while this lives.
class ClosedPort
{
  public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort &) = delete;
    ClosedPort &operator=(const ClosedPort &) = delete;
    uint16_t Port() const { return port_; }

  private:
    intptr_t fd_ = -1; // a descriptor, or on Windows a SOCKET
    uint16_t port_ = 0;
};

#ifndef _WIN32
// Gives the PC in `machine` a virtual network where `address`:`port` is 127.0.0.1:`target`.
bool MapHostPort(const std::string &machine, const std::string &address, uint16_t port, uint16_t target);
#endif
} // namespace kittest
