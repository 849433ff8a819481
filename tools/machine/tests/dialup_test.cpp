// Dial-up networking and the PPPoE clients laid out by the machine program, read back where the
// RAS and network-configuration code of the PC looks: the RemoteAccess service, the 9x dial-up
// adapter, the WAN miniports and network components of 2000/XP with their devices, the clients'
// device files, service, modems, TAPI devices, App Paths and folder, and the client selector.
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "testing/kittest.h"
#include "testing/registry.h"
#include "tools/machine/tests/program.h"
#include "tools/pcreg/PcRegistry.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using toolstest::ProgramResult;
using Strings = std::vector<std::string>;

namespace
{
const char *const kIntel = "Intel(R) PRO/100 VE Network Connection";
const std::string kServices = "System\\CurrentControlSet\\Services";
const std::string kRemoteAccess = kServices + "\\RemoteAccess";
const std::string kNetClass =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum\\";
const std::string kNineXModems = kServices + "\\Class\\Modem";
const std::string kTapiPoet = "SOFTWARE\\Microsoft\\RAS\\TAPI DEVICES\\WinPoET";
const std::string kAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Enternet.exe";
const std::string kPoetService = kServices + "\\WinPPPoverEthernet";
const std::string kSelector = "SOFTWARE\\NUV\\DAX\\ADSL";
const char *const kClientDevices[] = {"PoETKRNL", "WrKPoETDriver", "WrKPoet2000", "NTSPPP3", "NTSPPPOE4"};

ProgramResult Machine(std::vector<std::string> args)
{
    ProgramResult r = toolstest::RunProgram("machine", args);
    kitreg::CloseRegistry();
    return r;
}

// A fresh PC of the family with one card, made by the program with the options given.
void CreatePc(const char *os, std::vector<std::string> extra = {})
{
    std::vector<std::string> args = {"create",  "--os",  os,    "--dir", kittest::MachineDir(),
                                     "--force", "--nic", kIntel};
    args.insert(args.end(), extra.begin(), extra.end());
    ProgramResult r = Machine(args);
    ASSERT_EQ(0, r.exitCode) << r.err;
}

// Runs a command on the PC of the test.
ProgramResult OnPc(std::vector<std::string> args)
{
    args.push_back("--dir");
    args.push_back(kittest::MachineDir());
    return Machine(args);
}

std::string Text(const std::string &path, const char *name,
                 kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegString(HKEY_LOCAL_MACHINE, path, name, where).value_or("<missing>");
}

std::optional<DWORD> Dword(const std::string &path, const char *name,
                           kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegDword(HKEY_LOCAL_MACHINE, path, name, where);
}

bool KeyExists(const std::string &path)
{
    return kittest::RegKeyExists(HKEY_LOCAL_MACHINE, path);
}

bool Device(const std::string &name)
{
    return fs::is_regular_file(kittest::MachineDir() + "/devices/" + name);
}

Strings DevicesOfClients()
{
    Strings present;
    for (const char *name : kClientDevices)
        if (Device(name))
            present.push_back(name);
    return present;
}

// The Class\Net subkeys, as the network-configuration code walks them.
Strings NetComponents()
{
    Strings keys;
    for (const std::string &name : pcreg::ReadKey(kNetClass).SubKeys())
        keys.push_back(kNetClass + "\\" + name);
    return keys;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::optional<std::string> ComponentKey(const std::string &componentId)
{
    for (const std::string &key : NetComponents())
        if (Lower(Text(key, "ComponentId")) == Lower(componentId))
            return key;
    return std::nullopt;
}

// The Class\Net subkey of the PC's first card, found by its GUID.
std::string CardComponent()
{
    const std::string guid = pcreg::ReadNetworkCards(kitpc::ReadIdentity().family).at(0).key;
    for (const std::string &key : NetComponents())
        if (Text(key, "NetCfgInstanceId") == guid)
            return key;
    return "<none>";
}

// RasEnumDevicesA's first rule on 2000/XP: the components bound below NDISWAN.
Strings WanMiniports()
{
    Strings ids;
    for (const std::string &key : NetComponents())
        if (Text(key + "\\Ndi\\Interfaces", "UpperRange") == "ndiswan")
            ids.push_back(Text(key, "ComponentId"));
    return ids;
}

// The device of a component enabled as INetCfgComponent::GetDeviceStatus decides.
bool DeviceEnabled(const std::string &componentKey)
{
    const std::string device = kEnum + Text(componentKey, "DeviceInstanceID");
    auto flags = Dword(device, "ConfigFlags");
    return KeyExists(device) && flags && (*flags & 1) == 0;
}

std::string ServiceState(const std::string &service)
{
    const std::string ini = kittest::ReadHostFile(kittest::MachineDir() + "/services.ini", "");
    for (const std::string state : {"running", "stopped"})
        if (ini.find(service + "=" + state) != std::string::npos)
            return state;
    return "<none>";
}

bool Nt(const std::string &os)
{
    return os == "nt4" || os == "2000" || os == "xp";
}

class FamilyTest : public testing::TestWithParam<const char *>
{
};
INSTANTIATE_TEST_SUITE_P(Families, FamilyTest,
                         testing::Values("95", "98", "98se", "me", "nt4", "2000", "xp"));

class Nt5Test : public testing::TestWithParam<const char *>
{
};
INSTANTIATE_TEST_SUITE_P(Families, Nt5Test, testing::Values("2000", "xp"));
} // namespace

// --- Dial-up networking -------------------------------------------------------------------------

TEST_P(FamilyTest, DialUpNetworkingIsTheRemoteAccessService)
{
    const std::string os = GetParam();
    CreatePc(GetParam());
    ASSERT_TRUE(KeyExists(kRemoteAccess));
    if (Nt(os))
    {
        EXPECT_EQ(0x20u, Dword(kRemoteAccess, "Type"));
        EXPECT_EQ(3u, Dword(kRemoteAccess, "Start"));
        EXPECT_EQ(1u, Dword(kRemoteAccess, "ErrorControl"));
        EXPECT_NE("<missing>", Text(kRemoteAccess, "ImagePath"));
        EXPECT_NE("<missing>", Text(kRemoteAccess, "DisplayName"));
    }
    else
    {
        EXPECT_EQ("*PNP8387", Text("Enum\\Root\\Net\\0000", "HardwareID"));
        EXPECT_EQ("Net\\0000", Text("Enum\\Root\\Net\\0000", "Driver"));
        EXPECT_EQ("MS$PPP", Text(kServices + "\\Class\\Net\\0000", "AdapterName"));
        EXPECT_EQ("Adaptador de Acceso telef\xF3nico a redes",
                  Text(kServices + "\\Class\\Net\\0000", "DriverDesc"));
    }
    EXPECT_NE(std::string::npos, OnPc({"show"}).out.find("Dial-up networking:\n  installed"));
}

TEST_P(FamilyTest, WithoutRasNothingOfItIsThere)
{
    const std::string os = GetParam();
    CreatePc(GetParam(), {"--ras", "no"});
    EXPECT_FALSE(KeyExists(kRemoteAccess));
    EXPECT_FALSE(KeyExists("Enum\\Root\\Net\\0000"));
    EXPECT_FALSE(KeyExists(kServices + "\\Class\\Net\\0000") && !Nt(os));
    EXPECT_TRUE(WanMiniports().empty());
    // The card is laid out all the same.
    EXPECT_EQ(1u, pcreg::ReadNetworkCards(kitpc::ReadIdentity().family).size());
    EXPECT_NE(std::string::npos, OnPc({"show"}).out.find("Dial-up networking:\n  not installed"));
}

TEST(DialUpLayout, SpanishNineXDialUpAdapter)
{
    CreatePc("98", {"--lang", "0x0c0a"});
    EXPECT_EQ("Adaptador de Acceso telef\xF3nico a redes",
              Text(kServices + "\\Class\\Net\\0000", "DriverDesc"));
}

TEST_P(Nt5Test, WindowsMiniportsAndTheCardAreComponentsWithTheirDevices)
{
    const bool xp = std::string(GetParam()) == "xp";
    CreatePc(GetParam());
    const Strings expected = xp ? Strings{"ms_pppoeminiport", "ms_pptpminiport", "ms_l2tpminiport"}
                                : Strings{"ms_pptpminiport", "ms_l2tpminiport"};
    EXPECT_EQ(expected, WanMiniports());
    EXPECT_EQ("Minipuerto WAN (PPTP)", Text(*ComponentKey("ms_pptpminiport"), "DriverDesc"));

    // Every component, the card too, names its instance and device; nothing is numbered twice.
    std::set<std::string> instances, devices;
    for (const std::string &key : NetComponents())
    {
        EXPECT_EQ('{', Text(key, "NetCfgInstanceId").front()) << key;
        instances.insert(Text(key, "NetCfgInstanceId"));
        devices.insert(Text(key, "DeviceInstanceID"));
        EXPECT_TRUE(DeviceEnabled(key)) << key;
        EXPECT_EQ(0u, Dword(kEnum + Text(key, "DeviceInstanceID"), "ConfigFlags")) << key;
    }
    EXPECT_EQ(expected.size() + 1, NetComponents().size());
    EXPECT_EQ(NetComponents().size(), instances.size());
    EXPECT_EQ(NetComponents().size(), devices.size());
    const std::string card = CardComponent();
    EXPECT_EQ(kIntel, Text(card, "DriverDesc"));
    EXPECT_EQ(0u, Text(card, "ComponentId").find("pci\\ven_"));
    EXPECT_EQ("<missing>", Text(card + "\\Ndi\\Interfaces", "UpperRange"));
}

TEST(DialUpLayout, XpMiniportNamesFollowTheLanguage)
{
    CreatePc("xp");
    EXPECT_EQ("Minipuerto WAN (PPPOE)", Text(*ComponentKey("ms_pppoeminiport"), "DriverDesc"));
    ASSERT_EQ(0, OnPc({"set", "lang", "0x0409"}).exitCode);
    EXPECT_EQ("WAN Miniport (PPPOE)", Text(*ComponentKey("ms_pppoeminiport"), "DriverDesc"));
}

// --- WinPoET ------------------------------------------------------------------------------------

TEST(WinPoet, NinetyEightDeviceFileAndModem)
{
    CreatePc("98", {"--pppoe", "winpoet"});
    EXPECT_EQ(Strings{"PoETKRNL"}, DevicesOfClients());
    const Strings modems = pcreg::ReadKey(kNineXModems).SubKeys();
    ASSERT_EQ(1u, modems.size());
    EXPECT_EQ("Ivasion Poet Adapter", Text(kNineXModems + "\\" + modems[0], "DriverDesc"));
    EXPECT_FALSE(KeyExists(kAppPath));
}

TEST(WinPoet, NtFourDeviceFileAndTapiDevice)
{
    CreatePc("nt4", {"--pppoe", "winpoet"});
    EXPECT_EQ(Strings{"WrKPoETDriver"}, DevicesOfClients());
    EXPECT_EQ(Strings{"POET1"}, kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kTapiPoet, "Address"));
    EXPECT_EQ(Strings{"Ivasion Poet Adapter"},
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kTapiPoet, "Friendly Name"));
    EXPECT_EQ(Strings{"Modem"}, kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kTapiPoet, "Media Type"));
    EXPECT_EQ(Strings{"Client"}, kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kTapiPoet, "Usage"));
}

