// regedit: importing each REGEDIT4 syntax, errors with their line numbers, the export format,
// and a whole registry carried from one PC to another.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <vector>

namespace
{
std::string Temp(const std::string &name)
{
    return kittest::MachineDir() + "/temp/" + name;
}

struct Result
{
    int status = -1;
    std::string out, err;
};

// Runs regedit on the current PC with its standard error caught in a file; its output as the PC
// spells it.
// With `stackKb`, its stack is cut to that size, so that walking a deep tree by recursion would
// overflow it for certain.
Result Regedit(const std::vector<std::string> &arguments, int stackKb = 0)
{
    const std::string errFile = Temp("regedit.err");
    std::string command = stackKb ? "ulimit -s " + std::to_string(stackKb) + " && " : "";
    command += "'" + kittest::BinDir() + "/regedit'";
    for (const std::string &argument : arguments)
        command += " '" + argument + "'";
    command += " 2>'" + errFile + "'";
    Result result;
    result.status = kittest::Run("/bin/sh", {"-c", command}, &result.out);
    result.err = kittest::ReadHostFile(errFile, "");
    // The terminal's UTF-8 as the PC's text, as the literals here are compiled.
    result.out = kitpc::PcText(result.out);
    result.err = kitpc::PcText(result.err);
    return result;
}

Result Import(const std::string &script, bool silent = true)
{
    const std::string file = Temp("import.reg");
    kittest::WriteHostFile(file, script);
    return silent ? Regedit({"/s", file}) : Regedit({file});
}

// The type and bytes of a value, or "<missing>".
std::string Value(HKEY root, const char *path, const char *name, DWORD *type = nullptr,
                  kittest::Caller where = kittest::Caller::current())
{
    if (!kittest::RegKeyExists(root, path))
        return "<missing key>";
    const auto value = kittest::ReadRegValue(root, path, name, where);
    if (!value)
        return "<missing>";
    if (type)
        *type = value->type;
    return value->data;
}

const char kSyntax[] = "REGEDIT4\n"
                       "\n"
                       "; a comment, then a key\n"
                       "[HKEY_CURRENT_USER\\Software\\KitTest\\Syntax]\n"
                       "\"Plain\"=\"Conexión ADSL\"\n"
                       "\"Escaped\"=\"C:\\\\Archivos de programa\\\\\\\"Kit\\\"\"\n"
                       "@=\"por defecto\"\n"
                       "\"Number\"=dword:0000ff01\n"
                       "\"Short\"=dword:7\n"
                       "\"Bin\"=hex:00,01,ff\n"
                       "\"Expand\"=hex(2):25,77,69,6e,64,69,72,25,00\n"
                       "\"Multi\"=hex(7):61,00,62,00,00\n"
                       "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n"
                       "\"Long\"=hex:01,02,03,\\\n"
                       "  04,05,\\\n"
                       "  06\n"
                       "\"Empty\"=hex:\n"
                       "   \"Spaced\" = \"x\"\n"
                       "\"Gone\"=\"soon\"\n"
                       "\"Gone\"=-\n"
                       "\"Never\"=-\n"
                       "\n"
                       "[HKEY_CLASSES_ROOT\\.kit]\n"
                       "@=\"Kit.Document\"\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\KitTest\\ToDelete\\Child]\n"
                       "\"x\"=\"y\"\n"
                       "[-HKEY_LOCAL_MACHINE\\Software\\KitTest\\ToDelete]\n"
                       "\"ignored\"=\"z\"\n"
                       "[-HKEY_LOCAL_MACHINE\\Software\\KitTest\\NeverWas]\n"
                       "[HKEY_USERS\\.DEFAULT\\Software\\KitTest]\n"
                       "[HKEY_CURRENT_CONFIG\\Software\\KitTest]\n"
                       "\"Config\"=dword:00000001\n";

std::string WithCrLf(const std::string &text)
{
    std::string out;
    for (char c : text)
    {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

void CheckSyntaxImported()
{
    const char *key = "Software\\KitTest\\Syntax";
    struct Case
    {
        const char *name;
        DWORD type;
        std::string data;
    } cases[] = {
        {"Plain", REG_SZ, std::string("Conexión ADSL", 14)},
        {"Escaped", REG_SZ, std::string("C:\\Archivos de programa\\\"Kit\"", 30)},
        {"", REG_SZ, std::string("por defecto", 12)},
        {"Number", REG_DWORD, std::string("\x01\xff\x00\x00", 4)},
        {"Short", REG_DWORD, std::string("\x07\x00\x00\x00", 4)},
        {"Bin", REG_BINARY, std::string("\x00\x01\xff", 3)},
        {"Expand", REG_EXPAND_SZ, std::string("%windir%", 9)},
        {"Multi", REG_MULTI_SZ, std::string("a\0b\0", 5)},
        {"Qword", 11, "\x01\x02\x03\x04\x05\x06\x07\x08"},
        {"Long", REG_BINARY, "\x01\x02\x03\x04\x05\x06"},
        {"Empty", REG_BINARY, ""},
        {"Spaced", REG_SZ, std::string("x", 2)},
    };
    for (const Case &c : cases)
    {
        DWORD type = 0;
        EXPECT_EQ(Value(HKEY_CURRENT_USER, key, c.name, &type), c.data) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    EXPECT_EQ(Value(HKEY_CURRENT_USER, key, "Gone"), "<missing>");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kit", ""), std::string("Kit.Document", 13));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\KitTest\\ToDelete"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_USERS, ".DEFAULT\\Software\\KitTest"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE,
                    "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\KitTest", "Config"),
              std::string("\x01\x00\x00\x00", 4));
}

TEST(Regedit, ImportsEachSyntaxWithLf)
{
    Result result = Import(kSyntax);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    CheckSyntaxImported();
}

TEST(Regedit, ImportsEachSyntaxWithCrLf)
{
    Result result = Import(WithCrLf(kSyntax));
    ASSERT_EQ(result.status, 0) << result.err;
    CheckSyntaxImported();
}

TEST(Regedit, ImportsUnicodeScripts)
{
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\KitTest]\r\n"
        "\"Nombre\"=\"Conexión €\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (unsigned char c : text)
    {
        char16_t unit = c == 0x80 ? u'\u20AC' : c; // the euro sign is 0x80 in Windows-1252
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    Result result = Import(utf16);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\KitTest", "Nombre"), std::string("Conexión €", 11));
}

void SpeakEnglish()
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Locale", "UserLangID", "0x0409"));
}

// What a Spanish Windows regedit says.
TEST(Regedit, ImportWithoutSwitchSaysSo)
{
    Result result = Import("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\KitTest]\r\n", false);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "La información de " + Temp("import.reg") +
                              " se ha introducido correctamente en el Registro.\n");
}

