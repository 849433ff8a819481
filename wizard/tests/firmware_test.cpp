// The firmware road against the simulated router: the file chosen on its page and checked, the
// connectivity check, the router's configuration kept in a backup before the transfer, the
// transfer with its progress shown afterwards, the wait for the router, the settings checked
// after it and the backup put back or not, a refused password, the retry of a failed transfer
// and the error page, and the cancel.
#include "outside/qelapli/RegApli.h"
#include "testing/kittest.h"
#include "testing/servers.h"
#include "testing/tracelog.h"
#include "wizard/tests/asistente.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
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
    // The router comes back from a new firmware within the page's wait for it; it starts with
    // those settings when given.
    void Router(std::vector<std::string> extra = {}, const std::string &ajustes = "")
    {
        extra.insert(extra.begin(), {"--restart-seconds", "1"});
        fs::create_directories(Estado());
        if (!ajustes.empty())
            Escribir(Estado() + "/settings.txt", ajustes);
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

    // A router with settings of its own whose new firmware brings the factory settings back.
    void RouterDeFabrica()
    {
        Router({"--firmware-settings", "factory"}, "30200004 = 80.58.0.33\r\n30200005 = 80.58.32.97\r\n");
    }
    // The router's "rom-t" as its FTP server gives it now.
    static std::string RomT()
    {
        const std::string fichero = kittest::MachineDir() + "/rom-t.leido";
        HINTERNET internet = InternetOpenA("prueba", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        HINTERNET ftp = InternetConnectA(internet, "192.168.1.1", INTERNET_DEFAULT_FTP_PORT, "guest", "5807",
                                         INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
        const bool bajado = ftp && FtpGetFileA(ftp, "rom-t", fichero.c_str(), FALSE, FILE_ATTRIBUTE_NORMAL,
                                               FTP_TRANSFER_TYPE_BINARY, 0);
        if (ftp)
            InternetCloseHandle(ftp);
        InternetCloseHandle(internet);
        EXPECT_TRUE(bajado) << GetLastError();
        return bajado ? kittest::ReadHostFile(fichero) : std::string();
    }
    // The backups beside the wizard.
    std::vector<std::string> Copias() const
    {
        std::vector<std::string> copias;
        std::error_code ec;
        for (const auto &entrada : fs::directory_iterator(carpeta + "/Copias", ec))
            copias.push_back(entrada.path().string());
        std::sort(copias.begin(), copias.end());
        return copias;
    }
    // A backup as the wizard names it.
    std::string CopiaEnElPc(const std::string &copia) const
    {
        return carpeta + "\\Copias\\" + fs::path(copia).filename().string();
    }
    // Where the modem component's log first has that line, from `desde` on; -1 when nowhere.
    static int LineaDelLog(const std::string &linea, int desde = 0)
    {
        const std::vector<std::string> log = kittest::TempTraceMessages("DaxModem.txt");
        for (size_t i = static_cast<size_t>(desde); i < log.size(); ++i)
            if (log[i].rfind(linea, 0) == 0)
                return static_cast<int>(i);
        return -1;
    }

    std::unique_ptr<kitservers::RouterSim> router;
};

constexpr char kPreguntaRestaurar[] =
    "[Mensaje]\nTítulo=¿Restaurar la configuración?\nTexto=La configuración de su módem-router ADSL ha "
    "cambiado con el nuevo firmware. ¿Desea recuperar la configuración que tenía antes de actualizarlo?\n"
    "Respuesta=";
constexpr char kCopiaEn[] = "La copia de la configuración de su módem-router ADSL está en ";

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
    // The backup's download breaks the same way: the update goes on without it. "Reintentar"
    // goes back to the connectivity check, and the update is tried twice again.
    const std::string sinCopia =
        "[Mensaje]\nTítulo=Copia de la configuración\nTexto=No se ha podido guardar "
        "una copia de la configuración de su módem-router ADSL. ¿Desea actualizar el "
        "firmware sin la copia?\nRespuesta=Sí\n";
    EXPECT_EQ(Correr(HastaActualizar() + sinCopia +
                         "[Página 2009]\nPulsar=Reintentar\n[Página 2014]\n[Página 2024]\n" + sinCopia +
                         "[Página 2009]\n",
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
    // The backup before the update met the refusal: the firmware went once, with the password.
    EXPECT_EQ(Transferencias(), 1);
    EXPECT_EQ(kittest::ReadHostFile(Estado() + "/firmware.bin").size(), 32u * 1024);
}

TEST_F(Firmware, CancellingTheUpdateAsksItsOwnQuestionThenStopsTheTransfer)
{
    Fichero(64 * 1024);
    // The router gives its configuration, takes the firmware and never opens its data connection.
    Router({"--fault", "firmware-no-data"});
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() +
                         "Esperar 1001=Enviando el firmware\nPulsar=Cancelar\n"
                         "[Mensaje]\nTítulo=¿Cancelar actualización?\nTexto=Se está actualizando "
                         "el firmware de módem-router ADSL. Si cancela puede dañarlo seriamente."
                         "\nRespuesta=No\n"
                         "[Página 2024]\nPulsar=Cancelar\n[Mensaje]\nRespuesta=Sí\n" +
                         Caja("Copia de la configuración",
                              "La copia de la configuración de su módem-router ADSL está en "),
                     salida),
              kCancelado)
        << salida;
    // The backup made before the transfer stays, and the box named it.
    const std::vector<std::string> copias = Copias();
    ASSERT_EQ(copias.size(), 1u) << salida;
    EXPECT_TRUE(Dice(salida, "(información; Aceptar): La copia de la configuración de su módem-router ADSL "
                             "está en " +
                                 CopiaEnElPc(copias[0]) + " -> Aceptar"))
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

TEST_F(Firmware, TheRoutersConfigurationIsKeptBeforeTheTransferAndCheckedAfterIt)
{
    Fichero(32 * 1024);
    Router();
    const std::string antes = RomT();
    ASSERT_NE(antes.find(" = "), std::string::npos) << antes;
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() + "[Página 2008]\n", salida), kAgotado) << salida;

    // One dated backup beside the wizard, the router's bytes as its FTP server gave them.
    const std::vector<std::string> copias = Copias();
    ASSERT_EQ(copias.size(), 1u) << salida;
    EXPECT_TRUE(
        std::regex_match(fs::path(copias[0]).filename().string(), std::regex(R"(rom-t-\d{8}-\d{6}\.cfg)")))
        << copias[0];
    EXPECT_EQ(kittest::ReadHostFile(copias[0]), antes);

    // Taken before the firmware went; the settings read again once the router was back.
    const int copia =
        LineaDelLog("SetFTPWorkerThread: bajando copia de config [" + CopiaEnElPc(copias[0]) + "]");
    const int firmware = LineaDelLog("SetFTPWorkerThread: actualizando firmware");
    const int despues = LineaDelLog("SetFTPWorkerThread: bajando copia de config [", firmware);
    EXPECT_GE(copia, 0);
    EXPECT_LT(copia, firmware);
    EXPECT_LT(firmware, despues);
    const auto guardando = salida.find("   · Guardando una copia de la configuración del módem-router...");
    const auto bytes = salida.find(" Bytes transferidos");
    const auto completando = salida.find("   · Completando actualización...");
    const auto comprobando = salida.find("   · Comprobando la configuración del módem-router...");
    const auto actualizado = salida.find("   · Firmware actualizado.");
    const auto fin = salida.find("== Página 21 (2008)");
    EXPECT_LT(guardando, bytes) << salida;
    EXPECT_LT(bytes, completando);
    EXPECT_LT(completando, comprobando);
    EXPECT_LT(comprobando, actualizado);
    EXPECT_LT(actualizado, fin);
    EXPECT_NE(fin, std::string::npos);

    // The same settings: nothing to ask, and the settings read afterwards are gone.
    EXPECT_FALSE(Dice(salida, "-- Mensaje")) << salida;
    for (const auto &entrada : fs::directory_iterator(kittest::MachineDir() + "/temp"))
        EXPECT_NE(entrada.path().filename().string().rfind("cfg", 0), 0u) << entrada.path();
}

