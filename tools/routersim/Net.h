// The router simulator's TCP sockets: POSIX, bound to 127.0.0.1 only, connecting to 127.0.0.1
// only. Every wait is bounded and gives up when the simulator is asked to stop.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace routersim
{
// Set by SIGTERM / SIGINT; every wait of the simulator looks at it.
extern std::atomic<bool> g_stop;

// A socket descriptor owned by one scope.
class Fd
{
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(Fd &&other) noexcept : fd_(other.Release()) {}
    Fd &operator=(Fd &&other) noexcept
    {
        if (this != &other)
        {
            Close();
            fd_ = other.Release();
        }
        return *this;
    }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Close();
    // Closes with a reset instead of an orderly end.
    void Abort();

  private:
    int fd_ = -1;
};

// A socket listening on 127.0.0.1:port (0: any free port); `port` gets the port it has. An
// invalid Fd with errno set when the port cannot be had.
Fd ListenLoopback(uint16_t &port);
// A connection accepted within `milliseconds` (an invalid Fd when none came or on stop).
Fd AcceptWithin(const Fd &listener, int milliseconds);
// A connection to 127.0.0.1:port within `milliseconds`.
Fd ConnectLoopback(uint16_t port, int milliseconds);

// Sends everything within `milliseconds` of no progress; false when the peer went or on stop.
bool SendAll(const Fd &fd, const void *data, size_t size, int milliseconds = 30000);
bool SendText(const Fd &fd, const std::string &text);

enum class Received
{
    Data,
    End, // the peer closed (or reset) the connection
    TimedOut,
    Stopped,
};
// Receives what is there, waiting up to `milliseconds`.
Received ReceiveSome(const Fd &fd, char *buffer, size_t size, size_t &received, int milliseconds);

// Waits `milliseconds`, or less when the simulator stops; false on stop.
bool Pause(int milliseconds);
} // namespace routersim
