// Registry scripts: the REGEDIT4 format read and written the way Windows' regedit does.
#include "tools/regedit/regfile.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace regedit
{
namespace
{
constexpr char kHeader4[] = "REGEDIT4";
constexpr char kHeader5[] = "Windows Registry Editor Version 5.00";
// Hex data lines are wrapped once they reach this column, continued after "\" on a line
// indented by two spaces, as regedit writes them.
constexpr size_t kHexWrapColumn = 77;

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

bool EqualNoCaseAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

std::string ErrorText(LONG error)
{
    switch (error)
    {
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_FILE_NOT_FOUND:
        return "the key does not exist";
    case ERROR_INVALID_PARAMETER:
        return "invalid name";
    case ERROR_BAD_PATHNAME:
        return "invalid key path";
    default:
        return "error " + std::to_string(error);
    }
}

// Closes a key when it goes out of scope.
class Key
{
  public:
    Key() = default;
    explicit Key(HKEY key) : key_(key) {}
    ~Key() { Reset(); }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    void Reset(HKEY key = nullptr)
    {
        if (key_)
            RegCloseKey(key_);
        key_ = key;
    }
    HKEY Get() const { return key_; }
    HKEY *Out()
    {
        Reset();
        return &key_;
    }

  private:
    HKEY key_ = nullptr;
};

// Splits "HKEY_...\path" into its root handle and the path below it; `canonical` is the
// full name with the root spelt as Windows spells it.
bool SplitKeyPath(std::string_view full, HKEY &root, std::string &path, std::string *canonical = nullptr)
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

// Deletes a key and its subtree, leaves first, as NT only deletes childless keys.
LONG DeleteTree(HKEY parent, const std::string &name)
{
    Key key;
    LONG err = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, key.Out());
    if (err)
        return err;
    char child[256];
    while ((err = RegEnumKeyA(key.Get(), 0, child, sizeof child)) == ERROR_SUCCESS)
        if ((err = DeleteTree(key.Get(), child)))
            return err;
    if (err != ERROR_NO_MORE_ITEMS)
        return err;
    key.Reset();
    return RegDeleteKeyA(parent, name.c_str());
}

// ------------------------------------------------------------------------------------ import

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

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHexNumber(std::string_view text, size_t maxDigits, DWORD &value)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    value = 0;
    for (char c : text)
    {
        int digit = HexDigit(c);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<DWORD>(digit);
    }
    return true;
}

