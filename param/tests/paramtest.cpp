// What the parameter objects' tests share.
#include "param/tests/paramtest.h"

#include "testing/kittest.h"
#include "testing/regsvr32.h"

#include <string>

namespace paramtest
{
void ParamServer::SetUp()
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    std::string output;
    ASSERT_EQ(kittest::Regsvr32({"/s", "DaxParam.dll"}, &output), 0) << output;
    client_ = LoadLibraryA("testlib_paramclient.dll");
    ASSERT_NE(client_, nullptr);
    byProgId_ =
        reinterpret_cast<ByProgIdFn>(reinterpret_cast<void *>(GetProcAddress(client_, "CreateByProgId")));
    byClsid_ =
        reinterpret_cast<ByClsidFn>(reinterpret_cast<void *>(GetProcAddress(client_, "CreateByClsid")));
    ASSERT_NE(byProgId_, nullptr);
    ASSERT_NE(byClsid_, nullptr);
}

void ParamServer::TearDown()
{
    if (client_)
        FreeLibrary(client_);
    CoFreeUnusedLibraries();
    CoUninitialize();
}

HRESULT Invoke(IDispatch *object, DISPID id, std::vector<VARIANT> args, EXCEPINFO *excepInfo)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    UINT argErr = 0;
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, excepInfo,
                          &argErr);
}

VARIANT Out(BSTR *target)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR | VT_BYREF;
    v.pbstrVal = target;
    return v;
}

VARIANT Out(LONG *target)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = target;
    return v;
}

VARIANT Out(VARIANT *target)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = target;
    return v;
}

