// The router's format: the codes list and the configuration file's lines.
#include "tools/routerformat/RouterFormat.h"

#include <gtest/gtest.h>

using namespace routerformat;

namespace
{
const char kSmall[] = "# comment\n"
                      "\n"
                      "30200008|LanIp|ip|192.168.1.1|The router's LAN address\r\n"
                      "30200009|LanMask|prefix|24|mask\n"
                      "10000006|Bridge|flag|0|bridge\n"
                      "40000005|Vpi|int:0..255|8|vpi\n"
                      "40000004|Encapsulation|enum:1/2/3/4|3|encap\n"
                      "10000001|SystemName|text:4|P643|name | with a bar in the meaning? no\n";
} // namespace

TEST(RouterCodes, ParsesEveryKind)
{
    CodeTable table;
    std::string error;
    // The last line has six fields: refused.
    EXPECT_FALSE(table.Parse(kSmall, &error));
    EXPECT_EQ(error, "line 8: five fields separated by \"|\" expected");

    std::string text(kSmall);
    text.replace(text.find("name | with"), std::string::npos, "name\n");
    ASSERT_TRUE(table.Parse(text, &error)) << error;
    ASSERT_EQ(table.Codes().size(), 6u);
    const Code *lan = table.Find(30200008);
    ASSERT_NE(lan, nullptr);
    EXPECT_EQ(lan->name, "LanIp");
    EXPECT_EQ(lan->kind, Kind::Ip);
    EXPECT_EQ(lan->defaultValue, "192.168.1.1");
    EXPECT_EQ(lan->meaning, "The router's LAN address");
    const Code *vpi = table.FindByName("Vpi");
    ASSERT_NE(vpi, nullptr);
    EXPECT_EQ(vpi->kind, Kind::Int);
    EXPECT_EQ(vpi->min, 0);
    EXPECT_EQ(vpi->max, 255);
    const Code *encap = table.Find(40000004);
    ASSERT_NE(encap, nullptr);
    EXPECT_EQ(encap->choices, (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(table.Find(10000001)->maxLength, 4u);
    EXPECT_EQ(table.Find(99), nullptr);
}

TEST(RouterCodes, RefusesBadLines)
{
    const struct
    {
        const char *line;
        const char *why;
    } cases[] = {
        {"1234567890|A|flag|0|m", "line 1: the code must be 1 to 9 digits"},
        {"12a|A|flag|0|m", "line 1: the code must be 1 to 9 digits"},
        {"1|A B|flag|0|m", "line 1: bad name"},
        {"1|A|bool|0|m", "line 1: unknown kind \"bool\""},
        {"1|A|int:5|0|m", "line 1: unknown kind \"int:5\""},
        {"1|A|int:9..5|0|m", "line 1: unknown kind \"int:9..5\""},
        {"1|A|enum:a//b|a|m", "line 1: unknown kind \"enum:a//b\""},
        {"1|A|flag|2|m", "line 1: the default does not fit the kind"},
        {"1|A|flag|0|m\n1|B|flag|0|m", "line 2: code 1 listed twice"},
        {"1|A|flag|0|m\n2|A|flag|0|m", "line 2: name A listed twice"},
    };
    for (const auto &c : cases)
    {
        CodeTable table;
        std::string error;
        EXPECT_FALSE(table.Parse(c.line, &error)) << c.line;
        EXPECT_EQ(error, c.why) << c.line;
        EXPECT_TRUE(table.Codes().empty());
    }
}

TEST(RouterCodes, ValuesFitTheirKind)
{
    CodeTable table;
    ASSERT_TRUE(table.Parse("1|Ip|ip||m\n2|Prefix|prefix||m\n3|Flag|flag||m\n4|Int|int:32..65535||m\n"
                            "5|Enum|enum:LLC/VC||m\n6|Text|text:3||m\n"));
    const struct
    {
        int code;
        const char *value;
        bool fits;
    } cases[] = {
        {1, "", true},       {1, "0", true},       {1, "192.168.1.1", true}, {1, "256.1.1.1", false},
        {1, "1.2.3", false}, {1, "1..2.3", false}, {1, "1.2.3.4 ", false},   {1, "01.2.3.4", true},
        {2, "0", true},      {2, "32", true},      {2, "33", false},         {2, "255.255.255.0", false},
        {3, "1", true},      {3, "2", false},      {4, "32", true},          {4, "31", false},
        {4, "65536", false}, {4, "x", false},      {5, "VC", true},          {5, "vc", false},
        {6, "abc", true},    {6, "abcd", false},   {6, "a|b", false},        {6, "", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ValueFits(*table.Find(c.code), c.value), c.fits) << c.code << " " << c.value;
}

TEST(RouterConfigLines, ParseAndFormat)
{
    auto setting = ParseLine("30200008 = 192.168.1.1\r\n");
    ASSERT_TRUE(setting);
    EXPECT_EQ(setting->code, 30200008);
    EXPECT_EQ(setting->value, "192.168.1.1");

    setting = ParseLine("\t40000009=\n");
    ASSERT_TRUE(setting);
    EXPECT_EQ(setting->code, 40000009);
    EXPECT_EQ(setting->value, "");

    setting = ParseLine("40000010 = a=b ");
    ASSERT_TRUE(setting);
    EXPECT_EQ(setting->value, "a=b");

    EXPECT_FALSE(ParseLine("no equals here\n"));
    EXPECT_FALSE(ParseLine("= 5\n"));
    EXPECT_FALSE(ParseLine("12x = 5\n"));
    EXPECT_FALSE(ParseLine("1234567890 = 5\n"));

    EXPECT_EQ(FormatLine(150000002, "80"), "150000002 = 80\r\n");
    EXPECT_EQ(FormatLine(40000009, ""), "40000009 = \r\n");
}

TEST(RouterCodes, TheKitsListLoads)
{
    CodeTable table;
    std::string error;
    ASSERT_TRUE(table.Load(KIT_ROUTER_CODES, &error)) << error;
    EXPECT_GT(table.Codes().size(), 100u);
    EXPECT_FALSE(table.Load(std::string(KIT_ROUTER_CODES) + ".missing", &error));
}
