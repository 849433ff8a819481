// Shared memory: file mappings backed by the paging file.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

TEST(FileMapping, NamedIsSharedAndGoesWithItsLastHandle)
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, "KitBlock");
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    char *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[8191], 0);
    std::strcpy(view, "hola");

    HANDLE again = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, "KitBlock");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    const char *second = static_cast<const char *>(MapViewOfFile(again, FILE_MAP_READ, 0, 0, 0));
    EXPECT_STREQ(second, "hola");
    EXPECT_EQ(second[8191], 0); // keeps the first creator's size

    std::string output;
    EXPECT_EQ(kittest::Run("platform_child_runtime", {"read-mapping", "KitBlock"}, &output), 0);
    std::erase(output, '\r'); // a Windows child's text output ends lines with CR LF
    EXPECT_EQ(output, "hola\n");

    UnmapViewOfFile(view);
    UnmapViewOfFile(second);
    CloseHandle(mapping);
    CloseHandle(again);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "KitBlock"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FileMapping, CreatedInAnotherProcess)
{
    kittest::Child child("platform_child_runtime", {"write-mapping", "KitOther", "desde otro proceso"});
    ASSERT_EQ(child.ReadLine(), "written");
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "KitOther");
    ASSERT_NE(mapping, nullptr);
    const char *view = static_cast<const char *>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    EXPECT_STREQ(view, "desde otro proceso");
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

TEST(FileMapping, ViewsAndBadArguments)
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(mapping, nullptr);
    void *view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 4096);
    ASSERT_NE(view, nullptr);
    CloseHandle(mapping);
    static_cast<char *>(view)[4095] = 'x'; // the view keeps the memory
    EXPECT_TRUE(UnmapViewOfFile(view));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HANDLE readOnly = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 4096, nullptr);
    EXPECT_EQ(MapViewOfFile(readOnly, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(readOnly);
    EXPECT_EQ(MapViewOfFile(readOnly, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(FileMapping, NamesBelongToOneKind)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "KitName");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 10, "KitName"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(mutex);
}
