// Handle functions of kernel32 over the platform's handle table (core/handles).
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"

// CloseHandle: closes a kernel object handle; the object goes when its last reference does.
// Find handles (FindClose) and registry keys (RegCloseKey) are refused as on Windows; so are
// sockets (closesocket).
BOOL WINAPI CloseHandle(HANDLE hObject)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(hObject);
    if (!object || !object->ClosableByCloseHandle())
        return plat::Fail(ERROR_INVALID_HANDLE);
    if (!plat::RemoveHandle(hObject))
        return plat::Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

// DuplicateHandle: within the calling process only; the new handle shares the object.
BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                            LPHANDLE lpTargetHandle, DWORD, BOOL, DWORD dwOptions)
{
    if (hSourceProcessHandle != GetCurrentProcess() || hTargetProcessHandle != GetCurrentProcess())
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(hSourceHandle);
    if (!object || !object->ClosableByCloseHandle())
        return plat::Fail(ERROR_INVALID_HANDLE);
    HANDLE copy = plat::InsertHandle(object);
    if (!copy)
        return FALSE;
    if (lpTargetHandle)
        *lpTargetHandle = copy;
    else
        plat::RemoveHandle(copy);
    if (dwOptions & DUPLICATE_CLOSE_SOURCE)
        plat::RemoveHandle(hSourceHandle);
    return TRUE;
}
