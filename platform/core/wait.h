// Waiting, the one mechanism of every platform wait point: waitable kernel objects and the one
// loop that waits for them; and, for what nothing signals (host descriptors, states polled),
// the sliced wait: short slices with the cancellation point between them, up to a deadline.
#pragma once

#include "platform/core/handles.h"
#include "platform/core/netposix.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
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

// The object behind a handle when it is waitable, or nullptr (pseudo handles of the current
// process and thread never become signaled while the caller runs, so they are not waitable).
std::shared_ptr<Waitable> WaitableFromHandle(HANDLE handle);

// Waits for one (or all) of the objects; returns WAIT_OBJECT_0 + i, WAIT_ABANDONED_0 + i,
// WAIT_TIMEOUT or WAIT_FAILED with the last error set. An alertable wait first runs the
// thread's queued APCs, if any, and then returns WAIT_IO_COMPLETION.
DWORD WaitForObjects(std::span<Waitable *const> objects, bool waitAll, DWORD milliseconds,
                     bool alertable = false);

// Blocks on the wait loop with nothing to wait for (Sleep). A platform wait point. Returns
// WAIT_IO_COMPLETION when an alertable sleep ran APCs, else 0.
DWORD SleepMilliseconds(DWORD milliseconds, bool alertable = false);

// --- asynchronous procedure calls ---

// Queues a call for thread `tid`; it runs in that thread's next alertable wait (or never, if
// the thread ends first).
void QueueApc(DWORD tid, std::function<void()> apc);
// Drops what is queued for a thread that ended.
void DropApcs(DWORD tid);

// Called at every platform wait point: lets a thread asked to terminate end there.
// The runtime installs the check; until then it does nothing.
using CancellationCheck = void (*)();
void SetCancellationCheck(CancellationCheck check);
void CancellationPoint();

// The calling thread's id as the wait loop knows it.
DWORD CurrentThreadIdForWait();

// --- deadlines ---

using WaitClock = std::chrono::steady_clock;
// When a wait ends; nothing means never.
using Deadline = std::optional<WaitClock::time_point>;

// The deadline `milliseconds` from now; INFINITE is none.
Deadline DeadlineAfter(DWORD milliseconds);
// The deadline `duration` from now.
Deadline DeadlineIn(WaitClock::duration duration);

// --- sliced waits ---

// What one slice of a sliced wait found.
enum class SliceResult
{
    NotYet, // nothing yet: wait another slice
    Ready,
    Failed,
};

// How a sliced wait ended.
enum class WaitOutcome
{
    Ready,
    TimedOut, // the deadline passed
    Stopped,  // `stopped` said the wait is no longer wanted (a handle closed, an operation cancelled)
    Failed,   // a slice failed
};

// The length of a slice: how soon a sliced wait sees the cancellation point and `stopped`.
constexpr int kWaitSliceMilliseconds = 25;

// Waits in slices until `slice` finds what is waited for (or fails), `stopped` says to stop,
// or the deadline passes. Before each slice: the cancellation point, then `stopped` (may be
// empty), then the deadline. `slice(milliseconds)` may block up to that long (at most
// kWaitSliceMilliseconds, less near the deadline, never 0) and says what it found.
// A platform wait point.
WaitOutcome WaitInSlices(const Deadline &deadline, const std::function<SliceResult(int milliseconds)> &slice,
                         const std::function<bool()> &stopped = {});

// Waits until `condition()` holds, looking at it once a slice: for states nothing signals
// (kept by another process, or in a file). A platform wait point.
WaitOutcome WaitForCondition(const std::function<bool()> &condition, const Deadline &deadline,
                             const std::function<bool()> &stopped = {});

// Waits until one of the host descriptors is ready as net::Poll reports it (readable, writable
// or failed: the next read or write tells the outcome); Failed when the host's poll fails.
// A platform wait point.
WaitOutcome WaitForDescriptors(std::span<net::PollItem> items, const Deadline &deadline,
                               const std::function<bool()> &stopped = {});
// The same for one descriptor, to read from (or write to).
WaitOutcome WaitForDescriptor(int fd, bool write, const Deadline &deadline,
                              const std::function<bool()> &stopped = {});
} // namespace plat