TEST(WinPoet, TwoThousandDeviceFileAndMiniport)
{
    CreatePc("2000", {"--pppoe", "winpoet"});
    EXPECT_EQ(Strings{"WrKPoet2000"}, DevicesOfClients());
    auto key = ComponentKey("*IVSNPOET");
    ASSERT_TRUE(key);
    EXPECT_EQ("Ivasion Poet Adapter", Text(*key, "DriverDesc"));
    EXPECT_EQ((Strings{"ms_pptpminiport", "ms_l2tpminiport", "*ivsnpoet"}), WanMiniports());
    EXPECT_TRUE(DeviceEnabled(*key));
    EXPECT_FALSE(KeyExists(kPoetService));
}

TEST(WinPoet, XpServiceRunningAndMiniportWithoutDeviceFile)
{
    CreatePc("xp", {"--pppoe", "winpoet"});
    EXPECT_TRUE(DevicesOfClients().empty());
    EXPECT_EQ(0x10u, Dword(kPoetService, "Type"));
    EXPECT_EQ(2u, Dword(kPoetService, "Start"));
    EXPECT_EQ("running", ServiceState("WinPPPoverEthernet"));
    auto key = ComponentKey("*ivsnpoet");
    ASSERT_TRUE(key);
    EXPECT_EQ("WinPoET WAN (PPPOE) Adapter", Text(*key, "DriverDesc"));
    EXPECT_EQ("ndiswan", Text(*key + "\\Ndi\\Interfaces", "UpperRange"));
    EXPECT_TRUE(DeviceEnabled(*key));
    const std::string show = OnPc({"show"}).out;
    EXPECT_NE(std::string::npos, show.find("WinPoET: service WinPPPoverEthernet (running)")) << show;
}

