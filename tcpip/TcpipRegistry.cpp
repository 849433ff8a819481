// The registry reads and writes of the adapter records, and the deferred-change file.
#include "tcpip/TcpipRegistry.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace tcpipreg
{
namespace
{
// Longest key name and value name the registry keeps, with their NUL.
constexpr DWORD kKeyNameBuffer = 256;
constexpr DWORD kValueNameBuffer = 16384;
// The deferred file's room for a multi-string's hexadecimal text, per string and one more.
constexpr size_t kHexTextPerString = 260;
constexpr char kDeferredHeader[] = "REGEDIT4\r\n\r\n";
constexpr char kMachineRoot[] = "HKEY_LOCAL_MACHINE\\";

std::atomic<LONG> g_writeTarget{0};

// A key of HKEY_LOCAL_MACHINE, closed when dropped.
class MachineKey
{
  public:
    MachineKey() = default;
    ~MachineKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    MachineKey(const MachineKey &) = delete;
    MachineKey &operator=(const MachineKey &) = delete;

    bool Open(const std::string &path, REGSAM access)
    {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
        return key_ != nullptr;
    }
    bool Create(const std::string &path)
    {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key_, nullptr) != ERROR_SUCCESS)
            key_ = nullptr;
        return key_ != nullptr;
    }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

// The value's bytes into a buffer of `capacity` bytes; false when missing or longer.
bool QueryValue(const std::string &key, const char *name, BYTE *buffer, DWORD capacity, DWORD &size)
{
    MachineKey opened;
    if (!opened.Open(key, KEY_READ))
        return false;
    size = capacity;
    return RegQueryValueExA(opened.Get(), name, nullptr, nullptr, buffer, &size) == ERROR_SUCCESS;
}

bool SetRegistryValue(const std::string &key, const char *name, DWORD type, const std::string &data)
{
    MachineKey opened;
    if (!opened.Create(key))
        return false;
    return RegSetValueExA(opened.Get(), name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// The file with its header, made when it is not there yet.
bool EnsureDeferredFile(const std::string &path)
{
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS;
    const DWORD size = sizeof kDeferredHeader - 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, kDeferredHeader, size, &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

// One entry of the file: section "HKEY_LOCAL_MACHINE\<key>", entry "\"<name>\"".
bool WriteDeferred(const std::string &key, const char *name, const std::string &text)
{
    std::string path;
    if (!DeferredFilePath(path) || !EnsureDeferredFile(path))
        return false;
    const std::string section = kMachineRoot + key;
    const std::string entry = std::string("\"") + name + "\"";
    return WritePrivateProfileStringA(section.c_str(), entry.c_str(), text.c_str(), path.c_str()) != FALSE;
}

// A string as the registry editor reads it back: quoted, with its two escapes.
std::string QuotedText(const std::string &value)
{
    std::string text = "\"";
    for (char c : value)
    {
        if (c == '\\' || c == '"')
            text += '\\';
        text += c;
    }
    return text + "\"";
}

bool HexText(const std::vector<std::string> &values, std::string &text)
{
    // An empty list is its closing NUL twice, as the registry editor writes it.
    std::string hex = values.empty() ? "00," : "";
    char byte[4];
    for (const std::string &value : values)
    {
        for (unsigned char c : value)
        {
            std::snprintf(byte, sizeof byte, "%02x,", c);
            hex += byte;
        }
        hex += "00,";
    }
    hex += "00";
    if (hex.size() >= (values.size() + 1) * kHexTextPerString)
        return false;
    text = "hex(7):" + hex;
    return true;
}
} // namespace

bool KeyExists(const std::string &key)
{
    MachineKey opened;
    return opened.Open(key, KEY_READ);
}

bool ReadString(const std::string &key, const char *name, std::string &value)
{
    value.clear();
    char buffer[kStringBuffer] = {};
    DWORD size = 0;
    if (!QueryValue(key, name, reinterpret_cast<BYTE *>(buffer), sizeof buffer, size))
        return false;
    value.assign(buffer, strnlen(buffer, size));
    return true;
}

bool ReadDword(const std::string &key, const char *name, DWORD &value)
{
    value = 0;
    DWORD read = 0;
    DWORD size = 0;
    if (!QueryValue(key, name, reinterpret_cast<BYTE *>(&read), sizeof read, size))
        return false;
    value = read;
    return true;
}

bool ReadMultiString(const std::string &key, const char *name, std::vector<std::string> &values)
{
    values.clear();
    std::vector<char> buffer(kMultiStringBuffer);
    DWORD size = 0;
    if (!QueryValue(key, name, reinterpret_cast<BYTE *>(buffer.data()), kMultiStringBuffer, size))
        return false;
    // A last string cut by the value's end (no NUL stored) still counts.
    for (size_t at = 0; at < size;)
    {
        const size_t length = strnlen(buffer.data() + at, size - at);
        if (length == 0)
            break;
        values.emplace_back(buffer.data() + at, length);
        at += length + 1;
    }
    return true;
}

bool SubKeyNames(const std::string &key, std::vector<std::string> &names)
{
    names.clear();
    MachineKey opened;
    if (!opened.Open(key, KEY_READ))
        return false;
    char name[kKeyNameBuffer];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(opened.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return true;
}

bool ValueNames(const std::string &key, std::vector<std::string> &names)
{
    names.clear();
    MachineKey opened;
    if (!opened.Open(key, KEY_READ))
        return false;
    std::vector<char> name(kValueNameBuffer);
    for (DWORD index = 0;; ++index)
    {
        DWORD length = kValueNameBuffer;
        if (RegEnumValueA(opened.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), length);
    }
    return true;
}

HRESULT WalkKeys(const std::string &key, int depth, const KeyVisitor &visit)
{
    std::vector<std::string> names;
    if (!SubKeyNames(key, names))
        return E_FAIL;
    HRESULT result = S_OK;
    for (const std::string &name : names)
    {
        if (name.empty())
            continue;
        const std::string path = key + "\\" + name;
        if (depth <= 1)
        {
            result = visit(path);
            if (result == S_FALSE)
                break;
        }
        else
        {
            result = WalkKeys(path, depth - 1, visit);
            if (result != S_OK)
                break;
        }
    }
    return result;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && lstrcmpiA(std::string(a).c_str(), std::string(b).c_str()) == 0;
}

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    if (text.empty())
        return parts;
    for (size_t start = 0;;)
    {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return parts;
}

std::string Join(const std::vector<std::string> &parts, const char *separator)
{
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i)
    {
        if (i)
            text += separator;
        text += parts[i];
    }
    return text;
}

void SetWriteTarget(LONG lDeferred)
{
    g_writeTarget.store(lDeferred);
}

LONG WriteTarget()
{
    return g_writeTarget.load();
}

bool WriteString(const std::string &key, const char *name, const std::string &value)
{
    if (WriteTarget())
        return WriteDeferred(key, name, QuotedText(value));
    return SetRegistryValue(key, name, REG_SZ, std::string(value.c_str(), value.size() + 1));
}

bool WriteDword(const std::string &key, const char *name, DWORD value)
{
    if (WriteTarget())
    {
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
        return WriteDeferred(key, name, text);
    }
    std::string data(sizeof value, '\0');
    std::memcpy(data.data(), &value, sizeof value);
    return SetRegistryValue(key, name, REG_DWORD, data);
}

bool WriteMultiString(const std::string &key, const char *name, const std::vector<std::string> &values)
{
    if (WriteTarget())
    {
        std::string text;
        return HexText(values, text) && WriteDeferred(key, name, text);
    }
    std::string data;
    for (const std::string &value : values)
        data.append(value.c_str(), value.size() + 1);
    data += '\0';
    return SetRegistryValue(key, name, REG_MULTI_SZ, data);
}

bool DeleteValue(const std::string &key, const char *name)
{
    MachineKey opened;
    return opened.Open(key, KEY_ALL_ACCESS) && RegDeleteValueA(opened.Get(), name) == ERROR_SUCCESS;
}

bool DeferredFilePath(std::string &path)
{
    path.clear();
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder)
        return false;
    std::string composed = std::string(folder, length) + kDeferredFile;
    if (composed.size() >= MAX_PATH)
        return false;
    path = std::move(composed);
    return true;
}

void DeleteDeferredFile()
{
    std::string path;
    if (DeferredFilePath(path))
        DeleteFileA(path.c_str());
}
} // namespace tcpipreg
