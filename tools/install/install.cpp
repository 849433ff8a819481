// install: puts the kit onto the simulated PC as the product's installer does, for the
// uninstaller (Uninstal) to find and undo.
//
//     install [--dir MACHINE] [--from BIN] [--product KitADSL] [--folder NAME]
//
// --dir      the PC (default $KIT_MACHINE, else ~/.local/share/kit/machine); it must exist
// --from     the build's bin folder, its libraries in BIN/../lib (default $KIT_BIN, else the
//            folder of this program)
// --product  the application key under HKEY_LOCAL_MACHINE\Software\Nuv\Dax (default KitADSL)
// --folder   the installation folder under <ProgramFilesDir>\Nuv\Dax (default KitADSL)
//
// The installation folder gets the wizard (QelAsist.so, Config.ini, 643.cfg, res), its host
// QelExec, QelFixRt, the uninstaller with its string file UNS_0a00.ini and picture Bitmap.bmp;
// Config.ini is the wizard's and the uninstaller's settings file at once (Windows names have no
// case), with "Registro" and "Ayuda" set. The shared folder <ProgramFilesDir>\Nuv\Dax gets the
// COM servers and the libraries of the wizard as .dll files; each counts one more in SharedDlls
// and the servers are registered. Shortcuts to the wizard go into the help folder on the
// desktop (with one to the uninstaller) and onto the desktop; the application key gets
// "DirPrincipal" and "Version". Install.log records all of it; installing again adds a second
// record to it (every file then "File Overwrite:", each SharedDlls count one more), so one
// uninstall undoes both.
//
// Exit codes: 0 installed, 1 something could not be done (said on standard error), 2 bad usage.
#include "platform/kit/kitconsole.h"
#include "platform/windows.h"
#include "tools/install/Installer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace
{
constexpr int kOk = 0, kFailed = 1, kUsage = 2;

const char *const kUsageText =
    "usage: install [--dir MACHINE] [--from BIN] [--product KitADSL] [--folder NAME]\n";

struct CommandLine
{
    std::optional<std::string> dir, from;
    InstallOptions options;
};

std::optional<CommandLine> Parse(int argc, char **argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        if (i + 1 >= argc || std::string(argv[i + 1]).empty())
            return std::nullopt;
        const std::string value = argv[++i];
        if (option == "--dir")
            line.dir = value;
        else if (option == "--from")
            line.from = value;
        else if (option == "--product")
            line.options.product = value;
        else if (option == "--folder")
            line.options.folder = value;
        else
            return std::nullopt;
    }
    return line;
}

std::string FromEnvironment(const char *name, const std::string &otherwise)
{
    const char *value = std::getenv(name);
    return value && *value ? value : otherwise;
}

std::string DefaultPc()
{
    return FromEnvironment("KIT_MACHINE", FromEnvironment("HOME", "/tmp") + "/.local/share/kit/machine");
}

std::string ProgramFolder()
{
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

// Makes `dir` the PC of every platform call; false when no PC is there.
bool UsePc(const std::string &dir)
{
    std::error_code ec;
    const fs::path path = fs::absolute(dir, ec).lexically_normal();
    if (!fs::is_regular_file(path / "machine.ini", ec))
        return false;
    ::setenv("KIT_MACHINE", path.string().c_str(), 1);
    return true;
}

int Failed(const std::string &message)
{
    std::fprintf(stderr, "install: %s\n", kitpc::TerminalText(message).c_str());
    return kFailed;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "/?"))
    {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    std::optional<CommandLine> line = Parse(argc, argv);
    if (!line)
    {
        std::fputs(kUsageText, stderr);
        return kUsage;
    }
    const std::string pc = line->dir.value_or(DefaultPc());
    if (!UsePc(pc))
        return Failed("no PC in " + pc);
    std::error_code ec;
    line->options.bin =
        fs::absolute(line->from.value_or(FromEnvironment("KIT_BIN", ProgramFolder())), ec).lexically_normal();
    CInstaller installer(line->options);
    if (!installer.Run())
        return Failed(installer.Error());
    std::printf("%s\n", kitpc::TerminalText(installer.InstallFolder()).c_str());
    return kOk;
}
