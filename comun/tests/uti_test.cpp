// CUti: bringing a window to the front, and the diagnostic texts of Windows values.
#include "comun/FileMap.h"
#include "comun/Uti.h"
#include "platform/kit/kitwindow.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace
{
HWND Window(const std::string &text, bool visible, bool iconic, HWND owner = nullptr)
{
    kitwin::WindowDesc desc;
    desc.text = text;
    desc.visible = visible;
    desc.iconic = iconic;
    desc.owner = owner;
    return kitwin::CreateWindowRecord(desc);
}
} // namespace

// Bringing a window to the front ---------------------------------------------------------------------

TEST(UtiActivarVentana, RestoresAndBringsForward)
{
    HWND sheet = Window("Asistente", false, true);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(CUti::ActivarVentana(sheet), S_OK);
    EXPECT_TRUE(IsWindowVisible(sheet));
    EXPECT_FALSE(IsIconic(sheet));
    EXPECT_EQ(GetForegroundWindow(), sheet);

    // With a message box open, the box comes to the front.
    HWND box = Window("Aviso", true, false, sheet);
    ASSERT_TRUE(SetForegroundWindow(box));
    HWND other = Window("Otro programa", true, false);
    ASSERT_TRUE(SetForegroundWindow(other));
    ShowWindow(sheet, SW_MINIMIZE);
    EXPECT_EQ(CUti::ActivarVentana(sheet), S_OK);
    EXPECT_FALSE(IsIconic(sheet));
    EXPECT_EQ(GetForegroundWindow(), box);

    // Windows refuses the foreground.
    kitwin::SetForegroundLocked(true);
    EXPECT_EQ(CUti::ActivarVentana(sheet), E_FAIL);
    kitwin::SetForegroundLocked(false);

    EXPECT_EQ(CUti::ActivarVentana(nullptr), E_INVALIDARG);
    DestroyWindow(sheet);
    EXPECT_EQ(CUti::ActivarVentana(sheet), E_INVALIDARG);
    DestroyWindow(other);
}

TEST(UtiActivarVentana, TheFirstWizardOfAnotherProcess)
{
    kittest::Child first("comun_child", {"asistente", "QelAsistPrueba", "Configuración ADSL"});
    const std::string handle = first.ReadLine();
    ASSERT_FALSE(handle.empty());

    // The second start finds the first one's window through the shared block, as the wizard does.
    CFileMap block;
    ASSERT_EQ(block.Open("QelAsistPrueba", 4), S_OK);
    DWORD value = 0;
    std::memcpy(&value, block.VerPFileMap(), sizeof value);
    EXPECT_EQ(std::to_string(value), handle);
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(
        CUti::VerTextoHWND(window), "{HWND: 0x" + [&] {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%08X", value);
            return std::string(hex);
        }() + ", \"Configuración ADSL\"}");
    EXPECT_EQ(CUti::ActivarVentana(window), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);

    // When the first program ends, its window goes with it.
    first.Kill();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CUti::ActivarVentana(window), E_INVALIDARG);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

// Diagnostic texts -----------------------------------------------------------------------------------

TEST(UtiTextos, Booleans)
{
    EXPECT_EQ(CUti::VerTextoBOOL(0), "falso");
    EXPECT_EQ(CUti::VerTextoBOOL(1), "cierto");
    EXPECT_EQ(CUti::VerTextoBOOL(2), "cierto(0x2)");
    EXPECT_EQ(CUti::VerTextoBOOL(-1), "cierto(0xFFFFFFFF)");
}

