// The WPoet object through COM on PCs laid out by the machine program: the client selector, the
// detection of dial-up networking, WinPoET and EnterNet, and the connection each one gets, read
// back through the PC's own dial-up networking, registry, files and shell links. (Its
// registration and the detection on the PC the test runs on: WPoetPc_test.cpp.)
#include "common/com/BStr.h"
#include "common/com/ComPtr.h"
#include "platform/core/path.h"
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "pppoe/DaxWPoet.h"
#include "testing/kittest.h"
#include "testing/regsvr32.h"
#include "testing/pcfile.h"
#include "testing/registry.h"
#include "testing/tracelog.h"
#include "tools/machine/tests/program.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Strings = std::vector<std::string>;
constexpr char kConexion[] = "Conexión ADSL Router";
constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kXpDefault[] = "Software\\Microsoft\\RAS Autodial\\Default";
constexpr char k9xModems[] = "System\\CurrentControlSet\\Services\\Class\\Modem\\";
constexpr char kEnterNetPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Enternet.exe";

// The PC's dial-up networking as a program binds it: RASAPI32.DLL, then RNAPH.DLL on 9x.
struct Ras
{
    Ras() : rasapi(LoadLibraryA("RASAPI32.DLL")), rnaph(LoadLibraryA("RNAPH.DLL")) {}
    ~Ras()
    {
        if (rnaph)
            FreeLibrary(rnaph);
        if (rasapi)
            FreeLibrary(rasapi);
    }
    Ras(const Ras &) = delete;
    Ras &operator=(const Ras &) = delete;
    template <class F> F Get(const char *name) const
    {
        FARPROC proc = rasapi ? GetProcAddress(rasapi, name) : nullptr;
        if (!proc && rnaph)
            proc = GetProcAddress(rnaph, name);
        return reinterpret_cast<F>(reinterpret_cast<void *>(proc));
    }
    // The entry as the PC keeps it, in the structure of the PC's Windows (`size`).
    DWORD Entry(const std::string &name, RASENTRYA &entry, DWORD size = sizeof(RASENTRYA)) const
    {
        entry = {};
        entry.dwSize = size;
        return Get<decltype(&RasGetEntryPropertiesA)>("RasGetEntryPropertiesA")(nullptr, name.c_str(), &entry,
                                                                                &size, nullptr, nullptr);
    }
    RASDIALPARAMSA DialParams(const std::string &name, bool nt) const
    {
        RASDIALPARAMSA params = {};
        params.dwSize = nt ? sizeof params : 1052;
        std::snprintf(params.szEntryName, sizeof params.szEntryName, "%s", name.c_str());
        BOOL password = FALSE;
        EXPECT_EQ(0u, Get<decltype(&RasGetEntryDialParamsA)>("RasGetEntryDialParamsA")(nullptr, &params,
                                                                                       &password));
        return params;
    }
    Strings EntryNames() const
    {
        std::vector<RASENTRYNAMEA> names(16);
        names[0].dwSize = 264;
        DWORD bytes = 16 * 264, count = 0;
        EXPECT_EQ(0u, Get<decltype(&RasEnumEntriesA)>("RasEnumEntriesA")(nullptr, nullptr, names.data(),
                                                                         &bytes, &count));
        Strings found;
        const auto *records = reinterpret_cast<const char *>(names.data());
        for (DWORD i = 0; i < count; ++i)
            found.emplace_back(reinterpret_cast<const RASENTRYNAMEA *>(records + i * 264)->szEntryName);
        return found;
    }

    HMODULE rasapi, rnaph;
};

