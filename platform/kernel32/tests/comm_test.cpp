// Communications ports. On the simulated PC over a pty: the test holds the master side and plays
// the device. A Windows test has no device to play, so there only what needs no port is checked.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#ifndef _WIN32
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace
{
constexpr DWORD kSentinel = 0xdeadbeef;

// The comm functions on a handle that is no port: the device refuses the request.
TEST(CommDevice, FunctionsNeedAPort)
{
    const std::string path = kittest::MachineDir() + "/plain.txt";
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    SetLastError(kSentinel);
    EXPECT_FALSE(GetCommState(file, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    COMMTIMEOUTS timeouts = {};
    SetLastError(kSentinel);
    EXPECT_FALSE(GetCommTimeouts(file, &timeouts));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetCommMask(file, EV_RXCHAR));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    SetLastError(kSentinel);
    EXPECT_FALSE(PurgeComm(file, PURGE_RXCLEAR));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    CloseHandle(file);

    SetLastError(kSentinel);
    EXPECT_FALSE(GetCommState(INVALID_HANDLE_VALUE, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A port the PC does not have.
TEST(CommDevice, MissingPortIsNotFound)
{
    SetLastError(kSentinel);
    EXPECT_EQ(
        CreateFileA("\\\\.\\COM250", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

#ifndef _WIN32

// A pty linked as the PC's COM1; the master is the device's end.
class Line
{
  public:
    Line()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
        {
            slave_ = ::ptsname(master_);
            ::symlink(slave_.c_str(), (kittest::MachineDir() + "/devices/COM1").c_str());
        }
    }
    ~Line() { Hangup(); }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    void Send(const std::string &bytes)
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    std::string Receive(size_t count)
    {
        std::string bytes(count, '\0');
        size_t got = 0;
        while (got < count)
        {
            ssize_t n = ::read(master_, bytes.data() + got, count - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }
    termios Termios() const
    {
        termios t = {};
        int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::tcgetattr(fd, &t);
        ::close(fd);
        return t;
    }
    void Hangup()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

HANDLE OpenCom(DWORD flags = 0)
{
    return CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags,
                       nullptr);
}

void SetTimeouts(HANDLE port, DWORD interval, DWORD multiplier, DWORD constant)
{
    COMMTIMEOUTS t = {interval, multiplier, constant, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
}

std::string ReadSome(HANDLE port, DWORD count)
{
    std::string bytes(count, '\0');
    DWORD done = kSentinel;
    EXPECT_TRUE(ReadFile(port, bytes.data(), count, &done, nullptr)) << GetLastError();
    bytes.resize(done == kSentinel ? 0 : done);
    return bytes;
}

TEST(CommState, DcbMapsToTermiosAndBack)
{
    Line line;
    HANDLE port = OpenCom();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    struct Case
    {
        DWORD baud;
        BYTE size, parity, stop;
        bool cts, outX, inX, check;
        speed_t speed;
        tcflag_t cflags; // of CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS
        tcflag_t iflags; // of IXON | IXOFF | INPCK
    } cases[] = {
        {9600, 8, NOPARITY, ONESTOPBIT, false, false, false, false, B9600, CS8, 0},
        {115200, 7, EVENPARITY, TWOSTOPBITS, true, false, false, true, B115200,
         CS7 | PARENB | CSTOPB | CRTSCTS, INPCK},
        {2400, 6, ODDPARITY, ONESTOPBIT, false, true, true, false, B2400, CS6 | PARENB | PARODD,
         IXON | IXOFF},
        {300, 5, MARKPARITY, ONE5STOPBITS, false, false, false, false, B300,
         CS5 | PARENB | PARODD | CMSPAR | CSTOPB, 0},
        {57600, 8, SPACEPARITY, ONESTOPBIT, false, true, false, false, B57600, CS8 | PARENB | CMSPAR, IXON},
    };
    for (const Case &c : cases)
    {
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(GetCommState(port, &dcb));
        dcb.BaudRate = c.baud;
        dcb.ByteSize = c.size;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop;
        dcb.fOutxCtsFlow = c.cts;
        dcb.fRtsControl = c.cts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        dcb.fOutX = c.outX;
        dcb.fInX = c.inX;
        dcb.fParity = c.check;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.XonLim = 100;
        dcb.XoffLim = 200;
        dcb.EvtChar = '\n';
        dcb.fNull = 1;
        ASSERT_TRUE(SetCommState(port, &dcb)) << c.baud << " error " << GetLastError();
        const termios t = line.Termios();
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.baud;
        // A pty keeps 8 bits without parity whatever it is told; the rest it keeps.
        EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS),
                  c.cflags & (PARODD | CMSPAR | CSTOPB | CRTSCTS))
            << c.baud;
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), c.iflags) << c.baud;
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
        DCB back = {};
        ASSERT_TRUE(GetCommState(port, &back));
        EXPECT_EQ(back.BaudRate, c.baud);
        EXPECT_EQ(back.ByteSize, c.size);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stop);
        EXPECT_EQ(back.fOutxCtsFlow, DWORD(c.cts));
        EXPECT_EQ(back.fOutX, DWORD(c.outX));
        EXPECT_EQ(back.fInX, DWORD(c.inX));
        EXPECT_EQ(back.fParity, DWORD(c.check));
        EXPECT_EQ(back.XonLim, 100);
        EXPECT_EQ(back.XoffLim, 200);
        EXPECT_EQ(back.EvtChar, '\n');
        EXPECT_EQ(back.fNull, 1u);
        EXPECT_EQ(back.DCBlength, sizeof(DCB));
    }
    CloseHandle(port);
}

TEST(CommState, RefusesWhatAUartCannotDo)
{
    Line line;
    HANDLE port = OpenCom();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB good = {};
    ASSERT_TRUE(GetCommState(port, &good));
    auto refused = [&](auto change) {
        DCB dcb = good;
        change(dcb);
        SetLastError(kSentinel);
        return !SetCommState(port, &dcb) && GetLastError() == ERROR_INVALID_PARAMETER;
    };
    EXPECT_TRUE(refused([](DCB &d) { d.BaudRate = 14400; }));
    EXPECT_TRUE(refused([](DCB &d) { d.ByteSize = 9; }));
    EXPECT_TRUE(refused([](DCB &d) { d.ByteSize = 4; }));
    EXPECT_TRUE(refused([](DCB &d) { d.Parity = 5; }));
    EXPECT_TRUE(refused([](DCB &d) { d.ByteSize = 8, d.StopBits = ONE5STOPBITS; }));
    EXPECT_TRUE(refused([](DCB &d) { d.ByteSize = 5, d.StopBits = TWOSTOPBITS; }));
    EXPECT_TRUE(refused([](DCB &d) { d.fOutX = 1, d.XonChar = d.XoffChar = 0x11; }));
    CloseHandle(port);
}

TEST(CommTimeouts, ReadRulesByByteCounts)
{
    Line line;
    HANDLE port = OpenCom();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS none = {1, 1, 1, 1, 1};
    ASSERT_TRUE(GetCommTimeouts(port, &none));
    EXPECT_EQ(none.ReadIntervalTimeout, 0u);
    EXPECT_EQ(none.ReadTotalTimeoutConstant, 0u);

    // Interval MAXDWORD, no totals: what is buffered, at once, possibly nothing.
    SetTimeouts(port, MAXDWORD, 0, 0);
    EXPECT_EQ(ReadSome(port, 10), "");
    line.Send("abc");
    Sleep(50);
    EXPECT_EQ(ReadSome(port, 10), "abc");

    // A total constant with nothing coming: no bytes.
    SetTimeouts(port, 0, 0, 60);
    EXPECT_EQ(ReadSome(port, 4), "");
    // The count arrives before the total: the count.
    line.Send("12345");
    EXPECT_EQ(ReadSome(port, 4), "1234");
    EXPECT_EQ(ReadSome(port, 4), "5");

    // The interval timer: the first burst only, the second stays for the next read.
    SetTimeouts(port, 40, 0, 2000);
    line.Send("burst");
    Sleep(20);
    std::string first = ReadSome(port, 64);
    EXPECT_EQ(first, "burst");
    line.Send("two");
    EXPECT_EQ(ReadSome(port, 64), "two");

    // The documented special case: waits for the first byte, returns what is there.
    SetTimeouts(port, MAXDWORD, MAXDWORD, 80);
    EXPECT_EQ(ReadSome(port, 10), "");
    line.Send("xy");
    Sleep(30);
    EXPECT_EQ(ReadSome(port, 10), "xy");

    // All zero: waits for the whole count.
    SetTimeouts(port, 0, 0, 0);
    line.Send("ab");
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string got;
    HANDLE reader = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            std::unique_ptr<std::pair<HANDLE, std::string *>> args(
                static_cast<std::pair<HANDLE, std::string *> *>(p));
            *args->second = ReadSome(args->first, 4);
            return 0;
        },
        new std::pair<HANDLE, std::string *>(port, &got), 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(reader, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    line.Send("cd");
    EXPECT_EQ(WaitForSingleObject(reader, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(got, "abcd");
    CloseHandle(reader);
    CloseHandle(done);
    CloseHandle(port);
}

TEST(CommEvents, RxCharTxEmptyPurgeAndCounts)
{
    Line line;
    HANDLE port = OpenCom();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_TXEMPTY));
    DWORD mask = 0;
    ASSERT_TRUE(GetCommMask(port, &mask));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR | EV_TXEMPTY));

    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, "ATZ\r", 4, &written, nullptr));
    DWORD events = kSentinel;
    ASSERT_TRUE(WaitCommEvent(port, &events, nullptr));
    EXPECT_EQ(events, static_cast<DWORD>(EV_TXEMPTY));
    EXPECT_EQ(line.Receive(4), "ATZ\r");

    line.Send("OK\r\n");
    Sleep(30);
    events = kSentinel;
    ASSERT_TRUE(WaitCommEvent(port, &events, nullptr));
    EXPECT_EQ(events, static_cast<DWORD>(EV_RXCHAR));
    DWORD errors = kSentinel;
    COMSTAT stat;
    std::memset(&stat, 0xAB, sizeof stat);
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 4u);
    EXPECT_EQ(stat.cbOutQue, 0u);
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR));
    ASSERT_TRUE(ClearCommError(port, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);
    SetLastError(kSentinel);
    EXPECT_FALSE(PurgeComm(port, 0x10));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    DWORD modem = 0;
    ASSERT_TRUE(GetCommModemStatus(port, &modem));
    EXPECT_EQ(modem, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
    EXPECT_TRUE(EscapeCommFunction(port, SETDTR));
    EXPECT_TRUE(EscapeCommFunction(port, CLRRTS));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetCommBreak(port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(SetupComm(port, 1024, 512));
    COMMPROP prop = {};
    ASSERT_TRUE(GetCommProperties(port, &prop));
    EXPECT_EQ(prop.wPacketLength, sizeof(COMMPROP));
    EXPECT_EQ(prop.dwProvSubType, PST_RS232);
    EXPECT_EQ(prop.dwCurrentRxQueue, 1024u);
    EXPECT_NE(prop.dwSettableBaud & BAUD_115200, 0u);
    EXPECT_EQ(prop.dwSettableBaud & BAUD_14400, 0u);
    ASSERT_TRUE(TransmitCommChar(port, 'Q'));
    EXPECT_EQ(line.Receive(1), "Q");
    EXPECT_TRUE(FlushFileBuffers(port));
    CloseHandle(port);
}

TEST(CommOverlapped, PendingCompletedCancelledAndMaskChange)
{
    Line line;
    HANDLE port = OpenCom(FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char buffer[8] = {};
    DWORD done = kSentinel;
    SetLastError(kSentinel);
    ASSERT_FALSE(ReadFile(port, buffer, 3, &done, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    SetLastError(kSentinel);
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &done, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    line.Send("xyz");
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(HasOverlappedIoCompleted(&ov));
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &done, TRUE));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(std::string(buffer, 3), "xyz");

    // CancelIo ends the thread's pending read.
    ASSERT_FALSE(ReadFile(port, buffer, 3, &done, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(CancelIo(port));
    SetLastError(kSentinel);
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &done, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));

    // PURGE_RXABORT likewise.
    ASSERT_FALSE(ReadFile(port, buffer, 3, &done, &ov));
    ASSERT_TRUE(PurgeComm(port, PURGE_RXABORT));
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &done, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));

    // A new mask ends a pending WaitCommEvent with no events.
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = kSentinel;
    ASSERT_FALSE(WaitCommEvent(port, &events, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &done, TRUE));
    EXPECT_EQ(events, 0u);
    // And bytes arriving end it with EV_RXCHAR.
    ASSERT_FALSE(WaitCommEvent(port, &events, &ov));
    line.Send("!");
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &done, TRUE));
    EXPECT_EQ(events, static_cast<DWORD>(EV_RXCHAR));

    // A read still pending when the handle closes ends, aborted.
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    ResetEvent(ov.hEvent);
    ASSERT_FALSE(ReadFile(port, buffer, 3, &done, &ov));
    CloseHandle(port);
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ov.Internal, 0xC0000120u);
    CloseHandle(ov.hEvent);
}

