// Simulated PCs in temporary folders, for tests, fuzz targets and benchmarks alike (no
// GoogleTest here). POSIX inside: the folders are the host's, not the PC's.
#pragma once

#include <string>

namespace kittest
{
// A new empty folder under $TMPDIR (default /tmp) named "<prefix>-XXXXXX".
std::string NewTempDir(const std::string &prefix);
// A new empty folder for another PC.
std::string NewMachineDir();

// A fresh simulated PC in a new temporary folder: it becomes the current PC ($KIT_MACHINE) and
// is laid out at once, so files can be put into it. Removed when dropped, unless
// KIT_KEEP_MACHINE is set.
class TempMachine
{
  public:
    // Settled: as a PC set up a while ago, as a real session finds it (benchmarks): the platform
    // reads a machine.ini changed in the last instants again on every call.
    enum Identity
    {
        Fresh,
        Settled,
    };
    explicit TempMachine(const std::string &prefix = "kit-pc", Identity identity = Fresh);
    ~TempMachine();
    TempMachine(const TempMachine &) = delete;
    TempMachine &operator=(const TempMachine &) = delete;

    const std::string &Root() const { return root_; }

  private:
    std::string root_;
};

// Registers a COM server of the build (DllRegisterServer) on the current PC, in this process.
bool RegisterServer(const char *library);

// The current TempMachine's folder (for tests, the current test's PC); empty without one.
const std::string &MachineDir();
// Where the built programs are: $KIT_BIN, else the folder of the running program.
std::string BinDir();
// Where the built libraries are (the build tree's lib folder, beside bin).
std::string LibDir();

// The current PC's temporary folder ("temp" in its folder), made on first use: on Windows the
// test's folder starts empty. The last error is left alone.
std::string TempFolder();
// A file of it.
std::string Temp(const std::string &name);
// A path as the system writes it back: the simulated PC keeps '/', Windows turns it into '\'.
std::string Native(std::string path);
// Why the last LoadLibraryA failed: the loader's text on the simulated PC, the code on Windows.
std::string LoaderText();
} // namespace kittest
