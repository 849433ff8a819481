// CRegApli: the application registry on the PC's registry.
#include "outside/qelapli/RegApli.h"
#include "comun/Sis.h"

#include <array>
#include <cstring>

namespace
{
enum class Tipo
{
    Texto,   // REG_SZ
    Numero,  // REG_DWORD
    Oculto,  // REG_BINARY, masked text
    Lectura, // REG_SZ the installer writes; no Set
};

struct Entrada
{
    LPCSTR nombre;
    Tipo tipo;
};

// One line per CRegApli::Valor, in its order.
constexpr std::array<Entrada, CRegApli::numValores> kValores = {{
    {"IpPublica", Tipo::Texto},    {"MaskPublica", Tipo::Texto},  {"IpGestion", Tipo::Texto},
    {"MaskGestion", Tipo::Texto},  {"IpPrivada", Tipo::Texto},    {"MaskPrivada", Tipo::Texto},
    {"IpRouter", Tipo::Texto},     {"MaskRouter", Tipo::Texto},   {"Username", Tipo::Texto},
    {"Password", Tipo::Oculto},    {"NIC", Tipo::Texto},          {"FichFirmware", Tipo::Texto},
    {"ListaPuertos", Tipo::Texto}, {"DHCP", Tipo::Numero},        {"ModoConf", Tipo::Numero},
    {"ModoDirec", Tipo::Numero},   {"Operacion", Tipo::Numero},   {"PathPPPoE", Tipo::Lectura},
    {"IpPublica1", Tipo::Texto},   {"MaskPublica1", Tipo::Texto}, {"IpGestion1", Tipo::Texto},
    {"MaskGestion1", Tipo::Texto}, {"IpPrivada1", Tipo::Texto},   {"MaskPrivada1", Tipo::Texto},
    {"NIC1", Tipo::Texto},         {"Username1", Tipo::Texto},    {"IpRouter1", Tipo::Texto},
    {"Dhcp1", Tipo::Numero},       {"ModoDirec1", Tipo::Numero},  {"ModoConf1", Tipo::Numero},
}};
static_assert(kValores.back().nombre != nullptr, "a line for every value");

constexpr char kEstadoInicial[] = "EstadoInicial";
constexpr char kDirectorio[] = "Directorio";
constexpr char kQelExec[] = "QelExec";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Keeps the password from reading as text; the same operation hides and shows it.
constexpr std::array<unsigned char, 8> kMascara = {0x5A, 0xC3, 0x17, 0x8E, 0x61, 0xF0, 0x2D, 0xB4};

std::string Enmascarar(std::string texto)
{
    for (size_t i = 0; i < texto.size(); ++i)
        texto[i] = static_cast<char>(texto[i] ^ kMascara[i % kMascara.size()]);
    return texto;
}

HRESULT DeError(LONG err)
{
    return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(err));
}

bool EsTexto(Tipo tipo)
{
    return tipo != Tipo::Numero;
}

bool ValorValido(CRegApli::Valor valor)
{
    return valor >= 0 && valor < CRegApli::numValores;
}

// A REG_SZ's bytes up to its terminating NUL (a value written without one keeps all its bytes).
std::string HastaNul(const std::string &datos)
{
    return datos.substr(0, datos.find('\0'));
}

// A start-up key of the machine, opened to change its values.
class ClaveArranque
{
  public:
    explicit ClaveArranque(LPCSTR pszClave)
    {
        m_err = RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszClave, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, &m_hKey, nullptr);
    }
    ~ClaveArranque()
    {
        if (m_err == ERROR_SUCCESS)
            RegCloseKey(m_hKey);
    }
    ClaveArranque(const ClaveArranque &) = delete;
    ClaveArranque &operator=(const ClaveArranque &) = delete;

    LONG Error() const { return m_err; }
    HKEY Get() const { return m_hKey; }

  private:
    HKEY m_hKey = nullptr;
    LONG m_err = ERROR_SUCCESS;
};

// The restart entry of the wizard's host runs once; any other name at every start.
LPCSTR ClaveDe(LPCSTR pszNombre)
{
    return lstrcmpiA(pszNombre, kQelExec) == 0 ? kRunOnce : kRun;
}

