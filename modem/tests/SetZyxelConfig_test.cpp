// The SetZyxelConfig control through COM, as the wizard uses it: created by ProgID from the
// registry, events into a sink, against the simulated router (routersim) and, where the exact
// bytes received matter, Debian's pyftpdlib. On Linux the router is 192.168.1.1 of the PC's
// virtual network, started by each test; on Windows (under Wine) it is the routersim the runner
// started on 127.0.0.1:21 for the whole program, its state folder in $KIT_ROUTER_STATE, and
// nothing but loopback addresses is ever dialled.
#include "common/com/BStr.h"
#include "common/param/RouterParamPtr.h"
#include "modem/client/ZyxelSink.h"
#include "modem/tests/modemtest.h"
#include "testing/kittest.h"
#include "testing/registry.h"
#include "testing/regsvr32.h"
#include "testing/tracelog.h"
#ifndef _WIN32
#include "testing/servers.h"
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sstream>

namespace
{
// Long enough for WinINet's own time-outs; a run that needs it has hung.
constexpr DWORD kEspera = 90000;

#ifdef _WIN32
constexpr char kRouter[] = "127.0.0.1";
// Loopback addresses where nothing listens: refused at once.
constexpr char kNadie[] = "127.0.0.2";
constexpr char kNadie2[] = "127.0.0.3";
#else
constexpr char kRouter[] = "192.168.1.1";
// Addresses nowhere on the PC's virtual network.
constexpr char kNadie[] = "10.0.0.5";
constexpr char kNadie2[] = "10.0.0.6";
#endif

std::string Registro(HKEY root, const std::string &key, const char *value = nullptr,
                     kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegString(root, key, value, where).value_or("<missing>");
}

// The one-PC static configuration: public 80.58.1.10/24, management 10.0.0.5/8.
void LlenarMonopuestoEstatico(const RouterParamPtr &param)
{
    param.SetNat(0);
    param.SetDns("80.58.0.33", "80.58.32.97");
    param.SetDhcp("80.58.1.10", "1");
    param.SetWan("10.0.0.5", "255.0.0.0");
    param.SetLan("80.58.1.1", "255.255.255.0");
}

class SetZyxelConfigTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        for (const char *server : {"DaxParam.dll", "DaxModem.dll"})
        {
            std::string output;
            ASSERT_EQ(kittest::Regsvr32({"/s", server}, &output), 0) << output;
        }
        CreateDirectoryA((kittest::MachineDir() + "/program_files").c_str(), nullptr);
        dir = kittest::MachineDir() + "/program_files/Dax";
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(modemtest::DataPath("643.cfg").c_str(), Path("643.cfg").c_str(), FALSE));
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        // The folder as the module names its files: the current directory in the system's own
        // form (Windows gives it with backslashes).
        char szActual[MAX_PATH];
        ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, szActual), 0u);
        dir = szActual;
        // A real PC's temporary folder outlives the test: its log starts anew. The library of
        // the test before may still hold it open, its worker not quite gone: then this test's
        // lines are those after what is there now.
        DeleteFileA(LogPath().c_str());
        logInicio = pcfile::Read(LogPath()).value_or("").size();
#ifdef _WIN32
        const char *runner = std::getenv("KIT_ROUTER_STATE");
        ASSERT_TRUE(runner && *runner) << "no router: run under testing/wine/run.py";
        state = runner;
        Fallar("none");
#else
        state = kittest::MachineDir() + "/router";
        std::filesystem::create_directories(state);
#endif

        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(OLESTR("DaxModem.SetZyxelConfig"), &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ISetZyxelConfig, obj.PutVoid()), S_OK);
        sink = kitcom::Make<CZyxelSink>();
        ASSERT_EQ(obj->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID__ISetZyxelConfigEvents, &point), S_OK);
        ASSERT_EQ(point->Advise(sink->GetUnknown(), &cookie), S_OK);
    }

    void TearDown() override
    {
        if (point)
            point->Unadvise(cookie);
        point.Reset();
        container.Reset();
        obj.Reset();
#ifndef _WIN32
        router.reset();
#endif
        SetCurrentDirectoryA("/");
        CoFreeUnusedLibraries();
        CoUninitialize();
        SetEnvironmentVariableA("DEBUG_ADSL", nullptr);
    }

    std::string Path(const char *name) const
    {
        return dir + "\\" + name;
    }