// A modem of Windows 9x's registry, which RAS lists as a device.
void Add9xModem(int number, const std::string &description)
{
    char key[80];
    std::snprintf(key, sizeof key, "%s%04d", k9xModems, number);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, key, "DriverDesc", description);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, key, "AttachedTo", "COM" + std::to_string(number));
}

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
        MakePcOnly(options, config);
        NewObject();
    }
    void MakePcOnly(const Strings &options, bool config = true)
    {
        Strings args = {"create", "--dir", kittest::MachineDir(), "--force"};
        args.insert(args.end(), options.begin(), options.end());
        toolstest::ProgramResult made = toolstest::RunProgram("machine", args);
        ASSERT_EQ(0, made.exitCode) << made.err;
        kitreg::CloseRegistry();
        std::string output;
        ASSERT_EQ(0, kittest::Regsvr32({"/s", "DaxWPoet.dll"}, &output)) << output;
        const std::string dir = kitpc::PathOf("program_files") + "/Dax";
        std::filesystem::create_directories(dir);
        if (config)
            pcfile::Write(dir + "/config.ini", "[General]\r\nRegistro=ADSL\r\n");
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    }
    void NewObject()
    {
        poet.Reset();
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
    static void ClearLog()
    {
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        DeleteFileA((std::string(temp) + "DaxWPoet.txt").c_str());
    }
    static std::string EnterNetIni()
    {
        return kittest::ReadRegString(HKEY_LOCAL_MACHINE, kEnterNetPath, "Path").value_or("?") +
               "\\EnterNet.ini";
    }
    static bool Logged(const Strings &log, const std::string &line)
    {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    kitcom::ComPtr<IWPoet> poet;
};
} // namespace

// --- The client selector and the checks ---------------------------------------------------------

TEST_F(WPoetTest, WithoutTheKitsSettingsEnterNetIsTheClientAndRasIsNotLookedAt)
{
    MakePc({"--os", "98", "--ras", "no"}, false);
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.ras);
    EXPECT_EQ(0, info.installed);
    EXPECT_EQ(-1, info.device); // left as the caller had it
    const Strings log = Log();
    EXPECT_TRUE(Logged(log, "CWPoet::GetInfo - Enternet no instalado."));
    EXPECT_FALSE(Logged(log, "CWPoet::IsRASInstalled - Comienzo."));
}

TEST_F(WPoetTest, TheSelectorIsReadOnceFromTheKeyConfigIniNames)
{
    // config.ini names "ADSL", whose key says WinPoET; the same value under another key is not read.
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    EXPECT_EQ(1, GetInfo().installed);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - RAS instalado."));

    pcfile::Write(kitpc::PathOf("program_files") + "/Dax/config.ini", "[General]\r\nRegistro=Otro\r\n");
    const Info before = GetInfo(); // the object keeps what it read
    EXPECT_EQ(1, before.installed);
    NewObject();
    ClearLog();
    const Info after = GetInfo();
    EXPECT_EQ(S_OK, after.hr);
    EXPECT_EQ(0, after.installed); // EnterNet, which this PC lacks
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Enternet no instalado."));
}

