// The PC's programs on a damaged registry, and the adapters' settings each Windows family keeps.
#include "tools/pcreg/PcRegistry.h"

#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "testing/kittest.h"
#include "testing/registry.h"
#include "tools/machine/tests/program.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using toolstest::ProgramResult;

namespace
{
constexpr char kServices[] = "System\\CurrentControlSet\\Services";

void MakePc(kitpc::WindowsFamily family)
{
    kitreg::CloseRegistry();
    kitpc::MachineOptions options;
    options.os = family;
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
}

// Garbage over a hive whose log was written back into it.
void DamageRegistry()
{
    kitreg::CloseRegistry();
    const std::string db = kitreg::RegistryPath();
    fs::remove(db + "-wal");
    fs::remove(db + "-shm");
    kittest::WriteHostFile(db, std::string(8192, 'x'));
}

void WriteMultiSz(const std::string &key, const char *name, std::string_view items)
{
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, key, name, REG_MULTI_SZ, items);
}

using Strings = std::vector<std::string>;
} // namespace

TEST(PcRegistryDamage, EveryProgramOfThePcSaysWhereAndFails)
{
    MakePc(kitpc::WindowsFamily::Win98);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\VxD\\DHCP\\DhcpInfo00",
                            "DhcpIPAddress", "80.58.1.10");
    const std::string pc = kittest::MachineDir();
    const std::string script = pc + "/temp/cambio.reg";
    kittest::WriteHostFile(script, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kit]\r\n\"A\"=\"1\"\r\n");
    const std::string routesBefore = kittest::ReadHostFile(pc + "/routes", "");
    fs::current_path(pc + "/temp");
    DamageRegistry();

    const std::string said =
        kitpc::TerminalText("El Registro del equipo está dañado: ") + kitreg::RegistryPath();
    const std::vector<Strings> runs = {
        {"regedit", "/e", pc + "/temp/todo.reg", "HKEY_LOCAL_MACHINE\\Software"},
        {"regedit", "/s", script},
        {"route", "print"},
        {"route", "add", "10.0.0.0", "mask", "255.0.0.0", "192.168.1.1"},
        {"regsvr32", "/s", script},
        {"winipcfg", "/release_all", "/Batch"},
    };
    for (const Strings &run : runs)
    {
        ProgramResult r = toolstest::RunProgram(run[0], Strings(run.begin() + 1, run.end()));
        EXPECT_NE(0, r.exitCode) << run[0] << " " << run[1];
        EXPECT_NE(std::string::npos, r.err.find(said)) << run[0] << " " << run[1] << ": " << r.err;
    }
    EXPECT_EQ(routesBefore, kittest::ReadHostFile(pc + "/routes", "")) << "route add wrote a route";
    EXPECT_FALSE(fs::exists(pc + "/temp/winipcfg.out"));

    // machine shows the rest of the PC, names the damage and fails.
    ProgramResult shown = toolstest::RunProgram("machine", {"show"});
    EXPECT_EQ(1, shown.exitCode);
    EXPECT_NE(std::string::npos, shown.out.find("Registry: damaged: " + kitreg::RegistryPath() +
                                                " (the file is not a registry hive)"))
        << shown.out;
    EXPECT_NE(std::string::npos, shown.out.find("Computer: PC-ADSL")) << shown.out;
    EXPECT_NE(std::string::npos, shown.err.find("machine create --force")) << shown.err;
}

TEST(PcRegistryDamage, ASoundRegistryIsNoDamage)
{
    MakePc(kitpc::WindowsFamily::XP);
    EXPECT_EQ(ERROR_SUCCESS, pcreg::Probe());
    EXPECT_EQ(std::nullopt, pcreg::FindDamage());
    EXPECT_EQ(ERROR_SUCCESS, pcreg::DamageSeen());
    // A missing key is not damage.
    EXPECT_FALSE(pcreg::ReadKey("Software\\No\\Such\\Key"));
    EXPECT_EQ(ERROR_SUCCESS, pcreg::DamageSeen());
    ProgramResult shown = toolstest::RunProgram("machine", {"show"});
    EXPECT_EQ(0, shown.exitCode) << shown.err;
    EXPECT_NE(std::string::npos, shown.out.find("Registry: " + kitreg::RegistryPath() + "\n")) << shown.out;
}

