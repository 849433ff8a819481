// CWnd: the window record, posted calls and window timers on the thread that made the window.
#include "outside/qelmfc/Wnd.h"
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Interfaz.h"

#include "platform/kit/kitwindow.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

struct CWnd::Impl
{
    std::mutex lock; // PostCall comes from any thread
    QObject *receptor = nullptr;
    std::map<UINT_PTR, QTimer *> timers;
};

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
    qelmfc::AsegurarAplicacion();
    kitwin::WindowDesc desc;
    desc.text = texto;
    desc.parent = pParent ? pParent->m_hWnd : nullptr;
    desc.control = control;
    desc.backend = backend;
    m_hWnd = kitwin::CreateWindowRecord(desc);
    if (!m_hWnd)
        return FALSE;
    m_pParent = pParent;
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->receptor = new QObject;
    return TRUE;
}

void CWnd::DestruirVentana()
{
    QObject *receptor = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        receptor = std::exchange(m_impl->receptor, nullptr);
        m_impl->timers.clear();
    }
    // Deleting the receiver drops its timers and the calls still posted to it.
    delete receptor;
    if (m_hWnd)
    {
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

BOOL CWnd::PostCall(std::function<void()> fn)
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (!m_impl->receptor)
        return FALSE;
    QMetaObject::invokeMethod(m_impl->receptor, std::move(fn), Qt::QueuedConnection);
    return TRUE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT uElapse)
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (!m_impl->receptor)
        return 0;
    QTimer *&timer = m_impl->timers[nIDEvent];
    if (!timer)
    {
        timer = new QTimer(m_impl->receptor);
        // A window timer fires on its interval, to the system's tick; Qt's default coarse
        // timers may be 5% of it late (or early).
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, m_impl->receptor, [this, nIDEvent] { OnTimer(nIDEvent); });
    }
    const double ms = std::max(1.0, std::round(uElapse * qelmfc::FactorReloj()));
    timer->start(static_cast<int>(std::min(ms, 2147483647.0)));
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    QTimer *timer = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        auto it = m_impl->timers.find(nIDEvent);
        if (it == m_impl->timers.end())
            return FALSE;
        timer = it->second;
        m_impl->timers.erase(it);
    }
    timer->stop();
    timer->deleteLater();
    return TRUE;
}

void CWnd::OnEventoControl(UINT, const CEventoControl &) {}

void CWnd::OnTimer(UINT_PTR) {}
