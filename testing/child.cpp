// Programs started by tests, outside the platform (this is the test's world, not the PC's).
#include "testing/kittest.h"

#include "platform/windows.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

namespace kittest
{
#ifdef _WIN32
namespace
{
// A command line as the C runtime splits it again, written as a person would type it: an
// argument in quotes only when it is empty or has blanks or quotes (inner quotes escaped), so a
// program that splits its command line at blanks itself sees plain words too.
std::string CommandLine(const std::string &path, const std::vector<std::string> &arguments)
{
    auto quoted = [](const std::string &argument) {
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
            return argument;
        std::string out = "\"";
        size_t backslashes = 0;
        for (char c : argument)
        {
            if (c == '\\')
                ++backslashes;
            else
            {
                if (c == '"')
                    out.append(backslashes + 1, '\\');
                backslashes = 0;
            }
            out += c;
        }
        out.append(backslashes, '\\');
        return out + "\"";
    };
    std::string line = quoted(path);
    for (const std::string &argument : arguments)
        line += " " + quoted(argument);
    return line;
}
} // namespace

Child::Child(const std::string &program, const std::vector<std::string> &arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::string path =
        program.find_first_of("\\/") == std::string::npos ? BinDir() + "\\" + program : program;
    if (path.size() < 4 || _stricmp(path.c_str() + path.size() - 4, ".exe") != 0)
        path += ".exe";
    std::string line = CommandLine(path, arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info))
    {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
    }
    CloseHandle(writeEnd);
    out_ = readEnd;
}

Child::~Child()
{
    if (process_ && !reaped_)
        Kill();
    if (process_)
        CloseHandle(process_);
    if (out_)
        CloseHandle(out_);
}

bool Child::Started() const
{
    return process_ != nullptr;
}

size_t Child::ReadSome(char *buffer, size_t size)
{
    DWORD n = 0;
    if (!out_ || !ReadFile(out_, buffer, static_cast<DWORD>(size), &n, nullptr))
        return 0;
    return n;
}

void Child::Kill(int signal)
{
    if (!process_ || reaped_)
        return;
    TerminateProcess(process_, 128 + static_cast<UINT>(signal));
    Wait();
}

int Child::Wait()
{
    if (!process_)
        return -1;
    WaitForSingleObject(process_, INFINITE);
    reaped_ = true;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}
#else
Child::Child(const std::string &program, const std::vector<std::string> &arguments)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    std::string path = program.find('/') == std::string::npos ? BinDir() + "/" + program : program;
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    pid_ = pid;
    out_ = pipeFds[0];
}

bool Child::Started() const
{
    return pid_ > 0;
}

Child::~Child()
{
    if (pid_ > 0 && !reaped_)
        Kill(SIGKILL);
    if (out_ >= 0)
        ::close(out_);
}

size_t Child::ReadSome(char *buffer, size_t size)
{
    while (out_ >= 0)
    {
        const ssize_t n = ::read(out_, buffer, size);
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno != EINTR)
            break;
    }
    return 0;
}

void Child::Kill(int signal)
{
    if (pid_ <= 0 || reaped_)
        return;
    ::kill(pid_, signal);
    Wait();
}

int Child::Wait()
{
    if (pid_ <= 0)
        return -1;
    int status = 0;
    if (!reaped_)
    {
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR)
        {
        }
        reaped_ = true;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

std::string Child::ReadLine()
{
    std::string line;
    char c;
    while (ReadSome(&c, 1) == 1)
    {
        if (c == '\n')
            break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string Child::ReadAll()
{
    std::string all;
    char buffer[4096];
    while (const size_t n = ReadSome(buffer, sizeof buffer))
        all.append(buffer, n);
    return all;
}

int Run(const std::string &program, const std::vector<std::string> &arguments, std::string *output)
{
    Child child(program, arguments);
    if (!child.Started())
        return -1;
    std::string all = child.ReadAll();
    if (output)
        *output = all;
    return child.Wait();
}

Gate::Gate(const char *name) : name_(name), mutex_(CreateMutexA(nullptr, TRUE, name)) {}

Gate::~Gate()
{
    Open();
    CloseHandle(mutex_);
}

void Gate::Open()
{
    if (owned_)
        ReleaseMutex(mutex_);
    owned_ = false;
}
} // namespace kittest
