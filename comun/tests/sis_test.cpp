// CSis: resource files by language, module files, images and palettes, the Windows version, the
// display, the browser and the end of the session.
#include "comun/Sis.h"
#include "comun/tests/Ficheros.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitwindow.h"
#include "testing/NullDispatch.h"
#include "testing/kittest.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using prueba::Carpeta;
using prueba::Escribir;

namespace
{
// A folder holding exactly these files (names ending in '/' are folders).
std::string FolderWith(const std::vector<std::string> &names)
{
    static int count = 0;
    const std::string folder = Carpeta("res" + std::to_string(++count));
    for (const std::string &name : names)
        if (name.back() == '/')
            std::filesystem::create_directories(folder + "/" + name);
        else
            Escribir(folder + "/" + name, "[cadenas]\r\n");
    return folder;
}
} // namespace

TEST(SisBuscarFichRes, LanguageSearchOrder)
{
    struct Case
    {
        const char *what;
        std::vector<std::string> files;
        WORD lang, langDef;
        const char *found; // nullptr: nothing
    };
    const Case cases[] = {
        {"same primary language", {"cadenas_0a0a.ini", "cadenas_0903.ini"}, 0x0C0A, 0, "cadenas_0a0a.ini"},
        {"English before others", {"cadenas_0903.ini", "cadenas_1003.ini"}, 0x0C0A, 0, "cadenas_0903.ini"},
        {"exact first",
         {"cadenas_0a0a.ini", "cadenas_0a03.ini", "cadenas.ini"},
         0x0C0A,
         0,
         "cadenas_0a03.ini"},
        {"neutral", {"cadenas_0000.ini", "cadenas.ini", "cadenas_0903.ini"}, 0x0C0A, 0, "cadenas_0000.ini"},
        {"plain", {"cadenas.ini", "cadenas_0903.ini", "cadenas_1003.ini"}, 0x0C0A, 0, "cadenas.ini"},
        {"any language", {"cadenas_1003.ini", "otro_0a03.ini"}, 0x0C0A, 0, "cadenas_1003.ini"},
        {"nothing", {"otro.ini", "cadenas_0a03.txt"}, 0x0C0A, 0, nullptr},
        {"default language", {"cadenas_0901.ini", "cadenas_0a03.ini"}, 0, 0x0409, "cadenas_0901.ini"},
        {"language over default",
         {"cadenas_0901.ini", "cadenas_0a03.ini"},
         0x0C0A,
         0x0409,
         "cadenas_0a03.ini"},
        {"user's language", {"cadenas_0901.ini", "cadenas_0a03.ini"}, 0, 0, "cadenas_0a03.ini"},
        {"folders are not files",
         {"cadenas_0a03.ini/", "cadenas_0a01.ini/", "cadenas_0a02.ini"},
         0x0C0A,
         0,
         "cadenas_0a02.ini"},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string folder = FolderWith(c.files);
        std::string path = "sin tocar";
        const HRESULT hr = CSis::BuscarFichRes(folder.c_str(), "cadenas.ini", c.lang, c.langDef, path);
        if (c.found)
        {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(path, folder + "\\" + c.found);
        }
        else
        {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_EQ(path, "");
        }
    }
}

