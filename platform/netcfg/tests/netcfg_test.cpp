// The network configuration object: which Windows have it, finding components by id, and what a
// component tells of itself and of its device.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "platform/wstring.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <gtest/gtest.h>
#include <string>
#ifdef _WIN32
#include <cfg.h> // CM_PROB_DISABLED
#endif

namespace
{
const std::string kNetClass =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum\\";
constexpr char kPoetGuid[] = "{6E1B6C2A-3D4F-4B7E-9A51-2C8D0E7F1A33}";

void AddComponent(const std::string &subkey, const std::string &id, const std::string &description,
                  const std::string &instanceGuid, const std::string &device)
{
    const std::string key = kNetClass + "\\" + subkey;
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, key, "ComponentId", id);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, key, "DriverDesc", description);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, key, "NetCfgInstanceId", instanceGuid);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, key, "DeviceInstanceID", device);
}

std::string Take(LPWSTR text)
{
    std::string out;
    for (LPWSTR c = text; c && *c; ++c)
        out += static_cast<char>(*c);
    CoTaskMemFree(text);
    return out;
}

class NetCfgTest : public testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override
    {
        if (netCfg_)
            netCfg_->Release();
        CoUninitialize();
    }

    INetCfg *Create()
    {
        EXPECT_EQ(CoCreateInstance(CLSID_CNetCfg, nullptr, CLSCTX_SERVER, IID_INetCfg,
                                   reinterpret_cast<void **>(&netCfg_)),
                  S_OK);
        return netCfg_;
    }

    // The component of that id in an initialised configuration; nullptr when not found.
    INetCfgComponent *Find(const OLECHAR *id)
    {
        INetCfg *netCfg = Create();
        if (!netCfg)
            return nullptr;
        EXPECT_EQ(netCfg->Initialize(nullptr), S_OK);
        INetCfgComponent *component = nullptr;
        EXPECT_EQ(netCfg->FindComponent(id, &component), S_OK);
        return component;
    }

    INetCfg *netCfg_ = nullptr;
};
} // namespace

// The simulated PC of each family.
#ifndef _WIN32
TEST_F(NetCfgTest, OnlyWindows2000AndXpHaveIt)
{
    struct Case
    {
        const char *family, *platformId;
        HRESULT expected;
    } cases[] = {
        {"95", "1", REGDB_E_CLASSNOTREG},
        {"98", "1", REGDB_E_CLASSNOTREG},
        {"me", "1", REGDB_E_CLASSNOTREG},
        {"nt4", "2", REGDB_E_CLASSNOTREG},
        {"2000", "2", S_OK},
        {"xp", "2", S_OK},
    };
    for (const Case &c : cases)
    {
        ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", c.family));
        ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", c.platformId));
        INetCfg *netCfg = reinterpret_cast<INetCfg *>(0x1);
        EXPECT_EQ(CoCreateInstance(CLSID_CNetCfg, nullptr, CLSCTX_SERVER, IID_INetCfg,
                                   reinterpret_cast<void **>(&netCfg)),
                  c.expected)
            << c.family;
        if (c.expected == S_OK)
        {
            ASSERT_NE(netCfg, nullptr);
            IUnknown *unknown = nullptr;
            EXPECT_EQ(netCfg->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&unknown)), S_OK);
            EXPECT_EQ(unknown->Release(), 1u);
            EXPECT_EQ(netCfg->Release(), 0u);
        }
        else
            EXPECT_EQ(netCfg, nullptr) << c.family;
    }
}

#endif

