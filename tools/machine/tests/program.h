// Running the PC's tools as child processes from their tests.
#pragma once

#include "testing/kittest.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace toolstest
{
struct ProgramResult
{
    int exitCode = -1;
    std::string out, err;
};

// Starts bin/<program> with the arguments, its output going to the given files (or inherited).
inline pid_t StartProgram(const std::string &program, const std::vector<std::string> &args,
                          const std::string &outPath = "", const std::string &errPath = "")
{
    std::string path = program.find('/') == std::string::npos ? kittest::BinDir() + "/" + program : program;
    std::vector<char *> argv;
    argv.push_back(path.data());
    std::vector<std::string> copies(args);
    for (std::string &arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0)
    {
        auto redirect = [](const std::string &file, int fd) {
            if (file.empty())
                return;
            int target = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (target >= 0)
                ::dup2(target, fd), ::close(target);
        };
        redirect(outPath, 1);
        redirect(errPath, 2);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

inline int WaitProgram(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs bin/<program> to its end and collects its exit code and output.
inline ProgramResult RunProgram(const std::string &program, const std::vector<std::string> &args)
{
    const std::string dir = kittest::NewTempDir("kit-run");
    const std::string out = dir + "/out", err = dir + "/err";
    ProgramResult result;
    result.exitCode = WaitProgram(StartProgram(program, args, out, err));
    result.out = kittest::ReadHostFile(out, "");
    result.err = kittest::ReadHostFile(err, "");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}
} // namespace toolstest
