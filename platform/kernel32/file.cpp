// Files and devices of the simulated PC: CreateFileA, reading, writing, seeking and deleting.
// The sharing modes every open of the machine obeys, and pending deletes, are share.cpp's.
#include "platform/kernel32/file.h"
#include "platform/kernel32/share.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"
#include "platform/core/text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{
constexpr DWORD kFileExecute = 0x0020;
constexpr DWORD kFileGenericRead =
    STANDARD_RIGHTS_READ | FILE_READ_DATA | FILE_READ_ATTRIBUTES | 0x0008 | SYNCHRONIZE;
constexpr DWORD kFileGenericWrite =
    STANDARD_RIGHTS_WRITE | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | 0x0010 | FILE_APPEND_DATA | SYNCHRONIZE;
constexpr DWORD kFileGenericExecute =
    STANDARD_RIGHTS_EXECUTE | FILE_READ_ATTRIBUTES | kFileExecute | SYNCHRONIZE;
constexpr DWORD kAccessSystemSecurity = 0x01000000;

constexpr DWORD kSupportedFlags = FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING |
                                  FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_SEQUENTIAL_SCAN |
                                  FILE_FLAG_DELETE_ON_CLOSE;
constexpr DWORD kSupportedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                       FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY;

constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusEndOfFile = 0xC0000011;

std::atomic<plat::ComPortFactory> g_comPortFactory{nullptr};

// The rights an access mask uses, in sharing terms.
unsigned RightsOf(DWORD access)
{
    unsigned rights = 0;
    if (access & (FILE_READ_DATA | kFileExecute))
        rights |= plat::kRightRead;
    if (access & (FILE_WRITE_DATA | FILE_APPEND_DATA))
        rights |= plat::kRightWrite;
    if (access & DELETE)
        rights |= plat::kRightDelete;
    return rights;
}

DWORD MapGenericAccess(DWORD access)
{
    DWORD specific = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (access & GENERIC_READ)
        specific |= kFileGenericRead;
    if (access & GENERIC_WRITE)
        specific |= kFileGenericWrite;
    if (access & GENERIC_EXECUTE)
        specific |= kFileGenericExecute;
    if (access & GENERIC_ALL)
        specific |= FILE_ALL_ACCESS;
    return specific;
}

