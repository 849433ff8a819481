// Arbitrary text files through CTxtIter: every line and field of any file reads without a
// crash; the fields of a line joined by the separator give the line back.
#include "comun/TxtIter.h"
#include "testing/machine.h"
#include "testing/pcfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static const kittest::TempMachine machine("kit-fuzz-txtiter");
    g_path = machine.Root() + "/texto.txt";
    return 0;
}

// Input: byte 0 is the separator, the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const char separator = static_cast<char>(data[0]);
    if (!pcfile::Write(g_path, std::string_view(reinterpret_cast<const char *>(data) + 1, size - 1)))
        std::abort();

    CTxtIter iter;
    const HRESULT hr = iter.Open(separator, g_path.c_str(), CTxtIter::modoSoloLectura);
    if (separator == '\0')
    {
        if (hr != E_INVALIDARG)
            std::abort();
        return 0;
    }
    if (FAILED(hr))
        std::abort();
    int lines = 0;
    for (; !iter.IsEOF(); iter.MoveNext())
    {
        ++lines;
        std::string field, joined;
        LONG index = 0;
        for (; SUCCEEDED(iter.GetFieldValue(index, field)); ++index)
        {
            LONG number = 0;
            iter.GetFieldValue(index, number);
            joined += (index ? std::string(1, separator) : std::string()) + field;
        }
        // Every line has a field 0; line breaks (unless they are the separator) and comment lines
        // never reach a field.
        if (index == 0 || (separator != '\n' && joined.find('\n') != std::string::npos) ||
            (!joined.empty() && joined[0] == '#'))
            std::abort();
        if (iter.GetFieldValue(-1, field) != E_INVALIDARG)
            std::abort();
    }
    if (iter.MoveNext() != E_FAIL || FAILED(iter.MoveFirst()))
        std::abort();
    int again = 0;
    for (; !iter.IsEOF(); iter.MoveNext())
        ++again;
    if (again != lines)
        std::abort();
    return 0;
}
