// The wizard as a person meets it, through its host QelExec and the scripted user: its entry
// points, the settings it refuses, the single instance across programs, the administrator check,
// the cancel rules and buttons of the first pages, and the resume after a restart of the PC.
#include "outside/qelapli/RegApli.h"
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitwindow.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "wizard/tests/asistente.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace asistentetest;

namespace
{
constexpr char kCajaConfig[] = "[Mensaje]\nTítulo=Error de aplicación\nTexto=No es posible ejecutar el "
                               "configurador. No se encuentra, o no es válido, un fichero necesario para su "
                               "ejecución.\nRespuesta=Aceptar\n";

using GetIDOfNameFn = HRESULT(WINAPI *)(LPCSTR, DWORD, LONG *);
} // namespace

TEST_F(Asistente, GetIDOfNameKnowsOnlyTheWizardWhateverItsCase)
{
    HMODULE modulo = LoadLibraryA((carpeta + "\\QelAsist.dll").c_str());
    ASSERT_NE(modulo, nullptr);
    auto getIdOfName =
        reinterpret_cast<GetIDOfNameFn>(reinterpret_cast<void *>(GetProcAddress(modulo, "GetIDOfName")));
    ASSERT_NE(getIdOfName, nullptr);
    EXPECT_NE(GetProcAddress(modulo, "Invoke"), nullptr);
    struct Caso
    {
        const char *nombre;
        HRESULT hr;
        LONG id;
    } casos[] = {{"asistente", S_OK, 1},      {"Asistente", S_OK, 1},
                 {"ASISTENTE", S_OK, 1},      {"asistente ", DISP_E_UNKNOWNNAME, 0},
                 {"", DISP_E_UNKNOWNNAME, 0}, {"configurador", DISP_E_UNKNOWNNAME, 0}};
    for (const Caso &c : casos)
    {
        LONG id = 42;
        EXPECT_EQ(getIdOfName(c.nombre, 0xdeadbeef, &id), c.hr) << c.nombre;
        EXPECT_EQ(id, c.id) << c.nombre;
    }
    FreeLibrary(modulo);
}

TEST_F(Asistente, SettingsThatAreMissingOrIncompleteAreRefusedWithTheErrorBox)
{
    const std::string sinMutex =
        std::string(kConfig).replace(std::string(kConfig).find("Mutex=QelAsistMutex"), 19, "Mutex=");
    const std::string sinDns = std::string(kConfig).substr(0, std::string(kConfig).find("[DNS]"));
    const std::string sinGeneral = std::string(kConfig).substr(std::string(kConfig).find("[DNS]"));
    for (const std::string *config :
         {&sinMutex, &sinDns, &sinGeneral, static_cast<const std::string *>(nullptr)})
    {
        if (config)
            EscribirConfig(*config);
        else
            fs::remove(carpeta + "/Config.ini");
        std::string salida;
        EXPECT_EQ(Correr(kCajaConfig, salida), kSinVentana) << salida;
        EXPECT_TRUE(Dice(salida, "-- Mensaje «Error de aplicación» (error; Aceptar)")) << salida;
        EXPECT_FALSE(Dice(salida, "== Página")) << salida;
    }
}

TEST_F(Asistente, OddButReadableSettingsStillOpenTheWizard)
{
    // A megabyte title, Windows 1252 accents and stray bytes around the values.
    const std::string titulo(1 << 20, 'T');
    EscribirConfig(
        "\xEF\xBB\xBF; \x01\x02 basura\r\n[General]\r\nTitulo=" + titulo +
        "\r\nNemonico=Año\xA0\xFF\r\nRegistro=KitADSL\r\nMutex=ñ\r\n[DNS]\r\nDNS1=x\r\nDNS2=y\r\n");
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\n", salida), kAgotado) << salida.substr(0, 2000);
    EXPECT_TRUE(Dice(salida, "== Página 0 (2001)"));
}

TEST_F(Asistente, MissingOrDamagedPicturesLeaveThePagesWorking)
{
    fs::remove(carpeta + "/res/Foto.bmp");
    Escribir(carpeta + "/res/Icono.ico", std::string("\0\0\1\0\1\0", 6));
    Escribir(carpeta + "/res/Espera.avi", "RIFF");
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\nElegir=1081\nPulsar=Siguiente>\n"
                     "[Página 2004]\nPulsar=Siguiente>\n[Página 2011]\nElegir=1161\nPulsar=Siguiente>\n"
                     "[Página 2005]\n",
                     salida),
              kAgotado)
        << salida;
}

