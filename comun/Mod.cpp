// CMod: a module, its string table and its exports.
#include "comun/Mod.h"
#include "comun/Apli.h"
#include "comun/Internal.h"
#include "comun/Sis.h"

#include <algorithm>

namespace
{
constexpr char kTablaCadenas[] = "cadenas.ini";
constexpr char kSeccionCadenas[] = "cadenas";
constexpr DWORD kMaxRutaServidor = MAX_PATH; // the InprocServer32 path as the registry holds it

// The large-fonts variant of a bitmap: its last four characters (".bmp") become "-125.bmp".
std::string Variante125(const std::string &fichero)
{
    return fichero.size() > 4 ? fichero.substr(0, fichero.size() - 4) + "-125.bmp" : std::string();
}
} // namespace

CMod::CMod() = default;

CMod::CMod(CApli *pApli) : m_pApli(pApli) {}

CMod::~CMod()
{
    Close();
}

HRESULT CMod::Open(HMODULE hMod)
{
    Close();
    // The program is already in the process: its own handle stands for it.
    HMODULE module = hMod ? hMod : GetModuleHandleA(nullptr);
    std::string fichero;
    const HRESULT hr = CSis::VerFichModuloLargo(module, fichero);
    if (FAILED(hr))
        return hr;
    m_hMod = module;
    m_bPropio = FALSE;
    CargarTabla();
    return S_OK;
}

HRESULT CMod::Open(LPCSTR pszPath)
{
    Close();
    if (!pszPath || !*pszPath)
        return E_INVALIDARG;
    HMODULE module = LoadLibraryA(pszPath);
    if (!module)
        return comun::HResultUltimoError();
    m_hMod = module;
    m_bPropio = TRUE;
    CargarTabla(); // a module without strings is still open
    return S_OK;
}

HRESULT CMod::Open(REFCLSID clsid)
{
    Close();
    std::string texto;
    CSis::VerTextoCLSID(clsid, texto);
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(HKEY_CLASSES_ROOT, ("CLSID\\" + texto + "\\InprocServer32").c_str(), 0,
                               KEY_QUERY_VALUE, &key);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
    char path[kMaxRutaServidor + 1] = "";
    DWORD type = REG_NONE;
    DWORD size = kMaxRutaServidor;
    error = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(path), &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    path[std::min<DWORD>(size, kMaxRutaServidor)] = '\0';
    return Open(static_cast<LPCSTR>(path));
}

HRESULT CMod::Close()
{
    if (!IsOpen())
        return S_FALSE;
    m_cadenas.Close();
    HRESULT hr = S_OK;
    if (m_bPropio && !FreeLibrary(m_hMod))
        hr = comun::HResultUltimoError();
    m_hMod = nullptr;
    m_bPropio = FALSE;
    return hr;
}

BOOL CMod::IsOpen() const
{
    return m_hMod != nullptr;
}

HMODULE CMod::VerHMODULE() const
{
    return m_hMod;
}

HRESULT CMod::VerFich(std::string &fichero) const
{
    fichero.clear();
    if (!IsOpen())
        return E_FAIL;
    return CSis::VerFichModulo(m_hMod, fichero);
}

HRESULT CMod::VerDir(std::string &dir) const
{
    dir.clear();
    if (!IsOpen())
        return E_FAIL;
    return CSis::VerDirModulo(m_hMod, dir);
}

WORD CMod::VerLangDef() const
{
    return m_pApli ? m_pApli->VerLangDef() : 0;
}

HRESULT CMod::FijarLangDef(LPCSTR pszLang)
{
    return m_pApli ? m_pApli->FijarLangDef(pszLang) : E_FAIL;
}

HRESULT CMod::CargarTabla()
{
    m_cadenas.Close();
    std::string path;
    HRESULT hr = BuscarFichRes(kTablaCadenas, 0, path);
    if (FAILED(hr))
        return hr;
    hr = m_cadenas.Open(path.c_str(), CProfile::modoSoloLectura);
    if (FAILED(hr))
        return hr;
    return m_cadenas.FijarSeccion(kSeccionCadenas);
}

