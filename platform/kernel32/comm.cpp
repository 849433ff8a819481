// Communications ports: a COM handle is devices/COMn's tty (a pty on the simulated PC) in raw
// mode. The DCB maps onto termios; what termios cannot express is kept in the handle's DCB.
// Time-outs, events and overlapped operations are emulated over the descriptor (non-blocking)
// with the platform's sliced waits. A pty has no modem lines: DTR and RTS are remembered, CTS
// and DSR read as on, RLSD as on while the other side holds the pty, and a break cannot be sent.
#include "platform/core/lasterror.h"
#include "platform/core/wait.h"
#include "platform/kernel32/file.h"
#include "platform/kit/kitmachine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{
using plat::Deadline;
using plat::WaitOutcome;

// ---------------------------------------------------------------------------------------------
// DCB and termios

struct BaudSpeed
{
    DWORD baud;
    speed_t speed;
    DWORD bit; // the COMMPROP BAUD_* bit, 0 when it has none
};

constexpr BaudSpeed kBauds[] = {
    {50, B50, 0},
    {75, B75, BAUD_075},
    {110, B110, BAUD_110},
    {134, B134, BAUD_134_5},
    {150, B150, BAUD_150},
    {200, B200, 0},
    {300, B300, BAUD_300},
    {600, B600, BAUD_600},
    {1200, B1200, BAUD_1200},
    {1800, B1800, BAUD_1800},
    {2400, B2400, BAUD_2400},
    {4800, B4800, BAUD_4800},
    {9600, B9600, BAUD_9600},
    {19200, B19200, BAUD_19200},
    {38400, B38400, BAUD_38400},
    {57600, B57600, BAUD_57600},
    {115200, B115200, BAUD_115200},
    {230400, B230400, 0},
    {460800, B460800, 0},
    {500000, B500000, 0},
    {576000, B576000, 0},
    {921600, B921600, 0},
    {1000000, B1000000, 0},
    {1152000, B1152000, 0},
    {1500000, B1500000, 0},
    {2000000, B2000000, 0},
    {2500000, B2500000, 0},
    {3000000, B3000000, 0},
    {3500000, B3500000, 0},
    {4000000, B4000000, 0},
};

const BaudSpeed *BaudOf(DWORD baud)
{
    for (const BaudSpeed &entry : kBauds)
        if (entry.baud == baud)
            return &entry;
    return nullptr;
}

DWORD BaudFromSpeed(speed_t speed)
{
    for (const BaudSpeed &entry : kBauds)
        if (entry.speed == speed)
            return entry.baud;
    return 0;
}