TEST(Regedit, ImportWithoutSwitchSaysSoInEnglishOnAnEnglishPc)
{
    SpeakEnglish();
    Result result = Import("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\KitTest]\r\n", false);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Information in " + Temp("import.reg") + " has been successfully entered into the registry.\n");
}

TEST(Regedit, ErrorsGiveTheLineAndKeepWhatCameBefore)
{
    struct Case
    {
        const char *body; // after "REGEDIT4\n[HKEY_CURRENT_USER\Software\KitTest]\n"Before"="1"\n"
        int line;
        const char *message;
    } cases[] = {
        {"[HKEY_NOWHERE\\x]\n", 4, "Error en la línea 4: clave raíz desconocida en [HKEY_NOWHERE\\x]."},
        {"\"v\"=dword:xyz\n", 4, "valor dword no válido"},
        {"\"v\"=dword:123456789\n", 4, "valor dword no válido"},
        {"\"v\"=\"unterminated\n", 4, "falta '\"' al final de la cadena"},
        {"\"v\"=\"a\" junk\n", 4, "texto inesperado"},
        {"\n\n\"v\"=hex:01,0g\n", 6, "byte hexadecimal no válido"},
        {"\"v\"=hex(zz):01\n", 4, "tipo no válido"},
        {"\"v\" \"x\"\n", 4, "falta '='"},
        {"\"v\"=string\n", 4, "tipo de valor desconocido"},
        {"just words\n", 4, "línea no reconocida"},
        {"[HKEY_CURRENT_USER\\Software\n", 4, "falta ']'"},
        {"\"v\"=hex:01,\\\n", 4, "byte hexadecimal no válido"}, // the next line is taken as more bytes
        {"; fine\n[HKEY_LOCAL_MACHINE\\Top]\n", 5,              // NT has no keys of its own there
         "Error al obtener acceso al Registro en la línea 5: no se puede crear la clave "
         "[HKEY_LOCAL_MACHINE\\Top]. "
         "Acceso denegado."},
    };
    for (const Case &c : cases)
    {
        HKEY root;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &root);
        RegDeleteKeyA(root, "KitTest");
        RegCloseKey(root);
        const std::string script =
            std::string("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KitTest]\n\"Before\"=\"1\"\n") + c.body +
            "\"After\"=\"2\"\n";
        Result result = Import(script);
        EXPECT_EQ(result.status, 1) << c.body;
        const std::string where = "No se puede importar " + Temp("import.reg") + ": Error " +
                                  std::string(c.line == 5 ? "al" : "en");
        EXPECT_NE(result.err.find(where), std::string::npos) << c.body << " -> " << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.body << " -> " << result.err;
        EXPECT_NE(result.err.find("línea " + std::to_string(c.line) + ":"), std::string::npos) << result.err;
        EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\KitTest", "Before"), std::string("1", 2)) << c.body;
        EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\KitTest", "After"), "<missing>") << c.body;
    }
}

