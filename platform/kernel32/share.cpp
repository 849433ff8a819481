// Sharing modes and pending deletes, machine-wide across the handles of every process of the PC.
//
// Sharing. Windows checks each open's access against the share modes of the file's other opens,
// machine-wide. Here every open of a disk file takes shared open-file-description locks
// (fcntl F_OFD_SETLK) on reserved offsets of the file itself, far beyond any data:
//   kHasRead, kHasWrite, kHasDelete      held by opens that use that right,
//   kDenyRead, kDenyWrite, kDenyDelete   held by opens whose share mode leaves that right out,
//   kOpen                                held by every open,
//   kDeleteOnClose                       held by opens made with FILE_FLAG_DELETE_ON_CLOSE,
//   kImage                               held by a loaded library's or a running program's file.
// A new open asks F_OFD_GETLK whether a write lock could be placed there: if not, another open
// description holds the shared lock. The open fails when it wants a right someone denies or
// denies a right someone has, as Windows decides. The locks belong to the open description, so
// they go with it: at the last CloseHandle and when a process dies, leaving nothing behind.
// Check-and-take runs under one exclusive lock of the machine (.share.lock in the PC's folder):
// a write lock needs a writable descriptor, and a read-only file is open read-only.
//
// Deletes. Windows deletes a file that is open with FILE_SHARE_DELETE at its last close and
// refuses new opens meanwhile. The deleter (DeleteFileA, or an open with FILE_FLAG_DELETE_ON_CLOSE)
// marks the file (the extended attribute user.kit.delete); whoever closes last, with no
// delete-on-close open left, unlinks it. A marked file nobody holds open is one whose deleter
// died or exited without closing: the next open or GetFileAttributesA completes the delete.
//
// Images. Windows refuses to delete (ERROR_ACCESS_DENIED) or write (ERROR_SHARING_VIOLATION) the
// file of a loaded library or of a running program, but lets it be renamed. The loader keeps a
// descriptor of the file with the kOpen, kDenyWrite and kImage locks for as long as the library is
// loaded; a program's file is held by the descriptor CreateProcessA hands to the child, or by the
// program itself from its start. Either way the hold ends with the process, also when it is killed.
#include "platform/kernel32/share.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr off_t kLockBase = 0x7FFFFFFFFFFF0000;
enum LockSlot : off_t
{
    kHasRead = 0, // kHas* and kDeny* follow the order of the rights' bits
    kDenyRead = 3,
    kDenyWrite = 4,
    kOpen = 6,
    kDeleteOnClose = 7,
    kImage = 8,
};

thread_local int t_guardDepth = 0;

struct flock LockAt(short type, off_t slot)
{
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + slot;
    fl.l_len = 1;
    return fl;
}

// Whether an open description other than fd's holds the lock slot.
bool HeldElsewhere(int fd, off_t slot)
{
    struct flock fl = LockAt(F_WRLCK, slot);
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0)
        return false;
    return fl.l_type != F_UNLCK;
}

bool LockShared(int fd, off_t slot)
{
    struct flock fl = LockAt(F_RDLCK, slot);
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// The path the open file has now (it may have been renamed), or empty when it has no name left.
std::string CurrentPath(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string path(4096, '\0');
    ssize_t n = ::readlink(link, path.data(), path.size());
    if (n <= 0)
        return {};
    path.resize(static_cast<size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted))
        return {};
    return path;
}

// Unlinks the name of the open file, when that name is still this file.
void UnlinkOpenFile(int fd, const std::string &fallbackPath)
{
    std::string path = CurrentPath(fd);
    if (path.empty())
        path = fallbackPath;
    struct stat mine = {}, named = {};
    if (::fstat(fd, &mine) == 0 && ::stat(path.c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
        mine.st_ino == named.st_ino)
        ::unlink(path.c_str());
}

} // namespace