#ifdef _WIN32
    // The runner's router, restarting at once after a firmware, misbehaving as asked ("--fault
    // LIST", "--delay MS") from its next connection on.
    void ArrancarRouter(std::vector<std::string> extra = {})
    {
        std::string faults = "none", delay = "2000";
        for (size_t i = 0; i + 1 < extra.size(); i += 2)
            (extra[i] == "--fault" ? faults : delay) = extra[i + 1];
        Fallar(faults.c_str(), delay.c_str());
    }

    // The router's misbehaviour for new connections, as `routersim fault` sets it.
    void Fallar(const char *faults, const char *delay = "2000") const
    {
        const std::string ini = state + "\\routersim.ini";
        ASSERT_TRUE(WritePrivateProfileStringA("Faults", "Fault", faults, ini.c_str()));
        ASSERT_TRUE(WritePrivateProfileStringA("Faults", "Delay", delay, ini.c_str()));
    }

    // The running settings, as `routersim show` prints them.
    std::string Mostrar() const
    {
        std::string settings = kittest::ReadHostFile(state + "\\settings.txt");
        std::erase(settings, '\r');
        return settings;
    }
#else
    // routersim for the PC at 192.168.1.1, restarting at once after a firmware.
    void ArrancarRouter(std::vector<std::string> extra = {})
    {
        extra.insert(extra.end(), {"--restart-seconds", "0"});
        router =
            std::make_unique<kitservers::RouterSim>(kittest::BinDir(), state, kittest::MachineDir(), extra);
        ASSERT_TRUE(router->Started());
    }

    void Fallar(const char *faults) const
    {
        kitservers::Run(kittest::BinDir() + "/routersim", {"fault", "--state", state, faults});
    }

    std::string Mostrar() const
    {
        std::string output;
        kitservers::Run(kittest::BinDir() + "/routersim", {"show", "--state", state}, &output);
        return output;
    }
#endif

    // Gives the object the one-PC static configuration and, when given, the router's address.
    void Preparar(const char *ip = kRouter)
    {
        RouterParamPtr param;
        ASSERT_EQ(param.CreateInstance(), S_OK);
        LlenarMonopuestoEstatico(param);
        EXPECT_EQ(obj->SetModemConfig(param.Get()), S_OK);
        if (ip)
        {
            EXPECT_EQ(obj->SetModemCurIp(kitcom::BStr(ip).Get()), S_OK);
        }
    }

    // Uploads the one-PC static configuration to `ip`; the events of the run.
    std::string Subir(const char *ip = kRouter)
    {
        Preparar(ip);
        return Ejecutar([&] { return obj->Start(); });
    }

    // Runs one job and waits for its End; the events other than ProgressDone.
    template <class Llamada> std::string Ejecutar(Llamada llamada, size_t nEnds = 1)
    {
        sink->Olvidar();
        EXPECT_EQ(llamada(), S_OK);
        EXPECT_TRUE(sink->EsperarEnd(nEnds, kEspera));
        EsperarFinDelHilo();
        return sink->Resumen();
    }

    // The worker ends right after its End; the object's IsActive says when.
    void EsperarFinDelHilo()
    {
        for (int i = 0; i < 20000; ++i)
        {
            LONG bActive = 1;
            obj->IsActive(&bActive);
            if (!bActive)
                return;
            Sleep(1);
        }
        ADD_FAILURE() << "the worker did not end";
    }

    static std::string LogPath()
    {
        return kittest::TempLogPath("DaxModem.txt");
    }

    // This test's lines of the module's log.
    std::vector<std::string> Log() const
    {
        const std::optional<std::string> log = pcfile::Read(LogPath());
        if (!log)
            return {"<missing>"};
        return kittest::TraceMessages(log->substr(std::min(logInicio, log->size())));
    }

    // Whether the log holds these lines in this order (others may come between).
    ::testing::AssertionResult LogEnOrden(const std::vector<std::string> &esperadas) const
    {
        const std::vector<std::string> log = Log();
        size_t i = 0;
        for (const std::string &line : log)
            if (i < esperadas.size() && line == esperadas[i])
                ++i;
        if (i == esperadas.size())
            return ::testing::AssertionSuccess();
        std::string all;
        for (const std::string &line : log)
            all += "\n  " + line;
        return ::testing::AssertionFailure() << "missing \"" << esperadas[i] << "\" in" << all;
    }

    std::string dir;
    std::string state;
    size_t logInicio = 0;
#ifndef _WIN32
    std::unique_ptr<kitservers::RouterSim> router;
#endif
    kitcom::ComPtr<ISetZyxelConfig> obj;
    kitcom::ComPtr<CZyxelSink> sink;
    kitcom::ComPtr<IConnectionPointContainer> container;
    kitcom::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
};

