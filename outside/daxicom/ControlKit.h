// CControlKit: a component of the kit hosted as an ActiveX control in a child window. Create
// makes the component from its ProgID (or CLSID text), hosts it in a window record that is a
// child of the parent's, and connects a sink to its events; the events, fired on the
// component's worker threads, reach the parent's OnEventoControl on the parent's thread.
#pragma once

#include "outside/daxicom/Export.h"
#include "outside/qelmfc/Wnd.h"
#include "platform/windows.h"

#include <memory>
#include <utility>

// The events as the parent receives them (CEventoControl::dispid), whatever DISPIDs the
// component's own event interface gives them.
enum : DISPID
{
    DISPID_EVENTO_START = 1,
    DISPID_EVENTO_END = 2,
    DISPID_EVENTO_PROGRESSDONE = 3,
};

class DAXICOM_API CControlKit : public CWnd
{
  public:
    ~CControlKit() override;

    // lpszClassName: the component's ProgID ("DaxModem.SetZyxelConfig") or its CLSID text
    // ("{...}"). The style, rectangle and context are accepted as Windows takes them; the window
    // is a child of pParentWnd's, which hears the events and must outlive the wrapper (a page
    // and its controls). FALSE on any failure, with nothing left behind and the reason in
    // GetLastCreateError().
    BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT &rect,
                CWnd *pParentWnd, UINT nID, void *pContext = nullptr);
    // The component of this wrapper in the wizard's rectangle (50, 50, 100, 100), visible.
    BOOL Create(CWnd *pParentWnd, UINT nID);
    // Disconnects the events, releases the component and destroys the window. Events still on
    // their way to the parent are dropped.
    BOOL DestroyWindow();

    // The hosted component (not AddRef'ed); nullptr before Create or after DestroyWindow.
    IDispatch *GetControl() const;
    UINT GetDlgCtrlID() const { return m_nID; }
    HRESULT GetLastCreateError() const { return m_hrCreate; }

    // What a wrapper's methods return when there is no component to call.
    static constexpr LONG kSinControl = E_UNEXPECTED;

    // What a wrapper knows of its component: its ProgID, its dual interface and the DISPIDs of
    // its events.
    struct Tipo
    {
        LPCSTR pszProgId;
        const IID *piidDual;
        const IID *piidEventos;
        DISPID dispidStart;
        DISPID dispidEnd;
        DISPID dispidProgressDone;
    };

  protected:
    explicit CControlKit(const Tipo &tipo);

    // Calls a method of the component's dual interface I; kSinControl without a component.
    template <class I, class... P, class... A>
    LONG Invocar(HRESULT (STDMETHODCALLTYPE I::*metodo)(P...), A &&...args) const
    {
        I *control = static_cast<I *>(Dual());
        return control ? (control->*metodo)(std::forward<A>(args)...) : kSinControl;
    }
    // A method whose one [out] long is what the wrapper returns (a flag, a count); 0 when it
    // fails.
    template <class I> LONG Leer(HRESULT (STDMETHODCALLTYPE I::*metodo)(LONG *)) const
    {
        LONG lValor = 0;
        return SUCCEEDED(Invocar(metodo, &lValor)) ? lValor : 0;
    }

  private:
    struct Conexion;
    IDispatch *Dual() const;

    const Tipo m_tipo;
    std::unique_ptr<Conexion> m_conexion;
    UINT m_nID = 0;
    HRESULT m_hrCreate = S_OK;
};
