// The configuration plans on the real parameter objects: each mode's plan read back through the
// objects' getters against the table of what each mode sets, the adapter's current values the
// TCP/IP plan keeps, the plans' failures, their printed form, and the DNS pair of "Config.ini".
#include "common/param/RouterParamPtr.h"
#include "common/param/TcpipParamPtr.h"
#include "testing/kittest.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace asistente
{
void FijarModulo(HMODULE hModulo);
}

namespace
{
const plan::Dns kDns{"192.0.2.53", "198.51.100.53"};

// Every value of a RouterParam the plans set.
struct Router
{
    TextPair lan, wan, dns, dhcp, user;
    LONG nat = 0, bridge = 0, encap = 0;
    std::string ports;
    bool operator==(const Router &) const = default;
};

Router Leer(const RouterParamPtr &param)
{
    return {param.GetLan(), param.GetWan(),    param.GetDns(),   param.GetDhcp(), param.GetUser(),
            param.GetNat(), param.GetBridge(), param.GetEncap(), param.GetPorts()};
}

// Every value of a TcpipParam the plans set, with the groups marked modified.
struct Tcpip
{
    std::string nic, regId, host, domain;
    LONG dhcp = 0, dnsEnable = 0;
    std::vector<TextPair> ips;
    std::vector<std::string> gateways, dns;
    std::vector<LONG> modified;
    bool operator==(const Tcpip &) const = default;
};

Tcpip Leer(const TcpipParamPtr &param)
{
    Tcpip t{param.GetNicName(),
            param.GetRegID(),
            param.GetHostName(),
            param.GetDomain(),
            param.GetDhcpEnable(),
            param.GetDnsEnable(),
            {},
            {},
            {},
            {}};
    for (LONG i = 1; i <= param.GetIPCount(); ++i)
        t.ips.push_back(param.GetIP(i));
    for (LONG i = 1; i <= param.GetGatewayCount(); ++i)
        t.gateways.push_back(param.GetGateway(i));
    for (LONG i = 1; i <= param.GetDnsCount(); ++i)
        t.dns.push_back(param.GetDns(i));
    for (LONG group = TCPIP_GROUP_IP; group <= TCPIP_GROUP_DOMAIN; ++group)
        if (param.IsModified(group))
            t.modified.push_back(group);
    return t;
}

// A plan held as the run record holds it, with the interface asked for.
template <class Ptr> Ptr Interfaz(IUnknown *plan)
{
    Ptr param;
    EXPECT_EQ(param.QueryFrom(plan), S_OK);
    return param;
}

class Objetos : public testing::Test
{
  protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override
    {
        for (IUnknown *plan : planes)
            plan->Release();
        CoFreeUnusedLibraries();
        CoUninitialize();
    }
    IUnknown *Guardar(IUnknown *plan)
    {
        if (plan)
            planes.push_back(plan);
        return plan;
    }

    std::vector<IUnknown *> planes;
};

class Planes : public Objetos
{
  protected:
    void SetUp() override
    {
        Objetos::SetUp();
        ASSERT_TRUE(kittest::RegisterServer("DaxParam.dll"));
        ASSERT_EQ(actual.CreateInstance(), S_OK);
        actual.PutRegID("{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001");
        actual.PutHostName("PC-Casa");
        actual.PutDomain("casa.local");
        actual.AddIP("80.58.1.10", "255.255.255.0");
        datos.NIC = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
    }

    Router PlanModem()
    {
        IUnknown *plan = nullptr;
        EXPECT_EQ(plan::PlanModem(datos, kDns, &plan), S_OK);
        return Leer(Interfaz<RouterParamPtr>(Guardar(plan)));
    }
    Tcpip PlanTcpip(IUnknown *current)
    {
        IUnknown *plan = nullptr;
        EXPECT_EQ(plan::PlanTcpip(datos, current, kDns, &plan), S_OK);
        return Leer(Interfaz<TcpipParamPtr>(Guardar(plan)));
    }
    Tcpip PlanTcpip() { return PlanTcpip(actual.Get()); }

