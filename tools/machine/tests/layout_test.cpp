// The registry layout of each Windows family, read back through the Windows API where the kit
// reads it.
#include "tools/machine/layout.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace
{
using kitpc::WindowsFamily;

constexpr WindowsFamily kAllFamilies[] = {WindowsFamily::Win95, WindowsFamily::Win98, WindowsFamily::Win98SE,
                                          WindowsFamily::WinMe, WindowsFamily::NT4,   WindowsFamily::Win2000,
                                          WindowsFamily::XP};

std::string Text(HKEY root, const std::string &path, const char *name,
                 kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegString(root, path, name, where).value_or("<missing>");
}

// Lays out a fresh PC of the family in the test's PC folder.
void LayOut(WindowsFamily family, LANGID lang = 0x0C0A)
{
    kitpc::MachineOptions options;
    options.os = family;
    options.lang = lang;
    options.computerName = "EQUIPO-1";
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
    std::string error = "unchanged";
    ASSERT_TRUE(kitmachine::LayOutRegistry(error)) << error;
    EXPECT_EQ("", error);
}

const char *const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
const char *const kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";

class FamilyLayoutTest : public testing::TestWithParam<WindowsFamily>
{
};

INSTANTIATE_TEST_SUITE_P(Families, FamilyLayoutTest, testing::ValuesIn(kAllFamilies),
                         [](const testing::TestParamInfo<WindowsFamily> &info) {
                             return std::string("Windows") + kitpc::FamilyName(info.param);
                         });
} // namespace

// --- Version keys -------------------------------------------------------------------------------