TEST_F(SetZyxelConfigTest, RegistersAsAControlWithItsTypeLibrary)
{
    const std::string clsid = "CLSID\\{29F199D2-63E3-11D6-9BEC-00C04F1F2D46}";
    EXPECT_EQ(Registro(HKEY_CLASSES_ROOT, clsid + "\\ProgID"), "DaxModem.SetZyxelConfig.1");
    EXPECT_EQ(Registro(HKEY_CLASSES_ROOT, clsid + "\\VersionIndependentProgID"), "DaxModem.SetZyxelConfig");
    EXPECT_EQ(Registro(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Registro(HKEY_CLASSES_ROOT, clsid + "\\MiscStatus\\1"), "132497");
    EXPECT_NE(Registro(HKEY_CLASSES_ROOT, clsid + "\\ToolboxBitmap32").find(", 104"), std::string::npos);
    for (const char *key : {"\\Control", "\\Insertable", "\\Programmable"})
    {
        HKEY h;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, (clsid + key).c_str(), 0, KEY_READ, &h), ERROR_SUCCESS)
            << key;
        RegCloseKey(h);
    }
    EXPECT_EQ(Registro(HKEY_CLASSES_ROOT, "TypeLib\\{29F199C1-63E3-11D6-9BEC-00C04F1F2D46}\\1.0"),
              "DaxModem 1.0 Type Library");
    EXPECT_EQ(Registro(HKEY_CLASSES_ROOT, "Interface\\{29F199D1-63E3-11D6-9BEC-00C04F1F2D46}"),
              "ISetZyxelConfig");
    EXPECT_EQ(Registro(HKEY_CLASSES_ROOT, "Interface\\{29F199D3-63E3-11D6-9BEC-00C04F1F2D46}"),
              "_ISetZyxelConfigEvents");
}

// What the object does without a worker and without a router.
TEST_F(SetZyxelConfigTest, MethodsWithoutAWorker)
{
    LONG bActive = 7;
    EXPECT_EQ(obj->IsActive(&bActive), S_OK);
    EXPECT_EQ(bActive, 0);

    // Only a router parameter object is taken.
    EXPECT_EQ(obj->SetModemConfig(nullptr), S_FALSE);
    EXPECT_EQ(obj->SetModemConfig(sink->GetUnknown()), S_FALSE);
    RouterParamPtr param;
    ASSERT_EQ(param.CreateInstance(), S_OK);
    LlenarMonopuestoEstatico(param);
    EXPECT_EQ(obj->SetModemConfig(param.Get()), S_OK);

    // GetModemConfig hands out a copy of its own.
    kitcom::ComPtr<IUnknown> copia;
    ASSERT_EQ(obj->GetModemConfig(&copia), S_OK);
    RouterParamPtr leido;
    ASSERT_EQ(leido.QueryFrom(copia.Get()), S_OK);
    EXPECT_NE(static_cast<IUnknown *>(leido.Get()), static_cast<IUnknown *>(param.Get()));
    EXPECT_EQ(leido.GetWan(), (TextPair{"10.0.0.5", "255.0.0.0"}));
    EXPECT_EQ(leido.GetDhcp(), (TextPair{"80.58.1.10", "1"}));
    leido.SetWan("1.2.3.4", "255.255.255.255");
    ASSERT_EQ(obj->GetModemConfig(&copia), S_OK);
    ASSERT_EQ(leido.QueryFrom(copia.Get()), S_OK);
    EXPECT_EQ(leido.GetWan(), (TextPair{"10.0.0.5", "255.0.0.0"}));
    EXPECT_EQ(obj->GetModemConfig(nullptr), E_POINTER);

    // Stop with no worker ever started still reports the cancellation.
    EXPECT_EQ(obj->Stop(1000), S_OK);
    EXPECT_EQ(sink->Resumen(), "End(1,msg2)");

    // Through IDispatch, by the documented dispatch ids.
    kitcom::ComPtr<IDispatch> disp;
    ASSERT_EQ(obj->QueryInterface(IID_IDispatch, disp.PutVoid()), S_OK);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BYREF | VT_I4;
    bActive = 7;
    arg.plVal = &bActive;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(disp->Invoke(DISPID_SETZYXEL_ISACTIVE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                           nullptr),
              S_OK);
    EXPECT_EQ(bActive, 0);
}

