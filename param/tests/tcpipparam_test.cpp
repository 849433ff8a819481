// TcpipParam through its public interface: every method through the vtable and through
// IDispatch::Invoke, defaults, lists and indexes, modification marks, Clear, Validate, copies.
#include "param/tests/paramtest.h"

#include <cstring>
#include <functional>

using namespace paramtest;

namespace
{
using TextPut = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(BSTR);
using TextGet = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(BSTR *);
using FlagPut = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(LONG);
using FlagGet = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(LONG *);
using ItemAdd = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(BSTR);
using ItemGet = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(LONG, BSTR *);
using CountGet = HRESULT (STDMETHODCALLTYPE ITcpipParam::*)(LONG *);

const struct TextCase
{
    const char *name;
    TextPut put;
    TextGet get;
    DISPID putId, getId;
} kTexts[] = {
    {"NicName", &ITcpipParam::PutNicName, &ITcpipParam::GetNicName, DISPID_TCPIPPARAM_PUTNICNAME,
     DISPID_TCPIPPARAM_GETNICNAME},
    {"RegID", &ITcpipParam::PutRegID, &ITcpipParam::GetRegID, DISPID_TCPIPPARAM_PUTREGID,
     DISPID_TCPIPPARAM_GETREGID},
    {"NodeType", &ITcpipParam::PutNodeType, &ITcpipParam::GetNodeType, DISPID_TCPIPPARAM_PUTNODETYPE,
     DISPID_TCPIPPARAM_GETNODETYPE},
    {"HostName", &ITcpipParam::PutHostName, &ITcpipParam::GetHostName, DISPID_TCPIPPARAM_PUTHOSTNAME,
     DISPID_TCPIPPARAM_GETHOSTNAME},
    {"Domain", &ITcpipParam::PutDomain, &ITcpipParam::GetDomain, DISPID_TCPIPPARAM_PUTDOMAIN,
     DISPID_TCPIPPARAM_GETDOMAIN},
    {"DhcpIPAddress", &ITcpipParam::PutDhcpIPAddress, &ITcpipParam::GetDhcpIPAddress,
     DISPID_TCPIPPARAM_PUTDHCPIPADDRESS, DISPID_TCPIPPARAM_GETDHCPIPADDRESS},
    {"DhcpSubnetMask", &ITcpipParam::PutDhcpSubnetMask, &ITcpipParam::GetDhcpSubnetMask,
     DISPID_TCPIPPARAM_PUTDHCPSUBNETMASK, DISPID_TCPIPPARAM_GETDHCPSUBNETMASK},
    {"DhcpServer", &ITcpipParam::PutDhcpServer, &ITcpipParam::GetDhcpServer, DISPID_TCPIPPARAM_PUTDHCPSERVER,
     DISPID_TCPIPPARAM_GETDHCPSERVER},
};

const struct FlagCase
{
    const char *name;
    FlagPut put;
    FlagGet get;
    DISPID putId, getId;
} kFlags[] = {
    {"DhcpEnable", &ITcpipParam::PutDhcpEnable, &ITcpipParam::GetDhcpEnable, DISPID_TCPIPPARAM_PUTDHCPENABLE,
     DISPID_TCPIPPARAM_GETDHCPENABLE},
    {"DnsEnable", &ITcpipParam::PutDnsEnable, &ITcpipParam::GetDnsEnable, DISPID_TCPIPPARAM_PUTDNSENABLE,
     DISPID_TCPIPPARAM_GETDNSENABLE},
    {"Bound", &ITcpipParam::PutBound, &ITcpipParam::GetBound, DISPID_TCPIPPARAM_PUTBOUND,
     DISPID_TCPIPPARAM_GETBOUND},
};

const struct ListCase
{
    const char *name;
    ItemAdd add;
    ItemGet get;
    CountGet count;
    DISPID addId, getId, countId;
} kLists[] = {
    {"Gateway", &ITcpipParam::AddGateway, &ITcpipParam::GetGateway, &ITcpipParam::GetGatewayCount,
     DISPID_TCPIPPARAM_ADDGATEWAY, DISPID_TCPIPPARAM_GETGATEWAY, DISPID_TCPIPPARAM_GETGATEWAYCOUNT},
    {"Dns", &ITcpipParam::AddDns, &ITcpipParam::GetDns, &ITcpipParam::GetDnsCount, DISPID_TCPIPPARAM_ADDDNS,
     DISPID_TCPIPPARAM_GETDNS, DISPID_TCPIPPARAM_GETDNSCOUNT},
    {"Wins", &ITcpipParam::AddWins, &ITcpipParam::GetWins, &ITcpipParam::GetWinsCount,
     DISPID_TCPIPPARAM_ADDWINS, DISPID_TCPIPPARAM_GETWINS, DISPID_TCPIPPARAM_GETWINSCOUNT},
};

const OLECHAR *const kNames[] = {
    OLESTR("PutNicName"),
    OLESTR("PutRegID"),
    OLESTR("AddIP"),
    OLESTR("AddGateway"),
    OLESTR("AddDns"),
    OLESTR("AddWins"),
    OLESTR("PutNodeType"),
    OLESTR("PutDhcpEnable"),
    OLESTR("PutDnsEnable"),
    OLESTR("GetNicName"),
    OLESTR("GetRegID"),
    OLESTR("GetIP"),
    OLESTR("GetGateway"),
    OLESTR("GetDns"),
    OLESTR("GetWins"),
    OLESTR("GetNodeType"),
    OLESTR("GetDhcpEnable"),
    OLESTR("GetDnsEnable"),
    OLESTR("GetIPCount"),
    OLESTR("GetGatewayCount"),
    OLESTR("GetDnsCount"),
    OLESTR("GetWinsCount"),
    OLESTR("Clear"),
    OLESTR("CopyFrom"),
    OLESTR("Validate"),
    OLESTR("PutHostName"),
    OLESTR("GetHostName"),
    OLESTR("PutDomain"),
    OLESTR("GetDomain"),
    OLESTR("SetModified"),
    OLESTR("IsModified"),
    OLESTR("PutDhcpIPAddress"),
    OLESTR("GetDhcpIPAddress"),
    OLESTR("PutDhcpSubnetMask"),
    OLESTR("GetDhcpSubnetMask"),
    OLESTR("GetDhcpServer"),
    OLESTR("PutDhcpServer"),
    OLESTR("GetBound"),
    OLESTR("PutBound"),
};

class TcpipParamTest : public ParamServer
{
};
} // namespace

