// Filling a template into the configuration file that is uploaded.
#include "testing/MemoryRouterParam.h"
#include "modem/tests/modemtest.h"

using namespace std::string_literals;

namespace
{
// The router's settings of one test case.
struct Ajustes
{
    LONG encap = 0, bridge = 0, nat = 0;
};
} // namespace

class TemplateFill : public ModemConfigTest
{
  protected:
    // Fills `plantilla` and returns the output file's content ("<missing>" when none).
    std::string Fill(std::string_view plantilla, HRESULT expected = S_OK)
    {
        EXPECT_TRUE(pcfile::Write(Path("643.cfg"), plantilla));
        EXPECT_EQ(config->CrearFicheroCfg(Path("643.cfg").c_str(), Path("config.dat").c_str()), expected);
        return pcfile::Read(Path("config.dat"), "<missing>");
    }
    void Set(const Ajustes &a)
    {
        param.SetEncap(a.encap);
        param.SetBridge(a.bridge);
        param.SetNat(a.nat);
    }
};

TEST_F(TemplateFill, FirstGroupTokensForEachMode)
{
    param.SetLan("192.168.1.1", "255.255.255.0");
    param.SetWan("192.0.2.10", "255.255.255.248");
    param.SetUser("usuario", "clave");
    // Columns: PPP (E), bridge (B), NAT, plain routing (no E, B or NAT).
    const Ajustes modos[] = {{1, 0, 1}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    const struct
    {
        const char *token;
        const char *valores[4];
    } cases[] = {
        {"<<ENCAP_TYPE>>", {"2", "3", "3", "3"}},
        {"<<BRIDGE>>", {"0", "1", "0", "0"}},
        {"<<ROUTE>>", {"1", "0", "1", "1"}},
        {"<<USER>>", {"usuario", "", "", ""}},
        {"<<PASSWORD>>", {"clave", "", "", ""}},
        {"<<STATIC_WAN_IP>>", {"1", "0", "0", "0"}},
        {"<<ROUTER_LAN_IP>>", {"192.168.1.1", "192.168.1.1", "192.168.1.1", "192.168.1.1"}},
        {"<<ROUTER_LAN_MASK>>", {"24", "24", "24", "24"}},
        {"40000013 = <<ROUTER_WAN_IP>>",
         {"40000013 = ", "40000013 = 192.0.2.10", "40000013 = 192.0.2.10", "40000013 = 192.0.2.10"}},
        {"21010004 = <<ROUTER_WAN_IP>>",
         {"21010004 = 0.0.0.0", "21010004 = 192.0.2.10", "21010004 = 192.0.2.10", "21010004 = 192.0.2.10"}},
        {"<<WAN_MASK>>", {"", "", "", "29"}},
        {"<<DSLAM_IP>>", {"", "", "", "192.0.2.9"}},
        {"<<NAT_ENABLED>>", {"1", "0", "1", "0"}},
        {"<<FILTER_NUMBER_1>>", {"1", "256", "1", "256"}},
        {"<<FILTER_NUMBER_2>>", {"12", "256", "12", "256"}},
        {"<<FILTER_NAME>>", {"filtro", "", "filtro", ""}},
        {"<<FILTER_ACTIVE>>", {"1", "0", "1", "0"}},
        {"<<FILTER_DST_MASK>>", {"0", "32", "32", "32"}},
        {"<<REMOTE_MNG>>", {"2", "0", "0", "0"}},
        {"<<GRANT_PORT_80>>", {"0", "0", "0", "0"}},
        {"<<GRANT_PORT_21>>", {"0", "0", "0", "0"}},
        {"<<UNKNOWN_TOKEN>>",
         {"<<UNKNOWN_TOKEN>>", "<<UNKNOWN_TOKEN>>", "<<UNKNOWN_TOKEN>>", "<<UNKNOWN_TOKEN>>"}},
    };
    for (int modo = 0; modo < 4; ++modo)
    {
        Set(modos[modo]);
        for (const auto &c : cases)
            EXPECT_EQ(Fill(std::string(c.token) + "\r\n"), std::string(c.valores[modo]) + "\n")
                << c.token << " in mode " << modo;
    }
}

TEST_F(TemplateFill, EmptyWanMaskAndLowerCaseTokens)
{
    param.SetWan("192.0.2.10", "");
    EXPECT_EQ(Fill("40000015 = <<WAN_MASK>>\n"), "40000015 = \n");
    // Found in the upper-cased copy, so the group is done, but not replaced.
    param.SetUser("u", "p");
    param.SetEncap(1);
    EXPECT_EQ(Fill("<<user>> <<PASSWORD>>\n"), "<<user>> <<PASSWORD>>\n");
    EXPECT_EQ(Fill("<<Dns1>>\n"), "<<Dns1>>\n");
    EXPECT_EQ(Fill("<<USER>><<PASSWORD>>\n"), "u<<PASSWORD>>\n");
    EXPECT_EQ(Fill("<<USER>>,<<USER>>\n"), "u,u\n");
}

TEST_F(TemplateFill, OneTokenOfEachGroupPerLine)
{
    param.SetLan("192.168.1.1", "255.255.255.0");
    param.SetDhcp("192.168.1.33", "32");
    EXPECT_EQ(Fill("<<ROUTER_LAN_IP>> <<DHCP_ENABLED>> <<SIZE>>\n"), "192.168.1.1 1 <<SIZE>>\n");
}

TEST_F(TemplateFill, DhcpGroup)
{
    const char plantilla[] = "30200001 = <<DHCP_ENABLED>>\n30200002 = <<START_ADDRESS>>\n"
                             "30200003 = <<SIZE>>\n30200004 = <<DNS1>>\n30200005 = <<DNS2>>\n";
    param.SetDns("194.179.1.100", "194.179.1.101");
    param.SetDhcp("192.168.1.33", "32");
    EXPECT_EQ(Fill(plantilla), "30200001 = 1\n30200002 = 192.168.1.33\n30200003 = 32\n"
                               "30200004 = 194.179.1.100\n30200005 = 194.179.1.101\n");
    // No pool start: the server is off and the DNS servers are left out even though they are set.
    param.SetDhcp("", "32");
    EXPECT_EQ(Fill(plantilla), "30200001 = 0\n30200002 = \n30200003 = \n30200004 = \n30200005 = \n");
}

TEST_F(TemplateFill, PortMappingBlock)
{
    std::string plantilla = "150000001 = <<DEFAULT_IP>>\n";
    for (int i = 1; i <= 8; ++i)
        plantilla += std::to_string(150000000 + 2 * i) + " = <<PORT_NUMBER>>\n" +
                     std::to_string(150000001 + 2 * i) + " = <<LOCAL_IP>>\n" +
                     "<<GRANT_PORT_80>> <<GRANT_PORT_21>>\n";

    // Default plus eight pairs: nine entries, every one read.
    std::string lista = "Default,192.168.1.2";
    for (int i = 1; i <= 8; ++i)
        lista += "," + std::to_string(1000 + i) + ",192.168.1." + std::to_string(10 + i);
    param.SetPorts(lista);
    config->CrearListaPuertos();
    ASSERT_EQ(config->Puertos().size(), 9u);
    std::string esperado = "150000001 = 192.168.1.2\n";
    for (int i = 1; i <= 8; ++i)
        esperado += std::to_string(150000000 + 2 * i) + " = " + std::to_string(1000 + i) + "\n" +
                    std::to_string(150000001 + 2 * i) + " = 192.168.1." + std::to_string(10 + i) +
                    "\n1 <<GRANT_PORT_21>>\n";
    EXPECT_EQ(Fill(plantilla), esperado);
    EXPECT_EQ(config->SlotPuerto(), 9u);

    // Default alone: eight entries (seven filler pairs); the eighth port line reads past them.
    param.SetPorts("Default,192.168.1.2");
    config->CrearListaPuertos();
    esperado = "150000001 = 192.168.1.2\n";
    for (int i = 1; i <= 8; ++i)
        esperado += std::to_string(150000000 + 2 * i) + " = 0\n" + std::to_string(150000001 + 2 * i) +
                    " = 0.0.0.0\n1 <<GRANT_PORT_21>>\n";
    EXPECT_EQ(Fill(plantilla), esperado);
    EXPECT_EQ(config->SlotPuerto(), 9u);

    // No "Default" (case counts): the default server is 0.0.0.0 and the ports start at slot 0.
    param.SetPorts("default,10.0.0.1,80,10.0.0.2");
    config->CrearListaPuertos();
    const std::string salida =
        Fill("<<DEFAULT_IP>>\n<<PORT_NUMBER>>\n<<LOCAL_IP>>\n<<PORT_NUMBER>>\n<<LOCAL_IP>>\n");
    EXPECT_EQ(salida, "0.0.0.0\ndefault\n10.0.0.1\n80\n10.0.0.2\n");
}

TEST_F(TemplateFill, PortSlotsBeforeAnyList)
{
    // Arrays still empty: every slot reads as an unused pair.
    EXPECT_EQ(Fill("<<DEFAULT_IP>>\n<<PORT_NUMBER>>\n<<LOCAL_IP>>\n"), "0.0.0.0\n0\n0.0.0.0\n");
    // Without "<<DEFAULT_IP>>" every run starts at slot 0.
    param.SetPorts("80,10.0.0.2");
    config->CrearListaPuertos();
    EXPECT_EQ(Fill("<<PORT_NUMBER>>\n<<LOCAL_IP>>\n"), "80\n10.0.0.2\n");
    EXPECT_EQ(Fill("<<PORT_NUMBER>>\n<<LOCAL_IP>>\n"), "80\n10.0.0.2\n");
}

TEST_F(TemplateFill, LineEndsAndOddBytes)
{
    param.SetLan("192.168.1.1", "255.255.255.0");
    const struct
    {
        std::string plantilla;
        std::string salida;
    } cases[] = {
        {"a = 1\r\nb = 2\r\n", "a = 1\nb = 2\n"},
        {"a\r= 1\r\r\n", "a= 1\n"},
        {"a = 1\rb = 2\r", ""},     // CR-only lines: no line at all
        {"a = 1\nlast", "a = 1\n"}, // the last line has no LF: lost
        {"no line end at all", ""},
        {"", ""},
        {"a\0b = <<ROUTER_LAN_IP>>\0\n"s, "a\0b = 192.168.1.1\0\n"s},
        {"= <<ROUTER_LAN_IP>>\n<<ROUTER_LAN_IP>> =\n", "= 192.168.1.1\n192.168.1.1 =\n"},
        {"<<\n>>\n<<<ROUTER_LAN_IP>>>\n", "<<\n>>\n<192.168.1.1>\n"},
        {"\xe1\xf1<<ROUTER_LAN_IP>>\xff\n", "\xe1\xf1"
                                            "192.168.1.1\xff\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Fill(c.plantilla), c.salida) << c.plantilla;
}

TEST_F(TemplateFill, MegabyteLines)
{
    param.SetLan("192.168.1.1", "255.255.255.0");
    std::string linea(3 << 20, 'x');
    linea += "<<ROUTER_LAN_IP>>";
    for (int i = 0; i < 1000; ++i)
        linea += "<<ROUTER_LAN_IP>>";
    const std::string salida = Fill(linea + "\r\n");
    std::string esperado(3 << 20, 'x');
    for (int i = 0; i <= 1000; ++i)
        esperado += "192.168.1.1";
    EXPECT_EQ(salida, esperado + "\n");
}

TEST_F(TemplateFill, MissingTemplateWritesNothing)
{
    EXPECT_EQ(config->CrearFicheroCfg(Path("missing.cfg").c_str(), Path("config.dat").c_str()), S_FALSE);
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));
    ASSERT_TRUE(pcfile::Write(Path("config.dat"), "old"));
    EXPECT_EQ(config->CrearFicheroCfg(Path("missing.cfg").c_str(), Path("config.dat").c_str()), S_FALSE);
    EXPECT_EQ(pcfile::Read(Path("config.dat"), "<missing>"), "old");
    EXPECT_EQ(config->CrearFicheroCfg(nullptr, Path("config.dat").c_str()), S_FALSE);
    EXPECT_EQ(Log(), (std::vector<std::string>(3, "Init CrearFicheroCfg")));
}

TEST_F(TemplateFill, OutputThatCannotBeWritten)
{
    ASSERT_TRUE(pcfile::Write(Path("643.cfg"), "a = <<ROUTER_LAN_IP>>\n"));
    // A read-only output file.
    ASSERT_TRUE(pcfile::Write(Path("config.dat"), "old"));
    ASSERT_TRUE(SetFileAttributesA(Path("config.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(config->CrearFicheroCfg(Path("643.cfg").c_str(), Path("config.dat").c_str()),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(pcfile::Read(Path("config.dat"), "<missing>"), "old");
    // A folder in the output's place.
    ASSERT_TRUE(CreateDirectoryA(Path("out").c_str(), nullptr));
    EXPECT_TRUE(FAILED(config->CrearFicheroCfg(Path("643.cfg").c_str(), Path("out").c_str())));
    // An output folder that does not exist.
    EXPECT_EQ(config->CrearFicheroCfg(Path("643.cfg").c_str(), Path("nowhere\\config.dat").c_str()),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(pcfile::Exists(Path("nowhere")));
    // The template as its own output: refused while it is read, and left whole.
    EXPECT_EQ(config->CrearFicheroCfg(Path("643.cfg").c_str(), Path("643.cfg").c_str()),
              HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(pcfile::Read(Path("643.cfg"), "<missing>"), "a = <<ROUTER_LAN_IP>>\n");
}

TEST_F(TemplateFill, FailingObjectLeavesNoOutput)
{
    CMemoryRouterParam *failing = CMemoryRouterParam::Create();
    int llamadas = 0;
    failing->SetFailHook(
        [&](std::string_view method) { return method == "GetLan" && ++llamadas == 2 ? E_UNEXPECTED : S_OK; });
    CModemConfig other(failing, log);
    failing->Release();
    ASSERT_TRUE(pcfile::Write(Path("643.cfg"), "a = <<ROUTER_LAN_IP>>\nb = <<ROUTER_LAN_IP>>\n"));
    try
    {
        other.CrearFicheroCfg(Path("643.cfg").c_str(), Path("config.dat").c_str());
        FAIL() << "no error raised";
    }
    catch (const CComError &error)
    {
        EXPECT_EQ(error.Error(), E_UNEXPECTED);
        EXPECT_TRUE(IsEqualGUID(error.Iid(), IID_IRouterParam));
    }
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));

    CModemConfig none(nullptr, log);
    EXPECT_THROW(none.CrearFicheroCfg(Path("643.cfg").c_str(), Path("config.dat").c_str()), CComError);
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));
    // Lines without tokens never ask the object.
    ASSERT_TRUE(pcfile::Write(Path("643.cfg"), "a = 1\n"));
    EXPECT_EQ(none.CrearFicheroCfg(Path("643.cfg").c_str(), Path("config.dat").c_str()), S_OK);
    EXPECT_EQ(pcfile::Read(Path("config.dat"), "<missing>"), "a = 1\n");
}
