// The route fixer as the wizard runs it: a whole QelFixRt process on a PC whose gateway answers
// (refuses) on port 80. Target: the mandated 500 ms pause plus at most 100 ms.
#include "bench/BenchMachine.h"
#include "platform/windows.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// The folder of this benchmark program, where QelFixRt and route are built too.
std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program(path, n);
    return program.substr(0, program.find_last_of('/'));
}

// A loopback port that refuses connections, for the gateway's port 80.
int RefusingPort(int &fd)
{
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

void BM_QelFixRtWholeRun(benchmark::State &state)
{
    BenchMachine machine;
    const std::string bin = ProgramFolder();
    ::symlink((bin + "/route").c_str(), (machine.Root() + "/bin/route").c_str());
    int fd;
    std::ofstream(machine.Root() + "/network.ini")
        << "[Hosts]\r\n80.1.2.1:80=127.0.0.1:" << RefusingPort(fd) << "\r\n";
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
    ::close(fd);
}
BENCHMARK(BM_QelFixRtWholeRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
} // namespace

BENCHMARK_MAIN();
