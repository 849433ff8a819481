// INI (private profile) files.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace
{
// In the PC's temporary folder; made on first use where the test's folder starts empty (Windows).
std::string IniPath()
{
    const std::string folder = kittest::MachineDir() + "/temp";
    const DWORD error = GetLastError();
    CreateDirectoryA(folder.c_str(), nullptr);
    SetLastError(error);
    return folder + "/test.ini";
}

std::string Get(const char *section, const char *key, const char *def = "dflt")
{
    char buffer[256];
    GetPrivateProfileStringA(section, key, def, buffer, sizeof buffer, IniPath().c_str());
    return buffer;
}

// Splits a NUL-separated list as GetPrivateProfileString returns it.
std::string List(const char *buffer, DWORD length)
{
    std::string out(buffer, length);
    for (char &c : out)
        if (c == '\0')
            c = '|';
    return out;
}
} // namespace

TEST(Profile, ParsingRules)
{
    kittest::WriteHostFile(IniPath(), "; comment=1\r\n"
                                      "[General]\r\n"
                                      "  Name = Value with blanks  \r\n"
                                      "Quoted=\"  kept  \"\r\n"
                                      "Single='x'\r\n"
                                      "Mixed=\"x'\r\n"
                                      ";Hidden=1\r\n"
                                      "NoEquals\r\n"
                                      "Name=second wins not\r\n"
                                      "[general]\r\n"
                                      "Other=from second section\r\n"
                                      "[DNS]\n"
                                      "Primary=80.58.0.33");
    EXPECT_EQ(Get("GENERAL", "name"), "Value with blanks");
    EXPECT_EQ(Get("General", "Quoted"), "  kept  ");
    EXPECT_EQ(Get("General", "Single"), "x");
    EXPECT_EQ(Get("General", "Mixed"), "\"x'");
    EXPECT_EQ(Get("General", "Hidden"), "dflt");
    EXPECT_EQ(Get("General", "NoEquals"), "dflt");
    EXPECT_EQ(Get("General", "Other"), "dflt"); // the first of two same-named sections wins
    EXPECT_EQ(Get("dns", "PRIMARY"), "80.58.0.33");
    EXPECT_EQ(Get("Missing", "x", "def  "), "def"); // the default loses trailing blanks
    EXPECT_EQ(Get("Missing", "x", nullptr), "");
    EXPECT_EQ(GetPrivateProfileIntA("DNS", "Primary", 7, IniPath().c_str()), 80u);
    EXPECT_EQ(GetPrivateProfileIntA("DNS", "Missing", 7, IniPath().c_str()), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("General", "Single", 7, IniPath().c_str()), 0u);
}

TEST(Profile, ListsAndSmallBuffers)
{
    kittest::WriteHostFile(IniPath(), "[One]\r\na=1\r\nbb=22\r\n[Two]\r\n[Three]\r\n");
    char buffer[64];
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, IniPath().c_str());
    EXPECT_EQ(List(buffer, n + 1), "One|Two|Three||");
    n = GetPrivateProfileSectionNamesA(buffer, sizeof buffer, IniPath().c_str());
    EXPECT_EQ(n, 14u);
    n = GetPrivateProfileStringA("one", nullptr, "", buffer, sizeof buffer, IniPath().c_str());
    EXPECT_EQ(List(buffer, n + 1), "a|bb||");
    // Lists that do not fit: size - 2, closed with two NULs.
    n = GetPrivateProfileSectionNamesA(buffer, 8, IniPath().c_str());
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(List(buffer, 8), "One|Tw||");
    // Values that do not fit: size - 1.
    WritePrivateProfileStringA("One", "long", "abcdefghij", IniPath().c_str());
    n = GetPrivateProfileStringA("One", "long", "", buffer, 5, IniPath().c_str());
    EXPECT_EQ(n, 4u);
    EXPECT_STREQ(buffer, "abcd");
    n = GetPrivateProfileSectionA("One", buffer, sizeof buffer, IniPath().c_str());
    EXPECT_EQ(List(buffer, n + 1), "a=1|bb=22|long=abcdefghij||");
}

TEST(Profile, LinesWithoutEqualsAreNoKeys)
{
    // Listed by the section, left out of the key names.
    kittest::WriteHostFile(IniPath(), "[S]\r\na=1\r\nloose\r\nb=\r\n");
    char buffer[64];
    DWORD n = GetPrivateProfileStringA("S", nullptr, "", buffer, sizeof buffer, IniPath().c_str());
    EXPECT_EQ(List(buffer, n + 1), "a|b||");
    n = GetPrivateProfileSectionA("S", buffer, sizeof buffer, IniPath().c_str());
    EXPECT_EQ(List(buffer, n + 1), "a=1|loose|b=||");
}

TEST(Profile, WritesKeepTheRestOfTheFile)
{
    const std::string path = IniPath();
    ASSERT_TRUE(WritePrivateProfileStringA("General", "Registro", "QelAdsl", path.c_str()));
    EXPECT_EQ(kittest::ReadHostFile(path, ""), "[General]\r\nRegistro=QelAdsl\r\n");
    kittest::WriteHostFile(path, "; top\r\n[General]\r\nRegistro=QelAdsl\r\n\r\n[DNS]\r\nA=1\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("general", "Nuevo", "2", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("DNS", "a", "3", path.c_str()));
    EXPECT_EQ(kittest::ReadHostFile(path, ""),
              "; top\r\n[General]\r\nRegistro=QelAdsl\r\nNuevo=2\r\n\r\n[DNS]\r\nA=3\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("General", "Registro", nullptr, path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("DNS", nullptr, nullptr, path.c_str()));
    EXPECT_EQ(kittest::ReadHostFile(path, ""), "; top\r\n[General]\r\nNuevo=2\r\n\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Nueva", "k", "v", path.c_str()));
    EXPECT_EQ(Get("Nueva", "k"), "v");
}

TEST(Profile, BareNameLivesInTheWindowsFolder)
{
    char windows[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const std::string path = std::string(windows) + "/kittest.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", "kittest.ini"));
    EXPECT_TRUE(std::filesystem::exists(path));
    char buffer[8];
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buffer, sizeof buffer, "KITTEST.INI"), 1u);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(Profile, Failures)
{
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", (kittest::MachineDir() + "/nope/x.ini").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", IniPath().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // Deleting from a missing file creates nothing.
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", nullptr, IniPath().c_str()));
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
}

TEST(Profile, AReadOnlyFileRefusesWritesAndKeepsItsText)
{
    kittest::WriteHostFile(IniPath(), "[S]\r\nk=old\r\n");
    ASSERT_TRUE(SetFileAttributesA(IniPath().c_str(), FILE_ATTRIBUTE_READONLY));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "new", IniPath().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ("old", Get("S", "k"));
    ASSERT_TRUE(SetFileAttributesA(IniPath().c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "new", IniPath().c_str()));
    EXPECT_EQ("new", Get("S", "k"));
}
