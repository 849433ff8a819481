// File attributes, times and the path rules of the narrow file functions.
//
// Attributes: READONLY of a file is its write permission (so host tools see it too); DIRECTORY is
// the file type; HIDDEN, SYSTEM, ARCHIVE, TEMPORARY (and READONLY of a folder, which must stay
// writable on the host) are kept in the extended attribute user.kit.attributes. On a file system
// without user extended attributes those are not kept and read back as absent.
#include "platform/kernel32/file.h"
#include "platform/kernel32/share.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace
{
constexpr char kAttributesName[] = "user.kit.attributes";
constexpr char kDeleteName[] = "user.kit.delete";
constexpr DWORD kKeptFileAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;
constexpr DWORD kKeptFolderAttributes = kKeptFileAttributes | FILE_ATTRIBUTE_READONLY;
constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ull;

DWORD StoredAttributes(const std::string &hostPath)
{
    char text[16] = {};
    ssize_t n = ::getxattr(hostPath.c_str(), kAttributesName, text, sizeof text - 1);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    return static_cast<DWORD>(std::strtoul(text, nullptr, 16));
}
} // namespace

namespace plat
{
DWORD AttributesOf(const std::string &hostPath, const struct stat &st)
{
    const bool folder = S_ISDIR(st.st_mode);
    DWORD attributes = StoredAttributes(hostPath) & (folder ? kKeptFolderAttributes : kKeptFileAttributes);
    if (folder)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else if (IsReadOnlyMode(st))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

void KeepAttributes(const std::string &hostPath, int fd, bool directory, DWORD attributes)
{
    const DWORD kept = attributes & (directory ? kKeptFolderAttributes : kKeptFileAttributes);
    if (kept == 0)
    {
        if (fd >= 0)
            ::fremovexattr(fd, kAttributesName);
        else
            ::removexattr(hostPath.c_str(), kAttributesName);
        return;
    }
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%X", kept);
    if (fd >= 0)
        ::fsetxattr(fd, kAttributesName, text, static_cast<size_t>(n), 0);
    else
        ::setxattr(hostPath.c_str(), kAttributesName, text, static_cast<size_t>(n), 0);
}

bool HasDeleteMark(int fd)
{
    return ::fgetxattr(fd, kDeleteName, nullptr, 0) >= 0;
}

bool SetDeleteMark(int fd, bool on)
{
    if (on)
        return ::fsetxattr(fd, kDeleteName, "1", 1, 0) == 0;
    return ::fremovexattr(fd, kDeleteName) == 0 || errno == ENODATA;
}

bool IsReadOnlyMode(const struct stat &st)
{
    return (st.st_mode & S_IWUSR) == 0;
}

bool SetReadOnlyMode(const std::string &hostPath, int fd, bool readOnly)
{
    struct stat st = {};
    if ((fd >= 0 ? ::fstat(fd, &st) : ::stat(hostPath.c_str(), &st)) != 0)
        return false;
    const mode_t mode = st.st_mode & 07777;
    const mode_t wanted = readOnly ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    if (wanted == mode)
        return true;
    return (fd >= 0 ? ::fchmod(fd, wanted) : ::chmod(hostPath.c_str(), wanted)) == 0;
}

FILETIME FileTimeFrom(const struct timespec &ts)
{
    const uint64_t ticks = (static_cast<uint64_t>(ts.tv_sec) + kSecondsFrom1601To1970) * 10000000ull +
                           static_cast<uint64_t>(ts.tv_nsec) / 100;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

// The narrow functions convert a name into a buffer of MAX_PATH + 1 wide characters: longer names
// fail there with ERROR_FILENAME_EXCED_RANGE. A name that fits but reaches MAX_PATH fails as a
// path Windows cannot find (ERROR_PATH_NOT_FOUND); functions with a lower limit (CreateDirectoryA:
// MAX_PATH - 12) give ERROR_FILENAME_EXCED_RANGE from it.
DWORD CheckPathLength(LPCSTR path, size_t limit)
{
    const size_t length = std::strlen(path);
    if (length > MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    if (length >= limit)
        return limit < MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : ERROR_PATH_NOT_FOUND;
    return ERROR_SUCCESS;
}

DWORD MissingPathError(const std::string &hostPath)
{
    std::string path = hostPath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty())
        return ERROR_PATH_NOT_FOUND;
    struct stat st = {};
    const std::string folder = FolderPart(path);
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

DWORD PathErrorFromErrno(const std::string &hostPath)
{
    if (errno == ENOENT)
        return MissingPathError(hostPath);
    if (errno == ENOTDIR)
        return ERROR_PATH_NOT_FOUND;
    return Win32FromErrno(errno);
}

bool HostPathArg(LPCSTR path, std::string &hostPath, size_t limit)
{
    if (!path)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!*path)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (DWORD error = CheckPathLength(path, limit))
        return Fail(error);
    hostPath = HostPath(path);
    return TRUE;
}

DWORD CopyPathOut(const std::string &text, LPSTR buffer, DWORD size)
{
    if (!buffer || text.size() + 1 > size)
        return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}
} // namespace plat

// GetFileAttributesA: the attributes of a file or folder (see the top of this file for where
// each is kept). A file waiting for its last handle to be deleted gives ERROR_ACCESS_DENIED.
DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    std::string host;
    if (!plat::HostPathArg(lpFileName, host))
        return INVALID_FILE_ATTRIBUTES;
    struct stat st = {};
    if (::stat(host.c_str(), &st) != 0)
    {
        plat::Fail(plat::PathErrorFromErrno(host));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISREG(st.st_mode) && ::getxattr(host.c_str(), kDeleteName, nullptr, 0) >= 0)
    {
        if (DWORD error = plat::CheckPendingDelete(host))
        {
            plat::Fail(error);
            return INVALID_FILE_ATTRIBUTES;
        }
    }
    return plat::AttributesOf(host, st);
}

// SetFileAttributesA: sets READONLY, HIDDEN, SYSTEM, ARCHIVE, TEMPORARY (NORMAL or 0 clears them);
// other bits are ignored as Windows ignores them. Differs: HIDDEN, SYSTEM, ARCHIVE and TEMPORARY
// are lost on a file system without user extended attributes.
BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    std::string host;
    if (!plat::HostPathArg(lpFileName, host))
        return FALSE;
    struct stat st = {};
    if (::stat(host.c_str(), &st) != 0)
        return plat::Fail(plat::PathErrorFromErrno(host));
    if (S_ISDIR(st.st_mode))
    {
        plat::KeepAttributes(host, -1, true, dwFileAttributes);
        return TRUE;
    }
    if (!plat::SetReadOnlyMode(host, -1, (dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0))
        return plat::FailFromErrno();
    plat::KeepAttributes(host, -1, false, dwFileAttributes);
    return TRUE;
}
