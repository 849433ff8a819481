// A fresh simulated PC for a benchmark, removed afterwards.
#pragma once

#include "platform/kit/kitmachine.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

class BenchMachine
{
  public:
    BenchMachine()
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kit-bench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
        ::setenv("KIT_MACHINE", root_.c_str(), 1);
        kitpc::Root();
        // A PC set up a while ago, as a real session finds it: the platform reads a machine.ini
        // changed in the last instants again on every call.
        std::error_code ec;
        std::filesystem::last_write_time(
            kitpc::PathOf("machine.ini"),
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(1), ec);
    }
    ~BenchMachine()
    {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    BenchMachine(const BenchMachine &) = delete;
    BenchMachine &operator=(const BenchMachine &) = delete;

    const std::string &Root() const { return root_; }

  private:
    std::string root_;
};