    // What a fresh object holds: the values a plan does not set.
    static Router RouterSinTocar()
    {
        RouterParamPtr fresco;
        EXPECT_EQ(fresco.CreateInstance(), S_OK);
        return Leer(fresco);
    }
    Tcpip ClienteDhcp() const
    {
        Tcpip t{datos.NIC, "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001",
                "PC-Casa", "casa.local",
                1,         0,
                {},        {},
                {},        {}};
        t.modified = {TCPIP_GROUP_WINS, TCPIP_GROUP_HOSTNAME, TCPIP_GROUP_DOMAIN};
        return t;
    }
    Tcpip Estatico(const std::string &gateway) const
    {
        Tcpip t = ClienteDhcp();
        t.dhcp = 0;
        t.dnsEnable = 1;
        t.ips = {{datos.IpPrivada, datos.MaskPrivada}};
        t.gateways = {gateway};
        t.dns = {kDns.DNS1, kDns.DNS2};
        t.modified = {TCPIP_GROUP_IP,   TCPIP_GROUP_GATEWAY,  TCPIP_GROUP_DNS,
                      TCPIP_GROUP_WINS, TCPIP_GROUP_HOSTNAME, TCPIP_GROUP_DOMAIN};
        return t;
    }
    void VariosPC(DWORD modoDirec, DWORD dhcp, const std::string &ip, const std::string &mask,
                  const std::string &router)
    {
        datos.ModoConf = 1;
        datos.ModoDirec = modoDirec;
        datos.DHCP = dhcp;
        datos.IpPrivada = ip;
        datos.MaskPrivada = mask;
        datos.IpRouter = router;
        datos.IpPublica = "80.58.1.10";
        datos.MaskPublica = "255.255.255.0";
        datos.Username = "usuario@telefonicanet";
        datos.Password = "secreto";
    }

    CDatosAsistente datos;
    TcpipParamPtr actual;
};

class SinServidor : public Objetos
{
};
} // namespace

TEST_F(Planes, UnPCEstatico)
{
    datos.IpPublica = "80.58.1.10";
    datos.MaskPublica = "255.255.255.0";
    datos.IpGestion = "10.0.0.5";
    datos.MaskGestion = "255.0.0.0";
    datos.ListaPuertos = "Default,192.168.1.2"; // one PC maps no ports
    Router esperado = RouterSinTocar();
    esperado.lan = {"80.58.1.1", "255.255.255.0"};
    esperado.wan = {"10.0.0.5", "255.0.0.0"};
    esperado.dhcp = {"80.58.1.10", "1"};
    esperado.dns = {kDns.DNS1, kDns.DNS2};
    esperado.nat = 0;
    EXPECT_EQ(PlanModem(), esperado);
    EXPECT_EQ(PlanTcpip(), ClienteDhcp());
}

TEST_F(Planes, UnPCDinamico)
{
    datos.ModoDirec = 1;
    datos.Username = "usuario@telefonicanet";
    Router esperado = RouterSinTocar();
    esperado.lan = {"192.168.1.1", "255.255.255.0"};
    esperado.dhcp = {"192.168.1.33", "32"};
    esperado.nat = 0;
    esperado.encap = 0;
    esperado.bridge = 1;
    EXPECT_EQ(PlanModem(), esperado);
    EXPECT_EQ(PlanTcpip(), ClienteDhcp());
}

TEST_F(Planes, VariosPCEstaticoConDhcp)
{
    VariosPC(0, 0, "192.168.1.33", "255.255.255.0", "192.168.1.1");
    Router esperado = RouterSinTocar();
    esperado.lan = {"192.168.1.1", "255.255.255.0"};
    esperado.wan = {"80.58.1.10", "255.255.255.0"};
    esperado.dhcp = {"192.168.1.33", "222"};
    esperado.dns = {kDns.DNS1, kDns.DNS2};
    esperado.nat = 1;
    EXPECT_EQ(PlanModem(), esperado);
    EXPECT_EQ(PlanTcpip(), ClienteDhcp());
}

TEST_F(Planes, VariosPCEstaticoManualConElRouterPorDefecto)
{
    VariosPC(0, 1, "172.16.0.5", "255.255.0.0", "");
    Router esperado = RouterSinTocar();
    esperado.lan = {"172.16.0.1", "255.255.0.0"};
    esperado.wan = {"80.58.1.10", "255.255.255.0"};
    esperado.nat = 1;
    EXPECT_EQ(PlanModem(), esperado);
    EXPECT_EQ(PlanTcpip(), Estatico("172.16.0.1"));
}

