// Network cards laid out by the machine program, read back where each Windows family keeps them
// and where the TCP/IP module looks: NetworkCards, the TCP/IP keys, Linkage, NetBT, the devices,
// and the 9x Enum tree with its bindings chain and DHCP leases.
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "testing/kittest.h"
#include "testing/registry.h"
#include "tools/machine/tests/program.h"
#include "tools/pcreg/PcRegistry.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using toolstest::ProgramResult;
using Strings = std::vector<std::string>;

namespace
{
const char *const kRealtek = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
const char *const kIntel = "Intel(R) PRO/100 VE Network Connection";
const std::string kServices = "System\\CurrentControlSet\\Services";
const std::string kCards = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::string kLinkage = kServices + "\\Tcpip\\Linkage";

ProgramResult Machine(std::vector<std::string> args)
{
    return toolstest::RunProgram("machine", args);
}

// A fresh PC of the family made by the program, with the given card options.
void CreatePc(const char *os, std::vector<std::string> cards, std::vector<std::string> extra = {})
{
    std::vector<std::string> args = {"create", "--os", os, "--dir", kittest::MachineDir(), "--force"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), cards.begin(), cards.end());
    ProgramResult r = Machine(args);
    ASSERT_EQ(0, r.exitCode) << r.err;
    kitreg::CloseRegistry();
}

// A DHCP card and a fixed one with two addresses, two gateways, DNS and WINS servers.
const std::vector<std::string> kTwoCards = {"--nic",
                                            kRealtek,
                                            "--dhcp",
                                            "--nic",
                                            kIntel,
                                            "--ip",
                                            "192.168.1.40/24,10.0.0.5/255.0.0.0",
                                            "--gw",
                                            "192.168.1.1,192.168.1.254",
                                            "--dns",
                                            "80.58.0.33,80.58.32.97",
                                            "--wins",
                                            "192.168.1.2,192.168.1.3,192.168.1.4"};

std::string Text(const std::string &path, const char *name,
                 kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegString(HKEY_LOCAL_MACHINE, path, name, where).value_or("<missing>");
}

Strings Multi(const std::string &path, const char *name, kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, path, name, where).value_or(Strings{"<missing>"});
}

std::optional<DWORD> Dword(const std::string &path, const char *name,
                           kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegDword(HKEY_LOCAL_MACHINE, path, name, where);
}

std::string Binary(const std::string &path, const char *name,
                   kittest::Caller where = kittest::Caller::current())
{
    auto value = kittest::ReadRegValue(HKEY_LOCAL_MACHINE, path, name, where);
    return value && value->type == REG_BINARY ? value->data : "<missing>";
}

std::string Utf8(const char8_t *text)
{
    return reinterpret_cast<const char *>(text);
}

bool Has(const Strings &list, const std::string &item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

bool Device(const std::string &name)
{
    return fs::is_regular_file(kittest::MachineDir() + "/devices/" + name);
}

std::string Card(int number)
{
    return kCards + "\\" + std::to_string(number);
}

std::string ServiceOf(int number)
{
    return Text(Card(number), "ServiceName");
}

// The 9x instance key whose driver is Net\000n, found as the module finds cards: Enum, three deep.
std::string NineXInstance(int number)
{
    char driver[16];
    std::snprintf(driver, sizeof driver, "Net\\%04d", number);
    for (const std::string &e : pcreg::ReadKey("Enum").SubKeys())
        for (const std::string &d : pcreg::ReadKey("Enum\\" + e).SubKeys())
            for (const std::string &i : pcreg::ReadKey("Enum\\" + e + "\\" + d).SubKeys())
            {
                const std::string path = "Enum\\" + e + "\\" + d + "\\" + i;
                if (pcreg::ReadKey(path).Text("Driver") == driver)
                    return path;
            }
    return "<none>";
}

class Nt5Test : public testing::TestWithParam<const char *>
{
};
INSTANTIATE_TEST_SUITE_P(Families, Nt5Test, testing::Values("2000", "xp"));

class NineXTest : public testing::TestWithParam<const char *>
{
};
INSTANTIATE_TEST_SUITE_P(Families, NineXTest, testing::Values("95", "98", "98se", "me"));
} // namespace

