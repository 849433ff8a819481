// The route fixer: route computation, the program's run in-process with short pauses, and the
// program itself as a process on a simulated PC whose gateway answers on the virtual network.
#include "routefix/RouteFixer.h"
#include "common/ipv4/Ipv4Text.h"
#include "testing/kittest.h"
#ifndef _WIN32
#include "testing/loopback.h"
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace
{
const FixRtTiming kQuick{0, 1, 120};

std::string LogPath()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "QelFixRt.txt";
}

// The messages of the log's trace lines, in order.
std::vector<std::string> LogMessages()
{
    static const std::regex line(R"(\d\d/\d\d/\d{4} a las \d\d:\d\d:\d\d\(\d{3}\) -- (.*)\r)");
    std::vector<std::string> messages;
    std::istringstream in(kittest::ReadHostFile(LogPath(), ""));
    std::string text;
    while (std::getline(in, text))
    {
        std::smatch match;
        if (std::regex_match(text, match, line))
            messages.push_back(match[1].str());
    }
    return messages;
}

#ifndef _WIN32
size_t Count(const std::vector<std::string> &messages, const std::string &message)
{
    return static_cast<size_t>(std::count(messages.begin(), messages.end(), message));
}

// Makes the gateway answer on the virtual network (a refusal counts as an answer).
void GatewayAnswers(const char *gateway, const kittest::ClosedPort &port)
{
    kittest::MapHostPort(kittest::MachineDir(), gateway, 80, port.Port());
}

// Gives the PC its route program.
void InstallRoute()
{
    fs::create_symlink(kittest::BinDir() + "/route", kittest::MachineDir() + "/bin/route");
}

// The PC's routing table once `count` routes are in it; the route processes run on their own,
// so the table is read until it holds them (or a generous deadline passes).
std::set<std::string> RoutesOnceThere(size_t count)
{
    std::set<std::string> routes;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         std::chrono::steady_clock::now() < until;)
    {
        routes.clear();
        std::istringstream in(kittest::ReadHostFile(kittest::MachineDir() + "/routes", ""));
        std::string destination, mask, gateway, metric;
        while (in >> destination >> mask >> gateway >> metric)
            routes.insert(destination + "/" + mask + " " + gateway);
        if (routes.size() >= count)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return routes;
}

#endif

const std::set<std::string> kEightRoutes = {
    "80.1.2.2/255.255.255.255 80.1.2.1",  "80.1.2.0/255.255.255.254 80.1.2.1",
    "80.1.2.4/255.255.255.252 80.1.2.1",  "80.1.2.8/255.255.255.248 80.1.2.1",
    "80.1.2.16/255.255.255.240 80.1.2.1", "80.1.2.32/255.255.255.224 80.1.2.1",
    "80.1.2.64/255.255.255.192 80.1.2.1", "80.1.2.128/255.255.255.128 80.1.2.1",
};

int RunInProcess(const char *commandLine)
{
    CTraceLog log;
    log.SetFileName("QelFixRt.txt");
    log.SetAlwaysOn(1);
    log.Open();
    return RunRouteFixer(log, commandLine, kQuick);
}
} // namespace

TEST(RouteComputation, NumberOfRoutes)
{
    EXPECT_EQ(NumberOfRoutes(ipv4::ValueOf("255.255.255.0")), 8);
    EXPECT_EQ(NumberOfRoutes(ipv4::ValueOf("255.255.255.255")), 0);
    EXPECT_EQ(NumberOfRoutes(ipv4::ValueOf("255.255.255.254")), 1);
    EXPECT_EQ(NumberOfRoutes(ipv4::ValueOf("0.0.0.0")), -1);
    EXPECT_EQ(NumberOfRoutes(ipv4::ValueOf("128.0.0.0")), 31);
    EXPECT_EQ(NumberOfRoutes(ipv4::ValueOf("255.0.255.0")),
              23); // not contiguous: highest bit of the negation
}

