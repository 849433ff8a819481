// Copying and moving files of the simulated PC, and the renames Windows performs at its next
// start.
#include "platform/kit/kitmachine.h"
#include "platform/kernel32/file.h"
#include "platform/kernel32/share.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr DWORD kMoveFlags =
    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_WRITE_THROUGH;
constexpr DWORD kMoveCreateHardlink = 0x10, kMoveFailIfNotTrackable = 0x20;
constexpr char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenamesValue[] = "PendingFileRenameOperations";
constexpr char kNtPrefix[] = "\\??\\";
constexpr size_t kCopyChunk = 64 * 1024;

bool IsNtPlatform()
{
    return kitpc::ReadIdentity().platformId == VER_PLATFORM_WIN32_NT;
}

class KeyCloser
{
  public:
    explicit KeyCloser(HKEY key) : key_(key) {}
    ~KeyCloser() { RegCloseKey(key_); }
    KeyCloser(const KeyCloser &) = delete;
    KeyCloser &operator=(const KeyCloser &) = delete;

  private:
    HKEY key_;
};

// The strings of PendingFileRenameOperations: pairs (source, destination) where an empty
// destination is a delete, so the list holds empty strings and only its final NUL ends it.
std::vector<std::string> PendingStrings(const std::vector<char> &data)
{
    std::vector<std::string> strings;
    std::string current;
    for (char c : data)
    {
        if (c == '\0')
        {
            strings.push_back(current);
            current.clear();
        }
        else
            current += c;
    }
    if (!current.empty())
        strings.push_back(current);
    if (strings.size() % 2 == 1 && strings.back().empty())
        strings.pop_back(); // the list's terminator
    if (strings.size() % 2 == 1)
        strings.pop_back(); // a source without its destination cannot be performed
    return strings;
}

// Appends one operation to PendingFileRenameOperations, as MoveFileEx does on the NT family.
BOOL RecordPendingRename(const std::string &source, const std::string *destination, bool replace)
{
    plat::ShareGuard guard; // the read-modify-write must not interleave with another process's
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return plat::Fail(static_cast<DWORD>(rc));
    KeyCloser closer(key);
    DWORD type = 0, size = 0;
    std::vector<char> data;
    rc = RegQueryValueExA(key, kPendingRenamesValue, nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS && type == REG_MULTI_SZ && size > 0)
    {
        data.resize(size);
        rc = RegQueryValueExA(key, kPendingRenamesValue, nullptr, &type,
                              reinterpret_cast<LPBYTE>(data.data()), &size);
        data.resize(rc == ERROR_SUCCESS ? size : 0);
    }
    std::vector<std::string> strings = PendingStrings(data);
    strings.push_back(kNtPrefix + source);
    std::string target;
    if (destination)
    {
        target = replace ? "!" : "";
        target.append(kNtPrefix).append(*destination);
    }
    strings.push_back(target);
    std::string value;
    for (const std::string &s : strings)
    {
        value += s;
        value += '\0';
    }
    value += '\0';
    rc = RegSetValueExA(key, kPendingRenamesValue, 0, REG_MULTI_SZ,
                        reinterpret_cast<const BYTE *>(value.data()), static_cast<DWORD>(value.size()));
    if (rc != ERROR_SUCCESS)
        return plat::Fail(static_cast<DWORD>(rc));
    return TRUE;
}

