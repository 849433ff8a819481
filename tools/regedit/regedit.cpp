// regedit: the Windows registry editor's command line, acting on the PC named by $KIT_MACHINE
// through the platform's Reg* functions.
#include "tools/regedit/regfile.h"
#include "tools/text/ToolText.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr char kUsage[] =
    "usage: regedit [/s] FILE...          import registry scripts (REGEDIT4)\n"
    "       regedit /e FILE [KEY]         export KEY and its subkeys, or the whole registry\n"
    "\n"
    "  /s, -s   silent: print nothing when the import succeeds\n"
    "  /e, -e   export in REGEDIT4 format (Windows-1252, CR LF); /a and -a are the same\n"
    "  KEY      a full key name, e.g. HKEY_LOCAL_MACHINE\\Software\\Microsoft\n"
    "\n"
    "The PC is the one named by $KIT_MACHINE. An import applies each line as it is read, as\n"
    "Windows' regedit does: when a line is wrong, regedit reports its number and stops, and the\n"
    "lines before it stay imported. The exit status is 0 on success, 1 on a failed import or\n"
    "export, 2 on a bad command line.\n";

// Windows paths work as well as host ones.
std::string HostPath(std::string path)
{
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return path;
}

bool IsSwitch(const std::string &argument, char letter)
{
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           tooltext::ToUpper(argument[1]) == tooltext::ToUpper(letter);
}

int Usage(const char *problem = nullptr)
{
    if (problem)
        std::fprintf(stderr, "regedit: %s\n", problem);
    std::fputs(kUsage, problem ? stderr : stdout);
    return problem ? 2 : 0;
}

int Import(const std::string &file, bool silent)
{
    std::ifstream in(HostPath(file), std::ios::binary);
    if (!in)
    {
        std::fprintf(stderr, "regedit: cannot open %s\n", file.c_str());
        return 1;
    }
    std::ostringstream content;
    content << in.rdbuf();
    regedit::ImportProblem problem;
    if (!regedit::ImportScript(content.str(), problem))
    {
        std::fprintf(stderr, "regedit: %s:%d: %s\n", file.c_str(), problem.line, problem.message.c_str());
        return 1;
    }
    if (!silent)
        std::printf("Information in %s has been successfully entered into the registry.\n", file.c_str());
    return 0;
}

int Export(const std::string &file, const std::string &key)
{
    std::string script, error;
    if (!regedit::ExportScript(key, script, error))
    {
        std::fprintf(stderr, "regedit: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(HostPath(file), std::ios::binary | std::ios::trunc);
    out << script;
    out.close();
    if (!out)
    {
        std::fprintf(stderr, "regedit: cannot write %s\n", file.c_str());
        return 1;
    }
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> files;
    bool silent = false, exporting = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        if (IsSwitch(argument, 's'))
            silent = true;
        else if (IsSwitch(argument, 'e') || IsSwitch(argument, 'a'))
            exporting = true;
        else if (argument == "/?" || argument == "-?" || argument == "--help")
            return Usage();
        else if (argument.size() > 3 && (argument[0] == '/' || argument[0] == '-') &&
                 (tooltext::ToUpper(argument[1]) == 'L' || tooltext::ToUpper(argument[1]) == 'R') &&
                 argument[2] == ':')
            continue; // 9x's /L:system and /R:user: there is one registry file here
        else if ((argument.size() == 2 && argument[0] == '/') || (argument.size() > 1 && argument[0] == '-'))
            return Usage(("unknown switch " + argument).c_str()); // longer "/..." is a host path
        else
            files.push_back(argument);
    }
    if (exporting)
    {
        if (files.empty() || files.size() > 2)
            return Usage("/e takes a file name and at most one key");
        return Export(files[0], files.size() == 2 ? files[1] : std::string());
    }
    if (files.empty())
        return Usage("no file to import");
    for (const std::string &file : files)
        if (int status = Import(file, silent))
            return status;
    return 0;
}
