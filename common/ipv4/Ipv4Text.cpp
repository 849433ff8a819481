#include "common/ipv4/Ipv4Text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ipv4
{
bool IsValidText(const char *pszText)
{
    if (!pszText || !*pszText)
        return false;
    size_t parts = 0, digits = 0, partLength = 0;
    int value = 0;
    for (const char *p = pszText;; ++p)
    {
        if (*p == '.' || *p == '\0')
        {
            if (partLength == 0 || partLength > 3 || value > 255)
                return false;
            ++parts;
            digits += partLength;
            partLength = 0;
            value = 0;
            if (*p == '\0')
                break;
            continue;
        }
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
        ++partLength;
        if (partLength > 3)
            return false;
    }
    return parts == 4 && std::strlen(pszText) == digits + 3;
}

DWORD ValueOf(const char *pszText)
{
    DWORD value = 0;
    const char *field = pszText;
    for (int i = 0; i < 4; ++i)
    {
        value = (value << 8) | (static_cast<DWORD>(std::atoi(field ? field : "0")) & 0xFF);
        field = field ? std::strchr(field, '.') : nullptr;
        if (field)
            ++field;
    }
    return value;
}

std::string TextOf(DWORD dwValue)
{
    char text[16];
    const unsigned value = dwValue;
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (value >> 24) & 0xFF, (value >> 16) & 0xFF,
                  (value >> 8) & 0xFF, value & 0xFF);
    return text;
}
} // namespace ipv4