// The object's router address: only a dotted address is kept; anything else empties it.
TEST_F(SetZyxelConfigTest, ModemAddressAndPassword)
{
    ArrancarRouter();
    EXPECT_EQ(Subir(kRouter), "Start(0,msg1) End(0,msg1)");

    // A trailing blank makes the address unusable: the run cannot connect.
    EXPECT_EQ(obj->SetModemCurIp(kitcom::BStr(std::string(kRouter) + " ").Get()), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(1,msg3)");

    // A wrong password is a refused login; the router's own one works again.
    EXPECT_EQ(obj->SetModemCurIp(kitcom::BStr(kRouter).Get()), S_OK);
    EXPECT_EQ(obj->SetPassword(kitcom::BStr("0000").Get()), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(1,msg5)");
    EXPECT_EQ(obj->SetPassword(kitcom::BStr("5807").Get()), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");
}

TEST_F(SetZyxelConfigTest, UploadConfiguresTheRouter)
{
    ArrancarRouter();
    EXPECT_EQ(Subir(), "Start(0,msg1) End(0,msg1)");

    // The router runs with what the template and the object say (masks as prefix lengths).
    const std::string settings = Mostrar();
    for (const char *esperado : {"40000013 = 10.0.0.5", "40000015 = 8", "30200008 = 80.58.1.1",
                                 "30200009 = 24", "30200002 = 80.58.1.10", "30200003 = 1",
                                 "30200004 = 80.58.0.33", "30200005 = 80.58.32.97", "40000011 = 0"})
        EXPECT_NE(settings.find(std::string(esperado) + "\n"), std::string::npos) << esperado << " not in\n"
                                                                                  << settings;

    // "config.dat" is gone after the upload; the template stays.
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));
    EXPECT_TRUE(pcfile::Exists(Path("643.cfg")));
    EXPECT_TRUE(LogEnOrden({
        "Init LanzarHiloTransfer",
        "Init SetFTPWorkerThread",
        "SetFTPWorkerThread: configurando",
        "SetFTPWorkerThread: subiendo config",
        "SetFTPWorkerThread: lista de puertos creada",
        "SetFTPWorkerThread: fichero cfg creado",
        "SetFTPWorkerThread: rutas fijadas",
        std::string("SetFTPWorkerThread: transfiriendo a %s. [") + kRouter + "]",
        "SetFTPWorkerThread: transferencia de fichero: %s [" + Path("config.dat") + "]",
        "SetFTPWorkerThread: cerrando conexion",
        "Fin SetFTPWorkerThread",
    }));
}

#ifndef _WIN32 // a server mapped into the PC's virtual network
// The bytes the server receives are the generated file, which DEBUG_ADSL keeps. CreateConfigFile
// writes those very bytes beforehand without sending anything, touching neither the upload's own
// file nor the template.
TEST_F(SetZyxelConfigTest, UploadSendsTheGeneratedFileAsIs)
{
    if (!kitservers::HasPyftpdlib())
        GTEST_SKIP() << "python3-pyftpdlib is not installed";
    const std::string root = kittest::MachineDir() + "/ftproot";
    std::filesystem::create_directories(root);
    kitservers::PyFtpd server(root);
    ASSERT_TRUE(server.Started());
    kitservers::MapRouter(kittest::MachineDir(), server.Port());
    SetEnvironmentVariableA("DEBUG_ADSL", "1");

    Preparar();
    EXPECT_EQ(obj->CreateConfigFile(kitcom::BStr("").Get()), E_INVALIDARG);
    EXPECT_EQ(obj->CreateConfigFile(kitcom::BStr(Path("previa.cfg").c_str()).Get()), S_OK);
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));
    EXPECT_FALSE(std::filesystem::exists(root + "/rom-t"));
    EXPECT_TRUE(LogEnOrden({"CreateConfigFile: %s [" + Path("previa.cfg") + "]",
                            "SetFTPWorkerThread: fichero cfg creado", "SetFTPWorkerThread: rutas fijadas"}));

    EXPECT_EQ(Subir(), "Start(0,msg1) End(0,msg1)");
    ASSERT_TRUE(pcfile::Exists(Path("config.dat")));
    const std::string generado = pcfile::Read(Path("config.dat"), "<missing>");
    EXPECT_EQ(kittest::ReadHostFile(root + "/rom-t"), generado);
    EXPECT_EQ(pcfile::Read(Path("previa.cfg"), "<missing>"), generado);
    EXPECT_NE(generado.find("10.0.0.5"), std::string::npos);
    EXPECT_EQ(generado.find("<<"), std::string::npos) << "a token was left in the file";
}
#endif

