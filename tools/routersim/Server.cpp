#include "tools/routersim/Server.h"
#include "tools/text/ToolText.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <thread>
#include <vector>

namespace routersim
{
namespace
{
constexpr int kIdleLimit = 300000;         // a control connection nobody uses is closed
constexpr int kDataWait = 30000;           // for a data connection to come
constexpr size_t kMaxLine = 4096;          // a command line longer than this ends the session
constexpr size_t kMaxConfig = 1024 * 1024; // "rom-t" is a text of a few KiB
constexpr size_t kMaxFirmware = 64u << 20; // "ras"
constexpr size_t kChunk = 16 * 1024;       // data moved per send or receive
constexpr size_t kFaultPoint = 1024;       // bytes moved before a fault strikes mid-transfer

// "h1,h2,h3,h4,p1,p2": the port (the host is taken to be the PC, reached at loopback).
bool PortOfArgument(const std::string &argument, uint16_t &port)
{
    unsigned n[6];
    char tail;
    if (std::sscanf(argument.c_str(), "%u,%u,%u,%u,%u,%u%c", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5],
                    &tail) != 6)
        return false;
    for (unsigned value : n)
        if (value > 255)
            return false;
    port = static_cast<uint16_t>(n[4] << 8 | n[5]);
    return port != 0;
}

// One FTP control connection.
class FtpSession
{
  public:
    FtpSession(Server &server, Fd control, int id)
        : server_(server), router_(server.TheRouter()), control_(std::move(control)), id_(id),
          life_(server.Life()), faults_(router_.CurrentFaults())
    {
    }

    void Run()
    {
        Log("connected");
        if (faults_.silent)
        {
            Drain();
            Log("silent session ended");
            return;
        }
        if (!Reply(faults_.garbage ? std::string("\x16\x03\x01 \xFF\xFE no FTP here\r\n")
                                   : "220 FTP version 1.0 ready at Sat Jan 01 00:00:00 2000\r\n"))
            return;
        std::string line;
        while (ReadLine(line))
        {
            const size_t blank = line.find(' ');
            const std::string verb = tooltext::ToUpper(line.substr(0, blank));
            const std::string argument = blank == std::string::npos ? "" : line.substr(blank + 1);
            Log("> " + (verb == "PASS" ? std::string("PASS ****") : line));
            if (faults_.garbage)
            {
                if (!Reply("?? " + std::string(1, '\x80') + "\r\n"))
                    return;
                continue;
            }
            if (!Command(verb, argument))
                break;
        }
        Log("closed");
    }

  private:
    bool Command(const std::string &verb, const std::string &argument)
    {
        if (verb == "QUIT")
        {
            Reply("221 Goodbye.\r\n");
            return false;
        }
        if (verb == "USER")
        {
            user_ = argument;
            loggedIn_ = false;
            return Reply("331 Enter PASS command\r\n");
        }
        if (verb == "PASS")
        {
            loggedIn_ = !faults_.refuseLogin && user_ == "guest" && argument == router_.Password();
            return Reply(loggedIn_ ? "230 Logged in\r\n" : "530 Login incorrect.\r\n");
        }
        if (!loggedIn_)
            return Reply("530 Please login with USER and PASS.\r\n");
        if (verb == "SYST")
            return Reply("215 UNIX Type: L8\r\n");
        if (verb == "PWD" || verb == "XPWD")
            return Reply("257 \"/\" is current directory.\r\n");
        if (verb == "CWD")
            return Reply("250 CWD command successful.\r\n");
        if (verb == "NOOP")
            return Reply("200 NOOP command successful.\r\n");
        if (verb == "TYPE")
        {
            const std::string type = tooltext::ToUpper(argument);
            if (type == "I" || type == "L 8" || type == "A" || type == "A N")
                return Reply("200 Type set to " + type.substr(0, 1) + ".\r\n");
            return Reply("504 Type not supported.\r\n");
        }
        if (verb == "MODE" || verb == "STRU")
            return Reply(tooltext::ToUpper(argument) == (verb == "MODE" ? "S" : "F")
                             ? "200 OK.\r\n"
                             : "504 Not supported.\r\n");
        if (verb == "PASV")
            return Passive();
        if (verb == "PORT")
        {
            passive_.Close();
            if (!PortOfArgument(argument, activePort_))
                return Reply("501 Illegal PORT command.\r\n");
            return Reply("200 PORT command successful.\r\n");
        }
        if (verb == "SIZE")
        {
            if (Name(argument) != "rom-t")
                return Reply("550 No such file.\r\n");
            return Reply("213 " + std::to_string(router_.ConfigText().size()) + "\r\n");
        }
        if (verb == "STOR")
            return Store(Name(argument));
        if (verb == "RETR")
            return Retrieve(Name(argument));
        return Reply("502 Command not implemented.\r\n");
    }

