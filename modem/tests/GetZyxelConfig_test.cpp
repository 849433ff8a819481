// The GetZyxelConfig control through COM, as the wizard's console page uses it: against the
// simulated router's console (routersim on the PC's COM1) and, for the answers a router of ours
// would never give, against a device written here on a pseudo-terminal.
#include "common/com/BStr.h"
#include "common/param/RouterParamPtr.h"
#include "comun/SerialPort.h"
#include "modem/client/ZyxelSink.h"
#include "platform/kit/kitmachine.h"
#include "testing/kittest.h"
#include "testing/pty.h"
#include "testing/registry.h"
#include "testing/servers.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <utility>

namespace
{
// A whole run takes some 20 s: each exchange ends with a read that waits 2.5 s for nothing.
constexpr DWORD kEspera = 90000;

class GetZyxelConfigTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        for (const char *server : {"DaxParam.dll", "DaxModem.dll"})
        {
            std::string output;
            ASSERT_EQ(kittest::Run("regsvr32", {"/s", server}, &output), 0) << output;
        }
        dir = kitpc::PathOf("program_files/Dax");
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(OLESTR("DaxModem.GetZyxelConfig"), &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IGetZyxelConfig, obj.PutVoid()), S_OK);
        sink = kitcom::Make<CConsolaSink>();
        ASSERT_EQ(obj->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID__IGetZyxelConfigEvents, &point), S_OK);
        ASSERT_EQ(point->Advise(sink->GetUnknown(), &cookie), S_OK);
    }

    void TearDown() override
    {
        if (obj)
            obj->Stop(kEspera);
        if (point)
            point->Unadvise(cookie);
        point.Reset();
        container.Reset();
        obj.Reset();
        router.reset();
        SetCurrentDirectoryA("/");
        CoFreeUnusedLibraries();
        CoUninitialize();
        SetEnvironmentVariableA("DEBUG_ADSL", nullptr);
    }

    std::string State() const { return kittest::MachineDir() + "/router"; }

    // routersim with its console on the PC's COM1, running the settings given.
    void ArrancarRouter(const std::string &settings = "", std::vector<std::string> extra = {})
    {
        std::filesystem::create_directories(State());
        if (!settings.empty())
            kittest::WriteHostFile(State() + "/settings.txt", settings);
        extra.insert(extra.end(), {"--com", "1"});
        router =
            std::make_unique<kitservers::RouterSim>(kittest::BinDir(), State(), kittest::MachineDir(), extra);
        ASSERT_TRUE(router->Started());
    }
    void Fallo(const char *faults)
    {
        ASSERT_EQ(0,
                  kitservers::Run(kittest::BinDir() + "/routersim", {"fault", "--state", State(), faults}));
    }

    // One run to its End (the reader gone too); every event, in order, the two Starts first.
    std::string Leer()
    {
        sink->Olvidar();
        EXPECT_EQ(S_OK, obj->Start());
        EXPECT_TRUE(sink->EsperarEnd(1, kEspera));
        EsperarFinDelLector();
        return Eventos();
    }
    std::string Eventos() const
    {
        std::vector<std::string> vistos;
        for (const auto &e : sink->Eventos())
            vistos.push_back(e.strNombre == "ProgressDone"
                                 ? "ProgressDone(" + e.strTexto + ")"
                                 : e.strNombre + "(" + std::to_string(e.bOk) + "," + e.strTexto + ")");
        // Start is fired by Start and by the reader, in either order against the reader's others.
        std::stable_partition(vistos.begin(), vistos.end(),
                              [](const std::string &v) { return v == "Start(0,msg1)"; });
        std::string texto;
        for (const std::string &v : vistos)
            texto += (texto.empty() ? "" : " ") + v;
        return texto;
    }
    void EsperarFinDelLector()
    {
        for (int i = 0; i < 20000; ++i)
        {
            LONG bActive = 1;
            obj->IsActive(&bActive);
            if (!bActive)
                return;
            Sleep(1);
        }
    }
    RouterParamPtr Leido()
    {
        kitcom::ComPtr<IUnknown> unk;
        EXPECT_EQ(S_OK, obj->GetInfoConfig(&unk));
        RouterParamPtr param;
        EXPECT_EQ(S_OK, param.QueryFrom(unk.Get()));
        return param;
    }

    std::string dir;
    kitcom::ComPtr<IGetZyxelConfig> obj;
    kitcom::ComPtr<CConsolaSink> sink;
    kitcom::ComPtr<IConnectionPointContainer> container;
    kitcom::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    std::unique_ptr<kitservers::RouterSim> router;
};

