// CRouterParam: the router parameter object.
#include "param/RouterParam.h"

namespace
{
constexpr const char *kSource = "DaxParam.RouterParam";
} // namespace

std::span<const kitcom::DispMember<CRouterParam>> CRouterParam::DispatchTable()
{
    using kitcom::Method;
    static constexpr kitcom::DispMember<CRouterParam> members[] = {
        Method<&CRouterParam::CopyTo>("CopyTo", DISPID_ROUTERPARAM_COPYTO),
        Method<&CRouterParam::SetLan>("SetLan", DISPID_ROUTERPARAM_SETLAN),
        Method<&CRouterParam::GetLan>("GetLan", DISPID_ROUTERPARAM_GETLAN),
        Method<&CRouterParam::SetWan>("SetWan", DISPID_ROUTERPARAM_SETWAN),
        Method<&CRouterParam::GetWan>("GetWan", DISPID_ROUTERPARAM_GETWAN),
        Method<&CRouterParam::SetDns>("SetDns", DISPID_ROUTERPARAM_SETDNS),
        Method<&CRouterParam::GetDns>("GetDns", DISPID_ROUTERPARAM_GETDNS),
        Method<&CRouterParam::SetDhcp>("SetDhcp", DISPID_ROUTERPARAM_SETDHCP),
        Method<&CRouterParam::GetDhcp>("GetDhcp", DISPID_ROUTERPARAM_GETDHCP),
        Method<&CRouterParam::SetNat>("SetNat", DISPID_ROUTERPARAM_SETNAT),
        Method<&CRouterParam::GetNat>("GetNat", DISPID_ROUTERPARAM_GETNAT),
        Method<&CRouterParam::SetBridge>("SetBridge", DISPID_ROUTERPARAM_SETBRIDGE),
        Method<&CRouterParam::GetBridge>("GetBridge", DISPID_ROUTERPARAM_GETBRIDGE),
        Method<&CRouterParam::SetUser>("SetUser", DISPID_ROUTERPARAM_SETUSER),
        Method<&CRouterParam::GetUser>("GetUser", DISPID_ROUTERPARAM_GETUSER),
        Method<&CRouterParam::SetEncap>("SetEncap", DISPID_ROUTERPARAM_SETENCAP),
        Method<&CRouterParam::GetEncap>("GetEncap", DISPID_ROUTERPARAM_GETENCAP),
        Method<&CRouterParam::Reset>("Reset", DISPID_ROUTERPARAM_RESET),
        Method<&CRouterParam::SetPorts>("SetPorts", DISPID_ROUTERPARAM_SETPORTS),
        Method<&CRouterParam::GetPorts>("GetPorts", DISPID_ROUTERPARAM_GETPORTS),
    };
    return members;
}

// The values are taken under this object's lock and written under the target's, never both
// at once: a copy into this same object, or two copies crossing, cannot deadlock.
HRESULT CRouterParam::CopyTo(IUnknown *pTarget)
{
    if (!pTarget)
        return kitcom::ReportError(E_INVALIDARG, kSource, "No se ha indicado el objeto de destino.");
    kitcom::ComPtr<IRouterParam> target;
    kitcom::ComPtr<IRouterParamState> state;
    if (FAILED(pTarget->QueryInterface(IID_IRouterParam, target.PutVoid())) || FAILED(target.As(state)))
        return kitcom::ReportError(E_NOINTERFACE, kSource, "El destino no es un objeto RouterParam.");
    return ParamCall([&] {
        RouterValues values;
        HRESULT hr = ReadValues(&values);
        if (FAILED(hr))
            return hr;
        return state->WriteValues(&values);
    });
}

HRESULT CRouterParam::SetLan(BSTR bstrIp, BSTR bstrMask)
{
    return SetPair(&RouterValues::lanIp, &RouterValues::lanMask, bstrIp, bstrMask);
}

HRESULT CRouterParam::GetLan(BSTR *pbstrIp, BSTR *pbstrMask)
{
    return GetPair(&RouterValues::lanIp, &RouterValues::lanMask, pbstrIp, pbstrMask);
}

HRESULT CRouterParam::SetWan(BSTR bstrIp, BSTR bstrMask)
{
    return SetPair(&RouterValues::wanIp, &RouterValues::wanMask, bstrIp, bstrMask);
}

HRESULT CRouterParam::GetWan(BSTR *pbstrIp, BSTR *pbstrMask)
{
    return GetPair(&RouterValues::wanIp, &RouterValues::wanMask, pbstrIp, pbstrMask);
}

HRESULT CRouterParam::SetDns(BSTR bstrDns1, BSTR bstrDns2)
{
    return SetPair(&RouterValues::dns1, &RouterValues::dns2, bstrDns1, bstrDns2);
}

HRESULT CRouterParam::GetDns(BSTR *pbstrDns1, BSTR *pbstrDns2)
{
    return GetPair(&RouterValues::dns1, &RouterValues::dns2, pbstrDns1, pbstrDns2);
}

