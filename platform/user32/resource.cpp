// LoadStringA: strings of a module's string table (RT_STRING blocks of sixteen, id / 16 + 1,
// each string its UTF-16 length and characters), turned into the ANSI code page.
#include "platform/core/lasterror.h"

#include <algorithm>

namespace
{
// The UTF-16 string `index` of a block, or false when the block is cut short.
bool StringOfBlock(const BYTE *data, DWORD size, unsigned index, const WCHAR *&text, WORD &length)
{
    DWORD at = 0;
    for (unsigned i = 0;; ++i)
    {
        if (at + 2 > size)
            return false;
        length = static_cast<WORD>(data[at] | data[at + 1] << 8);
        at += 2;
        if (at + length * 2u > size)
            return false;
        if (i == index)
        {
            text = reinterpret_cast<const WCHAR *>(data + at);
            return true;
        }
        at += length * 2u;
    }
}
} // namespace

// LoadStringA: copies string uID of the module's string table into the buffer, at most
// cchBufferMax - 1 characters and a NUL; returns the characters copied. A missing or empty
// string gives 0 and an empty buffer (ERROR_RESOURCE_NAME_NOT_FOUND, or the error of
// FindResourceA when the block is missing). Differs from Windows: cchBufferMax 0 (the
// read-only pointer form LoadStringW offers) is ERROR_INVALID_PARAMETER.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax <= 0)
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = '\0';
    HRSRC block = FindResourceA(hInstance, MAKEINTRESOURCEA(uID / 16 + 1), RT_STRING);
    if (!block)
        return 0;
    const auto *data = static_cast<const BYTE *>(LockResource(LoadResource(hInstance, block)));
    const WCHAR *text = nullptr;
    WORD length = 0;
    if (!data || !StringOfBlock(data, SizeofResource(hInstance, block), uID % 16, text, length) ||
        length == 0)
    {
        plat::Fail(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const int count = std::min<int>(length, cchBufferMax - 1);
    if (count > 0)
        WideCharToMultiByte(CP_ACP, 0, text, count, lpBuffer, count, nullptr, nullptr);
    lpBuffer[count] = '\0';
    return count;
}
