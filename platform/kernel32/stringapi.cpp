// MultiByteToWideChar and WideCharToMultiByte for the ANSI code page (Windows 1252) and UTF-8;
// lstrcmpA, lstrcmpiA, lstrcpynA and lstrlenA.
#include "platform/core/lasterror.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{
// Unicode of bytes 0x80-0x9F in Windows 1252; the five undefined bytes map to the C1 control
// of the same number, as Windows maps them (and back).
constexpr char16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char16_t kReplacement = 0xFFFD;

char16_t WideOf1252(unsigned char c)
{
    return c >= 0x80 && c < 0xA0 ? kHigh1252[c - 0x80] : c;
}

int ByteOf1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100))
        return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh1252[i] == cp)
            return 0x80 + i;
    return -1;
}

enum class Page
{
    Ansi,
    Utf8,
    Unknown,
};

// CP_OEMCP and CP_MACCP are 1252 here too (a Spanish Windows has 850 and 10000).
Page PageOf(UINT codePage)
{
    switch (codePage)
    {
    case CP_ACP:
    case CP_OEMCP:
    case CP_MACCP:
    case CP_THREAD_ACP:
    case 1252:
        return Page::Ansi;
    case CP_UTF8:
        return Page::Utf8;
    default:
        return Page::Unknown;
    }
}

// The second byte's range of a UTF-8 lead byte (excluding overlong forms and surrogates), or
// 0 when the byte cannot start a sequence.
size_t SequenceLength(unsigned char lead, unsigned char &low, unsigned char &high)
{
    low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
    {
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4)
    {
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
        return 4;
    }
    return 0;
}

// UTF-8 to UTF-16. Each ill-formed part (a maximal subpart of a sequence, as Unicode
// recommends) becomes one U+FFFD, or fails the whole text when `strict`.
bool DecodeUtf8(std::u16string &out, const unsigned char *s, size_t n, bool strict)
{
    for (size_t i = 0; i < n;)
    {
        const unsigned char c = s[i];
        if (c < 0x80)
        {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        unsigned char low, high;
        const size_t length = SequenceLength(c, low, high);
        char32_t cp = length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        size_t used = 1;
        bool complete = length > 0;
        for (size_t k = 1; complete && k < length; ++k)
        {
            const unsigned char next = i + k < n ? s[i + k] : 0;
            const bool fits = i + k < n && (k == 1 ? next >= low && next <= high : (next & 0xC0) == 0x80);
            if (!fits)
                complete = false;
            else
            {
                cp = (cp << 6) | (next & 0x3F);
                ++used;
            }
        }
        i += used;
        if (!complete)
        {
            if (strict)
                return false;
            out += kReplacement;
            continue;
        }
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
        else
            out += static_cast<char16_t>(cp);
    }
    return true;
}

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80)
        out += static_cast<char>(cp);
    else if (cp < 0x800)
    {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The result into the caller's buffer: its size when asked (size 0), else as much as fits
// with ERROR_INSUFFICIENT_BUFFER when not all of it does.
template <class C> int Deliver(const std::basic_string<C> &result, C *buffer, int size)
{
    if (size == 0)
        return static_cast<int>(result.size());
    const size_t room = static_cast<size_t>(size);
    std::copy_n(result.data(), std::min(room, result.size()), buffer);
    if (result.size() > room)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(result.size());
}

int Refuse(DWORD error)
{
    SetLastError(error);
    return 0;
}
} // namespace

// MultiByteToWideChar: CP_ACP (1252; also CP_OEMCP, CP_MACCP, CP_THREAD_ACP and 1252 itself)
// and CP_UTF8. A length of -1 converts up to and with the NUL; an output size of 0 asks for
// the size needed; a buffer too small is filled as far as it goes and fails with
// ERROR_INSUFFICIENT_BUFFER. Ill-formed UTF-8 becomes U+FFFD (as Vista and later; XP dropped
// it), or fails with ERROR_NO_UNICODE_TRANSLATION under MB_ERR_INVALID_CHARS.
// Differs from Windows: other code pages (850, 437...) are ERROR_INVALID_PARAMETER, as on a
// PC without them; MB_COMPOSITE and MB_USEGLYPHCHARS are accepted and change nothing.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    const Page page = PageOf(CodePage);
    if (page == Page::Unknown || !lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        static_cast<const void *>(lpMultiByteStr) == static_cast<const void *>(lpWideCharStr))
        return Refuse(ERROR_INVALID_PARAMETER);
    const DWORD allowed = page == Page::Utf8
                              ? MB_ERR_INVALID_CHARS
                              : MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
    if ((dwFlags & ~allowed) || ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE)))
        return Refuse(ERROR_INVALID_FLAGS);
    const size_t length = cbMultiByte < 0 ? std::char_traits<char>::length(lpMultiByteStr) + 1
                                          : static_cast<size_t>(cbMultiByte);
    const auto *bytes = reinterpret_cast<const unsigned char *>(lpMultiByteStr);
    std::u16string wide;
    wide.reserve(length);
    if (page == Page::Utf8)
    {
        if (!DecodeUtf8(wide, bytes, length, (dwFlags & MB_ERR_INVALID_CHARS) != 0))
            return Refuse(ERROR_NO_UNICODE_TRANSLATION);
    }
    else
        for (size_t i = 0; i < length; ++i)
            wide += WideOf1252(bytes[i]);
    return Deliver(wide, lpWideCharStr, cchWideChar);
}