TEST_F(TcpipParamTest, NewObjectHoldsNothing)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    for (const TextCase &c : kTexts)
    {
        BSTR text = Garbage();
        EXPECT_EQ((param.Get()->*c.get)(&text), S_OK) << c.name;
        ASSERT_NE(text, nullptr) << c.name;
        EXPECT_EQ(Take(text), "") << c.name;
    }
    for (const FlagCase &c : kFlags)
    {
        LONG value = 0x5A5A;
        EXPECT_EQ((param.Get()->*c.get)(&value), S_OK) << c.name;
        EXPECT_EQ(value, 0) << c.name;
    }
    LONG count = 0x5A5A;
    EXPECT_EQ(param->GetIPCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    for (const ListCase &c : kLists)
    {
        count = 0x5A5A;
        EXPECT_EQ((param.Get()->*c.count)(&count), S_OK) << c.name;
        EXPECT_EQ(count, 0) << c.name;
    }
    for (LONG group = TCPIP_GROUP_IP; group <= TCPIP_GROUP_DOMAIN; ++group)
    {
        LONG modified = 0x5A5A;
        EXPECT_EQ(param->IsModified(group, &modified), S_OK) << group;
        EXPECT_EQ(modified, 0) << group;
    }
}

TEST_F(TcpipParamTest, NamesGiveTheSlotDispatchIds)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    DISPID expected = 1;
    for (const OLECHAR *name : kNames)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        EXPECT_EQ(param->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, expected++) << BStr(name).Narrow();
    }
    EXPECT_EQ(expected, DISPID_TCPIPPARAM_PUTBOUND + 1);
}

