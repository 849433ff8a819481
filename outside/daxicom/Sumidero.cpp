// The events sink: an IDispatch that answers only what a connection point asks of it and turns
// each event into a CEventoControl for the parent window.
#include "outside/daxicom/Sumidero.h"
#include "outside/daxicom/ControlKit.h"
#include "outside/daxicom/Eventos.h"
#include "outside/daxicom/Texto.h"

#include <atomic>
#include <new>
#include <utility>

namespace daxicom
{
void CDestino::Enviar(CEventoControl evento)
{
    AnotarEvento(m_componente, evento.dispid, evento.lStatus, evento.texto);
    // Held while posting, so Cortar cannot return between the check and the post.
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_pParent)
        m_pParent->PostCall(
            [self = shared_from_this(), evento = std::move(evento)] { self->Entregar(evento); });
}

void CDestino::Cortar()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_pParent = nullptr;
}

void CDestino::Entregar(const CEventoControl &evento)
{
    CWnd *pParent = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        pParent = m_pParent;
    }
    // Outside the lock: the handler may destroy the wrapper, which cuts this off.
    if (pParent)
        pParent->OnEventoControl(m_nID, evento);
}

namespace
{
class CVariant
{
  public:
    CVariant() { VariantInit(&m_v); }
    ~CVariant() { VariantClear(&m_v); }
    CVariant(const CVariant &) = delete;
    CVariant &operator=(const CVariant &) = delete;
    VARIANT m_v;
};

// The event's argument number `indice` counted from the first (DISPPARAMS keeps them last
// first), coerced to vt.
HRESULT Argumento(const DISPPARAMS &params, UINT indice, VARTYPE vt, CVariant &valor, UINT *puArgErr)
{
    const UINT posicion = params.cArgs - 1 - indice;
    const HRESULT hr = VariantChangeType(&valor.m_v, &params.rgvarg[posicion], 0, vt);
    if (FAILED(hr) && puArgErr)
        *puArgErr = posicion;
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT ContarArgumentos(const DISPPARAMS &params, UINT cArgs)
{
    if (params.cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    if (params.cArgs != cArgs || !params.rgvarg)
        return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

// Start and End: (long status, BSTR text).
HRESULT LeerEstadoYTexto(const DISPPARAMS &params, CEventoControl &evento, UINT *puArgErr)
{
    HRESULT hr = ContarArgumentos(params, 2);
    CVariant estado, texto;
    if (SUCCEEDED(hr))
        hr = Argumento(params, 0, VT_I4, estado, puArgErr);
    if (SUCCEEDED(hr))
        hr = Argumento(params, 1, VT_BSTR, texto, puArgErr);
    if (SUCCEEDED(hr))
    {
        evento.lStatus = estado.m_v.lVal;
        evento.texto = Estrecho(texto.m_v.bstrVal);
    }
    return hr;
}

// ProgressDone: (BSTR text).
HRESULT LeerTexto(const DISPPARAMS &params, CEventoControl &evento, UINT *puArgErr)
{
    HRESULT hr = ContarArgumentos(params, 1);
    CVariant texto;
    if (SUCCEEDED(hr))
        hr = Argumento(params, 0, VT_BSTR, texto, puArgErr);
    if (SUCCEEDED(hr))
        evento.texto = Estrecho(texto.m_v.bstrVal);
    return hr;
}

class CSumidero final : public IDispatch
{
  public:
    CSumidero(const IID &iidEventos, const TablaEventos &tabla, std::shared_ptr<CDestino> destino)
        : m_iidEventos(iidEventos), m_tabla(tabla), m_destino(std::move(destino))
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IDispatch) &&
            !IsEqualGUID(riid, m_iidEventos))
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_cRef; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG cRef = --m_cRef;
        if (cRef == 0)
            delete this;
        return cRef;
    }

    // No type information: the component calls its events by DISPID.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo) override
    {
        if (ppTInfo)
            *ppTInfo = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS *pDispParams,
                                     VARIANT *, EXCEPINFO *, UINT *puArgErr) override
    {
        if (!pDispParams)
            return E_POINTER;
        CEventoControl evento;
        HRESULT hr = S_OK;
        if (dispIdMember == m_tabla.start || dispIdMember == m_tabla.end)
        {
            evento.dispid = dispIdMember == m_tabla.start ? DISPID_EVENTO_START : DISPID_EVENTO_END;
            hr = LeerEstadoYTexto(*pDispParams, evento, puArgErr);
        }
        else if (dispIdMember == m_tabla.progressDone)
        {
            evento.dispid = DISPID_EVENTO_PROGRESSDONE;
            hr = LeerTexto(*pDispParams, evento, puArgErr);
        }
        else
            return DISP_E_MEMBERNOTFOUND;
        if (SUCCEEDED(hr))
            m_destino->Enviar(std::move(evento));
        return hr;
    }

  private:
    ~CSumidero() = default;

    std::atomic<ULONG> m_cRef{1};
    const IID m_iidEventos;
    const TablaEventos m_tabla;
    const std::shared_ptr<CDestino> m_destino;
};
} // namespace

IDispatch *CrearSumidero(const IID &iidEventos, const TablaEventos &tabla, std::shared_ptr<CDestino> destino)
{
    return new (std::nothrow) CSumidero(iidEventos, tabla, std::move(destino));
}
} // namespace daxicom