    static std::string Name(std::string argument)
    {
        while (!argument.empty() && argument.front() == '/')
            argument.erase(0, 1);
        return argument;
    }

    bool Passive()
    {
        activePort_ = 0;
        uint16_t port = 0;
        passive_ = ListenLoopback(port);
        if (!passive_.Valid())
            return Reply("425 Can't open passive connection.\r\n");
        // The reply names the router's own (virtual) address; the PC maps it back.
        unsigned a = 0, b = 0, c = 0, d = 0;
        std::sscanf(router_.Address().c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
        char reply[96];
        std::snprintf(reply, sizeof reply, "227 Entering Passive Mode (%u,%u,%u,%u,%u,%u)\r\n", a, b, c, d,
                      port >> 8, port & 0xFF);
        return Reply(reply);
    }

    // The data connection of the last PASV or PORT.
    Fd OpenData()
    {
        Fd data;
        if (passive_.Valid())
        {
            data = AcceptWithin(passive_, kDataWait);
            passive_.Close();
        }
        else if (activePort_ != 0)
            data = ConnectLoopback(activePort_, kDataWait);
        activePort_ = 0;
        return data;
    }

    // Opens the data connection after the preliminary reply; an invalid Fd when the session
    // is over or the transfer cannot go on (its reply given).
    bool BeginTransfer(const std::string &what, Fd &data, bool &goOn)
    {
        goOn = true;
        if (!passive_.Valid() && activePort_ == 0)
        {
            goOn = Reply("425 Use PORT or PASV first.\r\n");
            return false;
        }
        if (!Reply("150 Opening BINARY mode data connection for " + what + ".\r\n"))
        {
            goOn = false;
            return false;
        }
        if (faults_.noData || (faults_.firmwareNoData && what == "ras"))
        {
            Log("no data connection (fault)");
            Drain();
            goOn = false;
            return false;
        }
        data = OpenData();
        if (!data.Valid())
        {
            goOn = Reply("425 Can't open data connection.\r\n");
            return false;
        }
        return true;
    }

    // Strikes the mid-transfer faults; true when the transfer is to go on.
    bool Strike(Fd &data, size_t moved, bool &goOn, bool firmware = false)
    {
        if (moved < kFaultPoint)
            return true;
        if (faults_.dropControl)
        {
            Log("control connection dropped (fault)");
            data.Abort();
            control_.Abort();
            goOn = false;
            return false;
        }
        if (faults_.dropData || (firmware && faults_.firmwareDropData))
        {
            Log("data connection dropped (fault)");
            data.Abort();
            goOn = Reply("426 Connection closed; transfer aborted.\r\n");
            return false;
        }
        return true;
    }

    bool Store(const std::string &name)
    {
        if (name != "rom-t" && name != "ras")
            return Reply("553 Permission denied.\r\n");
        Fd data;
        bool goOn;
        if (!BeginTransfer(name, data, goOn))
            return goOn;
        const bool firmware = name == "ras";
        const size_t limit = firmware ? kMaxFirmware : kMaxConfig;
        std::string config;
        std::ofstream file;
        if (firmware)
            file.open(router_.FirmwarePath() + ".new", std::ios::binary | std::ios::trunc);
        std::vector<char> buffer(kChunk);
        size_t total = 0;
        for (;;)
        {
            size_t received = 0;
            Received result = ReceiveSome(data, buffer.data(), buffer.size(), received, kDataWait);
            if (result == Received::End)
                break;
            if (result != Received::Data)
            {
                Log("data connection stalled");
                data.Abort();
                return Reply("426 Connection closed; transfer aborted.\r\n");
            }
            total += received;
            if (total > limit)
            {
                data.Abort();
                return Reply("552 Exceeded storage allocation.\r\n");
            }
            if (firmware)
                file.write(buffer.data(), static_cast<std::streamsize>(received));
            else
                config.append(buffer.data(), received);
            if (!Strike(data, total, goOn, firmware))
                return goOn;
        }
        data.Close();
        if (firmware)
        {
            file.close();
            if (!file ||
                std::rename((router_.FirmwarePath() + ".new").c_str(), router_.FirmwarePath().c_str()) != 0 ||
                !router_.KeepFirmware(total))
                return NotKept();
            Log("firmware received: " + std::to_string(total) + " bytes");
            server_.RequestRestart();
            Reply("226 File received OK\r\n");
            return false; // the router goes down at once
        }
        const Router::Applied applied = router_.ApplyConfig(config);
        Log("configuration received: " + std::to_string(total) + " bytes, " + std::to_string(applied.taken) +
            " settings taken, " + std::to_string(applied.refused) + " refused, " +
            std::to_string(applied.ignored) + " lines ignored");
        return applied.kept ? Reply("226 File received OK\r\n") : NotKept();
    }

    // What was received could not be kept in the state.
    bool NotKept()
    {
        Log("what was received could not be kept in the state");
        return Reply("451 Requested action aborted: local error in processing.\r\n");
    }

    bool Retrieve(const std::string &name)
    {
        if (name != "rom-t")
            return Reply("550 " + name + ": No such file.\r\n");
        const std::string content = router_.ConfigText();
        Fd data;
        bool goOn;
        if (!BeginTransfer(name + " (" + std::to_string(content.size()) + " bytes)", data, goOn))
            return goOn;
        size_t sent = 0;
        while (sent < content.size())
        {
            // Before a fault, only the bytes up to its point go out.
            const size_t room =
                sent < kFaultPoint && (faults_.dropControl || faults_.dropData) ? kFaultPoint - sent : kChunk;
            const size_t size = std::min(room, content.size() - sent);
            if (!SendAll(data, content.data() + sent, size, kDataWait))
            {
                data.Abort();
                return Reply("426 Connection closed; transfer aborted.\r\n");
            }
            sent += size;
            if (sent < content.size() && !Strike(data, sent, goOn))
                return goOn;
        }
        data.Close();
        Log("configuration sent: " + std::to_string(sent) + " bytes");
        return Reply("226 File sent OK\r\n");
    }

    bool Reply(const std::string &text)
    {
        if (faults_.slow && !Pause(faults_.delay))
            return false;
        return SendText(control_, text);
    }

    // The next command line; false when the client went, the router stops or restarts.
    bool ReadLine(std::string &line)
    {
        int idle = 0;
        for (;;)
        {
            const size_t end = buffer_.find('\n');
            if (end != std::string::npos)
            {
                line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
            if (buffer_.size() > kMaxLine)
            {
                Reply("500 Command line too long.\r\n");
                return false;
            }
            if (server_.Life() != life_ || idle >= kIdleLimit)
                return false;
            char chunk[1024];
            size_t received = 0;
            switch (ReceiveSome(control_, chunk, sizeof chunk, received, 500))
            {
            case Received::Data:
                buffer_.append(chunk, received);
                idle = 0;
                break;
            case Received::TimedOut:
                idle += 500;
                break;
            default:
                return false;
            }
        }
    }

    // Takes whatever comes until the client goes (a server that never answers).
    void Drain()
    {
        char chunk[1024];
        size_t received;
        while (server_.Life() == life_)
        {
            Received result = ReceiveSome(control_, chunk, sizeof chunk, received, 500);
            if (result == Received::End || result == Received::Stopped)
                return;
        }
    }

    void Log(const std::string &what) { router_.Log("ftp " + std::to_string(id_) + ": " + what); }

    Server &server_;
    Router &router_;
    Fd control_;
    const int id_;
    const uint64_t life_;
    const Faults faults_;
    std::string buffer_;
    std::string user_;
    bool loggedIn_ = false;
    Fd passive_;
    uint16_t activePort_ = 0;
};

// Port 80: one minimal page for whatever is asked.
void HttpSession(Router &router, Fd connection)
{
    std::string request;
    char chunk[1024];
    size_t received;
    if (router.CurrentFaults().silent)
    {
        while (ReceiveSome(connection, chunk, sizeof chunk, received, 500) != Received::End && !g_stop.load())
        {
        }
        return;
    }
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 8192 &&
           ReceiveSome(connection, chunk, sizeof chunk, received, 5000) == Received::Data)
        request.append(chunk, received);
    const std::string body =
        "<html><head><title>Prestige 643</title></head><body>Prestige 643</body></html>\r\n";
    SendText(connection,
             "HTTP/1.0 200 OK\r\nServer: RomPager/4.07\r\nContent-Type: text/html\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    router.Log("http: " + request.substr(0, request.find("\r\n")));
}
} // namespace

namespace
{
Fd ListenOrSay(uint16_t &port, const char *what, std::string &error)
{
    const uint16_t asked = port;
    Fd fd = ListenLoopback(port);
    if (!fd.Valid())
        error = std::string("cannot listen for ") + what + " on 127.0.0.1" +
                (asked ? ":" + std::to_string(asked) : std::string(" (any port)")) + ": " +
                (errno == EADDRINUSE ? std::string("the port is in use") : std::strerror(errno));
    return fd;
}
} // namespace

bool Server::Open(Ports &ports, std::string &error)
{
    ftp_ = ListenOrSay(ports.ftp, "ftp", error);
    if (ftp_.Valid())
        http_ = ListenOrSay(ports.http, "http", error);
    ports_ = ports;
    return ftp_.Valid() && http_.Valid();
}

void Server::RequestRestart()
{
    std::unique_lock guard(lock_);
    portsClosed_ = false;
    restartRequested_.store(true);
    ended_.wait_for(guard, std::chrono::seconds(2), [this] { return portsClosed_ || g_stop.load(); });
}

void Server::Restart()
{
    restartRequested_.store(false);
    ftp_.Close();
    http_.Close();
    {
        std::lock_guard guard(lock_);
        portsClosed_ = true;
    }
    ended_.notify_all();
    life_.fetch_add(1); // every session of the old life ends
    const int seconds = router_.RestartSeconds();
    router_.Announce("restarting for " + std::to_string(seconds) + " s");
    if (!Pause(seconds * 1000))
        return;
    for (int attempt = 0; attempt < 50 && !(ftp_.Valid() && http_.Valid()); ++attempt)
    {
        Ports ports = ports_;
        if (!ftp_.Valid())
            ftp_ = ListenLoopback(ports.ftp);
        if (!http_.Valid())
            http_ = ListenLoopback(ports.http);
        if (!(ftp_.Valid() && http_.Valid()) && !Pause(100))
            return;
    }
    router_.Announce(ftp_.Valid() && http_.Valid() ? "up again" : "could not take its ports again");
}

void Server::Spawn(Fd connection, bool ftp)
{
    {
        std::lock_guard guard(lock_);
        ++sessions_;
    }
    const int id = nextSession_.fetch_add(1);
    std::thread([this, connection = std::move(connection), ftp, id]() mutable {
        if (ftp)
            FtpSession(*this, std::move(connection), id).Run();
        else
            HttpSession(router_, std::move(connection));
        std::lock_guard guard(lock_);
        --sessions_;
        ended_.notify_all();
    }).detach();
}

void Server::AcceptWaiting(const Fd &listener, bool ftp)
{
    // Every connection waiting is taken at once, so that clients coming in a burst find room.
    for (Fd connection = AcceptWithin(listener, 0); connection.Valid();
         connection = AcceptWithin(listener, 0))
        Spawn(std::move(connection), ftp);
}

void Server::Run()
{
    while (!g_stop.load())
    {
        if (restartRequested_.load())
        {
            Restart();
            continue;
        }
        pollfd items[2] = {{ftp_.Get(), POLLIN, 0}, {http_.Get(), POLLIN, 0}};
        if (::poll(items, 2, 100) <= 0)
            continue;
        if (items[0].revents & POLLIN)
            AcceptWaiting(ftp_, true);
        if (items[1].revents & POLLIN)
            AcceptWaiting(http_, false);
    }
    ftp_.Close();
    http_.Close();
    std::unique_lock guard(lock_);
    ended_.wait_for(guard, std::chrono::seconds(3), [this] { return sessions_ == 0; });
}
} // namespace routersim
