// Folders: creating and removing them, the current, temporary, Windows and system folders, path
// names and the program's file name.
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <unistd.h>

namespace
{
constexpr DWORD kSentinel = 0xdeadbeef;
constexpr char kGuard = '\x5A';

std::string Temp(const std::string &name)
{
    return kittest::MachineDir() + "/temp/" + name;
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
    const std::string temp = kittest::MachineDir() + "/temp/";
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetTempPathA(n, b); }, temp);

    char name[MAX_PATH];
    const UINT first = GetTempFileNameA(temp.c_str(), "KITPREFIX", 0, name);
    ASSERT_NE(first, 0u);
    EXPECT_TRUE(std::regex_match(name, std::regex(temp + "KIT[0-9A-F]{1,4}\\.TMP"))) << name;
    EXPECT_EQ(std::strtoul(name + temp.size() + 3, nullptr, 16), first);
    EXPECT_TRUE(Exists(name)); // made, so the name stays taken
    char second[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(temp.c_str(), "KIT", 0, second), 0u);
    EXPECT_STRNE(name, second);

    EXPECT_EQ(GetTempFileNameA((kittest::MachineDir() + "\\temp").c_str(), "", 0x12345, name), 0x2345u);
    EXPECT_EQ(std::string(name), temp + "2345.TMP");
    EXPECT_FALSE(Exists(name)); // a given number only makes the name

    struct Case
    {
        std::string folder;
        DWORD error;
    } cases[] = {
        {Temp("none"), ERROR_PATH_NOT_FOUND},
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
    ASSERT_TRUE(SetCurrentDirectoryA((kittest::MachineDir() + "\\TEMP").c_str()));
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetCurrentDirectoryA(n, b); },
                     kittest::MachineDir() + "/temp");
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
    const std::string root = kittest::MachineDir();
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetWindowsDirectoryA(b, n); }, root + "/windows");
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetSystemDirectoryA(b, n); }, root + "/windows/system32");
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", "98"));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "1"));
    ExpectBufferRule([](LPSTR b, DWORD n) { return GetSystemDirectoryA(b, n); }, root + "/windows/system");
}

TEST(Directory, ShortAndFullPathNames)
{
    CurrentDirectoryRestorer restore;
    ASSERT_TRUE(CreateDirectoryA(Temp("Long Folder Name").c_str(), nullptr));
    const std::string real = Temp("Long Folder Name");
    const std::string typed = kittest::MachineDir() + "\\TEMP\\long folder name";
    ExpectBufferRule([&](LPSTR b, DWORD n) { return GetShortPathNameA(typed.c_str(), b, n); }, real);
    char inPlace[MAX_PATH];
    std::strcpy(inPlace, typed.c_str());
    EXPECT_EQ(GetShortPathNameA(inPlace, inPlace, MAX_PATH), real.size());
    EXPECT_EQ(std::string(inPlace), real);
    struct Missing
    {
        std::string path;
        DWORD error;
    } missing[] = {{Temp("none.txt"), ERROR_FILE_NOT_FOUND}, {Temp("none/none.txt"), ERROR_PATH_NOT_FOUND}};
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
        {"file.txt", real + "/file.txt", "file.txt"},
        {"a\\..\\b\\.\\c.txt", real + "/b/c.txt", "c.txt"},
        {"..\\LONG FOLDER NAME\\x", real + "/x", "x"},
        {"sub\\", real + "/sub/", nullptr},
        {"/", "/", nullptr},
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
                     real + "/f.txt");
}

TEST(Directory, ModuleFileName)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const std::string program(self, static_cast<size_t>(n));
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
