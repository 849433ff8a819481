// The connectivity check and its fall-backs against the simulated router: the addresses the PC
// knows tried in order, a refused password asked for and tried again, the several-PCs download
// of the router's settings, the serial console read, and the address typed by hand with its
// checks.
#include "outside/qelapli/RegApli.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"
#include "wizard/tests/asistente.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace asistentetest;

namespace
{
// The TCP/IP key of the PC's only card that takes its address from DHCP (Windows 2000 and XP).
std::string InterfazDhcp()
{
    HKEY interfaces = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInterfaces, 0, KEY_READ, &interfaces) != ERROR_SUCCESS)
        return {};
    std::string encontrada;
    char nombre[256];
    for (DWORD i = 0; encontrada.empty(); ++i)
    {
        DWORD largo = sizeof nombre;
        if (RegEnumKeyExA(interfaces, i, nombre, &largo, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::string clave = std::string(kInterfaces) + "\\" + nombre;
        if (kittest::ReadRegDword(HKEY_LOCAL_MACHINE, clave, "EnableDHCP") == 1u)
            encontrada = clave;
    }
    RegCloseKey(interfaces);
    return encontrada;
}

} // namespace

TEST_F(Conectividad, TheDhcpServerComesFirstThenEveryGatewayWithTheRepeatedOneKept)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    // A gateway of the user's own beside the lease's: the lease says 192.168.1.1 for both.
    const std::string interfaz = InterfazDhcp();
    ASSERT_FALSE(interfaz.empty());
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, interfaz, "DefaultGateway", REG_MULTI_SZ,
                           std::string("192.168.1.1\0"
                                       "10.0.0.1\0\0",
                                       23));
    // The router answers at the last of them only.
    Router({"--address", "10.0.0.1"});
    std::string salida;
    EXPECT_EQ(Correr(HastaResumen() + "[Página 2014]\n[Página 2007]\n", salida), kAgotado) << salida;
    EXPECT_EQ(Intentos(), (std::vector<std::string>{"[192.168.1.1]", "[192.168.1.1]", "[10.0.0.1]"}));
    EXPECT_TRUE(Registro("Conectado a [10.0.0.1]"));
    EXPECT_TRUE(Dice(salida, "   · Se dispone de conectividad. Vamos a empezar el proceso.")) << salida;
}

TEST_F(Conectividad, AFixedAddressWithoutGatewayHasNothingToTryAndLeadsToThePageWithoutConnectivity)
{
    Pc("xp", {"--nic", kRealtek, "--ip", "192.168.1.7/255.255.255.0"});
    Router();
    std::string salida;
    EXPECT_EQ(Correr(HastaResumen() + "[Página 2014]\n[Página 2028]\n", salida), kAgotado) << salida;
    // The component is handed the empty list: one empty address, which is no address.
    EXPECT_EQ(Intentos(), std::vector<std::string>{"[]"}) << salida;
    EXPECT_TRUE(Dice(salida, "== Página 13 (2028) «Sin conectividad»")) << salida;
}

namespace
{
// Several PCs, dynamic addressing, the router's DHCP server: up to the connectivity check.
std::string HastaComprobarVariosPc()
{
    return HastaRequisitos(kMultipuesto, kDinamico) +
           "[Página 2002]\nPulsar=Siguiente>\n"
           "[Página 2003]\nEscribir 1362=usuario\nPulsar=Siguiente>\n"
           "[Página 2012]\nElegir=1441\nPulsar=Siguiente>\n"
           "[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n";
}
} // namespace

