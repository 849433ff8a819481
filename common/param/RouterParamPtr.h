// RouterParamPtr: the call wrapper of the router parameter object (IRouterParam), as the
// modem module and the wizard use it. Every method throws CComError (HRESULT, IID_IRouterParam)
// when the call fails or when the holder is empty (E_POINTER).
//
//     RouterParamPtr param;
//     if (FAILED(param.CreateInstance()))      // no object: report the failure
//         ...
//     param.SetLan("192.168.1.1", "255.255.255.0");
//     auto [ip, mask] = param.GetLan();
#pragma once

#include "common/param/ParamObjects.h"
#include "common/param/ParamPtr.h"

class RouterParamPtr : public ParamPtr<IRouterParam>
{
  public:
    using ParamPtr::ParamPtr;

    // A new RouterParam (never throws): S_OK, or the failing HRESULT with the holder empty.
    HRESULT CreateInstance() noexcept { return CreateOf(CLSID_RouterParam); }

    HRESULT CopyTo(IUnknown *pTarget) const;
    // A new RouterParam filled from this one, handed out through *ppCopy (never throws): S_OK,
    // or the failing HRESULT with *ppCopy untouched.
    HRESULT NewCopy(IUnknown **ppCopy) const noexcept;
    HRESULT SetLan(std::string_view ip, std::string_view mask) const;
    TextPair GetLan() const; // ip, mask
    HRESULT SetWan(std::string_view ip, std::string_view mask) const;
    TextPair GetWan() const; // ip, mask
    HRESULT SetDns(std::string_view dns1, std::string_view dns2) const;
    TextPair GetDns() const; // dns1, dns2
    HRESULT SetDhcp(std::string_view start, std::string_view size) const;
    TextPair GetDhcp() const; // start, size
    HRESULT SetNat(LONG lNat) const;
    LONG GetNat() const;
    HRESULT SetBridge(LONG lBridge) const;
    LONG GetBridge() const;
    HRESULT SetUser(std::string_view user, std::string_view password) const;
    TextPair GetUser() const; // user, password
    HRESULT SetEncap(LONG lEncap) const;
    LONG GetEncap() const;
    HRESULT Reset() const;
    HRESULT SetPorts(std::string_view ports) const;
    std::string GetPorts() const;
};
