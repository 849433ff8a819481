// Waitable kernel objects and the one wait loop every platform wait goes through.
#pragma once

#include "platform/core/handles.h"

#include <condition_variable>
#include <mutex>
#include <span>

namespace plat
{
// One lock guards the signal state of every waitable object; every change of state is announced
// to all waiting threads. Simple and correct for the few threads a kit process has.
std::mutex &WaitMutex();
void NotifyWaiters(); // call after changing a state, with or without WaitMutex held

class Waitable : public KernelObject
{
  public:
    using KernelObject::KernelObject;
    // Both are called with WaitMutex held, by the thread `tid` that waits.
    virtual bool IsSignaled(DWORD tid) const = 0;
    // Takes the object once it is signaled (auto-reset events reset, mutexes are owned);
    // returns true when the object was abandoned by a dead owner.
    virtual bool Acquire(DWORD tid)
    {
        (void)tid;
        return false;
    }
    // Called when IsSignaled said yes but a wait for all objects could not complete: objects
    // whose check had to take them (machine-wide mutexes) give them back here.
    virtual void Unclaim(DWORD tid) { (void)tid; }
    // Objects whose state may change in another process are polled while waited on.
    virtual bool NeedsPolling() const { return false; }
};

// Waits for one (or all) of the objects; returns WAIT_OBJECT_0 + i, WAIT_ABANDONED_0 + i,
// WAIT_TIMEOUT or WAIT_FAILED with the last error set.
DWORD WaitForObjects(std::span<Waitable *const> objects, bool waitAll, DWORD milliseconds);

// Blocks on the wait loop with nothing to wait for (Sleep). A platform wait point.
void SleepMilliseconds(DWORD milliseconds);

// Called at every platform wait point: lets a thread asked to terminate end there.
// The runtime installs the check; until then it does nothing.
using CancellationCheck = void (*)();
void SetCancellationCheck(CancellationCheck check);
void CancellationPoint();

// The calling thread's id as the wait loop knows it.
DWORD CurrentThreadIdForWait();
} // namespace plat
