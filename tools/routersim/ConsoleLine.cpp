#include "tools/routersim/ConsoleLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace routersim
{
namespace
{
constexpr int kTick = 100;         // how often the line looks at g_stop
constexpr int kWriteLimit = 10000; // a PC that reads nothing for this long loses the answer
constexpr size_t kReadChunk = 4096;
constexpr int kReadLimit = 2000; // how long a dropping line waits for the PC to read the rest
constexpr int kReadCheck = 10;
constexpr int kReadSettle = 50;

std::string LinkTarget(const std::string &link)
{
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// The line as a serial port of the router is set: raw bytes, 9600 8N1, no echo.
void SetRaw(int master)
{
    termios settings{};
    if (::tcgetattr(master, &settings) != 0)
        return;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(master, TCSANOW, &settings);
}
} // namespace

ConsoleLine::ConsoleLine(Router &router, std::string link, int baud)
    : router_(router), link_(std::move(link)), baud_(baud),
      console_(ConsoleSource{[&router] { return router.Password(); },
                             [&router](int code) { return router.Value(code); }})
{
}

ConsoleLine::~ConsoleLine()
{
    if (linked_)
        RemoveLink(link_, slave_);
}

void ConsoleLine::RemoveLink(const std::string &link, const std::string &slave)
{
    if (!link.empty() && !slave.empty() && LinkTarget(link) == slave)
        ::unlink(link.c_str());
}

bool ConsoleLine::Open(std::string &error)
{
    struct stat st
    {
    };
    if (::lstat(link_.c_str(), &st) == 0 && (!S_ISLNK(st.st_mode) || ::access(link_.c_str(), F_OK) == 0))
    {
        error = "the PC's " + link_ + " is taken by another device (another --com, or --com 0 for none)";
        return false;
    }
    Pty pty;
    if (!MakePty(pty, error) || !Relink(pty.slave, error))
        return false;
    Use(std::move(pty));
    console_.SetFaults(router_.CurrentFaults().console);
    return true;
}

bool ConsoleLine::MakePty(Pty &pty, std::string &error)
{
    pty.master = Fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    char name[128];
    if (!pty.master.Valid() || ::grantpt(pty.master.Get()) != 0 || ::unlockpt(pty.master.Get()) != 0 ||
        ::ptsname_r(pty.master.Get(), name, sizeof name) != 0)
    {
        error = std::string("cannot make a pseudo-terminal for the console: ") + std::strerror(errno);
        return false;
    }
    pty.slave = name;
    SetRaw(pty.master.Get());
    // Who opens the slave is seen through inotify; without it the line still finds a new
    // opener at its next tick.
    pty.watch = Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (pty.watch.Valid() && ::inotify_add_watch(pty.watch.Get(), name, IN_OPEN) < 0)
        pty.watch.Close();
    return true;
}

void ConsoleLine::Use(Pty pty)
{
    master_ = std::move(pty.master);
    watch_ = std::move(pty.watch);
    slave_ = std::move(pty.slave);
    peerOpen_ = true; // a pty nobody has opened yet is not hung up
}

bool ConsoleLine::Relink(const std::string &slave, std::string &error)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(link_).parent_path(), ec);
    const std::string fresh = link_ + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(slave.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), link_.c_str()) != 0)
    {
        error = "cannot link the PC's " + link_ + " to " + slave + ": " + std::strerror(errno);
        ::unlink(fresh.c_str());
        return false;
    }
    linked_ = true;
    return true;
}

bool ConsoleLine::PeerHungUp() const
{
    pollfd item{master_.Get(), 0, 0};
    return ::poll(&item, 1, 0) == 1 && (item.revents & POLLHUP);
}

