// Registry scripts: the REGEDIT4 format read and written the way Windows' regedit does.
#include "tools/regedit/regfile.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace regedit
{
namespace
{
constexpr char kHeader4[] = "REGEDIT4";
// Hex data lines are wrapped once they reach this column, continued after "\" on a line
// indented by two spaces, as regedit writes them.
constexpr size_t kHexWrapColumn = 77;

// Closes a key when it goes out of scope.
class Key
{
  public:
    Key() = default;
    explicit Key(HKEY key) : key_(key) {}
    ~Key() { Reset(); }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    Key(Key &&other) noexcept : key_(other.key_) { other.key_ = nullptr; }
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

// Deletes a key and its subtree, leaves first, as NT only deletes childless keys. The walk keeps
// its own stack of open keys, so a tree of any depth is deleted without deep recursion.
LONG DeleteTree(HKEY parent, const std::string &name)
{
    struct Level
    {
        Key key;
        std::string name; // in the level above
    };
    std::vector<Level> levels;
    Level top{Key(), name};
    if (LONG err = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, top.key.Out()))
        return err;
    levels.push_back(std::move(top));
    char child[256];
    while (!levels.empty())
    {
        Level &level = levels.back();
        LONG err = RegEnumKeyA(level.key.Get(), 0, child, sizeof child);
        if (err == ERROR_SUCCESS)
        {
            Level below{Key(), child};
            if ((err = RegOpenKeyExA(level.key.Get(), child, 0, KEY_ALL_ACCESS, below.key.Out())))
                return err;
            levels.push_back(std::move(below));
            continue;
        }
        if (err != ERROR_NO_MORE_ITEMS)
            return err;
        const std::string leaf = std::move(level.name);
        levels.pop_back(); // closes the leaf
        if ((err = RegDeleteKeyA(levels.empty() ? parent : levels.back().key.Get(), leaf.c_str())))
            return err;
    }
    return ERROR_SUCCESS;
}

// ------------------------------------------------------------------------------------ import

// Carries out a script's operations in order; values go to the key of the last [KEY].
class Applier
{
  public:
    bool Apply(const RegOperation &operation, ImportProblem &problem)
    {
        switch (operation.kind)
        {
        case RegOperation::Kind::CreateKey:
            return CreateKey(operation, problem);
        case RegOperation::Kind::DeleteKey:
            return DeleteKey(operation, problem);
        case RegOperation::Kind::SetValue:
            return Done(RegSetValueExA(key_.Get(), operation.name.c_str(), 0, operation.type,
                                       reinterpret_cast<const BYTE *>(operation.data.data()),
                                       static_cast<DWORD>(operation.data.size())),
                        operation, problem, ScriptError::CannotSetValue);
        case RegOperation::Kind::DeleteValue:
            return Done(RegDeleteValueA(key_.Get(), operation.name.c_str()), operation, problem,
                        ScriptError::CannotDeleteValue);
        }
        return false;
    }

  private:
    bool CreateKey(const RegOperation &operation, ImportProblem &problem)
    {
        LONG err = RegCreateKeyExA(operation.root, operation.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, key_.Out(), nullptr);
        return Refused(err, operation, problem, ScriptError::CannotCreateKey);
    }

    bool DeleteKey(const RegOperation &operation, ImportProblem &problem)
    {
        key_.Reset();
        LONG err = operation.path.empty() ? ERROR_ACCESS_DENIED : DeleteTree(operation.root, operation.path);
        return Refused(err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err, operation, problem,
                       ScriptError::CannotDeleteKey);
    }

    // A value already gone is as good as deleted.
    static bool Done(LONG err, const RegOperation &operation, ImportProblem &problem, ScriptError what)
    {
        const bool gone = what == ScriptError::CannotDeleteValue && err == ERROR_FILE_NOT_FOUND;
        return Refused(gone ? ERROR_SUCCESS : err, operation, problem, what);
    }

    // True when the registry took the operation; else the problem says what it refused.
    static bool Refused(LONG err, const RegOperation &operation, ImportProblem &problem, ScriptError what)
    {
        if (err == ERROR_SUCCESS)
            return true;
        problem.line = operation.line;
        problem.what = what;
        problem.key = operation.key;
        problem.name = operation.name;
        problem.error = err;
        return false;
    }

    Key key_;
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

// Writes a key's header and values, and lists its subkeys' names, each enumeration walking the
// key once in index order.
LONG ExportKey(HKEY key, const std::string &path, std::string &out, std::vector<std::string> &children)
{
    DWORD maxName = 0, maxData = 0;
    LONG err = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                &maxData, nullptr, nullptr);
    if (err)
        return err;
    out += "[";
    out += path;
    out += "]\r\n";
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
    children.clear();
    char child[256];
    for (DWORD index = 0; (err = RegEnumKeyA(key, index, child, sizeof child)) == ERROR_SUCCESS; ++index)
        children.emplace_back(child);
    return err == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : err;
}

// Writes a key and its subtree, parents before children, subkeys in name order. The walk keeps
// its own stack of open keys and one path it cuts back, so any depth costs no recursion and a
// level's memory is its own name.
LONG ExportTree(HKEY top, std::string path, std::string &out)
{
    struct Level
    {
        HKEY key;
        Key owned; // the key when the walk opened it (not for the top, the caller's)
        std::vector<std::string> children;
        size_t next = 0;       // the child to write next
        size_t pathLength = 0; // of this key's full name in `path`
    };
    std::vector<Level> levels;
    std::vector<std::string> children;
    if (LONG err = ExportKey(top, path, out, children))
        return err;
    levels.push_back(Level{top, Key(), std::move(children), 0, path.size()});
    while (!levels.empty())
    {
        Level &level = levels.back();
        if (level.next == level.children.size())
        {
            levels.pop_back();
            continue;
        }
        const std::string &name = level.children[level.next++];
        Key sub;
        if (LONG err = RegOpenKeyExA(level.key, name.c_str(), 0, KEY_READ, sub.Out()))
            return err;
        path.resize(level.pathLength);
        path += '\\';
        path += name;
        if (LONG err = ExportKey(sub.Get(), path, out, children))
            return err;
        const HKEY opened = sub.Get();
        levels.push_back(Level{opened, std::move(sub), std::move(children), 0, path.size()});
    }
    return ERROR_SUCCESS;
}
} // namespace

bool ImportScript(std::string_view content, ImportProblem &problem)
{
    const RegScript script = ParseRegScript(content);
    Applier applier;
    for (const RegOperation &operation : script.operations)
        if (!applier.Apply(operation, problem))
            return false;
    if (script.problem)
    {
        problem = *script.problem;
        return false;
    }
    return true;
}

bool ExportScript(std::string_view key, std::string &script, ExportProblem &problem)
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
        problem.key = top;
        if (!SplitKeyPath(top, root, path, &canonical))
        {
            problem.unknownRoot = true;
            return false;
        }
        Key opened;
        LONG err = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, opened.Out());
        if (!err)
            err = ExportTree(opened.Get(), canonical, script);
        if (err)
        {
            problem.error = err;
            return false;
        }
    }
    return true;
}
} // namespace regedit
