// The application registry: every value round-trips through the PC's registry, across a new
// Open and across a restart of the PC; values of another type, closed and read-only objects,
// the restart entry of the wizard's host, large and Windows 1252 texts.
#include "outside/qelapli/RegApli.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace
{
const char *const kClave = "SOFTWARE\\NUV\\DAX\\Prueba";
const char *const kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char *const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const HRESULT kNoEsta = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const HRESULT kOtroTipo = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

struct ParTexto
{
    CRegApli::Valor valor;
    HRESULT (CRegApli::*set)(LPCSTR);
    HRESULT (CRegApli::*get)(std::string &) const; // null: the value has a Set only
    const char *texto;
};

struct ParNumero
{
    CRegApli::Valor valor;
    HRESULT (CRegApli::*set)(DWORD);
    HRESULT (CRegApli::*get)(DWORD &) const;
    DWORD dw;
};

// Every pair of the interface, each with a value of its own.
const ParTexto kTextos[] = {
    {CRegApli::valIpPublica, &CRegApli::SetIpPublica, &CRegApli::GetIpPublica, "80.24.1.10"},
    {CRegApli::valMaskPublica, &CRegApli::SetMaskPublica, &CRegApli::GetMaskPublica, "255.255.255.248"},
    {CRegApli::valIPGestion, &CRegApli::SetIPGestion, &CRegApli::GetIPGestion, "80.24.1.9"},
    {CRegApli::valMaskGestion, &CRegApli::SetMaskGestion, &CRegApli::GetMaskGestion, "255.255.255.0"},
    {CRegApli::valIpPrivada, &CRegApli::SetIpPrivada, &CRegApli::GetIpPrivada, "192.168.1.33"},
    {CRegApli::valMaskPrivada, &CRegApli::SetMaskPrivada, &CRegApli::GetMaskPrivada, "255.255.0.0"},
    {CRegApli::valIpRouter, &CRegApli::SetIpRouter, &CRegApli::GetIpRouter, "192.168.1.1"},
    {CRegApli::valMaskRouter, &CRegApli::SetMaskRouter, &CRegApli::GetMaskRouter, "255.255.255.128"},
    {CRegApli::valUsername, &CRegApli::SetUsername, &CRegApli::GetUsername, "adslppp@telefonicanetpa"},
    {CRegApli::valPassword, &CRegApli::SetPassword, &CRegApli::GetPassword, "s3cr3t-clave"},
    {CRegApli::valNIC, &CRegApli::SetNIC, &CRegApli::GetNIC, "{1} Tarjeta de red Ethernet"},
    {CRegApli::valFichFirmware, &CRegApli::SetFichFirmware, &CRegApli::GetFichFirmware, "C:\\fw\\643.bin"},
    {CRegApli::valListaPuertos, &CRegApli::SetListaPuertos, &CRegApli::GetListaPuertos, "21,80;4662"},
    {CRegApli::valIpPublica1, &CRegApli::SetIpPublica1, &CRegApli::GetIpPublica1, "80.24.2.10"},
    {CRegApli::valMaskPublica1, &CRegApli::SetMaskPublica1, &CRegApli::GetMaskPublica1, "255.255.255.240"},
    {CRegApli::valIpGestion1, &CRegApli::SetIpGestion1, &CRegApli::GetIpGestion1, "80.24.2.9"},
    {CRegApli::valMaskGestion1, &CRegApli::SetMaskGestion1, &CRegApli::GetMaskGestion1, "255.255.254.0"},
    {CRegApli::valIpPrivada1, &CRegApli::SetIpPrivada1, &CRegApli::GetIpPrivada1, "10.0.0.2"},
    {CRegApli::valMaskPrivada1, &CRegApli::SetMaskPrivada1, &CRegApli::GetMaskPrivada1, "255.0.0.0"},
    {CRegApli::valNIC1, &CRegApli::SetNIC1, &CRegApli::GetNIC1, "{2} Otra tarjeta"},
    {CRegApli::valUsername1, &CRegApli::SetUsername1, &CRegApli::GetUsername1, "usuario1"},
    {CRegApli::valIPRouter1, &CRegApli::SetIPRouter1, nullptr, "10.0.0.1"},
};

const ParNumero kNumeros[] = {
    {CRegApli::valDHCP, &CRegApli::SetDHCP, &CRegApli::GetDHCP, 1},
    {CRegApli::valModoConf, &CRegApli::SetModoConf, &CRegApli::GetModoConf, 0},
    {CRegApli::valModoDirec, &CRegApli::SetModoDirec, &CRegApli::GetModoDirec, 0xFFFFFFFF},
    {CRegApli::valOperacion, &CRegApli::SetOperacion, &CRegApli::GetOperacion, 0x80000000},
    {CRegApli::valDhcp1, &CRegApli::SetDhcp1, &CRegApli::GetDhcp1, 7},
    {CRegApli::valModoDirec1, &CRegApli::SetModoDirec1, &CRegApli::GetModoDirec1, 1},
    {CRegApli::valModoConf1, &CRegApli::SetModoConf1, &CRegApli::GetModoConf1, 0x12345678},
};

std::string Leido(const CRegApli &reg, const ParTexto &par)
{
    std::string texto = "<antes>";
    const HRESULT hr = par.get ? (reg.*par.get)(texto) : reg.Get(par.valor, texto);
    EXPECT_EQ(S_OK, hr) << CRegApli::VerNombre(par.valor);
    return texto;
}

void EscribirTodo(CRegApli &reg)
{
    for (const ParTexto &par : kTextos)
        ASSERT_EQ(S_OK, (reg.*par.set)(par.texto)) << CRegApli::VerNombre(par.valor);
    for (const ParNumero &par : kNumeros)
        ASSERT_EQ(S_OK, (reg.*par.set)(par.dw)) << CRegApli::VerNombre(par.valor);
}

void ComprobarTodo(const CRegApli &reg)
{
    for (const ParTexto &par : kTextos)
        EXPECT_EQ(par.texto, Leido(reg, par)) << CRegApli::VerNombre(par.valor);
    for (const ParNumero &par : kNumeros)
    {
        DWORD dw = 0xdeadbeef;
        EXPECT_EQ(S_OK, (reg.*par.get)(dw)) << CRegApli::VerNombre(par.valor);
        EXPECT_EQ(par.dw, dw) << CRegApli::VerNombre(par.valor);
    }
}

void Reiniciar()
{
    std::string salida;
    ASSERT_EQ(0, kittest::Run("machine", {"reboot"}, &salida)) << salida;
}

std::string Temp(const char *fichero)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + fichero;
}
} // namespace

