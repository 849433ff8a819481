// The whole road of a configuration, host to router and PC: the run of page 19 (the router,
// the TCP/IP, the dial-up connection, the routes), the end pages, and the failures on the way.
#include "outside/qelapli/RegApli.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"
#include "wizard/tests/asistente.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

using namespace asistentetest;

namespace
{
class Configuracion : public Conectividad
{
  protected:
    void SetUp() override
    {
        Conectividad::SetUp();
        // The route fixer is installed beside the wizard.
        fs::copy_file(kittest::BinDir() + "/QelFixRt", carpeta + "/QelFixRt");
    }
    // Once configured the router also answers at its new LAN address, where the route fixer
    // looks for it.
    void TambienEn(const std::string &direccion)
    {
        std::ofstream(kittest::MachineDir() + "/network.ini", std::ios::binary | std::ios::app)
            << direccion << ":80=127.0.0.1:" << router->HttpPort() << "\r\n";
    }
    // The router's running settings by code.
    std::map<std::string, std::string> Ajustes() const
    {
        std::string salida;
        EXPECT_EQ(kittest::Run("routersim", {"show", "--state", Estado()}, &salida), 0) << salida;
        std::map<std::string, std::string> ajustes;
        std::istringstream lineas(salida);
        for (std::string linea; std::getline(lineas, linea);)
            if (const size_t igual = linea.find(" = "); igual != std::string::npos)
                ajustes[linea.substr(0, igual)] = linea.substr(igual + 3);
        return ajustes;
    }
    // The routing table as `route PRINT` shows it, once the route fixer has had time to run.
    static std::string Rutas(const std::string &buscada)
    {
        std::string salida;
        for (int i = 0; i < 100; ++i)
        {
            kittest::Run("route", {"PRINT"}, &salida);
            if (salida.find(buscada) != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return salida;
    }
};

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kFinal[] = "[Página 2007]\nEspera=120000\n[Página 2008]\nPulsar=Finalizar\n";
} // namespace

TEST_F(Configuracion, OnePcStaticConfiguresTheRouterThePcAndItsRoutesAndRestarts)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router();
    TambienEn("80.58.1.1");
    std::string salida;
    EXPECT_EQ(Correr(HastaResumen() + "[Página 2014]\n" + kFinal, salida), kFinalizado) << salida;
    // The status lines in turn, and the plans handed to the components.
    for (const char *linea : {"   · Dispositivo configurado.", "   · Empezando a configurar su TCP/IP...",
                              "   · TCP/IP configurado.", "-- Plan del router:", "-- Plan TCP/IP del PC:"})
        EXPECT_TRUE(Dice(salida, linea)) << linea << "\n" << salida;
    EXPECT_FALSE(Dice(salida, "Empezando a configurar el RAS"));
    EXPECT_TRUE(Dice(salida, "== Página 21 (2008) «Configuración correcta»"));
    EXPECT_FALSE(Dice(salida, "Las rutas estáticas de su PC no han podido ser fijadas."));

    // The router: its LAN is the first address of the user's network, its WAN the management
    // address, and it hands the user's public address to the PC.
    const auto ajustes = Ajustes();
    EXPECT_EQ(ajustes.at("30200008"), "80.58.1.1");
    EXPECT_EQ(ajustes.at("30200002"), "80.58.1.10");
    EXPECT_EQ(ajustes.at("40000013"), "10.0.0.5");

    // The route fixer runs now, with the public network's router, and at every start.
    const std::string orden =
        kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "QelAsistPrueba").value_or("<no value>");
    EXPECT_TRUE(orden.ends_with("\\QelFixRT.exe 80.58.1.10 255.255.255.0 80.58.1.1")) << orden;
    EXPECT_TRUE(Dice(Rutas("80.58.1.1"), "80.58.1.1"));

    // The answers are kept for the next run, and the PC restarts.
    CRegApli reg;
    ASSERT_EQ(reg.Open(kClave, FALSE), S_OK);
    std::string ip;
    reg.GetIpPublica1(ip);
    EXPECT_EQ(ip, "80.58.1.10");
    reg.Close();
    EXPECT_TRUE(Dice(kittest::ReadHostFile(kittest::MachineDir() + "/power.log"), "reboot"));
}

TEST_F(Configuracion, SeveralPcsConfigureTheRoutersPrivateNetworkAndStartNoRouteFixer)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    // A route fixer registered by an earlier one-PC configuration.
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kRun, "QelAsistPrueba", "C:\\KIT\\QelFixRT.exe 1 2 3");
    Router();
    std::string salida;
    EXPECT_EQ(
        Correr(HastaRequisitos(kMultipuesto, kDinamico) +
                   "[Página 2002]\nPulsar=Siguiente>\n"
                   "[Página 2003]\nEscribir 1362=usuario@adsl\nEscribir 1364=secreto\nPulsar=Siguiente>\n"
                   "[Página 2012]\nElegir=1441\nPulsar=Siguiente>\n"
                   "[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n[Página 2026]\nPulsar=Siguiente>\n" +
                   kFinal,
               salida),
        kFinalizado)
        << salida;
    EXPECT_FALSE(Dice(salida, "Empezando a configurar el RAS")) << salida;
    // The router hands out the private network from 172.16.0.5 and translates for it.
    const auto ajustes = Ajustes();
    EXPECT_EQ(ajustes.at("30200008"), "172.16.0.1");
    EXPECT_EQ(ajustes.at("30200002"), "172.16.0.5");
    EXPECT_EQ(ajustes.at("40000011"), "1");
    // No route fixer now, and none left from before.
    EXPECT_FALSE(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "QelAsistPrueba").has_value());
    EXPECT_FALSE(fs::exists(kittest::MachineDir() + "/temp/QelFixRt.txt"));
}
