// TcpipParamPtr: the call wrapper of ITcpipParam.
#include "common/param/TcpipParamPtr.h"

HRESULT TcpipParamPtr::PutNicName(std::string_view name) const
{
    return PutText(&ITcpipParam::PutNicName, name);
}

std::string TcpipParamPtr::GetNicName() const
{
    return GetText(&ITcpipParam::GetNicName);
}

HRESULT TcpipParamPtr::PutRegID(std::string_view regId) const
{
    return PutText(&ITcpipParam::PutRegID, regId);
}

std::string TcpipParamPtr::GetRegID() const
{
    return GetText(&ITcpipParam::GetRegID);
}

HRESULT TcpipParamPtr::AddIP(std::string_view ip, std::string_view mask) const
{
    return PutTexts(&ITcpipParam::AddIP, ip, mask);
}

TextPair TcpipParamPtr::GetIP(LONG lIndex) const
{
    return GetTexts(&ITcpipParam::GetIP, lIndex);
}

LONG TcpipParamPtr::GetIPCount() const
{
    return GetLong(&ITcpipParam::GetIPCount);
}

HRESULT TcpipParamPtr::AddGateway(std::string_view gateway) const
{
    return PutText(&ITcpipParam::AddGateway, gateway);
}

std::string TcpipParamPtr::GetGateway(LONG lIndex) const
{
    return GetText(&ITcpipParam::GetGateway, lIndex);
}

LONG TcpipParamPtr::GetGatewayCount() const
{
    return GetLong(&ITcpipParam::GetGatewayCount);
}

HRESULT TcpipParamPtr::AddDns(std::string_view dns) const
{
    return PutText(&ITcpipParam::AddDns, dns);
}

std::string TcpipParamPtr::GetDns(LONG lIndex) const
{
    return GetText(&ITcpipParam::GetDns, lIndex);
}

LONG TcpipParamPtr::GetDnsCount() const
{
    return GetLong(&ITcpipParam::GetDnsCount);
}

HRESULT TcpipParamPtr::AddWins(std::string_view wins) const
{
    return PutText(&ITcpipParam::AddWins, wins);
}

std::string TcpipParamPtr::GetWins(LONG lIndex) const
{
    return GetText(&ITcpipParam::GetWins, lIndex);
}

LONG TcpipParamPtr::GetWinsCount() const
{
    return GetLong(&ITcpipParam::GetWinsCount);
}

HRESULT TcpipParamPtr::PutNodeType(std::string_view nodeType) const
{
    return PutText(&ITcpipParam::PutNodeType, nodeType);
}

std::string TcpipParamPtr::GetNodeType() const
{
    return GetText(&ITcpipParam::GetNodeType);
}

HRESULT TcpipParamPtr::PutDhcpEnable(LONG lEnable) const
{
    return Call(&ITcpipParam::PutDhcpEnable, lEnable);
}

LONG TcpipParamPtr::GetDhcpEnable() const
{
    return GetLong(&ITcpipParam::GetDhcpEnable);
}

HRESULT TcpipParamPtr::PutDnsEnable(LONG lEnable) const
{
    return Call(&ITcpipParam::PutDnsEnable, lEnable);
}

LONG TcpipParamPtr::GetDnsEnable() const
{
    return GetLong(&ITcpipParam::GetDnsEnable);
}

HRESULT TcpipParamPtr::Clear() const
{
    return Call(&ITcpipParam::Clear);
}

HRESULT TcpipParamPtr::CopyFrom(IUnknown *pSource) const
{
    return Call(&ITcpipParam::CopyFrom, pSource);
}

HRESULT TcpipParamPtr::Validate(LONG *plValue) const
{
    LONG value = 0;
    HRESULT hr = Call(&ITcpipParam::Validate, &value);
    if (plValue)
        *plValue = value;
    return hr;
}

HRESULT TcpipParamPtr::PutHostName(std::string_view hostName) const
{
    return PutText(&ITcpipParam::PutHostName, hostName);
}

std::string TcpipParamPtr::GetHostName() const
{
    return GetText(&ITcpipParam::GetHostName);
}

HRESULT TcpipParamPtr::PutDomain(std::string_view domain) const
{
    return PutText(&ITcpipParam::PutDomain, domain);
}

std::string TcpipParamPtr::GetDomain() const
{
    return GetText(&ITcpipParam::GetDomain);
}

HRESULT TcpipParamPtr::SetModified(LONG lGroup, LONG lModified) const
{
    return Call(&ITcpipParam::SetModified, lGroup, lModified);
}

LONG TcpipParamPtr::IsModified(LONG lGroup) const
{
    return GetLong(&ITcpipParam::IsModified, lGroup);
}

HRESULT TcpipParamPtr::PutDhcpIPAddress(std::string_view ip) const
{
    return PutText(&ITcpipParam::PutDhcpIPAddress, ip);
}

std::string TcpipParamPtr::GetDhcpIPAddress() const
{
    return GetText(&ITcpipParam::GetDhcpIPAddress);
}

HRESULT TcpipParamPtr::PutDhcpSubnetMask(std::string_view mask) const
{
    return PutText(&ITcpipParam::PutDhcpSubnetMask, mask);
}

std::string TcpipParamPtr::GetDhcpSubnetMask() const
{
    return GetText(&ITcpipParam::GetDhcpSubnetMask);
}

HRESULT TcpipParamPtr::PutDhcpServer(std::string_view server) const
{
    return PutText(&ITcpipParam::PutDhcpServer, server);
}

std::string TcpipParamPtr::GetDhcpServer() const
{
    return GetText(&ITcpipParam::GetDhcpServer);
}

HRESULT TcpipParamPtr::PutBound(LONG lBound) const
{
    return Call(&ITcpipParam::PutBound, lBound);
}

LONG TcpipParamPtr::GetBound() const
{
    return GetLong(&ITcpipParam::GetBound);
}
