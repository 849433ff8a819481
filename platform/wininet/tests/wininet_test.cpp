// WinINet FTP sessions. The server is a scripted FTP server of the test, on the platform's own
// sockets, reached through the virtual network as 192.168.1.1; its data connections in active
// mode reach the PC's address 192.168.1.33 the same way. Windows has no virtual network: there
// both ends are the loopback, and the client connects to the port the server listens on.
#include "platform/windows.h"
#include "platform/winsock2.h"
#include "testing/kittest.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testing/loopback.h"

namespace
{
constexpr DWORD kSentinel = 0xdeadbeef;
#ifdef _WIN32
constexpr const char *kRouter = "127.0.0.1";
constexpr const char *kRouterInReply = "127,0,0,1"; // as PASV and PORT write it
constexpr const char *kPcInReply = "127,0,0,1";
#else
constexpr const char *kRouter = "192.168.1.1";
constexpr const char *kRouterInReply = "192,168,1,1";
constexpr const char *kPcInReply = "192,168,1,33";
#endif
constexpr auto kPatience = std::chrono::seconds(20); // a bound for what must happen much sooner

#ifdef _WIN32
// Wine's ntdll names its version; Windows' has no such export.
bool UnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}
#endif

// --- the scripted server ---

u_short PortOf(SOCKET s)
{
    sockaddr_in address{};
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

SOCKET ListenAnyPort()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    bind(s, reinterpret_cast<sockaddr *>(&any), sizeof any);
    listen(s, 4);
    return s;
}

// True when `s` becomes readable within `milliseconds`.
bool Readable(SOCKET s, int milliseconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) == 1;
}

class FakeFtp;

// One control connection of the scripted server.
class Session
{
  public:
    Session(FakeFtp &server, SOCKET control) : server_(server), control_(control) {}
    ~Session()
    {
        closesocket(control_);
        if (listener_ != INVALID_SOCKET)
            closesocket(listener_);
    }

    bool Send(const std::string &raw);
    // The next command line without its line end; false when the client went or the server stops.
    bool ReadLine(std::string &line);
    // The data connection of the current PASV or PORT.
    SOCKET OpenData();
    // Waits until the server is asked to stop (a server that says nothing more).
    void Stall();
    // Receives a whole data connection.
    std::string ReceiveAll(SOCKET data);

    void Passive();
    bool Active(const std::string &argument);
    SOCKET Control() const { return control_; }

  private:
    FakeFtp &server_;
    SOCKET control_;
    std::string buffer_;
    SOCKET listener_ = INVALID_SOCKET;
    sockaddr_in target_{};
    bool active_ = false;
};

// A small FTP server: USER/PASS (guest/5807), TYPE, PASV, PORT, STOR, RETR, QUIT, with
// in-memory files. A hook sees every command first and may act instead.
class FakeFtp
{
  public:
    using Hook = std::function<bool(Session &, const std::string &verb, const std::string &argument)>;