VARIANT In(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

std::string Take(BSTR &text)
{
    std::string narrow = kitcom::NarrowOf(text);
    SysFreeString(text);
    text = nullptr;
    return narrow;
}

namespace
{
std::string Seeded(const char *what, int seed)
{
    return std::string(what) + "." + std::to_string(seed);
}

using RouterPairGetter = HRESULT (STDMETHODCALLTYPE IRouterParam::*)(BSTR *, BSTR *);
using RouterPairSetter = HRESULT (STDMETHODCALLTYPE IRouterParam::*)(BSTR, BSTR);
constexpr RouterPairGetter kRouterGetters[] = {&IRouterParam::GetLan, &IRouterParam::GetWan,
                                               &IRouterParam::GetDns, &IRouterParam::GetDhcp,
                                               &IRouterParam::GetUser};
constexpr RouterPairSetter kRouterSetters[] = {&IRouterParam::SetLan, &IRouterParam::SetWan,
                                               &IRouterParam::SetDns, &IRouterParam::SetDhcp,
                                               &IRouterParam::SetUser};

using TcpipTextGetter = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(BSTR *);
using TcpipTextSetter = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(BSTR);
constexpr TcpipTextGetter kTcpipTextGetters[] = {
    &ITcpipParam::GetNicName,        &ITcpipParam::GetRegID,     &ITcpipParam::GetNodeType,
    &ITcpipParam::GetHostName,       &ITcpipParam::GetDomain,    &ITcpipParam::GetDhcpIPAddress,
    &ITcpipParam::GetDhcpSubnetMask, &ITcpipParam::GetDhcpServer};
constexpr TcpipTextSetter kTcpipTextSetters[] = {
    &ITcpipParam::PutNicName,        &ITcpipParam::PutRegID,     &ITcpipParam::PutNodeType,
    &ITcpipParam::PutHostName,       &ITcpipParam::PutDomain,    &ITcpipParam::PutDhcpIPAddress,
    &ITcpipParam::PutDhcpSubnetMask, &ITcpipParam::PutDhcpServer};

using CountGetter = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(LONG *);
using ItemGetter = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(LONG, BSTR *);
using ItemAdder = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(BSTR);
constexpr CountGetter kCounts[] = {&ITcpipParam::GetGatewayCount, &ITcpipParam::GetDnsCount,
                                   &ITcpipParam::GetWinsCount};
constexpr ItemGetter kItems[] = {&ITcpipParam::GetGateway, &ITcpipParam::GetDns, &ITcpipParam::GetWins};
constexpr ItemAdder kAdders[] = {&ITcpipParam::AddGateway, &ITcpipParam::AddDns, &ITcpipParam::AddWins};
} // namespace

RouterSnapshot ReadAll(IRouterParam *param)
{
    RouterSnapshot all{};
    size_t t = 0;
    for (RouterPairGetter get : kRouterGetters)
    {
        BSTR a = nullptr, b = nullptr;
        EXPECT_EQ((param->*get)(&a, &b), S_OK);
        all.texts[t++] = Take(a);
        all.texts[t++] = Take(b);
    }
    BSTR ports = nullptr;
    EXPECT_EQ(param->GetPorts(&ports), S_OK);
    all.texts[t] = Take(ports);
    EXPECT_EQ(param->GetNat(&all.flags[0]), S_OK);
    EXPECT_EQ(param->GetBridge(&all.flags[1]), S_OK);
    EXPECT_EQ(param->GetEncap(&all.flags[2]), S_OK);
    return all;
}

void FillAll(IRouterParam *param, int seed)
{
    int n = 0;
    for (RouterPairSetter set : kRouterSetters)
    {
        EXPECT_EQ((param->*set)(Text(Seeded("a", seed * 100 + n).c_str()).Get(),
                                Text(Seeded("b", seed * 100 + n).c_str()).Get()),
                  S_OK);
        ++n;
    }
    EXPECT_EQ(param->SetPorts(Text(Seeded("Default,10.0.0.", seed).c_str()).Get()), S_OK);
    EXPECT_EQ(param->SetNat(seed + 1), S_OK);
    EXPECT_EQ(param->SetBridge(seed + 2), S_OK);
    EXPECT_EQ(param->SetEncap(seed + 3), S_OK);
}

TcpipSnapshot ReadAll(ITcpipParam *param)
{
    TcpipSnapshot all{};
    size_t t = 0;
    for (TcpipTextGetter get : kTcpipTextGetters)
    {
        BSTR text = nullptr;
        EXPECT_EQ((param->*get)(&text), S_OK);
        all.texts[t++] = Take(text);
    }
    EXPECT_EQ(param->GetDhcpEnable(&all.flags[0]), S_OK);
    EXPECT_EQ(param->GetDnsEnable(&all.flags[1]), S_OK);
    EXPECT_EQ(param->GetBound(&all.flags[2]), S_OK);
    LONG count = 0;
    EXPECT_EQ(param->GetIPCount(&count), S_OK);
    for (LONG i = 1; i <= count; ++i)
    {
        BSTR ip = nullptr, mask = nullptr;
        EXPECT_EQ(param->GetIP(i, &ip, &mask), S_OK);
        all.ips.emplace_back(Take(ip), Take(mask));
    }
    for (size_t l = 0; l < all.lists.size(); ++l)
    {
        EXPECT_EQ((param->*kCounts[l])(&count), S_OK);
        for (LONG i = 1; i <= count; ++i)
        {
            BSTR item = nullptr;
            EXPECT_EQ((param->*kItems[l])(i, &item), S_OK);
            all.lists[l].push_back(Take(item));
        }
    }
    for (LONG group = TCPIP_GROUP_IP; group <= TCPIP_GROUP_DOMAIN; ++group)
        EXPECT_EQ(param->IsModified(group, &all.modified[group - TCPIP_GROUP_IP]), S_OK);
    return all;
}

void FillAll(ITcpipParam *param, int seed)
{
    int n = 0;
    for (TcpipTextSetter put : kTcpipTextSetters)
        EXPECT_EQ((param->*put)(Text(Seeded("t", seed * 100 + n++).c_str()).Get()), S_OK);
    EXPECT_EQ(param->PutDhcpEnable(seed + 1), S_OK);
    EXPECT_EQ(param->PutDnsEnable(seed + 2), S_OK);
    EXPECT_EQ(param->PutBound(seed + 3), S_OK);
    for (int i = 0; i <= seed % 3; ++i)
        EXPECT_EQ(param->AddIP(Text(Seeded("ip", seed * 10 + i).c_str()).Get(),
                               Text(Seeded("mask", seed * 10 + i).c_str()).Get()),
                  S_OK);
    for (size_t l = 0; l < std::size(kAdders); ++l)
        for (size_t i = 0; i <= l; ++i)
            EXPECT_EQ(
                (param->*kAdders[l])(Text(Seeded("item", seed * 10 + static_cast<int>(i)).c_str()).Get()),
                S_OK);
    for (LONG group = TCPIP_GROUP_IP; group <= TCPIP_GROUP_DOMAIN; ++group)
        EXPECT_EQ(param->SetModified(group, (group + seed) % 2), S_OK);
}
} // namespace paramtest
