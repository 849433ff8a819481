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
// What is wrong with a line: one the reader cannot read, or one the registry refused.
enum class ScriptError
{
    None,
    NotAScript, // the first line is neither header
    UnrecognisedLine,
    MissingBracket,     // [KEY without its ']'
    UnknownRoot,        // the key's root is none of the HKEY_... names
    MissingNameQuote,   // "name without its closing quote
    MissingEquals,      // no '=' after the value's name
    ValueOutsideKey,    // a value before the first [KEY]
    UnknownValueType,   // neither "string", dword: nor hex
    TextAfterString,    // more after the string's closing quote
    MissingStringQuote, // the string has no closing quote
    BadDword,           // dword: takes 1 to 8 hex digits
    BadHexType,         // hex(N): with N not a hex number
    MissingHexColon,    // hex or hex(N) not followed by ':'
    EndsInsideHex,      // the file ends after a '\' continuing hex data
    BadHexByte,
    // The registry refused the line's operation (`error`).
    CannotCreateKey,
    CannotDeleteKey,
    CannotSetValue,
    CannotDeleteValue,
};

struct ImportProblem
{
    int line = 0; // 1-based line of the file where the problem is
    ScriptError what = ScriptError::None;
    std::string key;  // the key as the script writes it (UnknownRoot and the registry's refusals)
    std::string name; // the value's name, for CannotSetValue and CannotDeleteValue
    LONG error = ERROR_SUCCESS;
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
