// Folders: creating and removing them, the current, temporary, Windows and system folders, path
// names and the program's file name.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace
{
using kittest::Native;
using kittest::Temp;
using kittest::TempFolder;
constexpr DWORD kSentinel = 0xdeadbeef;
constexpr char kGuard = '\x5A';

// The running program's file as the host knows it.
std::string ProgramFile()
{
#ifdef _WIN32
    return _pgmptr;
#else
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
#endif
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a "buffer and size" function with a buffer of `size` followed by guard bytes; checks the
// guard and gives back the text.
template <class F> std::string Sized(F call, DWORD size, DWORD &result)
{
    std::string buffer(size + 8, kGuard);
    result = call(buffer.data(), size);
    for (size_t i = size; i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], kGuard) << "guard byte " << i - size << " overwritten";
    return buffer.substr(0, std::min<size_t>(buffer.find('\0'), size));
}

// The too-small-buffer rule: the exact size works, one less gets nothing and the size needed.
template <class F> void ExpectBufferRule(F call, const std::string &expected)
{
    const DWORD needed = static_cast<DWORD>(expected.size() + 1);
    DWORD result = 0;
    EXPECT_EQ(Sized(call, needed, result), expected);
    EXPECT_EQ(result, expected.size());
    std::string small(needed - 1 + 8, kGuard);
    EXPECT_EQ(call(small.data(), needed - 1), needed);
    EXPECT_EQ(small, std::string(small.size(), kGuard)); // nothing written
    EXPECT_EQ(call(nullptr, 0), needed);
}

class CurrentDirectoryRestorer
{
  public:
    CurrentDirectoryRestorer() { GetCurrentDirectoryA(MAX_PATH, saved_); }
    ~CurrentDirectoryRestorer() { SetCurrentDirectoryA(saved_); }

  private:
    char saved_[MAX_PATH];
};
} // namespace

