// CSerialPort against a device of our own on a pseudo-terminal: the line setting as the port
// and the tty see it, the failures it throws, WaitForAnswer's sending, echo, collecting and
// classifying, the handle's ownership, the completion routines and the debug copy.
#include "comun/SerialPort.h"
#include "platform/kit/kitmachine.h"
#include "testing/kittest.h"
#include "testing/pty.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
using kittest::PtyDevice;

// The code a CSerialException thrown by `action` carries; 0 when nothing was thrown.
template <class F> DWORD ErrorOf(F action)
{
    try
    {
        action();
    }
    catch (CSerialException *e)
    {
        const DWORD code = e->m_dwError;
        e->Delete();
        return code;
    }
    return 0;
}

void OpenConsoleLine(CSerialPort &port, int nPort = 1)
{
    port.Open(nPort, 9600, CSerialPort::NoParity, 8, CSerialPort::OneStopBit, CSerialPort::NoFlowControl,
              FALSE);
    COMMTIMEOUTS timeouts = {25, 10, 300, 10, 10};
    port.SetTimeouts(timeouts);
}

// A device that answers each burst the PC sends with `answer` (once).
class Answering
{
  public:
    Answering(PtyDevice &device, std::string answer)
        : thread_([&device, answer = std::move(answer), this] {
              received_ = device.ReceiveUntil("\r", 5000);
              device.Send(answer);
          })
    {
    }
    ~Answering()
    {
        if (thread_.joinable())
            thread_.join();
    }
    std::string Received()
    {
        if (thread_.joinable())
            thread_.join();
        return received_;
    }

  private:
    std::string received_;
    std::thread thread_;
};
} // namespace

TEST(SerialPort, OpensTheLineWithItsSetting)
{
    PtyDevice device;
    ASSERT_TRUE(device.Ok());
    CSerialPort port;
    EXPECT_FALSE(port.IsOpen());
    port.Open(1, 9600, CSerialPort::NoParity, 8, CSerialPort::OneStopBit, CSerialPort::NoFlowControl, FALSE);
    ASSERT_TRUE(port.IsOpen());
    DCB dcb{};
    port.GetState(dcb);
    EXPECT_EQ(9600u, dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(NOPARITY, dcb.Parity);
    EXPECT_EQ(ONESTOPBIT, dcb.StopBits);
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
    EXPECT_FALSE(dcb.fDsrSensitivity);
    // The tty itself runs the line so.
    const int fd = ::open(device.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(0, ::tcgetattr(fd, &tio));
    ::close(fd);
    EXPECT_EQ(static_cast<speed_t>(B9600), ::cfgetospeed(&tio));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), tio.c_cflag & CSIZE);
    EXPECT_EQ(0u, tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));

    // XON/XOFF with its characters and limits; odd parity, two stop bits, seven bits.
    port.Open(1, 4800, CSerialPort::OddParity, 7, CSerialPort::TwoStopBits, CSerialPort::XonXoffFlowControl,
              FALSE);
    port.GetState(dcb);
    EXPECT_EQ(4800u, dcb.BaudRate);
    EXPECT_EQ(ODDPARITY, dcb.Parity);
    EXPECT_EQ(TWOSTOPBITS, dcb.StopBits);
    EXPECT_EQ(7, dcb.ByteSize);
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_TRUE(dcb.fInX);
    EXPECT_EQ(0x11, dcb.XonChar);
    EXPECT_EQ(0x13, dcb.XoffChar);
    EXPECT_EQ(100, dcb.XonLim);
    EXPECT_EQ(100, dcb.XoffLim);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    port.Close(); // a closed port is left alone
}

