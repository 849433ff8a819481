// The route fixer as the wizard runs it: a whole QelFixRt process on a PC whose gateway answers
// (refuses) on port 80. Target: the mandated 500 ms pause plus at most 100 ms.
#include "testing/loopback.h"
#include "testing/machine.h"
#include "platform/windows.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace
{
void BM_QelFixRtWholeRun(benchmark::State &state)
{
    kittest::TempMachine machine{"kit-bench", kittest::TempMachine::Settled};
    const std::string bin = kittest::BinDir();
    std::error_code ec;
    std::filesystem::create_symlink(bin + "/route", machine.Root() + "/bin/route", ec);
    const kittest::ClosedPort gateway;
    kittest::MapHostPort(machine.Root(), "80.1.2.1", 80, gateway.Port());
    std::string commandLine = bin + "/QelFixRt 80.1.2.3 255.255.255.0";
    for (auto _ : state)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
        {
            state.SkipWithError("QelFixRt could not start");
            break;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        if (exitCode != 1)
            state.SkipWithError("QelFixRt did not fix the routes");
    }
}
BENCHMARK(BM_QelFixRtWholeRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
} // namespace

BENCHMARK_MAIN();
