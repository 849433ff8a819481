// routersim: the Prestige 643 modem-router the kit configures, outside the simulated PC.
//
//   routersim start --state DIR --machine MACHINE [--address 192.168.1.1] [--password P]
//                   [--fault LIST] [--delay MS] [--restart-seconds N] [--codes FILE]
//                   [--ftp-port N] [--http-port N] [--com N] [--baud N]
//                   [--firmware-settings keep|factory] [--detach]
//       Listens on 127.0.0.1, writes the PC's network.ini lines for the router's address
//       ([Hosts] ADDRESS:21, ADDRESS:80 and ADDRESS:* for passive data ports), prints
//       "routersim: ftp 127.0.0.1:PORT http 127.0.0.1:PORT address ADDRESS" and serves until
//       SIGTERM (or `routersim stop`), then removes its lines again. --detach returns once the
//       router serves, the router left running on its own, away from the terminal and the
//       caller's pipes. --password sets the router's system password (code 23000001), which
//       its FTP server asks for. One router runs on a state, and one on an address of a PC.
//       The router's serial console is a pty the PC's devices/COMn links to (--com, 1 unless
//       given; 0: none), sending no faster than --baud N bits a second (0, the default: as fast
//       as the line takes it). --firmware-settings factory: a new firmware brings the factory
//       settings back, as some firmware images do (keep, the default: the settings stay).
//   routersim stop --state DIR          stops the running router of that state
//   routersim show --state DIR          prints the running settings ("code = value")
//   routersim fault --state DIR LIST [--delay MS]
//       sets the misbehaviour for new connections and new openings of the console's port:
//       refuse-login, drop-control, drop-data, slow, garbage, silent, no-data, firmware-no-data,
//       firmware-drop-data (those two for the firmware alone), console-silent,
//       console-no-password, console-wrong-password, console-garbage, console-drop,
//       console-dhcp-none (comma-separated), or none
//
// Exit status: 0 done, 1 refused or failed (the reason on standard error), 2 a bad command line.
// The state directory is described in Router.h.
#include "tools/routersim/ConsoleLine.h"
#include "tools/routersim/FileLock.h"
#include "tools/routersim/PcNetwork.h"
#include "tools/routersim/Router.h"
#include "tools/routersim/Server.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using routersim::Router;

constexpr unsigned kStopSeconds = 10; // how long `stop` waits for the router to end

void PrintUsage(std::FILE *to)
{
    std::fprintf(to,
                 "usage: routersim start --state DIR --machine MACHINE [--address A] [--password P]\n"
                 "                       [--fault LIST] [--delay MS] [--restart-seconds N] [--codes FILE]\n"
                 "                       [--ftp-port N] [--http-port N] [--com N] [--baud N]\n"
                 "                       [--firmware-settings keep|factory] [--detach]\n"
                 "       routersim stop --state DIR\n"
                 "       routersim show --state DIR [--codes FILE]\n"
                 "       routersim fault --state DIR LIST [--delay MS]\n"
                 "       routersim --help\n"
                 "faults: refuse-login drop-control drop-data slow garbage silent no-data firmware-no-data\n"
                 "        firmware-drop-data\n"
                 "        console-silent console-no-password console-wrong-password console-garbage\n"
                 "        console-drop console-dhcp-none none\n"
                 "ports: 0 to 65535 (0: any free port); delay: 0 to 3600000 ms; restart seconds: 0 to 3600\n"
                 "com: the PC's COMn the console is on, 0 to 99 (1; 0: no console); baud: 0 to 1000000 (0: "
                 "unpaced)\n");
}

// A message on standard error, "routersim: " before it.
[[gnu::format(printf, 1, 2)]] void Say(const char *format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::fputs("routersim: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    va_end(arguments);
}

// A bad command line: what is wrong, then the usage.
int Usage(const std::string &problem = "")
{
    if (!problem.empty())
        Say("%s", problem.c_str());
    PrintUsage(stderr);
    return 2;
}

struct Arguments
{
    std::string command;
    std::map<std::string, std::string> options;
    std::vector<std::string> words;
    bool detach = false;
};

// What each command takes: its options with a value, and how many words.
struct Grammar
{
    std::set<std::string> options;
    size_t words;
    bool detach;
};

const Grammar *GrammarOf(const std::string &command)
{
    static const std::map<std::string, Grammar> grammars = {
        {"start",
         {{"state", "machine", "address", "password", "fault", "delay", "restart-seconds", "codes",
           "ftp-port", "http-port", "com", "baud", "firmware-settings"},
          0,
          true}},
        {"stop", {{"state"}, 0, false}},
        {"show", {{"state", "codes"}, 0, false}},
        {"fault", {{"state", "delay"}, 1, false}},
    };
    const auto it = grammars.find(command);
    return it == grammars.end() ? nullptr : &it->second;
}

bool WantsHelp(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "/?") == 0)
            return true;
    return false;
}

