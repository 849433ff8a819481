// Threads: CreateThread on pthreads, exit codes, waiting, and TerminateThread as deferred
// cancellation. A thread asked to terminate ends at its next platform wait point (message
// waits, Sleep, WaitFor..., socket and serial waits): the platform never holds one of its own
// locks there, so nothing of the platform is left half-done. Differs from Windows: a thread
// that never reaches a wait point is not stopped, and its stack is unwound (destructors run).
#include "platform/kernel32/thread.h"
#include "platform/core/lasterror.h"

#include <atomic>
#include <pthread.h>
#include <utility>
#include <vector>

namespace
{
class ThreadObject : public plat::Waitable
{
  public:
    ThreadObject() : Waitable(plat::ObjectKind::Thread) {}

    bool IsSignaled(DWORD) const override { return ended_; }

    // All fields below are guarded by WaitMutex.
    DWORD tid = 0;
    bool started = false; // the thread published its id
    DWORD suspendCount = 0;
    bool ended_ = false;
    DWORD exitCode = STILL_ACTIVE;
    bool terminateRequested = false;
    DWORD terminateCode = 0;
    int priority = THREAD_PRIORITY_NORMAL;
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
};

// What a thread of ours knows about itself; set in the thread's first moments.
thread_local std::shared_ptr<ThreadObject> t_self;
// The library FreeLibraryAndExitThread releases once nothing of the thread runs in it any more.
thread_local HMODULE t_freeAtEnd = nullptr;

std::vector<void (*)(DWORD)> &ExitHooks()
{
    static auto *hooks = new std::vector<void (*)(DWORD)>;
    return *hooks;
}

// Runs at the end of every thread that used the platform (thread_local destructors run on a
// normal return, on pthread_exit and on cancellation alike).
struct ThreadEnd
{
    bool armed = false;
    ~ThreadEnd()
    {
        const DWORD tid = plat::CurrentThreadIdForWait();
        std::vector<void (*)(DWORD)> hooks;
        {
            std::lock_guard guard(plat::WaitMutex());
            hooks = ExitHooks();
        }
        for (auto hook : hooks)
            hook(tid);
        if (HMODULE module = std::exchange(t_freeAtEnd, nullptr))
            FreeLibrary(module);
        if (t_self)
        {
            {
                std::lock_guard guard(plat::WaitMutex());
                if (t_self->exitCode == STILL_ACTIVE && t_self->terminateRequested)
                    t_self->exitCode = t_self->terminateCode;
                t_self->ended_ = true;
            }
            plat::NotifyWaiters();
            t_self.reset();
        }
    }
};
thread_local ThreadEnd t_end;

// Touching the thread-locals registers their destructors; t_self first, so it is destroyed
// after t_end, which still needs it.
void ArmThreadEnd()
{
    (void)t_self;
    t_end.armed = true;
}

// Set while the thread's frames are being unwound on its way out: the destructors that run then
// may wait like any code, and a termination already under way does not start again there.
thread_local bool t_ending = false;

[[noreturn]] void EndThisThread(DWORD code)
{
    if (t_self)
    {
        std::lock_guard guard(plat::WaitMutex());
        t_self->exitCode = code;
    }
    ArmThreadEnd();
    t_ending = true;
    pthread_exit(nullptr);
}

// The cancellation check run at every platform wait point.
void CheckTermination()
{
    if (!t_self || t_ending)
        return;
    DWORD code;
    {
        std::lock_guard guard(plat::WaitMutex());
        if (!t_self->terminateRequested)
            return;
        code = t_self->terminateCode;
    }
    EndThisThread(code);
}

const bool g_checkInstalled = (plat::SetCancellationCheck(&CheckTermination), true);

// A waitable "the thread may run" gate for suspended threads.
class StartGate : public plat::Waitable
{
  public:
    explicit StartGate(ThreadObject &thread) : Waitable(plat::ObjectKind::ThreadGate), thread_(thread) {}
    bool IsSignaled(DWORD) const override { return thread_.suspendCount == 0; }

