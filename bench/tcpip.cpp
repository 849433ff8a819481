// The TCP/IP module's overhead on an XP PC with 8 network cards: a whole GetTcpipConfig2 run
// (Start to End, every event into a sink) beside the same registry reads done directly (the
// cards' list, then one card's settings), and a whole SetTcpipConfig2 run (straight into the
// registry) beside its registry writes done directly. The protocol's own waits are zero here, so the target
// is: a run costs at most twice the direct work plus 1 ms.
#include "common/param/TcpipParamPtr.h"
#include "platform/kit/kitregistry.h"
#include "tcpip/client/TcpipJob.h"
#include "testing/kittest.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int kCards = 8;
constexpr DWORD kWaitMs = 30000;
constexpr char kCard[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
constexpr char kCards_[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr char kNetBt[] = "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces\\Tcpip_";
constexpr char kLinkage[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Linkage";

// One value read as the module reads it: the key opened, the value asked, the key closed.
void ReadValue(const std::string &key, const char *name, DWORD size)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    std::vector<BYTE> buffer(size);
    DWORD got = size;
    RegQueryValueExA(hKey, name, nullptr, nullptr, buffer.data(), &got);
    RegCloseKey(hKey);
}

void WriteValue(const std::string &key, const char *name, DWORD type, const std::string &data)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(hKey, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(hKey);
}

std::string Dword(DWORD value)
{
    return std::string(reinterpret_cast<const char *>(&value), sizeof value);
}

// The PC with its cards and the servers registered, made once for the whole run.
struct World
{
    World()
    {
        std::vector<std::string> args = {"create", "--os", "xp", "--dir", machine.Root(), "--force"};
        for (int i = 0; i < kCards; ++i)
            args.insert(args.end(),
                        {"--nic", kCard, "--ip", "192.168.1." + std::to_string(10 + i) + "/255.255.255.0",
                         "--gw", "192.168.1.1", "--dns", "80.58.0.33"});
        std::string output;
        if (kittest::Run("machine", args, &output) != 0)
        {
            why = "machine create failed: " + output;
            return;
        }
        kitreg::CloseRegistry();
        // As a PC set up a while ago: a machine.ini just written is read again on every call.
        std::error_code ec;
        std::filesystem::last_write_time(
            machine.Root() + "/machine.ini",
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(1), ec);
        CoInitialize(nullptr);
        if (!kittest::RegisterServer("DaxParam.dll") || !kittest::RegisterServer("DaxTcpip.dll"))
        {
            why = "DaxParam or DaxTcpip could not be registered";
            return;
        }
        HKEY cards = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCards_, 0, KEY_READ, &cards) != ERROR_SUCCESS)
        {
            why = "no NetworkCards";
            return;
        }
        char name[MAX_PATH];
        for (DWORD i = 0, size = sizeof name;
             RegEnumKeyExA(cards, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             ++i, size = sizeof name)
            cardKeys.push_back(std::string(kCards_) + "\\" + name);
        RegCloseKey(cards);
        for (const std::string &card : cardKeys)
        {
            char service[MAX_PATH] = "";
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, card.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS)
            {
                DWORD size = sizeof service - 1;
                RegQueryValueExA(key, "ServiceName", nullptr, nullptr, reinterpret_cast<BYTE *>(service),
                                 &size);
                RegCloseKey(key);
            }
            services.push_back(service);
        }
        ok = cardKeys.size() == kCards;
        if (!ok)
            why = "the PC has " + std::to_string(cardKeys.size()) + " cards";
    }

    // What a run of GetTcpipConfig2 reads: every card's entry, device and TCP/IP key, then the
    // settings of the one it wants.
    void DirectReads() const
    {
        for (size_t i = 0; i < cardKeys.size(); ++i)
        {
            for (const char *value : {"Hidden", "Description", "ServiceName"})
                ReadValue(cardKeys[i], value, 2500);
            HANDLE device =
                CreateFileA(("\\\\.\\" + services[i]).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            if (device != INVALID_HANDLE_VALUE)
                CloseHandle(device);
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kInterfaces + services[i]).c_str(), 0, KEY_READ, &key) ==
                ERROR_SUCCESS)
                RegCloseKey(key);
        }
        const std::string key = kInterfaces + services[0];
        ReadValue(key, "IPAddress", 5000);
        ReadValue(key, "SubnetMask", 5000);
        ReadValue(key, "DefaultGateway", 5000);
        ReadValue(key, "NameServer", 2500);
        ReadValue(key, "EnableDHCP", 4);
        for (const char *value : {"DhcpIPAddress", "DhcpSubnetMask", "DhcpServer"})
            ReadValue(key, value, 2500);
        ReadValue(kNetBt + services[0], "NameServerList", 5000);
        ReadValue(kNetBt + services[0], "NetbiosOptions", 4);
        ReadValue(kLinkage, "Bind", 5000);
    }

    // What a run of SetTcpipConfig2 with two addresses, a gateway and a DNS server writes.
    void DirectWrites() const
    {
        const std::string key = kInterfaces + services[0];
        WriteValue(key, "IPAddress", REG_MULTI_SZ,
                   std::string("10.0.0.1\0"
                               "10.0.0.2\0\0",
                               20));
        WriteValue(key, "SubnetMask", REG_MULTI_SZ,
                   std::string("255.0.0.0\0"
                               "255.0.0.0\0\0",
                               21));
        WriteValue(key, "EnableDHCP", REG_DWORD, Dword(0));
        WriteValue(key, "DefaultGateway", REG_MULTI_SZ, std::string("10.0.0.254\0\0", 12));
        WriteValue(key, "NameServer", REG_SZ, std::string("80.58.0.33\0", 11));
    }

    kittest::TempMachine machine{"kit-bench", kittest::TempMachine::Settled};
    std::vector<std::string> cardKeys;
    std::vector<std::string> services;
    bool ok = false;
    std::string why;
};