TEST(Regedit, RefusesWhatIsNotAScript)
{
    for (const char *text : {"", "REGEDIT5\n[HKEY_CURRENT_USER\\x]\n", "[HKEY_CURRENT_USER\\x]\n"})
    {
        Result result = Import(text);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err,
                  "No se puede importar " + Temp("import.reg") +
                      ": El archivo especificado no es un script del Registro. Sólo puede importar "
                      "archivos binarios del Registro desde el Editor del Registro.\n");
    }
    Result missing = Regedit({"/s", Temp("missing.reg")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "No se puede importar " + Temp("missing.reg") +
                  ": Error al abrir el archivo. Puede haber un error en el disco o en el sistema de "
                  "archivos.\n");
    Result cut = Import("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KitTest]\n\"v\"=hex:01,\\\n");
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find("Error en la línea 3: el archivo termina dentro"), std::string::npos) << cut.err;
    std::string values = "REGEDIT4\n\"v\"=\"1\"\n";
    Result outside = Import(values);
    EXPECT_EQ(outside.status, 1);
    EXPECT_NE(outside.err.find("Error en la línea 2: valor fuera de una clave."), std::string::npos)
        << outside.err;
}

TEST(Regedit, SpeaksEnglishOnAnEnglishPc)
{
    SpeakEnglish();
    Result bad = Import("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KitTest]\n\"v\"=dword:xyz\n");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "Cannot import " + Temp("import.reg") +
                           ": Error in line 3: bad dword value (dword: takes up to 8 hex digits).\n");
    Result denied = Import("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Top]\n");
    EXPECT_EQ(denied.err, "Cannot import " + Temp("import.reg") +
                              ": Error accessing the registry in line 2: cannot create the key "
                              "[HKEY_LOCAL_MACHINE\\Top]. Access is denied.\n");
    Result missing = Regedit({"/s", Temp("missing.reg")});
    EXPECT_EQ(missing.err, "Cannot import " + Temp("missing.reg") +
                               ": Error opening the file. There may be a disk or file system error.\n");
    Result missingKey = Regedit({"/e", Temp("x.reg"), "HKEY_CURRENT_USER\\Software\\Nothing"});
    EXPECT_EQ(missingKey.err,
              "Cannot export HKEY_CURRENT_USER\\Software\\Nothing: The specified key does not "
              "exist.\n");
    Result help = Regedit({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: regedit", 0), 0u) << help.out;
    Result wrong = Regedit({"/x", "file.reg"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err.rfind("Invalid switch: /x\nUsage: regedit", 0), 0u) << wrong.err;
}

TEST(Regedit, CommandLine)
{
    for (const char *asking : {"/?", "-?", "--help"})
    {
        Result help = Regedit({asking});
        EXPECT_EQ(help.status, 0) << asking;
        EXPECT_EQ(help.out.rfind("Uso: regedit [/s] ARCHIVO...", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("quedan importadas"), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "") << asking;
    }
    Result wrong = Regedit({"/x", "file.reg"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err.rfind("Modificador no válido: /x\nUso: regedit", 0), 0u) << wrong.err;
    Result nothing = Regedit({});
    EXPECT_EQ(nothing.status, 2);
    EXPECT_EQ(nothing.err.rfind("No se ha especificado ningún archivo para importar.\n", 0), 0u)
        << nothing.err;
    EXPECT_EQ(Regedit({"/e"}).status, 2);
    Result missingKey = Regedit({"/e", Temp("x.reg"), "HKEY_CURRENT_USER\\Software\\Nothing"});
    EXPECT_EQ(missingKey.status, 1);
    EXPECT_EQ(missingKey.err, "No se puede exportar HKEY_CURRENT_USER\\Software\\Nothing: La clave "
                              "especificada no existe.\n");
    Result badRoot = Regedit({"/e", Temp("x.reg"), "HKEY_NOWHERE\\x"});
    EXPECT_EQ(badRoot.status, 1);
    EXPECT_EQ(badRoot.err,
              "No se puede exportar HKEY_NOWHERE\\x: El nombre de la clave raíz no es válido.\n");
}

TEST(Regedit, ExportFormat)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest\\Export", &key), ERROR_SUCCESS);
    auto set = [&](const char *name, DWORD type, const std::string &data) {
        ASSERT_EQ(
            RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()), data.size()),
            ERROR_SUCCESS);
    };
    std::string bytes;
    for (int i = 0; i < 30; ++i)
        bytes += static_cast<char>(i);
    set("", REG_SZ, std::string("defecto", 8));
    set("Quote\"s", REG_SZ, std::string("C:\\dir\\\"x\"", 11));
    set("Número", REG_DWORD, std::string("\x2a\x00\x00\x80", 4));
    set("b", REG_BINARY, bytes);
    set("e", REG_EXPAND_SZ, std::string("%x%", 4));
    set("NoNul", REG_SZ, "ab");
    set("Lines", REG_SZ, std::string("a\r\nb", 5));
    set("Half", REG_DWORD, "\x01\x02");
    set("None", REG_NONE, "");
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest\\Export\\Sub", &key), ERROR_SUCCESS);
    RegCloseKey(key);

    const std::string file = Temp("export.reg");
    Result result = Regedit({"/e", file, "HKEY_CURRENT_USER\\Software\\KitTest\\Export"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string expected =
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\KitTest\\Export]\r\n"
        "@=\"defecto\"\r\n"
        "\"Quote\\\"s\"=\"C:\\\\dir\\\\\\\"x\\\"\"\r\n"
        "\"Número\"=dword:8000002a\r\n"
        "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
        "  17,18,19,1a,1b,1c,1d\r\n"
        "\"e\"=hex(2):25,78,25,00\r\n"
        "\"NoNul\"=hex(1):61,62\r\n"
        "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
        "\"Half\"=hex(4):01,02\r\n"
        "\"None\"=hex(0):\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\KitTest\\Export\\Sub]\r\n"
        "\r\n";
    EXPECT_EQ(kittest::ReadHostFile(file, ""), expected);

    // -e and a Windows-style path say the same.
    const std::string again = kittest::MachineDir() + "\\temp\\again.reg";
    ASSERT_EQ(Regedit({"-e", again, "hkey_current_user\\Software\\KitTest\\Export\\"}).status, 0);
    EXPECT_EQ(kittest::ReadHostFile(Temp("again.reg"), ""), expected);
}

TEST(Regedit, LongHexLinesWrapEveryTwentyFiveBytes)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest", &key), ERROR_SUCCESS);
    std::string bytes(96, '\x11');
    ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>(bytes.data()), 96),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(Regedit({"/e", Temp("long.reg"), "HKEY_CURRENT_USER\\Software\\KitTest"}).status, 0);
    std::istringstream lines(kittest::ReadHostFile(Temp("long.reg"), ""));
    std::vector<std::string> hex;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("\"Path\"", 0) == 0 || line.rfind("  ", 0) == 0)
            hex.push_back(line);
    ASSERT_EQ(hex.size(), 4u);
    EXPECT_EQ(hex[0].size(), 14u + 21 * 3 + 2); // "Path"=hex(2): then 21 bytes, '\', CR
    EXPECT_EQ(hex[1].size(), 2u + 25 * 3 + 2);
    EXPECT_EQ(hex[2].size(), 2u + 25 * 3 + 2);
    std::string last = "  ";
    for (int i = 0; i < 24; ++i)
        last += "11,";
    EXPECT_EQ(hex[3], last + "11\r");
}