TEST_F(TcpipParamTest, TextsAndFlagsThroughVtableAndInvoke)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    for (const TextCase &c : kTexts)
    {
        EXPECT_EQ((param.Get()->*c.put)(Text("Conexión de área local").Get()), S_OK) << c.name;
        BSTR text = nullptr;
        EXPECT_EQ(Invoke(param.Get(), c.getId, {Out(&text)}), S_OK) << c.name;
        EXPECT_EQ(Take(text), "Conexi\xF3n de \xE1rea local") << c.name;
        Variant value("{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001");
        EXPECT_EQ(Invoke(param.Get(), c.putId, {value}), S_OK) << c.name;
        EXPECT_EQ((param.Get()->*c.get)(&text), S_OK) << c.name;
        EXPECT_EQ(Take(text), "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001") << c.name;
        EXPECT_EQ((param.Get()->*c.put)(nullptr), S_OK) << c.name; // NULL is the empty text
        EXPECT_EQ((param.Get()->*c.get)(&text), S_OK) << c.name;
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(Take(text), "") << c.name;
        EXPECT_EQ((param.Get()->*c.get)(nullptr), E_POINTER) << c.name;
    }
    for (const FlagCase &c : kFlags)
    {
        EXPECT_EQ((param.Get()->*c.put)(5), S_OK) << c.name; // kept as given, not made 1
        Variant out;
        EXPECT_EQ(Invoke(param.Get(), c.getId, {Out(&out)}), S_OK) << c.name;
        EXPECT_EQ(out.vt, VT_I4) << c.name;
        EXPECT_EQ(out.lVal, 5) << c.name;
        EXPECT_EQ(Invoke(param.Get(), c.putId, {In(0)}), S_OK) << c.name;
        LONG value = -1;
        EXPECT_EQ((param.Get()->*c.get)(&value), S_OK) << c.name;
        EXPECT_EQ(value, 0) << c.name;
        EXPECT_EQ((param.Get()->*c.get)(nullptr), E_POINTER) << c.name;
    }
}

TEST_F(TcpipParamTest, ListsKeepTheirOrderAndReadFromOne)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    for (const ListCase &c : kLists)
    {
        EXPECT_EQ((param.Get()->*c.add)(Text("10.0.0.1").Get()), S_OK) << c.name;
        Variant second("10.0.0.2");
        EXPECT_EQ(Invoke(param.Get(), c.addId, {second}), S_OK) << c.name;
        EXPECT_EQ((param.Get()->*c.add)(Text("10.0.0.1").Get()), S_OK) << c.name; // duplicates stay
        LONG count = 0;
        EXPECT_EQ((param.Get()->*c.count)(&count), S_OK);
        EXPECT_EQ(count, 3) << c.name;
        count = 0;
        EXPECT_EQ(Invoke(param.Get(), c.countId, {Out(&count)}), S_OK) << c.name;
        EXPECT_EQ(count, 3) << c.name;
        const char *expected[] = {"10.0.0.1", "10.0.0.2", "10.0.0.1"};
        for (LONG i = 1; i <= 3; ++i)
        {
            BSTR item = nullptr;
            EXPECT_EQ((param.Get()->*c.get)(i, &item), S_OK) << c.name << i;
            EXPECT_EQ(Take(item), expected[i - 1]) << c.name << i;
            EXPECT_EQ(Invoke(param.Get(), c.getId, {In(i), Out(&item)}), S_OK) << c.name << i;
            EXPECT_EQ(Take(item), expected[i - 1]) << c.name << i;
        }
        for (LONG bad : std::initializer_list<LONG>{0, 4, -1, 0x7FFFFFFF, LONG(0x80000000)})
        {
            BSTR item = Garbage();
            EXPECT_EQ((param.Get()->*c.get)(bad, &item), E_INVALIDARG) << c.name << bad;
            EXPECT_EQ(item, nullptr) << c.name << bad;
        }
        BSTR item = nullptr;
        EXCEPINFO info;
        std::memset(&info, 0, sizeof info);
        EXPECT_EQ(Invoke(param.Get(), c.getId, {In(9), Out(&item)}, &info), DISP_E_EXCEPTION) << c.name;
        EXPECT_EQ(info.scode, E_INVALIDARG) << c.name;
        EXPECT_EQ(kitcom::NarrowOf(info.bstrSource), "DaxParam.TcpipParam");
        EXPECT_EQ(item, nullptr);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        EXPECT_EQ((param.Get()->*c.get)(1, nullptr), E_POINTER) << c.name;
        EXPECT_EQ((param.Get()->*c.count)(nullptr), E_POINTER) << c.name;
    }
}