TEST_P(FamilyLayoutTest, VersionKeysOfTheFamily)
{
    LayOut(GetParam());
    const kitmachine::FamilyLayout &f = kitmachine::LayoutOf(GetParam());
    const kitpc::Identity id = kitpc::ReadIdentity();
    EXPECT_EQ(kitpc::PathOf("program_files"), Text(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir"));
    EXPECT_EQ(kitpc::PathOf("program_files") + "/Common Files",
              Text(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir"));
    if (kitpc::IsNtFamily(GetParam()))
    {
        EXPECT_EQ(f.versionNumber, Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentVersion"));
        EXPECT_EQ(std::to_string(id.buildNumber),
                  Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentBuildNumber"));
        EXPECT_EQ(id.csdVersion, Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CSDVersion"));
        EXPECT_EQ(kitpc::PathOf("windows"), Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "SystemRoot"));
        EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "VersionNumber"));
    }
    else
    {
        EXPECT_EQ(f.versionName, Text(HKEY_LOCAL_MACHINE, kCurrentVersion, "Version"));
        EXPECT_EQ(f.versionNumber, Text(HKEY_LOCAL_MACHINE, kCurrentVersion, "VersionNumber"));
        EXPECT_EQ(id.csdVersion, Text(HKEY_LOCAL_MACHINE, kCurrentVersion, "SubVersionNumber"));
        EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kNtCurrentVersion));
    }
}

TEST(VersionKeys, NinetyEightSecondEditionKeepsTheBlanksOfItsSubVersion)
{
    LayOut(WindowsFamily::Win98SE);
    EXPECT_EQ("4.10.2222", Text(HKEY_LOCAL_MACHINE, kCurrentVersion, "VersionNumber"));
    EXPECT_EQ(" A ", Text(HKEY_LOCAL_MACHINE, kCurrentVersion, "SubVersionNumber"));
}

TEST(VersionKeys, XpIsFiveOneBuild2600ServicePack2)
{
    LayOut(WindowsFamily::XP);
    EXPECT_EQ("5.1", Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentVersion"));
    EXPECT_EQ("2600", Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentBuildNumber"));
    EXPECT_EQ("Service Pack 2", Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CSDVersion"));
    EXPECT_EQ("Microsoft Windows XP", Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "ProductName"));
    auto csd = kittest::ReadRegValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Windows",
                                     "CSDVersion");
    ASSERT_TRUE(csd);
    ASSERT_EQ(static_cast<DWORD>(REG_DWORD), csd->type);
    DWORD number = 0;
    std::memcpy(&number, csd->data.data(), sizeof number);
    EXPECT_EQ(0x200u, number);
}

// --- Shell folders, start-up keys, applications --------------------------------------------------

TEST_P(FamilyLayoutTest, ShellFoldersAreThePcsFolders)
{
    LayOut(GetParam());
    const bool nt = kitpc::IsNtFamily(GetParam());
    const std::string shell = std::string(kCurrentVersion) + "\\Explorer\\Shell Folders";
    const std::string user = std::string(kCurrentVersion) + "\\Explorer\\User Shell Folders";
    EXPECT_EQ(kitpc::PathOf("desktop"), Text(HKEY_CURRENT_USER, shell.c_str(), "Desktop"));
    EXPECT_EQ(kitpc::PathOf("start_menu/programs"), Text(HKEY_CURRENT_USER, shell.c_str(), "Programs"));
    auto userDesktop = kittest::ReadRegValue(HKEY_CURRENT_USER, user.c_str(), "Desktop");
    ASSERT_TRUE(userDesktop);
    EXPECT_EQ(nt ? static_cast<DWORD>(REG_EXPAND_SZ) : static_cast<DWORD>(REG_SZ), userDesktop->type);
    if (nt)
    {
        EXPECT_EQ(kitpc::PathOf("common_desktop"), Text(HKEY_LOCAL_MACHINE, shell.c_str(), "Common Desktop"));
    }
    else
    {
        EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, shell.c_str(), "Common Desktop"));
    }
}

TEST_P(FamilyLayoutTest, StartupKeysExistEmpty)
{
    LayOut(GetParam());
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const char *sub : {"\\Run", "\\RunOnce"})
        {
            const std::string path = std::string(kCurrentVersion) + sub;
            HKEY key = nullptr;
            ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key)) << path;
            DWORD values = 0xdeadbeef;
            EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                      nullptr, &values, nullptr, nullptr, nullptr, nullptr));
            EXPECT_EQ(0u, values) << path;
            RegCloseKey(key);
        }
    EXPECT_EQ(!kitpc::IsNtFamily(GetParam()),
              kittest::RegKeyExists(HKEY_LOCAL_MACHINE,
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"));
}

TEST_P(FamilyLayoutTest, ApplicationsWithoutThePppoeClients)
{
    LayOut(GetParam());
    const std::string appPaths = std::string(kCurrentVersion) + "\\App Paths";
    EXPECT_EQ(kitpc::PathOf("program_files") + "/Internet Explorer/IEXPLORE.EXE",
              Text(HKEY_LOCAL_MACHINE, (appPaths + "\\IEXPLORE.EXE").c_str(), ""));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, (appPaths + "\\Enternet.exe").c_str()));
    EXPECT_TRUE(
        kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE,
                                      "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"));
    EXPECT_EQ("htmlfile", Text(HKEY_CLASSES_ROOT, ".htm", ""));
    EXPECT_NE(std::string::npos,
              Text(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", "").find("IEXPLORE"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\NUV\\DAX"));
}