    explicit FakeFtp(Hook hook = {}, std::string banner = "220 Fake FTP ready\r\n")
        : hook_(std::move(hook)), banner_(std::move(banner))
    {
        listener_ = ListenAnyPort();
        port_ = PortOf(listener_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeFtp()
    {
        {
            std::lock_guard guard(lock_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
        closesocket(listener_);
    }

    u_short Port() const { return port_; }
    bool Stopping()
    {
        std::lock_guard guard(lock_);
        return stop_;
    }
    void WaitStop()
    {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return stop_; });
    }
    void SetFile(const std::string &name, const std::string &content)
    {
        std::lock_guard guard(lock_);
        files_[name] = content;
    }
    std::string File(const std::string &name)
    {
        std::lock_guard guard(lock_);
        auto it = files_.find(name);
        return it == files_.end() ? "<none>" : it->second;
    }
    std::vector<std::string> Commands()
    {
        std::lock_guard guard(lock_);
        return commands_;
    }
    // Waits until the client has sent `count` commands.
    bool WaitCommands(size_t count)
    {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, kPatience, [&] { return commands_.size() >= count; });
    }
    int Sessions()
    {
        std::lock_guard guard(lock_);
        return sessions_;
    }
    // Bytes of replies sent on control connections so far.
    size_t ReplyBytes() const { return replyBytes_.load(); }
    void CountReply(size_t bytes) { replyBytes_ += bytes; }

  private:
    void Serve()
    {
        while (!Stopping())
        {
            if (!Readable(listener_, 20))
                continue;
            SOCKET control = accept(listener_, nullptr, nullptr);
            if (control == INVALID_SOCKET)
                continue;
            {
                std::lock_guard guard(lock_);
                ++sessions_;
            }
            Session session(*this, control);
            Converse(session);
        }
    }

    void Converse(Session &session)
    {
        if (hook_ && hook_(session, "<connect>", ""))
            return;
        session.Send(banner_);
        std::string line;
        while (session.ReadLine(line))
        {
            {
                std::lock_guard guard(lock_);
                commands_.push_back(line);
            }
            changed_.notify_all();
            const size_t blank = line.find(' ');
            const std::string verb = line.substr(0, blank);
            const std::string argument = blank == std::string::npos ? "" : line.substr(blank + 1);
            if (hook_ && hook_(session, verb, argument))
                continue;
            if (!Standard(session, verb, argument))
                return;
        }
    }

    // The ordinary answer to a command; false when the session ends.
    bool Standard(Session &session, const std::string &verb, const std::string &argument)
    {
        if (verb == "USER")
            return session.Send(argument == "guest" ? "331 Password required for guest.\r\n"
                                                    : "530 Unknown user.\r\n");
        if (verb == "PASS")
            return session.Send(argument == "5807" ? "230 User logged in.\r\n" : "530 Login incorrect.\r\n");
        if (verb == "TYPE")
            return session.Send("200 Type set to " + argument + ".\r\n");
        if (verb == "PASV")
        {
            session.Passive();
            return true;
        }
        if (verb == "PORT")
            return session.Send(session.Active(argument) ? "200 PORT command successful.\r\n"
                                                         : "501 Bad PORT argument.\r\n");
        if (verb == "STOR")
        {
            session.Send("150 Opening BINARY mode data connection.\r\n");
            SOCKET data = session.OpenData();
            if (data == INVALID_SOCKET)
                return session.Send("425 Can't open data connection.\r\n");
            SetFile(argument, session.ReceiveAll(data));
            closesocket(data);
            return session.Send("226 Transfer complete.\r\n");
        }
        if (verb == "RETR")
        {
            std::string content = File(argument);
            if (content == "<none>")
                return session.Send("550 " + argument + ": No such file.\r\n");
            session.Send("150 Opening BINARY mode data connection.\r\n");
            SOCKET data = session.OpenData();
            if (data == INVALID_SOCKET)
                return session.Send("425 Can't open data connection.\r\n");
            send(data, content.data(), static_cast<int>(content.size()), 0);
            shutdown(data, SD_SEND);
            closesocket(data);
            return session.Send("226 Transfer complete.\r\n");
        }
        if (verb == "QUIT")
        {
            session.Send("221 Goodbye.\r\n");
            return false;
        }
        return session.Send("502 Command not implemented.\r\n");
    }

    Hook hook_;
    std::string banner_;
    SOCKET listener_;
    u_short port_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool stop_ = false;
    std::map<std::string, std::string> files_;
    std::vector<std::string> commands_;
    int sessions_ = 0;
    std::atomic<size_t> replyBytes_{0};
};

bool Session::Send(const std::string &raw)
{
    server_.CountReply(raw.size());
    return send(control_, raw.data(), static_cast<int>(raw.size()), 0) == static_cast<int>(raw.size());
}

bool Session::ReadLine(std::string &line)
{
    for (;;)
    {
        size_t end = buffer_.find("\r\n");
        if (end != std::string::npos)
        {
            line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            return true;
        }
        if (server_.Stopping())
            return false;
        if (!Readable(control_, 20))
            continue;
        char chunk[512];
        int n = recv(control_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

void Session::Passive()
{
    if (listener_ != INVALID_SOCKET)
        closesocket(listener_);
    listener_ = ListenAnyPort();
    const u_short port = PortOf(listener_);
    active_ = false;
    Send("227 Entering Passive Mode (" + std::string(kRouterInReply) + "," + std::to_string(port >> 8) + "," +
         std::to_string(port & 0xFF) + ").\r\n");
}

bool Session::Active(const std::string &argument)
{
    unsigned h1, h2, h3, h4, p1, p2;
    if (std::sscanf(argument.c_str(), "%u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2) != 6)
        return false;
    target_ = {};
    target_.sin_family = AF_INET;
    target_.sin_port = htons(static_cast<u_short>(p1 << 8 | p2));
    target_.sin_addr.s_addr = htonl(h1 << 24 | h2 << 16 | h3 << 8 | h4);
    active_ = true;
    return true;
}

SOCKET Session::OpenData()
{
    if (active_)
    {
#ifdef _WIN32
        // Nothing but the loopback, whatever the client asked.
        if ((ntohl(target_.sin_addr.s_addr) >> 24) != 127)
            return INVALID_SOCKET;
#endif
        SOCKET data = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (connect(data, reinterpret_cast<sockaddr *>(&target_), sizeof target_) != 0)
        {
            closesocket(data);
            return INVALID_SOCKET;
        }
        return data;
    }
    if (listener_ == INVALID_SOCKET)
        return INVALID_SOCKET;
    for (int i = 0; i < 250 && !Readable(listener_, 20); ++i)
        if (server_.Stopping())
            return INVALID_SOCKET;
    SOCKET data = accept(listener_, nullptr, nullptr);
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return data;
}

void Session::Stall()
{
    server_.WaitStop();
}

std::string Session::ReceiveAll(SOCKET data)
{
    std::string content;
    char chunk[16384];
    for (;;)
    {
        if (!Readable(data, 20))
        {
            if (server_.Stopping())
                break;
            continue;
        }
        int n = recv(data, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        content.append(chunk, static_cast<size_t>(n));
    }
    return content;
}

// --- the notifications ---

struct Event
{
    DWORD status = 0;
    HINTERNET handle = nullptr;
    DWORD_PTR context = 0;
    DWORD length = 0;
    DWORD count = 0;             // 31, 41
    std::string text;            // 10, 11, 20, 21; the last response at 100
    DWORD_PTR result = 0;        // 60, 100
    DWORD error = 0;             // 100
    HINTERNET closing = nullptr; // 70
    std::thread::id thread;
};

class Recorder
{
  public:
    static void CALLBACK Callback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                  DWORD length)
    {
        Event event;
        event.status = status;
        event.handle = handle;
        event.context = context;
        event.length = length;
        event.thread = std::this_thread::get_id();
        switch (status)
        {
        case INTERNET_STATUS_RESOLVING_NAME:
        case INTERNET_STATUS_NAME_RESOLVED:
        case INTERNET_STATUS_CONNECTING_TO_SERVER:
        case INTERNET_STATUS_CONNECTED_TO_SERVER:
            event.text = static_cast<const char *>(information);
            break;
        case INTERNET_STATUS_REQUEST_SENT:
        case INTERNET_STATUS_RESPONSE_RECEIVED:
            std::memcpy(&event.count, information, sizeof event.count);
            break;
        case INTERNET_STATUS_HANDLE_CREATED:
        case INTERNET_STATUS_REQUEST_COMPLETE: {
            auto *result = static_cast<INTERNET_ASYNC_RESULT *>(information);
            event.result = result->dwResult;
            event.error = result->dwError;
            if (status == INTERNET_STATUS_REQUEST_COMPLETE)
            {
                char text[1024] = {};
                DWORD size = sizeof text, error = 0;
                if (InternetGetLastResponseInfoA(&error, text, &size))
                    event.text = text;
            }
            break;
        }
        case INTERNET_STATUS_HANDLE_CLOSING:
            std::memcpy(&event.closing, information, sizeof event.closing);
            break;
        default:
            break;
        }
        // Notified under the lock: the test may end, and the recorder go, as soon as it sees this.
        auto *recorder = reinterpret_cast<Recorder *>(context);
        std::lock_guard guard(recorder->lock_);
        recorder->events_.push_back(event);
        recorder->changed_.notify_all();
    }

    DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }

    // Waits until the n-th notification of `status` has come, and gives it.
    bool WaitFor(DWORD status, Event *found = nullptr, int nth = 1)
    {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, kPatience, [&] {
            int seen = 0;
            for (const Event &event : events_)
                if (event.status == status && ++seen == nth)
                {
                    if (found)
                        *found = event;
                    return true;
                }
            return false;
        });
    }
    std::vector<Event> Events()
    {
        std::lock_guard guard(lock_);
        return events_;
    }
    std::vector<DWORD> Statuses()
    {
        std::vector<DWORD> statuses;
        for (const Event &event : Events())
            statuses.push_back(event.status);
        return statuses;
    }
    void Clear()
    {
        std::lock_guard guard(lock_);
        events_.clear();
    }
    DWORD Sum(DWORD status)
    {
        DWORD sum = 0;
        for (const Event &event : Events())
            if (event.status == status)
                sum += event.count;
        return sum;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

// --- files and the PC ---

// A file of the temporary folder.
std::string LocalPath(const std::string &name)
{
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    return std::string(folder, length < MAX_PATH ? length : 0) + name;
}

// Every byte value, and more than one notification chunk of them.
std::string Binary(size_t size)
{
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return content;
}

std::string LastResponse(DWORD *error = nullptr)
{
    char text[2048];
    DWORD size = sizeof text, code = 0;
    if (!InternetGetLastResponseInfoA(&code, text, &size))
        return "<failed " + std::to_string(GetLastError()) + ">";
    if (error)
        *error = code;
    return std::string(text, size);
}

class WinInet : public testing::Test
{
  protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override
    {
        server_.reset();
        WSACleanup();
    }

    // Starts the scripted server and maps it (and the PC's own address) on the virtual network.
    FakeFtp &Serve(FakeFtp::Hook hook = {}, std::string banner = "220 Fake FTP ready\r\n")
    {
        server_ = std::make_unique<FakeFtp>(std::move(hook), std::move(banner));
#ifndef _WIN32
        std::ofstream(kittest::MachineDir() + "/network.ini", std::ios::binary)
            << "[Hosts]\r\n192.168.1.1:21=127.0.0.1:" << server_->Port()
            << "\r\n192.168.1.1:*=127.0.0.1:*\r\n192.168.1.33:*=127.0.0.1:*\r\n";
#endif
        return *server_;
    }

    // The server's port as the client names it: the router's FTP port on the virtual network,
    // the port the server listens on where both are the loopback.
    INTERNET_PORT ServerPort() const
    {
#ifdef _WIN32
        return server_->Port();
#else
        return INTERNET_DEFAULT_FTP_PORT;
#endif
    }

    // A session with short time-outs, so that a silent server fails a test quickly.
    HINTERNET Open(DWORD flags = 0, DWORD timeout = 3000)
    {
        HINTERNET internet = InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, flags);
        EXPECT_NE(internet, nullptr);
        for (DWORD option :
             {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
              INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT})
            EXPECT_TRUE(InternetSetOptionA(internet, option, &timeout, sizeof timeout));
        return internet;
    }

    HINTERNET Connect(HINTERNET internet, const char *password = "5807", DWORD flags = 0,
                      DWORD_PTR context = 0)
    {
        return InternetConnectA(internet, kRouter, ServerPort(), "guest", password, INTERNET_SERVICE_FTP,
                                flags, context);
    }

    std::unique_ptr<FakeFtp> server_;
};
} // namespace

// --- handles, options, module ---

TEST(WinInetHandles, OpenAccessTypesAndFlags)
{
    struct Case
    {
        DWORD access, flags, error;
    };
    const Case cases[] = {
        {INTERNET_OPEN_TYPE_DIRECT, 0, 0},
        {INTERNET_OPEN_TYPE_PRECONFIG, 0, 0},
        {INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, INTERNET_FLAG_ASYNC, 0},
        {INTERNET_OPEN_TYPE_DIRECT, INTERNET_FLAG_ASYNC, 0},
#ifndef _WIN32
        // The simulated PC's limits (no proxy, no cache) and its own argument checks; Windows
        // takes a proxy and offline mode, and does not document refusing the other two.
        {INTERNET_OPEN_TYPE_PROXY, 0, ERROR_CALL_NOT_IMPLEMENTED},
        {INTERNET_OPEN_TYPE_DIRECT, INTERNET_FLAG_OFFLINE, ERROR_CALL_NOT_IMPLEMENTED},
        {2, 0, ERROR_INVALID_PARAMETER},
        {INTERNET_OPEN_TYPE_DIRECT, INTERNET_FLAG_PASSIVE, ERROR_INVALID_PARAMETER},
#endif
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        HINTERNET internet = InternetOpenA("CFtp", c.access, nullptr, nullptr, c.flags);
        if (c.error == 0)
        {
            ASSERT_NE(internet, nullptr) << c.access;
            DWORD type = 0, size = sizeof type;
            EXPECT_TRUE(InternetQueryOptionA(internet, INTERNET_OPTION_HANDLE_TYPE, &type, &size));
            EXPECT_EQ(type, static_cast<DWORD>(INTERNET_HANDLE_TYPE_INTERNET));
            EXPECT_TRUE(InternetCloseHandle(internet));
        }
        else
        {
            EXPECT_EQ(internet, nullptr) << c.access << " " << c.flags;
            EXPECT_EQ(GetLastError(), c.error) << c.access << " " << c.flags;
        }
    }
}

TEST(WinInetHandles, CloseOnceAndOnlyInternetHandles)
{
    HINTERNET internet = InternetOpenA("CFtp", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(internet, nullptr);
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(internet)); // not a kernel object
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(InternetCloseHandle(internet));
    for (HINTERNET bad : {internet, static_cast<HINTERNET>(nullptr), reinterpret_cast<HINTERNET>(0x1234)})
    {
        SetLastError(kSentinel);
        EXPECT_FALSE(InternetCloseHandle(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetLastError(kSentinel);
    EXPECT_FALSE(InternetCloseHandle(event)); // a kernel object is no Internet handle
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(event));
}

TEST(WinInetHandles, StatusCallbackSwaps)
{
    HINTERNET internet =
        InternetOpenA("CFtp", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    ASSERT_NE(internet, nullptr);
    EXPECT_EQ(InternetSetStatusCallbackA(internet, &Recorder::Callback), nullptr);
    EXPECT_EQ(InternetSetStatusCallbackA(internet, nullptr), &Recorder::Callback);
    EXPECT_EQ(InternetSetStatusCallbackA(internet, nullptr), nullptr);
    EXPECT_TRUE(InternetCloseHandle(internet));
    SetLastError(kSentinel);
    EXPECT_EQ(InternetSetStatusCallbackA(internet, &Recorder::Callback), INTERNET_INVALID_STATUS_CALLBACK);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(WinInetOptions, TimeoutDefaultsAndInheritance)
{
    struct Case
    {
        DWORD option, value;
    };
    const Case defaults[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, 60000},      {INTERNET_OPTION_SEND_TIMEOUT, 30000},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, 30000},      {INTERNET_OPTION_DATA_SEND_TIMEOUT, 30000},
        {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, 30000}, {INTERNET_OPTION_CONNECT_RETRIES, 5},
    };
    HINTERNET before = InternetOpenA("CFtp", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    for (const Case &c : defaults)
    {
        DWORD value = kSentinel, size = sizeof value;
        EXPECT_TRUE(InternetQueryOptionA(before, c.option, &value, &size)) << c.option;
        EXPECT_EQ(value, c.value) << c.option;
        EXPECT_EQ(size, sizeof(DWORD));
        value = kSentinel;
        size = sizeof value;
        EXPECT_TRUE(InternetQueryOptionA(nullptr, c.option, &value, &size)) << c.option;
        EXPECT_EQ(value, c.value) << c.option;
    }

    // Without a handle: the default of handles made afterwards.
    DWORD shorter = 1500;
    ASSERT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &shorter, sizeof shorter));
    HINTERNET after = InternetOpenA("CFtp", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    DWORD value = 0, size = sizeof value;
    EXPECT_TRUE(InternetQueryOptionA(after, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, &size));
    EXPECT_EQ(value, 1500u);
    size = sizeof value;
    EXPECT_TRUE(InternetQueryOptionA(before, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, &size));
    EXPECT_EQ(value, 30000u);
    DWORD original = 30000;
    ASSERT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &original, sizeof original));
    InternetCloseHandle(before);
    InternetCloseHandle(after);
}

TEST(WinInetOptions, BadUses)
{
    HINTERNET internet = InternetOpenA("CFtp", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    DWORD value = 5;
    struct Case
    {
        HINTERNET handle;
        DWORD option;
        LPVOID buffer;
        DWORD length;
        DWORD error;
    };
    INTERNET_CONNECTED_INFO state{INTERNET_STATE_CONNECTED, 0};
    const Case cases[] = {
        {internet, INTERNET_OPTION_CONNECT_TIMEOUT, &value, 2, ERROR_INTERNET_BAD_OPTION_LENGTH},
        {internet, INTERNET_OPTION_CONNECT_TIMEOUT, nullptr, 4, ERROR_INVALID_PARAMETER},
        {internet, INTERNET_OPTION_HANDLE_TYPE, &value, 4, ERROR_INTERNET_OPTION_NOT_SETTABLE},
        {internet, 9999, &value, 4, ERROR_INTERNET_INVALID_OPTION},
        {internet, INTERNET_OPTION_CONNECTED_STATE, &state, sizeof state,
         ERROR_INTERNET_INCORRECT_HANDLE_TYPE},
        {nullptr, INTERNET_OPTION_CONTEXT_VALUE, &value, 8, ERROR_INTERNET_INCORRECT_HANDLE_TYPE},
        {reinterpret_cast<HINTERNET>(0x40), INTERNET_OPTION_CONNECT_TIMEOUT, &value, 4, ERROR_INVALID_HANDLE},
    };
    for (const Case &c : cases)
    {
#ifdef _WIN32
        if (!c.buffer && UnderWine())
            continue; // Wine's InternetSetOptionA reads through the null buffer and faults
#endif
        SetLastError(kSentinel);
        EXPECT_FALSE(InternetSetOptionA(c.handle, c.option, c.buffer, c.length)) << c.option;
        EXPECT_EQ(GetLastError(), c.error) << c.option;
    }
    // The connected state is the process's.
    EXPECT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_CONNECTED_STATE, &state, sizeof state));
    DWORD connected = 0, size = sizeof connected;
    EXPECT_TRUE(InternetQueryOptionA(nullptr, INTERNET_OPTION_CONNECTED_STATE, &connected, &size));
    EXPECT_EQ(connected, static_cast<DWORD>(INTERNET_STATE_CONNECTED));

    // A short query buffer: the size needed, the buffer untouched.
    unsigned char buffer[8];
    std::memset(buffer, 0xA5, sizeof buffer);
    size = 2;
    SetLastError(kSentinel);
    EXPECT_FALSE(InternetQueryOptionA(internet, INTERNET_OPTION_CONNECT_TIMEOUT, buffer, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, sizeof(DWORD));
    for (unsigned char b : buffer)
        EXPECT_EQ(b, 0xA5);
    InternetCloseHandle(internet);
}

TEST(WinInetHandles, ConnectArguments)
{
    HINTERNET internet = InternetOpenA("CFtp", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    struct Case
    {
        HINTERNET handle;
        const char *server;
        DWORD service;
        DWORD error;
    };
    const Case cases[] = {
#ifndef _WIN32
        // The platform has FTP only.
        {internet, kRouter, INTERNET_SERVICE_HTTP, ERROR_CALL_NOT_IMPLEMENTED},
        {internet, kRouter, INTERNET_SERVICE_GOPHER, ERROR_CALL_NOT_IMPLEMENTED},
#endif
        {internet, kRouter, 77, ERROR_INVALID_PARAMETER},
        {internet, nullptr, INTERNET_SERVICE_FTP, ERROR_INVALID_PARAMETER},
        {internet, "", INTERNET_SERVICE_FTP, ERROR_INVALID_PARAMETER},
        {nullptr, kRouter, INTERNET_SERVICE_FTP, ERROR_INVALID_HANDLE},
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_EQ(InternetConnectA(c.handle, c.server, 21, "guest", "5807", c.service, 0, 0), nullptr);
        EXPECT_EQ(GetLastError(), c.error) << c.service;
    }
    SetLastError(kSentinel);
    EXPECT_FALSE(FtpPutFileA(internet, "a", "b", FTP_TRANSFER_TYPE_BINARY, 0)); // a session, not a connection
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
    SetLastError(kSentinel);
    EXPECT_FALSE(FtpGetFileA(nullptr, "a", "b", FALSE, 0, FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    InternetCloseHandle(internet);
}

TEST(WinInetModule, ExportsAndMessageTable)
{
    HMODULE wininet = LoadLibraryA("wininet.dll");
    ASSERT_NE(wininet, nullptr);
    EXPECT_EQ(GetModuleHandleA("WININET"), wininet);
    EXPECT_EQ(reinterpret_cast<void *>(GetProcAddress(wininet, "InternetConnectA")),
              reinterpret_cast<void *>(&InternetConnectA));
    EXPECT_EQ(reinterpret_cast<void *>(GetProcAddress(wininet, "FtpPutFileA")),
              reinterpret_cast<void *>(&FtpPutFileA));

    struct Case
    {
        DWORD code;
        WORD language;
        const char *text;
    };
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const WORD spanish = MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN);
    const Case cases[] = {
        {ERROR_INTERNET_TIMEOUT, english, "The operation timed out\r\n"},
        {ERROR_INTERNET_CANNOT_CONNECT, english, "A connection with the server could not be established\r\n"},
        {ERROR_INTERNET_INCORRECT_PASSWORD, english, "The password was not allowed\r\n"},
        {ERROR_FTP_DROPPED, english, "The FTP session was terminated\r\n"},
        {ERROR_INTERNET_TIMEOUT, spanish, "Se agotó el tiempo de espera para la operación\r\n"},
        {ERROR_INTERNET_EXTENDED_ERROR, spanish, "El servidor devolvió información extendida\r\n"},
    };
    for (const Case &c : cases)
    {
        char text[256];
        std::memset(text, 0, sizeof text);
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet,
                                      c.code, c.language, text, sizeof text, nullptr);
        EXPECT_EQ(std::string(text, length), c.text) << c.code;
    }
    char text[64];
    SetLastError(kSentinel);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, wininet, ERROR_FILE_NOT_FOUND, english, text,
                             sizeof text, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    FreeLibrary(wininet);
}

TEST(WinInetResponse, BufferRules)
{
    // On a new thread, whatever the earlier tests left on this one: nothing yet, an empty text.
    std::thread([] {
        char text[8];
        std::memset(text, 0x5A, sizeof text);
        DWORD error = kSentinel, size = sizeof text;
        EXPECT_TRUE(InternetGetLastResponseInfoA(&error, text, &size));
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(text[0], '\0');
        EXPECT_EQ(text[1], 0x5A);
        SetLastError(kSentinel);
        EXPECT_FALSE(InternetGetLastResponseInfoA(nullptr, text, &size));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }).join();
}

// --- synchronous sessions ---

TEST_F(WinInet, PutAndGetInBothModes)
{
    FakeFtp &server = Serve();
    const std::string content = Binary(200000);
    kittest::WriteHostFile(LocalPath("up.bin"), content);
    for (DWORD mode : {DWORD{0}, static_cast<DWORD>(INTERNET_FLAG_PASSIVE)})
    {
        HINTERNET internet = Open();
        HINTERNET ftp = Connect(internet, "5807", mode);
        ASSERT_NE(ftp, nullptr) << GetLastError();
        EXPECT_EQ(LastResponse(), "230 User logged in.\r\n");
        DWORD type = 0, size = sizeof type;
        EXPECT_TRUE(InternetQueryOptionA(ftp, INTERNET_OPTION_HANDLE_TYPE, &type, &size));
        EXPECT_EQ(type, static_cast<DWORD>(INTERNET_HANDLE_TYPE_CONNECT_FTP));

        SetLastError(kSentinel);
        ASSERT_TRUE(FtpPutFileA(ftp, LocalPath("up.bin").c_str(), "rom-t", FTP_TRANSFER_TYPE_BINARY, 0))
            << GetLastError();
        EXPECT_EQ(server.File("rom-t"), content);
        EXPECT_EQ(LastResponse(), "226 Transfer complete.\r\n");

        DeleteFileA(LocalPath("down.bin").c_str());
        ASSERT_TRUE(FtpGetFileA(ftp, "rom-t", LocalPath("down.bin").c_str(), FALSE, 0xA0,
                                FTP_TRANSFER_TYPE_BINARY, 0))
            << GetLastError();
        EXPECT_EQ(kittest::ReadHostFile(LocalPath("down.bin")), content);
        EXPECT_TRUE(InternetCloseHandle(ftp));
        EXPECT_TRUE(InternetCloseHandle(internet));
    }
    const std::vector<std::string> commands = server.Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], "USER guest");
    EXPECT_EQ(commands[1], "PASS 5807");
    int ports = 0, passives = 0, quits = 0;
    for (const std::string &command : commands)
    {
        ports += command.rfind("PORT " + std::string(kPcInReply) + ",", 0) == 0; // the PC's address
        passives += command == "PASV";
        quits += command == "QUIT";
        EXPECT_NE(command, "TYPE A");
    }
    EXPECT_EQ(ports, 2);
    EXPECT_EQ(passives, 2);
    EXPECT_EQ(quits, 2);
}

TEST_F(WinInet, LoginRefusals)
{
    Serve();
    struct Case
    {
        const char *user, *password;
        DWORD error;
        const char *response;
    };
    const Case cases[] = {
        {"guest", "1234", ERROR_INTERNET_INCORRECT_PASSWORD, "530 Login incorrect.\r\n"},
        {"root", "5807", ERROR_INTERNET_INCORRECT_USER_NAME, "530 Unknown user.\r\n"},
    };
    HINTERNET internet = Open();
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_EQ(
            InternetConnectA(internet, kRouter, ServerPort(), c.user, c.password, INTERNET_SERVICE_FTP, 0, 0),
            nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        DWORD error = 0;
        EXPECT_EQ(LastResponse(&error), c.response);
        EXPECT_EQ(error, c.error);
    }
    InternetCloseHandle(internet);
}

TEST_F(WinInet, ServersThatMisbehaveDuringLogin)
{
    struct Case
    {
        const char *name;
        FakeFtp::Hook hook;
        std::string banner;
        DWORD error;
        std::string response; // "" = not checked
    };
    const Case cases[] = {
        {"closes at once",
         [](Session &, const std::string &verb, const std::string &) { return verb == "<connect>"; }, "",
         ERROR_FTP_DROPPED, ""},
        {"closes after the password",
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "PASS")
                 return false;
             shutdown(session.Control(), SD_BOTH);
             return true;
         },
         "220 ok\r\n", ERROR_FTP_DROPPED, ""},
        {"garbage banner", {}, "HELLO THERE\r\n", ERROR_INTERNET_EXTENDED_ERROR, "HELLO THERE\r\n"},
        {"non-digit code", {}, "2x0 hi\r\n", ERROR_INTERNET_EXTENDED_ERROR, "2x0 hi\r\n"},
        {"code out of range", {}, "620 hi\r\n", ERROR_INTERNET_EXTENDED_ERROR, ""},
        {"service not available",
         {},
         "421 Too many users.\r\n",
         ERROR_INTERNET_EXTENDED_ERROR,
         "421 Too many users.\r\n"},
        {"needs an account",
         [](Session &session, const std::string &verb, const std::string &) {
             return verb == "PASS" && session.Send("332 Need account for login.\r\n");
         },
         "220 ok\r\n", ERROR_INTERNET_LOGIN_FAILURE, "332 Need account for login.\r\n"},
        {"reply cut short",
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "PASS")
                 return false;
             session.Send("230 Logged");
             shutdown(session.Control(), SD_BOTH);
             return true;
         },
         "220 ok\r\n", ERROR_FTP_DROPPED, "230 Logged"},
        {"non-ASCII text kept as it is",
         [](Session &session, const std::string &verb, const std::string &) {
             return verb == "PASS" && session.Send("530 Contrase\xF1"
                                                   "a incorrecta \xA1\r\n");
         },
         "220 ok\r\n", ERROR_INTERNET_INCORRECT_PASSWORD,
         "530 Contrase\xF1"
         "a incorrecta \xA1\r\n"},
    };
    for (const Case &c : cases)
    {
        Serve(c.hook, c.banner);
        HINTERNET internet = Open();
        SetLastError(kSentinel);
        EXPECT_EQ(Connect(internet), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        if (!c.response.empty())
        {
            EXPECT_EQ(LastResponse(), c.response) << c.name;
        }
        InternetCloseHandle(internet);
    }
}

