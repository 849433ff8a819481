// TcpipParamPtr: the call wrapper of the TCP/IP parameter object (ITcpipParam), as the TCP/IP
// module and the wizard use it. Every method throws CComError (HRESULT, IID_ITcpipParam) when
// the call fails or when the holder is empty (E_POINTER). Lists are read with 1-based indexes.
//
//     TcpipParamPtr current;
//     if (FAILED(current.QueryFrom(pUnkInfo)))  // not a TcpipParam
//         ...
//     for (LONG i = 1; i <= current.GetGatewayCount(); ++i)
//         candidates.push_back(current.GetGateway(i));
#pragma once

#include "common/param/ParamObjects.h"
#include "common/param/ParamPtr.h"

class TcpipParamPtr : public ParamPtr<ITcpipParam>
{
  public:
    using ParamPtr::ParamPtr;

    // A new TcpipParam (never throws): S_OK, or the failing HRESULT with the holder empty.
    HRESULT CreateInstance() noexcept { return CreateOf(CLSID_TcpipParam); }

    HRESULT PutNicName(std::string_view name) const;
    std::string GetNicName() const;
    HRESULT PutRegID(std::string_view regId) const;
    std::string GetRegID() const;
    HRESULT AddIP(std::string_view ip, std::string_view mask) const;
    TextPair GetIP(LONG lIndex) const; // ip, mask
    LONG GetIPCount() const;
    HRESULT AddGateway(std::string_view gateway) const;
    std::string GetGateway(LONG lIndex) const;
    LONG GetGatewayCount() const;
    HRESULT AddDns(std::string_view dns) const;
    std::string GetDns(LONG lIndex) const;
    LONG GetDnsCount() const;
    HRESULT AddWins(std::string_view wins) const;
    std::string GetWins(LONG lIndex) const;
    LONG GetWinsCount() const;
    HRESULT PutNodeType(std::string_view nodeType) const;
    std::string GetNodeType() const;
    HRESULT PutDhcpEnable(LONG lEnable) const;
    LONG GetDhcpEnable() const;
    HRESULT PutDnsEnable(LONG lEnable) const;
    LONG GetDnsEnable() const;
    HRESULT Clear() const;
    HRESULT CopyFrom(IUnknown *pSource) const;
    // S_OK when the settings are usable, S_FALSE when not (then *plValue, when given, is the
    // first modification group at fault).
    HRESULT Validate(LONG *plValue = nullptr) const;
    HRESULT PutHostName(std::string_view hostName) const;
    std::string GetHostName() const;
    HRESULT PutDomain(std::string_view domain) const;
    std::string GetDomain() const;
    HRESULT SetModified(LONG lGroup, LONG lModified) const;
    LONG IsModified(LONG lGroup) const;
    HRESULT PutDhcpIPAddress(std::string_view ip) const;
    std::string GetDhcpIPAddress() const;
    HRESULT PutDhcpSubnetMask(std::string_view mask) const;
    std::string GetDhcpSubnetMask() const;
    HRESULT PutDhcpServer(std::string_view server) const;
    std::string GetDhcpServer() const;
    HRESULT PutBound(LONG lBound) const;
    LONG GetBound() const;
};
