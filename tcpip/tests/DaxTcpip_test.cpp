// The TCP/IP module through COM, as the wizard uses it, on PCs laid out by the machine program:
// the adapter lists, reading, writing straight and deferred, the DHCP client service, and the
// protection between objects and processes.
#include "common/param/TcpipParamPtr.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "tcpip/client/TcpipJob.h"
#include "testing/kittest.h"
#include "testing/regsvr32.h"
#include "testing/pcfile.h"
#include "testing/registry.h"
#include "testing/tracelog.h"
#include "tools/machine/tests/program.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Strings = std::vector<std::string>;

constexpr DWORD kRunMs = 10000;
constexpr char kRealtek[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
constexpr char kIntel[] = "Intel(R) PRO/100 VE Network Connection";
constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

class DaxTcpipTest : public testing::Test
{
  protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitialize(nullptr)); }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    // A fresh PC of the family with the adapters the options describe, the servers registered.
    void MakePc(const char *os, const Strings &nics)
    {
        Strings args = {"create", "--os", os, "--dir", kittest::MachineDir(), "--force"};
        args.insert(args.end(), nics.begin(), nics.end());
        toolstest::ProgramResult made = toolstest::RunProgram("machine", args);
        ASSERT_EQ(0, made.exitCode) << made.err;
        kitreg::CloseRegistry();
        for (const char *server : {"DaxParam.dll", "DaxTcpip.dll"})
        {
            std::string output;
            ASSERT_EQ(0, kittest::Regsvr32({"/s", server}, &output)) << output;
        }
    }

    // The display names of a list after a run of CheckNics2.
    static Strings Names(CheckNicsJob &job)
    {
        Strings names;
        LONG count = 0;
        EXPECT_EQ(S_OK, job->GetNumNics(&count));
        for (LONG i = 1; i <= count; ++i)
        {
            kitcom::BStr name;
            EXPECT_EQ(S_OK, job->GetNicName(i, &name));
            names.push_back(name.Narrow());
        }
        return names;
    }

    // The events heard, Start events first: the worker may end before Start has fired its
    // "14", so only the order of the worker's own events is fixed.
    template <class Job> static std::string Summary(Job &job)
    {
        auto events = job.Events().Eventos();
        std::stable_partition(events.begin(), events.end(),
                              [](const auto &e) { return e.strNombre == "Start"; });
        std::string text;
        for (const auto &e : events)
            text += (text.empty() ? "" : " ") + e.strNombre + "(" +
                    (e.strNombre == "ProgressDone" ? "" : std::to_string(e.bOk) + ",") + e.strTexto + ")";
        return text;
    }

    // A TcpipParam with a static configuration, its groups marked as changed.
    static TcpipParamPtr StaticSettings()
    {
        TcpipParamPtr param;
        EXPECT_EQ(S_OK, param.CreateInstance());
        param.AddIP("10.0.0.1", "255.0.0.0");
        param.AddIP("10.0.0.2", "255.0.0.0");
        param.AddGateway("10.0.0.254");
        param.AddDns("80.58.0.33");
        param.AddDns("80.58.32.97");
        param.PutDnsEnable(1);
        for (LONG group : {TCPIP_GROUP_IP, TCPIP_GROUP_GATEWAY, TCPIP_GROUP_DNS})
            param.SetModified(group, 1);
        return param;
    }

    static std::string FirstInterfaceKey()
    {
        HKEY key = nullptr;
        std::string name;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(kInterfaces).c_str(), 0, KEY_READ, &key) ==
            ERROR_SUCCESS)
        {
            char sz[MAX_PATH] = "";
            DWORD size = sizeof sz;
            if (RegEnumKeyExA(key, 0, sz, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
                name = sz;
            RegCloseKey(key);
        }
        return name;
    }
};

std::string Display(int n, const char *description)
{
    return "{" + std::to_string(n) + "} " + description;
}
} // namespace

// --- CheckNics2 ---------------------------------------------------------------------------------

