// CSetZyxelConfig: the SetZyxelConfig control. It talks to the modem-router's FTP server on a
// worker thread of its own: it uploads a configuration generated from the template and its
// router parameter object ("rom-t"), downloads the router's configuration into the object, puts
// a firmware file ("ras"), or finds which of a list of addresses the router answers on. Each
// run reports Start, ProgressDone and End (bOk 0 for success) to every connected sink; End and
// ProgressDone come from the worker thread.
//
// A worker holds a reference to the object, so a client may release it during a run: the run
// ends as it would have and the object goes with its worker.
#pragma once

#include "common/com/CritSec.h"
#include "common/com/EventSource.h"
#include "common/com/Object.h"
#include "common/param/RouterParamPtr.h"
#include "common/trace/TraceLog.h"
#include "modem/DaxModem.h"
#include "modem/ModemConfig.h"

#include <span>
#include <string>
#include <vector>

class CFtp;

class CSetZyxelConfig final
    : public kitcom::Object<CSetZyxelConfig, ISetZyxelConfig, kitcom::Events<&DIID__ISetZyxelConfigEvents>>
{
  public:
    CSetZyxelConfig();
    ~CSetZyxelConfig();
    // Creates the object's router parameter object; without it there is no object.
    HRESULT FinalConstruct();

    static std::span<const kitcom::DispMember<CSetZyxelConfig>> DispatchTable();

    HRESULT STDMETHODCALLTYPE SetModemConfig(IUnknown *iUnkInfo) override;
    HRESULT STDMETHODCALLTYPE IsActive(LONG *pbActive) override;
    HRESULT STDMETHODCALLTYPE Start() override;
    HRESULT STDMETHODCALLTYPE Stop(LONG lTimeOut) override;
    HRESULT STDMETHODCALLTYPE SetModemCurIp(BSTR bstrCurIp) override;
    HRESULT STDMETHODCALLTYPE CheckAccess(BSTR list) override;
    HRESULT STDMETHODCALLTYPE SetPassword(BSTR pass) override;
    HRESULT STDMETHODCALLTYPE UpdateFw(BSTR file) override;
    HRESULT STDMETHODCALLTYPE SetTransferMode(LONG bGetMode) override;
    HRESULT STDMETHODCALLTYPE GetModemConfig(IUnknown **iUnkRouterParam) override;
    HRESULT STDMETHODCALLTYPE CreateConfigFile(BSTR bstrFile) override;
    HRESULT STDMETHODCALLTYPE SetBackupFile(BSTR bstrFile) override;

    // The worker's messages: CFtp's notifications (status + WM_USER) and Stop's abort.
    static constexpr UINT kMsgConectado = WM_USER + INTERNET_STATUS_CONNECTED_TO_SERVER; // 1045
    static constexpr UINT kMsgEnviado = WM_USER + INTERNET_STATUS_REQUEST_SENT;          // 1055
    static constexpr UINT kMsgRecibido = WM_USER + INTERNET_STATUS_RESPONSE_RECEIVED;    // 1065
    static constexpr UINT kMsgHandleCerrado = WM_USER + INTERNET_STATUS_HANDLE_CLOSING;  // 1094
    static constexpr UINT kMsgCompletada = WM_USER + INTERNET_STATUS_REQUEST_COMPLETE;   // 1124
    static constexpr UINT kMsgAbortar = WM_USER + 300;                                   // 1324

    // How long a worker has to create its message queue.
    static constexpr DWORD kArranqueMs = 3000;
    // The longest wait for the close of a connection to be confirmed. WinINet confirms it within
    // its own time-outs; this only keeps a worker from waiting for ever if it does not.
    static constexpr DWORD kCierreMs = 60000;
    // The longest password SetPassword keeps.
    static constexpr size_t kMaxPassword = MAX_PATH - 1;

  private:
    // What the client may change while a worker runs, read by the worker under m_lock.
    struct CAjustes
    {
        std::string strModemIp;
        std::string strPassword;
        std::string strFirmware;
        std::string strCopia; // a backup moved as it is instead of the template's file
        LONG bFirmware = 0;
        LONG bGetMode = 0;
    };
    class CTrabajo;
    class CTransferencia;
    class CComprobacion;

    HRESULT LanzarHiloTransfer();
    // The file an upload sends, from the template of the current folder (the downloaded one
    // when present) and the object's settings; false (logged) when it could not be made.
    bool GenerarConfig(const std::string &strSalida);
    // Starts a worker and waits for its message queue (steps shared by every job).
    HRESULT LanzarHilo(LPTHREAD_START_ROUTINE pfnWorker);
    // Lets a worker that has reported its queue go on with its job.
    void DejarSeguir();
    static DWORD WINAPI SetFTPWorkerThread(LPVOID pParam);
    static DWORD WINAPI ThreadComprobarAcceso(LPVOID pParam);

    bool WorkerRunning() const;
    CAjustes Ajustes() const;
    void SetModemIp(const std::string &strIp);
    std::vector<std::string> Candidatos() const;
    // Every run ends with the next transfer an upload of a file generated from the template.
    void FinDeEjecucion(LONG bOk, const char *pszResult);

    void FireStart(LONG bOk, const char *pszText);
    void FireEnd(LONG bOk, const char *pszText);
    void FireProgressDone(const char *pszText);

    mutable kitcom::AutoCriticalSection m_lock; // m_ajustes, m_candidatos and the worker's thread object
    CAjustes m_ajustes;
    std::vector<std::string> m_candidatos;
    HANDLE m_hWorker = nullptr; // the last worker, kept after it ends
    DWORD m_dwWorkerId = 0;
    HANDLE m_hGo = nullptr; // the worker's, until it has been let go on after Start

    RouterParamPtr m_param;
    CTraceLog m_log;
    // The port-mapping state and the configuration file; used by the transfer worker alone.
    CModemConfig m_config;
};
