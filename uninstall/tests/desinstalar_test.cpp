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
