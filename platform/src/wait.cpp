#include "platform/src/wait.h"
#include "platform/src/lasterror.h"

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
        for (plat::Waitable *object : objects)
            if (!object->IsSignaled(tid))
                return -1;
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

namespace plat
{
std::mutex &WaitMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

void NotifyWaiters()
{
    // Taking the lock orders the notification after any waiter's check of the state.
    { std::lock_guard guard(WaitMutex()); }
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
    for (;;)
    {
        bool abandoned;
        int index = TryAcquire(objects, waitAll, tid, abandoned);
        if (index >= 0)
            return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(index);
        if (deadline && Clock::now() >= *deadline)
            return WAIT_TIMEOUT;
        lock.unlock();
        CancellationPoint();
        lock.lock();
        // Re-check after the cancellation point released the lock.
        index = TryAcquire(objects, waitAll, tid, abandoned);
        if (index >= 0)
            return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(index);
        Clock::time_point until = deadline ? *deadline : Clock::time_point::max();
        if (polled)
            until = std::min(until, Clock::now() + kPollInterval);
        if (until == Clock::time_point::max())
            WaitCondition().wait(lock);
        else
            WaitCondition().wait_until(lock, until);
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
        if (deadline)
            WaitCondition().wait_until(lock, *deadline);
        else
            WaitCondition().wait(lock);
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
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll, DWORD dwMilliseconds)
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
