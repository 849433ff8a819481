// CWorkerObject: Start, Stop, IsActive and the worker's skeleton.
#include "common/worker/WorkerObject.h"

#include <string_view>

// The worker's hold on the protection mutex, through a handle of its own: given back by the
// thread that owns it, also when the thread is killed (its stack is unwound).
class CWorkerObject::CProtection
{
  public:
    CProtection() : m_hMutex(CreateMutexA(nullptr, FALSE, kMutexName)) {}
    ~CProtection() { Release(); }
    CProtection(const CProtection &) = delete;
    CProtection &operator=(const CProtection &) = delete;

    // Takes the mutex Start is handing over; false when someone else got it first.
    bool Take()
    {
        if (!m_hMutex)
            return false;
        const DWORD dwWait = WaitForSingleObject(m_hMutex, kQueueWaitMs);
        m_bOwned = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
        return m_bOwned;
    }

    void Release()
    {
        if (m_bOwned)
            ReleaseMutex(m_hMutex);
        m_bOwned = false;
        if (m_hMutex)
            CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }

  private:
    HANDLE m_hMutex;
    bool m_bOwned = false;
};

CWorkerObject::CWorkerObject(UINT uAbortMsg, const char *pszLogFile, const WorkerTexts &texts)
    : m_uAbortMsg(uAbortMsg), m_texts(texts)
{
    m_log.SetFileName(pszLogFile);
    m_log.SetAlwaysOn(1);
    m_log.Open();
}

CWorkerObject::~CWorkerObject()
{
    CloseObjectMutex();
    if (m_hWorker)
        CloseHandle(m_hWorker);
    m_log.Close();
}

void CWorkerObject::StopForDestroy()
{
    if (WorkerActivity() == Activity::Idle)
        return;
    StopWorker(kDestroyStopMs);
    // A killed worker ends at its next wait; its job must not outlive the members it uses.
    HANDLE hWorker = nullptr;
    {
        kitcom::CritSecLock guard(m_lock);
        hWorker = m_hWorker;
    }
    if (hWorker)
        WaitForSingleObject(hWorker, INFINITE);
}

// --- Activity -----------------------------------------------------------------------------------

CWorkerObject::Activity CWorkerObject::WorkerActivity() const
{
    kitcom::CritSecLock guard(m_lock);
    if (!m_hWorker)
        return Activity::Idle;
    DWORD dwExit = 0;
    if (!GetExitCodeThread(m_hWorker, &dwExit))
        return Activity::Unknown;
    return dwExit == STILL_ACTIVE ? Activity::Active : Activity::Idle;
}

HRESULT CWorkerObject::IsWorkerActive(LONG *pbActive)
{
    if (!pbActive)
        return S_FALSE;
    const Activity activity = WorkerActivity();
    if (activity == Activity::Unknown)
        return S_FALSE;
    *pbActive = activity == Activity::Active ? 1 : 0;
    return S_OK;
}

// --- Events -------------------------------------------------------------------------------------

void CWorkerObject::FireStart(LONG bOk, const char *pszCode)
{
    EventsOf().Fire(kEventStart, bOk, std::string_view(pszCode));
}

void CWorkerObject::FireEnd(LONG bOk, const char *pszCode)
{
    EventsOf().Fire(kEventEnd, bOk, std::string_view(pszCode));
}

void CWorkerObject::FireProgressDone(const char *pszCode)
{
    EventsOf().Fire(kEventProgressDone, std::string_view(pszCode));
}

bool CWorkerObject::ClaimRunEnd()
{
    return !m_bRunEnded.exchange(true);
}

void CWorkerObject::CloseObjectMutex()
{
    HANDLE hMutex = nullptr;
    {
        kitcom::CritSecLock guard(m_lock);
        hMutex = m_hMutex;
        m_hMutex = nullptr;
    }
    if (hMutex)
        CloseHandle(hMutex);
}

// --- Start --------------------------------------------------------------------------------------

HRESULT CWorkerObject::RefuseStart(const char *pszCode, const char *pszLine)
{
    HANDLE hMutex = nullptr;
    {
        kitcom::CritSecLock guard(m_lock);
        hMutex = m_hMutex;
    }
    if (hMutex)
        ReleaseMutex(hMutex); // only when this thread still holds it
    FireStart(0, pszCode);
    CloseObjectMutex();
    m_log.Write(pszLine);
    return S_FALSE;
}