// --- values -------------------------------------------------------------------------------------

TEST(RegApliValores, EveryPairReadsBackAfterANewOpen)
{
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    EscribirTodo(reg);
    ComprobarTodo(reg); // the same object
    ASSERT_EQ(S_OK, reg.Close());
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    ComprobarTodo(reg);
    CRegApli otro;
    ASSERT_EQ(S_OK, otro.Open(kClave, FALSE));
    ComprobarTodo(otro);
}

TEST(RegApliValores, EveryPairSurvivesARestartOfThePc)
{
    {
        CRegApli reg;
        ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
        EscribirTodo(reg);
        ASSERT_EQ(S_OK, reg.SetEstadoInicial(FALSE));
    }
    Reiniciar();
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    ComprobarTodo(reg);
    BOOL inicial = TRUE;
    EXPECT_EQ(S_OK, reg.IsEstadoInicial(inicial));
    EXPECT_FALSE(inicial);
}

TEST(RegApliValores, StoredUnderTheirNamesWithTheirTypes)
{
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    EscribirTodo(reg);
    for (const ParTexto &par : kTextos)
    {
        const auto valor = kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kClave, CRegApli::VerNombre(par.valor));
        ASSERT_TRUE(valor) << CRegApli::VerNombre(par.valor);
        if (par.valor == CRegApli::valPassword)
        {
            // Not to be found as text in the registry.
            EXPECT_EQ(DWORD(REG_BINARY), valor->type);
            EXPECT_EQ(std::string::npos, valor->data.find(par.texto));
            EXPECT_EQ(std::string::npos, valor->data.find("s3cr3t"));
        }
        else
            EXPECT_EQ(par.texto,
                      kittest::ReadRegString(HKEY_LOCAL_MACHINE, kClave, CRegApli::VerNombre(par.valor)));
    }
    for (const ParNumero &par : kNumeros)
        EXPECT_EQ(par.dw, kittest::ReadRegDword(HKEY_LOCAL_MACHINE, kClave, CRegApli::VerNombre(par.valor)))
            << CRegApli::VerNombre(par.valor);
    EXPECT_EQ("IpGestion", std::string(CRegApli::VerNombre(CRegApli::valIPGestion)));
    EXPECT_EQ("IpRouter1", std::string(CRegApli::VerNombre(CRegApli::valIPRouter1)));
}

