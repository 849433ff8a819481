// Uninstal on PCs the kit's installer set up: the checks and questions before anything
// changes, the counters of shared libraries, the registry put back, the folders, the deferred
// deletions done by the next start, and the round trip install + uninstall + restart.
#include "platform/kit/kitconsole.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace
{
namespace fs = std::filesystem;
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kFabricante[] = "Software\\Nuv\\Dax";
constexpr char kConfirmar[] = "[Mensaje]\nTítulo=Atención\nTexto=¿Desea desinstalar\nRespuesta=";
constexpr char kReiniciar[] = "[Mensaje]\nTexto=La desinstalación ha terminado.\nRespuesta=";
constexpr char kNoDesinstalado[] = "[Mensaje]\nTexto=Kit ADSL no se ha desinstalado\nRespuesta=Aceptar\n";

class Desinstalar : public ::testing::Test
{
  protected:
    void TearDown() override { unsetenv("KIT_ANSWERS"); }

    void Pc(const char *os)
    {
        std::string salida;
        ASSERT_EQ(kittest::Run("machine", {"create", "--os", os, "--force"}, &salida), 0) << salida;
    }
    void Instalar()
    {
        std::string salida;
        ASSERT_EQ(kittest::Run("install", {}, &salida), 0) << salida;
    }
    static std::string Programas()
    {
        return kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                      "ProgramFilesDir")
            .value_or("?");
    }
    static std::string Carpeta() { return Programas() + "\\Nuv\\Dax\\KitADSL"; }
    static std::string Compartida() { return Programas() + "\\Nuv\\Dax"; }
    static std::string Host(const std::string &ruta)
    {
        std::string host = ruta;
        for (char &c : host)
            if (c == '\\')
                c = '/';
        return host;
    }
    // Uninstal run as its shortcut runs it, its boxes answered by the script; what it showed.
    int Correr(const std::string &guion, std::string &salida)
    {
        const std::string respuestas = kittest::MachineDir() + "/respuestas.ini";
        kittest::WriteHostFile(respuestas, guion);
        setenv("KIT_ANSWERS", respuestas.c_str(), 1);
        std::string utf8;
        const int rc = kittest::Run(Host(Carpeta()) + "/Uninstal", {}, &utf8);
        salida = kitpc::PcText(utf8);
        return rc;
    }
    static bool Dice(const std::string &salida, const std::string &trozo)
    {
        return salida.find(trozo) != std::string::npos;
    }
    static std::optional<DWORD> Contador(const std::string &dll)
    {
        return kittest::ReadRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, dll.c_str());
    }
    static void Contar(const std::string &dll, DWORD cuenta)
    {
        kittest::WriteRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, dll.c_str(), cuenta);
    }
    // Records added to the installer's log, as a test lays out what it undoes.
    static void AlLog(const std::string &lineas)
    {
        const std::string log = Host(Carpeta()) + "/Install.log";
        kittest::WriteHostFile(log, kittest::ReadHostFile(log) + lineas);
    }
    static bool Existe(const std::string &ruta) { return fs::exists(Host(ruta)); }
    static std::string Registro()
    {
        const std::string fichero = kittest::MachineDir() + "/registro.reg";
        EXPECT_EQ(kittest::Run("regedit", {"/e", fichero}), 0);
        return kittest::ReadHostFile(fichero);
    }
    // What is not the PC's files: its temporary folder, the registry, the platform's own locks and
    // objects, the records of what happened to it, and what Windows 98 keeps of a Wininit.ini.
    static bool Ajeno(const std::string &relativa)
    {
        for (const char *prefijo : {"temp", "registry", "objects", "."})
            if (relativa.starts_with(prefijo))
                return true;
        for (const char *nombre :
             {"power.log", "registro.reg", "respuestas.ini", "routes.lock", "windows/Wininit.bak"})
            if (relativa == nombre)
                return true;
        return false;
    }
    // The PC's own files.
    static std::set<std::string> Ficheros()
    {
        std::set<std::string> ficheros;
        const fs::path raiz = kittest::MachineDir();
        for (const auto &entrada : fs::recursive_directory_iterator(raiz))
        {
            const std::string relativa = fs::relative(entrada.path(), raiz).string();
            if (Ajeno(relativa))
                continue;
            ficheros.insert(relativa);
        }
        return ficheros;
    }
};

