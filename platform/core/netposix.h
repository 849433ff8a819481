// The host's TCP sockets, reduced to the few plain operations the platform's Winsock needs.
// The one place that includes the POSIX socket headers (their names collide with Windows').
// Every descriptor is non-blocking and close-on-exec; callers wait with Poll. Results are 0 or
// an errno value. Only loopback addresses are ever bound or connected to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace plat::net
{
// An IPv4 address and port, both in host byte order.
struct Endpoint
{
    uint32_t address = 0;
    uint16_t port = 0;
};

constexpr uint32_t kLoopbackAddress = 0x7F000001; // 127.0.0.1
bool IsLoopback(uint32_t address);                // 127.0.0.0/8

int OpenTcp(int &fd);
// Closes a descriptor; an abortive close resets the connection instead of ending it in order.
void Close(int fd, bool abortive);

// Binds to 127.0.0.1:port (0: any free port).
int BindLoopback(int fd, uint16_t port, bool reuseAddress);
int Listen(int fd, int backlog);
// A pending connection (EAGAIN when none).
int Accept(int listenFd, int &fd, Endpoint &peer);

// Starts a connection to a loopback endpoint: 0, EINPROGRESS or the failure. Any other
// address is refused with ENETUNREACH and nothing is sent.
int StartConnect(int fd, Endpoint to);
// The outcome of a started connection once the descriptor is writable (SO_ERROR).
int ConnectResult(int fd);

int Send(int fd, const void *data, size_t size, size_t &sent);
int Receive(int fd, void *data, size_t size, bool peek, size_t &received);
int ShutdownSend(int fd);

int LocalName(int fd, Endpoint &local);
int PeerName(int fd, Endpoint &peer);
int BytesAvailable(int fd, size_t &count);
int SetNoDelay(int fd, bool on);
int SetKeepAlive(int fd, bool on);

// One descriptor for Poll: what to wait for, and what it is ready for.
struct PollItem
{
    int fd = -1;
    bool wantRead = false;
    bool wantWrite = false;
    bool wantUrgent = false;
    bool readable = false; // data, a pending connection, end of stream or an error
    bool writable = false; // room to send, or a finished connection attempt
    bool urgent = false;   // out-of-band data
    bool failed = false;   // error or hang-up
};

// Waits up to `milliseconds` (0: just looks) until an item is ready; returns 0 or errno.
int Poll(std::span<PollItem> items, int milliseconds);
} // namespace plat::net
