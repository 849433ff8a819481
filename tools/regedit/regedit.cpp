// regedit: the Windows registry editor's command line, acting on the PC named by $KIT_MACHINE
// through the platform's Reg* functions. It speaks the PC's user language (messages.h); file
// names from the command line are shown as the PC spells them.
#include "platform/kit/kitconsole.h"
#include "tools/regedit/messages.h"
#include "tools/regedit/regfile.h"
#include "tools/pcreg/PcRegistry.h"
#include "tools/text/ToolText.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
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

// Windows 1252 text on the terminal, with its line break.
void Say(std::FILE *stream, const std::string &text)
{
    std::fputs(kitpc::TerminalText(text + "\n").c_str(), stream);
}

int Fail(const std::string &text)
{
    Say(stderr, text);
    return 1;
}

// A refusal of the registry; when the hive itself failed, also that it is damaged and where.
int Fail(const std::string &text, LONG error)
{
    return Fail(pcreg::IsDamage(error) ? text + "\n" + pcreg::DamageMessage() : text);
}

int Usage(const std::string &problem = {})
{
    if (!problem.empty())
        Say(stderr, problem);
    std::fputs(kitpc::TerminalText(regedit::UsageText()).c_str(), problem.empty() ? stdout : stderr);
    return problem.empty() ? 0 : 2;
}

int Import(const std::string &file, bool silent)
{
    const std::string shown = kitpc::PcText(file);
    std::ifstream in(HostPath(file), std::ios::binary);
    if (!in)
        return Fail(regedit::CannotOpenText(shown));
    std::ostringstream content;
    content << in.rdbuf();
    regedit::ImportProblem problem;
    if (!regedit::ImportScript(content.str(), problem))
        return Fail(regedit::ImportProblemText(shown, problem), problem.error);
    if (!silent)
        Say(stdout, regedit::ImportedText(shown));
    return 0;
}

int Export(const std::string &file, const std::string &key)
{
    std::string script;
    regedit::ExportProblem problem;
    if (!regedit::ExportScript(kitpc::PcText(key), script, problem))
        return Fail(regedit::ExportProblemText(problem), problem.error);
    std::ofstream out(HostPath(file), std::ios::binary | std::ios::trunc);
    out << script;
    out.close();
    if (!out)
        return Fail(regedit::CannotWriteText(kitpc::PcText(file)));
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
            return Usage(regedit::UnknownSwitchText(kitpc::PcText(argument))); // longer "/..." is a host path
        else
            files.push_back(argument);
    }
    if (exporting)
    {
        if (files.empty() || files.size() > 2)
            return Usage(regedit::ExportArgumentsText());
        return Export(files[0], files.size() == 2 ? files[1] : std::string());
    }
    if (files.empty())
        return Usage(regedit::NoFileText());
    for (const std::string &file : files)
        if (int status = Import(file, silent))
            return status;
    return 0;
}
