// Processes of the simulated PC: starting programs, waiting for them and their exit codes; the
// calling process's command line, start-up information and environment.
#include "platform/kernel32/file.h"
#include "platform/kernel32/process.h"
#include "platform/kernel32/share.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"
#include "platform/core/text.h"
#include "platform/core/wait.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace
{
// How a parent hands its child the exact command line and start-up information: this variable,
// read and removed by the child's platform before main. Its value is
// "<parent pid>:<STARTUPINFO dwFlags in hex>:<wShowWindow>:<command line>". A child ignores it
// when its parent is another process or its arguments are not those of the command line (the
// variable went through a program that is not ours).
constexpr char kStartVariable[] = "KIT_PROCESS_START";

// The child's hold on its own program file (share.cpp): CreateProcessA takes it before the
// start and hands it over as this descriptor, named by this variable, so the file cannot be
// deleted from the moment CreateProcessA returns. A kit program started otherwise takes the
// hold itself when it starts.
constexpr char kImageVariable[] = "KIT_PROCESS_IMAGE";
constexpr int kImageDescriptor = 3;

// Exit codes for a child the host ended with a signal, as Windows reports a crashed or killed
// process.
constexpr DWORD kStatusAccessViolation = 0xC0000005;
constexpr DWORD kStatusIllegalInstruction = 0xC000001D;
constexpr DWORD kStatusIntegerDivideByZero = 0xC0000094;
constexpr DWORD kStatusControlCExit = 0xC000013A;
constexpr DWORD kAbortExitCode = 3;  // what the C runtime's abort() exits with
constexpr DWORD kKilledExitCode = 1; // what Task Manager's "End process" leaves

// ---------------------------------------------------------------------------------------------
// Command lines, with the Microsoft C runtime's rules (msvcrt of Windows XP).

// The program name: a quoted name runs to the next quote, an unquoted one to the first blank or
// control character. Returns where the arguments start.
size_t ParseProgramName(std::string_view line, std::string &name)
{
    name.clear();
    size_t i = 0;
    if (!line.empty() && line[0] == '"')
    {
        for (i = 1; i < line.size() && line[i] != '"'; ++i)
            name += line[i];
        return i < line.size() ? i + 1 : i;
    }
    while (i < line.size() && static_cast<unsigned char>(line[i]) > ' ')
        name += line[i++];
    return i < line.size() ? i + 1 : i;
}

// The whole argv: blanks separate arguments, double quotes group, 2n backslashes before a quote
// give n backslashes and the quote toggles, 2n+1 give n and a literal quote, and a doubled quote
// inside quotes gives a literal quote and ends the quoted part.
std::vector<std::string> SplitCommandLine(std::string_view line)
{
    std::vector<std::string> args(1);
    size_t i = ParseProgramName(line, args[0]);
    for (;;)
    {
        while (i < line.size() && plat::IsBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !plat::IsBlank(line[i])))
        {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\')
            {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"')
            {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 != 0)
                    arg += '"';
                else if (quoted && i + 1 < line.size() && line[i + 1] == '"')
                {
                    arg += '"';
                    quoted = false;
                    ++i;
                }
                else
                    quoted = !quoted;
                ++i;
                continue;
            }
            arg.append(slashes, '\\');
            if (i < line.size() && (quoted || !plat::IsBlank(line[i])))
                arg += line[i++];
        }
        args.push_back(std::move(arg));
    }
    return args;
}

