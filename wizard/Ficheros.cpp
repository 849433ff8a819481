// Whole files and the router's settings.
#include "wizard/Ficheros.h"

#include "platform/windows.h"

#include <algorithm>

namespace asistente
{
namespace
{
std::string_view Recortar(std::string_view texto)
{
    const auto inicio = texto.find_first_not_of(" \t\r\n");
    if (inicio == std::string_view::npos)
        return {};
    const auto fin = texto.find_last_not_of(" \t\r\n");
    return texto.substr(inicio, fin - inicio + 1);
}

bool EsCodigo(std::string_view codigo)
{
    return !codigo.empty() &&
           std::all_of(codigo.begin(), codigo.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

bool LeerFichero(const std::string &ruta, std::string &bytes)
{
    bytes.clear();
    const HANDLE h = CreateFileA(ruta.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    char bloque[16384];
    DWORD leidos = 0;
    bool bien = true;
    while ((bien = ReadFile(h, bloque, sizeof bloque, &leidos, nullptr) != FALSE) && leidos > 0)
        bytes.append(bloque, leidos);
    CloseHandle(h);
    return bien;
}

bool EscribirFichero(const std::string &ruta, const std::string &bytes)
{
    const HANDLE h =
        CreateFileA(ruta.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD escritos = 0;
    const bool bien = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &escritos, nullptr) &&
                      escritos == bytes.size();
    const DWORD error = GetLastError();
    CloseHandle(h);
    SetLastError(error);
    return bien;
}

CCarpetaAuxiliar::CCarpetaAuxiliar(const std::string &prefijo)
{
    char temporal[MAX_PATH] = "";
    const DWORD n = GetTempPathA(sizeof temporal, temporal);
    if (n == 0 || n >= sizeof temporal)
        return;
    m_ruta = std::string(temporal) + prefijo + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(GetTickCount());
    if (!CreateDirectoryA(m_ruta.c_str(), nullptr))
        m_ruta.clear();
}

CCarpetaAuxiliar::~CCarpetaAuxiliar()
{
    if (m_ruta.empty())
        return;
    WIN32_FIND_DATAA datos{};
    const HANDLE busqueda = FindFirstFileA((m_ruta + "\\*").c_str(), &datos);
    if (busqueda != INVALID_HANDLE_VALUE)
    {
        do
            if (!(datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA(Fichero(datos.cFileName).c_str());
        while (FindNextFileA(busqueda, &datos));
        FindClose(busqueda);
    }
    RemoveDirectoryA(m_ruta.c_str());
}

std::vector<AjusteRouter> AjustesDelRouter(std::string_view texto)
{
    std::vector<AjusteRouter> ajustes;
    while (!texto.empty())
    {
        const auto salto = texto.find('\n');
        const std::string_view linea = texto.substr(0, salto);
        texto = salto == std::string_view::npos ? std::string_view() : texto.substr(salto + 1);
        const auto igual = linea.find('=');
        if (igual == std::string_view::npos)
            continue;
        const std::string_view codigo = Recortar(linea.substr(0, igual));
        if (EsCodigo(codigo))
            ajustes.emplace_back(std::string(codigo), std::string(Recortar(linea.substr(igual + 1))));
    }
    return ajustes;
}
} // namespace asistente
