#include "uninstall/Registro.h"
#include "uninstall/Borrado.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace
{
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

// A key open for as long as the object lives.
class CClave
{
  public:
    CClave(HKEY raiz, const std::string &ruta, REGSAM acceso = KEY_ALL_ACCESS)
    {
        if (RegOpenKeyExA(raiz, ruta.c_str(), 0, acceso, &m_clave) != ERROR_SUCCESS)
            m_clave = nullptr;
    }
    ~CClave()
    {
        if (m_clave)
            RegCloseKey(m_clave);
    }
    CClave(const CClave &) = delete;
    CClave &operator=(const CClave &) = delete;
    HKEY get() const { return m_clave; }

  private:
    HKEY m_clave = nullptr;
};

// The SharedDlls value that names the library, compared by short path.
std::optional<std::pair<std::string, DWORD>> BuscarCompartida(HKEY shared, const std::string &dll)
{
    const std::string buscada = RutaCorta(dll);
    for (DWORD i = 0;; ++i)
    {
        char nombre[MAX_PATH * 2];
        DWORD tamNombre = sizeof nombre, tipo = 0, cuenta = 0, tamDatos = sizeof cuenta;
        const LONG rc = RegEnumValueA(shared, i, nombre, &tamNombre, nullptr, &tipo,
                                      reinterpret_cast<BYTE *>(&cuenta), &tamDatos);
        if (rc == ERROR_NO_MORE_ITEMS)
            return std::nullopt;
        if (rc != ERROR_SUCCESS)
            continue;
        if (lstrcmpiA(RutaCorta(nombre).c_str(), buscada.c_str()) == 0)
            return std::make_pair(std::string(nombre, tamNombre), tipo == REG_DWORD ? cuenta : 0);
    }
}

bool NombreDeRaiz(const std::string &nombre, HKEY &raiz)
{
    static const std::pair<const char *, HKEY> kRaices[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},      {"HKEY_USERS", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA}};
    for (const auto &[texto, clave] : kRaices)
        if (nombre == texto)
        {
            raiz = clave;
            return true;
        }
    return false;
}

std::vector<std::string> Partes(const std::string &ruta)
{
    std::vector<std::string> partes;
    size_t inicio = 0;
    while (inicio <= ruta.size())
    {
        size_t fin = ruta.find('\\', inicio);
        if (fin == std::string::npos)
            fin = ruta.size();
        if (fin > inicio)
            partes.push_back(ruta.substr(inicio, fin - inicio));
        inicio = fin + 1;
    }
    return partes;
}

// A key an uninstall may delete with everything under it: never a root, a key straight under
// one (SOFTWARE, SYSTEM...), the keys Windows and COM live in, or the maker's key and those
// above it, which hold other products.
bool SePuedeBorrarEntera(const std::string &ruta)
{
    const std::vector<std::string> partes = Partes(ruta);
    if (partes.size() < 2)
        return false;
    std::string normal;
    for (const std::string &parte : partes)
        normal += (normal.empty() ? "" : "\\") + parte;
    for (const char *protegida :
         {"Software\\Microsoft", "Software\\Classes", "Software\\Microsoft\\Windows",
          "Software\\Microsoft\\Windows\\CurrentVersion", "Software\\Nuv", "Software\\Nuv\\Dax"})
        if (lstrcmpiA(normal.c_str(), protegida) == 0)
            return false;
    return true;
}

