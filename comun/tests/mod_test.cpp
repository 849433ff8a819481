// CMod: modules by handle, path and class, their string table, images and exports.
#include "comun/Mod.h"
#include "comun/tests/Ficheros.h"
#include "platform/kit/kitmachine.h"
#include "testing/kittest.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

using prueba::Escribir;

namespace
{
// A copy of the test module in "Archivos de programa\Kit", with its resource folder.
struct ModuloKit
{
    ModuloKit()
    {
        dir = prueba::Carpeta("program_files/Archivos de programa/Kit");
        path = prueba::CopiarBiblioteca("QelPrueba.so", dir);
        res = dir + "/res/QelPrueba";
        Escribir(res + "/cadenas_0a03.ini", "[cadenas]\r\n"
                                            "Titulo=Configuración ADSL\r\n"
                                            "Vacia=\r\n"
                                            "Error=No se puede abrir %1 (%2).\r\n");
        Escribir(res + "/cadenas_0903.ini", "[cadenas]\r\nTitulo=ADSL set-up\r\n");
    }
    std::string dir, path, res;
};

const CLSID kClaseKit = {0x0A1B2C3D, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
} // namespace

TEST(Mod, OpenByPathWithStringTable)
{
    ModuloKit kit;
    prueba::CApliPrueba apli;
    CMod mod(&apli);
    ASSERT_EQ(mod.Open(kit.path.c_str()), S_OK);
    EXPECT_TRUE(mod.IsOpen());
    EXPECT_NE(mod.VerHMODULE(), nullptr);
    std::string text;
    EXPECT_EQ(mod.VerFich(text), S_OK);
    EXPECT_EQ(text, kit.path);
    EXPECT_EQ(mod.VerDir(text), S_OK);
    EXPECT_EQ(text, kit.dir);
    EXPECT_EQ(mod.VerLangDef(), 10);

    // The table of the application's language (Spanish, any sublanguage).
    EXPECT_EQ(mod.VerCadena("Titulo", text), S_OK);
    EXPECT_EQ(text, "Configuración ADSL");
    EXPECT_EQ(mod.VerCadena("Vacia", text), E_FAIL);
    EXPECT_EQ(mod.VerCadena("NoEsta", text), E_FAIL);
    EXPECT_EQ(mod.VerCadena(101u, text), E_NOTIMPL);

    EXPECT_EQ(mod.VerMensaje("Error", &text, "config.dat", "acceso denegado"), S_OK);
    EXPECT_EQ(text, "No se puede abrir config.dat (acceso denegado).");
    EXPECT_EQ(mod.VerMensaje("Error", nullptr, "a", "b"), E_INVALIDARG);
    EXPECT_EQ(mod.VerMensaje("NoEsta", &text), E_FAIL);
    EXPECT_EQ(text, "");
    EXPECT_EQ(mod.VerMensaje(101u, &text), E_NOTIMPL);

    EXPECT_EQ(mod.Close(), S_OK);
    EXPECT_EQ(mod.Close(), S_FALSE);
}

TEST(Mod, ExportsForAHost)
{
    ModuloKit kit;
    CMod mod;
    ASSERT_EQ(mod.Open(kit.path.c_str()), S_OK);
    LONG id = -1;
    EXPECT_EQ(mod.GetIDOfName(OLESTR("asistente"), 0, id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(mod.GetIDOfName(OLESTR("ASISTENTE"), 0, id), S_OK);
    EXPECT_EQ(mod.GetIDOfName(OLESTR("asistente "), 0, id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(mod.GetIDOfName(OLESTR(""), 0, id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(mod.GetIDOfName(nullptr, 0, id), DISP_E_UNKNOWNNAME);

    LPCOLESTR args[] = {OLESTR("abc"), OLESTR("de")};
    VARIANT result;
    VariantInit(&result);
    UINT argErr = 0;
    EXPECT_EQ(mod.Invoke(1, 0, 3, 2, args, &result, nullptr, &argErr), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 3 * 1000 + 2 * 100 + 3); // every argument arrived
    EXPECT_EQ(argErr, 7u);
    EXPECT_EQ(mod.Invoke(2, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);

    DLLVERSIONINFO version{};
    version.cbSize = sizeof version;
    EXPECT_EQ(mod.DllGetVersion(version), S_OK);
    EXPECT_EQ(version.dwMajorVersion, 1u);
    EXPECT_EQ(version.dwBuildNumber, 3u);

    FARPROC proc = nullptr;
    EXPECT_EQ(mod.GetProcAddress("Invoke", proc), S_OK);
    EXPECT_NE(proc, nullptr);
    EXPECT_EQ(mod.GetProcAddress("NoExiste", proc), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(proc, nullptr);

    // A module without those exports: the look-up's error.
    CMod comun;
    ASSERT_EQ(comun.Open((kittest::LibDir() + "/QelComun.so").c_str()), S_OK);
    EXPECT_EQ(comun.GetIDOfName(OLESTR("asistente"), 0, id), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(comun.Invoke(1, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
              HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(comun.DllGetVersion(version), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    std::string text;
    EXPECT_EQ(comun.VerCadena("Titulo", text), E_FAIL); // no string table: still open
    EXPECT_TRUE(comun.IsOpen());
}

TEST(Mod, OpenByHandleAndByClass)
{
    ModuloKit kit;
    HMODULE handle = LoadLibraryA(kit.path.c_str());
    ASSERT_NE(handle, nullptr);
    {
        CMod mod;
        ASSERT_EQ(mod.Open(handle), S_OK);
        EXPECT_EQ(mod.VerHMODULE(), handle);
        std::string text;
        EXPECT_EQ(mod.VerCadena("Titulo", text), S_OK); // no application: the user's language
        EXPECT_EQ(text, "Configuración ADSL");
        EXPECT_EQ(mod.Close(), S_OK);
    }
    char name[MAX_PATH];
    EXPECT_GT(GetModuleFileNameA(handle, name, sizeof name), 0u); // not freed: it was not the object's
    EXPECT_TRUE(FreeLibrary(handle));

    CMod program;
    ASSERT_EQ(program.Open(static_cast<HMODULE>(nullptr)), S_OK);
    EXPECT_EQ(program.VerHMODULE(), GetModuleHandleA(nullptr));
    EXPECT_EQ(program.Open(reinterpret_cast<HMODULE>(0x1234)), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(program.IsOpen());

    // By class: HKCR\CLSID\{...}\InprocServer32.
    CMod byClass;
    EXPECT_EQ(byClass.Open(kClaseKit), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT,
                              "CLSID\\{0A1B2C3D-1111-2222-3333-444455556666}\\InprocServer32", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(kit.path.c_str()),
                   static_cast<DWORD>(kit.path.size() + 1));
    ASSERT_EQ(byClass.Open(kClaseKit), S_OK);
    std::string text;
    EXPECT_EQ(byClass.VerFich(text), S_OK);
    EXPECT_EQ(text, kit.path);
    // A path longer than the 260 characters the registry value may hold.
    const std::string tooLong(300, 'x');
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(tooLong.c_str()),
                   static_cast<DWORD>(tooLong.size() + 1));
    EXPECT_EQ(byClass.Open(kClaseKit), HRESULT_FROM_WIN32(ERROR_MORE_DATA));
    RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE *>("\1\0\0\0"), 4);
    EXPECT_EQ(byClass.Open(kClaseKit), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    RegCloseKey(key);
}

TEST(Mod, ImagesFromTheResourceFolder)
{
    ModuloKit kit;
    Escribir(kit.res + "/app.ico", prueba::Ico({16, 32}, 0x123456));
    Escribir(kit.res + "/logo.bmp", prueba::Bmp(4, 2, 0xFF0000));
    Escribir(kit.res + "/logo-125.bmp", prueba::Bmp(5, 3, 0x00FF00));
    Escribir(kit.res + "/solo.bmp", prueba::Bmp(6, 1, 0x0000FF));
    CMod mod;
    ASSERT_EQ(mod.Open(kit.path.c_str()), S_OK);
    auto width = [](HBITMAP bitmap) {
        BITMAP bm{};
        GetObjectA(bitmap, sizeof bm, &bm);
        DeleteObject(bitmap);
        return bm.bmWidth;
    };
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(mod.CargarBitmap("logo.bmp", 0, 0, bitmap), S_OK);
    EXPECT_EQ(width(bitmap), 4);
    ASSERT_TRUE(kitpc::SetIdentityValue("Display", "LogPixelsX", "120")); // large fonts
    EXPECT_EQ(mod.CargarBitmap("logo.bmp", 0, 0, bitmap), S_OK);
    EXPECT_EQ(width(bitmap), 5); // the -125 variant
    EXPECT_EQ(mod.CargarBitmap("solo.bmp", 0, 0, bitmap), S_OK);
    EXPECT_EQ(width(bitmap), 6); // no variant: the file itself
    EXPECT_EQ(mod.CargarBitmap("falta.bmp", 0, 0, bitmap), E_FAIL);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(mod.CargarBitmap("", 0, 0, bitmap), E_INVALIDARG);

    HICON icon = nullptr;
    EXPECT_EQ(mod.CargarIconoPequeno("app.ico", icon), S_OK);
    EXPECT_NE(icon, nullptr);
    DestroyIcon(icon);
    EXPECT_EQ(mod.CargarIconoGrande("app.ico", icon), S_OK);
    DestroyIcon(icon);
    HCURSOR cursor = nullptr;
    EXPECT_EQ(mod.CargarCursor("falta.cur", 32, 32, cursor), E_FAIL);
    // The kit's libraries carry no Windows resources.
    EXPECT_EQ(mod.CargarIcono(101u, 32, 32, icon), HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(mod.CargarCursor(101u, cursor), HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(Mod, BadArgumentsAndClosedObjects)
{
    CMod mod;
    std::string text = "x";
    EXPECT_EQ(mod.Open(""), E_INVALIDARG);
    EXPECT_EQ(mod.Open(static_cast<LPCSTR>(nullptr)), E_INVALIDARG);
    EXPECT_EQ(mod.Open("NoExiste.dll"), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(mod.IsOpen());
    EXPECT_EQ(mod.Close(), S_FALSE);
    EXPECT_EQ(mod.VerHMODULE(), nullptr);
    EXPECT_EQ(mod.VerFich(text), E_FAIL);
    EXPECT_EQ(text, "");
    EXPECT_EQ(mod.VerDir(text), E_FAIL);
    EXPECT_EQ(mod.VerCadena("Titulo", text), E_FAIL);
    EXPECT_EQ(mod.VerMensaje("Titulo", &text), E_FAIL);
    EXPECT_EQ(mod.BuscarFichRes("cadenas.ini", 0, text), E_FAIL);
    EXPECT_EQ(mod.VerLangDef(), 0);
    EXPECT_EQ(mod.FijarLangDef("es"), E_FAIL); // no application
    HICON icon = reinterpret_cast<HICON>(0x1);
    EXPECT_EQ(mod.CargarIcono(101u, 32, 32, icon), E_FAIL);
    EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(mod.CargarIconoGrande("app.ico", icon), E_FAIL);
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(mod.CargarBitmap("logo.bmp", 0, 0, bitmap), E_FAIL);
    FARPROC proc = nullptr;
    EXPECT_EQ(mod.GetProcAddress("Invoke", proc), E_FAIL);
    LONG id = 5;
    EXPECT_EQ(mod.GetIDOfName(OLESTR("asistente"), 0, id), E_FAIL);
    EXPECT_EQ(mod.Invoke(1, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), E_FAIL);
    DLLVERSIONINFO version{};
    EXPECT_EQ(mod.DllGetVersion(version), E_FAIL);

    prueba::CApliPrueba apli;
    CMod owned(&apli);
    EXPECT_EQ(owned.FijarLangDef("es"), S_OK);
}