TEST(SisBuscarFichRes, NamesAndArguments)
{
    const std::string folder = FolderWith({"LEEME_0a03", ".perfil_0a03", "Logo_0A03.BMP"});
    std::string path;
    EXPECT_EQ(CSis::BuscarFichRes(folder.c_str(), "LEEME", 0x0C0A, 0, path), S_OK); // no extension
    EXPECT_EQ(path, folder + "\\LEEME_0a03");
    EXPECT_EQ(CSis::BuscarFichRes(folder.c_str(), ".perfil", 0x0C0A, 0, path), S_OK); // a leading dot
    EXPECT_EQ(path, folder + "\\.perfil_0a03");
    EXPECT_EQ(CSis::BuscarFichRes(folder.c_str(), "logo.bmp", 0x0C0A, 0, path), S_OK); // names without case
    EXPECT_EQ(CSis::BuscarFichRes(folder.c_str(), "logo.bmp", 0x040A, 0, path), S_OK);
    EXPECT_EQ(path, folder + "\\Logo_0A03.BMP"); // as the folder lists it

    path = "x";
    EXPECT_EQ(CSis::BuscarFichRes(folder.c_str(), "", 0x0C0A, 0, path), E_INVALIDARG);
    EXPECT_EQ(path, "");
    EXPECT_EQ(CSis::BuscarFichRes(folder.c_str(), static_cast<LPCSTR>(nullptr), 0x0C0A, 0, path),
              E_INVALIDARG);
    // A wildcard would find files that are no variant of the name: refused, no path made up.
    for (const char *wild : {"*.bmp", "LEEM?", "*"})
    {
        path = "x";
        EXPECT_EQ(CSis::BuscarFichRes(folder.c_str(), wild, 0x0C0A, 0, path), E_INVALIDARG) << wild;
        EXPECT_EQ(path, "") << wild;
    }

    // An empty folder is the current one.
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    EXPECT_EQ(CSis::BuscarFichRes("", "LEEME", 0x0C0A, 0, path), S_OK);
    EXPECT_EQ(path, ".\\LEEME_0a03");

    // The user's language comes from the PC.
    ASSERT_TRUE(kitpc::SetIdentityValue("Locale", "UserLangID", "0x0409"));
    const std::string both = FolderWith({"cadenas_0901.ini", "cadenas_0a03.ini"});
    EXPECT_EQ(CSis::BuscarFichRes(both.c_str(), "cadenas.ini", 0, 0, path), S_OK);
    EXPECT_EQ(path, both + "\\cadenas_0901.ini");
}

TEST(SisModulo, FilesAndFoldersOfAModule)
{
    const std::string kit = Carpeta("program_files/Archivos de programa/Kit");
    const std::string copy = prueba::CopiarBiblioteca("QelPrueba.so", kit);
    HMODULE module = LoadLibraryA(copy.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();

    std::string text;
    EXPECT_EQ(CSis::VerFichModuloLargo(module, text), S_OK);
    EXPECT_EQ(text, copy);
    EXPECT_EQ(CSis::VerFichModulo(module, text), S_OK); // short names are the long ones here
    EXPECT_EQ(text, copy);
    EXPECT_EQ(CSis::VerDirModulo(module, text), S_OK);
    EXPECT_EQ(text, kit); // without a trailing separator
    EXPECT_EQ(CSis::VerDirModuloLargo(module, text), S_OK);
    EXPECT_EQ(text, kit);

    // The module's resource folder: <folder>\res\<name without extension>.
    Escribir(kit + "/res/QelPrueba/cadenas_0a03.ini", "[cadenas]\r\n");
    EXPECT_EQ(CSis::BuscarFichRes(module, "cadenas.ini", 0x0C0A, 0, text), S_OK);
    EXPECT_EQ(text, kit + "\\res\\QelPrueba\\cadenas_0a03.ini");

    // The program: its folder, and "<folder>\res".
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    EXPECT_EQ(CSis::VerDirModulo(nullptr, text), S_OK);
    EXPECT_EQ(text, std::filesystem::path(self).parent_path().string());
    EXPECT_EQ(CSis::BuscarFichRes(static_cast<HMODULE>(nullptr), "no-existe.ini", 0x0C0A, 0, text), E_FAIL);
    FreeLibrary(module);

    // Not a module: empty text and the error.
    text = "x";
    EXPECT_EQ(CSis::VerFichModulo(reinterpret_cast<HMODULE>(0x1234), text),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(text, "");
    EXPECT_EQ(CSis::VerDirModulo(reinterpret_cast<HMODULE>(0x1234), text),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(text, "");
    EXPECT_EQ(CSis::BuscarFichRes(reinterpret_cast<HMODULE>(0x1234), "a.ini", 0, 0, text),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
}

TEST(SisVersion, FlagsOfEveryWindows)
{
    struct Case
    {
        kitpc::WindowsFamily family;
        DWORD flags;
    };
    const Case cases[] = {
        {kitpc::WindowsFamily::Win95, 0x0003},   {kitpc::WindowsFamily::Win98, 0x0011},
        {kitpc::WindowsFamily::Win98SE, 0x0031}, {kitpc::WindowsFamily::WinMe, 0x0041},
        {kitpc::WindowsFamily::NT4, 0x9000},     {kitpc::WindowsFamily::Win2000, 0xB000},
        {kitpc::WindowsFamily::XP, 0xD000},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(kitpc::FamilyName(c.family));
        kitpc::MachineOptions options;
        options.os = c.family;
        ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
        DWORD flags = 0xdead;
        EXPECT_EQ(CSis::VerVersionSO(flags), S_OK);
        EXPECT_EQ(flags, c.flags);
    }
    // NT 4.0 before Service Pack 6 refuses the extended structure: the basic one serves.
    kitpc::MachineOptions nt4;
    nt4.os = kitpc::WindowsFamily::NT4;
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), nt4));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "ServicePackMajor", "3"));
    DWORD flags = 0;
    EXPECT_EQ(CSis::VerVersionSO(flags), S_OK);
    EXPECT_EQ(flags, 0x9000u);
    // Versions the table does not name.
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "MajorVersion", "6"));
    EXPECT_EQ(CSis::VerVersionSO(flags), S_OK);
    EXPECT_EQ(flags, 0x1000u);
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "1"));
    EXPECT_EQ(CSis::VerVersionSO(flags), S_OK);
    EXPECT_EQ(flags, 0x0001u);
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "0"));
    EXPECT_EQ(CSis::VerVersionSO(flags), S_OK);
    EXPECT_EQ(flags, 0u);
}