int g_completions = 0;
DWORD g_completedBytes = 0;
void WINAPI Completed(DWORD error, DWORD bytes, LPOVERLAPPED)
{
    if (error == ERROR_SUCCESS)
        g_completedBytes = bytes;
    ++g_completions;
}
void WINAPI Apc(ULONG_PTR data)
{
    g_completions += static_cast<int>(data);
}

TEST(CommApc, CompletionRoutinesRunOnlyInAlertableWaits)
{
    Line line;
    HANDLE port = OpenCom(FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    g_completions = 0;
    OVERLAPPED ov = {};
    ov.hEvent = reinterpret_cast<HANDLE>(0x1234); // the caller's own data with Ex calls
    char buffer[4] = {};
    SetLastError(kSentinel);
    ASSERT_TRUE(ReadFileEx(port, buffer, 2, &ov, &Completed));
    line.Send("hi");
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(never, 200), static_cast<DWORD>(WAIT_TIMEOUT));
    Sleep(50);
    EXPECT_EQ(g_completions, 0);
    EXPECT_EQ(SleepEx(5000, TRUE), static_cast<DWORD>(WAIT_IO_COMPLETION));
    EXPECT_EQ(g_completions, 1);
    EXPECT_EQ(g_completedBytes, 2u);
    EXPECT_EQ(std::string(buffer, 2), "hi");
    EXPECT_EQ(ov.hEvent, reinterpret_cast<HANDLE>(0x1234));

    ASSERT_TRUE(WriteFileEx(port, "ok", 2, &ov, &Completed));
    EXPECT_EQ(WaitForSingleObjectEx(never, 5000, TRUE), static_cast<DWORD>(WAIT_IO_COMPLETION));
    EXPECT_EQ(g_completions, 2);
    EXPECT_EQ(line.Receive(2), "ok");

    ASSERT_NE(QueueUserAPC(&Apc, GetCurrentThread(), 10), 0u);
    EXPECT_EQ(SleepEx(0, FALSE), 0u);
    EXPECT_EQ(g_completions, 2);
    EXPECT_EQ(WaitForMultipleObjectsEx(1, &never, FALSE, 5000, TRUE), static_cast<DWORD>(WAIT_IO_COMPLETION));
    EXPECT_EQ(g_completions, 12);
    EXPECT_EQ(SleepEx(10, TRUE), 0u);
    CloseHandle(never);
    CloseHandle(port);
}

