// The shell's special folders: where the PC keeps the desktop, the start menu, the programs'
// folders and the others a program asks SHGetSpecialFolderPathA for.
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace
{
constexpr int kCsidlFlagMask = 0xFF00;
constexpr int kCsidlFlagDontVerify = 0x4000;

bool IsFolder(const std::string &hostPath)
{
    struct stat st = {};
    return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct SpecialFolder
{
    int csidl;
    const char *relative; // inside the PC; nullptr: computed
    bool ntOnly;          // the common (all users) folders exist on the NT family only
};

constexpr SpecialFolder kSpecialFolders[] = {
    {CSIDL_DESKTOP, "desktop", false},
    {CSIDL_DESKTOPDIRECTORY, "desktop", false},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "common_desktop", true},
    {CSIDL_STARTMENU, "start_menu", false},
    {CSIDL_PROGRAMS, "start_menu/programs", false},
    {CSIDL_STARTUP, "start_menu/programs/startup", false},
    {CSIDL_COMMON_STARTMENU, "common_start_menu", true},
    {CSIDL_COMMON_PROGRAMS, "common_start_menu/programs", true},
    {CSIDL_PROGRAM_FILES, "program_files", false},
    {CSIDL_APPDATA, "appdata", false},
    {CSIDL_WINDOWS, nullptr, false},
    {CSIDL_SYSTEM, nullptr, false},
};
} // namespace

// SHGetSpecialFolderPathA: the PC's folders for the desktop, start menu, programs, startup,
// program files, application data, windows and system, and on the NT family the common (all
// users) desktop, start menu and programs; on Windows 95/98/Me those fail as there. fCreate or
// CSIDL_FLAG_CREATE creates a missing folder; otherwise a missing folder fails. Paths use '/'
// without a trailing separator. Differs: the folders Windows adds with shell versions (program
// files, windows, system) are there on every family; other CSIDLs fail with
// ERROR_CALL_NOT_IMPLEMENTED.
BOOL WINAPI SHGetSpecialFolderPathA(HWND, LPSTR lpszPath, int csidl, BOOL fCreate)
{
    if (!lpszPath)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    const bool create = fCreate || (csidl & CSIDL_FLAG_CREATE);
    const bool verify = !(csidl & kCsidlFlagDontVerify);
    const int folderId = csidl & ~kCsidlFlagMask;
    const SpecialFolder *folder = nullptr;
    for (const SpecialFolder &candidate : kSpecialFolders)
        if (candidate.csidl == folderId)
            folder = &candidate;
    if (!folder)
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (folder->ntOnly && kitpc::ReadIdentity().platformId != VER_PLATFORM_WIN32_NT)
        return plat::Fail(ERROR_FILE_NOT_FOUND);
    std::string relative = folder->relative            ? folder->relative
                           : folderId == CSIDL_WINDOWS ? kitpc::WindowsFolder()
                                                       : kitpc::SystemFolder();
    const std::string path = kitpc::PathOf(relative);
    if (create)
    {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (ec)
            return plat::Fail(plat::Win32FromErrno(ec.value()));
    }
    else if (verify && !IsFolder(path))
        return plat::Fail(ERROR_FILE_NOT_FOUND);
    if (path.size() >= MAX_PATH)
        return plat::Fail(ERROR_BUFFER_OVERFLOW);
    std::memcpy(lpszPath, path.c_str(), path.size() + 1);
    return TRUE;
}
