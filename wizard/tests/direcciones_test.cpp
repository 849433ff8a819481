// The wizard's address rules, case by case: the texts the pages accept and refuse, the odd
// corners the pages rely on (text comparisons, octet 4 without carry, the signed pool size), and
// the examples the pages are checked against.
#include "wizard/Direcciones.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using D = CDirecciones;

struct Texto
{
    std::string t;
    bool esperado;
};

struct Par
{
    std::string a, m;
    bool esperado;
};

struct Resultado
{
    std::string a, m, esperado;
};

// The mask of n leading ones.
std::string Prefijo(int n)
{
    const unsigned valor = n == 0 ? 0u : ~0u << (32 - n);
    return std::to_string(valor >> 24) + "." + std::to_string((valor >> 16) & 0xFF) + "." +
           std::to_string((valor >> 8) & 0xFF) + "." + std::to_string(valor & 0xFF);
}
} // namespace

TEST(Direcciones, EsOcteto)
{
    const std::vector<Texto> casos = {{"0", true},   {"255", true},   {"256", false}, {"01", true},
                                      {"001", true}, {"0001", false}, {"", false},    {"1a", false},
                                      {" 1", false}, {"-1", false},   {"+1", false},  {"999", false}};
    for (const Texto &c : casos)
        EXPECT_EQ(D::EsOcteto(c.t), c.esperado) << '"' << c.t << '"';
}

TEST(Direcciones, EsFormatoIp)
{
    const std::vector<Texto> casos = {{"1.2.3.4", true},
                                      {"01.2.3.4", true},
                                      {"255.255.255.255", true},
                                      {"0.0.0.0", true},
                                      {"1.2.3", false},
                                      {"1.2.3.4.", false},
                                      {" 1.2.3.4", false},
                                      {"1.2.3.4 ", false},
                                      {"", false},
                                      {"1..3.4", false},
                                      {"1.2.3.256", false},
                                      {"1.2.3.4.5", false},
                                      {".1.2.3", false},
                                      {"1.2.3.0004", false},
                                      {"a.b.c.d", false},
                                      {"1,2,3,4", false},
                                      {std::string("1.2.3.4\0", 8), false},
                                      {"...", false},
                                      {"....", false}};
    for (const Texto &c : casos)
        EXPECT_EQ(D::EsFormatoIp(c.t), c.esperado) << '"' << c.t << '"';
}

TEST(Direcciones, VerOctetoLeeCerosFueraDeUnaDireccion)
{
    EXPECT_EQ(D::VerOcteto("10.20.30.40", 1), 10);
    EXPECT_EQ(D::VerOcteto("10.20.30.40", 4), 40);
    EXPECT_EQ(D::VerOcteto("010.20.30.40", 1), 10);
    EXPECT_EQ(D::VerOcteto("10.20.30.40", 0), 0);
    EXPECT_EQ(D::VerOcteto("10.20.30.40", 5), 0);
    EXPECT_EQ(D::VerOcteto("10.20.30", 1), 0);
    EXPECT_EQ(D::VerOcteto("10.20.30.400", 1), 0);
}

TEST(Direcciones, MascarasDeUnoATreinta)
{
    for (int n = 1; n <= 30; ++n)
        EXPECT_TRUE(D::EsMascaraValida(Prefijo(n))) << Prefijo(n);
    EXPECT_EQ(Prefijo(31), "255.255.255.254");
    EXPECT_FALSE(D::EsMascaraValida(Prefijo(31)));
    EXPECT_FALSE(D::EsMascaraValida(Prefijo(32)));
    EXPECT_FALSE(D::EsMascaraValida(Prefijo(0)));
}

TEST(Direcciones, MascarasRechazadas)
{
    const std::vector<Texto> casos = {
        {"255.0.255.0", false},   {"255.255.255.1", false}, {"128.0.0.1", false},
        {"255.254.255.0", false}, {"255.255.0", false},     {"0255.0.0.0", false},
        {"255.255.255.0", true},  {"255.255.254.0", true},  {"255.255.255.252", true},
        {"254.0.0.0", true},      {"255.129.0.0", false},   {"", false}};
    for (const Texto &c : casos)
        EXPECT_EQ(D::EsMascaraValida(c.t), c.esperado) << c.t;
}