TEST(RegApliValores, ChangedValuesReplaceTheOldOnes)
{
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    ASSERT_EQ(S_OK, reg.SetPassword("una clave bastante larga"));
    ASSERT_EQ(S_OK, reg.SetPassword("corta"));
    ASSERT_EQ(S_OK, reg.SetIpPublica("1.2.3.4"));
    ASSERT_EQ(S_OK, reg.SetIpPublica(""));
    std::string texto;
    EXPECT_EQ(S_OK, reg.GetPassword(texto));
    EXPECT_EQ("corta", texto);
    EXPECT_EQ(S_OK, reg.GetIpPublica(texto));
    EXPECT_EQ("", texto);
}

TEST(RegApliValores, MissingValuesReadEmptyWithTheirStatus)
{
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kClave, "Otro", "x");
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    for (const ParTexto &par : kTextos)
    {
        std::string texto = "<antes>";
        EXPECT_EQ(kNoEsta, reg.Get(par.valor, texto)) << CRegApli::VerNombre(par.valor);
        EXPECT_EQ("", texto);
    }
    for (const ParNumero &par : kNumeros)
    {
        DWORD dw = 0xdeadbeef;
        EXPECT_EQ(kNoEsta, (reg.*par.get)(dw)) << CRegApli::VerNombre(par.valor);
        EXPECT_EQ(0u, dw);
    }
    // Never stopped for a restart: the initial state.
    BOOL inicial = FALSE;
    EXPECT_EQ(S_OK, reg.IsEstadoInicial(inicial));
    EXPECT_TRUE(inicial);
}

TEST(RegApliValores, MegabyteTextsRoundTrip)
{
    // Every byte but NUL, over and over, past a megabyte.
    std::string grande;
    while (grande.size() < (1u << 20) + 17)
        grande.push_back(static_cast<char>(1 + grande.size() % 255));
    {
        CRegApli reg;
        ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
        ASSERT_EQ(S_OK, reg.SetListaPuertos(grande.c_str()));
        ASSERT_EQ(S_OK, reg.SetPassword(grande.c_str()));
    }
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    std::string texto;
    ASSERT_EQ(S_OK, reg.GetListaPuertos(texto));
    EXPECT_TRUE(texto == grande) << texto.size();
    ASSERT_EQ(S_OK, reg.GetPassword(texto));
    EXPECT_TRUE(texto == grande) << texto.size();
}

TEST(RegApliValores, Windows1252TextsKeepTheirBytes)
{
    const std::string texto = "Conexión ADSL Router: año, €uro, ¿señal? \x81\x8d\xff";
    ASSERT_EQ(std::string::npos, texto.find("\xc3")); // compiled as 1252, not UTF-8
    {
        CRegApli reg;
        ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
        ASSERT_EQ(S_OK, reg.SetNIC(texto.c_str()));
        ASSERT_EQ(S_OK, reg.SetPassword(texto.c_str()));
    }
    EXPECT_EQ(texto, kittest::ReadRegString(HKEY_LOCAL_MACHINE, kClave, "NIC"));
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    std::string leido;
    EXPECT_EQ(S_OK, reg.GetNIC(leido));
    EXPECT_EQ(texto, leido);
    EXPECT_EQ(S_OK, reg.GetPassword(leido));
    EXPECT_EQ(texto, leido);
}

