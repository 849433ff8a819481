// The bindings of the parameter objects: creation as the callers do it, the call wrappers and
// the COM errors they throw, used the way the modem module, the TCP/IP module and the wizard use
// them. DaxParam is registered with regsvr32 for each test.
#include "common/param/RouterParamPtr.h"
#include "common/param/TcpipParamPtr.h"
#include "testing/kittest.h"
#include "testing/regsvr32.h"

#include <functional>
#include <gtest/gtest.h>

namespace
{
// {0A3E94C1-2B7D-4F61-8C55-93E0D2A7B6F4}: registered nowhere.
DEFINE_GUID(CLSID_Nowhere, 0x0A3E94C1, 0x2B7D, 0x4F61, 0x8C, 0x55, 0x93, 0xE0, 0xD2, 0xA7, 0xB6, 0xF4);

class ParamBindings : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        std::string output;
        ASSERT_EQ(kittest::Regsvr32({"/s", "DaxParam.dll"}, &output), 0) << output;
    }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        CoUninitialize();
    }
};

// Runs `call`, which must throw CComError; gives the error.
template <class Call> CComError Caught(Call call)
{
    try
    {
        call();
    }
    catch (const CComError &error)
    {
        return error;
    }
    ADD_FAILURE() << "no CComError";
    return CComError(S_OK, IID_NULL);
}
} // namespace

TEST_F(ParamBindings, CreateInstanceGivesAWorkingObject)
{
    RouterParamPtr router;
    EXPECT_FALSE(router);
    ASSERT_EQ(router.CreateInstance(), S_OK);
    ASSERT_TRUE(router);
    EXPECT_EQ(router.SetLan("192.168.1.1", "255.255.255.0"), S_OK);
    auto [ip, mask] = router.GetLan();
    EXPECT_EQ(ip, "192.168.1.1");
    EXPECT_EQ(mask, "255.255.255.0");
    EXPECT_EQ(router.SetUser("usuario@telefonicanet", "Contraseña"), S_OK);
    EXPECT_EQ(router.GetUser(), TextPair("usuario@telefonicanet", "Contraseña"));
    EXPECT_EQ(router.GetNat(), 0);
    EXPECT_EQ(router.SetNat(1), S_OK);
    EXPECT_EQ(router.GetNat(), 1);

    TcpipParamPtr tcpip;
    ASSERT_EQ(tcpip.CreateInstance(), S_OK);
    EXPECT_EQ(tcpip.GetIPCount(), 0);
    EXPECT_EQ(tcpip.GetHostName(), "");
}

TEST_F(ParamBindings, ModemReadsADownloadedFileIntoTheObject)
{
    RouterParamPtr router;
    ASSERT_EQ(router.CreateInstance(), S_OK);
    router.SetPorts("Default,192.168.1.2");
    // What reading "30200004 = 80.58.0.33" and "30200005 = 80.58.32.97" does.
    router.Reset();
    EXPECT_EQ(router.GetPorts(), "");
    router.SetDns("80.58.0.33", "dummy");
    router.SetDns(router.GetDns().first, "80.58.32.97");
    EXPECT_EQ(router.GetDns(), TextPair("80.58.0.33", "80.58.32.97"));
    router.SetDhcp("192.168.1.33", "dummy");
    router.SetDhcp(router.GetDhcp().first, "32");
    EXPECT_EQ(router.GetDhcp(), TextPair("192.168.1.33", "32"));
    router.SetEncap(1);
    router.SetBridge(0);
    router.SetWan("0.0.0.0", "");
    EXPECT_EQ(router.GetWan(), TextPair("0.0.0.0", ""));
    EXPECT_EQ(router.GetEncap(), 1);
    EXPECT_EQ(router.GetBridge(), 0);

    // GetModemConfig hands out a copy.
    RouterParamPtr copy;
    ASSERT_EQ(copy.CreateInstance(), S_OK);
    EXPECT_EQ(router.CopyTo(copy.Get()), S_OK);
    EXPECT_EQ(copy.GetDns(), router.GetDns());
    EXPECT_EQ(copy.GetDhcp(), router.GetDhcp());
}

