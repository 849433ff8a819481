// CSis: system services.
#include "comun/Sis.h"
#include "comun/Internal.h"
#include "comun/TxtIter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace
{
constexpr DWORD kMaxRutaModulo = 32768;
constexpr LONG kMaxColoresPaleta = 65535; // what LOGPALETTE can count
constexpr WORD kVersionPaleta = 0x300;
constexpr UINT kMaxColoresBitmap = 256;
constexpr int kPuntosPorPulgadaNormal = 96;
constexpr WORD kLangIngles = 0x09;
// The build of Windows 98 Second Edition ("4.10.2222 A"); the first edition is 1998.
constexpr WORD kBuild98SE = 2222;

// Separators: the platform's paths use '/', the kit's formats '\'.
size_t UltimoSeparador(const std::string &path)
{
    return path.find_last_of("\\/");
}

HRESULT NombreModulo(HMODULE hMod, std::string &fichero)
{
    fichero.clear();
    std::vector<char> buffer(MAX_PATH);
    for (;;)
    {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameA(hMod, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return comun::HResultUltimoError();
        if (length < buffer.size())
        {
            fichero.assign(buffer.data(), length);
            return S_OK;
        }
        if (buffer.size() >= kMaxRutaModulo)
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        buffer.resize(buffer.size() * 2);
    }
}

HRESULT Carpeta(HRESULT hr, const std::string &fichero, std::string &dir)
{
    dir.clear();
    if (FAILED(hr))
        return hr;
    const size_t sep = UltimoSeparador(fichero);
    if (sep != std::string::npos)
        dir = fichero.substr(0, sep);
    return S_OK;
}

bool EsFichero(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first file (not folder) of the directory search for a pattern, as the system lists them.
bool PrimerFichero(const std::string &dir, const std::string &patron, std::string &nombre)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\" + patron).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool found = false;
    do
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        {
            nombre = data.cFileName;
            found = true;
        }
    while (!found && FindNextFileA(find, &data));
    FindClose(find);
    return found;
}

HRESULT ResultadoImagen(HANDLE imagen)
{
    return imagen ? S_OK : comun::HResultUltimoError();
}

// Enables SeShutdownPrivilege in the process token (the NT family needs it to restart).
HRESULT HabilitarApagado()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return comun::HResultUltimoError();
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    HRESULT hr = S_OK;
    if (!LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        hr = comun::HResultUltimoError();
    else
    {
        SetLastError(ERROR_SUCCESS);
        // AdjustTokenPrivileges succeeds without enabling a privilege the token lacks; that is a
        // failure here.
        if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) ||
            GetLastError() == ERROR_NOT_ALL_ASSIGNED)
            hr = comun::HResultUltimoError();
    }
    CloseHandle(token);
    return hr;
}

HRESULT TerminarSesion(UINT uFlags)
{
    DWORD so = 0;
    HRESULT hr = CSis::VerVersionSO(so);
    if (FAILED(hr))
        return hr;
    if (so & QEL_SO_NT)
    {
        hr = HabilitarApagado();
        if (FAILED(hr))
            return hr;
    }
    if (!ExitWindowsEx(uFlags, 0))
        return comun::HResultUltimoError();
    return S_OK;
}

DWORD FlagsDeVersion(const OSVERSIONINFOA &info)
{
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    {
        if (info.dwMajorVersion != 4)
            return QEL_SO_WIN9X;
        if (info.dwMinorVersion < 10)
            return QEL_SO_WIN95;
        if (info.dwMinorVersion < 90)
            return LOWORD(info.dwBuildNumber) >= kBuild98SE ? QEL_SO_WIN98SE : QEL_SO_WIN98;
        return QEL_SO_WINME;
    }
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT)
    {
        if (info.dwMajorVersion == 4)
            return QEL_SO_NT4;
        if (info.dwMajorVersion == 5)
            return info.dwMinorVersion == 0 ? QEL_SO_WIN2000 : QEL_SO_WINXP;
        return QEL_SO_NT;
    }
    return 0;
}

// One colour line of a JASC-PAL file: red, green and blue, each 0 to 255.
HRESULT LeerColor(CTxtIter &iter, PALETTEENTRY &color)
{
    BYTE *componentes[] = {&color.peRed, &color.peGreen, &color.peBlue};
    for (LONG i = 0; i < 3; ++i)
    {
        LONG valor = 0;
        const HRESULT hr = iter.GetFieldValue(i, valor);
        if (FAILED(hr))
            return hr;
        if (valor < 0 || valor > 255)
            return E_FAIL;
        *componentes[i] = static_cast<BYTE>(valor);
    }
    color.peFlags = 0;
    return S_OK;
}