TEST_F(WPoetTest, NineXWithoutDialUpNetworkingHasNoRas)
{
    MakePc({"--os", "98", "--ras", "no", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(0, info.ras);
    EXPECT_EQ(-1, info.installed);
    EXPECT_EQ(-1, info.device);
    EXPECT_TRUE(Logged(Log(), "CWPoet::IsRASInstalled - No se encuentra el servicio Ras."));
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - RAS no instalado."));
}

TEST_F(WPoetTest, NineXNeedsTheDialUpAdapterBoundToTcpip)
{
    MakePc({"--os", "98", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    EXPECT_EQ(1, GetInfo().ras);
    EXPECT_TRUE(Logged(Log(), "CWPoet::IsRASInstalled - Final (Plataforma 9x - Ras instalado)."));

    HKEY bindings = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\Root\\Net\\0000\\Bindings", 0,
                                           KEY_ALL_ACCESS, &bindings));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(bindings, "MSTCP\\0000"));
    RegSetValueExA(bindings, "mstcp\\0001", 0, REG_SZ, reinterpret_cast<const BYTE *>(""), 1); // case counts
    RegCloseKey(bindings);
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(0, info.ras);
    EXPECT_TRUE(Logged(Log(), "CWPoet::IsRASInstalled - Final (Plataforma 9x - Ras no instalado)."));
}

TEST_F(WPoetTest, WinPoetOnXpAsksItsServiceUnlessTheSelectorIsTwo)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--pppoe-stopped", "--winpoet-selector", "1"});
    Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(0, info.installed);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - WinPoet no instalado."));
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    EXPECT_TRUE(Logged(
        Log(),
        "CWPoet::CreateConnection - WinPoet no instalado o dispositivo deshabilitado o desinstalado."));

    // Selector 2 takes WinPoET as there, and the RAS device is then looked for by name: without
    // WinPoET a Spanish XP still has one, its own PPPoE miniport "Minipuerto WAN (PPPOE)".
    ASSERT_EQ(0, toolstest::RunProgram(
                     "machine", {"pppoe", "none", "--winpoet-selector", "2", "--dir", kittest::MachineDir()})
                     .exitCode);
    kitreg::CloseRegistry();
    NewObject();
    ClearLog();
    info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(1, info.device);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - WinPoetInstalled ha devuelto todo correcto."));
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    RASENTRYA entry;
    ASSERT_EQ(0u, Ras().Entry(kConexion, entry));
    EXPECT_STREQ("Minipuerto WAN (PPPOE)", entry.szDeviceName);

    // An English XP's miniport is "WAN Miniport (PPPOE)", which is not it.
    MakePc({"--os", "xp", "--lang", "0x0409", "--winpoet-selector", "2"});
    info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(0, info.device);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Dispositivo deshabilitado o desinstalado."));
}

TEST_F(WPoetTest, ADisabledWinPoetComponentOnWindows2000IsNoDevice)
{
    MakePc({"--os", "2000", "--pppoe", "winpoet", "--pppoe-disabled", "--winpoet-selector", "1"});
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.ras);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(0, info.device);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Dispositivo deshabilitado o desinstalado."));
}

TEST_F(WPoetTest, WithoutItsDriverWinPoetIsNotInstalled)
{
    for (const char *os : {"98", "nt4"})
    {
        MakePc({"--os", os, "--pppoe", "winpoet", "--pppoe-disabled", "--winpoet-selector", "1"});
        const Info info = GetInfo();
        EXPECT_EQ(S_OK, info.hr) << os;
        EXPECT_EQ(1, info.ras) << os;
        EXPECT_EQ(0, info.installed) << os;
        EXPECT_EQ(0, info.device) << os;
        poet.Reset();
    }
}

TEST_F(WPoetTest, EnterNetNeedsItsProgramItsIniAndItsDevice)
{
    MakePc({"--os", "98", "--pppoe", "enternet", "--winpoet-selector", "0"});
    Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(1, info.device);
    EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Final."));

    ASSERT_TRUE(DeleteFileA(EnterNetIni().c_str()));
    info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(0, info.installed);
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - Enternet no instalado."));

    for (const char *os : {"2000", "nt4"})
    {
        MakePc({"--os", os, "--pppoe", "enternet", "--pppoe-disabled", "--winpoet-selector", "0"});
        info = GetInfo();
        EXPECT_EQ(S_OK, info.hr) << os;
        EXPECT_EQ(1, info.installed) << os;
        EXPECT_EQ(0, info.device) << os;
        EXPECT_TRUE(Logged(Log(), "CWPoet::GetInfo - Dispositivo deshabilitado o desinstalado.")) << os;
        EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave")) << os;
        EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - Dispositivo deshabilitado o desinstalado."))
            << os;
        poet.Reset();
    }
}

