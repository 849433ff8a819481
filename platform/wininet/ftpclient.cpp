// The FTP protocol of WinINet's FTP sessions. Host sockets are non-blocking; each wait is a
// sliced platform wait, so that a closed handle (the cancelled flag) or TerminateThread ends
// it soon.
// The server is reached through the virtual network, and so are its passive data ports; in
// active mode the PORT command names the PC's virtual address and the port we listen on at
// loopback.
#include "platform/wininet/ftpclient.h"
#include "platform/wininet.h"
#include "platform/core/netposix.h"
#include "platform/core/virtualnet.h"
#include "platform/core/wait.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace plat::ftp
{
namespace
{
using Clock = std::chrono::steady_clock;

constexpr DWORD kQuitWait = 1000; // a goodbye is not worth waiting long for

enum class Io
{
    Ok,
    Closed, // end of stream, reset or any other failure of the connection
    TimedOut,
    Cancelled,
};

DWORD ErrorOf(Io io, DWORD closedError)
{
    switch (io)
    {
    case Io::Ok:
        return 0;
    case Io::TimedOut:
        return ERROR_INTERNET_TIMEOUT;
    case Io::Cancelled:
        return ERROR_INTERNET_OPERATION_CANCELLED;
    case Io::Closed:
        break;
    }
    return closedError;
}

// What the end of a wait means to the operation waiting.
Io IoOf(WaitOutcome outcome)
{
    switch (outcome)
    {
    case WaitOutcome::Ready:
        return Io::Ok;
    case WaitOutcome::TimedOut:
        return Io::TimedOut;
    case WaitOutcome::Stopped:
        return Io::Cancelled;
    case WaitOutcome::Failed:
        break;
    }
    return Io::Closed;
}

// Whether the operation is no longer wanted (no flag: never).
std::function<bool()> CancelledBy(const std::atomic<bool> *cancelled)
{
    return [cancelled] { return cancelled && cancelled->load(); };
}

// Waits until one item is ready, the deadline passes or the operation is cancelled. A platform
// wait point.
Io WaitFor(std::span<net::PollItem> items, const Deadline &deadline, const std::atomic<bool> *cancelled)
{
    return IoOf(WaitForDescriptors(items, deadline, CancelledBy(cancelled)));
}

Io WaitOne(int fd, bool write, const Deadline &deadline, const std::atomic<bool> *cancelled)
{
    return IoOf(WaitForDescriptor(fd, write, deadline, CancelledBy(cancelled)));
}

// Sends everything; each bit of progress restarts the clock.
Io SendAll(int fd, const char *data, size_t size, DWORD timeout, const std::atomic<bool> *cancelled)
{
    Deadline deadline = DeadlineAfter(timeout);
    while (size > 0)
    {
        if (cancelled && cancelled->load())
            return Io::Cancelled;
        size_t sent = 0;
        int err = net::Send(fd, data, size, sent);
        if (err == 0)
        {
            data += sent;
            size -= sent;
            deadline = DeadlineAfter(timeout);
            continue;
        }
        if (err != EAGAIN)
            return Io::Closed;
        if (Io io = WaitOne(fd, true, deadline, cancelled); io != Io::Ok)
            return io;
    }
    return Io::Ok;
}

// Receives what is there (at least one byte), or 0 bytes at the end of the stream.
Io ReceiveBefore(int fd, char *buffer, size_t size, size_t &received, const Deadline &deadline,
                 const std::atomic<bool> *cancelled)
{
    for (;;)
    {
        if (cancelled && cancelled->load())
            return Io::Cancelled;
        int err = net::Receive(fd, buffer, size, false, received);
        if (err == 0)
            return Io::Ok;
        if (err != EAGAIN)
            return Io::Closed;
        if (Io io = WaitOne(fd, false, deadline, cancelled); io != Io::Ok)
            return io;
    }
}

Io ReceiveSome(int fd, char *buffer, size_t size, size_t &received, DWORD timeout,
               const std::atomic<bool> *cancelled)
{
    return ReceiveBefore(fd, buffer, size, received, DeadlineAfter(timeout), cancelled);
}

// A host descriptor owned by one scope.
class Descriptor
{
  public:
    Descriptor() = default;
    ~Descriptor() { Reset(true); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int Get() const { return fd_; }
    int Release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    int *Put()
    {
        Reset(true);
        return &fd_;
    }
    void Reset(bool abortive)
    {
        if (fd_ >= 0)
            net::Close(fd_, abortive);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

// Connects a fresh descriptor to a loopback endpoint within the time limit.
Io ConnectTo(Descriptor &socket, net::Endpoint to, DWORD timeout, const std::atomic<bool> *cancelled)
{
    if (net::OpenTcp(*socket.Put()) != 0)
        return Io::Closed;
    int err = net::StartConnect(socket.Get(), to);
    if (err == EINPROGRESS || err == EAGAIN)
    {
        if (Io io = WaitOne(socket.Get(), true, DeadlineAfter(timeout), cancelled); io != Io::Ok)
            return io;
        err = net::ConnectResult(socket.Get());
    }
    if (err != 0)
        return Io::Closed;
    net::SetNoDelay(socket.Get(), true);
    return Io::Ok;
}

std::string Dotted(uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool Positive(int code)
{
    return code >= 200 && code < 300;
}
bool Preliminary(int code)
{
    return code >= 100 && code < 200;
}

// A local file through the platform's own file functions.
class LocalFile
{
  public:
    // A download that did not finish (its thread ended, say) leaves no half file behind.
    ~LocalFile() { Discard(); }
    LocalFile() = default;
    LocalFile(const LocalFile &) = delete;
    LocalFile &operator=(const LocalFile &) = delete;

    DWORD OpenForReading(const std::string &path)
    {
        handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    DWORD Create(const std::string &path, bool failIfExists, DWORD attributes)
    {
        handle_ =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, failIfExists ? CREATE_NEW : CREATE_ALWAYS,
                        attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            return GetLastError();
        path_ = path;
        return 0;
    }
    DWORD Read(char *buffer, size_t size, size_t &read)
    {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &got, nullptr))
            return GetLastError();
        read = got;
        return 0;
    }
    DWORD Write(const char *data, size_t size)
    {
        DWORD written = 0;
        if (!WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr))
            return GetLastError();
        return written == size ? 0 : ERROR_DISK_FULL;
    }
    void Close()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    void Discard()
    {
        Close();
        if (!path_.empty())
            DeleteFileA(path_.c_str());
        path_.clear();
    }
    void Keep() { path_.clear(); }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::string path_;
};
// The data of a transfer as notifications: an in-progress status when bytes start moving, and
// the done status with their count once per kProgressMilliseconds and at the end.
class Progress
{
  public:
    Progress(Observer &observer, DWORD moving, DWORD moved)
        : observer_(observer), moving_(moving), moved_(moved), last_(Clock::now())
    {
    }
    ~Progress() = default;

    void Starting()
    {
        if (!open_)
            observer_.Status(moving_, nullptr, 0);
        open_ = true;
    }
    void Moved(size_t bytes)
    {
        count_ += static_cast<DWORD>(bytes);
        if (Clock::now() - last_ >= std::chrono::milliseconds(kProgressMilliseconds))
            Tell();
    }
    void Finish()
    {
        if (open_)
            Tell();
    }

  private:
    void Tell()
    {
        DWORD count = count_;
        observer_.Status(moved_, &count, sizeof count);
        count_ = 0;
        open_ = false;
        last_ = Clock::now();
    }

    Observer &observer_;
    const DWORD moving_, moved_;
    Clock::time_point last_;
    DWORD count_ = 0;
    bool open_ = false;
};
} // namespace

// One data connection and what it takes to open it, in either mode.
class Client::Transfer
{
  public:
    Transfer(Client &client, const Timeouts &timeouts, bool passive)
        : client_(client), timeouts_(timeouts), passive_(passive)
    {
    }

    // Before the transfer command: PASV and connect, or listen and PORT.
    DWORD Prepare() { return passive_ ? PreparePassive() : PrepareActive(); }

    // After the transfer command's preliminary reply: the data connection itself.
    DWORD Establish()
    {
        if (passive_)
            return 0;
        // The server connects to us; an error reply may come on the control connection instead.
        net::PollItem items[2];
        items[0].fd = listen_.Get();
        items[0].wantRead = true;
        items[1].fd = client_.control_;
        items[1].wantRead = client_.pending_.empty();
        const Deadline deadline = DeadlineAfter(timeouts_.connect);
        for (;;)
        {
            net::Endpoint peer;
            int err = net::Accept(listen_.Get(), *data_.Put(), peer);
            if (err == 0)
            {
                listen_.Reset(false);
                return 0;
            }
            if (err != EAGAIN)
                return ERROR_INTERNET_CANNOT_CONNECT;
            if (!client_.pending_.empty() || items[1].readable)
            {
                Reply reply;
                if (DWORD error = client_.ReadReply(reply, timeouts_.receive))
                    return error;
                return ERROR_INTERNET_EXTENDED_ERROR; // no data connection: the server says why
            }
            if (Io io = WaitFor(items, deadline, &client_.cancelled_); io != Io::Ok)
                return ErrorOf(io, ERROR_INTERNET_CANNOT_CONNECT);
        }
    }

    int Data() const { return data_.Get(); }
    void CloseData(bool abortive) { data_.Reset(abortive); }

  private:
    DWORD PreparePassive()
    {
        Reply reply;
        if (DWORD error = client_.Command("PASV", reply, timeouts_))
            return error;
        if (reply.code != 227)
            return ERROR_FTP_NO_PASSIVE_MODE;
        std::optional<HostPort> where = ParsePassiveReply(reply.text);
        if (!where)
            return ERROR_INTERNET_EXTENDED_ERROR;
        std::optional<net::Endpoint> target = plat::VirtualNetLookup(where->address, where->port);
        if (!target)
            return ERROR_INTERNET_CANNOT_CONNECT;
        return ErrorOf(ConnectTo(data_, *target, timeouts_.connect, &client_.cancelled_),
                       ERROR_INTERNET_CANNOT_CONNECT);
    }

    DWORD PrepareActive()
    {
        net::Endpoint local;
        if (net::OpenTcp(*listen_.Put()) != 0 || net::BindLoopback(listen_.Get(), 0, false) != 0 ||
            net::Listen(listen_.Get(), 1) != 0 || net::LocalName(listen_.Get(), local) != 0)
            return ERROR_INTERNET_INTERNAL_ERROR;
        const HostPort us{plat::VirtualLocalAddress(), local.port};
        Reply reply;
        if (DWORD error = client_.Command("PORT " + FormatHostPort(us), reply, timeouts_))
            return error;
        return Positive(reply.code) ? 0 : ERROR_INTERNET_EXTENDED_ERROR;
    }

    Client &client_;
    const Timeouts &timeouts_;
    const bool passive_;
    Descriptor listen_;
    Descriptor data_;
};

Client::Client(Observer &observer, const std::atomic<bool> &cancelled)
    : observer_(observer), cancelled_(cancelled)
{
}

Client::~Client()
{
    CloseControl(true, false);
}

DWORD Client::Open(const std::string &server, uint16_t port, const std::string &user,
                   const std::string &password, const Timeouts &timeouts)
{
    if (DWORD error = Connect(server, port, timeouts))
        return error;
    if (DWORD error = Login(user, password, timeouts))
    {
        CloseControl(true, true);
        return error;
    }
    return 0;
}

DWORD Client::Connect(const std::string &server, uint16_t port, const Timeouts &timeouts)
{
    std::string name = server;
    observer_.Status(INTERNET_STATUS_RESOLVING_NAME, name.data(), static_cast<DWORD>(name.size() + 1));
    std::optional<uint32_t> address = plat::ParseDottedQuad(server.c_str());
    if (!address)
        return ERROR_INTERNET_NAME_NOT_RESOLVED; // the virtual network knows addresses, not names
    std::string dotted = Dotted(*address);
    observer_.Status(INTERNET_STATUS_NAME_RESOLVED, dotted.data(), static_cast<DWORD>(dotted.size() + 1));
    observer_.Status(INTERNET_STATUS_CONNECTING_TO_SERVER, dotted.data(),
                     static_cast<DWORD>(dotted.size() + 1));

    std::optional<net::Endpoint> target = plat::VirtualNetLookup(*address, port);
    if (!target)
        return ERROR_INTERNET_CANNOT_CONNECT; // unreachable: the attempt fails at once
    Descriptor socket;
    if (Io io = ConnectTo(socket, *target, timeouts.connect, &cancelled_); io != Io::Ok)
        return ErrorOf(io, ERROR_INTERNET_CANNOT_CONNECT);
    control_ = socket.Release();
    pending_.clear();
    parser_.Reset();
    announced_ = true;
    observer_.Status(INTERNET_STATUS_CONNECTED_TO_SERVER, dotted.data(),
                     static_cast<DWORD>(dotted.size() + 1));
    return 0;
}

DWORD Client::Login(const std::string &user, const std::string &password, const Timeouts &timeouts)
{
    Reply reply;
    if (DWORD error = ReadFinalReply(reply, timeouts.receive))
        return error;
    if (!Positive(reply.code))
        return ERROR_INTERNET_EXTENDED_ERROR; // the server does not take us (421...)
    if (DWORD error = Command("USER " + user, reply, timeouts))
        return error;
    if (Positive(reply.code))
        return 0;
    if (reply.code != 331)
        return reply.code >= 400 ? ERROR_INTERNET_INCORRECT_USER_NAME : ERROR_INTERNET_LOGIN_FAILURE;
    if (DWORD error = Command("PASS " + password, reply, timeouts))
        return error;
    if (Positive(reply.code))
        return 0;
    return reply.code >= 400 ? ERROR_INTERNET_INCORRECT_PASSWORD : ERROR_INTERNET_LOGIN_FAILURE;
}

DWORD Client::Put(const std::string &localPath, const std::string &remoteName, bool binary, bool passive,
                  const Timeouts &timeouts)
{
    if (!Connected())
        return ERROR_FTP_DROPPED;
    LocalFile file;
    if (DWORD error = file.OpenForReading(localPath))
        return error;
    Transfer transfer(*this, timeouts, passive);
    bool started = false;
    DWORD error = Begin(transfer, "STOR " + remoteName, binary, timeouts, started);

    std::vector<char> buffer(kTransferChunk);
    Progress progress(observer_, INTERNET_STATUS_SENDING_REQUEST, INTERNET_STATUS_REQUEST_SENT);
    while (!error)
    {
        size_t read = 0;
        if ((error = file.Read(buffer.data(), buffer.size(), read)) != 0 || read == 0)
            break;
        progress.Starting();
        Io io = SendAll(transfer.Data(), buffer.data(), read, timeouts.dataSend, &cancelled_);
        if (io == Io::Closed)
            error = ERROR_INTERNET_CONNECTION_RESET; // the final reply may say better
        else if (io != Io::Ok)
            error = ErrorOf(io, 0);
        else
            progress.Moved(read);
    }
    progress.Finish();
    file.Close();
    if (!error)
        net::ShutdownSend(transfer.Data());
    // A failed upload resets the data connection: the server must not take a cut file for a
    // whole one.
    transfer.CloseData(error != 0);
    return Finish(error, started, timeouts);
}

DWORD Client::Get(const std::string &remoteName, const std::string &localPath, bool failIfExists,
                  DWORD attributes, bool binary, bool passive, const Timeouts &timeouts)
{
    if (!Connected())
        return ERROR_FTP_DROPPED;
    LocalFile file;
    if (DWORD error = file.Create(localPath, failIfExists, attributes))
        return error;
    Transfer transfer(*this, timeouts, passive);
    bool started = false;
    DWORD error = Begin(transfer, "RETR " + remoteName, binary, timeouts, started);

    std::vector<char> buffer(kTransferChunk);
    Progress progress(observer_, INTERNET_STATUS_RECEIVING_RESPONSE, INTERNET_STATUS_RESPONSE_RECEIVED);
    bool ended = false;
    while (!error && !ended)
    {
        progress.Starting();
        size_t filled = 0;
        while (!error && !ended && filled < buffer.size())
        {
            size_t received = 0;
            Io io = ReceiveSome(transfer.Data(), buffer.data() + filled, buffer.size() - filled, received,
                                timeouts.dataReceive, &cancelled_);
            if (io == Io::Ok || io == Io::Closed) // a reset ends the data as its end does: the reply tells
                ended = received == 0 || io == Io::Closed;
            else
                error = ErrorOf(io, 0);
            filled += io == Io::Ok ? received : 0;
        }
        if (!error && filled > 0)
        {
            error = file.Write(buffer.data(), filled);
            progress.Moved(filled);
        }
    }
    progress.Finish();
    transfer.CloseData(error != 0);
    error = Finish(error, started, timeouts);
    if (error)
        file.Discard();
    else
        file.Keep();
    return error;
}

DWORD Client::Begin(Transfer &transfer, const std::string &command, bool binary, const Timeouts &timeouts,
                    bool &started)
{
    Reply reply;
    if (DWORD error = Command(binary ? "TYPE I" : "TYPE A", reply, timeouts))
        return error;
    if (!Positive(reply.code))
        return ERROR_INTERNET_EXTENDED_ERROR;
    if (DWORD error = transfer.Prepare())
        return error;
    if (DWORD error = Command(command, reply, timeouts))
        return error;
    if (!Preliminary(reply.code))
        return ERROR_INTERNET_EXTENDED_ERROR;
    started = true; // from here on a final reply follows, whatever happens
    return transfer.Establish();
}

DWORD Client::Finish(DWORD error, bool started, const Timeouts &timeouts)
{
    if (error == ERROR_INTERNET_TIMEOUT || error == ERROR_INTERNET_OPERATION_CANCELLED)
    {
        Drop(); // a reply may still be on its way: the control connection is out of step
        return error;
    }
    if (!started || !Connected())
        return error;
    Reply reply;
    DWORD replyError = ReadFinalReply(reply, timeouts.receive);
    if (error == ERROR_INTERNET_CONNECTION_RESET)
    {
        if (replyError)
            return replyError;                                               // the whole session went
        return Positive(reply.code) ? error : ERROR_INTERNET_EXTENDED_ERROR; // the server says why
    }
    if (error)
        return error;
    if (replyError)
        return replyError;
    return Positive(reply.code) ? 0 : ERROR_INTERNET_EXTENDED_ERROR;
}

void Client::Close()
{
    if (!Connected())
        return;
    observer_.Status(INTERNET_STATUS_CLOSING_CONNECTION, nullptr, 0);
    const std::string quit = "QUIT\r\n";
    if (SendAll(control_, quit.data(), quit.size(), kQuitWait, nullptr) == Io::Ok)
    {
        Reply reply;
        ReadReply(reply, kQuitWait, false);
    }
    CloseControl(false, false);
    observer_.Status(INTERNET_STATUS_CONNECTION_CLOSED, nullptr, 0);
    announced_ = false;
}

DWORD Client::Command(const std::string &line, Reply &reply, const Timeouts &timeouts, bool notify)
{
    if (DWORD error = SendLine(line, timeouts, notify))
        return error;
    // Only the transfer commands stop at a preliminary reply.
    const bool transfer = line.rfind("STOR ", 0) == 0 || line.rfind("RETR ", 0) == 0;
    return transfer ? ReadReply(reply, timeouts.receive, notify) : ReadFinalReply(reply, timeouts.receive);
}

DWORD Client::SendLine(const std::string &line, const Timeouts &timeouts, bool notify)
{
    if (!Connected())
        return ERROR_FTP_DROPPED;
    const std::string wire = line + "\r\n";
    if (notify)
        observer_.Status(INTERNET_STATUS_SENDING_REQUEST, nullptr, 0);
    if (Io io = SendAll(control_, wire.data(), wire.size(), timeouts.send, &cancelled_); io != Io::Ok)
    {
        Drop();
        return ErrorOf(io, ERROR_FTP_DROPPED);
    }
    if (notify)
    {
        DWORD sent = static_cast<DWORD>(wire.size());
        observer_.Status(INTERNET_STATUS_REQUEST_SENT, &sent, sizeof sent);
    }
    return 0;
}

DWORD Client::ReadReply(Reply &reply, DWORD timeout, bool notify)
{
    return ReadReplyBefore(reply, DeadlineAfter(timeout), notify);
}

DWORD Client::ReadReplyBefore(Reply &reply, const Deadline &deadline, bool notify)
{
    if (!Connected())
        return ERROR_FTP_DROPPED;
    if (notify)
        observer_.Status(INTERNET_STATUS_RECEIVING_RESPONSE, nullptr, 0);
    // The goodbye of a closing handle is read unnotified, and its handle is already cancelled.
    const std::atomic<bool> *cancelled = notify ? &cancelled_ : nullptr;
    for (;;)
    {
        size_t used = 0;
        ReplyParser::Result result = parser_.Feed(pending_, used);
        pending_.erase(0, used);
        if (result == ReplyParser::Result::Complete)
        {
            reply = parser_.Take();
            lastResponse_ = reply.text;
            if (notify)
            {
                DWORD count = static_cast<DWORD>(reply.bytes);
                observer_.Status(INTERNET_STATUS_RESPONSE_RECEIVED, &count, sizeof count);
            }
            return 0;
        }
        if (result != ReplyParser::Result::NeedMore)
        {
            lastResponse_ = parser_.Partial(); // garbage: the text shows what the server said
            Drop();
            return ERROR_INTERNET_EXTENDED_ERROR;
        }
        char buffer[4096];
        size_t received = 0;
        Io io = ReceiveBefore(control_, buffer, sizeof buffer, received, deadline, cancelled);
        if (io == Io::Ok && received == 0)
            io = Io::Closed;
        if (io != Io::Ok)
        {
            if (!parser_.Partial().empty())
                lastResponse_ = parser_.Partial();
            Drop();
            return ErrorOf(io, ERROR_FTP_DROPPED);
        }
        pending_.append(buffer, received);
    }
}

DWORD Client::ReadFinalReply(Reply &reply, DWORD timeout)
{
    const Deadline deadline = DeadlineAfter(timeout);
    do
    {
        if (DWORD error = ReadReplyBefore(reply, deadline, true))
            return error;
    } while (Preliminary(reply.code));
    return 0;
}

void Client::Drop()
{
    CloseControl(true, true);
}

void Client::CloseControl(bool abortive, bool notify)
{
    if (control_ < 0)
        return;
    if (notify && announced_)
        observer_.Status(INTERNET_STATUS_CLOSING_CONNECTION, nullptr, 0);
    net::Close(control_, abortive);
    control_ = -1;
    pending_.clear();
    parser_.Reset();
    if (notify && announced_)
        observer_.Status(INTERNET_STATUS_CONNECTION_CLOSED, nullptr, 0);
    announced_ = false;
}
} // namespace plat::ftp
