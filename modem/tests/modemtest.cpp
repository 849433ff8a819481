// Support of the configuration file tests.
#include "modem/tests/modemtest.h"

#include "platform/kit/kitmachine.h"
#include "testing/kittest.h"
#include "testing/pcfile.h"

#include <regex>

namespace modemtest
{
std::string DataPath(const char *name)
{
    return std::string(KIT_DATA_DIR "/") + name;
}

std::vector<std::string> LogMessages(const std::string &content)
{
    static const std::regex kTraceLine(R"(\d\d/\d\d/\d{4} a las \d\d:\d\d:\d\d\(\d{3}\) -- (.*))");
    std::vector<std::string> messages;
    size_t start = 0;
    for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2)
    {
        const std::string line = content.substr(start, end - start);
        std::smatch match;
        if (line.empty())
            continue;
        if (!std::regex_match(line, match, kTraceLine))
            messages.push_back("<not a trace line: " + line + ">");
        else if (match[1].str().find("NUEVA EJECUCION DEL LOG") == std::string::npos)
            messages.push_back(match[1].str());
    }
    return messages;
}
} // namespace modemtest

void ModemConfigTest::SetUp()
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    std::string output;
    ASSERT_EQ(kittest::Run("regsvr32", {"/s", "DaxParam.dll"}, &output), 0) << output;
    ASSERT_EQ(param.CreateInstance(), S_OK);

    dir = kitpc::PathOf("program_files/Dax");
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));

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
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return modemtest::LogMessages(pcfile::Read(std::string(temp) + "DaxModem.txt", "<missing>"));
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
