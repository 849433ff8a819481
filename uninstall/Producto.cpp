#include "uninstall/Producto.h"
#include "platform/windows.h"

#include <cstdio>

namespace
{
constexpr DWORD kTam = 260;
constexpr char kConfig[] = ".\\config.ini";

bool LeerClave(const char *clave, std::string &valor)
{
    // A sentinel no real value holds tells an absent key from an empty one.
    constexpr char kAusente[] = "\x01";
    char texto[kTam] = "";
    GetPrivateProfileStringA("General", clave, kAusente, texto, kTam, kConfig);
    if (std::string(texto) == kAusente)
        return false;
    valor = texto;
    return true;
}

bool LeerCarpetaDeProgramas(std::string &carpeta)
{
    HKEY clave = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ,
                      &clave) != ERROR_SUCCESS)
        return false;
    char texto[MAX_PATH] = "";
    DWORD tam = sizeof texto - 1, tipo = 0;
    const LONG rc =
        RegQueryValueExA(clave, "ProgramFilesDir", nullptr, &tipo, reinterpret_cast<BYTE *>(texto), &tam);
    RegCloseKey(clave);
    if (rc != ERROR_SUCCESS || (tipo != REG_SZ && tipo != REG_EXPAND_SZ))
        return false;
    carpeta = texto;
    return true;
}
} // namespace

bool CProducto::Leer()
{
    if (!LeerClave("Nemonico", nemonico) || !LeerClave("Mutex", mutex) || !LeerClave("Registro", registro) ||
        !LeerClave("Ayuda", ayuda))
        return false;
    char clave[kTam * 2];
    std::snprintf(clave, sizeof clave, "%s\\%s", kClaveFabricante, registro.c_str());
    claveProducto = clave;
    std::string programas;
    if (!LeerCarpetaDeProgramas(programas))
        return false;
    carpetaCompartida = programas + "\\Nuv\\Dax";
    return carpetaCompartida.size() < MAX_PATH;
}
