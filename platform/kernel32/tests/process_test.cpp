// Processes: starting programs, their command lines, waiting, exit codes; the environment.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace
{
using kittest::Gate;
#ifdef _WIN32
constexpr char kExe[] = ".exe";
#else
constexpr char kExe[] = "";
#endif

std::string ChildProgram(const char *name)
{
    return kittest::BinDir() + "/platform_child_" + name + kExe;
}

// A folder of the test's PC, made when missing (a Windows test's PC starts empty).
std::string PcFolder(const std::string &name)
{
    const std::string path = kittest::MachineDir() + "/" + name;
    std::error_code ec;
    fs::create_directories(path, ec);
    return path;
}

std::string Quoted(const std::string &path)
{
    return "\"" + path + "\"";
}

std::string OutPath()
{
    return PcFolder("temp") + "/child.out";
}

void WriteFile(const std::string &path, const std::string &text, fs::perms perms)
{
    fs::create_directories(fs::path(path).parent_path());
    kittest::WriteHostFile(path, text);
    fs::permissions(path, perms);
}

constexpr fs::perms kExecutable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec;

#ifndef _WIN32
// A program that writes `tag` into the child output file.
void WriteProbe(const std::string &path, const std::string &tag)
{
    WriteFile(path, "#!/bin/sh\necho " + tag + " > \"$KIT_CHILD_OUT\"\n", kExecutable);
}
#endif

// A copy of a program of the build inside the PC, so deleting it touches nothing of the build.
std::string CopyIntoPc(const std::string &program, const std::string &name)
{
    const std::string path = kittest::MachineDir() + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(program, path, fs::copy_options::overwrite_existing);
    fs::permissions(path, kExecutable);
    return path;
}

// Whether two paths name the same file (false when either is missing).
bool SameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

struct Started
{
    BOOL ok = FALSE;
    DWORD error = 0;
    PROCESS_INFORMATION pi{};
};

Started Start(const char *application, std::string commandLine, DWORD flags = 0, const char *folder = nullptr,
              LPVOID environment = nullptr, STARTUPINFOA *startup = nullptr)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    Started started;
    SetLastError(0xdeadbeef);
    started.ok = CreateProcessA(application, commandLine.data(), nullptr, nullptr, FALSE, flags, environment,
                                folder, startup ? startup : &si, &started.pi);
    started.error = GetLastError();
    return started;
}

Started Start(const std::string &commandLine)
{
    return Start(nullptr, commandLine);
}

