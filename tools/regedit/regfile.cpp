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

// Carries out a script's operations in order; values go to the key of the last [KEY].
class Applier
{
  public:
    bool Apply(const RegOperation &operation, std::string &message)
    {
        switch (operation.kind)
        {
        case RegOperation::Kind::CreateKey:
            return CreateKey(operation, message);
        case RegOperation::Kind::DeleteKey:
            return DeleteKey(operation, message);
        case RegOperation::Kind::SetValue:
            return Done(RegSetValueExA(key_.Get(), operation.name.c_str(), 0, operation.type,
                                       reinterpret_cast<const BYTE *>(operation.data.data()),
                                       static_cast<DWORD>(operation.data.size())),
                        operation, message, false);
        case RegOperation::Kind::DeleteValue:
            return Done(RegDeleteValueA(key_.Get(), operation.name.c_str()), operation, message, true);
        }
        return false;
    }

  private:
    bool CreateKey(const RegOperation &operation, std::string &message)
    {
        LONG err = RegCreateKeyExA(operation.root, operation.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, key_.Out(), nullptr);
        if (err)
        {
            message = "cannot create [" + operation.key + "]: " + ErrorText(err);
            return false;
        }
        return true;
    }

    bool DeleteKey(const RegOperation &operation, std::string &message)
    {
        key_.Reset();
        LONG err = operation.path.empty() ? ERROR_ACCESS_DENIED : DeleteTree(operation.root, operation.path);
        if (err && err != ERROR_FILE_NOT_FOUND)
        {
            message = "cannot delete [" + operation.key + "]: " + ErrorText(err);
            return false;
        }
        return true;
    }

    static bool Done(LONG err, const RegOperation &operation, std::string &message, bool deleting)
    {
        if (err == ERROR_SUCCESS || (deleting && err == ERROR_FILE_NOT_FOUND))
            return true;
        message = "cannot " + std::string(deleting ? "delete" : "set") + " value \"" + operation.name +
                  "\" in [" + operation.key + "]: " + ErrorText(err);
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

bool ImportScript(std::string_view content, ImportProblem &problem)
{
    const RegScript script = ParseRegScript(content);
    Applier applier;
    for (const RegOperation &operation : script.operations)
        if (!applier.Apply(operation, problem.message))
        {
            problem.line = operation.line;
            return false;
        }
    if (script.problem)
    {
        problem = *script.problem;
        return false;
    }
    return true;
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
