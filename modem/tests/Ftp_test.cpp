// CFtp: its notifications as thread messages and trace lines, driven the way the transfer
// worker drives it, against the router simulator and (where Debian's pyftpdlib is installed)
// against an FTP server we did not write.
#include "modem/Ftp.h"
#include "platform/windows.h"
#include "testing/servers.h"
#include "testing/kittest.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr UINT Msg(DWORD status)
{
    return WM_USER + status;
}
constexpr UINT kConnected = Msg(INTERNET_STATUS_CONNECTED_TO_SERVER);    // 1045
constexpr UINT kSent = Msg(INTERNET_STATUS_REQUEST_SENT);                // 1055
constexpr UINT kReceived = Msg(INTERNET_STATUS_RESPONSE_RECEIVED);       // 1065
constexpr UINT kHandleCreated = Msg(INTERNET_STATUS_HANDLE_CREATED);     // 1084
constexpr UINT kHandleClosing = Msg(INTERNET_STATUS_HANDLE_CLOSING);     // 1094
constexpr UINT kRequestComplete = Msg(INTERNET_STATUS_REQUEST_COMPLETE); // 1124
constexpr DWORD kNoMessage = 0xFFFFFFFF;
constexpr DWORD kSentinel = 0xdeadbeef;

// The notify thread's side: this test's own thread and message queue.
class NotifyQueue
{
  public:
    NotifyQueue()
    {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue exists before StartOpen
    }

    // Takes messages until the `nth` message `number` since the last Clear (bounded).
    bool WaitForNth(UINT number, int nth)
    {
        for (;;)
        {
            const std::vector<UINT> numbers = Numbers();
            if (std::count(numbers.begin(), numbers.end(), number) >= nth)
                return true;
            if (!WaitFor(number))
                return false;
        }
    }

    // Takes messages until `number` comes (bounded); every message is kept in `seen`.
    bool WaitFor(UINT number, MSG *found = nullptr)
    {
        const DWORD start = GetTickCount();
        for (;;)
        {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                seen.push_back(msg);
                if (msg.message == number)
                {
                    if (found)
                        *found = msg;
                    return true;
                }
            }
            const DWORD waited = GetTickCount() - start;
            if (waited >= 30000)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 30000 - waited, QS_ALLPOSTMESSAGE);
        }
    }

    // The open phase: the error code of the connection's request-complete.
    DWORD Open(CFtp &ftp)
    {
        if (!ftp.StartOpen())
            return kNoMessage;
        MSG msg;
        return WaitFor(kRequestComplete, &msg) ? static_cast<DWORD>(msg.wParam) : kNoMessage;
    }
    // A transfer started with `started`: its request-complete's error code.
    DWORD Transfer(int started)
    {
        if (!started)
            return kNoMessage;
        MSG msg;
        return WaitFor(kRequestComplete, &msg) ? static_cast<DWORD>(msg.wParam) : kNoMessage;
    }
    bool Close(CFtp &ftp)
    {
        ftp.StartClose();
        return WaitFor(kHandleClosing);
    }

    std::vector<UINT> Numbers() const
    {
        std::vector<UINT> numbers;
        for (const MSG &msg : seen)
            numbers.push_back(msg.message);
        return numbers;
    }
    LPARAM Sum(UINT number) const
    {
        LPARAM sum = 0;
        for (const MSG &msg : seen)
            if (msg.message == number)
                sum += msg.lParam;
        return sum;
    }

    std::vector<MSG> seen;
};

std::string TempPath(const std::string &name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + name;
}

// The messages of DaxFtp.txt's trace lines, in order, without their time stamps.
std::vector<std::string> LogMessages()
{
    std::vector<std::string> messages;
    std::istringstream in(kittest::ReadHostFile(TempPath("DaxFtp.txt")));
    std::string line;
    while (std::getline(in, line))
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t dashes = line.find(" -- ");
        if (dashes != std::string::npos)
            messages.push_back(line.substr(dashes + 4));
    }
    return messages;
}