HRESULT CRouterParam::SetDhcp(BSTR bstrStart, BSTR bstrSize)
{
    return SetPair(&RouterValues::dhcpStart, &RouterValues::dhcpSize, bstrStart, bstrSize);
}

HRESULT CRouterParam::GetDhcp(BSTR *pbstrStart, BSTR *pbstrSize)
{
    return GetPair(&RouterValues::dhcpStart, &RouterValues::dhcpSize, pbstrStart, pbstrSize);
}

HRESULT CRouterParam::SetNat(LONG lNat)
{
    return SetFlag(&RouterValues::nat, lNat);
}

HRESULT CRouterParam::GetNat(LONG *plNat)
{
    return GetFlag(&RouterValues::nat, plNat);
}

HRESULT CRouterParam::SetBridge(LONG lBridge)
{
    return SetFlag(&RouterValues::bridge, lBridge);
}

HRESULT CRouterParam::GetBridge(LONG *plBridge)
{
    return GetFlag(&RouterValues::bridge, plBridge);
}

HRESULT CRouterParam::SetUser(BSTR bstrUser, BSTR bstrPassword)
{
    return SetPair(&RouterValues::user, &RouterValues::password, bstrUser, bstrPassword);
}

HRESULT CRouterParam::GetUser(BSTR *pbstrUser, BSTR *pbstrPassword)
{
    return GetPair(&RouterValues::user, &RouterValues::password, pbstrUser, pbstrPassword);
}

HRESULT CRouterParam::SetEncap(LONG lEncap)
{
    return SetFlag(&RouterValues::encap, lEncap);
}

HRESULT CRouterParam::GetEncap(LONG *plEncap)
{
    return GetFlag(&RouterValues::encap, plEncap);
}

HRESULT CRouterParam::Reset()
{
    RouterValues empty;
    kitcom::CritSecLock guard(m_lock);
    std::swap(m_values, empty);
    return S_OK;
}

HRESULT CRouterParam::SetPorts(BSTR bstrPorts)
{
    return ParamCall([&] {
        ParamText ports = TextOf(bstrPorts);
        kitcom::CritSecLock guard(m_lock);
        m_values.ports.swap(ports);
        return S_OK;
    });
}

HRESULT CRouterParam::GetPorts(BSTR *pbstrPorts)
{
    if (!pbstrPorts)
        return E_POINTER;
    *pbstrPorts = nullptr;
    return ParamCall([&] {
        ParamText ports;
        {
            kitcom::CritSecLock guard(m_lock);
            ports = m_values.ports;
        }
        return ReturnText(ports, pbstrPorts);
    });
}

HRESULT CRouterParam::ReadValues(RouterValues *pValues)
{
    if (!pValues)
        return E_POINTER;
    return ParamCall([&] {
        kitcom::CritSecLock guard(m_lock);
        *pValues = m_values;
        return S_OK;
    });
}

HRESULT CRouterParam::WriteValues(const RouterValues *pValues)
{
    if (!pValues)
        return E_POINTER;
    return ParamCall([&] {
        RouterValues copy = *pValues;
        kitcom::CritSecLock guard(m_lock);
        std::swap(m_values, copy);
        return S_OK;
    });
}

// Texts are copied before the lock is taken, so the lock is never held while allocating.
HRESULT CRouterParam::SetPair(TextMember first, TextMember second, BSTR bstrFirst, BSTR bstrSecond)
{
    return ParamCall([&] {
        ParamText a = TextOf(bstrFirst), b = TextOf(bstrSecond);
        kitcom::CritSecLock guard(m_lock);
        (m_values.*first).swap(a);
        (m_values.*second).swap(b);
        return S_OK;
    });
}

HRESULT CRouterParam::GetPair(TextMember first, TextMember second, BSTR *pbstrFirst, BSTR *pbstrSecond)
{
    if (pbstrFirst)
        *pbstrFirst = nullptr;
    if (pbstrSecond)
        *pbstrSecond = nullptr;
    if (!pbstrFirst || !pbstrSecond)
        return E_POINTER;
    return ParamCall([&] {
        ParamText a, b;
        {
            kitcom::CritSecLock guard(m_lock);
            a = m_values.*first;
            b = m_values.*second;
        }
        HRESULT hr = ReturnText(a, pbstrFirst);
        if (SUCCEEDED(hr))
            hr = ReturnText(b, pbstrSecond);
        if (FAILED(hr))
        {
            SysFreeString(*pbstrFirst);
            *pbstrFirst = nullptr;
        }
        return hr;
    });
}

HRESULT CRouterParam::SetFlag(FlagMember flag, LONG lValue)
{
    kitcom::CritSecLock guard(m_lock);
    m_values.*flag = lValue;
    return S_OK;
}

HRESULT CRouterParam::GetFlag(FlagMember flag, LONG *plValue)
{
    if (!plValue)
        return E_POINTER;
    kitcom::CritSecLock guard(m_lock);
    *plValue = m_values.*flag;
    return S_OK;
}
