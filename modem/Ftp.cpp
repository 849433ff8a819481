// CFtp: the modem module's FTP client.
#include "modem/Ftp.h"
#include "common/com/CritSec.h"
#include "common/ipv4/Ipv4Text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
// The router's FTP server listens on the standard port.
constexpr INTERNET_PORT kFtpPort = 21;

// The first 32-bit value of a notification's information, as the counts and handles are read.
int FirstValue(LPVOID lpvStatusInformation)
{
    if (!lpvStatusInformation)
        return 0;
    DWORD value;
    std::memcpy(&value, lpvStatusInformation, sizeof value);
    return static_cast<int>(value);
}

// The CFtp objects alive. A worker ended by TerminateThread unwinds its CFtp while WinINet may
// still be notifying its handles: such a notification is dropped instead of reaching a
// destroyed object. The lock is held while a notification is handled, so an object is never
// destroyed under a notification.
class CLiveObjects
{
  public:
    void Add(const CFtp *pFtp)
    {
        kitcom::CritSecLock guard(m_cs);
        m_objects.push_back(pFtp);
    }
    void Remove(const CFtp *pFtp)
    {
        kitcom::CritSecLock guard(m_cs);
        std::erase(m_objects, pFtp);
    }
    // Runs `handle` with the lock held if `pFtp` is alive.
    template <class F> void IfAlive(const CFtp *pFtp, F handle)
    {
        kitcom::CritSecLock guard(m_cs);
        if (std::find(m_objects.begin(), m_objects.end(), pFtp) != m_objects.end())
            handle();
    }

  private:
    kitcom::AutoCriticalSection m_cs;
    std::vector<const CFtp *> m_objects;
};

// A request that succeeded without ERROR_IO_PENDING gets no request-complete notification from
// WinINet (only a pending one does): the notify thread gets the message from here instead, the
// same as if the request had completed asynchronously.
void CompletedAtOnce(DWORD dwNotifyThread, DWORD_PTR dwResult)
{
    PostThreadMessageA(dwNotifyThread, WM_USER + INTERNET_STATUS_REQUEST_COMPLETE, ERROR_SUCCESS,
                       static_cast<LPARAM>(dwResult));
}

// It goes with the library, which WinINet keeps loaded while any handle may still call back
// into it.
CLiveObjects &LiveObjects()
{
    static CLiveObjects objects;
    return objects;
}
} // namespace

CFtp::CFtp()
    : m_lBusy(0), m_hInternet(nullptr), m_hConnect(nullptr), m_bInternetClosed(TRUE), m_bConnectClosed(TRUE),
      m_dwNotifyThread(0)
{
    m_Log.SetFileName("DaxFtp.txt");
    m_Log.SetAlwaysOn(1);
    m_Log.Open();
    LiveObjects().Add(this);
}

CFtp::~CFtp()
{
    LiveObjects().Remove(this);
    // Handles a caller left open (its worker ended midway) are closed here, without a trace
    // line; their last notifications no longer reach this object. The caller's last error stays.
    const DWORD dwLastError = GetLastError();
    HINTERNET hConnect = m_hConnect.load();
    if (hConnect && !m_bConnectClosed.load())
    {
        InternetSetStatusCallbackA(hConnect, nullptr);
        InternetCloseHandle(hConnect);
    }
    if (m_hInternet && !m_bInternetClosed)
    {
        InternetSetStatusCallbackA(m_hInternet, nullptr);
        InternetCloseHandle(m_hInternet);
    }
    m_Log.Close();
    SetLastError(dwLastError);
}

void CFtp::SetServer(const char *pszServer)
{
    if (ipv4::IsValidText(pszServer))
        m_strServer = pszServer;
}

void CFtp::SetLogin(const char *pszUser, const char *pszPassword)
{
    m_strUser = pszUser ? pszUser : "";
    m_strPassword = pszPassword ? pszPassword : "";
}