TEST_F(TcpipParamTest, AddressesComeInPairs)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    EXPECT_EQ(param->AddIP(Text("192.168.1.5").Get(), Text("255.255.255.0").Get()), S_OK);
    Variant ip("10.0.0.5"), mask("255.0.0.0");
    EXPECT_EQ(Invoke(param.Get(), DISPID_TCPIPPARAM_ADDIP, {ip, mask}), S_OK);
    EXPECT_EQ(param->AddIP(nullptr, nullptr), S_OK);
    LONG count = 0;
    EXPECT_EQ(param->GetIPCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    BSTR a = nullptr, m = nullptr;
    EXPECT_EQ(Invoke(param.Get(), DISPID_TCPIPPARAM_GETIP, {In(2), Out(&a), Out(&m)}), S_OK);
    EXPECT_EQ(Take(a), "10.0.0.5");
    EXPECT_EQ(Take(m), "255.0.0.0");
    EXPECT_EQ(param->GetIP(1, &a, &m), S_OK);
    EXPECT_EQ(Take(a), "192.168.1.5");
    EXPECT_EQ(Take(m), "255.255.255.0");
    EXPECT_EQ(param->GetIP(3, &a, &m), S_OK);
    EXPECT_EQ(Take(a), "");
    EXPECT_EQ(Take(m), "");

    a = Garbage();
    m = Garbage();
    EXPECT_EQ(param->GetIP(4, &a, &m), E_INVALIDARG);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(m, nullptr);
    m = Garbage();
    EXPECT_EQ(param->GetIP(1, nullptr, &m), E_POINTER);
    EXPECT_EQ(m, nullptr);
    a = Garbage();
    EXPECT_EQ(param->GetIP(1, &a, nullptr), E_POINTER);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(param->GetIPCount(nullptr), E_POINTER);
}

TEST_F(TcpipParamTest, ModificationMarksPerGroup)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    // Putting values marks nothing.
    EXPECT_EQ(param->AddIP(Text("10.0.0.5").Get(), Text("255.0.0.0").Get()), S_OK);
    EXPECT_EQ(param->PutHostName(Text("UserADSL").Get()), S_OK);
    LONG modified = -1;
    EXPECT_EQ(param->IsModified(TCPIP_GROUP_IP, &modified), S_OK);
    EXPECT_EQ(modified, 0);

    EXPECT_EQ(param->SetModified(TCPIP_GROUP_GATEWAY, 1), S_OK);
    EXPECT_EQ(Invoke(param.Get(), DISPID_TCPIPPARAM_SETMODIFIED, {In(TCPIP_GROUP_DOMAIN), In(9)}), S_OK);
    for (LONG group = TCPIP_GROUP_IP; group <= TCPIP_GROUP_DOMAIN; ++group)
    {
        const LONG expected = group == TCPIP_GROUP_GATEWAY ? 1 : group == TCPIP_GROUP_DOMAIN ? 9 : 0;
        EXPECT_EQ(param->IsModified(group, &modified), S_OK);
        EXPECT_EQ(modified, expected) << group;
        modified = -1;
        EXPECT_EQ(Invoke(param.Get(), DISPID_TCPIPPARAM_ISMODIFIED, {In(group), Out(&modified)}), S_OK);
        EXPECT_EQ(modified, expected) << group;
    }
    EXPECT_EQ(param->SetModified(TCPIP_GROUP_GATEWAY, 0), S_OK);
    EXPECT_EQ(param->IsModified(TCPIP_GROUP_GATEWAY, &modified), S_OK);
    EXPECT_EQ(modified, 0);

    for (LONG bad : std::initializer_list<LONG>{0, 3001, 3008, -3002})
    {
        EXPECT_EQ(param->SetModified(bad, 1), E_INVALIDARG) << bad;
        modified = 0x5A5A;
        EXPECT_EQ(param->IsModified(bad, &modified), E_INVALIDARG) << bad;
        EXPECT_EQ(modified, 0) << bad;
    }
    EXPECT_EQ(param->IsModified(TCPIP_GROUP_IP, nullptr), E_POINTER);
}