// WideCharToMultiByte: CP_ACP (1252, with the same aliases) and CP_UTF8. A character 1252
// cannot hold becomes the default character ('?' unless lpDefaultChar gives one) and sets
// *lpUsedDefaultChar; a lone surrogate becomes U+FFFD in UTF-8 (or fails under
// WC_ERR_INVALID_CHARS with ERROR_NO_UNICODE_TRANSLATION). For UTF-8 lpDefaultChar and
// lpUsedDefaultChar must be NULL (ERROR_INVALID_PARAMETER). Buffer sizes as MultiByteToWideChar.
// Differs from Windows: no best-fit mapping (U+0100 becomes '?', not 'A'), as if
// WC_NO_BEST_FIT_CHARS were always given; WC_COMPOSITECHECK and its companions change nothing.
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar)
{
    const Page page = PageOf(CodePage);
    if (page == Page::Unknown || !lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        static_cast<const void *>(lpMultiByteStr) == static_cast<const void *>(lpWideCharStr))
        return Refuse(ERROR_INVALID_PARAMETER);
    const DWORD allowed = page == Page::Utf8 ? WC_ERR_INVALID_CHARS
                                             : WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS |
                                                   WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS;
    if (dwFlags & ~allowed)
        return Refuse(ERROR_INVALID_FLAGS);
    if (page == Page::Utf8 && (lpDefaultChar || lpUsedDefaultChar))
        return Refuse(ERROR_INVALID_PARAMETER);
    const size_t length = cchWideChar < 0 ? std::char_traits<char16_t>::length(lpWideCharStr) + 1
                                          : static_cast<size_t>(cchWideChar);
    std::string out;
    out.reserve(length);
    bool usedDefault = false;
    for (size_t i = 0; i < length; ++i)
    {
        char32_t cp = lpWideCharStr[i];
        const bool high = cp >= 0xD800 && cp < 0xDC00;
        if (high && i + 1 < length && lpWideCharStr[i + 1] >= 0xDC00 && lpWideCharStr[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lpWideCharStr[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp < 0xE000)
        {
            if (page == Page::Utf8 && (dwFlags & WC_ERR_INVALID_CHARS))
                return Refuse(ERROR_NO_UNICODE_TRANSLATION);
            cp = kReplacement;
        }
        if (page == Page::Utf8)
        {
            AppendUtf8(out, cp);
            continue;
        }
        const int byte = ByteOf1252(cp);
        if (byte < 0)
        {
            usedDefault = true;
            out += lpDefaultChar ? *lpDefaultChar : '?';
        }
        else
            out += static_cast<char>(byte);
    }
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    return Deliver(out, lpMultiByteStr, cbMultiByte);
}

namespace
{
int Sign(int n)
{
    return n < 0 ? -1 : n > 0 ? 1 : 0;
}
} // namespace

// lstrcmpA: -1, 0 or 1 by byte value. Differs from Windows: Windows orders by its word sort
// (punctuation and accents weigh differently); equality is the same. NULL sorts first.
int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return lpString1 ? 1 : lpString2 ? -1 : 0;
    return Sign(std::string_view(lpString1).compare(lpString2));
}

// lstrcmpiA: as lstrcmpA with the case of the ANSI code page's letters (accented ones too)
// folded, as Windows folds names.
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return lpString1 ? 1 : lpString2 ? -1 : 0;
    return Sign(plat::CompareNoCase(lpString1, lpString2));
}

// lstrcpynA: copies at most iMaxLength - 1 characters and always ends the copy with a NUL (when
// iMaxLength is at least 1). NULL pointers give NULL, where Windows catches the fault.
LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    if (iMaxLength <= 0)
        return lpString1;
    int n = 0;
    while (n < iMaxLength - 1 && lpString2[n])
    {
        lpString1[n] = lpString2[n];
        ++n;
    }
    lpString1[n] = '\0';
    return lpString1;
}

// lstrlenA: the length up to the NUL; NULL is 0.
int WINAPI lstrlenA(LPCSTR lpString)
{
    return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}