HRESULT CMod::VerCadena(LPCSTR pszClave, std::string &texto) const
{
    texto.clear();
    if (!m_cadenas.IsOpen())
        return E_FAIL;
    const HRESULT hr = m_cadenas.VerValor(pszClave, texto);
    if (FAILED(hr))
        return hr;
    return texto.empty() ? E_FAIL : S_OK;
}

HRESULT CMod::VerCadena(UINT, std::string &texto) const
{
    texto.clear();
    return E_NOTIMPL;
}

HRESULT CMod::Mensaje(HRESULT hrCadena, const std::string &patron, std::string *pTexto, va_list *args) const
{
    if (FAILED(hrCadena))
        return hrCadena;
    return comun::FormatearMensaje(patron, args, *pTexto);
}

HRESULT CMod::VerMensaje(LPCSTR pszClave, std::string *pTexto, ...) const
{
    if (!pTexto)
        return E_INVALIDARG;
    std::string patron;
    const HRESULT hrCadena = VerCadena(pszClave, patron);
    pTexto->clear();
    va_list args;
    va_start(args, pTexto);
    const HRESULT hr = Mensaje(hrCadena, patron, pTexto, &args);
    va_end(args);
    return hr;
}

HRESULT CMod::VerMensaje(UINT, std::string *pTexto, ...) const
{
    if (pTexto)
        pTexto->clear();
    return E_NOTIMPL;
}

HRESULT CMod::CargarIcono(UINT uId, int cx, int cy, HICON &hIcon) const
{
    hIcon = nullptr;
    if (!IsOpen())
        return E_FAIL;
    hIcon = static_cast<HICON>(LoadImageA(m_hMod, MAKEINTRESOURCEA(uId), IMAGE_ICON, cx, cy, 0));
    return hIcon ? S_OK : comun::HResultUltimoError();
}

HRESULT CMod::CargarIconoGrande(UINT uId, HICON &hIcon) const
{
    return CargarIcono(uId, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), hIcon);
}

HRESULT CMod::CargarIconoPequeno(UINT uId, HICON &hIcon) const
{
    return CargarIcono(uId, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), hIcon);
}

HRESULT CMod::CargarCursor(UINT uId, HCURSOR &hCursor) const
{
    hCursor = nullptr;
    if (!IsOpen())
        return E_FAIL;
    hCursor =
        static_cast<HCURSOR>(LoadImageA(m_hMod, MAKEINTRESOURCEA(uId), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    return hCursor ? S_OK : comun::HResultUltimoError();
}

HRESULT CMod::CargarImagen(LPCSTR pszFich, UINT uTipo, int cx, int cy, HANDLE &hImagen) const
{
    hImagen = nullptr;
    std::string path;
    const HRESULT hr = BuscarFichRes(pszFich, 0, path);
    if (FAILED(hr))
        return hr;
    HRESULT hrCarga = E_FAIL;
    switch (uTipo)
    {
    case IMAGE_ICON: {
        HICON icon = nullptr;
        hrCarga = CSis::CargarIcono(path.c_str(), cx, cy, icon);
        hImagen = icon;
        break;
    }
    case IMAGE_CURSOR: {
        HCURSOR cursor = nullptr;
        hrCarga = CSis::CargarCursor(path.c_str(), cx, cy, cursor);
        hImagen = cursor;
        break;
    }
    default: {
        HBITMAP bitmap = nullptr;
        hrCarga = CSis::CargarBitmap(path.c_str(), cx, cy, bitmap);
        hImagen = bitmap;
        break;
    }
    }
    return hrCarga;
}

HRESULT CMod::CargarIcono(LPCSTR pszFich, int cx, int cy, HICON &hIcon) const
{
    HANDLE imagen = nullptr;
    const HRESULT hr = CargarImagen(pszFich, IMAGE_ICON, cx, cy, imagen);
    hIcon = static_cast<HICON>(imagen);
    return hr;
}

HRESULT CMod::CargarIconoGrande(LPCSTR pszFich, HICON &hIcon) const
{
    return CargarIcono(pszFich, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), hIcon);
}

HRESULT CMod::CargarIconoPequeno(LPCSTR pszFich, HICON &hIcon) const
{
    return CargarIcono(pszFich, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), hIcon);
}

