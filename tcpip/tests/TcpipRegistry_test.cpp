// The registry reads with their fixed buffers, the key walker, and the deferred-change file.
#include "tcpip/TcpipRegistry.h"
#include "tcpip/tests/nictest.h"

#include "testing/kittest.h"
#include "testing/pcfile.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace nictest;

namespace
{
constexpr char kKey[] = "SYSTEM\\CurrentControlSet\\Services\\Class\\NetTrans\\0000";

class Deferred : public testing::Test
{
  protected:
    void SetUp() override { tcpipreg::SetWriteTarget(1); }
    void TearDown() override { tcpipreg::SetWriteTarget(0); }
};
} // namespace

TEST(TcpipRegistryRead, StringsTakeTheBytesUpToTheirNulWhateverTheType)
{
    WriteRaw(kKey, "Plain", REG_SZ, std::string("10.0.0.1\0", 9));
    WriteRaw(kKey, "NoNul", REG_SZ, "10.0.0.2");
    WriteRaw(kKey, "Number", REG_DWORD, std::string("\x31\x32\0\0", 4));
    WriteRaw(kKey, "Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    const std::pair<const char *, const char *> cases[] = {
        {"Plain", "10.0.0.1"}, {"NoNul", "10.0.0.2"}, {"Number", "12"}, {"Multi", "a"}};
    for (auto [name, expected] : cases)
    {
        std::string value = "previous";
        EXPECT_TRUE(tcpipreg::ReadString(kKey, name, value)) << name;
        EXPECT_EQ(value, expected) << name;
    }
}

