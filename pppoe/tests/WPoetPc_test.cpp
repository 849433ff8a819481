// The WPoet object on the PC it runs on, whatever that PC has: registration, the client
// selector and the detection, which must answer what the PC really has (a PC with neither
// WinPoET nor EnterNet: Wine's, or the simulated PC as it starts). The detection on PCs of each
// Windows family with each client is in WPoet_test.cpp (PCs laid out by the machine program).
#include "common/com/BStr.h"
#include "common/com/ComPtr.h"
#include "pppoe/DaxWPoet.h"
#include "testing/kittest.h"
#include "testing/pcfile.h"
#include "testing/registry.h"
#include "testing/regsvr32.h"
#include "testing/tracelog.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Strings = std::vector<std::string>;
constexpr char kClsid[] = "{B11F58F4-9D70-4215-BF3A-382FA41AD668}";
constexpr char kDaxKey[] = "SOFTWARE\\NUV\\DAX";
constexpr char kRemoteAccess[] = "System\\CurrentControlSet\\Services\\RemoteAccess";

std::string TempPath()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return temp;
}

// DaxWPoet registered, a scratch folder as the kit's folder (the current directory, where the
// object reads config.ini), no log and no kit key from an earlier test.
class WPoetPcTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoInitialize(nullptr));
        std::string output;
        ASSERT_EQ(0, kittest::Regsvr32({"/s", "DaxWPoet.dll"}, &output)) << output;
        GetCurrentDirectoryA(sizeof previous_, previous_);
        folder_ = kittest::NewTempDir("kit-dax");
        ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
        DeleteFileA((TempPath() + "DaxWPoet.txt").c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kDaxKey) + "\\ADSL").c_str());
    }
    void TearDown() override
    {
        poet.Reset();
        SetCurrentDirectoryA(previous_);
        DeleteFileA((folder_ + "\\config.ini").c_str());
        RemoveDirectoryA(folder_.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kDaxKey) + "\\ADSL").c_str());
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    // config.ini names "ADSL", whose key holds the selector (1: WinPoET).
    void SelectWinPoet()
    {
        pcfile::Write(folder_ + "\\config.ini", "[General]\r\nRegistro=ADSL\r\n");
        kittest::WriteRegDword(HKEY_LOCAL_MACHINE, std::string(kDaxKey) + "\\ADSL", "WinPoet", 1);
    }
    void NewObject()
    {
        poet.Reset();
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WPoet, nullptr, CLSCTX_ALL, IID_IWPoet, poet.PutVoid()));
    }
    static Strings Log() { return kittest::TempTraceMessages("DaxWPoet.txt"); }
    static bool Logged(const std::string &line)
    {
        const Strings log = Log();
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    kitcom::ComPtr<IWPoet> poet;

  private:
    char previous_[MAX_PATH] = "";
    std::string folder_;
};
} // namespace

TEST_F(WPoetPcTest, RegisteredWithItsProgIdsTypeLibraryAndDualInterface)
{
    NewObject();
    const std::string clsid = kClsid;
    const std::string libid = "{7A83EEC0-F706-4535-9B95-122770F43863}";
    EXPECT_EQ("WPoet Class", kittest::ClassesText("CLSID\\" + clsid));
    EXPECT_EQ(clsid, kittest::ClassesText("DaxWPoet.WPoet\\CLSID"));
    EXPECT_EQ(clsid, kittest::ClassesText("DaxWPoet.WPoet.1\\CLSID"));
    EXPECT_EQ("DaxWPoet.WPoet.1", kittest::ClassesText("DaxWPoet.WPoet\\CurVer"));
    EXPECT_EQ("DaxWPoet.WPoet.1", kittest::ClassesText("CLSID\\" + clsid + "\\ProgID"));
    EXPECT_EQ("DaxWPoet.WPoet", kittest::ClassesText("CLSID\\" + clsid + "\\VersionIndependentProgID"));
    EXPECT_EQ("Apartment", kittest::ClassesText("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel"));
    EXPECT_EQ(libid, kittest::ClassesText("CLSID\\" + clsid + "\\TypeLib"));
    EXPECT_EQ("IWPoet", kittest::ClassesText("Interface\\{C8F49257-54F8-4DD1-A6E1-D27EC632ABC1}"));

    // The dual interface's names and DISPIDs.
    kitcom::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, poet->QueryInterface(IID_IDispatch, dispatch.PutVoid()));
    DISPID ids[2] = {};
    LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("CreateConnection")),
                        const_cast<LPOLESTR>(OLESTR("getinfo"))};
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &names[0], 1, LOCALE_USER_DEFAULT, &ids[0]));
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &names[1], 1, LOCALE_USER_DEFAULT, &ids[1]));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(2, ids[1]);
    poet.Reset();
    CoFreeUnusedLibraries();

    std::string output;
    ASSERT_EQ(0, kittest::Regsvr32({"/s", "/u", "DaxWPoet.dll"}, &output)) << output;
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + clsid));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "DaxWPoet.WPoet"));
}

TEST_F(WPoetPcTest, WithoutTheKitsSettingsEnterNetIsAskedAndThisPcHasNone)
{
    NewObject();
    LONG ras = -1, installed = -1, device = -1;
    EXPECT_EQ(S_OK, poet->GetInfo(&ras, &installed, &device));
    EXPECT_EQ(1, ras); // not looked at for EnterNet
    EXPECT_EQ(0, installed);
    EXPECT_EQ(-1, device); // left as the caller had it
    EXPECT_TRUE(Logged("CWPoet::GetInfo - Enternet no instalado."));
    EXPECT_FALSE(Logged("CWPoet::IsRASInstalled - Comienzo."));
}

TEST_F(WPoetPcTest, WinPoetIsAskedAndThisPcHasNone)
{
    SelectWinPoet();
    NewObject();
    // Dial-up networking is what the PC's registry says it is.
    const bool remoteAccess = kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kRemoteAccess);
    LONG ras = -1, installed = -1, device = -1;
    EXPECT_EQ(S_OK, poet->GetInfo(&ras, &installed, &device));
    EXPECT_TRUE(Logged("CWPoet::IsRASInstalled - Comienzo."));
    if (!remoteAccess)
    {
        EXPECT_EQ(0, ras);
        EXPECT_TRUE(Logged("CWPoet::IsRASInstalled - No se encuentra el servicio Ras."));
        EXPECT_EQ(-1, installed);
        EXPECT_EQ(S_FALSE, poet->CreateConnection(kitcom::BStr("usuario@proveedor").Get(),
                                                  kitcom::BStr("clave").Get()));
        EXPECT_TRUE(Logged("CWPoet::CreateConnection - RAS no instalado."));
        return;
    }
    EXPECT_EQ(1, ras);
    EXPECT_EQ(0, installed);
    EXPECT_TRUE(Logged("CWPoet::GetInfo - WinPoet no instalado."));
    EXPECT_EQ(S_FALSE,
              poet->CreateConnection(kitcom::BStr("usuario@proveedor").Get(), kitcom::BStr("clave").Get()));
}