TEST(RouteComputation, TheEightRoutesOfTheExample)
{
    std::set<std::string> routes;
    for (int i = 0; i < 8; ++i)
    {
        DWORD destination, mask;
        RouteOf(ipv4::ValueOf("80.1.2.3"), i, destination, mask);
        routes.insert(ipv4::TextOf(destination) + "/" + ipv4::TextOf(mask) + " 80.1.2.1");
    }
    EXPECT_EQ(routes, kEightRoutes);
}

TEST(RouteFixerRun, BadParametersEndWithExitCodeZeroBeforeAnyRoute)
{
#ifndef _WIN32
    InstallRoute();
#endif
    struct Case
    {
        const char *commandLine;
        const char *lastMessage;
    } cases[] = {
        {"", "WinMain - ERROR: no se han pasado parámetros. Fin."},
        {"   ", "WinMain - ERROR en el primer parámetro (nulo). Fin."},
        {"80.1.2.3", "WinMain - ERROR en el segundo parámetro (nulo). Fin."},
        {"80.1.2.256 255.255.255.0",
         "WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin."},
        {".80.1.2.3 255.255.255.0",
         "WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin."},
        {"80.1.2.3. 255.255.255.0",
         "WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin."},
        {"80.1..2.3 255.255.255.0",
         "WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin."},
        {"80.1.2.3.4 255.255.255.0",
         "WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin."},
        {"80.1.2.3 255.255.255.0 80.1.2.x",
         "WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin."},
        {"80.1.2.3 255.255.255.\xF1",
         "WinMain - ERROR: alguno de los parámetros dados (o todos) no es una IP válida. Fin."},
    };
    for (const Case &c : cases)
    {
        DeleteFileA(LogPath().c_str());
        EXPECT_EQ(RunInProcess(c.commandLine), 0) << c.commandLine;
        EXPECT_EQ(LogMessages().back(), c.lastMessage) << c.commandLine;
    }
    // A word longer than 259 characters keeps its first 259, which are no address.
    DeleteFileA(LogPath().c_str());
    const std::string longWord = "80.1.2.3" + std::string(300, '9') + " 255.255.255.0";
    EXPECT_EQ(RunInProcess(longWord.c_str()), 0);
    const std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(messages[2], "WinMain - Primer parámetro (IP) [80.1.2.3" + std::string(251, '9') + "]");
#ifndef _WIN32
    EXPECT_FALSE(fs::exists(kittest::MachineDir() + "/routes"));
#endif
}

TEST(RouteFixerRun, TheThirdWordIsTheGateway)
{
    DeleteFileA(LogPath().c_str());
#ifndef _WIN32
    InstallRoute();
    kittest::ClosedPort port;
    GatewayAnswers("80.1.2.1", port);
#endif
    EXPECT_EQ(RunInProcess("80.1.2.3   255.255.255.0 ignored fourth"), 0);
    const std::vector<std::string> messages = LogMessages();
    const std::vector<std::string> expectedStart = {
        "********************* NUEVA EJECUCION DEL LOG ******************",
        "WinMain - Parámetros obtenidos.",
        "WinMain - Primer parámetro (IP) [80.1.2.3]",
        "WinMain - Segundo parámetro (máscara) [255.255.255.0]",
        "WinMain - Tercer parámetro opcional (gateway) [ignored]",
    };
    // The third word is the gateway; "ignored" is no address, so this run ends here.
    ASSERT_GE(messages.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 5), expectedStart);
}

TEST(RouteFixerProgram, WithoutParametersEndsAtOnce)
{
    DeleteFileA(LogPath().c_str());
    EXPECT_EQ(kittest::Run(kittest::BinDir() + "/QelFixRt", {}), 0);
    EXPECT_EQ(LogMessages().back(), "WinMain - ERROR: no se han pasado parámetros. Fin.");
}

