#include "platform/core/text.h"
#include "platform/core/lasterror.h"
#include "platform/kit/kitconsole.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace
{
// Unicode code points of bytes 0x80-0x9F in Windows 1252 (0 where the byte is undefined).
constexpr char16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t CodePointOf1252(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0)
        return kHigh1252[c - 0x80] ? kHigh1252[c - 0x80] : c;
    return c;
}

int ByteOfCodePoint(uint32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100))
        return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh1252[i] == cp)
            return 0x80 + i;
    if (cp >= 0x80 && cp < 0xA0 && kHigh1252[cp - 0x80] == 0)
        return static_cast<int>(cp);
    return -1;
}

void AppendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80)
        out += static_cast<char>(cp);
    else if (cp < 0x800)
    {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
} // namespace

namespace plat
{
unsigned char Upper1252(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 0x20);
    switch (c)
    {
    case 0x9A: // š
        return 0x8A;
    case 0x9C: // œ
        return 0x8C;
    case 0x9E: // ž
        return 0x8E;
    case 0xFF: // ÿ
        return 0x9F;
    default:
        return c;
    }
}

std::string Upper1252(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(Upper1252(static_cast<unsigned char>(c)));
    return out;
}

unsigned char Lower1252(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 0x20);
    switch (c)
    {
    case 0x8A: // Š
        return 0x9A;
    case 0x8C: // Œ
        return 0x9C;
    case 0x8E: // Ž
        return 0x9E;
    case 0x9F: // Ÿ
        return 0xFF;
    default:
        return c;
    }
}

std::string Lower1252(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(Lower1252(static_cast<unsigned char>(c)));
    return out;
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
    {
        int ca = Upper1252(static_cast<unsigned char>(a[i]));
        int cb = Upper1252(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

std::string Utf8From1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        AppendUtf8(out, CodePointOf1252(static_cast<unsigned char>(c)));
    return out;
}

std::string Cp1252FromUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80)
            cp = c, len = 1;
        else if ((c & 0xE0) == 0xC0)
            cp = c & 0x1F, len = 2;
        else if ((c & 0xF0) == 0xE0)
            cp = c & 0x0F, len = 3;
        else if ((c & 0xF8) == 0xF0)
            cp = c & 0x07, len = 4;
        else
        {
            out += '?';
            ++i;
            continue;
        }
        if (i + len > text.size())
        {
            out += '?';
            break;
        }
        bool valid = true;
        for (size_t k = 1; k < len; ++k)
        {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            valid = valid && (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        int byte = valid ? ByteOfCodePoint(cp) : -1;
        out += byte < 0 ? '?' : static_cast<char>(byte);
        i += valid ? len : 1;
    }
    return out;
}

BOOL CopyNameOut(std::string_view text, LPSTR buffer, LPDWORD size, DWORD tooSmallError, bool countTerminator)
{
    if (!size)
        return Fail(ERROR_INVALID_PARAMETER);
    const DWORD needed = static_cast<DWORD>(text.size()) + 1;
    if (!buffer || *size < needed)
    {
        *size = needed;
        return Fail(tooSmallError);
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    *size = countTerminator ? needed : needed - 1;
    return TRUE;
}
} // namespace plat

namespace kitpc
{
std::string TerminalText(std::string_view pcText)
{
    return plat::Utf8From1252(pcText);
}

std::string PcText(std::string_view terminalText)
{
    return plat::Cp1252FromUtf8(terminalText);
}
} // namespace kitpc