void BorrarSubclaves(HKEY raiz, const std::string &ruta)
{
    std::vector<std::string> hijas;
    {
        CClave clave(raiz, ruta);
        if (!clave.get())
            return;
        char nombre[MAX_PATH];
        for (DWORD i = 0;; ++i)
        {
            DWORD tam = sizeof nombre;
            if (RegEnumKeyExA(clave.get(), i, nombre, &tam, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            hijas.emplace_back(nombre, tam);
        }
    }
    for (const std::string &hija : hijas)
    {
        BorrarSubclaves(raiz, ruta + "\\" + hija);
        RegDeleteKeyA(raiz, (ruta + "\\" + hija).c_str());
    }
}

bool Vacia(HKEY raiz, const std::string &ruta)
{
    CClave clave(raiz, ruta, KEY_READ);
    DWORD subclaves = 1, valores = 1;
    return clave.get() &&
           RegQueryInfoKeyA(clave.get(), nullptr, nullptr, nullptr, &subclaves, nullptr, nullptr, &valores,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subclaves == 0 && valores == 0;
}

// The old value as the record's kind stores it; false for a kind that is left alone.
bool DatosDeTipo(const CRegistroLog &r, DWORD &tipo, std::vector<BYTE> &datos)
{
    const std::string &t = r.anterior;
    switch (r.tipo)
    {
    case 0:
    case 1:
    case 2:
        tipo = r.tipo == 0 ? REG_SZ : r.tipo == 1 ? REG_EXPAND_SZ : REG_MULTI_SZ;
        datos.assign(t.begin(), t.end());
        datos.push_back(0);
        return true;
    case 3:
    case 4: {
        const DWORD numero = static_cast<DWORD>(std::strtoul(t.c_str(), nullptr, r.tipo == 3 ? 10 : 16));
        tipo = r.tipo == 3 ? REG_DWORD : REG_BINARY;
        datos.resize(sizeof numero);
        std::memcpy(datos.data(), &numero, sizeof numero);
        return true;
    }
    default:
        return false;
    }
}
} // namespace

std::optional<DWORD> ContadorCompartido(const std::string &dll, bool *abierta)
{
    CClave shared(HKEY_LOCAL_MACHINE, kSharedDlls, KEY_READ);
    if (abierta)
        *abierta = shared.get() != nullptr;
    if (!shared.get())
        return std::nullopt;
    const auto encontrada = BuscarCompartida(shared.get(), dll);
    if (!encontrada)
        return std::nullopt;
    return encontrada->second;
}

bool DescontarCompartido(const std::string &dll)
{
    CClave shared(HKEY_LOCAL_MACHINE, kSharedDlls);
    if (!shared.get())
        return false;
    const auto encontrada = BuscarCompartida(shared.get(), dll);
    if (!encontrada)
        return true;
    const auto &[nombre, cuenta] = *encontrada;
    if (cuenta == 1)
        RegDeleteValueA(shared.get(), nombre.c_str());
    else if (cuenta > 1)
    {
        const DWORD menos = cuenta - 1;
        RegSetValueExA(shared.get(), nombre.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&menos),
                       sizeof menos);
    }
    return true;
}

bool SigueCompartida(const std::string &dll)
{
    const auto cuenta = ContadorCompartido(dll);
    return cuenta && *cuenta != 0;
}

void BorrarClaveEntera(const std::string &raizYClave)
{
    const size_t barra = raizYClave.find('\\');
    HKEY raiz = nullptr;
    if (barra == std::string::npos || !NombreDeRaiz(raizYClave.substr(0, barra), raiz))
        return;
    const std::string ruta = raizYClave.substr(barra + 1);
    if (!SePuedeBorrarEntera(ruta))
        return;
    if (RegDeleteKeyA(raiz, ruta.c_str()) == ERROR_SUCCESS)
        return;
    BorrarSubclaves(raiz, ruta);
    RegDeleteKeyA(raiz, ruta.c_str());
}

void DeshacerRegistro(const CRegistroLog &r)
{
    if (!r.conRaiz)
        return;
    {
        CClave clave(r.raiz, r.clave);
        if (!clave.get())
            return;
        if (r.anterior.empty())
            RegDeleteValueA(clave.get(), r.nombre.c_str());
        else
        {
            DWORD tipo = 0;
            std::vector<BYTE> datos;
            if (DatosDeTipo(r, tipo, datos))
                RegSetValueExA(clave.get(), r.nombre.c_str(), 0, tipo, datos.data(),
                               static_cast<DWORD>(datos.size()));
        }
    }
    // An empty key path is the root itself, which stays.
    if (!Partes(r.clave).empty() && Vacia(r.raiz, r.clave))
        RegDeleteKeyA(r.raiz, r.clave.c_str());
}

void BorrarClavesVacias(const std::string &claveProducto, const std::string &claveFabricante)
{
    std::string clave = claveProducto;
    while (clave.size() > claveFabricante.size() && Vacia(HKEY_LOCAL_MACHINE, clave))
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, clave.c_str());
        const size_t barra = clave.rfind('\\');
        if (barra == std::string::npos)
            break;
        clave.resize(barra);
    }
}

int Subclaves(const std::string &ruta)
{
    CClave clave(HKEY_LOCAL_MACHINE, ruta, KEY_READ);
    DWORD subclaves = 0;
    if (!clave.get() || RegQueryInfoKeyA(clave.get(), nullptr, nullptr, nullptr, &subclaves, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return -1;
    return static_cast<int>(subclaves);
}

bool EscribirTexto(const char *ruta, const std::string &nombre, const std::string &texto)
{
    HKEY clave = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ruta, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &clave, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG rc =
        RegSetValueExA(clave, nombre.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(texto.c_str()),
                       static_cast<DWORD>(texto.size() + 1));
    RegCloseKey(clave);
    return rc == ERROR_SUCCESS;
}

void BorrarValor(const char *ruta, const std::string &nombre)
{
    CClave clave(HKEY_LOCAL_MACHINE, ruta);
    if (clave.get())
        RegDeleteValueA(clave.get(), nombre.c_str());
}

std::optional<std::string> LeerTexto(const std::string &ruta, const char *nombre)
{
    CClave clave(HKEY_LOCAL_MACHINE, ruta, KEY_READ);
    if (!clave.get())
        return std::nullopt;
    char texto[MAX_PATH * 2] = "";
    DWORD tam = sizeof texto - 1, tipo = 0;
    if (RegQueryValueExA(clave.get(), nombre, nullptr, &tipo, reinterpret_cast<BYTE *>(texto), &tam) !=
            ERROR_SUCCESS ||
        (tipo != REG_SZ && tipo != REG_EXPAND_SZ))
        return std::nullopt;
    return std::string(texto);
}