size_t Count(const std::vector<std::string> &lines, const std::string &text)
{
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
}

std::string Binary(size_t size)
{
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>((i * 13 + i / 251) & 0xFF);
    return content;
}

class CFtpTest : public testing::Test
{
  protected:
    void TearDown() override
    {
        router_.reset();
        DWORD original = 30000;
        InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &original, sizeof original);
    }

    // The router simulator on this test's PC, as 192.168.1.1.
    void StartRouter(std::vector<std::string> extra = {})
    {
        router_ = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), State(), kittest::MachineDir(),
                                                          std::move(extra));
        ASSERT_TRUE(router_->Started());
    }
    std::string State() const { return kittest::MachineDir() + "/router"; }
    std::string RouterSetting(const std::string &code)
    {
        std::string output;
        kitservers::Run(kittest::BinDir() + "/routersim", {"show", "--state", State()}, &output);
        const size_t at = output.find(code + " = ");
        return at == std::string::npos ? "<none>" : output.substr(at, output.find('\n', at) - at);
    }
    void SetFault(const std::string &fault)
    {
        ASSERT_EQ(kitservers::Run(kittest::BinDir() + "/routersim", {"fault", "--state", State(), fault}), 0);
    }

    // A CFtp set up as the transfer worker sets it.
    void Prepare(CFtp &ftp, const char *password = "5807")
    {
        ftp.SetServer("192.168.1.1");
        ftp.SetLogin("guest", password);
        ftp.SetNotifyThread(GetCurrentThreadId());
    }

    std::unique_ptr<kitservers::RouterSim> router_;
};
} // namespace

// --- setters and start failures ---

TEST_F(CFtpTest, ServerChangesOnlyForDottedAddresses)
{
    StartRouter();
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    for (const char *bad :
         {"router", "192.168.1.1 ", "192.168.1", "192.168.1.256", "", static_cast<const char *>(nullptr)})
        ftp.SetServer(bad);
    EXPECT_EQ(queue.Open(ftp), 0u); // still 192.168.1.1
    EXPECT_TRUE(queue.Close(ftp));
}

TEST_F(CFtpTest, NoServerFailsAtOnceAndSaysWhy)
{
    NotifyQueue queue;
    CFtp ftp;
    ftp.SetNotifyThread(GetCurrentThreadId());
    EXPECT_EQ(ftp.StartOpen(), 0);
    const std::vector<std::string> log = LogMessages();
    EXPECT_EQ(Count(log, "Init StartOpen"), 1u);
    EXPECT_EQ(Count(log, "CFtp::StartOpen [error:: 87]"), 1u); // ERROR_INVALID_PARAMETER
    ftp.StartClose();
}

TEST_F(CFtpTest, TransfersBeforeTheConnectionReturnZeroWithoutALogLine)
{
    CFtp ftp;
    EXPECT_EQ(ftp.GetFile("rom-t", TempPath("643get.cfg").c_str()), 0);
    EXPECT_EQ(ftp.PutFile("rom-t", TempPath("config.dat").c_str()), 0);
    const std::vector<std::string> log = LogMessages();
    EXPECT_EQ(Count(log, "Init GetFile"), 0u);
    EXPECT_EQ(Count(log, "Init PutFile"), 0u);
    EXPECT_FALSE(ftp.IsBusy());
}

// --- the notifications ---

