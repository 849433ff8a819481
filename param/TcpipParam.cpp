// CTcpipParam: the TCP/IP parameter object.
#include "param/TcpipParam.h"

#include <algorithm>

namespace
{
constexpr const char *kSource = "DaxParam.TcpipParam";
constexpr const char *kBadIndex = "El índice está fuera de la lista.";
constexpr const char *kBadGroup = "El grupo de modificación no existe.";

bool IsGroup(LONG lGroup)
{
    return lGroup >= kFirstGroup && lGroup <= kLastGroup;
}

bool IsInList(LONG lIndex, size_t size)
{
    return lIndex >= 1 && static_cast<size_t>(lIndex) <= size;
}

bool IsUnsetPair(const std::pair<ParamText, ParamText> &ip)
{
    return IsZeroIPv4(ip.first) && IsZeroIPv4(ip.second);
}

bool IsUsablePair(const std::pair<ParamText, ParamText> &ip)
{
    return IsUnsetPair(ip) || (IsHostIPv4(ip.first) && IsSubnetMask(ip.second));
}

bool AllDotted(const std::vector<ParamText> &list)
{
    return std::all_of(list.begin(), list.end(),
                       [](const ParamText &item) { return ParseIPv4(item, nullptr); });
}

// 0 when the settings can be written, else the first group that cannot (see TcpipParam.h).
LONG FirstUnusableGroup(const TcpipValues &values)
{
    const bool ipsWritten = values.modified[TCPIP_GROUP_IP - kFirstGroup] != 0;
    const bool needAddress = values.dhcpEnable == 0 && ipsWritten;
    if (!std::all_of(values.ips.begin(), values.ips.end(), IsUsablePair) ||
        (needAddress && std::all_of(values.ips.begin(), values.ips.end(), IsUnsetPair)))
        return TCPIP_GROUP_IP;
    if (!AllDotted(values.gateways))
        return TCPIP_GROUP_GATEWAY;
    if (!AllDotted(values.dns))
        return TCPIP_GROUP_DNS;
    if (!AllDotted(values.wins))
        return TCPIP_GROUP_WINS;
    return 0;
}
} // namespace

