#include "platform/core/wait.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <sched.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = plat::WaitClock;
constexpr auto kPollInterval = std::chrono::milliseconds(2);

std::condition_variable &WaitCondition()
{
    static auto *cv = new std::condition_variable;
    return *cv;
}

std::atomic<plat::CancellationCheck> g_cancellationCheck{nullptr};

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

// Queued APCs by thread id; guarded by WaitMutex.
std::map<DWORD, std::deque<std::function<void()>>> &ApcQueues()
{
    static auto *queues = new std::map<DWORD, std::deque<std::function<void()>>>;
    return *queues;
}

// Whether the thread has APCs queued; called with WaitMutex held.
bool HasApcs(DWORD tid)
{
    auto it = ApcQueues().find(tid);
    return it != ApcQueues().end() && !it->second.empty();
}

// Runs the thread's queued APCs, those queued meanwhile too, with `lock` released.
void RunApcs(std::unique_lock<std::mutex> &lock, DWORD tid)
{
    while (HasApcs(tid))
    {
        std::deque<std::function<void()>> &queue = ApcQueues()[tid];
        std::function<void()> apc = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        apc();
        lock.lock();
    }
}

// The length of the next slice of a sliced wait, or 0 once the deadline has passed.
int NextSlice(const plat::Deadline &deadline)
{
    if (!deadline)
        return plat::kWaitSliceMilliseconds;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<decltype(left)>(left, plat::kWaitSliceMilliseconds));
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

// Spinning only pays when the partner can run meanwhile: on one CPU (a process pinned to it, or
// a one-CPU machine) it only delays the thread that would make the change.
bool SpinningHelps()
{
    static const bool helps = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        return ::sched_getaffinity(0, sizeof set, &set) != 0 || CPU_COUNT(&set) > 1;
    }();
    return helps;
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

DWORD WaitForObjects(std::span<Waitable *const> objects, bool waitAll, DWORD milliseconds, bool alertable)
{
    const DWORD tid = CurrentThreadIdForWait();
    const Deadline deadline = DeadlineAfter(milliseconds);
    bool polled = false;
    for (Waitable *object : objects)
        polled = polled || object->NeedsPolling();

    std::unique_lock lock(WaitMutex());
    bool spun = false;
    for (;;)
    {
        if (alertable && HasApcs(tid))
        {
            RunApcs(lock, tid);
            return WAIT_IO_COMPLETION;
        }
        bool abandoned;
        int index = TryAcquire(objects, waitAll, tid, abandoned);
        if (index >= 0)
            return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(index);
        if (deadline && Clock::now() >= *deadline)
            return WAIT_TIMEOUT;
        const uint64_t seen = g_changes.load(std::memory_order_relaxed);
        lock.unlock();
        CancellationPoint();
        const bool changed = !spun && SpinningHelps() && SpinForChange(seen);
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

DWORD SleepMilliseconds(DWORD milliseconds, bool alertable)
{
    const DWORD tid = CurrentThreadIdForWait();
    if (milliseconds == 0 && !alertable)
    {
        CancellationPoint();
        std::this_thread::yield();
        return 0;
    }
    const Deadline deadline = DeadlineAfter(milliseconds);
    std::unique_lock lock(WaitMutex());
    for (;;)
    {
        if (alertable && HasApcs(tid))
        {
            RunApcs(lock, tid);
            return WAIT_IO_COMPLETION;
        }
        if (deadline && Clock::now() >= *deadline)
        {
            lock.unlock();
            CancellationPoint();
            return 0;
        }
        const uint64_t seen = g_changes.load(std::memory_order_relaxed);
        lock.unlock();
        CancellationPoint();
        lock.lock();
        if (g_changes.load(std::memory_order_relaxed) != seen)
            continue; // a termination asked for meanwhile would not wake the sleep
        SleepUntil(lock, deadline ? *deadline : Clock::time_point::max());
    }
}

void QueueApc(DWORD tid, std::function<void()> apc)
{
    {
        std::lock_guard guard(WaitMutex());
        ApcQueues()[tid].push_back(std::move(apc));
    }
    NotifyWaiters();
}

void DropApcs(DWORD tid)
{
    std::deque<std::function<void()>> dropped; // destroyed without the lock
    std::lock_guard guard(WaitMutex());
    auto it = ApcQueues().find(tid);
    if (it == ApcQueues().end())
        return;
    dropped.swap(it->second);
    ApcQueues().erase(it);
}

Deadline DeadlineAfter(DWORD milliseconds)
{
    if (milliseconds == INFINITE)
        return std::nullopt;
    return DeadlineIn(std::chrono::milliseconds(milliseconds));
}

Deadline DeadlineIn(WaitClock::duration duration)
{
    return WaitClock::now() + duration;
}

WaitOutcome WaitInSlices(const Deadline &deadline, const std::function<SliceResult(int milliseconds)> &slice,
                         const std::function<bool()> &stopped)
{
    for (;;)
    {
        CancellationPoint();
        if (stopped && stopped())
            return WaitOutcome::Stopped;
        const int milliseconds = NextSlice(deadline);
        if (milliseconds == 0)
            return WaitOutcome::TimedOut;
        switch (slice(milliseconds))
        {
        case SliceResult::Ready:
            return WaitOutcome::Ready;
        case SliceResult::Failed:
            return WaitOutcome::Failed;
        case SliceResult::NotYet:
            break;
        }
    }
}

WaitOutcome WaitForCondition(const std::function<bool()> &condition, const Deadline &deadline,
                             const std::function<bool()> &stopped)
{
    auto look = [&condition](int milliseconds) {
        if (condition())
            return SliceResult::Ready;
        SleepMilliseconds(static_cast<DWORD>(milliseconds));
        return condition() ? SliceResult::Ready : SliceResult::NotYet;
    };
    return WaitInSlices(deadline, look, stopped);
}

WaitOutcome WaitForDescriptors(std::span<net::PollItem> items, const Deadline &deadline,
                               const std::function<bool()> &stopped)
{
    auto poll = [items](int milliseconds) {
        for (net::PollItem &item : items)
            item.readable = item.writable = item.failed = item.urgent = false;
        if (net::Poll(items, milliseconds) != 0)
            return SliceResult::Failed;
        for (const net::PollItem &item : items)
            if (item.readable || item.writable || item.failed)
                return SliceResult::Ready;
        return SliceResult::NotYet;
    };
    return WaitInSlices(deadline, poll, stopped);
}

WaitOutcome WaitForDescriptor(int fd, bool write, const Deadline &deadline,
                              const std::function<bool()> &stopped)
{
    net::PollItem item;
    item.fd = fd;
    item.wantRead = !write;
    item.wantWrite = write;
    return WaitForDescriptors({&item, 1}, deadline, stopped);
}

std::shared_ptr<Waitable> WaitableFromHandle(HANDLE handle)
{
    return std::dynamic_pointer_cast<Waitable>(LookupHandle(handle));
}
} // namespace plat