TEST_F(Planes, VariosPCDinamicoConDhcpYPuertos)
{
    VariosPC(1, 0, "172.16.0.5", "255.255.0.0", "172.16.0.2");
    datos.ListaPuertos = "Default,172.16.0.5";
    Router esperado = RouterSinTocar();
    esperado.lan = {"172.16.0.2", "255.255.0.0"};
    esperado.dhcp = {"172.16.0.5", "250"};
    esperado.dns = {kDns.DNS1, kDns.DNS2};
    esperado.nat = 1;
    esperado.encap = 1;
    esperado.user = {"usuario@telefonicanet", "secreto"};
    esperado.ports = "Default,172.16.0.5";
    EXPECT_EQ(PlanModem(), esperado);
    EXPECT_EQ(PlanTcpip(), ClienteDhcp());
}

TEST_F(Planes, VariosPCDinamicoManual)
{
    VariosPC(1, 1, "192.168.5.10", "255.255.255.0", "0.0.0.0");
    Router esperado = RouterSinTocar();
    esperado.lan = {"192.168.5.1", "255.255.255.0"};
    esperado.nat = 1;
    esperado.encap = 1;
    esperado.user = {"usuario@telefonicanet", "secreto"};
    EXPECT_EQ(PlanModem(), esperado);
    EXPECT_EQ(PlanTcpip(), Estatico("192.168.5.1"));

    datos.IpRouter = "192.168.5.254";
    EXPECT_EQ(PlanTcpip().gateways, std::vector<std::string>{"192.168.5.254"});
}

TEST_F(Planes, ElPoolNegativoSeDaComoTexto)
{
    VariosPC(0, 0, "192.168.1.200", "255.255.255.128", "192.168.1.129");
    EXPECT_EQ(PlanModem().dhcp, TextPair("192.168.1.200", "-73"));
}

TEST_F(Planes, UnAdaptadorSinNombreSeLlamaUserADSL)
{
    actual.PutHostName("");
    Tcpip plan = PlanTcpip();
    EXPECT_EQ(plan.host, "UserADSL");
    EXPECT_EQ(plan.regId, "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001");

    // Without the adapter's values the plan keeps none.
    plan = PlanTcpip(nullptr);
    EXPECT_EQ(plan.host, "UserADSL");
    EXPECT_EQ(plan.regId, "");
    EXPECT_EQ(plan.domain, "");
    EXPECT_EQ(plan.nic, datos.NIC);
}

TEST_F(Planes, CadaPlanEsUnObjetoNuevo)
{
    IUnknown *primero = nullptr, *segundo = nullptr;
    ASSERT_EQ(plan::PlanTcpip(datos, actual.Get(), kDns, &primero), S_OK);
    ASSERT_EQ(plan::PlanTcpip(datos, actual.Get(), kDns, &segundo), S_OK);
    Guardar(primero);
    Guardar(segundo);
    EXPECT_NE(primero, segundo);
    EXPECT_NE(primero, static_cast<IUnknown *>(actual.Get()));
    // The current object is only read.
    EXPECT_EQ(actual.IsModified(TCPIP_GROUP_HOSTNAME), 0);
    EXPECT_EQ(actual.GetIPCount(), 1);
}

TEST_F(Planes, UnActualQueNoEsTcpipAcabaElPlan)
{
    RouterParamPtr otro;
    ASSERT_EQ(otro.CreateInstance(), S_OK);
    IUnknown *plan = reinterpret_cast<IUnknown *>(0x1);
    EXPECT_EQ(plan::PlanTcpip(datos, otro.Get(), kDns, &plan), E_NOINTERFACE);
    EXPECT_EQ(plan, nullptr);
    EXPECT_EQ(plan::PlanTcpip(datos, actual.Get(), kDns, nullptr), E_POINTER);
    EXPECT_EQ(plan::PlanModem(datos, kDns, nullptr), E_POINTER);
}

