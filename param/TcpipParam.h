// CTcpipParam: the TCP/IP parameter object ("DaxParam.TcpipParam"), one network adapter's
// TCP/IP settings as the TCP/IP module reads them and the wizard plans them.
//
// Values are stored as given and read back unchanged; lists keep their order and are read with
// a 1-based index. The modification marks change only through SetModified (and Clear and
// CopyFrom): putting a value marks nothing. Before anything is set, and after Clear, every
// text is empty, every flag 0, every list empty and no group marked (TcpipValues). Every method
// holds the object's lock, so the object may be used from a client's thread and a component's
// worker at once.
//
// Validate(plValue) checks that the settings can be written to an adapter:
//   3002  every address/mask pair is either both "0.0.0.0" (no address, as Windows keeps it
//         for a DHCP adapter) or a host address (its first number 1 to 223, not 127) with a
//         subnet mask (contiguous ones, not 0.0.0.0); and when DHCP is off and the group is
//         marked modified, at least one pair is a real address;
//   3003, 3004, 3005  every gateway, DNS server and WINS server is dotted IPv4 text
//         ("0.0.0.0", not set, is allowed: it is the kit's default DNS server).
// Names, node type, the DHCP lease values and the flags are not checked. The result is S_OK
// with *plValue 0 when all holds, otherwise S_FALSE with *plValue the first group (in the
// order above) that fails; plValue may be NULL.
#pragma once

#include "common/com/Object.h"
#include "param/ParamState.h"

#include <span>

class CTcpipParam final : public kitcom::Object<CTcpipParam, ITcpipParam, ITcpipParamState>
{
  public:
    CTcpipParam() = default;

    static std::span<const kitcom::DispMember<CTcpipParam>> DispatchTable();

    // ITcpipParam
    HRESULT STDMETHODCALLTYPE PutNicName(BSTR bstrName) override;
    HRESULT STDMETHODCALLTYPE PutRegID(BSTR bstrRegId) override;
    HRESULT STDMETHODCALLTYPE AddIP(BSTR bstrIp, BSTR bstrMask) override;
    HRESULT STDMETHODCALLTYPE AddGateway(BSTR bstrGateway) override;
    HRESULT STDMETHODCALLTYPE AddDns(BSTR bstrDns) override;
    HRESULT STDMETHODCALLTYPE AddWins(BSTR bstrWins) override;
    HRESULT STDMETHODCALLTYPE PutNodeType(BSTR bstrNodeType) override;
    HRESULT STDMETHODCALLTYPE PutDhcpEnable(LONG lEnable) override;
    HRESULT STDMETHODCALLTYPE PutDnsEnable(LONG lEnable) override;
    HRESULT STDMETHODCALLTYPE GetNicName(BSTR *pbstrName) override;
    HRESULT STDMETHODCALLTYPE GetRegID(BSTR *pbstrRegId) override;
    HRESULT STDMETHODCALLTYPE GetIP(LONG lIndex, BSTR *pbstrIp, BSTR *pbstrMask) override;
    HRESULT STDMETHODCALLTYPE GetGateway(LONG lIndex, BSTR *pbstrGateway) override;
    HRESULT STDMETHODCALLTYPE GetDns(LONG lIndex, BSTR *pbstrDns) override;
    HRESULT STDMETHODCALLTYPE GetWins(LONG lIndex, BSTR *pbstrWins) override;
    HRESULT STDMETHODCALLTYPE GetNodeType(BSTR *pbstrNodeType) override;
    HRESULT STDMETHODCALLTYPE GetDhcpEnable(LONG *plEnable) override;
    HRESULT STDMETHODCALLTYPE GetDnsEnable(LONG *plEnable) override;
    HRESULT STDMETHODCALLTYPE GetIPCount(LONG *plCount) override;
    HRESULT STDMETHODCALLTYPE GetGatewayCount(LONG *plCount) override;
    HRESULT STDMETHODCALLTYPE GetDnsCount(LONG *plCount) override;
    HRESULT STDMETHODCALLTYPE GetWinsCount(LONG *plCount) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE CopyFrom(IUnknown *pSource) override;
    HRESULT STDMETHODCALLTYPE Validate(LONG *plValue) override;
    HRESULT STDMETHODCALLTYPE PutHostName(BSTR bstrHostName) override;
    HRESULT STDMETHODCALLTYPE GetHostName(BSTR *pbstrHostName) override;
    HRESULT STDMETHODCALLTYPE PutDomain(BSTR bstrDomain) override;
    HRESULT STDMETHODCALLTYPE GetDomain(BSTR *pbstrDomain) override;
    HRESULT STDMETHODCALLTYPE SetModified(LONG lGroup, LONG lModified) override;
    HRESULT STDMETHODCALLTYPE IsModified(LONG lGroup, LONG *plModified) override;
    HRESULT STDMETHODCALLTYPE PutDhcpIPAddress(BSTR bstrIp) override;
    HRESULT STDMETHODCALLTYPE GetDhcpIPAddress(BSTR *pbstrIp) override;
    HRESULT STDMETHODCALLTYPE PutDhcpSubnetMask(BSTR bstrMask) override;
    HRESULT STDMETHODCALLTYPE GetDhcpSubnetMask(BSTR *pbstrMask) override;
    HRESULT STDMETHODCALLTYPE GetDhcpServer(BSTR *pbstrServer) override;
    HRESULT STDMETHODCALLTYPE PutDhcpServer(BSTR bstrServer) override;
    HRESULT STDMETHODCALLTYPE GetBound(LONG *plBound) override;
    HRESULT STDMETHODCALLTYPE PutBound(LONG lBound) override;

    // ITcpipParamState
    HRESULT STDMETHODCALLTYPE ReadValues(TcpipValues *pValues) override;
    HRESULT STDMETHODCALLTYPE WriteValues(const TcpipValues *pValues) override;

  private:
    using TextMember = ParamText TcpipValues::*;
    using FlagMember = LONG TcpipValues::*;
    using ListMember = std::vector<ParamText> TcpipValues::*;

    HRESULT PutText(TextMember text, BSTR bstrValue);
    HRESULT GetText(TextMember text, BSTR *pbstrValue);
    HRESULT PutFlag(FlagMember flag, LONG lValue);
    HRESULT GetFlag(FlagMember flag, LONG *plValue);
    HRESULT AddItem(ListMember list, BSTR bstrValue);
    HRESULT GetItem(ListMember list, LONG lIndex, BSTR *pbstrValue);
    HRESULT GetCount(ListMember list, LONG *plCount);

    kitcom::AutoCriticalSection m_lock; // entered for the length of every method
    TcpipValues m_values;               // guarded by m_lock
};