TEST_F(ParamBindings, WizardPlanReachesTheTcpipModule)
{
    TcpipParamPtr plan;
    ASSERT_EQ(plan.CreateInstance(), S_OK);
    plan.PutNicName("Realtek RTL8139 Family PCI Fast Ethernet NIC");
    plan.PutRegID("0001");
    plan.PutHostName("UserADSL");
    plan.SetModified(TCPIP_GROUP_HOSTNAME, 1);
    plan.PutDomain("");
    plan.SetModified(TCPIP_GROUP_DOMAIN, 1);
    plan.PutDhcpEnable(0);
    plan.PutDnsEnable(1);
    plan.AddDns("80.58.0.33");
    plan.AddDns("80.58.32.97");
    plan.SetModified(TCPIP_GROUP_DNS, 1);
    plan.AddGateway("172.16.0.1");
    plan.SetModified(TCPIP_GROUP_GATEWAY, 1);
    plan.AddIP("172.16.0.5", "255.255.0.0");
    plan.SetModified(TCPIP_GROUP_IP, 1);
    plan.SetModified(TCPIP_GROUP_WINS, 1);

    // SetInfoConfig: the module's own object copies the plan and validates it.
    TcpipParamPtr own;
    ASSERT_EQ(own.CreateInstance(), S_OK);
    EXPECT_EQ(own.CopyFrom(plan.Get()), S_OK);
    LONG value = -1;
    EXPECT_EQ(own.Validate(&value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(own.GetIPCount(), 1);
    EXPECT_EQ(own.GetIP(1), TextPair("172.16.0.5", "255.255.0.0"));
    EXPECT_EQ(own.GetGatewayCount(), 1);
    EXPECT_EQ(own.GetGateway(1), "172.16.0.1");
    EXPECT_EQ(own.GetDnsCount(), 2);
    EXPECT_EQ(own.GetDns(2), "80.58.32.97");
    EXPECT_EQ(own.GetWinsCount(), 0);
    EXPECT_EQ(own.GetDhcpEnable(), 0);
    EXPECT_EQ(own.GetDnsEnable(), 1);
    EXPECT_EQ(own.GetNicName(), "Realtek RTL8139 Family PCI Fast Ethernet NIC");
    EXPECT_EQ(own.GetRegID(), "0001");
    EXPECT_EQ(own.GetHostName(), "UserADSL");
    for (LONG group = TCPIP_GROUP_IP; group <= TCPIP_GROUP_DOMAIN; ++group)
        EXPECT_EQ(own.IsModified(group), 1) << group;

    // The reading side fills what the wizard looks at for the router's candidates.
    own.Clear();
    own.PutDhcpEnable(1);
    own.PutDhcpServer("192.168.1.1");
    own.PutDhcpIPAddress("192.168.1.33");
    own.PutDhcpSubnetMask("255.255.255.0");
    own.PutNodeType("8");
    own.PutBound(1);
    own.AddWins("192.168.1.20");
    EXPECT_EQ(own.GetDhcpServer(), "192.168.1.1");
    EXPECT_EQ(own.GetDhcpIPAddress(), "192.168.1.33");
    EXPECT_EQ(own.GetDhcpSubnetMask(), "255.255.255.0");
    EXPECT_EQ(own.GetNodeType(), "8");
    EXPECT_EQ(own.GetBound(), 1);
    EXPECT_EQ(own.GetWins(1), "192.168.1.20");
    EXPECT_EQ(own.IsModified(TCPIP_GROUP_IP), 0);

    // A plan that cannot be written: S_FALSE is a result, not an error.
    TcpipParamPtr bad;
    ASSERT_EQ(bad.CreateInstance(), S_OK);
    bad.SetModified(TCPIP_GROUP_IP, 1);
    EXPECT_EQ(bad.Validate(&value), S_FALSE);
    EXPECT_EQ(value, TCPIP_GROUP_IP);
    EXPECT_EQ(bad.Validate(), S_FALSE);
}

TEST_F(ParamBindings, FailingCallsThrowTheHresultAndTheInterface)
{
    TcpipParamPtr tcpip;
    RouterParamPtr router;
    ASSERT_EQ(tcpip.CreateInstance(), S_OK);
    ASSERT_EQ(router.CreateInstance(), S_OK);
    tcpip.AddGateway("10.0.0.1");

    const struct
    {
        const char *name;
        std::function<void()> call;
        HRESULT hr;
        const IID *iid;
    } cases[] = {
        {"index 0", [&] { tcpip.GetGateway(0); }, E_INVALIDARG, &IID_ITcpipParam},
        {"index past the end", [&] { tcpip.GetGateway(2); }, E_INVALIDARG, &IID_ITcpipParam},
        {"address index", [&] { tcpip.GetIP(1); }, E_INVALIDARG, &IID_ITcpipParam},
        {"no group", [&] { tcpip.IsModified(3001); }, E_INVALIDARG, &IID_ITcpipParam},
        {"mark no group", [&] { tcpip.SetModified(3008, 1); }, E_INVALIDARG, &IID_ITcpipParam},
        {"copy from a router", [&] { tcpip.CopyFrom(router.Get()); }, E_NOINTERFACE, &IID_ITcpipParam},
        {"copy from nothing", [&] { tcpip.CopyFrom(nullptr); }, E_INVALIDARG, &IID_ITcpipParam},
        {"copy to a TCP/IP object", [&] { router.CopyTo(tcpip.Get()); }, E_NOINTERFACE, &IID_IRouterParam},
        {"copy to nothing", [&] { router.CopyTo(nullptr); }, E_INVALIDARG, &IID_IRouterParam},
        {"no router object", [] { RouterParamPtr().GetPorts(); }, E_POINTER, &IID_IRouterParam},
        {"no TCP/IP object", [] { TcpipParamPtr().Clear(); }, E_POINTER, &IID_ITcpipParam},
    };
    for (const auto &c : cases)
    {
        const CComError error = Caught(c.call);
        EXPECT_EQ(error.Error(), c.hr) << c.name;
        EXPECT_EQ(error.Iid(), *c.iid) << c.name;
        EXPECT_FALSE(error.ErrorMessage().empty()) << c.name;
        EXPECT_EQ(error.ErrorMessage().find_first_of("\r\n"), std::string::npos) << c.name;
        EXPECT_EQ(error.ErrorMessage().find("desconocido"), std::string::npos) << c.name;
        EXPECT_STREQ(error.what(), error.ErrorMessage().c_str()) << c.name;
    }
}

TEST_F(ParamBindings, ErrorTextsComeFromTheSystem)
{
    const CComError invalid(E_INVALIDARG, IID_ITcpipParam); // Win32 error 87 as an HRESULT
    EXPECT_TRUE(invalid.ErrorMessage() == "El parámetro no es correcto." ||
                invalid.ErrorMessage() == "The parameter is incorrect.")
        << invalid.ErrorMessage();
    const CComError notRegistered(REGDB_E_CLASSNOTREG, IID_NULL);
    EXPECT_TRUE(notRegistered.ErrorMessage() == "Clase no registrada" ||
                notRegistered.ErrorMessage() == "Class not registered")
        << notRegistered.ErrorMessage();
    const CComError unknown(static_cast<HRESULT>(0x8FFF1234), IID_NULL);
    EXPECT_EQ(unknown.ErrorMessage(), "Error desconocido 0x8FFF1234");
    EXPECT_EQ(unknown.Iid(), IID_NULL);
}

TEST_F(ParamBindings, CreationFailsCleanly)
{
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CreateParamObject(CLSID_Nowhere, IID_IRouterParam, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CreateParamObject(CLSID_RouterParam, IID_ITcpipParam, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CreateParamObject(CLSID_RouterParam, IID_IRouterParam, nullptr), E_POINTER);

    std::string output;
    ASSERT_EQ(kittest::Regsvr32({"/u", "/s", "DaxParam.dll"}, &output), 0) << output;
    RouterParamPtr router;
    EXPECT_EQ(router.CreateInstance(), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(router);
    TcpipParamPtr tcpip;
    EXPECT_EQ(tcpip.CreateInstance(), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(tcpip);
    EXPECT_EQ(Caught([&] { tcpip.GetIPCount(); }).Error(), E_POINTER);
}

TEST_F(ParamBindings, QueryFromTakesOnlyItsOwnInterface)
{
    RouterParamPtr router;
    TcpipParamPtr tcpip;
    ASSERT_EQ(router.CreateInstance(), S_OK);
    ASSERT_EQ(tcpip.CreateInstance(), S_OK);
    tcpip.PutHostName("PC1");

    // GetInfoConfig hands an IUnknown.
    kitcom::ComPtr<IUnknown> unknown;
    ASSERT_EQ(tcpip.Get()->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    TcpipParamPtr current;
    EXPECT_EQ(current.QueryFrom(unknown.Get()), S_OK);
    EXPECT_EQ(current.GetHostName(), "PC1");
    EXPECT_EQ(current.QueryFrom(router.Get()), E_NOINTERFACE);
    EXPECT_FALSE(current);
    EXPECT_EQ(current.QueryFrom(nullptr), E_POINTER);
    EXPECT_FALSE(current);

    // Holders share the object; Detach hands the reference over.
    TcpipParamPtr same = tcpip;
    same.PutDomain("adsl.local");
    EXPECT_EQ(tcpip.GetDomain(), "adsl.local");
    ITcpipParam *raw = same.Detach();
    EXPECT_FALSE(same);
    TcpipParamPtr adopted(raw); // borrows: takes its own reference
    raw->Release();
    EXPECT_EQ(adopted.GetDomain(), "adsl.local");
    adopted.Release();
    EXPECT_FALSE(adopted);
}