TEST(WinPoet, XpStoppedAndDisabled)
{
    CreatePc("xp", {"--pppoe", "winpoet", "--pppoe-stopped", "--pppoe-disabled"});
    EXPECT_EQ("stopped", ServiceState("WinPPPoverEthernet"));
    EXPECT_FALSE(DeviceEnabled(*ComponentKey("*ivsnpoet")));
    EXPECT_EQ(1u, Dword(kEnum + Text(*ComponentKey("*ivsnpoet"), "DeviceInstanceID"), "ConfigFlags"));
    EXPECT_NE(std::string::npos, OnPc({"show"}).out.find("*ivsnpoet, Class\\Net\\0004, disabled"));
}

TEST(WinPoet, DisabledLeavesTheDeviceFileOutOnNineXAndNtFour)
{
    for (const char *os : {"98", "nt4"})
    {
        CreatePc(os, {"--pppoe", "winpoet", "--pppoe-disabled"});
        EXPECT_TRUE(DevicesOfClients().empty()) << os;
    }
    CreatePc("2000", {"--pppoe", "winpoet", "--pppoe-disabled"});
    EXPECT_FALSE(DeviceEnabled(*ComponentKey("*ivsnpoet")));
}

// --- EnterNet -----------------------------------------------------------------------------------

void ExpectEnterNetFolder()
{
    const std::string folder = kitpc::PathOf("program_files") + "\\NTS\\EnterNet";
    EXPECT_EQ(folder + "\\EnterNet.exe", Text(kAppPath, ""));
    EXPECT_EQ(folder, Text(kAppPath, "Path"));
    const std::string host = kittest::MachineDir() + "/program_files/NTS/EnterNet/";
    for (const char *file : {"EnterNet.exe", "resfolderENU.dll"})
        EXPECT_TRUE(fs::is_regular_file(host + file)) << file;
    EXPECT_NE(std::string::npos, kittest::ReadHostFile(host + "EnterNet.ini").find("[Configuration]"));
}