TEST_F(SetZyxelConfigTest, CreateConfigFileWaitsForTheRunToEnd)
{
    ArrancarRouter({"--fault", "silent"});
    Preparar();
    ASSERT_EQ(obj->Start(), S_OK);
    EXPECT_EQ(obj->CreateConfigFile(kitcom::BStr(Path("previa.cfg").c_str()).Get()),
              HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_FALSE(pcfile::Exists(Path("previa.cfg")));
    EXPECT_EQ(obj->Stop(10000), S_OK);
    EXPECT_TRUE(sink->EsperarEnd(2, kEspera));
}

#ifndef _WIN32 // a server mapped into the PC's virtual network
// The direction follows the get mode for a firmware too; what comes down is kept as it came.
TEST_F(SetZyxelConfigTest, FirmwareDownloadStaysAsItCame)
{
    if (!kitservers::HasPyftpdlib())
        GTEST_SKIP() << "python3-pyftpdlib is not installed";
    const std::string root = kittest::MachineDir() + "/ftproot";
    std::filesystem::create_directories(root);
    const std::string firmware = "30200008 = 10.9.9.9\n1500000 = 80\n"; // reads like a configuration
    kittest::WriteHostFile(root + "/ras", firmware);
    kitservers::PyFtpd server(root);
    ASSERT_TRUE(server.Started());
    kitservers::MapRouter(kittest::MachineDir(), server.Port());
    ASSERT_EQ(obj->SetModemCurIp(kitcom::BStr("192.168.1.1").Get()), S_OK);
    ASSERT_EQ(obj->SetTransferMode(1), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->UpdateFw(kitcom::BStr(Path("ras.bin")).Get()); }),
              "Start(0,msg1) End(0,msg1)");
    EXPECT_EQ(pcfile::Read(Path("ras.bin"), "<missing>"), firmware);
    EXPECT_FALSE(LogEnOrden({"Init LeerConfig812"}));
}
#endif

// A download fills the object, keeps "643get.cfg", and the next upload starts from it.
TEST_F(SetZyxelConfigTest, DownloadReadsTheRouterAndBecomesTheTemplate)
{
    ArrancarRouter();
    EXPECT_EQ(Subir(), "Start(0,msg1) End(0,msg1)");

    // A fresh object knows nothing until it downloads.
    obj.Reset();
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(OLESTR("DaxModem.SetZyxelConfig.1"), &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ISetZyxelConfig, obj.PutVoid()), S_OK);
    ASSERT_EQ(obj->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(DIID__ISetZyxelConfigEvents, &point), S_OK);
    ASSERT_EQ(point->Advise(sink->GetUnknown(), &cookie), S_OK);
    ASSERT_EQ(obj->SetModemCurIp(kitcom::BStr(kRouter).Get()), S_OK);
    ASSERT_EQ(obj->SetTransferMode(1), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");
    EXPECT_TRUE(
        LogEnOrden({"SetFTPWorkerThread: bajando config",
                    "SetFTPWorkerThread: transferencia de fichero: %s [" + Path("643get.cfg") + "]"}));

    kitcom::ComPtr<IUnknown> copia;
    ASSERT_EQ(obj->GetModemConfig(&copia), S_OK);
    RouterParamPtr leido;
    ASSERT_EQ(leido.QueryFrom(copia.Get()), S_OK);
    // The router's masks come back as it keeps them: prefix lengths.
    EXPECT_EQ(leido.GetWan(), (TextPair{"10.0.0.5", "8"}));
    EXPECT_EQ(leido.GetLan(), (TextPair{"80.58.1.1", "24"}));
    EXPECT_EQ(leido.GetDns(), (TextPair{"80.58.0.33", "80.58.32.97"}));
    EXPECT_EQ(leido.GetDhcp(), (TextPair{"80.58.1.10", "80.58.1.11"}));
    EXPECT_EQ(leido.GetNat(), 0);
    ASSERT_TRUE(pcfile::Exists(Path("643get.cfg")));

    // The run set the mode back: the next Start uploads, from the downloaded file.
    const std::string marca = "99999999 = marca del fichero bajado\n";
    ASSERT_TRUE(pcfile::Write(Path("643get.cfg"), pcfile::Read(Path("643get.cfg"), "<missing>") + marca));
    SetEnvironmentVariableA("DEBUG_ADSL", "1");
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");
    EXPECT_NE(pcfile::Read(Path("config.dat"), "<missing>").find(marca), std::string::npos);
}

