// The REGEDIT4 reader: a registry script's text read into the operations it asks for, without
// touching the registry, so that any bytes can be read safely and applied afterwards.
#pragma once

#include "platform/windows.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace regedit
{
struct ImportProblem
{
    int line = 0; // 1-based line of the file where the problem is
    std::string message;
};

struct RegOperation
{
    enum class Kind
    {
        CreateKey,   // [KEY]: opens the key the values below it go to, creating it when missing
        DeleteKey,   // [-KEY]: deletes the key and its subtree
        SetValue,    // "name"=... under the last [KEY]
        DeleteValue, // "name"=- under the last [KEY]
    };
    Kind kind = Kind::CreateKey;
    int line = 0;        // 1-based line the operation starts on
    HKEY root = nullptr; // the key's root
    std::string path;    // the key below its root
    std::string key;     // the key's name as the script writes it, for messages
    std::string name;    // the value's name ("" for the default value, "@")
    DWORD type = REG_NONE;
    std::string data; // the value's bytes, as RegSetValueExA takes them
};

struct RegScript
{
    std::vector<RegOperation> operations; // those of the lines before `problem`, in order
    std::optional<ImportProblem> problem; // the first line that cannot be read
};

// Reads a whole script: REGEDIT4 text (Windows-1252), or "Windows Registry Editor Version 5.00"
// text in UTF-16 with its byte order mark. Values below a deleted key are dropped, as Windows'
// regedit ignores them.
RegScript ParseRegScript(std::string_view content);

// The predefined handle a root name stands for ("HKEY_CURRENT_USER", any case), or nullptr.
HKEY RootFromName(std::string_view name);

// Splits "HKEY_...\path" into its root handle and the path below it; `canonical` gets the
// full name with the root spelt as Windows spells it. False for an unknown root.
bool SplitKeyPath(std::string_view full, HKEY &root, std::string &path, std::string *canonical = nullptr);
} // namespace regedit
