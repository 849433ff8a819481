// CVentanaImagen on Windows: the picture window drawn with GDI, its lines kept and drawn again
// at every WM_PAINT.
#include "outside/qelmfc/VentanaImagen.h"
#include "outside/qelmfc/Interfaz.h"

#include <map>
#include <mutex>
#include <optional>

namespace
{
constexpr char kPropiedad[] = "QelMFCVentanaImagen";
constexpr DWORD kEstilo = WS_POPUP | WS_CAPTION;

struct Linea
{
    std::string texto;
    int y = 0;
    int derecha = 0;
    COLORREF color = 0;
};

// A name or ordinal of a dialog template (sz_Or_Ord): skipped, with the bounds checked.
bool SaltarNombre(const WORD *&p, const WORD *fin)
{
    if (p >= fin)
        return false;
    if (*p == 0x0000)
    {
        ++p;
        return true;
    }
    if (*p == 0xFFFF)
    {
        p += 2;
        return p <= fin;
    }
    while (p < fin && *p)
        ++p;
    if (p >= fin)
        return false;
    ++p;
    return true;
}

// The caption of dialog template id of the module (DLGTEMPLATE or DLGTEMPLATEEX), in the ANSI
// code page; none without the template or with a template cut short.
std::optional<std::string> TituloDePlantilla(HMODULE modulo, UINT id)
{
    const HRSRC recurso = FindResourceA(modulo, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)); // RT_DIALOG
    const HGLOBAL cargado = recurso ? LoadResource(modulo, recurso) : nullptr;
    const auto *datos = cargado ? static_cast<const WORD *>(LockResource(cargado)) : nullptr;
    const DWORD tam = recurso ? SizeofResource(modulo, recurso) : 0;
    if (!datos || tam < 18)
        return std::nullopt;
    const WORD *fin = datos + tam / sizeof(WORD);
    const bool extendida = datos[0] == 1 && datos[1] == 0xFFFF;
    // The fixed header: DLGTEMPLATEEX's 26 bytes, DLGTEMPLATE's 18.
    const WORD *p = datos + (extendida ? 13 : 9);
    if (!SaltarNombre(p, fin) || !SaltarNombre(p, fin))
        return std::nullopt;
    const WORD *titulo = p;
    while (p < fin && *p)
        ++p;
    if (p >= fin)
        return std::nullopt;
    const int n = static_cast<int>(p - titulo);
    if (n == 0)
        return std::string();
    const auto *ancho = reinterpret_cast<const WCHAR *>(titulo);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, ancho, n, nullptr, 0, nullptr, nullptr);
    std::string texto(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, ancho, n, texto.data(), bytes, nullptr, nullptr);
    return texto;
}

// The system font, the one a device context draws with until a font is chosen.
HFONT FuenteSistema()
{
    return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}
} // namespace

struct CVentanaImagen::Impl
{
    HBITMAP imagen = nullptr;
    SIZE tamano{0, 0};
    WNDPROC anterior = nullptr;
    mutable std::mutex lock; // the lines are written from any thread, read by the window's
    std::map<int, Linea> lineas;

    static LRESULT CALLBACK Procedimiento(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Pintar(HWND hwnd);
};

// The window's own messages ahead of CWnd's: the picture and the lines, the wait cursor.
LRESULT CALLBACK CVentanaImagen::Impl::Procedimiento(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto *impl = static_cast<Impl *>(GetPropA(hwnd, kPropiedad));
    if (!impl)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    const WNDPROC anterior = impl->anterior;
    switch (msg)
    {
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers all of it
    case WM_PAINT:
        impl->Pintar(hwnd);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT)
        {
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514))); // IDC_WAIT
            return TRUE;
        }
        break;
    case WM_NCDESTROY:
        RemovePropA(hwnd, kPropiedad);
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(anterior));
        break;
    }
    return CallWindowProcA(anterior, hwnd, msg, wParam, lParam);
}