std::span<const kitcom::DispMember<CTcpipParam>> CTcpipParam::DispatchTable()
{
    using kitcom::Method;
    static constexpr kitcom::DispMember<CTcpipParam> members[] = {
        Method<&CTcpipParam::PutNicName>("PutNicName", DISPID_TCPIPPARAM_PUTNICNAME),
        Method<&CTcpipParam::PutRegID>("PutRegID", DISPID_TCPIPPARAM_PUTREGID),
        Method<&CTcpipParam::AddIP>("AddIP", DISPID_TCPIPPARAM_ADDIP),
        Method<&CTcpipParam::AddGateway>("AddGateway", DISPID_TCPIPPARAM_ADDGATEWAY),
        Method<&CTcpipParam::AddDns>("AddDns", DISPID_TCPIPPARAM_ADDDNS),
        Method<&CTcpipParam::AddWins>("AddWins", DISPID_TCPIPPARAM_ADDWINS),
        Method<&CTcpipParam::PutNodeType>("PutNodeType", DISPID_TCPIPPARAM_PUTNODETYPE),
        Method<&CTcpipParam::PutDhcpEnable>("PutDhcpEnable", DISPID_TCPIPPARAM_PUTDHCPENABLE),
        Method<&CTcpipParam::PutDnsEnable>("PutDnsEnable", DISPID_TCPIPPARAM_PUTDNSENABLE),
        Method<&CTcpipParam::GetNicName>("GetNicName", DISPID_TCPIPPARAM_GETNICNAME),
        Method<&CTcpipParam::GetRegID>("GetRegID", DISPID_TCPIPPARAM_GETREGID),
        Method<&CTcpipParam::GetIP>("GetIP", DISPID_TCPIPPARAM_GETIP),
        Method<&CTcpipParam::GetGateway>("GetGateway", DISPID_TCPIPPARAM_GETGATEWAY),
        Method<&CTcpipParam::GetDns>("GetDns", DISPID_TCPIPPARAM_GETDNS),
        Method<&CTcpipParam::GetWins>("GetWins", DISPID_TCPIPPARAM_GETWINS),
        Method<&CTcpipParam::GetNodeType>("GetNodeType", DISPID_TCPIPPARAM_GETNODETYPE),
        Method<&CTcpipParam::GetDhcpEnable>("GetDhcpEnable", DISPID_TCPIPPARAM_GETDHCPENABLE),
        Method<&CTcpipParam::GetDnsEnable>("GetDnsEnable", DISPID_TCPIPPARAM_GETDNSENABLE),
        Method<&CTcpipParam::GetIPCount>("GetIPCount", DISPID_TCPIPPARAM_GETIPCOUNT),
        Method<&CTcpipParam::GetGatewayCount>("GetGatewayCount", DISPID_TCPIPPARAM_GETGATEWAYCOUNT),
        Method<&CTcpipParam::GetDnsCount>("GetDnsCount", DISPID_TCPIPPARAM_GETDNSCOUNT),
        Method<&CTcpipParam::GetWinsCount>("GetWinsCount", DISPID_TCPIPPARAM_GETWINSCOUNT),
        Method<&CTcpipParam::Clear>("Clear", DISPID_TCPIPPARAM_CLEAR),
        Method<&CTcpipParam::CopyFrom>("CopyFrom", DISPID_TCPIPPARAM_COPYFROM),
        Method<&CTcpipParam::Validate>("Validate", DISPID_TCPIPPARAM_VALIDATE),
        Method<&CTcpipParam::PutHostName>("PutHostName", DISPID_TCPIPPARAM_PUTHOSTNAME),
        Method<&CTcpipParam::GetHostName>("GetHostName", DISPID_TCPIPPARAM_GETHOSTNAME),
        Method<&CTcpipParam::PutDomain>("PutDomain", DISPID_TCPIPPARAM_PUTDOMAIN),
        Method<&CTcpipParam::GetDomain>("GetDomain", DISPID_TCPIPPARAM_GETDOMAIN),
        Method<&CTcpipParam::SetModified>("SetModified", DISPID_TCPIPPARAM_SETMODIFIED),
        Method<&CTcpipParam::IsModified>("IsModified", DISPID_TCPIPPARAM_ISMODIFIED),
        Method<&CTcpipParam::PutDhcpIPAddress>("PutDhcpIPAddress", DISPID_TCPIPPARAM_PUTDHCPIPADDRESS),
        Method<&CTcpipParam::GetDhcpIPAddress>("GetDhcpIPAddress", DISPID_TCPIPPARAM_GETDHCPIPADDRESS),
        Method<&CTcpipParam::PutDhcpSubnetMask>("PutDhcpSubnetMask", DISPID_TCPIPPARAM_PUTDHCPSUBNETMASK),
        Method<&CTcpipParam::GetDhcpSubnetMask>("GetDhcpSubnetMask", DISPID_TCPIPPARAM_GETDHCPSUBNETMASK),
        Method<&CTcpipParam::GetDhcpServer>("GetDhcpServer", DISPID_TCPIPPARAM_GETDHCPSERVER),
        Method<&CTcpipParam::PutDhcpServer>("PutDhcpServer", DISPID_TCPIPPARAM_PUTDHCPSERVER),
        Method<&CTcpipParam::GetBound>("GetBound", DISPID_TCPIPPARAM_GETBOUND),
        Method<&CTcpipParam::PutBound>("PutBound", DISPID_TCPIPPARAM_PUTBOUND),
    };
    return members;
}

HRESULT CTcpipParam::PutNicName(BSTR bstrName)
{
    return PutText(&TcpipValues::nicName, bstrName);
}

HRESULT CTcpipParam::PutRegID(BSTR bstrRegId)
{
    return PutText(&TcpipValues::regId, bstrRegId);
}

