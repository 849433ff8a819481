// kernel32's waits, over the platform's one wait loop (core/wait), and the APC queue their
// alertable forms run.
#include "platform/core/wait.h"
#include "platform/kernel32/thread.h"

#include <vector>

namespace
{
// A thread's APCs die with it, as on Windows (and a later thread with its id never sees them).
const bool g_dropApcsAtExit = (plat::AtThreadExit(&plat::DropApcs), true);
} // namespace

// WaitForSingleObject: process, thread, event and mutex handles, with a time-out.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjectsEx(1, &hHandle, FALSE, dwMilliseconds, FALSE);
}

// WaitForSingleObjectEx: the same; alertable, it runs the thread's queued APCs first and
// returns WAIT_IO_COMPLETION.
DWORD WINAPI WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable)
{
    return WaitForMultipleObjectsEx(1, &hHandle, FALSE, dwMilliseconds, bAlertable);
}

// WaitForMultipleObjects: any or all of up to MAXIMUM_WAIT_OBJECTS handles.
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds)
{
    return WaitForMultipleObjectsEx(nCount, lpHandles, bWaitAll, dwMilliseconds, FALSE);
}

// WaitForMultipleObjectsEx: the same; alertable, it runs the thread's queued APCs first and
// returns WAIT_IO_COMPLETION.
DWORD WINAPI WaitForMultipleObjectsEx(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                                      DWORD dwMilliseconds, BOOL bAlertable)
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
        std::shared_ptr<plat::Waitable> object = plat::WaitableFromHandle(lpHandles[i]);
        if (!object)
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(object.get());
        holders.push_back(std::move(object));
    }
    return plat::WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds, bAlertable != FALSE);
}

// Sleep: a platform wait point; Sleep(0) yields.
void WINAPI Sleep(DWORD dwMilliseconds)
{
    plat::SleepMilliseconds(dwMilliseconds);
}

// SleepEx: Sleep; alertable, it ends early to run the thread's queued APCs and returns
// WAIT_IO_COMPLETION, else 0.
DWORD WINAPI SleepEx(DWORD dwMilliseconds, BOOL bAlertable)
{
    return plat::SleepMilliseconds(dwMilliseconds, bAlertable != FALSE);
}

// QueueUserAPC: queues pfnAPC(dwData) for the thread; it runs in the thread's next alertable
// wait. The same queue as the completion routines of ReadFileEx and WriteFileEx.
DWORD WINAPI QueueUserAPC(PAPCFUNC pfnAPC, HANDLE hThread, ULONG_PTR dwData)
{
    if (!pfnAPC)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD tid = GetThreadId(hThread);
    if (tid == 0)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    plat::QueueApc(tid, [pfnAPC, dwData] { pfnAPC(dwData); });
    return 1;
}