TEST(Direcciones, EsBroadcastComparaElTexto)
{
    const std::vector<Par> casos = {
        {"80.58.255.255", "255.255.0.0", true},   {"80.58.0.0", "255.255.0.0", false},
        {"10.255.255.255", "255.0.0.0", true},    {"010.255.255.255", "255.0.0.0", false},
        {"192.168.1.255", "255.255.255.0", true}, {"192.168.1.127", "255.255.255.128", true}};
    for (const Par &c : casos)
        EXPECT_EQ(D::EsBroadcast(c.a, c.m), c.esperado) << c.a << " " << c.m;
}

TEST(Direcciones, EsIpValida)
{
    const std::vector<Par> casos = {
        {"80.58.0.0", "255.255.0.0", true},      // host part zero passes
        {"80.58.255.255", "255.255.0.0", false}, // broadcast
        {"80.58.1.10", "255.255.255.0", true},   {"80.58.1.10", "255.255.255.254", false},
        {"0.1.2.3", "255.0.0.0", false},         {"127.0.0.1", "255.0.0.0", false},
        {"224.0.0.1", "255.0.0.0", false},       {"225.0.0.1", "255.0.0.0", true}, // only 224 is refused
        {"255.255.255.255", "255.0.0.0", false}, {"192.168.5.10", "255.255.255.0", true},
        {"80.58.1", "255.255.255.0", false},     {"80.58.1.10", "255.0.255.0", false}};
    for (const Par &c : casos)
        EXPECT_EQ(D::EsIpValida(c.a, c.m), c.esperado) << c.a << " " << c.m;
}

TEST(Direcciones, CalcularSubredYMismaSubred)
{
    std::string subred = "sin tocar";
    EXPECT_TRUE(D::CalcularSubred("80.58.1.10", "255.255.255.0", subred));
    EXPECT_EQ(subred, "80.58.1.0");
    // Any two addresses, the mask need not be a valid one.
    EXPECT_TRUE(D::CalcularSubred("1.2.3.4", "255.0.255.0", subred));
    EXPECT_EQ(subred, "1.0.3.0");
    EXPECT_FALSE(D::CalcularSubred("1.2.3", "255.0.0.0", subred));
    EXPECT_EQ(subred, "");
    EXPECT_FALSE(D::CalcularSubred("1.2.3.4", "", subred));

    EXPECT_TRUE(D::MismaSubred("192.168.1.5", "255.255.255.0", "192.168.1.1"));
    EXPECT_FALSE(D::MismaSubred("192.168.1.5", "255.255.255.0", "192.168.2.1"));
    EXPECT_TRUE(D::MismaSubred("192.168.1.5", "255.255.0.0", "192.168.2.1"));
    // Two texts that are not addresses are not one subnet.
    EXPECT_FALSE(D::MismaSubred("x", "255.0.0.0", "y"));
    EXPECT_FALSE(D::MismaSubred("192.168.1.5", "x", "192.168.1.5"));
}

TEST(Direcciones, MascaraPrivada)
{
    const std::vector<Resultado> casos = {{"10.1.2.3", "", "255.0.0.0"},
                                          {"10.1.2.0", "", ""},
                                          {"10.1.2.255", "", ""},
                                          {"172.16.0.5", "", "255.255.0.0"},
                                          {"172.31.255.254", "", "255.255.0.0"},
                                          {"172.15.0.1", "", ""},
                                          {"172.32.0.1", "", ""},
                                          {"192.168.5.10", "", "255.255.255.0"},
                                          {"192.169.0.1", "", ""},
                                          {"80.58.1.10", "", ""},
                                          {"0.1.2.3", "", ""}};
    for (const Resultado &c : casos)
        EXPECT_EQ(D::MascaraPrivada(c.a), c.esperado) << c.a;

    EXPECT_TRUE(D::EsPrivada("192.168.5.10"));
    EXPECT_FALSE(D::EsPrivada("10.1.2.255"));
    EXPECT_FALSE(D::EsPrivada("80.58.1.10"));
    // Octet 1 of 0 is private without a mask, and so is a text whose octets all read as 0.
    EXPECT_TRUE(D::EsPrivada("0.1.2.3"));
    EXPECT_TRUE(D::EsPrivada("1.2.3"));
}

