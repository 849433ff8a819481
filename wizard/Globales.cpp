// The library's module, texts and settings file.
#include "wizard/Globales.h"
#include "wizard/DatosAsistente.h"

#include "comun/Profile.h"
#include "comun/Sis.h"
#include "outside/qelapli/ApliKIT.h"

#include <cstdio>

namespace
{
// Every text of the string table is read through a buffer of this size.
constexpr int kTamanoCadena = 260;
constexpr char kClaveBase[] = "SOFTWARE\\NUV\\DAX\\";

HMODULE g_hModulo = nullptr;
} // namespace

namespace asistente
{
void FijarModulo(HMODULE hModulo)
{
    g_hModulo = hModulo;
}

HMODULE Modulo()
{
    return g_hModulo;
}

CModKIT &ModuloKit()
{
    // Made at the first use, once the module is known, and kept while the library is loaded.
    static CModKIT modulo;
    return modulo;
}

CDatosAsistente &Datos()
{
    static CDatosAsistente datos;
    return datos;
}

std::string Cadena(UINT id)
{
    char buffer[kTamanoCadena];
    LoadStringA(g_hModulo, id, buffer, kTamanoCadena);
    return buffer;
}

std::string CadenaCon(UINT id, const std::string &valor)
{
    const std::string formato = Cadena(id);
    const std::string::size_type at = formato.find("%s");
    if (at == std::string::npos)
        return formato;
    return formato.substr(0, at) + valor + formato.substr(at + 2);
}

std::string Directorio()
{
    std::string dir;
    CSis::VerDirModulo(g_hModulo, dir);
    return dir;
}

std::string FicheroConfig()
{
    return Directorio() + "\\Config.ini";
}

bool LeerConfig(LPCSTR seccion, LPCSTR clave, std::string &valor)
{
    valor.clear();
    CProfile perfil;
    if (FAILED(perfil.Open(FicheroConfig().c_str(), CProfile::modoSoloLectura)) ||
        FAILED(perfil.FijarSeccion(seccion)) || FAILED(perfil.VerValor(clave, valor)))
    {
        valor.clear();
        return false;
    }
    return !valor.empty();
}

std::string ClaveRegistro()
{
    std::string registro;
    LeerConfig("General", "Registro", registro);
    return kClaveBase + registro;
}

namespace
{
DWORD Plataforma()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(&version) ? version.dwPlatformId : 0;
}
} // namespace

bool EsNT()
{
    return Plataforma() == VER_PLATFORM_WIN32_NT;
}

bool Es9x()
{
    return Plataforma() == VER_PLATFORM_WIN32_WINDOWS;
}

bool Lanzar(const std::string &orden)
{
    std::string linea = orden;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, linea.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}
} // namespace asistente