// The last component of a Windows path as the caller wrote it.
std::string GivenName(LPCSTR windowsPath)
{
    std::string path(windowsPath);
    for (char &c : path)
        if (c == '\\')
            c = '/';
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return std::string(plat::FileNamePart(path));
}

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the destination of a move may be replaced: a file, writable, open nowhere.
DWORD CheckReplaceable(const std::string &destination, const struct stat &st, bool sourceIsFolder)
{
    if (S_ISDIR(st.st_mode) || sourceIsFolder || plat::IsReadOnlyMode(st))
        return ERROR_ACCESS_DENIED;
    plat::UniqueFd fd(::open(destination.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd && plat::OpenElsewhere(fd.Get()))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

BOOL MoveNow(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    std::string source, destination;
    if (!plat::HostPathArg(lpExistingFileName, source))
        return FALSE;
    if (!lpNewFileName)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (!plat::HostPathArg(lpNewFileName, destination))
        return FALSE;
    struct stat from = {};
    if (::lstat(source.c_str(), &from) != 0)
        return plat::Fail(plat::PathErrorFromErrno(source));
    const bool folder = S_ISDIR(from.st_mode);
    {
        plat::ShareGuard guard;
        if (!folder)
        {
            // Windows opens the source for delete, sharing everything.
            plat::UniqueFd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
            if (fd)
            {
                if (DWORD verdict = plat::CheckOpen(fd.Get(), source, plat::kRightDelete, plat::kAllRights))
                    return plat::Fail(verdict);
            }
        }
        struct stat to = {};
        if (::stat(destination.c_str(), &to) == 0)
        {
            if (SameFile(from, to))
                destination =
                    plat::FolderPart(destination) + "/" + GivenName(lpNewFileName); // a change of case
            else if (!(dwFlags & MOVEFILE_REPLACE_EXISTING))
                return plat::Fail(ERROR_ALREADY_EXISTS);
            else if (DWORD error = CheckReplaceable(destination, to, folder))
                return plat::Fail(error);
        }
        if (::rename(source.c_str(), destination.c_str()) == 0)
            return TRUE;
        if (errno != EXDEV)
            return plat::Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                                  : plat::Win32FromErrno(errno));
    }
    // Another file system: a file may be copied, then the original deleted.
    if (!(dwFlags & MOVEFILE_COPY_ALLOWED) || folder)
        return plat::Fail(ERROR_NOT_SAME_DEVICE);
    if (!CopyFileA(lpExistingFileName, lpNewFileName, !(dwFlags & MOVEFILE_REPLACE_EXISTING)))
        return FALSE;
    return DeleteFileA(lpExistingFileName);
}

BOOL CopyContent(int in, int out)
{
    std::vector<char> buffer(kCopyChunk);
    for (;;)
    {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return plat::FailFromErrno();
        if (n == 0)
            return TRUE;
        for (ssize_t written = 0; written < n;)
        {
            ssize_t w = ::write(out, buffer.data() + written, static_cast<size_t>(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return w == 0 ? plat::Fail(ERROR_DISK_FULL) : plat::FailFromErrno();
            written += w;
        }
    }
}
} // namespace

// CopyFileA: copies a file's content, attributes (read-only included) and last write time.
// bFailIfExists: ERROR_FILE_EXISTS when the destination is there. The source is opened for
// reading sharing read and write, the destination for writing sharing nothing, so the sharing
// rules apply as on Windows; a destination left half-written is deleted.
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    if (!lpExistingFileName || !lpNewFileName)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    HANDLE in = CreateFileA(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return FALSE;
    std::shared_ptr<plat::FileObject> source = plat::GetFileObject(in);
    struct stat st = {};
    ::fstat(source->Descriptor(), &st);
    const DWORD attributes = plat::AttributesOf(source->HostPath(), st);
    HANDLE out =
        CreateFileA(lpNewFileName, GENERIC_WRITE, 0, nullptr, bFailIfExists ? CREATE_NEW : CREATE_ALWAYS,
                    attributes & ~(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY), nullptr);
    if (out == INVALID_HANDLE_VALUE)
    {
        const DWORD error = GetLastError();
        CloseHandle(in);
        return plat::Fail(error);
    }
    std::shared_ptr<plat::FileObject> target = plat::GetFileObject(out);
    BOOL ok = CopyContent(source->Descriptor(), target->Descriptor());
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (ok)
    {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(target->Descriptor(), times);
    }
    const std::string written = target->HostPath();
    target.reset();
    source.reset();
    CloseHandle(out);
    CloseHandle(in);
    if (!ok)
    {
        ::unlink(written.c_str());
        return plat::Fail(error);
    }
    return TRUE;
}

// MoveFileA: renames a file or folder; a file moves to another file system by copying. The
// destination must not exist (ERROR_ALREADY_EXISTS); a source open without FILE_SHARE_DELETE:
// ERROR_SHARING_VIOLATION.
BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName)
{
    return MoveNow(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

// MoveFileExA: MoveFileA with MOVEFILE_REPLACE_EXISTING (a destination file that is read-only
// or open anywhere: ERROR_ACCESS_DENIED), MOVEFILE_COPY_ALLOWED, MOVEFILE_WRITE_THROUGH (always
// so here), and MOVEFILE_DELAY_UNTIL_REBOOT, which appends the operation to
// HKLM\System\CurrentControlSet\Control\Session Manager\PendingFileRenameOperations for the PC's
// next start (`machine reboot`): REG_MULTI_SZ pairs "\??\<source host path>" and "" (delete)
// or "\??\<destination>" ("!\??\<destination>" to replace). On Windows 95/98/Me it fails with
// ERROR_CALL_NOT_IMPLEMENTED as there (those use Wininit.ini). Differs: a delayed operation does
// not check that the source exists; MOVEFILE_CREATE_HARDLINK and MOVEFILE_FAIL_IF_NOT_TRACKABLE
// fail with ERROR_CALL_NOT_IMPLEMENTED.
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    if (!IsNtPlatform())
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (dwFlags & (kMoveCreateHardlink | kMoveFailIfNotTrackable))
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (dwFlags & ~kMoveFlags)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (!(dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT))
        return MoveNow(lpExistingFileName, lpNewFileName, dwFlags);
    if (dwFlags & MOVEFILE_COPY_ALLOWED)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    std::string unused;
    if (!plat::HostPathArg(lpExistingFileName, unused))
        return FALSE;
    const std::string source = plat::FullHostPath(lpExistingFileName);
    if (!lpNewFileName || !*lpNewFileName)
        return RecordPendingRename(source, nullptr, false);
    if (!plat::HostPathArg(lpNewFileName, unused))
        return FALSE;
    const std::string destination = plat::FullHostPath(lpNewFileName);
    return RecordPendingRename(source, &destination, (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0);
}