HRESULT CrearPaleta(const std::vector<PALETTEENTRY> &colores, HPALETTE &hPal)
{
    std::vector<BYTE> memoria;
    try
    {
        memoria.resize(sizeof(LOGPALETTE) + colores.size() * sizeof(PALETTEENTRY));
    }
    catch (const std::bad_alloc &)
    {
        return E_OUTOFMEMORY;
    }
    auto *log = reinterpret_cast<LOGPALETTE *>(memoria.data());
    log->palVersion = kVersionPaleta;
    log->palNumEntries = static_cast<WORD>(colores.size());
    std::copy(colores.begin(), colores.end(), log->palPalEntry);
    hPal = CreatePalette(log);
    if (hPal)
        return S_OK;
    DWORD so = 0;
    const DWORD error = GetLastError();
    CSis::VerVersionSO(so);
    SetLastError(error);
    return (so & QEL_SO_NT) ? comun::HResultUltimoError() : E_FAIL;
}
} // namespace

LANGID CSis::VerLangIDUsr()
{
    return GetUserDefaultLangID();
}

LANGID CSis::VerLangIDSis()
{
    return GetSystemDefaultLangID();
}

HRESULT CSis::VerFichModulo(HMODULE hMod, std::string &fichero)
{
    std::string largo;
    HRESULT hr = NombreModulo(hMod, largo);
    fichero.clear();
    if (FAILED(hr))
        return hr;
    std::vector<char> corto(largo.size() + MAX_PATH);
    const DWORD length = GetShortPathNameA(largo.c_str(), corto.data(), static_cast<DWORD>(corto.size()));
    if (length == 0 || length >= corto.size())
        return comun::HResultUltimoError();
    fichero.assign(corto.data(), length);
    return S_OK;
}

HRESULT CSis::VerFichModuloLargo(HMODULE hMod, std::string &fichero)
{
    return NombreModulo(hMod, fichero);
}

HRESULT CSis::VerDirModulo(HMODULE hMod, std::string &dir)
{
    std::string fichero;
    const HRESULT hr = VerFichModulo(hMod, fichero);
    return Carpeta(hr, fichero, dir);
}

HRESULT CSis::VerDirModuloLargo(HMODULE hMod, std::string &dir)
{
    std::string fichero;
    const HRESULT hr = VerFichModuloLargo(hMod, fichero);
    return Carpeta(hr, fichero, dir);
}

HRESULT CSis::BuscarFichRes(LPCSTR pszDir, LPCSTR pszFich, WORD wLang, WORD wLangDef, std::string &path)
{
    path.clear();
    // A wildcard in the name would turn the look-up into a search for any file.
    if (!pszFich || !*pszFich || std::strpbrk(pszFich, "*?"))
        return E_INVALIDARG;
    const std::string dir = pszDir && *pszDir ? pszDir : ".";
    const std::string fich = pszFich;
    const size_t punto = fich.rfind('.');
    const bool conExtension = punto != std::string::npos && punto != 0;
    const std::string nombre = conExtension ? fich.substr(0, punto) : fich;
    const std::string extension = conExtension ? fich.substr(punto + 1) : "";
    // Without an extension the names end without a dot (on Windows "name." is "name").
    const std::string sufijo = extension.empty() ? "" : "." + extension;

    const WORD lang = wLang ? wLang : wLangDef ? wLangDef : VerLangIDUsr();
    const unsigned primario = lang & 0xFF;
    const unsigned sub = lang >> 10;

    std::string encontrado;
    const std::string exacto = comun::Formato("%s_%02x%02x", nombre.c_str(), primario, sub) + sufijo;
    if (EsFichero(dir + "\\" + exacto))
        encontrado = exacto;
    else if (!PrimerFichero(dir, comun::Formato("%s_%02x??", nombre.c_str(), primario) + sufijo,
                            encontrado) &&
             !PrimerFichero(dir, nombre + "_00??" + sufijo, encontrado))
    {
        if (EsFichero(dir + "\\" + nombre + sufijo))
            encontrado = nombre + sufijo;
        else if (!PrimerFichero(dir, comun::Formato("%s_%02x??", nombre.c_str(), kLangIngles) + sufijo,
                                encontrado) &&
                 !PrimerFichero(dir, nombre + "_????" + sufijo, encontrado))
            return E_FAIL;
    }
    path = dir + "\\" + encontrado;
    return S_OK;
}

