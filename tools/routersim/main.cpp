// routersim: the Prestige 643 modem-router the kit configures, outside the simulated PC.
//
//   routersim start --state DIR --machine MACHINE [--address 192.168.1.1] [--password P]
//                   [--fault LIST] [--delay MS] [--restart-seconds N] [--codes FILE]
//                   [--ftp-port N] [--http-port N] [--detach]
//       Listens on 127.0.0.1, writes the PC's network.ini lines for the router's address
//       ([Hosts] ADDRESS:21, ADDRESS:80 and ADDRESS:* for passive data ports), prints
//       "routersim: ftp 127.0.0.1:PORT http 127.0.0.1:PORT address ADDRESS" and serves until
//       SIGTERM (or `routersim stop`). --detach returns once the router is up. --password
//       sets the router's system password (code 23000001), which its FTP server asks for.
//   routersim stop --state DIR          stops the running router of that state
//   routersim show --state DIR          prints the running settings ("code = value")
//   routersim fault --state DIR LIST [--delay MS]
//       sets the misbehaviour for new connections: refuse-login, drop-control, drop-data,
//       slow, garbage, silent, no-data (comma-separated), or none
//
// The state directory is described in Router.h.
#include "tools/routersim/Router.h"
#include "tools/routersim/Server.h"
#include "platform/windows.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
using routersim::Router;

int Usage()
{
    std::fprintf(stderr,
                 "usage: routersim start --state DIR --machine MACHINE [--address A] [--password P]\n"
                 "                       [--fault LIST] [--delay MS] [--restart-seconds N] [--codes FILE]\n"
                 "                       [--ftp-port N] [--http-port N] [--detach]\n"
                 "       routersim stop --state DIR\n"
                 "       routersim show --state DIR\n"
                 "       routersim fault --state DIR LIST [--delay MS]\n"
                 "faults: refuse-login drop-control drop-data slow garbage silent no-data none\n");
    return 2;
}

struct Arguments
{
    std::map<std::string, std::string> options;
    std::vector<std::string> words;
    bool detach = false;
};

bool Parse(int argc, char **argv, Arguments &arguments)
{
    for (int i = 2; i < argc; ++i)
    {
        std::string argument = argv[i];
        if (argument == "--detach")
            arguments.detach = true;
        else if (argument.rfind("--", 0) == 0)
        {
            if (i + 1 >= argc)
                return false;
            arguments.options[argument.substr(2)] = argv[++i];
        }
        else
            arguments.words.push_back(argument);
    }
    return arguments.options.count("state") > 0;
}

std::string Option(const Arguments &arguments, const std::string &name, const std::string &fallback = "")
{
    auto it = arguments.options.find(name);
    return it == arguments.options.end() ? fallback : it->second;
}

bool ValidAddress(const std::string &text)
{
    unsigned a, b, c, d;
    char tail;
    return std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256 && b < 256 &&
           c < 256 && d < 256;
}

// The PC's virtual network: the router's address reaches these loopback ports.
void WriteNetwork(const std::string &machine, const std::string &address, const routersim::Ports &ports)
{
    const std::string ini = machine + "/network.ini";
    WritePrivateProfileStringA("Hosts", (address + ":21").c_str(),
                               ("127.0.0.1:" + std::to_string(ports.ftp)).c_str(), ini.c_str());
    WritePrivateProfileStringA("Hosts", (address + ":80").c_str(),
                               ("127.0.0.1:" + std::to_string(ports.http)).c_str(), ini.c_str());
    WritePrivateProfileStringA("Hosts", (address + ":*").c_str(), "127.0.0.1:*", ini.c_str());
}

void OnSignal(int)
{
    routersim::g_stop.store(true);
}