// --- Windows 2000 and XP ------------------------------------------------------------------------

TEST_P(Nt5Test, DhcpAndFixedCardsByGuid)
{
    CreatePc(GetParam(), kTwoCards);
    const std::string dhcp = ServiceOf(1), fixed = ServiceOf(2);
    EXPECT_EQ(kRealtek, Text(Card(1), "Description"));
    EXPECT_EQ(kIntel, Text(Card(2), "Description"));
    ASSERT_EQ(38u, dhcp.size());
    EXPECT_EQ('{', dhcp.front());
    EXPECT_NE(dhcp, fixed);

    const std::string interfaces = kServices + "\\Tcpip\\Parameters\\Interfaces\\";
    EXPECT_EQ(1u, Dword(interfaces + dhcp, "EnableDHCP"));
    EXPECT_EQ(Strings{"0.0.0.0"}, Multi(interfaces + dhcp, "IPAddress"));
    EXPECT_EQ("192.168.1.33", Text(interfaces + dhcp, "DhcpIPAddress"));
    EXPECT_EQ("255.255.255.0", Text(interfaces + dhcp, "DhcpSubnetMask"));
    EXPECT_EQ("192.168.1.1", Text(interfaces + dhcp, "DhcpServer"));
    EXPECT_EQ(Strings{"192.168.1.1"}, Multi(interfaces + dhcp, "DhcpDefaultGateway"));

    EXPECT_EQ(0u, Dword(interfaces + fixed, "EnableDHCP"));
    EXPECT_EQ((Strings{"192.168.1.40", "10.0.0.5"}), Multi(interfaces + fixed, "IPAddress"));
    EXPECT_EQ((Strings{"255.255.255.0", "255.0.0.0"}), Multi(interfaces + fixed, "SubnetMask"));
    EXPECT_EQ((Strings{"192.168.1.1", "192.168.1.254"}), Multi(interfaces + fixed, "DefaultGateway"));
    EXPECT_EQ("80.58.0.33,80.58.32.97", Text(interfaces + fixed, "NameServer"));
    EXPECT_EQ("", Text(interfaces + dhcp, "NameServer"));

    const Strings bind = Multi(kLinkage, "Bind");
    EXPECT_TRUE(Has(bind, "\\Device\\" + dhcp));
    EXPECT_TRUE(Has(bind, "\\Device\\" + fixed));
    EXPECT_TRUE(Has(bind, "\\Device\\NdisWanIp"));
    const std::string netbt = kServices + "\\NetBT\\Parameters\\Interfaces\\Tcpip_";
    EXPECT_EQ((Strings{"192.168.1.2", "192.168.1.3", "192.168.1.4"}), Multi(netbt + fixed, "NameServerList"));
    EXPECT_EQ(0u, Dword(netbt + fixed, "NetbiosOptions"));
    EXPECT_TRUE(Device(dhcp));
    EXPECT_TRUE(Device(fixed));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, Card(1), "Hidden"));
}

TEST_P(Nt5Test, HiddenDisabledAndUnboundCards)
{
    CreatePc(GetParam(), {"--nic", kRealtek, "--hidden", "--nic", kRealtek, "--disabled", "--nic", kRealtek,
                          "--unbound"});
    EXPECT_EQ(1u, Dword(Card(1), "Hidden"));
    EXPECT_TRUE(Device(ServiceOf(1)));
    EXPECT_FALSE(Device(ServiceOf(2)));
    EXPECT_TRUE(Has(Multi(kLinkage, "Bind"), "\\Device\\" + ServiceOf(2)));
    EXPECT_FALSE(Has(Multi(kLinkage, "Bind"), "\\Device\\" + ServiceOf(3)));
    EXPECT_TRUE(Device(ServiceOf(3)));
    // Every card keeps what the module needs to list it.
    for (int n : {1, 2, 3})
    {
        EXPECT_EQ(kRealtek, Text(Card(n), "Description")) << n;
        EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE,
                                          kServices + "\\Tcpip\\Parameters\\Interfaces\\" + ServiceOf(n)));
    }
}

