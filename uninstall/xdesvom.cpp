// xdesvom: the uninstaller's clean-up program, started at the next start of Windows from
// RunOnce with one path: a folder is removed with everything under it, anything else is
// deleted as a file. What cannot go stays; the exit code is always 0.
#include "uninstall/Borrado.h"
#include "platform/windows.h"

#include <string>

namespace
{
bool EsCarpeta(const std::string &ruta)
{
    const DWORD atributos = GetFileAttributesA(ruta.c_str());
    return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY);
}

// The one argument, without the quotes a path with blanks may come in.
std::string Argumento(const char *linea)
{
    std::string ruta = linea ? linea : "";
    const auto inicio = ruta.find_first_not_of(" \t");
    if (inicio == std::string::npos)
        return {};
    ruta = ruta.substr(inicio, ruta.find_last_not_of(" \t") - inicio + 1);
    if (ruta.size() >= 2 && ruta.front() == '"' && ruta.back() == '"')
        ruta = ruta.substr(1, ruta.size() - 2);
    return ruta;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    const std::string ruta = Argumento(lpCmdLine);
    if (ruta.empty())
        return 0;
    if (EsCarpeta(ruta))
        BorrarArbol(ruta);
    else
        DeleteFileA(ruta.c_str());
    return 0;
}
