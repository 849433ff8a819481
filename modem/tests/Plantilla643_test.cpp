// The kit's template 643.cfg against the router's list of codes, and whole uploads and downloads
// with it: filled from a parameter object, read back, and used again as a downloaded template.
#include "modem/tests/modemtest.h"

#include "tools/routerformat/RouterFormat.h"

#include <map>
#include <set>

using Textos = std::vector<std::string>;

namespace
{
std::vector<std::string> Lineas(const std::string &contenido)
{
    std::vector<std::string> lineas;
    size_t inicio = 0;
    for (size_t fin; (fin = contenido.find('\n', inicio)) != std::string::npos; inicio = fin + 1)
        lineas.push_back(contenido.substr(inicio, fin - inicio + 1));
    EXPECT_EQ(inicio, contenido.size()) << "text after the last line end";
    return lineas;
}

routerformat::CodeTable Codigos()
{
    routerformat::CodeTable codigos;
    std::string error;
    EXPECT_TRUE(codigos.Load(modemtest::DataPath("643-codes.txt"), &error)) << error;
    return codigos;
}

// The file as code -> value, checking that every line is one of the router's settings whose
// value fits its kind.
std::map<int, std::string> Ajustes(const std::string &contenido, const routerformat::CodeTable &codigos)
{
    std::map<int, std::string> ajustes;
    for (const std::string &linea : Lineas(contenido))
    {
        const auto ajuste = routerformat::ParseLine(linea);
        if (!ajuste)
        {
            ADD_FAILURE() << "not a setting: " << linea;
            continue;
        }
        const routerformat::Code *codigo = codigos.Find(ajuste->code);
        if (!codigo)
        {
            ADD_FAILURE() << "unknown code: " << linea;
            continue;
        }
        EXPECT_TRUE(routerformat::ValueFits(*codigo, ajuste->value))
            << codigo->name << " = " << ajuste->value;
        EXPECT_TRUE(ajustes.emplace(ajuste->code, ajuste->value).second) << "twice: " << linea;
    }
    return ajustes;
}
} // namespace

TEST(Template643, EveryLineIsOneOfTheRoutersCodes)
{
    const routerformat::CodeTable codigos = Codigos();
    const std::string plantilla = pcfile::Read(modemtest::DataPath("643.cfg"), "<missing>");
    std::map<int, std::string> vistos;
    for (const std::string &linea : Lineas(plantilla))
    {
        ASSERT_GE(linea.size(), 2u);
        EXPECT_EQ(linea.substr(linea.size() - 2), "\r\n") << linea;
        const auto ajuste = routerformat::ParseLine(linea);
        ASSERT_TRUE(ajuste) << linea;
        const routerformat::Code *codigo = codigos.Find(ajuste->code);
        ASSERT_NE(codigo, nullptr) << linea;
        EXPECT_TRUE(vistos.emplace(ajuste->code, ajuste->value).second) << "twice: " << linea;
        // Settings the kit does not touch go to the router as it is delivered.
        if (ajuste->value.find("<<") == std::string::npos)
        {
            EXPECT_EQ(ajuste->value, codigo->defaultValue) << codigo->name;
        }
    }
    // Every code but the router's own password, which an upload must never change.
    for (const routerformat::Code &codigo : codigos.Codes())
        EXPECT_EQ(vistos.count(codigo.code), codigo.name == "SystemPassword" ? 0u : 1u) << codigo.name;
    // One default server, eight port pairs, sixteen route entries.
    const auto cuenta = [&](const char *token) {
        size_t n = 0;
        for (const auto &[code, value] : vistos)
            n += value == token;
        return n;
    };
    EXPECT_EQ(cuenta("<<DEFAULT_IP>>"), 1u);
    EXPECT_EQ(cuenta("<<PORT_NUMBER>>"), 8u);
    EXPECT_EQ(cuenta("<<LOCAL_IP>>"), 8u);
    EXPECT_EQ(cuenta("<<ROUTE_NAME>>"), 16u);
    EXPECT_EQ(cuenta("<<GRANT_PORT_80>>"), 1u);
    EXPECT_EQ(cuenta("<<GRANT_PORT_21>>"), 1u);
    EXPECT_EQ(vistos.at(150000001), "<<DEFAULT_IP>>");
    for (int i = 1; i <= 8; ++i)
    {
        EXPECT_EQ(vistos.at(150000000 + 2 * i), "<<PORT_NUMBER>>");
        EXPECT_EQ(vistos.at(150000001 + 2 * i), "<<LOCAL_IP>>");
    }
}

