// GUID texts: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include "platform/core/lasterror.h"
#include "platform/core/text.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace
{
constexpr int kGuidTextLength = 38; // without the NUL

std::string TextOf(REFGUID guid)
{
    char text[kGuidTextLength + 1];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                  guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

bool ParseGuidText(LPCOLESTR text, GUID &guid)
{
    if (std::char_traits<char16_t>::length(text) != kGuidTextLength || text[0] != '{' || text[37] != '}' ||
        text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-')
        return false;
    uint64_t value;
    if (!plat::ReadHex(text + 1, 8, value))
        return false;
    guid.Data1 = static_cast<DWORD>(value);
    if (!plat::ReadHex(text + 10, 4, value))
        return false;
    guid.Data2 = static_cast<WORD>(value);
    if (!plat::ReadHex(text + 15, 4, value))
        return false;
    guid.Data3 = static_cast<WORD>(value);
    const int offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i)
    {
        if (!plat::ReadHex(text + offsets[i], 2, value))
            return false;
        guid.Data4[i] = static_cast<BYTE>(value);
    }
    return true;
}

// The GUID of a braced text; GUID_NULL when the text is not one.
bool ParseGuid(LPCOLESTR text, GUID &out)
{
    GUID guid;
    bool ok = ParseGuidText(text, guid);
    out = ok ? guid : GUID_NULL;
    return ok;
}

LPOLESTR TaskString(const std::string &ascii)
{
    auto *out = static_cast<LPOLESTR>(CoTaskMemAlloc((ascii.size() + 1) * sizeof(OLECHAR)));
    if (!out)
        return nullptr;
    for (size_t i = 0; i < ascii.size(); ++i)
        out[i] = static_cast<unsigned char>(ascii[i]);
    out[ascii.size()] = 0;
    return out;
}
} // namespace

// StringFromGUID2: the text with braces; returns its length with the NUL (39), or 0 when the
// buffer is too small.
int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (!lpsz || cchMax < kGuidTextLength + 1)
        return 0;
    std::string text = TextOf(rguid);
    for (int i = 0; i <= kGuidTextLength; ++i)
        lpsz[i] = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
    return kGuidTextLength + 1;
}

// StringFromCLSID / StringFromIID: the braced text in task memory (CoTaskMemFree).
HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR *lplpsz)
{
    if (!lplpsz)
        return E_INVALIDARG;
    *lplpsz = TaskString(TextOf(rclsid));
    return *lplpsz ? S_OK : E_OUTOFMEMORY;
}

HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR *lplpsz)
{
    return StringFromCLSID(rclsid, lplpsz);
}

// IIDFromString: the braced text only. NULL gives IID_NULL; a text of the wrong length
// E_INVALIDARG; other bad texts CO_E_IIDSTRING.
HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    if (!lpiid)
        return E_INVALIDARG;
    if (!lpsz)
    {
        *lpiid = IID_NULL;
        return S_OK;
    }
    if (std::char_traits<char16_t>::length(lpsz) != kGuidTextLength)
        return E_INVALIDARG;
    return ParseGuid(lpsz, *lpiid) ? S_OK : CO_E_IIDSTRING;
}

// CLSIDFromString: the braced text, or else a registered ProgID; CO_E_CLASSSTRING (and
// CLSID_NULL) when it is neither. NULL gives CLSID_NULL.
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    if (!pclsid)
        return E_INVALIDARG;
    if (!lpsz)
    {
        *pclsid = CLSID_NULL;
        return S_OK;
    }
    if (lpsz[0] == '{')
    {
        if (ParseGuid(lpsz, *pclsid))
            return S_OK;
        *pclsid = CLSID_NULL;
        return CO_E_CLASSSTRING;
    }
    HRESULT hr = CLSIDFromProgID(lpsz, pclsid);
    return SUCCEEDED(hr) ? hr : CO_E_CLASSSTRING;
}

// CoCreateGuid: a random (version 4) GUID.
HRESULT WINAPI CoCreateGuid(GUID *pguid)
{
    if (!pguid)
        return E_INVALIDARG;
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    uint64_t a = generator(), b = generator();
    pguid->Data1 = static_cast<DWORD>(a);
    pguid->Data2 = static_cast<WORD>(a >> 32);
    pguid->Data3 = static_cast<WORD>(((a >> 48) & 0x0FFF) | 0x4000);
    for (int i = 0; i < 8; ++i)
        pguid->Data4[i] = static_cast<BYTE>(b >> (8 * i));
    pguid->Data4[0] = static_cast<BYTE>((pguid->Data4[0] & 0x3F) | 0x80);
    return S_OK;
}

// CoTaskMemAlloc / CoTaskMemRealloc / CoTaskMemFree: task memory is the C heap; a zero size
// still gives a block.
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb)
{
    return std::malloc(cb ? cb : 1);
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    return std::realloc(pv, cb ? cb : 1);
}

void WINAPI CoTaskMemFree(LPVOID pv)
{
    std::free(pv);
}
