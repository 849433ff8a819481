// What the RAS sources stand on: the PC's Windows version, whether RAS is installed, registry
// reads and fixed-size text fields.
#include "platform/rasapi32/rasapi32.h"

#include <algorithm>
#include <cstring>

namespace plat::ras
{
Version CurrentVersion()
{
    const kitpc::Identity id = kitpc::ReadIdentity();
    Version version{};
    version.family = id.family;
    version.nt = kitpc::IsNtFamily(id.family);
    version.win2000OrLater =
        id.family == kitpc::WindowsFamily::Win2000 || id.family == kitpc::WindowsFamily::XP;
    version.xp = id.family == kitpc::WindowsFamily::XP;
    version.spanish = PRIMARYLANGID(id.userLangId) == LANG_SPANISH;
    return version;
}

bool RasInstalled()
{
    RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\RemoteAccess") == ERROR_SUCCESS;
}

RegKey::~RegKey()
{
    if (key_)
        RegCloseKey(key_);
}

LONG RegKey::Open(HKEY parent, const std::string &path, REGSAM access)
{
    return RegOpenKeyExA(parent, path.c_str(), 0, access, &key_);
}

LONG RegKey::Create(HKEY parent, const std::string &path)
{
    return RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           &key_, nullptr);
}

std::optional<std::string> RegKey::Bytes(const char *name, DWORD wantedType) const
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != wantedType)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size) !=
            ERROR_SUCCESS ||
        type != wantedType)
        return std::nullopt;
    data.resize(size);
    return data;
}

std::string RegKey::String(const char *name) const
{
    std::string text = Bytes(name, REG_SZ).value_or("");
    return text.substr(0, text.find('\0'));
}

std::vector<std::string> RegKey::MultiString(const char *name) const
{
    const std::string list = Bytes(name, REG_MULTI_SZ).value_or("");
    std::vector<std::string> strings;
    for (size_t at = 0; at < list.size() && list[at];)
    {
        const size_t end = std::min(list.find('\0', at), list.size());
        strings.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return strings;
}

std::vector<std::string> RegKey::SubKeys() const
{
    std::vector<std::string> names;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index)
    {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key_, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    return names;
}

std::vector<std::string> RegKey::ValueNames() const
{
    std::vector<std::string> names;
    char name[16384];
    for (DWORD index = 0;; ++index)
    {
        DWORD size = sizeof name;
        if (RegEnumValueA(key_, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    return names;
}

std::string FieldText(const char *field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

void SetField(char *field, size_t size, std::string_view text)
{
    // The rest of the field is cleared too, so that no earlier text lingers after the NUL.
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}
} // namespace plat::ras

namespace plat::ras
{
bool Version::KnowsEntrySize(DWORD size) const
{
    switch (size)
    {
    case RASENTRYA_V400_SIZE:
        return true;
    case RASENTRYA_V401_SIZE:
        return nt;
    case RASENTRYA_V500_SIZE:
        return win2000OrLater;
    case RASENTRYA_V501_SIZE:
        return xp;
    default:
        return false;
    }
}

DWORD Version::EntrySize() const
{
    return xp               ? RASENTRYA_V501_SIZE
           : win2000OrLater ? RASENTRYA_V500_SIZE
           : nt             ? RASENTRYA_V401_SIZE
                            : RASENTRYA_V400_SIZE;
}

bool Version::KnowsEntryNameSize(DWORD size) const
{
    return size == RASENTRYNAMEA_V400_SIZE || (win2000OrLater && size == RASENTRYNAMEA_V500_SIZE);
}

DWORD Version::EntryNameSize() const
{
    return win2000OrLater ? RASENTRYNAMEA_V500_SIZE : RASENTRYNAMEA_V400_SIZE;
}

bool Version::KnowsDialParamsSize(DWORD size) const
{
    return size == RASDIALPARAMSA_V400_SIZE || (nt && size == RASDIALPARAMSA_V401_SIZE);
}
} // namespace plat::ras