TEST_F(Asistente, TheFirstPagesSetTheirButtonsAndMoveByTheChoices)
{
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n"
                     "[Página 2023]\nElegir=1081\nPulsar=Siguiente>\n"
                     "[Página 2004]\nElegir=1122\nPulsar=<Atrás\n"
                     "[Página 2023]\nElegir=1082\nPulsar=Siguiente>\n"
                     "[Página 2005]\n",
                     salida),
              kAgotado)
        << salida;
    // Welcome: Next only. Operation and addressing: Next once a choice is made. Mode: the one-PC
    // choice made at first.
    EXPECT_TRUE(Dice(salida, "== Página 0 (2001) «Bienvenido al asistente de configuración ADSL»")) << salida;
    EXPECT_TRUE(Dice(salida, "   botones: <Atrás (inactivo) | Siguiente> | Cancelar"));
    EXPECT_TRUE(Dice(salida, "   ( ) Configurar. [1081]"));
    EXPECT_TRUE(Dice(salida, "   botones: <Atrás | Siguiente> (inactivo) | Cancelar"));
    EXPECT_TRUE(Dice(salida, "   (•) Modo monopuesto. [1121]"));
    // Back from the mode page, the operation page still shows the choice; the firmware update
    // goes straight to the requirements check.
    EXPECT_EQ(Veces(salida, "== Página 1 (2023)"), 2);
    EXPECT_TRUE(Dice(salida, "   (•) Configurar. [1081]"));
    EXPECT_TRUE(Dice(salida, "== Página 4 (2005)"));
    EXPECT_FALSE(Dice(salida, "== Página 3 (2011)"));

    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\nElegir=1081\nPulsar=Siguiente>\n"
                     "[Página 2004]\nPulsar=Siguiente>\n[Página 2011]\nEspera=300\nPulsar=Siguiente>\n",
                     salida),
              3)
        << "Next stays off until an addressing mode is chosen\n"
        << salida;
    EXPECT_TRUE(Dice(salida, ":10: el botón «Siguiente>» no se activa."));
}

TEST_F(Asistente, CancelAsksOnceOnTheWelcomePageAndEveryTimeOnTheChoicePages)
{
    const std::string pregunta =
        "[Mensaje]\nTítulo=Cancelar asistente\nTexto=¿Está seguro de que desea cancelar el "
        "proceso?\nRespuesta=";
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Cancelar\n" + pregunta + "No\n[Página 2001]\nPulsar=Cancelar\n" +
                         pregunta + "Sí\n",
                     salida),
              kCancelado)
        << salida;
    EXPECT_EQ(Veces(salida, "-- Mensaje «Cancelar asistente»"), 2);

    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\nPulsar=Cancelar\n" + pregunta +
                         "No\n[Página 2023]\nPulsar=Cancelar\n" + pregunta +
                         "No\n[Página 2023]\nPulsar=Cancelar\n" + pregunta + "Sí\n",
                     salida),
              kCancelado)
        << salida;
    EXPECT_EQ(Veces(salida, "-- Mensaje «Cancelar asistente»"), 3);
}

TEST_F(Asistente, WithoutAdministratorRightsOnNtTheWizardClosesWithoutAsking)
{
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Administrator", "0"));
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n[Mensaje]\nTítulo=Faltan permisos\nTexto=Se ha "
                     "detectado que no tiene permisos de administrador\nRespuesta=Aceptar\n",
                     salida),
              kCancelado)
        << salida;
    EXPECT_FALSE(Dice(salida, "Cancelar asistente"));
    EXPECT_FALSE(Dice(salida, "== Página 1"));
}

TEST_F(Asistente, OnWindows9xEveryUserPassesTheAdministratorCheck)
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", "98"));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "1"));
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Administrator", "0"));
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\n", salida), kAgotado) << salida;
    EXPECT_FALSE(Dice(salida, "Faltan permisos"));
}

