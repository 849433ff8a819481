// route on the simulated PC: the table file, Windows' argument checks and messages, duplicates,
// the PRINT layout and several route processes changing the table at once.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "tools/machine/layout.h"
#include "tools/machine/tests/program.h"
#include "testing/kittest.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using toolstest::ProgramResult;
using toolstest::RunProgram;

namespace
{
ProgramResult Route(const std::vector<std::string> &args)
{
    return RunProgram("route", args);
}

std::string TableText()
{
    return kittest::ReadHostFile(kittest::MachineDir() + "/routes", "");
}

std::vector<std::string> TableLines()
{
    std::vector<std::string> lines;
    std::istringstream in(TableText());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Utf8(const char8_t *text)
{
    return reinterpret_cast<const char *>(text);
}

void UseEnglish()
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Locale", "UserLangID", "0x0409"));
}

// An XP adapter with a fixed address, as the TCP/IP module writes it, on a laid-out XP PC.
void AddXpAdapter(const char *address, const char *mask)
{
    std::string error;
    ASSERT_TRUE(kitmachine::LayOutRegistry(error)) << error;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"
                              "{4A1B2C3D-0000-1111-2222-333344445555}",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    auto multi = [](const char *text) { return std::string(text) + '\0' + '\0'; };
    std::string a = multi(address), m = multi(mask);
    DWORD dhcp = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "IPAddress", 0, REG_MULTI_SZ, (const BYTE *)a.data(), a.size()));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "SubnetMask", 0, REG_MULTI_SZ, (const BYTE *)m.data(), m.size()));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "EnableDHCP", 0, REG_DWORD, (const BYTE *)&dhcp, sizeof dhcp));
    RegCloseKey(key);
}
} // namespace

// --- Adding, deleting, printing -----------------------------------------------------------------