  private:
    ThreadObject &thread_;
};

void *ThreadMain(void *argument)
{
    auto *holder = static_cast<std::shared_ptr<ThreadObject> *>(argument);
    t_self = std::move(*holder);
    delete holder;
    ArmThreadEnd();
    {
        std::lock_guard guard(plat::WaitMutex());
        t_self->tid = plat::CurrentThreadIdForWait();
        t_self->started = true;
    }
    plat::NotifyWaiters();
    StartGate gate(*t_self);
    plat::Waitable *objects[] = {&gate};
    plat::WaitForObjects(objects, false, INFINITE); // a wait point: a suspended thread can be terminated
    DWORD code = t_self->start(t_self->parameter);
    {
        std::lock_guard guard(plat::WaitMutex());
        t_self->exitCode = code;
    }
    return nullptr;
}

class StartedCheck : public plat::Waitable
{
  public:
    explicit StartedCheck(ThreadObject &thread) : Waitable(plat::ObjectKind::ThreadGate), thread_(thread) {}
    bool IsSignaled(DWORD) const override { return thread_.started; }

  private:
    ThreadObject &thread_;
};

std::shared_ptr<ThreadObject> ThreadOf(HANDLE handle)
{
    return plat::GetHandleObject<ThreadObject>(handle, plat::ObjectKind::Thread);
}

bool IsCurrentThreadPseudoHandle(HANDLE handle)
{
    return handle == GetCurrentThread();
}
} // namespace

namespace plat
{
void AtThreadExit(void (*atExit)(DWORD tid))
{
    std::lock_guard guard(WaitMutex());
    for (auto hook : ExitHooks())
        if (hook == atExit)
            return;
    ExitHooks().push_back(atExit);
}

void WatchThreadEnd()
{
    ArmThreadEnd();
}
} // namespace plat

// CreateThread: a new thread running lpStartAddress(lpParameter); CREATE_SUSPENDED holds it
// until ResumeThread. The stack size is a minimum, as on Windows.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId)
{
    if (!lpStartAddress)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwCreationFlags &
        ~static_cast<DWORD>(CREATE_SUSPENDED | 0x00010000 /* STACK_SIZE_PARAM_IS_A_RESERVATION */))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->start = lpStartAddress;
    thread->parameter = lpParameter;
    thread->suspendCount = (dwCreationFlags & CREATE_SUSPENDED) ? 1 : 0;
    HANDLE handle = plat::InsertHandle(thread);
    if (!handle)
        return nullptr;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (dwStackSize > 0)
        pthread_attr_setstacksize(&attributes, std::max<size_t>(dwStackSize, 256 * 1024));
    pthread_t id;
    auto *holder = new std::shared_ptr<ThreadObject>(thread);
    int rc = pthread_create(&id, &attributes, ThreadMain, holder);
    pthread_attr_destroy(&attributes);
    if (rc != 0)
    {
        delete holder;
        plat::RemoveHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    StartedCheck started(*thread);
    plat::Waitable *objects[] = {&started};
    plat::WaitForObjects(objects, false, INFINITE);
    if (lpThreadId)
    {
        std::lock_guard guard(plat::WaitMutex());
        *lpThreadId = thread->tid;
    }
    return handle;
}

// ResumeThread: lowers the suspend count; the thread runs when it reaches zero. Returns the
// previous count. Differs: only threads created suspended can be suspended.
DWORD WINAPI ResumeThread(HANDLE hThread)
{
    std::shared_ptr<ThreadObject> thread = ThreadOf(hThread);
    if (!thread)
        return static_cast<DWORD>(-1);
    DWORD previous;
    {
        std::lock_guard guard(plat::WaitMutex());
        previous = thread->suspendCount;
        if (thread->suspendCount > 0)
            --thread->suspendCount;
    }
    plat::NotifyWaiters();
    return previous;
}