// What a port starts with for the members termios does not hold.
DCB DefaultDcb()
{
    DCB dcb = {};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

// ERROR_SUCCESS when a UART could take the DCB, else the error SetCommState gives.
DWORD CheckDcb(const DCB &dcb)
{
    if (!BaudOf(dcb.BaudRate) || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS || dcb.fDtrControl > DTR_CONTROL_HANDSHAKE)
        return ERROR_INVALID_PARAMETER;
    // A UART sends one and a half stop bits only with 5 data bits, and then never two.
    if ((dcb.StopBits == ONE5STOPBITS) != (dcb.ByteSize == 5) && dcb.StopBits != ONESTOPBIT)
        return ERROR_INVALID_PARAMETER;
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar)
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

bool HardwareHandshake(const DCB &dcb)
{
    return dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
}

// Writes what termios can hold of a checked DCB.
void DcbToTermios(const DCB &dcb, termios &t)
{
    const speed_t speed = BaudOf(dcb.BaudRate)->speed;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= kSizes[dcb.ByteSize - 5] | CREAD | CLOCAL;
    switch (dcb.Parity)
    {
    case ODDPARITY:
        t.c_cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        t.c_cflag |= PARENB;
        break;
    case MARKPARITY:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != ONESTOPBIT)
        t.c_cflag |= CSTOPB;
    if (HardwareHandshake(dcb))
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (dcb.fOutX)
        t.c_iflag |= IXON;
    if (dcb.fInX)
        t.c_iflag |= IXOFF;
    if (dcb.fParity)
        t.c_iflag |= INPCK;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

// The DCB the port has: `kept` with what termios says laid over it. A pty always carries 8-bit
// bytes without parity (it resets CSIZE and PARENB), so there the framing set is kept instead.
DCB DcbFromTermios(const termios &t, DCB kept, bool framingKept)
{
    kept.DCBlength = sizeof(DCB);
    if (DWORD baud = BaudFromSpeed(cfgetospeed(&t)))
        kept.BaudRate = baud;
    switch (framingKept ? t.c_cflag & CSIZE : CSIZE + 1)
    {
    case CSIZE + 1:
        break; // as set
    case CS5:
        kept.ByteSize = 5;
        break;
    case CS6:
        kept.ByteSize = 6;
        break;
    case CS7:
        kept.ByteSize = 7;
        break;
    default:
        kept.ByteSize = 8;
        break;
    }
    if (!framingKept)
    {
        // as set
    }
    else if (!(t.c_cflag & PARENB))
        kept.Parity = NOPARITY;
    else if (t.c_cflag & CMSPAR)
        kept.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        kept.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    if (!(t.c_cflag & CSTOPB))
        kept.StopBits = ONESTOPBIT;
    else
        kept.StopBits = kept.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    if ((t.c_cflag & CRTSCTS) && !HardwareHandshake(kept))
    {
        kept.fOutxCtsFlow = 1;
        kept.fRtsControl = RTS_CONTROL_HANDSHAKE;
    }
    else if (!(t.c_cflag & CRTSCTS))
    {
        kept.fOutxCtsFlow = 0;
        if (kept.fRtsControl == RTS_CONTROL_HANDSHAKE)
            kept.fRtsControl = RTS_CONTROL_ENABLE;
    }
    kept.fOutX = (t.c_iflag & IXON) ? 1 : 0;
    kept.fInX = (t.c_iflag & IXOFF) ? 1 : 0;
    kept.fParity = (t.c_iflag & INPCK) ? 1 : 0;
    kept.XonChar = static_cast<char>(t.c_cc[VSTART]);
    kept.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return kept;
}

// Raw bytes both ways, whatever the line settings: no line editing, echo, signals or
// character translation.
void MakeRaw(termios &t)
{
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL | IXANY);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

DWORD InQueue(int fd)
{
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 && n > 0 ? static_cast<DWORD>(n) : 0;
}

DWORD OutQueue(int fd)
{
    int n = 0;
    return ::ioctl(fd, TIOCOUTQ, &n) == 0 && n > 0 ? static_cast<DWORD>(n) : 0;
}

// The error of a read or write the device refused: a tty whose other side went away is gone.
DWORD DeviceError(int error)
{
    return error == EIO || error == ENXIO || error == 0 ? ERROR_DEVICE_NOT_CONNECTED
                                                        : plat::Win32FromErrno(error);
}

// The outcome of a read, write or event wait.
struct Transfer
{
    DWORD error = ERROR_SUCCESS;
    DWORD done = 0;
};

Transfer Aborted(DWORD done)
{
    return {ERROR_OPERATION_ABORTED, done};
}

// A write this small fits the tty's buffer, so it completes before the call returns.
constexpr DWORD kWriteAtOnce = 4096;

using Stopped = std::function<bool()>;
using Work = std::function<Transfer(const Stopped &stopped)>;

// ---------------------------------------------------------------------------------------------
// The port

class ComPort : public plat::FileObject
{
  public:
    explicit ComPort(Init init, bool modemLines) : FileObject(std::move(init)), modemLines_(modemLines) {}
    ~ComPort() override;

    BOOL Read(LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped) override;
    BOOL Write(LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped) override;
    BOOL Flush() override;
    BOOL ReadEx(LPVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                LPOVERLAPPED_COMPLETION_ROUTINE routine) override;
    BOOL WriteEx(LPCVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                 LPOVERLAPPED_COMPLETION_ROUTINE routine) override;
    bool IsPending(const OVERLAPPED *overlapped) const override;
    void CancelThreadIo(DWORD tid) override;

    BOOL GetState(DCB &dcb) const;
    BOOL SetState(const DCB &dcb);
    COMMTIMEOUTS Timeouts() const;
    void SetTimeouts(const COMMTIMEOUTS &timeouts);
    DWORD Mask() const;
    void SetMask(DWORD mask);
    BOOL WaitEvent(LPDWORD events, LPOVERLAPPED overlapped);
    BOOL Purge(DWORD flags);
    void Status(COMSTAT &stat) const;
    DWORD ModemStatus() const;
    BOOL Escape(DWORD function);
    BOOL TransmitChar(char c);
    void Setup(DWORD inQueue, DWORD outQueue);
    void Properties(COMMPROP &prop) const;

  private:
    struct Operation
    {
        DWORD tid = 0;
        LPOVERLAPPED overlapped = nullptr;
        bool cancelled = false; // guarded by mutex_
        bool complete = false;  // guarded by mutex_
        std::atomic<bool> finished{false};
        std::thread thread;
    };
    enum class Direction
    {
        In,
        Out,
        Event,
    };

    BOOL StartRead(LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped,
                   LPOVERLAPPED_COMPLETION_ROUTINE routine);
    BOOL StartWrite(LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped,
                    LPOVERLAPPED_COMPLETION_ROUTINE routine);
    Transfer ReadNow(char *out, DWORD count, const Stopped &stopped);
    Transfer WriteNow(const char *in, DWORD count, const Stopped &stopped);
    Transfer WaitEventNow(LPDWORD events, unsigned generation, const Stopped &stopped);
    Stopped AbortCheck(Direction direction) const;
    bool ReadCanFinishAtOnce(DWORD count) const;
    BOOL Run(Direction direction, Work work, bool atOnce, LPDWORD done, LPOVERLAPPED overlapped,
             LPOVERLAPPED_COMPLETION_ROUTINE routine);
    void Finish(Operation &operation, Transfer result, LPOVERLAPPED_COMPLETION_ROUTINE routine);
    void ReapFinished();
    DWORD FoundEvents(bool consume);

    const bool modemLines_; // a real tty; a pty has none
    mutable std::mutex mutex_;
    // All below guarded by mutex_.
    DCB kept_ = DefaultDcb();
    COMMTIMEOUTS timeouts_ = {};
    DWORD mask_ = 0;
    unsigned maskGeneration_ = 0;
    unsigned readAborts_ = 0, writeAborts_ = 0;
    bool sentSinceEmpty_ = false; // EV_TXEMPTY is due once the output drains
    bool eventWaitPending_ = false;
    bool closing_ = false;
    bool dtr_ = true, rts_ = true;
    DWORD inQueueSize_ = 4096, outQueueSize_ = 4096;
    std::list<Operation> operations_;
};

ComPort::~ComPort()
{
    std::list<Operation> operations;
    {
        std::lock_guard guard(mutex_);
        closing_ = true;
    }
    plat::NotifyWaiters();
    // Every operation sees closing_ within a slice and completes as aborted.
    std::unique_lock lock(mutex_);
    operations.splice(operations.end(), operations_);
    lock.unlock();
    for (Operation &operation : operations)
        if (operation.thread.joinable())
            operation.thread.join();
}

Stopped ComPort::AbortCheck(Direction direction) const
{
    std::lock_guard guard(mutex_);
    const unsigned reads = readAborts_, writes = writeAborts_;
    return [this, direction, reads, writes] {
        std::lock_guard guard(mutex_);
        return closing_ || (direction == Direction::In && readAborts_ != reads) ||
               (direction == Direction::Out && writeAborts_ != writes);
    };
}

Transfer ComPort::ReadNow(char *out, DWORD count, const Stopped &stopped)
{
    const COMMTIMEOUTS t = Timeouts();
    const bool atOnce = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                        t.ReadTotalTimeoutConstant == 0;
    // The documented special case: wait up to the constant for a first byte, then return.
    const bool firstByte = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                           t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD;
    const bool interval = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD;
    Deadline total;
    if (firstByte)
        total = plat::DeadlineAfter(t.ReadTotalTimeoutConstant);
    else if (!atOnce && (t.ReadTotalTimeoutMultiplier || t.ReadTotalTimeoutConstant))
        total = plat::DeadlineIn(std::chrono::milliseconds(
            static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * count + t.ReadTotalTimeoutConstant));
    Deadline next = total; // the interval timer starts with the first byte
    DWORD got = 0;
    while (got < count)
    {
        const ssize_t n = ::read(Descriptor(), out + got, count - got);
        if (n > 0)
        {
            got += static_cast<DWORD>(n);
            if (firstByte)
                break;
            if (interval)
            {
                Deadline gap = plat::DeadlineAfter(t.ReadIntervalTimeout);
                next = total ? std::min(*total, *gap) : gap;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            return {DeviceError(n == 0 ? 0 : errno), got};
        if (atOnce)
            break;
        const WaitOutcome outcome = plat::WaitForDescriptor(Descriptor(), false, next, stopped);
        if (outcome == WaitOutcome::TimedOut)
            break;
        if (outcome == WaitOutcome::Stopped)
            return Aborted(got);
        if (outcome == WaitOutcome::Failed)
            return {ERROR_DEVICE_NOT_CONNECTED, got};
    }
    return {ERROR_SUCCESS, got};
}

Transfer ComPort::WriteNow(const char *in, DWORD count, const Stopped &stopped)
{
    const COMMTIMEOUTS t = Timeouts();
    Deadline total;
    if (t.WriteTotalTimeoutMultiplier || t.WriteTotalTimeoutConstant)
        total = plat::DeadlineIn(std::chrono::milliseconds(
            static_cast<uint64_t>(t.WriteTotalTimeoutMultiplier) * count + t.WriteTotalTimeoutConstant));
    DWORD sent = 0;
    Transfer result;
    while (sent < count)
    {
        const ssize_t n = ::write(Descriptor(), in + sent, count - sent);
        if (n > 0)
        {
            sent += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
        {
            result.error = DeviceError(n == 0 ? 0 : errno);
            break;
        }
        const WaitOutcome outcome = plat::WaitForDescriptor(Descriptor(), true, total, stopped);
        if (outcome == WaitOutcome::TimedOut)
            break;
        if (outcome != WaitOutcome::Ready)
        {
            result.error =
                outcome == WaitOutcome::Stopped ? ERROR_OPERATION_ABORTED : ERROR_DEVICE_NOT_CONNECTED;
            break;
        }
    }
    result.done = sent;
    if (sent > 0)
    {
        {
            std::lock_guard guard(mutex_);
            sentSinceEmpty_ = true;
        }
        plat::NotifyWaiters();
    }
    return result;
}

// The events of the mask that hold now; EV_TXEMPTY is reported once per drained output (when
// the events are consumed).
DWORD ComPort::FoundEvents(bool consume)
{
    std::lock_guard guard(mutex_);
    DWORD found = 0;
    if ((mask_ & EV_RXCHAR) && InQueue(Descriptor()) > 0)
        found |= EV_RXCHAR;
    if ((mask_ & EV_TXEMPTY) && sentSinceEmpty_ && OutQueue(Descriptor()) == 0)
    {
        found |= EV_TXEMPTY;
        sentSinceEmpty_ = sentSinceEmpty_ && !consume;
    }
    return found;
}

Transfer ComPort::WaitEventNow(LPDWORD events, unsigned generation, const Stopped &stopped)
{
    struct PendingMark
    {
        ComPort &port;
        ~PendingMark()
        {
            std::lock_guard guard(port.mutex_);
            port.eventWaitPending_ = false;
        }
    } mark{*this};
    bool maskChanged = false;
    DWORD found = 0;
    auto look = [&](int milliseconds) {
        if ((found = FoundEvents(true)) != 0)
            return plat::SliceResult::Ready;
        const bool watchInput = (Mask() & EV_RXCHAR) != 0;
        if (!watchInput)
        {
            plat::SleepMilliseconds(static_cast<DWORD>(milliseconds)); // writes wake it
            return plat::SliceResult::NotYet;
        }
        pollfd item = {Descriptor(), POLLIN, 0};
        if (::poll(&item, 1, milliseconds) > 0 && (item.revents & (POLLHUP | POLLERR)) &&
            !(item.revents & POLLIN))
            return plat::SliceResult::Failed;
        return plat::SliceResult::NotYet;
    };
    auto ended = [&] {
        std::lock_guard guard(mutex_);
        maskChanged = maskGeneration_ != generation;
        return maskChanged;
    };
    const WaitOutcome outcome = plat::WaitInSlices(std::nullopt, look, [&] { return ended() || stopped(); });
    if (outcome == WaitOutcome::Failed)
        return {ERROR_DEVICE_NOT_CONNECTED, 0};
    if (outcome == WaitOutcome::Stopped && !maskChanged)
        return Aborted(0);
    *events = outcome == WaitOutcome::Ready ? found : 0; // a new mask ends the wait with none
    return {ERROR_SUCCESS, sizeof(DWORD)};
}

bool ComPort::ReadCanFinishAtOnce(DWORD count) const
{
    const COMMTIMEOUTS t = Timeouts();
    const bool atOnce = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                        t.ReadTotalTimeoutConstant == 0;
    return atOnce || InQueue(Descriptor()) >= count;
}

void ComPort::ReapFinished()
{
    std::list<Operation> done;
    {
        std::lock_guard guard(mutex_);
        for (auto it = operations_.begin(); it != operations_.end();)
        {
            auto next = std::next(it);
            if (it->finished.load())
                done.splice(done.end(), operations_, it);
            it = next;
        }
    }
    for (Operation &operation : done)
        operation.thread.join();
}

void ComPort::Finish(Operation &operation, Transfer result, LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    LPOVERLAPPED overlapped = operation.overlapped;
    {
        std::lock_guard guard(mutex_);
        overlapped->Internal = plat::StatusFromError(result.error);
        overlapped->InternalHigh = result.done;
        operation.complete = true;
    }
    if (routine)
        plat::QueueCompletion(operation.tid, routine, result.error, result.done, overlapped);
    else if (overlapped->hEvent)
        SetEvent(overlapped->hEvent);
    plat::NotifyWaiters();
}

// Runs an operation: at once on a synchronous handle (or when it can finish without waiting),
// else in the background, completing the OVERLAPPED (its event, or the routine as an APC).
BOOL ComPort::Run(Direction direction, Work work, bool atOnce, LPDWORD done, LPOVERLAPPED overlapped,
                  LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    if (!overlapped || !Overlapped() || atOnce)
    {
        const Transfer result = work(AbortCheck(direction));
        if (done)
            *done = direction == Direction::Event ? 0 : result.done;
        if (overlapped)
        {
            overlapped->Internal = plat::StatusFromError(result.error);
            overlapped->InternalHigh = result.done;
            if (routine)
                plat::QueueCompletion(routine, result.error, result.done, overlapped);
            else if (overlapped->hEvent)
                SetEvent(overlapped->hEvent);
        }
        if (result.error != ERROR_SUCCESS && !routine)
            return plat::Fail(result.error);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    ReapFinished();
    if (!routine && overlapped->hEvent)
        ResetEvent(overlapped->hEvent);
    Stopped aborted = AbortCheck(direction);
    std::lock_guard guard(mutex_);
    overlapped->Internal = STATUS_PENDING;
    overlapped->InternalHigh = 0;
    Operation &operation = operations_.emplace_back();
    operation.tid = plat::CurrentThreadIdForWait();
    operation.overlapped = overlapped;
    Operation *op = &operation;
    Stopped stopped = [this, op, aborted] {
        {
            std::lock_guard guard(mutex_);
            if (op->cancelled)
                return true;
        }
        return aborted();
    };
    operation.thread = std::thread([this, op, work = std::move(work), stopped, routine] {
        Finish(*op, work(stopped), routine);
        op->finished.store(true);
    });
    if (done)
        *done = 0;
    if (routine)
    {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    return plat::Fail(ERROR_IO_PENDING);
}

BOOL ComPort::Read(LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped)
{
    return StartRead(buffer, count, done, overlapped, nullptr);
}

BOOL ComPort::ReadEx(LPVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                     LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    return StartRead(buffer, count, nullptr, overlapped, routine);
}

BOOL ComPort::StartRead(LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped,
                        LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    if (!CanRead())
        return plat::Fail(ERROR_ACCESS_DENIED);
    auto *out = static_cast<char *>(buffer);
    return Run(
        Direction::In, [this, out, count](const Stopped &stopped) { return ReadNow(out, count, stopped); },
        ReadCanFinishAtOnce(count), done, overlapped, routine);
}

BOOL ComPort::Write(LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped)
{
    return StartWrite(buffer, count, done, overlapped, nullptr);
}

BOOL ComPort::WriteEx(LPCVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                      LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    return StartWrite(buffer, count, nullptr, overlapped, routine);
}

BOOL ComPort::StartWrite(LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped,
                         LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    if (!CanWrite())
        return plat::Fail(ERROR_ACCESS_DENIED);
    const auto *in = static_cast<const char *>(buffer);
    return Run(
        Direction::Out, [this, in, count](const Stopped &stopped) { return WriteNow(in, count, stopped); },
        count <= kWriteAtOnce, done, overlapped, routine);
}

BOOL ComPort::Flush()
{
    const WaitOutcome outcome = plat::WaitForCondition([this] { return OutQueue(Descriptor()) == 0; },
                                                       std::nullopt, AbortCheck(Direction::Out));
    return outcome == WaitOutcome::Ready ? TRUE : plat::Fail(ERROR_OPERATION_ABORTED);
}

bool ComPort::IsPending(const OVERLAPPED *overlapped) const
{
    std::lock_guard guard(mutex_);
    return std::any_of(operations_.begin(), operations_.end(), [overlapped](const Operation &operation) {
        return operation.overlapped == overlapped && !operation.complete;
    });
}

void ComPort::CancelThreadIo(DWORD tid)
{
    {
        std::lock_guard guard(mutex_);
        for (Operation &operation : operations_)
            if (operation.tid == tid)
                operation.cancelled = true;
    }
    plat::NotifyWaiters();
}

BOOL ComPort::GetState(DCB &dcb) const
{
    termios t = {};
    if (::tcgetattr(Descriptor(), &t) != 0)
        return plat::FailFromErrno();
    std::lock_guard guard(mutex_);
    dcb = DcbFromTermios(t, kept_, modemLines_);
    return TRUE;
}

BOOL ComPort::SetState(const DCB &dcb)
{
    if (DWORD error = CheckDcb(dcb))
        return plat::Fail(error);
    termios t = {};
    if (::tcgetattr(Descriptor(), &t) != 0)
        return plat::FailFromErrno();
    DcbToTermios(dcb, t);
    if (::tcsetattr(Descriptor(), TCSANOW, &t) != 0)
        return plat::FailFromErrno();
    std::lock_guard guard(mutex_);
    kept_ = dcb;
    kept_.DCBlength = sizeof(DCB);
    if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE)
        dtr_ = dcb.fDtrControl == DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl == RTS_CONTROL_ENABLE || dcb.fRtsControl == RTS_CONTROL_DISABLE)
        rts_ = dcb.fRtsControl == RTS_CONTROL_ENABLE;
    return TRUE;
}

COMMTIMEOUTS ComPort::Timeouts() const
{
    std::lock_guard guard(mutex_);
    return timeouts_;
}

void ComPort::SetTimeouts(const COMMTIMEOUTS &timeouts)
{
    std::lock_guard guard(mutex_);
    timeouts_ = timeouts;
}

DWORD ComPort::Mask() const
{
    std::lock_guard guard(mutex_);
    return mask_;
}

void ComPort::SetMask(DWORD mask)
{
    {
        std::lock_guard guard(mutex_);
        mask_ = mask;
        ++maskGeneration_;
        sentSinceEmpty_ = false;
    }
    plat::NotifyWaiters();
}

BOOL ComPort::WaitEvent(LPDWORD events, LPOVERLAPPED overlapped)
{
    unsigned generation;
    {
        std::lock_guard guard(mutex_);
        if (eventWaitPending_ || mask_ == 0)
            return plat::Fail(ERROR_INVALID_PARAMETER);
        eventWaitPending_ = true;
        generation = maskGeneration_;
    }
    const bool atOnce = FoundEvents(false) != 0;
    return Run(
        Direction::Event,
        [this, events, generation](const Stopped &stopped) {
            return WaitEventNow(events, generation, stopped);
        },
        atOnce, nullptr, overlapped, nullptr);
}

BOOL ComPort::Purge(DWORD flags)
{
    if (flags & ~static_cast<DWORD>(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    {
        std::lock_guard guard(mutex_);
        if (flags & PURGE_RXABORT)
            ++readAborts_;
        if (flags & PURGE_TXABORT)
            ++writeAborts_;
    }
    plat::NotifyWaiters();
    if ((flags & PURGE_RXCLEAR) && ::tcflush(Descriptor(), TCIFLUSH) != 0)
        return plat::FailFromErrno();
    if ((flags & PURGE_TXCLEAR) && ::tcflush(Descriptor(), TCOFLUSH) != 0)
        return plat::FailFromErrno();
    return TRUE;
}

void ComPort::Status(COMSTAT &stat) const
{
    stat = {};
    stat.cbInQue = InQueue(Descriptor());
    stat.cbOutQue = OutQueue(Descriptor());
}

DWORD ComPort::ModemStatus() const
{
    int lines = 0;
    if (modemLines_ && ::ioctl(Descriptor(), TIOCMGET, &lines) == 0)
        return ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
               ((lines & TIOCM_RNG) ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) ? MS_RLSD_ON : 0);
    pollfd item = {Descriptor(), 0, 0};
    const bool hungUp = ::poll(&item, 1, 0) > 0 && (item.revents & POLLHUP);
    return MS_CTS_ON | MS_DSR_ON | (hungUp ? 0 : MS_RLSD_ON);
}

BOOL ComPort::Escape(DWORD function)
{
    const int fd = Descriptor();
    auto line = [&](int bit, bool on, bool &kept) {
        if (modemLines_ && ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) != 0)
            return plat::FailFromErrno();
        std::lock_guard guard(mutex_);
        kept = on;
        return TRUE;
    };
    switch (function)
    {
    case SETXOFF:
        return ::tcflow(fd, TCOOFF) == 0 ? TRUE : plat::FailFromErrno();
    case SETXON:
        return ::tcflow(fd, TCOON) == 0 ? TRUE : plat::FailFromErrno();
    case SETRTS:
    case CLRRTS:
        return line(TIOCM_RTS, function == SETRTS, rts_);
    case SETDTR:
    case CLRDTR:
        return line(TIOCM_DTR, function == SETDTR, dtr_);
    case SETBREAK:
    case CLRBREAK:
        if (!modemLines_)
            return plat::Fail(ERROR_NOT_SUPPORTED); // a pty has no line to hold in break
        return ::ioctl(fd, function == SETBREAK ? TIOCSBRK : TIOCCBRK) == 0 ? TRUE : plat::FailFromErrno();
    case RESETDEV:
        return TRUE; // only printer ports reset
    default:
        return plat::Fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL ComPort::TransmitChar(char c)
{
    const Transfer result = WriteNow(&c, 1, AbortCheck(Direction::Out));
    return result.error == ERROR_SUCCESS && result.done == 1
               ? TRUE
               : plat::Fail(result.error ? result.error : ERROR_SEM_TIMEOUT);
}

void ComPort::Setup(DWORD inQueue, DWORD outQueue)
{
    std::lock_guard guard(mutex_);
    inQueueSize_ = inQueue;
    outQueueSize_ = outQueue;
}

void ComPort::Properties(COMMPROP &prop) const
{
    prop = {};
    prop.wPacketLength = sizeof(COMMPROP);
    prop.wPacketVersion = 2;
    prop.dwServiceMask = SP_SERIALCOMM;
    prop.dwMaxBaud = BAUD_USER;
    prop.dwProvSubType = PST_RS232;
    prop.dwProvCapabilities = PCF_DTRDSR | PCF_RTSCTS | PCF_RLSD | PCF_PARITY_CHECK | PCF_XONXOFF |
                              PCF_SETXCHAR | PCF_TOTALTIMEOUTS | PCF_INTTIMEOUTS | PCF_SPECIALCHARS;
    prop.dwSettableParams =
        SP_PARITY | SP_BAUD | SP_DATABITS | SP_STOPBITS | SP_HANDSHAKING | SP_PARITY_CHECK | SP_RLSD;
    prop.dwSettableBaud = BAUD_USER;
    for (const BaudSpeed &entry : kBauds)
        prop.dwSettableBaud |= entry.bit;
    prop.wSettableData = DATABITS_5 | DATABITS_6 | DATABITS_7 | DATABITS_8;
    prop.wSettableStopParity = STOPBITS_10 | STOPBITS_15 | STOPBITS_20 | PARITY_NONE | PARITY_ODD |
                               PARITY_EVEN | PARITY_MARK | PARITY_SPACE;
    std::lock_guard guard(mutex_);
    prop.dwCurrentTxQueue = outQueueSize_;
    prop.dwCurrentRxQueue = inQueueSize_;
}

std::shared_ptr<plat::FileObject> MakeComPort(plat::FileObject::Init init)
{
    const int fd = init.fd.Get();
    termios t = {};
    if (::tcgetattr(fd, &t) != 0)
        return std::make_shared<plat::FileObject>(std::move(init)); // a character device, not a tty
    MakeRaw(t);
    ::tcsetattr(fd, TCSANOW, &t);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); // every wait is the platform's
    int lines = 0;
    const bool modemLines = ::ioctl(fd, TIOCMGET, &lines) == 0;
    return std::make_shared<ComPort>(std::move(init), modemLines);
}

const bool g_factory = (plat::SetComPortFactory(&MakeComPort), true);

// The COM port behind a handle, or nullptr with the error set (another kind of file cannot do
// what a port does).
std::shared_ptr<ComPort> PortOf(HANDLE handle)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(handle);
    if (!file)
        return nullptr;
    std::shared_ptr<ComPort> port = std::dynamic_pointer_cast<ComPort>(file);
    if (!port)
        SetLastError(ERROR_INVALID_FUNCTION);
    return port;
}

// ---------------------------------------------------------------------------------------------
// Default configurations, kept in the registry by port name

constexpr char kDefaultsKey[] = "System\\CurrentControlSet\\Services\\Serial\\Parameters";

// "COMn" of a port the PC has (devices/COMn linked to a tty), or the error.
DWORD CheckPortName(LPCSTR name, std::string &port)
{
    if (!name)
        return ERROR_INVALID_PARAMETER;
    std::string text = name;
    if (text.size() < 4 || (text.compare(0, 3, "COM") != 0 && text.compare(0, 3, "com") != 0) ||
        text.find_first_not_of("0123456789", 3) != std::string::npos)
        return ERROR_FILE_NOT_FOUND;
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    struct stat st = {};
    if (::stat(kitpc::PathOf("devices/" + text).c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    port = text;
    return ERROR_SUCCESS;
}

COMMCONFIG ConfigOf(const DCB &dcb)
{
    COMMCONFIG config = {};
    config.dwSize = sizeof(COMMCONFIG);
    config.wVersion = 1;
    config.dcb = dcb;
    config.dwProviderSubType = PST_RS232;
    return config;
}

// Copies a configuration out under GetCommConfig's size rules.
BOOL GiveConfig(const COMMCONFIG &config, LPCOMMCONFIG out, LPDWORD size)
{
    if (!size)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (!out || *size < sizeof(COMMCONFIG))
    {
        *size = sizeof(COMMCONFIG);
        return plat::Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    *out = config;
    *size = sizeof(COMMCONFIG);
    return TRUE;
}

DWORD CheckConfig(LPCOMMCONFIG config, DWORD size)
{
    if (!config)
        return ERROR_INVALID_PARAMETER;
    if (size < sizeof(COMMCONFIG))
        return ERROR_INSUFFICIENT_BUFFER;
    return CheckDcb(config->dcb);
}
} // namespace

// GetCommState: the port's line settings. Baud rate, data bits, parity, stop bits, CTS/RTS
// handshake, XON/XOFF and their characters, parity checking come from the tty; the other
// members are given back as SetCommState was given them.
BOOL WINAPI GetCommState(HANDLE hFile, LPDCB lpDCB)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpDCB)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    return port->GetState(*lpDCB);
}

// SetCommState: sets the line. Rates the tty has (others ERROR_INVALID_PARAMETER), 5-8 data
// bits, all five parities, one or two stop bits (one and a half with 5 data bits only),
// fOutxCtsFlow or RTS_CONTROL_HANDSHAKE as CRTSCTS, fOutX/fInX with XonChar/XoffChar. Kept,
// not applied: XonLim/XoffLim, DTR control, DSR flow and sensitivity (a pty's DSR is always
// on), fTXContinueOnXoff, fErrorChar/ErrorChar, fNull, fAbortOnError, EofChar, EvtChar.
BOOL WINAPI SetCommState(HANDLE hFile, LPDCB lpDCB)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpDCB)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    return port->SetState(*lpDCB);
}

// GetCommTimeouts: the handle's time-outs (all 0 when opened).
BOOL WINAPI GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpCommTimeouts)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    *lpCommTimeouts = port->Timeouts();
    return TRUE;
}

// SetCommTimeouts: the time-outs of later reads and writes, with Windows' rules: the interval
// timer runs from each byte received; the totals are multiplier × count + constant; read
// interval MAXDWORD with zero totals returns at once with what is there; interval and read
// multiplier MAXDWORD with a constant wait up to the constant for the first byte; all zero
// waits for the whole count.
BOOL WINAPI SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpCommTimeouts)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    port->SetTimeouts(*lpCommTimeouts);
    return TRUE;
}