TEST_F(Asistente, ASecondStartBringsTheFirstWindowForward)
{
    const std::string guion = Respuestas("[Página 2001]\nEsperar=60000\n");
    kittest::Child primero("QelExec", {"--dir", carpeta, "--unattended", guion});
    ASSERT_TRUE(primero.Started());
    std::string linea;
    do
        linea = primero.ReadLine();
    while (!linea.empty() && linea.find("botones:") == std::string::npos);
    ASSERT_FALSE(linea.empty());
    // The user works in another program, then starts the wizard again.
    kitwin::WindowDesc otra;
    otra.text = "Otro programa";
    HWND ventana = kitwin::CreateWindowRecord(otra);
    ASSERT_NE(ventana, nullptr);
    ASSERT_TRUE(SetForegroundWindow(ventana));
    std::string salida;
    EXPECT_EQ(kittest::Run("QelExec", {"--dir", carpeta}, &salida), kSinVentana) << salida;
    EXPECT_NE(GetForegroundWindow(), ventana);
    do
        linea = primero.ReadLine();
    while (!linea.empty() && linea.find("pasa al frente") == std::string::npos);
    EXPECT_FALSE(linea.empty()) << "the first wizard never heard it was brought forward";
    primero.Kill();
    DestroyWindow(ventana);
}

TEST_F(Asistente, ASecondWizardOpensWhenTheFirstCouldNotRecordItsWindow)
{
    // A name no file mapping can have: the first wizard runs without its record.
    const std::string config =
        std::string(kConfig).replace(std::string(kConfig).find("QelAsistPrueba"), 14, std::string(300, 'n'));
    EscribirConfig(config);
    kittest::Child primero("QelExec",
                           {"--dir", carpeta, "--unattended", Respuestas("[Página 2001]\nEsperar=60000\n")});
    std::string linea;
    do
        linea = primero.ReadLine();
    while (!linea.empty() && linea.find("botones:") == std::string::npos);
    ASSERT_FALSE(linea.empty());
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\n", salida), kAgotado) << salida;
    EXPECT_TRUE(Dice(salida, "== Página 0 (2001)"));
    primero.Kill();
}

namespace
{
// What the wizard leaves in the registry before the reboot a TCP/IP change needs.
void GuardadoAntesDeReiniciar(DWORD operacion)
{
    CRegApli reg;
    ASSERT_EQ(reg.Open(kClave, TRUE), S_OK);
    reg.SetOperacion(operacion);
    reg.SetFichFirmware("C:\\firmware\\p643.bin");
    reg.SetNIC("Realtek RTL8139 Family PCI Fast Ethernet NIC");
    reg.SetModoConf(1);
    reg.SetDHCP(1);
    reg.SetIpPrivada("172.16.0.5");
    reg.SetMaskPrivada("255.255.0.0");
    reg.SetModoDirec(1);
    reg.SetUsername("usuario@adsl");
    reg.SetPassword("secreto");
    reg.SetIpRouter("172.16.0.1");
    reg.SetMaskRouter("255.255.0.0");
    ASSERT_EQ(reg.SetEstadoInicial(FALSE), S_OK);
    ASSERT_EQ(reg.Write("QelExec", (kittest::BinDir() + "\\QelExec.exe").c_str()), S_OK);
    reg.Close();
}
} // namespace

TEST_F(Asistente, AfterTheRebootTheHostStartsAgainAndTheConfigurationResumesAtTheSummary)
{
    GuardadoAntesDeReiniciar(0);
    setenv("KIT_LIB", carpeta.c_str(), 1);
    setenv("KIT_ANSWERS",
           Respuestas("[Página 2001]\nPulsar=Siguiente>\n[Página 2013]\nPulsar=<Atrás\n"
                      "[Página 2004]\nPulsar=Siguiente>\n[Página 2011]\n")
               .c_str(),
           1);
    std::string utf8;
    EXPECT_EQ(kittest::Run("machine", {"reboot"}, &utf8), 0) << utf8;
    const std::string salida = kitpc::PcText(utf8);
    EXPECT_TRUE(Dice(salida, "ended with exit code 2")) << salida;
    // Welcome, then the summary; back from it to the mode page, which shows the saved answers.
    EXPECT_TRUE(Dice(salida, "== Página 11 (2013)"));
    EXPECT_FALSE(Dice(salida, "== Página 1 (2023)"));
    EXPECT_TRUE(Dice(salida, "   (•) Modo multipuesto. [1122]"));
    EXPECT_TRUE(Dice(salida, "   (•) Direccionamiento dinámico. [1162]"));
    // The restart entry was used once.
    HKEY clave = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                            KEY_READ, &clave),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(clave, "QelExec", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(clave);
}

