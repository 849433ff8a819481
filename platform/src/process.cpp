// Processes of the simulated PC.
#include "platform/src/handles.h"
#include "platform/src/lasterror.h"

#include <unistd.h>

// GetCurrentProcess: the pseudo handle (HANDLE)-1 of the calling process.
HANDLE WINAPI GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

// GetCurrentProcessId: the host process id.
DWORD WINAPI GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}
