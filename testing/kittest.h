// Support shared by the kit's tests, fuzz targets and benchmarks (no GoogleTest here): PCs in
// temporary folders, host files, programs run as child processes.
#pragma once

#include "testing/hostfile.h"
#include "testing/machine.h"

#include <string>
#include <vector>

namespace kittest
{
// A program started by a test, with its standard output on a pipe; killed when dropped.
class Child
{
  public:
    // Starts BinDir()/program with the arguments; the PC ($KIT_MACHINE) is inherited.
    Child(const std::string &program, const std::vector<std::string> &arguments);
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool Started() const;
    // The next line of output without its line end; empty at the end of output.
    std::string ReadLine();
    // All the remaining output, until the child closes it.
    std::string ReadAll();
    // Kills the child with the signal and reaps it.
    void Kill(int signal = 9);
    // Waits for the child to end; returns its exit status (or 128 + signal).
    int Wait();

  private:
    // One read of the output; 0 at its end.
    size_t ReadSome(char *buffer, size_t size);

#ifdef _WIN32
    void *process_ = nullptr; // the process's and the pipe's handles
    void *out_ = nullptr;
#else
    int pid_ = -1;
    int out_ = -1;
#endif
    bool reaped_ = false;
};

// A named mutex owned from the start: a child given its name waits on it until Open() (or the
// end of this), so the test decides when the child goes on.
class Gate
{
  public:
    explicit Gate(const char *name);
    ~Gate();
    Gate(const Gate &) = delete;
    Gate &operator=(const Gate &) = delete;
    const std::string &Name() const { return name_; }
    void Open();

  private:
    std::string name_;
    void *mutex_; // HANDLE
    bool owned_ = true;
};

// Runs a program of the build and returns its exit status, its output in `output`.
int Run(const std::string &program, const std::vector<std::string> &arguments, std::string *output = nullptr);
} // namespace kittest