class Upload643 : public ModemConfigTest
{
  protected:
    void SetUp() override
    {
        ModemConfigTest::SetUp();
        ASSERT_TRUE(
            pcfile::Write(Path("643.cfg"), pcfile::Read(modemtest::DataPath("643.cfg"), "<missing>")));
    }
    // What the transfer worker does before it puts "config.dat" on the router.
    std::map<int, std::string> Subir(const char *plantilla = "643.cfg")
    {
        config->CrearListaPuertos();
        EXPECT_EQ(config->CrearFicheroCfg(Path(plantilla).c_str(), Path("config.dat").c_str()), S_OK);
        EXPECT_EQ(config->PrepararRutas(Path("config.dat").c_str()), S_OK);
        const std::string subido = pcfile::Read(Path("config.dat"), "<missing>");
        EXPECT_EQ(subido.find('\r'), std::string::npos);
        EXPECT_EQ(subido.find("<<"), std::string::npos);
        return Ajustes(subido, codigos);
    }
    // What a download does with the router's answer.
    void Bajar(const std::map<int, std::string> &router)
    {
        std::string servido;
        for (const routerformat::Code &codigo : codigos.Codes())
        {
            const auto it = router.find(codigo.code);
            servido +=
                routerformat::FormatLine(codigo.code, it != router.end() ? it->second : codigo.defaultValue);
        }
        ASSERT_TRUE(pcfile::Write(Path("643get.cfg"), servido));
        EXPECT_EQ(config->LeerConfig812(Path("643get.cfg").c_str()), S_OK);
    }
    routerformat::CodeTable codigos = Codigos();
};

TEST_F(Upload643, MultipuestoRoundTrip)
{
    FillMultipuesto();
    const std::map<int, std::string> subido = Subir();
    EXPECT_EQ(subido.at(40000004), "3");
    EXPECT_EQ(subido.at(40000009), "");
    EXPECT_EQ(subido.at(40000011), "1");
    EXPECT_EQ(subido.at(40000013), "192.0.2.10");
    EXPECT_EQ(subido.at(40000014), "");
    EXPECT_EQ(subido.at(30200009), "24");
    EXPECT_EQ(subido.at(150000001), "192.168.1.33");
    EXPECT_EQ(subido.at(150000002), "80");
    EXPECT_EQ(subido.at(150000005), "192.168.1.35");
    EXPECT_EQ(subido.at(150000006), "0");
    EXPECT_EQ(subido.at(24110003), "1");
    EXPECT_EQ(subido.at(24110004), "1");
    EXPECT_EQ(subido.at(21010004), "192.0.2.10");
    EXPECT_EQ(subido.at(21010005), "32");
    EXPECT_EQ(subido.at(12010001), ""); // NAT: no static routes
    EXPECT_EQ(subido.at(12010002), "0");

    Bajar(subido);
    // Back as the router writes them: masks as prefix lengths, the pool's size as its end, the
    // port list with its filler pairs. User and password were not sent without PPP, nor the WAN
    // mask without plain routing, so the WAN address keeps its "dummy" partner.
    EXPECT_EQ(param.GetLan(), (TextPair{"192.168.1.1", "24"}));
    EXPECT_EQ(param.GetWan(), (TextPair{"192.0.2.10", "dummy"}));
    EXPECT_EQ(param.GetDns(), (TextPair{"194.179.1.100", "194.179.1.101"}));
    EXPECT_EQ(param.GetDhcp(), (TextPair{"192.168.1.33", "192.168.1.65"}));
    EXPECT_EQ(param.GetUser(), (TextPair{"", ""}));
    EXPECT_EQ(param.GetNat(), 1);
    EXPECT_EQ(param.GetBridge(), 0);
    EXPECT_EQ(param.GetEncap(), 0);
    EXPECT_EQ(param.GetPorts(),
              "Default,192.168.1.33,80,192.168.1.34,21,192.168.1.35,0,0.0.0.0,0,0.0.0.0,0,0.0.0.0,"
              "0,0.0.0.0,0,0.0.0.0,0,0.0.0.0");
}