TEST_F(CFtpTest, NotificationsBecomeMessagesAndTraceLines)
{
    StartRouter();
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    ASSERT_EQ(queue.Open(ftp), 0u);
    const std::vector<UINT> open = {
        kHandleCreated,
        Msg(INTERNET_STATUS_RESOLVING_NAME),
        Msg(INTERNET_STATUS_NAME_RESOLVED),
        Msg(INTERNET_STATUS_CONNECTING_TO_SERVER),
        kConnected,
        Msg(INTERNET_STATUS_RECEIVING_RESPONSE),
        kReceived, // banner
        Msg(INTERNET_STATUS_SENDING_REQUEST),
        kSent,
        Msg(INTERNET_STATUS_RECEIVING_RESPONSE),
        kReceived, // USER
        Msg(INTERNET_STATUS_SENDING_REQUEST),
        kSent,
        Msg(INTERNET_STATUS_RECEIVING_RESPONSE),
        kReceived, // PASS
        kRequestComplete,
    };
    EXPECT_EQ(queue.Numbers(), open);
    const HINTERNET handle = ftp.ConnectionHandle();
    ASSERT_NE(handle, nullptr);
    for (const MSG &msg : queue.seen)
    {
        if (msg.message == kSent || msg.message == kReceived || msg.message == kRequestComplete)
            continue;
        EXPECT_EQ(msg.wParam, 0u) << msg.message;
        EXPECT_EQ(msg.lParam, 0) << msg.message;
    }
    const std::string banner = "220 FTP version 1.0 ready at Sat Jan 01 00:00:00 2000\r\n";
    EXPECT_EQ(queue.seen[6].lParam, static_cast<LPARAM>(banner.size()));
    EXPECT_EQ(queue.seen[8].lParam, static_cast<LPARAM>(sizeof "USER guest\r\n" - 1));
    EXPECT_EQ(queue.seen[12].lParam, static_cast<LPARAM>(sizeof "PASS 5807\r\n" - 1));
    EXPECT_EQ(queue.seen.back().wParam, 0u);                               // the error code
    EXPECT_EQ(queue.seen.back().lParam, reinterpret_cast<LPARAM>(handle)); // the result

    queue.seen.clear();
    ASSERT_TRUE(queue.Close(ftp));
    const std::vector<UINT> close = {Msg(INTERNET_STATUS_CLOSING_CONNECTION),
                                     Msg(INTERNET_STATUS_CONNECTION_CLOSED), kHandleClosing};
    EXPECT_EQ(queue.Numbers(), close);

    const std::vector<std::string> expected = {
        "********************* NUEVA EJECUCION DEL LOG ******************",
        "Init StartOpen",
        "CFtp: Msg Handle creado: [: " +
            std::to_string(static_cast<int>(reinterpret_cast<uintptr_t>(handle))) + "]",
        "CFtp: Msg resolviendo nombre",
        "CFtp: Msg nombre resuelto",
        "CFtp: Msg conectando a servidor",
        "CFtp: Msg conectado a servidor",
        "CFtp: Msg esperando respuesta",
        "CFtp: Msg respuesta recibida [bytes recibidos: " + std::to_string(banner.size()) + "]",
        "CFtp: Msg enviando peticion",
        "CFtp: Msg enviada peticion [bytes enviados:: 12]",
        "CFtp: Msg esperando respuesta",
        "CFtp: Msg respuesta recibida [bytes recibidos: 24]", // 331 Enter PASS command
        "CFtp: Msg enviando peticion",
        "CFtp: Msg enviada peticion [bytes enviados:: 11]",
        "CFtp: Msg esperando respuesta",
        "CFtp: Msg respuesta recibida [bytes recibidos: 15]",
        "CFtp: Msg peticion completada",
        "Init StartClose",
        "CFtp: Msg cerrando conexion",
        "CFtp: Msg conexion cerrada",
        "CFtp: Msg Handle cerrado",
    };
    EXPECT_EQ(LogMessages(), expected);
}