World &TheWorld()
{
    static World world;
    return world;
}

double g_getRun = 0, g_getDirect = 0, g_setRun = 0, g_setDirect = 0;

template <class Job> void TimeRuns(benchmark::State &state, Job &job, double &mean)
{
    double total = 0;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        if (!job.Run(kWaitMs))
        {
            state.SkipWithError("the run did not end with End(1, \"15\")");
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
        job.WaitGone(kWaitMs); // so the next Start is not refused
        job.Events().Olvidar();
    }
    mean = total / static_cast<double>(state.iterations());
}

template <class Work> void TimeDirect(benchmark::State &state, Work work, double &mean)
{
    double total = 0;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        work();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    mean = total / static_cast<double>(state.iterations());
}

void Verdict(benchmark::State &state, double run, double direct)
{
    state.counters["run_us"] = run * 1e6;
    state.counters["direct_us"] = direct * 1e6;
    state.counters["target_us"] = (2 * direct + 1e-3) * 1e6;
    state.counters["within"] = run <= 2 * direct + 1e-3 ? 1 : 0;
}

void BM_GetTcpipDirectReads(benchmark::State &state)
{
    World &world = TheWorld();
    if (!world.ok)
        return state.SkipWithError(world.why.c_str());
    TimeDirect(
        state, [&] { world.DirectReads(); }, g_getDirect);
}

void BM_GetTcpipRun(benchmark::State &state)
{
    World &world = TheWorld();
    if (!world.ok)
        return state.SkipWithError(world.why.c_str());
    GetTcpipJob job(PROGID_GETTCPIPCONFIG2);
    if (!job)
        return state.SkipWithError("GetTcpipConfig2 could not be created");
    job->SetDevice(kitcom::BStr(std::string("{1} ") + kCard).Get());
    TimeRuns(state, job, g_getRun);
    Verdict(state, g_getRun, g_getDirect);
}

void BM_SetTcpipDirectWrites(benchmark::State &state)
{
    World &world = TheWorld();
    if (!world.ok)
        return state.SkipWithError(world.why.c_str());
    TimeDirect(
        state, [&] { world.DirectWrites(); }, g_setDirect);
}

void BM_SetTcpipRun(benchmark::State &state)
{
    World &world = TheWorld();
    if (!world.ok)
        return state.SkipWithError(world.why.c_str());
    TcpipParamPtr settings;
    if (FAILED(settings.CreateInstance()))
        return state.SkipWithError("TcpipParam could not be created");
    settings.AddIP("10.0.0.1", "255.0.0.0");
    settings.AddIP("10.0.0.2", "255.0.0.0");
    settings.AddGateway("10.0.0.254");
    settings.AddDns("80.58.0.33");
    settings.PutDnsEnable(1);
    for (LONG group : {TCPIP_GROUP_IP, TCPIP_GROUP_GATEWAY, TCPIP_GROUP_DNS})
        settings.SetModified(group, 1);
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    if (!job || job->SetInfoConfig(settings.Get()) != S_OK)
        return state.SkipWithError("SetTcpipConfig2 could not be set up");
    job->SetDevice(kitcom::BStr(std::string("{1} ") + kCard).Get());
    TimeRuns(state, job, g_setRun);
    Verdict(state, g_setRun, g_setDirect);
}
} // namespace

BENCHMARK(BM_GetTcpipDirectReads)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_GetTcpipRun)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_SetTcpipDirectWrites)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_SetTcpipRun)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK_MAIN();
