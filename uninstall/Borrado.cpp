#include "uninstall/Borrado.h"
#include "platform/windows.h"

#include <vector>

std::string CarpetaTemporal()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    std::string carpeta = temp;
    if (carpeta.empty() || (carpeta.back() != '\\' && carpeta.back() != '/'))
        carpeta += '\\';
    return carpeta;
}

bool EscribirFichero(const std::string &fichero, const void *datos, size_t tam)
{
    const HANDLE h = CreateFileA(fichero.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD escritos = 0;
    const bool ok = WriteFile(h, datos, static_cast<DWORD>(tam), &escritos, nullptr) && escritos == tam;
    CloseHandle(h);
    return ok;
}

namespace
{
// Wininit.ini with the line just after its [rename] header (the section added at the end when
// missing).
std::string ConLineaDeBorrado(const std::string &ini, const std::string &linea)
{
    std::string texto = ini;
    size_t cabecera = std::string::npos;
    for (size_t inicio = 0; inicio < texto.size();)
    {
        size_t fin = texto.find('\n', inicio);
        if (fin == std::string::npos)
            fin = texto.size();
        std::string actual = texto.substr(inicio, fin - inicio);
        if (!actual.empty() && actual.back() == '\r')
            actual.pop_back();
        if (lstrcmpiA(actual.c_str(), "[rename]") == 0)
        {
            cabecera = fin;
            break;
        }
        inicio = fin + 1;
    }
    if (cabecera == std::string::npos)
    {
        if (!texto.empty() && texto.back() != '\n')
            texto += "\r\n";
        return texto + "[rename]\r\n" + linea + "\r\n";
    }
    if (cabecera == texto.size())
        return texto + "\r\n" + linea + "\r\n";
    return texto.insert(cabecera + 1, linea + "\r\n");
}
} // namespace

std::optional<std::string> LeerFichero(const std::string &fichero)
{
    const HANDLE h = CreateFileA(fichero.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string texto;
    char bloque[4096];
    DWORD leidos = 0;
    while (ReadFile(h, bloque, sizeof bloque, &leidos, nullptr) && leidos > 0)
        texto.append(bloque, leidos);
    CloseHandle(h);
    return texto;
}

std::string RutaCorta(const std::string &ruta)
{
    char corta[MAX_PATH] = "";
    const DWORD n = GetShortPathNameA(ruta.c_str(), corta, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(corta) : ruta;
}

bool MismaRuta(const std::string &a, const std::string &b)
{
    return lstrcmpiA(RutaCorta(a).c_str(), RutaCorta(b).c_str()) == 0;
}

bool BorrarAlReiniciar9x(const std::string &fichero)
{
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string ini = std::string(windows) + "\\Wininit.ini";
    // Through a temporary copy, so a half-written Wininit.ini is never left for the next start.
    char temporal[MAX_PATH] = "";
    if (!GetTempFileNameA(CarpetaTemporal().c_str(), "win", 0, temporal))
        return false;
    const std::string texto = ConLineaDeBorrado(LeerFichero(ini).value_or(""), "NUL=" + RutaCorta(fichero));
    const bool ok =
        EscribirFichero(temporal, texto.data(), texto.size()) && CopyFileA(temporal, ini.c_str(), FALSE);
    DeleteFileA(temporal);
    return ok;
}

bool BorrarFichero(const std::string &fichero, bool esNt)
{
    if (fichero.empty() || DeleteFileA(fichero.c_str()))
        return true;
    switch (GetLastError())
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return true;
    case ERROR_ACCESS_DENIED:
        return esNt ? MoveFileExA(fichero.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE
                    : BorrarAlReiniciar9x(fichero);
    default:
        return false;
    }
}

void BorrarArbol(const std::string &carpeta)
{
    WIN32_FIND_DATAA datos;
    const HANDLE busqueda = FindFirstFileA((carpeta + "\\*").c_str(), &datos);
    if (busqueda != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string nombre = datos.cFileName;
            if (nombre == "." || nombre == "..")
                continue;
            const std::string ruta = carpeta + "\\" + nombre;
            if (datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                BorrarArbol(ruta);
            else
                DeleteFileA(ruta.c_str());
        } while (FindNextFileA(busqueda, &datos));
        FindClose(busqueda);
    }
    RemoveDirectoryA(carpeta.c_str());
}
