// The PC's registry as tests read and write it.
#include "testing/registry.h"

#include <cstring>

namespace kittest
{
namespace
{
constexpr unsigned char kGuard = 0xA5;

// An open key, closed when dropped.
class Key
{
  public:
    Key(HKEY root, const std::string &path, REGSAM access)
        : status_(RegOpenKeyExA(root, path.c_str(), 0, access, &key_))
    {
    }
    ~Key()
    {
        if (status_ == ERROR_SUCCESS)
            RegCloseKey(key_);
    }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;

    bool Open() const { return status_ == ERROR_SUCCESS; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
    LONG status_;
};

bool IsText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

std::string UpToNul(const std::string &data)
{
    return data.substr(0, data.find('\0'));
}
} // namespace

bool RegKeyExists(HKEY root, const std::string &path)
{
    return Key(root, path, KEY_READ).Open();
}

std::optional<RegValue> ReadRegValue(HKEY key, const char *name, Caller where)
{
    std::string buffer(4096 + 1, static_cast<char>(kGuard));
    for (;;)
    {
        DWORD size = static_cast<DWORD>(buffer.size() - 1), type = REG_NONE;
        const LONG rc =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer.data()), &size);
        if (rc == ERROR_MORE_DATA)
        {
            buffer.assign(size + 1, static_cast<char>(kGuard));
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return std::nullopt;
        ExpectAt(where, Equal(kGuard, static_cast<unsigned char>(buffer[size]))
                            << " (guard byte after the data)");
        buffer.resize(size);
        return RegValue{type, std::move(buffer)};
    }
}

std::optional<RegValue> ReadRegValue(HKEY root, const std::string &path, const char *name, Caller where)
{
    const Key key(root, path, KEY_READ);
    if (!key.Open())
        return std::nullopt;
    return ReadRegValue(key.Get(), name, where);
}

std::optional<std::string> ReadRegString(HKEY key, const char *name, Caller where)
{
    const auto value = ReadRegValue(key, name, where);
    if (!value || !IsText(value->type))
        return std::nullopt;
    return UpToNul(value->data);
}

std::optional<std::string> ReadRegString(HKEY root, const std::string &path, const char *name, Caller where)
{
    const auto value = ReadRegValue(root, path, name, where);
    if (!value || !IsText(value->type))
        return std::nullopt;
    return UpToNul(value->data);
}

std::optional<DWORD> ReadRegDword(HKEY root, const std::string &path, const char *name, Caller where)
{
    const auto value = ReadRegValue(root, path, name, where);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD number = 0;
    std::memcpy(&number, value->data.data(), sizeof number);
    return number;
}

std::optional<std::vector<std::string>> ReadRegMultiSz(HKEY root, const std::string &path, const char *name,
                                                       Caller where)
{
    const auto value = ReadRegValue(root, path, name, where);
    if (!value || value->type != REG_MULTI_SZ)
        return std::nullopt;
    std::vector<std::string> strings;
    for (size_t start = 0, end; start < value->data.size(); start = end + 1)
    {
        end = value->data.find('\0', start);
        if (end == std::string::npos)
            end = value->data.size();
        if (end == start)
            break; // the empty string that ends the list
        strings.push_back(value->data.substr(start, end - start));
    }
    return strings;
}

std::string ClassesText(const std::string &path, const char *name, Caller where)
{
    if (!RegKeyExists(HKEY_CLASSES_ROOT, path))
        return "<no key>";
    return ReadRegString(HKEY_CLASSES_ROOT, path, name, where).value_or("<no value>");
}

void WriteRegValue(HKEY root, const std::string &path, const char *name, DWORD type, std::string_view data,
                   Caller where)
{
    HKEY key = nullptr;
    const LONG created =
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (!ExpectAt(where, Equal(ERROR_SUCCESS, created) << " creating " << path))
        return;
    const LONG set = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                                    static_cast<DWORD>(data.size()));
    ExpectAt(where, Equal(ERROR_SUCCESS, set)
                        << " setting " << (name ? name : "(default)") << " of " << path);
    RegCloseKey(key);
}

void WriteRegString(HKEY root, const std::string &path, const char *name, const std::string &text,
                    Caller where)
{
    WriteRegValue(root, path, name, REG_SZ, std::string_view(text.c_str(), text.size() + 1), where);
}

void WriteRegDword(HKEY root, const std::string &path, const char *name, DWORD value, Caller where)
{
    WriteRegValue(root, path, name, REG_DWORD,
                  std::string_view(reinterpret_cast<const char *>(&value), sizeof value), where);
}
} // namespace kittest