// --- values of another type ---------------------------------------------------------------------

TEST(RegApliTipos, AValueOfAnotherTypeIsAFailureNeverItsBytes)
{
    struct Caso
    {
        const char *nombre;
        DWORD tipo;
        std::string datos;
    };
    const Caso casos[] = {
        {"IpPublica", REG_DWORD, std::string("\x0a\x00\x00\x01", 4)},
        {"NIC", REG_BINARY, "{1} tarjeta"},
        {"NIC1", REG_EXPAND_SZ, std::string("%SystemRoot%\0", 13)},
        {"Password", REG_SZ, std::string("en claro\0", 9)},
        {"ModoConf", REG_SZ, std::string("1\0", 2)},
        {"Operacion", REG_BINARY, std::string("\x01\x00\x00\x00", 4)},
        {"DHCP", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x01", 4)},
    };
    for (const Caso &caso : casos)
        kittest::WriteRegValue(HKEY_LOCAL_MACHINE, kClave, caso.nombre, caso.tipo, caso.datos);
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, kClave, "EstadoInicial", REG_SZ, std::string("0\0", 2));

    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    std::string texto = "<antes>";
    EXPECT_EQ(kOtroTipo, reg.GetIpPublica(texto));
    EXPECT_EQ("", texto);
    texto = "<antes>";
    EXPECT_EQ(kOtroTipo, reg.GetNIC(texto));
    EXPECT_EQ("", texto);
    EXPECT_EQ(kOtroTipo, reg.GetNIC1(texto));
    EXPECT_EQ("", texto);
    texto = "<antes>";
    EXPECT_EQ(kOtroTipo, reg.GetPassword(texto));
    EXPECT_EQ("", texto);
    DWORD dw = 0xdeadbeef;
    EXPECT_EQ(kOtroTipo, reg.GetModoConf(dw));
    EXPECT_EQ(0u, dw);
    dw = 0xdeadbeef;
    EXPECT_EQ(kOtroTipo, reg.GetOperacion(dw));
    EXPECT_EQ(0u, dw);
    EXPECT_EQ(kOtroTipo, reg.GetDHCP(dw));
    BOOL inicial = FALSE;
    EXPECT_EQ(kOtroTipo, reg.IsEstadoInicial(inicial));
    EXPECT_TRUE(inicial);
}

TEST(RegApliTipos, TextAndNumberOperationsKeepToTheirValues)
{
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    std::string texto = "<antes>";
    DWORD dw = 5;
    EXPECT_EQ(E_INVALIDARG, reg.Get(CRegApli::valModoConf, texto));
    EXPECT_EQ("", texto);
    EXPECT_EQ(E_INVALIDARG, reg.Set(CRegApli::valModoConf, "1"));
    EXPECT_EQ(E_INVALIDARG, reg.Get(CRegApli::valIpPublica, dw));
    EXPECT_EQ(0u, dw);
    EXPECT_EQ(E_INVALIDARG, reg.Set(CRegApli::valIpPublica, DWORD(1)));
    EXPECT_EQ(E_INVALIDARG, reg.Set(CRegApli::numValores, "x"));
    EXPECT_EQ(E_INVALIDARG, reg.SetIpPublica(nullptr));
    EXPECT_EQ(nullptr, CRegApli::VerNombre(CRegApli::numValores));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kClave, "ModoConf"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kClave, "IpPublica"));
}

// --- open, closed, read-only --------------------------------------------------------------------