HRESULT CWorkerObject::StartWorker()
{
    m_log.Write(m_texts.pszStartBegin);
    if (WorkerActivity() != Activity::Idle)
    {
        FireStart(0, workercode::kStillRunning);
        m_log.Write(m_texts.pszStartActive);
        return S_FALSE;
    }

    HANDLE hMutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (!hMutex)
    {
        FireStart(0, workercode::kNoMutex);
        m_log.Write(m_texts.pszStartNoMutex);
        return S_FALSE;
    }
    const DWORD dwWait = WaitForSingleObject(hMutex, 0);
    if (dwWait != WAIT_OBJECT_0 && dwWait != WAIT_ABANDONED)
    {
        FireStart(0, workercode::kMutexHeld);
        m_log.Write(m_texts.pszStartMutexHeld);
        CloseHandle(hMutex);
        return S_FALSE;
    }
    HANDLE hOldWorker = nullptr;
    {
        kitcom::CritSecLock guard(m_lock);
        m_hMutex = hMutex;
        hOldWorker = m_hWorker;
        m_hWorker = nullptr;
        m_dwWorkerId = 0;
        m_bProtectionLost = false;
    }
    if (hOldWorker)
        CloseHandle(hOldWorker);

    m_log.Write(m_texts.pszStartChecksOk);
    HANDLE hQueueReady = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!hQueueReady)
        return RefuseStart(workercode::kNoEvent, m_texts.pszStartNoEvent);
    {
        kitcom::CritSecLock guard(m_lock);
        m_hQueueReady = hQueueReady;
    }
    m_bRunEnded = false;
    DWORD dwWorkerId = 0;
    HANDLE hWorker = CreateThread(nullptr, 0, WorkerMain, this, 0, &dwWorkerId);
    if (!hWorker)
    {
        m_bRunEnded = true;
        {
            kitcom::CritSecLock guard(m_lock);
            m_hQueueReady = nullptr;
        }
        CloseHandle(hQueueReady);
        return RefuseStart(workercode::kNoThread, m_texts.pszStartNoThread);
    }
    {
        kitcom::CritSecLock guard(m_lock);
        m_hWorker = hWorker;
        m_dwWorkerId = dwWorkerId;
    }
    m_log.Write(m_texts.pszStartLaunched);

    // The worker takes the mutex over, then reports its queue.
    ReleaseMutex(hMutex);
    const DWORD dwQueue = WaitForSingleObject(hQueueReady, kQueueWaitMs);
    bool bLost = false;
    {
        kitcom::CritSecLock guard(m_lock);
        m_hQueueReady = nullptr;
        bLost = m_bProtectionLost;
    }
    CloseHandle(hQueueReady);

    if (dwQueue != WAIT_OBJECT_0)
    {
        TerminateThread(hWorker, 0);
        m_bRunEnded = true;
        FireStart(0, workercode::kQueueTimeout);
        CloseObjectMutex();
        m_log.Write(m_texts.pszStartQueueTimeout);
        return S_FALSE;
    }
    if (bLost)
    {
        // Another run took the mutex in the moment between Start and its worker.
        FireStart(0, workercode::kMutexHeld);
        CloseObjectMutex();
        m_log.Write(m_texts.pszStartMutexHeld);
        return S_FALSE;
    }
    FireStart(1, workercode::kRunning);
    m_log.Write(m_texts.pszStartOk);
    return S_OK;
}

// --- Stop ---------------------------------------------------------------------------------------

HRESULT CWorkerObject::StopWorker(LONG lTimeout)
{
    m_log.Write(m_texts.pszStopBegin);
    if (WorkerActivity() == Activity::Idle)
    {
        m_log.Write(m_texts.pszStopNotActive);
        m_log.Write(m_texts.pszStopOk);
        return S_OK;
    }
    HANDLE hWorker = nullptr;
    DWORD dwWorkerId = 0;
    {
        kitcom::CritSecLock guard(m_lock);
        hWorker = m_hWorker;
        dwWorkerId = m_dwWorkerId;
    }
    PostThreadMessageA(dwWorkerId, m_uAbortMsg, 0, 0);
    m_log.Write(m_texts.pszStopAbortPosted);
    const DWORD dwWait =
        hWorker ? WaitForSingleObject(hWorker, lTimeout < 0 ? 0 : static_cast<DWORD>(lTimeout)) : WAIT_FAILED;
    if (dwWait != WAIT_OBJECT_0)
    {
        if (hWorker)
        {
            TerminateThread(hWorker, 0);
            WaitForSingleObject(hWorker, kKilledWaitMs);
        }
        if (ClaimRunEnd())
            FireEnd(0, workercode::kAborted);
        CloseObjectMutex();
        m_log.Write(m_texts.pszStopForced);
    }
    m_log.Write(m_texts.pszStopOk);
    return S_OK;
}

// --- The worker ---------------------------------------------------------------------------------

DWORD WINAPI CWorkerObject::WorkerMain(LPVOID pParam)
{
    return static_cast<CWorkerObject *>(pParam)->RunWorker();
}

bool CWorkerObject::AbortRequested()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, m_uAbortMsg, m_uAbortMsg, PM_REMOVE) != FALSE;
}

DWORD CWorkerObject::RunWorker()
{
    m_log.Write(m_texts.pszWorkerBegin);
    CProtection protection;
    const bool bTaken = protection.Take();

    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    {
        kitcom::CritSecLock guard(m_lock);
        m_bProtectionLost = !bTaken;
        if (m_hQueueReady)
            SetEvent(m_hQueueReady);
    }
    if (!bTaken)
        return 0; // Start refuses the run
    m_log.Write(m_texts.pszWorkerQueue);

    if (AbortRequested())
        return EndRun(kJobAborted, protection);
    return EndRun(Job(), protection);
}

DWORD CWorkerObject::EndRun(const JobEnd &end, CProtection &protection)
{
    const bool bOk = end.pszCode == nullptr;
    // Given up before End: a client that starts its next job on End is not refused by this one.
    protection.Release();
    CloseObjectMutex();
    if (!ClaimRunEnd())
        return 0; // Stop or Start ended this run already
    FireEnd(bOk ? 1 : 0, bOk ? workercode::kDone : end.pszCode);
    if (bOk)
        m_log.Write(m_texts.pszWorkerOk);
    else if (end.pszLine)
        m_log.Write(end.pszLine);
    else
        m_log.Write(m_texts.pszWorkerAbort);
    return bOk ? 1 : 0;
}