class Importer
{
  public:
    explicit Importer(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    bool Run(ImportProblem &problem)
    {
        for (index_ = 1; index_ < lines_.size(); ++index_)
        {
            std::string message;
            const size_t first = index_;
            if (!Line(TrimLeft(lines_[index_]), message))
            {
                problem.line = static_cast<int>(first) + 1;
                problem.message = message;
                return false;
            }
        }
        return true;
    }

  private:
    bool Line(std::string_view line, std::string &message)
    {
        if (line.empty() || line.front() == ';')
            return true;
        if (line.front() == '[')
            return KeyLine(line, message);
        if (line.front() == '"' || line.front() == '@')
            return ValueLine(line, message);
        message = "unrecognised line";
        return false;
    }

    bool KeyLine(std::string_view line, std::string &message)
    {
        const size_t close = line.rfind(']');
        if (close == std::string_view::npos)
        {
            message = "missing ']' after the key name";
            return false;
        }
        std::string_view name = line.substr(1, close - 1);
        const bool remove = !name.empty() && name.front() == '-';
        if (remove)
            name.remove_prefix(1);
        HKEY root;
        std::string path;
        if (!SplitKeyPath(name, root, path))
        {
            message = "unknown root key in [" + std::string(name) + "]";
            return false;
        }
        key_.Reset();
        keyName_ = name;
        if (remove)
        {
            LONG err = path.empty() ? ERROR_ACCESS_DENIED : DeleteTree(root, path);
            if (err && err != ERROR_FILE_NOT_FOUND)
            {
                message = "cannot delete [" + keyName_ + "]: " + ErrorText(err);
                return false;
            }
            return true; // values that follow a deleted key are ignored, as regedit does
        }
        LONG err =
            RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.Out(), nullptr);
        if (err)
        {
            message = "cannot create [" + keyName_ + "]: " + ErrorText(err);
            return false;
        }
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

    bool ValueLine(std::string_view line, std::string &message)
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
                message = "missing '\"' after the value name";
                return false;
            }
            name = std::move(*quoted);
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=')
        {
            message = "missing '=' after the value name";
            return false;
        }
        line = TrimLeft(line.substr(1));
        if (!key_.Get())
        {
            if (!keyName_.empty())
                return true; // below a deleted key
            message = "value outside a key";
            return false;
        }
        if (TrimRight(line) == "-")
            return Apply(RegDeleteValueA(key_.Get(), name.c_str()), name, message, true);
        if (!line.empty() && line.front() == '"')
            return StringValue(name, line.substr(1), message);
        if (line.substr(0, 6) == "dword:")
            return DwordValue(name, line.substr(6), message);
        if (line.substr(0, 3) == "hex")
            return HexValue(name, line.substr(3), message);
        message = "unknown value type";
        return false;
    }

    bool Apply(LONG err, const std::string &name, std::string &message, bool deleting = false)
    {
        if (err == ERROR_SUCCESS || (deleting && err == ERROR_FILE_NOT_FOUND))
            return true;
        message = "cannot " + std::string(deleting ? "delete" : "set") + " value \"" + name + "\" in [" +
                  keyName_ + "]: " + ErrorText(err);
        return false;
    }

    bool Set(const std::string &name, DWORD type, const std::string &data, std::string &message)
    {
        return Apply(RegSetValueExA(key_.Get(), name.c_str(), 0, type,
                                    reinterpret_cast<const BYTE *>(data.data()),
                                    static_cast<DWORD>(data.size())),
                     name, message);
    }

    bool StringValue(const std::string &name, std::string_view text, std::string &message)
    {
        std::optional<std::string> value = Quoted(text);
        if (!value || !TrimRight(text).empty())
        {
            message = value ? "unexpected text after the string" : "missing '\"' at the end of the string";
            return false;
        }
        value->push_back('\0');
        return Set(name, REG_SZ, *value, message);
    }

    bool DwordValue(const std::string &name, std::string_view text, std::string &message)
    {
        DWORD value;
        if (!ParseHexNumber(TrimRight(text), 8, value))
        {
            message = "bad dword value (dword: takes up to 8 hex digits)";
            return false;
        }
        return Set(name, REG_DWORD, std::string(reinterpret_cast<const char *>(&value), sizeof value),
                   message);
    }

    // "hex:" or "hex(N):" then bytes; a line ending in '\' goes on to the next line.
    bool HexValue(const std::string &name, std::string_view text, std::string &message)
    {
        DWORD type = REG_BINARY;
        if (!text.empty() && text.front() == '(')
        {
            const size_t close = text.find(')');
            if (close == std::string_view::npos || !ParseHexNumber(text.substr(1, close - 1), 8, type))
            {
                message = "bad type in hex(N):";
                return false;
            }
            text.remove_prefix(close + 1);
        }
        if (text.empty() || text.front() != ':')
        {
            message = "missing ':' after hex";
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
            if (!ParseBytes(body, data, message))
                return false;
            if (!continued)
                break;
            if (index_ + 1 >= lines_.size())
            {
                message = "the file ends inside a continued hex value";
                return false;
            }
            text = TrimLeft(lines_[++index_]);
        }
        return Set(name, type, data, message);
    }

    static bool ParseBytes(std::string_view text, std::string &data, std::string &message)
    {
        size_t i = 0;
        while (true)
        {
            while (i < text.size() && IsBlank(text[i]))
                ++i;
            if (i >= text.size())
                return true;
            size_t start = i;
            while (i < text.size() && HexDigit(text[i]) >= 0)
                ++i;
            DWORD byte;
            if (i == start || !ParseHexNumber(text.substr(start, i - start), 2, byte))
            {
                message = "bad hex byte";
                return false;
            }
            data += static_cast<char>(byte);
            while (i < text.size() && IsBlank(text[i]))
                ++i;
            if (i < text.size())
            {
                if (text[i] != ',')
                {
                    message = "bad hex byte";
                    return false;
                }
                ++i;
            }
        }
    }

    std::vector<std::string> lines_;
    size_t index_ = 0;
    Key key_;
    std::string keyName_;
};

// ------------------------------------------------------------------------------------ export

