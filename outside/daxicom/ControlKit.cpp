// CControlKit: creating, hosting and connecting a component, and letting it go.
#include "outside/daxicom/ControlKit.h"
#include "outside/daxicom/Sumidero.h"
#include "outside/daxicom/Texto.h"

#include "common/com/ComPtr.h"

namespace
{
constexpr RECT kRectControl = {50, 50, 100, 100};

// The component's class from its ProgID or from its CLSID text.
HRESULT ClaseDe(LPCSTR lpszClassName, CLSID &clsid)
{
    if (!lpszClassName || !*lpszClassName)
        return E_INVALIDARG;
    const std::basic_string<OLECHAR> nombre = daxicom::Ancho(lpszClassName);
    return nombre.front() == OLECHAR('{') ? CLSIDFromString(nombre.c_str(), &clsid)
                                          : CLSIDFromProgID(nombre.c_str(), &clsid);
}

HRESULT UltimoError()
{
    const DWORD dwError = GetLastError();
    return dwError ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
}
} // namespace

// The component and its connection. Going away cuts the events off first, so none of them
// reaches the parent once the wrapper lets the component go.
struct CControlKit::Conexion
{
    ~Conexion()
    {
        if (destino)
            destino->Cortar();
        if (punto && dwCookie)
            punto->Unadvise(dwCookie);
    }

    HRESULT Crear(const CLSID &clsid, const IID &iidDual)
    {
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.PutVoid());
        if (SUCCEEDED(hr) && !control)
            hr = E_NOINTERFACE;
        if (SUCCEEDED(hr))
            hr = control->QueryInterface(iidDual, dual.PutVoid());
        return hr;
    }

    HRESULT Conectar(const Tipo &tipo, CWnd *pParent, UINT nID)
    {
        kitcom::ComPtr<IConnectionPointContainer> contenedor;
        HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer, contenedor.PutVoid());
        if (SUCCEEDED(hr))
            hr = contenedor->FindConnectionPoint(*tipo.piidEventos, &punto);
        if (FAILED(hr))
            return hr;
        destino = std::make_shared<daxicom::CDestino>(pParent, nID, tipo.pszProgId);
        kitcom::ComPtr<IDispatch> sumidero;
        sumidero.Attach(daxicom::CrearSumidero(
            *tipo.piidEventos, {tipo.dispidStart, tipo.dispidEnd, tipo.dispidProgressDone}, destino));
        if (!sumidero)
            return E_OUTOFMEMORY;
        return punto->Advise(sumidero.Get(), &dwCookie);
    }

    kitcom::ComPtr<IDispatch> control;
    kitcom::ComPtr<IDispatch> dual;
    kitcom::ComPtr<IConnectionPoint> punto;
    DWORD dwCookie = 0;
    std::shared_ptr<daxicom::CDestino> destino;
};

CControlKit::CControlKit(const Tipo &tipo) : m_tipo(tipo) {}

CControlKit::~CControlKit()
{
    DestroyWindow();
}

BOOL CControlKit::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD, const RECT &, CWnd *pParentWnd,
                         UINT nID, void *)
{
    if (m_conexion || m_hWnd)
    {
        m_hrCreate = E_UNEXPECTED; // one component per wrapper
        return FALSE;
    }
    if (!pParentWnd || !pParentWnd->GetSafeHwnd())
    {
        m_hrCreate = HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    CLSID clsid;
    auto conexion = std::make_unique<Conexion>();
    HRESULT hr = ClaseDe(lpszClassName, clsid);
    if (SUCCEEDED(hr))
        hr = conexion->Crear(clsid, *m_tipo.piidDual);
    if (SUCCEEDED(hr))
        hr = conexion->Conectar(m_tipo, pParentWnd, nID);
    if (SUCCEEDED(hr) &&
        !CrearVentana(lpszWindowName ? lpszWindowName : "", pParentWnd, conexion->control.Get()))
        hr = UltimoError();
    m_hrCreate = hr;
    if (FAILED(hr))
        return FALSE; // the connection goes with everything it made
    m_conexion = std::move(conexion);
    m_nID = nID;
    return TRUE;
}

BOOL CControlKit::Create(CWnd *pParentWnd, UINT nID)
{
    return Create(m_tipo.pszProgId, "", WS_CHILD | WS_VISIBLE, kRectControl, pParentWnd, nID);
}

BOOL CControlKit::DestroyWindow()
{
    const BOOL bHabia = m_conexion || m_hWnd;
    m_conexion.reset();
    DestruirVentana();
    m_nID = 0;
    return bHabia;
}

IDispatch *CControlKit::GetControl() const
{
    return m_conexion ? m_conexion->control.Get() : nullptr;
}

IDispatch *CControlKit::Dual() const
{
    return m_conexion ? m_conexion->dual.Get() : nullptr;
}