std::string Diferencia(const std::string &antes, const std::string &despues)
{
    std::istringstream a(antes), b(despues);
    std::set<std::string> la, lb;
    for (std::string l; std::getline(a, l);)
        la.insert(l);
    for (std::string l; std::getline(b, l);)
        lb.insert(l);
    std::string diferencia;
    for (const std::string &l : la)
        if (!lb.count(l))
            diferencia += "- " + l + "\n";
    for (const std::string &l : lb)
        if (!la.count(l))
            diferencia += "+ " + l + "\n";
    return diferencia;
}
} // namespace

TEST_F(Desinstalar, InstallThenUninstallThenRestartLeavesThePcAsItWas)
{
    for (const char *os : {"xp", "98"})
    {
        SCOPED_TRACE(os);
        Pc(os);
        const std::string registroAntes = Registro();
        const std::set<std::string> ficherosAntes = Ficheros();
        Instalar();
        std::string salida;
        EXPECT_EQ(Correr(std::string(kConfirmar) + "Aceptar\n" + kReiniciar + "No\n", salida), 0) << salida;
        for (const char *linea : {"   · Anulando el registro de los componentes...",
                                  "   · Eliminando archivos...", "   · Eliminando entradas del Registro..."})
            EXPECT_TRUE(Dice(salida, linea)) << linea << "\n" << salida;
        // The clean-up program it carries, written out byte for byte.
        EXPECT_EQ(kittest::ReadHostFile(kittest::MachineDir() + "/temp/xdesvom.exe"),
                  kittest::ReadHostFile(kittest::BinDir() + "/xdesvom"));
        // The uninstaller cannot go while it runs: it waits for the next start.
        EXPECT_TRUE(Existe(Carpeta() + "\\Uninstal"));
        std::string arranque;
        EXPECT_EQ(kittest::Run("machine", {"reboot"}, &arranque), 0) << arranque;
        // The maker's key stays, as the maker's other products may come; nothing else is left.
        EXPECT_EQ(Diferencia(registroAntes, Registro()),
                  "+ [HKEY_LOCAL_MACHINE\\Software\\Nuv\\Dax]\r\n+ [HKEY_LOCAL_MACHINE\\Software\\Nuv]\r\n")
            << salida << arranque;
        std::set<std::string> ficheros = Ficheros();
        std::string sobran, faltan;
        for (const std::string &f : ficheros)
            if (!ficherosAntes.count(f))
                sobran += f + "\n";
        for (const std::string &f : ficherosAntes)
            if (!ficheros.count(f))
                faltan += f + "\n";
        EXPECT_EQ(sobran, "") << arranque;
        EXPECT_EQ(faltan, "");
    }
}

// The cases that differ by Windows family: an NT one and a 9x one.
class EnCadaFamilia : public Desinstalar, public ::testing::WithParamInterface<const char *>
{
};
INSTANTIATE_TEST_SUITE_P(Desinstalar, EnCadaFamilia, ::testing::Values("xp", "98"),
                         [](const auto &info) { return std::string("Windows") + info.param; });

TEST_P(EnCadaFamilia, SharedLibrariesCountDownAndGoWithTheirLastUserOnly)
{
    Pc(GetParam());
    Instalar();
    // Another product of the maker: the shared components stay theirs.
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, std::string(kFabricante) + "\\OtroProducto", "DirPrincipal",
                            "x");
    const std::string modem = Compartida() + "\\DaxModem.dll", mfc = Compartida() + "\\QelMFC.dll";
    const std::string otro = Compartida() + "\\Otro";
    fs::create_directories(Host(otro));
    kittest::WriteHostFile(Host(otro) + "/datos.txt", "del otro producto");
    ASSERT_EQ(Contador(modem), 1u);
    Contar(modem, 3);
    std::string salida;
    EXPECT_EQ(Correr(std::string(kConfirmar) + "Aceptar\n" + kReiniciar + "No\n", salida), 0) << salida;
    EXPECT_EQ(Contador(modem), 2u);
    EXPECT_TRUE(Existe(modem));
    // Still registered: the other product's objects are still made from it.
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "DaxModem.SetZyxelConfig"));
    EXPECT_FALSE(Contador(mfc).has_value());
    EXPECT_FALSE(Existe(mfc));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(kFabricante) + "\\OtroProducto"));
    // The folders the kit made hold the other product's files: the next start leaves them.
    std::string arranque;
    EXPECT_EQ(kittest::Run("machine", {"reboot"}, &arranque), 0) << arranque;
    EXPECT_TRUE(Existe(otro + "\\datos.txt")) << arranque;
    EXPECT_TRUE(Existe(modem));
    EXPECT_FALSE(Existe(Carpeta()));
}

