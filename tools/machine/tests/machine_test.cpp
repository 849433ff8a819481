// The machine program: creating each family, showing and changing the PC, and restarting it
// (pending file operations, RunOnce, Run, power.log) and logging a user on.
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "tools/machine/tests/program.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace fs = std::filesystem;
using toolstest::ProgramResult;

namespace
{
ProgramResult Machine(std::vector<std::string> args)
{
    return toolstest::RunProgram("machine", args);
}

// Replaces the test's PC by a fresh one of the family, laid out by the program.
void CreatePc(const char *os, std::vector<std::string> extra = {})
{
    std::vector<std::string> args = {"create", "--os", os, "--dir", kittest::MachineDir(), "--force"};
    args.insert(args.end(), extra.begin(), extra.end());
    ProgramResult r = Machine(args);
    ASSERT_EQ(0, r.exitCode) << r.err;
    // The program replaced registry.db: this process reads the new one.
    kitreg::CloseRegistry();
}

std::string Pc(const std::string &relative)
{
    return kittest::MachineDir() + "/" + relative;
}

std::string IniValue(const char *section, const char *key)
{
    char value[256];
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, Pc("machine.ini").c_str());
    return value;
}

std::string Utf8(const char8_t *text)
{
    return reinterpret_cast<const char *>(text);
}

const char *const kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char *const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char *const kSessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

class CreateFamilyTest : public testing::TestWithParam<const char *>
{
};
INSTANTIATE_TEST_SUITE_P(Families, CreateFamilyTest,
                         testing::Values("95", "98", "98se", "me", "nt4", "2000", "xp"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             return std::string("Windows") + info.param;
                         });
} // namespace

// --- create -------------------------------------------------------------------------------------

TEST_P(CreateFamilyTest, LaysOutIdentityRegistryAndPrograms)
{
    CreatePc(GetParam());
    EXPECT_EQ(GetParam(), IniValue("Windows", "Family"));
    const bool nt = kitpc::IsNtFamily(*kitpc::FamilyFromName(GetParam()));
    EXPECT_EQ(nt, kittest::ReadRegString(HKEY_LOCAL_MACHINE,
                                         "Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion")
                      .has_value());
    EXPECT_EQ(!nt, kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                          "VersionNumber")
                       .has_value());
    EXPECT_EQ(kitpc::PathOf("program_files"),
              kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                     "ProgramFilesDir"));
    EXPECT_TRUE(fs::is_directory(Pc(nt ? "windows/system32" : "windows/system")));

    // The stand-ins built beside machine are linked; the others are reported.
    ASSERT_TRUE(fs::is_symlink(Pc("bin/route")));
    EXPECT_EQ(fs::path(kittest::BinDir()) / "route", fs::read_symlink(Pc("bin/route")));
}

TEST(MachineCreate, MissingStandInsAreSkippedWithAWarning)
{
    const std::string dir = kittest::NewMachineDir();
    ProgramResult r = Machine({"create", "--os", "xp", "--dir", dir});
    ASSERT_EQ(0, r.exitCode) << r.err;
    for (const char *name : {"regedit", "winipcfg"})
    {
        EXPECT_EQ(fs::exists(kittest::BinDir() + "/" + name), fs::exists(dir + "/bin/" + name)) << name;
    }
    if (!fs::exists(kittest::BinDir() + "/winipcfg"))
    {
        EXPECT_NE(std::string::npos, r.err.find("warning: winipcfg not found"));
    }
    fs::remove_all(dir);
}

