// Internal: the object behind a file HANDLE and the helpers the file, directory and serial
// sources share.
#pragma once

#include "platform/core/handles.h"

#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace plat
{
// A descriptor closed when its owner goes.
class UniqueFd
{
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd &&other) noexcept : fd_(other.Release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept;
    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_ = -1;
};

enum class FileType
{
    Disk,    // a file of the PC's folders
    Device,  // a plain file in devices/: a device that is present
    ComPort, // devices/COMn linked to a tty or pty
};

// Sharing rights, with the FILE_SHARE_* bit values: what an open uses (its access) and what it
// lets others use (its share mode).
constexpr unsigned kRightRead = 1, kRightWrite = 2, kRightDelete = 4, kAllRights = 7;

class FileObject : public KernelObject
{
  public:
    struct Init
    {
        UniqueFd fd;
        FileType type = FileType::Disk;
        std::string hostPath;
        DWORD access = 0; // specific rights (FILE_READ_DATA...), generic rights mapped
        DWORD flags = 0;  // the FILE_FLAG_* the handle was opened with
    };
    explicit FileObject(Init init);
    ~FileObject() override; // completes a delete-on-close or pending delete

    int Descriptor() const { return fd_.Get(); }
    FileType Type() const { return type_; }
    // The path the file was opened by (it may have been renamed since).
    const std::string &HostPath() const { return hostPath_; }
    DWORD Access() const { return access_; }
    bool CanRead() const;
    bool CanWrite() const;
    bool Overlapped() const;

    // ReadFile, WriteFile and FlushFileBuffers once the handle is known to be this object. The
    // serial code overrides them for COM ports (timeouts, events).
    virtual BOOL Read(LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
    virtual BOOL Write(LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
    virtual BOOL Flush();
    // ReadFileEx and WriteFileEx: the routine is queued as an APC of the calling thread when
    // the operation ends. Files complete before the call returns.
    virtual BOOL ReadEx(LPVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                        LPOVERLAPPED_COMPLETION_ROUTINE routine);
    virtual BOOL WriteEx(LPCVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                         LPOVERLAPPED_COMPLETION_ROUTINE routine);
    // Operations still running in the background (COM ports): whether an OVERLAPPED is one of
    // them, and CancelIo of those the thread `tid` started.
    virtual bool IsPending(const OVERLAPPED *overlapped) const
    {
        (void)overlapped;
        return false;
    }
    virtual void CancelThreadIo(DWORD tid) { (void)tid; }

  private:
    UniqueFd fd_;
    FileType type_;
    std::string hostPath_;
    DWORD access_;
    DWORD flags_;
};

// The Internal status of an OVERLAPPED for a Win32 error, and back (GetOverlappedResult).
ULONG_PTR StatusFromError(DWORD error);
DWORD ErrorFromStatus(ULONG_PTR status);
// Queues an Ex operation's completion routine as an APC of the calling thread.
void QueueCompletion(LPOVERLAPPED_COMPLETION_ROUTINE routine, DWORD error, DWORD done,
                     LPOVERLAPPED overlapped);
void QueueCompletion(DWORD tid, LPOVERLAPPED_COMPLETION_ROUTINE routine, DWORD error, DWORD done,
                     LPOVERLAPPED overlapped);

// The file object behind a handle, or nullptr with ERROR_INVALID_HANDLE set.
std::shared_ptr<FileObject> GetFileObject(HANDLE handle);

// The serial-communication code makes COM port objects (its own FileObject) through this; until
// one is registered a COM port is a plain character device.
using ComPortFactory = std::shared_ptr<FileObject> (*)(FileObject::Init init);
void SetComPortFactory(ComPortFactory factory);

// Attributes kept beside a file (fileinfo.cpp).
// The file's Windows attributes: READONLY (a file without write permission, a folder marked so),
// DIRECTORY, the kept HIDDEN/SYSTEM/ARCHIVE/TEMPORARY, NORMAL when none.
DWORD AttributesOf(const std::string &hostPath, const struct stat &st);
// Keeps the attributes (all but READONLY and DIRECTORY for files, all but DIRECTORY for folders).
void KeepAttributes(const std::string &hostPath, int fd, bool directory, DWORD attributes);
// A delete waiting for the last handle (the deleter's mark, see file.cpp).
bool HasDeleteMark(int fd);
bool SetDeleteMark(int fd, bool on);
// Makes a file read-only or writable by its permission bits.
bool SetReadOnlyMode(const std::string &hostPath, int fd, bool readOnly);
bool IsReadOnlyMode(const struct stat &st);

// A host time as a FILETIME (100 ns since 1601).
FILETIME FileTimeFrom(const struct timespec &ts);

// Path rules of the narrow functions.
// ERROR_SUCCESS, or the error Windows gives for a name of that length (see fileinfo.cpp).
DWORD CheckPathLength(LPCSTR path, size_t limit = MAX_PATH);
// The error for a path that does not exist: ERROR_PATH_NOT_FOUND when its folder is missing too.
DWORD MissingPathError(const std::string &hostPath);
// The error for a failed stat or open of a path, from errno: missing file or folder as above.
DWORD PathErrorFromErrno(const std::string &hostPath);
// Validates a path argument (NULL, empty, too long) and gives its host path; false with the
// last error set.
bool HostPathArg(LPCSTR path, std::string &hostPath, size_t limit = MAX_PATH);
// The absolute host path of a Windows path, "." and ".." resolved, case matched (directory.cpp).
std::string FullHostPath(std::string_view windowsPath);
// Copies text out the way GetTempPathA and friends do: the length without the NUL when it fits,
// else the size needed with the NUL and the buffer left alone.
DWORD CopyPathOut(const std::string &text, LPSTR buffer, DWORD size);
} // namespace plat
