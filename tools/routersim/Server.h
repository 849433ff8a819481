// The simulated router's network side: its FTP server (user "guest", the router's password,
// active and passive data connections, "rom-t" up and down, "ras" up) and port 80. A firmware
// upload makes the router restart: its ports refuse connections for the restart time.
#pragma once

#include "tools/routersim/Net.h"
#include "tools/routersim/Router.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace routersim
{
struct Ports
{
    uint16_t ftp = 0;
    uint16_t http = 0;
};

class Server
{
  public:
    explicit Server(Router &router) : router_(router) {}

    // Opens the listening ports (0: any free one); false when a port cannot be had, with the
    // port and the reason in `error`.
    bool Open(Ports &ports, std::string &error);
    // Serves until g_stop, then waits (a little) for the sessions to end.
    void Run();

    // A firmware was taken: the router goes away for its restart time. Returns once its ports
    // are closed, so that nobody reaches the router after being told it took the firmware.
    void RequestRestart();
    // The number of the router's current life; sessions of an earlier one end.
    uint64_t Life() const { return life_.load(); }
    Router &TheRouter() { return router_; }

  private:
    void Restart();
    void AcceptWaiting(const Fd &listener, bool ftp);
    void Spawn(Fd connection, bool ftp);

    Router &router_;
    Ports ports_;
    Fd ftp_;
    Fd http_;
    std::atomic<bool> restartRequested_{false};
    bool portsClosed_ = false; // guarded by lock_: the restart has closed the ports
    std::atomic<uint64_t> life_{1};
    std::atomic<int> nextSession_{1};
    std::mutex lock_;
    std::condition_variable ended_;
    int sessions_ = 0; // guarded by lock_
};
} // namespace routersim