TEST(NicLayout, DhcpServiceOnEveryNtFamily)
{
    for (const char *os : {"nt4", "2000", "xp"})
    {
        CreatePc(os, {});
        const std::string dhcp = kServices + "\\Dhcp";
        EXPECT_EQ(0x20u, Dword(dhcp, "Type")) << os;
        EXPECT_EQ(2u, Dword(dhcp, "Start")) << os;
        EXPECT_EQ(1u, Dword(dhcp, "ErrorControl")) << os;
        EXPECT_NE("<missing>", Text(dhcp, "ImagePath")) << os;
        EXPECT_EQ("DHCP Client", Text(dhcp, "DisplayName")) << os;
    }
}

// --- Windows NT 4 -------------------------------------------------------------------------------

TEST(NicLayout, NtFourCardsAreServices)
{
    CreatePc("nt4", kTwoCards);
    EXPECT_EQ("RTL81391", ServiceOf(1));
    EXPECT_EQ("E100B2", ServiceOf(2));
    EXPECT_EQ(std::string("[2] ") + kIntel, Text(Card(2), "Title"));
    const std::string dhcp = kServices + "\\RTL81391\\Parameters\\Tcpip";
    const std::string fixed = kServices + "\\E100B2\\Parameters\\Tcpip";
    EXPECT_EQ(1u, Dword(dhcp, "EnableDHCP"));
    EXPECT_EQ("192.168.1.33", Text(dhcp, "DhcpIPAddress"));
    EXPECT_EQ("192.168.1.1", Text(dhcp, "DhcpServer"));
    EXPECT_EQ(0u, Dword(fixed, "EnableDHCP"));
    EXPECT_EQ((Strings{"192.168.1.40", "10.0.0.5"}), Multi(fixed, "IPAddress"));
    EXPECT_EQ((Strings{"255.255.255.0", "255.0.0.0"}), Multi(fixed, "SubnetMask"));
    EXPECT_EQ((Strings{"192.168.1.1", "192.168.1.254"}), Multi(fixed, "DefaultGateway"));
    // DNS is the machine's, blank-separated; NetBT keeps two WINS servers.
    EXPECT_EQ("80.58.0.33 80.58.32.97", Text(kServices + "\\Tcpip\\Parameters", "NameServer"));
    EXPECT_EQ("192.168.1.2", Text(kServices + "\\NetBT\\Adapters\\E100B2", "NameServer"));
    EXPECT_EQ("192.168.1.3", Text(kServices + "\\NetBT\\Adapters\\E100B2", "NameServerBackup"));
    EXPECT_EQ("", Text(kServices + "\\NetBT\\Adapters\\RTL81391", "NameServer"));
    EXPECT_EQ((Strings{"\\Device\\RTL81391", "\\Device\\E100B2"}), Multi(kLinkage, "Bind"));
}

TEST(NicLayout, NtFourHiddenDisabledUnbound)
{
    CreatePc("nt4", {"--nic", kRealtek, "--hidden", "--disabled", "--nic", kRealtek, "--unbound"});
    EXPECT_EQ(1u, Dword(Card(1), "Hidden"));
    EXPECT_EQ(4u, Dword(kServices + "\\RTL81391", "Start"));
    EXPECT_FALSE(Device("RTL81391"));
    EXPECT_TRUE(Device("RTL81392"));
    EXPECT_EQ(Strings{"\\Device\\RTL81391"}, Multi(kLinkage, "Bind"));
    EXPECT_EQ(Strings{"\\Device\\RTL81392"}, Multi(kLinkage + "\\Disabled", "Bind"));
}

// --- Windows 95, 98 and Me ----------------------------------------------------------------------

