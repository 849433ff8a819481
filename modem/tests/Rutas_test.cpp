// The static-route entries of the configuration file.
#include "testing/MemoryRouterParam.h"
#include "modem/tests/modemtest.h"

#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif

using Textos = std::vector<std::string>;

namespace
{
// `n` route entries as a template holds them, CR LF line ends.
std::string Entradas(int n)
{
    std::string texto;
    for (int i = 1; i <= n; ++i)
    {
        const std::string base = std::to_string(12000000 + i * 10000);
        texto += base.substr(0, 7) + "1 = <<ROUTE_NAME>>\r\n";
        texto += base.substr(0, 7) + "2 = <<ROUTE_ACTIVE>>\r\n";
        texto += base.substr(0, 7) + "3 = <<ROUTE_SUBNET>>\r\n";
        texto += base.substr(0, 7) + "4 = <<ROUTE_MASK>>\r\n";
        texto += base.substr(0, 7) + "5 = <<ROUTE_GATEWAY>>\r\n";
        texto += base.substr(0, 7) + "6 = 2\r\n";
    }
    return texto;
}

// The filled entries as "name active subnet/mask via gateway", one per entry.
Textos Rutas(const std::string &contenido)
{
    Textos rutas;
    std::string actual;
    size_t inicio = 0;
    for (size_t fin; (fin = contenido.find("\r\n", inicio)) != std::string::npos; inicio = fin + 2)
    {
        const std::string linea = contenido.substr(inicio, fin - inicio);
        const std::string valor = linea.substr(linea.find('=') + 2);
        switch (linea[7])
        {
        case '1':
            actual = valor;
            break;
        case '2':
            actual += " " + valor;
            break;
        case '3':
            actual += " " + valor;
            break;
        case '4':
            actual += "/" + valor;
            break;
        case '5':
            rutas.push_back(actual + " via " + valor);
            break;
        }
    }
    return rutas;
}

#ifndef _WIN32
// Turns the PC into another Windows family (NT: platform 2; 9x: platform 1).
void Familia(const char *family, const char *platformId)
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", family));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", platformId));
}
#endif

Textos Vacias(Textos rutas, size_t total)
{
    while (rutas.size() < total)
        rutas.push_back(" 0 0/0 via 0");
    return rutas;
}
} // namespace

class RouteEntries : public ModemConfigTest
{
  protected:
    void SetUp() override
    {
        ModemConfigTest::SetUp();
        param.SetWan("192.0.2.10", "255.255.255.248");
        param.SetLan("192.168.1.1", "255.255.255.0");
        param.SetDhcp("192.168.1.33", "32");
    }
    Textos Preparar(int entradas)
    {
        EXPECT_TRUE(pcfile::Write(Path("config.dat"), Entradas(entradas)));
        EXPECT_EQ(config->PrepararRutas(Path("config.dat").c_str()), S_OK);
        EXPECT_FALSE(pcfile::Exists(Path("mitmp.tmp")));
        return Rutas(pcfile::Read(Path("config.dat"), "<missing>"));
    }
};

TEST_F(RouteEntries, PlainRoutingGivesTheNeighboursAndTheDefaultRoute)
{
    EXPECT_EQ(Preparar(10),
              Vacias({"ruta1 1 192.168.1.32/32 via 192.0.2.9", "ruta2 1 192.168.1.34/31 via 192.0.2.9",
                      "ruta3 1 192.168.1.36/30 via 192.0.2.9", "ruta4 1 192.168.1.40/29 via 192.0.2.9",
                      "ruta5 1 192.168.1.48/28 via 192.0.2.9", "ruta6 1 192.168.1.0/27 via 192.0.2.9",
                      "ruta7 1 192.168.1.64/26 via 192.0.2.9", "ruta8 1 192.168.1.128/25 via 192.0.2.9",
                      "ruta9 1 0.0.0.0/0 via 192.0.2.9"},
                     10));
    const Textos log = Log();
    ASSERT_EQ(log.size(), 11u);
    EXPECT_EQ(log.front(), "Init EscribirRutas");
    EXPECT_EQ(log[1], "subred: 192.168.1.32/32");
    EXPECT_EQ(log[9], "subred: 0.0.0.0/0");
    EXPECT_EQ(log.back(), "Fin EscribirRutas");
}

TEST_F(RouteEntries, MoreRoutesThanEntries)
{
    EXPECT_EQ(Preparar(3),
              (Textos{"ruta1 1 192.168.1.32/32 via 192.0.2.9", "ruta2 1 192.168.1.34/31 via 192.0.2.9",
                      "ruta3 1 192.168.1.36/30 via 192.0.2.9"}));
}

TEST_F(RouteEntries, WithoutPlainRoutingEveryEntryIsEmpty)
{
    for (const std::string ajuste : {"nat", "encap", "bridge"})
    {
        param.SetNat(ajuste == "nat");
        param.SetEncap(ajuste == "encap");
        param.SetBridge(ajuste == "bridge");
        EXPECT_EQ(Preparar(4), Vacias({}, 4)) << ajuste;
    }
}

TEST_F(RouteEntries, OnlyTheDefaultRoute)
{
    param.SetLan("192.168.1.1", "255.255.255.255");
    EXPECT_EQ(Preparar(3), Vacias({"ruta1 1 0.0.0.0/0 via 192.0.2.9"}, 3));
    param.SetLan("192.168.1.1", "255.255.255.0");
    param.SetDhcp("", "32");
    EXPECT_EQ(Preparar(3), Vacias({"ruta1 1 0.0.0.0/0 via 192.0.2.9"}, 3));
}