TEST(RouteTable, AddWritesOneLinePerRoute)
{
    ProgramResult r = Route({"ADD", "80.1.2.0", "MASK", "255.255.255.254", "80.1.2.1"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ("80.1.2.0 255.255.255.254 80.1.2.1 1\n", TableText());
}

TEST(RouteTable, KeywordsIgnoreCaseAndMaskDefaultsToHost)
{
    AddXpAdapter("10.0.0.33", "255.0.0.0"); // interface 2, which "if 2" names
    ASSERT_EQ(0, Route({"add", "10.1.2.3", "10.0.0.1", "metric", "7"}).exitCode);
    ASSERT_EQ(
        0, Route({"Add", "10.2.0.0", "mAsK", "255.255.0.0", "10.0.0.1", "Metric", "3", "if", "2"}).exitCode);
    EXPECT_EQ(
        (std::vector<std::string>{"10.1.2.3 255.255.255.255 10.0.0.1 7", "10.2.0.0 255.255.0.0 10.0.0.1 3"}),
        TableLines());
}

TEST(RouteTable, DeleteByDestinationMaskAndGateway)
{
    ASSERT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.2"}).exitCode);
    ASSERT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.255.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"ADD", "20.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);

    ASSERT_EQ(0, Route({"delete", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.2"}).exitCode);
    EXPECT_EQ(3u, TableLines().size());
    ASSERT_EQ(0, Route({"DELETE", "10.0.0.0", "MASK", "255.255.0.0"}).exitCode);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.0 255.0.0.0 10.0.0.1 1", "20.0.0.0 255.0.0.0 10.0.0.1 1"}),
              TableLines());
    ASSERT_EQ(0, Route({"DELETE", "10.0.0.0"}).exitCode);
    EXPECT_EQ((std::vector<std::string>{"20.0.0.0 255.0.0.0 10.0.0.1 1"}), TableLines());
}

TEST(RouteTable, DeleteWithWildcards)
{
    ASSERT_EQ(0, Route({"ADD", "10.1.0.0", "MASK", "255.255.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"ADD", "10.2.0.0", "MASK", "255.255.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"ADD", "11.1.0.0", "MASK", "255.255.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"DELETE", "10.*"}).exitCode);
    EXPECT_EQ((std::vector<std::string>{"11.1.0.0 255.255.0.0 10.0.0.1 1"}), TableLines());
}

TEST(RouteTable, DeleteOfMissingRouteFails)
{
    UseEnglish();
    ASSERT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    ProgramResult r = Route({"DELETE", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.9"});
    EXPECT_NE(0, r.exitCode);
    EXPECT_EQ("The route specified was not found.\n", r.err);
    EXPECT_EQ(1u, TableLines().size());
}

TEST(RouteTable, ChangeReplacesGatewayAndMetric)
{
    ASSERT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"CHANGE", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.5", "METRIC", "4"}).exitCode);
    EXPECT_EQ("10.0.0.0 255.0.0.0 10.0.0.5 4\n", TableText());
    EXPECT_NE(0, Route({"CHANGE", "30.0.0.0", "MASK", "255.0.0.0", "10.0.0.5"}).exitCode);
}

TEST(RouteTable, ClearFlagEmptiesTheTableFirst)
{
    ASSERT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"-f", "ADD", "20.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    EXPECT_EQ("20.0.0.0 255.0.0.0 10.0.0.1 1\n", TableText());
    ASSERT_EQ(0, Route({"-f"}).exitCode);
    EXPECT_EQ("", TableText());
}

// --- Duplicates ---------------------------------------------------------------------------------

TEST(RouteDuplicates, SameRouteTwiceKeepsOneLineAndTakesTheNewMetric)
{
    ASSERT_EQ(0, Route({"ADD", "80.1.2.4", "MASK", "255.255.255.252", "80.1.2.1"}).exitCode);
    ProgramResult again = Route({"ADD", "80.1.2.4", "MASK", "255.255.255.252", "80.1.2.1", "METRIC", "5"});
    EXPECT_EQ(0, again.exitCode);
    EXPECT_EQ("", again.err);
    EXPECT_EQ("80.1.2.4 255.255.255.252 80.1.2.1 5\n", TableText());
}

TEST(RouteDuplicates, SameDestinationThroughAnotherGatewayIsASecondRoute)
{
    ASSERT_EQ(0, Route({"ADD", "80.1.2.4", "MASK", "255.255.255.252", "80.1.2.1"}).exitCode);
    ASSERT_EQ(0, Route({"ADD", "80.1.2.4", "MASK", "255.255.255.252", "80.1.2.2"}).exitCode);
    EXPECT_EQ(2u, TableLines().size());
}

// --- Bad arguments ------------------------------------------------------------------------------

struct BadCase
{
    std::vector<std::string> args;
    const char *message; // expected on stderr; nullptr: the usage text on stdout
};

TEST(RouteArguments, RefusedAsWindowsRefusesThem)
{
    UseEnglish();
    const BadCase cases[] = {
        {{"ADD", "10.0.0.256", "MASK", "255.0.0.0", "10.0.0.1"},
         "Route: bad destination address 10.0.0.256\n"},
        {{"ADD", ".10.0.0", "MASK", "255.0.0.0", "10.0.0.1"}, "Route: bad destination address .10.0.0\n"},
        {{"ADD", "10.0.0.0.", "MASK", "255.0.0.0", "10.0.0.1"}, "Route: bad destination address 10.0.0.0.\n"},
        {{"ADD", "10.0.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"},
         "Route: bad destination address 10.0.0.0.0\n"},
        {{"ADD", "10.0..0", "MASK", "255.0.0.0", "10.0.0.1"}, "Route: bad destination address 10.0..0\n"},
        {{"ADD", "10.0.0.0", "MASK", "255.0.0", "10.0.0.1"}, "Route: bad mask 255.0.0\n"},
        {{"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.x"}, "Route: bad gateway address 10.0.0.x\n"},
        {{"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1", "METRIC", "abc"}, "Route: bad argument abc\n"},
        {{"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1", "METRIC", "0"}, "Route: bad argument 0\n"},
        {{"ADD", "10.0.0.1", "MASK", "255.0.0.0", "10.0.0.254"}, "Route: bad gateway address netmask\n"},
        {{"ADD", "10.0.0.0", "MASK", "255.0.255.0", "10.0.0.1"},
         "The route addition failed: The parameter is incorrect.\n"},
        {{"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1", "20.0.0.1"}, "Route: bad argument 20.0.0.1\n"},
        {{"ADD", "10.0.0.0", "MASK"}, nullptr},
        {{"ADD", "10.0.0.0", "MASK", "255.0.0.0"}, nullptr},
        {{"ADD"}, nullptr},
        {{"FROB", "10.0.0.0"}, nullptr},
        {{"-x", "PRINT"}, nullptr},
        {{}, nullptr},
    };
    for (const BadCase &c : cases)
    {
        std::string shown;
        for (const std::string &a : c.args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        ProgramResult r = Route(c.args);
        EXPECT_NE(0, r.exitCode);
        if (c.message)
        {
            EXPECT_EQ(c.message, r.err);
        }
        else
        {
            EXPECT_NE(std::string::npos, r.out.find("ROUTE [-f] [-p] [command [destination]]"));
        }
        EXPECT_EQ("", TableText());
    }
}

TEST(RouteArguments, GatewayMustLieOnAnAdapterSubnet)
{
    UseEnglish();
    AddXpAdapter("192.168.1.33", "255.255.255.0");
    ProgramResult r = Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "172.16.0.1"});
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos,
              r.err.find("The route addition failed: Either the interface index is wrong"));
    EXPECT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "192.168.1.1"}).exitCode);
}

TEST(RouteArguments, AnInterfaceMustExistAndHoldTheGateway)
{
    UseEnglish();
    AddXpAdapter("192.168.1.33", "255.255.255.0");
    for (const char *index : {"7", "0", "1", "0x9", "two"})
    {
        SCOPED_TRACE(index);
        ProgramResult r = Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "192.168.1.1", "IF", index});
        EXPECT_NE(0, r.exitCode);
        EXPECT_NE(std::string::npos,
                  r.err.find("The route addition failed: Either the interface index is wrong"));
    }
    EXPECT_EQ("", TableText());
    EXPECT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "192.168.1.1", "IF", "2"}).exitCode);
    EXPECT_EQ(0, Route({"ADD", "11.0.0.0", "MASK", "255.0.0.0", "192.168.1.1", "IF", "0x2"}).exitCode);
    EXPECT_EQ(2u, TableLines().size());
}

