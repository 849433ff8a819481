// The kit's application and module objects.
#include "outside/qelapli/ApliKIT.h"
#include "testing/kittest.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace
{
std::string Canonica(const std::string &path)
{
    return std::filesystem::weakly_canonical(path).string();
}
} // namespace

TEST(ApliKIT, DescribesTheKitAndLivesInTheProgramsFolder)
{
    CApliKIT apli;
    std::string texto;
    EXPECT_EQ(S_OK, apli.VerNombre(texto));
    EXPECT_EQ("KIT", texto);
    EXPECT_EQ(S_OK, apli.VerVersion(texto));
    EXPECT_EQ("1.0", texto);
    EXPECT_EQ(S_OK, apli.VerClaveRegistro(texto));
    EXPECT_EQ("SOFTWARE\\NUV\\DAX", texto);
    ASSERT_EQ(S_OK, apli.VerDir(texto));
    EXPECT_EQ(Canonica(kittest::BinDir()), Canonica(texto));
    EXPECT_EQ(10, apli.VerLangDef());
}

TEST(ModKIT, IsTheModuleOfTheCodeThatMakesIt)
{
    CModKIT mod;
    ASSERT_TRUE(mod.IsOpen());
    EXPECT_EQ(GetModuleHandleA(nullptr), mod.VerHMODULE());
    std::string dir;
    ASSERT_EQ(S_OK, mod.VerDir(dir));
    EXPECT_EQ(Canonica(kittest::BinDir()), Canonica(dir));
    // Bound to the kit's application: its default language.
    EXPECT_EQ(10, mod.VerLangDef());

    auto *enMonton = new CModKIT;
    EXPECT_EQ(GetModuleHandleA(nullptr), enMonton->VerHMODULE());
    delete enMonton;
}

TEST(ModKIT, InALibraryIsThatLibrary)
{
    const std::string path = kittest::LibDir() + "/qelapli_modulo.so";
    HMODULE lib = LoadLibraryA(path.c_str());
    ASSERT_NE(nullptr, lib) << GetLastError();
    using VerFichero = HRESULT (*)(char *, DWORD);
    auto ver =
        reinterpret_cast<VerFichero>(reinterpret_cast<void (*)()>(GetProcAddress(lib, "VerFicheroModulo")));
    ASSERT_NE(nullptr, ver);
    char fichero[MAX_PATH] = "";
    EXPECT_EQ(S_OK, ver(fichero, sizeof fichero));
    EXPECT_EQ(Canonica(path), Canonica(fichero));
    FreeLibrary(lib);
}
