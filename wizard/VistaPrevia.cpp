// The preview's pieces: what is taken and put back, and the texts of each part.
#include "wizard/VistaPrevia.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"

#include "routefix/RouteFixer.h"

#include <algorithm>
#include <map>

namespace vistaprevia
{
namespace
{
constexpr char kOculto[] = "********";
constexpr char kNoEsta[] = "(no está)";
constexpr char kVacio[] = "(vacío)";
// The router's codes that hold a password: the PPP session's and the system's (console, web
// pages and FTP server).
constexpr const char *kCodigosPassword[] = {"40000010", "23000001"};
constexpr DWORD kMaxNombre = 16384;

bool EsPassword(const std::string &codigo)
{
    return std::find(std::begin(kCodigosPassword), std::end(kCodigosPassword), codigo) !=
           std::end(kCodigosPassword);
}

std::string Mostrado(const std::string &codigo, const std::string *valor)
{
    if (!valor)
        return kNoEsta;
    if (valor->empty())
        return kVacio;
    return EsPassword(codigo) ? kOculto : *valor;
}

std::string Unir(const std::string &clave, const std::string &sub)
{
    return clave.empty() ? sub : clave + "\\" + sub;
}
} // namespace

void CCopiaRegistro::Tomar(HKEY raiz, const std::string &clave)
{
    m_raiz = raiz;
    m_clave = clave;
    m_valores.clear();
    Leer(raiz, clave, m_valores);
}

void CCopiaRegistro::Leer(HKEY raiz, const std::string &clave, std::vector<Valor> &valores)
{
    HKEY hClave = nullptr;
    if (RegOpenKeyExA(raiz, clave.c_str(), 0, KEY_READ, &hClave) != ERROR_SUCCESS)
        return;
    std::vector<char> nombre(kMaxNombre);
    for (DWORD i = 0;; ++i)
    {
        DWORD cchNombre = kMaxNombre, tipo = 0, cbDatos = 0;
        if (RegEnumValueA(hClave, i, nombre.data(), &cchNombre, nullptr, &tipo, nullptr, &cbDatos) !=
            ERROR_SUCCESS)
            break;
        Valor valor{clave, std::string(nombre.data(), cchNombre), tipo, std::vector<BYTE>(cbDatos)};
        DWORD cbLeidos = cbDatos;
        if (RegQueryValueExA(hClave, valor.nombre.c_str(), nullptr, &valor.tipo,
                             cbDatos ? valor.datos.data() : nullptr, &cbLeidos) == ERROR_SUCCESS)
        {
            valor.datos.resize(cbLeidos);
            valores.push_back(std::move(valor));
        }
    }
    std::vector<std::string> subclaves;
    for (DWORD i = 0;; ++i)
    {
        DWORD cchNombre = kMaxNombre;
        if (RegEnumKeyExA(hClave, i, nombre.data(), &cchNombre, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subclaves.emplace_back(nombre.data(), cchNombre);
    }
    RegCloseKey(hClave);
    for (const std::string &sub : subclaves)
        Leer(raiz, Unir(clave, sub), valores);
}

void CCopiaRegistro::Restaurar() const
{
    if (!m_raiz)
        return;
    std::vector<Valor> ahora;
    Leer(m_raiz, m_clave, ahora);
    const auto buscar = [](const std::vector<Valor> &valores, const Valor &v) {
        return std::find_if(valores.begin(), valores.end(), [&](const Valor &otro) {
            return otro.clave == v.clave && otro.nombre == v.nombre;
        });
    };
    for (const Valor &antes : m_valores)
    {
        const auto it = buscar(ahora, antes);
        if (it != ahora.end() && *it == antes)
            continue;
        HKEY hClave = nullptr;
        if (RegCreateKeyExA(m_raiz, antes.clave.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hClave,
                            nullptr) != ERROR_SUCCESS)
            continue;
        RegSetValueExA(hClave, antes.nombre.c_str(), 0, antes.tipo, antes.datos.data(),
                       static_cast<DWORD>(antes.datos.size()));
        RegCloseKey(hClave);
    }
    for (const Valor &nuevo : ahora)
    {
        if (buscar(m_valores, nuevo) != m_valores.end())
            continue;
        HKEY hClave = nullptr;
        if (RegOpenKeyExA(m_raiz, nuevo.clave.c_str(), 0, KEY_SET_VALUE, &hClave) != ERROR_SUCCESS)
            continue;
        RegDeleteValueA(hClave, nuevo.nombre.c_str());
        RegCloseKey(hClave);
    }
}

void CCopiaFichero::Tomar(const std::string &ruta)
{
    m_ruta = ruta;
    m_bHabia = asistente::LeerFichero(ruta, m_bytes);
}

void CCopiaFichero::Restaurar() const
{
    if (m_ruta.empty())
        return;
    if (!m_bHabia)
    {
        DeleteFileA(m_ruta.c_str());
        return;
    }
    asistente::EscribirFichero(m_ruta, m_bytes);
}

CambiosRouter CompararAjustes(const std::vector<asistente::AjusteRouter> &actuales,
                              const std::vector<asistente::AjusteRouter> &nuevos)
{
    std::map<std::string, std::string> antes(actuales.begin(), actuales.end());
    CambiosRouter cambios;
    const auto linea = [](const std::string &codigo, const std::string *actual, const std::string *nuevo) {
        return codigo + ": " + Mostrado(codigo, actual) + " -> " + Mostrado(codigo, nuevo);
    };
    for (const auto &[codigo, valor] : nuevos)
    {
        const auto it = antes.find(codigo);
        if (it == antes.end())
            cambios.lineas.push_back(linea(codigo, nullptr, &valor));
        else
        {
            if (it->second == valor)
                ++cambios.iguales;
            else
                cambios.lineas.push_back(linea(codigo, &it->second, &valor));
            antes.erase(it);
        }
    }
    // What the new file leaves out, in the router's own order.
    for (const auto &[codigo, valor] : actuales)
        if (antes.count(codigo))
            cambios.lineas.push_back(linea(codigo, &valor, nullptr));
    return cambios;
}

std::vector<std::string> RutasDelPlan(const CDatosAsistente &datos)
{
    if (datos.ModoConf != 0 || datos.ModoDirec != 0)
        return {};
    const std::string pasarela = CDirecciones::PrimeraIp(datos.IpPublica, datos.MaskPublica);
    return RouteCommands(datos.IpPublica.c_str(), datos.MaskPublica.c_str(), pasarela.c_str());
}

std::vector<std::string> LineasRegistro(const std::string &texto)
{
    std::vector<std::string> lineas;
    size_t inicio = 0;
    while (inicio < texto.size())
    {
        size_t fin = texto.find('\n', inicio);
        if (fin == std::string::npos)
            fin = texto.size();
        std::string linea = texto.substr(inicio, fin - inicio);
        inicio = fin + 1;
        if (!linea.empty() && linea.back() == '\r')
            linea.pop_back();
        if (!linea.empty())
            lineas.push_back(std::move(linea));
    }
    return lineas;
}

std::string Componer(const std::string &cabecera, const std::vector<Seccion> &secciones)
{
    std::string texto = cabecera;
    for (const Seccion &s : secciones)
    {
        texto += "\n\n" + s.titulo;
        for (const std::string &l : s.lineas)
            texto += "\n    " + l;
    }
    return texto;
}
} // namespace vistaprevia
