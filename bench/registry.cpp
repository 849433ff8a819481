// Registry speed on a fresh PC: value reads, value writes (each one committed change) and key
// opens, as the kit reads and writes its settings. Targets: reads >= 50,000/s, writes
// >= 40,000/s, opens >= 25,000/s (items_per_second).
#include "testing/machine.h"
#include "platform/windows.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace
{
constexpr int kValues = 50;
constexpr char kKeyPath[] = "Software\\Telefonica\\Kit ADSL\\Configuracion";

std::string ValueName(int index)
{
    return "Valor" + std::to_string(index);
}

// A fresh PC in a temporary folder with one key of 50 string values and a few sibling keys.
class RegistryFixture
{
  public:
    RegistryFixture()
    {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                            nullptr))
            std::abort();
        for (int i = 0; i < kValues; ++i)
        {
            const std::string text = "192.168.1." + std::to_string(i) + " valor de prueba";
            RegSetValueExA(key_, ValueName(i).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(text.c_str()), text.size() + 1);
        }
        for (int i = 0; i < 20; ++i)
        {
            HKEY sibling;
            const std::string path = std::string("Software\\Telefonica\\Otro") + std::to_string(i);
            RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &sibling);
            RegCloseKey(sibling);
        }
    }
    ~RegistryFixture() { RegCloseKey(key_); }
    HKEY Key() const { return key_; }

  private:
    kittest::TempMachine machine_{"kit-bench", kittest::TempMachine::Settled};
    HKEY key_ = nullptr;
};

RegistryFixture &Fixture()
{
    static RegistryFixture fixture;
    return fixture;
}

void BM_RegQueryValueEx(benchmark::State &state)
{
    HKEY key = Fixture().Key();
    char buffer[256];
    int i = 0;
    for (auto _ : state)
    {
        DWORD size = sizeof buffer, type;
        const std::string name = ValueName(i++ % kValues);
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size))
            state.SkipWithError("RegQueryValueExA failed");
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegQueryValueEx);

void BM_RegSetValueEx(benchmark::State &state)
{
    HKEY key = Fixture().Key();
    DWORD counter = 0;
    for (auto _ : state)
    {
        const std::string name = ValueName(static_cast<int>(counter % kValues));
        ++counter;
        if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&counter), 4))
            state.SkipWithError("RegSetValueExA failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegSetValueEx);

void BM_RegOpenKeyEx(benchmark::State &state)
{
    Fixture();
    for (auto _ : state)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key))
            state.SkipWithError("RegOpenKeyExA failed");
        RegCloseKey(key);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegOpenKeyEx);
} // namespace

BENCHMARK_MAIN();
