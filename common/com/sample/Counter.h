// CCounter: the sample server's one class, a dual interface with events fired from a worker
// thread, as the kit's components do.
#pragma once

#include "common/com/CritSec.h"
#include "common/com/EventSource.h"
#include "common/com/Object.h"
#include "common/com/sample/KitSample.h"

#include <atomic>
#include <span>
#include <string>

class CCounter final : public kitcom::Object<CCounter, ICounter, kitcom::Events<&DIID__ICounterEvents>>
{
  public:
    CCounter();
    ~CCounter();

    static std::span<const kitcom::DispMember<CCounter>> DispatchTable();

    HRESULT STDMETHODCALLTYPE Add(LONG lValue) override;
    HRESULT STDMETHODCALLTYPE get_Total(LONG *plTotal) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *pbstrName) override;
    HRESULT STDMETHODCALLTYPE put_Name(BSTR bstrName) override;
    HRESULT STDMETHODCALLTYPE Run(LONG lCount) override;
    HRESULT STDMETHODCALLTYPE GetState(LONG *plTotal, BSTR *pbstrName) override;
    HRESULT STDMETHODCALLTYPE IsRunning(LONG *pbRunning) override;

  private:
    static DWORD WINAPI Worker(LPVOID self);
    std::string Name() const;
    bool WorkerRunning() const;

    std::atomic<LONG> m_lTotal{0};
    mutable kitcom::AutoCriticalSection m_lock; // m_strName, m_hWorker, m_lTicks
    std::string m_strName = "Contador";
    HANDLE m_hWorker = nullptr;
    DWORD m_dwWorkerId = 0;
    LONG m_lTicks = 0;
};
