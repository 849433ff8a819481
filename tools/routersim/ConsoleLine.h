// The router's serial line: a pseudo-terminal whose other end is the PC's COM port (the PC's
// devices/COMn is a link to its slave). The console keeps its session while the PC closes and
// reopens the port; a dropped line (console-drop) is a new pty behind the same link.
#pragma once

#include "tools/routersim/Console.h"
#include "tools/routersim/Net.h"
#include "tools/routersim/Router.h"

#include <string>

namespace routersim
{
class ConsoleLine
{
  public:
    // `link`: the PC's devices/COMn; `baud`: bytes sent no faster than baud / 10 a second
    // (0: as fast as the pty takes them).
    ConsoleLine(Router &router, std::string link, int baud);
    ~ConsoleLine();
    ConsoleLine(const ConsoleLine &) = delete;
    ConsoleLine &operator=(const ConsoleLine &) = delete;

    // The pty made and the link put in place; false with the reason in `error`.
    bool Open(std::string &error);
    // Serves the console until g_stop.
    void Run();
    // Where the link leads.
    const std::string &Slave() const { return slave_; }

    // Takes a link away if it still leads to `slave` (a link of an earlier router may be left).
    static void RemoveLink(const std::string &link, const std::string &slave);

  private:
    struct Pty
    {
        Fd master;
        Fd watch; // inotify on the slave: who opens it
        std::string slave;
    };
    static bool MakePty(Pty &pty, std::string &error);
    void Use(Pty pty);
    bool Relink(const std::string &slave, std::string &error);
    bool PeerHungUp() const;
    bool OpenedSince();
    void Serve();
    bool Send(const std::string &bytes);
    bool WriteAll(const char *data, size_t size);
    // Hanging up throws away what the PC has not read yet: it gets the time to read it first.
    void AwaitRead() const;
    void Drop();

    Router &router_;
    const std::string link_;
    const int baud_;
    Console console_;
    Fd master_;
    Fd watch_; // inotify on the slave: who opens it
    std::string slave_;
    bool linked_ = false;
    bool peerOpen_ = false;
};
} // namespace routersim