TEST_F(Upload643, PppRoundTrip)
{
    FillMultipuesto();
    param.SetEncap(1);
    param.SetPorts("");
    const std::map<int, std::string> subido = Subir();
    EXPECT_EQ(subido.at(40000004), "2");
    EXPECT_EQ(subido.at(40000009), "usuario@proveedor");
    EXPECT_EQ(subido.at(40000010), "clave");
    EXPECT_EQ(subido.at(40000012), "1");
    EXPECT_EQ(subido.at(40000013), "");
    EXPECT_EQ(subido.at(21010004), "0.0.0.0");
    EXPECT_EQ(subido.at(21010005), "0");
    EXPECT_EQ(subido.at(24110001), "2");
    EXPECT_EQ(subido.at(150000001), "0.0.0.0");

    Bajar(subido);
    EXPECT_EQ(param.GetUser(), (TextPair{"usuario@proveedor", "clave"}));
    EXPECT_EQ(param.GetEncap(), 1);
    EXPECT_EQ(param.GetWan(), (TextPair{"", ""}));
    EXPECT_EQ(param.GetPorts(),
              "Default,0.0.0.0,0,0.0.0.0,0,0.0.0.0,0,0.0.0.0,0,0.0.0.0,0,0.0.0.0,0,0.0.0.0,0,0.0.0.0,0,"
              "0.0.0.0");
}

TEST_F(Upload643, PlainRoutingFillsTheRoutes)
{
    param.SetLan("192.168.1.1", "255.255.255.0");
    param.SetWan("80.24.130.37", "255.255.255.0");
    param.SetDhcp("192.168.1.33", "32");
    const std::map<int, std::string> subido = Subir();
    EXPECT_EQ(subido.at(40000014), "80.24.130.1");
    EXPECT_EQ(subido.at(40000015), "24");
    EXPECT_EQ(subido.at(11000001), "256");
    for (int n = 1; n <= 16; ++n)
    {
        const int base = 12000000 + n * 10000;
        if (n <= 9)
        {
            EXPECT_EQ(subido.at(base + 1), "ruta" + std::to_string(n));
            EXPECT_EQ(subido.at(base + 2), "1");
            EXPECT_EQ(subido.at(base + 5), "80.24.130.1");
        }
        else
        {
            EXPECT_EQ(subido.at(base + 1), "");
            EXPECT_EQ(subido.at(base + 3), "0");
        }
    }
    EXPECT_EQ(subido.at(12090003), "0.0.0.0");
    EXPECT_EQ(subido.at(12090004), "0");

    Bajar(subido);
    EXPECT_EQ(param.GetWan(), (TextPair{"80.24.130.37", "24"}));
    EXPECT_EQ(param.GetNat(), 0);
}

