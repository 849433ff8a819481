// Reading a configuration downloaded from the router.
#include "testing/MemoryRouterParam.h"
#include "modem/tests/modemtest.h"

using namespace std::string_literals;
using Textos = std::vector<std::string>;

class DownloadRead : public ModemConfigTest
{
  protected:
    // Reads `contenido` as "643get.cfg"; returns the file as rewritten.
    std::string Read(std::string_view contenido, HRESULT expected = S_OK)
    {
        EXPECT_TRUE(pcfile::Write(Path("643get.cfg"), contenido));
        EXPECT_EQ(config->LeerConfig812(Path("643get.cfg").c_str()), expected);
        EXPECT_FALSE(pcfile::Exists(Path("643get.cfg.tmp")));
        return pcfile::Read(Path("643get.cfg"), "<missing>");
    }
    // Every value of the object, in a fixed order.
    Textos Values()
    {
        auto [lanIp, lanMask] = param.GetLan();
        auto [wanIp, wanMask] = param.GetWan();
        auto [dns1, dns2] = param.GetDns();
        auto [start, size] = param.GetDhcp();
        auto [user, password] = param.GetUser();
        return {"lan=" + lanIp + "/" + lanMask,
                "wan=" + wanIp + "/" + wanMask,
                "dns=" + dns1 + "," + dns2,
                "dhcp=" + start + "+" + size,
                "user=" + user + ":" + password,
                "ports=" + param.GetPorts(),
                "nat=" + std::to_string(param.GetNat()),
                "bridge=" + std::to_string(param.GetBridge()),
                "encap=" + std::to_string(param.GetEncap())};
    }
    static Textos Reset(std::initializer_list<std::pair<size_t, std::string>> changed)
    {
        Textos values = {
            "lan=/", "wan=/", "dns=,", "dhcp=+", "user=:", "ports=", "nat=0", "bridge=0", "encap=0"};
        for (const auto &[index, value] : changed)
            values[index] = value;
        return values;
    }
};

TEST_F(DownloadRead, EveryCodeOfTheTable)
{
    const std::string contenido = "30200008 = 192.168.1.1\r\n"
                                  "30200009 = 24\r\n"
                                  "40000013 = 192.0.2.10\r\n"
                                  "40000015 = 29\r\n"
                                  "30200004 = 194.179.1.100\r\n"
                                  "30200005 = 194.179.1.101\r\n"
                                  "30200002 = 192.168.1.33\r\n"
                                  "30200003 = 32\r\n"
                                  "40000009 = usuario@proveedor\r\n"
                                  "40000010 = clave\r\n"
                                  "40000011 = 1\r\n"
                                  "10000006 = 0\r\n"
                                  "40000004 = 2\r\n"
                                  "10000001 = P643\r\n";
    EXPECT_EQ(Read(contenido), contenido);
    EXPECT_EQ(Values(), (Textos{"lan=192.168.1.1/24", "wan=192.0.2.10/29", "dns=194.179.1.100,194.179.1.101",
                                "dhcp=192.168.1.33+192.168.1.65", "user=usuario@proveedor:clave",
                                "ports=", "nat=1", "bridge=0", "encap=1"}));
}

TEST_F(DownloadRead, FlagsFollowTheirDigit)
{
    const struct
    {
        const char *linea;
        size_t index;
        const char *valor;
    } cases[] = {
        {"40000011 = 1\n", 6, "nat=1"},    {"40000011 = 0\n", 6, "nat=0"},   {"40000011 = 10\n", 6, "nat=1"},
        {"10000006 = 1\n", 7, "bridge=1"}, {"40000004 = 2\n", 8, "encap=1"}, {"40000004 = 3\n", 8, "encap=0"},
        {"40000004 = 12\n", 8, "encap=1"}, {"40000011 1\n", 6, "nat=1"},
    };
    for (const auto &c : cases)
    {
        EXPECT_EQ(Read(c.linea), c.linea);
        EXPECT_EQ(Values(), Reset({{c.index, c.valor}})) << c.linea;
    }
}

TEST_F(DownloadRead, ResetFirstAndEmptyValuesChangeNothing)
{
    FillMultipuesto();
    EXPECT_EQ(Read("40000009 = \r\n40000013 =\n=\n"), "40000009 = \r\n40000013 =\n=\n");
    EXPECT_EQ(Values(), Reset({}));
}