TEST_F(Firmware, SettingsTheNewFirmwareChangedAreRestoredFromTheBackupWithYes)
{
    Fichero(32 * 1024);
    RouterDeFabrica();
    const std::string antes = RomT();
    ASSERT_NE(antes.find("30200004 = 80.58.0.33\r\n"), std::string::npos) << antes;
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() + kPreguntaRestaurar + "Sí\n[Página 2008]\n", salida), kAgotado)
        << salida;
    EXPECT_EQ(RomT(), antes);
    EXPECT_EQ(Veces(salida, "-- Mensaje «¿Restaurar la configuración?» (pregunta; Sí/No)"), 1) << salida;
    const auto restaurando = salida.find("   · Restaurando la configuración del módem-router...");
    EXPECT_LT(restaurando, salida.find("   · Firmware actualizado.")) << salida;
    EXPECT_NE(
        LineaDelLog("SetFTPWorkerThread: subiendo copia de config [" + CopiaEnElPc(Copias().at(0)) + "]"),
        -1);
    EXPECT_EQ(kittest::ReadHostFile(Copias().at(0)), antes);
}

TEST_F(Firmware, SettingsTheNewFirmwareChangedStayWithNo)
{
    Fichero(32 * 1024);
    RouterDeFabrica();
    const std::string antes = RomT();
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() + kPreguntaRestaurar + "No\n[Página 2008]\n", salida), kAgotado)
        << salida;
    const std::string ahora = RomT();
    EXPECT_NE(ahora, antes);
    EXPECT_EQ(ahora.find("80.58.0.33"), std::string::npos) << ahora;
    EXPECT_FALSE(Dice(salida, "Restaurando la configuración"));
    EXPECT_TRUE(Dice(salida, "== Página 21 (2008)"));
    // The backup stays for the user.
    EXPECT_EQ(kittest::ReadHostFile(Copias().at(0)), antes);
}