TEST(PcRegistryAdapters, NtTakesTheLeaseOfADhcpAdapterAndTheFixedSettingsOfTheOthers)
{
    MakePc(kitpc::WindowsFamily::XP);
    const std::string base = std::string(kServices) + "\\Tcpip\\Parameters\\Interfaces\\";
    const std::string fixed = base + "{AAAA}", leased = base + "{BBBB}";
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, fixed, "EnableDHCP", 0);
    WriteMultiSz(fixed, "IPAddress", std::string_view("192.168.1.33\0", 14));
    WriteMultiSz(fixed, "SubnetMask", std::string_view("255.255.255.0\0", 15));
    WriteMultiSz(fixed, "DefaultGateway", std::string_view("192.168.1.1\0", 13));
    WriteMultiSz(fixed, "DefaultGatewayMetric", std::string_view("2\0", 3));
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, leased, "EnableDHCP", 1);
    WriteMultiSz(leased, "IPAddress", std::string_view("0.0.0.0\0", 9));
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, leased, "DhcpIPAddress", "10.1.2.3");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, leased, "DhcpSubnetMask", "255.0.0.0");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, leased, "DhcpDefaultGateway", "10.0.0.1");

    std::vector<pcreg::Adapter> adapters = pcreg::ReadAdapters(kitpc::WindowsFamily::XP);
    std::erase_if(adapters, [](const pcreg::Adapter &a) { return a.addresses.empty(); });
    ASSERT_EQ(2u, adapters.size());
    EXPECT_EQ(Strings{"192.168.1.33"}, adapters[0].addresses);
    EXPECT_EQ(Strings{"255.255.255.0"}, adapters[0].masks);
    EXPECT_EQ(Strings{"192.168.1.1"}, adapters[0].gateways);
    EXPECT_EQ(Strings{"2"}, adapters[0].gatewayMetrics);
    EXPECT_EQ(Strings{"10.1.2.3"}, adapters[1].addresses);
    EXPECT_EQ(Strings{"255.0.0.0"}, adapters[1].masks);
    EXPECT_EQ(Strings{"10.0.0.1"}, adapters[1].gateways);
}

TEST(PcRegistryAdapters, NtFourFollowsTheCardsServicesAndNineXSplitsItsLists)
{
    MakePc(kitpc::WindowsFamily::NT4);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE,
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1", "ServiceName",
                            "E100B1");
    const std::string tcpip = std::string(kServices) + "\\E100B1\\Parameters\\Tcpip";
    WriteMultiSz(tcpip, "IPAddress", std::string_view("192.168.1.40\0", 14));
    WriteMultiSz(tcpip, "SubnetMask", std::string_view("255.255.255.0\0", 15));
    std::vector<pcreg::Adapter> adapters = pcreg::ReadAdapters(kitpc::WindowsFamily::NT4);
    std::erase_if(adapters, [](const pcreg::Adapter &a) { return a.addresses.empty(); });
    ASSERT_EQ(1u, adapters.size());
    EXPECT_EQ(Strings{"192.168.1.40"}, adapters[0].addresses);

    MakePc(kitpc::WindowsFamily::Win98);
    const std::string trans = std::string(kServices) + "\\Class\\NetTrans\\0009";
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, trans, "IPAddress", "192.168.1.33, 10.0.0.7");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, trans, "IPMask", "255.255.255.0,255.0.0.0");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, trans, "DefaultGateway", "192.168.1.1");
    adapters = pcreg::ReadAdapters(kitpc::WindowsFamily::Win98);
    std::erase_if(adapters, [](const pcreg::Adapter &a) { return a.addresses.empty(); });
    ASSERT_EQ(1u, adapters.size());
    EXPECT_EQ((Strings{"192.168.1.33", "10.0.0.7"}), adapters[0].addresses);
    EXPECT_EQ((Strings{"255.255.255.0", "255.0.0.0"}), adapters[0].masks);
    EXPECT_EQ(Strings{"192.168.1.1"}, adapters[0].gateways);
}