TEST_F(DaxTcpipTest, XpListsNumberOnlyPresentCardsAndBindingDecidesTheEnabledList)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp", "--nic", kIntel, "--disabled", "--nic", kRealtek, "--ip",
                  "192.168.1.33/255.255.255.0", "--nic", kIntel, "--hidden", "--nic", kIntel, "--ip",
                  "10.1.1.1/255.0.0.0", "--unbound"});
    CheckNicsJob job(PROGID_CHECKNICS2);
    ASSERT_TRUE(job);
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);

    // The disabled card takes no number, the hidden one is not there; two cards share a
    // description and are told apart by their numbers.
    const Strings enabled = {Display(1, kRealtek), Display(2, kRealtek)};
    EXPECT_EQ(enabled, Names(job));
    EXPECT_EQ(S_OK, job->SetNicListToAccess(NIC_LIST_LINKED));
    EXPECT_EQ((Strings{Display(1, kRealtek), Display(2, kRealtek), Display(3, kIntel)}), Names(job));
    EXPECT_EQ(S_OK, job->SetNicListToAccess(NIC_LIST_ALL));
    EXPECT_EQ((Strings{Display(1, kRealtek), Display(2, kRealtek), Display(3, kIntel)}), Names(job));

    // An unknown list changes nothing.
    EXPECT_EQ(S_FALSE, job->SetNicListToAccess(3504));
    EXPECT_EQ(3u, Names(job).size());

    kitcom::BStr name;
    EXPECT_EQ(S_FALSE, job->GetNicName(0, &name));
    EXPECT_EQ(S_FALSE, job->GetNicName(4, &name));
    EXPECT_EQ(S_FALSE, job->GetNicName(1, nullptr));
    EXPECT_EQ(S_FALSE, job->GetNumNics(nullptr));

    LONG exists = 0;
    std::string lower = Display(3, kIntel);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_EQ(S_OK, job->ExistsNic(kitcom::BStr(lower).Get(), &exists));
    EXPECT_EQ(1, exists);
    EXPECT_EQ(S_OK, job->ExistsNic(kitcom::BStr("{9} Nada").Get(), &exists));
    EXPECT_EQ(0, exists);
    EXPECT_EQ(S_FALSE, job->ExistsNic(nullptr, &exists));

    ASSERT_TRUE(job.WaitGone(kRunMs));
    const Strings log = kittest::TempTraceMessages("DaxCheckNic.txt");
    EXPECT_EQ("CCheckNics2::Start -- Comienzo de operación.", log.front());
    for (const char *line :
         {"CCheckNics2::ThreadCheckNics - Info de la NICs recuperada.",
          "CCheckNics2::ThreadCheckNics - Info de las NICs almacenada.",
          "CCheckNics2::ThreadCheckNics - Fin OK de la operación.",
          "CCheckNics2::ExistsNic - NIC localizada.",
          "CCheckNics2::SetNicListToAccess - ERROR al fijar el tipo de lista. Cambio no realizado."})
        EXPECT_NE(log.end(), std::find(log.begin(), log.end(), line)) << line;
    const std::string linked = "NIC añadida a lista de enlazadas [" + Display(3, kIntel) + "]";
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), linked));
}

TEST_F(DaxTcpipTest, NineXNeverListsTheDialUpAdapter)
{
    MakePc("98", {"--nic", kRealtek, "--dhcp"});
    CheckNicsJob job(PROGID_CHECKNICS2);
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);
    EXPECT_EQ(S_OK, job->SetNicListToAccess(NIC_LIST_ALL));
    EXPECT_EQ((Strings{Display(1, kRealtek)}), Names(job));
}