TEST_F(WinInet, RepliesInPiecesAndGroups)
{
    // Byte by byte, multi-line groups with lines that look like codes, LF without CR.
    FakeFtp::Hook hook = [](Session &session, const std::string &verb, const std::string &) {
        auto trickle = [&](const std::string &text) {
            for (char c : text)
                session.Send(std::string(1, c));
            return true;
        };
        if (verb == "<connect>")
            return false;
        if (verb == "USER")
            return trickle("331-Password\r\n331-is\n230 not the end\r\n331 required.\r\n");
        if (verb == "PASS")
            return trickle("230-Welcome\r\n 230 indented\r\n230 Logged in.\r\n");
        return false;
    };
    Serve(hook, "220-Fake router\r\n220-second line\r\n220 ready\r\n");
    HINTERNET internet = Open();
    HINTERNET ftp = Connect(internet);
    ASSERT_NE(ftp, nullptr) << GetLastError();
    EXPECT_EQ(LastResponse(), "230-Welcome\r\n 230 indented\r\n230 Logged in.\r\n");
    InternetCloseHandle(ftp);
    InternetCloseHandle(internet);
}

TEST_F(WinInet, EndlessOrSilentServersEnd)
{
    struct Case
    {
        const char *name;
        FakeFtp::Hook hook;
        DWORD error;
    };
    const Case cases[] = {
        {"silent",
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb == "<connect>")
                 session.Stall();
             return verb == "<connect>";
         },
         ERROR_INTERNET_TIMEOUT},
        {"endless line",
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "<connect>")
                 return false;
             const std::string junk(1000, '9');
             while (session.Send(junk))
             {
             }
             return true;
         },
         ERROR_INTERNET_EXTENDED_ERROR},
        {"endless group",
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "<connect>")
                 return false;
             session.Send("220-start\r\n");
             while (session.Send("more lines of the group\r\n"))
             {
             }
             return true;
         },
         ERROR_INTERNET_EXTENDED_ERROR},
        // Each byte comes well within the time-out, but the reply never ends.
        {"trickling reply",
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "<connect>")
                 return false;
             session.Send("220-");
             while (session.Send("x"))
                 Sleep(50);
             return true;
         },
         ERROR_INTERNET_TIMEOUT},
        {"nothing but preliminary replies",
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "<connect>")
                 return false;
             while (session.Send("120 Ready soon.\r\n"))
                 Sleep(20);
             return true;
         },
         ERROR_INTERNET_TIMEOUT},
    };
    for (const Case &c : cases)
    {
        Serve(c.hook);
        HINTERNET internet = Open(0, 300);
        SetLastError(kSentinel);
        EXPECT_EQ(Connect(internet), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        InternetCloseHandle(internet);
    }
}