// SetCommMask: the events WaitCommEvent waits for; ends a pending WaitCommEvent with no events.
// Only EV_RXCHAR and EV_TXEMPTY ever occur (line-state events have no lines on a pty).
BOOL WINAPI SetCommMask(HANDLE hFile, DWORD dwEvtMask)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (dwEvtMask & ~static_cast<DWORD>(0x1FFF))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    port->SetMask(dwEvtMask);
    return TRUE;
}

// GetCommMask: the event mask.
BOOL WINAPI GetCommMask(HANDLE hFile, LPDWORD lpEvtMask)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpEvtMask)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    *lpEvtMask = port->Mask();
    return TRUE;
}

// WaitCommEvent: waits for an event of the mask: EV_RXCHAR while received bytes wait to be read,
// EV_TXEMPTY once the output written since the mask was set has drained. Overlapped on an
// overlapped handle (ERROR_IO_PENDING; *lpEvtMask is written at completion). One wait at a time
// (ERROR_INVALID_PARAMETER), as with an empty mask.
BOOL WINAPI WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpEvtMask || (port->Overlapped() && !lpOverlapped))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    return port->WaitEvent(lpEvtMask, lpOverlapped);
}

// PurgeComm: PURGE_RXABORT / PURGE_TXABORT end every pending read / write (ERROR_OPERATION_ABORTED),
// PURGE_RXCLEAR / PURGE_TXCLEAR discard the tty's input / output.
BOOL WINAPI PurgeComm(HANDLE hFile, DWORD dwFlags)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    return port->Purge(dwFlags);
}

