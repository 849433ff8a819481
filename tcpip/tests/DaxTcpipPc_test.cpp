// The TCP/IP module on the registry of the PC it runs on, as that PC lays it out. Wine's PC says
// it is Windows NT 6.2, which the module (made for 95 to XP) takes for NT 4's layout: adapters
// under NetworkCards (which Wine fills with the host's interfaces), TCP/IP under
// Services\Tcpip. On Linux the simulated PC is laid out the same way; the families' own
// layouts are in DaxTcpip_test.cpp.
#include "common/com/BStr.h"
#include "common/param/TcpipParamPtr.h"
#include "tcpip/client/TcpipJob.h"
#include "testing/kittest.h"
#include "testing/pcfile.h"
#include "testing/registry.h"
#include "testing/regsvr32.h"
#ifndef _WIN32
#include "platform/kit/kitmachine.h"

#include <filesystem>
#endif

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace
{
using Strings = std::vector<std::string>;

constexpr DWORD kRunMs = 10000;
constexpr char kRealtek[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
constexpr char kNetworkCards[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kTcpip[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip";
// A card of the test's own, under names no real adapter has.
constexpr char kCardNumber[] = "77";
constexpr char kService[] = "KitNic77";

void DeleteKey(const std::string &key)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

class DaxTcpipPcTest : public testing::Test
{
  protected:
    void SetUp() override
    {
#ifndef _WIN32
        // The simulated PC as Wine's: NT 6.2 with its network keys.
        ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "2"));
        ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "MajorVersion", "6"));
        ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "MinorVersion", "2"));
        kittest::WriteRegString(HKEY_LOCAL_MACHINE, std::string(kTcpip) + "\\Parameters", "Hostname", "vm");
        HKEY cards = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kNetworkCards, 0, nullptr, 0, KEY_WRITE,
                                                 nullptr, &cards, nullptr));
        RegCloseKey(cards);
        // Its registry editor, the stand-in the PC's programs start as "regedit".
        std::error_code ec;
        std::filesystem::create_directories(kittest::MachineDir() + "/bin", ec);
        std::filesystem::create_symlink(kittest::BinDir() + "/regedit",
                                        kittest::MachineDir() + "/bin/regedit", ec);
        ASSERT_FALSE(ec) << ec.message();