HRESULT CTcpipParam::AddIP(BSTR bstrIp, BSTR bstrMask)
{
    return ParamCall([&] {
        std::pair<ParamText, ParamText> ip(TextOf(bstrIp), TextOf(bstrMask));
        kitcom::CritSecLock guard(m_lock);
        m_values.ips.push_back(std::move(ip));
        return S_OK;
    });
}

HRESULT CTcpipParam::AddGateway(BSTR bstrGateway)
{
    return AddItem(&TcpipValues::gateways, bstrGateway);
}

HRESULT CTcpipParam::AddDns(BSTR bstrDns)
{
    return AddItem(&TcpipValues::dns, bstrDns);
}

HRESULT CTcpipParam::AddWins(BSTR bstrWins)
{
    return AddItem(&TcpipValues::wins, bstrWins);
}

HRESULT CTcpipParam::PutNodeType(BSTR bstrNodeType)
{
    return PutText(&TcpipValues::nodeType, bstrNodeType);
}

HRESULT CTcpipParam::PutDhcpEnable(LONG lEnable)
{
    return PutFlag(&TcpipValues::dhcpEnable, lEnable);
}

HRESULT CTcpipParam::PutDnsEnable(LONG lEnable)
{
    return PutFlag(&TcpipValues::dnsEnable, lEnable);
}

HRESULT CTcpipParam::GetNicName(BSTR *pbstrName)
{
    return GetText(&TcpipValues::nicName, pbstrName);
}

HRESULT CTcpipParam::GetRegID(BSTR *pbstrRegId)
{
    return GetText(&TcpipValues::regId, pbstrRegId);
}

HRESULT CTcpipParam::GetIP(LONG lIndex, BSTR *pbstrIp, BSTR *pbstrMask)
{
    if (pbstrIp)
        *pbstrIp = nullptr;
    if (pbstrMask)
        *pbstrMask = nullptr;
    if (!pbstrIp || !pbstrMask)
        return E_POINTER;
    return ParamCall([&] {
        std::pair<ParamText, ParamText> ip;
        {
            kitcom::CritSecLock guard(m_lock);
            if (!IsInList(lIndex, m_values.ips.size()))
                return kitcom::ReportError(E_INVALIDARG, kSource, kBadIndex);
            ip = m_values.ips[lIndex - 1];
        }
        HRESULT hr = ReturnText(ip.first, pbstrIp);
        if (SUCCEEDED(hr))
            hr = ReturnText(ip.second, pbstrMask);
        if (FAILED(hr))
        {
            SysFreeString(*pbstrIp);
            *pbstrIp = nullptr;
        }
        return hr;
    });
}

HRESULT CTcpipParam::GetGateway(LONG lIndex, BSTR *pbstrGateway)
{
    return GetItem(&TcpipValues::gateways, lIndex, pbstrGateway);
}

HRESULT CTcpipParam::GetDns(LONG lIndex, BSTR *pbstrDns)
{
    return GetItem(&TcpipValues::dns, lIndex, pbstrDns);
}

HRESULT CTcpipParam::GetWins(LONG lIndex, BSTR *pbstrWins)
{
    return GetItem(&TcpipValues::wins, lIndex, pbstrWins);
}

HRESULT CTcpipParam::GetNodeType(BSTR *pbstrNodeType)
{
    return GetText(&TcpipValues::nodeType, pbstrNodeType);
}

HRESULT CTcpipParam::GetDhcpEnable(LONG *plEnable)
{
    return GetFlag(&TcpipValues::dhcpEnable, plEnable);
}

HRESULT CTcpipParam::GetDnsEnable(LONG *plEnable)
{
    return GetFlag(&TcpipValues::dnsEnable, plEnable);
}

HRESULT CTcpipParam::GetIPCount(LONG *plCount)
{
    if (!plCount)
        return E_POINTER;
    kitcom::CritSecLock guard(m_lock);
    *plCount = static_cast<LONG>(m_values.ips.size());
    return S_OK;
}