TEST(Directory, CreateAndRemove)
{
    const std::string folder = Temp("made");
    SetLastError(kSentinel);
    EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    HANDLE file =
        CreateFileA((folder + "\\inner.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    struct Case
    {
        BOOL (*call)(const std::string &);
        std::string path;
        DWORD error;
    } cases[] = {
        {[](const std::string &p) { return CreateDirectoryA(p.c_str(), nullptr); }, folder,
         ERROR_ALREADY_EXISTS},
        {[](const std::string &p) { return CreateDirectoryA(p.c_str(), nullptr); }, folder + "/inner.txt",
         ERROR_ALREADY_EXISTS},
        {[](const std::string &p) { return CreateDirectoryA(p.c_str(), nullptr); }, Temp("none/x"),
         ERROR_PATH_NOT_FOUND},
        {[](const std::string &p) { return CreateDirectoryA(p.c_str(), nullptr); },
         "/" + std::string(247, 'a'), ERROR_FILENAME_EXCED_RANGE},
        {[](const std::string &p) { return RemoveDirectoryA(p.c_str()); }, folder, ERROR_DIR_NOT_EMPTY},
        {[](const std::string &p) { return RemoveDirectoryA(p.c_str()); }, folder + "/inner.txt",
         ERROR_DIRECTORY},
        {[](const std::string &p) { return RemoveDirectoryA(p.c_str()); }, Temp("none"),
         ERROR_FILE_NOT_FOUND},
        {[](const std::string &p) { return RemoveDirectoryA(p.c_str()); }, Temp("none/x"),
         ERROR_PATH_NOT_FOUND},
    };
    int row = 0;
    for (const Case &c : cases)
    {
        SCOPED_TRACE(row++);
        SetLastError(kSentinel);
        EXPECT_FALSE(c.call(c.path));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(DeleteFileA((folder + "/INNER.TXT").c_str()));
    EXPECT_TRUE(RemoveDirectoryA((kittest::MachineDir() + "\\TEMP\\Made\\").c_str()));
    EXPECT_FALSE(Exists(folder));
}

TEST(Directory, TempPathAndNames)
{
#ifdef _WIN32
    // The folder TMP names, ended by a backslash.
    char tmp[MAX_PATH];
    ASSERT_NE(GetEnvironmentVariableA("TMP", tmp, MAX_PATH), 0u);
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetTempPathA(n, b); }, std::string(tmp) + "\\");
#else
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetTempPathA(n, b); }, kittest::MachineDir() + "/temp/");
#endif

    const std::string temp = Native(TempFolder() + "/");
    char name[MAX_PATH];
    const UINT first = GetTempFileNameA(temp.c_str(), "KITPREFIX", 0, name);
    ASSERT_NE(first, 0u);
    ASSERT_EQ(std::string(name).substr(0, temp.size()), temp);
    // "<prefix><hex>.TMP"; the case of the letters is the file system's business.
    EXPECT_TRUE(std::regex_match(name + temp.size(), std::regex("KIT[0-9A-F]{1,4}\\.TMP", std::regex::icase)))
        << name;
    EXPECT_EQ(std::strtoul(name + temp.size() + 3, nullptr, 16), first);
    EXPECT_TRUE(Exists(name)); // made, so the name stays taken
    char second[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(temp.c_str(), "KIT", 0, second), 0u);
    EXPECT_STRNE(name, second);

    EXPECT_EQ(GetTempFileNameA(Native(TempFolder()).c_str(), "", 0x12345, name), 0x2345u);
    EXPECT_EQ(std::string(name).substr(0, temp.size()), temp);
    EXPECT_TRUE(std::regex_match(name + temp.size(), std::regex("2345\\.TMP", std::regex::icase))) << name;
    EXPECT_FALSE(Exists(name)); // a given number only makes the name

    struct Case
    {
        std::string folder;
        DWORD error;
    } cases[] = {
        {Temp("none"), ERROR_DIRECTORY},
        {second, ERROR_DIRECTORY},
        {"/" + std::string(250, 'a'), ERROR_BUFFER_OVERFLOW},
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_EQ(GetTempFileNameA(c.folder.c_str(), "K", 0, name), 0u) << c.folder;
        EXPECT_EQ(GetLastError(), c.error) << c.folder;
    }
}

TEST(Directory, CurrentDirectory)
{
    CurrentDirectoryRestorer restore;
    TempFolder();
#ifdef _WIN32
    ASSERT_TRUE(SetCurrentDirectoryA((kittest::MachineDir() + "\\temp").c_str()));
#else
    ASSERT_TRUE(SetCurrentDirectoryA((kittest::MachineDir() + "\\TEMP").c_str())); // takes the folder's case
#endif
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetCurrentDirectoryA(n, b); }, Native(TempFolder()));
    HANDLE file = CreateFileA("here.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(Exists(Temp("here.txt")));
    EXPECT_TRUE(SetCurrentDirectoryA(".."));
    EXPECT_TRUE(Exists("temp\\here.txt"));

    struct Case
    {
        std::string path;
        DWORD error;
    } cases[] = {
        {Temp("none"), ERROR_FILE_NOT_FOUND},
        {Temp("none/deeper"), ERROR_PATH_NOT_FOUND},
        {Temp("here.txt"), ERROR_DIRECTORY},
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path.c_str())) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
}

TEST(Directory, WindowsAndSystemFolders)
{
#ifdef _WIN32
    // The folder SystemRoot names.
    char root[MAX_PATH];
    ASSERT_NE(GetEnvironmentVariableA("SystemRoot", root, MAX_PATH), 0u);
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetWindowsDirectoryA(b, n); }, root);
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetSystemDirectoryA(b, n); },
                     std::string(root) + "\\system32");
#else
    const std::string root = kittest::MachineDir();
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetWindowsDirectoryA(b, n); }, root + "/windows");
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetSystemDirectoryA(b, n); }, root + "/windows/system32");
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", "98"));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "1"));
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetSystemDirectoryA(b, n); }, root + "/windows/system");
#endif
}

