// A router parameter object kept in memory, for the fuzzers and for the tests that make the
// object fail on purpose. Values are stored as given and returned unchanged, as the real
// DaxParam object does; a failure hook decides which calls fail. Not a COM class (no factory,
// no dispatch): it is handed over as an IRouterParam pointer.
#pragma once

#include "common/param/ParamObjects.h"
#include "platform/wstring.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

class CMemoryRouterParam final : public IRouterParam
{
  public:
    // Returns the HRESULT a call should fail with, or S_OK to let it run. The argument is the
    // method's name ("GetLan", "SetPorts"...).
    using FailHook = std::function<HRESULT(std::string_view method)>;

    static CMemoryRouterParam *Create() { return new CMemoryRouterParam(); }
    void SetFailHook(FailHook hook) { m_fail = std::move(hook); }
    int Calls() const { return m_calls; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDispatch) ||
            IsEqualGUID(riid, IID_IRouterParam))
        {
            *ppv = static_cast<IRouterParam *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    // IDispatch: not offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        return E_NOTIMPL;
    }

    // IRouterParam
    HRESULT STDMETHODCALLTYPE CopyTo(IUnknown *) override { return Fail("CopyTo", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE SetLan(BSTR a, BSTR b) override
    {
        return Put("SetLan", m_lanIp, m_lanMask, a, b);
    }
    HRESULT STDMETHODCALLTYPE GetLan(BSTR *a, BSTR *b) override
    {
        return Get("GetLan", m_lanIp, m_lanMask, a, b);
    }
    HRESULT STDMETHODCALLTYPE SetWan(BSTR a, BSTR b) override
    {
        return Put("SetWan", m_wanIp, m_wanMask, a, b);
    }
    HRESULT STDMETHODCALLTYPE GetWan(BSTR *a, BSTR *b) override
    {
        return Get("GetWan", m_wanIp, m_wanMask, a, b);
    }
    HRESULT STDMETHODCALLTYPE SetDns(BSTR a, BSTR b) override { return Put("SetDns", m_dns1, m_dns2, a, b); }
    HRESULT STDMETHODCALLTYPE GetDns(BSTR *a, BSTR *b) override
    {
        return Get("GetDns", m_dns1, m_dns2, a, b);
    }
    HRESULT STDMETHODCALLTYPE SetDhcp(BSTR a, BSTR b) override
    {
        return Put("SetDhcp", m_dhcpStart, m_dhcpSize, a, b);
    }
    HRESULT STDMETHODCALLTYPE GetDhcp(BSTR *a, BSTR *b) override
    {
        return Get("GetDhcp", m_dhcpStart, m_dhcpSize, a, b);
    }
    HRESULT STDMETHODCALLTYPE SetNat(LONG v) override { return PutFlag("SetNat", m_nat, v); }
    HRESULT STDMETHODCALLTYPE GetNat(LONG *v) override { return GetFlag("GetNat", m_nat, v); }
    HRESULT STDMETHODCALLTYPE SetBridge(LONG v) override { return PutFlag("SetBridge", m_bridge, v); }
    HRESULT STDMETHODCALLTYPE GetBridge(LONG *v) override { return GetFlag("GetBridge", m_bridge, v); }
    HRESULT STDMETHODCALLTYPE SetUser(BSTR a, BSTR b) override
    {
        return Put("SetUser", m_user, m_password, a, b);
    }
    HRESULT STDMETHODCALLTYPE GetUser(BSTR *a, BSTR *b) override
    {
        return Get("GetUser", m_user, m_password, a, b);
    }
    HRESULT STDMETHODCALLTYPE SetEncap(LONG v) override { return PutFlag("SetEncap", m_encap, v); }
    HRESULT STDMETHODCALLTYPE GetEncap(LONG *v) override { return GetFlag("GetEncap", m_encap, v); }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        if (HRESULT hr = Fail("Reset"); FAILED(hr))
            return hr;
        for (WString *text : {&m_lanIp, &m_lanMask, &m_wanIp, &m_wanMask, &m_dns1, &m_dns2, &m_dhcpStart,
                              &m_dhcpSize, &m_user, &m_password, &m_ports})
            text->clear();
        m_nat = m_bridge = m_encap = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPorts(BSTR a) override
    {
        if (HRESULT hr = Fail("SetPorts"); FAILED(hr))
            return hr;
        m_ports.assign(a ? a : OLESTR(""), SysStringLen(a));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPorts(BSTR *a) override
    {
        if (HRESULT hr = Fail("GetPorts"); FAILED(hr))
            return hr;
        if (!a)
            return E_POINTER;
        *a = SysAllocStringLen(m_ports.data(), static_cast<UINT>(m_ports.size()));
        return *a ? S_OK : E_OUTOFMEMORY;
    }

  private:
    CMemoryRouterParam() = default;
    ~CMemoryRouterParam() = default;

    HRESULT Fail(std::string_view method, HRESULT otherwise = S_OK)
    {
        ++m_calls;
        if (m_fail)
            if (HRESULT hr = m_fail(method); FAILED(hr))
                return hr;
        return otherwise;
    }
    HRESULT Put(std::string_view method, WString &first, WString &second, BSTR a, BSTR b)
    {
        if (HRESULT hr = Fail(method); FAILED(hr))
            return hr;
        first.assign(a ? a : OLESTR(""), SysStringLen(a));
        second.assign(b ? b : OLESTR(""), SysStringLen(b));
        return S_OK;
    }
    HRESULT Get(std::string_view method, const WString &first, const WString &second, BSTR *a, BSTR *b)
    {
        if (HRESULT hr = Fail(method); FAILED(hr))
            return hr;
        if (!a || !b)
            return E_POINTER;
        *a = SysAllocStringLen(first.data(), static_cast<UINT>(first.size()));
        *b = SysAllocStringLen(second.data(), static_cast<UINT>(second.size()));
        if (*a && *b)
            return S_OK;
        SysFreeString(*a);
        SysFreeString(*b);
        *a = *b = nullptr;
        return E_OUTOFMEMORY;
    }
    HRESULT PutFlag(std::string_view method, LONG &flag, LONG value)
    {
        if (HRESULT hr = Fail(method); FAILED(hr))
            return hr;
        flag = value;
        return S_OK;
    }
    HRESULT GetFlag(std::string_view method, LONG flag, LONG *value)
    {
        if (HRESULT hr = Fail(method); FAILED(hr))
            return hr;
        if (!value)
            return E_POINTER;
        *value = flag;
        return S_OK;
    }

    std::atomic<ULONG> m_refs{1};
    int m_calls = 0;
    FailHook m_fail;
    WString m_lanIp, m_lanMask, m_wanIp, m_wanMask, m_dns1, m_dns2, m_dhcpStart, m_dhcpSize, m_user,
        m_password, m_ports;
    LONG m_nat = 0, m_bridge = 0, m_encap = 0;
};