HRESULT CTcpipParam::GetGatewayCount(LONG *plCount)
{
    return GetCount(&TcpipValues::gateways, plCount);
}

HRESULT CTcpipParam::GetDnsCount(LONG *plCount)
{
    return GetCount(&TcpipValues::dns, plCount);
}

HRESULT CTcpipParam::GetWinsCount(LONG *plCount)
{
    return GetCount(&TcpipValues::wins, plCount);
}

// Everything goes back to the values of a new object, marks included: a component that
// clears its copy after refusing a client's settings keeps nothing of them.
HRESULT CTcpipParam::Clear()
{
    TcpipValues empty;
    kitcom::CritSecLock guard(m_lock);
    std::swap(m_values, empty);
    return S_OK;
}

// The source's values are read under its lock and then written under this object's lock, never both at once.
// A copy that fails leaves this object as it was.
HRESULT CTcpipParam::CopyFrom(IUnknown *pSource)
{
    if (!pSource)
        return kitcom::ReportError(E_INVALIDARG, kSource, "No se ha indicado el objeto de origen.");
    kitcom::ComPtr<ITcpipParam> source;
    kitcom::ComPtr<ITcpipParamState> state;
    if (FAILED(pSource->QueryInterface(IID_ITcpipParam, source.PutVoid())) || FAILED(source.As(state)))
        return kitcom::ReportError(E_NOINTERFACE, kSource, "El origen no es un objeto TcpipParam.");
    return ParamCall([&] {
        TcpipValues values;
        HRESULT hr = state->ReadValues(&values);
        if (FAILED(hr))
            return hr;
        kitcom::CritSecLock guard(m_lock);
        std::swap(m_values, values);
        return S_OK;
    });
}

HRESULT CTcpipParam::Validate(LONG *plValue)
{
    if (plValue)
        *plValue = 0;
    LONG group;
    {
        kitcom::CritSecLock guard(m_lock);
        group = FirstUnusableGroup(m_values);
    }
    if (plValue)
        *plValue = group;
    return group == 0 ? S_OK : S_FALSE;
}

HRESULT CTcpipParam::PutHostName(BSTR bstrHostName)
{
    return PutText(&TcpipValues::hostName, bstrHostName);
}

HRESULT CTcpipParam::GetHostName(BSTR *pbstrHostName)
{
    return GetText(&TcpipValues::hostName, pbstrHostName);
}

HRESULT CTcpipParam::PutDomain(BSTR bstrDomain)
{
    return PutText(&TcpipValues::domain, bstrDomain);
}

HRESULT CTcpipParam::GetDomain(BSTR *pbstrDomain)
{
    return GetText(&TcpipValues::domain, pbstrDomain);
}

HRESULT CTcpipParam::SetModified(LONG lGroup, LONG lModified)
{
    if (!IsGroup(lGroup))
        return kitcom::ReportError(E_INVALIDARG, kSource, kBadGroup);
    kitcom::CritSecLock guard(m_lock);
    m_values.modified[lGroup - kFirstGroup] = lModified;
    return S_OK;
}

HRESULT CTcpipParam::IsModified(LONG lGroup, LONG *plModified)
{
    if (!plModified)
        return E_POINTER;
    *plModified = 0;
    if (!IsGroup(lGroup))
        return kitcom::ReportError(E_INVALIDARG, kSource, kBadGroup);
    kitcom::CritSecLock guard(m_lock);
    *plModified = m_values.modified[lGroup - kFirstGroup];
    return S_OK;
}

HRESULT CTcpipParam::PutDhcpIPAddress(BSTR bstrIp)
{
    return PutText(&TcpipValues::dhcpIpAddress, bstrIp);
}

HRESULT CTcpipParam::GetDhcpIPAddress(BSTR *pbstrIp)
{
    return GetText(&TcpipValues::dhcpIpAddress, pbstrIp);
}