// One argument written so that SplitCommandLine gives it back.
std::string QuoteArgument(std::string_view arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos)
        return std::string(arg);
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg)
    {
        if (c == '\\')
        {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    out += '"';
    return out;
}

std::string JoinCommandLine(const std::vector<std::string> &argv)
{
    std::string line;
    for (size_t i = 0; i < argv.size(); ++i)
    {
        if (i > 0)
            line += ' ';
        // The program name has no escapes: only quotes around a name with blanks.
        if (i == 0)
            line += argv[0].find_first_of(" \t") == std::string::npos ? argv[0] : "\"" + argv[0] + "\"";
        else
            line += QuoteArgument(argv[i]);
    }
    return line;
}

// ---------------------------------------------------------------------------------------------
// What the calling process was started with.

struct StartInfo
{
    std::string commandLine;
    DWORD flags = 0;
    WORD showWindow = 0;
};

StartInfo &TheStartInfo()
{
    static auto *info = new StartInfo; // never destroyed: GetCommandLineA's text lives forever
    return *info;
}

std::vector<std::string> OwnArguments()
{
    std::vector<std::string> argv;
    FILE *file = std::fopen("/proc/self/cmdline", "rb");
    if (!file)
        return argv;
    std::string current;
    int c;
    while ((c = std::fgetc(file)) != EOF)
    {
        if (c == '\0')
            argv.push_back(std::move(current)), current.clear();
        else
            current += static_cast<char>(c);
    }
    std::fclose(file);
    return argv;
}

// Reads the start variable a parent of ours left, or rebuilds the command line from argv.
bool TakeStartVariable(StartInfo &info)
{
    const char *value = std::getenv(kStartVariable);
    if (!value)
        return false;
    std::string text = value;
    ::unsetenv(kStartVariable);
    char *end = nullptr;
    const unsigned long parent = std::strtoul(text.c_str(), &end, 10);
    if (*end != ':' || parent != static_cast<unsigned long>(::getppid()))
        return false;
    const unsigned long flags = std::strtoul(end + 1, &end, 16);
    if (*end != ':')
        return false;
    const unsigned long show = std::strtoul(end + 1, &end, 10);
    if (*end != ':')
        return false;
    // A shell between us and the parent may have run us with other arguments in its own pid.
    const std::string commandLine = end + 1;
    const std::vector<std::string> expected = SplitCommandLine(commandLine);
    const std::vector<std::string> actual = OwnArguments();
    if (actual.size() != expected.size() ||
        !std::equal(actual.begin() + 1, actual.end(), expected.begin() + 1))
        return false;
    info.flags = static_cast<DWORD>(flags);
    info.showWindow = static_cast<WORD>(show);
    info.commandLine = commandLine;
    return true;
}

__attribute__((constructor)) void ReadStartInfo()
{
    StartInfo &info = TheStartInfo();
    if (!TakeStartVariable(info))
        info.commandLine = JoinCommandLine(OwnArguments());
}

// Whether the descriptor is open on the file the process runs.
bool IsOwnImage(int fd)
{
    struct stat held = {}, own = {};
    return ::fstat(fd, &held) == 0 && ::stat("/proc/self/exe", &own) == 0 && held.st_dev == own.st_dev &&
           held.st_ino == own.st_ino;
}

// Keeps the hold on the program's file for the life of the process; never closed.
__attribute__((constructor)) void HoldOwnImage()
{
    const char *value = std::getenv(kImageVariable);
    const bool handedOver = value && std::atoi(value) == kImageDescriptor && IsOwnImage(kImageDescriptor);
    ::unsetenv(kImageVariable);
    if (handedOver)
    {
        ::fcntl(kImageDescriptor, F_SETFD, FD_CLOEXEC); // ours, not our children's
        return;
    }
    const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && !plat::TakeImageHold(fd))
        ::close(fd);
}

// ---------------------------------------------------------------------------------------------
// The environment. The host's is the process's; one lock orders the platform's reads and
// changes of it.

std::mutex &EnvironmentMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

std::string_view NameOf(std::string_view entry)
{
    size_t eq = entry.find('=', 1); // Windows' hidden "=C:=C:\..." entries start with '='
    return eq == std::string_view::npos ? entry : entry.substr(0, eq);
}

// With EnvironmentMutex held: the value of `name`, compared without case as Windows does (an
// exact match wins).
std::optional<std::string> FindVariable(std::string_view name)
{
    std::optional<std::string> found;
    for (char **entry = environ; entry && *entry; ++entry)
    {
        std::string_view text(*entry);
        std::string_view entryName = NameOf(text);
        if (entryName.size() == text.size())
            continue;
        if (entryName == name)
            return std::string(text.substr(entryName.size() + 1));
        if (!found && plat::EqualNoCase(entryName, name))
            found = std::string(text.substr(entryName.size() + 1));
    }
    return found;
}

// With EnvironmentMutex held: removes every variable called `name` in any case.
void RemoveVariable(std::string_view name)
{
    std::vector<std::string> names;
    for (char **entry = environ; entry && *entry; ++entry)
    {
        std::string_view entryName = NameOf(*entry);
        if (plat::EqualNoCase(entryName, name))
            names.emplace_back(entryName);
    }
    for (const std::string &each : names)
        ::unsetenv(each.c_str());
}