TEST_F(WinInet, UnreachableServers)
{
    Serve();
    HINTERNET internet = Open();
    struct Case
    {
        const char *server;
        INTERNET_PORT port;
        DWORD error;
    };
    const kittest::ClosedPort closed;
#ifdef _WIN32
    const INTERNET_PORT nothing = closed.Port();
#else
    const INTERNET_PORT nothing = 2121; // mapped by Serve, but nothing listens there
#endif
    const std::vector<Case> cases = {
        {kRouter, nothing, ERROR_INTERNET_CANNOT_CONNECT},
#ifndef _WIN32
        // Names and addresses the PC cannot reach (on Windows they would be looked up and tried).
        {"10.0.0.5", 21, ERROR_INTERNET_CANNOT_CONNECT}, // not on the virtual network
        {"router", 21, ERROR_INTERNET_NAME_NOT_RESOLVED},
        {"192.168.1.256", 21, ERROR_INTERNET_NAME_NOT_RESOLVED},
#endif
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_EQ(InternetConnectA(internet, c.server, c.port, "guest", "5807", INTERNET_SERVICE_FTP, 0, 0),
                  nullptr);
        EXPECT_EQ(GetLastError(), c.error) << c.server;
    }
    InternetCloseHandle(internet);
}

TEST_F(WinInet, TransferFailures)
{
    FakeFtp &server = Serve();
    server.SetFile("rom-t", "abc");
    HINTERNET internet = Open(0, 1000);
    HINTERNET ftp = Connect(internet);
    ASSERT_NE(ftp, nullptr);

    // The server has no such file: its reply, and no local file left behind.
    SetLastError(kSentinel);
    EXPECT_FALSE(
        FtpGetFileA(ftp, "missing", LocalPath("m.cfg").c_str(), FALSE, 0, FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_EXTENDED_ERROR));
    EXPECT_EQ(LastResponse(), "550 missing: No such file.\r\n");
    EXPECT_EQ(kittest::ReadHostFile(LocalPath("m.cfg")), "<none>");

    // The local side.
    kittest::WriteHostFile(LocalPath("exists.cfg"), "keep");
    SetLastError(kSentinel);
    EXPECT_FALSE(
        FtpGetFileA(ftp, "rom-t", LocalPath("exists.cfg").c_str(), TRUE, 0, FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(kittest::ReadHostFile(LocalPath("exists.cfg")), "keep");
    SetLastError(kSentinel);
    EXPECT_FALSE(FtpPutFileA(ftp, LocalPath("nothing.bin").c_str(), "ras", FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_FALSE(FtpGetFileA(ftp, "rom-t", LocalPath("no/such/dir.cfg").c_str(), FALSE, 0,
                             FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_FALSE(FtpPutFileA(ftp, "", "ras", FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The session still works after all that.
    EXPECT_TRUE(
        FtpGetFileA(ftp, "rom-t", LocalPath("ok.cfg").c_str(), FALSE, 0, FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(kittest::ReadHostFile(LocalPath("ok.cfg")), "abc");
    InternetCloseHandle(ftp);
    InternetCloseHandle(internet);
}

TEST_F(WinInet, DataConnectionFaults)
{
    struct Case
    {
        const char *name;
        DWORD mode;
        bool get;
        FakeFtp::Hook hook;
        DWORD error;
    };
    const std::vector<Case> cases = {
        {"active: the server never connects", 0, false,
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "STOR")
                 return false;
             session.Send("150 Opening data connection.\r\n");
             session.Stall();
             return true;
         },
         ERROR_INTERNET_TIMEOUT},
        {"active: the server cannot connect", 0, false,
         [](Session &session, const std::string &verb, const std::string &) {
             return verb == "STOR" && session.Send("425 Can't open data connection.\r\n");
         },
         ERROR_INTERNET_EXTENDED_ERROR},
#ifndef _WIN32
        // On Windows the client would try that address itself.
        {"passive: an address off the network", INTERNET_FLAG_PASSIVE, false,
         [](Session &session, const std::string &verb, const std::string &) {
             return verb == "PASV" && session.Send("227 Entering Passive Mode (10,1,2,3,200,10)\r\n");
         },
         ERROR_INTERNET_CANNOT_CONNECT},
#endif
        {"passive: refused", INTERNET_FLAG_PASSIVE, false,
         [](Session &session, const std::string &verb, const std::string &) {
             return verb == "PASV" && session.Send("502 No passive mode here.\r\n");
         },
         ERROR_FTP_NO_PASSIVE_MODE},
        {"passive: garbled address", INTERNET_FLAG_PASSIVE, true,
         [](Session &session, const std::string &verb, const std::string &) {
             return verb == "PASV" &&
                    session.Send("227 Entering Passive Mode (" + std::string(kRouterInReply) + ",999,1)\r\n");
         },
         ERROR_INTERNET_EXTENDED_ERROR},
        {"control dropped during the upload", 0, false,
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "STOR")
                 return false;
             session.Send("150 Opening data connection.\r\n");
             SOCKET data = session.OpenData();
             char chunk[1000];
             recv(data, chunk, sizeof chunk, 0);
             shutdown(session.Control(), SD_BOTH);
             closesocket(data);
             return true;
         },
         ERROR_FTP_DROPPED},
        {"data dropped during the download", INTERNET_FLAG_PASSIVE, true,
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "RETR")
                 return false;
             session.Send("150 Opening data connection.\r\n");
             SOCKET data = session.OpenData();
             send(data, "partial", 7, 0);
             closesocket(data);
             session.Send("426 Connection closed; transfer aborted.\r\n");
             return true;
         },
         ERROR_INTERNET_EXTENDED_ERROR},
        {"no final reply", INTERNET_FLAG_PASSIVE, true,
         [](Session &session, const std::string &verb, const std::string &) {
             if (verb != "RETR")
                 return false;
             session.Send("150 Opening data connection.\r\n");
             SOCKET data = session.OpenData();
             send(data, "all", 3, 0);
             closesocket(data);
             session.Stall();
             return true;
         },
         ERROR_INTERNET_TIMEOUT},
    };
    kittest::WriteHostFile(LocalPath("up.bin"), Binary(300000));
    for (const Case &c : cases)
    {
        FakeFtp &server = Serve(c.hook);
        server.SetFile("rom-t", "x");
        HINTERNET internet = Open(0, 500);
        HINTERNET ftp = Connect(internet, "5807", c.mode);
        ASSERT_NE(ftp, nullptr) << c.name;
        SetLastError(kSentinel);
        DeleteFileA(LocalPath("down.cfg").c_str());
        const BOOL ok =
            c.get ? FtpGetFileA(ftp, "rom-t", LocalPath("down.cfg").c_str(), FALSE, 0,
                                FTP_TRANSFER_TYPE_BINARY, 0)
                  : FtpPutFileA(ftp, LocalPath("up.bin").c_str(), "rom-t", FTP_TRANSFER_TYPE_BINARY, 0);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        EXPECT_EQ(kittest::ReadHostFile(LocalPath("down.cfg")), "<none>") << c.name;
        EXPECT_TRUE(InternetCloseHandle(ftp));
        InternetCloseHandle(internet);
    }
}

// --- asynchronous sessions ---

TEST_F(WinInet, AsynchronousConnectNotifiesInOrder)
{
    Serve();
    Recorder recorder;
    HINTERNET internet = Open(INTERNET_FLAG_ASYNC);
    ASSERT_EQ(InternetSetStatusCallbackA(internet, &Recorder::Callback), nullptr);
    SetLastError(kSentinel);
    EXPECT_EQ(Connect(internet, "5807", 0, recorder.Context()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    Event complete;
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, &complete));

    const std::vector<Event> events = recorder.Events();
    const std::vector<DWORD> expected = {
        INTERNET_STATUS_HANDLE_CREATED,      INTERNET_STATUS_RESOLVING_NAME,
        INTERNET_STATUS_NAME_RESOLVED,       INTERNET_STATUS_CONNECTING_TO_SERVER,
        INTERNET_STATUS_CONNECTED_TO_SERVER, INTERNET_STATUS_RECEIVING_RESPONSE,
        INTERNET_STATUS_RESPONSE_RECEIVED,                                 // banner
        INTERNET_STATUS_SENDING_REQUEST,     INTERNET_STATUS_REQUEST_SENT, // USER
        INTERNET_STATUS_RECEIVING_RESPONSE,  INTERNET_STATUS_RESPONSE_RECEIVED,
        INTERNET_STATUS_SENDING_REQUEST,     INTERNET_STATUS_REQUEST_SENT, // PASS
        INTERNET_STATUS_RECEIVING_RESPONSE,  INTERNET_STATUS_RESPONSE_RECEIVED,
        INTERNET_STATUS_REQUEST_COMPLETE,
    };
    EXPECT_EQ(recorder.Statuses(), expected);
    const HINTERNET ftp = reinterpret_cast<HINTERNET>(events[0].result);
    EXPECT_NE(ftp, nullptr);
    EXPECT_EQ(events[0].length, sizeof(INTERNET_ASYNC_RESULT));
    EXPECT_EQ(events[1].text, kRouter);
    EXPECT_EQ(events[1].length, std::strlen(kRouter) + 1);
    EXPECT_EQ(events[4].text, kRouter);
    EXPECT_EQ(events[6].count, sizeof "220 Fake FTP ready\r\n" - 1);
    EXPECT_EQ(events[8].count, sizeof "USER guest\r\n" - 1);
    EXPECT_EQ(events[12].count, sizeof "PASS 5807\r\n" - 1);
    EXPECT_EQ(complete.result, reinterpret_cast<DWORD_PTR>(ftp));
    EXPECT_EQ(complete.error, 0u);
    EXPECT_EQ(complete.text, "230 User logged in.\r\n"); // the callback's thread has the reply
    for (const Event &event : events)
    {
        EXPECT_EQ(event.context, recorder.Context());
        EXPECT_EQ(event.handle, ftp);
        EXPECT_NE(event.thread, std::this_thread::get_id()); // the platform's own thread
    }

    // Closing: the goodbye, then the handle's last notification; the session (context 0) is silent.
    recorder.Clear();
    EXPECT_TRUE(InternetCloseHandle(ftp));
    EXPECT_TRUE(InternetCloseHandle(internet));
    Event closing;
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING, &closing));
    EXPECT_EQ(closing.closing, ftp);
    EXPECT_EQ(closing.length, sizeof(HINTERNET));
    const std::vector<DWORD> closed = {INTERNET_STATUS_CLOSING_CONNECTION, INTERNET_STATUS_CONNECTION_CLOSED,
                                       INTERNET_STATUS_HANDLE_CLOSING};
    EXPECT_EQ(recorder.Statuses(), closed);
    ASSERT_TRUE(server_->WaitCommands(3));
    EXPECT_EQ(server_->Commands().back(), "QUIT");
}

TEST_F(WinInet, AsynchronousTransfersCountTheirBytes)
{
    FakeFtp &server = Serve();
    const std::string content = Binary(3 * 65536 + 123);
    kittest::WriteHostFile(LocalPath("fw.bin"), content);
    for (DWORD mode : {DWORD{0}, static_cast<DWORD>(INTERNET_FLAG_PASSIVE)})
    {
        Recorder recorder;
        HINTERNET internet = Open(INTERNET_FLAG_ASYNC);
        InternetSetStatusCallbackA(internet, &Recorder::Callback);
        Connect(internet, "5807", mode, recorder.Context());
        Event complete;
        ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, &complete));
        ASSERT_EQ(complete.error, 0u);
        HINTERNET ftp = reinterpret_cast<HINTERNET>(complete.result);

        recorder.Clear();
        const size_t before = server.Commands().size();
        SetLastError(kSentinel);
        EXPECT_FALSE(FtpPutFileA(ftp, LocalPath("fw.bin").c_str(), "ras", FTP_TRANSFER_TYPE_BINARY,
                                 recorder.Context()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        // One request at a time.
        SetLastError(kSentinel);
        EXPECT_FALSE(FtpGetFileA(ftp, "ras", LocalPath("x").c_str(), FALSE, 0, FTP_TRANSFER_TYPE_BINARY,
                                 recorder.Context()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FTP_TRANSFER_IN_PROGRESS));
        ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, &complete));
        EXPECT_EQ(complete.error, 0u);
        EXPECT_EQ(complete.result, static_cast<DWORD_PTR>(TRUE));
        EXPECT_EQ(server.File("ras"), content);
        // Every byte sent is counted: the commands (TYPE, PORT or PASV, STOR) and the file.
        const std::vector<std::string> sent = server.Commands();
        ASSERT_EQ(sent.size(), before + 3);
        size_t commands = 0;
        for (size_t i = before; i < sent.size(); ++i)
            commands += sent[i].size() + 2;
        EXPECT_EQ(recorder.Sum(INTERNET_STATUS_REQUEST_SENT), content.size() + commands);
        const std::vector<DWORD> statuses = recorder.Statuses();
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), INTERNET_STATUS_SENDING_REQUEST),
                  std::count(statuses.begin(), statuses.end(), INTERNET_STATUS_REQUEST_SENT)); // in pairs

        recorder.Clear();
        DeleteFileA(LocalPath("back.bin").c_str());
        const size_t replies = server.ReplyBytes();
        EXPECT_FALSE(FtpGetFileA(ftp, "ras", LocalPath("back.bin").c_str(), FALSE, 0xA0,
                                 FTP_TRANSFER_TYPE_BINARY, recorder.Context()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, &complete));
        EXPECT_EQ(complete.error, 0u);
        EXPECT_EQ(kittest::ReadHostFile(LocalPath("back.bin")), content);
        // Every byte received is counted: the replies and the file.
        EXPECT_EQ(recorder.Sum(INTERNET_STATUS_RESPONSE_RECEIVED),
                  content.size() + server.ReplyBytes() - replies);

        InternetCloseHandle(ftp);
        ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING));
        InternetCloseHandle(internet);
    }
}

