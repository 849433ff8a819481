// The tools' text helpers: the edges of trimming, case, hex numbers, parts and lines.
#include "tools/text/ToolText.h"

#include <gtest/gtest.h>

using namespace tooltext;

TEST(ToolText, TrimsOnlyTheCharactersAsked)
{
    EXPECT_EQ(Trim(" \t a b \t "), "a b");
    EXPECT_EQ(Trim(" a\r\n"), "a\r\n");
    EXPECT_EQ(Trim(" a\r\n", kWhitespace), "a");
    EXPECT_EQ(Trim("\t a ", kSpaces), "\t a");
    EXPECT_EQ(TrimLeft("  a  "), "a  ");
    EXPECT_EQ(TrimRight("  a  "), "  a");
    EXPECT_EQ(TrimRight("msg\r\n\n", kLineEnds), "msg");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim(""), "");
}

TEST(ToolText, CaseCoversAsciiLettersOnly)
{
    EXPECT_EQ(ToUpper("mask1 z@[`{"), "MASK1 Z@[`{");
    EXPECT_EQ(ToUpper("\xe9"), "\xe9"); // Windows-1252 letters stay as they are
    EXPECT_TRUE(EqualNoCase("HKEY_Local_Machine", "hkey_local_machine"));
    EXPECT_FALSE(EqualNoCase("\xe9", "\xc9"));
    EXPECT_FALSE(EqualNoCase("mask", "masks"));
    EXPECT_FALSE(EqualNoCase("@", "`"));
}

TEST(ToolText, HexNumbers)
{
    EXPECT_EQ(HexDigit('0'), 0);
    EXPECT_EQ(HexDigit('f'), 15);
    EXPECT_EQ(HexDigit('F'), 15);
    EXPECT_EQ(HexDigit('g'), -1);
    std::uint32_t value = 0;
    EXPECT_TRUE(ParseHex("DEADbeef", 8, value));
    EXPECT_EQ(value, 0xdeadbeefu);
    EXPECT_TRUE(ParseHex("7", 2, value));
    EXPECT_EQ(value, 7u);
    EXPECT_FALSE(ParseHex("", 8, value));
    EXPECT_FALSE(ParseHex("123", 2, value));
    EXPECT_FALSE(ParseHex("100000000", 9, value)); // never more than 32 bits
    EXPECT_FALSE(ParseHex("1x", 8, value));
    EXPECT_FALSE(ParseHex(" 1", 8, value));
}

TEST(ToolText, SplitKeepsEmptyParts)
{
    using Parts = std::vector<std::string_view>;
    EXPECT_EQ(Split("a|b||c", '|'), (Parts{"a", "b", "", "c"}));
    EXPECT_EQ(Split("", '|'), (Parts{""}));
    EXPECT_EQ(Split("a,", ','), (Parts{"a", ""}));
}

TEST(ToolText, LinesDropTheirEnds)
{
    using Text = std::vector<std::string>;
    EXPECT_EQ(Lines("a\r\nb\nc"), (Text{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n"), (Text{"a"}));
    EXPECT_EQ(Lines("a\n\n"), (Text{"a", ""}));
    EXPECT_EQ(Lines("\n"), (Text{""}));
    EXPECT_EQ(Lines("a\r\r\n"), (Text{"a\r"}));
    EXPECT_EQ(Lines(""), Text{});
}