TEST_F(NetCfgTest, NeedsAnInProcessContextAndNoAggregation)
{
    IUnknown *object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_CNetCfg, nullptr, CLSCTX_LOCAL_SERVER, IID_INetCfg,
                               reinterpret_cast<void **>(&object)),
              REGDB_E_CLASSNOTREG);
    // The outer object is never called when aggregation is refused at once.
    auto *outer = reinterpret_cast<IUnknown *>(&object);
    EXPECT_EQ(CoCreateInstance(CLSID_CNetCfg, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void **>(&object)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoCreateInstance(CLSID_CNetCfg, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void **>(&object)),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST_F(NetCfgTest, InitializeOnceAndFindByIdWithoutCase)
{
    AddComponent("0000", "ms_pppoeminiport", "Minipuerto WAN (PPPOE)",
                 "{A1B2C3D4-0000-1111-2222-333344445555}", "ROOT\\MS_PPPOEMINIPORT\\0000");
    AddComponent("0001", "*ivsnpoet", "WinPoET WAN (PPPOE) Adapter", kPoetGuid, "ROOT\\NET\\0001");
    INetCfg *netCfg = Create();
    ASSERT_NE(netCfg, nullptr);
    INetCfgComponent *component = reinterpret_cast<INetCfgComponent *>(0x1);
    EXPECT_EQ(netCfg->FindComponent(OLESTR("*ivsnpoet"), &component), NETCFG_E_NOT_INITIALIZED);
    EXPECT_EQ(component, nullptr);
    EXPECT_EQ(netCfg->Uninitialize(), NETCFG_E_NOT_INITIALIZED);

    ASSERT_EQ(netCfg->Initialize(nullptr), S_OK);
    EXPECT_EQ(netCfg->Initialize(nullptr), NETCFG_E_ALREADY_INITIALIZED);
    ASSERT_EQ(netCfg->FindComponent(OLESTR("*IVSNPoET"), &component), S_OK);
    ASSERT_NE(component, nullptr);
    LPWSTR id = nullptr;
    EXPECT_EQ(component->GetId(&id), S_OK);
    EXPECT_EQ(Take(id), "*ivsnpoet");
    EXPECT_EQ(component->Release(), 0u);

    component = reinterpret_cast<INetCfgComponent *>(0x1);
    EXPECT_EQ(netCfg->FindComponent(OLESTR("ntspppoe"), &component), S_FALSE);
    EXPECT_EQ(component, nullptr);
    EXPECT_EQ(netCfg->FindComponent(nullptr, &component), E_POINTER);

    EXPECT_EQ(netCfg->Uninitialize(), S_OK);
    EXPECT_EQ(netCfg->FindComponent(OLESTR("*ivsnpoet"), &component), NETCFG_E_NOT_INITIALIZED);
    EXPECT_EQ(netCfg->Initialize(nullptr), S_OK);
    EXPECT_EQ(netCfg->FindComponent(OLESTR("MS_PPPOEMINIPORT"), &component), S_OK);
    component->Release();
}

TEST_F(NetCfgTest, ComponentNameAndInstanceGuid)
{
    AddComponent("0003", "*ivsnpoet", "Adaptador WinPoET (conexión)", kPoetGuid, "ROOT\\NET\\0003");
    INetCfgComponent *component = Find(OLESTR("*ivsnpoet"));
    ASSERT_NE(component, nullptr);
    LPWSTR name = nullptr;
    ASSERT_EQ(component->GetDisplayName(&name), S_OK);
    std::string ansi(64, '\0');
    ansi.resize(WideCharToMultiByte(CP_ACP, 0, name, -1, ansi.data(), 64, nullptr, nullptr) - 1);
    CoTaskMemFree(name);
    EXPECT_EQ(ansi, "Adaptador WinPoET (conexión)");
    GUID guid = {}, expected = {};
    WString text(kPoetGuid, kPoetGuid + sizeof kPoetGuid - 1);
    ASSERT_EQ(CLSIDFromString(text.c_str(), &expected), S_OK);
    EXPECT_EQ(component->GetInstanceGuid(&guid), S_OK);
    EXPECT_TRUE(guid == expected);
    EXPECT_EQ(component->GetId(nullptr), E_POINTER);
    EXPECT_EQ(component->GetInstanceGuid(nullptr), E_POINTER);
    component->Release();
}

TEST_F(NetCfgTest, DeviceStatusFromTheEnumTree)
{
    struct Case
    {
        const char *name;
        bool enumKey;
        DWORD configFlags; // written when not ~0
        ULONG status;
    } cases[] = {
        {"no ConfigFlags", true, ~0u, 0},
        {"ConfigFlags 0", true, 0, 0},
        {"another flag only", true, 0x400, 0},
        {"CONFIGFLAG_DISABLED", true, 0x1, CM_PROB_DISABLED},
        {"disabled among others", true, 0x401, CM_PROB_DISABLED},
        {"Enum key missing", false, ~0u, CM_PROB_DISABLED},
    };
    int n = 0;
    for (const Case &c : cases)
    {
        const std::string number = "000" + std::to_string(n), device = "ROOT\\NET\\" + number;
        const std::string id = "comp" + std::to_string(n++);
        AddComponent(number, id, c.name, kPoetGuid, device);
        if (c.enumKey)
            kittest::WriteRegString(HKEY_LOCAL_MACHINE, kEnum + device, "Class", "Net");
        if (c.configFlags != ~0u)
            kittest::WriteRegDword(HKEY_LOCAL_MACHINE, kEnum + device, "ConfigFlags", c.configFlags);
    }
    INetCfg *netCfg = Create();
    ASSERT_NE(netCfg, nullptr);
    ASSERT_EQ(netCfg->Initialize(nullptr), S_OK);
    n = 0;
    for (const Case &c : cases)
    {
        const std::string id = "comp" + std::to_string(n++);
        WString wide(id.begin(), id.end());
        INetCfgComponent *component = nullptr;
        ASSERT_EQ(netCfg->FindComponent(wide.c_str(), &component), S_OK) << c.name;
        ULONG status = 0xdeadbeef;
        EXPECT_EQ(component->GetDeviceStatus(&status), S_OK) << c.name;
        EXPECT_EQ(status, c.status) << c.name;
        component->Release();
    }
}

// The platform's own limits.
#ifndef _WIN32
TEST_F(NetCfgTest, WhatItDoesNotDoFailsVisibly)
{
    AddComponent("0000", "ms_tcpip", "Protocolo Internet (TCP/IP)", kPoetGuid, "ROOT\\MS_TCPIP\\0000");
    INetCfgComponent *component = Find(OLESTR("ms_tcpip"));
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(netCfg_->Apply(), E_NOTIMPL);
    EXPECT_EQ(netCfg_->Cancel(), E_NOTIMPL);
    IEnumNetCfgComponent *components = reinterpret_cast<IEnumNetCfgComponent *>(0x1);
    EXPECT_EQ(netCfg_->EnumComponents(nullptr, &components), E_NOTIMPL);
    EXPECT_EQ(components, nullptr);
    void *object = nullptr;
    EXPECT_EQ(netCfg_->QueryNetCfgClass(nullptr, IID_IUnknown, &object), E_NOTIMPL);
    LPWSTR text = nullptr;
    DWORD characteristics = 0;
    GUID guid = {};
    HKEY key = nullptr;
    EXPECT_EQ(component->SetDisplayName(OLESTR("x")), E_NOTIMPL);
    EXPECT_EQ(component->GetHelpText(&text), E_NOTIMPL);
    EXPECT_EQ(component->GetCharacteristics(&characteristics), E_NOTIMPL);
    EXPECT_EQ(component->GetPnpDevNodeId(&text), E_NOTIMPL);
    EXPECT_EQ(component->GetClassGuid(&guid), E_NOTIMPL);
    EXPECT_EQ(component->GetBindName(&text), E_NOTIMPL);
    EXPECT_EQ(component->OpenParamKey(&key), E_NOTIMPL);
    EXPECT_EQ(component->RaisePropertyUi(nullptr, 0, nullptr), E_NOTIMPL);
    component->Release();
}
#endif
