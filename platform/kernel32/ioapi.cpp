// Cancelling input and output.
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"

// CancelIo: cancels the calling thread's pending input and output on a handle. Every
// operation on files completes before its call returns here, so there is nothing pending to
// cancel; the handle is still checked.
BOOL WINAPI CancelIo(HANDLE hFile)
{
    if (!plat::LookupHandle(hFile))
        return plat::Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}
