// RouterParamPtr: the call wrapper of IRouterParam.
#include "common/param/RouterParamPtr.h"

HRESULT RouterParamPtr::CopyTo(IUnknown *pTarget) const
{
    return Call(&IRouterParam::CopyTo, pTarget);
}

HRESULT RouterParamPtr::NewCopy(IUnknown **ppCopy) const noexcept
{
    RouterParamPtr copy;
    HRESULT hr = copy.CreateInstance();
    if (SUCCEEDED(hr))
        hr = Get() ? Get()->CopyTo(copy.Get()) : E_POINTER;
    if (SUCCEEDED(hr))
        *ppCopy = copy.Detach();
    return hr;
}

HRESULT RouterParamPtr::SetLan(std::string_view ip, std::string_view mask) const
{
    return PutTexts(&IRouterParam::SetLan, ip, mask);
}

TextPair RouterParamPtr::GetLan() const
{
    return GetTexts(&IRouterParam::GetLan);
}

HRESULT RouterParamPtr::SetWan(std::string_view ip, std::string_view mask) const
{
    return PutTexts(&IRouterParam::SetWan, ip, mask);
}

TextPair RouterParamPtr::GetWan() const
{
    return GetTexts(&IRouterParam::GetWan);
}

HRESULT RouterParamPtr::SetDns(std::string_view dns1, std::string_view dns2) const
{
    return PutTexts(&IRouterParam::SetDns, dns1, dns2);
}

TextPair RouterParamPtr::GetDns() const
{
    return GetTexts(&IRouterParam::GetDns);
}

HRESULT RouterParamPtr::SetDhcp(std::string_view start, std::string_view size) const
{
    return PutTexts(&IRouterParam::SetDhcp, start, size);
}

TextPair RouterParamPtr::GetDhcp() const
{
    return GetTexts(&IRouterParam::GetDhcp);
}

HRESULT RouterParamPtr::SetNat(LONG lNat) const
{
    return Call(&IRouterParam::SetNat, lNat);
}

LONG RouterParamPtr::GetNat() const
{
    return GetLong(&IRouterParam::GetNat);
}

HRESULT RouterParamPtr::SetBridge(LONG lBridge) const
{
    return Call(&IRouterParam::SetBridge, lBridge);
}

LONG RouterParamPtr::GetBridge() const
{
    return GetLong(&IRouterParam::GetBridge);
}

HRESULT RouterParamPtr::SetUser(std::string_view user, std::string_view password) const
{
    return PutTexts(&IRouterParam::SetUser, user, password);
}

TextPair RouterParamPtr::GetUser() const
{
    return GetTexts(&IRouterParam::GetUser);
}

HRESULT RouterParamPtr::SetEncap(LONG lEncap) const
{
    return Call(&IRouterParam::SetEncap, lEncap);
}

LONG RouterParamPtr::GetEncap() const
{
    return GetLong(&IRouterParam::GetEncap);
}

HRESULT RouterParamPtr::Reset() const
{
    return Call(&IRouterParam::Reset);
}

HRESULT RouterParamPtr::SetPorts(std::string_view ports) const
{
    return PutText(&IRouterParam::SetPorts, ports);
}

std::string RouterParamPtr::GetPorts() const
{
    return GetText(&IRouterParam::GetPorts);
}