TEST_F(DaxTcpipTest, TcpipIsInstalledOnEveryFamily)
{
    for (const char *os : {"95", "98", "98se", "me", "nt4", "2000", "xp"})
    {
        MakePc(os, {"--nic", kRealtek, "--ip", "192.168.1.33/255.255.255.0"});
        CheckNicsJob job(PROGID_CHECKNICS2);
        ASSERT_TRUE(job) << os;
        LONG installed = 0;
        EXPECT_EQ(S_OK, job->IsTcpipInstalled(&installed)) << os;
        EXPECT_EQ(1, installed) << os;
        EXPECT_EQ(S_FALSE, job->IsTcpipInstalled(nullptr)) << os;
    }
}

// --- GetTcpipConfig2 ----------------------------------------------------------------------------

TEST_F(DaxTcpipTest, XpReadsTheLeaseOfADhcpCard)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp"});
    const std::string key = FirstInterfaceKey();
    ASSERT_FALSE(key.empty());
    GetTcpipJob job(PROGID_GETTCPIPCONFIG2);
    ASSERT_TRUE(job);
    job->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);
    const std::string summary = Summary(job);
    EXPECT_NE(std::string::npos, summary.find("ProgressDone(17) ProgressDone(18) End(1,15)")) << summary;

    kitcom::ComPtr<IUnknown> info;
    ASSERT_EQ(S_OK, job->GetInfoConfig(&info));
    TcpipParamPtr param;
    ASSERT_EQ(S_OK, param.QueryFrom(info.Get()));
    EXPECT_EQ(Display(1, kRealtek), param.GetNicName());
    EXPECT_EQ(key, param.GetRegID());
    EXPECT_EQ("E_NOTIMPL", param.GetHostName());
    EXPECT_EQ("E_NOTIMPL", param.GetDomain());
    EXPECT_EQ(1, param.GetDhcpEnable());
    EXPECT_EQ(1, param.GetBound());
    const std::string interfaceKey = kInterfaces + key;
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, interfaceKey, "DhcpIPAddress").value_or("?"),
              param.GetDhcpIPAddress());
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, interfaceKey, "DhcpServer").value_or("?"),
              param.GetDhcpServer());
    EXPECT_EQ(S_FALSE, job->GetInfoConfig(nullptr));
}

TEST_F(DaxTcpipTest, AnAdapterIsFoundByItsExactName)
{
    MakePc("nt4", {"--nic", kRealtek, "--ip", "192.168.1.33/255.255.255.0", "--gw", "192.168.1.1"});
    {
        GetTcpipJob job(PROGID_GETTCPIPCONFIG2);
        EXPECT_FALSE(job.Run(kRunMs));
        EXPECT_EQ("Start(1,14) End(0,8)", Summary(job)); // SetDevice never called
    }
    std::string upper = Display(1, kRealtek);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return static_cast<char>(std::toupper(c)); });
    GetTcpipJob job(PROGID_GETTCPIPCONFIG2);
    job->SetDevice(kitcom::BStr(upper).Get());
    EXPECT_FALSE(job.Run(kRunMs));
    EXPECT_EQ("Start(1,14) End(0,8)", Summary(job));
    ASSERT_TRUE(job.WaitGone(kRunMs));
    const Strings log = kittest::TempTraceMessages("DaxGetTcpip.txt");
    // Start's own closing line may come before or after the worker's.
    EXPECT_NE(
        log.end(),
        std::find(log.begin(), log.end(),
                  "CGetTcpipConfig2::ThreadGetTcpip - No se ha podido localizar la NIC solicitada. Fin."));

    job->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);
    kitcom::ComPtr<IUnknown> info;
    ASSERT_EQ(S_OK, job->GetInfoConfig(&info));
    TcpipParamPtr param;
    ASSERT_EQ(S_OK, param.QueryFrom(info.Get()));
    ASSERT_EQ(1, param.GetIPCount());
    EXPECT_EQ(TextPair("192.168.1.33", "255.255.255.0"), param.GetIP(1));
    EXPECT_EQ(1, param.GetGatewayCount());
    EXPECT_EQ("192.168.1.1", param.GetGateway(1));
    EXPECT_EQ(0, param.GetDhcpEnable());
    EXPECT_EQ("0.0.0.0", param.GetDhcpIPAddress());
}