std::vector<std::string> CurrentEnvironment()
{
    std::lock_guard guard(EnvironmentMutex());
    std::vector<std::string> env;
    for (char **entry = environ; entry && *entry; ++entry)
        env.emplace_back(*entry);
    return env;
}

// An ANSI environment block "A=1\0B=2\0\0".
std::vector<std::string> EnvironmentOfBlock(const char *block)
{
    std::vector<std::string> env;
    for (const char *p = block; *p; p += env.back().size() + 1)
        env.emplace_back(p);
    return env;
}

void SetEntry(std::vector<std::string> &env, std::string_view name, std::string_view value)
{
    std::erase_if(env, [name](const std::string &entry) { return NameOf(entry) == name; });
    env.push_back(std::string(name) + "=" + std::string(value));
}

// ---------------------------------------------------------------------------------------------
// Finding programs.

bool IsRegularFile(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentFolder()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? buffer : ".";
}

// The absolute host path of a Windows path, relative ones taken from the current folder.
std::string AbsoluteHostPath(std::string_view windowsPath)
{
    std::string path = plat::HostPath(windowsPath);
    if (!path.empty() && path[0] != '/')
        path = CurrentFolder() + "/" + path;
    return path;
}

bool HasFolder(std::string_view name)
{
    return name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
}

// Windows adds ".exe" to a name without extension; this PC's programs have none, so a name
// "X.exe" also finds the program "X".
std::vector<std::string> NameVariants(std::string_view name)
{
    std::vector<std::string> names{std::string(name)};
    const size_t fileStart = name.find_last_of("\\/") + 1; // npos + 1 == 0
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < fileStart)
        names.push_back(std::string(name) + ".exe");
    else if (plat::EqualNoCase(name.substr(dot), ".exe") || plat::EqualNoCase(name.substr(dot), ".com"))
        names.emplace_back(name.substr(0, dot));
    return names;
}

std::optional<std::string> FindIn(const std::string &folder, std::string_view name)
{
    for (const std::string &variant : NameVariants(name))
    {
        std::string path =
            folder.empty() ? AbsoluteHostPath(variant) : plat::HostPath(folder + "/" + variant);
        if (IsRegularFile(path))
            return path;
    }
    return std::nullopt;
}

// Whether a folder lies inside the PC's directory.
bool InsidePc(const std::string &folder)
{
    const std::string root = kitpc::Root() + "/";
    const std::string absolute = AbsoluteHostPath(folder) + "/";
    return absolute.compare(0, root.size(), root) == 0;
}

// Where a program named without a folder is looked for, in order. Folders of PATH count only
// when they are the PC's own: a bare name must never start a program of the host (the host's
// own "route" would act on the host's routing table).
std::vector<std::string> SearchFolders()
{
    std::vector<std::string> folders{kitpc::PathOf("bin"), CurrentFolder(),
                                     kitpc::PathOf(kitpc::SystemFolder()),
                                     kitpc::PathOf(kitpc::WindowsFolder())};
    const char *path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty())
    {
        size_t colon = rest.find(':');
        std::string entry(rest.substr(0, colon));
        if (!entry.empty() && InsidePc(entry))
            folders.push_back(entry);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return folders;
}

// A ".exe" or ".com" file of the PC is a program to Windows whatever the host's marks say; one
// written or copied there by a program (an uninstaller writing out its clean-up program) gets
// the host's mark when it is started. Other files keep the mark as their execute right.
void MakeRunnable(const std::string &program)
{
    const size_t dot = program.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : program.substr(dot);
    if (!plat::EqualNoCase(extension, ".exe") && !plat::EqualNoCase(extension, ".com"))
        return;
    struct stat st = {};
    constexpr mode_t kRunnable = S_IXUSR | S_IXGRP | S_IXOTH;
    if (::stat(program.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & kRunnable) == 0 &&
        InsidePc(plat::FolderPart(program)))
        ::chmod(program.c_str(), (st.st_mode & 07777) | kRunnable);
}