// ClearCommError: the line errors (a pty has none: 0) and the status: cbInQue and cbOutQue from
// the tty; no hold flags.
BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (lpErrors)
        *lpErrors = 0;
    if (lpStat)
        port->Status(*lpStat);
    return TRUE;
}

// GetCommModemStatus: a tty's CTS, DSR, RING and RLSD; on a pty CTS and DSR are on and RLSD is
// on while the other side holds the pty.
BOOL WINAPI GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpModemStat)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    *lpModemStat = port->ModemStatus();
    return TRUE;
}

// EscapeCommFunction: SETXOFF/SETXON hold and resume output; SETDTR, CLRDTR, SETRTS, CLRRTS drive a
// tty's lines (a pty's are only remembered); SETBREAK/CLRBREAK on a pty fail with
// ERROR_NOT_SUPPORTED; RESETDEV does nothing.
BOOL WINAPI EscapeCommFunction(HANDLE hFile, DWORD dwFunc)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    return port->Escape(dwFunc);
}

// TransmitCommChar: sends the character. Differs: in order with the output, not ahead of it.
BOOL WINAPI TransmitCommChar(HANDLE hFile, char cChar)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    return port->TransmitChar(cChar);
}

// SetCommBreak: EscapeCommFunction(SETBREAK).
BOOL WINAPI SetCommBreak(HANDLE hFile)
{
    return EscapeCommFunction(hFile, SETBREAK);
}

