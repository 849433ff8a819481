// The world around the PC, for tests and benchmarks: FTP servers standing in for the router
// (routersim, or Debian's pyftpdlib with the router's login) and programs run from outside the
// PC (curl). Processes are started with their output on a pipe, ended with SIGTERM and reaped.
// POSIX only: this is the outside, not the PC.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kitservers
{
// A program with its standard output on a pipe (standard error thrown away).
class Process
{
  public:
    Process(const std::string &path, const std::vector<std::string> &arguments)
    {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            return;
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(path.c_str()));
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0)
        {
            ::dup2(pipeFds[1], 1);
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
    }
    ~Process()
    {
        Terminate();
        if (out_ >= 0)
            ::close(out_);
    }
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool Started() const { return pid_ > 0; }

    // The next line of output (without its end); empty at the end or after `milliseconds`.
    std::string ReadLine(int milliseconds = 20000)
    {
        std::string line;
        char c;
        while (out_ >= 0)
        {
            pollfd item{out_, POLLIN, 0};
            if (::poll(&item, 1, milliseconds) <= 0 || ::read(out_, &c, 1) != 1 || c == '\n')
                break;
            line += c;
        }
        return line;
    }

    // Everything up to the end of the output.
    std::string ReadAll()
    {
        std::string all;
        char chunk[4096];
        ssize_t n;
        while (out_ >= 0 && ((n = ::read(out_, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)))
            if (n > 0)
                all.append(chunk, static_cast<size_t>(n));
        return all;
    }

    // Asks the program to end (SIGTERM) and waits for it; its exit status.
    int Terminate()
    {
        if (pid_ <= 0)
            return status_;
        ::kill(pid_, SIGTERM);
        return Wait();
    }

    // Ends the program at once (SIGKILL), as a machine that loses its power; its exit status.
    int Kill()
    {
        if (pid_ <= 0)
            return status_;
        ::kill(pid_, SIGKILL);
        return Wait();
    }

    int Wait()
    {
        if (pid_ <= 0)
            return status_;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR)
        {
        }
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
};

// Runs a program to its end; its exit status (127 when it could not start) and its output.
inline int Run(const std::string &path, const std::vector<std::string> &arguments,
               std::string *output = nullptr)
{
    Process process(path, arguments);
    if (!process.Started())
        return 127;
    std::string all = process.ReadAll();
    if (output)
        *output = all;
    return process.Wait();
}

inline bool Executable(const std::string &path)
{
    return ::access(path.c_str(), X_OK) == 0;
}

// Debian's python3 (the first python3 on PATH may be another one, without Debian's packages).
constexpr const char *kPython = "/usr/bin/python3";
constexpr const char *kCurl = "/usr/bin/curl";

inline bool HasPyftpdlib()
{
    return Executable(kPython) && Run(kPython, {"-c", "import pyftpdlib"}) == 0;
}

inline bool HasCurl()
{
    return Executable(kCurl);
}

// pyftpdlib standing in for the router: user "guest" with the password, files in `root`,
// listening on 127.0.0.1. Its PASV replies name the router's virtual address, and a PORT
// naming the PC's virtual address is reached at loopback, as the PC's network maps them.
constexpr const char *kPyftpdScript = R"PY(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
root, password, address = sys.argv[1], sys.argv[2], sys.argv[3]
logging.basicConfig(level=logging.ERROR)
authorizer = DummyAuthorizer()
authorizer.add_user('guest', password, root, perm='elradfmwMT')
class RouterHandler(FTPHandler):
    masquerade_address = address
    def ftp_PORT(self, line):
        parts = line.split(',')
        if len(parts) == 6:
            line = ','.join(['127', '0', '0', '1'] + parts[4:])
        return FTPHandler.ftp_PORT(self, line)
RouterHandler.authorizer = authorizer
server = FTPServer(('127.0.0.1', 0), RouterHandler)
print('pyftpdlib 127.0.0.1:%d' % server.address[1], flush=True)
server.serve_forever()
)PY";

class PyFtpd
{
  public:
    explicit PyFtpd(const std::string &root, const std::string &password = "5807",
                    const std::string &address = "192.168.1.1")
        : process_(kPython, {"-c", kPyftpdScript, root, password, address})
    {
        const std::string line = process_.ReadLine();
        const size_t colon = line.rfind(':');
        if (line.rfind("pyftpdlib ", 0) == 0 && colon != std::string::npos)
            port_ = static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
    }
    bool Started() const { return port_ != 0; }
    uint16_t Port() const { return port_; }

  private:
    Process process_;
    uint16_t port_ = 0;
};

// routersim on a PC; its first line says where it listens.
class RouterSim
{
  public:
    RouterSim(const std::string &binDir, const std::string &state, const std::string &machine,
              std::vector<std::string> extra = {})
        : process_(binDir + "/routersim", Arguments(state, machine, std::move(extra)))
    {
        const std::string line = process_.ReadLine();
        unsigned ftp = 0, http = 0;
        if (std::sscanf(line.c_str(), "routersim: ftp 127.0.0.1:%u http 127.0.0.1:%u", &ftp, &http) == 2)
        {
            ftp_ = static_cast<uint16_t>(ftp);
            http_ = static_cast<uint16_t>(http);
        }
    }
    bool Started() const { return ftp_ != 0; }
    uint16_t FtpPort() const { return ftp_; }
    uint16_t HttpPort() const { return http_; }
    // Stops it as `routersim stop` does; its exit status.
    int Stop() { return process_.Terminate(); }
    // The router loses its power: its connections go without a word.
    int Kill() { return process_.Kill(); }
    // What it announces next ("routersim: restarting for 1 s"...); empty after `milliseconds`.
    std::string NextLine(int milliseconds = 20000) { return process_.ReadLine(milliseconds); }
    int Wait() { return process_.Wait(); }

  private:
    static std::vector<std::string> Arguments(const std::string &state, const std::string &machine,
                                              std::vector<std::string> extra)
    {
        std::vector<std::string> arguments = {"start", "--state", state, "--machine", machine};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }

    Process process_;
    uint16_t ftp_ = 0;
    uint16_t http_ = 0;
};

// The PC's virtual network with the router's FTP port (and every other port of its address,
// for passive data connections) at a loopback port.
inline void MapRouter(const std::string &machine, uint16_t ftpPort,
                      const std::string &address = "192.168.1.1")
{
    std::ofstream(machine + "/network.ini", std::ios::binary)
        << "[Hosts]\r\n"
        << address << ":21=127.0.0.1:" << ftpPort << "\r\n"
        << address << ":*=127.0.0.1:*\r\n";
}
} // namespace kitservers
