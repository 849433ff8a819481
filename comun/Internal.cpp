// Helpers shared by the library's sources.
#include "comun/Internal.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace comun
{
HRESULT HResultUltimoError()
{
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

char Mayuscula1252(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7))
        return static_cast<char>(u - 0x20);
    switch (u)
    {
    case 0x9A: // š
    case 0x9C: // œ
    case 0x9E: // ž
        return static_cast<char>(u - 0x10);
    case 0xFF: // ÿ
        return static_cast<char>(0x9F);
    default:
        return c;
    }
}

std::string Mayusculas1252(std::string_view texto)
{
    std::string out(texto);
    for (char &c : out)
        c = Mayuscula1252(c);
    return out;
}

bool IgualSinCaso(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Mayuscula1252(a[i]) != Mayuscula1252(b[i]))
            return false;
    return true;
}

WString AnsiAUtf16(std::string_view texto)
{
    if (texto.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, texto.data(), static_cast<int>(texto.size()), nullptr, 0);
    WString out(static_cast<size_t>(length > 0 ? length : 0), OLESTR('\0'));
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, texto.data(), static_cast<int>(texto.size()), out.data(), length);
    return out;
}

std::string Utf16AAnsi(WStringView texto)
{
    if (texto.empty())
        return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, texto.data(), static_cast<int>(texto.size()), nullptr,
                                           0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, texto.data(), static_cast<int>(texto.size()), out.data(), length,
                            nullptr, nullptr);
    return out;
}

HRESULT FormatearMensaje(const std::string &patron, va_list *args, std::string &texto)
{
    texto.clear();
    LPSTR buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                        patron.c_str(), 0, 0, reinterpret_cast<LPSTR>(&buffer), 0, args);
    if (length == 0 && !buffer)
        return HResultUltimoError();
    texto.assign(buffer, length);
    LocalFree(buffer);
    return S_OK;
}

std::string Formato(const char *formato, ...)
{
    va_list args;
    va_start(args, formato);
    va_list copia;
    va_copy(copia, args);
    const int length = std::vsnprintf(nullptr, 0, formato, copia);
    va_end(copia);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        std::vsnprintf(out.data(), out.size() + 1, formato, args);
    va_end(args);
    return out;
}
} // namespace comun
