#include "uninstall/Cadenas.h"

#include <cstdio>

namespace
{
constexpr DWORD kTamTexto = 260;
const char *const kClaves[] = {
    "IDS_UNINSTALL_ATENCION",       "IDS_UNINSTALL_APLICACION",  "IDS_UNINSTALL_NO_INSTALL_LOG",
    "IDS_UNINSTALL_SO_CORRECTO",    "IDS_UNINSTALL_NOADMIN",     "IDS_UNINSTALL_APLICACION_EN_USO",
    "IDS_UNINSTALL_CONFIRMARDES",   "IDS_UNINSTALL_RUNONCE",     "IDS_UNINSTALL_CERRAR_APLICACION",
    "IDS_UNINSTALL_DESREGISTRANDO", "IDS_UNINSTALL_BORRANDOFIC", "IDS_UNINSTALL_BORRANDOREG",
    "IDS_UNINSTALL_NODESINSTALADO", "IDS_UNINSTALL_REINICIOWIN"};

bool Existe(const std::string &fichero)
{
    return GetFileAttributesA(fichero.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "UNS_" and the language's two numbers in hexadecimal; the neutral file has sublanguage 00.
std::string Nombre(const std::string &carpeta, unsigned primario, unsigned sub)
{
    char nombre[MAX_PATH * 2];
    std::snprintf(nombre, sizeof nombre, "%s\\%s%02x%02x.%s", carpeta.c_str(), CCadenas::kPrefijo, primario,
                  sub, "ini");
    return nombre;
}
} // namespace

bool CCadenas::Cargar(const std::string &carpeta, LANGID idioma)
{
    const unsigned primario = idioma & 0x3FF, sub = idioma >> 10;
    for (const std::string &candidato :
         {Nombre(carpeta, primario, sub), Nombre(carpeta, primario, 0), carpeta + "\\" + kEspanol})
        if (Existe(candidato))
        {
            m_fichero = candidato;
            m_textos.clear();
            for (const char *clave : kClaves)
                m_textos[clave] = Leer(clave);
            return true;
        }
    return false;
}

std::string CCadenas::Texto(const char *clave) const
{
    const auto leido = m_textos.find(clave);
    return leido != m_textos.end() ? leido->second : Leer(clave);
}

std::string CCadenas::Leer(const char *clave) const
{
    char texto[kTamTexto] = "";
    GetPrivateProfileStringA("cadenas", clave, "", texto, kTamTexto, m_fichero.c_str());
    std::string resultado;
    for (const char *c = texto; *c; ++c)
    {
        if (c[0] == '\\' && c[1] == 'n')
        {
            resultado += '\n';
            ++c;
        }
        else
            resultado += *c;
    }
    return resultado;
}
