// CFtp: the modem module's FTP client. One connection to the router's FTP server, one transfer
// at a time, everything asynchronous through WinINet: it never waits itself. Each WinINet status
// notification is written to "DaxFtp.txt" and posted to the notify thread as the thread message
// status + WM_USER, whose message loop drives the dialogue.
#pragma once

#include "common/trace/TraceLog.h"
#include "platform/windows.h"

#include <atomic>
#include <string>

class CFtp
{
  public:
    CFtp();
    // Closes the trace log. Callers close the handles with StartClose and wait for the handle's
    // closing message; a handle still open here (a worker ended midway) is closed silently, and
    // no notification reaches the object afterwards.
    ~CFtp();
    CFtp(const CFtp &) = delete;
    CFtp &operator=(const CFtp &) = delete;

    // Replaces the server only with a dotted IPv4 address.
    void SetServer(const char *pszServer);
    void SetLogin(const char *pszUser, const char *pszPassword);
    // The thread that receives the notification messages; it must have its message queue.
    void SetNotifyThread(DWORD dwThreadId);

    // 1: started, 0: failed.
    int StartOpen();
    void StartClose();
    int GetFile(const char *pszRemoteFile, const char *pszLocalFile);
    int PutFile(const char *pszRemoteFile, const char *pszLocalFile);

    // What the callback stores, for the callers' loops and tests.
    HINTERNET ConnectionHandle() const { return m_hConnect.load(); }
    BOOL IsBusy() const { return m_lBusy.load() != 0; }

    // Attributes of a downloaded file: FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_ARCHIVE.
    static constexpr DWORD kDownloadAttributes = 0xA0;

  private:
    static void CALLBACK StatusCallback(HINTERNET hInternet, DWORD_PTR dwContext, DWORD dwInternetStatus,
                                        LPVOID lpvStatusInformation, DWORD dwStatusInformationLength);
    void OnStatus(DWORD dwInternetStatus, LPVOID lpvStatusInformation);

    std::string m_strServer;
    std::string m_strPassword;
    std::string m_strUser;
    // Written by the status callback on WinINet's threads while the caller's thread reads them.
    std::atomic<LONG> m_lBusy;
    HINTERNET m_hInternet;
    std::atomic<HINTERNET> m_hConnect;
    BOOL m_bInternetClosed;
    std::atomic<BOOL> m_bConnectClosed;
    DWORD m_dwNotifyThread;
    CTraceLog m_Log;
};
