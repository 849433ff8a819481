// Folders of the simulated PC: creating and removing them, the current, temporary, Windows and
// system folders, and path names.
#include "platform/kit/kitmachine.h"
#include "platform/kernel32/file.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// CreateDirectoryA leaves room for an 8.3 name inside the folder.
constexpr size_t kFolderPathLimit = MAX_PATH - 12;
// GetTempFileNameA's folder leaves room for "\PPPXXXX.TMP".
constexpr size_t kTempFolderLimit = MAX_PATH - 14;

std::string CurrentDirectory()
{
    std::vector<char> buffer(256);
    while (!::getcwd(buffer.data(), buffer.size()))
    {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string WithoutTrailingSeparator(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// A number to start GetTempFileNameA's search from, as Windows starts from its tick count.
UINT TempStart()
{
    struct timespec ts = {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    UINT start = static_cast<UINT>((ts.tv_sec * 1000 + ts.tv_nsec / 1000000) ^ ::getpid()) & 0xFFFF;
    return start ? start : 1;
}

std::string TempName(const std::string &folder, const std::string &prefix, UINT unique)
{
    char number[8];
    std::snprintf(number, sizeof number, "%X", unique);
    return (folder == "/" ? "" : folder) + "/" + prefix + number + ".TMP";
}

// The host path of an argument that must name an existing folder, and its status; false with
// the last error set (ERROR_DIRECTORY for a file).
bool ExistingFolderArg(LPCSTR path, std::string &host, struct stat &st)
{
    if (!plat::HostPathArg(path, host))
        return false;
    if (::stat(host.c_str(), &st) != 0)
        return plat::Fail(plat::PathErrorFromErrno(host));
    if (!S_ISDIR(st.st_mode))
        return plat::Fail(ERROR_DIRECTORY);
    return true;
}

} // namespace

namespace plat
{
std::string FullHostPath(std::string_view windowsPath)
{
    if (IsDevicePath(windowsPath))
        return HostPath(windowsPath);
    std::string path(windowsPath);
    for (char &c : path)
        if (c == '\\')
            c = '/';
    if (path.empty() || path[0] != '/')
        path = CurrentDirectory() + "/" + path;
    const bool trailing = path.back() == '/';
    std::vector<std::string_view> parts;
    std::string_view rest(path);
    while (!rest.empty())
    {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
        {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string full;
    for (std::string_view part : parts)
    {
        full += '/';
        full += part;
    }
    if (full.empty() || trailing)
        full += '/';
    return HostPath(full);
}
} // namespace plat

// CreateDirectoryA: creates one folder; ERROR_ALREADY_EXISTS when the name is taken (by a file
// too), ERROR_PATH_NOT_FOUND when its parent is missing. Security attributes are ignored.
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    std::string host;
    if (!plat::HostPathArg(lpPathName, host, kFolderPathLimit))
        return FALSE;
    if (::mkdir(host.c_str(), 0777) == 0)
        return TRUE;
    if (errno == ENOENT || errno == ENOTDIR)
        return plat::Fail(ERROR_PATH_NOT_FOUND);
    return plat::FailFromErrno();
}

// RemoveDirectoryA: removes an empty folder; ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY for a file,
// ERROR_ACCESS_DENIED for a read-only folder. Differs: the current folder of a process can be
// removed.
BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName)
{
    std::string host;
    struct stat st = {};
    if (!ExistingFolderArg(lpPathName, host, st))
        return FALSE;
    if (plat::AttributesOf(host, st) & FILE_ATTRIBUTE_READONLY)
        return plat::Fail(ERROR_ACCESS_DENIED);
    if (::rmdir(host.c_str()) != 0)
        return plat::FailFromErrno();
    return TRUE;
}

// GetTempPathA: the PC's temp folder with a trailing '/'. A buffer too small gets nothing and
// the size needed with the NUL is returned.
DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    return plat::CopyPathOut(kitpc::PathOf("temp") + "/", lpBuffer, nBufferLength);
}

// GetTempFileNameA: "<folder>/<up to 3 prefix characters><hex number>.TMP". With uUnique 0 it
// creates the file, trying the next number while one is taken; otherwise it only makes the
// name. A missing folder or a file gives ERROR_DIRECTORY ("the directory name is invalid"), as
// Windows does when TEMP names a folder that is gone.
UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName)
{
    std::string folder;
    if (!lpTempFileName || !plat::HostPathArg(lpPathName, folder))
    {
        if (!lpTempFileName)
            SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (std::strlen(lpPathName) > kTempFolderLimit)
    {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    folder = WithoutTrailingSeparator(folder);
    const std::string prefix = std::string(lpPrefixString ? lpPrefixString : "").substr(0, 3);
    UINT unique = uUnique & 0xFFFF;
    if (unique != 0)
    {
        std::snprintf(lpTempFileName, MAX_PATH, "%s", TempName(folder, prefix, unique).c_str());
        return unique;
    }
    struct stat st = {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    unique = TempStart();
    for (UINT tries = 0; tries < 0xFFFF; ++tries)
    {
        const std::string name = TempName(folder, prefix, unique);
        HANDLE file =
            CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
        {
            CloseHandle(file);
            std::snprintf(lpTempFileName, MAX_PATH, "%s", name.c_str());
            SetLastError(ERROR_SUCCESS);
            return unique;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED)
            return 0;
        unique = unique == 0xFFFF ? 1 : unique + 1;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

// GetCurrentDirectoryA: the process's current folder (the host's). A buffer too small gets
// nothing and the size needed with the NUL is returned.
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    const std::string current = CurrentDirectory();
    if (current.empty())
    {
        plat::FailFromErrno();
        return 0;
    }
    return plat::CopyPathOut(current, lpBuffer, nBufferLength);
}

// SetCurrentDirectoryA: changes the process's current folder; a file gives ERROR_DIRECTORY.
BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName)
{
    std::string host;
    struct stat st = {};
    if (!ExistingFolderArg(lpPathName, host, st))
        return FALSE;
    if (::chdir(host.c_str()) != 0)
        return plat::FailFromErrno();
    return TRUE;
}

// GetWindowsDirectoryA: the PC's windows folder. A buffer too small: the size needed with the NUL.
UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    return plat::CopyPathOut(kitpc::PathOf(kitpc::WindowsFolder()), lpBuffer, uSize);
}

// GetSystemDirectoryA: windows/system on Windows 95/98/Me, windows/system32 on the NT family.
UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    return plat::CopyPathOut(kitpc::PathOf(kitpc::SystemFolder()), lpBuffer, uSize);
}

// GetShortPathNameA: short names are the long names here, so this is the path of an existing
// file or folder, with '/' separators and the case of the names on disk. Missing:
// ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND when its folder is missing too).
DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer)
{
    if (!lpszLongPath || !*lpszLongPath)
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string host;
    if (!plat::HostPathArg(lpszLongPath, host, MAX_PATH + 1))
        return 0;
    struct stat st = {};
    if (::stat(host.c_str(), &st) != 0)
    {
        plat::Fail(plat::PathErrorFromErrno(host));
        return 0;
    }
    return plat::CopyPathOut(host, lpszShortPath, cchBuffer);
}

// GetFullPathNameA: the absolute path of a name (current folder, "." and ".." applied; the file
// need not exist), '/' separators, existing names in their case on disk. lpFilePart points at
// the final name, or is NULL when the path ends with a separator.
DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart)
{
    if (!lpFileName || !*lpFileName)
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (DWORD error = plat::CheckPathLength(lpFileName, MAX_PATH + 1))
    {
        plat::Fail(error);
        return 0;
    }
    const std::string full = plat::FullHostPath(lpFileName);
    const DWORD result = plat::CopyPathOut(full, lpBuffer, nBufferLength);
    if (result < nBufferLength && lpFilePart)
        *lpFilePart = full.back() == '/' ? nullptr : lpBuffer + full.find_last_of('/') + 1;
    return result;
}