#endif
        ASSERT_EQ(S_OK, CoInitialize(nullptr));
        for (const char *server : {"DaxParam.dll", "DaxTcpip.dll"})
        {
            std::string output;
            ASSERT_EQ(0, kittest::Regsvr32({"/s", server}, &output)) << output;
        }
        RemoveCard();
    }
    void TearDown() override
    {
        RemoveCard();
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    // The test's card in NT 4's layout: its NetworkCards entry, its service's TCP/IP settings.
    static void AddCard()
    {
        const std::string entry = std::string(kNetworkCards) + "\\" + kCardNumber;
        kittest::WriteRegString(HKEY_LOCAL_MACHINE, entry, "Description", kRealtek);
        kittest::WriteRegString(HKEY_LOCAL_MACHINE, entry, "ServiceName", kService);
        const std::string tcpip =
            std::string("SYSTEM\\CurrentControlSet\\Services\\") + kService + "\\Parameters\\Tcpip";
        kittest::WriteRegDword(HKEY_LOCAL_MACHINE, tcpip, "EnableDHCP", 0);
        kittest::WriteRegValue(HKEY_LOCAL_MACHINE, tcpip, "IPAddress", REG_MULTI_SZ,
                               std::string("192.168.1.33\0\0", 14));
        kittest::WriteRegValue(HKEY_LOCAL_MACHINE, tcpip, "SubnetMask", REG_MULTI_SZ,
                               std::string("255.255.255.0\0\0", 15));
        kittest::WriteRegValue(HKEY_LOCAL_MACHINE, tcpip, "DefaultGateway", REG_MULTI_SZ,
                               std::string("127.0.0.1\0\0", 11));
    }
    static void RemoveCard()
    {
        const std::string service = std::string("SYSTEM\\CurrentControlSet\\Services\\") + kService;
        DeleteKey(service + "\\Parameters\\Tcpip");
        DeleteKey(service + "\\Parameters");
        DeleteKey(service);
        DeleteKey(std::string(kNetworkCards) + "\\" + kCardNumber);
    }

    static Strings Names(CheckNicsJob &job)
    {
        Strings names;
        LONG count = -1;
        EXPECT_EQ(S_OK, job->GetNumNics(&count));
        for (LONG i = 1; i <= count; ++i)
        {
            kitcom::BStr name;
            EXPECT_EQ(S_OK, job->GetNicName(i, &name));
            names.push_back(name.Narrow());
        }
        return names;
    }
    // The display names the entries of NetworkCards get, in the key's order.
    static Strings NetworkCards()
    {
        Strings names;
        HKEY cards = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetworkCards, 0, KEY_READ, &cards) != ERROR_SUCCESS)
            return names;
        char entry[MAX_PATH];
        for (DWORD i = 0;; ++i)
        {
            DWORD size = sizeof entry;
            if (RegEnumKeyExA(cards, i, entry, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            const std::optional<std::string> description = kittest::ReadRegString(
                HKEY_LOCAL_MACHINE, std::string(kNetworkCards) + "\\" + entry, "Description");
            names.push_back("{" + std::to_string(names.size() + 1) + "} " + description.value_or("?"));
        }
        RegCloseKey(cards);
        return names;
    }
    // The display names of the adapters the module lists on this PC.
    static Strings CardsOfThePc()
    {
        CheckNicsJob job(PROGID_CHECKNICS2);
        EXPECT_TRUE(job.Run(kRunMs));
        EXPECT_EQ(S_OK, job->SetNicListToAccess(NIC_LIST_ALL));
        return Names(job);
    }
};
} // namespace

TEST_F(DaxTcpipPcTest, TcpipIsInstalledAndThePcsOwnCardsAreListed)
{
    CheckNicsJob job(PROGID_CHECKNICS2);
    ASSERT_TRUE(job);
    LONG installed = 0;
    EXPECT_EQ(S_OK, job->IsTcpipInstalled(&installed));
    EXPECT_EQ(1, installed); // Services\Tcpip is there
    ASSERT_TRUE(job.Run(kRunMs));
    // Wine fills NetworkCards with the host's interfaces ("lo", "eth0"... each with a GUID as
    // its service name) when it starts; the simulated PC has none.
    // None has TCP/IP settings where NT 4 keeps them (Services\<service>\Parameters\Tcpip):
    // the lists of linked and enabled cards are empty.
    EXPECT_EQ(Strings{}, Names(job));
    EXPECT_EQ(S_OK, job->SetNicListToAccess(NIC_LIST_LINKED));
    EXPECT_EQ(Strings{}, Names(job));
    EXPECT_EQ(S_OK, job->SetNicListToAccess(NIC_LIST_ALL));
    EXPECT_EQ(NetworkCards(), Names(job));
}

TEST_F(DaxTcpipPcTest, ACardInThisLayoutIsListedAndItsSettingsRead)
{
    const size_t before = CardsOfThePc().size();
    AddCard();
    const Strings cards = CardsOfThePc();
    ASSERT_EQ(before + 1, cards.size());
    const std::string name = cards.back();
    EXPECT_EQ("{" + std::to_string(before + 1) + "} " + kRealtek, name);

    GetTcpipJob job(PROGID_GETTCPIPCONFIG2);
    ASSERT_TRUE(job);
    job->SetDevice(kitcom::BStr(name).Get());
    ASSERT_TRUE(job.Run(kRunMs));
    kitcom::ComPtr<IUnknown> info;
    ASSERT_EQ(S_OK, job->GetInfoConfig(&info));
    TcpipParamPtr param;
    ASSERT_EQ(S_OK, param.QueryFrom(info.Get()));
    EXPECT_EQ(name, param.GetNicName());
    EXPECT_EQ(kService, param.GetRegID());
    ASSERT_EQ(1, param.GetIPCount());
    EXPECT_EQ(TextPair("192.168.1.33", "255.255.255.0"), param.GetIP(1));
    ASSERT_EQ(1, param.GetGatewayCount());
    EXPECT_EQ("127.0.0.1", param.GetGateway(1));
    EXPECT_EQ(0, param.GetDhcpEnable());
}