// A backup file moves the router's "rom-t" as it is: down byte for byte (the object still
// learns the settings), back up unchanged; every run forgets it.
TEST_F(SetZyxelConfigTest, BackupFileKeepsTheRouterConfigurationAndPutsItBack)
{
    ArrancarRouter();
    EXPECT_EQ(Subir(), "Start(0,msg1) End(0,msg1)");
    const std::string antes = kittest::ReadHostFile(state + "/settings.txt");
    ASSERT_NE(antes.find("40000013 = 10.0.0.5\r\n"), std::string::npos) << antes;

    const std::string copia = Path("copia.cfg");
    ASSERT_EQ(obj->SetBackupFile(kitcom::BStr(copia).Get()), S_OK);
    ASSERT_EQ(obj->SetTransferMode(1), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");
    EXPECT_EQ(pcfile::Read(copia, "<missing>"), antes);
    EXPECT_FALSE(pcfile::Exists(Path("643get.cfg"))) << "a backup is no template";
    kitcom::ComPtr<IUnknown> leido;
    ASSERT_EQ(obj->GetModemConfig(&leido), S_OK);
    RouterParamPtr param;
    ASSERT_EQ(param.QueryFrom(leido.Get()), S_OK);
    EXPECT_EQ(param.GetWan(), (TextPair{"10.0.0.5", "8"}));
    EXPECT_TRUE(LogEnOrden({"CSetZyxelConfig::SetBackupFile [" + copia + "]",
                            "SetFTPWorkerThread: bajando copia de config [" + copia + "]",
                            "SetFTPWorkerThread: transferencia de fichero: %s [" + copia + "]",
                            "Init LeerAjustes812", "Fin LeerAjustes812", "Fin SetFTPWorkerThread"}));
    EXPECT_FALSE(LogEnOrden({"Init LeerConfig812"}));

    // The run forgot the backup: the next upload is generated from the template again.
    RouterParamPtr otra;
    ASSERT_EQ(otra.CreateInstance(), S_OK);
    LlenarMonopuestoEstatico(otra);
    otra.SetWan("10.1.2.3", "255.255.0.0");
    EXPECT_EQ(obj->SetModemConfig(otra.Get()), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");
    ASSERT_NE(Mostrar().find("40000013 = 10.1.2.3\n"), std::string::npos);

    // Up as it is, through the dispatch id the type library gives it; the backup stays.
    kitcom::ComPtr<IDispatch> disp;
    ASSERT_EQ(obj->QueryInterface(IID_IDispatch, disp.PutVoid()), S_OK);
    kitcom::BStr texto(copia);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = texto.Get();
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    ASSERT_EQ(disp->Invoke(DISPID_SETZYXEL_SETBACKUPFILE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                           nullptr, nullptr),
              S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");
    EXPECT_EQ(kittest::ReadHostFile(state + "/settings.txt"), antes);
    EXPECT_EQ(pcfile::Read(copia, "<missing>"), antes);
    EXPECT_TRUE(LogEnOrden({"SetFTPWorkerThread: subiendo copia de config [" + copia + "]",
                            "SetFTPWorkerThread: transferencia de fichero: %s [" + copia + "]"}));
}

// A backup that is not there sends nothing; an empty name is no backup.
TEST_F(SetZyxelConfigTest, BackupFileMissingOrEmpty)
{
    ArrancarRouter();
    EXPECT_EQ(Subir(), "Start(0,msg1) End(0,msg1)");
    const std::string antes = kittest::ReadHostFile(state + "/settings.txt");
    ASSERT_EQ(obj->SetBackupFile(kitcom::BStr(Path("falta.cfg")).Get()), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(1,msg4)");
    EXPECT_TRUE(LogEnOrden({"SetFTPWorkerThread: no existe la copia de config", "Fin SetFTPWorkerThread"}));
    EXPECT_EQ(kittest::ReadHostFile(state + "/settings.txt"), antes);

    ASSERT_EQ(obj->SetBackupFile(kitcom::BStr(Path("falta.cfg")).Get()), S_OK);
    ASSERT_EQ(obj->SetBackupFile(kitcom::BStr("").Get()), S_OK);
    ASSERT_EQ(obj->SetTransferMode(1), S_OK);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");
    EXPECT_TRUE(pcfile::Exists(Path("643get.cfg")));
    EXPECT_FALSE(pcfile::Exists(Path("falta.cfg")));
}

TEST_F(SetZyxelConfigTest, FirmwareProgressAndKeptFile)
{
    ArrancarRouter();
    const std::string firmware = Path("ras.bin");
    std::string bytes(512 * 1024, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 131) >> 3);
    ASSERT_TRUE(pcfile::Write(firmware, bytes));
    ASSERT_EQ(obj->SetModemCurIp(kitcom::BStr(kRouter).Get()), S_OK);

    EXPECT_EQ(Ejecutar([&] { return obj->UpdateFw(kitcom::BStr(firmware).Get()); }),
              "Start(0,msg1) End(0,msg1)");
    EXPECT_EQ(kittest::ReadHostFile(state + "/firmware.bin"), bytes);
    EXPECT_TRUE(pcfile::Exists(firmware));
    EXPECT_TRUE(LogEnOrden({"SetFTPWorkerThread: actualizando firmware"}));

    // The totals only grow, on the worker's thread, and reach the file's size.
    long long anterior = 0;
    size_t progresos = 0;
    for (const CZyxelSink::Evento &evento : sink->Eventos())
    {
        if (evento.strNombre != "ProgressDone")
            continue;
        const long long total = std::atoll(evento.strTexto.c_str());
        EXPECT_GE(total, anterior);
        EXPECT_NE(evento.dwThread, GetCurrentThreadId());
        anterior = total;
        ++progresos;
    }
    EXPECT_GT(progresos, 1u);
    EXPECT_GE(anterior, static_cast<long long>(bytes.size()));
}

TEST_F(SetZyxelConfigTest, CheckAccessFindsTheRouter)
{
    ArrancarRouter();
    // Nothing answers at the first; a text that is no address is not tried.
    const std::string lista = std::string(kNadie) + ",router," + kRouter;
    EXPECT_EQ(Ejecutar([&] { return obj->CheckAccess(kitcom::BStr(lista).Get()); }),
              "Start(0,msg1) End(0,msg1)");
    EXPECT_TRUE(LogEnOrden({
        "Init CSetZyxelConfig::CheckAccess",
        "Init ThreadComprobarAcceso",
        std::string("Intentando conectar a [") + kNadie + "]",
        "peticion completada",
        "Intentando conectar a [router]",
        std::string("Intentando conectar a [") + kRouter + "]",
        std::string("Conectado a [") + kRouter + "]",
        "ThreadComprobarAcceso, recibi mensaje de cierre de handle",
        "Fin ThreadComprobarAcceso",
    }));
    // The address found is the one the next run uses.
    Preparar(nullptr);
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(0,msg1)");

    // None answering; an empty list is one empty candidate.
    EXPECT_EQ(
        Ejecutar([&] { return obj->CheckAccess(kitcom::BStr(std::string(kNadie) + "," + kNadie2).Get()); }),
        "Start(0,msg1) End(1,msg3)");
    EXPECT_EQ(Ejecutar([&] { return obj->CheckAccess(kitcom::BStr("").Get()); }),
              "Start(0,msg1) End(1,msg3)");
    // The failed check emptied the router's address.
    EXPECT_EQ(Ejecutar([&] { return obj->Start(); }), "Start(0,msg1) End(1,msg3)");
}

TEST_F(SetZyxelConfigTest, FailuresAndTheirTexts)
{
    // Nothing at the address: the connection fails.
    EXPECT_EQ(Subir(kNadie), "Start(0,msg1) End(1,msg3)");
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));

    ArrancarRouter({"--fault", "refuse-login"});
    EXPECT_EQ(Subir(), "Start(0,msg1) End(1,msg5)");
    EXPECT_TRUE(LogEnOrden({"SetFTPWorkerThread: cancelando apertura [Error: 12014]"}));

    // The data connection dropped in the middle of a firmware.
    Fallar("drop-data");
    const std::string firmware = Path("ras.bin");
    ASSERT_TRUE(pcfile::Write(firmware, std::string(4 << 20, 'f')));
    EXPECT_EQ(Ejecutar([&] { return obj->UpdateFw(kitcom::BStr(firmware).Get()); }),
              "Start(0,msg1) End(1,msg4)");
    EXPECT_TRUE(LogEnOrden({"SetFTPWorkerThread: Tx erronea [Error: 12111]"}) ||
                LogEnOrden({"SetFTPWorkerThread: Tx erronea [Error: 12003]"}));

    // Without a template nothing is sent and the router keeps what it had.
    Fallar("none");
    const std::string antes = Mostrar();
    ASSERT_TRUE(DeleteFileA(Path("643.cfg").c_str()));
    EXPECT_EQ(Subir(), "Start(0,msg1) End(1,msg4)");
    EXPECT_EQ(Mostrar(), antes);
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));
}