TEST(RegApliAcceso, OpeningAndClosing)
{
    CRegApli reg;
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_EQ(S_FALSE, reg.Close());
    EXPECT_EQ(E_INVALIDARG, reg.Open("", TRUE));
    EXPECT_EQ(E_INVALIDARG, reg.Open(nullptr, FALSE));
    // Read-only needs the key; writable makes it.
    EXPECT_EQ(kNoEsta, reg.Open(kClave, FALSE));
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kClave));
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    EXPECT_TRUE(reg.IsWritable());
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kClave));
    // A second Open replaces the first.
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    EXPECT_TRUE(reg.IsOpen());
    EXPECT_FALSE(reg.IsWritable());
    EXPECT_EQ(S_OK, reg.Close());
    EXPECT_EQ(S_FALSE, reg.Close());
}

TEST(RegApliAcceso, ClosedAndReadOnlyObjectsChangeNothing)
{
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kClave, "IpPublica", "1.1.1.1");
    CRegApli cerrado, lectura;
    ASSERT_EQ(S_OK, lectura.Open(kClave, FALSE));
    for (auto [reg, esperado] : {std::pair{&cerrado, E_HANDLE}, std::pair{&lectura, E_ACCESSDENIED}})
    {
        for (const ParTexto &par : kTextos)
            EXPECT_EQ(esperado, (reg->*par.set)("9.9.9.9")) << CRegApli::VerNombre(par.valor);
        for (const ParNumero &par : kNumeros)
            EXPECT_EQ(esperado, (reg->*par.set)(3)) << CRegApli::VerNombre(par.valor);
        EXPECT_EQ(esperado, reg->SetEstadoInicial(FALSE));
        EXPECT_EQ(esperado, reg->SetSettings());
        EXPECT_EQ(esperado, reg->Write("QelExec", "algo"));
        EXPECT_EQ(esperado, reg->Delete("QelExec"));
        EXPECT_EQ(esperado, reg->Set(CRegApli::valPathPPPoE, "x"));
    }
    std::string texto = "<antes>";
    EXPECT_EQ(E_HANDLE, cerrado.GetIpPublica(texto));
    EXPECT_EQ("", texto);
    DWORD dw = 1;
    EXPECT_EQ(E_HANDLE, cerrado.GetModoConf(dw));
    EXPECT_EQ(0u, dw);
    BOOL inicial = FALSE;
    EXPECT_EQ(E_HANDLE, cerrado.IsEstadoInicial(inicial));
    EXPECT_TRUE(inicial);

    // Nothing but the value there before.
    EXPECT_EQ(S_OK, lectura.GetIpPublica(texto));
    EXPECT_EQ("1.1.1.1", texto);
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kClave, "EstadoInicial"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kRunOnce, "QelExec"));
}

TEST(RegApliAcceso, InstallerValuesAreReadOnly)
{
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kClave, "PathPPPoE", "C:\\Archivos de programa\\WinPoET");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kClave, "Directorio", "C:\\Archivos de programa\\Dax");
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    std::string texto;
    EXPECT_EQ(S_OK, reg.GetPathPPPoE(texto));
    EXPECT_EQ("C:\\Archivos de programa\\WinPoET", texto);
    EXPECT_EQ(E_ACCESSDENIED, reg.Set(CRegApli::valPathPPPoE, "otro"));
    EXPECT_EQ(S_OK, reg.GetPathPPPoE(texto));
    EXPECT_EQ("C:\\Archivos de programa\\WinPoET", texto);
    EXPECT_EQ(S_OK, reg.GetDirectorio(texto));
    EXPECT_EQ("C:\\Archivos de programa\\Dax", texto);
    EXPECT_EQ(S_OK, reg.SetSettings());
}

TEST(RegApliAcceso, WithoutAStoredFolderTheProgramsIsGiven)
{
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kClave, "Otro", "x");
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, FALSE));
    std::string dir;
    std::string programa;
    char fichero[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, fichero, sizeof fichero));
    programa = fichero;
    programa = programa.substr(0, programa.find_last_of("\\/"));
    EXPECT_EQ(S_FALSE, reg.GetDirectorio(dir));
    EXPECT_EQ(programa, dir);
    CRegApli cerrado;
    EXPECT_EQ(E_HANDLE, cerrado.GetDirectorio(dir));
    EXPECT_EQ("", dir);
}