TEST(SerialPort, PortsThatAreMissingOrTakenThrowAndStayClosed)
{
    CSerialPort missing;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ErrorOf([&] { OpenConsoleLine(missing, 7); }));
    EXPECT_FALSE(missing.IsOpen());

    PtyDevice device;
    ASSERT_TRUE(device.Ok());
    CSerialPort first, second;
    OpenConsoleLine(first);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ErrorOf([&] { OpenConsoleLine(second); }));
    EXPECT_FALSE(second.IsOpen());

    // A closed port's calls reach the system with an invalid handle, and throw its error.
    CSerialPort closed;
    DCB dcb{};
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), ErrorOf([&] { closed.GetState(dcb); }));

    // The message of an error, in the system's default language.
    CSerialException e(ERROR_FILE_NOT_FOUND);
    e.m_bAutoDelete = FALSE;
    const CString text = e.GetErrorMessage();
    EXPECT_FALSE(text.IsEmpty());
    char small[8];
    UINT help = 7;
    EXPECT_TRUE(e.GetErrorMessage(small, sizeof small, &help));
    EXPECT_EQ(0u, help);
    EXPECT_EQ(text.Left(7), small);
    CSerialException unknown(0x2FFFFFFF);
    unknown.m_bAutoDelete = FALSE;
    EXPECT_TRUE(unknown.GetErrorMessage().IsEmpty());
    SetLastError(ERROR_GEN_FAILURE);
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), ErrorOf([] { AfxThrowSerialException(); }));
}

TEST(SerialPort, WaitForAnswerClassifiesWhatTheDeviceSays)
{
    PtyDevice device;
    ASSERT_TRUE(device.Ok());
    CSerialPort port;
    OpenConsoleLine(port);
    {
        Answering peer(device, "Menu 3 ... Invalid selection");
        EXPECT_EQ(-1, port.WaitForAnswer("3\r", "Menu", "Invalid", 0, FALSE)); // the error wins
        EXPECT_EQ("3\r", peer.Received());
    }
    {
        Answering peer(device, "Prestige 643 Main Menu");
        EXPECT_EQ(1, port.WaitForAnswer("\r", "Main Menu", "Invalid", 0, FALSE));
    }
    EXPECT_EQ(port.GetReceivedData(), "Prestige 643 Main Menu");
    {
        Answering peer(device, "otra cosa");
        EXPECT_EQ(0, port.WaitForAnswer("\r", "", "", 0, FALSE));
    }
    EXPECT_EQ(port.GetReceivedData(), "otra cosa"); // stored all the same
    {
        // A chunk with a zero byte counts up to it, padded on the left with blanks.
        Answering peer(device, std::string("ab\0cd", 5));
        EXPECT_EQ(0, port.WaitForAnswer("\r", "cd", "", 0, FALSE));
    }
    EXPECT_EQ(port.GetReceivedData(), "   ab");
    {
        // Sent one character at a time.
        Answering peer(device, "ok");
        EXPECT_EQ(1, port.WaitForAnswer("5807\r", "ok", "", 5, FALSE));
        EXPECT_EQ("5807\r", peer.Received());
    }
}

TEST(SerialPort, AnEchoThatNeverComesEndsAfterFiveTries)
{
    PtyDevice device;
    ASSERT_TRUE(device.Ok());
    CSerialPort port;
    OpenConsoleLine(port);
    port.Set0ReadTimeout();
    EXPECT_EQ(0, port.WaitForAnswer("ab", "x", "", 20, TRUE));
    EXPECT_EQ("aaaaa", device.Receive()); // the first character five times, the second never
    EXPECT_TRUE(port.GetReceivedData().IsEmpty());

    // A device that echoes gets the whole command.
    std::atomic<bool> done{false};
    std::thread echo([&] {
        while (!done)
            device.Send(device.Receive(10));
    });
    EXPECT_EQ(0, port.WaitForAnswer("ab", "zz", "", 20, TRUE));
    done = true;
    echo.join();
}

