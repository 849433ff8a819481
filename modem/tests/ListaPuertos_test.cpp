// The port list: splitting the parameter object's list into the port and address arrays.
#include "testing/MemoryRouterParam.h"
#include "modem/tests/modemtest.h"

using Textos = std::vector<std::string>;

namespace
{
// The arrays as "port=address" pairs, easier to compare.
Textos Pares(const CModemConfig &config)
{
    Textos pares;
    EXPECT_EQ(config.Puertos().size(), config.Ips().size());
    for (size_t i = 0; i < config.Puertos().size() && i < config.Ips().size(); ++i)
        pares.push_back(config.Puertos()[i] + "=" + config.Ips()[i]);
    return pares;
}

Textos ConRelleno(Textos pares)
{
    while (pares.size() < CModemConfig::kMinPares)
        pares.push_back("0=0.0.0.0");
    return pares;
}
} // namespace

using PortList = ModemConfigTest;

TEST_F(PortList, SplitsPairsAndFillsUpToEight)
{
    const struct
    {
        const char *lista;
        Textos pares;
        LONG grant80, grant21;
    } cases[] = {
        {"", {}, 0, 0},
        {"Default,192.168.1.33", {"Default=192.168.1.33"}, 1, 1},
        {"80,192.168.1.33,21,192.168.1.34", {"80=192.168.1.33", "21=192.168.1.34"}, 1, 1},
        {"80,192.168.1.33,21", {"80=192.168.1.33", "21="}, 1, 1},
        {"default,10.0.0.1", {"default=10.0.0.1"}, 1, 1},
        {"80,10.0.0.1", {"80=10.0.0.1"}, 1, 0},
        {"21,10.0.0.1", {"21=10.0.0.1"}, 0, 1},
        {" 80,10.0.0.1", {" 80=10.0.0.1"}, 1, 0},
        {"8080,10.0.0.1,0021x,10.0.0.2", {"8080=10.0.0.1", "0021x=10.0.0.2"}, 0, 1},
        {"80,10.0.0.1,", {"80=10.0.0.1"}, 1, 0},
        {",,", {"="}, 0, 0},
        {"MyDefaultServer,10.0.0.9", {"MyDefaultServer=10.0.0.9"}, 1, 1},
    };
    for (const auto &c : cases)
    {
        CModemConfig fresh(param.Get(), log);
        param.SetPorts(c.lista);
        fresh.CrearListaPuertos();
        EXPECT_EQ(Pares(fresh), ConRelleno(c.pares)) << c.lista;
        EXPECT_EQ(fresh.Grant80(), c.grant80) << c.lista;
        EXPECT_EQ(fresh.Grant21(), c.grant21) << c.lista;
    }
}

TEST_F(PortList, LongerListsAreKeptWhole)
{
    std::string lista = "Default,192.168.1.2";
    Textos pares = {"Default=192.168.1.2"};
    for (int i = 1; i <= 11; ++i)
    {
        lista += "," + std::to_string(1000 + i) + ",192.168.1." + std::to_string(10 + i);
        pares.push_back(std::to_string(1000 + i) + "=192.168.1." + std::to_string(10 + i));
    }
    param.SetPorts(lista);
    config->CrearListaPuertos();
    EXPECT_EQ(Pares(*config), pares);
}

TEST_F(PortList, GrantFlagsAreNeverCleared)
{
    param.SetPorts("80,10.0.0.1");
    config->CrearListaPuertos();
    param.SetPorts("");
    config->CrearListaPuertos();
    EXPECT_EQ(Pares(*config), ConRelleno({}));
    EXPECT_EQ(config->Grant80(), 1);
    EXPECT_EQ(config->Grant21(), 0);
    param.SetPorts("21,10.0.0.1");
    config->CrearListaPuertos();
    EXPECT_EQ(config->Grant80(), 1);
    EXPECT_EQ(config->Grant21(), 1);
}

TEST_F(PortList, LogsTheListAndEveryItem)
{
    param.SetPorts("80,192.168.1.33,21");
    config->CrearListaPuertos();
    EXPECT_EQ(Log(), (Textos{
                         "Init CrearListaPuertos",
                         "Lista de puertos: %s [80,192.168.1.33,21]",
                         "CrearListaPuertos, a\xF1"
                         "adiendo puerto %s [80]",
                         "CrearListaPuertos, a\xF1"
                         "adiendo IP %s [192.168.1.33]",
                         "CrearListaPuertos, a\xF1"
                         "adiendo puerto %s [21]",
                         "CrearListaPuertos, a\xF1"
                         "adiendo IP %s []",
                         "Fin CrearListaPuertos",
                     }));
}

TEST_F(PortList, FailingObjectStopsBeforeAnythingChanges)
{
    param.SetPorts("80,10.0.0.1");
    config->CrearListaPuertos();

    CMemoryRouterParam *failing = CMemoryRouterParam::Create();
    failing->SetFailHook(
        [](std::string_view method) { return method == "GetPorts" ? E_ACCESSDENIED : S_OK; });
    CModemConfig other(failing, log);
    failing->Release();
    try
    {
        other.CrearListaPuertos();
        FAIL() << "no error raised";
    }
    catch (const CComError &error)
    {
        EXPECT_EQ(error.Error(), E_ACCESSDENIED);
        EXPECT_TRUE(IsEqualGUID(error.Iid(), IID_IRouterParam));
    }
    EXPECT_TRUE(other.Puertos().empty());

    CModemConfig none(nullptr, log);
    try
    {
        none.CrearListaPuertos();
        FAIL() << "no error raised";
    }
    catch (const CComError &error)
    {
        EXPECT_EQ(error.Error(), E_POINTER);
        EXPECT_TRUE(IsEqualGUID(error.Iid(), IID_IRouterParam));
    }
    // Only the first, successful run logged anything.
    EXPECT_EQ(Log().size(), 5u);
}