TEST_F(Asistente, AResumedFirmwareUpdateGoesBackToTheRequirementsCheck)
{
    GuardadoAntesDeReiniciar(1);
    setenv("KIT_LIB", carpeta.c_str(), 1);
    setenv("KIT_ANSWERS", Respuestas("[Página 2001]\nPulsar=Siguiente>\n[Página 2005]\n").c_str(), 1);
    std::string utf8;
    EXPECT_EQ(kittest::Run("machine", {"reboot"}, &utf8), 0) << utf8;
    const std::string salida = kitpc::PcText(utf8);
    EXPECT_TRUE(Dice(salida, "== Página 4 (2005)")) << salida;
    EXPECT_TRUE(Dice(salida, "ended with exit code 2"));
}

TEST_F(Asistente, AStateFlagOfTheWrongTypeCountsAsANormalStart)
{
    HKEY clave = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kClave, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &clave, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(clave, "EstadoInicial", 0, REG_SZ, reinterpret_cast<const BYTE *>("0"), 2),
              ERROR_SUCCESS);
    RegCloseKey(clave);
    std::string salida;
    EXPECT_EQ(Correr("[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\n", salida), kAgotado) << salida;
}

TEST_F(Requisitos, APcWithTheKitsCardHasEverythingAndGoesOnToThePublicData)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    std::string salida;
    EXPECT_EQ(
        Correr(HastaRequisitos(kMonopuesto, kEstatico) + "[Página 2002]\nPulsar=Siguiente>\n[Página 2006]\n",
               salida),
        kAgotado)
        << salida;
    EXPECT_TRUE(Dice(salida, "   · Tarjetas de red detectadas.")) << salida;
    EXPECT_TRUE(Dice(salida, "   · Verificado TCP/IP."));
    EXPECT_FALSE(Dice(salida, "Verificado cliente PPPoE/RAS."));
    EXPECT_TRUE(
        Dice(salida, "   Su PC dispone de todos los requisitos necesarios para poder iniciar el proceso."));
    EXPECT_TRUE(Dice(salida, "   Tarjeta/s de red instalada/s, enlazada/s y habilitada/s."));
    EXPECT_TRUE(Dice(salida, "   TCP/IP instalado correctamente."));
    EXPECT_FALSE(Dice(salida, "RAS instalado correctamente."));
    EXPECT_TRUE(Dice(salida, "   Pulse 'Siguiente' para continuar."));
    EXPECT_TRUE(Dice(salida, "== Página 6 (2006)"));
}

TEST_F(Requisitos, WhatThePcLacksDecidesTheLinesAndWhetherItMayGoOn)
{
    struct Caso
    {
        const char *os;
        std::vector<std::string> tarjetas;
        const char *linea;
        bool sigue;
    } casos[] = {
        {"xp",
         {"--nic", kIntel, "--dhcp"},
         "Aunque no tiene instalada la tarjeta de red incluida en este kit, dispone de otras compatibles.",
         true},
        // A card of the PC that Windows keeps disabled is not one the PC has.
        {"2000",
         {"--nic", kRealtek, "--disabled", "--nic", kIntel},
         "Aunque no tiene instalada la tarjeta de red incluida en este kit, dispone de otras compatibles.",
         true},
        {"2000",
         {"--nic", kRealtek, "--unbound", "--nic", kIntel},
         "No tiene habilitada la tarjeta de red incluida en este kit.",
         true},
        // On Windows 9x an adapter without TCP/IP has no TCP/IP settings to read.
        {"98",
         {"--nic", kRealtek, "--unbound", "--nic", kIntel},
         "No tiene correctamente enlazada al TCP/IP la tarjeta de red incluida en este kit.",
         true},
        {"xp", {}, "No dispone de ninguna tarjeta de red instalada.", false},
        {"me",
         {"--nic", kIntel, "--unbound"},
         "No dispone de ninguna tarjeta de red correctamente enlazada al TCP/IP.",
         false},
        {"nt4", {"--nic", kRealtek, "--unbound"}, "No dispone de ninguna tarjeta de red habilitada.", false},
        {"95",
         {"--nic", kIntel, "--dhcp"},
         "Aunque no tiene instalada la tarjeta de red incluida en este kit, dispone de otras compatibles.",
         true},
        {"98se",
         {"--nic", kIntel, "--nic", kRealtek, "--unbound"},
         "No tiene correctamente enlazada al TCP/IP la tarjeta de red incluida en este kit.",
         true},
    };
    for (const Caso &caso : casos)
    {
        Pc(caso.os, caso.tarjetas);
        std::string salida;
        EXPECT_EQ(Correr(HastaRequisitos(kMonopuesto, kEstatico) + "[Página 2002]\n", salida), kAgotado)
            << salida;
        EXPECT_TRUE(Dice(salida, std::string("   ") + caso.linea)) << caso.os << "\n" << salida;
        if (caso.sigue)
        {
            EXPECT_TRUE(Dice(salida, "   Pulse 'Siguiente' para continuar o cancele y finalizará."))
                << salida;
            EXPECT_TRUE(Dice(salida, "   botones: <Atrás | Siguiente> | Cancelar")) << salida;
        }
        else
        {
            EXPECT_TRUE(Dice(
                salida, "   Error en el proceso de detección de requisitos necesarios de la aplicación."));
            EXPECT_TRUE(Dice(salida, "   No se puede continuar con la configuración de su servicio ADSL."));
            EXPECT_TRUE(Dice(salida, "   botones: <Atrás | Siguiente> (inactivo) | Cancelar")) << salida;
        }
    }
}