TEST_P(NineXTest, BindingsChainFromEnumToTheTcpipKey)
{
    CreatePc(GetParam(), kTwoCards);
    for (int n : {1, 2})
    {
        const std::string instance = NineXInstance(n), number = "000" + std::to_string(n);
        EXPECT_EQ(0u, instance.find("Enum\\PCI\\VEN_")) << instance;
        EXPECT_EQ("Net", Text(instance, "Class"));
        EXPECT_NE(std::string::npos, Text(instance, "HardwareID").find("PCI\\VEN_"));
        EXPECT_EQ("PCI\\CC_020000,PCI\\CC_0200", Text(instance, "CompatibleIDs"));
        EXPECT_EQ(n == 1 ? kRealtek : kIntel, Text(instance, "DeviceDesc"));
        EXPECT_EQ(std::string(4, '\0'), Binary(instance, "ConfigFlags"));
        EXPECT_EQ(Strings{"MSTCP\\" + number}, pcreg::ReadKey(instance + "\\Bindings").ValueNames());
        const std::string mstcp = "Enum\\Network\\MSTCP\\" + number;
        EXPECT_EQ(mstcp, Text(mstcp, "MasterCopy"));
        EXPECT_EQ("NetTrans\\" + number, Text(mstcp, "Driver"));
        EXPECT_EQ(n == 1 ? kRealtek : kIntel, Text(kServices + "\\Class\\Net\\" + number, "DriverDesc"));
    }
    const std::string dhcp = kServices + "\\Class\\NetTrans\\0001",
                      fixed = kServices + "\\Class\\NetTrans\\0002";
    EXPECT_EQ("0.0.0.0", Text(dhcp, "IPAddress"));
    EXPECT_EQ("0.0.0.0", Text(dhcp, "IPMask"));
    EXPECT_EQ("192.168.1.40,10.0.0.5", Text(fixed, "IPAddress"));
    EXPECT_EQ("255.255.255.0,255.0.0.0", Text(fixed, "IPMask"));
    EXPECT_EQ("192.168.1.1,192.168.1.254", Text(fixed, "DefaultGateway"));
    EXPECT_EQ("192.168.1.2", Text(fixed, "NameServer1"));
    EXPECT_EQ("192.168.1.4", Text(fixed, "NameServer3"));
    EXPECT_EQ("8", Text(fixed, "NodeType"));
    const std::string mstcp = kServices + "\\VxD\\MSTCP";
    EXPECT_EQ("80.58.0.33,80.58.32.97", Text(mstcp, "NameServer"));
    EXPECT_EQ("1", Text(mstcp, "EnableDNS"));
    EXPECT_EQ("8", Text(mstcp, "NodeType"));
    // The lease of the DHCP card only, its addresses first byte first.
    const std::string leases = kServices + "\\VxD\\DHCP";
    EXPECT_EQ(Strings{"DhcpInfo01"}, pcreg::ReadKey(leases).SubKeys());
    EXPECT_EQ(std::string("\xC0\xA8\x01\x21", 4), Binary(leases + "\\DhcpInfo01", "DhcpIPAddress"));
    EXPECT_EQ(std::string("\xFF\xFF\xFF\x00", 4), Binary(leases + "\\DhcpInfo01", "DhcpSubnetMask"));
    EXPECT_EQ(std::string("\xC0\xA8\x01\x01", 4), Binary(leases + "\\DhcpInfo01", "DhcpServer"));
}

TEST_P(NineXTest, DialUpAdapterIsThereAndBound)
{
    CreatePc(GetParam(), {}, {"--lang", "0x0409"});
    const std::string dialUp = "Enum\\Root\\Net\\0000";
    EXPECT_EQ("*PNP8387", Text(dialUp, "HardwareID"));
    EXPECT_EQ("Net", Text(dialUp, "Class"));
    EXPECT_EQ("Dial-Up Adapter", Text(dialUp, "DeviceDesc"));
    EXPECT_EQ("Net\\0000", Text(dialUp, "Driver"));
    EXPECT_EQ(Strings{"MSTCP\\0000"}, pcreg::ReadKey(dialUp + "\\Bindings").ValueNames());
    EXPECT_EQ("NetTrans\\0000", Text("Enum\\Network\\MSTCP\\0000", "Driver"));
    // It is no card: the first card takes number 1.
    ASSERT_EQ(0, Machine({"nic", "add", kRealtek}).exitCode);
    EXPECT_EQ("Enum\\PCI", NineXInstance(1).substr(0, 8));
    std::vector<pcreg::NetworkCard> cards = pcreg::ReadNetworkCards(kitpc::ReadIdentity().family);
    ASSERT_EQ(2u, cards.size());
    EXPECT_EQ(1u, std::count_if(cards.begin(), cards.end(), [](auto &c) { return c.dialUp; }));
}