// What the start-up key holds: the host's path is quoted when it has a blank, so the whole path
// is the program; other entries are whole command lines, kept as given.
std::string LineaDe(LPCSTR pszNombre, LPCSTR pszValor)
{
    const std::string valor = pszValor;
    const bool ruta = lstrcmpiA(pszNombre, kQelExec) == 0;
    if (!ruta || valor.find(' ') == std::string::npos || valor.front() == '"')
        return valor;
    return '"' + valor + '"';
}

// S_OK when the entry was there and is gone, S_FALSE when it was not there.
HRESULT QuitarDe(LPCSTR pszClave, LPCSTR pszNombre)
{
    ClaveArranque clave(pszClave);
    if (clave.Error() != ERROR_SUCCESS)
        return DeError(clave.Error());
    const LONG err = RegDeleteValueA(clave.Get(), pszNombre);
    return err == ERROR_FILE_NOT_FOUND ? S_FALSE : DeError(err);
}
} // namespace

CRegApli::CRegApli() = default;

CRegApli::~CRegApli()
{
    Close();
}

HRESULT CRegApli::Open(LPCSTR pszClave, BOOL bEscritura)
{
    Close();
    if (!pszClave || !*pszClave)
        return E_INVALIDARG;
    HKEY key = nullptr;
    const LONG err = bEscritura
                         ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszClave, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
                         : RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszClave, 0, KEY_READ, &key);
    if (err != ERROR_SUCCESS)
        return DeError(err);
    m_hKey = key;
    m_bEscritura = bEscritura ? TRUE : FALSE;
    return S_OK;
}

HRESULT CRegApli::Close()
{
    if (!m_hKey)
        return S_FALSE;
    const LONG err = RegCloseKey(m_hKey);
    m_hKey = nullptr;
    m_bEscritura = FALSE;
    return DeError(err);
}

BOOL CRegApli::IsOpen() const
{
    return m_hKey != nullptr;
}

BOOL CRegApli::IsWritable() const
{
    return m_hKey && m_bEscritura;
}

HRESULT CRegApli::PuedeCambiar() const
{
    if (!m_hKey)
        return E_HANDLE;
    return m_bEscritura ? S_OK : E_ACCESSDENIED;
}

