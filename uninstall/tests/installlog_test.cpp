// Install.log as the uninstaller reads it: values at their fixed offsets, registry records and
// their defaults, the product's name; and the string files with their fall-backs.
#include "uninstall/Cadenas.h"
#include "uninstall/InstallLog.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
CInstallLog Leido(const std::string &texto)
{
    std::filesystem::create_directories(kittest::MachineDir() + "/temp");
    const std::string fichero = kittest::MachineDir() + "/temp/Install.log";
    kittest::WriteHostFile(fichero, texto);
    CInstallLog log;
    EXPECT_TRUE(log.Abrir(fichero));
    return log;
}
using Valores = std::vector<std::string>;
} // namespace

TEST(InstallLog, ValuesStartAfterTheTagAndOneBlankWhereverTheTagIs)
{
    const CInstallLog log = Leido("File Copy: C:\\Kit\\QelAsist.dll\r\n"
                                  " File Copy: C:\\Kit\\blank-first.dll\r\n"
                                  "File Copy: \r\n"
                                  "\r\n"
                                  "File Overwrite: C:\\Windows\\System\\DaxParam.dll\r\n"
                                  "Self-Register: C:\\Nuv\\Dax\\DaxModem.dll\r\n"
                                  "Shell Link: C:\\Desktop\\Kit.lnk\r\n"
                                  "Made Dir: C:\\A\r\n"
                                  "Made Dir: C:\\A\\B\r\n"
                                  "RegDB Kill: HKEY_LOCAL_MACHINE\\Software\\Nuv\\Dax\\KitADSL\\Temp\r\n"
                                  "Text Color: (0,255,0)\r\n");
    EXPECT_EQ(log.Valores(CInstallLog::kFileCopy), Valores{"C:\\Kit\\QelAsist.dll"});
    EXPECT_EQ(log.Valores(CInstallLog::kFileOverwrite), Valores{"C:\\Windows\\System\\DaxParam.dll"});
    EXPECT_EQ(log.Valores(CInstallLog::kSelfRegister), Valores{"C:\\Nuv\\Dax\\DaxModem.dll"});
    EXPECT_EQ(log.Valores(CInstallLog::kShellLink), Valores{"C:\\Desktop\\Kit.lnk"});
    EXPECT_EQ(log.Valores(CInstallLog::kMadeDir), (Valores{"C:\\A", "C:\\A\\B"}));
    EXPECT_EQ(log.Valores(CInstallLog::kRegDbKill),
              Valores{"HKEY_LOCAL_MACHINE\\Software\\Nuv\\Dax\\KitADSL\\Temp"});
}

TEST(InstallLog, RegistryRecordsRunToTheFirstLineWithoutRegDbAndMissingPartsDefault)
{
    const std::string cuarenta(40, 'x');
    const CInstallLog log = Leido("RegDB Key: Software\\Nuv\\Dax\\KitADSL\r\n"
                                  "RegDB Old: " +
                                  cuarenta +
                                  "\r\n"
                                  "RegDB Root: 2\r\n"
                                  "RegDB Name: DirPrincipal\r\n"
                                  "RegDB Type: 0\r\n"
                                  "RegDB Key: Software\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
                                  "RegDB Name: KitADSL\r\n"
                                  "File Copy: C:\\Kit\\a.txt\r\n"
                                  "RegDB Root: 2\r\n");
    const std::vector<CRegistroLog> registros = log.Registros();
    ASSERT_EQ(registros.size(), 2u);
    EXPECT_EQ(registros[0].clave, "Software\\Nuv\\Dax\\KitADSL");
    EXPECT_EQ(registros[0].nombre, "DirPrincipal");
    EXPECT_EQ(registros[0].anterior, cuarenta);
    EXPECT_EQ(registros[0].tipo, 0);
    EXPECT_TRUE(registros[0].conRaiz);
    EXPECT_EQ(registros[0].raiz, HKEY_LOCAL_MACHINE);
    // The second ends at the "File Copy:" line: its root comes after it, so it has none.
    EXPECT_EQ(registros[1].nombre, "KitADSL");
    EXPECT_FALSE(registros[1].conRaiz);
    EXPECT_EQ(registros[1].anterior, "");
}

TEST(InstallLog, TheProductsNameComesFromItsOwnLine)
{
    const CInstallLog log =
        Leido("NOMBRE_OTRO: Otro producto\r\nNOMBRE_KitADSL: Kit ADSL Nuv\r\nNOMBRE_QelAsist Kit ADSL\r\n");
    EXPECT_EQ(log.Nombre("KitADSL"), "Kit ADSL Nuv");
    EXPECT_EQ(log.Nombre("QelAsist"), "Kit ADSL");
    EXPECT_EQ(log.Nombre("Falta"), "");
    CInstallLog ninguno;
    EXPECT_FALSE(ninguno.Abrir(kittest::MachineDir() + "/temp/no-such.log"));
}

TEST(Cadenas, TheUsersLanguageThenItsNeutralFileThenSpanish)
{
    const std::string carpeta = kittest::MachineDir() + "/program_files/Kit";
    std::filesystem::create_directories(carpeta);
    kittest::WriteHostFile(carpeta + "/UNS_0a00.ini", "[cadenas]\r\nIDS_UNINSTALL_ATENCION=Atención\r\n"
                                                      "IDS_UNINSTALL_REINICIOWIN=¿Reiniciar?\\nAhora\r\n");
    CCadenas cadenas;
    // English (United States, 0x0409): no English file, Spanish is used.
    ASSERT_TRUE(cadenas.Cargar(carpeta, 0x0409));
    EXPECT_EQ(cadenas.Fichero(), carpeta + "\\UNS_0a00.ini");
    EXPECT_EQ(cadenas.Texto("IDS_UNINSTALL_REINICIOWIN"), "¿Reiniciar?\nAhora");
    EXPECT_EQ(cadenas.Texto("IDS_UNINSTALL_FALTA"), "");
    kittest::WriteHostFile(carpeta + "/UNS_0900.ini", "[cadenas]\r\n");
    ASSERT_TRUE(cadenas.Cargar(carpeta, 0x0409));
    EXPECT_EQ(cadenas.Fichero(), carpeta + "\\UNS_0900.ini");
    // The exact file wins: primary 0x09, sublanguage 0x01 -> "0901".
    kittest::WriteHostFile(carpeta + "/UNS_0901.ini", "[cadenas]\r\n");
    ASSERT_TRUE(cadenas.Cargar(carpeta, 0x0409));
    EXPECT_EQ(cadenas.Fichero(), carpeta + "\\UNS_0901.ini");
    EXPECT_FALSE(cadenas.Cargar(kittest::MachineDir() + "/windows", 0x0c0a));
}