TEST(EnterNet, NinetyEightAppPathsFolderAndDeviceFile)
{
    CreatePc("98", {"--pppoe", "enternet"});
    ExpectEnterNetFolder();
    EXPECT_EQ(Strings{"NTSPPP3"}, DevicesOfClients());
    EXPECT_TRUE(pcreg::ReadKey(kNineXModems).SubKeys().empty());
}

TEST(EnterNet, XpComponentThatIsNoMiniport)
{
    CreatePc("xp", {"--pppoe", "enternet"});
    ExpectEnterNetFolder();
    EXPECT_TRUE(DevicesOfClients().empty());
    auto key = ComponentKey("NTSPPPOE");
    ASSERT_TRUE(key);
    EXPECT_EQ("NTS EnterNet PPPoE Adapter", Text(*key, "DriverDesc"));
    EXPECT_EQ((Strings{"ms_pppoeminiport", "ms_pptpminiport", "ms_l2tpminiport"}), WanMiniports());
    EXPECT_TRUE(DeviceEnabled(*key));
    EXPECT_FALSE(KeyExists(kPoetService));
}

TEST(EnterNet, DisabledDeviceOnEveryFamilyKind)
{
    CreatePc("nt4", {"--pppoe", "enternet", "--pppoe-disabled"});
    EXPECT_TRUE(DevicesOfClients().empty());
    CreatePc("xp", {"--pppoe", "enternet", "--pppoe-disabled"});
    EXPECT_FALSE(DeviceEnabled(*ComponentKey("ntspppoe")));
}