// ExitThread: ends the calling thread with the exit code.
void WINAPI ExitThread(DWORD dwExitCode)
{
    EndThisThread(dwExitCode);
}

// FreeLibraryAndExitThread: ends the calling thread and releases the library, which may be the
// one the caller runs in. The thread's frames are unwound first (C++ destructors run, as on
// ExitThread); the library is released after the last of them.
void WINAPI FreeLibraryAndExitThread(HMODULE hLibModule, DWORD dwExitCode)
{
    ArmThreadEnd();
    t_freeAtEnd = hLibModule;
    EndThisThread(dwExitCode);
}

// TerminateThread: asks the thread to end with the exit code at its next platform wait point
// and returns at once (Windows' TerminateThread is asynchronous too: wait on the handle).
BOOL WINAPI TerminateThread(HANDLE hThread, DWORD dwExitCode)
{
    if (IsCurrentThreadPseudoHandle(hThread))
        EndThisThread(dwExitCode);
    std::shared_ptr<ThreadObject> thread = ThreadOf(hThread);
    if (!thread)
        return FALSE;
    bool self = false;
    {
        std::lock_guard guard(plat::WaitMutex());
        if (thread->ended_)
            return TRUE;
        self = thread == t_self;
        if (!thread->terminateRequested)
        {
            thread->terminateRequested = true;
            thread->terminateCode = dwExitCode;
        }
        thread->suspendCount = 0;
    }
    if (self)
        EndThisThread(dwExitCode);
    plat::NotifyWaiters();
    return TRUE;
}

// GetExitCodeThread: STILL_ACTIVE (259) while the thread runs, then its exit code.
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    std::shared_ptr<ThreadObject> thread = ThreadOf(hThread);
    if (!thread)
        return FALSE;
    if (!lpExitCode)
        return plat::Fail(ERROR_NOACCESS);
    std::lock_guard guard(plat::WaitMutex());
    *lpExitCode = thread->ended_ ? thread->exitCode : STILL_ACTIVE;
    return TRUE;
}

// GetCurrentThreadId: the system-wide id of the calling thread (the host's thread id).
DWORD WINAPI GetCurrentThreadId()
{
    return plat::CurrentThreadIdForWait();
}

// GetCurrentThread: the pseudo handle (HANDLE)-2.
HANDLE WINAPI GetCurrentThread()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
}

// GetThreadId: the id of a thread handle.
DWORD WINAPI GetThreadId(HANDLE Thread)
{
    if (IsCurrentThreadPseudoHandle(Thread))
        return GetCurrentThreadId();
    std::shared_ptr<ThreadObject> thread = ThreadOf(Thread);
    if (!thread)
        return 0;
    std::lock_guard guard(plat::WaitMutex());
    return thread->tid;
}

// SetThreadPriority: kept and reported; scheduling is left to the host.
BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority)
{
    if (nPriority < THREAD_PRIORITY_LOWEST - 13 || nPriority > THREAD_PRIORITY_HIGHEST + 13)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (IsCurrentThreadPseudoHandle(hThread))
        return TRUE;
    std::shared_ptr<ThreadObject> thread = ThreadOf(hThread);
    if (!thread)
        return FALSE;
    std::lock_guard guard(plat::WaitMutex());
    thread->priority = nPriority;
    return TRUE;
}

// GetThreadPriority: the priority last set.
int WINAPI GetThreadPriority(HANDLE hThread)
{
    if (IsCurrentThreadPseudoHandle(hThread))
        return THREAD_PRIORITY_NORMAL;
    std::shared_ptr<ThreadObject> thread = ThreadOf(hThread);
    if (!thread)
        return 0x7fffffff; // THREAD_PRIORITY_ERROR_RETURN
    std::lock_guard guard(plat::WaitMutex());
    return thread->priority;
}
