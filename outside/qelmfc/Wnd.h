// CWnd: what every window of the binding has. A window is a record of the PC (kitwindow.h), so
// other programs can find and activate it; here it also has the user-interface thread that
// made it, the calls posted to it, its timers and the events of the controls it hosts.
#pragma once

#include "outside/qelmfc/Export.h"
#include "platform/windows.h"

#include <functional>
#include <memory>
#include <string>

struct IDispatch;
namespace kitwin
{
class WindowBackend;
}

// An event of a hosted control (DaxICOM), as the owning window receives it: the event's
// DISPID (1 Start, 2 End, 3 ProgressDone for the kit's components), its status (0 when the
// event has none) and its text.
struct CEventoControl
{
    DISPID dispid = 0;
    LONG lStatus = 0;
    std::string texto;
};

class QELMFC_API CWnd
{
  public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd &) = delete;
    CWnd &operator=(const CWnd &) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    CWnd *GetParent() const { return m_pParent; }

    // Runs fn later on the thread that made this window, as a message posted to it would run.
    // Callable from any thread; FALSE when the window does not exist (any more). Calls still
    // waiting when the window is destroyed are dropped.
    BOOL PostCall(std::function<void()> fn);

    // Window timers: OnTimer(nIDEvent) every uElapse ms on the window's thread until KillTimer;
    // SetTimer with an id in use restarts it. uElapse is scaled by the binding's clock factor
    // (qelmfc::FactorReloj). SetTimer returns nIDEvent, 0 when the window does not exist.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT uElapse);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // The events of a control hosted in this window, delivered on the window's thread.
    virtual void OnEventoControl(UINT nIdControl, const CEventoControl &evento);
    virtual void OnTimer(UINT_PTR nIDEvent);

    HWND m_hWnd = nullptr;

  protected:
    // Makes the window's record: a child of the parent's when one is given, else a top-level
    // window; control is the ActiveX control it hosts, if any. FALSE with the last error set.
    // backend hears the changes this process makes to the record (kitwindow.h).
    BOOL CrearVentana(const std::string &texto, CWnd *pParent, IDispatch *control = nullptr,
                      kitwin::WindowBackend *backend = nullptr);
    void DestruirVentana();

  private:
    struct Impl;
    std::shared_ptr<Impl> m_impl;
    CWnd *m_pParent = nullptr;
};
