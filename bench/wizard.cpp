// The wizard's whole one-PC static road at its own pace, as the demo's user walks it: a fresh XP
// PC with the kit's card, the simulated router, the host running the wizard unattended from
// the welcome page to "Finalizar". Target: the wizard's own time, what the road takes beyond
// the waits its pages must keep, within 5% of those waits.
//
// The waits the pages keep on this road:
//   requirements check   1000 ms before the adapter check, 2000 ms after it, 3000 ms after the
//                        TCP/IP check (one PC static: no PPPoE check), 1 ms after the check's End
//   connectivity check   1 ms after the TCP/IP read, 3000 ms after the access check
//   configuration run    300 ms for each progress event of the upload + 1 ms, 1000 ms before
//                        the TCP/IP step, 1000 ms before the routes step
// That is 11,003 ms plus 300 ms a progress event; the progress events are counted from the FTP
// trace log of the upload (each request sent and each reply received is one).
//
// Counters: total (the host process, start to end), mandated (the waits above), overhead
// (total − mandated: the wizard, the host, the components' work and the timers' lateness),
// overhead_pct (of mandated), progress (events of the upload), after_upload (measured from
// the modem component's end to the TCP/IP step, against its mandated 300 × progress + 1001).
#include "testing/hostfile.h"
#include "testing/kittest.h"
#include "testing/machine.h"
#include "testing/servers.h"
#include "testing/wizard.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kEsperasFijasMs = 1000 + 2000 + 3000 + 1 + 1 + 3000 + 1 + 1000 + 1000;
constexpr double kMsPorProgreso = 300;
constexpr char kRealtek[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";

// Milliseconds of the day of a trace line ("08/12/2026 a las 07:37:44(794) -- text").
std::optional<long> Instante(const std::string &linea)
{
    int h = 0, m = 0, s = 0, ms = 0;
    const auto a = linea.find(" a las ");
    if (a == std::string::npos || std::sscanf(linea.c_str() + a + 7, "%d:%d:%d(%d)", &h, &m, &s, &ms) != 4)
        return std::nullopt;
    return ((h * 60L + m) * 60L + s) * 1000L + ms;
}

std::vector<std::string> Lineas(const std::string &fichero)
{
    std::vector<std::string> lineas;
    std::istringstream texto(kittest::ReadHostFile(fichero, ""));
    for (std::string linea; std::getline(texto, linea);)
        lineas.push_back(linea);
    return lineas;
}

// The progress events of the last upload: every request sent and reply received after its put.
int ProgresosDeLaSubida(const std::string &temp)
{
    int progresos = 0;
    for (const std::string &linea : Lineas(temp + "/DaxFtp.txt"))
    {
        if (linea.find("-- Init PutFile") != std::string::npos)
            progresos = 0;
        else if (linea.find("CFtp: Msg enviada peticion") != std::string::npos ||
                 linea.find("CFtp: Msg respuesta recibida") != std::string::npos)
            ++progresos;
    }
    return progresos;
}

// The time of the last line of a trace log that holds `texto`.
std::optional<long> Ultima(const std::string &fichero, const char *texto)
{
    std::optional<long> instante;
    for (const std::string &linea : Lineas(fichero))
        if (linea.find(texto) != std::string::npos)
            instante = Instante(linea);
    return instante;
}

// A fresh XP PC with the kit installed in its program folder and the router beside it.
struct Pc
{
    Pc() : machine("kit-bench")
    {
        const std::vector<std::vector<std::string>> pasos = {
            {"machine", "create", "--os", "xp", "--force", "--nic", kRealtek, "--dhcp"},
            {"regsvr32", "/s", "DaxParam.dll"},
            {"regsvr32", "/s", "DaxTcpip.dll"},
            {"regsvr32", "/s", "DaxModem.dll"},
            {"regsvr32", "/s", "DaxWPoet.dll"}};
        for (const auto &paso : pasos)
            if (kittest::Run(paso[0], {paso.begin() + 1, paso.end()}) != 0)
            {
                fallo = paso[0] + " " + paso[1] + " failed";
                return;
            }
        // Set up a while ago, as a real session finds its PC.
        std::error_code ec;
        fs::last_write_time(machine.Root() + "/machine.ini",
                            fs::file_time_type::clock::now() - std::chrono::hours(1), ec);
        carpeta = machine.Root() + "/program_files/KitADSL";
        kittest::InstallWizard(carpeta);
        fs::copy_file(kittest::LibDir() + "/Config.ini", carpeta + "/Config.ini");
        fs::copy_file(kittest::BinDir() + "/QelFixRt", carpeta + "/QelFixRt");
        const std::string estado = machine.Root() + "/router";
        fs::create_directories(estado);
        router = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), estado, machine.Root());
        if (!router->Started())
        {
            fallo = "routersim did not start";
            return;
        }
        // The route fixer finds the router at its new address and ends.
        std::ofstream(machine.Root() + "/network.ini", std::ios::binary | std::ios::app)
            << "80.58.1.1:80=127.0.0.1:" << router->HttpPort() << "\r\n";
    }

    kittest::TempMachine machine;
    std::unique_ptr<kitservers::RouterSim> router;
    std::string carpeta;
    std::string fallo;
};

void BM_WizardOnePcStaticRoad(benchmark::State &state)
{
    ::unsetenv("KIT_UI_CLOCK");
    double total = 0, mandado = 0, trasSubida = 0, trasSubidaMandado = 0, progresos = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto pc = std::make_unique<Pc>();
        if (!pc->fallo.empty())
        {
            state.SkipWithError(pc->fallo.c_str());
            break;
        }
        state.ResumeTiming();
        const auto inicio = Clock::now();
        std::string salida;
        const int rc = kittest::Run(
            "QelExec", {"--dir", pc->carpeta, "--unattended", KIT_DEMO_DIR "/asistente.ini"}, &salida);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - inicio).count();
        state.PauseTiming();
        if (rc != 0)
        {
            state.SkipWithError(("the wizard did not reach its end: " + salida).c_str());
            break;
        }
        const std::string temp = pc->machine.Root() + "/temp";
        const int p = ProgresosDeLaSubida(temp);
        const auto finSubida = Ultima(temp + "/DaxModem.txt", "Fin SetFTPWorkerThread");
        const auto pasoTcpip = Ultima(temp + "/DaxSetTcpip.txt", "SetInfoConfig - Comienzo");
        total += ms;
        progresos += p;
        mandado += kEsperasFijasMs + kMsPorProgreso * p;
        if (finSubida && pasoTcpip)
            trasSubida += static_cast<double>(*pasoTcpip - *finSubida);
        trasSubidaMandado += kMsPorProgreso * p + 1001;
        pc.reset();
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    if (n == 0)
        return;
    state.counters["total_ms"] = total / n;
    state.counters["mandated_ms"] = mandado / n;
    state.counters["overhead_ms"] = (total - mandado) / n;
    state.counters["overhead_pct"] = 100.0 * (total - mandado) / mandado;
    state.counters["progress"] = progresos / n;
    state.counters["after_upload_ms"] = trasSubida / n;
    state.counters["after_upload_mandated_ms"] = trasSubidaMandado / n;
}
BENCHMARK(BM_WizardOnePcStaticRoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
} // namespace

BENCHMARK_MAIN();
