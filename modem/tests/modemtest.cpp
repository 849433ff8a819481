// Support of the configuration file tests.
#include "modem/tests/modemtest.h"

#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "testing/kittest.h"
#include "testing/pcfile.h"
#include "testing/tracelog.h"

namespace modemtest
{
std::string DataPath(const char *name)
{
#ifdef _WIN32
    return std::string("Z:" KIT_DATA_DIR "/") + name; // Wine's Z: is the host's root
#else
    return std::string(KIT_DATA_DIR "/") + name;
#endif
}

} // namespace modemtest

void ModemConfigTest::SetUp()
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
#ifdef _WIN32
    ASSERT_TRUE(kittest::RegisterServer("DaxParam.dll"));
    dir = kittest::MachineDir() + "\\Dax";
#else
    std::string output;
    ASSERT_EQ(kittest::Run("regsvr32", {"/s", "DaxParam.dll"}, &output), 0) << output;
    dir = kitpc::PathOf("program_files/Dax");
#endif
    ASSERT_EQ(param.CreateInstance(), S_OK);

    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));

    // The log lives in the PC's temporary folder, which a real PC shares between tests.
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    DeleteFileA((std::string(temp) + "DaxModem.txt").c_str());
    log.SetFileName("DaxModem.txt");
    log.SetAlwaysOn(1);
    ASSERT_EQ(log.Open(), S_OK);
    config = std::make_unique<CModemConfig>(param.Get(), log);
}

void ModemConfigTest::TearDown()
{
    config.reset();
    param.Release();
    log.Close();
    SetCurrentDirectoryA("/");
    CoFreeUnusedLibraries();
    CoUninitialize();
}

std::string ModemConfigTest::Path(const char *name) const
{
    return dir + "\\" + name;
}

std::vector<std::string> ModemConfigTest::Log() const
{
    return kittest::TempTraceMessages("DaxModem.txt");
}

void ModemConfigTest::FillMultipuesto()
{
    param.SetLan("192.168.1.1", "255.255.255.0");
    param.SetWan("192.0.2.10", "255.255.255.248");
    param.SetDhcp("192.168.1.33", "32");
    param.SetDns("194.179.1.100", "194.179.1.101");
    param.SetNat(1);
    param.SetBridge(0);
    param.SetEncap(0);
    param.SetUser("usuario@proveedor", "clave");
    param.SetPorts("Default,192.168.1.33,80,192.168.1.34,21,192.168.1.35");
}
