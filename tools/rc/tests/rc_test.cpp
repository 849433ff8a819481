// The resource compiler: what a script compiles to, and where a bad script is at fault.
#include "tools/rc/RcCompiler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace
{
// A folder of scripts for one test, removed afterwards.
class Scripts : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "rc_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::string Write(const std::string &name, const std::string &text)
    {
        const std::string path = (folder / name).string();
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    kitrc::Compiled Compile(const std::string &text) { return kitrc::CompileRc(Write("test.rc", text)); }
    const kitrc::Resource *Find(const kitrc::Compiled &compiled, const kitrc::ResourceId &type,
                                const kitrc::ResourceId &name)
    {
        for (const kitrc::Resource &r : compiled.resources)
            if (r.type.ordinal == type.ordinal && r.type.text == type.text &&
                r.name.ordinal == name.ordinal && r.name.text == name.text)
                return &r;
        return nullptr;
    }
    std::u16string String(const kitrc::Compiled &compiled, unsigned id)
    {
        const kitrc::Resource *block = Find(compiled, {6, {}}, {static_cast<std::uint16_t>(id / 16 + 1), {}});
        if (!block)
            return u"<no block>";
        return kitrc::ReadStringBlock(block->data.data(), block->data.size(), id % 16).value_or(u"<cut>");
    }
    fs::path folder;
};
} // namespace

TEST_F(Scripts, StringTablesByNumberAndName)
{
    Write("ids.h", "#define IDS_BASE 40\n#define IDS_NEXT (IDS_BASE + 1) // comment\n"
                   "#ifdef APSTUDIO_INVOKED\n#define IDS_BASE 99\n#endif\n");
    kitrc::Compiled compiled = Compile("#include \"ids.h\"\n#include <windows.h>\n"
                                       "/* a block\n   comment */\n"
                                       "STRINGTABLE DISCARDABLE\nBEGIN\n  IDS_BASE \"base\"\n"
                                       "  IDS_NEXT, \"next\"\n  0x10 \"hex\"\nEND\n"
                                       "STRINGTABLE { 2 \"\x80\xf3\xd1\" }\n");
    EXPECT_EQ(String(compiled, 40), u"base");
    EXPECT_EQ(String(compiled, 41), u"next");
    EXPECT_EQ(String(compiled, 16), u"hex");
    EXPECT_EQ(String(compiled, 2), u"\u20ac\u00f3\u00d1"); // Windows 1252 bytes to UTF-16
    EXPECT_EQ(String(compiled, 3), u"");
    EXPECT_EQ(compiled.files.size(), 2u); // the script and its header
}

TEST_F(Scripts, StringEscapes)
{
    kitrc::Compiled compiled = Compile("STRINGTABLE\nBEGIN\n 1 \"q\\\"x\\ny\\tz\\\\w\"\"v\"\n 2 \"\"\nEND\n");
    EXPECT_EQ(String(compiled, 1), u"q\"x\ny\tz\\w\"v");
    EXPECT_EQ(String(compiled, 2), u"");
}

TEST_F(Scripts, DialogStylesDefaultsAndNot)
{
    kitrc::Compiled compiled =
        Compile("#define IDD_X 100\n"
                "IDD_X DIALOGEX 1, 2, 30, 40\nCAPTION \"T\"\nFONT 9, \"Tahoma\"\nBEGIN\n"
                "  EDITTEXT 5, 1, 1, 10, 10, ES_PASSWORD | NOT WS_TABSTOP\n"
                "  CONTROL \"c\", 6, \"button\", BS_AUTOCHECKBOX, -1, -2, 3, 4, WS_EX_STATICEDGE, 77\n"
                "END\n");
    const kitrc::Resource *resource = Find(compiled, {5, {}}, {100, {}});
    ASSERT_NE(resource, nullptr);
    auto dialog = kitrc::ReadDialog(resource->data.data(), resource->data.size());
    ASSERT_TRUE(dialog);
    // Without STYLE: WS_POPUP | WS_BORDER | WS_SYSMENU, with WS_CAPTION and DS_SETFONT added.
    EXPECT_EQ(dialog->style, 0x80880000u | 0x00C00000u | 0x40u);
    EXPECT_EQ(dialog->typeface, u"Tahoma");
    EXPECT_EQ(dialog->pointSize, 9);
    ASSERT_EQ(dialog->items.size(), 2u);
    EXPECT_EQ(dialog->items[0].style, 0x50000000u | 0x00800000u | 0x20u); // no WS_TABSTOP
    EXPECT_EQ(dialog->items[1].className, u"Button");                     // an ordinal whatever the case
    EXPECT_EQ(dialog->items[1].x, -1);
    EXPECT_EQ(dialog->items[1].exStyle, 0x00020000u);
    EXPECT_EQ(dialog->items[1].helpId, 77u);
}