TEST_F(TcpipParamTest, ClearGoesBackToANewObject)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ComPtr<ITcpipParam> fresh = NewTcpip();
    ASSERT_TRUE(param && fresh);
    FillAll(param.Get(), 2);
    ASSERT_NE(ReadAll(param.Get()), ReadAll(fresh.Get()));
    EXPECT_EQ(param->Clear(), S_OK);
    EXPECT_EQ(ReadAll(param.Get()), ReadAll(fresh.Get()));
    FillAll(param.Get(), 3);
    EXPECT_EQ(Invoke(param.Get(), DISPID_TCPIPPARAM_CLEAR, {}), S_OK);
    EXPECT_EQ(ReadAll(param.Get()), ReadAll(fresh.Get()));
}

TEST_F(TcpipParamTest, CopyFromCopiesEveryValueAndMark)
{
    ComPtr<ITcpipParam> source = NewTcpip();
    ComPtr<ITcpipParam> target = NewTcpip();
    ASSERT_TRUE(source && target);
    FillAll(source.Get(), 4);
    FillAll(target.Get(), 5);
    const TcpipSnapshot before = ReadAll(source.Get());
    ASSERT_FALSE(before.ips.empty());
    EXPECT_EQ(target->CopyFrom(source.Get()), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), before);
    EXPECT_EQ(ReadAll(source.Get()), before);

    // Lists are replaced, not appended to; the copy is independent of its source.
    EXPECT_EQ(target->CopyFrom(source.Get()), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), before);
    EXPECT_EQ(source->AddDns(Text("1.1.1.1").Get()), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), before);

    ComPtr<ITcpipParam> empty = NewTcpip();
    Variant emptyArg(static_cast<IDispatch *>(empty.Get()));
    EXPECT_EQ(Invoke(target.Get(), DISPID_TCPIPPARAM_COPYFROM, {emptyArg}), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), ReadAll(empty.Get()));
}

TEST_F(TcpipParamTest, CopyFromItselfAndFromWrongObjects)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ComPtr<IRouterParam> router = NewRouter();
    ASSERT_TRUE(param && router);
    FillAll(param.Get(), 6);
    const TcpipSnapshot before = ReadAll(param.Get());
    EXPECT_EQ(param->CopyFrom(param.Get()), S_OK);
    EXPECT_EQ(ReadAll(param.Get()), before);

    // A refused copy changes nothing.
    EXPECT_EQ(param->CopyFrom(nullptr), E_INVALIDARG);
    EXPECT_EQ(param->CopyFrom(router.Get()), E_NOINTERFACE);
    EXPECT_EQ(ReadAll(param.Get()), before);
}

