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
        ConRouteFixer();
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
    // A file a process the wizard does not wait for writes, once it has.
    static bool Aparece(const std::string &fichero)
    {
        for (int i = 0; i < 100 && !fs::exists(fichero); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return fs::exists(fichero);
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

// The machine tool's view of the PC, in Windows 1252 like the transcript.
std::string ElPc()
{
    std::string utf8;
    EXPECT_EQ(kittest::Run("machine", {"show"}, &utf8), 0) << utf8;
    return kitpc::PcText(utf8);
}
// The EnterNet client's profiles, when it is installed.
std::string PerfilesEnterNet()
{
    return kittest::ReadHostFile(kittest::MachineDir() + "/program_files/NTS/EnterNet/EnterNet.ini", "");
}

std::vector<Camino> TodosLosCaminos()
{
    std::vector<Camino> caminos;
    for (const char *familia : {"98", "2000", "xp"})
        for (const Camino &camino : LosModos(familia))
            caminos.push_back(camino);
    for (const char *familia : {"95", "98se", "me", "nt4"})
        caminos.push_back({familia, kMonopuesto, kEstatico, 0});
    return caminos;
}

class Caminos : public Configuracion, public ::testing::WithParamInterface<Camino>
{
};
} // namespace

// Every mode on the families the kit meets most, and one PC static on all seven: the router
// holds what the plan implies, the PC's card what its family keeps, the dial-up connection and
// the route fixer only where the mode needs them, and the PC restarts.
TEST_P(Caminos, TheWholeRoadLeavesTheRouterAndThePcConfigured)
{
    const Camino &camino = GetParam();
    std::vector<std::string> opciones = {"--nic", kRealtek, "--dhcp"};
    const auto cliente = camino.Cliente();
    opciones.insert(opciones.end(), cliente.begin(), cliente.end());
    Pc(camino.familia, opciones);
    EscribirConfig(kConfigAdsl);
    Router();
    TambienEn("80.58.1.1");
    std::string salida;
    ASSERT_EQ(Correr(camino.Guion(), salida), kFinalizado) << salida;
    EXPECT_TRUE(Dice(salida, "== Página 21 (2008) «Configuración correcta»")) << salida;

    const auto ajustes = Ajustes();
    for (const auto &[codigo, valor] : camino.Router())
        EXPECT_EQ(ajustes.count(codigo) ? ajustes.at(codigo) : "<not set>", valor) << codigo;

    const std::string pc = ElPc();
    EXPECT_EQ(ComoTomaSuDireccion(pc), camino.PcConDhcp() ? "DHCP" : "fixed address") << pc;
    if (!camino.PcConDhcp())
    {
        for (const char *direccion : {": 172.16.0.5", ": 255.255.0.0", ": 172.16.0.1", ": 192.0.2.53"})
            EXPECT_TRUE(Dice(pc, direccion)) << direccion << "\n" << pc;
    }

    // The dial-up connection, for one PC with dynamic addressing only.
    const bool conexion = camino.Monopuesto() && !camino.Estatico();
    EXPECT_EQ(Dice(salida, "   · RAS configurado."), conexion);
    if (camino.Nueve())
    {
        EXPECT_EQ(Dice(PerfilesEnterNet(), "UserName=usuario@adsl\r\n"), conexion) << PerfilesEnterNet();
    }
    else
    {
        EXPECT_EQ(Dice(pc, "Phone book:\n  \"Conexión ADSL Router\" on PPPoE"), conexion) << pc;
    }

    // The route fixer, for one PC with static addressing only.
    const auto orden = kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "QelAsistPrueba");
    EXPECT_EQ(orden.has_value(), camino.Monopuesto() && camino.Estatico());
    if (orden)
    {
        EXPECT_TRUE(Dice(Rutas("80.58.1.1"), "80.58.1.1"));
    }

    // Windows 9x gives back its leases with winipcfg; the NT family has none.
    if (camino.Nueve())
    {
        EXPECT_TRUE(Aparece(carpeta + "/winipcfg.out"));
    }
    else
    {
        EXPECT_FALSE(fs::exists(carpeta + "/winipcfg.out"));
    }
    EXPECT_TRUE(Dice(kittest::ReadHostFile(kittest::MachineDir() + "/power.log"), "reboot"));
}
INSTANTIATE_TEST_SUITE_P(Wizard, Caminos, ::testing::ValuesIn(TodosLosCaminos()),
                         [](const auto &info) { return NombreDelCamino(info.param); });

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

