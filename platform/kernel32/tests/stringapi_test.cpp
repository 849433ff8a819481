// Code page conversions: MultiByteToWideChar and WideCharToMultiByte, Windows 1252 and UTF-8.
#include "platform/windows.h"
#include "platform/wstring.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

// Windows Vista's flag; XP's headers lack it.
#ifndef WC_ERR_INVALID_CHARS
#define WC_ERR_INVALID_CHARS 0x00000080
#endif

namespace
{
constexpr char kGuard = 'G';
constexpr WCHAR kWideGuard = 0xBEEF;

WString ToWide(UINT codePage, const std::string &bytes, DWORD flags = 0)
{
    int size = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    WString out(static_cast<size_t>(size), WCHAR(0));
    if (size > 0)
        MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), size);
    return out;
}

std::string ToBytes(UINT codePage, const WString &wide, LPCSTR defaultChar = nullptr, BOOL *used = nullptr)
{
    int size = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                   defaultChar, used);
    std::string out(static_cast<size_t>(size), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size,
                            defaultChar, used);
    return out;
}
} // namespace

TEST(CodePage1252, HighBytesMapBothWays)
{
    // Bytes 0x80-0x9F: the five undefined ones are the C1 controls of the same number.
    const WCHAR expected[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (int byte = 0x80; byte < 0xA0; ++byte)
    {
        std::string one(1, static_cast<char>(byte));
        WString wide = ToWide(CP_ACP, one);
        ASSERT_EQ(wide.size(), 1u) << byte;
        EXPECT_EQ(wide[0], expected[byte - 0x80]) << std::hex << byte;
        BOOL used = TRUE;
        EXPECT_EQ(ToBytes(CP_ACP, wide, nullptr, &used), one) << std::hex << byte;
        EXPECT_FALSE(used);
    }
    // Latin-1 range and the aliases of the ANSI code page.
    for (UINT page : {static_cast<UINT>(CP_ACP), 1252u, static_cast<UINT>(CP_THREAD_ACP)})
        EXPECT_EQ(ToWide(page, "Conexi\xF3n \xAA\xFF"), OLESTR("Conexión ªÿ")) << page;
    EXPECT_EQ(ToBytes(CP_ACP, OLESTR("Conexión ADSL Router")), "Conexi\xF3n ADSL Router");
}

TEST(CodePage1252, UnmappableCharactersTakeTheDefault)
{
    struct Case
    {
        WString wide;
        const char *defaultChar;
        std::string expected;
        BOOL used;
    };
    const Case cases[] = {
        {OLESTR("abc"), nullptr, "abc", FALSE},
        {OLESTR("a\x0100") OLESTR("b"), nullptr, "a?b", TRUE}, // no best fit: not 'A'
        {OLESTR("a\x4E2D") OLESTR("b"), "*", "a*b", TRUE},     // the caller's default
        {OLESTR("\xD83D\xDE00"), nullptr, "?", TRUE},          // a surrogate pair is one character
        {OLESTR("x\xDC00"), nullptr, "x?", TRUE},              // a lone surrogate
        {OLESTR("\x20AC\x0178"), nullptr, "\x80\x9F", FALSE},
    };
    for (const Case &c : cases)
    {
        BOOL used = 42;
        EXPECT_EQ(ToBytes(CP_ACP, c.wide, c.defaultChar, &used), c.expected);
        EXPECT_EQ(used, c.used);
    }
}

TEST(CodePageUtf8, DecodesAndReplacesIllFormedParts)
{
    struct Case
    {
        std::string bytes;
        WString wide;
    };
    const Case cases[] = {
        {"abc", OLESTR("abc")},
        {"\xC3\xB3", OLESTR("ó")},
        {"\xE2\x82\xAC", OLESTR("\x20AC")},
        {"\xF0\x9F\x98\x80", OLESTR("\xD83D\xDE00")},
        {"\x80", OLESTR("\xFFFD")}, // a lone continuation byte
        {"\xC3", OLESTR("\xFFFD")}, // cut short at the end
        {"\xE2\x82"
         "A",
         OLESTR("\xFFFD") OLESTR("A")},                           // cut short: one replacement for the part
        {"\xC0\xAF", OLESTR("\xFFFD\xFFFD")},                     // overlong lead byte
        {"\xE0\x80\x80", OLESTR("\xFFFD\xFFFD\xFFFD")},           // overlong three-byte form
        {"\xED\xA0\x80", OLESTR("\xFFFD\xFFFD\xFFFD")},           // an encoded surrogate
        {"\xF4\x90\x80\x80", OLESTR("\xFFFD\xFFFD\xFFFD\xFFFD")}, // beyond U+10FFFF
        {"\xFF"
         "z",
         OLESTR("\xFFFD") OLESTR("z")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ToWide(CP_UTF8, c.bytes), c.wide) << c.bytes;

    WCHAR out[8];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok\x80", 3, out, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3\xB3", 2, out, 8), 1);
}