// --- SetTcpipConfig2 ----------------------------------------------------------------------------

TEST_F(DaxTcpipTest, XpWritesStraightIntoTheRegistry)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp"});
    const std::string interfaceKey = kInterfaces + FirstInterfaceKey();
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    ASSERT_TRUE(job);
    EXPECT_EQ(S_FALSE, job->SetInfoConfig(nullptr));
    TcpipParamPtr settings = StaticSettings();
    ASSERT_EQ(S_OK, job->SetInfoConfig(settings.Get()));
    job->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);
    EXPECT_EQ("Start(1,14) ProgressDone(19) ProgressDone(20) End(1,15)", Summary(job));

    EXPECT_EQ((Strings{"10.0.0.1", "10.0.0.2"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, interfaceKey, "IPAddress").value_or(Strings{}));
    EXPECT_EQ((Strings{"255.0.0.0", "255.0.0.0"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, interfaceKey, "SubnetMask").value_or(Strings{}));
    EXPECT_EQ(
        (Strings{"10.0.0.254"}),
        kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, interfaceKey, "DefaultGateway").value_or(Strings{}));
    EXPECT_EQ("80.58.0.33,80.58.32.97",
              kittest::ReadRegString(HKEY_LOCAL_MACHINE, interfaceKey, "NameServer").value_or("?"));
    EXPECT_EQ(0u, kittest::ReadRegDword(HKEY_LOCAL_MACHINE, interfaceKey, "EnableDHCP").value_or(9));
    EXPECT_FALSE(pcfile::Read(kitpc::PathOf("temp") + "/TcpChang.reg").has_value());
}

TEST_F(DaxTcpipTest, EnablingDhcpOnNtStartsTheDhcpClientWithWindows)
{
    MakePc("2000", {"--nic", kRealtek, "--ip", "192.168.1.33/255.255.255.0"});
    const char *dhcpService = "SYSTEM\\CurrentControlSet\\Services\\Dhcp";
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, dhcpService, "Start", SERVICE_DEMAND_START);
    TcpipParamPtr settings;
    ASSERT_EQ(S_OK, settings.CreateInstance());
    settings.PutDhcpEnable(1);
    settings.PutDnsEnable(1);
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    ASSERT_EQ(S_OK, job->SetInfoConfig(settings.Get()));
    job->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);
    const std::string interfaceKey = kInterfaces + FirstInterfaceKey();
    EXPECT_EQ(1u, kittest::ReadRegDword(HKEY_LOCAL_MACHINE, interfaceKey, "EnableDHCP").value_or(9));
    EXPECT_EQ((Strings{"0.0.0.0"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, interfaceKey, "IPAddress").value_or(Strings{}));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START),
              kittest::ReadRegDword(HKEY_LOCAL_MACHINE, dhcpService, "Start").value_or(9));
    const Strings log = kittest::TempTraceMessages("DaxSetTcpip.txt");
    EXPECT_NE(log.end(),
              std::find(log.begin(), log.end(), "CSetTcpipConfig2::ThreadSetTcpip - DHCP habilitado."));
}