// The host path of the program `name`; a bare name is searched for unless `search` is false.
// The program of a command line is searched for even with a folder, so whatever part is missing
// the file is not found; lpApplicationName is opened as given, and a missing folder is
// ERROR_PATH_NOT_FOUND.
DWORD FindProgram(std::string_view name, bool search, std::string &path)
{
    if (name.empty())
        return ERROR_FILE_NOT_FOUND;
    if (!search || HasFolder(name))
    {
        if (std::optional<std::string> found = FindIn("", name))
        {
            path = *found;
            return ERROR_SUCCESS;
        }
        return search || IsFolder(plat::FolderPart(AbsoluteHostPath(name))) ? ERROR_FILE_NOT_FOUND
                                                                            : ERROR_PATH_NOT_FOUND;
    }
    for (const std::string &folder : SearchFolders())
    {
        if (std::optional<std::string> found = FindIn(folder, name))
        {
            path = *found;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

// The program a command line names. A quoted name is taken whole; an unquoted name with blanks
// is tried up to each blank in turn ("c:\program files\x" tries "c:\program" first), as
// CreateProcess does.
DWORD FindProgramOfCommandLine(std::string_view line, std::string &path)
{
    while (!line.empty() && plat::IsBlank(line.front()))
        line.remove_prefix(1);
    if (!line.empty() && line[0] == '"')
    {
        size_t close = line.find('"', 1);
        return FindProgram(line.substr(1, close == std::string_view::npos ? close : close - 1), true, path);
    }
    DWORD firstError = ERROR_SUCCESS;
    for (size_t end = 0;;)
    {
        end = line.find_first_of(" \t", end);
        DWORD error = FindProgram(line.substr(0, end), true, path);
        if (error == ERROR_SUCCESS)
            return error;
        if (firstError == ERROR_SUCCESS)
            firstError = error;
        end = line.find_first_not_of(" \t", end);
        if (end == std::string_view::npos)
            return firstError;
    }
}

// ---------------------------------------------------------------------------------------------
// Child processes.

// A child process. Its state is guarded by plat::WaitMutex(); a reaper thread per child waits for
// it, so every child is reaped whether or not anybody waits.
class ProcessObject final : public plat::Waitable
{
  public:
    explicit ProcessObject(pid_t pid) : Waitable(plat::ObjectKind::Process), pid_(pid) {}
    bool IsSignaled(DWORD) const override { return exited_; }
    pid_t Pid() const { return pid_; }

    // The rest with WaitMutex held.
    bool Exited() const { return exited_; }
    DWORD ExitCode() const { return exited_ ? exitCode_ : STILL_ACTIVE; }
    // Kills the child; the pid is still ours as long as the reaper has not recorded the end.
    bool Terminate(DWORD exitCode)
    {
        if (exited_)
            return false;
        if (!terminateCode_) // the first request's code stands, as Windows sets it once
            terminateCode_ = exitCode;
        ::kill(pid_, SIGKILL);
        return true;
    }
    void Finish(int status, bool known)
    {
        exitCode_ = known ? ExitCodeOf(status) : 0;
        exited_ = true;
    }

  private:
    DWORD ExitCodeOf(int status) const
    {
        // Once TerminateProcess succeeded its code stands, even if the child was ending anyway.
        if (terminateCode_)
            return *terminateCode_;
        if (WIFEXITED(status))
            return static_cast<DWORD>(WEXITSTATUS(status));
        const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        switch (signal)
        {
        case SIGSEGV:
        case SIGBUS:
            return kStatusAccessViolation;
        case SIGILL:
            return kStatusIllegalInstruction;
        case SIGFPE:
            return kStatusIntegerDivideByZero;
        case SIGABRT:
            return kAbortExitCode;
        case SIGINT:
        case SIGQUIT:
            return kStatusControlCExit;
        default:
            return kKilledExitCode;
        }
    }

    const pid_t pid_;
    bool exited_ = false;
    DWORD exitCode_ = STILL_ACTIVE;
    std::optional<DWORD> terminateCode_;
};

// Waits for the child to end without reaping it, records its exit code and reaps it in one step
// under the wait lock, so TerminateProcess never signals a pid that was already given back.
void Reap(const std::shared_ptr<ProcessObject> &process)
{
    const pid_t pid = process->Pid();
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) == -1 && errno == EINTR)
    {
    }
    {
        std::lock_guard guard(plat::WaitMutex());
        int status = 0;
        pid_t reaped;
        while ((reaped = ::waitpid(pid, &status, 0)) == -1 && errno == EINTR)
        {
        }
        process->Finish(status, reaped == pid);
    }
    plat::NotifyWaiters();
}

struct SpawnRequest
{
    std::string program;
    std::vector<std::string> argv;
    std::vector<std::string> env;
    std::string folder;
    bool offConsole = false;
    int imageHold = -1;             // the descriptor holding the program's file, handed to the child
    bool standardHandles = false;   // STARTF_USESTDHANDLES: input, output and error given
    int standard[3] = {-1, -1, -1}; // their descriptors; -1 reads and writes nothing
};

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (std::string &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts the program; returns 0 or the errno of the failure, known before this returns.
int Spawn(SpawnRequest &request, pid_t &pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The standard handles first: a file's descriptor may be the one the image hold goes to.
    for (int target = 0; request.standardHandles && target < 3; ++target)
    {
        if (request.standard[target] >= 0)
            posix_spawn_file_actions_adddup2(&actions, request.standard[target], target);
        else
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null", target == 0 ? O_RDONLY : O_WRONLY,
                                             0);
    }
    int firstClosed = kImageDescriptor;
    if (request.imageHold >= 0)
    {
        posix_spawn_file_actions_adddup2(&actions, request.imageHold, kImageDescriptor);
        firstClosed = kImageDescriptor + 1;
    }
    if (request.offConsole && !request.standardHandles)
    {
        // A child without the caller's console reads and writes nothing there; its error output
        // stays visible so its diagnostics are not lost.
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    if (!request.folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, request.folder.c_str());
    // No other descriptor of ours reaches the child, whether or not it was opened close-on-exec.
    posix_spawn_file_actions_addclosefrom_np(&actions, firstClosed);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char *> argv = Pointers(request.argv);
    std::vector<char *> envp = Pointers(request.env);
    const int result =
        ::posix_spawn(&pid, request.program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

std::string Hex(DWORD value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", value);
    return buffer;
}

// The child's environment: the block given or ours, on the same PC, with its start variable.
std::vector<std::string> ChildEnvironment(const char *block, const std::string &commandLine,
                                          const STARTUPINFOA &startup)
{
    std::vector<std::string> env = block ? EnvironmentOfBlock(block) : CurrentEnvironment();
    SetEntry(env, "KIT_MACHINE", kitpc::Root());
    SetEntry(env, kStartVariable,
             std::to_string(::getpid()) + ":" + Hex(startup.dwFlags) + ":" +
                 std::to_string(startup.wShowWindow) + ":" + commandLine);
    return env;
}

constexpr DWORD kUnsupportedCreationFlags = DEBUG_PROCESS | DEBUG_ONLY_THIS_PROCESS | CREATE_SUSPENDED;
constexpr DWORD kOffConsoleFlags = DETACHED_PROCESS | CREATE_NEW_CONSOLE | CREATE_NO_WINDOW;

HANDLE CurrentProcessPseudoHandle()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

[[noreturn]] void EndProcess(UINT exitCode)
{
    std::fflush(nullptr);
    ::_exit(static_cast<int>(exitCode & 0xFF));
}
} // namespace

namespace plat
{
std::string ProgramName()
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return program_invocation_short_name;
    buffer[n] = '\0';
    return std::string(FileNamePart(buffer));
}
} // namespace plat

// CreateProcessA: starts a program of the PC. The program is lpApplicationName (looked for in the
// current folder only) or the first token of lpCommandLine, looked for in the PC's bin folder,
// the current folder, the PC's system and Windows folders, then the folders of PATH that are
// inside the PC (never the host's); "X.exe" also finds the
// program "X", names compare without case. The child gets argv split from the command line with
// the C runtime's rules and GetCommandLineA gives it the command line exactly. Differences: no
// handle is ever inherited but the standard handles of STARTF_USESTDHANDLES, which must be file
// handles (NULL or INVALID_HANDLE_VALUE give the child nothing to read or write there; another
// kind of handle fails with ERROR_INVALID_HANDLE) and are handed whether or not they were made
// inheritable; STARTF_USESTDHANDLES without bInheritHandles, CREATE_SUSPENDED, debugging and
// Unicode environment blocks fail with ERROR_CALL_NOT_IMPLEMENTED; priority classes are accepted and
// ignored; a child off the caller's console (DETACHED_PROCESS, CREATE_NEW_CONSOLE,
// CREATE_NO_WINDOW) gets /dev/null as input and output but keeps its error output; hThread is a
// second handle to the process object; the thread id is the process id. As on Windows, the
// program's file cannot be deleted while the process runs (ERROR_ACCESS_DENIED) but may be
// renamed; the child gets the hold as its descriptor 3. A file without the host's execute mark
// fails with ERROR_ACCESS_DENIED, unless it is a ".exe" or ".com" file of the PC: that gets it.
BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
    if (!lpStartupInfo || !lpProcessInformation || (!lpApplicationName && !lpCommandLine))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if ((dwCreationFlags & DETACHED_PROCESS) && (dwCreationFlags & CREATE_NEW_CONSOLE))
        return plat::Fail(ERROR_INVALID_PARAMETER);
    const bool standardHandles = (lpStartupInfo->dwFlags & STARTF_USESTDHANDLES) != 0;
    if ((dwCreationFlags & kUnsupportedCreationFlags) || (standardHandles && !bInheritHandles) ||
        (lpEnvironment && (dwCreationFlags & CREATE_UNICODE_ENVIRONMENT)))
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);

    SpawnRequest request;
    std::shared_ptr<plat::FileObject> standardFiles[3]; // held until the child has its copies
    if (standardHandles)
    {
        request.standardHandles = true;
        const HANDLE given[3] = {lpStartupInfo->hStdInput, lpStartupInfo->hStdOutput,
                                 lpStartupInfo->hStdError};
        for (int i = 0; i < 3; ++i)
        {
            if (!given[i] || given[i] == INVALID_HANDLE_VALUE)
                continue;
            standardFiles[i] = plat::GetFileObject(given[i]);
            if (!standardFiles[i])
                return plat::Fail(ERROR_INVALID_HANDLE);
            request.standard[i] = standardFiles[i]->Descriptor();
        }
    }
    const std::string commandLine = lpCommandLine ? lpCommandLine : lpApplicationName;
    const DWORD error = lpApplicationName ? FindProgram(lpApplicationName, false, request.program)
                                          : FindProgramOfCommandLine(commandLine, request.program);
    if (error != ERROR_SUCCESS)
        return plat::Fail(error);
    MakeRunnable(request.program);
    if (lpCurrentDirectory)
    {
        request.folder = AbsoluteHostPath(lpCurrentDirectory);
        if (!IsFolder(request.folder))
            return plat::Fail(ERROR_DIRECTORY);
    }
    request.argv = SplitCommandLine(commandLine);
    if (request.argv[0].empty())
        request.argv[0] = request.program;
    request.env = ChildEnvironment(static_cast<const char *>(lpEnvironment), commandLine, *lpStartupInfo);
    request.offConsole = (dwCreationFlags & kOffConsoleFlags) != 0;
    plat::UniqueFd image = plat::HoldImage(request.program);
    if (image)
    {
        request.imageHold = image.Get();
        SetEntry(request.env, kImageVariable, std::to_string(kImageDescriptor));
    }

    pid_t pid = 0;
    if (int err = Spawn(request, pid); err != 0)
        return plat::Fail(err == ENOENT ? ERROR_FILE_NOT_FOUND : plat::Win32FromErrno(err));

    auto process = std::make_shared<ProcessObject>(pid);
    try
    {
        std::thread([process] { Reap(process); }).detach();
    }
    catch (const std::system_error &)
    {
        {
            std::lock_guard guard(plat::WaitMutex());
            process->Terminate(kKilledExitCode);
        }
        Reap(process);
        return plat::Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    HANDLE hProcess = plat::InsertHandle(process);
    HANDLE hThread = hProcess ? plat::InsertHandle(process) : nullptr;
    if (!hThread)
    {
        if (hProcess)
            plat::RemoveHandle(hProcess);
        std::lock_guard guard(plat::WaitMutex());
        process->Terminate(kKilledExitCode);
        return FALSE; // InsertHandle set the error
    }
    lpProcessInformation->hProcess = hProcess;
    lpProcessInformation->hThread = hThread;
    lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
    lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

// GetExitCodeProcess: STILL_ACTIVE while the process runs, then its exit code. The host keeps only
// the low 8 bits of a code a process exits with; one killed by a signal reports what Windows
// reports for the matching end (0xC0000005 for SIGSEGV/SIGBUS, 0xC000001D SIGILL, 0xC0000094
// SIGFPE, 3 SIGABRT, 0xC000013A SIGINT/SIGQUIT, 1 for other signals; TerminateProcess's code).
BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    if (!lpExitCode)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (hProcess == CurrentProcessPseudoHandle())
    {
        *lpExitCode = STILL_ACTIVE;
        return TRUE;
    }
    auto process = plat::GetHandleObject<ProcessObject>(hProcess, plat::ObjectKind::Process);
    if (!process)
        return FALSE;
    std::lock_guard guard(plat::WaitMutex());
    *lpExitCode = process->ExitCode();
    return TRUE;
}

// TerminateProcess: kills the process (SIGKILL); its exit code becomes uExitCode. As on Windows
// it returns before the process has gone (wait on the handle) and fails with ERROR_ACCESS_DENIED
// once the process has ended. The current process ends at once.
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
    if (hProcess == CurrentProcessPseudoHandle())
        EndProcess(uExitCode);
    auto process = plat::GetHandleObject<ProcessObject>(hProcess, plat::ObjectKind::Process);
    if (!process)
        return FALSE;
    std::lock_guard guard(plat::WaitMutex());
    if (!process->Terminate(uExitCode))
        return plat::Fail(ERROR_ACCESS_DENIED);
    return TRUE;
}