TEST_F(CFtpTest, UploadAndDownloadTheConfiguration)
{
    StartRouter();
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    ASSERT_EQ(queue.Open(ftp), 0u);

    // Big enough for several notifications; the router takes the lines it knows.
    std::string config = "30200008 = 10.1.2.3\r\n40000009 = usuario@adsl\r\n";
    while (config.size() < 200000)
        config += "99999999 = relleno\r\n";
    kittest::WriteHostFile(TempPath("config.dat"), config);
    queue.seen.clear();
    const int started = ftp.PutFile("rom-t", TempPath("config.dat").c_str());
    EXPECT_TRUE(ftp.IsBusy());
    EXPECT_EQ(queue.Transfer(started), 0u);
    EXPECT_FALSE(ftp.IsBusy());
    EXPECT_EQ(RouterSetting("30200008"), "30200008 = 10.1.2.3");
    EXPECT_EQ(RouterSetting("40000009"), "40000009 = usuario@adsl");
    // The byte counts the progress adds up: the whole file, and a few command bytes.
    const LPARAM sent = queue.Sum(kSent);
    EXPECT_GE(sent, static_cast<LPARAM>(config.size()));
    EXPECT_LT(sent, static_cast<LPARAM>(config.size() + 100));

    queue.seen.clear();
    EXPECT_EQ(queue.Transfer(ftp.GetFile("rom-t", TempPath("643get.cfg").c_str())), 0u);
    const std::string got = kittest::ReadHostFile(TempPath("643get.cfg"));
    EXPECT_NE(got.find("30200008 = 10.1.2.3\r\n"), std::string::npos);
    EXPECT_GE(queue.Sum(kReceived), static_cast<LPARAM>(got.size()));
    EXPECT_EQ(GetFileAttributesA(TempPath("643get.cfg").c_str()) & FILE_ATTRIBUTE_ARCHIVE,
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(queue.Close(ftp));

    const std::vector<std::string> log = LogMessages();
    EXPECT_EQ(Count(log, "Init PutFile"), 1u);
    EXPECT_EQ(Count(log, "Init GetFile"), 1u);
}

TEST_F(CFtpTest, StartCloseClosesEachHandleOnce)
{
    StartRouter();
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    for (int run = 0; run < 2; ++run) // a second run on the same object, as the access check does
    {
        ASSERT_EQ(queue.Open(ftp), 0u) << run;
        ASSERT_TRUE(queue.Close(ftp)) << run;
        ftp.StartClose(); // nothing left to close
    }
    const std::vector<std::string> log = LogMessages();
    EXPECT_EQ(Count(log, "Init StartClose"), 4u);
    EXPECT_EQ(Count(log, "CFtp: Msg Handle cerrado"), 2u);
}

TEST_F(CFtpTest, AbortBeforeTheConnectionStands)
{
    // The router never answers: the worker's abort closes what is open, and the closing comes.
    StartRouter({"--fault", "silent"});
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    ASSERT_EQ(ftp.StartOpen(), 1);
    ASSERT_TRUE(queue.WaitFor(kConnected));
    EXPECT_TRUE(queue.Close(ftp));
    // The cancelled request completes before the handle's last notification.
    const auto complete = std::find_if(queue.seen.begin(), queue.seen.end(),
                                       [](const MSG &msg) { return msg.message == kRequestComplete; });
    ASSERT_NE(complete, queue.seen.end());
    EXPECT_EQ(complete->wParam, static_cast<WPARAM>(ERROR_INTERNET_OPERATION_CANCELLED));
    EXPECT_EQ(queue.seen.back().message, kHandleClosing);
}

namespace
{
// A transfer worker as far as its open phase, stuck there until it is terminated.
struct StuckWorker
{
    HANDLE connected = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI OpenAndWaitForever(LPVOID param)
{
    auto *worker = static_cast<StuckWorker *>(param);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    CFtp ftp;
    ftp.SetServer("192.168.1.1");
    ftp.SetLogin("guest", "5807");
    ftp.SetNotifyThread(GetCurrentThreadId());
    if (!ftp.StartOpen())
        return 1;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        if (msg.message == kConnected)
            SetEvent(worker->connected);
    return 0;
}

// Whether the router's log has `text`, looked for until a bound.
bool RouterLogged(const std::string &state, const std::string &text)
{
    for (int i = 0; i < 1000; ++i)
    {
        if (kittest::ReadHostFile(state + "/routersim.log").find(text) != std::string::npos)
            return true;
        Sleep(20); // the router's log is a file: nothing to wait on
    }
    return false;
}
} // namespace

TEST_F(CFtpTest, TerminatedWorkerLeavesNothingBehind)
{
    // The worker is ended while its connection waits on a silent router: its CFtp goes with its
    // stack, closes what was open, and the notifications that follow reach nothing.
    StartRouter({"--fault", "silent"});
    StuckWorker worker;
    HANDLE thread = CreateThread(nullptr, 0, OpenAndWaitForever, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(worker.connected, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(TerminateThread(thread, 9));
    EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 9u);
    CloseHandle(thread);
    CloseHandle(worker.connected);
    EXPECT_TRUE(RouterLogged(State(), "silent session ended"));

    // Another run of the module goes on as usual.
    SetFault("none");
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    EXPECT_EQ(queue.Open(ftp), 0u);
    EXPECT_TRUE(queue.Close(ftp));
}

TEST_F(CFtpTest, DestroyedWithoutStartClose)
{
    // A run that ends without StartClose: the handles go with the object, silently.
    StartRouter();
    {
        NotifyQueue queue;
        CFtp ftp;
        Prepare(ftp);
        ASSERT_EQ(queue.Open(ftp), 0u);
        SetLastError(kSentinel);
    }
    EXPECT_EQ(GetLastError(), kSentinel); // the destructor leaves the caller's error alone
    EXPECT_TRUE(RouterLogged(State(), "ftp 1: closed"));
    const std::vector<std::string> log = LogMessages();
    EXPECT_EQ(Count(log, "Init StartClose"), 0u);
    EXPECT_EQ(Count(log, "CFtp: Msg Handle cerrado"), 0u);
}

// --- a router that fails ---

TEST_F(CFtpTest, OpenFailuresCarryWinInetErrors)
{
    DWORD shortWait = 1000;
    InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &shortWait, sizeof shortWait);
    struct Case
    {
        const char *fault;
        const char *password;
        DWORD error;
    };
    const Case cases[] = {
        {"refuse-login", "5807", ERROR_INTERNET_INCORRECT_PASSWORD},
        {"none", "1234", ERROR_INTERNET_INCORRECT_PASSWORD},
        {"silent", "5807", ERROR_INTERNET_TIMEOUT},
        {"garbage", "5807", ERROR_INTERNET_EXTENDED_ERROR},
    };
    StartRouter();
    for (const Case &c : cases)
    {
        SetFault(c.fault);
        NotifyQueue queue;
        CFtp ftp;
        Prepare(ftp, c.password);
        EXPECT_EQ(queue.Open(ftp), c.error) << c.fault;
        EXPECT_TRUE(queue.Close(ftp)) << c.fault;
    }

    // A router that is gone: its ports refuse; an address the PC cannot reach at all.
    router_->Stop();
    for (const char *server : {"192.168.1.1", "10.0.0.5"})
    {
        NotifyQueue queue;
        CFtp ftp;
        Prepare(ftp);
        ftp.SetServer(server);
        EXPECT_EQ(queue.Open(ftp), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT)) << server;
        EXPECT_TRUE(queue.Close(ftp));
    }
}

TEST_F(CFtpTest, TransferFailuresCarryWinInetErrors)
{
    DWORD shortWait = 1000;
    InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &shortWait, sizeof shortWait);
    InternetSetOptionA(nullptr, INTERNET_OPTION_CONNECT_TIMEOUT, &shortWait, sizeof shortWait);
    kittest::WriteHostFile(TempPath("fw.bin"), Binary(500000));
    struct Case
    {
        const char *fault;
        bool get;
        DWORD error;
    };
    const Case cases[] = {
        {"drop-control", false, ERROR_FTP_DROPPED},
        {"drop-data", true, ERROR_INTERNET_EXTENDED_ERROR},
        {"drop-control", true, ERROR_FTP_DROPPED},
        {"no-data", false, ERROR_INTERNET_TIMEOUT},
    };
    StartRouter();
    for (const Case &c : cases)
    {
        SetFault(c.fault);
        NotifyQueue queue;
        CFtp ftp;
        Prepare(ftp);
        ASSERT_EQ(queue.Open(ftp), 0u) << c.fault;
        DeleteFileA(TempPath("643get.cfg").c_str());
        const int started = c.get ? ftp.GetFile("rom-t", TempPath("643get.cfg").c_str())
                                  : ftp.PutFile("rom-t", TempPath("fw.bin").c_str());
        EXPECT_EQ(queue.Transfer(started), c.error) << c.fault;
        EXPECT_EQ(kittest::ReadHostFile(TempPath("643get.cfg")), "<none>") << c.fault;
        EXPECT_TRUE(queue.Close(ftp)) << c.fault;
    }
    SetFault("none");
    DWORD original = 60000;
    InternetSetOptionA(nullptr, INTERNET_OPTION_CONNECT_TIMEOUT, &original, sizeof original);
}