TEST_F(DownloadRead, PairsOverwriteTheirDummy)
{
    EXPECT_EQ(
        Read("30200008 = 10.0.0.1\n40000009 = u\n30200004 = 1.1.1.1\n30200002 = 10.0.0.2\n"
             "40000013 = 1.2.3.4\n"),
        "30200008 = 10.0.0.1\n40000009 = u\n30200004 = 1.1.1.1\n30200002 = 10.0.0.2\n40000013 = 1.2.3.4\n");
    EXPECT_EQ(Values(), Reset({{0, "lan=10.0.0.1/dummy"},
                               {1, "wan=1.2.3.4/dummy"},
                               {2, "dns=1.1.1.1,dummy"},
                               {3, "dhcp=10.0.0.2+dummy"},
                               {4, "user=u:dummy"}}));
    // Second lines alone keep the first values as the object holds them (empty after Reset).
    Read("30200009 = 16\n40000010 = p\n30200005 = 2.2.2.2\n30200003 = 5\n40000015 = 8\n");
    EXPECT_EQ(
        Values(),
        Reset({{0, "lan=/16"}, {1, "wan=/8"}, {2, "dns=,2.2.2.2"}, {3, "dhcp=+0.0.0.5"}, {4, "user=:p"}}));
}

TEST_F(DownloadRead, PortLinesBecomeTokens)
{
    const std::string contenido = "150000001 = 192.168.1.10\r\n"
                                  "150000002 = 80\r\n"
                                  "150000003 = 192.168.1.33\r\n"
                                  "150000004 = 0\r\n"
                                  "150000005 = 0.0.0.0\r\n";
    EXPECT_EQ(Read(contenido), "150000001 = <<DEFAULT_IP>>\r\n"
                               "150000002 = <<PORT_NUMBER>>\r\n"
                               "150000003 = <<LOCAL_IP>>\r\n"
                               "150000004 = <<PORT_NUMBER>>\r\n"
                               "150000005 = <<LOCAL_IP>>\r\n");
    EXPECT_EQ(param.GetPorts(), "Default,192.168.1.10,80,192.168.1.33,0,0.0.0.0");
}

TEST_F(DownloadRead, OddPortLines)
{
    const struct
    {
        std::string linea;
        std::string reescrita;
        std::string puertos;
    } cases[] = {
        // The list always starts with "Default", whatever the first code.
        {"150000002 = 80\n", "150000002 = <<PORT_NUMBER>>\n", "Default,80"},
        // Only the part from the last "=" is rewritten; the value is the text after it.
        {"150000002 = 8=80\n", "150000002 = 8=<<PORT_NUMBER>>\n", "Default,80"},
        {"150000080 = 80 \r\n", "150000080 = <<PORT_NUMBER>> \r\n", "Default,80"},
        // Blanks inside the value: stored without them, the line stays.
        {"150000002 = 8 0\n", "150000002 = 8 0\n", "Default,80"},
        // Codes beyond 32 bits saturate (odd), negative ones keep their parity.
        {"99999999999150000000 = 5\n", "99999999999150000000 = <<LOCAL_IP>>\n", "Default,5"},
        {"-150000002 = 7\n", "-150000002 = <<PORT_NUMBER>>\n", "Default,7"},
        // No "=": the whole line is the value, and there is nothing to rewrite.
        {"x1500000y\n", "x1500000y\n", "Default,x1500000y"},
        // The text is looked for anywhere in the line.
        {"7 = 1500000\n", "7 = <<LOCAL_IP>>\n", "Default,1500000"},
    };
    for (const auto &c : cases)
    {
        EXPECT_EQ(Read(c.linea), c.reescrita) << c.linea;
        EXPECT_EQ(param.GetPorts(), c.puertos) << c.linea;
    }
}