TEST(CodePageUtf8, Encodes)
{
    EXPECT_EQ(ToBytes(CP_UTF8, OLESTR("Conexión")), "Conexi\xC3\xB3n");
    EXPECT_EQ(ToBytes(CP_UTF8, OLESTR("\xD83D\xDE00")), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToBytes(CP_UTF8, OLESTR("a\xDC00")), "a\xEF\xBF\xBD"); // lone surrogate
    char out[8];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, OLESTR("a\xD800"), 2, out, 8, nullptr, nullptr),
        0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

    // UTF-8 has no default character.
    BOOL used;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, out, 8, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, out, 8, "?", nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePage, LengthsAndTheTerminatingNul)
{
    WCHAR wide[16];
    // -1: up to and with the NUL.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 16), 4);
    EXPECT_EQ(wide[3], 0);
    // An explicit length converts exactly that, without adding a NUL.
    wide[2] = kWideGuard;
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 2, wide, 16), 2);
    EXPECT_EQ(wide[2], kWideGuard);
    // Embedded NULs are characters.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\0b", 3, wide, 16), 3);
    EXPECT_EQ(wide[1], 0);

    char narrow[16];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("ó"), -1, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("ó"), -1, narrow, 16, nullptr, nullptr), 3);
    EXPECT_STREQ(narrow, "\xC3\xB3");
}

TEST(CodePage, SmallBuffersFillWhatFitsAndFail)
{
    WCHAR wide[4] = {kWideGuard, kWideGuard, kWideGuard, kWideGuard};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WString(wide, 3), OLESTR("abc"));
    EXPECT_EQ(wide[3], kWideGuard);

    char narrow[4] = {kGuard, kGuard, kGuard, kGuard};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("\x20AC"), 1, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(narrow[2], kGuard);

    // Exactly big enough.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("abc"), 3, narrow, 3, nullptr, nullptr), 3);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_EQ(narrow[3], kGuard);
}

TEST(CodePage, BadArguments)
{
    WCHAR wide[8];
    char narrow[8];
    struct Case
    {
        const char *what;
        int result;
        DWORD error;
    };
    auto mb = [&](UINT page, DWORD flags, LPCSTR src, int n, LPWSTR dst, int size) {
        SetLastError(0xdeadbeef);
        int r = MultiByteToWideChar(page, flags, src, n, dst, size);
        return Case{"", r, GetLastError()};
    };
    auto wc = [&](UINT page, DWORD flags, LPCWSTR src, int n, LPSTR dst, int size) {
        SetLastError(0xdeadbeef);
        int r = WideCharToMultiByte(page, flags, src, n, dst, size, nullptr, nullptr);
        return Case{"", r, GetLastError()};
    };
    const std::pair<const char *, Case> cases[] = {
        {"no source", mb(CP_ACP, 0, nullptr, 3, wide, 8)},
        {"empty source", mb(CP_ACP, 0, "abc", 0, wide, 8)},
        {"negative size", mb(CP_ACP, 0, "abc", 3, wide, -1)},
        {"size without buffer", mb(CP_ACP, 0, "abc", 3, nullptr, 8)},
        {"unknown code page", mb(12345, 0, "abc", 3, wide, 8)},
        {"same buffer", mb(CP_ACP, 0, reinterpret_cast<LPCSTR>(wide), 2, wide, 8)},
        {"wide no source", wc(CP_ACP, 0, nullptr, 3, narrow, 8)},
        {"wide empty source", wc(CP_ACP, 0, OLESTR("abc"), 0, narrow, 8)},
        {"wide unknown code page", wc(12345, 0, OLESTR("abc"), 3, narrow, 8)},
#ifndef _WIN32
        // The simulated PC has no OEM code pages: Windows 1252 and UTF-8 only.
        {"code page 850", mb(850, 0, "abc", 3, wide, 8)},
        {"wide code page 437", wc(437, 0, OLESTR("abc"), 3, narrow, 8)},
#endif
    };
    for (const auto &[what, c] : cases)
    {
        EXPECT_EQ(c.result, 0) << what;
        EXPECT_EQ(c.error, static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << what;
    }
    const std::pair<const char *, Case> flagCases[] = {
        {"UTF-8 precomposed", mb(CP_UTF8, MB_PRECOMPOSED, "abc", 3, wide, 8)},
        {"composite and precomposed", mb(CP_ACP, MB_PRECOMPOSED | MB_COMPOSITE, "abc", 3, wide, 8)},
        {"unknown flag", mb(CP_ACP, 0x1000, "abc", 3, wide, 8)},
        {"UTF-8 no best fit", wc(CP_UTF8, WC_NO_BEST_FIT_CHARS, OLESTR("abc"), 3, narrow, 8)},
        {"wide unknown flag", wc(CP_ACP, 0x1, OLESTR("abc"), 3, narrow, 8)},
    };
    for (const auto &[what, c] : flagCases)
    {
        EXPECT_EQ(c.result, 0) << what;
        EXPECT_EQ(c.error, static_cast<DWORD>(ERROR_INVALID_FLAGS)) << what;
    }
    // Accepted flags.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abc", 3, wide, 8), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS | WC_COMPOSITECHECK, OLESTR("abc"), 3, narrow,
                                  8, nullptr, nullptr),
              3);
}

TEST(StringApi, CopyWithinALengthAlwaysEndsTheText)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(buffer, lstrcpynA(buffer, "Conexión", 5));
    EXPECT_STREQ("Cone", buffer);
    EXPECT_EQ('x', buffer[5]); // nothing written past the NUL
    EXPECT_STREQ("ab", lstrcpynA(buffer, "ab", 8));
    EXPECT_STREQ("", lstrcpynA(buffer, "abc", 1));
    EXPECT_EQ(nullptr, lstrcpynA(nullptr, "abc", 4));
    EXPECT_EQ(8, lstrlenA("Conexión"));
    EXPECT_EQ(0, lstrlenA(nullptr));
}