bool ConsoleLine::OpenedSince()
{
    alignas(inotify_event) char events[1024];
    bool opened = false;
    ssize_t n;
    while (watch_.Valid() && (n = ::read(watch_.Get(), events, sizeof events)) > 0)
        for (ssize_t at = 0; at < n;)
        {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            opened |= (event->mask & IN_OPEN) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    return opened;
}

void ConsoleLine::Run()
{
    while (!g_stop.load())
    {
        // A hung-up master reports POLLHUP at once: it is only polled while the PC has the port.
        pollfd items[2] = {{peerOpen_ ? master_.Get() : -1, POLLIN, 0}, {watch_.Get(), POLLIN, 0}};
        if (::poll(items, 2, kTick) < 0 && errno != EINTR)
            break;
        const bool opened = (items[1].revents & POLLIN) && OpenedSince();
        const bool wasOpen = peerOpen_;
        if (opened || !peerOpen_)
            peerOpen_ = !PeerHungUp();
        if (opened || (peerOpen_ && !wasOpen))
        {
            console_.SetFaults(router_.CurrentFaults().console);
            router_.Log("console: " + slave_ + " opened");
        }
        if (!wasOpen || !peerOpen_)
            continue;
        if (items[0].revents & POLLIN)
            Serve();
        else if (items[0].revents & (POLLHUP | POLLERR))
        {
            peerOpen_ = false;
            router_.Log("console: " + slave_ + " closed");
        }
    }
}

void ConsoleLine::Serve()
{
    char chunk[kReadChunk];
    const ssize_t n = ::read(master_.Get(), chunk, sizeof chunk);
    if (n <= 0)
        return; // EIO once the PC has closed: the next poll sees the hang-up
    const Console::Answer answer = console_.Feed(std::string_view(chunk, static_cast<size_t>(n)));
    if (!answer.bytes.empty())
        Send(answer.bytes);
    if (answer.hangUp)
        Drop();
}

bool ConsoleLine::Send(const std::string &bytes)
{
    if (baud_ <= 0)
        return WriteAll(bytes.data(), bytes.size());
    // Ten bits a byte on the wire (start, eight data, stop), in slices of about 10 ms.
    using Clock = std::chrono::steady_clock;
    const double perSecond = baud_ / 10.0;
    const size_t slice = std::max<size_t>(1, static_cast<size_t>(perSecond / 100));
    const Clock::time_point start = Clock::now();
    for (size_t sent = 0; sent < bytes.size() && !g_stop.load();)
    {
        const size_t n = std::min(slice, bytes.size() - sent);
        if (!WriteAll(bytes.data() + sent, n))
            return false;
        sent += n;
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(sent / perSecond)));
    }
    return true;
}

bool ConsoleLine::WriteAll(const char *data, size_t size)
{
    int waited = 0;
    while (size > 0)
    {
        const ssize_t n = ::write(master_.Get(), data, size);
        if (n > 0)
        {
            data += n;
            size -= static_cast<size_t>(n);
            waited = 0;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd item{master_.Get(), POLLOUT, 0};
        if (::poll(&item, 1, kTick) > 0 && (item.revents & (POLLHUP | POLLERR)))
            return false;
        if (g_stop.load() || (waited += kTick) >= kWriteLimit)
            return false;
    }
    return true;
}

void ConsoleLine::AwaitRead() const
{
    Fd slave(::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    // What was written reaches the slave's queue a little later: counted after a first pause.
    for (int waited = 0; slave.Valid() && waited < kReadLimit && !g_stop.load(); waited += kReadCheck)
    {
        ::poll(nullptr, 0, kReadCheck);
        int queued = 0;
        if (waited >= kReadSettle && (::ioctl(slave.Get(), FIONREAD, &queued) != 0 || queued == 0))
            return;
    }
}

void ConsoleLine::Drop()
{
    AwaitRead();
    router_.Log("console: " + slave_ + " dropped");
    // The link leads to the new line before the old one hangs up, so that whoever sees the
    // hang-up and opens the port again finds the new one.
    Pty pty;
    std::string error;
    if (!MakePty(pty, error) || !Relink(pty.slave, error))
    {
        router_.Log("console: " + error);
        return;
    }
    Use(std::move(pty));
    console_.Reset();
    router_.SetIni("Running", "Pty", slave_);
}
} // namespace routersim