// --- The client selector ------------------------------------------------------------------------

TEST(Selector, WrittenWhereTheKitLooksAndSaid)
{
    CreatePc("98", {"--winpoet-selector", "2"});
    EXPECT_EQ(2u, Dword(kSelector, "WinPoet"));
    ProgramResult r = OnPc({"pppoe", "--winpoet-selector", "0"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("SOFTWARE\\NUV\\DAX\\ADSL \"WinPoet\" = 0")) << r.out;
    EXPECT_EQ(0u, Dword(kSelector, "WinPoet"));
    EXPECT_NE(std::string::npos, OnPc({"show"}).out.find("\"WinPoet\": 0"));
}

TEST(Selector, NotWrittenUnlessAsked)
{
    CreatePc("xp", {"--pppoe", "winpoet"});
    EXPECT_FALSE(KeyExists(kSelector));
}

// --- Changing an existing PC --------------------------------------------------------------------

TEST(ChangePc, RasRemovedAndInstalledAgainAroundTheCard)
{
    CreatePc("xp");
    const std::string cardKey = CardComponent();
    ASSERT_EQ(0, OnPc({"ras", "no"}).exitCode);
    EXPECT_FALSE(KeyExists(kRemoteAccess));
    EXPECT_TRUE(WanMiniports().empty());
    EXPECT_EQ(Strings{cardKey}, NetComponents());
    ASSERT_EQ(0, OnPc({"ras", "yes"}).exitCode);
    EXPECT_TRUE(KeyExists(kRemoteAccess));
    EXPECT_EQ(3u, WanMiniports().size());
    EXPECT_EQ(cardKey, CardComponent());
    EXPECT_EQ(4u, NetComponents().size());
}

TEST(ChangePc, NineXRasRemovedTakesTheDialUpAdapter)
{
    CreatePc("me");
    ASSERT_EQ(0, OnPc({"ras", "no"}).exitCode);
    EXPECT_FALSE(KeyExists(kRemoteAccess));
    EXPECT_FALSE(KeyExists("Enum\\Root\\Net\\0000"));
    EXPECT_FALSE(KeyExists(kServices + "\\Class\\Net\\0000"));
    EXPECT_EQ(1u, pcreg::ReadNetworkCards(kitpc::WindowsFamily::WinMe).size());
    ASSERT_EQ(0, OnPc({"ras", "yes"}).exitCode);
    EXPECT_EQ("MS$PPP", Text(kServices + "\\Class\\Net\\0000", "AdapterName"));
}

TEST(ChangePc, ClientReplacedWithoutRemains)
{
    CreatePc("xp", {"--pppoe", "winpoet", "--pppoe-stopped"});
    ASSERT_EQ(0, OnPc({"pppoe", "enternet"}).exitCode);
    EXPECT_FALSE(ComponentKey("*ivsnpoet"));
    EXPECT_FALSE(KeyExists(kPoetService));
    EXPECT_EQ("<none>", ServiceState("WinPPPoverEthernet"));
    EXPECT_TRUE(ComponentKey("ntspppoe"));
    ASSERT_EQ(0, OnPc({"pppoe", "none"}).exitCode);
    EXPECT_FALSE(ComponentKey("ntspppoe"));
    EXPECT_FALSE(KeyExists(kAppPath));
    EXPECT_FALSE(fs::exists(kittest::MachineDir() + "/program_files/NTS"));
    EXPECT_EQ(4u, NetComponents().size());
    EXPECT_NE(std::string::npos, OnPc({"show"}).out.find("PPPoE client:\n  none"));
}

TEST(ChangePc, NineXClientReplacedAndStatesChanged)
{
    CreatePc("98", {"--pppoe", "enternet"});
    ASSERT_EQ(0, OnPc({"pppoe", "winpoet"}).exitCode);
    EXPECT_EQ(Strings{"PoETKRNL"}, DevicesOfClients());
    EXPECT_FALSE(KeyExists(kAppPath));
    ASSERT_EQ(0, OnPc({"pppoe", "winpoet", "--pppoe-disabled"}).exitCode);
    EXPECT_TRUE(DevicesOfClients().empty());
    EXPECT_EQ(1u, pcreg::ReadKey(kNineXModems).SubKeys().size());
}

TEST(ChangePc, XpServiceStoppedAndStartedAgain)
{
    CreatePc("xp", {"--pppoe", "winpoet"});
    ASSERT_EQ(0, OnPc({"pppoe", "winpoet", "--pppoe-stopped"}).exitCode);
    EXPECT_EQ("stopped", ServiceState("WinPPPoverEthernet"));
    ASSERT_EQ(0, OnPc({"pppoe", "winpoet"}).exitCode);
    EXPECT_EQ("running", ServiceState("WinPPPoverEthernet"));
}

TEST(ChangePc, CardsAddedAndRemovedAroundTheComponents)
{
    CreatePc("2000", {"--pppoe", "winpoet"});
    ASSERT_EQ(0, OnPc({"nic", "add", "Realtek RTL8139 Family PCI Fast Ethernet NIC"}).exitCode);
    EXPECT_EQ(5u, NetComponents().size());
    ASSERT_EQ(0, OnPc({"nic", "remove", "1"}).exitCode);
    EXPECT_EQ(4u, NetComponents().size());
    EXPECT_EQ((Strings{"ms_pptpminiport", "ms_l2tpminiport", "*ivsnpoet"}), WanMiniports());
    // The freed number goes to the next component.
    ASSERT_EQ(0, OnPc({"nic", "add", kIntel}).exitCode);
    EXPECT_EQ(5u, NetComponents().size());
}

// --- Bad options --------------------------------------------------------------------------------

TEST(DialUpOptions, ContradictionsAreRefusedWithTheUsage)
{
    const std::string dir = kittest::MachineDir();
    const std::vector<std::vector<std::string>> bad = {
        {"create", "--os", "xp", "--pppoe-stopped"},
        {"create", "--os", "xp", "--pppoe", "enternet", "--pppoe-stopped"},
        {"create", "--os", "2000", "--pppoe", "winpoet", "--pppoe-stopped"},
        {"create", "--os", "98", "--pppoe", "none", "--pppoe-disabled"},
        {"create", "--os", "98", "--pppoe", "poet"},
        {"create", "--os", "98", "--ras", "maybe"},
        {"create", "--os", "98", "--winpoet-selector", "3"},
        {"create", "--os", "98", "--pppoe"},
    };
    for (std::vector<std::string> args : bad)
    {
        args.insert(args.end(), {"--dir", dir + "/new", "--force"});
        ProgramResult r = Machine(args);
        EXPECT_EQ(2, r.exitCode) << args.back();
        EXPECT_NE(std::string::npos, r.err.find("usage: machine create")) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir + "/new"));

    CreatePc("98");
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"ras"},
                                               {"ras", "maybe"},
                                               {"ras", "yes", "--pppoe", "winpoet"},
                                               {"pppoe"},
                                               {"pppoe", "winpoet", "enternet"},
                                               {"pppoe", "--pppoe", "winpoet"},
                                               {"pppoe", "winpoet", "--pppoe-stopped"},
                                               {"show", "--ras", "no"},
                                               {"nic", "add", "X", "--pppoe", "none"}})
        EXPECT_EQ(2, OnPc(args).exitCode) << args.front() << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_EQ(Strings{}, DevicesOfClients());
    EXPECT_TRUE(KeyExists(kRemoteAccess));
}

TEST(DialUpOptions, HelpNamesThem)
{
    ProgramResult r = Machine({"--help"});
    ASSERT_EQ(0, r.exitCode);
    for (const char *option :
         {"--ras yes|no", "--pppoe winpoet|enternet|none", "--pppoe-disabled", "--pppoe-stopped",
          "--winpoet-selector 0|1|2", "machine ras yes|no", "machine pppoe"})
        EXPECT_NE(std::string::npos, r.out.find(option)) << option;
}

TEST(DialUpOptions, ChangesNeedAPc)
{
    const std::string dir = kittest::MachineDir() + "/none";
    EXPECT_EQ(1, Machine({"ras", "no", "--dir", dir}).exitCode);
    EXPECT_EQ(1, Machine({"pppoe", "winpoet", "--dir", dir}).exitCode);
}
