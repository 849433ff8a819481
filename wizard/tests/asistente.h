// The wizard under test: installed in a folder of its own, run by its host QelExec on a script,
// on a simulated PC with the kit's components registered. Shared by the wizard's page tests.
#pragma once

#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "testing/caminos.h"
#include "testing/kittest.h"
#include "testing/servers.h"
#include "testing/tracelog.h"
#include "testing/wizard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace asistentetest
{
namespace fs = std::filesystem;
using namespace caminos;

inline constexpr char kClave[] = "SOFTWARE\\NUV\\DAX\\KitADSL";

// A wizard installed in a folder of its own: the library, its settings and its pictures.
class Asistente : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        carpeta = kittest::NewTempDir("asistente");
        kittest::InstallWizard(carpeta);
        EscribirConfig(kConfig);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(carpeta, ec);
        unsetenv("KIT_ANSWERS");
        unsetenv("KIT_LIB");
    }
    void EscribirConfig(const std::string &bytes) { Escribir(carpeta + "/Config.ini", bytes); }
    static void Escribir(const std::string &fichero, const std::string &bytes)
    {
        std::ofstream(fichero, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Respuestas(const std::string &texto)
    {
        const std::string fichero = carpeta + "/respuestas-" + std::to_string(++respuestas) + ".ini";
        Escribir(fichero, texto);
        return fichero;
    }
    // Runs the host on a script, with more of its options when given; `salida` is what it
    // printed, in Windows 1252.
    int Correr(const std::string &guion, std::string &salida, const std::vector<std::string> &opciones = {})
    {
        std::vector<std::string> args = {"--dir", carpeta, "--unattended", Respuestas(guion)};
        args.insert(args.end(), opciones.begin(), opciones.end());
        std::string utf8;
        const int rc = kittest::Run("QelExec", args, &utf8);
        salida = kitpc::PcText(utf8);
        return rc;
    }
    static bool Dice(const std::string &salida, const std::string &trozo)
    {
        return salida.find(trozo) != std::string::npos;
    }
    static int Veces(const std::string &salida, const std::string &trozo)
    {
        int n = 0;
        for (auto at = salida.find(trozo); at != std::string::npos; at = salida.find(trozo, at + 1))
            ++n;
        return n;
    }

    std::string carpeta;
    int respuestas = 0;
};

// The requirements pages run on their real timers, sped up by the binding's clock factor.
class Requisitos : public Asistente
{
  protected:
    void SetUp() override
    {
        Asistente::SetUp();
        setenv("KIT_UI_CLOCK", "0.05", 1);
    }
    void TearDown() override
    {
        unsetenv("KIT_UI_CLOCK");
        Asistente::TearDown();
    }
    // A PC of the family with the machine tool's options, and the kit's components registered.
    void Pc(const char *os, const std::vector<std::string> &opciones)
    {
        std::vector<std::string> args = {"create", "--os", os, "--force"};
        args.insert(args.end(), opciones.begin(), opciones.end());
        std::string salida;
        ASSERT_EQ(kittest::Run("machine", args, &salida), 0) << salida;
        for (const char *servidor : {"DaxParam.dll", "DaxTcpip.dll", "DaxModem.dll", "DaxWPoet.dll"})
            ASSERT_EQ(kittest::Run("regsvr32", {"/s", servidor}, &salida), 0) << servidor << salida;
    }
};

inline std::string Caja(const char *titulo, const char *texto)
{
    return std::string("[Mensaje]\nTítulo=") + titulo + "\nTexto=" + texto + "\nRespuesta=Aceptar\n";
}

inline constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";

// ... with the simulated router beside the PC.
class Conectividad : public Requisitos
{
  protected:
    void TearDown() override
    {
        router.reset();
        Requisitos::TearDown();
    }
    std::string Estado() const { return kittest::MachineDir() + "/router"; }
    // The simulated router on the PC's network (and its console on COM1, unpaced).
    void Router(std::vector<std::string> extra = {}, const std::string &ajustes = "")
    {
        fs::create_directories(Estado());
        if (!ajustes.empty())
            Escribir(Estado() + "/settings.txt", ajustes);
        router = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), Estado(), kittest::MachineDir(),
                                                         std::move(extra));
        ASSERT_TRUE(router->Started());
    }
    // The route fixer installed beside the wizard, as the configuration run starts it.
    void ConRouteFixer() const { fs::copy_file(kittest::BinDir() + "/QelFixRt", carpeta + "/QelFixRt"); }
    // Once configured the router also answers at its new LAN address: on port 80, where the
    // route fixer looks for it, and with `ftp` on its FTP port too (a download after the run).
    void TambienEn(const std::string &direccion, bool ftp = false) const
    {
        std::ofstream red(kittest::MachineDir() + "/network.ini", std::ios::binary | std::ios::app);
        if (ftp)
            red << direccion << ":21=127.0.0.1:" << router->FtpPort() << "\r\n";
        red << direccion << ":80=127.0.0.1:" << router->HttpPort() << "\r\n";
    }
    // The PC's network cable is out: nothing answers on any address; until it is back in.
    void SinRed()
    {
        red = kittest::ReadHostFile(kittest::MachineDir() + "/network.ini");
        Escribir(kittest::MachineDir() + "/network.ini", "[Hosts]\r\n");
    }
    void ConRed() const { Escribir(kittest::MachineDir() + "/network.ini", red); }

    // The addresses the modem component tried, in order, from its trace log.
    static std::vector<std::string> Intentos()
    {
        std::vector<std::string> intentos;
        for (const std::string &linea : kittest::TempTraceMessages("DaxModem.txt"))
            if (linea.rfind("Intentando conectar a ", 0) == 0)
                intentos.push_back(linea.substr(22));
        return intentos;
    }
    static bool Registro(const char *mensaje) { return Linea(mensaje) == mensaje; }
    // The first line of the component's trace log that starts so.
    static std::string Linea(const std::string &inicio)
    {
        for (const std::string &linea : kittest::TempTraceMessages("DaxModem.txt"))
            if (linea.rfind(inicio, 0) == 0)
                return linea;
        return {};
    }

    std::unique_ptr<kitservers::RouterSim> router;
    std::string red; // the PC's network while the cable is out
};

} // namespace asistentetest
