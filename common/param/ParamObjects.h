// The router and TCP/IP parameter objects: the interfaces every component and the wizard use
// to hand settings over. The objects themselves live in the DaxParam server (param/).
//
// Both are dual interfaces: after the seven slots of IDispatch come the operations below, in
// this order (the vtable order is part of the contract). DISPIDs are the slot number minus 6.
#pragma once

#include "platform/windows.h"
#ifdef _WIN32
#include <initguid.h> // the GUIDs below are defined (selectany) where they are used
#endif

// {86C05C70-6370-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(CLSID_RouterParam, 0x86C05C70, 0x6370, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {86C05C6F-6370-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(IID_IRouterParam, 0x86C05C6F, 0x6370, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {86C05C6E-6370-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(CLSID_TcpipParam, 0x86C05C6E, 0x6370, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {86C05C6D-6370-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(IID_ITcpipParam, 0x86C05C6D, 0x6370, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {86C05C6C-6370-11D6-9BEC-00C04F1F2D46}: the DaxParam type library.
DEFINE_GUID(LIBID_DAXPARAMLib, 0x86C05C6C, 0x6370, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);

// Modification groups of ITcpipParam::SetModified / IsModified.
enum TcpipParamGroup : LONG
{
    TCPIP_GROUP_IP = 3002,       // IP addresses and masks
    TCPIP_GROUP_GATEWAY = 3003,  // gateways
    TCPIP_GROUP_DNS = 3004,      // DNS servers
    TCPIP_GROUP_WINS = 3005,     // WINS servers with the node type
    TCPIP_GROUP_HOSTNAME = 3006, // host name
    TCPIP_GROUP_DOMAIN = 3007,   // domain
};

// Addresses and masks are dotted IPv4 text ("0.0.0.0" = not set); flags are on when non-zero.
struct IRouterParam : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE CopyTo(IUnknown *pTarget) = 0;                     // 7
    virtual HRESULT STDMETHODCALLTYPE SetLan(BSTR bstrIp, BSTR bstrMask) = 0;            // 8
    virtual HRESULT STDMETHODCALLTYPE GetLan(BSTR *pbstrIp, BSTR *pbstrMask) = 0;        // 9
    virtual HRESULT STDMETHODCALLTYPE SetWan(BSTR bstrIp, BSTR bstrMask) = 0;            // 10
    virtual HRESULT STDMETHODCALLTYPE GetWan(BSTR *pbstrIp, BSTR *pbstrMask) = 0;        // 11
    virtual HRESULT STDMETHODCALLTYPE SetDns(BSTR bstrDns1, BSTR bstrDns2) = 0;          // 12
    virtual HRESULT STDMETHODCALLTYPE GetDns(BSTR *pbstrDns1, BSTR *pbstrDns2) = 0;      // 13
    virtual HRESULT STDMETHODCALLTYPE SetDhcp(BSTR bstrStart, BSTR bstrSize) = 0;        // 14
    virtual HRESULT STDMETHODCALLTYPE GetDhcp(BSTR *pbstrStart, BSTR *pbstrSize) = 0;    // 15
    virtual HRESULT STDMETHODCALLTYPE SetNat(LONG lNat) = 0;                             // 16
    virtual HRESULT STDMETHODCALLTYPE GetNat(LONG *plNat) = 0;                           // 17
    virtual HRESULT STDMETHODCALLTYPE SetBridge(LONG lBridge) = 0;                       // 18
    virtual HRESULT STDMETHODCALLTYPE GetBridge(LONG *plBridge) = 0;                     // 19
    virtual HRESULT STDMETHODCALLTYPE SetUser(BSTR bstrUser, BSTR bstrPassword) = 0;     // 20
    virtual HRESULT STDMETHODCALLTYPE GetUser(BSTR *pbstrUser, BSTR *pbstrPassword) = 0; // 21
    virtual HRESULT STDMETHODCALLTYPE SetEncap(LONG lEncap) = 0;                         // 22
    virtual HRESULT STDMETHODCALLTYPE GetEncap(LONG *plEncap) = 0;                       // 23
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;                                       // 24
    virtual HRESULT STDMETHODCALLTYPE SetPorts(BSTR bstrPorts) = 0;                      // 25
    virtual HRESULT STDMETHODCALLTYPE GetPorts(BSTR *pbstrPorts) = 0;                    // 26
};

