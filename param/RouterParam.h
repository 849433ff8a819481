// CRouterParam: the router parameter object ("DaxParam.RouterParam"), the modem-router's
// settings as the wizard hands them to the modem module and the module hands them back.
//
// Values are stored as given and read back unchanged (no checks: the router's file writer
// decides what they mean). Before anything is set, and after Reset, every text is empty and
// every flag 0 (RouterValues). Every method holds the object's lock, so the object may be used
// from a client's thread and a component's worker at once.
#pragma once

#include "common/com/Object.h"
#include "param/ParamState.h"

#include <span>

class CRouterParam final : public kitcom::Object<CRouterParam, IRouterParam, IRouterParamState>
{
  public:
    CRouterParam() = default;

    static std::span<const kitcom::DispMember<CRouterParam>> DispatchTable();

    // IRouterParam
    HRESULT STDMETHODCALLTYPE CopyTo(IUnknown *pTarget) override;
    HRESULT STDMETHODCALLTYPE SetLan(BSTR bstrIp, BSTR bstrMask) override;
    HRESULT STDMETHODCALLTYPE GetLan(BSTR *pbstrIp, BSTR *pbstrMask) override;
    HRESULT STDMETHODCALLTYPE SetWan(BSTR bstrIp, BSTR bstrMask) override;
    HRESULT STDMETHODCALLTYPE GetWan(BSTR *pbstrIp, BSTR *pbstrMask) override;
    HRESULT STDMETHODCALLTYPE SetDns(BSTR bstrDns1, BSTR bstrDns2) override;
    HRESULT STDMETHODCALLTYPE GetDns(BSTR *pbstrDns1, BSTR *pbstrDns2) override;
    HRESULT STDMETHODCALLTYPE SetDhcp(BSTR bstrStart, BSTR bstrSize) override;
    HRESULT STDMETHODCALLTYPE GetDhcp(BSTR *pbstrStart, BSTR *pbstrSize) override;
    HRESULT STDMETHODCALLTYPE SetNat(LONG lNat) override;
    HRESULT STDMETHODCALLTYPE GetNat(LONG *plNat) override;
    HRESULT STDMETHODCALLTYPE SetBridge(LONG lBridge) override;
    HRESULT STDMETHODCALLTYPE GetBridge(LONG *plBridge) override;
    HRESULT STDMETHODCALLTYPE SetUser(BSTR bstrUser, BSTR bstrPassword) override;
    HRESULT STDMETHODCALLTYPE GetUser(BSTR *pbstrUser, BSTR *pbstrPassword) override;
    HRESULT STDMETHODCALLTYPE SetEncap(LONG lEncap) override;
    HRESULT STDMETHODCALLTYPE GetEncap(LONG *plEncap) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE SetPorts(BSTR bstrPorts) override;
    HRESULT STDMETHODCALLTYPE GetPorts(BSTR *pbstrPorts) override;

    // IRouterParamState
    HRESULT STDMETHODCALLTYPE ReadValues(RouterValues *pValues) override;
    HRESULT STDMETHODCALLTYPE WriteValues(const RouterValues *pValues) override;

  private:
    using TextMember = ParamText RouterValues::*;
    using FlagMember = LONG RouterValues::*;

    HRESULT SetPair(TextMember first, TextMember second, BSTR bstrFirst, BSTR bstrSecond);
    HRESULT GetPair(TextMember first, TextMember second, BSTR *pbstrFirst, BSTR *pbstrSecond);
    HRESULT SetFlag(FlagMember flag, LONG lValue);
    HRESULT GetFlag(FlagMember flag, LONG *plValue);

    kitcom::AutoCriticalSection m_lock; // entered for the length of every method
    RouterValues m_values;              // guarded by m_lock
};
