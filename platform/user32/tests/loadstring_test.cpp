// LoadStringA on the string tables compiled into the program and into a library.
#ifndef _WIN32
#include "platform/kit/kitloader.h"
#endif
#include "platform/windows.h"

#include "platform/kernel32/tests/res/resource_test.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
constexpr char kGuard = '\x5a';

struct Loaded
{
    int count;
    std::string text;
    bool guardKept;
};

// LoadStringA into a buffer of `size` with a guard byte after it.
Loaded Load(HINSTANCE module, UINT id, int size)
{
    std::string buffer(static_cast<size_t>(size) + 1, kGuard);
    const int count = LoadStringA(module, id, buffer.data(), size);
    return {count, std::string(buffer.c_str()), buffer[static_cast<size_t>(size)] == kGuard};
}

// Why the last LoadLibraryA failed.
std::string LoaderError()
{
#ifdef _WIN32
    return "error " + std::to_string(GetLastError());
#else
    return kitpc::LastLoaderError();
#endif
}
} // namespace

TEST(LoadingStrings, TheProgramsStrings)
{
    struct Case
    {
        UINT id;
        const char *text;
    };
    const Case cases[] = {
        {1, "Módulo de pruebas"},          {IDS_TITLE, "Conexión ADSL Router"},
        {IDS_ESCAPES, "a\"b\nc\td\\e\"f"}, {IDS_ACCENTS, "€ñÑ¿"},
        {16, "first of block 2"},          {IDS_LAST, "last of block 16"},
    };
    for (const Case &c : cases)
    {
        Loaded loaded = Load(nullptr, c.id, 260);
        EXPECT_EQ(loaded.text, c.text) << c.id;
        EXPECT_EQ(loaded.count, static_cast<int>(std::strlen(c.text))) << c.id;
        EXPECT_TRUE(loaded.guardKept);
    }
    EXPECT_EQ(Load(GetModuleHandleA(nullptr), IDS_TITLE, 260).text, "Conexión ADSL Router");
    EXPECT_EQ(std::strlen("Conexión ADSL Router"), 20u); // one byte a character, in Windows 1252
}

TEST(LoadingStrings, ShortBuffersAreCutAndTerminated)
{
    Loaded cut = Load(nullptr, IDS_TITLE, 9);
    EXPECT_EQ(cut.count, 8);
    EXPECT_EQ(cut.text, "Conexión");
    EXPECT_TRUE(cut.guardKept);
    Loaded one = Load(nullptr, IDS_TITLE, 1);
    EXPECT_EQ(one.count, 0);
    EXPECT_EQ(one.text, "");
    EXPECT_TRUE(one.guardKept);
    Loaded exact = Load(nullptr, 16, 17);
    EXPECT_EQ(exact.text, "first of block 2");
    EXPECT_TRUE(exact.guardKept);
}

TEST(LoadingStrings, MissingStringsGiveAnEmptyBuffer)
{
    struct Case
    {
        UINT id;
        bool blockMissing;
    };
    const Case cases[] = {
        {3, false},   // in a block that exists
        {5000, true}, // in a block that does not
        {0, false},
    };
    for (const Case &c : cases)
    {
        SetLastError(0xdeadbeef);
        Loaded loaded = Load(nullptr, c.id, 32);
        EXPECT_EQ(loaded.count, 0) << c.id;
        EXPECT_EQ(loaded.text, "") << c.id;
#ifdef _WIN32
        // The block is found: Windows documents no error for the empty string in it.
        if (!c.blockMissing)
            continue;
#endif
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND)) << c.id;
    }
    char buffer[4] = {'x', 'y', 'z', 0};
#ifndef _WIN32
    // Windows' LoadStringA takes no cchBufferMax 0 (it writes before the buffer); the PC refuses it.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadStringA(nullptr, IDS_TITLE, buffer, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(buffer[0], 'x');
#endif
    EXPECT_EQ(LoadStringA(GetModuleHandleA("KERNEL32.DLL"), 1, buffer, 4), 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(LoadingStrings, ByTheLibrarysHandle)
{
    HMODULE library = LoadLibraryA("testlib_resources.dll");
    ASSERT_NE(library, nullptr) << LoaderError();
    EXPECT_EQ(Load(library, 1, 260).text, "Biblioteca de pruebas");
    EXPECT_EQ(Load(library, IDS_TITLE, 260).text, "Título de la biblioteca");
    EXPECT_EQ(Load(library, IDS_ESCAPES, 260).count, 0); // the program has it, the library not
    EXPECT_EQ(Load(nullptr, 1, 260).text, "Módulo de pruebas");
    FreeLibrary(library);
}