TEST(RouteArguments, ASpanishPcHearsSpanish)
{
    ProgramResult r = Route({"ADD", "10.0.0.256", "MASK", "255.0.0.0", "10.0.0.1"});
    EXPECT_NE(0, r.exitCode);
    EXPECT_EQ(kitpc::TerminalText("Ruta: dirección de destino incorrecta 10.0.0.256\n"), r.err);
    r = Route({"DELETE", "10.0.0.0"});
    EXPECT_EQ(kitpc::TerminalText("No se encontró la ruta especificada.\n"), r.err);
    r = Route({"FROB"});
    EXPECT_NE(std::string::npos, r.out.find("Manipula tablas de enrutamiento de red."));
    r = Route({"/?"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("ROUTE [-f] [-p] [comando [destino]]"));
}

// --- PRINT --------------------------------------------------------------------------------------

TEST(RoutePrint, EnglishLayout)
{
    UseEnglish();
    AddXpAdapter("192.168.1.33", "255.255.255.0");
    ASSERT_EQ(0, Route({"ADD", "0.0.0.0", "MASK", "0.0.0.0", "192.168.1.1", "METRIC", "20"}).exitCode);
    ASSERT_EQ(0, Route({"-p", "ADD", "10.0.0.0", "MASK", "255.0.0.0", "192.168.1.2"}).exitCode);
    ProgramResult r = Route({"PRINT"});
    ASSERT_EQ(0, r.exitCode);
    const std::string expected =
        "===========================================================================\n"
        "Interface List\n"
        "0x1 ........................... MS TCP Loopback interface\n"
        "===========================================================================\n"
        "===========================================================================\n"
        "Active Routes:\n"
        "Network Destination        Netmask          Gateway       Interface  Metric\n"
        "          0.0.0.0          0.0.0.0      192.168.1.1    192.168.1.33      20\n"
        "         10.0.0.0        255.0.0.0      192.168.1.2    192.168.1.33       1\n"
        "        127.0.0.0        255.0.0.0        127.0.0.1       127.0.0.1       1\n"
        "Default Gateway:       192.168.1.1\n"
        "===========================================================================\n"
        "Persistent Routes:\n"
        "  Network Address          Netmask  Gateway Address  Metric\n"
        "         10.0.0.0        255.0.0.0      192.168.1.2       1\n";
    EXPECT_EQ(expected, r.out);
}

TEST(RoutePrint, SpanishHeadersOnASpanishPc)
{
    ASSERT_EQ(0x0C0A, kitpc::ReadIdentity().userLangId);
    ProgramResult r = Route({"print"});
    ASSERT_EQ(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("Rutas activas:\n"));
    // Sources are compiled to Windows 1252; the program prints UTF-8 for the terminal.
    EXPECT_NE(
        std::string::npos,
        r.out.find(Utf8(u8"Destino de red      Máscara de red Puerta de acceso        Interfaz Métrica\n")));
    EXPECT_NE(std::string::npos, r.out.find("Rutas persistentes:\n  Ninguno\n"));
}

TEST(RoutePrint, DestinationPatternFilters)
{
    UseEnglish();
    ASSERT_EQ(0, Route({"ADD", "10.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    ASSERT_EQ(0, Route({"ADD", "20.0.0.0", "MASK", "255.0.0.0", "10.0.0.1"}).exitCode);
    ProgramResult r = Route({"PRINT", "2*"});
    EXPECT_NE(std::string::npos, r.out.find("         20.0.0.0"));
    EXPECT_EQ(std::string::npos, r.out.find("         10.0.0.0"));
    EXPECT_EQ(std::string::npos, r.out.find("127.0.0.0"));
}

// --- Several route processes at once ------------------------------------------------------------

TEST(RouteConcurrency, EightProcessesAddingAtOnceLoseNothing)
{
    // What the route fixer does for 80.1.2.3/24: eight ADDs started without waiting.
    const char *routes[][2] = {{"80.1.2.2", "255.255.255.255"},  {"80.1.2.0", "255.255.255.254"},
                               {"80.1.2.4", "255.255.255.252"},  {"80.1.2.8", "255.255.255.248"},
                               {"80.1.2.16", "255.255.255.240"}, {"80.1.2.32", "255.255.255.224"},
                               {"80.1.2.64", "255.255.255.192"}, {"80.1.2.128", "255.255.255.128"}};
    for (int round = 0; round < 3; ++round)
    {
        std::vector<pid_t> children;
        for (const auto &r : routes)
            children.push_back(toolstest::StartProgram("route", {"ADD", r[0], "MASK", r[1], "80.1.2.1"}));
        for (pid_t child : children)
        {
            EXPECT_EQ(0, toolstest::WaitProgram(child));
        }
    }
    std::set<std::string> expected, seen;
    for (const auto &r : routes)
        expected.insert(std::string(r[0]) + " " + r[1] + " 80.1.2.1 1");
    std::vector<std::string> lines = TableLines();
    EXPECT_EQ(8u, lines.size());
    seen.insert(lines.begin(), lines.end());
    EXPECT_EQ(expected, seen);
}

TEST(RouteConcurrency, AddsAndDeletesInterleaveWithoutTornLines)
{
    std::vector<pid_t> children;
    for (int i = 0; i < 12; ++i)
    {
        std::string dest = "10." + std::to_string(i) + ".0.0";
        children.push_back(
            toolstest::StartProgram("route", {"ADD", dest, "MASK", "255.255.0.0", "10.0.0.1"}));
        if (i % 3 == 2)
            children.push_back(toolstest::StartProgram("route", {"PRINT"}, "/dev/null"));
    }
    for (pid_t child : children)
    {
        EXPECT_EQ(0, toolstest::WaitProgram(child));
    }
    std::vector<std::string> lines = TableLines();
    ASSERT_EQ(12u, lines.size());
    for (const std::string &line : lines)
    {
        const std::string suffix = " 255.255.0.0 10.0.0.1 1";
        EXPECT_TRUE(line.size() > suffix.size() &&
                    line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            << line;
    }
}