TEST(SisPantalla, LargeFonts)
{
    BOOL large = TRUE;
    EXPECT_EQ(CSis::HayFuentesGrandes(large), S_OK);
    EXPECT_FALSE(large);
    ASSERT_TRUE(kitpc::SetIdentityValue("Display", "LogPixelsX", "120"));
    EXPECT_EQ(CSis::HayFuentesGrandes(large), S_OK);
    EXPECT_TRUE(large);
}

TEST(SisNavegador, RegisteredProgramForHtm)
{
    BOOL browser = TRUE;
    EXPECT_EQ(CSis::HayNavegador(browser), S_OK);
    EXPECT_FALSE(browser); // a bare PC has no file types

    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("htmlfile"), 9);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char command[] = "\"C:\\Archivos de programa\\Internet Explorer\\IEXPLORE.EXE\" -nohome";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(command), sizeof command);
    RegCloseKey(key);
    EXPECT_EQ(CSis::HayNavegador(browser), S_OK);
    EXPECT_TRUE(browser);
    // The look-up leaves nothing behind.
    EXPECT_TRUE(std::filesystem::is_empty(kittest::MachineDir() + "/temp"));
}

TEST(SisSesion, RestartAndLogOffAreRecorded)
{
    for (auto family : {kitpc::WindowsFamily::XP, kitpc::WindowsFamily::Win98})
    {
        SCOPED_TRACE(kitpc::FamilyName(family));
        kitpc::MachineOptions options;
        options.os = family;
        ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
        std::filesystem::remove(kitpc::PathOf("power.log"));
        EXPECT_EQ(CSis::ReiniciarEquipo(), S_OK);
        EXPECT_EQ(CSis::CerrarSesion(), S_OK);
        const std::string log = kittest::ReadHostFile(kitpc::PathOf("power.log"), "");
        const size_t reboot = log.find(" reboot flags=0x00000002 ");
        const size_t logoff = log.find(" logoff flags=0x00000000 ");
        EXPECT_NE(reboot, std::string::npos) << log;
        EXPECT_NE(logoff, std::string::npos) << log;
        EXPECT_LT(reboot, logoff);
    }
    // The request cannot be recorded: the error comes back.
    std::filesystem::remove(kitpc::PathOf("power.log"));
    std::filesystem::create_directories(kitpc::PathOf("power.log"));
    const HRESULT hr = CSis::ReiniciarEquipo();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
}