HANDLE FailHandle(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

HANDLE FailHandleFromErrno()
{
    return FailHandle(plat::Win32FromErrno(errno));
}

HANDLE InsertFile(std::shared_ptr<plat::FileObject> file, DWORD lastError)
{
    HANDLE handle = plat::InsertHandle(std::move(file));
    if (!handle)
        return INVALID_HANDLE_VALUE;
    SetLastError(lastError);
    return handle;
}

// DOS device names that mean a device wherever they are written: "COM1", "lpt2:", "NUL".
bool IsDosDeviceName(std::string_view name, std::string &device)
{
    if (name.ends_with(':'))
        name.remove_suffix(1);
    std::string upper = plat::Upper1252(name);
    const bool numbered = upper.size() == 4 && upper[3] >= '1' && upper[3] <= '9' &&
                          (upper.starts_with("COM") || upper.starts_with("LPT"));
    if (!numbered && upper != "NUL")
        return false;
    device = upper;
    return true;
}

struct OpenRequest
{
    DWORD access = 0; // specific rights
    unsigned rights = 0;
    unsigned share = 0;
    DWORD disposition = 0;
    DWORD flags = 0;
    DWORD attributes = 0;

    bool WantsWrite() const { return (access & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0; }
    bool DeleteOnClose() const { return (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0; }
    int OpenFlags(bool readWrite) const
    {
        int flags = (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY;
        // A handle that may only append writes at the end of the file, whatever its pointer.
        if ((access & FILE_APPEND_DATA) && !(access & FILE_WRITE_DATA))
            flags |= O_APPEND;
        if (this->flags & FILE_FLAG_WRITE_THROUGH)
            flags |= O_DSYNC;
        return flags;
    }
};

// "\\.\NAME": a plain file in devices/ is a device that is there; a link to a tty is a COM port,
// which one handle at a time may hold, as on Windows.
HANDLE OpenDevice(const std::string &name, const OpenRequest &request)
{
    const bool nul = plat::EqualNoCase(name, "NUL"); // the bit bucket every PC has
    const std::string host = nul ? "/dev/null" : plat::HostPath("\\\\.\\" + name);
    struct stat st = {};
    if (::stat(host.c_str(), &st) != 0)
        return FailHandle(ERROR_FILE_NOT_FOUND);
    plat::FileObject::Init init;
    init.hostPath = host;
    init.access = request.access;
    init.flags = request.flags & ~FILE_FLAG_DELETE_ON_CLOSE;
    if (S_ISCHR(st.st_mode) && !nul)
    {
        // Opened without blocking on the line's carrier, then made blocking as a COM port is.
        init.fd = plat::UniqueFd(::open(host.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!init.fd)
            return FailHandleFromErrno();
        int fl = ::fcntl(init.fd.Get(), F_GETFL);
        ::fcntl(init.fd.Get(), F_SETFL, fl & ~O_NONBLOCK);
        struct flock exclusive = {};
        exclusive.l_type = F_WRLCK;
        exclusive.l_whence = SEEK_SET;
        exclusive.l_len = 1;
        if (::fcntl(init.fd.Get(), F_OFD_SETLK, &exclusive) != 0)
            return FailHandle(ERROR_ACCESS_DENIED);
        init.type = plat::FileType::ComPort;
        if (plat::ComPortFactory factory = g_comPortFactory.load())
        {
            std::shared_ptr<plat::FileObject> port = factory(std::move(init));
            if (!port)
                return INVALID_HANDLE_VALUE;
            return InsertFile(std::move(port), ERROR_SUCCESS);
        }
        return InsertFile(std::make_shared<plat::FileObject>(std::move(init)), ERROR_SUCCESS);
    }
    if (!S_ISREG(st.st_mode) && !nul)
        return FailHandle(ERROR_FILE_NOT_FOUND);
    init.fd = plat::UniqueFd(::open(host.c_str(), request.OpenFlags(request.WantsWrite())));
    if (!init.fd)
        return FailHandleFromErrno();
    init.type = plat::FileType::Device;
    return InsertFile(std::make_shared<plat::FileObject>(std::move(init)), ERROR_SUCCESS);
}

// Completes an open of a disk file once its descriptor is checked and locked.
HANDLE FinishDiskOpen(plat::UniqueFd fd, const std::string &host, const OpenRequest &request, DWORD lastError)
{
    plat::FileObject::Init init;
    init.fd = std::move(fd);
    init.type = plat::FileType::Disk;
    init.hostPath = host;
    init.access = request.access;
    init.flags = request.flags;
    return InsertFile(std::make_shared<plat::FileObject>(std::move(init)), lastError);
}

HANDLE OpenExisting(const std::string &host, const struct stat &st, const OpenRequest &request, bool &retry)
{
    retry = false;
    if (S_ISDIR(st.st_mode))
        return FailHandle(ERROR_ACCESS_DENIED);
    if (request.disposition == CREATE_NEW)
        return FailHandle(ERROR_FILE_EXISTS);
    const bool overwrite = request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING;
    if (plat::IsReadOnlyMode(st) && (request.WantsWrite() || overwrite || request.DeleteOnClose()))
        return FailHandle(ERROR_ACCESS_DENIED);
    if (request.disposition == CREATE_ALWAYS)
    {
        // Overwriting a hidden or system file needs the same attributes, as on Windows.
        const DWORD kept = plat::AttributesOf(host, st) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (kept & ~request.attributes)
            return FailHandle(ERROR_ACCESS_DENIED);
    }
    plat::UniqueFd fd(::open(host.c_str(), request.OpenFlags(request.WantsWrite() || overwrite)));
    if (!fd)
    {
        retry = errno == ENOENT;
        return FailHandleFromErrno();
    }
    const DWORD verdict = plat::CheckOpen(fd.Get(), host, request.rights, request.share);
    if (verdict == ERROR_FILE_NOT_FOUND)
    {
        retry = true; // a dead deleter's file, removed now
        return INVALID_HANDLE_VALUE;
    }
    if (verdict != ERROR_SUCCESS)
        return FailHandle(verdict);
    if (request.DeleteOnClose())
        if (DWORD image = plat::CheckImageDelete(fd.Get()))
            return FailHandle(image); // a loaded library or a running program
    if (!plat::TakeShareLocks(fd.Get(), request.rights, request.share, request.DeleteOnClose()))
        return FailHandleFromErrno();
    if (overwrite && ::ftruncate(fd.Get(), 0) != 0)
        return FailHandleFromErrno();
    if (request.disposition == CREATE_ALWAYS)
    {
        plat::KeepAttributes(host, fd.Get(), false, request.attributes | FILE_ATTRIBUTE_ARCHIVE);
        plat::SetReadOnlyMode(host, fd.Get(), (request.attributes & FILE_ATTRIBUTE_READONLY) != 0);
    }
    if (request.DeleteOnClose())
        plat::SetDeleteMark(fd.Get(), true);
    const bool existed = request.disposition == CREATE_ALWAYS || request.disposition == OPEN_ALWAYS;
    return FinishDiskOpen(std::move(fd), host, request, existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
}

HANDLE CreateMissing(const std::string &host, const OpenRequest &request, bool &retry)
{
    retry = false;
    if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING)
        return FailHandle(plat::MissingPathError(host));
    const mode_t mode = (request.attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    plat::UniqueFd fd(::open(host.c_str(), request.OpenFlags(true) | O_CREAT | O_EXCL, mode));
    if (!fd)
    {
        if (errno == EEXIST)
        {
            retry = true;
            return INVALID_HANDLE_VALUE;
        }
        if (errno == ENOENT || errno == ENOTDIR)
            return FailHandle(ERROR_PATH_NOT_FOUND);
        return FailHandleFromErrno();
    }
    if (!plat::TakeShareLocks(fd.Get(), request.rights, request.share, request.DeleteOnClose()))
    {
        ::unlink(host.c_str());
        return FailHandleFromErrno();
    }
    plat::KeepAttributes(host, fd.Get(), false, request.attributes | FILE_ATTRIBUTE_ARCHIVE);
    if (request.DeleteOnClose())
        plat::SetDeleteMark(fd.Get(), true);
    return FinishDiskOpen(std::move(fd), host, request, ERROR_SUCCESS);
}

HANDLE OpenDiskFile(const std::string &host, const OpenRequest &request)
{
    plat::ShareGuard guard;
    // A few rounds: the file may appear or go between looking and opening.
    for (int round = 0; round < 4; ++round)
    {
        struct stat st = {};
        bool retry = false;
        HANDLE handle;
        if (::stat(host.c_str(), &st) == 0)
            handle = OpenExisting(host, st, request, retry);
        else if (errno == ENOENT)
            handle = CreateMissing(host, request, retry);
        else if (errno == ENOTDIR)
            return FailHandle(ERROR_PATH_NOT_FOUND);
        else
            return FailHandleFromErrno();
        if (!retry)
            return handle;
    }
    return FailHandle(ERROR_ACCESS_DENIED);
}

bool ValidateOpen(DWORD access, DWORD share, DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile)
{
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING || (share & ~plat::kAllRights))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (templateFile || (access & (MAXIMUM_ALLOWED | kAccessSystemSecurity)))
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (flagsAndAttributes & ~(kSupportedFlags | kSupportedAttributes))
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (disposition == TRUNCATE_EXISTING &&
        !(MapGenericAccess(access) & (FILE_WRITE_DATA | FILE_APPEND_DATA)))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

// Where a read or write with an OVERLAPPED structure happens.
off_t OverlappedOffset(const OVERLAPPED *overlapped)
{
    return static_cast<off_t>((static_cast<uint64_t>(overlapped->OffsetHigh) << 32) | overlapped->Offset);
}

void CompleteOverlapped(LPOVERLAPPED overlapped, ULONG_PTR status, size_t done)
{
    overlapped->Internal = status;
    overlapped->InternalHigh = done;
    if (overlapped->hEvent)
        SetEvent(overlapped->hEvent);
}
} // namespace

namespace plat
{
UniqueFd::~UniqueFd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

UniqueFd &UniqueFd::operator=(UniqueFd &&other) noexcept
{
    if (this != &other)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

FileObject::FileObject(Init init)
    : KernelObject(ObjectKind::File), fd_(std::move(init.fd)), type_(init.type),
      hostPath_(std::move(init.hostPath)), access_(init.access), flags_(init.flags)
{
}

FileObject::~FileObject()
{
    if (type_ != FileType::Disk || !fd_)
        return;
    ShareGuard guard;
    const int fd = fd_.Get();
    const bool marked = (flags_ & FILE_FLAG_DELETE_ON_CLOSE) || HasDeleteMark(fd);
    if (marked)
        UnlinkIfLastOpen(fd, hostPath_);
    fd_ = UniqueFd(); // the locks go before the guard does, so the next closer sees them gone
}

bool FileObject::CanRead() const
{
    return (access_ & FILE_READ_DATA) != 0;
}

bool FileObject::CanWrite() const
{
    return (access_ & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
}

bool FileObject::Overlapped() const
{
    return (flags_ & FILE_FLAG_OVERLAPPED) != 0;
}

BOOL FileObject::Read(LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped)
{
    if (!CanRead())
        return Fail(ERROR_ACCESS_DENIED);
    const int fd = fd_.Get();
    const bool positioned = overlapped && type_ != FileType::ComPort; // a port has no offsets
    const off_t start = positioned ? OverlappedOffset(overlapped) : 0;
    auto *out = static_cast<char *>(buffer);
    size_t total = 0;
    while (total < count)
    {
        ssize_t n = positioned ? ::pread(fd, out + total, count - total, start + static_cast<off_t>(total))
                               : ::read(fd, out + total, count - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            if (done)
                *done = static_cast<DWORD>(total);
            return FailFromErrno();
        }
        total += static_cast<size_t>(n);
        // A device gives what it has; a file is read to the count or its end.
        if (n == 0 || type_ != FileType::Disk)
            break;
    }
    if (done)
        *done = static_cast<DWORD>(total);
    if (!overlapped)
        return TRUE;
    if (positioned && !Overlapped())
        ::lseek(fd, start + static_cast<off_t>(total), SEEK_SET);
    if (total == 0 && count > 0 && type_ == FileType::Disk)
    {
        // Reading at a given offset past the end is an error, unlike a plain read.
        overlapped->Internal = kStatusEndOfFile;
        overlapped->InternalHigh = 0;
        return Fail(ERROR_HANDLE_EOF);
    }
    CompleteOverlapped(overlapped, kStatusSuccess, total);
    return TRUE;
}

BOOL FileObject::Write(LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped)
{
    if (!CanWrite())
        return Fail(ERROR_ACCESS_DENIED);
    const int fd = fd_.Get();
    const bool positioned = overlapped && type_ != FileType::ComPort; // a port has no offsets
    off_t start = 0;
    if (positioned)
    {
        start = OverlappedOffset(overlapped);
        if (overlapped->Offset == 0xFFFFFFFF && overlapped->OffsetHigh == 0xFFFFFFFF)
        {
            struct stat st = {};
            start = ::fstat(fd, &st) == 0 ? st.st_size : 0; // both halves all ones: at the end
        }
    }
    const auto *in = static_cast<const char *>(buffer);
    size_t total = 0;
    while (total < count)
    {
        ssize_t n = positioned ? ::pwrite(fd, in + total, count - total, start + static_cast<off_t>(total))
                               : ::write(fd, in + total, count - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            if (done)
                *done = static_cast<DWORD>(total);
            return n == 0 ? Fail(ERROR_DISK_FULL) : FailFromErrno();
        }
        total += static_cast<size_t>(n);
    }
    if (done)
        *done = static_cast<DWORD>(total);
    if (overlapped)
    {
        if (positioned && !Overlapped())
            ::lseek(fd, start + static_cast<off_t>(total), SEEK_SET);
        CompleteOverlapped(overlapped, kStatusSuccess, total);
    }
    return TRUE;
}

BOOL FileObject::Flush()
{
    if (!CanWrite())
        return Fail(ERROR_ACCESS_DENIED);
    const int result = type_ == FileType::ComPort ? ::tcdrain(fd_.Get()) : ::fdatasync(fd_.Get());
    return result == 0 ? TRUE : FailFromErrno();
}

std::shared_ptr<FileObject> GetFileObject(HANDLE handle)
{
    return GetHandleObject<FileObject>(handle, ObjectKind::File);
}

void SetComPortFactory(ComPortFactory factory)
{
    g_comPortFactory.store(factory);
}
} // namespace plat

// CreateFileA: opens or creates a file of the PC with every creation disposition, the sharing
// modes enforced machine-wide (threads and processes), FILE_FLAG_DELETE_ON_CLOSE, and devices
// "\\.\NAME" (also COM1-9 and LPT1-9 by their bare names, and NUL). Differs: hTemplateFile,
// MAXIMUM_ALLOWED, ACCESS_SYSTEM_SECURITY and flags other than WRITE_THROUGH, OVERLAPPED,
// NO_BUFFERING, RANDOM_ACCESS, SEQUENTIAL_SCAN and DELETE_ON_CLOSE fail with
// ERROR_CALL_NOT_IMPLEMENTED (the accepted hints change nothing but WRITE_THROUGH); folders are
// refused as without FILE_FLAG_BACKUP_SEMANTICS; handle inheritance is not kept.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    if (!ValidateOpen(dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes,
                      hTemplateFile))
        return INVALID_HANDLE_VALUE;
    OpenRequest request;
    request.access = MapGenericAccess(dwDesiredAccess);
    request.share = dwShareMode;
    request.disposition = dwCreationDisposition;
    request.flags = dwFlagsAndAttributes & kSupportedFlags;
    request.attributes = dwFlagsAndAttributes & kSupportedAttributes;
    if (request.DeleteOnClose())
        request.access |= DELETE;
    request.rights = RightsOf(request.access);

    std::string device;
    if (lpFileName && (plat::IsDevicePath(lpFileName, &device) || IsDosDeviceName(lpFileName, device)))
        return OpenDevice(device, request);
    std::string host;
    if (!plat::HostPathArg(lpFileName, host))
        return INVALID_HANDLE_VALUE;
    return OpenDiskFile(host, request);
}

// ReadFile: reads from the file pointer, or at the OVERLAPPED offset (synchronously, then the
// event is set). Reading at the end gives TRUE with 0 bytes; at an OVERLAPPED offset past the end,
// ERROR_HANDLE_EOF. Differs: a NULL lpNumberOfBytesRead without OVERLAPPED fails with
// ERROR_INVALID_PARAMETER where Windows faults.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return FALSE;
    if (!lpBuffer && nNumberOfBytesToRead)
        return plat::Fail(ERROR_NOACCESS);
    if ((file->Overlapped() && !lpOverlapped) || (!lpOverlapped && !lpNumberOfBytesRead))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    return file->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

// WriteFile: writes at the file pointer, or at the OVERLAPPED offset (0xFFFFFFFF twice: at the
// end) synchronously. Writing 0 bytes changes nothing. Differs: a NULL lpNumberOfBytesWritten
// without OVERLAPPED fails with ERROR_INVALID_PARAMETER where Windows faults.
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return FALSE;
    if (!lpBuffer && nNumberOfBytesToWrite)
        return plat::Fail(ERROR_NOACCESS);
    if ((file->Overlapped() && !lpOverlapped) || (!lpOverlapped && !lpNumberOfBytesWritten))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    return file->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
}

// GetFileSize: the size, its high part through lpFileSizeHigh. A size whose low part is
// INVALID_FILE_SIZE sets NO_ERROR so callers can tell it from a failure.
DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return INVALID_FILE_SIZE;
    struct stat st = {};
    if (::fstat(file->Descriptor(), &st) != 0)
    {
        plat::FailFromErrno();
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    const DWORD low = static_cast<DWORD>(size);
    if (low == INVALID_FILE_SIZE)
        SetLastError(NO_ERROR);
    return low;
}

// GetFileType: FILE_TYPE_DISK for files, FILE_TYPE_CHAR for devices and COM ports.
DWORD WINAPI GetFileType(HANDLE hFile)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return FILE_TYPE_UNKNOWN;
    return file->Type() == plat::FileType::Disk ? FILE_TYPE_DISK : FILE_TYPE_CHAR;
}

// SetFilePointer: moves the file pointer (FILE_BEGIN, FILE_CURRENT, FILE_END), 64-bit through
// lpDistanceToMoveHigh. Before the start: ERROR_NEGATIVE_SEEK, pointer unchanged. Without the high
// part the distance is a signed 32-bit value and the result must fit 32 bits. A result whose low
// part is INVALID_SET_FILE_POINTER sets NO_ERROR.
DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return INVALID_SET_FILE_POINTER;
    const int fd = file->Descriptor();
    int64_t distance = lDistanceToMove;
    if (lpDistanceToMoveHigh)
        distance =
            static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                 static_cast<uint32_t>(lDistanceToMove));
    int64_t base = 0;
    if (dwMoveMethod == FILE_CURRENT)
        base = ::lseek(fd, 0, SEEK_CUR);
    else if (dwMoveMethod == FILE_END)
    {
        struct stat st = {};
        base = ::fstat(fd, &st) == 0 ? st.st_size : -1;
    }
    else if (dwMoveMethod != FILE_BEGIN)
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0)
    {
        plat::FailFromErrno();
        return INVALID_SET_FILE_POINTER;
    }
    const int64_t position = base + distance;
    if (position < 0)
    {
        plat::Fail(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && position > 0xFFFFFFFFll)
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(fd, position, SEEK_SET) < 0)
    {
        plat::FailFromErrno();
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    const DWORD low = static_cast<DWORD>(position);
    if (low == INVALID_SET_FILE_POINTER)
        SetLastError(NO_ERROR);
    return low;
}

