// rc: compiles a resource script into a C++ source that registers its resources.
//     rc SCRIPT.rc -o OUTPUT.cpp [-d DEPFILE]
#include "tools/rc/RcCompiler.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace
{
int Usage()
{
    std::cerr << "usage: rc SCRIPT.rc -o OUTPUT.cpp [-d DEPFILE]\n";
    return 2;
}

bool WriteText(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}
} // namespace

int main(int argc, char **argv)
{
    std::string script, output, depfile;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "-d") && i + 1 < argc)
            (arg == "-o" ? output : depfile) = argv[++i];
        else if (script.empty() && !arg.empty() && arg[0] != '-')
            script = arg;
        else
            return Usage();
    }
    if (script.empty() || output.empty())
        return Usage();
    try
    {
        const kitrc::Compiled compiled = kitrc::CompileRc(script);
        const std::string name = std::filesystem::path(script).filename().string();
        if (!WriteText(output, kitrc::GenerateSource(compiled, name)) ||
            (!depfile.empty() && !WriteText(depfile, kitrc::DependencyLine(compiled, output))))
        {
            std::cerr << "rc: cannot write " << output << "\n";
            return 1;
        }
    }
    catch (const kitrc::RcError &error)
    {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