TEST_F(DaxTcpipTest, DeferredChangesWaitInTheFileUntilTheEditorImportsThem)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp"});
    const std::string interfaceKey = kInterfaces + FirstInterfaceKey();
    const std::string file = kitpc::PathOf("temp") + "/TcpChang.reg";
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    EXPECT_EQ(S_FALSE, job->ExecuteTcpipChanges()); // nothing pending, nothing started
    TcpipParamPtr settings = StaticSettings();
    ASSERT_EQ(S_OK, job->SetInfoConfig(settings.Get()));
    job->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    job->SetChangesDelay(1);
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);

    // The registry is as it was; the file holds the change.
    EXPECT_EQ(1u, kittest::ReadRegDword(HKEY_LOCAL_MACHINE, interfaceKey, "EnableDHCP").value_or(9));
    const std::string text = pcfile::Read(file, "<missing>");
    EXPECT_EQ(0u, text.find("REGEDIT4\r\n\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\" + interfaceKey + "]\r\n")) << text;
    EXPECT_NE(std::string::npos,
              text.find("\"IPAddress\"=hex(7):31,30,2e,30,2e,30,2e,31,00,31,30,2e,30,2e,30,2e,32,00,00\r\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find("\"EnableDHCP\"=dword:00000000\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("\"NameServer\"=\"80.58.0.33,80.58.32.97\"\r\n")) << text;

    ASSERT_EQ(S_OK, job->ExecuteTcpipChanges());
    EXPECT_FALSE(pcfile::Read(file).has_value());
    EXPECT_EQ(0u, kittest::ReadRegDword(HKEY_LOCAL_MACHINE, interfaceKey, "EnableDHCP").value_or(9));
    EXPECT_EQ((Strings{"10.0.0.1", "10.0.0.2"}),
              kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, interfaceKey, "IPAddress").value_or(Strings{}));
    EXPECT_EQ(S_FALSE, job->ExecuteTcpipChanges());
    const Strings log = kittest::TempTraceMessages("DaxSetTcpip.txt");
    for (const char *line :
         {"CSetTcpipConfig2::ThreadSetTcpip - Escritura de los datos del TCP/IP diferida (fichero REG).",
          "CSetTcpipConfig2::ExecuteTcpipChanges - Fichero borrado.",
          "CSetTcpipConfig2::ExecuteTcpipChanges - El fichero no existe. Fin."})
        EXPECT_NE(log.end(), std::find(log.begin(), log.end(), line)) << line;
}

TEST_F(DaxTcpipTest, SettingsThatDoNotValidateAreRefusedAndCleared)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp"});
    TcpipParamPtr settings;
    ASSERT_EQ(S_OK, settings.CreateInstance());
    settings.AddIP("10.0.0.1", "255.0.300.0"); // not a mask
    settings.SetModified(TCPIP_GROUP_IP, 1);
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    EXPECT_EQ(S_FALSE, job->SetInfoConfig(settings.Get()));
    const Strings log = kittest::TempTraceMessages("DaxSetTcpip.txt");
    EXPECT_NE(log.end(),
              std::find(log.begin(), log.end(),
                        "CSetTcpipConfig2::SetInfoConfig - ERROR al validar los datos del TCP/IP copiados."));
}

// --- One job at a time --------------------------------------------------------------------------

TEST_F(DaxTcpipTest, ARunHoldsOffOtherObjectsAndOtherProgramsUntilItEnds)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp"});
    // The first run waits in its sink when it has found the adapter, holding the protection.
    HANDLE found = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE goOn = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetTcpipJob first(PROGID_SETTCPIPCONFIG2);
    first.Events().AlRecibir([&](const SetTcpipJob::Sink::Evento &e) {
        if (e.strNombre == "ProgressDone" && e.strTexto == "19")
        {
            SetEvent(found);
            WaitForSingleObject(goOn, 10000);
        }
    });
    TcpipParamPtr settings = StaticSettings();
    ASSERT_EQ(S_OK, first->SetInfoConfig(settings.Get()));
    first->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    first->SetChangesDelay(1);
    ASSERT_EQ(S_OK, first->Start());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(found, 10000));

    // A second writer in this process would share the write target: it is refused.
    SetTcpipJob second(PROGID_SETTCPIPCONFIG2);
    ASSERT_EQ(S_OK, second->SetInfoConfig(settings.Get()));
    second->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    EXPECT_EQ(S_FALSE, second->Start());
    EXPECT_EQ("Start(0,3)", Summary(second));
    // So is another program.
    std::string output;
    EXPECT_EQ(1, kittest::Run("tcpipclient", {"list"}, &output));
    EXPECT_NE(std::string::npos, output.find("Start(0, \"3\"")) << output;

    SetEvent(goOn);
    ASSERT_TRUE(first.Events().EsperarEnd(1, kRunMs));
    EXPECT_EQ("Start(1,14) ProgressDone(19) ProgressDone(20) End(1,15)", Summary(first));
    // The run is over: the second writes now.
    second->SetChangesDelay(0);
    EXPECT_TRUE(second.Run(kRunMs)) << Summary(second);
    CloseHandle(found);
    CloseHandle(goOn);
}