TEST(NicLayout, NineXDisabledAndUnbound)
{
    CreatePc("98", {"--nic", kRealtek, "--disabled", "--nic", kRealtek, "--unbound"});
    EXPECT_EQ(std::string("\x01\0\0\0", 4), Binary(NineXInstance(1), "ConfigFlags"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kServices + "\\VxD\\DHCP\\DhcpInfo01"));
    // No MSTCP binding, but a Bindings key: the module's check for TCP/IP walks every card.
    const std::string unbound = NineXInstance(2);
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, unbound + "\\Bindings"));
    EXPECT_EQ(Strings{}, pcreg::ReadKey(unbound + "\\Bindings").ValueNames());
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Enum\\Network\\MSTCP\\0002"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kServices + "\\Class\\NetTrans\\0002"));
    EXPECT_NE(NineXInstance(1), unbound);
}

TEST(NicLayout, NineXDhcpAdapterGivesItsLeaseToTheStack)
{
    CreatePc("me", {"--nic", kRealtek});
    std::vector<pcreg::Adapter> adapters = pcreg::ReadAdapters(kitpc::WindowsFamily::WinMe);
    EXPECT_TRUE(std::any_of(adapters.begin(), adapters.end(),
                            [](const pcreg::Adapter &a) { return a.addresses == Strings{"192.168.1.33"}; }));
}

// --- Two cards, one description; nic add, set, remove ------------------------------------------

TEST(NicCommand, TwoCardsWithOneDescriptionAreToldApartByNumber)
{
    CreatePc("xp", {"--nic", kRealtek, "--nic", kRealtek});
    const std::string first = ServiceOf(1), second = ServiceOf(2);
    EXPECT_NE(first, second);
    ProgramResult r = Machine({"nic", "remove", kRealtek});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("number: 1 2")) << r.err;
    ASSERT_EQ(0, Machine({"nic", "remove", "1"}).exitCode);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, Card(1)));
    EXPECT_FALSE(
        kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kServices + "\\Tcpip\\Parameters\\Interfaces\\" + first));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE,
                                       kServices + "\\NetBT\\Parameters\\Interfaces\\Tcpip_" + first));
    EXPECT_FALSE(Device(first));
    EXPECT_EQ((Strings{"\\Device\\" + second, "\\Device\\NdisWanIp"}), Multi(kLinkage, "Bind"));
    // Now the description names one card; a new one takes the next number and a GUID of its own.
    ASSERT_EQ(0, Machine({"nic", "add", kIntel, "--ip", "10.0.0.2/8"}).exitCode);
    EXPECT_EQ(kIntel, Text(Card(3), "Description"));
    EXPECT_NE(first, ServiceOf(3));
    ASSERT_EQ(0, Machine({"nic", "remove", kRealtek}).exitCode);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, Card(2)));
}