std::string Escaped(std::string_view text)
{
    std::string out;
    for (char c : text)
    {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// A REG_SZ regedit can write as "text": one NUL at the end and none before, no line breaks.
bool IsPlainString(DWORD type, std::string_view data)
{
    if (type != REG_SZ || data.empty() || data.back() != '\0')
        return false;
    data.remove_suffix(1);
    return data.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendHex(std::string &out, std::string_view prefix, std::string_view data)
{
    out += prefix;
    size_t column = prefix.size();
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i)
    {
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
        out += byte;
        if (i + 1 == data.size())
            break;
        out += ',';
        column += 3;
        if (column >= kHexWrapColumn)
        {
            out += "\\\r\n  ";
            column = 2;
        }
    }
    out += "\r\n";
}

void AppendValue(std::string &out, std::string_view name, DWORD type, std::string_view data)
{
    std::string prefix = name.empty() ? "@=" : "\"" + Escaped(name) + "\"=";
    if (IsPlainString(type, data))
    {
        out += prefix + "\"" + Escaped(data.substr(0, data.size() - 1)) + "\"\r\n";
        return;
    }
    if (type == REG_DWORD && data.size() == sizeof(DWORD))
    {
        DWORD value;
        std::memcpy(&value, data.data(), sizeof value);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", value);
        out += prefix + text + "\r\n";
        return;
    }
    char kind[24];
    if (type == REG_BINARY)
        std::snprintf(kind, sizeof kind, "hex:");
    else
        std::snprintf(kind, sizeof kind, "hex(%x):", type);
    AppendHex(out, prefix + kind, data);
}

LONG ExportKey(HKEY key, const std::string &path, std::string &out)
{
    DWORD maxName = 0, maxData = 0;
    LONG err = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                &maxData, nullptr, nullptr);
    if (err)
        return err;
    out += "[" + path + "]\r\n";
    std::vector<char> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD index = 0;; ++index)
    {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        err = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        if (err)
            return err;
        AppendValue(out, std::string_view(name.data(), nameLength), type,
                    std::string_view(reinterpret_cast<const char *>(data.data()), size));
    }
    out += "\r\n";
    std::vector<std::string> children;
    char child[256];
    for (DWORD index = 0; (err = RegEnumKeyA(key, index, child, sizeof child)) == ERROR_SUCCESS; ++index)
        children.emplace_back(child);
    if (err != ERROR_NO_MORE_ITEMS)
        return err;
    for (const std::string &childName : children)
    {
        Key sub;
        if ((err = RegOpenKeyExA(key, childName.c_str(), 0, KEY_READ, sub.Out())))
            return err;
        if ((err = ExportKey(sub.Get(), path + "\\" + childName, out)))
            return err;
    }
    return ERROR_SUCCESS;
}
} // namespace

HKEY RootFromName(std::string_view name)
{
    for (const RootName &root : kRoots)
        if (EqualNoCaseAscii(name, root.name))
            return root.key;
    return nullptr;
}

bool ImportScript(std::string_view content, ImportProblem &problem)
{
    const bool utf16 = content.size() >= 2 && static_cast<unsigned char>(content[0]) == 0xFF &&
                       static_cast<unsigned char>(content[1]) == 0xFE;
    const std::string narrowed = utf16 ? Narrow(content) : std::string();
    std::vector<std::string> lines = SplitLines(utf16 ? std::string_view(narrowed) : content);
    const std::string_view header = lines.empty() ? std::string_view() : TrimRight(lines[0]);
    if (header != kHeader4 && header != kHeader5)
    {
        problem.line = 1;
        problem.message = "not a registry script (the first line is not REGEDIT4)";
        return false;
    }
    return Importer(std::move(lines)).Run(problem);
}

bool ExportScript(std::string_view key, std::string &script, std::string &error)
{
    script = std::string(kHeader4) + "\r\n\r\n";
    std::vector<std::string> tops;
    if (key.empty())
        tops = {"HKEY_LOCAL_MACHINE", "HKEY_USERS"};
    else
    {
        while (!key.empty() && key.back() == '\\')
            key.remove_suffix(1);
        tops = {std::string(key)};
    }
    for (const std::string &top : tops)
    {
        HKEY root;
        std::string path, canonical;
        if (!SplitKeyPath(top, root, path, &canonical))
        {
            error = "unknown root key in " + top;
            return false;
        }
        Key opened;
        LONG err = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, opened.Out());
        if (!err)
            err = ExportKey(opened.Get(), canonical, script);
        if (err)
        {
            error = "cannot export " + top + ": " + ErrorText(err);
            return false;
        }
    }
    return true;
}
} // namespace regedit