TEST_F(Firmware, TheHostAnswersTheRestoreQuestionAsItsOptionSays)
{
    Fichero(32 * 1024);
    for (const char *opcion : {"yes", "no"})
    {
        RouterDeFabrica();
        const std::string antes = RomT();
        std::string salida;
        // The script says nothing of the box: the option answers it.
        EXPECT_EQ(Correr(HastaActualizar() + "[Página 2008]\n", salida, {"--restore-after-firmware", opcion}),
                  kAgotado)
            << opcion << salida;
        const bool restaurar = std::string(opcion) == "yes";
        EXPECT_EQ(RomT() == antes, restaurar) << opcion;
        EXPECT_TRUE(Dice(
            salida, std::string("¿Desea recuperar la configuración que tenía antes de actualizarlo? -> ") +
                        (restaurar ? "Sí" : "No")))
            << salida;
        router.reset();
        fs::remove_all(Estado());
    }

    // A value it does not know, or no answers file to go with.
    std::string salida;
    EXPECT_EQ(Correr("", salida, {"--restore-after-firmware", "quizá"}), 64);
    EXPECT_EQ(kittest::Run("QelExec", {"--dir", carpeta, "--restore-after-firmware", "yes"}, &salida), 64);
}

TEST_F(Firmware, AFailedUpdateKeepsTheBackupAndTheErrorPageSaysWhereItIs)
{
    Fichero(64 * 1024);
    // The configuration comes down whole; the firmware's data connection breaks.
    Router({"--fault", "firmware-drop-data"});
    const std::string antes = RomT();
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() + "[Página 2009]\nMirar=\n", salida), kAgotado) << salida;
    EXPECT_EQ(Transferencias(), 2) << salida;
    const std::vector<std::string> copias = Copias();
    ASSERT_EQ(copias.size(), 1u) << salida;
    EXPECT_EQ(kittest::ReadHostFile(copias[0]), antes);
    EXPECT_TRUE(Dice(salida, kCopiaEn + CopiaEnElPc(copias[0]))) << salida;
    EXPECT_FALSE(Dice(salida, "-- Mensaje"));
}

TEST_F(Firmware, WithoutABackupTheUserMayStopBeforeTheFirmwareGoes)
{
    Fichero(32 * 1024);
    // The configuration's download breaks: there is no backup.
    Router({"--fault", "drop-data"});
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() +
                         "[Mensaje]\nTítulo=Copia de la configuración\nTexto=No se ha podido guardar\n"
                         "Respuesta=No\n[Página 2009]\nMirar=\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_EQ(Transferencias(), 0) << salida;
    EXPECT_TRUE(Copias().empty());
    EXPECT_TRUE(Dice(salida, "No se ha podido actualizar el firmware de su módem-router ADSL.")) << salida;
    EXPECT_FALSE(Dice(salida, kCopiaEn));
}

TEST_F(Firmware, ARouterNotBackInTimeIsAskedAgainThenTheUserIsToldWhereTheBackupIs)
{
    Fichero(32 * 1024);
    // Longer than the page's wait and its three looks after it.
    Router({"--restart-seconds", "8"});
    std::string salida;
    EXPECT_EQ(Correr(HastaActualizar() + "[Mensaje]\nTítulo=Copia de la configuración\nTexto=No se ha podido "
                                         "comprobar\nRespuesta=Aceptar\n[Página 2008]\n",
                     salida),
              kAgotado)
        << salida;
    const std::vector<std::string> copias = Copias();
    ASSERT_EQ(copias.size(), 1u) << salida;
    EXPECT_TRUE(
        Dice(salida, "(aviso; Aceptar): No se ha podido comprobar la configuración de su módem-router "
                     "ADSL tras la actualización. La copia de la configuración anterior está en " +
                         CopiaEnElPc(copias[0]) + " -> Aceptar"))
        << salida;
    int lecturas = 0;
    for (int at = LineaDelLog("SetFTPWorkerThread: actualizando firmware"); at >= 0;
         at = LineaDelLog("SetFTPWorkerThread: bajando copia de config [", at + 1))
        ++lecturas;
    EXPECT_EQ(lecturas, 1 + 3);
}
