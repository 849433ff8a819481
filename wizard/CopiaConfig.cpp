// The router's configuration kept around a firmware update.
#include "wizard/CopiaConfig.h"
#include "wizard/Ficheros.h"
#include "wizard/Globales.h"

#include "platform/windows.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace
{
constexpr char kCarpetaCopias[] = "Copias";

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
    std::string contenido;
    if (!LeerFichero(fichero, contenido))
        return std::nullopt;
    const std::vector<AjusteRouter> ajustes = AjustesDelRouter(contenido);
    return AjustesRouter(ajustes.begin(), ajustes.end());
}
} // namespace asistente
