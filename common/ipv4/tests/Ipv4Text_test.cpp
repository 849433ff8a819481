// Dotted IPv4 text.
#include "common/ipv4/Ipv4Text.h"

#include <gtest/gtest.h>
#include <string>

TEST(Ipv4Text, Validity)
{
    struct Case
    {
        const char *text;
        bool valid;
    } cases[] = {
        {"192.168.1.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"001.002.003.004", true},
        {"010.0.0.1", true},
        {nullptr, false},
        {"", false},
        {"192.168.1.256", false},
        {"1.2.3", false},
        {"1.2.3.4.", false},
        {".1.2.3.4", false},
        {"1..2.3.4", false},
        {"1.2.3.4.5", false},
        {"1.2.3.4a", false},
        {"1.2.3.0004", false},
        {"1.2.3.-4", false},
        {"1.2.3. 4", false},
        {"1.2.3.4 ", false},
        {"\xF1.2.3.4", false},
        {"....", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ipv4::IsValidText(c.text), c.valid) << (c.text ? c.text : "(null)");
}

TEST(Ipv4Text, ValuesAndTexts)
{
    EXPECT_EQ(ipv4::ValueOf("80.1.2.3"), 0x50010203u);
    EXPECT_EQ(ipv4::ValueOf("255.255.255.0"), 0xFFFFFF00u);
    EXPECT_EQ(ipv4::ValueOf("010.000.001.009"), 0x0A000109u);
    EXPECT_EQ(ipv4::TextOf(0x50010203u), "80.1.2.3");
    EXPECT_EQ(ipv4::TextOf(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(ipv4::TextOf(0), "0.0.0.0");
}