TEST_F(Requisitos, OnePcWithDynamicAddressingChecksThePppoeClientToo)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp", "--pppoe", "none"});
    std::string salida;
    EXPECT_EQ(
        Correr(HastaRequisitos(kMonopuesto, kDinamico) + "[Página 2002]\nPulsar=<Atrás\n[Página 2023]\n",
               salida),
        kAgotado)
        << salida;
    EXPECT_TRUE(Dice(salida, "   · Verificado cliente PPPoE/RAS.")) << salida;
    // Without a client its adapter is not asked for.
    EXPECT_TRUE(Dice(salida, "   No tiene instalado un cliente PPPoE en su PC."));
    EXPECT_FALSE(Dice(salida, "Adaptador de cliente PPPoE"));
    // Back goes to the operation page.
    EXPECT_TRUE(Dice(salida, "== Página 1 (2023)"));
}

TEST_F(Requisitos, TheDialUpPartsAreCheckedOnEveryFamily)
{
    struct Caso
    {
        const char *os;
        std::vector<std::string> opciones;
        std::vector<const char *> lineas;
        bool sigue;
    } casos[] = {
        {"98se",
         {"--pppoe", "winpoet", "--winpoet-selector", "1"},
         {"RAS instalado correctamente.", "Cliente PPPoE instalado correctamente."},
         true},
        {"95",
         {"--ras", "no", "--pppoe", "winpoet", "--winpoet-selector", "1"},
         {"No tiene correctamente instalado el RAS."},
         false},
        // For EnterNet the kit does not look for RAS.
        {"me", {"--ras", "no", "--pppoe", "none"}, {"No tiene instalado un cliente PPPoE en su PC."}, false},
        // An installed client whose adapter is disabled lacks only the adapter.
        {"2000",
         {"--pppoe", "enternet", "--pppoe-disabled"},
         {"No tiene instalado el Adaptador de cliente PPPoE."},
         false},
        {"nt4", {"--pppoe", "enternet"}, {"Cliente PPPoE instalado correctamente."}, true},
    };
    // The selector the machine tool writes is under the key these settings name.
    EscribirConfig(kConfigAdsl);
    for (const Caso &caso : casos)
    {
        std::vector<std::string> opciones = {"--nic", kRealtek, "--dhcp"};
        opciones.insert(opciones.end(), caso.opciones.begin(), caso.opciones.end());
        Pc(caso.os, opciones);
        std::string salida;
        EXPECT_EQ(Correr(HastaRequisitos(kMonopuesto, kDinamico) + "[Página 2002]\n", salida), kAgotado)
            << salida;
        for (const char *linea : caso.lineas)
            EXPECT_TRUE(Dice(salida, std::string("   ") + linea)) << caso.os << "\n" << salida;
        EXPECT_EQ(Dice(salida, "No tiene correctamente instalado el RAS."),
                  std::string(caso.lineas.front()) == "No tiene correctamente instalado el RAS.")
            << caso.os;
        const std::string resultado =
            salida.substr(std::min(salida.find("== Página 5 (2002)"), salida.size()));
        EXPECT_EQ(Dice(resultado, "   botones: <Atrás | Siguiente> | Cancelar"), caso.sigue)
            << caso.os << salida;
    }
}