// --- The WinPoET connection -----------------------------------------------------------------------

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
    for (const char *line :
         {"CWPoet::CreateConnection - Dispositivo correctamente instalado y habilitado.",
          "CWPoet::CreateConnection - Tipo de dispositivo: [PPPoE]",
          "CWPoet::CreateConnection - Open realizado.", "CWPoet::CreateConnection - La conexión no existe.",
          "CWPoet::CreateConnection - UpdateRealizado.", "CWPoet::FijarPredeterminada - Xp",
          "CWPoet::CreateConnection - Final"})
        EXPECT_TRUE(Logged(log, line)) << line;
    for (const std::string &line : log)
        EXPECT_EQ(std::string::npos, line.find("clave")) << line;

    const Ras ras;
    RASENTRYA entry;
    ASSERT_EQ(0u, ras.Entry(kConexion, entry));
    EXPECT_STREQ("WinPoET WAN (PPPOE) Adapter", entry.szDeviceName);
    EXPECT_STREQ("PPPoE", entry.szDeviceType);
    EXPECT_EQ(static_cast<DWORD>(RASET_Broadband), entry.dwType);
    EXPECT_STREQ("", entry.szLocalPhoneNumber);
    EXPECT_EQ(0x3D0D0310u, entry.dwfOptions);
    EXPECT_EQ(static_cast<DWORD>(RASFP_Ppp), entry.dwFramingProtocol);
    EXPECT_EQ(static_cast<DWORD>(RASNP_Ip), entry.dwfNetProtocols);
    EXPECT_EQ(static_cast<DWORD>(RASEDM_DialAll), entry.dwDialMode);
    EXPECT_EQ(static_cast<DWORD>(RASIDS_Disabled), entry.dwIdleDisconnectSeconds);
    EXPECT_STREQ("usuario@proveedor", ras.DialParams(kConexion, true).szUserName);

    EXPECT_EQ(kConexion,
              kittest::ReadRegString(HKEY_LOCAL_MACHINE, kXpDefault, "DefaultInternet").value_or("?"));
    EXPECT_EQ(1u, kittest::ReadRegDword(HKEY_CURRENT_USER, kInternetSettings, "EnableAutodial").value_or(9));
    EXPECT_EQ(0u, kittest::ReadRegDword(HKEY_CURRENT_USER, kInternetSettings, "NoNetAutodial").value_or(9));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CURRENT_USER, "RemoteAccess"));
    // The phone book is the user's, in UTF-8; the password is not in it.
    const std::string pbk = pcfile::Read(
        kitpc::PathOf("appdata") + "/Microsoft/Network/Connections/Pbk/rasphone.pbk", "<missing>");
    EXPECT_NE(std::string::npos, pbk.find("[Conexi\xC3\xB3n ADSL Router]")) << pbk;
    EXPECT_EQ(std::string::npos, pbk.find("clave")) << pbk;
}

TEST_F(WPoetTest, AnEntryOfAnotherCaseIsUpdatedNotDuplicated)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "2"});
    const Ras ras;
    // An older entry of the same name in small letters, with a number of its own.
    RASENTRYA old = {};
    old.dwSize = sizeof old;
    old.dwfNetProtocols = RASNP_Ip;
    old.dwFramingProtocol = RASFP_Ppp;
    std::snprintf(old.szLocalPhoneNumber, sizeof old.szLocalPhoneNumber, "%s", "555-1234");
    std::snprintf(old.szDeviceType, sizeof old.szDeviceType, "%s", "modem");
    std::snprintf(old.szDeviceName, sizeof old.szDeviceName, "%s", "Standard Modem");
    old.dwRedialCount = 7;
    ASSERT_EQ(0u, ras.Get<decltype(&RasSetEntryPropertiesA)>("RasSetEntryPropertiesA")(
                      nullptr, "conexión adsl router", &old, sizeof old, nullptr, 0));

    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - La conexión ya existe."));
    ASSERT_EQ(S_OK, Create("otro@proveedor", "clave2"));
    EXPECT_EQ(Strings{"conexión adsl router"}, ras.EntryNames());
    RASENTRYA entry;
    ASSERT_EQ(0u, ras.Entry(kConexion, entry));
    EXPECT_STREQ("", entry.szLocalPhoneNumber);
    EXPECT_STREQ("WinPoET WAN (PPPOE) Adapter", entry.szDeviceName);
    EXPECT_EQ(7u, entry.dwRedialCount); // what the kit does not set is kept
    EXPECT_STREQ("otro@proveedor", ras.DialParams(kConexion, true).szUserName);
}