TEST_F(Upload643, DownloadedFileIsTheNextTemplate)
{
    FillMultipuesto();
    std::map<int, std::string> router = Subir();
    router[10000001] = "Oficina";
    router[40000006] = "33";
    Bajar(router);

    // Only the port-mapping lines carry tokens now.
    const std::string plantilla = pcfile::Read(Path("643get.cfg"), "<missing>");
    size_t tokens = 0;
    for (const std::string &linea : Lineas(plantilla))
        if (linea.find("<<") != std::string::npos)
        {
            ++tokens;
            EXPECT_EQ(linea.rfind("1500000", 0), 0u) << linea;
        }
    EXPECT_EQ(tokens, 17u);

    // The next upload changes the port mapping and keeps everything else as the router had it.
    param.SetPorts("Default,192.168.1.40,8080,192.168.1.41");
    param.SetLan("10.0.0.1", "255.0.0.0"); // not in this template: no effect
    const std::map<int, std::string> otra = Subir("643get.cfg");
    for (const auto &[code, value] : otra)
    {
        if (code / 100 == 1500000)
            continue;
        const auto antes = router.find(code);
        EXPECT_EQ(value, antes != router.end() ? antes->second : codigos.Find(code)->defaultValue) << code;
    }
    EXPECT_EQ(otra.at(150000001), "192.168.1.40");
    EXPECT_EQ(otra.at(150000002), "8080");
    EXPECT_EQ(otra.at(150000003), "192.168.1.41");
    EXPECT_EQ(otra.at(150000004), "0");
    EXPECT_EQ(otra.at(150000017), "0.0.0.0");
}

TEST_F(Upload643, OnlyTheIntendedCodesAreRead)
{
    // Each code of the list alone, with a value that turns every flag on: only the codes of the
    // reading table change the object.
    const std::set<int> leidos = {30200008, 30200009, 40000013, 40000015, 30200004, 30200005, 30200002,
                                  30200003, 40000009, 40000010, 40000011, 10000006, 40000004};
    for (const routerformat::Code &codigo : codigos.Codes())
    {
        ASSERT_TRUE(pcfile::Write(Path("643get.cfg"), routerformat::FormatLine(codigo.code, "12")));
        ASSERT_EQ(config->LeerConfig812(Path("643get.cfg").c_str()), S_OK);
        const bool puerto = codigo.code / 100 == 1500000;
        EXPECT_EQ(param.GetPorts(), puerto ? "Default,12" : "") << codigo.name;
        const bool cambia = !param.GetLan().first.empty() || !param.GetLan().second.empty() ||
                            !param.GetWan().first.empty() || !param.GetWan().second.empty() ||
                            !param.GetDns().first.empty() || !param.GetDns().second.empty() ||
                            !param.GetDhcp().first.empty() || !param.GetUser().first.empty() ||
                            !param.GetUser().second.empty() || param.GetNat() || param.GetBridge() ||
                            param.GetEncap() || !param.GetDhcp().second.empty();
        EXPECT_EQ(cambia, leidos.count(codigo.code) == 1) << codigo.name;
    }
}

TEST_F(Upload643, LogOfAWholeUpload)
{
    FillMultipuesto();
    param.SetNat(0);
    param.SetPorts("80,192.168.1.34");
    Subir();
    const Textos log = Log();
    ASSERT_GE(log.size(), 9u);
    EXPECT_EQ(Textos(log.begin(), log.begin() + 6), (Textos{
                                                        "Init CrearListaPuertos",
                                                        "Lista de puertos: %s [80,192.168.1.34]",
                                                        "CrearListaPuertos, a\xF1"
                                                        "adiendo puerto %s [80]",
                                                        "CrearListaPuertos, a\xF1"
                                                        "adiendo IP %s [192.168.1.34]",
                                                        "Fin CrearListaPuertos",
                                                        "Init CrearFicheroCfg",
                                                    }));
    EXPECT_EQ(log[6], "Init EscribirRutas");
    EXPECT_EQ(log[7], "subred: 192.168.1.32/32");
    EXPECT_EQ(log.back(), "Fin EscribirRutas");
    EXPECT_EQ(log.size(), 6u + 1 + 9 + 1);
}
