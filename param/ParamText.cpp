// Texts of the parameter objects and the address checks of TcpipParam::Validate.
#include "param/ParamText.h"

#include <string_view>

ParamText TextOf(BSTR bstrText)
{
    if (!bstrText)
        return {};
    return ParamText(bstrText, SysStringLen(bstrText));
}

HRESULT ReturnText(const ParamText &text, BSTR *pbstr)
{
    if (!pbstr)
        return E_POINTER;
    *pbstr = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *pbstr ? S_OK : E_OUTOFMEMORY;
}

namespace
{
constexpr size_t kParts = 4;
constexpr size_t kMaxDigits = 3;
} // namespace

bool ParseIPv4(const ParamText &text, DWORD *pdwAddress)
{
    DWORD address = 0;
    size_t parts = 0;
    WStringView rest = text;
    while (parts < kParts)
    {
        const size_t end = parts + 1 < kParts ? rest.find(OLESTR('.')) : rest.size();
        if (end == WStringView::npos)
            return false;
        const WStringView part = rest.substr(0, end);
        if (part.empty() || part.size() > kMaxDigits)
            return false;
        DWORD value = 0;
        for (WCHAR unit : part)
        {
            if (unit < OLESTR('0') || unit > OLESTR('9'))
                return false;
            value = value * 10 + (unit - OLESTR('0'));
        }
        if (value > 255)
            return false;
        address = (address << 8) | value;
        ++parts;
        rest.remove_prefix(end == rest.size() ? end : end + 1);
    }
    if (pdwAddress)
        *pdwAddress = address;
    return true;
}

bool IsZeroIPv4(const ParamText &text)
{
    DWORD address = 0;
    return ParseIPv4(text, &address) && address == 0;
}

bool IsHostIPv4(const ParamText &text)
{
    DWORD address = 0;
    if (!ParseIPv4(text, &address))
        return false;
    const DWORD first = address >> 24;
    return first >= 1 && first <= 223 && first != 127;
}

bool IsSubnetMask(const ParamText &text)
{
    DWORD mask = 0;
    if (!ParseIPv4(text, &mask) || mask == 0)
        return false;
    // Contiguous ones from the left: the inverted mask plus one is a power of two.
    const DWORD hosts = ~mask;
    return (hosts & (hosts + 1)) == 0;
}