TEST(CommDevice, VanishingRefusedAndMissing)
{
    SetLastError(kSentinel);
    EXPECT_EQ(OpenCom(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    Line line;
    HANDLE port = OpenCom();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetLastError(kSentinel);
    EXPECT_EQ(OpenCom(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    COMMCONFIG config = {};
    DWORD size = 10;
    SetLastError(kSentinel);
    EXPECT_FALSE(GetCommConfig(port, &config, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 52u);
    ASSERT_TRUE(GetCommConfig(port, &config, &size));
    EXPECT_EQ(config.dwSize, 52u);
    config.dcb.BaudRate = 19200;
    ASSERT_TRUE(SetDefaultCommConfigA("COM1", &config, sizeof config));
    COMMCONFIG back = {};
    size = sizeof back;
    ASSERT_TRUE(GetDefaultCommConfigA("COM1", &back, &size));
    EXPECT_EQ(back.dcb.BaudRate, 19200u);
    SetLastError(kSentinel);
    EXPECT_FALSE(GetDefaultCommConfigA("COM7", &back, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The device goes away in the middle of a read that would wait for ever.
    SetTimeouts(port, 0, 0, 0);
    HANDLE reader = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            char buffer[4];
            DWORD done = 0;
            return ReadFile(static_cast<HANDLE>(p), buffer, 4, &done, nullptr) ? 0 : GetLastError();
        },
        port, 0, nullptr);
    Sleep(50);
    line.Hangup();
    ASSERT_EQ(WaitForSingleObject(reader, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(reader, &code);
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    CloseHandle(reader);
    CloseHandle(port);
}
#endif
} // namespace