TEST(MachineCreate, RefusesAnExistingPcWithoutForce)
{
    ProgramResult r = Machine({"create", "--os", "98", "--dir", kittest::MachineDir()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("--force"));
    EXPECT_EQ("xp", IniValue("Windows", "Family"));
}

TEST(MachineCreate, NeverWipesAFolderThatHoldsNoPc)
{
    const std::string dir = kittest::NewMachineDir();
    kittest::WriteHostFile(dir + "/precious.txt", "keep me");
    ProgramResult r = Machine({"create", "--os", "98", "--dir", dir, "--force"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("keep me", kittest::ReadHostFile(dir + "/precious.txt", ""));
    fs::remove_all(dir);
}

TEST(MachineCreate, ForceReplacesThePc)
{
    kittest::WriteHostFile(Pc("routes"), "10.0.0.0 255.0.0.0 10.0.0.1 1\n");
    CreatePc("me");
    EXPECT_EQ("me", IniValue("Windows", "Family"));
    EXPECT_FALSE(fs::exists(Pc("routes")));
}

TEST(MachineCreate, LanguageUserAndAdministrator)
{
    CreatePc("2000", {"--lang", "0x0409", "--admin", "no", "--computer", "OFICINA", "--user", "Pepe"});
    EXPECT_EQ("0x0409", IniValue("Locale", "UserLangID"));
    EXPECT_EQ("0", IniValue("User", "Administrator"));
    EXPECT_EQ("Pepe", IniValue("User", "Name"));
    EXPECT_EQ("OFICINA", IniValue("Computer", "Name"));
    // The machine part was still laid out.
    EXPECT_EQ("OFICINA",
              kittest::ReadRegString(HKEY_LOCAL_MACHINE,
                                     "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                                     "ComputerName"));
}

TEST(MachineCreate, BadUsage)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frob"},
        {"create"},
        {"create", "--os", "vista"},
        {"create", "--os", "xp", "--lang", "castellano"},
        {"create", "--os", "xp", "--admin", "maybe"},
        {"create", "--os"},
        {"create", "--os", "xp", "--colour", "blue"},
        {"set", "os"},
        {"set", "os", "vista"},
        {"set", "nonsense", "1"},
        {"set", ".Key", "1"},
    };
    for (const auto &args : cases)
    {
        ProgramResult r = Machine(args);
        EXPECT_EQ(2, r.exitCode) << (args.empty() ? "" : args[0]) << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_NE(std::string::npos, r.err.find("usage: machine"));
    }
}

// --- show and set -------------------------------------------------------------------------------

TEST(MachineShow, IdentityFoldersNetworkRoutesAndPower)
{
    CreatePc("98se", {"--computer", Utf8(u8"AÑO-2002"), "--user", Utf8(u8"José")});
    kittest::WriteHostFile(Pc("network.ini"), "[Hosts]\r\n192.168.1.1:21=127.0.0.1:40021\r\n");
    kittest::WriteHostFile(Pc("power.log"), "2002-05-01 10:00:00 EWX_REBOOT\r\n");
    ASSERT_EQ(0,
              toolstest::RunProgram("route", {"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    EXPECT_EQ("A\xD1O-2002", IniValue("Computer", "Name")); // stored in Windows 1252

    ProgramResult r = Machine({"show", "--dir", kittest::MachineDir()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    for (const std::string &expected :
         {std::string("Windows: Windows 98 SE (98se), version 4.10 build 2222, platform 9x\n"),
          std::string("Administrator: yes\n"), Utf8(u8"Computer: AÑO-2002\n"), Utf8(u8"User: José\n"),
          "  windows/system  " + kitpc::PathOf("windows/system") + "\n",
          std::string("  route -> ") + kittest::BinDir() + "/route\n",
          std::string("Network (network.ini [Hosts]):\n  192.168.1.1:21=127.0.0.1:40021\n"),
          std::string("Routes:\n  10.0.0.0 255.0.0.0 10.0.0.1 1\n"),
          std::string("Power log:\n  2002-05-01 10:00:00 EWX_REBOOT\n")})
        EXPECT_NE(std::string::npos, r.out.find(expected)) << expected << "\n--- in ---\n" << r.out;
}

TEST(MachineShow, RefusesAFolderWithoutPc)
{
    const std::string dir = kittest::NewMachineDir();
    ProgramResult r = Machine({"show", "--dir", dir});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_FALSE(fs::exists(dir + "/machine.ini"));
    fs::remove_all(dir);
}

TEST(MachineSet, EachSetting)
{
    struct Case
    {
        std::vector<std::string> args;
        const char *section, *key, *expected;
    };
    const Case cases[] = {
        {{"lang", "0x0409"}, "Locale", "UserLangID", "0x0409"},
        {{"lang", "0x0409"}, "Locale", "SystemLangID", "0x0409"},
        {{"admin", "no"}, "User", "Administrator", "0"},
        {{"admin", "yes"}, "User", "Administrator", "1"},
        {{"user", "Invitado"}, "User", "Name", "Invitado"},
        {{"computer", "SOBREMESA"}, "Computer", "Name", "SOBREMESA"},
        {{"Display.LogPixelsX", "120"}, "Display", "LogPixelsX", "120"},
    };
    for (const Case &c : cases)
    {
        std::vector<std::string> args = {"set"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProgramResult r = Machine(args);
        ASSERT_EQ(0, r.exitCode) << c.args[0] << ": " << r.err;
        EXPECT_EQ(c.expected, IniValue(c.section, c.key)) << c.args[0];
    }
    EXPECT_EQ(120, kitpc::ReadIdentity().logPixelsX);
}

TEST(MachineSet, OsRefusesAnotherFamily)
{
    CreatePc("98");
    ProgramResult r = Machine({"set", "os", "xp"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("machine create --os xp --force")) << r.err;
    EXPECT_EQ("98", IniValue("Windows", "Family"));
}

TEST(MachineSet, OsWithinNinetyEightRewritesTheRegistry)
{
    CreatePc("98");
    ASSERT_EQ(0, Machine({"set", "os", "98se"}).exitCode);
    EXPECT_EQ(" A ", kitpc::ReadIdentity().csdVersion);
    EXPECT_EQ("4.10.2222",
              kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                     "VersionNumber"));
}

TEST(MachineSet, UserAndComputerEverywhere)
{
    CreatePc("98");
    ASSERT_EQ(0, Machine({"set", "user", "Invitado"}).exitCode);
    ASSERT_EQ(0, Machine({"set", "computer", "SALON"}).exitCode);
    EXPECT_EQ("Invitado", kittest::ReadRegString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control",
                                                 "Current User"));
    EXPECT_EQ("Invitado", kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Network\\Logon", "username"));
    EXPECT_EQ("SALON",
              kittest::ReadRegString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\VNETSUP",
                                     "ComputerName"));
    EXPECT_EQ("SALON", kittest::ReadRegString(HKEY_LOCAL_MACHINE,
                                              "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "HostName"));
    CreatePc("xp");
    ASSERT_EQ(0, Machine({"set", "computer", "SALON"}).exitCode);
    EXPECT_EQ("SALON",
              kittest::ReadRegString(HKEY_LOCAL_MACHINE,
                                     "System\\CurrentControlSet\\Services\\Tcpip\\Parameters", "Hostname"));
}

TEST(MachineSet, BadComputerNamesAreRefused)
{
    CreatePc("98", {"--computer", "EQUIPO"});
    for (const char *name : {"", " PC", "PC ", "A/B", "A*B", "ABCDEFGHIJKLMNOP"})
    {
        EXPECT_EQ(2, Machine({"set", "computer", name}).exitCode) << name;
    }
    EXPECT_EQ("EQUIPO", IniValue("Computer", "Name"));
    EXPECT_EQ("EQUIPO",
              kittest::ReadRegString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\VNETSUP",
                                     "ComputerName"));
}

TEST(MachineHelp, PrintsTheUsageOnStandardOutput)
{
    for (const char *flag : {"--help", "/?"})
    {
        ProgramResult r = Machine({flag});
        EXPECT_EQ(0, r.exitCode) << flag;
        EXPECT_NE(std::string::npos, r.out.find("usage: machine")) << flag;
    }
}

TEST(MachineRegistry, DamagedRegistryIsNamedAndStopsTheCommands)
{
    CreatePc("xp");
    // Garbage over a hive whose log was written back into it.
    kitreg::CloseRegistry();
    fs::remove(Pc("registry.db-wal"));
    fs::remove(Pc("registry.db-shm"));
    kittest::WriteHostFile(Pc("registry.db"), std::string(8192, 'x'));
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"set", "computer", "SALON"}, std::vector<std::string>{"reboot"}})
    {
        ProgramResult r = Machine(args);
        EXPECT_EQ(1, r.exitCode) << args[0];
        EXPECT_NE(std::string::npos, r.err.find("damaged")) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(Pc("registry.db"))) << r.err;
        EXPECT_EQ(std::string::npos, r.out.find("Restarted.")) << r.out;
    }
}

// --- reboot -------------------------------------------------------------------------------------

TEST(MachineReboot, NtPendingDeleteAndRenames)
{
    CreatePc("xp");
    const std::string temp = Pc("temp/");
    kittest::WriteHostFile(temp + "borrar.dll", "old");
    kittest::WriteHostFile(temp + "nuevo.dll", "new");
    kittest::WriteHostFile(temp + "usado.dll", "in use");
    kittest::WriteHostFile(temp + "origen.txt", "moved");
    const std::string pending = "\\??\\" + temp + "borrar.dll" + '\0' + "" + '\0' + "\\??\\" + temp +
                                "nuevo.dll" + '\0' + "!\\??\\" + temp + "usado.dll" + '\0' + "\\??\\" + temp +
                                "origen.txt" + '\0' + "\\??\\" + temp + "destino.txt" + '\0' + '\0';
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ,
                           pending);

    ProgramResult r = Machine({"reboot"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_FALSE(fs::exists(temp + "borrar.dll"));
    EXPECT_FALSE(fs::exists(temp + "nuevo.dll"));
    EXPECT_EQ("new", kittest::ReadHostFile(temp + "usado.dll", ""));
    EXPECT_FALSE(fs::exists(temp + "origen.txt"));
    EXPECT_EQ("moved", kittest::ReadHostFile(temp + "destino.txt", ""));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations"));
    EXPECT_NE(std::string::npos, r.out.find("deleted " + temp + "borrar.dll"));
}

TEST(MachineReboot, NtDelayedMovesOfTheFileApi)
{
    CreatePc("2000");
    const std::string temp = Pc("temp/");
    kittest::WriteHostFile(temp + "xdesvom.exe", "cleanup");
    kittest::WriteHostFile(temp + "a.txt", "a");
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(MoveFileExA((temp + "xdesvom.exe").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        << GetLastError();
    ASSERT_TRUE(MoveFileExA((temp + "a.txt").c_str(), (temp + "b.txt").c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(fs::exists(temp + "xdesvom.exe"));

    ASSERT_EQ(0, Machine({"reboot"}).exitCode);
    EXPECT_FALSE(fs::exists(temp + "xdesvom.exe"));
    EXPECT_EQ("a", kittest::ReadHostFile(temp + "b.txt", ""));
}

TEST(MachineReboot, NinetyEightWininitRenameAndDelete)
{
    CreatePc("98");
    const std::string windows = Pc("windows/");
    kittest::WriteHostFile(windows + "old.dll", "old");
    kittest::WriteHostFile(windows + "new.dll", "new");
    kittest::WriteHostFile(windows + "gone.dll", "gone");
    const std::string ini = "[Settings]\r\nFoo=Bar\r\n[rename]\r\nNUL=" + windows + "gone.dll\r\n" + windows +
                            "old.dll=" + windows + "new.dll\r\n";
    kittest::WriteHostFile(windows + "Wininit.ini", ini);

    ProgramResult r = Machine({"reboot"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_FALSE(fs::exists(windows + "gone.dll"));
    EXPECT_FALSE(fs::exists(windows + "new.dll"));
    EXPECT_EQ("new", kittest::ReadHostFile(windows + "old.dll", ""));
    EXPECT_FALSE(fs::exists(windows + "Wininit.ini"));
    EXPECT_EQ(ini, kittest::ReadHostFile(windows + "Wininit.bak", ""));
}

TEST(MachineReboot, RunOnceDeletedRunKept)
{
    CreatePc("xp");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Rutas",
                            "route ADD 10.0.0.0 MASK 255.0.0.0 10.0.0.1");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRunOnce, "!Despues",
                            "route ADD 20.0.0.0 MASK 255.0.0.0 10.0.0.1");
    kittest::WriteRegString(HKEY_CURRENT_USER, kRunOnce, "Usuario",
                            "route ADD 30.0.0.0 MASK 255.0.0.0 10.0.0.1");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRun, "Siempre", "route PRINT");

    ProgramResult r = Machine({"reboot"});
    ASSERT_EQ(0, r.exitCode) << r.err;

    // The RunOnce programs ran one after the other before reboot returned: machine ones first.
    const std::string routes = kittest::ReadHostFile(Pc("routes"), "");
    const size_t ten = routes.find("10.0.0.0 "), twenty = routes.find("20.0.0.0 "),
                 thirty = routes.find("30.0.0.0 ");
    ASSERT_NE(std::string::npos, ten);
    ASSERT_NE(std::string::npos, twenty);
    ASSERT_NE(std::string::npos, thirty);
    EXPECT_LT(std::max(ten, twenty), thirty);

    EXPECT_FALSE(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Rutas"));
    EXPECT_FALSE(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "!Despues"));
    EXPECT_FALSE(kittest::ReadRegString(HKEY_CURRENT_USER, kRunOnce, "Usuario"));
    EXPECT_EQ("route PRINT", kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "Siempre"));

    // A second restart has nothing left to run once.
    ProgramResult again = Machine({"reboot"});
    EXPECT_EQ(0, again.exitCode);
    EXPECT_EQ(std::string::npos, again.out.find("RunOnce"));
    // Those routes were added without -p: the restart dropped them.
    EXPECT_EQ("", kittest::ReadHostFile(Pc("routes"), ""));
}

TEST(MachineReboot, KeepsPersistentRoutesAndAdapterGateways)
{
    for (const char *os : {"xp", "98"})
    {
        CreatePc(os);
        kittest::WriteHostFile(Pc("routes"),
                               "10.0.0.0 255.0.0.0 10.0.0.1 1\n20.0.0.0 255.0.0.0 10.0.0.1 1 p\n");
        const bool nt = std::string(os) == "xp";
        const std::string adapter =
            nt ? "System\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{A}"
               : "System\\CurrentControlSet\\Services\\Class\\NetTrans\\0000";
        kittest::WriteRegString(HKEY_LOCAL_MACHINE, adapter, "DefaultGateway", "192.168.1.1");
        ProgramResult r = Machine({"reboot"});
        ASSERT_EQ(0, r.exitCode) << r.err;
        EXPECT_EQ("20.0.0.0 255.0.0.0 10.0.0.1 1 p\n0.0.0.0 0.0.0.0 192.168.1.1 1\n",
                  kittest::ReadHostFile(Pc("routes"), ""))
            << os;
    }
}

TEST(MachineReboot, VolatileKeysGoNonVolatileStay)
{
    CreatePc("xp");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Prueba", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Prueba\\Volatil", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    ASSERT_EQ(0, Machine({"reboot"}).exitCode);
    EXPECT_NE(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Prueba\\Volatil", 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Prueba", 0, KEY_READ, &key));
    RegCloseKey(key);
}

TEST(MachineReboot, LimitedUserPcStillRunsTheMachinesRunOnce)
{
    CreatePc("xp", {"--admin", "no"});
    ProgramResult set = Machine({"set", "admin", "yes"}); // the test writes the value as an administrator
    ASSERT_EQ(0, set.exitCode);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Rutas",
                            "route ADD 10.0.0.0 MASK 255.0.0.0 10.0.0.1");
    ASSERT_EQ(0, Machine({"set", "admin", "no"}).exitCode);
    ProgramResult r = Machine({"reboot"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_FALSE(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Rutas"));
    EXPECT_EQ("10.0.0.0 255.0.0.0 10.0.0.1 1\n", kittest::ReadHostFile(Pc("routes"), ""));
}

TEST(MachineReboot, MissingProgramIsReportedAndTheRestGoesOn)
{
    CreatePc("xp");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRunOnce, "A", "no-such-program-here");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRunOnce, "B", "route ADD 10.0.0.0 MASK 255.0.0.0 10.0.0.1");
    ProgramResult r = Machine({"reboot"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("could not start no-such-program-here"));
    EXPECT_FALSE(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "A"));
    EXPECT_EQ("10.0.0.0 255.0.0.0 10.0.0.1 1\n", kittest::ReadHostFile(Pc("routes"), ""));
}

TEST(MachineReboot, AppendsOneLineToThePowerLog)
{
    CreatePc("98");
    kittest::WriteHostFile(Pc("power.log"), "earlier line\r\n");
    ASSERT_EQ(0, Machine({"reboot"}).exitCode);
    ASSERT_EQ(0, Machine({"reboot"}).exitCode);
    const std::string log = kittest::ReadHostFile(Pc("power.log"), "");
    ASSERT_EQ(0u, log.find("earlier line\r\n"));
    size_t lines = 0;
    for (size_t at = log.find("restarted"); at != std::string::npos; at = log.find("restarted", at + 1))
        ++lines;
    EXPECT_EQ(2u, lines);
    EXPECT_EQ('\n', log.back());
}

// --- logon ----------------------------------------------------------------------------------------

TEST(MachineLogon, RunOnceRunsOnceRunAtEveryLogonNoFileOperations)
{
    CreatePc("xp");
    const std::string temp = Pc("temp/");
    kittest::WriteHostFile(temp + "borrar.dll", "old");
    const std::string pending = "\\??\\" + temp + "borrar.dll" + '\0' + "" + '\0' + '\0';
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ,
                           pending);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Rutas",
                            "route ADD 10.0.0.0 MASK 255.0.0.0 10.0.0.1");
    kittest::WriteRegString(HKEY_CURRENT_USER, kRunOnce, "Usuario",
                            "route ADD 30.0.0.0 MASK 255.0.0.0 10.0.0.1");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRun, "Siempre", "route PRINT");
    kittest::WriteRegString(HKEY_CURRENT_USER, kRun, "Mio", "route PRINT");

    ProgramResult r = Machine({"logon"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);
    // The machine's RunOnce first and waited for, the Run programs, then the user's RunOnce.
    const size_t machineOnce = r.out.find("HKEY_LOCAL_MACHINE RunOnce:\n  Rutas: route ADD 10.0.0.0"),
                 machineRun = r.out.find("HKEY_LOCAL_MACHINE Run:\n  Siempre: route PRINT"),
                 userRun = r.out.find("HKEY_CURRENT_USER Run:\n  Mio: route PRINT"),
                 userOnce = r.out.find("HKEY_CURRENT_USER RunOnce:\n  Usuario: route ADD 30.0.0.0");
    ASSERT_NE(std::string::npos, userOnce) << r.out;
    EXPECT_LT(machineOnce, machineRun) << r.out;
    EXPECT_LT(machineRun, userRun) << r.out;
    EXPECT_LT(userRun, userOnce) << r.out;
    EXPECT_EQ("10.0.0.0 255.0.0.0 10.0.0.1 1\n30.0.0.0 255.0.0.0 10.0.0.1 1\n",
              kittest::ReadHostFile(Pc("routes"), ""));
    EXPECT_FALSE(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Rutas"));
    EXPECT_FALSE(kittest::ReadRegString(HKEY_CURRENT_USER, kRunOnce, "Usuario"));
    EXPECT_EQ("route PRINT", kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "Siempre"));
    // A logon is no start of Windows: the pending delete waits, the routes stay.
    EXPECT_TRUE(fs::exists(temp + "borrar.dll"));
    EXPECT_TRUE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations"));

    ProgramResult again = Machine({"logon"});
    ASSERT_EQ(0, again.exitCode) << again.err;
    EXPECT_EQ(std::string::npos, again.out.find("RunOnce")) << again.out;
    EXPECT_NE(std::string::npos, again.out.find("  Siempre: route PRINT")) << again.out;
    EXPECT_NE(std::string::npos, again.out.find("  Mio: route PRINT")) << again.out;

    // A restart does both.
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Otra",
                            "route ADD 40.0.0.0 MASK 255.0.0.0 10.0.0.1");
    ProgramResult restart = Machine({"reboot"});
    ASSERT_EQ(0, restart.exitCode) << restart.err;
    EXPECT_FALSE(fs::exists(temp + "borrar.dll"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations"));
    EXPECT_FALSE(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "Otra"));
    EXPECT_NE(std::string::npos, restart.out.find("  Siempre: route PRINT")) << restart.out;
    EXPECT_EQ("40.0.0.0 255.0.0.0 10.0.0.1 1\n", kittest::ReadHostFile(Pc("routes"), ""));
}

TEST(MachineLogon, NinetyEightLeavesWininitForTheRestart)
{
    CreatePc("98");
    const std::string windows = Pc("windows/");
    kittest::WriteHostFile(windows + "gone.dll", "gone");
    kittest::WriteHostFile(windows + "Wininit.ini", "[rename]\r\nNUL=" + windows + "gone.dll\r\n");
    ASSERT_EQ(0, Machine({"logon"}).exitCode);
    EXPECT_TRUE(fs::exists(windows + "gone.dll"));
    EXPECT_TRUE(fs::exists(windows + "Wininit.ini"));
    ASSERT_EQ(0, Machine({"reboot"}).exitCode);
    EXPECT_FALSE(fs::exists(windows + "gone.dll"));
}

TEST(MachineLogon, LogoffAndLogonInThePowerLog)
{
    CreatePc("xp");
    ASSERT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0));
    ASSERT_EQ(0, Machine({"logon"}).exitCode);
    ProgramResult r = Machine({"show"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const size_t logoff = r.out.find(" logoff flags=0x00000000 "), logon = r.out.find(" logged on ");
    ASSERT_NE(std::string::npos, logoff) << r.out;
    ASSERT_NE(std::string::npos, logon) << r.out;
    EXPECT_LT(logoff, logon);
    EXPECT_LT(r.out.find("Power log:\n"), logoff);
}

TEST(MachineLogon, BadUsageAndMissingPc)
{
    EXPECT_EQ(2, Machine({"logon", "now"}).exitCode);
    ProgramResult r = Machine({"logon", "--dir", kittest::NewMachineDir()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("no PC in")) << r.err;
}