// GetCurrentProcess: the pseudo handle (HANDLE)-1 of the calling process.
HANDLE WINAPI GetCurrentProcess()
{
    return CurrentProcessPseudoHandle();
}

// GetCurrentProcessId: the host process id.
DWORD WINAPI GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}

// GetProcessId: the id of a process handle's process (the host pid).
DWORD WINAPI GetProcessId(HANDLE Process)
{
    if (Process == CurrentProcessPseudoHandle())
        return GetCurrentProcessId();
    auto process = plat::GetHandleObject<ProcessObject>(Process, plat::ObjectKind::Process);
    return process ? static_cast<DWORD>(process->Pid()) : 0;
}

// ExitProcess: ends the process with the exit code after flushing the C streams. Unlike Windows,
// no library is notified and static objects are not destroyed (other threads may still use them);
// the host keeps the low 8 bits of the code.
void WINAPI ExitProcess(UINT uExitCode)
{
    EndProcess(uExitCode);
}

// GetCommandLineA: the command line the parent gave CreateProcessA, exactly; for a process the
// host started, its argv joined with Windows quoting.
LPSTR WINAPI GetCommandLineA()
{
    return TheStartInfo().commandLine.data();
}

// GetStartupInfoA: the dwFlags and wShowWindow the parent passed; titles, positions and standard
// handles are not kept (NULL / 0).
void WINAPI GetStartupInfoA(LPSTARTUPINFOA lpStartupInfo)
{
    if (!lpStartupInfo)
        return;
    *lpStartupInfo = STARTUPINFOA{};
    lpStartupInfo->cb = sizeof(STARTUPINFOA);
    lpStartupInfo->dwFlags = TheStartInfo().flags & ~STARTF_USESTDHANDLES;
    lpStartupInfo->wShowWindow = TheStartInfo().showWindow;
}

// GetEnvironmentVariableA: names compare without case. Returns the length copied (without the
// terminator), or when lpBuffer cannot hold value and terminator the size needed including the
// terminator, leaving the buffer untouched; 0 with ERROR_ENVVAR_NOT_FOUND when missing.
DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize)
{
    std::optional<std::string> value;
    if (lpName && *lpName)
    {
        std::lock_guard guard(EnvironmentMutex());
        value = FindVariable(lpName);
    }
    if (!value)
    {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const DWORD length = static_cast<DWORD>(value->size());
    if (!lpBuffer || nSize <= length)
        return length + 1;
    value->copy(lpBuffer, length);
    lpBuffer[length] = '\0';
    return length;
}

// SetEnvironmentVariableA: sets or (lpValue NULL) removes a variable of the process, names
// compared without case; child processes inherit the result.
BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue)
{
    if (!lpName || !*lpName || std::string_view(lpName).find('=') != std::string_view::npos)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(EnvironmentMutex());
    RemoveVariable(lpName);
    if (lpValue && ::setenv(lpName, lpValue, 1) != 0)
        return plat::FailFromErrno();
    return TRUE;
}