TEST_F(Requisitos, CancellingTheRunningCheckStopsItAndTheWizardCloses)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    std::string salida;
    EXPECT_EQ(Correr(HastaRequisitos(kMonopuesto, kEstatico) +
                         "Pulsar=Cancelar\n[Mensaje]\nTítulo=Cancelar asistente\nRespuesta=Sí\n",
                     salida),
              kCancelado)
        << salida;
    EXPECT_FALSE(Dice(salida, "== Página 5"));
}

TEST_F(Requisitos, TheAccountPageWantsAUserNameAndTheSummaryShowsTheAnswers)
{
    // WinPoET installed and named the kit's client under the key of the wizard's settings.
    Pc("xp", {"--nic", kIntel, "--dhcp", "--nic", kRealtek, "--dhcp", "--pppoe", "winpoet",
              "--winpoet-selector", "1"});
    EscribirConfig(kConfigAdsl);
    std::string salida;
    EXPECT_EQ(Correr(HastaRequisitos(kMonopuesto, kDinamico) +
                         "[Página 2002]\nPulsar=Siguiente>\n"
                         "[Página 2003]\nEscribir 1362=   \nEspera=300\nPulsar=Siguiente>\n",
                     salida),
              3)
        << salida;
    EXPECT_TRUE(Dice(salida, "el botón «Siguiente>» no se activa.")) << "blanks are no user name\n" << salida;

    EXPECT_EQ(
        Correr(
            HastaRequisitos(kMonopuesto, kDinamico) +
                "[Página 2002]\nPulsar=Siguiente>\n"
                "[Página 2003]\nEscribir 1362=  usuario@adsl  \nEscribir 1364=secreto-de-31-caracteres-en-tot"
                "al\nPulsar=Siguiente>\n[Página 2013]\n",
            salida),
        kAgotado)
        << salida;
    // The kit's card is chosen at first, whatever the list's order.
    EXPECT_TRUE(Dice(salida, "Realtek RTL8139 Family PCI Fast Ethernet NIC» de 2")) << salida;
    EXPECT_TRUE(Dice(salida, "   Monopuesto")) << salida;
    EXPECT_TRUE(Dice(salida, "   Dinámico"));
    EXPECT_TRUE(Dice(salida, "   usuario@adsl\r") || Dice(salida, "   usuario@adsl\n"));
    // The password is cut at 30 characters and never shown.
    EXPECT_TRUE(Dice(salida, "   " + std::string(30, '*') + "\n") ||
                Dice(salida, "   " + std::string(30, '*') + "\r"));
    EXPECT_FALSE(Dice(salida, "secreto"));
    EXPECT_TRUE(Dice(salida, "   192.0.2.53"));
    EXPECT_TRUE(Dice(salida, "   198.51.100.53"));
    EXPECT_TRUE(Dice(salida, "   RAS instalado correctamente."));
}