bool ParseNumber(const std::string &text, long long low, long long high)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

bool ValidAddress(const std::string &text)
{
    unsigned a, b, c, d;
    char tail;
    return std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256 && b < 256 &&
           c < 256 && d < 256;
}

// The values the options must have; empty when they are fine, else what is wrong.
std::string CheckValues(const Arguments &arguments)
{
    struct Range
    {
        const char *option;
        long long low, high;
        const char *unit;
    };
    static const Range ranges[] = {
        {"delay", 0, 3600000, "milliseconds, 0 to 3600000"},
        {"restart-seconds", 0, 3600, "seconds, 0 to 3600"},
        {"ftp-port", 0, 65535, "a port, 0 to 65535"},
        {"http-port", 0, 65535, "a port, 0 to 65535"},
        {"com", 0, 99, "a COM port number, 0 to 99"},
        {"baud", 0, 1000000, "bits a second, 0 to 1000000"},
    };
    for (const Range &range : ranges)
        if (auto it = arguments.options.find(range.option);
            it != arguments.options.end() && !ParseNumber(it->second, range.low, range.high))
            return "bad --" + it->first + " " + it->second + " (" + range.unit + ")";
    if (auto it = arguments.options.find("address");
        it != arguments.options.end() && !ValidAddress(it->second))
        return "bad --address " + it->second + " (an IPv4 address such as 192.168.1.1)";
    if (auto it = arguments.options.find("firmware-settings");
        it != arguments.options.end() && it->second != "keep" && it->second != "factory")
        return "bad --firmware-settings " + it->second + " (keep or factory)";
    const std::string *faultList = nullptr;
    if (auto it = arguments.options.find("fault"); it != arguments.options.end())
        faultList = &it->second;
    else if (arguments.command == "fault")
        faultList = &arguments.words[0];
    routersim::Faults faults;
    std::string bad;
    if (faultList && !routersim::ParseFaults(*faultList, faults, bad))
        return "unknown fault " + bad;
    if (arguments.command == "start" && !arguments.options.count("machine"))
        return "start needs --machine (the PC's folder)";
    return "";
}

// The command line; an empty string when it is good, else what is wrong.
std::string Parse(int argc, char **argv, Arguments &arguments)
{
    if (argc < 2)
        return "no command";
    arguments.command = argv[1];
    const Grammar *grammar = GrammarOf(arguments.command);
    if (!grammar)
        return "unknown command " + arguments.command;
    for (int i = 2; i < argc; ++i)
    {
        const std::string argument = argv[i];
        if (argument.rfind("--", 0) != 0)
        {
            arguments.words.push_back(argument);
            continue;
        }
        const std::string name = argument.substr(2);
        if (name == "detach" && grammar->detach)
            arguments.detach = true;
        else if (!grammar->options.count(name))
            return "unknown option " + argument + " for " + arguments.command;
        else if (i + 1 >= argc)
            return argument + " needs a value";
        else
            arguments.options[name] = argv[++i];
    }
    if (!arguments.options.count("state"))
        return arguments.command + " needs --state (the router's folder)";
    if (arguments.words.size() != grammar->words)
        return grammar->words ? arguments.command + " takes one list of faults"
                              : "unexpected " + arguments.words[0];
    return CheckValues(arguments);
}

std::string Option(const Arguments &arguments, const std::string &name, const std::string &fallback = "")
{
    auto it = arguments.options.find(name);
    return it == arguments.options.end() ? fallback : it->second;
}

// --- the state folder ---

// A state some router has started on; false, said, when there is none.
bool ExistingState(const std::string &dir)
{
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec))
        return true;
    if (std::filesystem::exists(dir, ec))
        Say("the state %s is not a folder", dir.c_str());
    else
        Say("there is no router state at %s (a router started there makes one)", dir.c_str());
    return false;
}

