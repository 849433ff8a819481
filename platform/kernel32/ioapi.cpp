// Overlapped input and output: completion status, ReadFileEx/WriteFileEx and their completion
// routines (APCs of the starting thread), GetOverlappedResult and CancelIo.
#include "platform/core/lasterror.h"
#include "platform/core/wait.h"
#include "platform/kernel32/file.h"

namespace
{
constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusEndOfFile = 0xC0000011;
constexpr ULONG_PTR kStatusCancelled = 0xC0000120;
// Other Win32 errors travel as NTSTATUS values of the Win32 facility, as Windows forms them.
constexpr ULONG_PTR kStatusWin32Facility = 0xC0070000;

// Runs a file's own synchronous read or write for an Ex call: its status lands in the caller's
// OVERLAPPED, whose hEvent belongs to the caller and is not signalled.
template <class Transfer>
BOOL CompleteNowEx(LPOVERLAPPED overlapped, LPOVERLAPPED_COMPLETION_ROUTINE routine, Transfer transfer)
{
    OVERLAPPED copy = *overlapped;
    copy.hEvent = nullptr;
    DWORD done = 0;
    const BOOL ok = transfer(&copy, &done);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    overlapped->Internal = ok ? kStatusSuccess : plat::StatusFromError(error);
    overlapped->InternalHigh = done;
    if (!ok && error != ERROR_HANDLE_EOF)
        return FALSE;
    plat::QueueCompletion(routine, error, done, overlapped);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// The checks ReadFileEx and WriteFileEx share; the file, or nullptr with the last error set.
std::shared_ptr<plat::FileObject> ExTarget(HANDLE handle, LPCVOID buffer, LPOVERLAPPED overlapped,
                                           LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(handle);
    if (!file)
        return nullptr;
    if (!overlapped || !routine || !buffer || !file->Overlapped())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return file;
}
} // namespace

namespace plat
{
ULONG_PTR StatusFromError(DWORD error)
{
    switch (error)
    {
    case ERROR_SUCCESS:
        return kStatusSuccess;
    case ERROR_HANDLE_EOF:
        return kStatusEndOfFile;
    case ERROR_OPERATION_ABORTED:
        return kStatusCancelled;
    default:
        return kStatusWin32Facility | (error & 0xFFFF);
    }
}

DWORD ErrorFromStatus(ULONG_PTR status)
{
    switch (status)
    {
    case kStatusSuccess:
        return ERROR_SUCCESS;
    case kStatusEndOfFile:
        return ERROR_HANDLE_EOF;
    case kStatusCancelled:
        return ERROR_OPERATION_ABORTED;
    default:
        return (status & 0xFFFF0000) == kStatusWin32Facility ? static_cast<DWORD>(status & 0xFFFF)
                                                             : ERROR_GEN_FAILURE;
    }
}

void QueueCompletion(DWORD tid, LPOVERLAPPED_COMPLETION_ROUTINE routine, DWORD error, DWORD done,
                     LPOVERLAPPED overlapped)
{
    QueueApc(tid, [=] { routine(error, done, overlapped); });
}

void QueueCompletion(LPOVERLAPPED_COMPLETION_ROUTINE routine, DWORD error, DWORD done,
                     LPOVERLAPPED overlapped)
{
    QueueCompletion(CurrentThreadIdForWait(), routine, error, done, overlapped);
}

BOOL FileObject::ReadEx(LPVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                        LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    return CompleteNowEx(overlapped, routine,
                         [&](LPOVERLAPPED own, LPDWORD done) { return Read(buffer, count, done, own); });
}

BOOL FileObject::WriteEx(LPCVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                         LPOVERLAPPED_COMPLETION_ROUTINE routine)
{
    return CompleteNowEx(overlapped, routine,
                         [&](LPOVERLAPPED own, LPDWORD done) { return Write(buffer, count, done, own); });
}
} // namespace plat

// ReadFileEx: an overlapped read whose completion routine runs as an APC of the calling thread,
// in one of its alertable waits (SleepEx, WaitFor...Ex). hEvent is the caller's to use. The handle
// must have been opened with FILE_FLAG_OVERLAPPED. Files complete at once; COM ports in the
// background.
BOOL WINAPI ReadFileEx(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPOVERLAPPED lpOverlapped,
                       LPOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine)
{
    std::shared_ptr<plat::FileObject> file = ExTarget(hFile, lpBuffer, lpOverlapped, lpCompletionRoutine);
    if (!file)
        return FALSE;
    return file->ReadEx(lpBuffer, nNumberOfBytesToRead, lpOverlapped, lpCompletionRoutine);
}

// WriteFileEx: the same for writing.
BOOL WINAPI WriteFileEx(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                        LPOVERLAPPED lpOverlapped, LPOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine)
{
    std::shared_ptr<plat::FileObject> file = ExTarget(hFile, lpBuffer, lpOverlapped, lpCompletionRoutine);
    if (!file)
        return FALSE;
    return file->WriteEx(lpBuffer, nNumberOfBytesToWrite, lpOverlapped, lpCompletionRoutine);
}

// GetOverlappedResult: the outcome of an overlapped operation on the handle: its byte count, and
// TRUE or FALSE with its error. Still running: ERROR_IO_INCOMPLETE, or with bWait the call waits
// for it (not alertably). Differs: the wait watches the operation itself, not hEvent.
BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return FALSE;
    if (!lpOverlapped || !lpNumberOfBytesTransferred)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (file->IsPending(lpOverlapped))
    {
        if (!bWait)
            return plat::Fail(ERROR_IO_INCOMPLETE);
        plat::WaitForCondition([&] { return !file->IsPending(lpOverlapped); }, std::nullopt);
    }
    *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    const DWORD error = plat::ErrorFromStatus(lpOverlapped->Internal);
    if (error != ERROR_SUCCESS)
        return plat::Fail(error);
    return TRUE;
}

// CancelIo: cancels the calling thread's pending overlapped operations on the handle; they end
// with ERROR_OPERATION_ABORTED. Only COM ports have operations left running; other handles
// are only checked.
BOOL WINAPI CancelIo(HANDLE hFile)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(hFile);
    if (!object)
        return plat::Fail(ERROR_INVALID_HANDLE);
    if (object->Kind() == plat::ObjectKind::File)
        std::static_pointer_cast<plat::FileObject>(object)->CancelThreadIo(plat::CurrentThreadIdForWait());
    return TRUE;
}