TEST_F(Desinstalar, TheRegistryIsPutBackAndFoldersGoLastMadeFirst)
{
    Pc("98");
    Instalar();
    const std::string cuarenta = "0123456789abcdefghijABCDEFGHIJ0123456789";
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Prueba", "Largo", "nuevo");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Prueba", "Numero", "nuevo");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, "Software\\PruebaNueva", "Solo", "del kit");
    const std::string a = Programas() + "\\A", b = a + "\\B";
    fs::create_directories(Host(b));
    AlLog(
        "RegDB Key: Software\\Prueba\r\nRegDB Name: Largo\r\nRegDB Type: 0\r\nRegDB Root: 2\r\nRegDB Old: " +
        cuarenta +
        "\r\n"
        "RegDB Key: Software\\Prueba\r\nRegDB Name: Numero\r\nRegDB Type: 3\r\nRegDB Root: 2\r\nRegDB Old: "
        "7\r\n"
        "RegDB Key: Software\\PruebaNueva\r\nRegDB Name: Solo\r\nRegDB Root: 2\r\nRegDB Old: \r\n"
        "Made Dir: " +
        a + "\r\nMade Dir: " + b + "\r\n");
    std::string salida;
    EXPECT_EQ(Correr(std::string(kConfirmar) + "Aceptar\n" + kReiniciar + "No\n", salida), 0) << salida;
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Prueba", "Largo"), cuarenta);
    EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, "Software\\Prueba", "Numero"), 7u);
    // A value that was not there goes, and its key with it once empty.
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\PruebaNueva"));
    EXPECT_FALSE(Existe(a));
    // The maker's key stays; the product's is gone.
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kFabricante));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(kFabricante) + "\\KitADSL"));
}

TEST_P(EnCadaFamilia, NothingChangesWhenTheProductRunsOrTheUserCancels)
{
    Pc(GetParam());
    Instalar();
    const std::string registro = Registro();
    const std::set<std::string> ficheros = Ficheros();
    std::string salida;
    {
        // The product holds its mutex, in another process than the uninstaller.
        const HANDLE mutex = CreateMutexA(nullptr, TRUE, "QelAsistMutex");
        ASSERT_NE(mutex, nullptr);
        EXPECT_EQ(Correr("[Mensaje]\nTexto=La aplicación se está ejecutando.\nRespuesta=Aceptar\n" +
                             std::string(kNoDesinstalado),
                         salida),
                  0)
            << salida;
        EXPECT_TRUE(Dice(salida, "(error; Aceptar): La aplicación se está ejecutando.")) << salida;
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    EXPECT_EQ(Correr(std::string(kConfirmar) + "Cancelar\n" + kNoDesinstalado, salida), 0) << salida;
    EXPECT_EQ(Diferencia(registro, Registro()), "");
    EXPECT_EQ(Ficheros(), ficheros);
}

TEST_P(EnCadaFamilia, AFileInUseDefersTheWholeUninstallToTheNextLogon)
{
    Pc(GetParam());
    Instalar();
    const std::string registro = Registro();
    const std::set<std::string> ficheros = Ficheros();
    const std::string pregunta =
        "[Mensaje]\nTexto=Algunos archivos de la aplicación están en uso.\nRespuesta=";
    // Another program has one of the copied files open.
    const HANDLE abierto = CreateFileA((Carpeta() + "\\643.cfg").c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(abierto, INVALID_HANDLE_VALUE);
    std::string salida;
    EXPECT_EQ(
        Correr(std::string(kConfirmar) + "Aceptar\n" + pregunta + "Cancelar\n" + kNoDesinstalado, salida), 0)
        << salida;
    EXPECT_EQ(Diferencia(registro, Registro()), "");
    // No: the uninstaller runs again at the next logon; nothing else changes.
    EXPECT_EQ(Correr(std::string(kConfirmar) + "Aceptar\n" + pregunta + "No\n", salida), 0) << salida;
    const std::string unins = kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "QelAsist_Unins").value_or("");
    EXPECT_TRUE(unins.ends_with("Uninstal")) << unins;
    EXPECT_EQ(Diferencia(registro, Registro()), "+ \"QelAsist_Unins\"=\"" + unins + "\"\r\n");
    EXPECT_EQ(Ficheros(), ficheros);
    // Yes: the servers are unregistered now and the user is logged off.
    EXPECT_EQ(Correr(std::string(kConfirmar) + "Aceptar\n" + pregunta + "Sí\n", salida), 0) << salida;
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "DaxModem.SetZyxelConfig"));
    // The NT family logs the user off; 9x restarts.
    EXPECT_TRUE(Dice(kittest::ReadHostFile(kittest::MachineDir() + "/power.log"),
                     std::string_view(GetParam()) == "98" ? "reboot" : "logoff"));
    CloseHandle(abierto);
}