// The runs that add routes and check the gateway: on the simulated PC, through its route program
// and its virtual network. On Windows route.exe changes the real routing table (under Wine, the
// host's) and the gateway 80.1.2.x would be a real address.
#ifndef _WIN32
TEST(RouteFixerRun, TwoRunsOfFixRoutesAroundTheConnectivityCheck)
{
    InstallRoute();
    kittest::ClosedPort port;
    GatewayAnswers("80.1.2.1", port);
    EXPECT_EQ(RunInProcess("80.1.2.3 255.255.255.0"), 1);
    EXPECT_EQ(RoutesOnceThere(8), kEightRoutes);
    const std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(Count(messages, "FixIpRoutesForADSLProblem - IP del gateway calculada [80.1.2.1]"), 1u);
    EXPECT_EQ(Count(messages, "FixRoutes - Nº de rutas calculado [Nº rutas: 8]"), 2u);
    EXPECT_EQ(Count(messages, "FixRoutes - Comando de introducción de ruta ejecutado."), 16u);
    EXPECT_EQ(Count(messages, "CheckIp - Conexión rechazada en destino (conectividad verificada)."), 1u);
    const std::vector<std::string> tail(messages.end() - 5, messages.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "FixRoutes - Comando de introducción de ruta ejecutado.",
                        "FixRoutes - Fin de la operación.",
                        "FixIpRoutesForADSLProblem - Realizado segundo intento de fijación de rutas.",
                        "FixIpRoutesForADSLProblem - Fin de la operación.",
                        "WinMain - Proceso de fijado de rutas terminado correctamente. Fin.",
                    }));
}

TEST(RouteFixerRun, MaskEdges)
{
    InstallRoute();
    kittest::ClosedPort port;
    GatewayAnswers("80.1.2.3", port);
    // 255.255.255.255: no route at all, still a success.
    EXPECT_EQ(RunInProcess("80.1.2.3 255.255.255.255 80.1.2.3"), 1);
    std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(Count(messages, "FixRoutes - Nº de rutas calculado [Nº rutas: 0]"), 2u);
    EXPECT_EQ(Count(messages, "FixRoutes - Comando de introducción de ruta ejecutado."), 0u);
    // 0.0.0.0: H is -1, logged, and no route.
    DeleteFileA(LogPath().c_str());
    EXPECT_EQ(RunInProcess("80.1.2.3 0.0.0.0 80.1.2.3"), 1);
    messages = LogMessages();
    EXPECT_EQ(Count(messages, "FixRoutes - Nº de rutas calculado [Nº rutas: -1]"), 2u);
    EXPECT_FALSE(fs::exists(kittest::MachineDir() + "/routes"));
    // A computed gateway must be an address: x.x.x.255 with a /32 mask has none.
    DeleteFileA(LogPath().c_str());
    EXPECT_EQ(RunInProcess("80.1.2.255 255.255.255.255"), 0);
    messages = LogMessages();
    EXPECT_EQ(Count(messages, "FixIpRoutesForADSLProblem - ERROR al calcular la IP del gateway."), 1u);
}

TEST(RouteFixerRun, AGatewayThatNeverAnswersCosts121Checks)
{
    InstallRoute(); // no network.ini: the gateway is unreachable at once
    EXPECT_EQ(RunInProcess("80.1.2.3 255.255.255.0"), 1); // the last FixRoutes decides
    const std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(Count(messages, "CheckIp - Comienzo de operación."), 121u);
    EXPECT_EQ(Count(messages, "CheckIp - ERROR en 'connect' (conectividad NO verificada). [Error: 10060]"),
              121u);
    for (int attempt : {1, 120})
        EXPECT_EQ(
            Count(messages, "FixIpRoutesForADSLProblem - Chequeo de conectividad con el gateway fallido. "
                            "Esperamos. [Intento nº: " +
                                std::to_string(attempt) + "]"),
            1u);
    EXPECT_EQ(Count(messages,
                    "FixIpRoutesForADSLProblem - Chequeo de conectividad con el gateway fallido. Esperamos. "
                    "[Intento nº: 121]"),
              0u);
    EXPECT_EQ(Count(messages, "FixIpRoutesForADSLProblem - Cumplido el nº máximo de reintentos de chequeo de "
                              "conectividad con el router."),
              1u);
}