// Lists (addresses with masks, gateways, DNS and WINS servers) are ordered and read with a
// 1-based index. Slots 16, 39, 41 and 44, which no caller binds, hold the readers of the values
// set next to them (GetNicName, GetDhcpIPAddress, GetDhcpSubnetMask, GetBound); nothing follows
// slot 45.
struct ITcpipParam : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE PutNicName(BSTR bstrName) = 0;                          // 7
    virtual HRESULT STDMETHODCALLTYPE PutRegID(BSTR bstrRegId) = 0;                           // 8
    virtual HRESULT STDMETHODCALLTYPE AddIP(BSTR bstrIp, BSTR bstrMask) = 0;                  // 9
    virtual HRESULT STDMETHODCALLTYPE AddGateway(BSTR bstrGateway) = 0;                       // 10
    virtual HRESULT STDMETHODCALLTYPE AddDns(BSTR bstrDns) = 0;                               // 11
    virtual HRESULT STDMETHODCALLTYPE AddWins(BSTR bstrWins) = 0;                             // 12
    virtual HRESULT STDMETHODCALLTYPE PutNodeType(BSTR bstrNodeType) = 0;                     // 13
    virtual HRESULT STDMETHODCALLTYPE PutDhcpEnable(LONG lEnable) = 0;                        // 14
    virtual HRESULT STDMETHODCALLTYPE PutDnsEnable(LONG lEnable) = 0;                         // 15
    virtual HRESULT STDMETHODCALLTYPE GetNicName(BSTR *pbstrName) = 0;                        // 16
    virtual HRESULT STDMETHODCALLTYPE GetRegID(BSTR *pbstrRegId) = 0;                         // 17
    virtual HRESULT STDMETHODCALLTYPE GetIP(LONG lIndex, BSTR *pbstrIp, BSTR *pbstrMask) = 0; // 18
    virtual HRESULT STDMETHODCALLTYPE GetGateway(LONG lIndex, BSTR *pbstrGateway) = 0;        // 19
    virtual HRESULT STDMETHODCALLTYPE GetDns(LONG lIndex, BSTR *pbstrDns) = 0;                // 20
    virtual HRESULT STDMETHODCALLTYPE GetWins(LONG lIndex, BSTR *pbstrWins) = 0;              // 21
    virtual HRESULT STDMETHODCALLTYPE GetNodeType(BSTR *pbstrNodeType) = 0;                   // 22
    virtual HRESULT STDMETHODCALLTYPE GetDhcpEnable(LONG *plEnable) = 0;                      // 23
    virtual HRESULT STDMETHODCALLTYPE GetDnsEnable(LONG *plEnable) = 0;                       // 24
    virtual HRESULT STDMETHODCALLTYPE GetIPCount(LONG *plCount) = 0;                          // 25
    virtual HRESULT STDMETHODCALLTYPE GetGatewayCount(LONG *plCount) = 0;                     // 26
    virtual HRESULT STDMETHODCALLTYPE GetDnsCount(LONG *plCount) = 0;                         // 27
    virtual HRESULT STDMETHODCALLTYPE GetWinsCount(LONG *plCount) = 0;                        // 28
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;                                            // 29
    virtual HRESULT STDMETHODCALLTYPE CopyFrom(IUnknown *pSource) = 0;                        // 30
    virtual HRESULT STDMETHODCALLTYPE Validate(LONG *plValue) = 0;                            // 31
    virtual HRESULT STDMETHODCALLTYPE PutHostName(BSTR bstrHostName) = 0;                     // 32
    virtual HRESULT STDMETHODCALLTYPE GetHostName(BSTR *pbstrHostName) = 0;                   // 33
    virtual HRESULT STDMETHODCALLTYPE PutDomain(BSTR bstrDomain) = 0;                         // 34
    virtual HRESULT STDMETHODCALLTYPE GetDomain(BSTR *pbstrDomain) = 0;                       // 35
    virtual HRESULT STDMETHODCALLTYPE SetModified(LONG lGroup, LONG lModified) = 0;           // 36
    virtual HRESULT STDMETHODCALLTYPE IsModified(LONG lGroup, LONG *plModified) = 0;          // 37
    virtual HRESULT STDMETHODCALLTYPE PutDhcpIPAddress(BSTR bstrIp) = 0;                      // 38
    virtual HRESULT STDMETHODCALLTYPE GetDhcpIPAddress(BSTR *pbstrIp) = 0;                    // 39
    virtual HRESULT STDMETHODCALLTYPE PutDhcpSubnetMask(BSTR bstrMask) = 0;                   // 40
    virtual HRESULT STDMETHODCALLTYPE GetDhcpSubnetMask(BSTR *pbstrMask) = 0;                 // 41
    virtual HRESULT STDMETHODCALLTYPE GetDhcpServer(BSTR *pbstrServer) = 0;                   // 42
    virtual HRESULT STDMETHODCALLTYPE PutDhcpServer(BSTR bstrServer) = 0;                     // 43
    virtual HRESULT STDMETHODCALLTYPE GetBound(LONG *plBound) = 0;                            // 44
    virtual HRESULT STDMETHODCALLTYPE PutBound(LONG lBound) = 0;                              // 45
};

// What follows adds to the contract above: the names a client needs to reach the objects
// through the kit's COM toolkit and through IDispatch.
#include "common/com/ComPtr.h"