namespace
{
using Builder = std::function<void(ITcpipParam *)>;

void Ip(ITcpipParam *p, const char *ip, const char *mask)
{
    EXPECT_EQ(p->AddIP(Text(ip).Get(), Text(mask).Get()), S_OK);
}

void Mark(ITcpipParam *p, std::initializer_list<LONG> groups)
{
    for (LONG group : groups)
        EXPECT_EQ(p->SetModified(group, 1), S_OK);
}

// The two plans the wizard builds.
void DhcpPlan(ITcpipParam *p)
{
    EXPECT_EQ(p->PutNicName(Text("Realtek RTL8139 Family PCI Fast Ethernet NIC").Get()), S_OK);
    EXPECT_EQ(p->PutRegID(Text("{5F5D2E2C-4C2B-4F0E-9D4E-6B1B3C1C0A01}").Get()), S_OK);
    EXPECT_EQ(p->PutHostName(Text("UserADSL").Get()), S_OK);
    EXPECT_EQ(p->PutDomain(Text("").Get()), S_OK);
    EXPECT_EQ(p->PutDnsEnable(0), S_OK);
    EXPECT_EQ(p->PutDhcpEnable(1), S_OK);
    Mark(p, {TCPIP_GROUP_HOSTNAME, TCPIP_GROUP_DOMAIN, TCPIP_GROUP_WINS});
}

void StaticPlan(ITcpipParam *p)
{
    EXPECT_EQ(p->PutNicName(Text("Realtek RTL8139 Family PCI Fast Ethernet NIC").Get()), S_OK);
    EXPECT_EQ(p->PutDhcpEnable(0), S_OK);
    EXPECT_EQ(p->PutDnsEnable(1), S_OK);
    EXPECT_EQ(p->AddDns(Text("0.0.0.0").Get()), S_OK); // "Config.ini" without its DNS section
    EXPECT_EQ(p->AddDns(Text("0.0.0.0").Get()), S_OK);
    EXPECT_EQ(p->AddGateway(Text("172.16.0.1").Get()), S_OK);
    Ip(p, "172.16.0.5", "255.255.0.0");
    Mark(p, {TCPIP_GROUP_DNS, TCPIP_GROUP_GATEWAY, TCPIP_GROUP_IP, TCPIP_GROUP_WINS});
}

const struct ValidateCase
{
    const char *name;
    Builder build;
    LONG group; // 0: valid
} kValidateCases[] = {
    {"empty object", [](ITcpipParam *) {}, 0},
    {"wizard DHCP plan", DhcpPlan, 0},
    {"wizard static plan", StaticPlan, 0},
    {"static without address", [](ITcpipParam *p) { Mark(p, {TCPIP_GROUP_IP}); }, TCPIP_GROUP_IP},
    {"DHCP without address", [](ITcpipParam *p) { Mark(p, {TCPIP_GROUP_IP}), p->PutDhcpEnable(1); }, 0},
    {"addresses not to be written", [](ITcpipParam *) {}, 0},
    {"only the DHCP placeholder, written",
     [](ITcpipParam *p) { Ip(p, "0.0.0.0", "0.0.0.0"), Mark(p, {TCPIP_GROUP_IP}); }, TCPIP_GROUP_IP},
    {"only the DHCP placeholder, not written", [](ITcpipParam *p) { Ip(p, "0.0.0.0", "0.0.0.0"); }, 0},
    {"placeholder and an address",
     [](ITcpipParam *p) { Ip(p, "0.0.0.0", "0.0.0.0"), Ip(p, "80.58.0.0", "255.255.0.0"), Mark(p, {3002}); },
     0},
    {"mask /30", [](ITcpipParam *p) { Ip(p, "192.0.2.9", "255.255.255.252"); }, 0},
    {"mask /32", [](ITcpipParam *p) { Ip(p, "192.0.2.9", "255.255.255.255"); }, 0},
    {"leading zeros", [](ITcpipParam *p) { Ip(p, "010.000.000.005", "255.0.0.0"); }, 0},
    {"three parts", [](ITcpipParam *p) { Ip(p, "192.168.1", "255.255.255.0"); }, TCPIP_GROUP_IP},
    {"five parts", [](ITcpipParam *p) { Ip(p, "192.168.1.5.6", "255.255.255.0"); }, TCPIP_GROUP_IP},
    {"part above 255", [](ITcpipParam *p) { Ip(p, "192.168.1.256", "255.255.255.0"); }, TCPIP_GROUP_IP},
    {"four digits", [](ITcpipParam *p) { Ip(p, "192.168.1.0005", "255.255.255.0"); }, TCPIP_GROUP_IP},
    {"empty part", [](ITcpipParam *p) { Ip(p, "192..1.5", "255.255.255.0"); }, TCPIP_GROUP_IP},
    {"blank", [](ITcpipParam *p) { Ip(p, " 192.168.1.5", "255.255.255.0"); }, TCPIP_GROUP_IP},
    {"sign", [](ITcpipParam *p) { Ip(p, "+192.168.1.5", "255.255.255.0"); }, TCPIP_GROUP_IP},
    {"loopback", [](ITcpipParam *p) { Ip(p, "127.0.0.1", "255.0.0.0"); }, TCPIP_GROUP_IP},
    {"this network", [](ITcpipParam *p) { Ip(p, "0.1.2.3", "255.0.0.0"); }, TCPIP_GROUP_IP},
    {"multicast", [](ITcpipParam *p) { Ip(p, "224.0.0.1", "240.0.0.0"); }, TCPIP_GROUP_IP},
    {"broadcast", [](ITcpipParam *p) { Ip(p, "255.255.255.255", "255.0.0.0"); }, TCPIP_GROUP_IP},
    {"empty address", [](ITcpipParam *p) { Ip(p, "", "255.0.0.0"); }, TCPIP_GROUP_IP},
    {"empty pair", [](ITcpipParam *p) { Ip(p, "", ""); }, TCPIP_GROUP_IP},
    {"address without mask", [](ITcpipParam *p) { Ip(p, "10.0.0.5", "0.0.0.0"); }, TCPIP_GROUP_IP},
    {"mask with a hole", [](ITcpipParam *p) { Ip(p, "10.0.0.5", "255.0.255.0"); }, TCPIP_GROUP_IP},
    {"mask not from the left", [](ITcpipParam *p) { Ip(p, "10.0.0.5", "0.255.255.255"); }, TCPIP_GROUP_IP},
    {"gateway not dotted", [](ITcpipParam *p) { EXPECT_EQ(p->AddGateway(Text("10.0.0.1x").Get()), S_OK); },
     TCPIP_GROUP_GATEWAY},
    {"empty DNS server", [](ITcpipParam *p) { EXPECT_EQ(p->AddDns(Text("").Get()), S_OK); }, TCPIP_GROUP_DNS},
    {"WINS server with five parts",
     [](ITcpipParam *p) { EXPECT_EQ(p->AddWins(Text("1.2.3.4.5").Get()), S_OK); }, TCPIP_GROUP_WINS},
    {"first group at fault is told",
     [](ITcpipParam *p) {
         EXPECT_EQ(p->AddWins(Text("x").Get()), S_OK);
         EXPECT_EQ(p->AddGateway(Text("y").Get()), S_OK);
     },
     TCPIP_GROUP_GATEWAY},
    {"names and DHCP values are not checked",
     [](ITcpipParam *p) {
         EXPECT_EQ(p->PutHostName(Text("no es un nombre válido").Get()), S_OK);
         EXPECT_EQ(p->PutNodeType(Text("99").Get()), S_OK);
         EXPECT_EQ(p->PutDhcpServer(Text("?").Get()), S_OK);
     },
     0},
};
} // namespace