HRESULT CSis::BuscarFichRes(HMODULE hMod, LPCSTR pszFich, WORD wLang, WORD wLangDef, std::string &path)
{
    path.clear();
    std::string fichero;
    HRESULT hr = VerFichModuloLargo(hMod, fichero);
    if (FAILED(hr))
        return hr;
    const size_t sep = UltimoSeparador(fichero);
    std::string dir = (sep == std::string::npos ? std::string() : fichero.substr(0, sep)) + "\\res";
    if (hMod)
    {
        std::string nombre = sep == std::string::npos ? fichero : fichero.substr(sep + 1);
        const size_t punto = nombre.rfind('.');
        if (punto != std::string::npos && punto != 0)
            nombre.resize(punto);
        dir += "\\" + nombre;
    }
    return BuscarFichRes(dir.c_str(), pszFich, wLang, wLangDef, path);
}

HRESULT CSis::CargarIcono(LPCSTR pszPath, int cx, int cy, HICON &hIcon)
{
    hIcon = static_cast<HICON>(LoadImageA(nullptr, pszPath, IMAGE_ICON, cx, cy, LR_LOADFROMFILE));
    return ResultadoImagen(hIcon);
}

HRESULT CSis::CargarIconoGrande(LPCSTR pszPath, HICON &hIcon)
{
    return CargarIcono(pszPath, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), hIcon);
}

HRESULT CSis::CargarIconoPequeno(LPCSTR pszPath, HICON &hIcon)
{
    return CargarIcono(pszPath, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), hIcon);
}

HRESULT CSis::CargarCursor(LPCSTR pszPath, int cx, int cy, HCURSOR &hCursor)
{
    hCursor = static_cast<HCURSOR>(LoadImageA(nullptr, pszPath, IMAGE_CURSOR, cx, cy, LR_LOADFROMFILE));
    return ResultadoImagen(hCursor);
}

HRESULT CSis::CargarBitmap(LPCSTR pszPath, int, int, HBITMAP &hBitmap)
{
    hBitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, pszPath, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    return ResultadoImagen(hBitmap);
}

// JASC-PAL: "JASC-PAL", the version, the number of colours, then one "red green blue" line per
// colour. A file with fewer colour lines than it announces gives a palette of those present;
// a bad header, a count outside 1..65535, a colour line that is not three numbers 0..255, or a
// file without any colour line is refused (E_FAIL).
HRESULT CSis::CargarPaletaLogica(LPCSTR pszPath, HPALETTE &hPal)
{
    hPal = nullptr;
    CTxtIter iter;
    HRESULT hr = iter.Open(' ', pszPath, CTxtIter::modoSoloLectura);
    if (FAILED(hr))
        return hr;
    std::string cabecera;
    if (FAILED(iter.GetFieldValue(LONG{0}, cabecera)) || !comun::IgualSinCaso(cabecera, "JASC-PAL"))
        return E_FAIL;
    LONG cuenta = 0;
    if (FAILED(iter.Move(2)) || FAILED(iter.GetFieldValue(0, cuenta)) || cuenta < 1 ||
        cuenta > kMaxColoresPaleta)
        return E_FAIL;
    std::vector<PALETTEENTRY> colores;
    try
    {
        while (static_cast<LONG>(colores.size()) < cuenta && SUCCEEDED(iter.MoveNext()))
        {
            PALETTEENTRY color{};
            if (FAILED(LeerColor(iter, color)))
                return E_FAIL;
            colores.push_back(color);
        }
    }
    catch (const std::bad_alloc &)
    {
        return E_OUTOFMEMORY;
    }
    if (colores.empty())
        return E_FAIL;
    return CrearPaleta(colores, hPal);
}

HRESULT CSis::CrearPaletaLogica(HBITMAP hBitmap, HPALETTE &hPal)
{
    hPal = nullptr;
    BITMAP bm{};
    if (!hBitmap || GetObjectA(hBitmap, sizeof bm, &bm) != static_cast<int>(sizeof bm))
        return E_INVALIDARG;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return comun::HResultUltimoError();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = -bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels;
    try
    {
        pixels.resize(static_cast<size_t>(bm.bmWidth) * static_cast<size_t>(bm.bmHeight));
    }
    catch (const std::bad_alloc &)
    {
        ReleaseDC(nullptr, dc);
        return E_OUTOFMEMORY;
    }
    const int lines =
        GetDIBits(dc, hBitmap, 0, static_cast<UINT>(bm.bmHeight), pixels.data(), &info, DIB_RGB_COLORS);
    const HRESULT hr = lines == bm.bmHeight ? S_OK : comun::HResultUltimoError();
    ReleaseDC(nullptr, dc);
    if (FAILED(hr))
        return hr;
    std::vector<uint32_t> vistos;
    std::vector<PALETTEENTRY> colores;
    for (uint32_t pixel : pixels)
    {
        const uint32_t rgb = pixel & 0xFFFFFF;
        if (std::find(vistos.begin(), vistos.end(), rgb) != vistos.end())
            continue;
        vistos.push_back(rgb);
        colores.push_back(PALETTEENTRY{static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8),
                                       static_cast<BYTE>(rgb), 0});
        if (colores.size() == kMaxColoresBitmap)
            break;
    }
    return CrearPaleta(colores, hPal);
}