TEST_F(Requisitos, ThePublicDataAndManagementPagesRefuseWhatTheRulesRefuse)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    const std::string inicio = HastaRequisitos(kMonopuesto, kEstatico) + "[Página 2002]\nPulsar=Siguiente>\n";
    std::string salida;
    EXPECT_EQ(
        Correr(
            inicio +
                // A private address, a broadcast, a /31 mask: each refused, the page stays.
                "[Página 2006]\nEscribir 1282=192.168.5.10\nEscribir "
                "1284=255.255.255.0\nPulsar=Siguiente>\n" +
                Caja("Error en dirección IP", "La dirección de usuario introducida no es válida.") +
                "[Página 2006]\nEscribir 1282=80.58.255.255\nEscribir 1284=255.255.0.0\nPulsar=Siguiente>\n" +
                Caja("Error en dirección IP", "La dirección de usuario") +
                "[Página 2006]\nEscribir 1282=80.58.1.10\nEscribir "
                "1284=255.255.255.254\nPulsar=Siguiente>\n" +
                Caja("Error en la máscara de red", "La máscara de usuario introducida no es válida.") +
                // A zero host part passes.
                "[Página 2006]\nEscribir 1282=80.58.0.0\nEscribir 1284=255.255.0.0\nPulsar=<Atrás\n"
                "[Página 2002]\nPulsar=Siguiente>\n"
                "[Página 2006]\nEscribir 1282=80.58.1.10\nEscribir 1284=255.255.255.0\nPulsar=Siguiente>\n"
                // The defaults, then a management subnet overlapping the public one.
                "[Página 2021]\nEscribir 1322=80.58.1.200\nEscribir 1324=255.255.255.0\nPulsar=Siguiente>\n" +
                Caja("Dirección incorrecta", "Los datos de gestión introducidos no son válidos.") +
                "[Página 2021]\nPulsar=Siguiente>\n[Página 2013]\n",
            salida),
        kAgotado)
        << salida;
    EXPECT_TRUE(Dice(salida, "   dirección [1322]: 10.0.0.5")) << salida;
    EXPECT_EQ(Veces(salida, "   dirección [1322]: 10.0.0.5"), 1); // shown once, reset silently after 214
    EXPECT_TRUE(Dice(salida, "   80.58.1.10"));
    EXPECT_TRUE(Dice(salida, "   10.0.0.5"));
    EXPECT_TRUE(Dice(salida, "   255.0.0.0"));
}

TEST_F(Requisitos, TheSeveralPcsPageChecksThePoolTheMaskAndTheRouter)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    std::string salida;
    EXPECT_EQ(Correr(HastaRequisitos(kMultipuesto, kDinamico) +
                         "[Página 2002]\nPulsar=Siguiente>\n"
                         "[Página 2003]\nEscribir 1362=usuario\nPulsar=Siguiente>\n"
                         "[Página 2012]\nEspera=300\nPulsar=Siguiente>\n" // nothing chosen: Next is off
                     ,
                     salida),
              3)
        << salida;
    EXPECT_EQ(
        Correr(HastaRequisitos(kMultipuesto, kDinamico) +
                   "[Página 2002]\nPulsar=Siguiente>\n"
                   "[Página 2003]\nEscribir 1362=usuario\nPulsar=Siguiente>\n"
                   "[Página 2012]\nElegir=1441\nMirar=\n"
                   "Escribir 1444=192.168.1.33\nEscribir 1446=255.255.255.0\nEscribir 1452=192.168.1.100\n"
                   "Pulsar=Siguiente>\n" +
                   Caja("Error en dirección IP",
                        "La dirección que ha indicado para el router está dentro del "
                        "rango") +
                   "[Página 2012]\nElegir=1442\nEscribir 1448=192.168.1.5\nEscribir 1450=255.255.0.0\n"
                   "Escribir 1452=192.168.1.1\nPulsar=Siguiente>\n" +
                   Caja("Máscara de subred no válida", "La máscara introducida no es válida para la subred") +
                   "[Página 2012]\nPulsar=Siguiente>\n[Página 2013]\n",
               salida),
        kAgotado)
        << salida;
    // A click proposes 172.16.0.5 / 255.255.0.0 and the router 172.16.0.1.
    EXPECT_TRUE(Dice(salida, "   dirección [1444]: 172.16.0.5")) << salida;
    EXPECT_TRUE(Dice(salida, "   dirección [1446]: 255.255.0.0"));
    EXPECT_TRUE(Dice(salida, "   dirección [1452]: 172.16.0.1"));
    EXPECT_TRUE(Dice(salida, "   dirección [1448]: (vacía) (inactivo)"));
    // After 205 the mask is the private subnet's, and the page then goes on.
    EXPECT_TRUE(Dice(salida, "   Multipuesto"));
    EXPECT_TRUE(Dice(salida, "   192.168.1.5"));
    EXPECT_TRUE(Dice(salida, "   255.255.255.0"));
    EXPECT_TRUE(Dice(salida, "   No")); // no DHCP server in the router
}