TEST(Direcciones, PrimeraIpSinAcarreo)
{
    EXPECT_EQ(D::PrimeraIp("80.58.1.10", "255.255.255.0"), "80.58.1.1");
    EXPECT_EQ(D::PrimeraIp("80.58.0.0", "255.255.0.0"), "80.58.0.1");
    EXPECT_EQ(D::PrimeraIp("172.16.0.5", "255.255.0.0"), "172.16.0.1");
    // Octet 4 of 255 wraps within the octet; octet 3 stays.
    EXPECT_EQ(D::PrimeraIp("10.0.0.255", "255.255.255.255"), "10.0.0.0");
    EXPECT_EQ(D::PrimeraIp("10.0.0.5", ""), "");
}

TEST(Direcciones, SiguienteIpConAcarreo)
{
    EXPECT_EQ(D::SiguienteIp("1.2.3.4"), "1.2.3.5");
    EXPECT_EQ(D::SiguienteIp("1.2.3.255"), "1.2.4.0");
    EXPECT_EQ(D::SiguienteIp("1.255.255.255"), "2.0.0.0");
    EXPECT_EQ(D::SiguienteIp("255.255.255.255"), "0.0.0.0");
    EXPECT_EQ(D::SiguienteIp("01.2.3.4"), "1.2.3.5");
    EXPECT_EQ(D::SiguienteIp("1.2.3"), "");
}

TEST(Direcciones, IpVecina)
{
    const std::vector<Resultado> casos = {
        {"192.168.1.5", "255.255.255.0", "192.168.1.6"},
        {"192.168.1.254", "255.255.255.0", "192.168.1.255"},
        {"192.168.1.255", "255.255.255.0", "192.168.1.254"},
        {"192.168.1.0", "255.255.255.0", "192.168.1.1"},
        {"192.168.1.127", "255.255.255.128", "192.168.1.126"},
        {"192.168.1.128", "255.255.255.128", "192.168.1.129"},
        // The subnet of one address has no neighbour; octet 4 never goes below 0 or above 255.
        {"10.0.0.0", "255.255.255.255", ""},
        {"10.0.0.255", "255.255.255.255", ""},
        {"10.0.0", "255.255.255.0", ""}};
    for (const Resultado &c : casos)
    {
        std::string vecina = "sin tocar";
        EXPECT_EQ(D::IpVecina(c.a, c.m, vecina), !c.esperado.empty()) << c.a << " " << c.m;
        EXPECT_EQ(vecina, c.esperado) << c.a << " " << c.m;
    }
}

TEST(Direcciones, EsHost)
{
    const std::vector<Par> casos = {
        {"192.168.1.5", "255.255.255.0", true},    {"192.168.1.0", "255.255.255.0", false},
        {"192.168.1.255", "255.255.255.0", false}, {"80.58.0.0", "255.255.0.0", false},
        {"172.16.0.1", "255.255.0.0", true},       {"x", "255.255.0.0", false}};
    for (const Par &c : casos)
        EXPECT_EQ(D::EsHost(c.a, c.m), c.esperado) << c.a << " " << c.m;
}