TEST_F(Conectividad, ARefusedPasswordIsAskedForAndTheCheckRunsAgainWithIt)
{
    // The router takes the connection (the check passes) and refuses the download's login.
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router({"--password", "clave7"});
    std::string salida;
    EXPECT_EQ(Correr(HastaComprobarVariosPc() + "[Página 2010]\nEscribir 1922=clave7\nPulsar=Siguiente>\n"
                                                "[Página 2014]\n[Página 2026]\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_EQ(Veces(salida, "== Página 12 (2014)"), 2) << salida;
    EXPECT_TRUE(Dice(salida, "== Página 22 (2010) «Password del dispositivo ADSL»"));
    EXPECT_FALSE(Dice(salida, "clave7"));
    EXPECT_EQ(Intentos().size(), 2u);
    EXPECT_TRUE(Dice(salida, "== Página 18 (2026)"));
}

TEST_F(Conectividad, ForSeveralPcsTheRoutersSettingsAreDownloadedAndItsFileDeleted)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router();
    std::string salida;
    EXPECT_EQ(Correr(HastaComprobarVariosPc() + "[Página 2026]\n", salida), kAgotado) << salida;
    EXPECT_TRUE(Registro("SetFTPWorkerThread: bajando config")) << salida;
    // The download went into the wizard's folder, and is gone once the settings are read.
    const std::string bajada = Linea("SetFTPWorkerThread: transferencia de fichero: ");
    EXPECT_NE(bajada.find(fs::path(carpeta).filename().string()), std::string::npos) << bajada;
    EXPECT_TRUE(bajada.ends_with("\\643get.cfg]")) << bajada;
    EXPECT_FALSE(fs::exists(carpeta + "/643get.cfg"));
    EXPECT_TRUE(Dice(salida, "== Página 18 (2026)"));
}

TEST_F(Conectividad, CancellingTheCheckAsksOnceAndTheWizardCloses)
{
    // At the page's own pace: the router found, the page waits 3 s before it goes on; the
    // cancel comes in that wait.
    unsetenv("KIT_UI_CLOCK");
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router();
    std::string salida;
    EXPECT_EQ(
        Correr(HastaResumen() + "[Página 2014]\nEsperar=1500\nPulsar=Cancelar\n[Mensaje]\nRespuesta=Sí\n",
               salida),
        kCancelado)
        << salida;
    EXPECT_EQ(Veces(salida, "-- Mensaje"), 1) << salida;
    EXPECT_EQ(Intentos().size(), 1u);
    EXPECT_FALSE(Dice(salida, "== Página 19"));
}

TEST_F(Conectividad, TheConsoleGivesTheRoutersAddressAndThePcIsProposedBesideIt)
{
    // The fall-back pages at their own pace: the failed check's 2 s, the console's 3 s.
    unsetenv("KIT_UI_CLOCK");
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router({"--com", "1"});
    SinRed();
    std::string salida;
    EXPECT_EQ(Correr(HastaConsola() + "Pulsar=Siguiente>\n[Página 2029]\n[Página 2016]\n", salida), kAgotado)
        << salida;
    EXPECT_TRUE(Dice(salida, "   lista [1602]: «COM1» de 1")) << salida;
    EXPECT_TRUE(
        Dice(salida, "   · Se dispone de conectividad con el módem-router ADSL a través del puerto serie."))
        << salida;
    EXPECT_TRUE(Dice(salida, "== Página 16 (2016) «Acceso al módem-router»"));
    EXPECT_TRUE(Dice(salida, "   Se intentará conectar con estos parámetros recuperados de su configuración "
                             "actual a través del puerto serie."));
    // The router's DHCP pool is private: the PC is proposed beside the router.
    EXPECT_TRUE(Dice(salida, "   dirección [1683]: 192.168.1.1"));
    EXPECT_TRUE(Dice(salida, "   dirección [1685]: 255.255.255.0"));
    EXPECT_TRUE(Dice(salida, "   dirección [1687]: 192.168.1.2"));
}

TEST_F(Conectividad, APublicPoolOnTheConsoleGivesThePcItsPublicAddress)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router({"--com", "1"}, "30200002 = 80.58.1.10\n30200003 = 1\n30200008 = 80.58.1.1\n");
    SinRed();
    std::string salida;
    EXPECT_EQ(Correr(HastaConsola() + "Pulsar=Siguiente>\n[Página 2029]\n[Página 2016]\n", salida), kAgotado)
        << salida;
    EXPECT_TRUE(Dice(salida, "   dirección [1683]: 80.58.1.1")) << salida;
    EXPECT_TRUE(Dice(salida, "   dirección [1687]: 80.58.1.10"));
}