HRESULT CRegApli::LeerBytes(LPCSTR pszNombre, DWORD dwTipo, std::string &datos) const
{
    datos.clear();
    if (!m_hKey)
        return E_HANDLE;
    for (;;)
    {
        DWORD tipo = REG_NONE, cb = 0;
        LONG err = RegQueryValueExA(m_hKey, pszNombre, nullptr, &tipo, nullptr, &cb);
        if (err != ERROR_SUCCESS)
            return DeError(err);
        if (tipo != dwTipo)
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        datos.resize(cb);
        err =
            RegQueryValueExA(m_hKey, pszNombre, nullptr, &tipo, reinterpret_cast<BYTE *>(datos.data()), &cb);
        if (err == ERROR_MORE_DATA) // changed by someone else in between: ask again
            continue;
        if (err != ERROR_SUCCESS || tipo != dwTipo)
        {
            datos.clear();
            return err != ERROR_SUCCESS ? DeError(err) : HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        datos.resize(cb);
        return S_OK;
    }
}

HRESULT CRegApli::EscribirBytes(LPCSTR pszNombre, DWORD dwTipo, const void *pDatos, DWORD cb)
{
    if (HRESULT hr = PuedeCambiar(); FAILED(hr))
        return hr;
    return DeError(RegSetValueExA(m_hKey, pszNombre, 0, dwTipo, static_cast<const BYTE *>(pDatos), cb));
}

HRESULT CRegApli::IsEstadoInicial(BOOL &bInicial) const
{
    bInicial = TRUE;
    DWORD dw = 0;
    std::string datos;
    const HRESULT hr = LeerBytes(kEstadoInicial, REG_DWORD, datos);
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return S_OK; // never stopped for a restart
    if (FAILED(hr))
        return hr;
    if (datos.size() != sizeof dw)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    memcpy(&dw, datos.data(), sizeof dw);
    bInicial = dw ? TRUE : FALSE;
    return S_OK;
}

HRESULT CRegApli::SetEstadoInicial(BOOL bInicial)
{
    const DWORD dw = bInicial ? 1 : 0;
    return EscribirBytes(kEstadoInicial, REG_DWORD, &dw, sizeof dw);
}

HRESULT CRegApli::Write(LPCSTR pszNombre, LPCSTR pszValor)
{
    if (HRESULT hr = PuedeCambiar(); FAILED(hr))
        return hr;
    if (!pszNombre || !*pszNombre || !pszValor)
        return E_INVALIDARG;
    ClaveArranque clave(ClaveDe(pszNombre));
    if (clave.Error() != ERROR_SUCCESS)
        return DeError(clave.Error());
    const std::string linea = LineaDe(pszNombre, pszValor);
    return DeError(RegSetValueExA(clave.Get(), pszNombre, 0, REG_SZ,
                                  reinterpret_cast<const BYTE *>(linea.c_str()),
                                  static_cast<DWORD>(linea.size() + 1)));
}

HRESULT CRegApli::Delete(LPCSTR pszNombre)
{
    if (HRESULT hr = PuedeCambiar(); FAILED(hr))
        return hr;
    if (!pszNombre || !*pszNombre)
        return E_INVALIDARG;
    // Wherever an earlier Write put it.
    const HRESULT hrUnaVez = QuitarDe(kRunOnce, pszNombre);
    if (FAILED(hrUnaVez))
        return hrUnaVez;
    const HRESULT hrSiempre = QuitarDe(kRun, pszNombre);
    if (FAILED(hrSiempre))
        return hrSiempre;
    return hrUnaVez == S_OK || hrSiempre == S_OK ? S_OK : S_FALSE;
}

HRESULT CRegApli::GetDirectorio(std::string &dir) const
{
    std::string datos;
    const HRESULT hr = LeerBytes(kDirectorio, REG_SZ, datos);
    dir = HastaNul(datos);
    if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return hr;
    const HRESULT hrPrograma = CSis::VerDirModuloLargo(nullptr, dir);
    return FAILED(hrPrograma) ? hrPrograma : S_FALSE;
}

HRESULT CRegApli::SetSettings()
{
    if (HRESULT hr = PuedeCambiar(); FAILED(hr))
        return hr;
    return DeError(RegFlushKey(m_hKey));
}

HRESULT CRegApli::Get(Valor valor, std::string &texto) const
{
    texto.clear();
    if (!ValorValido(valor) || !EsTexto(kValores[valor].tipo))
        return E_INVALIDARG;
    const Entrada &entrada = kValores[valor];
    std::string datos;
    const bool oculto = entrada.tipo == Tipo::Oculto;
    const HRESULT hr = LeerBytes(entrada.nombre, oculto ? REG_BINARY : REG_SZ, datos);
    if (SUCCEEDED(hr))
        texto = oculto ? Enmascarar(std::move(datos)) : HastaNul(datos);
    return hr;
}

HRESULT CRegApli::Set(Valor valor, LPCSTR pszTexto)
{
    if (!ValorValido(valor) || !EsTexto(kValores[valor].tipo) || !pszTexto)
        return E_INVALIDARG;
    const Entrada &entrada = kValores[valor];
    if (entrada.tipo == Tipo::Lectura)
        return m_hKey ? E_ACCESSDENIED : E_HANDLE;
    if (entrada.tipo == Tipo::Oculto)
    {
        const std::string oculto = Enmascarar(pszTexto);
        return EscribirBytes(entrada.nombre, REG_BINARY, oculto.data(), static_cast<DWORD>(oculto.size()));
    }
    return EscribirBytes(entrada.nombre, REG_SZ, pszTexto, static_cast<DWORD>(strlen(pszTexto) + 1));
}

HRESULT CRegApli::Get(Valor valor, DWORD &dw) const
{
    dw = 0;
    if (!ValorValido(valor) || kValores[valor].tipo != Tipo::Numero)
        return E_INVALIDARG;
    std::string datos;
    HRESULT hr = LeerBytes(kValores[valor].nombre, REG_DWORD, datos);
    if (SUCCEEDED(hr) && datos.size() != sizeof dw)
        hr = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (SUCCEEDED(hr))
        memcpy(&dw, datos.data(), sizeof dw);
    return hr;
}

HRESULT CRegApli::Set(Valor valor, DWORD dw)
{
    if (!ValorValido(valor) || kValores[valor].tipo != Tipo::Numero)
        return E_INVALIDARG;
    return EscribirBytes(kValores[valor].nombre, REG_DWORD, &dw, sizeof dw);
}

LPCSTR CRegApli::VerNombre(Valor valor)
{
    return ValorValido(valor) ? kValores[valor].nombre : nullptr;
}