TEST(Regedit, RoundTripToAnotherPc)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest\\Conexión\\Empty", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest\\Conexión", &key), ERROR_SUCCESS);
    std::string big;
    for (int i = 0; i < 300; ++i)
        big += static_cast<char>(i * 13);
    const std::pair<const char *, std::pair<DWORD, std::string>> values[] = {
        {"", {REG_SZ, std::string("defecto", 8)}},
        {"Ruta \"larga\"", {REG_SZ, std::string("C:\\Archivos de programa\\Kit\\", 29)}},
        {"Binario", {REG_BINARY, big}},
        {"Multi", {REG_MULTI_SZ, std::string("uno\0dos\0\0", 9)}},
        {"Numero", {REG_DWORD, std::string("\xff\xff\xff\xff", 4)}},
        {"Raro", {0x20, "zz"}},
        {"SinNul", {REG_SZ, "abc"}},
        {"Vacio", {REG_SZ, ""}},
    };
    for (const auto &[name, value] : values)
        ASSERT_EQ(RegSetValueExA(key, name, 0, value.first,
                                 reinterpret_cast<const BYTE *>(value.second.data()), value.second.size()),
                  ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "KitTest.Document\\CLSID", &key), ERROR_SUCCESS);
    RegCloseKey(key);

    const std::string first = kittest::MachineDir();
    const std::string whole = Temp("whole.reg"), part = Temp("part.reg");
    ASSERT_EQ(Regedit({"/e", whole}).status, 0);
    ASSERT_EQ(Regedit({"/e", part, "HKEY_CURRENT_USER\\Software\\KitTest"}).status, 0);

    const std::string second = kittest::NewMachineDir();
    ASSERT_EQ(::setenv("KIT_MACHINE", second.c_str(), 1), 0);
    Result imported = Regedit({"-s", whole});
    const std::string again = second + "/again.reg", againPart = second + "/again-part.reg";
    Result exported = Regedit({"/e", again});
    Result exportedPart = Regedit({"/e", againPart, "HKEY_CURRENT_USER\\Software\\KitTest"});
    ::setenv("KIT_MACHINE", first.c_str(), 1);
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exportedPart.status, 0) << exportedPart.err;
    EXPECT_EQ(kittest::ReadHostFile(again, ""), kittest::ReadHostFile(whole, ""));
    EXPECT_EQ(kittest::ReadHostFile(againPart, ""), kittest::ReadHostFile(part, ""));
    EXPECT_NE(kittest::ReadHostFile(whole, "").find(
                  "[HKEY_LOCAL_MACHINE\\Software\\Classes\\KitTest.Document\\CLSID]"),
              std::string::npos);
    std::error_code ec;
    std::filesystem::remove_all(second, ec);
}

