// The pseudo-terminal device of the serial tests.
#include "testing/pty.h"
#include "platform/kit/kitmachine.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kittest
{
namespace
{
// How long a write waits for the PC to make room on the line.
constexpr int kSendWaitMs = 200;
} // namespace

PtyDevice::PtyDevice(int port)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    {
        HangUp();
        return;
    }
    slave_ = ::ptsname(master_);
    // Writes never block the test: a line nobody reads gives up (see Send).
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    // The device side speaks raw bytes: no echo, no line editing on the master's view.
    termios tio{};
    if (::tcgetattr(master_, &tio) == 0)
    {
        ::cfmakeraw(&tio);
        ::tcsetattr(master_, TCSANOW, &tio);
    }
    const std::string devices = kitpc::PathOf("devices");
    std::error_code ec;
    std::filesystem::create_directories(devices, ec);
    link_ = devices + "/COM" + std::to_string(port);
    std::filesystem::remove(link_, ec);
    std::filesystem::create_symlink(slave_, link_, ec);
    if (ec)
        HangUp();
}

PtyDevice::~PtyDevice()
{
    HangUp();
    std::error_code ec;
    if (!link_.empty())
        std::filesystem::remove(link_, ec);
}

void PtyDevice::HangUp()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

std::string PtyDevice::Receive(int waitMs, size_t max)
{
    std::string got;
    char buffer[4096];
    while (master_ >= 0 && got.size() < max)
    {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, waitMs) <= 0 || !(pfd.revents & POLLIN))
            break;
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, max - got.size()));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

std::string PtyDevice::ReceiveUntil(std::string_view text, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < end)
        got += Receive(20);
    return got;
}

bool PtyDevice::Send(std::string_view bytes)
{
    while (master_ >= 0 && !bytes.empty())
    {
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
        {
            pollfd pfd{master_, POLLOUT, 0};
            if (::poll(&pfd, 1, kSendWaitMs) <= 0)
                return false; // the PC does not read the line any more
            continue;
        }
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return bytes.empty();
}
} // namespace kittest