namespace plat
{
ShareGuard::ShareGuard()
{
    if (t_guardDepth++ > 0)
        return;
    fd_ = ::open(kitpc::PathOf(".share.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return; // a PC folder we cannot write to: nothing else can change its files either
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_len = 1;
    while (::fcntl(fd_, F_OFD_SETLKW, &fl) != 0 && errno == EINTR)
    {
    }
}

ShareGuard::~ShareGuard()
{
    --t_guardDepth;
    if (fd_ >= 0)
        ::close(fd_);
}

bool TakeShareLocks(int fd, unsigned rights, unsigned share, bool deleteOnClose)
{
    if (!LockShared(fd, kOpen))
        return false;
    if (deleteOnClose && !LockShared(fd, kDeleteOnClose))
        return false;
    if (rights == 0)
        return true; // opens that touch no data take no part in sharing, as on Windows
    for (unsigned bit = 0; bit < 3; ++bit)
    {
        const unsigned right = 1u << bit;
        if ((rights & right) && !LockShared(fd, kHasRead + bit))
            return false;
        if (!(share & right) && !LockShared(fd, kDenyRead + bit))
            return false;
    }
    return true;
}

DWORD CheckOpen(int fd, const std::string &hostPath, unsigned rights, unsigned share)
{
    if (HasDeleteMark(fd) && !HeldElsewhere(fd, kDeleteOnClose))
    {
        if (HeldElsewhere(fd, kOpen))
            return ERROR_ACCESS_DENIED; // delete pending until the last handle goes
        UnlinkOpenFile(fd, hostPath);
        return ERROR_FILE_NOT_FOUND;
    }
    if (rights == 0)
        return ERROR_SUCCESS;
    for (unsigned bit = 0; bit < 3; ++bit)
    {
        const unsigned right = 1u << bit;
        if ((rights & right) && HeldElsewhere(fd, kDenyRead + bit))
            return ERROR_SHARING_VIOLATION;
        if (!(share & right) && HeldElsewhere(fd, kHasRead + bit))
            return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

bool OpenElsewhere(int fd)
{
    return HeldElsewhere(fd, kOpen);
}

void UnlinkIfLastOpen(int fd, const std::string &fallbackPath)
{
    if (!HeldElsewhere(fd, kDeleteOnClose) && !HeldElsewhere(fd, kOpen))
        UnlinkOpenFile(fd, fallbackPath);
}

bool TakeImageHold(int fd)
{
    return LockShared(fd, kOpen) && LockShared(fd, kDenyWrite) && LockShared(fd, kImage);
}

UniqueFd HoldImage(const std::string &hostPath)
{
    ShareGuard guard;
    UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd && !TakeImageHold(fd.Get()))
        return {};
    return fd;
}

DWORD CheckImageDelete(int fd)
{
    return HeldElsewhere(fd, kImage) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

DWORD DeleteOpenableFile(const std::string &hostPath)
{
    ShareGuard guard;
    UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return errno == ENOENT ? MissingPathError(hostPath) : Win32FromErrno(errno);
    // DeleteFileA opens the file for delete, sharing everything.
    const DWORD verdict = CheckOpen(fd.Get(), hostPath, kRightDelete, kAllRights);
    if (verdict != ERROR_SUCCESS)
        return verdict;
    if (DWORD image = CheckImageDelete(fd.Get()))
        return image;
    if (OpenElsewhere(fd.Get()) && SetDeleteMark(fd.Get(), true))
        return ERROR_SUCCESS;
    if (::unlink(hostPath.c_str()) != 0)
        return errno == ENOENT ? MissingPathError(hostPath) : Win32FromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD CheckPendingDelete(const std::string &hostPath)
{
    ShareGuard guard;
    UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return errno == ENOENT ? MissingPathError(hostPath) : ERROR_SUCCESS;
    return CheckOpen(fd.Get(), hostPath, 0, kAllRights);
}

} // namespace plat