TEST_F(DaxTcpipTest, StopEndsARunThatDoesNotAnswerAndFreesTheProtection)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp"});
    HANDLE found = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    GetTcpipJob stuck(PROGID_GETTCPIPCONFIG2);
    stuck.Events().AlRecibir([&](const GetTcpipJob::Sink::Evento &e) {
        if (e.strNombre == "ProgressDone")
        {
            SetEvent(found);
            WaitForSingleObject(never, INFINITE);
        }
    });
    stuck->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    ASSERT_EQ(S_OK, stuck->Start());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(found, 10000));
    EXPECT_EQ(S_OK, stuck->Stop(50));
    EXPECT_EQ("Start(1,14) ProgressDone(17) End(0,16)", Summary(stuck));
    const Strings log = kittest::TempTraceMessages("DaxGetTcpip.txt");
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(),
                                   "CGetTcpipConfig2::Stop - Aborto forzoso por cumplimiento del timeout."));

    CheckNicsJob next(PROGID_CHECKNICS2);
    EXPECT_TRUE(next.Run(kRunMs)) << Summary(next);
    CloseHandle(found);
    CloseHandle(never);
}

TEST_F(DaxTcpipTest, AnEditorThatDoesNotEndInTimeLeavesTheFileInPlace)
{
    MakePc("xp", {"--nic", kRealtek, "--dhcp"});
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    TcpipParamPtr settings = StaticSettings();
    ASSERT_EQ(S_OK, job->SetInfoConfig(settings.Get()));
    job->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    job->SetChangesDelay(1);
    ASSERT_TRUE(job.Run(kRunMs)) << Summary(job);
    // The PC's editor hangs past the module's wait.
    const std::string editor = kitpc::PathOf("bin") + "/regedit";
    std::filesystem::remove(editor);
    kittest::WriteHostFile(editor, "#!/bin/sh\nsleep 6\n");
    std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
    EXPECT_EQ(S_OK, job->ExecuteTcpipChanges());
    EXPECT_TRUE(pcfile::Read(kitpc::PathOf("temp") + "/TcpChang.reg").has_value());
    const Strings log = kittest::TempTraceMessages("DaxSetTcpip.txt");
    EXPECT_NE(log.end(),
              std::find(log.begin(), log.end(),
                        "CSetTcpipConfig2::ExecuteTcpipChanges - El fichero no ha podido ser borrado por "
                        "seguir en ejecución después del timeout de espera."));
    EXPECT_EQ("CSetTcpipConfig2::ExecuteTcpipChanges - Fin OK de la operación.", log.back());
}

TEST_F(DaxTcpipTest, DeferredChangesWithoutATemporaryFolderFailTheRun)
{
    MakePc("98", {"--nic", kRealtek, "--ip", "192.168.1.33/255.255.255.0"});
    // The module's log goes there too: it stays silent, the run still reports.
    std::filesystem::remove_all(kitpc::PathOf("temp"));
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    TcpipParamPtr settings = StaticSettings();
    ASSERT_EQ(S_OK, job->SetInfoConfig(settings.Get()));
    job->SetDevice(kitcom::BStr(Display(1, kRealtek)).Get());
    job->SetChangesDelay(1);
    EXPECT_FALSE(job.Run(kRunMs));
    EXPECT_EQ("Start(1,14) ProgressDone(19) End(0,13)", Summary(job));
    EXPECT_EQ(S_FALSE, job->ExecuteTcpipChanges());
}