// --- SetTcpipConfig2 on the test's own card -----------------------------------------------------

namespace
{
constexpr char kCardTcpip[] = "SYSTEM\\CurrentControlSet\\Services\\KitNic77\\Parameters\\Tcpip";

// Static settings for the card, every group marked as changed (registry values only: nothing
// is configured on the host).
TcpipParamPtr StaticSettings()
{
    TcpipParamPtr param;
    EXPECT_EQ(S_OK, param.CreateInstance());
    param.AddIP("10.0.0.1", "255.0.0.0");
    param.AddIP("10.0.0.2", "255.0.0.0");
    param.AddGateway("10.0.0.254");
    param.AddDns("80.58.0.33");
    param.PutDnsEnable(1);
    for (LONG group : {TCPIP_GROUP_IP, TCPIP_GROUP_GATEWAY, TCPIP_GROUP_DNS})
        param.SetModified(group, 1);
    return param;
}

void ExpectStaticSettingsWritten()
{
    EXPECT_EQ((Strings{"10.0.0.1", "10.0.0.2"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kCardTcpip, "IPAddress").value_or(Strings{}));
    EXPECT_EQ((Strings{"255.0.0.0", "255.0.0.0"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kCardTcpip, "SubnetMask").value_or(Strings{}));
    EXPECT_EQ((Strings{"10.0.0.254"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kCardTcpip, "DefaultGateway").value_or(Strings{}));
    EXPECT_EQ(0u, kittest::ReadRegDword(HKEY_LOCAL_MACHINE, kCardTcpip, "EnableDHCP").value_or(9));
}

std::string DeferredFile()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "TcpChang.reg";
}
} // namespace

TEST_F(DaxTcpipPcTest, SettingsAreWrittenIntoTheCardsKeys)
{
    AddCard();
    const std::string name = CardsOfThePc().back();
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    ASSERT_TRUE(job);
    TcpipParamPtr settings = StaticSettings();
    ASSERT_EQ(S_OK, job->SetInfoConfig(settings.Get()));
    job->SetDevice(kitcom::BStr(name).Get());
    ASSERT_TRUE(job.Run(kRunMs));
    ExpectStaticSettingsWritten();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(DeferredFile().c_str()));
}

TEST_F(DaxTcpipPcTest, DeferredSettingsAreImportedByThePcsRegistryEditor)
{
    AddCard();
    const std::string name = CardsOfThePc().back();
    DeleteFileA(DeferredFile().c_str());
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    ASSERT_TRUE(job);
    TcpipParamPtr settings = StaticSettings();
    ASSERT_EQ(S_OK, job->SetInfoConfig(settings.Get()));
    job->SetDevice(kitcom::BStr(name).Get());
    job->SetChangesDelay(1);
    ASSERT_TRUE(job.Run(kRunMs));

    // The registry is as it was; the file holds the change, in REGEDIT4's form.
    EXPECT_EQ((Strings{"192.168.1.33"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kCardTcpip, "IPAddress").value_or(Strings{}));
    const std::string text = pcfile::Read(DeferredFile(), "<missing>");
    // Its header line first (the blank line after it is the product's, which Wine's
    // WritePrivateProfileStringA drops when it adds the entries: DaxTcpip_test.cpp checks it).
    EXPECT_EQ(0u, text.find("REGEDIT4\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\" + std::string(kCardTcpip) + "]\r\n"))
        << text;

    // "regedit -s": Windows' own editor (Wine's), or the simulated PC's.
    ASSERT_EQ(S_OK, job->ExecuteTcpipChanges());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(DeferredFile().c_str()));
    ExpectStaticSettingsWritten();
    EXPECT_EQ(S_FALSE, job->ExecuteTcpipChanges()); // nothing pending
}