// A router that takes the connection and never answers holds the worker in its open phase.
TEST_F(SetZyxelConfigTest, WhileAWorkerRuns)
{
    ArrancarRouter({"--fault", "silent"});
    Preparar();
    ASSERT_EQ(obj->Start(), S_OK);
    EXPECT_EQ(sink->Resumen(), "Start(0,msg1)");

    LONG bActive = 0;
    EXPECT_EQ(obj->IsActive(&bActive), S_FALSE);
    EXPECT_EQ(bActive, 1);
    // No second worker, no event.
    EXPECT_EQ(obj->Start(), S_OK);
    EXPECT_EQ(obj->CheckAccess(kitcom::BStr(kRouter).Get()), S_OK);
    EXPECT_EQ(obj->UpdateFw(kitcom::BStr("nada").Get()), S_OK);
    EXPECT_EQ(sink->Resumen(), "Start(0,msg1)");
    IUnknown *intacto = reinterpret_cast<IUnknown *>(0x1234);
    EXPECT_EQ(obj->GetModemConfig(&intacto), S_FALSE);
    EXPECT_EQ(intacto, reinterpret_cast<IUnknown *>(0x1234));
    EXPECT_TRUE(LogEnOrden({"LanzarHiloTransfer. Hilo Activo"}));

    // Stop: the worker's End and Stop's own.
    EXPECT_EQ(obj->Stop(10000), S_OK);
    EXPECT_TRUE(sink->EsperarEnd(2, kEspera));
    EXPECT_EQ(sink->Resumen(), "Start(0,msg1) End(1,msg2) End(1,msg2)");
    EXPECT_EQ(obj->IsActive(&bActive), S_OK);
    EXPECT_EQ(bActive, 0);
    EXPECT_TRUE(LogEnOrden({"SetFTPWorkerThread: cancelando apertura"}));
    EXPECT_FALSE(pcfile::Exists(Path("config.dat")));
}

