// CWnd on Windows: a real window of the binding's class, on the thread that made it; posted calls
// and timers come to it as messages of that thread's queue.
#include "outside/qelmfc/Wnd.h"
#include "outside/qelmfc/Interfaz.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <utility>

namespace
{
constexpr char kClase[] = "QelMFCVentana";
// The window's posted calls are waiting in its queue of calls.
constexpr UINT kLlamadas = WM_APP + 0x51;

HINSTANCE Modulo()
{
    HMODULE modulo = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Modulo), &modulo);
    return modulo;
}
} // namespace

struct CWnd::Impl
{
    std::mutex lock; // PostCall comes from any thread
    HWND hwnd = nullptr;
    std::deque<std::function<void()>> llamadas;

    static LRESULT CALLBACK Procedimiento(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static bool Registrar();
};

LRESULT CALLBACK CWnd::Impl::Procedimiento(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
    {
        const auto *crear = reinterpret_cast<const CREATESTRUCTA *>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(crear->lpCreateParams));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    auto *ventana = reinterpret_cast<CWnd *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!ventana)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg)
    {
    case kLlamadas: {
        // One at a time, the lock not held: a call may post calls or destroy the window.
        const std::shared_ptr<Impl> impl = ventana->m_impl;
        for (;;)
        {
            std::function<void()> llamada;
            {
                std::lock_guard<std::mutex> guard(impl->lock);
                if (impl->hwnd != hwnd || impl->llamadas.empty())
                    break;
                llamada = std::move(impl->llamadas.front());
                impl->llamadas.pop_front();
            }
            llamada();
        }
        return 0;
    }
    case WM_TIMER:
        ventana->OnTimer(wParam);
        return 0;
    case WM_CLOSE:
        // The program closes its windows when their work is done, never the user.
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool CWnd::Impl::Registrar()
{
    static const bool registrada = [] {
        WNDCLASSA clase{};
        clase.lpfnWndProc = &Impl::Procedimiento;
        clase.hInstance = Modulo();
        clase.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)); // IDC_WAIT
        clase.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        clase.lpszClassName = kClase;
        return RegisterClassA(&clase) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registrada;
}

CWnd::CWnd() : m_impl(std::make_shared<Impl>()) {}

CWnd::~CWnd()
{
    DestruirVentana();
}

BOOL CWnd::CrearVentana(const std::string &texto, CWnd *pParent, IDispatch *control,
                        kitwin::WindowBackend *backend)
{
    if (m_hWnd)
        return TRUE;
    // Hosted ActiveX controls and the PC's window records are the Qt binding's: not here.
    if (control || backend)
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (!Impl::Registrar())
        return FALSE;
    const HWND padre = pParent ? pParent->m_hWnd : nullptr;
    const DWORD estilo = padre ? WS_CHILD : WS_POPUP | WS_CAPTION;
    const HWND hwnd = CreateWindowExA(0, kClase, texto.c_str(), estilo, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, padre, nullptr, Modulo(), this);
    if (!hwnd)
        return FALSE;
    m_hWnd = hwnd;
    m_pParent = pParent;
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->hwnd = hwnd;
    return TRUE;
}

void CWnd::DestruirVentana()
{
    HWND hwnd = nullptr;
    {
        // The calls still waiting go with the window.
        std::lock_guard<std::mutex> guard(m_impl->lock);
        hwnd = std::exchange(m_impl->hwnd, nullptr);
        m_impl->llamadas.clear();
    }
    if (hwnd)
        DestroyWindow(hwnd);
    m_hWnd = nullptr;
}

BOOL CWnd::PostCall(std::function<void()> fn)
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (!m_impl->hwnd)
        return FALSE;
    m_impl->llamadas.push_back(std::move(fn));
    if (!PostMessageA(m_impl->hwnd, kLlamadas, 0, 0))
    {
        m_impl->llamadas.pop_back();
        return FALSE;
    }
    return TRUE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT uElapse)
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (!m_impl->hwnd)
        return 0;
    const double ms = std::max(1.0, std::round(uElapse * qelmfc::FactorReloj()));
    // The same id restarts the window's timer, as SetTimer does.
    if (!::SetTimer(m_impl->hwnd, nIDEvent, static_cast<UINT>(std::min(ms, 2147483647.0)), nullptr))
        return 0;
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (!m_impl->hwnd)
        return FALSE;
    return ::KillTimer(m_impl->hwnd, nIDEvent);
}

void CWnd::OnEventoControl(UINT, const CEventoControl &) {}

void CWnd::OnTimer(UINT_PTR) {}