TEST(SerialPort, AHandleDetachedStaysOpenAndAttachClosesTheOldOne)
{
    PtyDevice device;
    ASSERT_TRUE(device.Ok());
    HANDLE detached;
    {
        CSerialPort port;
        OpenConsoleLine(port);
        detached = port.Detach();
        EXPECT_FALSE(port.IsOpen());
    }
    DCB dcb{};
    EXPECT_TRUE(GetCommState(detached, &dcb)); // still open after the object went
    CSerialPort other;
    other.Attach(detached);
    EXPECT_EQ(detached, static_cast<HANDLE>(other));
    PtyDevice second(2);
    ASSERT_TRUE(second.Ok());
    CSerialPort fresh;
    OpenConsoleLine(fresh, 2);
    const HANDLE replaced = static_cast<HANDLE>(other);
    other.Attach(fresh.Detach());
    EXPECT_FALSE(GetCommState(replaced, &dcb)); // closed by Attach
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(SerialPort, CompletionRoutinesRunOnlyInAnAlertableWait)
{
    class CCounting : public CSerialPort
    {
      public:
        void OnCompletion(DWORD dwErrorCode, DWORD dwCount, LPOVERLAPPED lpOverlapped) override
        {
            lastError = dwErrorCode;
            bytes = dwCount;
            ++calls;
            CSerialPort::OnCompletion(dwErrorCode, dwCount, lpOverlapped);
        }
        DWORD lastError = 99, bytes = 0;
        int calls = 0;
    };
    PtyDevice device;
    ASSERT_TRUE(device.Ok());
    CCounting port;
    port.Open(1, 9600, CSerialPort::NoParity, 8, CSerialPort::OneStopBit, CSerialPort::NoFlowControl, TRUE);
    port.WriteEx("hola", 4);
    EXPECT_EQ("hola", device.ReceiveUntil("hola"));
    Sleep(50);
    EXPECT_EQ(0, port.calls); // a plain wait runs nothing
    EXPECT_EQ(static_cast<DWORD>(WAIT_IO_COMPLETION), SleepEx(1000, TRUE));
    EXPECT_EQ(1, port.calls);
    EXPECT_EQ(0u, port.lastError);
    EXPECT_EQ(4u, port.bytes);

    char buffer[16] = {};
    port.ReadEx(buffer, 3);
    device.Send("abc");
    EXPECT_EQ(static_cast<DWORD>(WAIT_IO_COMPLETION), SleepEx(2000, TRUE));
    EXPECT_EQ(2, port.calls);
    EXPECT_STREQ("abc", buffer);

    // CancelIo, found at run time in KERNEL32.DLL, ends a read that waits.
    port.ReadEx(buffer, 8);
    port.CancelIo();
    EXPECT_EQ(static_cast<DWORD>(WAIT_IO_COMPLETION), SleepEx(2000, TRUE));
    EXPECT_EQ(3, port.calls);
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), port.lastError);
}

TEST(SerialPort, TheDebugCopyHoldsTheBytesOnlyWhenAsked)
{
    PtyDevice device;
    ASSERT_TRUE(device.Ok());
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string log = std::string(temp) + "modempak.log";
    {
        CSerialPort port;
        OpenConsoleLine(port);
        port.SetLog(TRUE, CFile::modeCreate | CFile::modeWrite);
        Answering peer(device, "respuesta");
        port.WaitForAnswer("orden\r", "", "", 0, FALSE);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(log.c_str())); // DEBUG_ADSL not defined

    ASSERT_TRUE(SetEnvironmentVariableA("DEBUG_ADSL", ""));
    for (const char *answer : {"uno", "dos"})
    {
        CSerialPort port;
        OpenConsoleLine(port);
        port.SetLog(TRUE, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
        Answering peer(device, answer);
        port.WaitForAnswer("orden\r", "", "", 0, FALSE);
    }
    SetEnvironmentVariableA("DEBUG_ADSL", nullptr);
    EXPECT_EQ("orden\runoorden\rdos", kittest::ReadHostFile(log)); // the bytes as they went, appended
}