void CVentanaImagen::Impl::Pintar(HWND hwnd)
{
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    RECT cliente{};
    GetClientRect(hwnd, &cliente);
    const int ancho = cliente.right, alto = cliente.bottom;
    // Drawn aside first, then put on the window at once: the lines never flicker over it.
    const HDC lienzo = CreateCompatibleDC(dc);
    const HBITMAP mapa = CreateCompatibleBitmap(dc, ancho, alto);
    const HGDIOBJ mapaAnterior = SelectObject(lienzo, mapa);
    const HDC origen = CreateCompatibleDC(dc);
    const HGDIOBJ imagenAnterior = SelectObject(origen, imagen);
    BITMAP info{};
    GetObjectA(imagen, sizeof info, &info);
    SetStretchBltMode(lienzo, COLORONCOLOR);
    StretchBlt(lienzo, 0, 0, ancho, alto, origen, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(origen, imagenAnterior);
    DeleteDC(origen);

    SetBkMode(lienzo, TRANSPARENT);
    const HGDIOBJ fuenteAnterior = SelectObject(lienzo, FuenteSistema());
    std::map<int, Linea> copia;
    {
        std::lock_guard<std::mutex> guard(lock);
        copia = lineas;
    }
    for (const auto &[indice, linea] : copia)
    {
        SetTextColor(lienzo, linea.color);
        RECT caja{0, linea.y, ancho - linea.derecha, alto};
        DrawTextA(lienzo, linea.texto.c_str(), static_cast<int>(linea.texto.size()), &caja,
                  DT_RIGHT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(lienzo, fuenteAnterior);
    BitBlt(dc, 0, 0, ancho, alto, lienzo, 0, 0, SRCCOPY);
    SelectObject(lienzo, mapaAnterior);
    DeleteObject(mapa);
    DeleteDC(lienzo);
    EndPaint(hwnd, &ps);
}

CVentanaImagen::CVentanaImagen() : m_p(std::make_unique<Impl>()) {}

CVentanaImagen::~CVentanaImagen()
{
    Destruir();
}

BOOL CVentanaImagen::Crear(HMODULE modulo, UINT idPlantilla, const std::string &bitmap)
{
    if (m_hWnd)
        return TRUE;
    const std::optional<std::string> titulo = TituloDePlantilla(modulo, idPlantilla);
    if (!titulo)
    {
        qelmfc::Transcribir("!! no hay plantilla de diálogo " + std::to_string(idPlantilla));
        return FALSE;
    }
    const auto imagen =
        static_cast<HBITMAP>(LoadImageA(nullptr, bitmap.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    BITMAP info{};
    if (!imagen || !GetObjectA(imagen, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight == 0)
    {
        if (imagen)
            DeleteObject(imagen);
        return FALSE;
    }
    if (!CrearVentana(*titulo, nullptr))
    {
        DeleteObject(imagen);
        return FALSE;
    }
    m_p->imagen = imagen;
    m_p->tamano = {info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
    {
        std::lock_guard<std::mutex> guard(m_p->lock);
        m_p->lineas.clear();
    }
    // The client area the bitmap's size, the window centred on the screen.
    RECT marco{0, 0, m_p->tamano.cx, m_p->tamano.cy};
    AdjustWindowRectEx(&marco, kEstilo, FALSE, 0);
    const int ancho = marco.right - marco.left, alto = marco.bottom - marco.top;
    SetWindowLongPtrA(m_hWnd, GWL_STYLE, kEstilo);
    SetWindowPos(m_hWnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - ancho) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - alto) / 2, ancho, alto,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    SetPropA(m_hWnd, kPropiedad, m_p.get());
    m_p->anterior = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Impl::Procedimiento)));
    ShowWindow(m_hWnd, SW_SHOW);
    UpdateWindow(m_hWnd);
    SetForegroundWindow(m_hWnd);
    qelmfc::Transcribir("== Ventana «" + *titulo + "» (" + std::to_string(m_p->tamano.cx) + "×" +
                        std::to_string(m_p->tamano.cy) + ")");
    return TRUE;
}

SIZE CVentanaImagen::Tamano() const
{
    return m_p->tamano;
}

SIZE CVentanaImagen::MedirTexto(const std::string &texto) const
{
    SIZE tam{0, 0};
    const HDC dc = GetDC(nullptr);
    if (!dc)
        return tam;
    const HGDIOBJ anterior = SelectObject(dc, FuenteSistema());
    if (texto.empty())
    {
        // One line's height all the same, as Windows measures a blank.
        TEXTMETRICA metricas{};
        GetTextMetricsA(dc, &metricas);
        tam.cy = metricas.tmHeight;
    }
    else
        GetTextExtentPoint32A(dc, texto.c_str(), static_cast<int>(texto.size()), &tam);
    SelectObject(dc, anterior);
    ReleaseDC(nullptr, dc);
    return tam;
}

void CVentanaImagen::DibujarLinea(int indice, const std::string &texto, int y, int derecha, COLORREF color)
{
    if (indice < 0)
        return;
    {
        std::lock_guard<std::mutex> guard(m_p->lock);
        m_p->lineas[indice] = {texto, y, derecha, color};
    }
    // The window's thread repaints; a window that is gone draws nothing.
    const BOOL enVentana = PostCall([this] {
        if (m_hWnd)
        {
            InvalidateRect(m_hWnd, nullptr, FALSE);
            UpdateWindow(m_hWnd);
        }
    });
    if (enVentana)
        qelmfc::Transcribir("   · " + texto);
}

// GDI has no PNG writer: no picture of the window on this build.
BOOL CVentanaImagen::Capturar(const std::string &)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

void CVentanaImagen::Destruir()
{
    DestruirVentana();
    if (m_p->imagen)
        DeleteObject(m_p->imagen);
    m_p->imagen = nullptr;
    m_p->tamano = {0, 0};
    std::lock_guard<std::mutex> guard(m_p->lock);
    m_p->lineas.clear();
}