TEST(TcpipRegistryRead, AStringLongerThanItsBufferOrMissingIsAFailedReadAndEmpty)
{
    WriteRaw(kKey, "Fits", REG_SZ, std::string(2499, 'a') + '\0');
    WriteRaw(kKey, "TooLong", REG_SZ, std::string(2500, 'a') + '\0');
    std::string value = "previous";
    EXPECT_TRUE(tcpipreg::ReadString(kKey, "Fits", value));
    EXPECT_EQ(value.size(), 2499u);
    EXPECT_FALSE(tcpipreg::ReadString(kKey, "TooLong", value));
    EXPECT_EQ(value, "");
    value = "previous";
    EXPECT_FALSE(tcpipreg::ReadString(kKey, "Missing", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(tcpipreg::ReadString("SYSTEM\\NoSuchKey", "Fits", value));
}

TEST(TcpipRegistryRead, DwordsAreReadIntoFourBytesStartingAtZero)
{
    WriteDword(kKey, "Dword", 0x12345678);
    WriteRaw(kKey, "Short", REG_BINARY, std::string("\x07\x01", 2));
    WriteRaw(kKey, "Text", REG_SZ, std::string("1\0", 2));
    WriteRaw(kKey, "LongText", REG_SZ, std::string("1234\0", 5));
    DWORD value = 99;
    EXPECT_TRUE(tcpipreg::ReadDword(kKey, "Dword", value));
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_TRUE(tcpipreg::ReadDword(kKey, "Short", value));
    EXPECT_EQ(value, 0x0107u);
    EXPECT_TRUE(tcpipreg::ReadDword(kKey, "Text", value));
    EXPECT_EQ(value, 0x31u);
    EXPECT_FALSE(tcpipreg::ReadDword(kKey, "LongText", value));
    EXPECT_EQ(value, 0u);
    value = 99;
    EXPECT_FALSE(tcpipreg::ReadDword(kKey, "Missing", value));
    EXPECT_EQ(value, 0u);
}

TEST(TcpipRegistryRead, MultiStringsStopAtTheFirstEmptyStringOrTheirEnd)
{
    WriteRaw(kKey, "Two", REG_MULTI_SZ,
             std::string("10.0.0.1\0"
                         "10.0.0.2\0\0",
                         19));
    WriteRaw(kKey, "NoFinalNul", REG_MULTI_SZ, std::string("a\0bc", 4));
    WriteRaw(kKey, "EmptyInside", REG_MULTI_SZ, std::string("a\0\0b\0\0", 6));
    WriteRaw(kKey, "Empty", REG_MULTI_SZ, std::string(1, '\0'));
    WriteRaw(kKey, "String", REG_SZ, std::string("10.0.0.9\0", 9));
    WriteRaw(kKey, "Fits", REG_MULTI_SZ, std::string(4998, 'a') + std::string(2, '\0'));
    WriteRaw(kKey, "FullNoNul", REG_MULTI_SZ, std::string(5000, 'b'));
    WriteRaw(kKey, "TooLong", REG_MULTI_SZ, std::string(4999, 'a') + std::string(2, '\0'));
    const std::pair<const char *, Strings> cases[] = {{"Two", {"10.0.0.1", "10.0.0.2"}},
                                                      {"NoFinalNul", {"a", "bc"}},
                                                      {"EmptyInside", {"a"}},
                                                      {"Empty", {}},
                                                      {"String", {"10.0.0.9"}},
                                                      {"Fits", {std::string(4998, 'a')}},
                                                      {"FullNoNul", {std::string(5000, 'b')}}};
    for (const auto &[name, expected] : cases)
    {
        Strings values = {"previous"};
        EXPECT_TRUE(tcpipreg::ReadMultiString(kKey, name, values)) << name;
        EXPECT_EQ(values, expected) << name;
    }
    Strings values = {"previous"};
    EXPECT_FALSE(tcpipreg::ReadMultiString(kKey, "TooLong", values));
    EXPECT_TRUE(values.empty());
    EXPECT_FALSE(tcpipreg::ReadMultiString(kKey, "Missing", values));
}

TEST(TcpipRegistry, SplitKeepsEmptyPartsAndJoinPutsSeparatorsBetween)
{
    EXPECT_EQ(tcpipreg::Split("", ','), Strings{});
    EXPECT_EQ(tcpipreg::Split("a", ','), Strings{"a"});
    EXPECT_EQ(tcpipreg::Split("a,,b", ','), (Strings{"a", "", "b"}));
    EXPECT_EQ(tcpipreg::Split(",", ','), (Strings{"", ""}));
    EXPECT_EQ(tcpipreg::Join({}, ","), "");
    EXPECT_EQ(tcpipreg::Join({"a", "", "b"}, " "), "a  b");
}

TEST(TcpipRegistry, EqualNoCaseFoldsWindowsLetters)
{
    EXPECT_TRUE(tcpipreg::EqualNoCase("MSTCP\\0000", "mstcp\\0000"));
    EXPECT_TRUE(tcpipreg::EqualNoCase("Conexión Ñ", "CONEXIÓN ñ"));
    EXPECT_FALSE(tcpipreg::EqualNoCase("Net", "Net "));
    EXPECT_FALSE(tcpipreg::EqualNoCase("a", "b"));
}

TEST(TcpipRegistry, TheWalkerVisitsTheKeysOfItsDepthInIndexOrderAndStopsAtOne)
{
    MakePc(Family::Win98); // where "Enum" lives
    for (const char *path : {"Enum\\B\\Y\\2", "Enum\\A\\X\\1", "Enum\\A\\X\\0", "Enum\\A\\Z\\3", "Enum\\C"})
        WriteString(path, "Class", "Net");
    Strings visited;
    EXPECT_EQ(tcpipreg::WalkKeys("Enum", 3,
                                 [&](const std::string &path) {
                                     visited.push_back(path);
                                     return path.back() == '1' ? S_FALSE : S_OK;
                                 }),
              S_FALSE);
    EXPECT_EQ(visited, (Strings{"Enum\\A\\X\\0", "Enum\\A\\X\\1"}));
    visited.clear();
    // An error at the last level goes on there, and stops the levels above.
    EXPECT_EQ(tcpipreg::WalkKeys("Enum", 3,
                                 [&](const std::string &path) {
                                     visited.push_back(path);
                                     return path.back() == '1' ? E_FAIL : S_OK;
                                 }),
              E_FAIL);
    EXPECT_EQ(visited, (Strings{"Enum\\A\\X\\0", "Enum\\A\\X\\1"}));
    visited.clear();
    EXPECT_EQ(tcpipreg::WalkKeys("Enum", 3,
                                 [&](const std::string &path) {
                                     visited.push_back(path);
                                     return S_OK;
                                 }),
              S_OK);
    EXPECT_EQ(visited, (Strings{"Enum\\A\\X\\0", "Enum\\A\\X\\1", "Enum\\A\\Z\\3", "Enum\\B\\Y\\2"}));
    EXPECT_EQ(tcpipreg::WalkKeys("NoSuchKey", 3, [](const std::string &) { return S_OK; }), E_FAIL);
}

// ---------------------------------------------------------------------------------------------
// The deferred-change file

TEST_F(Deferred, EveryTypeIsWrittenAsTheRegistryEditorReadsIt)
{
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{A}";
    EXPECT_TRUE(tcpipreg::WriteMultiString(key, "IPAddress", {"10.0.0.1", "10.0.0.2"}));
    EXPECT_TRUE(tcpipreg::WriteMultiString(key, "DefaultGateway", {}));
    EXPECT_TRUE(tcpipreg::WriteDword(key, "EnableDHCP", 0));
    EXPECT_TRUE(tcpipreg::WriteString(key, "NameServer", "10.0.0.3,10.0.0.4"));
    EXPECT_TRUE(tcpipreg::WriteString("SYSTEM\\Other", "Domain", "a\\b\"c"));
    EXPECT_EQ(DeferredText(),
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\"
              "Interfaces\\{A}]\r\n"
              "\"IPAddress\"=hex(7):31,30,2e,30,2e,30,2e,31,00,31,30,2e,30,2e,30,2e,32,00,00\r\n"
              "\"DefaultGateway\"=hex(7):00,00\r\n"
              "\"EnableDHCP\"=dword:00000000\r\n"
              "\"NameServer\"=\"10.0.0.3,10.0.0.4\"\r\n"
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\Other]\r\n"
              "\"Domain\"=\"a\\\\b\\\"c\"\r\n");
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, key)); // nothing in the registry yet
}

