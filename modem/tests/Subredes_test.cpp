// Dotted IPv4 text: the address check, the neighbour subnets and the template's conversions.
#include "modem/Subredes.h"

#include <climits>
#include <gtest/gtest.h>

using Rutas = std::vector<std::string>;

TEST(IpCheck, AcceptsOnlyFourDottedDecimalParts)
{
    const struct
    {
        const char *text;
        bool valid;
    } cases[] = {
        {"192.168.1.1", true},    {"001.002.003.004", true},
        {"0.0.0.0", true},        {"255.255.255.255", true},
        {"192.168.1.256", false}, {"1.2.3", false},
        {"1.2.3.4.", false},      {"1..2.3.4", false},
        {"1.2.3.4a", false},      {"", false},
        {".1.2.3.4", false},      {"1.2.3.4.5", false},
        {"1234.1.1.1", false},    {" 1.2.3.4", false},
        {"1.2.3.4 ", false},      {"1.2.-3.4", false},
        {"1.2.3.0004", false},    {"+1.2.3.4", false},
        {"1.2..3", false},        {"...", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EsIpValida(c.text), c.valid) << '"' << c.text << '"';
    EXPECT_FALSE(EsIpValida(nullptr));
}

TEST(NeighbourSubnets, WholeNetworkAroundOneAddress)
{
    Rutas rutas;
    ASSERT_TRUE(CalcularSubredesVecinas("192.168.1.33", "255.255.255.0", rutas));
    const Rutas esperadas = {
        "255.255.255.255", "192.168.1.32", "255.255.255.254", "192.168.1.34",
        "255.255.255.252", "192.168.1.36", "255.255.255.248", "192.168.1.40",
        "255.255.255.240", "192.168.1.48", "255.255.255.224", "192.168.1.0",
        "255.255.255.192", "192.168.1.64", "255.255.255.128", "192.168.1.128",
    };
    EXPECT_EQ(rutas, esperadas);
}

TEST(NeighbourSubnets, SmallNetworks)
{
    Rutas rutas;
    ASSERT_TRUE(CalcularSubredesVecinas("192.0.2.10", "255.255.255.248", rutas));
    EXPECT_EQ(rutas, (Rutas{"255.255.255.255", "192.0.2.11", "255.255.255.254", "192.0.2.8",
                            "255.255.255.252", "192.0.2.12"}));

    rutas.clear();
    EXPECT_TRUE(CalcularSubredesVecinas("192.0.2.10", "255.255.255.255", rutas));
    EXPECT_TRUE(rutas.empty());

    EXPECT_TRUE(CalcularSubredesVecinas("192.0.2.10", "255.255.255.254", rutas));
    EXPECT_EQ(rutas, (Rutas{"255.255.255.255", "192.0.2.11"}));
}

TEST(NeighbourSubnets, AppendsToWhatTheListHolds)
{
    Rutas rutas = {"x", "y"};
    ASSERT_TRUE(CalcularSubredesVecinas("10.0.0.1", "255.255.255.254", rutas));
    EXPECT_EQ(rutas, (Rutas{"x", "y", "255.255.255.255", "10.0.0.0"}));
}

TEST(NeighbourSubnets, WideAndOddMasks)
{
    Rutas rutas;
    ASSERT_TRUE(CalcularSubredesVecinas("10.1.2.3", "192.0.0.0", rutas));
    ASSERT_EQ(rutas.size(), 60u);
    EXPECT_EQ(rutas[0], "255.255.255.255");
    EXPECT_EQ(rutas[1], "10.1.2.2");
    EXPECT_EQ(rutas[58], "224.0.0.0");
    EXPECT_EQ(rutas[59], "32.0.0.0");

    // Not contiguous: k is the highest bit of the negated mask (0x00FF0100: bit 23).
    rutas.clear();
    ASSERT_TRUE(CalcularSubredesVecinas("10.1.2.3", "255.0.255.0", rutas));
    EXPECT_EQ(rutas.size(), 46u);
}

TEST(NeighbourSubnets, RefusedInputsAppendNothing)
{
    const struct
    {
        const char *ip;
        const char *mask;
    } cases[] = {
        {"192.168.1.33", "128.0.0.0"}, {"192.168.1.33", "0.0.0.0"},        {"0.0.0.0", "255.255.255.0"},
        {"192.168.1.33", "1.0.0.0"},   {"192.168.1.256", "255.255.255.0"}, {"192.168.1.33", ""},
        {"", "255.255.255.0"},         {nullptr, "255.255.255.0"},         {"192.168.1.33", nullptr},
    };
    for (const auto &c : cases)
    {
        Rutas rutas = {"keep"};
        EXPECT_FALSE(CalcularSubredesVecinas(c.ip, c.mask, rutas))
            << (c.ip ? c.ip : "null") << " " << (c.mask ? c.mask : "null");
        EXPECT_EQ(rutas, Rutas{"keep"});
    }
}

TEST(MaskConversion, PrefixLengthsAndOddTexts)
{
    const struct
    {
        const char *mask;
        const char *prefix;
    } cases[] = {
        {"255.255.255.0", "24"},
        {"0.0.0.0", "0"},
        {"255.255.255.255", "32"},
        {"255.255.255.248", "29"},
        {"128.0.0.0", "1"},
        {"", ""},
        {"255.0.255.0", "24"},
        {"1.2", "15"},
        {"abc", "0"},
        {"999.0.0.0", "8"},
        {"0.0.0.1", "32"},
        {"255.255.255.0.7", "24"},
        {"-1.0.0.0", "8"},
        {"255.255.255.0 ", "24"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MascaraAPrefijo(c.mask), c.prefix) << '"' << c.mask << '"';
}

TEST(NetworkPlusOne, NoCarryIntoTheThirdField)
{
    EXPECT_EQ(RedMasUno("192.0.2.10", "255.255.255.248"), "192.0.2.9");
    EXPECT_EQ(RedMasUno("80.24.130.37", "255.255.255.0"), "80.24.130.1");
    EXPECT_EQ(RedMasUno("10.0.0.255", "255.255.255.255"), "10.0.0.256");
    EXPECT_EQ(RedMasUno("", ""), "0.0.0.1");
    EXPECT_EQ(RedMasUno("1.2.3.2147483647", "1.2.3.2147483647"), "1.2.3.2147483648");
}

TEST(OctetParser, FieldsAsAtoiReadsThem)
{
    EXPECT_EQ(CampoIp("1.2.3.4", 1), 1);
    EXPECT_EQ(CampoIp("1.2.3.4", 4), 4);
    EXPECT_EQ(CampoIp("1.2", 3), 0);
    EXPECT_EQ(CampoIp("1..3.4", 2), 0);
    EXPECT_EQ(CampoIp(" 7x.8", 1), 7);
    EXPECT_EQ(CampoIp("1.2.3.4.5", 4), 4);
    EXPECT_EQ(CampoIp("", 1), 0);
}

TEST(Atoi, LeadingDigitsAndSaturation)
{
    EXPECT_EQ(AtoiTexto("  42x"), 42);
    EXPECT_EQ(AtoiTexto("\t-7"), -7);
    EXPECT_EQ(AtoiTexto("+3"), 3);
    EXPECT_EQ(AtoiTexto(""), 0);
    EXPECT_EQ(AtoiTexto("x1"), 0);
    EXPECT_EQ(AtoiTexto("2147483647"), INT_MAX);
    EXPECT_EQ(AtoiTexto("-2147483648"), INT_MIN);
    EXPECT_EQ(AtoiTexto("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(AtoiTexto("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(AtoiTexto(std::string_view("12\0"
                                         "3",
                                         4)),
              12);
}
