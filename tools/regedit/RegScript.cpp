// The REGEDIT4 reader: lines, [KEY] and [-KEY] headers, "name"=value lines with their value
// types, hex data continued after "\", and the quoted strings' escapes.
#include "tools/regedit/RegScript.h"
#include "tools/text/ToolText.h"

namespace regedit
{
namespace
{
using tooltext::TrimLeft;
using tooltext::TrimRight;

constexpr char kHeader4[] = "REGEDIT4";
constexpr char kHeader5[] = "Windows Registry Editor Version 5.00";

struct RootName
{
    const char *name;
    HKEY key;
};

const RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

// Windows-1252 bytes of the UTF-16 code units 0x80-0x9F stands for (0 where undefined).
constexpr char16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char From16(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100))
        return static_cast<char>(unit);
    for (int i = 0; i < 32; ++i)
        if (kHigh1252[i] == unit)
            return static_cast<char>(0x80 + i);
    return '?';
}

// A UTF-16LE script (with its byte order mark) as Windows-1252 text.
std::string Narrow(std::string_view content)
{
    std::string text;
    for (size_t i = 2; i + 1 < content.size(); i += 2)
        text += From16(static_cast<char16_t>(static_cast<unsigned char>(content[i]) |
                                             static_cast<unsigned char>(content[i + 1]) << 8));
    return text;
}

class Reader
{
  public:
    explicit Reader(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    RegScript Run()
    {
        for (index_ = 1; index_ < lines_.size(); ++index_)
        {
            ImportProblem problem;
            first_ = index_;
            if (!Line(TrimLeft(lines_[index_]), problem))
            {
                problem.line = static_cast<int>(first_) + 1;
                script_.problem = std::move(problem);
                break;
            }
        }
        return std::move(script_);
    }

  private:
    // Where the values of the lines read go.
    enum class Section
    {
        None,    // before the first key
        Open,    // the last [KEY]
        Deleted, // nowhere: the last key was [-KEY]
    };

    bool Line(std::string_view line, ImportProblem &problem)
    {
        if (line.empty() || line.front() == ';')
            return true;
        if (line.front() == '[')
            return KeyLine(line, problem);
        if (line.front() == '"' || line.front() == '@')
            return ValueLine(line, problem);
        problem.what = ScriptError::UnrecognisedLine;
        return false;
    }

    void Add(RegOperation::Kind kind, std::string name = {}, DWORD type = REG_NONE, std::string data = {})
    {
        RegOperation operation{
            kind,           static_cast<int>(first_) + 1, root_, path_, keyName_, std::move(name), type,
            std::move(data)};
        script_.operations.push_back(std::move(operation));
    }

    bool KeyLine(std::string_view line, ImportProblem &problem)
    {
        const size_t close = line.rfind(']');
        if (close == std::string_view::npos)
        {
            problem.what = ScriptError::MissingBracket;
            return false;
        }
        std::string_view name = line.substr(1, close - 1);
        const bool remove = !name.empty() && name.front() == '-';
        if (remove)
            name.remove_prefix(1);
        if (!SplitKeyPath(name, root_, path_))
        {
            problem.what = ScriptError::UnknownRoot;
            problem.key = name;
            return false;
        }
        keyName_ = name;
        section_ = remove ? Section::Deleted : Section::Open;
        Add(remove ? RegOperation::Kind::DeleteKey : RegOperation::Kind::CreateKey);
        return true;
    }

    // A quoted string with regedit's two escapes, \\ and \" (any other backslash is kept);
    // `text` starts after the opening quote and is left after the closing one.
    static std::optional<std::string> Quoted(std::string_view &text)
    {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i)
        {
            const char c = text[i];
            if (c == '"')
            {
                text.remove_prefix(i + 1);
                return out;
            }
            if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"'))
                out += text[++i];
            else
                out += c;
        }
        return std::nullopt;
    }