TEST(UtiTextos, RegistryRoots)
{
    EXPECT_EQ(CUti::VerTextoHKEY(HKEY_CLASSES_ROOT), "HKEY_CLASSES_ROOT");
    EXPECT_EQ(CUti::VerTextoHKEY(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(CUti::VerTextoHKEY(HKEY_CURRENT_CONFIG), "HKEY_CURRENT_CONFIG");
    EXPECT_EQ(CUti::VerTextoHKEY(HKEY_DYN_DATA), "HKEY_DYN_DATA");
    EXPECT_EQ(CUti::VerTextoHKEY(reinterpret_cast<HKEY>(0x80000007)), "HKEY(0x80000007)");
    EXPECT_EQ(CUti::VerTextoHKEY(nullptr), "HKEY(0x00000000)");
}

TEST(UtiTextos, SpecialFolders)
{
    EXPECT_EQ(CUti::VerTextoCSIDL(0x0000), "CSIDL_DESKTOP");
    EXPECT_EQ(CUti::VerTextoCSIDL(0x0022), "CSIDL_HISTORY");
    EXPECT_EQ(CUti::VerTextoCSIDL(0x0019), "CSIDL_COMMON_DESKTOPDIRECTORY");
    EXPECT_EQ(CUti::VerTextoCSIDL(0x0026), "CSIDL_PROGRAM_FILES");
    EXPECT_EQ(CUti::VerTextoCSIDL(0x000c), "CSIDL(0x0000000C)");
    EXPECT_EQ(CUti::VerTextoCSIDL(0x8002), "CSIDL(0x00008002)");
}

TEST(UtiTextos, Interfaces)
{
    EXPECT_EQ(CUti::VerTextoIID(IID_IUnknown), "IID_IUnknown");
    EXPECT_EQ(CUti::VerTextoIID(IID_IDispatch), "IID_IDispatch");
    EXPECT_EQ(CUti::VerTextoIID(IID_IConnectionPointContainer), "IID_IConnectionPointContainer");
    EXPECT_EQ(CUti::VerTextoIID(IID_IRunnableObject), "IID_IRunnableObject");
    const IID shellUiHelper = {0x729FE2F8, 0x1EA8, 0x11D1, {0x8F, 0x85, 0x00, 0xC0, 0x4F, 0xC2, 0xFB, 0xE1}};
    EXPECT_EQ(CUti::VerTextoIID(shellUiHelper), "IID_IShellUIHelper");
    // The kit's own interfaces and the system objects it drives.
    const IID routerParam = {0x86C05C6F, 0x6370, 0x11D6, {0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46}};
    EXPECT_EQ(CUti::VerTextoIID(routerParam), "IID_IRouterParam");
    const IID setTcpipEvents = {0xF714B406, 0x636C, 0x11D6, {0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46}};
    EXPECT_EQ(CUti::VerTextoIID(setTcpipEvents), "DIID__ISetTcpipConfig2Events");
    const IID netCfg = {0xC0E8AE93, 0x306E, 0x11D1, {0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
    EXPECT_EQ(CUti::VerTextoIID(netCfg), "IID_INetCfg");
    const IID unknown = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(CUti::VerTextoIID(unknown), "{12345678-9ABC-DEF0-0102-030405060708}");
    EXPECT_EQ(CUti::VerTextoCLSID(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}"); // never by name
}

TEST(UtiTextos, Languages)
{
    EXPECT_EQ(CUti::VerTextoLANGID(0x0C0A), "SUBLANG_SPANISH_MODERN");
    EXPECT_EQ(CUti::VerTextoLANGID(0x040A), "SUBLANG_SPANISH");
    EXPECT_EQ(CUti::VerTextoLANGID(0x0409), "SUBLANG_ENGLISH_US");
    EXPECT_EQ(CUti::VerTextoLANGID(0x0403), "SUBLANG_CATALAN_CATALAN");
    EXPECT_EQ(CUti::VerTextoLANGID(0x0000), "SUBLANG_NEUTRAL");
    EXPECT_EQ(CUti::VerTextoLANGID(0x0400), "SUBLANG_DEFAULT");
    EXPECT_EQ(CUti::VerTextoLANGID(0x0800), "SUBLANG_SYS_DEFAULT");
    EXPECT_EQ(CUti::VerTextoLANGID(0x7C0A), "LANG_SPANISH(0x00007C0A)");
    EXPECT_EQ(CUti::VerTextoLANGID(0x0C00), "LANG_NEUTRAL(0x00000C00)");
    EXPECT_EQ(CUti::VerTextoLANGID(0x0401), "LANGID(0x00000401)");
}

TEST(UtiTextos, Results)
{
    EXPECT_EQ(CUti::VerTextoHRESULT(S_OK), "S_OK");
    EXPECT_EQ(CUti::VerTextoHRESULT(S_FALSE), "S_FALSE");
    EXPECT_EQ(CUti::VerTextoHRESULT(E_FAIL), "E_FAIL");
    EXPECT_EQ(CUti::VerTextoHRESULT(E_INVALIDARG), "E_INVALIDARG");
    EXPECT_EQ(CUti::VerTextoHRESULT(DISP_E_UNKNOWNNAME), "DISP_E_UNKNOWNNAME");
    EXPECT_EQ(CUti::VerTextoHRESULT(static_cast<HRESULT>(0x80030002)), "STG_E_FILENOTFOUND");
    EXPECT_EQ(CUti::VerTextoHRESULT(static_cast<HRESULT>(0x00030200)), "STG_S_CONVERTED");
    EXPECT_EQ(CUti::VerTextoHRESULT(REGDB_E_CLASSNOTREG), "REGDB_E_CLASSNOTREG");
    EXPECT_EQ(CUti::VerTextoHRESULT(CONNECT_E_CANNOTCONNECT), "CONNECT_E_CANNOTCONNECT");
    EXPECT_EQ(CUti::VerTextoHRESULT(OLE_E_NOTRUNNING), "OLE_E_NOTRUNNING");
    EXPECT_EQ(CUti::VerTextoHRESULT(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
              "HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)");
    EXPECT_EQ(CUti::VerTextoHRESULT(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)),
              "HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)");
    EXPECT_EQ(CUti::VerTextoHRESULT(HRESULT_FROM_WIN32(10060)), "HRESULT_FROM_WIN32(WSAETIMEDOUT)");
    EXPECT_EQ(CUti::VerTextoHRESULT(HRESULT_FROM_WIN32(12002)), "HRESULT_FROM_WIN32(ERROR_INTERNET_TIMEOUT)");
    EXPECT_EQ(CUti::VerTextoHRESULT(static_cast<HRESULT>(0x8007FFFF)), "HRESULT(0x8007FFFF)");
    EXPECT_EQ(CUti::VerTextoHRESULT(static_cast<HRESULT>(0x00070002)),
              "HRESULT(0x00070002)"); // not a failure
    EXPECT_EQ(CUti::VerTextoHRESULT(static_cast<HRESULT>(0x12345678)), "HRESULT(0x12345678)");
}

TEST(UtiTextos, WindowMessages)
{
    EXPECT_EQ(CUti::VerTextoWM(0x0401), "WM_USER(0x401)");
    EXPECT_EQ(CUti::VerTextoWM(WM_USER), "WM_USER(0x400)");
    EXPECT_EQ(CUti::VerTextoWM(0x7FFF), "WM_USER(0x7FFF)");
    EXPECT_EQ(CUti::VerTextoWM(WM_APP + 5), "WM_APP(0x8005)");
    EXPECT_EQ(CUti::VerTextoWM(0xC123), "WM(RegisterWindowMessage,0xC123)");
    EXPECT_EQ(CUti::VerTextoWM(WM_TIMER), "WM_TIMER");
    EXPECT_EQ(CUti::VerTextoWM(WM_COMMAND), "WM_COMMAND");
    EXPECT_EQ(CUti::VerTextoWM(WM_QUIT), "WM_QUIT");
    EXPECT_EQ(CUti::VerTextoWM(WM_NULL), "WM_NULL");
    EXPECT_EQ(CUti::VerTextoWM(0x0110), "WM_INITDIALOG");
    EXPECT_EQ(CUti::VerTextoWM(0x0004), "WM(0x00000004)");
    EXPECT_EQ(CUti::VerTextoWM(0x10000), "WM(0x00010000)");
}

TEST(UtiTextos, Windows)
{
    kitwin::WindowDesc desc;
    desc.text = std::string(70, 'v');
    HWND window = kitwin::CreateWindowRecord(desc);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    EXPECT_EQ(CUti::VerTextoHWND(window),
              "{HWND: 0x" + std::string(hex) + ", \"" + std::string(64, 'v') + "\"}");
    DestroyWindow(window);
    EXPECT_EQ(CUti::VerTextoHWND(window), "{HWND: 0x" + std::string(hex) + ", \"\"}");
    EXPECT_EQ(CUti::VerTextoHWND(nullptr), "{HWND: 0x00000000, \"\"}");
}

TEST(UtiTextos, Variants)
{
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_EMPTY}");
    v.vt = VT_I4;
    v.lVal = -12;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_I4, -12}");
    v.vt = VT_I2;
    v.iVal = 7;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_I2, 7}");
    v.vt = VT_R8;
    v.dblVal = 2.5;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_R8, 2.500000}");
    v.vt = VT_R4;
    v.fltVal = 0.25f;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_R4, 0.250000}");
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_BOOL, -1}");
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(OLESTR("Conexión"));
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_BSTR, \"Conexión\"}");
    VariantClear(&v);
    v.vt = VT_BSTR;
    v.bstrVal = nullptr;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_BSTR, \"\"}");
    VARIANT inner;
    VariantInit(&inner);
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = &inner;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_BYREF|VT_VARIANT}");
    v.vt = VT_ARRAY | VT_I4;
    v.parray = nullptr;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_ARRAY|VT_I4}");
    v.vt = VT_DISPATCH;
    v.pdispVal = nullptr;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT_DISPATCH}");
    v.vt = 0x7F;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT(0x7F)}");
    v.vt = VT_RESERVED | VT_I4;
    EXPECT_EQ(CUti::VerTextoVARIANT(v), "{VT(0x8003)}");
}

TEST(UtiTextos, Dates)
{
    EXPECT_EQ(CUti::VerTextoFecha(0.0), "{Sat 30/12/1899 00:00:00}");
    EXPECT_EQ(CUti::VerTextoFecha(37257.5), "{Tue 01/01/2002 12:00:00}");
    EXPECT_EQ(CUti::VerTextoFecha(37256.999999), "{Tue 01/01/2002 00:00:00}"); // rounded to the second
    EXPECT_EQ(CUti::VerTextoFecha(-1.25), "{Fri 29/12/1899 06:00:00}");        // the time counts forwards
    EXPECT_EQ(CUti::VerTextoFecha(2958465.0), "{Fri 31/12/9999 00:00:00}");
    EXPECT_EQ(CUti::VerTextoFecha(3e9), "{(COleDateTime::invalid), }");
    EXPECT_EQ(CUti::VerTextoFecha(0.0, CUti::fechaInvalida), "{(COleDateTime::invalid), }");
    EXPECT_EQ(CUti::VerTextoFecha(0.0, CUti::fechaNula), "{(COleDateTime::null), }");
}
