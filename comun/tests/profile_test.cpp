// CProfile: INI files by section and key.
#include "comun/Profile.h"
#include "comun/tests/Ficheros.h"
#include "testing/hostfile.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
std::string Ini(const std::string &contenido)
{
    return prueba::Escribir(prueba::Carpeta("ini") + "/Config.ini", contenido);
}
} // namespace

TEST(Profile, ReadsTheWizardSettings)
{
    const std::string path = Ini("[General]\r\nTitulo=Configuración ADSL\r\nNemonico=QelAsist\r\n"
                                 "[DNS]\r\nDNS1=80.58.0.33\r\n");
    CProfile ini;
    ASSERT_EQ(ini.Open(path.c_str(), CProfile::modoSoloLectura), S_OK);
    EXPECT_TRUE(ini.IsOpen());
    EXPECT_EQ(ini.FijarSeccion("General"), S_OK);
    std::string value;
    EXPECT_EQ(ini.VerValor("Titulo", value), S_OK);
    EXPECT_EQ(value, "Configuración ADSL");
    EXPECT_EQ(ini.VerValor("NEMONICO", value), S_OK);
    EXPECT_EQ(value, "QelAsist");
    EXPECT_EQ(ini.VerValor("Falta", value), S_OK); // a missing key reads as empty
    EXPECT_EQ(value, "");
    EXPECT_EQ(ini.FijarSeccion("dns"), S_OK);
    EXPECT_EQ(ini.VerSeccion(value), S_OK);
    EXPECT_EQ(value, "dns");
    EXPECT_EQ(ini.VerValor("DNS1", value), S_OK);
    EXPECT_EQ(value, "80.58.0.33");
    EXPECT_EQ(ini.Close(), S_OK);
    EXPECT_EQ(ini.Close(), S_FALSE);
}

TEST(Profile, WritesOnlyWhenAllowed)
{
    const std::string path = prueba::Carpeta("ini") + "/nuevo.ini"; // need not exist
    CProfile ini;
    ASSERT_EQ(ini.Open(path.c_str(), CProfile::modoLecturaEscritura), S_OK);
    EXPECT_EQ(ini.FijarValor("Clave", "valor"), E_FAIL); // no section yet
    ASSERT_EQ(ini.FijarSeccion("Datos"), S_OK);
    EXPECT_EQ(ini.FijarValor("Clave", "valor"), S_OK);
    EXPECT_EQ(ini.FijarValor("", "valor"), E_INVALIDARG);
    EXPECT_EQ(ini.FijarValor(nullptr, "valor"), E_INVALIDARG);
    EXPECT_EQ(ini.FijarValor("Clave", nullptr), E_INVALIDARG); // would delete the key
    EXPECT_EQ(kittest::ReadHostFile(path, ""), "[Datos]\r\nClave=valor\r\n");

    ASSERT_EQ(ini.Open(path.c_str(), CProfile::modoSoloLectura), S_OK); // reopens
    ASSERT_EQ(ini.FijarSeccion("Datos"), S_OK);
    EXPECT_EQ(ini.FijarValor("Clave", "otro"), E_FAIL);
    std::string value;
    EXPECT_EQ(ini.VerValor("Clave", value), S_OK);
    EXPECT_EQ(value, "valor");

    // A write Windows refuses: its error.
    const std::string folder = prueba::Carpeta("ini/carpeta.ini");
    ASSERT_EQ(ini.Open(folder.c_str(), CProfile::modoLecturaEscritura), S_OK);
    ASSERT_EQ(ini.FijarSeccion("s"), S_OK);
    const HRESULT hr = ini.FijarValor("k", "v");
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
}

TEST(Profile, BadArgumentsAndClosedObjects)
{
    CProfile ini;
    std::string value = "x";
    EXPECT_FALSE(ini.IsOpen());
    EXPECT_EQ(ini.Close(), S_FALSE);
    EXPECT_EQ(ini.FijarSeccion("General"), E_FAIL);
    EXPECT_EQ(ini.VerSeccion(value), E_FAIL);
    EXPECT_EQ(value, "");
    value = "x";
    EXPECT_EQ(ini.VerValor("Titulo", value), E_FAIL);
    EXPECT_EQ(value, "");
    EXPECT_EQ(ini.FijarValor("Titulo", "x"), E_FAIL);

    const std::string path = Ini("[s]\r\nk=v\r\n");
    for (LONG mode : {1, 2, 3, 5, 8, -1})
        EXPECT_EQ(ini.Open(path.c_str(), mode), E_INVALIDARG) << mode;
    EXPECT_EQ(ini.Open("", 0), E_INVALIDARG);
    EXPECT_EQ(ini.Open(nullptr, 0), E_INVALIDARG);
    EXPECT_FALSE(ini.IsOpen());

    ASSERT_EQ(ini.Open(path.c_str(), 4), S_OK);
    EXPECT_EQ(ini.FijarSeccion(nullptr), E_INVALIDARG);
    ASSERT_EQ(ini.FijarSeccion("s"), S_OK);
    EXPECT_EQ(ini.VerValor("", value), E_INVALIDARG);
    EXPECT_EQ(ini.VerValor(nullptr, value), E_INVALIDARG);
    // A failed Open leaves the profile closed.
    EXPECT_EQ(ini.Open(path.c_str(), 2), E_INVALIDARG);
    EXPECT_EQ(ini.VerValor("k", value), E_FAIL);
}

TEST(Profile, LongValuesAndKeysAreNotCut)
{
    const std::string longValue(40000, 'v');
    const std::string longKey(17000, 'k');
    const std::string path = Ini("[s]\r\ncorta=1\r\nlarga=" + longValue + "\r\n" + longKey +
                                 "=clave larga\r\n" + "justa=" + std::string(16383, 'j') + "\r\n");
    CProfile ini;
    ASSERT_EQ(ini.Open(path.c_str(), CProfile::modoSoloLectura), S_OK);
    ASSERT_EQ(ini.FijarSeccion("s"), S_OK);
    std::string value;
    EXPECT_EQ(ini.VerValor("larga", value), S_OK);
    EXPECT_EQ(value, longValue);
    EXPECT_EQ(ini.VerValor(longKey.c_str(), value), S_OK);
    EXPECT_EQ(value, "clave larga");
    EXPECT_EQ(ini.VerValor("justa", value), S_OK);
    EXPECT_EQ(value.size(), 16383u);
    EXPECT_EQ(ini.VerValor("corta", value), S_OK);
    EXPECT_EQ(value, "1");
}