// ------------------------------------------------------------------- trees deeper than Windows allows

constexpr char kDeepTop[] = "Software\\KitDeep";
constexpr char kDeepTopName[] = "HKEY_CURRENT_USER\\Software\\KitDeep";

// A chain of `depth` keys named "a" below HKCU\Software\KitDeep, written straight into the hive's
// rows as a PC could hold it from before the platform refused such depths.
void BuildChain(int depth)
{
    HKEY top;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kDeepTop, &top), ERROR_SUCCESS);
    RegCloseKey(top);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(kitreg::RegistryPath().c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 60000);
    sqlite3_stmt *find = nullptr, *insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT id, area FROM keys WHERE fold = CAST('KITDEEP' AS BLOB)", -1,
                                 &find, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(find), SQLITE_ROW);
    sqlite3_int64 parent = sqlite3_column_int64(find, 0);
    const sqlite3_int64 area = sqlite3_column_int64(find, 1);
    sqlite3_finalize(find);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(
                  db, "INSERT INTO keys(parent, name, fold, area, mtime) VALUES(?1, X'61', X'41', ?2, 0)", -1,
                  &insert, nullptr),
              SQLITE_OK);
    for (int i = 0; i < depth; ++i)
    {
        sqlite3_bind_int64(insert, 1, parent);
        sqlite3_bind_int64(insert, 2, area);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
        parent = sqlite3_last_insert_rowid(db);
    }
    sqlite3_finalize(insert);
    ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST(Regedit, ExportsATreeDeeperThanWindowsAllows)
{
    constexpr int kDepth = 4000;
    BuildChain(kDepth);
    const std::string file = Temp("deep.reg");
    Result result = Regedit({"/e", file, kDeepTopName}, 512);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string text = kittest::ReadHostFile(file, "");
    std::string deepest = kDeepTopName;
    for (int i = 0; i < kDepth; ++i)
        deepest += "\\a";
    const std::string tail = "[" + deepest + "]\r\n\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    size_t headers = 0;
    for (size_t at = text.find("\r\n["); at != std::string::npos; at = text.find("\r\n[", at + 1))
        ++headers;
    EXPECT_EQ(headers, static_cast<size_t>(kDepth) + 1);
}

