// Programs started by tests, outside the platform (this is the test's world, not the PC's).
#include "testing/kittest.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kittest
{
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

Child::~Child()
{
    if (pid_ > 0 && !reaped_)
        Kill(SIGKILL);
    if (out_ >= 0)
        ::close(out_);
}

std::string Child::ReadLine()
{
    std::string line;
    char c;
    while (out_ >= 0 && ::read(out_, &c, 1) == 1)
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
    ssize_t n;
    while (out_ >= 0 && (n = ::read(out_, buffer, sizeof buffer)) != 0)
    {
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }
        all.append(buffer, static_cast<size_t>(n));
    }
    return all;
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
} // namespace kittest
