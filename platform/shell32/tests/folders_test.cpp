// The shell's special folders (SHGetSpecialFolderPathA) on the NT family and on Windows 98.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace
{
constexpr DWORD kSentinel = 0xdeadbeef;
constexpr char kGuard = '\x5A';

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace

// What any Windows answers: a full path of an existing folder, the buffer's guard untouched.
TEST(ShellFolders, FoldersTheKitUsesExist)
{
    for (int csidl : {CSIDL_DESKTOP, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAMS,
                      CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAM_FILES, CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_APPDATA})
    {
        char path[MAX_PATH + 8];
        std::memset(path, kGuard, sizeof path);
        EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) << csidl;
        EXPECT_LT(std::strlen(path), static_cast<size_t>(MAX_PATH)) << csidl;
        EXPECT_TRUE(Exists(path)) << csidl << " " << path;
        EXPECT_EQ(path[MAX_PATH], kGuard);
    }
    char windows[MAX_PATH], system[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    ASSERT_NE(GetSystemDirectoryA(system, MAX_PATH), 0u);
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_WINDOWS, FALSE));
    EXPECT_STREQ(path, windows);
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_SYSTEM, FALSE));
    EXPECT_STREQ(path, system);
}

// The simulated PC's own folders, on each family.
#ifndef _WIN32
TEST(ShellFolders, SpecialFoldersOnXp)
{
    const std::string root = kittest::MachineDir();
    struct Case
    {
        int csidl;
        std::string path;
    } cases[] = {
        {CSIDL_DESKTOP, root + "/desktop"},
        {CSIDL_DESKTOPDIRECTORY, root + "/desktop"},
        {CSIDL_COMMON_DESKTOPDIRECTORY, root + "/common_desktop"},
        {CSIDL_PROGRAMS, root + "/start_menu/programs"},
        {CSIDL_COMMON_PROGRAMS, root + "/common_start_menu/programs"},
        {CSIDL_PROGRAM_FILES, root + "/program_files"},
        {CSIDL_WINDOWS, root + "/windows"},
        {CSIDL_SYSTEM, root + "/windows/system32"},
        {CSIDL_APPDATA, root + "/appdata"},
    };
    for (const Case &c : cases)
    {
        char path[MAX_PATH + 8];
        std::memset(path, kGuard, sizeof path);
        EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, FALSE)) << c.csidl;
        EXPECT_EQ(std::string(path), c.path) << c.csidl;
        EXPECT_EQ(path[MAX_PATH], kGuard);
    }
    char path[MAX_PATH];
    const std::string startup = root + "/start_menu/programs/startup";
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_STARTUP, FALSE)); // missing, not made
    EXPECT_FALSE(Exists(startup));
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_STARTUP | CSIDL_FLAG_CREATE, FALSE));
    EXPECT_EQ(std::string(path), startup);
    EXPECT_TRUE(Exists(startup));
    EXPECT_TRUE(RemoveDirectoryA((root + "/appdata").c_str()));
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, TRUE));
    EXPECT_TRUE(Exists(path));
    SetLastError(kSentinel);
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, 0x0014 /* CSIDL_FONTS */, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

TEST(ShellFolders, SpecialFoldersOnWindows98)
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", "98"));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "1"));
    char path[MAX_PATH];
    for (int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTMENU})
    {
        EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE)) << csidl; // no common folders there
    }
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_SYSTEM, TRUE));
    EXPECT_EQ(std::string(path), kittest::MachineDir() + "/windows/system");
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(std::string(path), kittest::MachineDir() + "/desktop");
}
#endif