const char *const kExito =
    "Start(0,msg1) Start(0,msg1) ProgressDone(msg7) ProgressDone(msg8) ProgressDone(msg7) "
    "End(0,msg1)";
} // namespace

TEST_F(GetZyxelConfigTest, RegisteredAsAControlOfTheModule)
{
    const std::string clsid = "{29F199CF-63E3-11D6-9BEC-00C04F1F2D46}";
    EXPECT_EQ("GetZyxelConfig Class", kittest::ClassesText("CLSID\\" + clsid));
    EXPECT_EQ(clsid, kittest::ClassesText("DaxModem.GetZyxelConfig.1\\CLSID"));
    EXPECT_EQ("DaxModem.GetZyxelConfig.1", kittest::ClassesText("DaxModem.GetZyxelConfig\\CurVer"));
    EXPECT_EQ("Apartment", kittest::ClassesText("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel"));
    EXPECT_NE(std::string::npos, kittest::ClassesText("CLSID\\" + clsid + "\\ToolboxBitmap32").find(", 102"));
    EXPECT_EQ("IGetZyxelConfig", kittest::ClassesText("Interface\\{29F199CE-63E3-11D6-9BEC-00C04F1F2D46}"));
    EXPECT_EQ("_IGetZyxelConfigEvents",
              kittest::ClassesText("Interface\\{29F199D0-63E3-11D6-9BEC-00C04F1F2D46}"));
}

TEST_F(GetZyxelConfigTest, ReadsTheRoutersLanDhcpAndDnsOverItsConsole)
{
    ArrancarRouter("30200008 = 10.0.0.138\r\n30200009 = 16\r\n30200001 = 1\r\n30200002 = 10.0.0.50\r\n"
                   "30200003 = 20\r\n30200004 = 80.58.0.33\r\n30200005 = 80.58.32.97\r\n",
                   {"--password", "1234"});
    ASSERT_EQ(S_OK, obj->SetPassword(kitcom::BStr("1234").Get()));
    ASSERT_EQ(S_OK, obj->SetPort(kitcom::BStr("COM12").Get())); // only one digit is read: COM1
    EXPECT_EQ(kExito, Leer());
    const RouterParamPtr param = Leido();
    EXPECT_EQ(TextPair("10.0.0.138", "255.255.0.0"), param.GetLan());
    EXPECT_EQ(TextPair("10.0.0.50", "20"), param.GetDhcp());
    EXPECT_EQ(TextPair("80.58.0.33", "80.58.32.97"), param.GetDns());
    // The console was left at its log-in: the next run logs in again.
    Fallo("console-dhcp-none");
    EXPECT_EQ(kExito, Leer());
    const RouterParamPtr lan = Leido();
    EXPECT_EQ(TextPair("10.0.0.138", "255.255.0.0"), lan.GetLan());
}

TEST_F(GetZyxelConfigTest, ConsolesThatRefuseOrDoNotAnswer)
{
    obj->SetPort(kitcom::BStr("COM1").Get());
    obj->SetPassword(kitcom::BStr(std::string(300, 'p')).Get()); // kept to 259 characters, refused
    // Each case on a console just switched on.
    const struct
    {
        const char *fault;
        const char *events;
    } cases[] = {
        {"none", "Start(0,msg1) Start(0,msg1) ProgressDone(msg7) ProgressDone(msg8) End(1,msg5)"},
        {"console-no-password", "Start(0,msg1) Start(0,msg1) ProgressDone(msg7) End(1,msg1)"},
        {"console-silent", "Start(0,msg1) Start(0,msg1) ProgressDone(msg7) End(1,msg6)"},
        {"console-garbage", "Start(0,msg1) Start(0,msg1) ProgressDone(msg7) End(1,msg6)"},
    };
    for (const auto &c : cases)
    {
        router.reset();
        ArrancarRouter("", {"--fault", c.fault});
        EXPECT_EQ(c.events, Leer()) << c.fault;
    }
}

TEST_F(GetZyxelConfigTest, APortThatCannotBeOpenedEndsWithItsError)
{
    obj->SetPort(kitcom::BStr("COM5").Get());
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT), text, sizeof text, nullptr);
    EXPECT_EQ("Start(0,msg1) Start(0,msg1) End(1," + std::string(text) + ")", Leer());
    obj->SetPort(kitcom::BStr("CO").Get()); // no port at all
    EXPECT_NE(std::string::npos, Leer().find("End(1,"));
    kitcom::ComPtr<IUnknown> unk;
    EXPECT_EQ(S_OK, obj->GetInfoConfig(&unk));
}