TEST_F(DownloadRead, LineEndsAndOddBytes)
{
    const struct
    {
        std::string contenido;
        std::string reescrito;
        std::string nat;
    } cases[] = {
        {"40000011 = 1", "", "nat=0"},                             // no LF at all: nothing read, file emptied
        {"40000011 = 1\r40000004 = 2\r", "", "nat=0"},             // CR-only lines
        {"10000001 = a\n40000011 = 1", "10000001 = a\n", "nat=0"}, // bytes after the last LF are dropped
        {"40000011\0 = 1\n"s, "40000011\0 = 1\n"s, "nat=1"},
        {"\0\0\n\n\n"s, "\0\0\n\n\n"s, "nat=0"},
        {"=40000011=1=\n", "=40000011=1=\n", "nat=0"}, // nothing after the last "="
        {"\xff\xfe 40000011 = \xf1"
         "1\r\n",
         "\xff\xfe 40000011 = \xf1"
         "1\r\n",
         "nat=1"},
    };
    for (const auto &c : cases)
    {
        EXPECT_EQ(Read(c.contenido), c.reescrito);
        EXPECT_EQ(Values()[6], c.nat) << c.contenido;
    }
    // A value with bytes 0: kept whole in the object.
    Read("40000009 = a\0b\n"s);
    EXPECT_EQ(param.GetUser().first, "a\0b"s);
}

TEST_F(DownloadRead, MegabyteLines)
{
    std::string larga = "40000009 = " + std::string(2 << 20, 'u') + "\r\n";
    std::string puerto = "150000002 = " + std::string(2 << 20, '8') + "\r\n";
    EXPECT_EQ(Read(larga + puerto), larga + "150000002 = <<PORT_NUMBER>>\r\n");
    EXPECT_EQ(param.GetUser().first.size(), size_t(2) << 20);
    EXPECT_EQ(param.GetPorts().size(), 8 + (size_t(2) << 20));
}

TEST_F(DownloadRead, MissingFile)
{
    FillMultipuesto();
    EXPECT_EQ(config->LeerConfig812(Path("643get.cfg").c_str()), S_FALSE);
    EXPECT_EQ(Values(), Reset({}));
    EXPECT_FALSE(pcfile::Exists(Path("643get.cfg")));
    EXPECT_EQ(Log(), (Textos{"Init LeerConfig812", "Fin LeerConfig812"}));
}

TEST_F(DownloadRead, FileThatCannotBeRewritten)
{
    const std::string contenido = "40000011 = 1\r\n150000002 = 80\r\n";
    ASSERT_TRUE(pcfile::Write(Path("643get.cfg"), contenido));
    ASSERT_TRUE(SetFileAttributesA(Path("643get.cfg").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(config->LeerConfig812(Path("643get.cfg").c_str()), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(pcfile::Read(Path("643get.cfg"), "<missing>"), contenido);
    EXPECT_FALSE(pcfile::Exists(Path("643get.cfg.tmp")));
    // What was read is stored all the same.
    EXPECT_EQ(param.GetNat(), 1);
    EXPECT_EQ(param.GetPorts(), "Default,80");
    // The temporary file's place taken by a folder.
    SetFileAttributesA(Path("643get.cfg").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(CreateDirectoryA(Path("643get.cfg.tmp").c_str(), nullptr));
    EXPECT_EQ(config->LeerConfig812(Path("643get.cfg").c_str()), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(pcfile::Read(Path("643get.cfg"), "<missing>"), contenido);
}

TEST_F(DownloadRead, FailingObjectLeavesTheFileAndKeepsWhatWasRead)
{
    const std::string contenido = "150000001 = 10.0.0.9\n150000002 = 80\n40000011 = 1\n30200008 = 10.0.0.1\n";
    ASSERT_TRUE(pcfile::Write(Path("643get.cfg"), contenido));
    CMemoryRouterParam *failing = CMemoryRouterParam::Create();
    failing->SetFailHook([](std::string_view method) { return method == "SetLan" ? E_OUTOFMEMORY : S_OK; });
    CModemConfig other(failing, log);
    try
    {
        other.LeerConfig812(Path("643get.cfg").c_str());
        ADD_FAILURE() << "no error raised";
    }
    catch (const CComError &error)
    {
        EXPECT_EQ(error.Error(), E_OUTOFMEMORY);
    }
    EXPECT_EQ(pcfile::Read(Path("643get.cfg"), "<missing>"), contenido);
    BSTR ports = nullptr;
    ASSERT_EQ(failing->GetPorts(&ports), S_OK);
    EXPECT_EQ(WString(ports, SysStringLen(ports)), OLESTR("Default,10.0.0.9,80"));
    SysFreeString(ports);
    failing->Release();
    EXPECT_EQ(Log(), (Textos{"Init LeerConfig812"}));
}