TEST_F(WinInet, AsynchronousFailuresAndCancellation)
{
    // A refused login completes with the error; the handle stays until closed.
    Serve();
    {
        Recorder recorder;
        HINTERNET internet = Open(INTERNET_FLAG_ASYNC);
        InternetSetStatusCallbackA(internet, &Recorder::Callback);
        EXPECT_EQ(Connect(internet, "0000", 0, recorder.Context()), nullptr);
        Event created, complete;
        ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, &complete));
        ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CREATED, &created));
        EXPECT_EQ(complete.result, 0u);
        EXPECT_EQ(complete.error, static_cast<DWORD>(ERROR_INTERNET_INCORRECT_PASSWORD));
        EXPECT_EQ(complete.text, "530 Login incorrect.\r\n");
        HINTERNET ftp = reinterpret_cast<HINTERNET>(created.result);
        SetLastError(kSentinel);
        EXPECT_FALSE(FtpPutFileA(ftp, "a", "b", FTP_TRANSFER_TYPE_BINARY, 0)); // no session behind it
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FTP_DROPPED));
        EXPECT_TRUE(InternetCloseHandle(ftp));
        ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING));
        EXPECT_EQ(recorder.Statuses().back(), static_cast<DWORD>(INTERNET_STATUS_HANDLE_CLOSING));
        InternetCloseHandle(internet);
    }

    // Closing the handle while the server says nothing: the request ends cancelled, then the
    // handle's last notification.
    FakeFtp &silent = Serve([](Session &session, const std::string &verb, const std::string &) {
        if (verb == "<connect>")
            session.Stall();
        return true;
    });
    (void)silent;
    Recorder recorder;
    HINTERNET internet = Open(INTERNET_FLAG_ASYNC, 60000);
    InternetSetStatusCallbackA(internet, &Recorder::Callback);
    Connect(internet, "5807", 0, recorder.Context());
    Event created;
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_CONNECTED_TO_SERVER));
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CREATED, &created));
    EXPECT_TRUE(InternetCloseHandle(reinterpret_cast<HINTERNET>(created.result)));
    Event complete;
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING));
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, &complete));
    EXPECT_EQ(complete.error, static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
    EXPECT_EQ(recorder.Statuses().back(), static_cast<DWORD>(INTERNET_STATUS_HANDLE_CLOSING));
    InternetCloseHandle(internet);
}

