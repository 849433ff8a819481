// Listing folders: FindFirstFileA, FindNextFileA, FindClose.
#include "platform/kernel32/file.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
// The DOS wildcards Windows rewrites a Win32 pattern into before matching: characters that
// cannot appear in a file name.
constexpr char kDosStar = '<'; // any characters up to the name's last dot
constexpr char kDosQm = '>';   // one character, or none at a dot or the end
constexpr char kDosDot = '"';  // a dot, or nothing at the end

// '?' becomes DOS_QM, '*' before a '.' DOS_STAR, '.' before '?', '*' or the end DOS_DOT: so
// "*.*" matches names without a dot and "*." only those.
std::string DosPattern(std::string_view pattern)
{
    std::string out(pattern);
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '?')
            out[i] = kDosQm;
        else if (pattern[i] == '.' && (next == '?' || next == '*' || next == '\0'))
            out[i] = kDosDot;
        else if (pattern[i] == '*' && next == '.')
            out[i] = kDosStar;
    }
    return out;
}

// Whether a name matches a DOS pattern, letters compared without case.
bool MatchesDos(std::string_view pattern, std::string_view name)
{
    const size_t m = pattern.size(), n = name.size();
    const size_t lastDot = name.rfind('.');
    // rows[p][i]: pattern[p..] matches name[i..]; filled from the end of the pattern.
    std::vector<std::vector<char>> rows(m + 1, std::vector<char>(n + 1, 0));
    rows[m][n] = 1;
    for (size_t p = m; p-- > 0;)
    {
        const std::vector<char> &after = rows[p + 1];
        std::vector<char> &row = rows[p];
        for (size_t i = n + 1; i-- > 0;)
        {
            const char c = pattern[p];
            bool match = false;
            if (c == '*')
                match = after[i] || (i < n && row[i + 1]);
            else if (c == kDosStar)
                match = after[i] || (i < n && i != lastDot && row[i + 1]);
            else if (c == kDosQm)
                match = (i == n || name[i] == '.') ? after[i] : after[i + 1];
            else if (c == kDosDot)
                match = i == n ? after[i] : (name[i] == '.' && after[i + 1]);
            else
                match = i < n &&
                        plat::Upper1252(static_cast<unsigned char>(name[i])) ==
                            plat::Upper1252(static_cast<unsigned char>(c)) &&
                        after[i + 1];
            row[i] = match;
        }
    }
    return rows[0][0] != 0;
}

class FindObject : public plat::KernelObject
{
  public:
    FindObject(std::string folder, std::vector<std::string> names)
        : KernelObject(plat::ObjectKind::Find), folder_(std::move(folder)), names_(std::move(names))
    {
    }
    bool ClosableByCloseHandle() const override
    {
        return false; // FindClose closes it, as on Windows
    }
    // Fills the next entry still there; false at the end.
    bool Next(WIN32_FIND_DATAA &data);

  private:
    std::mutex lock_;
    std::string folder_;
    std::vector<std::string> names_;
    size_t next_ = 0;
};

FILETIME BirthTime(const std::string &path, const struct stat &st)
{
    struct statx stx = {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &stx) == 0 && (stx.stx_mask & STATX_BTIME))
        return plat::FileTimeFrom(timespec{stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec});
    return plat::FileTimeFrom(st.st_mtim);
}

bool FillFindData(const std::string &path, const std::string &name, WIN32_FIND_DATAA &data)
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = plat::AttributesOf(path, st);
    data.ftCreationTime = BirthTime(path, st);
    data.ftLastAccessTime = plat::FileTimeFrom(st.st_atim);
    data.ftLastWriteTime = plat::FileTimeFrom(st.st_mtim);
    if (!S_ISDIR(st.st_mode))
    {
        const uint64_t size = static_cast<uint64_t>(st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
    return true;
}

bool FindObject::Next(WIN32_FIND_DATAA &data)
{
    std::lock_guard guard(lock_);
    while (next_ < names_.size())
    {
        const std::string &name = names_[next_++];
        if (FillFindData(folder_ == "/" ? "/" + name : folder_ + "/" + name, name, data))
            return true;
    }
    return false;
}

bool IsRootFolder(const std::string &folder)
{
    char real[4096];
    return ::realpath(folder.c_str(), real) && std::strcmp(real, "/") == 0;
}

// The names of a folder matching a Win32 pattern: "." and ".." first (not in the root), then
// the others in the order of their upper-cased names, as NTFS lists them.
std::vector<std::string> MatchingNames(const std::string &folder, std::string_view pattern)
{
    const std::string dos = DosPattern(pattern);
    std::vector<std::string> names;
    if (!IsRootFolder(folder))
        for (const char *dots : {".", ".."})
            if (MatchesDos(dos, dots))
                names.emplace_back(dots);
    std::vector<std::string> others;
    if (DIR *dir = ::opendir(folder.c_str()))
    {
        while (struct dirent *entry = ::readdir(dir))
        {
            std::string_view name = entry->d_name;
            if (name == "." || name == ".." || name.size() >= MAX_PATH)
                continue;
            if (MatchesDos(dos, name))
                others.emplace_back(name);
        }
        ::closedir(dir);
    }
    std::sort(others.begin(), others.end(), [](const std::string &a, const std::string &b) {
        const int order = plat::CompareNoCase(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    names.insert(names.end(), others.begin(), others.end());
    return names;
}
} // namespace

// FindFirstFileA: the first entry of a folder matching a pattern with '*' and '?' as Windows
// matches them (without case; "*.*" takes names without a dot; "." and ".." are listed except
// in the root). ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND for a missing
// folder. Entries come sorted as NTFS lists them. Differs: there are no 8.3 names, so
// cAlternateFileName is empty and patterns never match through a short name; the entries are
// read when the search starts.
HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData)
{
    std::string unused;
    if (!lpFindFileData)
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!plat::HostPathArg(lpFileName, unused))
        return INVALID_HANDLE_VALUE;
    std::string path(lpFileName);
    for (char &c : path)
        if (c == '\\')
            c = '/';
    if (path.back() == '/' || plat::IsDevicePath(lpFileName))
    {
        plat::Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const size_t slash = path.rfind('/');
    const std::string folderPart = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
    const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string folder = plat::HostPath(folderPart);
    struct stat st = {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    {
        plat::Fail(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    auto find = std::make_shared<FindObject>(folder, MatchingNames(folder, pattern));
    if (!find->Next(*lpFindFileData))
    {
        plat::Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = plat::InsertHandle(std::move(find));
    return handle ? handle : INVALID_HANDLE_VALUE;
}

// FindNextFileA: the next matching entry; ERROR_NO_MORE_FILES at the end.
BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData)
{
    std::shared_ptr<FindObject> find = plat::GetHandleObject<FindObject>(hFindFile, plat::ObjectKind::Find);
    if (!find)
        return FALSE;
    if (!lpFindFileData)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (!find->Next(*lpFindFileData))
        return plat::Fail(ERROR_NO_MORE_FILES);
    return TRUE;
}

// FindClose: ends a search; other handles give ERROR_INVALID_HANDLE.
BOOL WINAPI FindClose(HANDLE hFindFile)
{
    if (!plat::GetHandleObject<FindObject>(hFindFile, plat::ObjectKind::Find))
        return FALSE;
    if (!plat::RemoveHandle(hFindFile))
        return plat::Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}
