// regedit on a large registry: `regedit /e` of a key holding N values and N subkeys, and
// `regedit /s` of that export into a fresh PC, each run as the process a user starts. Target:
// the export of 100,000 values and 100,000 keys takes under 5 s and grows linearly with N
// (items_per_second about the same for every N).
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/machine.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
constexpr char kTop[] = "Software\\KitBench";
constexpr char kTopName[] = "HKEY_CURRENT_USER\\Software\\KitBench";

void Check(LONG err, const char *what)
{
    if (err != ERROR_SUCCESS)
    {
        std::fprintf(stderr, "%s failed: %d\n", what, static_cast<int>(err));
        std::abort();
    }
}

// A PC whose HKCU\Software\KitBench holds the key Valores with `count` values and the key Claves
// with `count` subkeys, filled once through the API.
class FilledPc
{
  public:
    explicit FilledPc(int count) : count_(count)
    {
        HKEY values, keys;
        Check(RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kTop) + "\\Valores").c_str(), &values),
              "RegCreateKeyA");
        for (int i = 0; i < count; ++i)
        {
            const std::string name = "Valor" + std::to_string(i);
            const std::string text = "192.168.1." + std::to_string(i % 256) + " valor de prueba";
            Check(RegSetValueExA(values, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE *>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  "RegSetValueExA");
        }
        RegCloseKey(values);
        Check(RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kTop) + "\\Claves").c_str(), &keys),
              "RegCreateKeyA");
        for (int i = 0; i < count; ++i)
        {
            HKEY key;
            Check(RegCreateKeyA(keys, ("Clave" + std::to_string(i)).c_str(), &key), "RegCreateKeyA");
            RegCloseKey(key);
        }
        RegCloseKey(keys);
    }

    int Count() const { return count_; }
    const std::string &Root() const { return machine_.Root(); }
    std::string ExportFile() const { return machine_.Root() + "/export.reg"; }

  private:
    kittest::TempMachine machine_{"kit-bench", kittest::TempMachine::Settled};
    int count_;
};

// One filled PC at a time: every PC is the current one while it lives.
FilledPc &Pc(int count)
{
    static std::unique_ptr<FilledPc> pc;
    if (!pc || pc->Count() != count)
    {
        pc.reset();
        pc = std::make_unique<FilledPc>(count);
    }
    ::setenv("KIT_MACHINE", pc->Root().c_str(), 1);
    return *pc;
}

int Regedit(const std::vector<std::string> &arguments)
{
    return kittest::Run(kittest::BinDir() + "/regedit", arguments);
}

void BM_RegeditExport(benchmark::State &state)
{
    FilledPc &pc = Pc(static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (Regedit({"/e", pc.ExportFile(), kTopName}) != 0)
            state.SkipWithError("regedit /e failed");
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}
BENCHMARK(BM_RegeditExport)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_RegeditImport(benchmark::State &state)
{
    FilledPc &pc = Pc(static_cast<int>(state.range(0)));
    if (Regedit({"/e", pc.ExportFile(), kTopName}) != 0)
        state.SkipWithError("regedit /e failed");
    for (auto _ : state)
    {
        state.PauseTiming();
        auto target = std::make_unique<kittest::TempMachine>("kit-bench", kittest::TempMachine::Settled);
        state.ResumeTiming();
        if (Regedit({"/s", pc.ExportFile()}) != 0)
            state.SkipWithError("regedit /s failed");
        state.PauseTiming();
        target.reset();
        ::setenv("KIT_MACHINE", pc.Root().c_str(), 1);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}
BENCHMARK(BM_RegeditImport)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
} // namespace

BENCHMARK_MAIN();
