// WinINet's FTP sessions. Every HINTERNET is an entry of the platform's handle table: the
// Internet session of InternetOpenA and the FTP connections of InternetConnectA.
//
// Asynchronous operation (INTERNET_FLAG_ASYNC on the session and a non-zero context on the
// request) runs each connection's requests, one at a time, on a worker thread of its own: the
// call returns FALSE/NULL with ERROR_IO_PENDING and every status notification, the final
// INTERNET_STATUS_REQUEST_COMPLETE included, reaches the status callback from that thread.
// Without it a request runs in the caller's thread, which gets the notifications. As
// documented, nothing is notified for a zero context, and INTERNET_STATUS_HANDLE_CLOSING is the
// last notification of a handle.
#include "platform/wininet.h"
#include "platform/windows.h"
#include "platform/wininet/ftpclient.h"
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
using plat::ftp::Timeouts;

// --- process-wide settings (InternetSetOptionA with no handle) ---

struct Defaults
{
    std::mutex lock;
    Timeouts timeouts;
    DWORD retries = 5;
    DWORD backoff = 0;
    INTERNET_CONNECTED_INFO connected{INTERNET_STATE_CONNECTED, 0};
};

Defaults &TheDefaults()
{
    static auto *defaults = new Defaults;
    return *defaults;
}

// --- the calling thread's last response (InternetGetLastResponseInfoA) ---

struct Response
{
    DWORD error = 0;
    std::string text;
};
thread_local Response t_response;

void ClearResponse()
{
    t_response.error = 0;
    t_response.text.clear();
}

void KeepResponse(const std::string &text, DWORD error)
{
    t_response.error = error;
    t_response.text = text;
}

// --- handles ---

// A reference on the library a status callback lives in, held while a handle may call it.
class ModulePin
{
  public:
    static std::shared_ptr<ModulePin> Of(INTERNET_STATUS_CALLBACK callback)
    {
        if (!callback || callback == INTERNET_INVALID_STATUS_CALLBACK)
            return nullptr;
        HMODULE module = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(callback),
                                &module))
            return nullptr;
        return std::shared_ptr<ModulePin>(new ModulePin(module));
    }
    ~ModulePin() { FreeLibrary(module_); }
    ModulePin(const ModulePin &) = delete;
    ModulePin &operator=(const ModulePin &) = delete;

  private:
    explicit ModulePin(HMODULE module) : module_(module) {}
    HMODULE module_;
};

class InternetObject : public plat::KernelObject
{
  public:
    explicit InternetObject(DWORD type) : KernelObject(plat::ObjectKind::Internet), type_(type) {}
    bool ClosableByCloseHandle() const override
    {
        return false; // InternetCloseHandle only, as on Windows
    }
    DWORD Type() const { return type_; }

    // Calls the status callback, unless there is none or the context is zero. Never called
    // with a lock held: a callback may call WinINet again. The callback's library stays loaded
    // until the call has returned, even when the notification lets its owner unload it.
    void Notify(DWORD_PTR context, DWORD status, LPVOID information, DWORD length)
    {
        INTERNET_STATUS_CALLBACK callback;
        std::shared_ptr<ModulePin> pin;
        {
            std::lock_guard guard(lock);
            callback = callback_;
            pin = pin_;
        }
        if (callback && callback != INTERNET_INVALID_STATUS_CALLBACK && context != 0)
            callback(handle, context, status, information, length);
    }

    INTERNET_STATUS_CALLBACK SwapCallback(INTERNET_STATUS_CALLBACK callback)
    {
        return SetCallback(callback, ModulePin::Of(callback));
    }

    INTERNET_STATUS_CALLBACK SetCallback(INTERNET_STATUS_CALLBACK callback, std::shared_ptr<ModulePin> pin)
    {
        std::lock_guard guard(lock);
        INTERNET_STATUS_CALLBACK previous = callback_;
        callback_ = callback;
        pin_ = std::move(pin);
        return previous;
    }

    // Closes the handle's use: called once the handle has left the table.
    virtual void Close() = 0;