TEST_F(GetZyxelConfigTest, TheRunIsOverForAClientThatReadsTheValuesAtItsEnd)
{
    // End is fired on the reader thread, before that thread has left: from then on the object
    // answers as after the run, so a client that reads the values as End arrives gets them.
    LONG bActive = 9;
    DWORD dwHilo = 0;
    sink->AlRecibir([&](const CConsolaSink::Evento &e) {
        if (e.strNombre != "End")
            return;
        dwHilo = e.dwThread;
        obj->IsActive(&bActive);
    });
    obj->SetPort(kitcom::BStr("COM5").Get()); // no such port: the run ends at once
    sink->Olvidar();
    ASSERT_EQ(S_OK, obj->Start());
    ASSERT_TRUE(sink->EsperarEnd(1, kEspera));
    kitcom::ComPtr<IUnknown> unk;
    EXPECT_EQ(S_OK, obj->GetInfoConfig(&unk));
    sink->AlRecibir(nullptr);
    EXPECT_NE(GetCurrentThreadId(), dwHilo);
    EXPECT_EQ(0, bActive);
}

TEST_F(GetZyxelConfigTest, StopEndsTheRunAtItsNextExchange)
{
    LONG bActive = 9;
    EXPECT_EQ(S_FALSE, obj->Stop(100)); // no reader
    kittest::PtyDevice device;
    ASSERT_TRUE(device.Ok());
    obj->SetPort(kitcom::BStr("COM1").Get());
    sink->Olvidar();
    ASSERT_EQ(S_OK, obj->Start());
    device.ReceiveUntil("\r");
    EXPECT_EQ(S_FALSE, obj->IsActive(&bActive));
    EXPECT_EQ(1, bActive);
    kitcom::ComPtr<IUnknown> unk;
    EXPECT_EQ(S_FALSE, obj->GetInfoConfig(&unk));
    EXPECT_EQ(S_OK, obj->Stop(kEspera));
    EXPECT_EQ(S_OK, obj->IsActive(&bActive));
    EXPECT_EQ(0, bActive);
    EXPECT_EQ("Start(0,msg1) Start(0,msg1) ProgressDone(msg7) End(1,msg2)", Eventos());
}

TEST_F(GetZyxelConfigTest, AnswersWithoutEscapesAreReadAsTheyCome)
{
    // A console of our own that draws nothing: each answer is the text to search.
    kittest::PtyDevice device;
    ASSERT_TRUE(device.Ok());
    std::atomic<bool> done{false};
    std::string received;
    std::thread console([&] {
        std::string line;
        auto reply = [&](const std::string &order) {
            if (order.empty())
                device.Send("Enter Password: ");
            else if (order == "5807")
                device.Send("Main Menu");
            else if (order == "3")
                device.Send("Menu 3 - Ethernet Setup");
            else if (order == "2")
                device.Send("Menu 3.2 - TCP/IP and DHCP Ethernet Setup\r\n  IP Address= 10.9.8.7\r\n"
                            "  IP Subnet Mask= 255.0.0.0\r\n  DHCP= None\r\n");
            else
                device.Send("bye");
        };
        while (!done)
        {
            const std::string got = device.Receive(20);
            received += got;
            for (char c : got)
                if (c == '\x1b')
                    device.Send("Prestige 643 Main Menu");
                else if (c != '\r')
                    line += c;
                else
                    reply(std::exchange(line, std::string()));
        }
    });
    obj->SetPort(kitcom::BStr("COM1").Get());
    const std::string events = Leer();
    done = true;
    console.join();
    EXPECT_EQ(kExito, events) << received;
    EXPECT_EQ(TextPair("10.9.8.7", "255.0.0.0"), Leido().GetLan());
    EXPECT_NE(std::string::npos, received.find("\x1b"
                                               "99\r"))
        << received; // left at the main menu
}

TEST_F(GetZyxelConfigTest, ALineThatHangsUpMidReadEndsWithTheSerialError)
{
    kittest::PtyDevice device;
    ASSERT_TRUE(device.Ok());
    std::thread console([&] {
        device.ReceiveUntil("\r");
        device.Send("Enter Pass");
        device.HangUp();
    });
    obj->SetPort(kitcom::BStr("COM1").Get());
    const std::string events = Leer();
    console.join();
    EXPECT_EQ(0u, events.rfind("Start(0,msg1) Start(0,msg1) ProgressDone(msg7) End(1,", 0)) << events;
    EXPECT_EQ(std::string::npos, events.find("End(1,msg6)")) << events; // the port's error, not silence
}