TEST_F(WPoetTest, Windows2000AndNt4GetTheirNumberAndOptionsAndNt4ItsCredentials)
{
    MakePc({"--os", "2000", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    {
        const Ras ras;
        RASENTRYA entry;
        ASSERT_EQ(0u, ras.Entry(kConexion, entry, 1796));
        EXPECT_STREQ("000-0000", entry.szLocalPhoneNumber);
        EXPECT_EQ(0x38010118u, entry.dwfOptions);
        EXPECT_STREQ("Ivasion Poet Adapter", entry.szDeviceName);
        EXPECT_TRUE(Logged(Log(), "CWPoet::FijarPredeterminada - No es Xp"));
        EXPECT_EQ(kConexion,
                  kittest::ReadRegString(HKEY_CURRENT_USER, "RemoteAccess", "InternetProfile").value_or("?"));
    }
    poet.Reset();

    MakePc({"--os", "nt4", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    const Ras ras;
    RASENTRYA entry;
    ASSERT_EQ(0u, ras.Entry(kConexion, entry, 1796));
    EXPECT_STREQ("000-0000", entry.szLocalPhoneNumber);
    EXPECT_EQ(0x10u, entry.dwfOptions);
    const RASDIALPARAMSA params = ras.DialParams(kConexion, true);
    EXPECT_STREQ("usuario@proveedor", params.szUserName);
    EXPECT_STREQ("clave", params.szPassword); // NT 4 hands the kept password back
    EXPECT_STREQ("", params.szDomain);
}

TEST_F(WPoetTest, WinPoetOnNineXKeepsTheEntryInTheRegistry)
{
    for (const char *os : {"95", "me"})
    {
        MakePc({"--os", os, "--pppoe", "winpoet", "--winpoet-selector", "1"});
        const Info info = GetInfo();
        EXPECT_EQ(S_OK, info.hr) << os;
        EXPECT_EQ(1, info.device) << os;
        EXPECT_EQ(S_OK, Create("usuario@proveedor", "clave")) << os;
        poet.Reset();
    }
    MakePc({"--os", "98", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    EXPECT_EQ(S_OK, GetInfo().hr);
    // A user name with letters outside ASCII goes through in the PC's code page.
    const std::string user = "usuario.ñandú@proveedor";
    ASSERT_EQ(S_OK, Create(user, "contraseña"));
    const Ras ras;
    RASENTRYA entry;
    ASSERT_EQ(0u, ras.Entry(kConexion, entry, 1768));
    EXPECT_STREQ("1.1.1.1", entry.szLocalPhoneNumber);
    EXPECT_EQ(0x10u, entry.dwfOptions);
    EXPECT_STREQ("modem", entry.szDeviceType);
    const RASDIALPARAMSA params = ras.DialParams(kConexion, false);
    EXPECT_EQ(user, params.szUserName);
    EXPECT_STREQ("contraseña", params.szPassword);
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CURRENT_USER, std::string("RemoteAccess\\Profile\\") + kConexion));
    // The value's name is the entry name with its NUL.
    const auto image = kittest::ReadRegValue(HKEY_CURRENT_USER, "RemoteAccess\\Addresses", kConexion);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(1768u, image->data.size());
    EXPECT_EQ(kConexion,
              kittest::ReadRegString(HKEY_CURRENT_USER, "RemoteAccess", "InternetProfile").value_or("?"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kXpDefault));
}

TEST_F(WPoetTest, TheLastOfManyDevicesThatMatchIsTaken)
{
    // Nine modems before WinPoET's (more than the first room for eight), one of them also an
    // "Ivasion Poet" one, whose name is listed first.
    MakePcOnly({"--os", "98", "--winpoet-selector", "1"});
    for (int n = 0; n < 9; ++n)
        Add9xModem(n, n == 4 ? "IVASION POET Modem" : "Standard Modem " + std::to_string(n));
    ASSERT_EQ(
        0, toolstest::RunProgram("machine", {"pppoe", "winpoet", "--dir", kittest::MachineDir()}).exitCode);
    kitreg::CloseRegistry();
    NewObject();
    EXPECT_EQ(1, GetInfo().device);
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    const Ras ras;
    RASENTRYA entry;
    ASSERT_EQ(0u, ras.Entry(kConexion, entry, 1768));
    EXPECT_STREQ("Ivasion Poet Adapter", entry.szDeviceName);
}

TEST_F(WPoetTest, ANameTooLongForRasIsCaughtAndRefused)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "2"});
    EXPECT_EQ(S_FALSE, Create(std::string(257, 'u'), "clave"));
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", std::string(257, 'p')));
    const Strings log = Log();
    EXPECT_EQ(2, std::count_if(log.begin(), log.end(), [](const std::string &line) {
                  return line.rfind("CWPoet::CreateConnection - Excepción capturada.", 0) == 0;
              }));
    EXPECT_FALSE(Logged(log, "CWPoet::CreateConnection - Se va a hacer Update."));
    EXPECT_TRUE(Ras().EntryNames().empty());
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kXpDefault));
}

