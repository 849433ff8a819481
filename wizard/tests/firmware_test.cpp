// The firmware road against the simulated router: the file chosen on its page and checked, the
// connectivity check, the transfer with its progress shown afterwards, the wait for the router,
// a refused password, the retry of a failed transfer and the error page, and the cancel.
#include "outside/qelapli/RegApli.h"
#include "testing/kittest.h"
#include "testing/servers.h"
#include "testing/tracelog.h"
#include "wizard/tests/asistente.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace asistentetest;

namespace
{
class Firmware : public Requisitos
{
  protected:
    void TearDown() override
    {
        router.reset();
        Requisitos::TearDown();
    }
    std::string Estado() const { return kittest::MachineDir() + "/router"; }
    void Router(std::vector<std::string> extra = {})
    {
        fs::create_directories(Estado());
        router = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), Estado(), kittest::MachineDir(),
                                                         std::move(extra));
        ASSERT_TRUE(router->Started());
    }
    // A PC with the kit's card and a firmware file of that size in its temporary folder,
    // "C:\temp\ras.bin".
    std::string Fichero(size_t tamano)
    {
        Pc("xp", {"--nic", kRealtek, "--dhcp"});
        std::string bytes(tamano, '\0');
        for (size_t i = 0; i < tamano; ++i)
            bytes[i] = static_cast<char>(i * 7 + i / 251);
        EXPECT_TRUE(kittest::WriteHostFile(kittest::MachineDir() + "/temp/ras.bin", bytes));
        return bytes;
    }
    // How many transfers of the firmware the modem component started.
    static int Transferencias()
    {
        int n = 0;
        for (const std::string &linea : kittest::TempTraceMessages("DaxModem.txt"))
            n += linea == "SetFTPWorkerThread: actualizando firmware";
        return n;
    }

    std::unique_ptr<kitservers::RouterSim> router;
};

constexpr char kRuta[] = "C:\\temp\\ras.bin";

// The firmware road up to its page: the operation, the requirements, the PC's state.
std::string HastaFichero()
{
    return "[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\nElegir=1082\nPulsar=Siguiente>\n"
           "[Página 2005]\n[Página 2002]\nPulsar=Siguiente>\n[Página 2025]\n";
}
// ... the file chosen with "Examinar...", through the check; the update page comes next.
std::string HastaComprobar()
{
    return HastaFichero() + "Pulsar=Examinar...\n[Fichero]\nRuta=" + kRuta +
           "\n[Página 2025]\nPulsar=Siguiente>\n[Página 2014]\n";
}
// ... on the update page.
std::string HastaActualizar()
{
    return HastaComprobar() + "[Página 2024]\n";
}
} // namespace