TEST(Direcciones, SubredesDisjuntas)
{
    EXPECT_TRUE(D::SubredesDisjuntas("10.0.0.5", "255.0.0.0", "80.58.1.10", "255.255.255.0"));
    EXPECT_FALSE(D::SubredesDisjuntas("80.58.1.200", "255.255.255.0", "80.58.1.10", "255.255.255.0"));
    // One inside the other, either way round.
    EXPECT_FALSE(D::SubredesDisjuntas("80.1.2.3", "255.0.0.0", "80.58.1.10", "255.255.255.0"));
    EXPECT_FALSE(D::SubredesDisjuntas("80.58.1.10", "255.255.255.0", "80.1.2.3", "255.0.0.0"));
    EXPECT_TRUE(D::SubredesDisjuntas("80.58.2.10", "255.255.255.0", "80.58.1.10", "255.255.255.0"));
    EXPECT_FALSE(D::SubredesDisjuntas("0.0.0.5", "255.0.0.0", "80.58.1.10", "255.255.255.0"));
    EXPECT_FALSE(D::SubredesDisjuntas("10.0.0.5", "255.0.255.0", "80.58.1.10", "255.255.255.0"));
    EXPECT_FALSE(D::SubredesDisjuntas("10.0.0.5", "255.0.0.0", "80.58.1", "255.255.255.0"));
}

TEST(Direcciones, MascaraCubre)
{
    EXPECT_TRUE(D::MascaraCubre("255.255.0.0", "255.255.255.0"));
    EXPECT_FALSE(D::MascaraCubre("255.255.255.0", "255.255.0.0"));
    EXPECT_TRUE(D::MascaraCubre("255.0.0.0", "255.0.0.0"));
    EXPECT_FALSE(D::MascaraCubre("255.255.0.0", "255.255.255.254"));
    EXPECT_FALSE(D::MascaraCubre("", "255.255.255.0"));
}

TEST(Direcciones, TamanoPool)
{
    EXPECT_EQ(D::TamanoPool("192.168.1.33", "255.255.255.0"), 222);
    EXPECT_EQ(D::TamanoPool("172.16.0.5", "255.255.0.0"), 250);
    EXPECT_EQ(D::TamanoPool("10.0.0.5", "255.0.0.0"), 250);
    // The rule looks at start and mask octet by octet, not at the subnet's size.
    EXPECT_EQ(D::TamanoPool("10.254.254.100", "255.0.0.0"), 155);
    // A start above the subnet's last address gives a negative size.
    EXPECT_EQ(D::TamanoPool("192.168.1.200", "255.255.255.128"), -73);
}

TEST(Direcciones, RouterEnPool)
{
    EXPECT_TRUE(D::RouterEnPool("192.168.1.33", "255.255.255.0", "192.168.1.100"));
    EXPECT_FALSE(D::RouterEnPool("192.168.1.33", "255.255.255.0", "192.168.1.1"));
    EXPECT_FALSE(D::RouterEnPool("192.168.1.33", "255.255.255.0", "192.168.1.33"));
    EXPECT_TRUE(D::RouterEnPool("192.168.1.33", "255.255.255.0", "192.168.1.34"));
    EXPECT_TRUE(D::RouterEnPool("192.168.1.33", "255.255.255.0", "192.168.1.255"));
    // 250 addresses after the start: 172.16.0.6 to 172.16.0.255.
    EXPECT_TRUE(D::RouterEnPool("172.16.0.5", "255.255.0.0", "172.16.0.6"));
    EXPECT_TRUE(D::RouterEnPool("172.16.0.5", "255.255.0.0", "172.16.0.255"));
    EXPECT_FALSE(D::RouterEnPool("172.16.0.5", "255.255.0.0", "172.16.1.0"));
    // Compared as text.
    EXPECT_FALSE(D::RouterEnPool("192.168.1.33", "255.255.255.0", "192.168.001.100"));
    // -73 counts as 183 addresses: on from 192.168.1.201 across into 192.168.2.
    EXPECT_TRUE(D::RouterEnPool("192.168.1.200", "255.255.255.128", "192.168.2.10"));
    EXPECT_FALSE(D::RouterEnPool("192.168.1.200", "255.255.255.128", "192.168.2.200"));
    EXPECT_FALSE(D::RouterEnPool("192.168.1", "255.255.255.0", ""));
}
