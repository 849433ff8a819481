// The router's configuration file as the transfer worker handles it, with a real RouterParam
// object of DaxParam. Targets: filling the shipped template with its routes under 1 ms; reading
// a 10 MB downloaded file under 1 s.
#include "testing/hostfile.h"
#include "testing/machine.h"
#include "testing/pcfile.h"
#include "common/param/RouterParamPtr.h"
#include "common/trace/TraceLog.h"
#include "modem/ModemConfig.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"

#include <benchmark/benchmark.h>
#include <string>

namespace
{
// A PC with DaxParam registered, a program folder as the current directory, the module's log
// and a RouterParam filled as the wizard fills it for plain routing with port mapping.
class ModemFixture
{
  public:
    ModemFixture()
    {
        CoInitialize(nullptr);
        if (!kittest::RegisterServer("DaxParam.dll") || FAILED(param.CreateInstance()))
        {
            ok = false;
            return;
        }
        dir = kitpc::PathOf("program_files/Dax");
        CreateDirectoryA(dir.c_str(), nullptr);
        SetCurrentDirectoryA(dir.c_str());
        log.SetFileName("DaxModem.txt");
        log.SetAlwaysOn(1);
        log.Open();
        param.SetLan("192.168.1.1", "255.255.255.0");
        param.SetWan("80.24.130.37", "255.255.255.0");
        param.SetDhcp("192.168.1.33", "32");
        param.SetDns("194.179.1.100", "194.179.1.101");
        param.SetPorts("Default,192.168.1.33,80,192.168.1.34,21,192.168.1.35");
        ok = pcfile::Write(Path("643.cfg"), kittest::ReadHostFile(KIT_DATA_DIR "/643.cfg", ""));
    }
    ~ModemFixture()
    {
        param.Release();
        log.Close();
        CoUninitialize();
    }
    std::string Path(const char *name) const { return dir + "\\" + name; }

    kittest::TempMachine machine{"kit-bench", kittest::TempMachine::Settled};
    bool ok = true;
    std::string dir;
    RouterParamPtr param;
    CTraceLog log;
};

// A download as the router serves it: the shipped template filled, with CR LF, repeated up to
// `size` bytes.
std::string DownloadOf(ModemFixture &fixture, CModemConfig &config, size_t size)
{
    config.CrearListaPuertos();
    config.CrearFicheroCfg(fixture.Path("643.cfg").c_str(), fixture.Path("config.dat").c_str());
    config.PrepararRutas(fixture.Path("config.dat").c_str());
    std::string one;
    for (char c : pcfile::Read(fixture.Path("config.dat")).value_or(""))
    {
        if (c == '\n')
            one += '\r';
        one += c;
    }
    if (one.empty())
        return {};
    std::string download;
    download.reserve(size + one.size());
    while (download.size() < size)
        download += one;
    return download;
}

void BM_FillTemplateWithRoutes(benchmark::State &state)
{
    ModemFixture fixture;
    if (!fixture.ok)
        return state.SkipWithError("no RouterParam");
    CModemConfig config(fixture.param.Get(), fixture.log);
    const std::string plantilla = fixture.Path("643.cfg");
    const std::string salida = fixture.Path("config.dat");
    for (auto _ : state)
    {
        config.CrearListaPuertos();
        if (config.CrearFicheroCfg(plantilla.c_str(), salida.c_str()) != S_OK ||
            config.PrepararRutas(salida.c_str()) != S_OK)
            return state.SkipWithError("fill failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FillTemplateWithRoutes)->Unit(benchmark::kMicrosecond);

// Reads the download as LeerConfig812 does, once per iteration (writing it again is not timed:
// the reading rewrites it as a template).
void TimeReading(benchmark::State &state, ModemFixture &fixture, CModemConfig &config,
                 const std::string &download)
{
    const std::string path = fixture.Path("643get.cfg");
    for (auto _ : state)
    {
        state.PauseTiming();
        pcfile::Write(path, download);
        state.ResumeTiming();
        if (config.LeerConfig812(path.c_str()) != S_OK)
            return state.SkipWithError("read failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * download.size()));
}

void BM_ReadDownload10MB(benchmark::State &state)
{
    ModemFixture fixture;
    if (!fixture.ok)
        return state.SkipWithError("no RouterParam");
    CModemConfig config(fixture.param.Get(), fixture.log);
    const std::string download = DownloadOf(fixture, config, 10u << 20);
    if (download.empty())
        return state.SkipWithError("no configuration file to repeat");
    TimeReading(state, fixture, config, download);
}
BENCHMARK(BM_ReadDownload10MB)->Unit(benchmark::kMillisecond);

// The worst case for the port list: 10 MB of nothing but port-mapping lines.
void BM_ReadDownload10MBOfPortLines(benchmark::State &state)
{
    ModemFixture fixture;
    if (!fixture.ok)
        return state.SkipWithError("no RouterParam");
    CModemConfig config(fixture.param.Get(), fixture.log);
    std::string download;
    for (int i = 0; download.size() < (10u << 20); ++i)
        download += std::to_string(150000002 + i % 16) + " = " + (i % 2 ? "192.168.1.34" : "8080") + "\r\n";
    TimeReading(state, fixture, config, download);
}
BENCHMARK(BM_ReadDownload10MBOfPortLines)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