TEST(Regedit, DeletesATreeDeeperThanWindowsAllows)
{
    BuildChain(20000);
    kittest::WriteHostFile(Temp("delete.reg"), std::string("REGEDIT4\r\n\r\n[-") + kDeepTopName + "]\r\n");
    Result result = Regedit({"/s", Temp("delete.reg")}, 1024);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CURRENT_USER, kDeepTop));
    std::string problem;
    EXPECT_EQ(kitreg::CheckRegistry(&problem), ERROR_SUCCESS) << problem;
}

// The 200 KB script of 20,000 levels: the platform refuses the key past Windows' 512 levels,
// regedit says which line, and nothing of the key is left.
TEST(Regedit, RefusesAKeyDeeperThanWindowsAllows)
{
    std::string key = kDeepTopName;
    for (int i = 0; i < 20000; ++i)
        key += "\\nivel";
    kittest::WriteHostFile(Temp("import.reg"), "REGEDIT4\r\n[" + key + "]\r\n\"v\"=\"1\"\r\n");
    Result result = Regedit({"/s", Temp("import.reg")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind(
                  "No se puede importar " + Temp("import.reg") +
                      ": Error al obtener acceso al Registro en la línea 2: no se puede crear la clave "
                      "[HKEY_CURRENT_USER\\Software\\KitDeep\\nivel\\nivel",
                  0),
              0u)
        << result.err.substr(0, 300);
    const std::string reason = "]. El parámetro no es correcto.\n";
    ASSERT_GE(result.err.size(), reason.size());
    EXPECT_EQ(result.err.substr(result.err.size() - reason.size()), reason);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CURRENT_USER, kDeepTop));
}
} // namespace