TEST_F(WinInet, ClosingTheSessionClosesItsConnections)
{
    Serve();
    Recorder recorder;
    HINTERNET internet = Open(INTERNET_FLAG_ASYNC);
    InternetSetStatusCallbackA(internet, &Recorder::Callback);
    Connect(internet, "5807", 0, recorder.Context());
    Event complete;
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, &complete));
    HINTERNET ftp = reinterpret_cast<HINTERNET>(complete.result);
    EXPECT_TRUE(InternetCloseHandle(internet));
    Event closing;
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING, &closing));
    EXPECT_EQ(closing.closing, ftp);
    SetLastError(kSentinel);
    EXPECT_FALSE(InternetCloseHandle(ftp));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(WinInet, ZeroContextRunsSynchronously)
{
    Serve();
    Recorder recorder;
    HINTERNET internet = Open(INTERNET_FLAG_ASYNC);
    InternetSetStatusCallbackA(internet, &Recorder::Callback);
    HINTERNET ftp = Connect(internet, "5807", 0, 0);
    ASSERT_NE(ftp, nullptr) << GetLastError();
    EXPECT_TRUE(InternetCloseHandle(ftp));
    EXPECT_TRUE(InternetCloseHandle(internet));
    EXPECT_TRUE(recorder.Events().empty()); // a zero context is never notified
}