TEST(RouteFixerRun, ARouteProgramThatCannotStartFailsTheRun)
{
    kittest::ClosedPort port; // no bin/route on this PC
    GatewayAnswers("80.1.2.1", port);
    EXPECT_EQ(RunInProcess("80.1.2.3 255.255.255.0"), 0);
    const std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(Count(messages, "FixRoutes - Error al ejecutar el comando de introducción de ruta."), 16u);
    EXPECT_EQ(messages.back(), "WinMain - Se detectó un error al fijar las rutas. Fin.");
}

TEST(RouteFixerProgram, RunsOnTheSimulatedPc)
{
    ASSERT_EQ(kittest::Run("machine", {"create", "--os", "xp", "--force"}), 0);
    kittest::ClosedPort port;
    GatewayAnswers("80.1.2.1", port);
    EXPECT_EQ(kittest::Run(kittest::BinDir() + "/QelFixRt", {"80.1.2.3", "255.255.255.0", "80.1.2.1"}), 1);
    EXPECT_EQ(RoutesOnceThere(8), kEightRoutes);
    const std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(messages.back(), "WinMain - Proceso de fijado de rutas terminado correctamente. Fin.");
    EXPECT_EQ(kittest::Run(kittest::BinDir() + "/QelFixRt", {}), 0);
    EXPECT_EQ(LogMessages().back(), "WinMain - ERROR: no se han pasado parámetros. Fin.");
}
#endif

#ifdef _WIN32
// The program's own folder is searched first for "route": the build's stand-in there records
// each command in the folder KIT_ROUTE_LOG names, one file a command, instead of changing the
// routing table. The gateway is a loopback address: port 80 there answers or refuses at once.
TEST(RouteFixerProgram, FixesTheRoutesThroughALoopbackGateway)
{
    const std::string folder = kittest::TempFolder() + "\\route-commands";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(SetEnvironmentVariableA("KIT_ROUTE_LOG", folder.c_str()));
    DeleteFileA(LogPath().c_str());
    EXPECT_EQ(kittest::Run(kittest::BinDir() + "/QelFixRt", {"127.0.0.5", "255.255.255.0"}), 1);

    // Two rounds of the eight routes of 127.0.0.5/24 through its first address.
    std::multiset<std::string> commands;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         commands.size() < 16 && std::chrono::steady_clock::now() < until;)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        commands.clear();
        for (const fs::directory_entry &entry : fs::directory_iterator(folder))
            commands.insert(kittest::ReadHostFile(entry.path().string()));
    }
    SetEnvironmentVariableA("KIT_ROUTE_LOG", nullptr);
    const std::multiset<std::string> once = {
        "route ADD 127.0.0.4 MASK 255.255.255.255 127.0.0.1",
        "route ADD 127.0.0.6 MASK 255.255.255.254 127.0.0.1",
        "route ADD 127.0.0.0 MASK 255.255.255.252 127.0.0.1",
        "route ADD 127.0.0.8 MASK 255.255.255.248 127.0.0.1",
        "route ADD 127.0.0.16 MASK 255.255.255.240 127.0.0.1",
        "route ADD 127.0.0.32 MASK 255.255.255.224 127.0.0.1",
        "route ADD 127.0.0.64 MASK 255.255.255.192 127.0.0.1",
        "route ADD 127.0.0.128 MASK 255.255.255.128 127.0.0.1",
    };
    std::multiset<std::string> twice = once;
    twice.insert(once.begin(), once.end());
    EXPECT_EQ(commands, twice);

    const std::vector<std::string> messages = LogMessages();
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "FixIpRoutesForADSLProblem - IP del gateway calculada [127.0.0.1]"),
              messages.end());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "WinMain - Proceso de fijado de rutas terminado correctamente. Fin.");
}
#endif
