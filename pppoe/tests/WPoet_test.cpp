// The WPoet object through COM on PCs laid out by the machine program: the client selector, the
// detection of dial-up networking, WinPoET and EnterNet, and the connection each one gets.
#include "common/com/BStr.h"
#include "common/com/ComPtr.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "pppoe/DaxWPoet.h"
#include "testing/kittest.h"
#include "testing/pcfile.h"
#include "testing/registry.h"
#include "testing/tracelog.h"
#include "tools/machine/tests/program.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Strings = std::vector<std::string>;
constexpr char kConexion[] = "Conexión ADSL Router";

class WPoetTest : public testing::Test
{
  protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitialize(nullptr)); }
    void TearDown() override
    {
        poet.Reset();
        SetCurrentDirectoryA("/");
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    // A fresh PC with the options, DaxWPoet registered, the kit's folder (with config.ini
    // naming "ADSL" unless `config` is false) as the current directory, and the object.
    void MakePc(const Strings &options, bool config = true)
    {
        Strings args = {"create", "--dir", kittest::MachineDir(), "--force"};
        args.insert(args.end(), options.begin(), options.end());
        toolstest::ProgramResult made = toolstest::RunProgram("machine", args);
        ASSERT_EQ(0, made.exitCode) << made.err;
        kitreg::CloseRegistry();
        std::string output;
        ASSERT_EQ(0, kittest::Run("regsvr32", {"/s", "DaxWPoet.dll"}, &output)) << output;
        const std::string dir = kitpc::PathOf("program_files") + "/Dax";
        std::filesystem::create_directories(dir);
        if (config)
            pcfile::Write(dir + "/config.ini", "[General]\r\nRegistro=ADSL\r\n");
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WPoet, nullptr, CLSCTX_ALL, IID_IWPoet, poet.PutVoid()));
    }

    struct Info
    {
        HRESULT hr;
        LONG ras, installed, device;
    };
    Info GetInfo()
    {
        Info info{E_FAIL, -1, -1, -1};
        info.hr = poet->GetInfo(&info.ras, &info.installed, &info.device);
        return info;
    }
    HRESULT Create(const std::string &user, const std::string &password)
    {
        return poet->CreateConnection(kitcom::BStr(user).Get(), kitcom::BStr(password).Get());
    }
    static Strings Log() { return kittest::TempTraceMessages("DaxWPoet.txt"); }
    static bool Logged(const Strings &log, const std::string &line)
    {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    kitcom::ComPtr<IWPoet> poet;
};
} // namespace

TEST_F(WPoetTest, WithoutTheKitsSettingsEnterNetIsTheClientAndRasIsNotLookedAt)
{
    MakePc({"--os", "98", "--ras", "no"}, false);
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.ras);
    EXPECT_EQ(0, info.installed);
    EXPECT_EQ(-1, info.device); // left as the caller had it
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Enternet no instalado."));
}

TEST_F(WPoetTest, WinPoetOnXpMakesTheBroadbandEntryAndTheDefaultConnection)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.ras);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(1, info.device);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Final."));

    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    const Strings log = Log();
    for (const char *line : {"CWPoet::CreateConnection - La conexión no existe.",
                             "CWPoet::CreateConnection - UpdateRealizado.", "CWPoet::CreateConnection - Final"})
        EXPECT_TRUE(Logged(log, line)) << line;
    EXPECT_EQ(kConexion, kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\RAS Autodial\\Default",
                                                "DefaultInternet")
                             .value_or("?"));
    const char *settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    EXPECT_EQ(1u, kittest::ReadRegDword(HKEY_CURRENT_USER, settings, "EnableAutodial").value_or(9));
    EXPECT_EQ(0u, kittest::ReadRegDword(HKEY_CURRENT_USER, settings, "NoNetAutodial").value_or(9));
    const std::string pbk =
        pcfile::Read(kitpc::PathOf("appdata") + "/Microsoft/Network/Connections/Pbk/rasphone.pbk", "<missing>");
    EXPECT_NE(std::string::npos, pbk.find(std::string("[") + kConexion + "]")) << pbk;
    EXPECT_EQ(std::string::npos, pbk.find("clave")) << "the password is in the phone book";
    for (const std::string &line : log)
        EXPECT_EQ(std::string::npos, line.find("clave")) << line;

    // A second time the entry is updated, not duplicated.
    ASSERT_EQ(S_OK, Create("otro@proveedor", "clave2"));
    EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - La conexión ya existe."));
    const std::string again =
        pcfile::Read(kitpc::PathOf("appdata") + "/Microsoft/Network/Connections/Pbk/rasphone.pbk", "");
    size_t count = 0;
    for (size_t at = again.find(kConexion); at != std::string::npos; at = again.find(kConexion, at + 1))
        ++count;
    EXPECT_EQ(1u, count) << again;
}

TEST_F(WPoetTest, WinPoetOnNineXKeepsTheEntryInTheRegistry)
{
    MakePc({"--os", "98", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    EXPECT_EQ(S_OK, GetInfo().hr);
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CURRENT_USER, std::string("RemoteAccess\\Profile\\") + kConexion));
    EXPECT_EQ(kConexion, kittest::ReadRegString(HKEY_CURRENT_USER, "RemoteAccess", "InternetProfile").value_or("?"));
}

TEST_F(WPoetTest, NineXWithoutDialUpNetworkingHasNoRas)
{
    MakePc({"--os", "98", "--ras", "no", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(0, info.ras);
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - RAS no instalado."));
}

TEST_F(WPoetTest, ADisabledWinPoetComponentOnWindows2000IsNoDevice)
{
    MakePc({"--os", "2000", "--pppoe", "winpoet", "--pppoe-disabled", "--winpoet-selector", "1"});
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(0, info.device);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Dispositivo deshabilitado o desinstalado."));
}

TEST_F(WPoetTest, AUserNameTooLongForRasIsCaughtAndRefused)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "2"});
    EXPECT_EQ(S_FALSE, Create(std::string(257, 'u'), "clave"));
    const Strings log = Log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string &line) {
        return line.rfind("CWPoet::CreateConnection - Excepción capturada.", 0) == 0;
    }));
}

TEST_F(WPoetTest, EnterNetGetsItsProfileTheDefaultAndADesktopShortcut)
{
    MakePc({"--os", "98", "--pppoe", "enternet", "--winpoet-selector", "0"});
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(1, info.device);
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    const std::string folder = kittest::ReadRegString(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Enternet.exe", "Path")
                                   .value_or("?");
    const std::string ini = pcfile::Read(folder + "\\EnterNet.ini", "<missing>");
    EXPECT_NE(std::string::npos, ini.find(std::string("[") + kConexion + "]\r\nSession=" + kConexion +
                                          "\r\nProtocol=PPPOE\r\nConnectionProtocol=5\r\nUserName=usuario@proveedor\r\n"))
        << ini;
    EXPECT_NE(std::string::npos, ini.find(std::string("DefaultProfile=") + kConexion)) << ini;
    EXPECT_EQ(std::string::npos, ini.find("clave")) << ini;
    char desktop[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    EXPECT_TRUE(pcfile::Read(std::string(desktop) + "\\" + kConexion + ".lnk").has_value());
}