TEST_F(GetZyxelConfigTest, TheScreensGoToTempTxtOnlyForDebugging)
{
    ArrancarRouter();
    obj->SetPort(kitcom::BStr("COM1").Get());
    Fallo("console-silent");
    Leer();
    EXPECT_FALSE(std::filesystem::exists(kitpc::PathOf("program_files/Dax/temp.txt")));
    ASSERT_TRUE(SetEnvironmentVariableA("DEBUG_ADSL", "1"));
    Fallo("none");
    EXPECT_EQ(kExito, Leer());
    const std::string last = kittest::ReadHostFile(kitpc::PathOf("program_files/Dax/temp.txt"));
    EXPECT_NE(std::string::npos, last.find("Prestige 643 Main Menu")) << last;
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    // Each phase starts the copy afresh (it is created, not appended to): the reading phase is there.
    EXPECT_NE(std::string::npos, kittest::ReadHostFile(std::string(temp) + "modempak.log").find("Menu 3.2"));
}

TEST(SerialPortLists, TheModulesFormClassifiesByPosition)
{
    kittest::PtyDevice device;
    ASSERT_TRUE(device.Ok());
    CSerialPort port;
    port.Open(1, 9600, CSerialPort::NoParity, 8, CSerialPort::OneStopBit, CSerialPort::NoFlowControl, FALSE);
    COMMTIMEOUTS timeouts = {25, 10, 300, 10, 10};
    port.SetTimeouts(timeouts);
    CStringList expected, errors;
    expected.AddTail("uno");
    expected.AddTail("dos");
    errors.AddTail("mal");
    errors.AddTail("peor");
    auto ask = [&](const char *answer) {
        std::thread peer([&] {
            device.ReceiveUntil("\r");
            device.Send(answer);
        });
        const int result = port.WaitForAnswer("x\r", expected, errors, 0, FALSE);
        peer.join();
        return result;
    };
    EXPECT_EQ(2, ask("dos"));
    EXPECT_EQ(-2, ask("uno peor")); // an error text wins, by its own position
    EXPECT_EQ(0, ask("nada"));
    EXPECT_EQ(port.GetReceivedData(), "nada");
    errors.AddHead(""); // an empty text is in every answer
    EXPECT_EQ(-1, ask("uno"));
}

TEST_F(GetZyxelConfigTest, AConsoleThatNeverFallsSilentDoesNotHoldTheReader)
{
    // Megabytes without a pause, and an escape sequence cut across two writes in the stream,
    // from a process of its own (a line nobody reads any more holds its writer; it is killed).
    kittest::PtyDevice device;
    ASSERT_TRUE(device.Ok());
    const int fd = device.Master();
    const pid_t flooder = ::fork();
    ASSERT_GE(flooder, 0);
    if (flooder == 0)
    {
        static const char flood[] =
            "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\x1b[1";
        static const char rest[] = "2;5Hmas\x1b[K";
        const int blocking = ::fcntl(fd, F_GETFL) & ~O_NONBLOCK;
        ::fcntl(fd, F_SETFL, blocking);
        for (;;)
            if (::write(fd, flood, sizeof flood - 1) < 0 || ::write(fd, rest, sizeof rest - 1) < 0)
                ::usleep(1000);
    }
    obj->SetPort(kitcom::BStr("COM1").Get());
    const std::string events = Leer();
    ::kill(flooder, SIGKILL);
    ::waitpid(flooder, nullptr, 0);
    EXPECT_EQ("Start(0,msg1) Start(0,msg1) ProgressDone(msg7) End(1,msg6)", events);
}

TEST_F(GetZyxelConfigTest, AStopDuringTheReadingPhaseEndsItOnce)
{
    ArrancarRouter();
    obj->SetPort(kitcom::BStr("COM1").Get());
    sink->Olvidar();
    ASSERT_EQ(S_OK, obj->Start());
    // Until the reading phase has opened the port again (the second msg7).
    for (DWORD start = GetTickCount(); GetTickCount() - start < kEspera; Sleep(10))
    {
        size_t opened = 0;
        for (const auto &e : sink->Eventos())
            opened += e.strTexto == "msg7";
        if (opened == 2)
            break;
    }
    EXPECT_EQ(S_OK, obj->Stop(kEspera));
    EXPECT_EQ(
        "Start(0,msg1) Start(0,msg1) ProgressDone(msg7) ProgressDone(msg8) ProgressDone(msg7) End(1,msg2)",
        Eventos());
    kitcom::ComPtr<IUnknown> unk;
    EXPECT_EQ(S_OK, obj->GetInfoConfig(&unk));
}