// Waits for the process, closes its handles and gives its exit code.
DWORD Finish(const Started &started)
{
    EXPECT_EQ(WaitForSingleObject(started.pi.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(GetExitCodeProcess(started.pi.hProcess, &code));
    EXPECT_TRUE(CloseHandle(started.pi.hThread));
    EXPECT_TRUE(CloseHandle(started.pi.hProcess));
    return code;
}

// Runs a command line to its end; gives the child output file's text, "" when it did not start.
std::string RunForOutput(const std::string &commandLine)
{
    SetEnvironmentVariableA("KIT_CHILD_OUT", OutPath().c_str());
    std::remove(OutPath().c_str());
    Started started = Start(commandLine);
    if (!started.ok)
        return "";
    Finish(started);
    return kittest::ReadHostFile(OutPath(), "");
}

// The key=value lines child_args writes.
std::map<std::string, std::string> Report(const std::string &text)
{
    std::map<std::string, std::string> report;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
    {
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            report[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return report;
}

std::map<std::string, std::string> RunArgs(const std::string &commandLine)
{
    return Report(RunForOutput(commandLine));
}

#ifndef _WIN32
// Restores PATH when a test changed it.
class PathGuard
{
  public:
    PathGuard() : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {}
    ~PathGuard() { SetEnvironmentVariableA("PATH", saved_.c_str()); }
    const std::string &Saved() const { return saved_; }

  private:
    std::string saved_;
};
#endif
} // namespace

// ---------------------------------------------------------------------------------------------
// Command lines

TEST(ProcessCommandLine, ArgumentsSplitWithRuntimeRules)
{
    struct Case
    {
        const char *arguments;
        std::vector<std::string> argv;
    };
    const Case cases[] = {
        {R"(a b c)", {"a", "b", "c"}},
        {"  a \t  b  ", {"a", "b"}},
        {R"("a b" c)", {"a b", "c"}},
        {R"(a"b c"d)", {"ab cd"}},
        {R"("" x "")", {"", "x", ""}},
        {R"(a\b c\\d \)", {R"(a\b)", R"(c\\d)", R"(\)"}},
        {R"(a\"b)", {R"(a"b)"}},
        {R"(a\\"b c")", {R"(a\b c)"}},
        {R"(a\\\"b)", {R"(a\"b)"}},
        {R"("a\\" b)", {R"(a\)", "b"}},
        {R"("C:\Program Files\" x)", {R"(C:\Program Files" x)"}},
        {R"("a""b c")", {R"(a"b)", "c"}}, // a doubled quote ends the quoted part (msvcrt of XP)
        {"Conexión \"ADSL Router\"", {"Conexión", "ADSL Router"}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.arguments);
        const std::string commandLine = Quoted(ChildProgram("args")) + " " + c.arguments;
        auto report = RunArgs(commandLine);
        EXPECT_EQ(report["cmdline"], commandLine);
        ASSERT_EQ(report["argc"], std::to_string(c.argv.size() + 1));
        EXPECT_EQ(report["argv0"], ChildProgram("args"));
        for (size_t i = 0; i < c.argv.size(); ++i)
            EXPECT_EQ(report["argv" + std::to_string(i + 1)], c.argv[i]) << "argument " << i + 1;
    }
}

TEST(ProcessCommandLine, ApplicationNameRunsWithTheCommandLineAsGiven)
{
    SetEnvironmentVariableA("KIT_CHILD_OUT", OutPath().c_str());
    Started started = Start(ChildProgram("args").c_str(), "whatever.exe  one \"two 2\"");
    ASSERT_TRUE(started.ok) << started.error;
    EXPECT_EQ(Finish(started), 0u);
    auto report = Report(kittest::ReadHostFile(OutPath(), ""));
    EXPECT_EQ(report["cmdline"], "whatever.exe  one \"two 2\"");
    EXPECT_EQ(report["argv0"], "whatever.exe");
    EXPECT_EQ(report["argv1"], "one");
    EXPECT_EQ(report["argv2"], "two 2");
}

#ifndef _WIN32
// A kit program the host started (not through CreateProcessA) rebuilds its command line.
TEST(ProcessCommandLine, RebuiltFromArgumentsWhenAnotherProgramStartedIt)
{
    // The shell replaces itself with the child: same pid, but not our command line.
    const std::string child = ChildProgram("args");
    auto report = RunArgs("/bin/sh -c \"exec '" + child + "' 'a b' 'c\\d' ''\"");
    EXPECT_EQ(report["argv1"], "a b");
    EXPECT_EQ(report["cmdline"], child + " \"a b\" c\\d \"\"");
}
#endif

// ---------------------------------------------------------------------------------------------
// Finding the program

#ifndef _WIN32
TEST(ProcessLookup, BinFolderComesBeforePath)
{
    PathGuard path;
    const std::string elsewhere = kittest::MachineDir() + "/elsewhere";
    WriteProbe(elsewhere + "/kitprobe", "path");
    WriteProbe(kittest::MachineDir() + "/bin/kitprobe", "bin");
    SetEnvironmentVariableA("PATH", (elsewhere + ":" + path.Saved()).c_str());
    EXPECT_EQ(RunForOutput("kitprobe arg"), "bin\n");
    fs::remove(kittest::MachineDir() + "/bin/kitprobe");
    EXPECT_EQ(RunForOutput("kitprobe arg"), "path\n");
}

TEST(ProcessLookup, HostFoldersOfPathAreNeverSearched)
{
    PathGuard path;
    SetEnvironmentVariableA("PATH", "/usr/sbin:/sbin:/usr/bin:/bin");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    char commandLine[] = "route PRINT";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ProcessLookup, ExeNameFindsTheProgramWithoutCase)
{
    WriteProbe(kittest::MachineDir() + "/bin/QelFixRt", "fixer");
    EXPECT_EQ(RunForOutput("QelFixRT.exe /silent"), "fixer\n");
    EXPECT_EQ(RunForOutput("\"QELFIXRT.EXE\""), "fixer\n");
    EXPECT_EQ(RunForOutput("qelfixrt"), "fixer\n");
}

TEST(ProcessLookup, SystemFolderOfThePc)
{
    WriteProbe(kittest::MachineDir() + "/windows/system32/sysprobe", "system");
    EXPECT_EQ(RunForOutput("sysprobe.exe"), "system\n");
}
#endif

TEST(ProcessLookup, NameWithFolderIsUsedAsGiven)
{
    const std::string prog = CopyIntoPc(ChildProgram("args"), "temp/Tools/prog" + std::string(kExe));
    auto report = RunArgs(kittest::MachineDir() + "\\TEMP\\tools\\PROG.EXE x");
    EXPECT_TRUE(SameFile(report["self"], prog)) << report["self"];
    EXPECT_EQ(report["argv1"], "x");
    const std::string tool = CopyIntoPc(ChildProgram("args"), "temp/My Tools/tool" + std::string(kExe));
    // Unquoted with a blank: tried up to each blank in turn.
    const std::string line = kittest::MachineDir() + "/temp/My Tools/tool.exe /x";
    report = RunArgs(line);
    EXPECT_TRUE(SameFile(report["self"], tool)) << report["self"];
    EXPECT_EQ(report["cmdline"], line); // handed over as given, blank and all
}

TEST(ProcessLookup, FailuresGiveWindowsErrors)
{
    const std::string temp = PcFolder("temp");
    WriteFile(temp + "/garbage.exe", std::string("MZ\x01\x02garbage", 11), kExecutable);
    struct Case
    {
        std::string commandLine;
        DWORD error;
    };
    std::vector<Case> cases = {
        {"nosuchprogram.exe /x", ERROR_FILE_NOT_FOUND},
        {"", ERROR_FILE_NOT_FOUND},
        {kittest::MachineDir() + "\\temp\\nosuch.exe", ERROR_FILE_NOT_FOUND},
        {kittest::MachineDir() + "\\nofolder\\prog.exe", ERROR_FILE_NOT_FOUND}, // searched for, not found
        {kittest::MachineDir() + "\\temp\\garbage.exe", ERROR_BAD_EXE_FORMAT},
    };
#ifndef _WIN32
    // The host's execute mark has no Windows counterpart.
    WriteFile(kittest::MachineDir() + "/bin/notexec", "#!/bin/sh\n",
              fs::perms::owner_read | fs::perms::owner_write);
    cases.push_back({"notexec", ERROR_ACCESS_DENIED});
#endif
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.commandLine);
        Started started = Start(c.commandLine);
        EXPECT_FALSE(started.ok);
        EXPECT_EQ(started.error, c.error);
    }
}

// ---------------------------------------------------------------------------------------------
// Exit codes and waiting

TEST(ProcessWait, ExitCodeOfExitProcess)
{
    for (int code : {0, 1, 42, 255})
    {
        Started started = Start(Quoted(ChildProgram("exit")) + " code " + std::to_string(code));
        ASSERT_TRUE(started.ok);
        EXPECT_EQ(GetProcessId(started.pi.hProcess), started.pi.dwProcessId);
        EXPECT_EQ(Finish(started), static_cast<DWORD>(code));
    }
}

TEST(ProcessWait, StillActiveUntilItEnds)
{
    Gate gate("KitProcessGate");
    Started started = Start(Quoted(ChildProgram("exit")) + " gate " + gate.Name());
    ASSERT_TRUE(started.ok);
    EXPECT_EQ(WaitForSingleObject(started.pi.hProcess, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(started.pi.hThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(started.pi.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    gate.Open(); // lets the child go
    EXPECT_EQ(WaitForSingleObject(started.pi.hThread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Finish(started), 7u);
}

TEST(ProcessWait, TerminateProcessSetsTheExitCode)
{
    Started started = Start(Quoted(ChildProgram("exit")) + " forever");
    ASSERT_TRUE(started.ok);
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(TerminateProcess(started.pi.hProcess, 1234));
    EXPECT_EQ(WaitForSingleObject(started.pi.hProcess, INFINITE), WAIT_OBJECT_0);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(TerminateProcess(started.pi.hProcess, 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Finish(started), 1234u);
}

TEST(ProcessWait, EndedBySignals)
{
#ifndef _WIN32
    Started killed = Start(Quoted(ChildProgram("exit")) + " forever");
    ASSERT_TRUE(killed.ok);
    ::kill(static_cast<pid_t>(killed.pi.dwProcessId), SIGTERM);
    EXPECT_EQ(Finish(killed), 1u);
#endif
    // abort() ends a program with 3, as Microsoft's C runtime does.

    Started aborted = Start(Quoted(ChildProgram("exit")) + " abort");
    ASSERT_TRUE(aborted.ok);
    EXPECT_EQ(Finish(aborted), 3u);
}

TEST(ProcessWait, ClosedHandleCannotBeWaitedOn)
{
    Started started = Start(Quoted(ChildProgram("exit")) + " code 0");
    ASSERT_TRUE(started.ok);
    HANDLE process = started.pi.hProcess;
    EXPECT_TRUE(CloseHandle(started.pi.hThread));
    EXPECT_TRUE(CloseHandle(process));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD code = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetProcessId(process), 0u);
}

#ifndef _WIN32
TEST(ProcessWait, ChildIsReapedWhenNobodyWaits)
{
    Started started = Start(Quoted(ChildProgram("exit")) + " code 0");
    ASSERT_TRUE(started.ok);
    const std::string proc = "/proc/" + std::to_string(started.pi.dwProcessId);
    CloseHandle(started.pi.hThread);
    CloseHandle(started.pi.hProcess);
    // Nothing to wait on any more: watch the pid go (a zombie would stay in /proc).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (fs::exists(proc) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(fs::exists(proc)) << kittest::ReadHostFile(proc + "/stat", "");
}
#endif

TEST(ProcessWait, ChildrenOfSeveralThreadsAtOnce)
{
    // Each thread starts children that end at once and races TerminateProcess against their end:
    // either the kill came first (its code) or the end did (ERROR_ACCESS_DENIED, the own code).
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 5; ++i)
            {
                Started started = Start(Quoted(ChildProgram("exit")) + " code " + std::to_string(t * 10 + i));
                if (!started.ok)
                {
                    ++failures[t];
                    continue;
                }
                const bool killed = i % 2 == 1 && TerminateProcess(started.pi.hProcess, 99);
                if (WaitForSingleObject(started.pi.hProcess, INFINITE) != WAIT_OBJECT_0)
                    ++failures[t];
                DWORD code = 0;
                GetExitCodeProcess(started.pi.hProcess, &code);
                if (code != (killed ? 99u : static_cast<DWORD>(t * 10 + i)))
                    ++failures[t];
                CloseHandle(started.pi.hThread);
                CloseHandle(started.pi.hProcess);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(failures[t], 0) << "thread " << t;
}

TEST(ProcessWait, CurrentProcess)
{
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(GetProcessId(GetCurrentProcess()), GetCurrentProcessId());
    EXPECT_NE(GetCommandLineA(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// What the child gets

TEST(ProcessStart, CurrentDirectory)
{
    SetEnvironmentVariableA("KIT_CHILD_OUT", OutPath().c_str());
    const std::string folder = kittest::MachineDir() + "\\TEMP";
    Started started = Start(nullptr, Quoted(ChildProgram("args")), 0, folder.c_str());
    ASSERT_TRUE(started.ok) << started.error;
    Finish(started);
    const std::string cwd = Report(kittest::ReadHostFile(OutPath(), ""))["cwd"];
    EXPECT_TRUE(SameFile(cwd, PcFolder("temp"))) << cwd;

    Started missing =
        Start(nullptr, Quoted(ChildProgram("args")), 0, (kittest::MachineDir() + "\\nofolder").c_str());
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_DIRECTORY));
}

#ifndef _WIN32
TEST(ProcessStart, NoDescriptorReachesTheChild)
{
    // A descriptor opened without close-on-exec, a platform file and the registry's database.
    const std::string plain = kittest::MachineDir() + "/temp/plain.txt";
    const int fd = ::open(plain.c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(fd, 0);
    HANDLE file = CreateFileA((kittest::MachineDir() + "\\temp\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KitProcessTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), sizeof one),
              ERROR_SUCCESS);

    auto report = RunArgs(Quoted(ChildProgram("args")));
    EXPECT_EQ(report["fds"], "0");

    RegCloseKey(key);
    CloseHandle(file);
    ::close(fd);
}
#endif

TEST(ProcessStart, EnvironmentIsInheritedOrGiven)
{
    SetEnvironmentVariableA("KIT_CHILD_SHOW", "KitInherited");
    SetEnvironmentVariableA("KitInherited", "heredado");
    auto report = RunArgs(Quoted(ChildProgram("args")));
    EXPECT_EQ(report["show"], "heredado");
#ifndef _WIN32
    EXPECT_EQ(report["machine"], kittest::MachineDir());
#endif
    SetEnvironmentVariableA("KitInherited", nullptr);

    // A block of its own: nothing else is inherited (on the simulated PC the child stays on
    // this PC).
    std::string block =
        "KIT_CHILD_OUT=" + OutPath() + '\0' + "KIT_CHILD_SHOW=Given" + '\0' + "Given=dado" + '\0';
    block += '\0';
    std::remove(OutPath().c_str());
    Started started = Start(nullptr, Quoted(ChildProgram("args")), 0, nullptr, block.data());
    ASSERT_TRUE(started.ok) << started.error;
    Finish(started);
    report = Report(kittest::ReadHostFile(OutPath(), ""));
    EXPECT_EQ(report["show"], "dado");
#ifndef _WIN32
    EXPECT_EQ(report["machine"], kittest::MachineDir());
#endif
    SetEnvironmentVariableA("KIT_CHILD_SHOW", nullptr);
}

TEST(ProcessStart, StartupInformationAndWindowFlags)
{
    SetEnvironmentVariableA("KIT_CHILD_OUT", OutPath().c_str());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = 7; // SW_SHOWMINNOACTIVE
    for (DWORD flags : {DWORD(0), DWORD(CREATE_NO_WINDOW | IDLE_PRIORITY_CLASS), DWORD(DETACHED_PROCESS),
                        DWORD(CREATE_NEW_CONSOLE)})
    {
        std::remove(OutPath().c_str());
        Started started = Start(nullptr, Quoted(ChildProgram("args")), flags, nullptr, nullptr, &si);
        ASSERT_TRUE(started.ok) << flags;
        EXPECT_EQ(Finish(started), 0u);
        EXPECT_EQ(Report(kittest::ReadHostFile(OutPath(), ""))["startup"], "1,7");
    }
}

TEST(ProcessStart, DetachedAndNewConsoleTogetherAreRefused)
{
    Started both = Start(nullptr, Quoted(ChildProgram("args")), DETACHED_PROCESS | CREATE_NEW_CONSOLE);
    EXPECT_FALSE(both.ok);
    EXPECT_EQ(both.error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

#ifndef _WIN32
TEST(ProcessStart, UnsupportedRequestsFailVisibly)
{
    Started suspended = Start(nullptr, Quoted(ChildProgram("args")), CREATE_SUSPENDED);
    EXPECT_FALSE(suspended.ok);
    EXPECT_EQ(suspended.error, static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    Started handles = Start(nullptr, Quoted(ChildProgram("args")), 0, nullptr, nullptr, &si);
    EXPECT_FALSE(handles.ok);
    EXPECT_EQ(handles.error, static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}
#endif

// The standard handles of STARTF_USESTDHANDLES: the child writes into the files given, and one
// left NULL gives it nothing.
TEST(ProcessStart, StandardHandlesAreTheFilesGiven)
{
    const std::string salida = PcFolder("temp") + "/salida.txt";
    const std::string entrada = PcFolder("temp") + "/entrada.txt";
    kittest::WriteHostFile(entrada, "uno\n");
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE in = CreateFileA(entrada.c_str(), GENERIC_READ, FILE_SHARE_READ, &sa, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(salida.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    // The C runtime of Windows writes its text with CR LF.
    auto text = [](std::string bytes) {
        std::erase(bytes, '\r');
        return bytes;
    };

    for (HANDLE error : {out, static_cast<HANDLE>(nullptr)})
    {
        SetFilePointer(in, 0, nullptr, FILE_BEGIN);
        SetFilePointer(out, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(out);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in;
        si.hStdOutput = out;
        si.hStdError = error;
        PROCESS_INFORMATION pi{};
        std::string linea = Quoted(ChildProgram("exit")) + " echo";
        ASSERT_TRUE(CreateProcessA(nullptr, linea.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   nullptr, &si, &pi))
            << GetLastError();
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        EXPECT_EQ(text(kittest::ReadHostFile(salida)), error ? "salida uno\nerror\n" : "salida uno\n");
    }
    CloseHandle(in);
    CloseHandle(out);
}

#ifndef _WIN32
// The simulated PC hands over file handles only, and only when asked to inherit.
TEST(ProcessStart, StandardHandlesOnlyFilesAndInherited)
{
    const std::string program = kittest::MachineDir() + "/bin/dice";
    WriteFile(program, "#!/bin/sh\nread linea\necho \"salida $linea\"\necho error >&2\n", kExecutable);
    const std::string salida = kittest::MachineDir() + "/temp/salida.txt";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(salida.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    PROCESS_INFORMATION pi{};
    std::string linea = "dice";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        CreateProcessA(nullptr, linea.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(si.hStdOutput);
    si.hStdOutput = out;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        CreateProcessA(nullptr, linea.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    CloseHandle(out);
}
#endif

// ---------------------------------------------------------------------------------------------
// The environment

TEST(Environment, GetEnvironmentVariableRules)
{
    char buffer[16];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetEnvironmentVariableA("KitNoSuchVariable", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));

    ASSERT_TRUE(SetEnvironmentVariableA("KitVariable", "valor"));
    EXPECT_EQ(GetEnvironmentVariableA("KitVariable", nullptr, 0), 6u);
    std::memcpy(buffer, "FOOFOOFOO", 10);
    EXPECT_EQ(GetEnvironmentVariableA("KitVariable", buffer, 5), 6u); // no room for the terminator
    EXPECT_STREQ(buffer, "FOOFOOFOO");
    EXPECT_EQ(GetEnvironmentVariableA("KITVARIABLE", buffer, 6), 5u); // names without case
    EXPECT_STREQ(buffer, "valor");
    EXPECT_EQ(buffer[7], 'O');

    ASSERT_TRUE(SetEnvironmentVariableA("KITVARIABLE", "otro")); // replaces, whatever the case
    EXPECT_EQ(GetEnvironmentVariableA("KitVariable", buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "otro");

    ASSERT_TRUE(SetEnvironmentVariableA("KitVariable", ""));
    buffer[0] = 'x';
    EXPECT_EQ(GetEnvironmentVariableA("KitVariable", buffer, sizeof buffer), 0u);
    EXPECT_EQ(buffer[0], '\0');

    EXPECT_TRUE(SetEnvironmentVariableA("kitvariable", nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetEnvironmentVariableA("KitVariable", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetEnvironmentVariableA("Kit=Bad", "x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetEnvironmentVariableA("", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

// --- The file of a running program --------------------------------------------------------------

namespace
{
DWORD DeleteError(const std::string &path)
{
    SetLastError(0xdeadbeef);
    return DeleteFileA(path.c_str()) ? ERROR_SUCCESS : GetLastError();
}

#ifndef _WIN32
std::string NewFifo(const std::string &name)
{
    const std::string fifo = kittest::MachineDir() + "/temp/" + name;
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    return fifo;
}
#endif

} // namespace

TEST(ProcessImage, ProgramIsNotDeletedWhileItRuns)
{
    const std::string program = CopyIntoPc(ChildProgram("exit"), "program_files/Pequeno" + std::string(kExe));
    Gate gate("KitImageGate");
    Started started = Start(Quoted(program) + " gate " + gate.Name());
    ASSERT_TRUE(started.ok) << started.error;
    // Held from the moment CreateProcessA returns, not only once the program is under way.
    EXPECT_EQ(DeleteError(program), DWORD(ERROR_ACCESS_DENIED));
    const std::string renamed = kittest::MachineDir() + "/program_files/Renombrado" + kExe;
    EXPECT_TRUE(MoveFileA(program.c_str(), renamed.c_str())); // renaming it is allowed
    EXPECT_EQ(DeleteError(renamed), DWORD(ERROR_ACCESS_DENIED));
    gate.Open();
    EXPECT_EQ(Finish(started), 7u);
    EXPECT_EQ(DeleteError(renamed), DWORD(ERROR_SUCCESS));
}

TEST(ProcessImage, KilledProgramLeavesNoHold)
{
    const std::string program = CopyIntoPc(ChildProgram("exit"), "program_files/Pequeno" + std::string(kExe));
    Started started = Start(Quoted(program) + " forever");
    ASSERT_TRUE(started.ok) << started.error;
    EXPECT_EQ(DeleteError(program), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(TerminateProcess(started.pi.hProcess, 9));
    EXPECT_EQ(Finish(started), 9u);
    EXPECT_EQ(DeleteError(program), DWORD(ERROR_SUCCESS));
}

// The simulated PC's own programs: scripts, programs the host starts, the host's execute mark.
#ifndef _WIN32
TEST(ProcessImage, ScriptHeldThroughItsInterpreter)
{
    // Not a program of ours: only what CreateProcessA handed over holds it.
    const std::string fifo = NewFifo("gate");
    const std::string script = kittest::MachineDir() + "/program_files/espera";
    WriteFile(script, "#!/bin/sh\nread line < \"$1\"\n", kExecutable);
    Started started = Start(Quoted(script) + " " + fifo);
    ASSERT_TRUE(started.ok) << started.error;
    const int writer = ::open(fifo.c_str(), O_WRONLY); // the shell is running the script now
    EXPECT_EQ(DeleteError(script), DWORD(ERROR_ACCESS_DENIED));
    ::close(writer);
    EXPECT_EQ(Finish(started), 1u); // read met the end of the FIFO
    EXPECT_EQ(DeleteError(script), DWORD(ERROR_SUCCESS));
}

TEST(ProcessImage, KitProgramStartedByTheHostHoldsItself)
{
    const std::string program = CopyIntoPc(ChildProgram("runtime"), "program_files/Pequeno");
    kittest::Child child(program, {"hold-mutex", "KitHostStarted"});
    ASSERT_EQ(child.ReadLine(), "held"); // the program is in its main now
    EXPECT_EQ(DeleteError(program), DWORD(ERROR_ACCESS_DENIED));
    child.Kill();
    EXPECT_EQ(DeleteError(program), DWORD(ERROR_SUCCESS));
}

TEST(ProcessStart, AProgramFileWrittenOnThePcRunsWithoutTheHostsMark)
{
    // As a program writes one out: through the file functions, not marked runnable.
    const std::string program = kittest::MachineDir() + "/temp/escrito.exe";
    WriteFile(program, "#!/bin/sh\nexit 5\n", fs::perms::owner_read | fs::perms::owner_write);
    Started started = Start(Quoted(program));
    ASSERT_TRUE(started.ok) << started.error;
    EXPECT_EQ(Finish(started), 5u);
}
#endif