TEST_F(Configuracion, APasswordRefusedByTheRouterIsAskedForAndTheConfigurationRunsAgain)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    // The access check only connects; the upload's login is refused until the password is given.
    Router({"--password", "clave7"});
    TambienEn("80.58.1.1");
    std::string salida;
    // Page 19 may be up too briefly for the script to see it before the password page comes.
    EXPECT_EQ(Correr(HastaResumen() +
                         "[Página 2014]\n[Página 2010]\nEspera=120000\n"
                         "Escribir 1922=clave7\nPulsar=Siguiente>\n" +
                         kFinal,
                     salida),
              kFinalizado)
        << salida;
    EXPECT_EQ(Veces(salida, "== Página 19 (2007)"), 2) << salida;
    EXPECT_EQ(Veces(salida, "== Página 22 (2010) «Password del dispositivo ADSL»"), 1);
    EXPECT_FALSE(Dice(salida, "== Página 20"));
    EXPECT_FALSE(Dice(salida, "clave7"));
    EXPECT_EQ(Ajustes().at("30200008"), "80.58.1.1");
}

TEST_F(Configuracion, ARouterThatDropsTheUploadIsTriedTwiceThenRetriedFromTheErrorPage)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router({"--fault", "drop-data"});
    TambienEn("80.58.1.1");
    // The line comes back once both attempts have failed: "Reintentar" then finds it.
    std::thread linea([this] {
        const auto fallos = [] {
            int n = 0;
            for (const std::string &l : kittest::TempTraceMessages("DaxModem.txt"))
                n += l.starts_with("SetFTPWorkerThread: Tx erronea");
            return n;
        };
        for (int i = 0; i < 600 && fallos() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string salida;
        EXPECT_EQ(kittest::Run("routersim", {"fault", "--state", Estado(), "none"}, &salida), 0) << salida;
    });
    std::string salida;
    EXPECT_EQ(Correr(HastaResumen() +
                         "[Página 2014]\n[Página 2007]\nEspera=120000\n"
                         "[Página 2009]\nEsperar=500\nPulsar=Reintentar\n" +
                         kFinal,
                     salida),
              kFinalizado)
        << salida;
    linea.join();
    // The automatic retry has no status line of its own; the error page names the failure.
    EXPECT_EQ(Veces(salida, "== Página 19 (2007)"), 2) << salida;
    EXPECT_FALSE(Dice(salida, "   · Empezando a configurar su módem-router ADSL..."));
    EXPECT_TRUE(Dice(salida,
                     "   No se ha podido establecer en su módem-router ADSL la configuración deseada.\n"
                     "   Error de transmisión"));
    EXPECT_EQ(Veces(salida, "== Página 20 (2009) «Error en el proceso»"), 1);
    EXPECT_EQ(Ajustes().at("30200008"), "80.58.1.1");
}

namespace
{
constexpr char kReiniciar[] = "[Mensaje]\nTítulo=¿Reiniciar el ordenador?\nRespuesta=Aceptar\n";
}

// The fall-back roads: without an answer from the router the PC is given an address beside it,
// from its console or by hand; the PC restarts, the wizard resumes at the summary and goes on
// to the end, the router found this time.
class TrasReiniciar : public Configuracion
{
  protected:
    void HastaElFin(const std::string &hastaLaDireccion)
    {
        Pc("xp", {"--nic", kRealtek, "--dhcp"});
        Router({"--com", "1"});
        SinRed();
        std::string salida;
        ASSERT_EQ(Correr(hastaLaDireccion + "Pulsar=Reconfigurar\n" + kReiniciar, salida), kCancelado)
            << salida;
        EXPECT_EQ(ComoTomaSuDireccion(ElPc()), "fixed address");

        // The cable is back in; the host starts again with Windows.
        ConRed();
        TambienEn("80.58.1.1");
        setenv("KIT_LIB", carpeta.c_str(), 1);
        setenv("KIT_ANSWERS", Respuestas(kTrasReiniciar).c_str(), 1);
        std::string utf8;
        EXPECT_EQ(kittest::Run("machine", {"reboot"}, &utf8), 0) << utf8;
        salida = kitpc::PcText(utf8);
        EXPECT_TRUE(Dice(salida, "ended with exit code 0")) << salida;
        EXPECT_TRUE(Dice(salida, "== Página 21 (2008) «Configuración correcta»"));
        EXPECT_EQ(Ajustes().at("30200008"), "80.58.1.1");
        EXPECT_EQ(ComoTomaSuDireccion(ElPc()), "DHCP");
        EXPECT_EQ(Veces(kittest::ReadHostFile(kittest::MachineDir() + "/power.log"), "reboot"), 2);
    }
};

TEST_F(TrasReiniciar, TheConsoleRoadEndsConfigured)
{
    HastaElFin(HastaConsola() + "Pulsar=Siguiente>\n[Página 2029]\n[Página 2016]\n");
}