HRESULT CMod::CargarCursor(LPCSTR pszFich, int cx, int cy, HCURSOR &hCursor) const
{
    HANDLE imagen = nullptr;
    const HRESULT hr = CargarImagen(pszFich, IMAGE_CURSOR, cx, cy, imagen);
    hCursor = static_cast<HCURSOR>(imagen);
    return hr;
}

HRESULT CMod::CargarBitmap(LPCSTR pszFich, int cx, int cy, HBITMAP &hBitmap) const
{
    hBitmap = nullptr;
    if (!IsOpen())
        return E_FAIL;
    if (!pszFich || !*pszFich)
        return E_INVALIDARG;
    BOOL grandes = FALSE;
    const std::string variante = Variante125(pszFich);
    std::string path;
    const bool conVariante = SUCCEEDED(CSis::HayFuentesGrandes(grandes)) && grandes && !variante.empty() &&
                             SUCCEEDED(BuscarFichRes(variante.c_str(), 0, path));
    HANDLE imagen = nullptr;
    const HRESULT hr = CargarImagen(conVariante ? variante.c_str() : pszFich, IMAGE_BITMAP, cx, cy, imagen);
    hBitmap = static_cast<HBITMAP>(imagen);
    return hr;
}

HRESULT CMod::BuscarFichRes(LPCSTR pszFich, WORD wLang, std::string &path) const
{
    path.clear();
    if (!IsOpen())
        return E_FAIL;
    return CSis::BuscarFichRes(m_hMod, pszFich, wLang, VerLangDef(), path);
}

HRESULT CMod::GetProcAddress(LPCSTR pszNombre, FARPROC &pfn) const
{
    pfn = nullptr;
    if (!IsOpen())
        return E_FAIL;
    pfn = ::GetProcAddress(m_hMod, pszNombre);
    return pfn ? S_OK : comun::HResultUltimoError();
}

HRESULT CMod::DllGetVersion(DLLVERSIONINFO &info) const
{
    FARPROC pfn = nullptr;
    const HRESULT hr = GetProcAddress("DllGetVersion", pfn);
    if (FAILED(hr))
        return hr;
    return reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void *>(pfn))(&info);
}

// The export takes the name as narrow text: the wide name is converted first, so a host's
// OLESTR reaches it as the text it is.
HRESULT CMod::GetIDOfName(LPCOLESTR pszNombre, DWORD dwFlags, LONG &lId) const
{
    if (!IsOpen())
        return E_FAIL;
    if (!pszNombre || !*pszNombre)
        return DISP_E_UNKNOWNNAME;
    FARPROC pfn = nullptr;
    const HRESULT hr = GetProcAddress("GetIDOfName", pfn);
    if (FAILED(hr))
        return hr;
    const std::string nombre = comun::Utf16AAnsi(pszNombre);
    return reinterpret_cast<PFNGETIDOFNAME>(reinterpret_cast<void *>(pfn))(nombre.c_str(), dwFlags, &lId);
}

HRESULT CMod::Invoke(LONG lId, DWORD dwFlags, WORD wFlags, UINT uArgs, LPCOLESTR *ppszArgs, VARIANT *pResult,
                     EXCEPINFO *pExcepInfo, UINT *puArgErr) const
{
    FARPROC pfn = nullptr;
    const HRESULT hr = GetProcAddress("Invoke", pfn);
    if (FAILED(hr))
        return hr;
    return reinterpret_cast<PFNINVOKE>(reinterpret_cast<void *>(pfn))(lId, dwFlags, wFlags, uArgs, ppszArgs,
                                                                      pResult, pExcepInfo, puArgErr);
}