KITCOM_INTERFACE_ID(IRouterParam, IID_IRouterParam)
KITCOM_INTERFACE_ID(ITcpipParam, IID_ITcpipParam)

// ProgIDs of the two classes (the first of each pair is the versioned one).
#define PROGID_ROUTERPARAM "DaxParam.RouterParam.1"
#define PROGID_ROUTERPARAM_CURRENT "DaxParam.RouterParam"
#define PROGID_TCPIPPARAM "DaxParam.TcpipParam.1"
#define PROGID_TCPIPPARAM_CURRENT "DaxParam.TcpipParam"

// Dispatch ids (slot - 6). Every output is a plain [out] parameter: through Invoke it is a
// VT_BYREF argument of its type or a VT_BYREF|VT_VARIANT one, never the result.
enum : DISPID
{
    DISPID_ROUTERPARAM_COPYTO = 1,
    DISPID_ROUTERPARAM_SETLAN,
    DISPID_ROUTERPARAM_GETLAN,
    DISPID_ROUTERPARAM_SETWAN,
    DISPID_ROUTERPARAM_GETWAN,
    DISPID_ROUTERPARAM_SETDNS,
    DISPID_ROUTERPARAM_GETDNS,
    DISPID_ROUTERPARAM_SETDHCP,
    DISPID_ROUTERPARAM_GETDHCP,
    DISPID_ROUTERPARAM_SETNAT,
    DISPID_ROUTERPARAM_GETNAT,
    DISPID_ROUTERPARAM_SETBRIDGE,
    DISPID_ROUTERPARAM_GETBRIDGE,
    DISPID_ROUTERPARAM_SETUSER,
    DISPID_ROUTERPARAM_GETUSER,
    DISPID_ROUTERPARAM_SETENCAP,
    DISPID_ROUTERPARAM_GETENCAP,
    DISPID_ROUTERPARAM_RESET,
    DISPID_ROUTERPARAM_SETPORTS,
    DISPID_ROUTERPARAM_GETPORTS, // 20
};

enum : DISPID
{
    DISPID_TCPIPPARAM_PUTNICNAME = 1,
    DISPID_TCPIPPARAM_PUTREGID,
    DISPID_TCPIPPARAM_ADDIP,
    DISPID_TCPIPPARAM_ADDGATEWAY,
    DISPID_TCPIPPARAM_ADDDNS,
    DISPID_TCPIPPARAM_ADDWINS,
    DISPID_TCPIPPARAM_PUTNODETYPE,
    DISPID_TCPIPPARAM_PUTDHCPENABLE,
    DISPID_TCPIPPARAM_PUTDNSENABLE,
    DISPID_TCPIPPARAM_GETNICNAME, // 10
    DISPID_TCPIPPARAM_GETREGID,
    DISPID_TCPIPPARAM_GETIP,
    DISPID_TCPIPPARAM_GETGATEWAY,
    DISPID_TCPIPPARAM_GETDNS,
    DISPID_TCPIPPARAM_GETWINS,
    DISPID_TCPIPPARAM_GETNODETYPE,
    DISPID_TCPIPPARAM_GETDHCPENABLE,
    DISPID_TCPIPPARAM_GETDNSENABLE,
    DISPID_TCPIPPARAM_GETIPCOUNT,
    DISPID_TCPIPPARAM_GETGATEWAYCOUNT, // 20
    DISPID_TCPIPPARAM_GETDNSCOUNT,
    DISPID_TCPIPPARAM_GETWINSCOUNT,
    DISPID_TCPIPPARAM_CLEAR,
    DISPID_TCPIPPARAM_COPYFROM,
    DISPID_TCPIPPARAM_VALIDATE,
    DISPID_TCPIPPARAM_PUTHOSTNAME,
    DISPID_TCPIPPARAM_GETHOSTNAME,
    DISPID_TCPIPPARAM_PUTDOMAIN,
    DISPID_TCPIPPARAM_GETDOMAIN,
    DISPID_TCPIPPARAM_SETMODIFIED, // 30
    DISPID_TCPIPPARAM_ISMODIFIED,
    DISPID_TCPIPPARAM_PUTDHCPIPADDRESS,
    DISPID_TCPIPPARAM_GETDHCPIPADDRESS,
    DISPID_TCPIPPARAM_PUTDHCPSUBNETMASK,
    DISPID_TCPIPPARAM_GETDHCPSUBNETMASK,
    DISPID_TCPIPPARAM_GETDHCPSERVER,
    DISPID_TCPIPPARAM_PUTDHCPSERVER,
    DISPID_TCPIPPARAM_GETBOUND,
    DISPID_TCPIPPARAM_PUTBOUND, // 39
};
static_assert(DISPID_ROUTERPARAM_GETPORTS == 26 - 6 && DISPID_TCPIPPARAM_PUTBOUND == 45 - 6,
              "dispatch ids follow the vtable slots");