TEST_F(TrasReiniciar, TheAddressTypedByHandEndsConfigured)
{
    HastaElFin(HastaManual() + "Escribir 1683=192.168.1.1\nEscribir 1687=192.168.1.7\n");
}

namespace
{
// The whole registry as the registry editor exports it.
std::string RegistroEntero()
{
    const std::string fichero = kittest::MachineDir() + "/temp/todo.reg";
    std::string salida;
    EXPECT_EQ(kittest::Run("regedit", {"/e", fichero}, &salida), 0) << salida;
    std::string texto = kittest::ReadHostFile(fichero);
    fs::remove(fichero);
    return texto;
}
// The lines one export has and the other has not ("- " before, "+ " after), in order.
std::string Diferencias(const std::string &antes, const std::string &despues)
{
    const auto lineas = [](const std::string &texto) {
        std::vector<std::string> v;
        std::istringstream in(texto);
        for (std::string l; std::getline(in, l);)
            v.push_back(l);
        return v;
    };
    const auto a = lineas(antes), b = lineas(despues);
    std::string diferencias;
    for (const auto &l : a)
        if (std::find(b.begin(), b.end(), l) == b.end())
            diferencias += "- " + l + "\n";
    for (const auto &l : b)
        if (std::find(a.begin(), a.end(), l) == a.end())
            diferencias += "+ " + l + "\n";
    return diferencias;
}
// The names in a folder, sorted.
std::vector<std::string> Nombres(const std::string &carpeta)
{
    std::vector<std::string> nombres;
    for (const auto &entrada : fs::directory_iterator(carpeta))
        nombres.push_back(entrada.path().filename().string());
    std::sort(nombres.begin(), nombres.end());
    return nombres;
}

class VistaPrevia : public Caminos
{
  protected:
    // The host's dry run of the road's answers.
    int Previa(const std::string &respuestas, std::string &salida)
    {
        std::string utf8;
        const int rc =
            kittest::Run("QelExec", {"--dir", carpeta, "--unattended", respuestas, "--dry-run"}, &utf8);
        salida = kitpc::PcText(utf8);
        return rc;
    }
};
} // namespace

// A dry run shows what the road would change (the TCP/IP module's registry values, the dial-up
// connection, the routes, the router's settings side by side) and changes nothing: the
// registry, the router, the wizard's folder and the temporary folder are as they were.
TEST_P(VistaPrevia, ShowsEveryChangeAndChangesNothing)
{
    const Camino &camino = GetParam();
    // WINS servers, which 9x's TCP/IP module deletes at once even when it defers its writes;
    // on NT a DHCP client service it sets to start automatically.
    std::vector<std::string> opciones = {"--nic", kRealtek, "--dhcp", "--wins", "10.9.9.9"};
    const auto cliente = camino.Cliente();
    opciones.insert(opciones.end(), cliente.begin(), cliente.end());
    Pc(camino.familia, opciones);
    if (!camino.Nueve())
        kittest::WriteRegDword(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Dhcp", "Start", 3);
    EscribirConfig(kConfigAdsl);
    Router();
    const std::string respuestas = Respuestas(camino.Guion());
    const std::string registro = RegistroEntero();
    const auto router = Ajustes();
    const auto ficheros = Nombres(carpeta);
    const auto temporales = Nombres(kittest::MachineDir() + "/temp");

    std::string salida;
    ASSERT_EQ(Previa(respuestas, salida), kFinalizado) << salida;
    EXPECT_TRUE(Dice(salida, "vista previa hecha en la página 11 (2013)")) << salida;
    EXPECT_TRUE(Dice(salida, "-- Mensaje «Detalles de la configuración» (información; Aceptar): Estos son"))
        << salida;
    EXPECT_TRUE(Dice(salida, "      Valores del registro que se escribirán (TCP/IP del adaptador")) << salida;
    EXPECT_TRUE(Dice(salida, "          REGEDIT4")) << salida;
    EXPECT_TRUE(Dice(salida, "      Parámetros del módem-router que cambiarán")) << salida;
    EXPECT_FALSE(Dice(salida, "== Página 12")) << salida;
    // The router's new LAN address, beside its current one.
    const std::string lan = camino.Router().at("30200008");
    EXPECT_EQ(Dice(salida, "          30200008: 192.168.1.1 -> " + lan), lan != "192.168.1.1") << salida;
    EXPECT_FALSE(Dice(salida, "-> secreto")) << salida;
    if (camino.Monopuesto() && camino.Estatico())
    {
        EXPECT_TRUE(Dice(salida, "          route ADD 80.58.1.11 MASK 255.255.255.255 80.58.1.1")) << salida;
    }
    else
    {
        EXPECT_TRUE(Dice(salida, "      No se añadirá ninguna ruta.")) << salida;
    }
    EXPECT_EQ(Dice(salida, "          Nombre: Conexión ADSL Router"),
              camino.Monopuesto() && !camino.Estatico())
        << salida;

    EXPECT_EQ(Diferencias(registro, RegistroEntero()), "");
    EXPECT_EQ(Ajustes(), router);
    EXPECT_EQ(Nombres(carpeta), ficheros);
    auto ahora = Nombres(kittest::MachineDir() + "/temp");
    // The components' trace logs are the only new files.
    std::erase_if(ahora,
                  [](const std::string &n) { return n.size() > 4 && n.substr(n.size() - 4) == ".txt"; });
    auto antes = temporales;
    std::erase_if(antes,
                  [](const std::string &n) { return n.size() > 4 && n.substr(n.size() - 4) == ".txt"; });
    EXPECT_EQ(ahora, antes);
}
INSTANTIATE_TEST_SUITE_P(Wizard, VistaPrevia,
                         ::testing::Values(Camino{"xp", kMonopuesto, kEstatico, 0},
                                           Camino{"98", kMonopuesto, kEstatico, 0},
                                           Camino{"98", kMonopuesto, kDinamico, 0},
                                           Camino{"2000", kMultipuesto, kDinamico, 1441}),
                         [](const auto &info) { return NombreDelCamino(info.param); });

// Without a router the preview still shows the PC's changes, and says the router could not be
// read.
TEST_F(Configuracion, APreviewWithoutTheRouterSaysSo)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    const Camino camino{"xp", kMonopuesto, kEstatico, 0};
    std::string utf8;
    ASSERT_EQ(kittest::Run("QelExec",
                           {"--dir", carpeta, "--unattended", Respuestas(camino.Guion()), "--dry-run"},
                           &utf8),
              kFinalizado)
        << utf8;
    const std::string salida = kitpc::PcText(utf8);
    EXPECT_TRUE(
        Dice(salida, "      No se ha podido acceder al módem-router para leer su configuración actual."))
        << salida;
    EXPECT_TRUE(Dice(salida, "          REGEDIT4")) << salida;
}

