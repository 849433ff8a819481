// CComError: the error object of the kit's COM call wrappers.
#include "common/param/ComError.h"

#include <cstdio>

namespace
{
std::string SystemText(HRESULT hr)
{
    LPSTR buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text;
    if (length && buffer)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
    {
        char unknown[40];
        std::snprintf(unknown, sizeof unknown, "Error desconocido 0x%08X", static_cast<unsigned>(hr));
        text = unknown;
    }
    return text;
}
} // namespace

CComError::CComError(HRESULT hr, REFIID iid) : m_hr(hr), m_iid(iid), m_text(SystemText(hr)) {}

void ThrowComError(HRESULT hr, REFIID iid)
{
    throw CComError(hr, iid);
}
