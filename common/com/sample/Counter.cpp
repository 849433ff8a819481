// CCounter: the sample server's class.
#include "common/com/sample/Counter.h"

namespace
{
constexpr const char *kSource = "KitSample.Counter";
using kitcom::CritSecLock;
} // namespace

CCounter::CCounter() = default;

// The worker uses the object without a reference of its own, so the object waits for it here
// (unless the last reference goes on the worker itself, from inside an event).
CCounter::~CCounter()
{
    HANDLE worker;
    DWORD workerId;
    {
        CritSecLock guard(m_lock);
        worker = m_hWorker;
        workerId = m_dwWorkerId;
    }
    if (worker)
    {
        if (workerId != GetCurrentThreadId())
            WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
    }
}

std::span<const kitcom::DispMember<CCounter>> CCounter::DispatchTable()
{
    static constexpr kitcom::DispMember<CCounter> members[] = {
        kitcom::Method<&CCounter::Add>("Add", DISPID_COUNTER_ADD),
        kitcom::PropGet<&CCounter::get_Total>("Total", DISPID_COUNTER_TOTAL),
        kitcom::PropGet<&CCounter::get_Name>("Name", DISPID_COUNTER_NAME),
        kitcom::PropPut<&CCounter::put_Name>("Name", DISPID_COUNTER_NAME),
        kitcom::Method<&CCounter::Run>("Run", DISPID_COUNTER_RUN),
        kitcom::Method<&CCounter::GetState>("GetState", DISPID_COUNTER_GETSTATE),
        kitcom::MethodRetval<&CCounter::IsRunning>("IsRunning", DISPID_COUNTER_ISRUNNING),
    };
    return members;
}

HRESULT CCounter::Add(LONG lValue)
{
    if (lValue < 0)
        return kitcom::ReportError(E_INVALIDARG, kSource, "El valor no puede ser negativo.");
    m_lTotal += lValue;
    return S_OK;
}

HRESULT CCounter::get_Total(LONG *plTotal)
{
    if (!plTotal)
        return E_POINTER;
    *plTotal = m_lTotal;
    return S_OK;
}

HRESULT CCounter::get_Name(BSTR *pbstrName)
{
    return kitcom::ReturnNarrow(Name(), pbstrName);
}

HRESULT CCounter::put_Name(BSTR bstrName)
{
    CritSecLock guard(m_lock);
    m_strName = kitcom::NarrowOf(bstrName);
    return S_OK;
}

HRESULT CCounter::Run(LONG lCount)
{
    if (lCount < 0)
        return kitcom::ReportError(E_INVALIDARG, kSource, "El número de pasos no puede ser negativo.");
    CritSecLock guard(m_lock);
    if (WorkerRunning())
        return S_FALSE;
    if (m_hWorker)
        CloseHandle(m_hWorker);
    m_lTicks = lCount;
    m_hWorker = CreateThread(nullptr, 0, Worker, this, 0, &m_dwWorkerId);
    return m_hWorker ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT CCounter::GetState(LONG *plTotal, BSTR *pbstrName)
{
    if (!plTotal || !pbstrName)
        return E_POINTER;
    *plTotal = m_lTotal;
    return kitcom::ReturnNarrow(Name(), pbstrName);
}

HRESULT CCounter::IsRunning(LONG *pbRunning)
{
    if (!pbRunning)
        return E_POINTER;
    CritSecLock guard(m_lock);
    *pbRunning = WorkerRunning() ? 1 : 0;
    return S_OK;
}

// Fires Tick(1..n) and Done(Name) straight into the client's sinks, on this thread. The object
// may be gone once Done has been delivered: nothing of it is touched after that.
DWORD WINAPI CCounter::Worker(LPVOID self)
{
    auto *counter = static_cast<CCounter *>(self);
    LONG ticks;
    {
        CritSecLock guard(counter->m_lock);
        ticks = counter->m_lTicks;
    }
    for (LONG i = 1; i <= ticks; ++i)
        counter->Fire(DISPID_COUNTEREVENTS_TICK, i);
    counter->Fire(DISPID_COUNTEREVENTS_DONE, counter->Name());
    return 0;
}

std::string CCounter::Name() const
{
    CritSecLock guard(m_lock);
    return m_strName;
}

// Call with m_lock held.
bool CCounter::WorkerRunning() const
{
    return m_hWorker && WaitForSingleObject(m_hWorker, 0) == WAIT_TIMEOUT;
}
