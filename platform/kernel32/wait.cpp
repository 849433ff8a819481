// kernel32's waits, over the platform's one wait loop (core/wait).
#include "platform/core/wait.h"

#include <vector>

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
        std::shared_ptr<plat::Waitable> object = plat::WaitableFromHandle(lpHandles[i]);
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