TEST_F(RouteEntries, WrittenAsGivenWithCarriageReturnsKept)
{
    ASSERT_TRUE(pcfile::Write(Path("config.dat"),
                              "<<ROUTE_ACTIVE>> <<ROUTE_SUBNET>>\r\n"
                              "<<ROUTE_SUBNET>>|<<ROUTE_MASK>>\r\n"
                              "<<ROUTE_NAME>>,<<ROUTE_NAME>> <<ROUTE_GATEWAY>>\r\n"
                              "<<ROUTE_SUBNET>>|<<ROUTE_MASK>>|<<ROUTE_GATEWAY>>\n"
                              "<<ROUTE_NAME>>\n"
                              "<<ROUTE_ACTIVE>>,<<ROUTE_SUBNET>>,<<ROUTE_MASK>>,<<ROUTE_GATEWAY>>\r\n"
                              "<<route_name>> <<USER>>\r\n"
                              "<<ROUTE_NAME>>\r\n"
                              "no line end <<ROUTE_NAME>>"));
    EXPECT_EQ(config->EscribirRutas(Path("config.dat").c_str(), {"255.255.255.0", "10.0.0.0", "255.255.0.0"}),
              S_OK);
    // Before the first name the entry is "active" with no subnet or mask yet; a lone mask at the
    // end of the list makes no route.
    EXPECT_EQ(pcfile::Read(Path("config.dat"), "<missing>"),
              "1 <<ROUTE_SUBNET>>\r\n"
              "|<<ROUTE_MASK>>\r\n"
              "ruta1,ruta1 <<ROUTE_GATEWAY>>\r\n"
              "10.0.0.0|<<ROUTE_MASK>>|<<ROUTE_GATEWAY>>\n"
              "\n"
              "0,<<ROUTE_SUBNET>>,<<ROUTE_MASK>>,<<ROUTE_GATEWAY>>\r\n"
              "<<route_name>> <<USER>>\r\n"
              "\r\n");
}

TEST_F(RouteEntries, MissingFileChangesNothing)
{
    EXPECT_EQ(config->EscribirRutas(Path("config.dat").c_str(), {"0.0.0.0", "0.0.0.0"}), S_FALSE);
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));
    EXPECT_FALSE(pcfile::Exists(Path("mitmp.tmp")));
    EXPECT_EQ(Log(), (Textos{"Init EscribirRutas", "Fin EscribirRutas"}));
}

TEST_F(RouteEntries, TemporaryFileThatCannotBeMade)
{
    const std::string original = Entradas(2);
    ASSERT_TRUE(pcfile::Write(Path("config.dat"), original));
    ASSERT_TRUE(CreateDirectoryA(Path("mitmp.tmp").c_str(), nullptr));
    EXPECT_EQ(config->PrepararRutas(Path("config.dat").c_str()), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(pcfile::Read(Path("config.dat"), "<missing>"), original);
    EXPECT_EQ(Log().back(), "Fin EscribirRutas");
}

TEST_F(RouteEntries, ReadOnlyFileIsLeftAsItWas)
{
#ifdef _WIN32
    for (const char *family : {"this PC's"}) // a real PC stays in its family
    {
#else
    for (const char *family : {"xp", "98"})
    {
        Familia(family, family[0] == 'x' ? "2" : "1");
#endif
        const std::string original = Entradas(2);
        SetFileAttributesA(Path("config.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(pcfile::Write(Path("config.dat"), original));
        ASSERT_TRUE(SetFileAttributesA(Path("config.dat").c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(config->PrepararRutas(Path("config.dat").c_str()), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))
            << family;
        EXPECT_EQ(pcfile::Read(Path("config.dat"), "<missing>"), original) << family;
        EXPECT_FALSE(pcfile::Exists(Path("mitmp.tmp"))) << family;
    }
}

#ifndef _WIN32 // the simulated PC turned into Windows 95
TEST_F(RouteEntries, Windows9xReplacesTheFileToo)
{
    Familia("95", "1");
    EXPECT_EQ(Preparar(2),
              (Textos{"ruta1 1 192.168.1.32/32 via 192.0.2.9", "ruta2 1 192.168.1.34/31 via 192.0.2.9"}));
}
#endif

TEST_F(RouteEntries, ConfigElsewhereThanTheCurrentDirectory)
{
    ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), nullptr));
    const std::string ruta = Path("sub") + "\\config.dat";
    ASSERT_TRUE(pcfile::Write(ruta, Entradas(1)));
    EXPECT_EQ(config->PrepararRutas(ruta.c_str()), S_OK);
    EXPECT_EQ(Rutas(pcfile::Read(ruta, "<missing>")), (Textos{"ruta1 1 192.168.1.32/32 via 192.0.2.9"}));
    EXPECT_FALSE(pcfile::Exists(Path("mitmp.tmp")));
}

TEST_F(RouteEntries, FailingObjectChangesNothing)
{
    const std::string original = Entradas(2);
    ASSERT_TRUE(pcfile::Write(Path("config.dat"), original));
    CMemoryRouterParam *failing = CMemoryRouterParam::Create();
    failing->SetFailHook([](std::string_view method) { return method == "GetWan" ? E_FAIL : S_OK; });
    CModemConfig other(failing, log);
    failing->Release();
    EXPECT_THROW(other.PrepararRutas(Path("config.dat").c_str()), CComError);
    EXPECT_EQ(pcfile::Read(Path("config.dat"), "<missing>"), original);
    EXPECT_FALSE(pcfile::Exists(Path("mitmp.tmp")));
}
