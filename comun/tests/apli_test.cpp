// CApli: the application's base services.
#include "comun/Apli.h"
#include "comun/tests/Ficheros.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"

#include <gtest/gtest.h>
#include <string>

using prueba::CApliPrueba;
using prueba::Escribir;

TEST(Apli, BaseAnswers)
{
    CApliPrueba apli;
    EXPECT_EQ(apli.VerLangDef(), 10);
    std::string text = "x";
    EXPECT_EQ(apli.CApli::VerDir(text), S_OK);
    EXPECT_EQ(text, "");
    EXPECT_EQ(apli.LanzarAyuda(3), E_NOTIMPL);
    EXPECT_EQ(apli.DoModalAcercaDe(nullptr), E_NOTIMPL);
    EXPECT_EQ(apli.FijarLangDef("en"), S_OK);
    EXPECT_EQ(apli.VerLangDef(), 10); // no effect in this base
    EXPECT_EQ(apli.VerHKeyUsr(), nullptr);
}

TEST(Apli, SystemKeyOpenedOnceAndKept)
{
    CApliPrueba apli;
    EXPECT_EQ(apli.VerHKeySis(), nullptr); // a bare PC has no such key yet
    kitreg::SetSystemAccess(true);
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
    kitreg::SetSystemAccess(false);
    HKEY key = apli.VerHKeySis();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(apli.VerHKeySis(), key);
    const char value[] = "C:\\Kit";
    EXPECT_EQ(
        RegSetValueExA(key, "KitPrueba", 0, REG_SZ, reinterpret_cast<const BYTE *>(value), sizeof value),
        ERROR_SUCCESS); // opened to set values
    char read[32] = "";
    DWORD size = sizeof read;
    EXPECT_EQ(RegQueryValueExA(key, "KitPrueba", nullptr, nullptr, reinterpret_cast<BYTE *>(read), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(read, value);
}

TEST(Apli, StringsAndImagesOfTheApplication)
{
    const std::string dir = prueba::Carpeta("program_files/Kit");
    Escribir(dir + "/res/apli/cadenas_0a03.ini",
             "[cadenas]\r\nTitulo=Asistente\r\nAviso=Se reiniciará %1 en %2 segundos.\r\nVacia=\r\n");
    Escribir(dir + "/res/apli/cadenas_0901.ini", "[cadenas]\r\nTitulo=Wizard\r\n");
    Escribir(dir + "/res/apli/icono.ico", prueba::Ico({16, 32}, 0x00AA00));
    Escribir(dir + "/res/apli/paleta.pal", "JASC-PAL\r\n0100\r\n2\r\n0 0 0\r\n255 255 255\r\n");
    CApliPrueba apli(dir);

    std::string text;
    EXPECT_EQ(apli.BuscarFichRes("cadenas.ini", 0x0409, text), S_OK);
    EXPECT_EQ(text, dir + "\\res\\apli\\cadenas_0901.ini");
    EXPECT_EQ(apli.VerCadena("Titulo", text, 0x0409), S_OK);
    EXPECT_EQ(text, "Wizard");
    EXPECT_EQ(apli.VerCadena("Titulo", text, 0), S_OK); // the default language
    EXPECT_EQ(text, "Asistente");
    EXPECT_EQ(apli.VerCadena("Vacia", text, 0), E_FAIL);
    EXPECT_EQ(apli.VerCadena("Falta", text, 0), E_FAIL);

    EXPECT_EQ(apli.VerMensaje("Aviso", &text, "el equipo", "10"), S_OK);
    EXPECT_EQ(text, "Se reiniciará el equipo en 10 segundos.");
    EXPECT_EQ(apli.VerMensaje("Aviso", nullptr, "a", "b"), E_INVALIDARG);
    EXPECT_EQ(apli.VerMensaje("Falta", &text), E_FAIL);

    HICON icon = nullptr;
    EXPECT_EQ(apli.CargarIconoGrande(icon), S_OK);
    EXPECT_NE(icon, nullptr);
    DestroyIcon(icon);
    EXPECT_EQ(apli.CargarIconoPequeno(icon), S_OK);
    DestroyIcon(icon);
    HPALETTE palette = nullptr;
    EXPECT_EQ(apli.CargarPaleta(palette), S_OK);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 2u);
    DeleteObject(palette);

    // An application without resources.
    CApliPrueba empty(prueba::Carpeta("vacia"));
    EXPECT_EQ(empty.CargarIconoGrande(icon), E_FAIL);
    EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(empty.CargarPaleta(palette), E_FAIL);
    EXPECT_EQ(palette, nullptr);
    EXPECT_EQ(empty.VerCadena("Titulo", text, 0), E_FAIL);
}

TEST(Apli, HelpFiles)
{
    const std::string dir = prueba::Carpeta("program_files/Kit");
    CApliPrueba apli(dir);
    std::string path;
    EXPECT_EQ(apli.BuscarFichAyuda("asistente.hlp", 0x0C0A, path), S_OK); // need not exist
    EXPECT_EQ(path, dir + "\\res\\apli\\ayuda\\asistente.hlp");

    const std::string kit = prueba::Carpeta("program_files/Archivos de programa/Kit");
    HMODULE module = LoadLibraryA(prueba::CopiarBiblioteca("QelPrueba.so", kit).c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(apli.BuscarFichAyuda("asistente.hlp", 0, path, module), S_OK);
    EXPECT_EQ(path, kit + "\\res\\apli\\ayuda\\asistente.hlp");
    FreeLibrary(module);
    EXPECT_EQ(apli.BuscarFichAyuda("a.hlp", 0, path, reinterpret_cast<HMODULE>(0x1234)),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(path, "");
    EXPECT_EQ(apli.BuscarFichAyuda(nullptr, 0, path), E_INVALIDARG);
}