TEST(NicCommand, SetChangesOneCardAndKeepsItsIdentity)
{
    CreatePc("xp", {"--nic", kRealtek, "--nic", kIntel, "--ip", "192.168.1.40/24"});
    const std::string guid = ServiceOf(1), tcpip = kServices + "\\Tcpip\\Parameters\\Interfaces\\" + guid;
    ASSERT_EQ(0, Machine({"nic", "set", "1", "--ip", "192.168.1.50/24", "--gw", "192.168.1.1", "--wins",
                          "192.168.1.2"})
                     .exitCode);
    EXPECT_EQ(guid, ServiceOf(1));
    EXPECT_EQ(0u, Dword(tcpip, "EnableDHCP"));
    EXPECT_EQ(Strings{"192.168.1.50"}, Multi(tcpip, "IPAddress"));
    EXPECT_EQ(Strings{"192.168.1.1"}, Multi(tcpip, "DefaultGateway"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, tcpip, "DhcpIPAddress"));
    // Only what is named changes.
    ASSERT_EQ(0, Machine({"nic", "set", "1", "--disabled"}).exitCode);
    EXPECT_FALSE(Device(guid));
    EXPECT_EQ(Strings{"192.168.1.50"}, Multi(tcpip, "IPAddress"));
    EXPECT_EQ(Strings{"192.168.1.2"},
              Multi(kServices + "\\NetBT\\Parameters\\Interfaces\\Tcpip_" + guid, "NameServerList"));
    ASSERT_EQ(0, Machine({"nic", "set", "1", "--dhcp", "--enabled", "--wins", "none"}).exitCode);
    EXPECT_TRUE(Device(guid));
    EXPECT_EQ(1u, Dword(tcpip, "EnableDHCP"));
    EXPECT_EQ("192.168.1.33", Text(tcpip, "DhcpIPAddress"));
    EXPECT_EQ(Strings{},
              Multi(kServices + "\\NetBT\\Parameters\\Interfaces\\Tcpip_" + guid, "NameServerList"));
    // The other card was left alone.
    EXPECT_EQ(Strings{"192.168.1.40"},
              Multi(kServices + "\\Tcpip\\Parameters\\Interfaces\\" + ServiceOf(2), "IPAddress"));
}

TEST(NicCommand, NineXSetRebindsAndRemoveTakesEveryKey)
{
    CreatePc("98", {"--nic", kRealtek, "--ip", "192.168.1.40/24", "--wins", "192.168.1.2,192.168.1.3",
                    "--dns", "80.58.0.33"});
    const std::string trans = kServices + "\\Class\\NetTrans\\0001";
    ASSERT_EQ(0, Machine({"nic", "set", "1", "--wins", "192.168.1.9", "--dns", "none"}).exitCode);
    EXPECT_EQ("192.168.1.9", Text(trans, "NameServer1"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, trans, "NameServer2"));
    EXPECT_EQ("0", Text(kServices + "\\VxD\\MSTCP", "EnableDNS"));
    ASSERT_EQ(0, Machine({"nic", "set", "1", "--unbound"}).exitCode);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, trans));
    ASSERT_EQ(0, Machine({"nic", "set", "1", "--bound"}).exitCode);
    EXPECT_EQ("0.0.0.0", Text(trans, "IPAddress")); // TCP/IP bound again starts with DHCP
    const std::string instance = NineXInstance(1);
    ASSERT_EQ(0, Machine({"nic", "remove", "1"}).exitCode);
    for (const std::string &key : {instance, std::string("Enum\\Network\\MSTCP\\0001"), trans,
                                   kServices + "\\Class\\Net\\0001", kServices + "\\VxD\\DHCP\\DhcpInfo01"})
        EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Enum\\Root\\Net\\0000"));
}

// --- show -------------------------------------------------------------------------------------

