// Deleting what an installation left: a library the process has loaded cannot go now and is
// left to the next start of the NT family; paths are the same file by their short form.
#include "uninstall/Borrado.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

namespace
{
constexpr char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendientes[] = "PendingFileRenameOperations";

// The pending operations of the next start are the PC's: the test puts back what it found.
class Pendientes
{
  public:
    Pendientes() : antes_(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendientes)) {}
    ~Pendientes()
    {
        if (antes_)
            kittest::WriteRegValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendientes, antes_->type,
                                   antes_->data);
        else
        {
            HKEY clave = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &clave) == ERROR_SUCCESS)
            {
                RegDeleteValueA(clave, kPendientes);
                RegCloseKey(clave);
            }
        }
    }
    Pendientes(const Pendientes &) = delete;
    Pendientes &operator=(const Pendientes &) = delete;

    // The files to delete at the next start: the sources of the pairs whose destination is
    // empty, "\??\" and the path, with '\' as separator.
    static std::vector<std::string> ABorrar()
    {
        std::vector<std::string> cadenas;
        if (const auto valor = kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendientes))
        {
            // Empty strings are part of the list: split on every NUL, not at the first pair.
            std::string actual;
            for (const char c : valor->data)
            {
                if (c != '\0')
                    actual += c == '/' ? '\\' : c;
                else
                {
                    cadenas.push_back(actual);
                    actual.clear();
                }
            }
        }
        std::vector<std::string> borrar;
        for (size_t i = 0; i + 1 < cadenas.size(); i += 2)
            if (cadenas[i + 1].empty())
                borrar.push_back(cadenas[i]);
        return borrar;
    }

  private:
    std::optional<kittest::RegValue> antes_;
};

bool Termina(const std::string &texto, const std::string &final)
{
    return texto.size() >= final.size() &&
           lstrcmpiA(texto.substr(texto.size() - final.size()).c_str(), final.c_str()) == 0;
}

// A library of the build, as the installer copies it.
std::string Biblioteca()
{
#ifdef _WIN32
    return kittest::BinDir() + "\\QelComun.dll";
#else
    return kittest::LibDir() + "/QelComun.so";
#endif
}

bool EsNt()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
} // namespace

TEST(Borrado, ALoadedLibraryIsDeletedAtTheNextStartOnTheNtFamily)
{
    if (!EsNt())
        GTEST_SKIP() << "the NT family's pending renames";
    const std::string carpeta = kittest::MachineDir() + "\\Nuv Dax";
    ASSERT_TRUE(CreateDirectoryA(carpeta.c_str(), nullptr));
    const std::string copia = carpeta + "\\QelComun.dll";
    ASSERT_TRUE(CopyFileA(Biblioteca().c_str(), copia.c_str(), FALSE)) << GetLastError();
    const HMODULE modulo = LoadLibraryA(copia.c_str());
    ASSERT_NE(modulo, nullptr) << GetLastError();
    const Pendientes pendientes;
    // Windows deletes no image in use.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(copia.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(BorrarFichero(copia, true));
    EXPECT_NE(GetFileAttributesA(copia.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::vector<std::string> borrar = Pendientes::ABorrar();
    EXPECT_TRUE(std::any_of(borrar.begin(), borrar.end(), [](const std::string &p) {
        return p.starts_with("\\??\\") && Termina(p, "\\Nuv Dax\\QelComun.dll");
    })) << ::testing::PrintToString(borrar);
    FreeLibrary(modulo);
    // Once free it goes at once.
    EXPECT_TRUE(BorrarFichero(copia, true));
    EXPECT_EQ(GetFileAttributesA(copia.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Borrado, AFileThatIsNotThereOrNoFileCountsAsDeleted)
{
    EXPECT_TRUE(BorrarFichero(kittest::MachineDir() + "\\no-such.txt", true));
    EXPECT_TRUE(BorrarFichero(kittest::MachineDir() + "\\no-such\\a.txt", true));
    EXPECT_TRUE(BorrarFichero("", true));
}

TEST(Borrado, PathsAreTheSameFileWithoutRegardToCaseOrTheirShortForm)
{
    const std::string carpeta = kittest::MachineDir() + "\\Carpeta de nombre largo";
    ASSERT_TRUE(CreateDirectoryA(carpeta.c_str(), nullptr));
    const std::string fichero = carpeta + "\\Fichero de nombre largo.txt";
    ASSERT_TRUE(EscribirFichero(fichero, "x", 1));
    std::string mayusculas = fichero;
    std::transform(mayusculas.begin(), mayusculas.end(), mayusculas.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    EXPECT_TRUE(MismaRuta(fichero, mayusculas));
    EXPECT_TRUE(MismaRuta(fichero, RutaCorta(fichero)));
    EXPECT_FALSE(MismaRuta(fichero, carpeta));
    EXPECT_FALSE(MismaRuta(fichero, carpeta + "\\otro.txt"));
}
