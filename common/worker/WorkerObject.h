// CWorkerObject: what the TCP/IP module's objects (CCheckNics2, CGetTcpipConfig2,
// CSetTcpipConfig2) share: one job run on a worker thread of the object's own, Start, Stop and
// IsActive, the Start/End/ProgressDone events with their numeric codes, and the machine-wide
// protection mutex that lets one of these jobs run at a time.
//
// The derived class gives its event source, its texts and its job:
//
//     class CCheckNics2 final : public kitcom::Object<...>, public CWorkerObject
//     {
//         JobEnd Job() override;   // on the worker, after the first look for the abort message
//     };
//
// Start fires Start on the caller's thread; End and ProgressDone come from the worker, never
// under the data lock. The protection mutex is owned by the worker thread for the whole run
// (a mutex can only be released by the thread that owns it): Start takes it to see that it is
// free and hands it to the worker before waiting for the worker's message queue; the worker
// gives it up just before its End. Every run fires exactly one End, whichever thread ends it.
//
// A derived destructor calls StopForDestroy() first, so the worker is gone before the members
// its job uses.
#pragma once

#include "common/com/CritSec.h"
#include "common/com/EventSource.h"
#include "common/trace/TraceLog.h"
#include "platform/windows.h"

#include <atomic>

// The lines each object writes for the protocol's steps, in its own wording.
struct WorkerTexts
{
    const char *pszStartBegin;
    const char *pszStartActive;
    const char *pszStartNoMutex;
    const char *pszStartMutexHeld;
    const char *pszStartChecksOk;
    const char *pszStartNoEvent;
    const char *pszStartNoThread;
    const char *pszStartLaunched;
    const char *pszStartQueueTimeout;
    const char *pszStartOk;
    const char *pszStopBegin;
    const char *pszStopAbortPosted;
    const char *pszStopForced;
    const char *pszStopNotActive;
    const char *pszStopOk;
    const char *pszWorkerBegin;
    const char *pszWorkerQueue;
    const char *pszWorkerAbort;
    const char *pszWorkerOk;
};

// Event codes (the events' bstrText).
namespace workercode
{
inline constexpr char kStillRunning[] = "1";
inline constexpr char kNoMutex[] = "2";
inline constexpr char kMutexHeld[] = "3";
inline constexpr char kNoEvent[] = "4";
inline constexpr char kNoThread[] = "5";
inline constexpr char kQueueTimeout[] = "6";
inline constexpr char kNicsUnreadable[] = "7";
inline constexpr char kNicNotFound[] = "8";
inline constexpr char kInconsistent[] = "9";
inline constexpr char kStoreFailed[] = "10";
inline constexpr char kNoStoreObject[] = "11";
inline constexpr char kNoOwnObject[] = "12";
inline constexpr char kWriteFailed[] = "13";
inline constexpr char kRunning[] = "14";
inline constexpr char kDone[] = "15";
inline constexpr char kAborted[] = "16";
} // namespace workercode

class CWorkerObject
{
  public:
    static constexpr char kMutexName[] = "{08A13B00-C3A3-11d5-9B7C-00C04F1F2D46}";
    // How long Start waits for the worker's message queue.
    static constexpr DWORD kQueueWaitMs = 3000;
    // How long a destroyed object gives its worker to end before killing it.
    static constexpr LONG kDestroyStopMs = 2000;
    // How long Stop lets a killed worker take to go (it ends at its next wait, giving the mutex
    // back), so the next run is not refused by the one just stopped.
    static constexpr DWORD kKilledWaitMs = 1000;
    // Dispatch ids of the three events.
    static constexpr DISPID kEventStart = 1;
    static constexpr DISPID kEventEnd = 2;
    static constexpr DISPID kEventProgressDone = 3;

  protected:
    // How a job ended: the End code and the line to log after it, or success (both null).
    struct JobEnd
    {
        const char *pszCode;
        const char *pszLine;
    };
    static constexpr JobEnd kJobOk{nullptr, nullptr};
    // What a job returns when it found the abort message (AbortRequested).
    static constexpr JobEnd kJobAborted{workercode::kAborted, nullptr};

    // `uAbortMsg`: the thread message Stop posts; the log goes to `pszLogFile`.
    CWorkerObject(UINT uAbortMsg, const char *pszLogFile, const WorkerTexts &texts);
    virtual ~CWorkerObject();
    CWorkerObject(const CWorkerObject &) = delete;
    CWorkerObject &operator=(const CWorkerObject &) = delete;

    HRESULT StartWorker();
    HRESULT StopWorker(LONG lTimeout);
    HRESULT IsWorkerActive(LONG *pbActive);
    // Stops a running worker (kDestroyStopMs, then killed) and waits until it is gone.
    void StopForDestroy();

    // The job, on the worker thread.
    virtual JobEnd Job() = 0;
    // Where the events go.
    virtual kitcom::EventSource &EventsOf() = 0;

    // For jobs: whether the abort message is waiting (it is taken out).
    bool AbortRequested();
    void FireProgressDone(const char *pszCode);

    CTraceLog m_log;
    // Guards what the client's thread and the worker both touch: the derived class's results
    // and inputs, and the base's thread and mutex handles.
    mutable kitcom::AutoCriticalSection m_lock;

  private:
    enum class Activity
    {
        Idle,
        Active,
        Unknown,
    };
    class CProtection;

    static DWORD WINAPI WorkerMain(LPVOID pParam);
    DWORD RunWorker();
    // The worker's end: the mutex given up, then one End for the run (unless another thread
    // ended it already), then the line.
    DWORD EndRun(const JobEnd &end, CProtection &protection);

    Activity WorkerActivity() const;
    // Start's refusals after the mutex was taken: the mutex given back and closed, the event.
    HRESULT RefuseStart(const char *pszCode, const char *pszLine);
    void CloseObjectMutex();
    // True for the one caller that ends the current run.
    bool ClaimRunEnd();
    void FireStart(LONG bOk, const char *pszCode);
    void FireEnd(LONG bOk, const char *pszCode);

    const UINT m_uAbortMsg;
    const WorkerTexts &m_texts;

    // Guarded by m_lock.
    HANDLE m_hWorker = nullptr; // the last worker, kept after it ends
    DWORD m_dwWorkerId = 0;
    HANDLE m_hMutex = nullptr;      // this object's handle to the protection mutex, while a run has it
    HANDLE m_hQueueReady = nullptr; // exists only while Start waits for the worker
    bool m_bProtectionLost = false; // the worker could not take the mutex Start handed over

    std::atomic<bool> m_bRunEnded{true};
};
