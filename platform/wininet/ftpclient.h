// The FTP protocol side of WinINet (RFC 959): one control connection, logging in, and file
// transfers over a data connection in active (PORT) or passive (PASV) mode. Every connection
// goes through the virtual network; every wait is bounded and is a platform wait point.
// Status notifications go to an observer as WinINet reports them.
#pragma once

#include "platform/windows.h"
#include "platform/core/wait.h"
#include "platform/wininet/ftpreply.h"

#include <atomic>
#include <string>

namespace plat::ftp
{
// Time limits in milliseconds; INFINITE means none.
struct Timeouts
{
    DWORD connect = 60000;
    DWORD send = 30000;
    DWORD receive = 30000;
    DWORD dataSend = 30000;
    DWORD dataReceive = 30000;
};

// Receives the session's status notifications (INTERNET_STATUS_*), with their information.
class Observer
{
  public:
    virtual void Status(DWORD status, LPVOID information, DWORD length) = 0;

  protected:
    ~Observer() = default;
};

// Bytes moved per read or write of a local file.
constexpr size_t kTransferChunk = 64 * 1024;
// A transfer's data is told in sending/sent (receiving/received) pairs, one per this many
// milliseconds at most and one at the end, each with the bytes since the last: the counts add
// up to the file, and a fast transfer is not slowed by its receivers.
constexpr unsigned kProgressMilliseconds = 100;

class Client
{
  public:
    // `cancelled` ends any wait of an operation at once (ERROR_INTERNET_OPERATION_CANCELLED).
    Client(Observer &observer, const std::atomic<bool> &cancelled);
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    // Each returns 0 or the WinINet (12xxx) or Win32 error of the failure.
    DWORD Open(const std::string &server, uint16_t port, const std::string &user, const std::string &password,
               const Timeouts &timeouts);
    DWORD Put(const std::string &localPath, const std::string &remoteName, bool binary, bool passive,
              const Timeouts &timeouts);
    DWORD Get(const std::string &remoteName, const std::string &localPath, bool failIfExists,
              DWORD attributes, bool binary, bool passive, const Timeouts &timeouts);
    // Says goodbye (QUIT, briefly waited for) and closes the control connection, with the
    // closing and closed notifications; nothing when it is not open.
    void Close();

    bool Connected() const { return control_ >= 0; }
    // The last reply's text (or what arrived of a reply that could not be read).
    const std::string &LastResponse() const { return lastResponse_; }

  private:
    class Transfer;

    DWORD Connect(const std::string &server, uint16_t port, const Timeouts &timeouts);
    // The transfer type, the data connection and the transfer command; `started` once the
    // server has taken the command (a final reply then follows).
    DWORD Begin(Transfer &transfer, const std::string &command, bool binary, const Timeouts &timeouts,
                bool &started);
    // Reads the transfer's final reply and gives the transfer's outcome.
    DWORD Finish(DWORD error, bool started, const Timeouts &timeouts);
    DWORD Login(const std::string &user, const std::string &password, const Timeouts &timeouts);
    DWORD Command(const std::string &line, Reply &reply, const Timeouts &timeouts, bool notify = true);
    DWORD SendLine(const std::string &line, const Timeouts &timeouts, bool notify);
    // A whole reply must come within the time-out, however slowly its bytes trickle in.
    DWORD ReadReply(Reply &reply, DWORD timeout, bool notify = true);
    DWORD ReadReplyBefore(Reply &reply, const Deadline &deadline, bool notify);
    // The final reply after any preliminary ones, all within the one time-out: a server that
    // sends nothing but preliminary replies does not hold the session forever.
    DWORD ReadFinalReply(Reply &reply, DWORD timeout);
    // Loses the control connection after a failure that leaves it out of step.
    void Drop();
    void CloseControl(bool abortive, bool notify);

    Observer &observer_;
    const std::atomic<bool> &cancelled_;
    int control_ = -1;
    bool announced_ = false; // connected notification given: closing is announced too
    std::string pending_;    // bytes of the control connection not parsed yet
    ReplyParser parser_;
    std::string lastResponse_;
};
} // namespace plat::ftp
