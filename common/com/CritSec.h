// The kit's one lock: a critical section owned by its object (as ATL's CComAutoCriticalSection)
// and a scoped holder of it (as CComCritSecLock). Header-only over the platform, so any part of
// the product, COM server or not, can use it.
#pragma once

#include "platform/windows.h"

namespace kitcom
{
// A critical section initialised with its owner and deleted with it.
class AutoCriticalSection
{
  public:
    AutoCriticalSection() { InitializeCriticalSection(&m_section); }
    ~AutoCriticalSection() { DeleteCriticalSection(&m_section); }
    AutoCriticalSection(const AutoCriticalSection &) = delete;
    AutoCriticalSection &operator=(const AutoCriticalSection &) = delete;

    void Lock() { EnterCriticalSection(&m_section); }
    void Unlock() { LeaveCriticalSection(&m_section); }

  private:
    CRITICAL_SECTION m_section;
};

// Holds a critical section from its construction to its end; Unlock and Lock let a caller
// step out of it for a while (a call out, a wait) and come back.
class CritSecLock
{
  public:
    explicit CritSecLock(AutoCriticalSection &section) : m_section(section) { Lock(); }
    ~CritSecLock()
    {
        if (m_locked)
            Unlock();
    }
    CritSecLock(const CritSecLock &) = delete;
    CritSecLock &operator=(const CritSecLock &) = delete;

    void Lock()
    {
        m_section.Lock();
        m_locked = true;
    }
    void Unlock()
    {
        m_locked = false;
        m_section.Unlock();
    }

  private:
    AutoCriticalSection &m_section;
    bool m_locked = false;
};
} // namespace kitcom
