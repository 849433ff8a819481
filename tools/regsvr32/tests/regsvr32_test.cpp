// regsvr32 run as a process: messages, exit codes, the keys of a real server.
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "platform/kit/kitconsole.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
constexpr const char *kCounterKey = "CLSID\\{661833FB-DD15-44E4-98CF-95F91B3A19A6}";

int Regsvr32(const std::vector<std::string> &args, std::string *output)
{
    return kittest::Run("regsvr32", args, output);
}

void UseEnglish()
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Locale", "UserLangID", "0x0409"));
}
} // namespace

TEST(Regsvr32, RegistersAndUnregistersAServer)
{
    std::string output;
    ASSERT_EQ(Regsvr32({"KitSample.dll"}, &output), 0) << output;
    EXPECT_EQ(output, kitpc::TerminalText("DllRegisterServer en KitSample.dll se realizó correctamente.\n"));
    EXPECT_EQ(kittest::ClassesText(kCounterKey), "Counter Class");
    EXPECT_NE(kittest::ClassesText(std::string(kCounterKey) + "\\InprocServer32").find("KitSample.so"),
              std::string::npos);
    EXPECT_EQ(kittest::ClassesText(std::string(kCounterKey) + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(kittest::ClassesText("KitSample.Counter\\CurVer"), "KitSample.Counter.1");
    EXPECT_EQ(kittest::ClassesText("KitSample.Counter.1\\CLSID"), "{661833FB-DD15-44E4-98CF-95F91B3A19A6}");
    EXPECT_EQ(kittest::ClassesText("TypeLib\\{26D9B81C-CEFC-40F0-92A1-7CBE473C2D50}\\1.0"),
              "KitSample 1.0 Type Library");

    ASSERT_EQ(Regsvr32({"/u", "KitSample.dll"}, &output), 0) << output;
    EXPECT_EQ(output,
              kitpc::TerminalText("DllUnregisterServer en KitSample.dll se realizó correctamente.\n"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, kCounterKey));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "KitSample.Counter"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "TypeLib\\{26D9B81C-CEFC-40F0-92A1-7CBE473C2D50}"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "CLSID"));

    // Unregistering again still succeeds; /s says nothing.
    EXPECT_EQ(Regsvr32({"-U", "/S", "KitSample.dll"}, &output), 0);
    EXPECT_EQ(output, "");
}

TEST(Regsvr32, EnglishMessagesOnAnEnglishPc)
{
    UseEnglish();
    std::string output;
    ASSERT_EQ(Regsvr32({"KitSample.dll"}, &output), 0);
    EXPECT_EQ(output, "DllRegisterServer in KitSample.dll succeeded.\n");
    EXPECT_EQ(Regsvr32({"/u", "KitSample.dll"}, &output), 0);
    EXPECT_EQ(output, "DllUnregisterServer in KitSample.dll succeeded.\n");
}

TEST(Regsvr32, BadArguments)
{
    std::string output;
    EXPECT_EQ(Regsvr32({}, &output), 1);
    EXPECT_EQ(output, kitpc::TerminalText(
                          "Para registrar un módulo, debe proporcionar un nombre de archivo binario.\n"));
    EXPECT_EQ(Regsvr32({"/x", "KitSample.dll"}, &output), 1);
    EXPECT_EQ(output.rfind("Indicador no reconocido: /x\nUso: regsvr32", 0), 0u) << output;
    EXPECT_EQ(Regsvr32({"/n", "KitSample.dll"}, &output), 1); // /n needs /i
    EXPECT_EQ(Regsvr32({"/s"}, &output), 1);
    EXPECT_EQ(output, "");
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, kCounterKey));
}

TEST(Regsvr32, APathIsALibraryWhateverItStartsWith)
{
    std::string output;
    const std::string library = kittest::LibDir() + "/KitSample.so";
    ASSERT_EQ(Regsvr32({"/s", library}, &output), 0) << output;
    EXPECT_EQ(kittest::ClassesText(kCounterKey), "Counter Class");
    ASSERT_EQ(Regsvr32({"/u", "/s", library}, &output), 0) << output;
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, kCounterKey));
}

TEST(Regsvr32, HelpShowsTheUsage)
{
    for (const char *help : {"/?", "--help"})
    {
        std::string output;
        EXPECT_EQ(Regsvr32({help}, &output), 0) << help;
        EXPECT_EQ(output.rfind("Uso: regsvr32", 0), 0u) << output;
    }
}

TEST(Regsvr32, MissingLibraryGivesTheLoaderText)
{
    UseEnglish();
    std::string output;
    EXPECT_EQ(Regsvr32({"NoSuchServer.dll"}, &output), 3);
    EXPECT_EQ(output.rfind(
                  "LoadLibrary(\"NoSuchServer.dll\") failed - The specified module could not be found.\n", 0),
              0u)
        << output;
    EXPECT_NE(output.find("NoSuchServer.dll: no such library"), std::string::npos) << output;
}

TEST(Regsvr32, MissingEntryPoints)
{
    std::string output;
    EXPECT_EQ(Regsvr32({"testlib_sample.dll"}, &output), 4);
    EXPECT_EQ(output,
              kitpc::TerminalText("testlib_sample.dll se cargó, pero no se encontró el punto de entrada "
                                  "DllRegisterServer.\n\nNo se puede registrar este archivo.\n"));
    UseEnglish();
    EXPECT_EQ(Regsvr32({"/u", "testlib_sample.dll"}, &output), 4);
    EXPECT_EQ(output,
              "testlib_sample.dll was loaded, but the DllUnregisterServer entry point was not found.\n\n"
              "This file can not be unregistered.\n");
    // KitSample has no DllInstall: nothing is registered either.
    EXPECT_EQ(Regsvr32({"/i:todo", "KitSample.dll"}, &output), 4);
    EXPECT_NE(output.find("the DllInstall entry point"), std::string::npos) << output;
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, kCounterKey));
}

TEST(Regsvr32, FailedRegistrationGivesItsCode)
{
    // A user without administrator rights cannot write HKEY_CLASSES_ROOT on NT.
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Administrator", "0"));
    std::string output;
    EXPECT_EQ(Regsvr32({"KitSample.dll"}, &output), 5);
    EXPECT_EQ(output,
              kitpc::TerminalText(
                  "Error de DllRegisterServer en KitSample.dll.\nEl código de retorno fue: 0x80040201\n"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, kCounterKey));
}