    HINTERNET handle = nullptr; // set once, right after the handle is made
    std::mutex lock;            // guards the members below and those of the derived objects
    DWORD_PTR context = 0;
    Timeouts timeouts;
    DWORD retries = 5;
    DWORD backoff = 0;
    bool async = false; // the session's INTERNET_FLAG_ASYNC

  protected:
    INTERNET_STATUS_CALLBACK callback_ = nullptr;
    std::shared_ptr<ModulePin> pin_; // the callback's library

  private:
    const DWORD type_;
};

class FtpObject;

class SessionObject final : public InternetObject
{
  public:
    SessionObject() : InternetObject(INTERNET_HANDLE_TYPE_INTERNET) {}
    void Close() override;
    // A new connection takes the session's callback and settings.
    void Inherit(InternetObject &child)
    {
        std::lock_guard guard(lock);
        child.SetCallback(callback_, pin_);
        child.timeouts = timeouts;
        child.retries = retries;
        child.backoff = backoff;
        child.async = async;
    }
    void Adopt(const std::shared_ptr<FtpObject> &child)
    {
        std::lock_guard guard(lock);
        std::erase_if(children_, [](const std::weak_ptr<FtpObject> &c) { return c.expired(); });
        children_.push_back(child);
    }

    std::string agent;

  private:
    std::vector<std::weak_ptr<FtpObject>> children_;
};