// Cancelled while it reads a router that never answers, the preview stops the modem component,
// puts back what it took and the wizard closes; nothing was changed.
TEST_F(Configuracion, APreviewCancelledMidwayChangesNothing)
{
    const Camino camino{"xp", kMonopuesto, kEstatico, 0};
    // The wizard's application key is there already, as its selector value puts it.
    std::vector<std::string> opciones = {"--nic", kRealtek, "--dhcp"};
    const auto cliente = camino.Cliente();
    opciones.insert(opciones.end(), cliente.begin(), cliente.end());
    Pc("xp", opciones);
    EscribirConfig(kConfigAdsl);
    Router({"--fault", "silent"});
    std::string guion = camino.Guion();
    guion = guion.substr(0, guion.find("[Página 2013]")) +
            "[Página 2013]\nPulsar=Detalles...\nEsperar=300\nPulsar=Cancelar\n[Mensaje]\nRespuesta=Sí\n";
    const std::string respuestas = Respuestas(guion);
    const std::string registro = RegistroEntero();
    const auto ficheros = Nombres(carpeta);
    std::string utf8;
    ASSERT_EQ(kittest::Run("QelExec", {"--dir", carpeta, "--unattended", respuestas}, &utf8), kCancelado)
        << utf8;
    EXPECT_EQ(Diferencias(registro, RegistroEntero()), "");
    EXPECT_EQ(Nombres(carpeta), ficheros);
    EXPECT_FALSE(fs::exists(kittest::MachineDir() + "/temp/TcpChang.reg"));
}

// The answers files of the user's guide, one for each mode, each taking its road to the end.
TEST_F(Configuracion, TheGuidesAnswersFilesTakeTheirRoadsToTheEnd)
{
    for (const char *modo :
         {"un-pc-estatico", "un-pc-dinamico", "varios-pc-estatico-dhcp", "varios-pc-estatico-propias",
          "varios-pc-dinamico-dhcp", "varios-pc-dinamico-propias"})
    {
        SCOPED_TRACE(modo);
        Pc("xp", {"--nic", kRealtek, "--dhcp", "--pppoe", "winpoet", "--winpoet-selector", "1"});
        EscribirConfig(kConfigAdsl);
        Router();
        TambienEn("80.58.1.1");
        std::string utf8;
        EXPECT_EQ(kittest::Run("QelExec",
                               {"--dir", carpeta, "--unattended",
                                std::string(KIT_DEMO_DIR) + "/modos/" + modo + ".ini"},
                               &utf8),
                  kFinalizado)
            << utf8;
        router.reset();
    }
}