TEST_F(TcpipParamTest, ValidateTellsTheFirstGroupAtFault)
{
    for (const ValidateCase &c : kValidateCases)
    {
        ComPtr<ITcpipParam> param = NewTcpip();
        ASSERT_TRUE(param);
        c.build(param.Get());
        LONG value = 0x5A5A;
        EXPECT_EQ(param->Validate(&value), c.group ? S_FALSE : S_OK) << c.name;
        EXPECT_EQ(value, c.group) << c.name;
        EXPECT_EQ(param->Validate(nullptr), c.group ? S_FALSE : S_OK) << c.name;
        // Invoke turns S_FALSE into S_OK, so a client there reads the value.
        value = 0x5A5A;
        EXPECT_EQ(Invoke(param.Get(), DISPID_TCPIPPARAM_VALIDATE, {Out(&value)}), S_OK) << c.name;
        EXPECT_EQ(value, c.group) << c.name;
    }
}

TEST_F(TcpipParamTest, ValidateTakesOnlyAsciiDigits)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    // Arabic-Indic digit one (U+0661) and a unit whose low byte is '1' (U+0131).
    for (OLECHAR unit : {OLECHAR(0x0661), OLECHAR(0x0131)})
    {
        const OLECHAR address[] = {'1', '0', '.', '0', '.', '0', '.', unit};
        BSTR ip = SysAllocStringLen(address, 8);
        EXPECT_EQ(param->Clear(), S_OK);
        EXPECT_EQ(param->AddIP(ip, Text("255.0.0.0").Get()), S_OK);
        SysFreeString(ip);
        LONG value = 0;
        EXPECT_EQ(param->Validate(&value), S_FALSE);
        EXPECT_EQ(value, TCPIP_GROUP_IP);
    }
}