int Start(const Arguments &arguments)
{
    const std::string machine = Option(arguments, "machine");
    if (machine.empty())
        return Usage();
    Router router(Option(arguments, "state"));
    std::error_code ec;
    std::filesystem::create_directories(router.StateDir(), ec);
    ::setenv("KIT_MACHINE", machine.c_str(), 1);
    std::filesystem::create_directories(machine, ec);

    // Command-line settings become the state's.
    if (auto it = arguments.options.find("address"); it != arguments.options.end())
    {
        if (!ValidAddress(it->second))
        {
            std::fprintf(stderr, "routersim: bad address %s\n", it->second.c_str());
            return 2;
        }
        router.SetIni("Router", "Address", it->second);
    }
    for (const char *key : {"password", "restart-seconds", "delay", "fault"})
    {
        auto it = arguments.options.find(key);
        if (it == arguments.options.end())
            continue;
        if (std::strcmp(key, "fault") == 0)
        {
            routersim::Faults faults;
            std::string bad;
            if (!routersim::ParseFaults(it->second, faults, bad))
            {
                std::fprintf(stderr, "routersim: unknown fault %s\n", bad.c_str());
                return 2;
            }
        }
        const char *section = std::strcmp(key, "password") == 0 || std::strcmp(key, "restart-seconds") == 0
                                  ? "Router"
                                  : "Faults";
        const char *name = std::strcmp(key, "password") == 0          ? "Password"
                           : std::strcmp(key, "restart-seconds") == 0 ? "RestartSeconds"
                           : std::strcmp(key, "delay") == 0           ? "Delay"
                                                                      : "Fault";
        router.SetIni(section, name, it->second);
    }

    std::string error;
    if (!router.Load(Option(arguments, "codes", KIT_ROUTER_CODES), error))
    {
        std::fprintf(stderr, "routersim: %s\n", error.c_str());
        return 1;
    }
    // The password is the router's own setting, the one a configuration upload may change.
    if (auto it = arguments.options.find("password");
        it != arguments.options.end() && !router.SetValue(23000001, it->second))
    {
        std::fprintf(stderr, "routersim: bad password %s\n", it->second.c_str());
        return 2;
    }
    routersim::Server server(router);
    routersim::Ports ports;
    ports.ftp = static_cast<uint16_t>(std::atoi(Option(arguments, "ftp-port", "0").c_str()));
    ports.http = static_cast<uint16_t>(std::atoi(Option(arguments, "http-port", "0").c_str()));
    if (!server.Open(ports))
    {
        std::fprintf(stderr, "routersim: cannot listen on 127.0.0.1\n");
        return 1;
    }

    int ready[2] = {-1, -1};
    if (arguments.detach)
    {
        if (::pipe(ready) != 0)
            return 1;
        const pid_t child = ::fork();
        if (child < 0)
            return 1;
        if (child > 0)
        {
            ::close(ready[1]);
            char byte = 0;
            const bool up = ::read(ready[0], &byte, 1) == 1;
            if (up)
                std::printf("routersim: ftp 127.0.0.1:%u http 127.0.0.1:%u address %s pid %d\n", ports.ftp,
                            ports.http, router.Address().c_str(), static_cast<int>(child));
            return up ? 0 : 1;
        }
        ::close(ready[0]);
        ::setsid();
        if (std::FILE *null = std::freopen("/dev/null", "r", stdin))
            (void)null;
        if (std::FILE *null = std::freopen("/dev/null", "w", stdout))
            (void)null;
    }

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    WriteNetwork(machine, router.Address(), ports);
    router.SetIni("Running", "Pid", std::to_string(::getpid()));
    router.SetIni("Running", "FtpPort", std::to_string(ports.ftp));
    router.SetIni("Running", "HttpPort", std::to_string(ports.http));
    router.Log("started: ftp 127.0.0.1:" + std::to_string(ports.ftp) +
               " http 127.0.0.1:" + std::to_string(ports.http) + " address " + router.Address());
    if (arguments.detach)
    {
        const char byte = 1;
        (void)!::write(ready[1], &byte, 1);
        ::close(ready[1]);
    }
    else
    {
        std::printf("routersim: ftp 127.0.0.1:%u http 127.0.0.1:%u address %s\n", ports.ftp, ports.http,
                    router.Address().c_str());
        std::fflush(stdout);
        router.SetForeground(true);
    }

    server.Run();
    router.SetIni("Running", "Pid", "");
    router.Log("stopped");
    return 0;
}

int Stop(const Arguments &arguments)
{
    Router router(Option(arguments, "state"));
    const int pid = std::atoi(router.Ini("Running", "Pid", "").c_str());
    if (pid <= 0)
    {
        std::fprintf(stderr, "routersim: not running\n");
        return 1;
    }
    if (::kill(pid, SIGTERM) != 0)
    {
        router.SetIni("Running", "Pid", ""); // it died without saying so
        std::fprintf(stderr, "routersim: not running\n");
        return 1;
    }
    // It says it has stopped by clearing its pid (bounded: it stops within seconds).
    for (int i = 0; i < 100 && ::kill(pid, 0) == 0 && !router.Ini("Running", "Pid", "").empty(); ++i)
        ::usleep(50000);
    return 0;
}

int Show(const Arguments &arguments)
{
    Router router(Option(arguments, "state"));
    std::string error;
    if (!router.Load(Option(arguments, "codes", KIT_ROUTER_CODES), error))
    {
        std::fprintf(stderr, "routersim: %s\n", error.c_str());
        return 1;
    }
    std::string text = router.ConfigText();
    for (char c : text)
        if (c != '\r')
            std::putchar(c);
    const std::string firmware = router.Ini("Firmware", "Size", "");
    if (!firmware.empty())
        std::printf("# firmware: %s bytes, received %s\n", firmware.c_str(),
                    router.Ini("Firmware", "Received", "").c_str());
    return 0;
}

int Fault(const Arguments &arguments)
{
    if (arguments.words.size() != 1)
        return Usage();
    routersim::Faults faults;
    std::string bad;
    if (!routersim::ParseFaults(arguments.words[0], faults, bad))
    {
        std::fprintf(stderr, "routersim: unknown fault %s\n", bad.c_str());
        return 2;
    }
    Router router(Option(arguments, "state"));
    std::error_code ec;
    std::filesystem::create_directories(router.StateDir(), ec);
    router.SetIni("Faults", "Fault", arguments.words[0]);
    if (auto it = arguments.options.find("delay"); it != arguments.options.end())
        router.SetIni("Faults", "Delay", it->second);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    Arguments arguments;
    if (!Parse(argc, argv, arguments))
        return Usage();
    if (command == "start")
        return Start(arguments);
    if (command == "stop")
        return Stop(arguments);
    if (command == "show")
        return Show(arguments);
    if (command == "fault")
        return Fault(arguments);
    return Usage();
}