TEST_F(Deferred, AValueWrittenTwiceKeepsTheLastTextAndTheHeaderIsWrittenOnce)
{
    const std::string key = "SYSTEM\\K";
    EXPECT_TRUE(tcpipreg::WriteDword(key, "EnableDHCP", 0xABCDEF01));
    EXPECT_TRUE(tcpipreg::WriteDword(key, "EnableDHCP", 1));
    EXPECT_EQ(DeferredText(),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\K]\r\n\"EnableDHCP\"=dword:00000001\r\n");
    tcpipreg::DeleteDeferredFile();
    EXPECT_EQ(DeferredText(), "<none>");
    tcpipreg::DeleteDeferredFile(); // nothing to delete
}

TEST_F(Deferred, AFileThatIsThereIsWrittenInto)
{
    ASSERT_TRUE(
        pcfile::Write(DeferredPath(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\K]\r\n\"A\"=\"1\"\r\n"));
    EXPECT_TRUE(tcpipreg::WriteString("SYSTEM\\K", "B", "2"));
    EXPECT_EQ(DeferredText(),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\K]\r\n\"A\"=\"1\"\r\n\"B\"=\"2\"\r\n");
}

TEST_F(Deferred, AMultiStringMustFitItsRoomOfTextPerString)
{
    // 260 bytes per string and one more: 3 per character, "00," per string and the closing
    // "00", with room for the text's end.
    EXPECT_TRUE(tcpipreg::WriteMultiString("SYSTEM\\K", "Fits", {std::string(171, 'a')}));
    EXPECT_FALSE(tcpipreg::WriteMultiString("SYSTEM\\K", "TooLong", {std::string(172, 'a')}));
    EXPECT_TRUE(
        tcpipreg::WriteMultiString("SYSTEM\\K", "Two", {std::string(128, 'a'), std::string(129, 'b')}));
    EXPECT_TRUE(tcpipreg::WriteMultiString("SYSTEM\\K", "Unequal", {std::string(257, 'a'), ""}));
    EXPECT_FALSE(tcpipreg::WriteMultiString("SYSTEM\\K", "TooLongToo", {std::string(258, 'a'), ""}));
    const std::string text = DeferredText();
    EXPECT_NE(text.find("\"Fits\"=hex(7):61,"), std::string::npos);
    EXPECT_EQ(text.find("TooLong"), std::string::npos);
}