// ClearCommBreak: EscapeCommFunction(CLRBREAK).
BOOL WINAPI ClearCommBreak(HANDLE hFile)
{
    return EscapeCommFunction(hFile, CLRBREAK);
}

// SetupComm: the queue sizes are kept and reported by GetCommProperties; the tty's buffers stay
// as they are.
BOOL WINAPI SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    port->Setup(dwInQueue, dwOutQueue);
    return TRUE;
}

// GetCommProperties: an RS-232 port with every setting SetCommState takes.
BOOL WINAPI GetCommProperties(HANDLE hFile, LPCOMMPROP lpCommProp)
{
    std::shared_ptr<ComPort> port = PortOf(hFile);
    if (!port)
        return FALSE;
    if (!lpCommProp)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    port->Properties(*lpCommProp);
    return TRUE;
}

// GetCommConfig: the port's DCB in a COMMCONFIG (52 bytes, no provider data); a smaller
// *lpdwSize gets ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL WINAPI GetCommConfig(HANDLE hCommDev, LPCOMMCONFIG lpCC, LPDWORD lpdwSize)
{
    std::shared_ptr<ComPort> port = PortOf(hCommDev);
    if (!port)
        return FALSE;
    DCB dcb;
    if (!port->GetState(dcb))
        return FALSE;
    return GiveConfig(ConfigOf(dcb), lpCC, lpdwSize);
}