TEST_F(Planes, TextoDeLosPlanes)
{
    VariosPC(1, 1, "172.16.0.5", "255.255.0.0", "");
    IUnknown *modem = nullptr, *tcpip = nullptr;
    ASSERT_EQ(plan::PlanModem(datos, kDns, &modem), S_OK);
    ASSERT_EQ(plan::PlanTcpip(datos, actual.Get(), kDns, &tcpip), S_OK);
    Guardar(modem);
    Guardar(tcpip);

    const std::string router = plan::TextoPlanModem(modem);
    EXPECT_EQ(router.rfind("Plan del router:\n", 0), 0u) << router;
    EXPECT_NE(router.find("  LAN: 172.16.0.1 / 255.255.0.0\n"), std::string::npos) << router;
    EXPECT_NE(router.find("  NAT: Si\n"), std::string::npos) << router;
    EXPECT_NE(router.find("  Usuario: usuario@telefonicanet\n"), std::string::npos) << router;
    EXPECT_NE(router.find("  Contraseña: *******\n"), std::string::npos) << router;
    EXPECT_EQ(router.find("secreto"), std::string::npos) << router;

    const std::string pc = plan::TextoPlanTcpip(tcpip);
    EXPECT_EQ(pc.rfind("Plan TCP/IP del PC:\n", 0), 0u) << pc;
    EXPECT_NE(pc.find("  Cliente DHCP: No\n"), std::string::npos) << pc;
    EXPECT_NE(pc.find("  Dirección IP 1: 172.16.0.5 / 255.255.0.0\n"), std::string::npos) << pc;
    EXPECT_NE(pc.find("  Puerta de enlace 1: 172.16.0.1\n"), std::string::npos) << pc;
    EXPECT_NE(pc.find("  Servidor DNS 2: 198.51.100.53\n"), std::string::npos) << pc;
    EXPECT_NE(pc.find("  Nombre del equipo: PC-Casa\n"), std::string::npos) << pc;

    // Each reader takes only its own kind of object.
    EXPECT_NE(plan::TextoPlanTcpip(modem).find("no disponible"), std::string::npos);
    EXPECT_NE(plan::TextoPlanModem(nullptr).find("no disponible"), std::string::npos);
}

TEST_F(SinServidor, SinDaxParamNoHayPlan)
{
    CDatosAsistente datos;
    IUnknown *plan = reinterpret_cast<IUnknown *>(0x1);
    EXPECT_EQ(plan::PlanModem(datos, kDns, &plan), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(plan, nullptr);
    plan = reinterpret_cast<IUnknown *>(0x1);
    EXPECT_EQ(plan::PlanTcpip(datos, nullptr, kDns, &plan), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(plan, nullptr);
}

// "Config.ini" beside the module the wizard's globals are told about.
class ConfigDns : public testing::Test
{
  protected:
    void SetUp() override
    {
        carpeta = kittest::MachineDir() + "/asistente";
        std::filesystem::create_directories(carpeta);
        const std::string copia = carpeta + "/QelPrueba.so";
        std::filesystem::copy_file(kittest::LibDir() + "/QelPrueba.so", copia);
        modulo = LoadLibraryA(copia.c_str());
        ASSERT_NE(modulo, nullptr) << GetLastError();
        asistente::FijarModulo(modulo);
    }
    void TearDown() override
    {
        asistente::FijarModulo(nullptr);
        if (modulo)
            FreeLibrary(modulo);
    }
    void Config(const std::string &texto) const
    {
        std::ofstream(carpeta + "/Config.ini", std::ios::binary | std::ios::trunc) << texto;
    }
    static void EsperarDns(const std::string &dns1, const std::string &dns2)
    {
        const plan::Dns dns = plan::LeerDns();
        EXPECT_EQ(dns.DNS1, dns1);
        EXPECT_EQ(dns.DNS2, dns2);
    }

    std::string carpeta;
    HMODULE modulo = nullptr;
};

TEST_F(ConfigDns, LeeLaParejaOCerosSiFaltaAlguno)
{
    Config("[General]\r\nRegistro=KitADSL\r\n[DNS]\r\nDNS1=80.58.0.33\r\nDNS2=80.58.32.97\r\n");
    EsperarDns("80.58.0.33", "80.58.32.97");
    Config("[General]\r\nRegistro=KitADSL\r\n");
    EsperarDns("0.0.0.0", "0.0.0.0");
    Config("[DNS]\r\nDNS1=80.58.0.33\r\n");
    EsperarDns("0.0.0.0", "0.0.0.0");
    Config("[DNS]\r\nDNS1=\r\nDNS2=80.58.32.97\r\n");
    EsperarDns("0.0.0.0", "0.0.0.0");
    std::filesystem::remove(carpeta + "/Config.ini");
    EsperarDns("0.0.0.0", "0.0.0.0");
}