TEST_F(Desinstalar, ABadLogUndoesOnlyWhatItNamesAndNeverARootKey)
{
    Pc("xp");
    Instalar();
    const std::string otros = Programas() + "\\Otros";
    fs::create_directories(Host(otros));
    for (const char *f : {"guardar.txt", "cr1.txt", "cr2.txt"})
        kittest::WriteHostFile(Host(otros) + "/" + f, "x");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Prueba", "FueraDeRango", "sigue");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Prueba", "TipoRaro", "sigue");
    AlLog("Made Dir: " + std::string(2 << 20, 'x') + "\r\nText Color: (" +
          std::string(2 << 20, '9') + // megabytes
          ")\r\n" + "File Copy: " + otros + "\\guardar.txt" + std::string(1, '\0') +
          "-no\r\n" +                                                                // a NUL in it
          "File Copy: " + otros + "\\cr1.txt\rFile Copy: " + otros + "\\cr2.txt\r" + // CR-only ends
          "RegDB Key: Software\\Cortado\r\nRegDB Na\r\n" +                           // cut in half
          "RegDB Key: Software\\Prueba\r\nRegDB Name: FueraDeRango\r\nRegDB Root: 9\r\nRegDB Old: \r\n" +
          "RegDB Key: Software\\Prueba\r\nRegDB Name: TipoRaro\r\nRegDB Type: 17\r\nRegDB Root: 2\r\n"
          "RegDB Old: otro\r\n" +
          "RegDB Kill: HKEY_LOCAL_MACHINE\\SOFTWARE\r\nRegDB Kill: HKEY_LOCAL_MACHINE\\\r\n"
          "RegDB Kill: HKEY_LOCAL_MACHINE\\Software\\Microsoft\r\nRegDB Kill: "
          "HKEY_CURRENT_USER\\\\Software\\\r\n"
          "RegDB Kill: HKEY_LOCAL_MACHINE\\Software\\Nuv\r\nRegDB Kill: HKLM\\Software\\Prueba\r\n");
    std::string salida;
    EXPECT_EQ(Correr(std::string(kConfirmar) + "Aceptar\n" + kReiniciar + "No\n", salida), 0) << salida;
    EXPECT_FALSE(Dice(salida, "no se ha desinstalado")) << salida;
    EXPECT_TRUE(Existe(otros + "\\guardar.txt"));
    EXPECT_FALSE(Existe(otros + "\\cr1.txt"));
    EXPECT_FALSE(Existe(otros + "\\cr2.txt"));
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Prueba", "FueraDeRango"), "sigue");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Prueba", "TipoRaro"), "sigue");
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kFabricante));
}

TEST_F(Desinstalar, AStringFileItCannotReadStillEndsCleanlyChangingNothing)
{
    Pc("xp");
    Instalar();
    // The Spanish file saved as UTF-16, as an editor may leave it.
    const std::string uns = Host(Carpeta()) + "/UNS_0a00.ini";
    const std::string texto = kittest::ReadHostFile(uns);
    std::string utf16 = "\xFF\xFE";
    for (const char c : texto)
        utf16 += std::string{c, '\0'};
    kittest::WriteHostFile(uns, utf16);
    const std::set<std::string> ficheros = Ficheros();
    std::string salida;
    EXPECT_EQ(Correr("[Mensaje]\nRespuesta=Cancelar\n[Mensaje]\nRespuesta=Aceptar\n", salida), 0) << salida;
    EXPECT_EQ(Ficheros(), ficheros);
}