TEST_F(WPoetTest, ARasFailureIsLoggedWithItsTextAndTheDefaultIsNotSet)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "2"});
    // A phone book that is not one.
    const std::string pbk = kitpc::PathOf("appdata") + "/Microsoft/Network/Connections/Pbk/rasphone.pbk";
    std::filesystem::create_directories(std::filesystem::path(pbk).parent_path());
    pcfile::Write(pbk, std::string("\0\1\2", 3));
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    const Strings log = Log();
    const auto caught = std::find_if(log.begin(), log.end(), [](const std::string &line) {
        return line.rfind("CWPoet::CreateConnection - Excepción capturada.", 0) == 0;
    });
    ASSERT_NE(log.end(), caught);
    EXPECT_EQ(std::string::npos, caught->find("621")) << *caught; // RAS' own text, not the number
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kXpDefault));
}

TEST_F(WPoetTest, ADialParamsFailureLeavesTheEntryWrittenAndNoDefault)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    // The PC's store of dial parameters cannot be written: a file stands where its folder goes.
    std::filesystem::remove_all(kittest::MachineDir() + "/ras");
    pcfile::Write(kittest::MachineDir() + "/ras", "no es una carpeta");
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    const Strings log = Log();
    EXPECT_TRUE(Logged(log, "CWPoet::CreateConnection - Se va a hacer Update."));
    EXPECT_FALSE(Logged(log, "CWPoet::CreateConnection - UpdateRealizado."));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string &line) {
        return line.rfind("CWPoet::CreateConnection - Excepción capturada. [", 0) == 0;
    }));
    RASENTRYA entry;
    EXPECT_EQ(0u, Ras().Entry(kConexion, entry)); // the properties were written before
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kXpDefault));
}

// --- The EnterNet profile -------------------------------------------------------------------------

