#include "platform/core/wait.h"
#include "platform/core/lasterror.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(2);

std::condition_variable &WaitCondition()
{
    static auto *cv = new std::condition_variable;
    return *cv;
}

std::atomic<plat::CancellationCheck> g_cancellationCheck{nullptr};

std::optional<Clock::time_point> Deadline(DWORD milliseconds)
{
    if (milliseconds == INFINITE)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

// Returns the index of the satisfied object (all: 0) and whether it was abandoned, or -1.
int TryAcquire(std::span<plat::Waitable *const> objects, bool waitAll, DWORD tid, bool &abandoned)
{
    abandoned = false;
    if (waitAll)
    {
        for (size_t i = 0; i < objects.size(); ++i)
        {
            if (!objects[i]->IsSignaled(tid))
            {
                for (size_t k = 0; k < i; ++k)
                    objects[k]->Unclaim(tid);
                return -1;
            }
        }
        for (plat::Waitable *object : objects)
            abandoned = object->Acquire(tid) || abandoned;
        return 0;
    }
    for (size_t i = 0; i < objects.size(); ++i)
    {
        if (objects[i]->IsSignaled(tid))
        {
            abandoned = objects[i]->Acquire(tid);
            return static_cast<int>(i);
        }
    }
    return -1;
}
} // namespace

namespace
{
// Every change of state bumps the counter; a waiter about to sleep first spins briefly on it
// (two threads handing work to each other then never go through the scheduler), and a
// change wakes sleepers only when there are some.
std::atomic<uint64_t> g_changes{0};
size_t g_sleepers = 0; // guarded by WaitMutex
constexpr auto kSpin = std::chrono::microseconds(20);

void Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until the counter moves on from `seen` or the spin time is over; true if it moved.
bool SpinForChange(uint64_t seen)
{
    const Clock::time_point until = Clock::now() + kSpin;
    for (unsigned i = 1;; ++i)
    {
        if (g_changes.load(std::memory_order_acquire) != seen)
            return true;
        Relax();
        if ((i & 63) == 0 && Clock::now() >= until)
            return false;
    }
}

// Sleeps on the wait condition until notified or `until`; called with the lock held.
void SleepUntil(std::unique_lock<std::mutex> &lock, Clock::time_point until)
{
    ++g_sleepers;
    if (until == Clock::time_point::max())
        WaitCondition().wait(lock);
    else
        WaitCondition().wait_until(lock, until);
    --g_sleepers;
}
} // namespace

namespace plat
{
std::mutex &WaitMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

void NotifyWaiters()
{
    bool sleepers;
    {
        // Taking the lock orders the notification after any waiter's check of the state.
        std::lock_guard guard(WaitMutex());
        g_changes.fetch_add(1, std::memory_order_release);
        sleepers = g_sleepers > 0;
    }
    if (sleepers)
        WaitCondition().notify_all();
}

void SetCancellationCheck(CancellationCheck check)
{
    g_cancellationCheck.store(check);
}

void CancellationPoint()
{
    if (CancellationCheck check = g_cancellationCheck.load())
        check();
}

DWORD CurrentThreadIdForWait()
{
    thread_local DWORD tid = static_cast<DWORD>(::syscall(SYS_gettid));
    return tid;
}

DWORD WaitForObjects(std::span<Waitable *const> objects, bool waitAll, DWORD milliseconds)
{
    const DWORD tid = CurrentThreadIdForWait();
    const std::optional<Clock::time_point> deadline = Deadline(milliseconds);
    bool polled = false;
    for (Waitable *object : objects)
        polled = polled || object->NeedsPolling();

    std::unique_lock lock(WaitMutex());
    bool spun = false;
    for (;;)
    {
        bool abandoned;
        int index = TryAcquire(objects, waitAll, tid, abandoned);
        if (index >= 0)
            return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(index);
        if (deadline && Clock::now() >= *deadline)
            return WAIT_TIMEOUT;
        const uint64_t seen = g_changes.load(std::memory_order_relaxed);
        lock.unlock();
        CancellationPoint();
        const bool changed = !spun && SpinForChange(seen);
        spun = true;
        lock.lock();
        if (changed || g_changes.load(std::memory_order_relaxed) != seen)
            continue; // look again before sleeping
        Clock::time_point until = deadline ? *deadline : Clock::time_point::max();
        if (polled)
            until = std::min(until, Clock::now() + kPollInterval);
        SleepUntil(lock, until);
        spun = false;
    }
}

void SleepMilliseconds(DWORD milliseconds)
{
    if (milliseconds == 0)
    {
        CancellationPoint();
        std::this_thread::yield();
        return;
    }
    const std::optional<Clock::time_point> deadline = Deadline(milliseconds);
    std::unique_lock lock(WaitMutex());
    for (;;)
    {
        if (deadline && Clock::now() >= *deadline)
            return;
        lock.unlock();
        CancellationPoint();
        lock.lock();
        SleepUntil(lock, deadline ? *deadline : Clock::time_point::max());
    }
}
} // namespace plat

namespace
{
// A waitable object behind a handle, or nullptr (pseudo handles of the current process and
// thread never become signaled while the caller runs, so they are not waitable here).
std::shared_ptr<plat::Waitable> WaitableFromHandle(HANDLE handle)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(handle);
    return std::dynamic_pointer_cast<plat::Waitable>(object);
}
} // namespace

// WaitForSingleObject: process, thread, event and mutex handles, with a time-out.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

// WaitForMultipleObjects: any or all of up to MAXIMUM_WAIT_OBJECTS handles.
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<plat::Waitable>> holders;
    std::vector<plat::Waitable *> objects;
    for (DWORD i = 0; i < nCount; ++i)
    {
        std::shared_ptr<plat::Waitable> object = WaitableFromHandle(lpHandles[i]);
        if (!object)
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(object.get());
        holders.push_back(std::move(object));
    }
    return plat::WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds);
}

// Sleep: a platform wait point; Sleep(0) yields.
void WINAPI Sleep(DWORD dwMilliseconds)
{
    plat::SleepMilliseconds(dwMilliseconds);
}
