// A console read of the whole router (GetZyxelConfig from Start to End) against routersim paced
// at a real 9600 baud, beside the line's physical limit: the bytes that crossed the line (both
// ways, counted by a relay between the PC's COM1 and the router's console on COM2) at 960 a
// second, plus the waits the reader is made of (10 ms after each password character, and each
// exchange's closing read that waits its whole 2.5 s for nothing). Target: at most 1.1 times it.
#include "common/com/BStr.h"
#include "modem/GetZyxelConfig.h"
#include "modem/client/ZyxelSink.h"
#include "testing/kittest.h"
#include "testing/machine.h"
#include "testing/pty.h"
#include "testing/servers.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr DWORD kEspera = 120000;
constexpr double kBytesPorSegundo = 960.0; // 9600 baud, 10 bits a byte
constexpr int kExchanges = 7;              // CR, password, 3, 2, ESC, ESC, 99
constexpr double kCierreMs = CGetZyxelConfig::kLecturaTotalMs + 50.0 * CGetZyxelConfig::kLecturaPorByteMs;
constexpr char kPassword[] = "5807";

// Copies bytes between the PC's line and the router's, counting them.
class Relay
{
  public:
    Relay(int pc, int router) : pc_(pc), router_(router), thread_([this] { Run(); }) {}
    ~Relay()
    {
        stop_ = true;
        thread_.join();
    }
    size_t Bytes() const { return bytes_; }
    void Reset() { bytes_ = 0; }

  private:
    void Run()
    {
        char buffer[4096];
        while (!stop_)
        {
            pollfd fds[2] = {{pc_, POLLIN, 0}, {router_, POLLIN, 0}};
            if (::poll(fds, 2, 20) <= 0)
                continue;
            for (int i = 0; i < 2; ++i)
                if (fds[i].revents & POLLIN)
                {
                    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                    if (n > 0 && ::write(fds[1 - i].fd, buffer, static_cast<size_t>(n)) == n)
                        bytes_ += static_cast<size_t>(n);
                }
        }
    }
    int pc_, router_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> bytes_{0};
    std::thread thread_;
};

struct World
{
    World()
    {
        CoInitialize(nullptr);
        if (!kittest::RegisterServer("DaxParam.dll") || !kittest::RegisterServer("DaxModem.dll"))
        {
            why = "DaxParam or DaxModem could not be registered";
            return;
        }
        const std::string state = machine.Root() + "/router";
        std::filesystem::create_directories(state);
        router =
            std::make_unique<kitservers::RouterSim>(kittest::BinDir(), state, machine.Root(),
                                                    std::vector<std::string>{"--com", "2", "--baud", "9600"});
        if (!router->Started())
        {
            why = "routersim did not start";
            return;
        }
        routerLine = ::open((machine.Root() + "/devices/COM2").c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        if (routerLine < 0 || ::tcgetattr(routerLine, &tio) != 0)
        {
            why = "the router's console cannot be opened";
            return;
        }
        ::cfmakeraw(&tio);
        ::tcsetattr(routerLine, TCSANOW, &tio);
        pc = std::make_unique<kittest::PtyDevice>(1);
        relay = std::make_unique<Relay>(pc->Master(), routerLine);
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(OLESTR("DaxModem.GetZyxelConfig"), &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IGetZyxelConfig, obj.PutVoid())))
        {
            why = "DaxModem.GetZyxelConfig could not be created";
            return;
        }
        sink = kitcom::Make<CConsolaSink>();
        kitcom::ComPtr<IConnectionPointContainer> container;
        obj->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        if (!container || FAILED(container->FindConnectionPoint(DIID__IGetZyxelConfigEvents, &point)) ||
            FAILED(point->Advise(sink->GetUnknown(), &cookie)))
        {
            why = "no events";
            return;
        }
        obj->SetPort(kitcom::BStr("COM1").Get());
        obj->SetPassword(kitcom::BStr(kPassword).Get());
        ok = true;
    }
    ~World()
    {
        relay.reset();
        if (routerLine >= 0)
            ::close(routerLine);
    }

    bool Run()
    {
        sink->Olvidar();
        if (obj->Start() != S_OK || !sink->EsperarEnd(1, kEspera))
            return false;
        obj->Stop(static_cast<LONG>(kEspera));
        for (const CConsolaSink::Evento &evento : sink->Eventos())
            if (evento.strNombre == "End")
                return evento.bOk == 0;
        return false;
    }

    kittest::TempMachine machine{"kit-bench", kittest::TempMachine::Settled};
    std::unique_ptr<kitservers::RouterSim> router;
    int routerLine = -1;
    std::unique_ptr<kittest::PtyDevice> pc;
    std::unique_ptr<Relay> relay;
    kitcom::ComPtr<IGetZyxelConfig> obj;
    kitcom::ComPtr<CConsolaSink> sink;
    kitcom::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    bool ok = false;
    std::string why;
};

void BM_ConsoleReadAt9600Baud(benchmark::State &state)
{
    static World world;
    if (!world.ok)
    {
        state.SkipWithError(world.why.c_str());
        return;
    }
    double seconds = 0, limit = 0;
    for (auto _ : state)
    {
        world.relay->Reset();
        const auto start = Clock::now();
        if (!world.Run())
        {
            state.SkipWithError("the console read failed");
            return;
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double waits =
            kExchanges * kCierreMs / 1000.0 + (sizeof kPassword) * 0.010; // the password and its CR
        limit = static_cast<double>(world.relay->Bytes()) / kBytesPorSegundo + waits;
        state.SetIterationTime(seconds);
        state.counters["bytes"] = static_cast<double>(world.relay->Bytes());
        state.counters["limit_s"] = limit;
        state.counters["ratio"] = seconds / limit; // target: at most 1.1
    }
}
BENCHMARK(BM_ConsoleReadAt9600Baud)->UseManualTime()->Iterations(2)->Unit(benchmark::kSecond);
} // namespace

BENCHMARK_MAIN();