TEST(Directory, ShortAndFullPathNames)
{
    CurrentDirectoryRestorer restore;
    ASSERT_TRUE(CreateDirectoryA(Temp("Long Folder Name").c_str(), nullptr));
    const std::string real = Temp("Long Folder Name");
    const std::string typed = kittest::MachineDir() + "\\TEMP\\long folder name";
#ifdef _WIN32
    // The file system's 8.3 alias.
    char alias[MAX_PATH];
    ASSERT_NE(GetShortPathNameA(typed.c_str(), alias, MAX_PATH), 0u);
    const std::string shortName = alias;
#else
    const std::string shortName = real; // the simulated PC's short names are the long ones
#endif
    ExpectBufferRule([&](LPSTR b, DWORD n) { return GetShortPathNameA(typed.c_str(), b, n); }, shortName);
    char inPlace[MAX_PATH];
    std::strcpy(inPlace, typed.c_str());
    EXPECT_EQ(GetShortPathNameA(inPlace, inPlace, MAX_PATH), shortName.size());
    EXPECT_EQ(std::string(inPlace), shortName);
    struct Missing
    {
        std::string path;
        DWORD error;
    } missing[] = {
        {Temp("none.txt"), ERROR_FILE_NOT_FOUND},
#ifndef _WIN32
        {Temp("none/none.txt"), ERROR_PATH_NOT_FOUND}, // Windows documents no error for a missing folder
#endif
    };
    for (const Missing &m : missing)
    {
        SetLastError(kSentinel);
        EXPECT_EQ(GetShortPathNameA(m.path.c_str(), inPlace, MAX_PATH), 0u);
        EXPECT_EQ(GetLastError(), m.error);
    }

    ASSERT_TRUE(SetCurrentDirectoryA(real.c_str()));
    struct Case
    {
        const char *name;
        std::string full;
        const char *filePart; // nullptr: none
    } cases[] = {
        {"file.txt", Native(real + "/file.txt"), "file.txt"},
        {"a\\..\\b\\.\\c.txt", Native(real + "/b/c.txt"), "c.txt"},
        {"..\\Long Folder Name\\x", Native(real + "/x"), "x"},
        {"sub\\", Native(real + "/sub/"), nullptr},
#ifndef _WIN32
        {"..\\LONG FOLDER NAME\\x", real + "/x", "x"}, // existing names take their own case
        {"/", "/", nullptr},
#endif
    };
    for (const Case &c : cases)
    {
        char buffer[MAX_PATH];
        LPSTR filePart = reinterpret_cast<LPSTR>(1);
        EXPECT_EQ(GetFullPathNameA(c.name, MAX_PATH, buffer, &filePart), c.full.size()) << c.name;
        EXPECT_EQ(std::string(buffer), c.full) << c.name;
        if (c.filePart)
            EXPECT_STREQ(filePart, c.filePart) << c.name;
        else
            EXPECT_EQ(filePart, nullptr) << c.name;
    }
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetFullPathNameA("f.txt", n, b, nullptr); },
                     Native(real + "/f.txt"));
}

TEST(Directory, ModuleFileName)
{
    const std::string program = ProgramFile();
    ASSERT_FALSE(program.empty());
    DWORD result = 0;
    EXPECT_EQ(
        Sized([](LPSTR b, DWORD size) { return GetModuleFileNameA(nullptr, b, size); }, MAX_PATH, result),
        program);
    EXPECT_EQ(result, program.size());
    // Too small: cut, terminated, nSize returned.
    SetLastError(kSentinel);
    EXPECT_EQ(Sized([](LPSTR b, DWORD size) { return GetModuleFileNameA(nullptr, b, size); }, 5, result),
              program.substr(0, 4));
    EXPECT_EQ(result, 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(kSentinel);
    char buffer[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x12340000), buffer, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}