TEST_F(WinInet, SynchronousNotificationsComeOnTheCallersThread)
{
    Serve();
    Recorder recorder;
    HINTERNET internet = Open();
    InternetSetStatusCallbackA(internet, &Recorder::Callback);
    HINTERNET ftp = Connect(internet, "5807", 0, recorder.Context());
    ASSERT_NE(ftp, nullptr);
    EXPECT_TRUE(InternetCloseHandle(ftp));
    const std::vector<Event> events = recorder.Events();
    ASSERT_FALSE(events.empty());
    for (const Event &event : events)
    {
        EXPECT_EQ(event.thread, std::this_thread::get_id());
        EXPECT_NE(event.status, static_cast<DWORD>(INTERNET_STATUS_REQUEST_COMPLETE));
    }
    EXPECT_EQ(events.front().status, static_cast<DWORD>(INTERNET_STATUS_HANDLE_CREATED));
    EXPECT_EQ(events.back().status, static_cast<DWORD>(INTERNET_STATUS_HANDLE_CLOSING));
    InternetCloseHandle(internet);
}

// The platform's TerminateThread ends a thread at its wait points and releases what it held;
// Windows documents that a thread killed inside a DLL leaves that DLL's state inconsistent.
#ifndef _WIN32
namespace
{
struct Stuck
{
    HINTERNET ftp;
    std::string local;
};

DWORD WINAPI GetForever(LPVOID param)
{
    auto *stuck = static_cast<Stuck *>(param);
    FtpGetFileA(stuck->ftp, "rom-t", stuck->local.c_str(), FALSE, 0, FTP_TRANSFER_TYPE_BINARY, 0);
    return 0;
}
} // namespace

