// The wizard under test: installed in a folder of its own, run by its host QelExec on a script,
// on a simulated PC with the kit's components registered. Shared by the wizard's page tests.
#pragma once

#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
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

inline constexpr char kConfig[] =
    "[General]\r\nTitulo=Asistente de configuración ADSL\r\nNemonico=QelAsistPrueba\r\n"
    "Registro=KitADSL\r\nMutex=QelAsistMutex\r\n\r\n[DNS]\r\nDNS1=192.0.2.53\r\n"
    "DNS2=198.51.100.53\r\n";
// The same with the registry key "ADSL", the one the machine tool's WinPoET selector is under.
inline const std::string kConfigAdsl = [] {
    std::string config = kConfig;
    config.replace(config.find("Registro=KitADSL"), 16, "Registro=ADSL");
    return config;
}();
inline constexpr char kClave[] = "SOFTWARE\\NUV\\DAX\\KitADSL";

// Exit codes of QelExec.
inline constexpr int kFinalizado = 0, kCancelado = 1, kAgotado = 2, kSinVentana = 4;

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

// The walk to the requirements check for a mode: operation "Configurar.", the mode, the
// addressing.
inline std::string HastaRequisitos(UINT modo, UINT direccionamiento)
{
    return "[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\nElegir=1081\nPulsar=Siguiente>\n"
           "[Página 2004]\nElegir=" +
           std::to_string(modo) +
           "\nPulsar=Siguiente>\n[Página 2011]\nElegir=" + std::to_string(direccionamiento) +
           "\nPulsar=Siguiente>\n[Página 2005]\n";
}
inline constexpr UINT kMonopuesto = 1121, kMultipuesto = 1122, kEstatico = 1161, kDinamico = 1162;
inline constexpr char kRealtek[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
inline constexpr char kIntel[] = "Intel(R) PRO/100 VE Network Connection";

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

// One PC, static addressing, up to the summary; Next there goes to the connectivity check.
inline std::string HastaResumen()
{
    return HastaRequisitos(kMonopuesto, kEstatico) +
           "[Página 2002]\nPulsar=Siguiente>\n"
           "[Página 2006]\nEscribir 1282=80.58.1.10\nEscribir 1284=255.255.255.0\nPulsar=Siguiente>\n"
           "[Página 2021]\nPulsar=Siguiente>\n[Página 2013]\nPulsar=Siguiente>\n";
}
// The walk through the connectivity check to the console page, with no router on the network.
inline std::string HastaConsola()
{
    return HastaResumen() + "[Página 2014]\n[Página 2028]\nPulsar=Siguiente>\n[Página 2015]\n";
}
// ... and on to the page of the address typed by hand, without reading the console.
inline std::string HastaManual()
{
    return HastaConsola() + "Pulsar=Ignorar\n[Página 2016]\n";
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