TEST_F(Deferred, WithoutATemporaryFolderTheWriteFails)
{
    std::filesystem::remove_all(kittest::MachineDir() + "/temp");
    EXPECT_FALSE(tcpipreg::WriteString("SYSTEM\\K", "A", "1"));
    EXPECT_FALSE(tcpipreg::WriteDword("SYSTEM\\K", "A", 1));
    EXPECT_FALSE(tcpipreg::WriteMultiString("SYSTEM\\K", "A", {}));
}

TEST_F(Deferred, ImportedByTheRegistryEditorTheStringsComeBackAsWritten)
{
    const std::string tricky = "C:\\Archivos\\\"entre comillas\" ñ;=[x]";
    EXPECT_TRUE(tcpipreg::WriteString("SYSTEM\\K", "Texto", tricky));
    EXPECT_TRUE(tcpipreg::WriteMultiString("SYSTEM\\K", "Lista", {"a b", "", "c"}));
    ASSERT_EQ(kittest::Run("regedit", {"-s", DeferredPath()}), 0);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, "SYSTEM\\K", "Texto"), tricky);
    const auto list = kittest::ReadRegValue(HKEY_LOCAL_MACHINE, "SYSTEM\\K", "Lista");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(list->data, std::string("a b\0\0c\0\0", 8));
}

TEST(TcpipRegistryWrite, DirectWritesStoreStringsAndMultiStringsWithTheirNuls)
{
    EXPECT_TRUE(tcpipreg::WriteString("SYSTEM\\New\\Key", "S", "abc"));
    EXPECT_TRUE(tcpipreg::WriteMultiString("SYSTEM\\New\\Key", "M", {"a", "bc"}));
    EXPECT_TRUE(tcpipreg::WriteMultiString("SYSTEM\\New\\Key", "E", {}));
    EXPECT_TRUE(tcpipreg::WriteDword("SYSTEM\\New\\Key", "D", 7));
    const std::pair<const char *, kittest::RegValue> expected[] = {
        {"S", {REG_SZ, std::string("abc\0", 4)}},
        {"M", {REG_MULTI_SZ, std::string("a\0bc\0\0", 6)}},
        {"E", {REG_MULTI_SZ, std::string(1, '\0')}},
        {"D", {REG_DWORD, std::string("\x07\0\0\0", 4)}}};
    for (const auto &[name, value] : expected)
    {
        const auto read = kittest::ReadRegValue(HKEY_LOCAL_MACHINE, "SYSTEM\\New\\Key", name);
        ASSERT_TRUE(read) << name;
        EXPECT_EQ(read->type, value.type) << name;
        EXPECT_EQ(read->data, value.data) << name;
    }
    EXPECT_EQ(DeferredText(), "<none>");
    EXPECT_TRUE(tcpipreg::DeleteValue("SYSTEM\\New\\Key", "S"));
    EXPECT_FALSE(tcpipreg::DeleteValue("SYSTEM\\New\\Key", "S"));
    EXPECT_FALSE(tcpipreg::DeleteValue("SYSTEM\\NoKey", "S"));
}

TEST(TcpipRegistryWrite, ALimitedUserOfNtCannotWriteTheMachinesKeys)
{
    MakePc(Family::XP, false);
    EXPECT_FALSE(tcpipreg::WriteString("SYSTEM\\CurrentControlSet", "S", "abc"));
    tcpipreg::SetWriteTarget(1); // the file is his
    EXPECT_TRUE(tcpipreg::WriteString("SYSTEM\\CurrentControlSet", "S", "abc"));
    tcpipreg::SetWriteTarget(0);
}