TEST_F(WPoetTest, EnterNetGetsItsProfileTheDefaultAndADesktopShortcut)
{
    MakePc({"--os", "98", "--pppoe", "enternet", "--winpoet-selector", "0"});
    const Info info = GetInfo();
    EXPECT_EQ(S_OK, info.hr);
    EXPECT_EQ(1, info.installed);
    EXPECT_EQ(1, info.device);
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    const std::string ini = pcfile::Read(EnterNetIni(), "<missing>");
    EXPECT_NE(
        std::string::npos,
        ini.find(std::string("[") + kConexion + "]\r\nSession=" + kConexion +
                 "\r\nProtocol=PPPOE\r\nConnectionProtocol=5\r\nUserName=usuario@proveedor\r\nContext=\r\n"
                 "Network=\r\nPassword=\r\nTap=\r\nParameters=1\r\nServer=\r\nDialupConnection=\r\n"))
        << ini;
    EXPECT_NE(std::string::npos, ini.find(std::string("DefaultProfile=") + kConexion)) << ini;
    EXPECT_EQ(std::string::npos, ini.find("clave")) << ini;
    EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - Conexión no encontrada."));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CURRENT_USER, "RemoteAccess"));

    // The shortcut, read back through the shell.
    char desktop[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    const std::string lnk = std::string(desktop) + "\\" + kConexion + ".lnk";
    kitcom::ComPtr<IShellLinkA> link;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     link.PutVoid()));
    kitcom::ComPtr<IPersistFile> file;
    ASSERT_EQ(S_OK, link->QueryInterface(IID_IPersistFile, file.PutVoid()));
    WCHAR wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(S_OK, file->Load(wide, STGM_READ));
    const std::string folder =
        kittest::ReadRegString(HKEY_LOCAL_MACHINE, kEnterNetPath, "Path").value_or("?");
    char text[MAX_PATH] = "";
    ASSERT_EQ(S_OK, link->GetPath(text, sizeof text, nullptr, 0));
    EXPECT_EQ(plat::HostPath(folder + "\\EnterNet.exe"), plat::HostPath(text));
    ASSERT_EQ(S_OK, link->GetDescription(text, sizeof text));
    EXPECT_STREQ(kConexion, text);
    int icon = -1;
    ASSERT_EQ(S_OK, link->GetIconLocation(text, sizeof text, &icon));
    EXPECT_EQ(plat::HostPath(folder + "\\resfolderENU.dll"), plat::HostPath(text));
    EXPECT_EQ(0, icon);

    // And through another reader of the format.
    if (GetFileAttributesA("/usr/bin/lnkinfo") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "lnkinfo is not installed (Debian package liblnk-utils)";
    const toolstest::ProgramResult read = toolstest::RunProgram("/usr/bin/lnkinfo", {plat::HostPath(lnk)});
    EXPECT_NE(std::string::npos, read.out.find("EnterNet.exe")) << read.out << read.err;
    EXPECT_NE(std::string::npos, read.out.find(": Conexi\xC3\xB3n ADSL Router")) << read.out; // UTF-8
    EXPECT_NE(std::string::npos, read.out.find("resfolderENU.dll")) << read.out;
}