TEST_F(WinInet, TerminatedThreadLeavesAConnectionThatCloses)
{
    // A synchronous download waits on a silent server; TerminateThread ends it at that wait.
    Serve([](Session &session, const std::string &verb, const std::string &) {
        if (verb != "RETR")
            return false;
        session.Stall();
        return true;
    });
    Recorder recorder;
    HINTERNET internet = Open(0, 60000);
    InternetSetStatusCallbackA(internet, &Recorder::Callback);
    HINTERNET ftp = Connect(internet, "5807", INTERNET_FLAG_PASSIVE, recorder.Context());
    ASSERT_NE(ftp, nullptr);
    Stuck stuck{ftp, LocalPath("stuck.cfg")};
    HANDLE thread = CreateThread(nullptr, 0, GetForever, &stuck, 0, nullptr);
    ASSERT_TRUE(server_->WaitCommands(5)); // USER PASS TYPE PASV RETR
    EXPECT_TRUE(TerminateThread(thread, 77));
    EXPECT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 77u);
    CloseHandle(thread);

    EXPECT_TRUE(InternetCloseHandle(ftp));
    Event closing;
    ASSERT_TRUE(recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING, &closing));
    EXPECT_EQ(closing.closing, ftp);
    EXPECT_EQ(kittest::ReadHostFile(LocalPath("stuck.cfg")),
              "<none>"); // the half download went with the thread
    InternetCloseHandle(internet);
}
#endif