void CFtp::SetNotifyThread(DWORD dwThreadId)
{
    m_dwNotifyThread = dwThreadId;
}

int CFtp::StartOpen()
{
    m_Log.Write("Init StartOpen");
    INTERNET_CONNECTED_INFO connected = {INTERNET_STATE_CONNECTED, 0};
    InternetSetOptionA(nullptr, INTERNET_OPTION_CONNECTED_STATE, &connected, sizeof connected);

    m_hInternet = InternetOpenA("CFtp", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    if (!m_hInternet)
        return 0;
    m_bInternetClosed = FALSE;
    // The connection of this run comes with its handle-created notification.
    m_hConnect.store(nullptr);
    m_bConnectClosed.store(TRUE);
    InternetSetStatusCallbackA(m_hInternet, &CFtp::StatusCallback);

    HINTERNET hConnect =
        InternetConnectA(m_hInternet, m_strServer.c_str(), kFtpPort, m_strUser.c_str(), m_strPassword.c_str(),
                         INTERNET_SERVICE_FTP, 0, reinterpret_cast<DWORD_PTR>(this));
    if (hConnect)
    {
        // Logged in at once: WinINet sends no request-complete for a call that did not return
        // ERROR_IO_PENDING, so the notify thread gets it from here.
        m_bConnectClosed.store(FALSE);
        m_hConnect.store(hConnect);
        m_Log.Write("CFtp: conectado al momento");
        CompletedAtOnce(m_dwNotifyThread, reinterpret_cast<DWORD_PTR>(hConnect));
        return 1;
    }
    const DWORD dwError = GetLastError();
    if (dwError == ERROR_IO_PENDING)
        return 1;
    m_Log.WriteNumber("CFtp::StartOpen", "error:", static_cast<int>(dwError));
    return 0;
}

void CFtp::StartClose()
{
    m_Log.Write("Init StartClose");
    HINTERNET hConnect = m_hConnect.load();
    if (hConnect && !m_bConnectClosed.load() && InternetCloseHandle(hConnect))
        m_bConnectClosed.store(TRUE);
    if (m_hInternet && !m_bInternetClosed && InternetCloseHandle(m_hInternet))
        m_bInternetClosed = TRUE;
}

int CFtp::GetFile(const char *pszRemoteFile, const char *pszLocalFile)
{
    HINTERNET hConnect = m_hConnect.load();
    if (!hConnect)
        return 0;
    m_Log.Write("Init GetFile");
    m_lBusy.store(1);
    if (FtpGetFileA(hConnect, pszRemoteFile, pszLocalFile, FALSE, kDownloadAttributes,
                    FTP_TRANSFER_TYPE_BINARY, reinterpret_cast<DWORD_PTR>(this)))
    {
        m_Log.Write("CFtp: transferencia completada al momento");
        m_lBusy.store(0);
        CompletedAtOnce(m_dwNotifyThread, TRUE);
        return 1;
    }
    return GetLastError() == ERROR_IO_PENDING ? 1 : 0;
}

int CFtp::PutFile(const char *pszRemoteFile, const char *pszLocalFile)
{
    HINTERNET hConnect = m_hConnect.load();
    if (!hConnect)
        return 0;
    m_Log.Write("Init PutFile");
    m_lBusy.store(1);
    if (FtpPutFileA(hConnect, pszLocalFile, pszRemoteFile, FTP_TRANSFER_TYPE_BINARY,
                    reinterpret_cast<DWORD_PTR>(this)))
    {
        m_Log.Write("CFtp: transferencia completada al momento");
        m_lBusy.store(0);
        CompletedAtOnce(m_dwNotifyThread, TRUE);
        return 1;
    }
    const DWORD dwError = GetLastError();
    if (dwError == ERROR_IO_PENDING)
        return 1;
    m_Log.WriteNumber("CFtp::StartPutFile", "error:", static_cast<int>(dwError));
    return 0;
}

void CALLBACK CFtp::StatusCallback(HINTERNET, DWORD_PTR dwContext, DWORD dwInternetStatus,
                                   LPVOID lpvStatusInformation, DWORD)
{
    CFtp *pThis = reinterpret_cast<CFtp *>(dwContext);
    LiveObjects().IfAlive(pThis, [&] { pThis->OnStatus(dwInternetStatus, lpvStatusInformation); });
}

// Logs the notification, keeps what it carries and posts it to the notify thread as message
// status + WM_USER.
void CFtp::OnStatus(DWORD dwInternetStatus, LPVOID lpvStatusInformation)
{
    const UINT uMsg = WM_USER + dwInternetStatus;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    switch (dwInternetStatus)
    {
    case INTERNET_STATUS_RESOLVING_NAME:
        m_Log.Write("CFtp: Msg resolviendo nombre");
        break;
    case INTERNET_STATUS_NAME_RESOLVED:
        m_Log.Write("CFtp: Msg nombre resuelto");
        break;
    case INTERNET_STATUS_CONNECTING_TO_SERVER:
        m_Log.Write("CFtp: Msg conectando a servidor");
        break;
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
        m_Log.Write("CFtp: Msg conectado a servidor");
        break;
    case INTERNET_STATUS_SENDING_REQUEST:
        m_Log.Write("CFtp: Msg enviando peticion");
        break;
    case INTERNET_STATUS_REQUEST_SENT: {
        const int nBytes = FirstValue(lpvStatusInformation);
        m_Log.WriteNumber("CFtp: Msg enviada peticion", "bytes enviados:", nBytes);
        lParam = static_cast<DWORD>(nBytes);
        break;
    }
    case INTERNET_STATUS_RECEIVING_RESPONSE:
        m_Log.Write("CFtp: Msg esperando respuesta");
        break;
    case INTERNET_STATUS_RESPONSE_RECEIVED: {
        const int nBytes = FirstValue(lpvStatusInformation);
        m_Log.WriteNumber("CFtp: Msg respuesta recibida", "bytes recibidos", nBytes);
        lParam = static_cast<DWORD>(nBytes);
        break;
    }
    case INTERNET_STATUS_CLOSING_CONNECTION:
        m_Log.Write("CFtp: Msg cerrando conexion");
        break;
    case INTERNET_STATUS_CONNECTION_CLOSED:
        m_Log.Write("CFtp: Msg conexion cerrada");
        break;
    case INTERNET_STATUS_HANDLE_CREATED: {
        // The log shows the handle's first 32 bits; the whole handle is kept (64-bit handles).
        m_Log.WriteNumber("CFtp: Msg Handle creado:", "", FirstValue(lpvStatusInformation));
        if (lpvStatusInformation)
        {
            const auto *pResult = static_cast<const INTERNET_ASYNC_RESULT *>(lpvStatusInformation);
            m_bConnectClosed.store(FALSE);
            m_hConnect.store(reinterpret_cast<HINTERNET>(pResult->dwResult));
        }
        break;
    }
    case INTERNET_STATUS_HANDLE_CLOSING:
        m_Log.Write("CFtp: Msg Handle cerrado");
        break;
    case INTERNET_STATUS_REQUEST_COMPLETE: {
        m_Log.Write("CFtp: Msg peticion completada");
        if (lpvStatusInformation)
        {
            const auto *pResult = static_cast<const INTERNET_ASYNC_RESULT *>(lpvStatusInformation);
            wParam = pResult->dwError;
            lParam = static_cast<LPARAM>(pResult->dwResult);
        }
        m_lBusy.store(0);
        break;
    }
    case INTERNET_STATUS_REDIRECT:
        m_Log.Write("CFtp: Msg peticion redirigida");
        break;
    case INTERNET_STATUS_INTERMEDIATE_RESPONSE:
        m_Log.Write("CFtp: Msg respuesta intermedia");
        break;
    default:
        break;
    }
    PostThreadMessageA(m_dwNotifyThread, uMsg, wParam, lParam);
}
