// The values each class holds, the lock that guards them, and the private interfaces through
// which two objects of this server copy their values.
//
// CopyTo and CopyFrom reach the other object through IRouterParam / ITcpipParam, as a client
// would, and then through the private interface below, which only this server's objects
// answer (its IID is never registered, and the values ride in it as C++ objects, so it never
// leaves this library). The values are read all at once under the source's lock and written
// all at once under the target's; the two locks are never held together, so copies in opposite
// directions, or of an object into itself, cannot deadlock.
#pragma once

#include "common/com/ComPtr.h"
#include "common/com/CritSec.h"
#include "common/param/ParamObjects.h"
#include "param/ParamText.h"

#include <array>
#include <new>
#include <utility>
#include <vector>

// {6F0B2D1A-5C43-4E8B-9A7E-2D41C3B8F501}
DEFINE_GUID(IID_IRouterParamState, 0x6F0B2D1A, 0x5C43, 0x4E8B, 0x9A, 0x7E, 0x2D, 0x41, 0xC3, 0xB8, 0xF5,
            0x01);
// {6F0B2D1B-5C43-4E8B-9A7E-2D41C3B8F501}
DEFINE_GUID(IID_ITcpipParamState, 0x6F0B2D1B, 0x5C43, 0x4E8B, 0x9A, 0x7E, 0x2D, 0x41, 0xC3, 0xB8, 0xF5, 0x01);

// Everything a RouterParam holds. A new or Reset object holds these defaults: empty texts
// (an empty DHCP start means the router's DHCP server is off) and flags 0.
struct RouterValues
{
    ParamText lanIp, lanMask;
    ParamText wanIp, wanMask;
    ParamText dns1, dns2;
    ParamText dhcpStart, dhcpSize;
    ParamText user, password;
    ParamText ports;
    LONG nat = 0;
    LONG bridge = 0;
    LONG encap = 0;
};

// The modification groups, TCPIP_GROUP_IP to TCPIP_GROUP_DOMAIN.
constexpr LONG kFirstGroup = TCPIP_GROUP_IP;
constexpr LONG kLastGroup = TCPIP_GROUP_DOMAIN;
constexpr size_t kGroupCount = kLastGroup - kFirstGroup + 1;

// Everything a TcpipParam holds. A new or cleared object holds these defaults: empty texts,
// flags 0, empty lists, no group marked.
struct TcpipValues
{
    ParamText nicName, regId;
    ParamText nodeType;
    ParamText hostName, domain;
    ParamText dhcpIpAddress, dhcpSubnetMask, dhcpServer;
    LONG dhcpEnable = 0;
    LONG dnsEnable = 0;
    LONG bound = 0;
    std::vector<std::pair<ParamText, ParamText>> ips; // address, mask
    std::vector<ParamText> gateways, dns, wins;
    std::array<LONG, kGroupCount> modified{};
};

struct IRouterParamState : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE ReadValues(RouterValues *pValues) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteValues(const RouterValues *pValues) = 0;
};
KITCOM_INTERFACE_ID(IRouterParamState, IID_IRouterParamState)

struct ITcpipParamState : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE ReadValues(TcpipValues *pValues) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteValues(const TcpipValues *pValues) = 0;
};
KITCOM_INTERFACE_ID(ITcpipParamState, IID_ITcpipParamState)

// Runs a method's body: an allocation that fails inside is E_OUTOFMEMORY, as nothing may
// leave a COM method by an exception.
template <class Body> HRESULT ParamCall(Body body) noexcept
{
    try
    {
        return body();
    }
    catch (const std::bad_alloc &)
    {
        return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}
