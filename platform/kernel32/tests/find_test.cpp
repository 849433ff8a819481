// Listing folders: FindFirstFileA, FindNextFileA, FindClose.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using kittest::Temp;
constexpr DWORD kSentinel = 0xdeadbeef;

void Put(const std::string &path, const std::string &content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

// The names a pattern lists, joined with '|', or "<error N>".
std::string List(const std::string &pattern)
{
    WIN32_FIND_DATAA data;
    SetLastError(kSentinel);
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return "<error " + std::to_string(GetLastError()) + ">";
    std::string names = data.cFileName;
    while (FindNextFileA(find, &data))
        names += std::string("|") + data.cFileName;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return names;
}
} // namespace

TEST(Find, PatternsMatchAsOnWindows)
{
    const std::string folder = Temp("f");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const char *name : {"readme.txt", "README2.TXT", "a.b.c", "noext", "x.tx", ".hidden", "data.html"})
        Put(folder + "/" + name, name);
    const std::string all = ".|..|.hidden|a.b.c|data.html|noext|readme.txt|README2.TXT|x.tx";
    struct Case
    {
        const char *pattern;
        std::string names;
    } cases[] = {
        {"*", all},
        {"*.*", all}, // names without a dot too
        {"*.", ".|..|noext"},
        {"*.txt", "readme.txt|README2.TXT"},
        {"*.TX?", "readme.txt|README2.TXT|x.tx"}, // '?' at the end may match nothing
        {"readme?.txt", "readme.txt|README2.TXT"},
        {"?????", "noext"},
        {"a.*", "a.b.c"},
        {".*", ".|..|.hidden"},
        {"noext.", "noext"},
        {"DATA.HTML", "data.html"},
        {"*.b", "<error 2>"},
        {"data.htm", "<error 2>"},
        {"zz*", "<error 2>"},
    };
    for (const Case &c : cases)
    {
        EXPECT_EQ(List(folder + "/" + c.pattern), c.names) << c.pattern;
        EXPECT_EQ(List(folder + "\\" + c.pattern), c.names) << c.pattern;
    }
    EXPECT_EQ(List(Temp("F/README*")), "readme.txt|README2.TXT"); // the folder's case does not matter
}

TEST(Find, EntryData)
{
    ASSERT_TRUE(CreateDirectoryA(Temp("sub").c_str(), nullptr));
    Put(Temp("sub/five.bin"), "12345");
    ASSERT_TRUE(
        SetFileAttributesA(Temp("sub/five.bin").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));

    WIN32_FIND_DATAA data;
    std::memset(&data, 0xAB, sizeof data);
    HANDLE find = FindFirstFileA(Temp("sub\\five.bin").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "five.bin");
    EXPECT_STREQ(data.cAlternateFileName, "");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    // 100 ns ticks since 1601: 2001-01-01 is 0x01C07385'C89DC000, 2100 is below 0x02000000'00000000.
    const uint64_t written =
        (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    const uint64_t created =
        (uint64_t(data.ftCreationTime.dwHighDateTime) << 32) | data.ftCreationTime.dwLowDateTime;
    EXPECT_GT(written, 0x01C07385C89DC000ull);
    EXPECT_LT(written, 0x0200000000000000ull);
    EXPECT_GT(created, 0x01C07385C89DC000ull);
    EXPECT_LE(created, written + 10000000ull);
    EXPECT_FALSE(FindNextFileA(find, &data));
    FindClose(find);

    find = FindFirstFileA(Temp("sub").c_str(), &data); // a folder by its name: its own entry
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "sub");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(data.nFileSizeLow, 0u);
    FindClose(find);

    find = FindFirstFileA("/*", &data); // the root has no "." and ".."
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STRNE(data.cFileName, ".");
    FindClose(find);
}

TEST(Find, ErrorsAndHandles)
{
    Put(Temp("one.txt"), "1");
    struct Case
    {
        std::string pattern;
        DWORD error;
    } cases[] = {
        {Temp("nofolder/*"), ERROR_PATH_NOT_FOUND},
#ifndef _WIN32
        {Temp("one.txt/*"), ERROR_PATH_NOT_FOUND}, // Windows documents no error for a file as folder
#endif
        {Temp("*.none"), ERROR_FILE_NOT_FOUND},
        {Temp(""), ERROR_FILE_NOT_FOUND}, // a trailing separator
        {"", ERROR_PATH_NOT_FOUND},
        {"/" + std::string(260, 'a'), ERROR_FILENAME_EXCED_RANGE},
    };
    WIN32_FIND_DATAA data;
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_EQ(FindFirstFileA(c.pattern.c_str(), &data), INVALID_HANDLE_VALUE) << c.pattern;
        EXPECT_EQ(GetLastError(), c.error) << c.pattern;
    }
#ifndef _WIN32
    // The simulated PC refuses a missing buffer; Windows writes through the pointer.
    SetLastError(kSentinel);
    EXPECT_EQ(FindFirstFileA(Temp("*").c_str(), nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
#endif

    HANDLE find = FindFirstFileA(Temp("one.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 2; ++i)
    {
        SetLastError(kSentinel);
        EXPECT_FALSE(FindNextFileA(find, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    }
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(find)); // find handles have their own closing function
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(FindClose(find));
    SetLastError(kSentinel);
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinel);
    EXPECT_FALSE(FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HANDLE file = CreateFileA(Temp("one.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetLastError(kSentinel);
    EXPECT_FALSE(FindClose(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(file));
}