TEST_F(Firmware, TheFileChosenGoesToTheRouterAndTheProgressIsShownBeforeTheSuccessPage)
{
    const std::string bytes = Fichero(96 * 1024);
    Router();
    std::string salida;
    EXPECT_EQ(Correr(HastaFichero() + "Mirar=\nPulsar=Examinar...\n[Fichero]\nRuta=" + kRuta +
                         "\n[Página 2025]\nMirar=\nPulsar=Siguiente>\n[Página 2014]\n[Página 2024]\n"
                         "[Página 2008]\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_EQ(kittest::ReadHostFile(Estado() + "/firmware.bin"), bytes);
    EXPECT_EQ(Transferencias(), 1);

    // The page: Next only once there is a file; the adapter is the kit's card.
    EXPECT_TRUE(Dice(salida, "== Página 9 (2025) «Fichero de firmware»")) << salida;
    EXPECT_TRUE(Dice(salida, std::string("   lista [1000]: «{1} ") + kRealtek + "» de 1"));
    EXPECT_TRUE(Dice(salida, "   botones: <Atrás | Siguiente> (inactivo) | Cancelar"));
    EXPECT_TRUE(Dice(salida, "-- Fichero «Abrir» (Ficheros de firmware (*.bin)): C:\\temp\\ras.bin"));
    EXPECT_TRUE(Dice(salida, "   campo [1402]: «" + kittest::MachineDir() + "/temp/ras.bin»"));
    EXPECT_TRUE(Dice(salida, "   botones: <Atrás | Siguiente> | Cancelar"));

    // The run: its first line, the byte counts once the transfer has ended (the last one the
    // whole file at least), then the wait.
    EXPECT_TRUE(Dice(salida, "== Página 17 (2024) «Actualizando firmware...»"));
    const auto inicio = salida.find("   Empezando a actualizar el firmware...");
    const auto ultimo = salida.rfind(" Bytes transferidos");
    ASSERT_NE(ultimo, std::string::npos) << salida;
    const auto linea = salida.rfind("   · ", ultimo) + 5;
    EXPECT_GE(std::stoull(salida.substr(linea, ultimo - linea)), bytes.size());
    const auto completando = salida.find("   · Completando actualización...");
    const auto actualizado = salida.find("   · Firmware actualizado.");
    const auto fin = salida.find("== Página 21 (2008)");
    EXPECT_LT(inicio, ultimo) << salida;
    EXPECT_LT(ultimo, completando);
    EXPECT_LT(completando, actualizado);
    EXPECT_LT(actualizado, fin);
    EXPECT_NE(fin, std::string::npos);
    EXPECT_FALSE(Dice(salida, "-- Mensaje"));
}

TEST_F(Firmware, AMissingFileIsRefusedOnItsPageAndAFolderPassesTheCheck)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    const std::string falta = kittest::MachineDir() + "/temp/falta.bin";
    const std::string carpetaFirmware = kittest::MachineDir() + "/temp";
    std::string salida;
    EXPECT_EQ(
        Correr(HastaFichero() + "Escribir 1402=" + falta + "\nPulsar=Siguiente>\n" +
                   Caja("Error en fichero de firmware", ("No se encuentra el fichero de firmware ' " + falta +
                                                         " '. Compruebe que la ruta introducida es válida.")
                                                            .c_str()) +
                   // Back goes to the operation page; the way back keeps what was typed.
                   "[Página 2025]\nPulsar=<Atrás\n[Página 2023]\nPulsar=Siguiente>\n"
                   "[Página 2005]\n[Página 2002]\nPulsar=Siguiente>\n[Página 2025]\nMirar=\n"
                   "Escribir 1402=" +
                   carpetaFirmware + "\nPulsar=Siguiente>\n[Página 2014]\n[Página 2028]\n",
               salida),
        kAgotado)
        << salida;
    EXPECT_EQ(Veces(salida, "-- Mensaje «Error en fichero de firmware» (error; Aceptar)"), 1) << salida;
    EXPECT_TRUE(Dice(salida, "   campo [1402]: «" + falta + "»"));
    // On to the check, which finds no router on this PC's network.
    EXPECT_TRUE(Dice(salida, "== Página 12 (2014)"));
}

TEST_F(Firmware, ATransferThatFailsIsRetriedOnceThenTheErrorPageLeadsBackToTheCheck)
{
    Fichero(4 << 20);
    Router();
    ASSERT_EQ(kitservers::Run(kittest::BinDir() + "/routersim", {"fault", "--state", Estado(), "drop-data"}),
              0);
    std::string salida;
    // "Reintentar" goes back to the connectivity check, and the update is tried twice again.
    EXPECT_EQ(Correr(HastaActualizar() +
                         "[Página 2009]\nPulsar=Reintentar\n[Página 2014]\n[Página 2024]\n[Página 2009]\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_EQ(Transferencias(), 4) << salida;
    EXPECT_EQ(Veces(salida, "== Página 17 (2024)"), 2);
    EXPECT_EQ(Veces(salida, "== Página 20 (2009)"), 2);
    EXPECT_FALSE(Dice(salida, "   · Completando actualización..."));
}

TEST_F(Firmware, ARefusedPasswordIsAskedForAndTheUpdateRunsAgainWithIt)
{
    Fichero(32 * 1024);
    // The router takes the connection (the check passes) and refuses the update's login.
    Router({"--password", "clave7"});
    std::string salida;
    // The update page may be gone before the scripted user looks: the password page is waited for.
    EXPECT_EQ(Correr(HastaComprobar() + "[Página 2010]\nEscribir 1922=clave7\nPulsar=Siguiente>\n"
                                        "[Página 2024]\n[Página 2008]\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_EQ(Veces(salida, "== Página 17 (2024)"), 2) << salida;
    EXPECT_EQ(Transferencias(), 2);
    EXPECT_EQ(kittest::ReadHostFile(Estado() + "/firmware.bin").size(), 32u * 1024);
}

TEST_F(Firmware, CancellingTheUpdateAsksItsOwnQuestionThenStopsTheTransfer)
{
    Fichero(64 * 1024);
    // The router takes the transfer and never opens its data connection.
    Router({"--fault", "no-data"});
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() +
                         "Pulsar=Cancelar\n"
                         "[Mensaje]\nTítulo=¿Cancelar actualización?\nTexto=Se está actualizando "
                         "el firmware de módem-router ADSL. Si cancela puede dañarlo seriamente."
                         "\nRespuesta=No\n"
                         "[Página 2024]\nPulsar=Cancelar\n[Mensaje]\nRespuesta=Sí\n",
                     salida),
              kCancelado)
        << salida;
    EXPECT_EQ(Veces(salida, "-- Mensaje «¿Cancelar actualización?» (pregunta; Sí/No)"), 2) << salida;
    EXPECT_FALSE(Dice(salida, "Cancelar asistente"));
    EXPECT_EQ(Transferencias(), 1);
    EXPECT_FALSE(Dice(salida, "== Página 20"));
}

TEST_F(Firmware, AfterTheRebootThePageShowsTheSavedFileAndAdapter)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp", "--nic", kIntel, "--dhcp"});
    {
        CRegApli reg;
        ASSERT_EQ(reg.Open(kClave, TRUE), S_OK);
        reg.SetOperacion(1);
        reg.SetFichFirmware(kRuta);
        // The adapter as the list names it.
        reg.SetNIC((std::string("{2} ") + kIntel).c_str());
        reg.SetEstadoInicial(FALSE);
        reg.Close();
    }
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n[Página 2005]\n[Página 2002]\nPulsar=Siguiente>\n"
                     "[Página 2025]\nMirar=\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_TRUE(Dice(salida, std::string("   campo [1402]: «") + kRuta + "»")) << salida;
    EXPECT_TRUE(Dice(salida, std::string("   lista [1000]: «{2} ") + kIntel + "» de 2")) << salida;
    EXPECT_TRUE(Dice(salida, "   botones: <Atrás | Siguiente> | Cancelar"));
}