    // The value's data is read only under an open key: below a deleted key the rest of the line
    // is not looked at.
    bool ValueLine(std::string_view line, ImportProblem &problem)
    {
        std::string name;
        if (line.front() == '@')
            line.remove_prefix(1);
        else
        {
            line.remove_prefix(1);
            std::optional<std::string> quoted = Quoted(line);
            if (!quoted)
            {
                problem.what = ScriptError::MissingNameQuote;
                return false;
            }
            name = std::move(*quoted);
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=')
        {
            problem.what = ScriptError::MissingEquals;
            return false;
        }
        line = TrimLeft(line.substr(1));
        if (section_ == Section::Deleted)
            return true;
        if (section_ == Section::None)
        {
            problem.what = ScriptError::ValueOutsideKey;
            return false;
        }
        if (TrimRight(line) == "-")
        {
            Add(RegOperation::Kind::DeleteValue, std::move(name));
            return true;
        }
        if (!line.empty() && line.front() == '"')
            return StringValue(std::move(name), line.substr(1), problem);
        if (line.substr(0, 6) == "dword:")
            return DwordValue(std::move(name), line.substr(6), problem);
        if (line.substr(0, 3) == "hex")
            return HexValue(std::move(name), line.substr(3), problem);
        problem.what = ScriptError::UnknownValueType;
        return false;
    }

    bool StringValue(std::string name, std::string_view text, ImportProblem &problem)
    {
        std::optional<std::string> value = Quoted(text);
        if (!value || !TrimRight(text).empty())
        {
            problem.what = value ? ScriptError::TextAfterString : ScriptError::MissingStringQuote;
            return false;
        }
        value->push_back('\0');
        Add(RegOperation::Kind::SetValue, std::move(name), REG_SZ, std::move(*value));
        return true;
    }

    bool DwordValue(std::string name, std::string_view text, ImportProblem &problem)
    {
        DWORD value;
        if (!tooltext::ParseHex(TrimRight(text), 8, value))
        {
            problem.what = ScriptError::BadDword;
            return false;
        }
        Add(RegOperation::Kind::SetValue, std::move(name), REG_DWORD,
            std::string(reinterpret_cast<const char *>(&value), sizeof value));
        return true;
    }

    // "hex:" or "hex(N):" then bytes; a line ending in '\' goes on to the next line.
    bool HexValue(std::string name, std::string_view text, ImportProblem &problem)
    {
        DWORD type = REG_BINARY;
        if (!text.empty() && text.front() == '(')
        {
            const size_t close = text.find(')');
            if (close == std::string_view::npos || !tooltext::ParseHex(text.substr(1, close - 1), 8, type))
            {
                problem.what = ScriptError::BadHexType;
                return false;
            }
            text.remove_prefix(close + 1);
        }
        if (text.empty() || text.front() != ':')
        {
            problem.what = ScriptError::MissingHexColon;
            return false;
        }
        text.remove_prefix(1);
        std::string data;
        for (;;)
        {
            std::string_view body = TrimRight(text);
            const bool continued = !body.empty() && body.back() == '\\';
            if (continued)
                body.remove_suffix(1);
            if (!ParseBytes(body, data, problem))
                return false;
            if (!continued)
                break;
            if (index_ + 1 >= lines_.size())
            {
                problem.what = ScriptError::EndsInsideHex;
                return false;
            }
            text = TrimLeft(lines_[++index_]);
        }
        Add(RegOperation::Kind::SetValue, std::move(name), type, std::move(data));
        return true;
    }

    static bool ParseBytes(std::string_view text, std::string &data, ImportProblem &problem)
    {
        size_t i = 0;
        while (true)
        {
            while (i < text.size() && IsBlank(text[i]))
                ++i;
            if (i >= text.size())
                return true;
            size_t start = i;
            while (i < text.size() && tooltext::HexDigit(text[i]) >= 0)
                ++i;
            DWORD byte;
            if (i == start || !tooltext::ParseHex(text.substr(start, i - start), 2, byte))
            {
                problem.what = ScriptError::BadHexByte;
                return false;
            }
            data += static_cast<char>(byte);
            while (i < text.size() && IsBlank(text[i]))
                ++i;
            if (i < text.size())
            {
                if (text[i] != ',')
                {
                    problem.what = ScriptError::BadHexByte;
                    return false;
                }
                ++i;
            }
        }
    }

    static bool IsBlank(char c) { return tooltext::kBlanks.find(c) != std::string_view::npos; }

    std::vector<std::string> lines_;
    size_t index_ = 0; // the line being read
    size_t first_ = 0; // the line the one being read starts on (a hex value may go on)
    Section section_ = Section::None;
    HKEY root_ = nullptr;
    std::string path_;
    std::string keyName_;
    RegScript script_;
};
} // namespace

HKEY RootFromName(std::string_view name)
{
    for (const RootName &root : kRoots)
        if (tooltext::EqualNoCase(name, root.name))
            return root.key;
    return nullptr;
}

bool SplitKeyPath(std::string_view full, HKEY &root, std::string &path, std::string *canonical)
{
    const size_t slash = full.find('\\');
    root = RootFromName(full.substr(0, slash));
    path = slash == std::string_view::npos ? std::string() : std::string(full.substr(slash + 1));
    if (root && canonical)
        for (const RootName &known : kRoots)
            if (known.key == root)
                *canonical = known.name + (path.empty() ? std::string() : "\\" + path);
    return root != nullptr;
}

RegScript ParseRegScript(std::string_view content)
{
    const bool utf16 = content.size() >= 2 && static_cast<unsigned char>(content[0]) == 0xFF &&
                       static_cast<unsigned char>(content[1]) == 0xFE;
    const std::string narrowed = utf16 ? Narrow(content) : std::string();
    std::vector<std::string> lines = tooltext::Lines(utf16 ? std::string_view(narrowed) : content);
    const std::string_view header = lines.empty() ? std::string_view() : TrimRight(lines[0]);
    if (header != kHeader4 && header != kHeader5)
    {
        RegScript script;
        script.problem.emplace();
        script.problem->line = 1;
        script.problem->what = ScriptError::NotAScript;
        return script;
    }
    return Reader(std::move(lines)).Run();
}
} // namespace regedit