TEST(NicShow, IpconfigInSpanish)
{
    CreatePc("xp", {"--nic", kRealtek, "--ip", "192.168.1.40/24,10.0.0.5/8", "--gw", "192.168.1.1", "--dns",
                    "80.58.0.33,80.58.32.97", "--nic", kIntel, "--disabled"});
    ProgramResult r = Machine({"show"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const std::string expected =
        Utf8(u8"Adaptador Ethernet Conexión de área local:\r\n"
             "\r\n"
             "        Descripción . . . . . . . . . . . : Realtek RTL8139 Family PCI Fast Ethernet NIC\r\n"
             "        DHCP habilitado . . . . . . . . . : No\r\n"
             "        Dirección IP. . . . . . . . . . . : 192.168.1.40\r\n"
             "        Máscara de subred . . . . . . . . : 255.255.255.0\r\n"
             "        Dirección IP. . . . . . . . . . . : 10.0.0.5\r\n"
             "        Máscara de subred . . . . . . . . : 255.0.0.0\r\n"
             "        Puerta de enlace predeterminada . : 192.168.1.1\r\n"
             "        Servidores DNS. . . . . . . . . . : 80.58.0.33\r\n"
             "                                            80.58.32.97\r\n");
    EXPECT_NE(std::string::npos, r.out.find(expected)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(Utf8(u8"Configuración IP de Windows\r\n"))) << r.out;
    // The disabled card is listed among the cards, not among the adapters.
    EXPECT_NE(std::string::npos, r.out.find(std::string("  2  ") + kIntel + "  (DHCP, disabled;")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find(Utf8(u8"Conexión de área local 2"))) << r.out;
}

TEST(NicShow, WinipcfgInEnglish)
{
    CreatePc("98", {"--nic", kRealtek, "--dns", "80.58.0.33"}, {"--lang", "0x0409"});
    ProgramResult r = Machine({"show"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    for (const std::string &expected :
         {std::string("Windows 98 IP Configuration\r\n"),
          std::string("        DNS Servers . . . . . . . . : 80.58.0.33\r\n"),
          std::string("        Description . . . . . . . . : ") + kRealtek + "\r\n",
          std::string("        IP Address. . . . . . . . . : 192.168.1.33\r\n"),
          std::string("        DHCP Server . . . . . . . . : 192.168.1.1\r\n"),
          std::string("        Description . . . . . . . . : Dial-Up Adapter\r\n"),
          std::string("  1  ") + kRealtek + "  (DHCP; NetTrans\\0001)\n"})
        EXPECT_NE(std::string::npos, r.out.find(expected)) << expected << "\n--- in ---\n" << r.out;
}

// --- Bad command lines --------------------------------------------------------------------------

TEST(NicCommand, BadOptionsAreRefusedWithTheUsage)
{
    CreatePc("98", {"--nic", kRealtek});
    const std::vector<std::vector<std::string>> cases = {
        {"create", "--os", "xp", "--nic"},
        {"create", "--os", "xp", "--dhcp"},
        {"create", "--os", "xp", "--nic", kRealtek, "--ip", "192.168.1.40"},
        {"create", "--os", "xp", "--nic", kRealtek, "--ip", "300.1.1.1/24"},
        {"create", "--os", "xp", "--nic", kRealtek, "--ip", "192.168.1.40/255.0.255.0"},
        {"create", "--os", "xp", "--nic", kRealtek, "--dhcp", "--ip", "192.168.1.40/24"},
        {"create", "--os", "xp", "--nic", kRealtek, "--gw", "192.168.1.1"},
        {"create", "--os", "xp", "--nic", kRealtek, "--dns", "80.58.0"},
        {"create", "--os", "xp", "--nic", kRealtek, "--ip", "1.2.3.4/8", "--ip", "1.2.3.5/8"},
        {"create", "--os", "xp", "--nic", ""},
        {"create", "--os", "98", "--nic", kRealtek, "--hidden"},
        {"show", "--nic", kRealtek},
        {"nic"},
        {"nic", "frob"},
        {"nic", "add"},
        {"nic", "add", kRealtek, "--hidden"},
        {"nic", "set", "1"},
        {"nic", "set", "1", "--ip", "bad"},
        {"nic", "remove", "1", "--dhcp"},
        {"nic", "remove"},
    };
    for (const auto &args : cases)
    {
        ProgramResult r = Machine(args);
        std::string line;
        for (const std::string &arg : args)
            line += arg + " ";
        EXPECT_EQ(2, r.exitCode) << line << r.err;
        EXPECT_NE(std::string::npos, r.err.find("usage: machine")) << line;
    }
    // None of them touched the PC.
    EXPECT_EQ(std::string("98"), kitpc::FamilyName(kitpc::ReadIdentity().family));
    EXPECT_EQ(kRealtek, Text(NineXInstance(1), "DeviceDesc"));
    EXPECT_EQ(1, Machine({"nic", "remove", "7"}).exitCode);
}
