// Arbitrary bytes through regedit's script reader: any file reads without a crash into
// operations that make sense, and the lines before a problem read the same without it.
#include "tools/regedit/RegScript.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace
{
using regedit::RegOperation;

bool SameOperation(const RegOperation &a, const RegOperation &b)
{
    return a.kind == b.kind && a.line == b.line && a.root == b.root && a.path == b.path && a.key == b.key &&
           a.name == b.name && a.type == b.type && a.data == b.data;
}

// Each operation comes from a line after the header, in order, before any problem; only values
// carry a name, a type and data.
void CheckOperations(const regedit::RegScript &script)
{
    int line = 2;
    for (const RegOperation &operation : script.operations)
    {
        if (operation.line < line || !operation.root || operation.key.empty())
            std::abort();
        if (script.problem && operation.line >= script.problem->line)
            std::abort();
        line = operation.line;
        const bool value = operation.kind == RegOperation::Kind::SetValue;
        if (!value && (operation.type != REG_NONE || !operation.data.empty()))
            std::abort();
        if (operation.kind < RegOperation::Kind::SetValue && !operation.name.empty())
            std::abort();
    }
    if (script.problem && (script.problem->line < 1 || script.problem->what == regedit::ScriptError::None))
        std::abort();
}

// The text of the lines before line `line` (1-based), each with its LF.
std::string_view LinesBefore(std::string_view text, int line)
{
    size_t end = 0;
    for (int n = 1; n < line; ++n)
    {
        const size_t lf = text.find('\n', end);
        if (lf == std::string_view::npos)
            return text;
        end = lf + 1;
    }
    return text.substr(0, end);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const regedit::RegScript script = regedit::ParseRegScript(text);
    CheckOperations(script);

    const bool utf16 = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (utf16 || !script.problem || script.problem->line < 2)
        return 0;
    const regedit::RegScript before = regedit::ParseRegScript(LinesBefore(text, script.problem->line));
    if (before.problem || before.operations.size() != script.operations.size())
        std::abort();
    for (size_t i = 0; i < before.operations.size(); ++i)
        if (!SameOperation(before.operations[i], script.operations[i]))
            std::abort();
    return 0;
}