// An FTP connection: the protocol client and the worker that runs its asynchronous requests.
class FtpObject final : public InternetObject,
                        public plat::ftp::Observer,
                        public std::enable_shared_from_this<FtpObject>
{
  public:
    FtpObject() : InternetObject(INTERNET_HANDLE_TYPE_CONNECT_FTP), client_(*this, cancelled_) {}

    std::string server;
    INTERNET_PORT port = INTERNET_DEFAULT_FTP_PORT;
    std::string user;
    std::string password;
    bool passive = false;

    void Status(DWORD status, LPVOID information, DWORD length) override
    {
        Notify(operationContext_, status, information, length);
    }

    // Claims the connection for one request; false while another one runs.
    bool BeginRequest()
    {
        std::lock_guard guard(lock);
        if (busy_ || closeRequested_)
            return false;
        busy_ = true;
        return true;
    }

    // Runs a request: now, in this thread, or on the worker. `work` gives the error (0 when
    // done) and the result handed to REQUEST_COMPLETE. Returns the request's error, or
    // ERROR_IO_PENDING when it went to the worker.
    DWORD Run(DWORD_PTR requestContext, std::function<DWORD(DWORD_PTR &result)> work)
    {
        if (async && requestContext != 0)
        {
            Post([self = shared_from_this(), requestContext, work = std::move(work)] {
                ClearResponse();
                self->operationContext_ = requestContext;
                DWORD_PTR result = 0;
                const DWORD error = work(result);
                KeepResponse(self->client_.LastResponse(), error);
                // The connection is free before the completion is told, so that its receiver
                // may go on at once; a close that came meanwhile follows the completion.
                const bool close = self->EndRequest();
                INTERNET_ASYNC_RESULT outcome{error ? 0 : result, error};
                self->Notify(requestContext, INTERNET_STATUS_REQUEST_COMPLETE, &outcome, sizeof outcome);
                if (close)
                    self->FinishClose();
            });
            return ERROR_IO_PENDING;
        }
        // A thread ended by TerminateThread at one of the request's waits unwinds through here:
        // the connection must not stay claimed, and a close that came meanwhile still happens.
        struct Abandon
        {
            FtpObject &self;
            bool armed = true;
            ~Abandon()
            {
                if (armed)
                    self.AbandonRequest();
            }
        } abandon{*this};
        operationContext_ = requestContext;
        DWORD_PTR result = 0;
        const DWORD error = work(result);
        abandon.armed = false;
        const std::string response = client_.LastResponse();
        if (EndRequest())
            FinishClose();
        KeepResponse(response, error);
        return error;
    }

    plat::ftp::Client &Client() { return client_; }
    Timeouts CurrentTimeouts()
    {
        std::lock_guard guard(lock);
        return timeouts;
    }

    void Close() override
    {
        if (closing_.exchange(true))
            return;
        cancelled_.store(true); // ends the running request's waits
        bool now = false;
        {
            std::lock_guard guard(lock);
            closeRequested_ = true;
            if (!busy_) // otherwise the end of the running request finishes the close
            {
                closeQueued_ = true;
                if (workerRunning_)
                {
                    jobs_.push_back([self = shared_from_this()] { self->FinishClose(); });
                    wake_.notify_one();
                }
                else
                    now = true;
            }
        }
        if (now)
            FinishClose();
    }

  private:
    // Frees the connection for the next request; true when a close came meanwhile and the
    // caller is to finish it.
    bool EndRequest()
    {
        std::lock_guard guard(lock);
        busy_ = false;
        if (!closeRequested_ || closeQueued_)
            return false;
        closeQueued_ = true;
        return true;
    }

    // Frees the connection of a request whose thread went away; its close goes to the worker,
    // as nothing may wait on a thread that is unwinding.
    void AbandonRequest()
    {
        if (EndRequest())
            Post([self = shared_from_this()] { self->FinishClose(); });
    }

    // Says goodbye to the server and gives the handle's last notification.
    void FinishClose()
    {
        DWORD_PTR handleContext;
        {
            std::lock_guard guard(lock);
            if (closed_)
                return;
            closed_ = true;
            handleContext = context;
        }
        operationContext_ = handleContext;
        client_.Close();
        HINTERNET closing = handle;
        Notify(handleContext, INTERNET_STATUS_HANDLE_CLOSING, &closing, sizeof closing);
    }

    void Post(std::function<void()> job)
    {
        std::lock_guard guard(lock);
        jobs_.push_back(std::move(job));
        if (workerRunning_)
        {
            wake_.notify_one();
            return;
        }
        workerRunning_ = true;
        std::thread(&FtpObject::Work, shared_from_this()).detach();
    }

    // The worker: runs the connection's jobs in order until the handle is closed.
    static void Work(std::shared_ptr<FtpObject> self)
    {
        for (;;)
        {
            std::function<void()> job;
            {
                std::unique_lock guard(self->lock);
                self->wake_.wait(guard, [&] { return !self->jobs_.empty(); });
                job = std::move(self->jobs_.front());
                self->jobs_.pop_front();
            }
            job();
            std::lock_guard guard(self->lock);
            if (self->closed_ && self->jobs_.empty())
            {
                self->workerRunning_ = false;
                return;
            }
        }
    }

    std::atomic<bool> cancelled_{false};
    std::atomic<bool> closing_{false};
    plat::ftp::Client client_;               // used by the thread running the current request
    DWORD_PTR operationContext_ = 0;         // context of the current request's notifications
    bool busy_ = false;                      // guarded by lock
    bool closeRequested_ = false;            // guarded by lock
    bool closeQueued_ = false;               // guarded by lock: someone is to finish the close
    bool closed_ = false;                    // guarded by lock
    bool workerRunning_ = false;             // guarded by lock
    std::deque<std::function<void()>> jobs_; // guarded by lock
    std::condition_variable wake_;
};

void SessionObject::Close()
{
    std::vector<std::shared_ptr<FtpObject>> open;
    {
        std::lock_guard guard(lock);
        for (const std::weak_ptr<FtpObject> &child : children_)
            if (std::shared_ptr<FtpObject> alive = child.lock())
                open.push_back(std::move(alive));
        children_.clear();
    }
    // Closing a session closes the connections made from it.
    for (const std::shared_ptr<FtpObject> &child : open)
    {
        plat::RemoveHandle(child->handle);
        child->Close();
    }
    DWORD_PTR handleContext;
    {
        std::lock_guard guard(lock);
        handleContext = context;
    }
    HINTERNET closing = handle;
    Notify(handleContext, INTERNET_STATUS_HANDLE_CLOSING, &closing, sizeof closing);
}