TEST(SisImagenes, IconsCursorsAndBitmapsFromFiles)
{
    const std::string ico = Escribir(Carpeta("img") + "/app.ico", prueba::Ico({16, 32}, 0x336699));
    auto lado = [](HICON icon) {
        ICONINFO info{};
        EXPECT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectA(info.hbmColor, sizeof bm, &bm);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return bm.bmWidth;
    };
    HICON icon = nullptr;
    EXPECT_EQ(CSis::CargarIconoGrande(ico.c_str(), icon), S_OK);
    EXPECT_EQ(lado(icon), 32);
    DestroyIcon(icon);
    EXPECT_EQ(CSis::CargarIconoPequeno(ico.c_str(), icon), S_OK);
    EXPECT_EQ(lado(icon), 16);
    DestroyIcon(icon);
    EXPECT_EQ(CSis::CargarIcono(ico.c_str(), 24, 24, icon), S_OK);
    EXPECT_EQ(lado(icon), 24);
    DestroyIcon(icon);

    const std::string cur = Escribir(Carpeta("img") + "/mano.cur", prueba::Ico({32}, 0, true));
    HCURSOR cursor = nullptr;
    EXPECT_EQ(CSis::CargarCursor(cur.c_str(), 32, 32, cursor), S_OK);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 1u);
    EXPECT_EQ(info.yHotspot, 2u);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyCursor(cursor);

    const std::string bmp = Escribir(Carpeta("img") + "/logo.bmp", prueba::Bmp(4, 2, 0xFF8000));
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(CSis::CargarBitmap(bmp.c_str(), 8, 8, bitmap), S_OK);
    DIBSECTION ds{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof ds, &ds), static_cast<int>(sizeof ds)); // a DIB section
    EXPECT_EQ(ds.dsBm.bmWidth, 4);                                              // at its own size
    EXPECT_EQ(ds.dsBm.bmHeight, 2);

    HPALETTE palette = nullptr;
    EXPECT_EQ(CSis::CrearPaletaLogica(bitmap, palette), S_OK);
    PALETTEENTRY entries[4] = {};
    EXPECT_EQ(GetPaletteEntries(palette, 0, 4, entries), 1u);
    EXPECT_EQ(entries[0].peRed, 0xFF);
    EXPECT_EQ(entries[0].peGreen, 0x80);
    EXPECT_EQ(entries[0].peBlue, 0x00);
    DeleteObject(palette);
    DeleteObject(bitmap);
    EXPECT_EQ(CSis::CrearPaletaLogica(nullptr, palette), E_INVALIDARG);
    EXPECT_EQ(palette, nullptr);

    // Failures: a null handle and the error.
    icon = reinterpret_cast<HICON>(0x1);
    EXPECT_EQ(CSis::CargarIconoGrande((Carpeta("img") + "/no.ico").c_str(), icon),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(CSis::CargarBitmap(ico.c_str(), 0, 0, bitmap), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_EQ(bitmap, nullptr);
}

TEST(SisPaleta, JascPalFiles)
{
    struct Case
    {
        const char *what;
        std::string file;
        HRESULT hr;
        std::vector<PALETTEENTRY> colors;
    };
    const std::vector<Case> cases = {
        {"three colours",
         "JASC-PAL\r\n0100\r\n3\r\n255 0 0\r\n0 255 0\r\n0 0 255\r\n",
         S_OK,
         {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}}},
        {"header without case, no last break",
         "jasc-pal\n0100\n2\n1 2 3\n4 5 6",
         S_OK,
         {{1, 2, 3, 0}, {4, 5, 6, 0}}},
        {"fewer lines than announced",
         "JASC-PAL\n0100\n16\n10 20 30\n40 50 60\n",
         S_OK,
         {{10, 20, 30, 0}, {40, 50, 60, 0}}},
        {"more lines than announced", "JASC-PAL\n0100\n1\n10 20 30\n40 50 60\n", S_OK, {{10, 20, 30, 0}}},
        {"comments and extra fields",
         "JASC-PAL\n# hecho a mano\n0100\n2\n1 2 3 extra\n# otro\n7 8 9 \n",
         S_OK,
         {{1, 2, 3, 0}, {7, 8, 9, 0}}},
        {"wrong header", "JASC-PAX\n0100\n1\n1 2 3\n", E_FAIL, {}},
        {"header not first", "\nJASC-PAL\n0100\n1\n1 2 3\n", E_FAIL, {}},
        {"empty file", "", E_FAIL, {}},
        {"header only", "JASC-PAL\n", E_FAIL, {}},
        {"no count", "JASC-PAL\n0100\n", E_FAIL, {}},
        {"count zero", "JASC-PAL\n0100\n0\n1 2 3\n", E_FAIL, {}},
        {"negative count", "JASC-PAL\n0100\n-5\n1 2 3\n", E_FAIL, {}},
        {"count not a number", "JASC-PAL\n0100\nmuchos\n1 2 3\n", E_FAIL, {}},
        {"count too large", "JASC-PAL\n0100\n70000\n1 2 3\n", E_FAIL, {}},
        {"count beyond 32 bits", "JASC-PAL\n0100\n99999999999999999999\n1 2 3\n", E_FAIL, {}},
        {"no colour lines", "JASC-PAL\n0100\n4\n", E_FAIL, {}},
        {"two fields", "JASC-PAL\n0100\n1\n255 0\n", E_FAIL, {}},
        {"component above 255", "JASC-PAL\n0100\n1\n256 0 0\n", E_FAIL, {}},
        {"negative component", "JASC-PAL\n0100\n1\n0 -1 0\n", E_FAIL, {}},
        {"not numbers", "JASC-PAL\n0100\n1\nrojo verde azul\n", E_FAIL, {}},
        {"double blanks", "JASC-PAL\n0100\n1\n1  2 3\n", E_FAIL, {}},
        {"long line, colours before the cut",
         "JASC-PAL\n0100\n1\n7 8 9 " + std::string(3000, 'z') + "\n",
         S_OK,
         {{7, 8, 9, 0}}},
        {"blue cut by the line buffer",
         "JASC-PAL\n0100\n1\n7 8 " + std::string(3000, '9') + "\n",
         E_FAIL,
         {}},
        {"header cut by the line buffer",
         "JASC-PAL" + std::string(3000, 'x') + "\n0100\n1\n1 2 3\n",
         E_FAIL,
         {}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string path = Escribir(Carpeta("pal") + "/paleta.pal", c.file);
        HPALETTE palette = reinterpret_cast<HPALETTE>(0x1);
        EXPECT_EQ(CSis::CargarPaletaLogica(path.c_str(), palette), c.hr);
        if (FAILED(c.hr))
        {
            EXPECT_EQ(palette, nullptr);
            continue;
        }
        ASSERT_NE(palette, nullptr);
        std::vector<PALETTEENTRY> colors(GetPaletteEntries(palette, 0, 0, nullptr));
        GetPaletteEntries(palette, 0, static_cast<UINT>(colors.size()), colors.data());
        ASSERT_EQ(colors.size(), c.colors.size());
        for (size_t i = 0; i < colors.size(); ++i)
        {
            EXPECT_EQ(colors[i].peRed, c.colors[i].peRed);
            EXPECT_EQ(colors[i].peGreen, c.colors[i].peGreen);
            EXPECT_EQ(colors[i].peBlue, c.colors[i].peBlue);
            EXPECT_EQ(colors[i].peFlags, 0);
        }
        DeleteObject(palette);
    }
    HPALETTE palette = nullptr;
    EXPECT_EQ(CSis::CargarPaletaLogica((Carpeta("pal") + "/no.pal").c_str(), palette), E_FAIL);
    EXPECT_EQ(CSis::CargarPaletaLogica(nullptr, palette), E_INVALIDARG);
}

TEST(SisTextos, GuidTexts)
{
    std::string text;
    EXPECT_EQ(CSis::VerTextoIID(IID_IDispatch, text), S_OK);
    EXPECT_EQ(text, "{00020400-0000-0000-C000-000000000046}");
    const GUID guid = {0x86C05C70, 0x6370, 0x11D6, {0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46}};
    EXPECT_EQ(CSis::VerTextoCLSID(guid, text), S_OK);
    EXPECT_EQ(text, "{86C05C70-6370-11D6-9BEC-00C04F1F2D46}");
    EXPECT_EQ(CSis::VerTextoGUID(GUID_NULL, text), S_OK);
    EXPECT_EQ(text, "{00000000-0000-0000-0000-000000000000}");
}

TEST(SisDispatch, ControlOfAWindow)
{
    kittest::NullDispatch control;
    kitwin::WindowDesc desc;
    desc.control = &control;
    HWND host = kitwin::CreateWindowRecord(desc);
    HWND plain = kitwin::CreateWindowRecord(kitwin::WindowDesc{});
    IDispatch *dispatch = reinterpret_cast<IDispatch *>(0x1);
    EXPECT_EQ(CSis::ObtenerDispatch(host, dispatch), S_OK);
    EXPECT_EQ(dispatch, static_cast<IDispatch *>(&control));
    dispatch->Release();
    EXPECT_EQ(CSis::ObtenerDispatch(plain, dispatch), E_INVALIDARG);
    EXPECT_EQ(dispatch, nullptr);
    EXPECT_EQ(CSis::ObtenerDispatch(nullptr, dispatch), E_INVALIDARG);
    DestroyWindow(host);
    DestroyWindow(plain);
    EXPECT_EQ(CSis::ObtenerDispatch(host, dispatch), E_INVALIDARG);
    EXPECT_EQ(control.refs, 1u);
}