// SetEndOfFile: the file ends at the file pointer (grows with zeros or shrinks).
BOOL WINAPI SetEndOfFile(HANDLE hFile)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return FALSE;
    if (!file->CanWrite())
        return plat::Fail(ERROR_ACCESS_DENIED);
    const off_t position = ::lseek(file->Descriptor(), 0, SEEK_CUR);
    if (position < 0 || ::ftruncate(file->Descriptor(), position) != 0)
        return plat::FailFromErrno();
    return TRUE;
}

// FlushFileBuffers: writes the file's data through to the disk (a COM port: waits until sent).
// Needs write access, as on Windows.
BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
    std::shared_ptr<plat::FileObject> file = plat::GetFileObject(hFile);
    if (!file)
        return FALSE;
    return file->Flush();
}

// DeleteFileA: deletes a file. A file open elsewhere with FILE_SHARE_DELETE goes at its last
// close (new opens get ERROR_ACCESS_DENIED meanwhile); open without it: ERROR_SHARING_VIOLATION,
// as the NT family answers. Read-only files, folders and devices: ERROR_ACCESS_DENIED; so is the
// file of a library loaded (LoadLibraryA) or a program running (CreateProcessA, or any kit
// program) anywhere on the PC, until its last FreeLibrary or the end of the process.
BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    std::string host;
    if (!plat::HostPathArg(lpFileName, host))
        return FALSE;
    if (plat::IsDevicePath(lpFileName))
        return plat::Fail(ERROR_ACCESS_DENIED);
    struct stat st = {};
    if (::stat(host.c_str(), &st) != 0)
        return plat::Fail(plat::PathErrorFromErrno(host));
    if (!S_ISREG(st.st_mode) || plat::IsReadOnlyMode(st))
        return plat::Fail(ERROR_ACCESS_DENIED);
    if (DWORD error = plat::DeleteOpenableFile(host))
        return plat::Fail(error);
    return TRUE;
}