// --- start-up entries ---------------------------------------------------------------------------

TEST(RegApliArranque, QelExecRunsOnceAtTheNextStart)
{
    const std::string host = kittest::BinDir() + "\\qelapli_host.exe";
    {
        CRegApli reg;
        ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
        ASSERT_EQ(S_OK, reg.SetIpPublica("80.24.1.10"));
        ASSERT_EQ(S_OK, reg.SetEstadoInicial(FALSE));
        ASSERT_EQ(S_OK, reg.Close());
        ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
        ASSERT_EQ(S_OK, reg.Write("QelExec", host.c_str()));
    }
    EXPECT_EQ(host, kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "QelExec"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kRun, "QelExec"));

    Reiniciar();
    // The host ran after the restart and found the state saved before it.
    EXPECT_EQ("estado=0\r\nippublica=80.24.1.10\r\n", kittest::ReadHostFile(Temp("QelExec.txt")));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kRunOnce, "QelExec"));

    // Once only.
    DeleteFileA(Temp("QelExec.txt").c_str());
    Reiniciar();
    EXPECT_EQ("<none>", kittest::ReadHostFile(Temp("QelExec.txt")));
}

TEST(RegApliArranque, DeleteTakesTheEntryBack)
{
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    EXPECT_EQ(S_FALSE, reg.Delete("QelExec"));
    ASSERT_EQ(S_OK, reg.Write("QelExec", (kittest::BinDir() + "/qelapli_host").c_str()));
    EXPECT_EQ(S_OK, reg.Delete("qelexec")); // names without case, as the registry's
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kRunOnce, "QelExec"));
    EXPECT_EQ(S_FALSE, reg.Delete("QelExec"));
    EXPECT_EQ(E_INVALIDARG, reg.Delete(""));
    EXPECT_EQ(E_INVALIDARG, reg.Write("", "x"));
    EXPECT_EQ(E_INVALIDARG, reg.Write("QelExec", nullptr));
    Reiniciar();
    EXPECT_EQ("<none>", kittest::ReadHostFile(Temp("QelExec.txt")));
}

TEST(RegApliArranque, OtherNamesStartAtEveryStartUntilDeleted)
{
    const std::string host = kittest::BinDir() + "/qelapli_host";
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    ASSERT_EQ(S_OK, reg.Write("QelFixRT", host.c_str()));
    EXPECT_EQ(host, kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "QelFixRT"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kRunOnce, "QelFixRT"));
    Reiniciar();
    EXPECT_EQ(host, kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRun, "QelFixRT"));
    EXPECT_EQ(S_OK, reg.Delete("QelFixRT"));
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, kRun, "QelFixRT"));
}

TEST(RegApliArranque, AHostInAFolderWithABlankStillStarts)
{
    const std::string carpeta = kittest::MachineDir() + "/program_files/Asistente ADSL";
    std::filesystem::create_directories(carpeta);
    std::filesystem::copy_file(kittest::BinDir() + "/qelapli_host", carpeta + "/QelExec");
    const std::string host = carpeta + "\\QelExec.exe"; // as the wizard writes it
    CRegApli reg;
    ASSERT_EQ(S_OK, reg.Open(kClave, TRUE));
    ASSERT_EQ(S_OK, reg.SetIpPublica("1.2.3.4"));
    ASSERT_EQ(S_OK, reg.Write("QelExec", host.c_str()));
    EXPECT_EQ('"' + host + '"', kittest::ReadRegString(HKEY_LOCAL_MACHINE, kRunOnce, "QelExec"));
    ASSERT_EQ(S_OK, reg.Close());
    Reiniciar();
    EXPECT_EQ("estado=1\r\nippublica=1.2.3.4\r\n", kittest::ReadHostFile(Temp("QelExec.txt")));
}