HRESULT CSis::VerTextoGUID(REFGUID guid, std::string &texto)
{
    OLECHAR buffer[64];
    const int length = StringFromGUID2(guid, buffer, 64);
    if (length <= 0)
    {
        texto.clear();
        return E_FAIL;
    }
    texto = comun::Utf16AAnsi(WStringView(buffer, static_cast<size_t>(length - 1)));
    return S_OK;
}

HRESULT CSis::VerTextoCLSID(REFCLSID clsid, std::string &texto)
{
    return VerTextoGUID(clsid, texto);
}

HRESULT CSis::VerTextoIID(REFIID iid, std::string &texto)
{
    return VerTextoGUID(iid, texto);
}

#ifdef _WIN32
namespace
{
// atl.dll's AtlAxGetControl (atlhost.h), which MinGW's import library leaves out: bound when
// first asked for.
HRESULT AtlAxGetControl(HWND hWnd, IUnknown **ppUnk)
{
    using Fn = HRESULT(WINAPI *)(HWND, IUnknown **);
    static const Fn fn = [] {
        HMODULE atl = LoadLibraryA("atl.dll");
        return atl ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(atl, "AtlAxGetControl")))
                   : nullptr;
    }();
    return fn ? fn(hWnd, ppUnk) : E_NOTIMPL;
}
} // namespace
#endif

HRESULT CSis::ObtenerDispatch(HWND hWnd, IDispatch *&pDispatch)
{
    pDispatch = nullptr;
    if (!hWnd)
        return E_INVALIDARG;
    IUnknown *control = nullptr;
    if (FAILED(AtlAxGetControl(hWnd, &control)) || !control)
        return E_INVALIDARG;
    const HRESULT hr = control->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&pDispatch));
    control->Release();
    return hr;
}

HRESULT CSis::VerVersionSO(DWORD &dwFlags)
{
    dwFlags = 0;
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&info)))
    {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&info)))
            return comun::HResultUltimoError();
    }
    dwFlags = FlagsDeVersion(reinterpret_cast<const OSVERSIONINFOA &>(info));
    return S_OK;
}

HRESULT CSis::HayFuentesGrandes(BOOL &bGrandes)
{
    bGrandes = FALSE;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return comun::HResultUltimoError();
    bGrandes = GetDeviceCaps(dc, LOGPIXELSX) != kPuntosPorPulgadaNormal;
    ReleaseDC(nullptr, dc);
    return S_OK;
}

HRESULT CSis::HayNavegador(BOOL &bHay)
{
    bHay = FALSE;
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp)
        return comun::HResultUltimoError();
    // A unique name from the system, then the same name with the extension looked up.
    char reservado[MAX_PATH];
    if (!GetTempFileNameA(temp, "qel", 0, reservado))
        return comun::HResultUltimoError();
    std::string pagina = reservado;
    const size_t punto = pagina.rfind('.');
    pagina = (punto == std::string::npos ? pagina : pagina.substr(0, punto)) + ".htm";
    HANDLE fichero =
        CreateFileA(pagina.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (fichero == INVALID_HANDLE_VALUE)
    {
        const HRESULT hr = comun::HResultUltimoError();
        DeleteFileA(reservado);
        return hr;
    }
    CloseHandle(fichero);
    char programa[MAX_PATH] = "";
    const auto resultado = reinterpret_cast<UINT_PTR>(FindExecutableA(pagina.c_str(), nullptr, programa));
    bHay = resultado > 32 && programa[0] != '\0';
    DeleteFileA(pagina.c_str());
    DeleteFileA(reservado);
    return S_OK;
}

HRESULT CSis::ReiniciarEquipo()
{
    return TerminarSesion(EWX_REBOOT);
}

HRESULT CSis::CerrarSesion()
{
    return TerminarSesion(EWX_LOGOFF);
}