TEST_F(Scripts, FilesAndCustomTypes)
{
    Write("data.bin", "abc");
    Write("sub/more.bin", "xyz!");
    kitrc::Compiled compiled = Compile("1 xdes \"data.bin\"\nname MyType \"sub/more.bin\"\n"
                                       "3 RCDATA DISCARDABLE \"data.bin\"\n300 1000 \"data.bin\"\n");
    ASSERT_NE(Find(compiled, {0, "XDES"}, {1, {}}), nullptr);
    EXPECT_EQ(Find(compiled, {0, "XDES"}, {1, {}})->data, (kitrc::Bytes{'a', 'b', 'c'}));
    ASSERT_NE(Find(compiled, {0, "MYTYPE"}, {0, "NAME"}), nullptr);
    EXPECT_EQ(Find(compiled, {0, "MYTYPE"}, {0, "NAME"})->data.size(), 4u);
    EXPECT_NE(Find(compiled, {10, {}}, {3, {}}), nullptr);
    EXPECT_NE(Find(compiled, {1000, {}}, {300, {}}), nullptr);
    const std::string source = kitrc::GenerateSource(compiled, "test.rc");
    EXPECT_NE(source.find("kitpc::ResourceRegistration"), std::string::npos);
    EXPECT_NE(source.find("\"MYTYPE\""), std::string::npos);
}

TEST_F(Scripts, FaultsNameTheirFileAndLine)
{
    struct Case
    {
        const char *what;
        const char *script;
        int line;
        const char *message;
    };
    const Case cases[] = {
        {"undefined id", "STRINGTABLE\nBEGIN\n  IDS_NONE \"x\"\nEND\n", 3, "undefined name 'IDS_NONE'"},
        {"open string", "STRINGTABLE\nBEGIN\n 1 \"abc\nEND\n", 3, "string not closed"},
        {"bad escape", "STRINGTABLE\nBEGIN\n\n 1 \"a\\qb\"\nEND\n", 4, "unknown escape \\q"},
        {"string twice", "STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", 4, "string 1 defined twice"},
        {"no END", "STRINGTABLE\nBEGIN\n 1 \"a\"\n", 3, "STRINGTABLE not closed with END"},
        {"missing file", "\n1 xdes \"none.bin\"\n", 2, "cannot open"},
        {"not a bitmap", "1 BITMAP \"test.rc\"\n", 1, "not a bitmap file"},
        {"unknown control", "1 DIALOGEX 0,0,1,1\nBEGIN\n  SLIDER 1,2,3,4,5\nEND\n", 3,
         "unknown control 'SLIDER'"},
        {"missing comma", "1 DIALOGEX 0,0,1,1\nBEGIN\n  LTEXT \"a\" 1,2,3,4,5\nEND\n", 3, "expected ','"},
        {"dialog statement", "1 DIALOGEX 0,0,1,1\nSTYLO 3\nBEGIN\nEND\n", 2, "expected a dialog statement"},
        {"coordinate", "1 DIALOGEX 0,0,70000,1\nBEGIN\nEND\n", 1, "dialog unit out of range"},
        {"directive", "#frobnicate\n", 1, "unknown directive #frobnicate"},
        {"include", "\n\n#include \"nothere.h\"\n", 3, "cannot open include file"},
        {"endif", "#endif\n", 1, "#endif without #if"},
        {"character", "1 xdes @\n", 1, "unexpected character '@'"},
        {"twice", "1 RCDATA \"test.rc\"\n1 RCDATA \"test.rc\"\n", 2, "resource defined twice"},
    };
    for (const Case &c : cases)
    {
        const std::string path = Write("test.rc", c.script);
        try
        {
            kitrc::CompileRc(path);
            ADD_FAILURE() << c.what << ": compiled";
        }
        catch (const kitrc::RcError &error)
        {
            EXPECT_EQ(error.File(), path) << c.what;
            EXPECT_EQ(error.Line(), c.line) << c.what << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(path + ":" + std::to_string(c.line) + ": "),
                      std::string::npos);
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
                << c.what << ": " << error.what();
        }
    }
}

TEST_F(Scripts, FaultsInsideAHeaderNameTheHeader)
{
    const std::string header = Write("ids.h", "#define A 1\n#define B (A +)\n");
    Compile("#include \"ids.h\"\n"); // defines alone are no fault
    try
    {
        Compile("#include \"ids.h\"\nSTRINGTABLE\nBEGIN\n B \"x\"\nEND\n");
        ADD_FAILURE() << "compiled";
    }
    catch (const kitrc::RcError &error)
    {
        EXPECT_EQ(error.File(), header) << error.what();
        EXPECT_EQ(error.Line(), 2);
    }
}

TEST(Windres, CompilesTheTestScriptToo)
{
    const char *windres = "/usr/bin/x86_64-w64-mingw32-windres";
    if (!fs::exists(windres))
        GTEST_SKIP() << "MinGW's windres is not installed (Debian package binutils-mingw-w64-x86-64)";
    const fs::path script(KIT_RC_SAMPLE);
    const fs::path output =
        fs::temp_directory_path() / ("rc_test_windres_" + std::to_string(getpid()) + ".res");
    const std::string command = std::string(windres) + " -c 1252 -O res -I '" +
                                script.parent_path().string() + "' -i '" + script.string() + "' -o '" +
                                output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::error_code ec;
    const auto size = fs::file_size(output, ec);
    fs::remove(output, ec);
    EXPECT_EQ(status, 0) << command;
    EXPECT_GT(size, 1000u);
    // And ours compiles it to the same set of resources.
    kitrc::Compiled compiled = kitrc::CompileRc(script.string());
    EXPECT_EQ(compiled.resources.size(),
              12u); // 4 string blocks, dialog, 2 bitmaps, 2 icons and group, 2 files
}