TEST_P(FamilyLayoutTest, InternetSettingsWithoutAutodial)
{
    LayOut(GetParam());
    auto autodial = kittest::ReadRegValue(HKEY_CURRENT_USER,
                                          "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                          "EnableAutodial");
    ASSERT_TRUE(autodial);
    EXPECT_EQ(kitpc::IsNtFamily(GetParam()) ? static_cast<DWORD>(REG_DWORD) : static_cast<DWORD>(REG_BINARY),
              autodial->type);
    EXPECT_EQ(std::string(4, '\0'), autodial->data);
}

// --- TCP/IP and the hardware trees --------------------------------------------------------------

TEST_P(FamilyLayoutTest, TcpipWhereTheFamilyKeepsIt)
{
    LayOut(GetParam());
    const WindowsFamily family = GetParam();
    const bool nt = kitpc::IsNtFamily(family), nt5 = nt && family != WindowsFamily::NT4;
    EXPECT_EQ(!nt,
              kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\MSTCP"));
    EXPECT_EQ(nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip"));
    EXPECT_EQ(
        nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Linkage"));
    EXPECT_EQ(nt5,
              kittest::RegKeyExists(HKEY_LOCAL_MACHINE,
                                    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces"));
    EXPECT_EQ(nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE,
                                        "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards"));
    // Dial-up networking comes with every fresh installation.
    EXPECT_TRUE(
        kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\RemoteAccess"));
    EXPECT_EQ(!nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE,
                                         "System\\CurrentControlSet\\Services\\Class\\NetTrans"));
    EXPECT_EQ(!nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Enum\\Root"));
    EXPECT_EQ(!nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Enum\\Network"));
    const char *hostKey = nt ? "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"
                             : "SYSTEM\\CurrentControlSet\\Services\\VxD\\MSTCP";
    EXPECT_EQ("EQUIPO-1", Text(HKEY_LOCAL_MACHINE, hostKey, "HostName"));
    if (!nt)
    {
        EXPECT_EQ("0", Text(HKEY_LOCAL_MACHINE, hostKey, "EnableDNS"));
    }
}

TEST(TcpipLayout, XpBindingListHoldsNoAdapter)
{
    LayOut(WindowsFamily::XP);
    auto bind = kittest::ReadRegValue(HKEY_LOCAL_MACHINE,
                                      "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Linkage", "Bind");
    ASSERT_TRUE(bind);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), bind->type);
    EXPECT_EQ(std::string("\\Device\\NdisWanIp\0\0", 19), bind->data);
}

// --- Control set and regional settings ----------------------------------------------------------

TEST_P(FamilyLayoutTest, ComputerNameAndSessionManager)
{
    LayOut(GetParam());
    const bool nt = kitpc::IsNtFamily(GetParam());
    EXPECT_EQ("EQUIPO-1",
              Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                   "ComputerName"));
    EXPECT_EQ(
        nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager"));
    EXPECT_EQ(
        !nt, kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\SessionManager"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE,
                                       "System\\CurrentControlSet\\Control\\Session Manager",
                                       "PendingFileRenameOperations"));
}

TEST(RegionalSettings, SpanishPc)
{
    LayOut(WindowsFamily::XP, 0x0C0A);
    EXPECT_EQ("0c0a",
              Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Nls\\Language", "Default"));
    EXPECT_EQ("00000c0a", Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Nls\\Locale", ""));
    EXPECT_EQ("00000C0A", Text(HKEY_CURRENT_USER, "Control Panel\\International", "Locale"));
    EXPECT_EQ("ESN", Text(HKEY_CURRENT_USER, "Control Panel\\International", "sLanguage"));
    EXPECT_EQ("España", Text(HKEY_CURRENT_USER, "Control Panel\\International", "sCountry")); // 1252 bytes
}

TEST(RegionalSettings, EnglishNinetyEight)
{
    LayOut(WindowsFamily::Win98, 0x0409);
    EXPECT_EQ("00000409", Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Nls\\Locale", ""));
    EXPECT_EQ("ENU", Text(HKEY_CURRENT_USER, "Control Panel\\International", "sLanguage"));
}

// --- Laying out again ---------------------------------------------------------------------------

TEST(LayOutAgain, KeepsWhatWasAddedAndRewritesTheRest)
{
    LayOut(WindowsFamily::XP);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                            KEY_SET_VALUE, &key));
    const char command[] = "route PRINT";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Mio", 0, REG_SZ, (const BYTE *)command, sizeof command));
    RegCloseKey(key);
    std::string error;
    ASSERT_TRUE(kitmachine::LayOutRegistry(error)) << error;
    EXPECT_EQ("route PRINT",
              Text(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Mio"));
    EXPECT_EQ("5.1", Text(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentVersion"));
}