// The client lets go of the object in the middle of a run: the run ends as it would have.
TEST_F(SetZyxelConfigTest, ReleasedDuringARun)
{
    ArrancarRouter({"--fault", "slow", "--delay", "50"});
    Preparar();
    ASSERT_EQ(obj->Start(), S_OK);
    obj.Reset();
    container.Reset();
    point.Reset();
    EXPECT_TRUE(sink->EsperarEnd(1, kEspera));
    EXPECT_EQ(sink->Resumen(), "Start(0,msg1) End(0,msg1)");
    // The library goes once its worker has left it.
    for (int i = 0; i < 20000 && GetModuleHandleA("DaxModem.dll"); ++i)
    {
        CoFreeUnusedLibraries();
        Sleep(1);
    }
    EXPECT_EQ(GetModuleHandleA("DaxModem.dll"), nullptr);
}

// Stop(0) does not wait: the worker is terminated and gives back its connection as it goes.
// The terminated thread never gives back its reference to the library, which then stays loaded
// for the rest of the process: this runs after the test of the library's unloading.
TEST_F(SetZyxelConfigTest, StopWithoutWaitingTerminatesTheWorker)
{
    ArrancarRouter({"--fault", "silent"});
    Preparar();
    ASSERT_EQ(obj->Start(), S_OK);
    EXPECT_EQ(obj->Stop(0), S_OK);
    EXPECT_TRUE(sink->EsperarEnd(1, kEspera));
    EsperarFinDelHilo();
    // Stop's own End; the worker's, when it saw the abort before it was ended.
    const std::string resumen = sink->Resumen();
    EXPECT_TRUE(resumen == "Start(0,msg1) End(1,msg2)" || resumen == "Start(0,msg1) End(1,msg2) End(1,msg2)")
        << resumen;

    // The object is whole: the next run starts and is stopped the usual way.
    sink->Olvidar();
    ASSERT_EQ(obj->Start(), S_OK);
    EXPECT_EQ(obj->Stop(10000), S_OK);
    EXPECT_TRUE(sink->EsperarEnd(2, kEspera));
    EXPECT_EQ(sink->Resumen(), "Start(0,msg1) End(1,msg2) End(1,msg2)");
}
#ifndef _WIN32 // the client dials addresses of the PC's virtual network
// The command-line client, as a person runs it: the folder must exist, results come with their
// meaning, and an upload says which template it fills.
TEST_F(SetZyxelConfigTest, ClientSaysWhatItUsesAndWhatResultsMean)
{
    std::string output;
    const std::string missing = kittest::MachineDir() + "/no-such-folder";
    EXPECT_EQ(kittest::Run("zyxelclient", {"--dir", missing, "upload"}, &output), 2);
    EXPECT_NE(output.find("no existe"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(output.find("Start"), std::string::npos) << output; // nothing ran

    EXPECT_EQ(kittest::Run("zyxelclient", {"--dir", dir, "check", "10.0.0.5"}, &output), 1);
    EXPECT_NE(output.find("End(1, \"msg3\")  msg3: sin conexi"), std::string::npos) << output;

    ArrancarRouter();
    EXPECT_EQ(
        kittest::Run("zyxelclient",
                     {"--dir", dir, "--ip", "192.168.1.1", "--nat", "0", "upload", "download", "upload"},
                     &output),
        0)
        << output;
    const size_t first = output.find("plantilla: " + Path("643.cfg") + "\n");
    const size_t second = output.find("plantilla: " + Path("643get.cfg") + " (la configuraci");
    EXPECT_NE(first, std::string::npos) << output;
    EXPECT_NE(second, std::string::npos) << output;
    EXPECT_LT(first, second);
    EXPECT_NE(output.find("End(0, \"msg1\")  msg1: correcto"), std::string::npos) << output;

    EXPECT_EQ(kittest::Run("zyxelclient", {"--help"}, &output), 0);
    EXPECT_NE(output.find("usage: zyxelclient"), std::string::npos) << output;
}
#endif
} // namespace