// A folder the router can keep its state in, made when missing; false, said, when there is none.
bool WritableState(const std::string &dir)
{
    std::error_code ec;
    if (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec))
    {
        Say("the state %s is not a folder", dir.c_str());
        return false;
    }
    if (!std::filesystem::create_directories(dir, ec) && ec)
    {
        Say("cannot make the state folder %s: %s", dir.c_str(), ec.message().c_str());
        return false;
    }
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
    {
        Say("the state folder %s is not writable: %s", dir.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

// What the running router keeps in [Running] to be found and cleaned up after.
struct Running
{
    int pid = 0;
    std::string address;
    std::string machine;
    routersim::Ports ports;
    std::string com; // the PC's devices/COMn
    std::string pty; // where it leads
};

Running RunningOf(const Router &router)
{
    Running running;
    running.pid = std::atoi(router.Ini("Running", "Pid", "").c_str());
    running.address = router.Ini("Running", "Address", "");
    running.machine = router.Ini("Running", "Machine", "");
    running.ports.ftp = static_cast<uint16_t>(std::atoi(router.Ini("Running", "FtpPort", "").c_str()));
    running.ports.http = static_cast<uint16_t>(std::atoi(router.Ini("Running", "HttpPort", "").c_str()));
    running.com = router.Ini("Running", "Com", "");
    running.pty = router.Ini("Running", "Pty", "");
    return running;
}

bool SetRunning(const Router &router, const Running &running)
{
    const auto text = [](int value) { return value ? std::to_string(value) : std::string(); };
    return router.SetIni("Running", "Pid", text(running.pid)) &&
           router.SetIni("Running", "FtpPort", text(running.ports.ftp)) &&
           router.SetIni("Running", "HttpPort", text(running.ports.http)) &&
           router.SetIni("Running", "Address", running.address) &&
           router.SetIni("Running", "Machine", running.machine) &&
           router.SetIni("Running", "Com", running.com) && router.SetIni("Running", "Pty", running.pty);
}

// The PC's network as the router leaves it: without its lines (and its COM port).
void Unmap(const Running &running)
{
    routersim::ConsoleLine::RemoveLink(running.com, running.pty);
    if (running.machine.empty() || running.address.empty())
        return;
    ::setenv("KIT_MACHINE", running.machine.c_str(), 1);
    routersim::UnmapRouter(running.machine, running.address, running.ports);
}

// A router that died without a word (its lock is free) leaves its lines and [Running] behind.
void ForgetDeadRouter(const Router &router)
{
    const Running dead = RunningOf(router);
    Unmap(dead);
    if (dead.pid || dead.ports.ftp || !dead.machine.empty() || !dead.com.empty())
        SetRunning(router, Running());
}

// --- start ---

void OnSignal(int)
{
    routersim::g_stop.store(true);
}

void CatchSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

// Command-line settings become the state's; false when the state cannot keep them.
bool TakeOptions(const Arguments &arguments, const Router &router)
{
    struct Setting
    {
        const char *option, *section, *key;
    };
    static const Setting settings[] = {
        {"address", "Router", "Address"},
        {"password", "Router", "Password"},
        {"restart-seconds", "Router", "RestartSeconds"},
        {"firmware-settings", "Router", "FirmwareSettings"},
        {"delay", "Faults", "Delay"},
        {"fault", "Faults", "Fault"},
    };
    for (const Setting &setting : settings)
        if (auto it = arguments.options.find(setting.option);
            it != arguments.options.end() && !router.SetIni(setting.section, setting.key, it->second))
            return false;
    return true;
}

// A detached router, between the fork and serving: it tells its parent through a pipe, "+"
// once it serves, "-" and the reason when it cannot.
class Detachment
{
  public:
    // In the parent: true when the router serves (said on standard output), else the reason said.
    static bool Await(int readEnd, pid_t child, const routersim::Ports &ports, const std::string &address)
    {
        std::string answer;
        char chunk[256];
        ssize_t n;
        while ((n = ::read(readEnd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                answer.append(chunk, static_cast<size_t>(n));
        ::close(readEnd);
        if (answer == "+")
        {
            std::printf("routersim: ftp 127.0.0.1:%u http 127.0.0.1:%u address %s pid %d\n", ports.ftp,
                        ports.http, address.c_str(), static_cast<int>(child));
            return true;
        }
        ::waitpid(child, nullptr, 0);
        Say("%s", answer.size() > 1 ? answer.c_str() + 1 : "the router ended before it was serving");
        return false;
    }

    // In the router: away from the terminal and from the caller's descriptors.
    static void Leave(const std::string &logPath)
    {
        ::setsid();
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        int log = ::open(logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (log < 0)
            log = null;
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
        if (log != null)
            ::close(log);
        ::close(null);
    }

    static void Tell(int writeEnd, const std::string &answer)
    {
        (void)!::write(writeEnd, answer.data(), answer.size());
        ::close(writeEnd);
    }
};

// The state for a new router: a writable folder, its lock held for the router's life, what a
// dead router left behind cleaned up. False, said, when another router runs there.
bool ClaimState(const Router &router, routersim::FileLock &alive)
{
    if (!WritableState(router.StateDir()))
        return false;
    if (!alive.Open(router.LockPath(), false))
    {
        Say("cannot open %s: %s", router.LockPath().c_str(), std::strerror(errno));
        return false;
    }
    if (!alive.TryLock())
    {
        const int pid = RunningOf(router).pid;
        const std::string which = pid ? " (pid " + std::to_string(pid) + ")" : "";
        Say("a router is already running on the state %s%s; stop it first", router.StateDir().c_str(),
            which.c_str());
        return false;
    }
    ForgetDeadRouter(router);
    return true;
}

// The console's line on the PC's COM port of --com (none for 0); `running` learns its link.
std::unique_ptr<routersim::ConsoleLine> ConsoleLineOf(const Arguments &arguments, Router &router,
                                                      const std::string &machine, Running &running)
{
    const int com = std::atoi(Option(arguments, "com", "1").c_str());
    if (com <= 0)
        return nullptr;
    running.com = machine + "/devices/COM" + std::to_string(com);
    auto line = std::make_unique<routersim::ConsoleLine>(router, running.com,
                                                         std::atoi(Option(arguments, "baud", "0").c_str()));
    return line;
}

int Start(const Arguments &arguments)
{
    Router router(Option(arguments, "state"));
    routersim::FileLock alive;
    if (!ClaimState(router, alive))
        return 1;

    std::error_code ec;
    const std::string machine =
        std::filesystem::absolute(Option(arguments, "machine"), ec).lexically_normal();
    ::setenv("KIT_MACHINE", machine.c_str(), 1);
    std::filesystem::create_directories(machine, ec);
    const std::string address = Option(arguments, "address", router.Address());
    if (std::optional<uint16_t> other = routersim::LiveRouterAt(machine, address))
    {
        Say("another router already serves the address %s on the PC %s (at 127.0.0.1:%u)", address.c_str(),
            machine.c_str(), *other);
        return 1;
    }

    std::string error;
    if (!router.Load(Option(arguments, "codes", KIT_ROUTER_CODES), error))
    {
        Say("%s", error.c_str());
        return 1;
    }
    // The password is the router's own setting, the one a configuration upload may change.
    if (auto it = arguments.options.find("password");
        it != arguments.options.end() && !router.SetValue(23000001, it->second))
        return Usage("bad --password " + it->second + " (the router's list does not take it)");
    if (!TakeOptions(arguments, router))
    {
        Say("cannot write the settings in %s", router.StateDir().c_str());
        return 1;
    }
    if (!router.Save())
    {
        Say("cannot write the settings in %s", router.StateDir().c_str());
        return 1;
    }

    routersim::Server server(router);
    routersim::Ports ports;
    ports.ftp = static_cast<uint16_t>(std::atoi(Option(arguments, "ftp-port", "0").c_str()));
    ports.http = static_cast<uint16_t>(std::atoi(Option(arguments, "http-port", "0").c_str()));
    if (!server.Open(ports, error))
    {
        Say("%s", error.c_str());
        return 1;
    }

    int ready[2] = {-1, -1};
    if (arguments.detach)
    {
        std::fflush(nullptr);
        if (::pipe2(ready, O_CLOEXEC) != 0)
        {
            Say("cannot detach: %s", std::strerror(errno));
            return 1;
        }
        const pid_t child = ::fork();
        if (child < 0)
        {
            Say("cannot detach: %s", std::strerror(errno));
            return 1;
        }
        if (child > 0)
        {
            ::close(ready[1]);
            return Detachment::Await(ready[0], child, ports, address) ? 0 : 1;
        }
        ::close(ready[0]);
        Detachment::Leave(router.StateDir() + "/routersim.log");
    }

    CatchSignals();
    Running running{static_cast<int>(::getpid()), address, machine, ports, "", ""};
    std::unique_ptr<routersim::ConsoleLine> line = ConsoleLineOf(arguments, router, machine, running);
    std::string problem;
    if (line && !line->Open(problem))
    {
        line.reset();
        running.com.clear();
        if (!arguments.options.count("com"))
        {
            // COM1 unasked for and taken (another router of the PC has it): no console.
            router.Log("no console: " + problem);
            problem.clear();
        }
    }
    else if (line)
        running.pty = line->Slave();
    if (problem.empty() && (!routersim::MapRouter(machine, address, ports) || !SetRunning(router, running)))
        problem =
            "cannot write the PC's network " + machine + "/network.ini or the state " + router.StateDir();
    if (!problem.empty())
    {
        line.reset();
        Unmap(running);
        SetRunning(router, Running());
        if (arguments.detach)
            Detachment::Tell(ready[1], "-" + problem);
        else
            Say("%s", problem.c_str());
        return 1;
    }
    router.Log("started: ftp 127.0.0.1:" + std::to_string(ports.ftp) +
               " http 127.0.0.1:" + std::to_string(ports.http) + " address " + address +
               (line ? " console " + running.com + " -> " + running.pty : std::string()));
    if (arguments.detach)
        Detachment::Tell(ready[1], "+");
    else
    {
        std::printf("routersim: ftp 127.0.0.1:%u http 127.0.0.1:%u address %s\n", ports.ftp, ports.http,
                    address.c_str());
        std::fflush(stdout);
        router.SetForeground(true);
    }

    std::thread console;
    if (line)
        console = std::thread([&line] { line->Run(); });
    server.Run();
    if (console.joinable())
        console.join();
    line.reset();
    Unmap(running);
    SetRunning(router, Running());
    router.Log("stopped");
    return 0;
}

// --- stop, show, fault ---

int Stop(const Arguments &arguments)
{
    Router router(Option(arguments, "state"));
    if (!ExistingState(router.StateDir()))
        return 1;
    routersim::FileLock alive;
    const bool opened = alive.Open(router.LockPath(), false);
    if (!opened || alive.TryLock())
    {
        if (opened)
            ForgetDeadRouter(router); // its lock is ours now: whatever it left is stale
        Say("no router is running on the state %s", router.StateDir().c_str());
        return 1;
    }
    const int pid = RunningOf(router).pid;
    if (pid <= 0)
    {
        Say("the router on the state %s is still starting; try again", router.StateDir().c_str());
        return 1;
    }
    if (::kill(pid, SIGTERM) != 0)
    {
        Say("cannot stop the router (pid %d): %s", pid, std::strerror(errno));
        return 1;
    }
    // It ends by letting its lock go, once it has taken its lines out of the PC's network.
    if (!alive.LockWithin(kStopSeconds))
    {
        Say("the router (pid %d) has not stopped within %u s", pid, kStopSeconds);
        return 1;
    }
    return 0;
}

int Show(const Arguments &arguments)
{
    Router router(Option(arguments, "state"));
    if (!ExistingState(router.StateDir()))
        return 1;
    std::string error;
    if (!router.Load(Option(arguments, "codes", KIT_ROUTER_CODES), error))
    {
        Say("%s", error.c_str());
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
    Router router(Option(arguments, "state"));
    if (!ExistingState(router.StateDir()))
        return 1;
    const bool kept = router.SetIni("Faults", "Fault", arguments.words[0]) &&
                      (!arguments.options.count("delay") ||
                       router.SetIni("Faults", "Delay", arguments.options.at("delay")));
    if (!kept)
    {
        Say("cannot write the state %s", router.StateDir().c_str());
        return 1;
    }
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (WantsHelp(argc, argv))
    {
        PrintUsage(stdout);
        return 0;
    }
    Arguments arguments;
    if (const std::string problem = Parse(argc, argv, arguments); !problem.empty())
        return Usage(problem);
    if (arguments.command == "start")
        return Start(arguments);
    if (arguments.command == "stop")
        return Stop(arguments);
    if (arguments.command == "show")
        return Show(arguments);
    return Fault(arguments);
}
