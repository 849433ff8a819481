// INI file speed: GetPrivateProfileStringA and WritePrivateProfileStringA on a 50-key file, as
// the kit reads Config.ini and writes EnterNet.ini. Target: 10,000 operations per second each.
#include "testing/machine.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace
{
constexpr int kKeys = 50;
constexpr const char *kSection = "General";

std::string KeyName(int index)
{
    return "Clave" + std::to_string(index);
}

// A fresh PC in a temporary folder with a 50-key INI file in its temp folder.
class IniFixture
{
  public:
    IniFixture()
    {
        path_ = kitpc::PathOf("temp") + "/bench.ini";
        for (int i = 0; i < kKeys; ++i)
        {
            std::string value = "valor-" + std::to_string(i * 7919) + "-192.168.1." + std::to_string(i);
            WritePrivateProfileStringA(kSection, KeyName(i).c_str(), value.c_str(), path_.c_str());
        }
    }
    const std::string &Path() const { return path_; }

  private:
    kittest::TempMachine machine_{"kit-bench", kittest::TempMachine::Settled};
    std::string path_;
};

void BM_GetPrivateProfileString(benchmark::State &state)
{
    IniFixture fixture;
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, kKeys - 1);
    char buffer[256];
    for (auto _ : state)
    {
        std::string key = KeyName(pick(random));
        DWORD n = GetPrivateProfileStringA(kSection, key.c_str(), "", buffer, sizeof buffer,
                                           fixture.Path().c_str());
        if (n == 0)
            state.SkipWithError("key not found");
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetPrivateProfileString);

void BM_WritePrivateProfileString(benchmark::State &state)
{
    IniFixture fixture;
    std::mt19937 random(43);
    std::uniform_int_distribution<int> pick(0, kKeys - 1);
    unsigned counter = 0;
    for (auto _ : state)
    {
        std::string key = KeyName(pick(random));
        std::string value = "nuevo-" + std::to_string(++counter);
        if (!WritePrivateProfileStringA(kSection, key.c_str(), value.c_str(), fixture.Path().c_str()))
            state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WritePrivateProfileString);
} // namespace

BENCHMARK_MAIN();
