// The JSON writer.
#include "wizard/Json.h"

#include "platform/windows.h"

#include <cstdio>

namespace
{
// Windows 1252 to UTF-8, through UTF-16 as Windows converts.
std::string Utf8(std::string_view ansi)
{
    if (ansi.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::basic_string<WCHAR> ancho(static_cast<std::size_t>(n), WCHAR(0));
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), ancho.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, ancho.data(), n, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, ancho.data(), n, utf8.data(), m, nullptr, nullptr);
    return utf8;
}
} // namespace

std::string CJson::Cadena(std::string_view ansi)
{
    std::string cadena = "\"";
    for (const char c : Utf8(ansi))
    {
        switch (c)
        {
        case '"':
            cadena += "\\\"";
            break;
        case '\\':
            cadena += "\\\\";
            break;
        case '\n':
            cadena += "\\n";
            break;
        case '\r':
            cadena += "\\r";
            break;
        case '\t':
            cadena += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
            {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                cadena += escape;
            }
            else
                cadena += c;
        }
    }
    return cadena + "\"";
}

void CJson::Valor()
{
    if (m_trasClave)
    {
        m_trasClave = false;
        return;
    }
    if (!m_primero.empty())
    {
        if (!m_primero.back())
            m_texto += ',';
        m_primero.back() = false;
    }
}

CJson &CJson::Objeto()
{
    Valor();
    m_texto += '{';
    m_primero.push_back(true);
    return *this;
}

CJson &CJson::FinObjeto()
{
    m_texto += '}';
    m_primero.pop_back();
    return *this;
}

CJson &CJson::Lista()
{
    Valor();
    m_texto += '[';
    m_primero.push_back(true);
    return *this;
}

CJson &CJson::FinLista()
{
    m_texto += ']';
    m_primero.pop_back();
    return *this;
}

CJson &CJson::Clave(std::string_view nombre)
{
    Valor();
    m_texto += Cadena(nombre) + ':';
    m_trasClave = true;
    return *this;
}

CJson &CJson::Texto(std::string_view ansi)
{
    Valor();
    m_texto += Cadena(ansi);
    return *this;
}

CJson &CJson::Numero(long long valor)
{
    Valor();
    m_texto += std::to_string(valor);
    return *this;
}

CJson &CJson::Nulo()
{
    Valor();
    m_texto += "null";
    return *this;
}
