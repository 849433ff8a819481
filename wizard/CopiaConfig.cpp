// The router's configuration kept around a firmware update.
#include "wizard/CopiaConfig.h"
#include "wizard/Globales.h"

#include "platform/windows.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace
{
constexpr char kCarpetaCopias[] = "Copias";

std::string_view Recortar(std::string_view texto)
{
    const auto inicio = texto.find_first_not_of(" \t\r");
    if (inicio == std::string_view::npos)
        return {};
    const auto fin = texto.find_last_not_of(" \t\r");
    return texto.substr(inicio, fin - inicio + 1);
}

// The whole file; nothing when it cannot be read.
std::optional<std::string> LeerFichero(const std::string &fichero)
{
    HANDLE h = CreateFileA(fichero.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string contenido;
    char bloque[4096];
    DWORD leidos = 0;
    BOOL bOk;
    while ((bOk = ReadFile(h, bloque, sizeof bloque, &leidos, nullptr)) && leidos > 0)
        contenido.append(bloque, leidos);
    CloseHandle(h);
    if (!bOk)
        return std::nullopt;
    return contenido;
}
} // namespace

namespace asistente
{
std::string NuevaCopiaConfig()
{
    const std::string carpeta = Directorio() + "\\" + kCarpetaCopias;
    // Already there from an earlier update, or not makeable: the download says which.
    CreateDirectoryA(carpeta.c_str(), nullptr);
    SYSTEMTIME ahora{};
    GetLocalTime(&ahora);
    char nombre[64];
    std::snprintf(nombre, sizeof nombre, "rom-t-%04u%02u%02u-%02u%02u%02u.cfg", ahora.wYear, ahora.wMonth,
                  ahora.wDay, ahora.wHour, ahora.wMinute, ahora.wSecond);
    return carpeta + "\\" + nombre;
}

std::string TemporalConfig()
{
    char carpeta[MAX_PATH] = "";
    char fichero[MAX_PATH] = "";
    if (!GetTempPathA(sizeof carpeta, carpeta) || !GetTempFileNameA(carpeta, "cfg", 0, fichero))
        return {};
    return fichero;
}

std::optional<AjustesRouter> LeerAjustesRouter(const std::string &fichero)
{
    const std::optional<std::string> contenido = LeerFichero(fichero);
    if (!contenido)
        return std::nullopt;
    AjustesRouter ajustes;
    std::string_view resto = *contenido;
    while (!resto.empty())
    {
        const auto salto = resto.find('\n');
        const std::string_view linea = resto.substr(0, salto);
        resto = salto == std::string_view::npos ? std::string_view() : resto.substr(salto + 1);
        const auto igual = linea.find('=');
        if (igual == std::string_view::npos)
            continue;
        const std::string_view codigo = Recortar(linea.substr(0, igual));
        // Only numbered lines are settings; the rest is the router's comments.
        if (codigo.empty() ||
            !std::all_of(codigo.begin(), codigo.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        ajustes[std::string(codigo)] = std::string(Recortar(linea.substr(igual + 1)));
    }
    return ajustes;
}
} // namespace asistente