TEST_F(CFtpTest, LocalFilesThatCannotBeUsed)
{
    StartRouter();
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    ASSERT_EQ(queue.Open(ftp), 0u);
    kittest::WriteHostFile(TempPath("readonly.cfg"), "old");
    ASSERT_TRUE(SetFileAttributesA(TempPath("readonly.cfg").c_str(), FILE_ATTRIBUTE_READONLY));
    kittest::WriteHostFile(TempPath("locked.cfg"), "30200008 = 10.9.9.9\r\n");
    HANDLE locked = CreateFileA(TempPath("locked.cfg").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    struct Case
    {
        bool get;
        std::string local;
        DWORD error;
    };
    const Case cases[] = {
        {false, TempPath("missing.cfg"), ERROR_FILE_NOT_FOUND},
        {false, TempPath("locked.cfg"), ERROR_SHARING_VIOLATION},
        {true, TempPath("readonly.cfg"), ERROR_ACCESS_DENIED},
        {true, TempPath("no\\such\\folder.cfg"), ERROR_PATH_NOT_FOUND},
    };
    for (const Case &c : cases)
    {
        const int started =
            c.get ? ftp.GetFile("rom-t", c.local.c_str()) : ftp.PutFile("rom-t", c.local.c_str());
        EXPECT_EQ(queue.Transfer(started), c.error) << c.local;
    }
    CloseHandle(locked);
    EXPECT_EQ(kittest::ReadHostFile(TempPath("readonly.cfg")), "old");
    EXPECT_EQ(RouterSetting("30200008"), "30200008 = 192.168.1.1");
    // The connection is still good.
    EXPECT_EQ(queue.Transfer(ftp.GetFile("rom-t", TempPath("643get.cfg").c_str())), 0u);
    EXPECT_TRUE(queue.Close(ftp));
    SetFileAttributesA(TempPath("readonly.cfg").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CFtpTest, RouterThatDisappears)
{
    // During the login: the router stops answering, then loses its power.
    StartRouter({"--fault", "silent"});
    {
        NotifyQueue queue;
        CFtp ftp;
        Prepare(ftp);
        ASSERT_EQ(ftp.StartOpen(), 1);
        ASSERT_TRUE(queue.WaitFor(kConnected));
        router_->Kill();
        MSG msg;
        ASSERT_TRUE(queue.WaitFor(kRequestComplete, &msg));
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(ERROR_FTP_DROPPED));
        EXPECT_TRUE(queue.Close(ftp));
    }

    // During an upload, while the router owes the data connection.
    StartRouter({"--fault", "no-data"});
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    ASSERT_EQ(queue.Open(ftp), 0u);
    kittest::WriteHostFile(TempPath("config.dat"), "30200008 = 10.1.2.3\r\n");
    queue.seen.clear();
    ASSERT_EQ(ftp.PutFile("rom-t", TempPath("config.dat").c_str()), 1);
    ASSERT_TRUE(queue.WaitForNth(kReceived, 3)); // TYPE, PORT, and the 150 of STOR
    router_->Kill();
    MSG msg;
    ASSERT_TRUE(queue.WaitFor(kRequestComplete, &msg));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(ERROR_FTP_DROPPED));
    EXPECT_TRUE(queue.Close(ftp));

    // And then it is gone.
    CFtp again;
    Prepare(again);
    EXPECT_EQ(queue.Open(again), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_TRUE(queue.Close(again));
}

TEST_F(CFtpTest, FirmwareRestartsTheRouter)
{
    StartRouter({"--restart-seconds", "30"});
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    ASSERT_EQ(queue.Open(ftp), 0u);
    const std::string firmware = Binary(300000);
    kittest::WriteHostFile(TempPath("ras.bin"), firmware);
    EXPECT_EQ(queue.Transfer(ftp.PutFile("ras", TempPath("ras.bin").c_str())), 0u);
    EXPECT_TRUE(queue.Close(ftp));
    EXPECT_EQ(kittest::ReadHostFile(State() + "/firmware.bin"), firmware);

    // Restarting: nobody answers.
    CFtp again;
    Prepare(again);
    EXPECT_EQ(queue.Open(again), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_TRUE(queue.Close(again));
}

// --- an FTP server we did not write ---

TEST_F(CFtpTest, PyftpdlibTakesAndGivesFiles)
{
    if (!kitservers::HasPyftpdlib())
        GTEST_SKIP() << "Debian's python3-pyftpdlib is not installed";
    const std::string root = kittest::MachineDir() + "/ftproot";
    std::filesystem::create_directories(root);
    kitservers::PyFtpd server(root);
    ASSERT_TRUE(server.Started());
    kitservers::MapRouter(kittest::MachineDir(), server.Port());
    const std::string content = Binary(1 << 20);
    kittest::WriteHostFile(TempPath("fw.bin"), content);

    // CFtp: active mode.
    NotifyQueue queue;
    CFtp ftp;
    Prepare(ftp);
    ASSERT_EQ(queue.Open(ftp), 0u);
    EXPECT_EQ(queue.Transfer(ftp.PutFile("ras", TempPath("fw.bin").c_str())), 0u);
    EXPECT_EQ(kittest::ReadHostFile(root + "/ras"), content);
    EXPECT_EQ(queue.Transfer(ftp.GetFile("ras", TempPath("back.bin").c_str())), 0u);
    EXPECT_EQ(kittest::ReadHostFile(TempPath("back.bin")), content);
    EXPECT_EQ(queue.Transfer(ftp.GetFile("missing", TempPath("none.bin").c_str())),
              static_cast<DWORD>(ERROR_INTERNET_EXTENDED_ERROR));
    EXPECT_TRUE(queue.Close(ftp));

    // WinINet itself, passive mode.
    HINTERNET internet = InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET session = InternetConnectA(internet, "192.168.1.1", INTERNET_DEFAULT_FTP_PORT, "guest", "5807",
                                         INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    ASSERT_NE(session, nullptr) << GetLastError();
    EXPECT_TRUE(FtpPutFileA(session, TempPath("fw.bin").c_str(), "rom-t", FTP_TRANSFER_TYPE_BINARY, 0))
        << GetLastError();
    EXPECT_EQ(kittest::ReadHostFile(root + "/rom-t"), content);
    EXPECT_TRUE(FtpGetFileA(session, "rom-t", TempPath("passive.bin").c_str(), TRUE, FILE_ATTRIBUTE_NORMAL,
                            FTP_TRANSFER_TYPE_BINARY, 0))
        << GetLastError();
    EXPECT_EQ(kittest::ReadHostFile(TempPath("passive.bin")), content);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(InternetConnectA(internet, "192.168.1.1", 21, "guest", "wrong", INTERNET_SERVICE_FTP, 0, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_PASSWORD));
    InternetCloseHandle(session);
    InternetCloseHandle(internet);
}