TEST_F(Requisitos, WithoutARouterTheCheckLeadsToTheNoConnectivityPagesWhichCloseWithoutAsking)
{
    // No router answers on this PC's network; only the third serial port is there.
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Escribir(kittest::MachineDir() + "/devices/COM3", "");
    std::string salida;
    EXPECT_EQ(Correr(HastaResumen() + "[Página 2028]\nPulsar=Cancelar\n", salida), kCancelado) << salida;
    EXPECT_TRUE(Dice(salida, "== Página 12 (2014)")) << salida;
    EXPECT_TRUE(Dice(salida, "   Comprobando la conectividad..."));
    EXPECT_TRUE(Dice(salida, "   botones: Reintentar | Siguiente> | Cancelar"));
    EXPECT_FALSE(Dice(salida, "-- Mensaje"));

    EXPECT_EQ(Correr(HastaResumen() + "[Página 2028]\nPulsar=Reintentar\n[Página 2014]\n[Página 2028]\n"
                                      "Pulsar=Siguiente>\n[Página 2015]\nPulsar=Cancelar\n",
                     salida),
              kCancelado)
        << salida;
    EXPECT_EQ(Veces(salida, "== Página 12 (2014)"), 2);
    EXPECT_TRUE(Dice(salida, "   lista [1602]: «COM3» de 1")) << salida;
    EXPECT_TRUE(Dice(salida, "   botones: Ignorar | Siguiente> | Cancelar"));
    EXPECT_FALSE(Dice(salida, "-- Mensaje"));
    // COM3 is no console: the read fails and the page goes on to the address typed by hand.
    EXPECT_EQ(Correr(HastaResumen() + "[Página 2028]\nPulsar=Siguiente>\n[Página 2015]\nPulsar=Siguiente>\n"
                                      "[Página 2029]\n[Página 2016]\n",
                     salida),
              kAgotado)
        << salida;
    EXPECT_TRUE(Dice(
        salida, "   · No se dispone de conectividad con el módem-router ADSL a través del puerto serie."))
        << salida;
    EXPECT_TRUE(Dice(salida, "   botones: <Atrás | Reconfigurar | Cancelar"));
}

TEST_F(Requisitos, TheAddressTypedByHandChangesTheTcpipAndTheWizardResumesAfterTheRestart)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    const std::string hastaManual = HastaResumen() +
                                    "[Página 2028]\nPulsar=Siguiente>\n[Página 2015]\nEspera=2000\n"
                                    "Pulsar=Ignorar\n[Página 2016]\nMirar=\n";
    std::string salida;
    EXPECT_EQ(
        Correr(
            hastaManual +
                // A subnet's own address is refused, although it passes the usable-host rule.
                "Escribir 1683=192.168.1.0\nEscribir 1687=192.168.1.7\nPulsar=Reconfigurar\n"
                "[Mensaje]\nTítulo=Direcciones IP no válidas.\nTexto=La dirección IP del Router no es "
                "válida, "
                "es una dirección de subred.\nRespuesta=Aceptar\n"
                "[Página 2016]\nEscribir 1683=192.168.1.1\nEscribir 1687=192.168.1.7\nPulsar=Reconfigurar\n"
                "[Mensaje]\nTítulo=¿Reiniciar el ordenador?\nRespuesta=Aceptar\n",
            salida),
        kCancelado)
        << salida;
    // Nothing else known: the router at 192.168.1.1 and the PC beside it.
    EXPECT_TRUE(Dice(salida, "   dirección [1683]: 192.168.1.1")) << salida;
    EXPECT_TRUE(Dice(salida, "   dirección [1687]: 192.168.1.2"));
    // The card now has the address, the restart was asked for, and the host will start again.
    EXPECT_TRUE(Dice(kittest::ReadHostFile(kittest::MachineDir() + "/power.log"), "reboot")) << salida;
    std::string utf8;
    ASSERT_EQ(kittest::Run("machine", {"show"}, &utf8), 0);
    EXPECT_TRUE(Dice(utf8, "192.168.1.7")) << utf8;

    setenv("KIT_LIB", carpeta.c_str(), 1);
    setenv("KIT_ANSWERS", Respuestas("[Página 2001]\nPulsar=Siguiente>\n[Página 2013]\n").c_str(), 1);
    EXPECT_EQ(kittest::Run("machine", {"reboot"}, &utf8), 0) << utf8;
    salida = kitpc::PcText(utf8);
    EXPECT_TRUE(Dice(salida, "== Página 11 (2013)")) << salida;
    EXPECT_TRUE(Dice(salida, "   80.58.1.10"));
    EXPECT_TRUE(Dice(salida, "ended with exit code 2"));
}