// SetCommConfig: SetCommState with the configuration's DCB.
BOOL WINAPI SetCommConfig(HANDLE hCommDev, LPCOMMCONFIG lpCC, DWORD dwSize)
{
    std::shared_ptr<ComPort> port = PortOf(hCommDev);
    if (!port)
        return FALSE;
    if (DWORD error = CheckConfig(lpCC, dwSize))
        return plat::Fail(error);
    return port->SetState(lpCC->dcb);
}

// GetDefaultCommConfigA: the default configuration of the port "COMn" (one the PC has, else
// ERROR_FILE_NOT_FOUND): as SetDefaultCommConfigA left it in the registry (HKLM,
// System\CurrentControlSet\Services\Serial\Parameters\COMn, "DefaultCommConfig"), else 9600 baud, 8 data
// bits, no parity, one stop bit.
BOOL WINAPI GetDefaultCommConfigA(LPCSTR lpszName, LPCOMMCONFIG lpCC, LPDWORD lpdwSize)
{
    std::string port;
    if (DWORD error = CheckPortName(lpszName, port))
        return plat::Fail(error);
    COMMCONFIG config = ConfigOf(DefaultDcb());
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kDefaultsKey) + "\\" + port).c_str(), 0, KEY_READ,
                      &key) == ERROR_SUCCESS)
    {
        COMMCONFIG stored = {};
        DWORD type = 0, size = sizeof stored;
        if (RegQueryValueExA(key, "DefaultCommConfig", nullptr, &type, reinterpret_cast<LPBYTE>(&stored),
                             &size) == ERROR_SUCCESS &&
            type == REG_BINARY && size == sizeof stored)
            config = stored;
        RegCloseKey(key);
    }
    return GiveConfig(config, lpCC, lpdwSize);
}

// SetDefaultCommConfigA: keeps the port's default configuration (see GetDefaultCommConfigA); the
// DCB must be one SetCommState takes.
BOOL WINAPI SetDefaultCommConfigA(LPCSTR lpszName, LPCOMMCONFIG lpCC, DWORD dwSize)
{
    std::string port;
    if (DWORD error = CheckPortName(lpszName, port))
        return plat::Fail(error);
    if (DWORD error = CheckConfig(lpCC, dwSize))
        return plat::Fail(error);
    COMMCONFIG config = ConfigOf(lpCC->dcb);
    config.dcb.DCBlength = sizeof(DCB);
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kDefaultsKey) + "\\" + port).c_str(), 0,
                                  nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS)
    {
        result = RegSetValueExA(key, "DefaultCommConfig", 0, REG_BINARY,
                                reinterpret_cast<const BYTE *>(&config), sizeof config);
        RegCloseKey(key);
    }
    return result == ERROR_SUCCESS ? TRUE : plat::Fail(static_cast<DWORD>(result));
}