// The object of a live handle, or nullptr with ERROR_INVALID_HANDLE.
std::shared_ptr<InternetObject> FindObject(HINTERNET handle)
{
    return plat::GetHandleObject<InternetObject>(handle, plat::ObjectKind::Internet);
}

// The object of a live handle of one type; nullptr with ERROR_INVALID_HANDLE or
// ERROR_INTERNET_INCORRECT_HANDLE_TYPE.
template <class T> std::shared_ptr<T> FindTyped(HINTERNET handle, DWORD type)
{
    std::shared_ptr<InternetObject> object = FindObject(handle);
    if (!object)
        return nullptr;
    if (object->Type() != type)
    {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

// Cache and hypertext flags mean nothing to a client without a cache: taken and ignored.
constexpr DWORD kCacheFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                              INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_HYPERLINK |
                              INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_MAKE_PERSISTENT;

bool IsText(LPCSTR text)
{
    return text && *text;
}

// A request's outcome as the API returns it.
BOOL RequestResult(DWORD error)
{
    return error ? plat::Fail(error) : TRUE;
}

// The DWORD of a DWORD option; 0 or the error.
DWORD ReadDword(LPVOID buffer, DWORD length, DWORD &value)
{
    if (!buffer)
        return ERROR_INVALID_PARAMETER;
    if (length < sizeof(DWORD))
        return ERROR_INTERNET_BAD_OPTION_LENGTH;
    std::memcpy(&value, buffer, sizeof value);
    return 0;
}

// The member of a Timeouts an option names, or nullptr.
DWORD *TimeoutOf(Timeouts &timeouts, DWORD option)
{
    switch (option)
    {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
        return &timeouts.connect;
    case INTERNET_OPTION_SEND_TIMEOUT:
        return &timeouts.send;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
        return &timeouts.receive;
    case INTERNET_OPTION_DATA_SEND_TIMEOUT:
        return &timeouts.dataSend;
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT:
        return &timeouts.dataReceive;
    default:
        return nullptr;
    }
}

// The DWORD setting an option names, in a handle or in the process defaults.
DWORD *SettingOf(Timeouts &timeouts, DWORD &retries, DWORD &backoff, DWORD option)
{
    if (option == INTERNET_OPTION_CONNECT_RETRIES)
        return &retries;
    if (option == INTERNET_OPTION_CONNECT_BACKOFF)
        return &backoff;
    return TimeoutOf(timeouts, option);
}

// Whether an option is one of the DWORD settings SettingOf finds.
bool IsDwordSetting(DWORD option)
{
    Timeouts timeouts;
    DWORD retries = 0, backoff = 0;
    return SettingOf(timeouts, retries, backoff, option) != nullptr;
}

// Calls `use` on the DWORD setting an option names, a handle's or (no handle) the process
// default, under the lock that guards it.
template <class Use> void WithSetting(InternetObject *object, DWORD option, Use use)
{
    if (object)
    {
        std::lock_guard guard(object->lock);
        use(*SettingOf(object->timeouts, object->retries, object->backoff, option));
        return;
    }
    Defaults &defaults = TheDefaults();
    std::lock_guard guard(defaults.lock);
    use(*SettingOf(defaults.timeouts, defaults.retries, defaults.backoff, option));
}

// Copies an option's value out as InternetQueryOptionA does.
BOOL GiveOption(const void *value, DWORD size, LPVOID buffer, LPDWORD length)
{
    if (!buffer || *length < size)
    {
        *length = size;
        return plat::Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, value, size);
    *length = size;
    return TRUE;
}
// What FtpPutFileA and FtpGetFileA share: the connection and the arguments checked, the
// connection claimed, and the transfer run now or on the connection's worker.
using Transfer = std::function<DWORD(FtpObject &object, bool binary, const Timeouts &timeouts)>;

BOOL RunTransfer(HINTERNET hConnect, LPCSTR lpszFirst, LPCSTR lpszSecond, DWORD dwFlags, DWORD_PTR dwContext,
                 Transfer transfer)
{
    ClearResponse();
    auto ftp = FindTyped<FtpObject>(hConnect, INTERNET_HANDLE_TYPE_CONNECT_FTP);
    if (!ftp)
        return FALSE;
    if (!IsText(lpszFirst) || !IsText(lpszSecond) || (dwFlags & ~(FTP_TRANSFER_TYPE_MASK | kCacheFlags)) ||
        (dwFlags & FTP_TRANSFER_TYPE_MASK) == FTP_TRANSFER_TYPE_MASK)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (!ftp->BeginRequest())
        return plat::Fail(ERROR_FTP_TRANSFER_IN_PROGRESS);
    const bool binary = (dwFlags & FTP_TRANSFER_TYPE_MASK) != FTP_TRANSFER_TYPE_ASCII;
    const Timeouts timeouts = ftp->CurrentTimeouts();
    FtpObject &object = *ftp;
    const DWORD error =
        object.Run(dwContext, [&object, binary, timeouts, transfer = std::move(transfer)](DWORD_PTR &result) {
            result = TRUE;
            return transfer(object, binary, timeouts);
        });
    return RequestResult(error);
}
} // namespace

// InternetOpenA: an Internet session handle. Direct access only: INTERNET_OPEN_TYPE_PRECONFIG
// reads no proxy (the PC has none) and INTERNET_OPEN_TYPE_PROXY is not implemented; the only
// flag taken is INTERNET_FLAG_ASYNC (INTERNET_FLAG_OFFLINE: not implemented, there is no cache).
HINTERNET WINAPI InternetOpenA(LPCSTR lpszAgent, DWORD dwAccessType, LPCSTR, LPCSTR, DWORD dwFlags)
{
    ClearResponse();
    if (dwAccessType == INTERNET_OPEN_TYPE_PROXY || (dwFlags & INTERNET_FLAG_OFFLINE))
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    if ((dwAccessType != INTERNET_OPEN_TYPE_PRECONFIG && dwAccessType != INTERNET_OPEN_TYPE_DIRECT &&
         dwAccessType != INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY) ||
        (dwFlags & ~(INTERNET_FLAG_ASYNC | kCacheFlags)))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto session = std::make_shared<SessionObject>();
    session->agent = lpszAgent ? lpszAgent : "";
    session->async = (dwFlags & INTERNET_FLAG_ASYNC) != 0;
    {
        Defaults &defaults = TheDefaults();
        std::lock_guard guard(defaults.lock);
        session->timeouts = defaults.timeouts;
        session->retries = defaults.retries;
        session->backoff = defaults.backoff;
    }
    HANDLE handle = plat::InsertHandle(session);
    if (!handle)
    {
        SetLastError(ERROR_INTERNET_OUT_OF_HANDLES);
        return nullptr;
    }
    session->handle = handle;
    return handle;
}

// InternetConnectA: an FTP session (INTERNET_SERVICE_FTP): connects to the server through the
// virtual network and logs in (anonymous without a user name), in active mode unless
// INTERNET_FLAG_PASSIVE. Asynchronously it returns NULL with ERROR_IO_PENDING; the handle comes
// with INTERNET_STATUS_HANDLE_CREATED (INTERNET_ASYNC_RESULT) and INTERNET_STATUS_REQUEST_COMPLETE
// gives it again (or 0 and the error); a handle whose connection failed stays open until
// closed. Synchronously a failed connection closes its handle. Server names are dotted
// addresses (the virtual network has no names: ERROR_INTERNET_NAME_NOT_RESOLVED). HTTP and
// Gopher are not implemented. Differs: each server reply, with any preliminary replies before
// it, must come whole within the receive time-out (Windows times each receive), so a server
// that trickles bytes or sends nothing but preliminary replies fails with
// ERROR_INTERNET_TIMEOUT instead of holding the session.
HINTERNET WINAPI InternetConnectA(HINTERNET hInternet, LPCSTR lpszServerName, INTERNET_PORT nServerPort,
                                  LPCSTR lpszUserName, LPCSTR lpszPassword, DWORD dwService, DWORD dwFlags,
                                  DWORD_PTR dwContext)
{
    ClearResponse();
    auto session = FindTyped<SessionObject>(hInternet, INTERNET_HANDLE_TYPE_INTERNET);
    if (!session)
        return nullptr;
    if (dwService == INTERNET_SERVICE_HTTP || dwService == INTERNET_SERVICE_GOPHER)
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    if (dwService != INTERNET_SERVICE_FTP || !IsText(lpszServerName) ||
        (dwFlags & ~(INTERNET_FLAG_PASSIVE | INTERNET_FLAG_EXISTING_CONNECT | kCacheFlags)))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto connection = std::make_shared<FtpObject>();
    session->Inherit(*connection);
    connection->context = dwContext;
    connection->server = lpszServerName;
    connection->port = nServerPort == INTERNET_INVALID_PORT_NUMBER ? INTERNET_DEFAULT_FTP_PORT : nServerPort;
    connection->user = IsText(lpszUserName) ? lpszUserName : "anonymous";
    connection->password = lpszPassword ? lpszPassword : "";
    connection->passive = (dwFlags & INTERNET_FLAG_PASSIVE) != 0;
    HANDLE handle = plat::InsertHandle(connection);
    if (!handle)
    {
        SetLastError(ERROR_INTERNET_OUT_OF_HANDLES);
        return nullptr;
    }
    connection->handle = handle;
    session->Adopt(connection);
    connection->BeginRequest();

    FtpObject &ftp = *connection;
    const Timeouts timeouts = ftp.CurrentTimeouts();
    const DWORD error = ftp.Run(dwContext, [&ftp, handle, timeouts, dwContext](DWORD_PTR &result) {
        INTERNET_ASYNC_RESULT created{reinterpret_cast<DWORD_PTR>(handle), ERROR_SUCCESS};
        ftp.Notify(dwContext, INTERNET_STATUS_HANDLE_CREATED, &created, sizeof created);
        result = reinterpret_cast<DWORD_PTR>(handle);
        return ftp.Client().Open(ftp.server, ftp.port, ftp.user, ftp.password, timeouts);
    });
    if (error == ERROR_IO_PENDING)
    {
        SetLastError(ERROR_IO_PENDING);
        return nullptr;
    }
    if (error)
    {
        if (plat::RemoveHandle(handle))
            connection->Close();
        SetLastError(error);
        return nullptr;
    }
    return handle;
}

// InternetCloseHandle: closes a session or an FTP connection handle. The handle leaves the
// table at once (later calls with it fail with ERROR_INVALID_HANDLE); a running request ends
// with ERROR_INTERNET_OPERATION_CANCELLED; an FTP connection says QUIT (waiting at most a
// second for the answer); INTERNET_STATUS_HANDLE_CLOSING is the handle's last notification
// (from the worker when the connection has one). Closing a session closes its connections.
BOOL WINAPI InternetCloseHandle(HINTERNET hInternet)
{
    ClearResponse();
    std::shared_ptr<InternetObject> object = FindObject(hInternet);
    if (!object || !plat::RemoveHandle(hInternet))
        return plat::Fail(ERROR_INVALID_HANDLE);
    object->Close();
    return TRUE;
}

// InternetSetStatusCallbackA: sets a handle's status callback (NULL removes it) and returns the
// previous one; handles made afterwards from this one inherit it. An invalid handle gives
// INTERNET_INVALID_STATUS_CALLBACK with ERROR_INVALID_HANDLE.
INTERNET_STATUS_CALLBACK WINAPI InternetSetStatusCallbackA(HINTERNET hInternet,
                                                           INTERNET_STATUS_CALLBACK lpfnInternetCallback)
{
    ClearResponse();
    std::shared_ptr<InternetObject> object = FindObject(hInternet);
    if (!object)
        return INTERNET_INVALID_STATUS_CALLBACK;
    return object->SwapCallback(lpfnInternetCallback);
}

// InternetSetOptionA: the time-outs (connect, control send/receive, data send/receive, in
// milliseconds), the connection retries and back-off, on a handle or, with no handle, as the
// defaults of handles made afterwards; a handle's context value; the process's connected state
// (no handle; the state is kept, and nothing is refused while "disconnected"). Read-only
// options give ERROR_INTERNET_OPTION_NOT_SETTABLE, others ERROR_INTERNET_INVALID_OPTION.
BOOL WINAPI InternetSetOptionA(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength)
{
    ClearResponse();
    std::shared_ptr<InternetObject> object;
    if (hInternet && !(object = FindObject(hInternet)))
        return FALSE;
    if (IsDwordSetting(dwOption))
    {
        DWORD value;
        if (DWORD error = ReadDword(lpBuffer, dwBufferLength, value))
            return plat::Fail(error);
        WithSetting(object.get(), dwOption, [value](DWORD &setting) { setting = value; });
        return TRUE;
    }
    switch (dwOption)
    {
    case INTERNET_OPTION_CONTEXT_VALUE: {
        if (!object)
            return plat::Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        if (!lpBuffer)
            return plat::Fail(ERROR_INVALID_PARAMETER);
        if (dwBufferLength < sizeof(DWORD_PTR))
            return plat::Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
        std::lock_guard guard(object->lock);
        std::memcpy(&object->context, lpBuffer, sizeof(DWORD_PTR));
        return TRUE;
    }
    case INTERNET_OPTION_CONNECTED_STATE: {
        if (object)
            return plat::Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        if (!lpBuffer)
            return plat::Fail(ERROR_INVALID_PARAMETER);
        if (dwBufferLength < sizeof(INTERNET_CONNECTED_INFO))
            return plat::Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
        INTERNET_CONNECTED_INFO info;
        std::memcpy(&info, lpBuffer, sizeof info);
        if (info.dwConnectedState != INTERNET_STATE_CONNECTED &&
            info.dwConnectedState != INTERNET_STATE_DISCONNECTED &&
            info.dwConnectedState != INTERNET_STATE_DISCONNECTED_BY_USER)
            return plat::Fail(ERROR_INVALID_PARAMETER);
        Defaults &defaults = TheDefaults();
        std::lock_guard guard(defaults.lock);
        defaults.connected = info;
        return TRUE;
    }
    case INTERNET_OPTION_CALLBACK:
    case INTERNET_OPTION_HANDLE_TYPE:
    case INTERNET_OPTION_PARENT_HANDLE:
    case INTERNET_OPTION_EXTENDED_ERROR:
        return plat::Fail(ERROR_INTERNET_OPTION_NOT_SETTABLE);
    default:
        return plat::Fail(ERROR_INTERNET_INVALID_OPTION);
    }
}

// InternetQueryOptionA: the options InternetSetOptionA sets, the handle type and the connected
// state. A missing or short buffer gives ERROR_INSUFFICIENT_BUFFER with the size needed.
BOOL WINAPI InternetQueryOptionA(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer,
                                 LPDWORD lpdwBufferLength)
{
    ClearResponse();
    if (!lpdwBufferLength)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<InternetObject> object;
    if (hInternet && !(object = FindObject(hInternet)))
        return FALSE;
    if (IsDwordSetting(dwOption))
    {
        DWORD value = 0;
        WithSetting(object.get(), dwOption, [&value](DWORD &setting) { value = setting; });
        return GiveOption(&value, sizeof value, lpBuffer, lpdwBufferLength);
    }
    switch (dwOption)
    {
    case INTERNET_OPTION_HANDLE_TYPE: {
        if (!object)
            return plat::Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        DWORD type = object->Type();
        return GiveOption(&type, sizeof type, lpBuffer, lpdwBufferLength);
    }
    case INTERNET_OPTION_CONTEXT_VALUE: {
        if (!object)
            return plat::Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        DWORD_PTR context;
        {
            std::lock_guard guard(object->lock);
            context = object->context;
        }
        return GiveOption(&context, sizeof context, lpBuffer, lpdwBufferLength);
    }
    case INTERNET_OPTION_CONNECTED_STATE: {
        Defaults &defaults = TheDefaults();
        DWORD state;
        {
            std::lock_guard guard(defaults.lock);
            state = defaults.connected.dwConnectedState;
        }
        return GiveOption(&state, sizeof state, lpBuffer, lpdwBufferLength);
    }
    default:
        return plat::Fail(ERROR_INTERNET_INVALID_OPTION);
    }
}

// InternetGetLastResponseInfoA: the calling thread's last server reply (every line, CR LF
// after each) and the error of the request it belongs to (0 when it succeeded). Asynchronous
// requests run on the connection's worker, so their replies are there, in the status callback.
// Any other WinINet call of the thread clears it.
BOOL WINAPI InternetGetLastResponseInfoA(LPDWORD lpdwError, LPSTR lpszBuffer, LPDWORD lpdwBufferLength)
{
    if (!lpdwError || !lpdwBufferLength)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    *lpdwError = t_response.error;
    const std::string &text = t_response.text;
    if (!lpszBuffer || *lpdwBufferLength < text.size() + 1)
    {
        *lpdwBufferLength = static_cast<DWORD>(text.size() + 1);
        return plat::Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpszBuffer, text.c_str(), text.size() + 1);
    *lpdwBufferLength = static_cast<DWORD>(text.size());
    return TRUE;
}

// FtpPutFileA: sends a local file (read through CreateFileA) as the remote file, with TYPE I
// (FTP_TRANSFER_TYPE_BINARY or UNKNOWN) or TYPE A (the file's bytes as they are: Windows text
// is already CR LF). Notifications: the commands' and replies' sending/sent and
// receiving/received pairs, and for the file's data a sending/sent pair at most every 100 ms
// and one at the end, each sent count with the bytes since the last (Windows tells every
// buffer it writes; the counts add up the same). ERROR_FTP_TRANSFER_IN_PROGRESS while another
// request runs on the connection.
BOOL WINAPI FtpPutFileA(HINTERNET hConnect, LPCSTR lpszLocalFile, LPCSTR lpszNewRemoteFile, DWORD dwFlags,
                        DWORD_PTR dwContext)
{
    return RunTransfer(hConnect, lpszLocalFile, lpszNewRemoteFile, dwFlags, dwContext,
                       [local = std::string(lpszLocalFile ? lpszLocalFile : ""),
                        remote = std::string(lpszNewRemoteFile ? lpszNewRemoteFile : "")](
                           FtpObject &object, bool binary, const Timeouts &timeouts) {
                           return object.Client().Put(local, remote, binary, object.passive, timeouts);
                       });
}

// FtpGetFileA: receives a remote file into a new local file (CREATE_NEW when fFailIfExists,
// else CREATE_ALWAYS, with dwFlagsAndAttributes), TYPE I or TYPE A as FtpPutFileA. The data is
// told as receiving/received pairs the way FtpPutFileA tells its own. A failed transfer deletes
// the local file (a file it replaced included), as Windows does.
BOOL WINAPI FtpGetFileA(HINTERNET hConnect, LPCSTR lpszRemoteFile, LPCSTR lpszNewFile, BOOL fFailIfExists,
                        DWORD dwFlagsAndAttributes, DWORD dwFlags, DWORD_PTR dwContext)
{
    return RunTransfer(hConnect, lpszRemoteFile, lpszNewFile, dwFlags, dwContext,
                       [remote = std::string(lpszRemoteFile ? lpszRemoteFile : ""),
                        local = std::string(lpszNewFile ? lpszNewFile : ""),
                        failIfExists = fFailIfExists != FALSE,
                        dwFlagsAndAttributes](FtpObject &object, bool binary, const Timeouts &timeouts) {
                           return object.Client().Get(remote, local, failIfExists, dwFlagsAndAttributes,
                                                      binary, object.passive, timeouts);
                       });
}