HRESULT CTcpipParam::PutDhcpSubnetMask(BSTR bstrMask)
{
    return PutText(&TcpipValues::dhcpSubnetMask, bstrMask);
}

HRESULT CTcpipParam::GetDhcpSubnetMask(BSTR *pbstrMask)
{
    return GetText(&TcpipValues::dhcpSubnetMask, pbstrMask);
}

HRESULT CTcpipParam::GetDhcpServer(BSTR *pbstrServer)
{
    return GetText(&TcpipValues::dhcpServer, pbstrServer);
}

HRESULT CTcpipParam::PutDhcpServer(BSTR bstrServer)
{
    return PutText(&TcpipValues::dhcpServer, bstrServer);
}

HRESULT CTcpipParam::GetBound(LONG *plBound)
{
    return GetFlag(&TcpipValues::bound, plBound);
}

HRESULT CTcpipParam::PutBound(LONG lBound)
{
    return PutFlag(&TcpipValues::bound, lBound);
}

HRESULT CTcpipParam::ReadValues(TcpipValues *pValues)
{
    if (!pValues)
        return E_POINTER;
    return ParamCall([&] {
        kitcom::CritSecLock guard(m_lock);
        *pValues = m_values;
        return S_OK;
    });
}

HRESULT CTcpipParam::WriteValues(const TcpipValues *pValues)
{
    if (!pValues)
        return E_POINTER;
    return ParamCall([&] {
        TcpipValues copy = *pValues;
        kitcom::CritSecLock guard(m_lock);
        std::swap(m_values, copy);
        return S_OK;
    });
}

// Texts are copied before the lock is taken, so the lock is never held while allocating.
HRESULT CTcpipParam::PutText(TextMember text, BSTR bstrValue)
{
    return ParamCall([&] {
        ParamText value = TextOf(bstrValue);
        kitcom::CritSecLock guard(m_lock);
        (m_values.*text).swap(value);
        return S_OK;
    });
}

HRESULT CTcpipParam::GetText(TextMember text, BSTR *pbstrValue)
{
    if (!pbstrValue)
        return E_POINTER;
    *pbstrValue = nullptr;
    return ParamCall([&] {
        ParamText value;
        {
            kitcom::CritSecLock guard(m_lock);
            value = m_values.*text;
        }
        return ReturnText(value, pbstrValue);
    });
}

HRESULT CTcpipParam::PutFlag(FlagMember flag, LONG lValue)
{
    kitcom::CritSecLock guard(m_lock);
    m_values.*flag = lValue;
    return S_OK;
}

HRESULT CTcpipParam::GetFlag(FlagMember flag, LONG *plValue)
{
    if (!plValue)
        return E_POINTER;
    kitcom::CritSecLock guard(m_lock);
    *plValue = m_values.*flag;
    return S_OK;
}

HRESULT CTcpipParam::AddItem(ListMember list, BSTR bstrValue)
{
    return ParamCall([&] {
        ParamText value = TextOf(bstrValue);
        kitcom::CritSecLock guard(m_lock);
        (m_values.*list).push_back(std::move(value));
        return S_OK;
    });
}

HRESULT CTcpipParam::GetItem(ListMember list, LONG lIndex, BSTR *pbstrValue)
{
    if (!pbstrValue)
        return E_POINTER;
    *pbstrValue = nullptr;
    return ParamCall([&] {
        ParamText value;
        {
            kitcom::CritSecLock guard(m_lock);
            const std::vector<ParamText> &items = m_values.*list;
            if (!IsInList(lIndex, items.size()))
                return kitcom::ReportError(E_INVALIDARG, kSource, kBadIndex);
            value = items[lIndex - 1];
        }
        return ReturnText(value, pbstrValue);
    });
}

HRESULT CTcpipParam::GetCount(ListMember list, LONG *plCount)
{
    if (!plCount)
        return E_POINTER;
    kitcom::CritSecLock guard(m_lock);
    *plCount = static_cast<LONG>((m_values.*list).size());
    return S_OK;
}
