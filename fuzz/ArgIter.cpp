// Arbitrary command lines through CArgIter: splitting never crashes, every argument reads back,
// and quoting any text with VerArgSeguro splits back into exactly that text.
#include "comun/ArgIter.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A command line is a C string: it ends at the first NUL.
    std::string line(reinterpret_cast<const char *>(data), size);
    line.resize(line.find('\0') == std::string::npos ? line.size() : line.find('\0'));

    CArgIter iter;
    const HRESULT hr = iter.Open(line.c_str());
    if (FAILED(hr))
    {
        if (hr != E_INVALIDARG || iter.VerArgc() != 0 || !iter.IsEOF())
            std::abort();
    }
    else
    {
        std::vector<std::string> args;
        for (HRESULT move = iter.MoveFirst(); SUCCEEDED(move) && !iter.IsEOF(); move = iter.MoveNext())
        {
            std::string arg;
            LONG number = 0;
            double real = 0;
            if (FAILED(iter.VerArg(arg)))
                std::abort();
            iter.VerArg(number);
            iter.VerArg(real);
            args.push_back(arg);
        }
        if (static_cast<int>(args.size()) != iter.VerArgc() || iter[iter.VerArgc()] != nullptr)
            std::abort();
        // The arguments quoted one by one give the same arguments back.
        std::string rebuilt;
        for (const std::string &arg : args)
            rebuilt += CArgIter::VerArgSeguro(arg.c_str()) + " ";
        CArgIter again;
        if (FAILED(again.Open(rebuilt.c_str())) || again.VerArgc() != iter.VerArgc())
            std::abort();
        for (const std::string &arg : args)
        {
            std::string back;
            if (FAILED(again.VerArg(back)) || back != arg)
                std::abort();
            again.MoveNext();
        }
    }

    // The whole input, quoted, is one argument.
    CArgIter quoted;
    std::string back;
    if (FAILED(quoted.Open(CArgIter::VerArgSeguro(line.c_str()).c_str())) || quoted.VerArgc() != 1 ||
        FAILED(quoted.VerArg(back)) || back != line)
        std::abort();
    return 0;
}
