// CApli: the application's base services.
#include "comun/Apli.h"
#include "comun/Internal.h"
#include "comun/Profile.h"
#include "comun/Sis.h"

namespace
{
constexpr WORD kLangEspanol = 10;
constexpr char kClaveSis[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kDirRecursos[] = "\\res\\apli";
constexpr char kDirAyuda[] = "\\res\\apli\\ayuda\\";
constexpr char kTablaCadenas[] = "cadenas.ini";
constexpr char kSeccionCadenas[] = "cadenas";
constexpr char kIcono[] = "icono.ico";
constexpr char kPaleta[] = "paleta.pal";
} // namespace

CApli::CApli() = default;

CApli::~CApli()
{
    if (m_hKeySis)
        RegCloseKey(m_hKeySis);
    if (m_hKeyUsr)
        RegCloseKey(m_hKeyUsr);
}

WORD CApli::VerLangDef() const
{
    return kLangEspanol;
}

HRESULT CApli::VerDir(std::string &dir) const
{
    dir.clear();
    return S_OK;
}

HRESULT CApli::LanzarAyuda(LONG)
{
    return E_NOTIMPL;
}

HRESULT CApli::DoModalAcercaDe(HWND)
{
    return E_NOTIMPL;
}

HKEY CApli::VerHKeySis()
{
    if (!m_hKeySis)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClaveSis, 0, KEY_READ | KEY_SET_VALUE, &key) == ERROR_SUCCESS)
            m_hKeySis = key;
    }
    return m_hKeySis;
}

HKEY CApli::VerHKeyUsr() const
{
    return m_hKeyUsr;
}

HRESULT CApli::FijarLangDef(LPCSTR)
{
    return S_OK;
}

HRESULT CApli::BuscarFichRes(LPCSTR pszFich, WORD wLang, std::string &path) const
{
    path.clear();
    std::string dir;
    const HRESULT hr = VerDir(dir);
    if (FAILED(hr))
        return hr;
    return CSis::BuscarFichRes((dir + kDirRecursos).c_str(), pszFich, wLang, VerLangDef(), path);
}

HRESULT CApli::BuscarFichAyuda(LPCSTR pszFich, WORD, std::string &path, HMODULE hMod) const
{
    path.clear();
    if (!pszFich)
        return E_INVALIDARG;
    std::string dir;
    const HRESULT hr = hMod ? CSis::VerDirModulo(hMod, dir) : VerDir(dir);
    if (FAILED(hr))
        return hr;
    path = dir + kDirAyuda + pszFich;
    return S_OK;
}

HRESULT CApli::VerCadena(LPCSTR pszClave, std::string &texto, WORD wLang) const
{
    texto.clear();
    std::string path;
    HRESULT hr = BuscarFichRes(kTablaCadenas, wLang, path);
    if (FAILED(hr))
        return hr;
    CProfile tabla;
    hr = tabla.Open(path.c_str(), CProfile::modoSoloLectura);
    if (SUCCEEDED(hr))
        hr = tabla.FijarSeccion(kSeccionCadenas);
    if (SUCCEEDED(hr))
        hr = tabla.VerValor(pszClave, texto);
    if (FAILED(hr))
        return hr;
    return texto.empty() ? E_FAIL : S_OK;
}

HRESULT CApli::VerMensaje(LPCSTR pszClave, std::string *pTexto, ...) const
{
    if (!pTexto)
        return E_INVALIDARG;
    std::string patron;
    const HRESULT hr = VerCadena(pszClave, patron, 0);
    pTexto->clear();
    if (FAILED(hr))
        return hr;
    va_list args;
    va_start(args, pTexto);
    const HRESULT hrFormato = comun::FormatearMensaje(patron, &args, *pTexto);
    va_end(args);
    return hrFormato;
}

HRESULT CApli::CargarIconoGrande(HICON &hIcon) const
{
    hIcon = nullptr;
    std::string path;
    const HRESULT hr = BuscarFichRes(kIcono, 0, path);
    return FAILED(hr) ? hr : CSis::CargarIconoGrande(path.c_str(), hIcon);
}

HRESULT CApli::CargarIconoPequeno(HICON &hIcon) const
{
    hIcon = nullptr;
    std::string path;
    const HRESULT hr = BuscarFichRes(kIcono, 0, path);
    return FAILED(hr) ? hr : CSis::CargarIconoPequeno(path.c_str(), hIcon);
}

HRESULT CApli::CargarPaleta(HPALETTE &hPal) const
{
    hPal = nullptr;
    std::string path;
    const HRESULT hr = BuscarFichRes(kPaleta, 0, path);
    return FAILED(hr) ? hr : CSis::CargarPaletaLogica(path.c_str(), hPal);
}