TEST_F(WPoetTest, EveryEnterNetProfileOfTheSessionIsRewrittenAndTheLastIsTheDefault)
{
    MakePc({"--os", "xp", "--pppoe", "enternet", "--winpoet-selector", "0"});
    pcfile::Write(EnterNetIni(), std::string("[Configuration]\r\nDefaultProfile=Otra\r\n"
                                             "[Perfil 1]\r\nSession=") +
                                     kConexion +
                                     "\r\nUserName=viejo\r\nPassword=secreto\r\n"
                                     "[Otra]\r\nSession=Otra\r\nUserName=ajeno\r\n"
                                     "[Perfil 2]\r\nSession=" +
                                     kConexion +
                                     "\r\nUserName=viejo\r\n[Perfil 3]\r\nSession=conexión adsl router\r\n");
    ASSERT_EQ(S_OK, Create("usuario@proveedor", "clave"));
    const std::string ini = pcfile::Read(EnterNetIni(), "<missing>");
    EXPECT_NE(std::string::npos, ini.find("DefaultProfile=Perfil 2\r\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("UserName=ajeno")) << ini;
    EXPECT_EQ(std::string::npos, ini.find("viejo")) << ini;
    EXPECT_EQ(std::string::npos, ini.find("secreto")) << ini; // the password key is emptied
    EXPECT_EQ(std::string::npos, ini.find(std::string("[") + kConexion + "]")) << ini;
    const Strings log = Log();
    EXPECT_EQ(2, std::count(log.begin(), log.end(),
                            std::string("CWPoet::CreateConnection - Conexión encontrada.")));
}

TEST_F(WPoetTest, EnterNetSectionNamesThatFillTheBufferStopTheProfile)
{
    MakePc({"--os", "98", "--pppoe", "enternet", "--winpoet-selector", "0"});
    std::string many = "[Configuration]\r\nDefaultProfile=\r\n";
    for (int n = 0; n < 120; ++n)
        many += "[Seccion numero " + std::to_string(n) + "]\r\nSession=x\r\n";
    pcfile::Write(EnterNetIni(), many);
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    EXPECT_TRUE(Logged(Log(), "CWPoet::CreateConnection - No caben los nombres de todas las secciones."));
    EXPECT_EQ(many, pcfile::Read(EnterNetIni(), "<missing>"));
}

TEST_F(WPoetTest, AReadOnlyEnterNetIniIsCaughtAndNoShortcutMade)
{
    MakePc({"--os", "98", "--pppoe", "enternet", "--winpoet-selector", "0"});
    ASSERT_TRUE(SetFileAttributesA(EnterNetIni().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(S_FALSE, Create("usuario@proveedor", "clave"));
    const Strings log = Log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string &line) {
        return line.rfind("CWPoet::CreateConnection - Excepción capturada.", 0) == 0;
    }));
    EXPECT_FALSE(Logged(log, "CWPoet::CreateConnection - Se va a crear el acceso directo."));
}

// --- From the command line ------------------------------------------------------------------------

TEST_F(WPoetTest, TheClientProgramAsksMakesAndTheMachineShowsTheEntry)
{
    MakePc({"--os", "xp", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    poet.Reset();
    toolstest::ProgramResult run = toolstest::RunProgram("pppoeclient", {"info"});
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find(kitpc::TerminalText("dispositivo instalado y habilitado: sí")))
        << run.out;
    run = toolstest::RunProgram("pppoeclient", {"create", "usuario@proveedor", "clave"});
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    EXPECT_EQ(2, toolstest::RunProgram("pppoeclient", {"create", "solo-usuario"}).exitCode);

    run = toolstest::RunProgram("machine", {"show", "--dir", kittest::MachineDir()});
    EXPECT_NE(
        std::string::npos,
        run.out.find("RAS devices:\n  PPPoE \"Minipuerto WAN (PPPOE)\"\n  vpn \"Minipuerto WAN (PPTP)\"\n"
                     "  vpn \"Minipuerto WAN (L2TP)\"\n  PPPoE \"WinPoET WAN (PPPOE) Adapter\"\n"))
        << run.out;
    EXPECT_NE(std::string::npos,
              run.out.find(kitpc::TerminalText(
                  "Phone book:\n  \"Conexión ADSL Router\" on PPPoE \"WinPoET WAN (PPPOE) Adapter\", number "
                  "\"\", options 0x3D0D0310, broadband, user \"usuario@proveedor\", password kept\n"
                  "  default Internet connection \"Conexión ADSL Router\"\n")))
        << run.out;

    // Without dial-up networking the client says so.
    ASSERT_EQ(0, toolstest::RunProgram("machine", {"ras", "no", "--dir", kittest::MachineDir()}).exitCode);
    run = toolstest::RunProgram("pppoeclient", {"info"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_NE(std::string::npos, run.out.find(kitpc::TerminalText("acceso telefónico a redes (RAS): no")))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("cliente PPPoE instalado: sin comprobar")) << run.out;
}