TEST_F(Conectividad, APasswordRefusedOnTheConsoleIsAskedForAndTheConsoleReadAgain)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router({"--com", "1", "--password", "clave7"});
    SinRed();
    std::string salida;
    EXPECT_EQ(Correr(HastaConsola() + "Pulsar=Siguiente>\n[Página 2029]\n"
                                      "[Página 2010]\nEscribir 1922=clave7\nPulsar=Siguiente>\n"
                                      "[Página 2029]\n[Página 2016]\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_EQ(Veces(salida, "== Página 15 (2029)"), 2) << salida;
    EXPECT_TRUE(
        Dice(salida, "   · Se dispone de conectividad con el módem-router ADSL a través del puerto serie."))
        << salida;
}

TEST_F(Conectividad, TheAddressTypedByHandIsCheckedInOrder)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    // Each entry breaks one rule, the ones before it kept.
    struct Caso
    {
        const char *router, *mascara, *pc, *texto;
    };
    const Caso casos[] = {
        {"192.168.1.1", "255.0.255.0", "192.168.1.7", "La máscara de red introducida no es válida."},
        {"192.168.1.255", "255.255.255.0", "192.168.1.7", "La dirección IP del Router no es válida."},
        {"192.168.1.0", "255.255.255.0", "192.168.1.7",
         "La dirección IP del Router no es válida, es una dirección de subred."},
        {"192.168.1.1", "255.255.255.0", "192.168.1.0",
         "La dirección IP del PC no es válida, es una dirección de subred."},
        {"192.168.1.1", "255.255.255.0", "192.168.1.1",
         "La dirección IP del PC es igual que la dirección IP del Router."},
        {"192.168.1.1", "255.255.255.0", "192.168.2.7",
         "Verifique las direcciones IPs introducidas porque no están dentro de la misma subred."},
    };
    std::string guion = HastaManual();
    for (const Caso &c : casos)
        guion += std::string("Escribir 1683=") + c.router + "\nEscribir 1685=" + c.mascara +
                 "\nEscribir 1687=" + c.pc + "\nPulsar=Reconfigurar\n" +
                 Caja("Direcciones IP no válidas.", c.texto) + "[Página 2016]\n";
    std::string salida;
    EXPECT_EQ(Correr(guion, salida), kAgotado) << salida;
    EXPECT_EQ(Veces(salida, "-- Mensaje «Direcciones IP no válidas.» (error; Aceptar)"), 6) << salida;
    // Nothing was changed on the PC.
    EXPECT_FALSE(Dice(salida, "-- Plan TCP/IP del PC:"));
}

TEST_F(Conectividad, AddressesThatDifferFromTheLastPublicConfigurationAreQuestioned)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    {
        CRegApli reg;
        ASSERT_EQ(reg.Open(kClave, TRUE), S_OK);
        reg.SetModoConf1(0);
        reg.SetModoDirec1(0);
        reg.SetIpPublica1("80.58.1.10");
        reg.SetMaskPublica1("255.255.255.0");
        reg.Close();
    }
    const char pregunta[] =
        "[Mensaje]\nTítulo=¿Parámetros correctos?\nTexto=Estos datos no coinciden con los que "
        "fijó el asistente en la última configuración. ¿Desea utilizarlos de todas "
        "formas?.\nRespuesta=";
    std::string salida;
    EXPECT_EQ(Correr(HastaManual() + "Mirar=\nEscribir 1687=80.58.1.20\nPulsar=Reconfigurar\n" + pregunta +
                         "No\n[Página 2016]\nPulsar=Reconfigurar\n" + pregunta +
                         "Sí\n[Mensaje]\nTítulo=¿Reiniciar el ordenador?\nRespuesta=Cancelar\n",
                     salida),
              kCancelado)
        << salida;
    // The page starts from the last configuration: the pool's first address is the router.
    EXPECT_TRUE(Dice(salida, "   dirección [1683]: 80.58.1.1")) << salida;
    EXPECT_TRUE(Dice(salida, "   dirección [1687]: 80.58.1.10"));
    EXPECT_EQ(Veces(salida, "-- Mensaje «¿Parámetros correctos?»"), 2);
    // The plan that reached the TCP/IP module: the router as gateway, the address typed.
    EXPECT_TRUE(Dice(salida, "-- Plan TCP/IP del PC:"));
    EXPECT_TRUE(Dice(salida, "     Cliente DHCP: No"));
    EXPECT_TRUE(Dice(salida, "     Dirección IP 1: 80.58.1.20 / 255.255.255.0"));
    EXPECT_TRUE(Dice(salida, "     Puerta de enlace 1: 80.58.1.1"));
    EXPECT_TRUE(Dice(salida, "     Servidor DNS 1: 192.0.2.53"));
}

TEST_F(Conectividad, OnePcStaticToTheConfigurationAtTheRealPace)
{
    // The pages' own waits, unscaled: requirements 1 + 2 + 3 s, the check's 3 s.
    unsetenv("KIT_UI_CLOCK");
    Pc("98", {"--nic", kRealtek, "--dhcp"});
    Router();
    std::string salida;
    EXPECT_EQ(Correr(HastaResumen() + "[Página 2014]\n[Página 2007]\n", salida), kAgotado) << salida;
    EXPECT_TRUE(Dice(salida, "   · Se dispone de conectividad. Vamos a empezar el proceso.")) << salida;
    EXPECT_TRUE(Dice(salida, "== Página 19 (2007)"));
}
