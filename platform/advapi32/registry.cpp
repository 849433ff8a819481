// Registry functions (advapi32) over the simulated PC's hive (registry_store.h).
//
// Handles: every opened key is an entry of the handle table (ObjectKind::RegKey) holding the
// key's id in the hive it was opened in, so a key deleted meanwhile answers ERROR_KEY_DELETED.
// The predefined handles are resolved at each call against the PC named by $KIT_MACHINE.
// The Reg* functions return their error and leave the thread's last error alone, as Windows does.
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#include "platform/core/handles.h"
#include "platform/advapi32/registry_store.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>

using plat::reg::CreateOptions;
using plat::reg::Hive;
using plat::reg::KeyId;
using plat::reg::KeyRef;

namespace
{
constexpr size_t kMaxKeyNameLength = 255;     // one component of a key path
constexpr size_t kMaxValueNameLength = 16383; // NT's limit
// What RegQueryInfoKey reports for a key's security descriptor on NT (an owner, a group and a
// small DACL); 9x keys have none.
constexpr DWORD kSecurityDescriptorSize = 0x9C;
// HKEY_CURRENT_USER's key below HKEY_USERS on NT: the user's SID.
constexpr char kUserSid[] = "S-1-5-21-1177238915-1957994488-725345543-1003";
constexpr char kDefaultUser[] = ".DEFAULT";
// The keys HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG stand for, below HKEY_LOCAL_MACHINE.
std::vector<std::string> ClassesPath()
{
    return {"Software", "Classes"};
}
std::vector<std::string> ConfigPath()
{
    return {"System", "CurrentControlSet", "Hardware Profiles", "Current"};
}

std::atomic<bool> g_systemAccess{false};

// What the current PC is, as far as the registry cares.
struct Policy
{
    bool nt = true;
    bool restricted = false; // an NT limited user: HKLM and the other users' keys are read-only
};

Policy CurrentPolicy()
{
    const kitpc::Identity identity = kitpc::ReadIdentity();
    Policy policy;
    policy.nt = kitpc::IsNtFamily(identity.family);
    policy.restricted = policy.nt && !identity.administrator && !g_systemAccess.load();
    return policy;
}

std::string UserKeyName(const Policy &policy)
{
    return policy.nt ? kUserSid : kDefaultUser;
}

// The hive of the PC named by $KIT_MACHINE, reopened when the variable changes, and the keys
// the predefined handles stand for in it.
struct Selection
{
    std::mutex lock;
    std::string machineVariable;
    std::shared_ptr<Hive> hive;
    std::map<std::string, std::weak_ptr<Hive>> byPath; // one connection per PC and process
    KeyRef classes, config, user;
    std::string userName;
};

Selection &TheSelection()
{
    static auto *selection = new Selection; // never destroyed: keys may be closed during exit
    return *selection;
}

LONG CurrentHive(Selection &selection, std::shared_ptr<Hive> &out)
{
    const char *variable = std::getenv("KIT_MACHINE");
    const std::string_view machine = variable ? variable : "";
    if (selection.hive && selection.machineVariable == machine)
    {
        out = selection.hive;
        return ERROR_SUCCESS;
    }
    const std::string path = kitpc::PathOf("registry.db");
    std::shared_ptr<Hive> hive;
    if (auto it = selection.byPath.find(path); it != selection.byPath.end())
        hive = it->second.lock();
    if (!hive)
    {
        LONG err;
        hive = Hive::Open(path, err);
        if (!hive)
            return err;
    }
    // The keys every PC has from the start: HKCR's and HKCC's, .DEFAULT and the user's.
    KeyRef classes, config, defaultUser, user;
    const std::string userName = UserKeyName(CurrentPolicy());
    if (LONG err = hive->Anchor(plat::reg::kUsersRoot, {userName}, user))
        return err;
    if (LONG err = hive->Anchor(plat::reg::kMachineRoot, ClassesPath(), classes))
        return err;
    if (LONG err = hive->Anchor(plat::reg::kMachineRoot, ConfigPath(), config))
        return err;
    if (LONG err = hive->Anchor(plat::reg::kUsersRoot, {kDefaultUser}, defaultUser))
        return err;
    selection.byPath[path] = hive;
    selection.hive = hive;
    selection.machineVariable = machine;
    selection.classes = classes;
    selection.config = config;
    selection.user = user;
    selection.userName = userName;
    out = hive;
    return ERROR_SUCCESS;
}

// CurrentHive under the selection's lock, for callers that need the hive and nothing else.
LONG CurrentHive(std::shared_ptr<Hive> &out)
{
    Selection &selection = TheSelection();
    std::lock_guard guard(selection.lock);
    return CurrentHive(selection, out);
}

LONG UserAnchor(Selection &selection, Hive &hive, const Policy &policy, KeyRef &out)
{
    const std::string name = UserKeyName(policy);
    if (selection.userName != name || !selection.user.id)
    {
        if (LONG err = hive.Anchor(plat::reg::kUsersRoot, {name}, selection.user))
            return err;
        selection.userName = name;
    }
    out = selection.user;
    return ERROR_SUCCESS;
}

// An opened key as the functions below use it.
struct OpenKey
{
    std::shared_ptr<Hive> hive;
    KeyRef ref;
    REGSAM access = 0;
    bool predefined = false;
};

class RegKeyObject final : public plat::KernelObject
{
  public:
    explicit RegKeyObject(const OpenKey &key)
        : KernelObject(plat::ObjectKind::RegKey), hive(key.hive), ref(key.ref), access(key.access)
    {
    }
    // Keys are closed by RegCloseKey only.
    bool ClosableByCloseHandle() const override { return false; }
    const std::shared_ptr<Hive> hive;
    const KeyRef ref;
    const REGSAM access;
};

// The predefined handle values are sign-extended 32-bit constants.
bool IsPredefined(HKEY key)
{
    const auto value = reinterpret_cast<uintptr_t>(key);
    return value >= reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) &&
           value <= reinterpret_cast<uintptr_t>(HKEY_DYN_DATA);
}

bool Writable(const Policy &policy, KeyId area, KeyId userArea)
{
    return !policy.restricted || area == userArea;
}

// The area of HKEY_CURRENT_USER in `hive`, the one part of the registry an NT limited user
// may change; 0 (no area) when that does not matter or cannot be known.
KeyId UserArea(const Policy &policy, const std::shared_ptr<Hive> &hive)
{
    if (!policy.restricted)
        return 0;
    Selection &selection = TheSelection();
    std::lock_guard guard(selection.lock);
    std::shared_ptr<Hive> current;
    KeyRef user;
    if (CurrentHive(selection, current) != ERROR_SUCCESS || current != hive ||
        UserAnchor(selection, *current, policy, user) != ERROR_SUCCESS)
        return 0;
    return user.area;
}

// NT's access check at opening: ERROR_ACCESS_DENIED when `desired` asks for more than the key
// allows; `granted` is what the new handle may do. 9x keys have no security.
LONG Grant(const Policy &policy, REGSAM desired, bool writable, REGSAM &granted)
{
    if (!policy.nt)
    {
        granted = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    REGSAM sam = desired & ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    const std::pair<REGSAM, REGSAM> generic[] = {{GENERIC_READ, KEY_READ},
                                                 {GENERIC_WRITE, KEY_WRITE},
                                                 {GENERIC_EXECUTE, KEY_EXECUTE},
                                                 {GENERIC_ALL, KEY_ALL_ACCESS}};
    for (auto [bit, meaning] : generic)
        if (sam & bit)
            sam = (sam & ~bit) | meaning;
    const bool maximum = (sam & MAXIMUM_ALLOWED) != 0;
    sam &= ~MAXIMUM_ALLOWED;
    const REGSAM allowed = writable ? KEY_ALL_ACCESS : KEY_READ;
    if (!writable && (sam & ~(allowed | SYNCHRONIZE)))
        return ERROR_ACCESS_DENIED;
    granted = sam | (maximum ? allowed : 0);
    return ERROR_SUCCESS;
}

LONG ResolvePredefined(HKEY hkey, const Policy &policy, OpenKey &out)
{
    Selection &selection = TheSelection();
    std::lock_guard guard(selection.lock);
    if (LONG err = CurrentHive(selection, out.hive))
        return err;
    Hive &hive = *out.hive;
    LONG err = ERROR_SUCCESS;
    if (hkey == HKEY_LOCAL_MACHINE)
        out.ref = KeyRef{plat::reg::kMachineRoot, plat::reg::kMachineRoot, false, true, 0};
    else if (hkey == HKEY_USERS)
        out.ref = KeyRef{plat::reg::kUsersRoot, plat::reg::kUsersRoot, false, true, 0};
    else if (hkey == HKEY_CLASSES_ROOT)
        out.ref = selection.classes;
    else if (hkey == HKEY_CURRENT_CONFIG)
        out.ref = selection.config;
    else if (hkey == HKEY_CURRENT_USER)
        err = UserAnchor(selection, hive, policy, out.ref);
    else
        return ERROR_INVALID_HANDLE; // HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA: not kept
    if (err)
        return err;
    KeyId userArea = 0;
    KeyRef user;
    if (policy.restricted && UserAnchor(selection, hive, policy, user) == ERROR_SUCCESS)
        userArea = user.area;
    // A predefined handle is opened with MAXIMUM_ALLOWED.
    Grant(policy, MAXIMUM_ALLOWED, Writable(policy, out.ref.area, userArea), out.access);
    out.predefined = true;
    return ERROR_SUCCESS;
}

// The key behind a handle: a predefined one, resolved under the caller's policy, or a live RegKey
// entry of the handle table.
LONG Resolve(HKEY hkey, const Policy &policy, OpenKey &out)
{
    if (IsPredefined(hkey))
        return ResolvePredefined(hkey, policy, out);
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(hkey);
    if (!object || object->Kind() != plat::ObjectKind::RegKey)
        return ERROR_INVALID_HANDLE;
    const auto &key = static_cast<const RegKeyObject &>(*object);
    out.hive = key.hive;
    out.ref = key.ref;
    out.access = key.access;
    out.predefined = false;
    return ERROR_SUCCESS;
}

// The same for callers that need no policy of their own: it is read only for a predefined handle.
LONG Resolve(HKEY hkey, OpenKey &out)
{
    return Resolve(hkey, IsPredefined(hkey) ? CurrentPolicy() : Policy{}, out);
}

// Splits a subkey path. NT refuses a leading backslash (a relative name must not start at the
// root); 9x skips it. Repeated and trailing separators are ignored, as both do.
LONG SplitPath(const char *subKey, const Policy &policy, std::vector<std::string> &components)
{
    components.clear();
    if (!subKey)
        return ERROR_SUCCESS;
    std::string_view path(subKey);
    if (!path.empty() && path.front() == '\\' && policy.nt)
        return ERROR_BAD_PATHNAME;
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
        {
            if (end - start > kMaxKeyNameLength)
                return ERROR_INVALID_PARAMETER;
            components.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

LONG NewHandle(const OpenKey &key, PHKEY result)
{
    HANDLE handle = plat::InsertHandle(std::make_shared<RegKeyObject>(key));
    if (!handle)
        return ERROR_NO_SYSTEM_RESOURCES;
    *result = static_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

bool Allows(const OpenKey &key, REGSAM right)
{
    return (key.access & right) != 0;
}

// The key behind a handle that must have been opened with `right`.
LONG ResolveWith(HKEY hkey, REGSAM right, OpenKey &out)
{
    if (LONG err = Resolve(hkey, out))
        return err;
    return Allows(out, right) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::string_view ValueName(LPCSTR name)
{
    return name ? std::string_view(name) : std::string_view();
}

// Copies a name and its terminating NUL; the buffer is known to be large enough.
void CopyName(const std::string &name, LPSTR buffer, LPDWORD length)
{
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
}

// Copies a value's data out as RegQueryValueExA and RegEnumValueA do: the size always (when
// asked), the bytes only into a buffer large enough, else ERROR_MORE_DATA.
LONG CopyData(const BYTE *data, DWORD size, LPBYTE buffer, LPDWORD length)
{
    if (!length)
        return ERROR_SUCCESS;
    LONG result = ERROR_SUCCESS;
    if (buffer)
    {
        if (size > *length)
            result = ERROR_MORE_DATA;
        else if (size)
            std::memcpy(buffer, data, size);
    }
    *length = size;
    return result;
}

// RegOpenKeyA's and RegCreateKeyA's rule: a NULL or empty subkey gives back hKey itself,
// unchecked; any other is opened by `open`.
template <class Open> LONG SelfOrOpen(HKEY hKey, LPCSTR subKey, PHKEY result, Open open)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (!subKey || !*subKey)
    {
        *result = hKey;
        return ERROR_SUCCESS;
    }
    return open();
}

void StoreFileTime(PFILETIME time, int64_t ticks)
{
    if (time)
    {
        time->dwLowDateTime = static_cast<DWORD>(ticks);
        time->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    }
}
} // namespace

namespace
{
// The key a handle stands for and the components of a subkey path below it.
LONG ResolveSubKey(HKEY hKey, LPCSTR lpSubKey, const Policy &policy, OpenKey &parent,
                   std::vector<std::string> &components)
{
    if (LONG err = Resolve(hKey, policy, parent))
        return err;
    return SplitPath(lpSubKey, policy, components);
}
} // namespace

// RegOpenKeyExA: opens a key below an open one (a new handle to the key itself for a NULL or
// empty subkey, except that a predefined key gives back the same predefined handle, as Windows
// documents). ulOptions is ignored: the hive has no symbolic links. On NT an access right the
// key does not grant the caller is refused; 9x grants everything.
LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    const Policy policy = CurrentPolicy();
    OpenKey parent;
    std::vector<std::string> components;
    if (LONG err = ResolveSubKey(hKey, lpSubKey, policy, parent, components))
        return err;
    if (components.empty() && IsPredefined(hKey))
    {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    OpenKey key;
    key.hive = parent.hive;
    if (LONG err = parent.hive->Find(parent.ref, components, key.ref))
        return err;
    const bool writable = Writable(policy, key.ref.area, UserArea(policy, key.hive));
    if (LONG err = Grant(policy, samDesired, writable, key.access))
        return err;
    return NewHandle(key, phkResult);
}

// RegOpenKeyA: RegOpenKeyExA with MAXIMUM_ALLOWED; a NULL or empty subkey gives back hKey
// itself, unchecked, as Windows does.
LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    return SelfOrOpen(hKey, lpSubKey, phkResult,
                      [&] { return RegOpenKeyExA(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult); });
}

// RegCreateKeyExA: opens the key or creates it with every missing intermediate key (same
// options; the class goes to the last one). Creating needs KEY_CREATE_SUB_KEY on hKey; on NT a
// limited user creates only in his own hive, and nobody directly below HKLM or HKU (they are
// not hives). REG_OPTION_VOLATILE is kept for kitreg::DropVolatileKeys and ignored on 9x, as
// 9x does. A key deeper than NT's 512 levels (510 below HKLM or HKU, counted from the root
// whatever handle it is created from) is refused with ERROR_INVALID_PARAMETER, on 9x too; the
// 32-levels-per-call limit is not copied. Security attributes are ignored; links and backup
// semantics are not implemented.
LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, const LPSECURITY_ATTRIBUTES, PHKEY phkResult,
                            LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (Reserved)
        return ERROR_INVALID_PARAMETER;
    constexpr DWORD kKnownOptions =
        REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK;
    if (dwOptions & ~kKnownOptions)
        return ERROR_INVALID_PARAMETER;
    if (dwOptions & (REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE))
        return ERROR_CALL_NOT_IMPLEMENTED;
    const Policy policy = CurrentPolicy();
    OpenKey parent;
    std::vector<std::string> components;
    if (LONG err = ResolveSubKey(hKey, lpSubKey, policy, parent, components))
        return err;
    if (lpClass && std::strlen(lpClass) > kMaxKeyNameLength)
        return ERROR_INVALID_PARAMETER;
    const KeyId userArea = UserArea(policy, parent.hive);

    OpenKey key;
    key.hive = parent.hive;
    bool created = false;
    LONG err = parent.hive->Find(parent.ref, components, key.ref);
    if (err == ERROR_FILE_NOT_FOUND)
    {
        CreateOptions options;
        options.isVolatile = policy.nt && (dwOptions & REG_OPTION_VOLATILE);
        options.className = lpClass ? lpClass : "";
        options.allowCreate = [&](const KeyRef &where) -> LONG {
            if (!Allows(parent, KEY_CREATE_SUB_KEY) || !Writable(policy, where.area, userArea))
                return ERROR_ACCESS_DENIED;
            const bool belowRoot = where.id == plat::reg::kMachineRoot || where.id == plat::reg::kUsersRoot;
            if (belowRoot && policy.nt && !g_systemAccess.load())
                return ERROR_ACCESS_DENIED;
            return ERROR_SUCCESS;
        };
        err = parent.hive->Create(parent.ref, components, options, key.ref, created);
    }
    if (err)
        return err;
    if (LONG denied = Grant(policy, samDesired, Writable(policy, key.ref.area, userArea), key.access))
        return denied;
    if (LONG failed = NewHandle(key, phkResult))
        return failed;
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// RegCreateKeyA: RegCreateKeyExA with MAXIMUM_ALLOWED; a NULL or empty subkey gives back hKey.
LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    return SelfOrOpen(hKey, lpSubKey, phkResult, [&] {
        return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, nullptr,
                               phkResult, nullptr);
    });
}

// RegCloseKey: closes a key handle; closing a predefined handle does nothing and succeeds.
LONG WINAPI RegCloseKey(HKEY hKey)
{
    if (IsPredefined(hKey))
        return ERROR_SUCCESS;
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(hKey);
    if (!object || object->Kind() != plat::ObjectKind::RegKey || !plat::RemoveHandle(hKey))
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

// RegQueryValueExA: a value's type and bytes, exactly as they were set (no terminating NUL is
// added to strings stored without one). NULL lpData asks for the size; a buffer too small gets
// ERROR_MORE_DATA with the size needed and is left untouched. A NULL or empty name is the
// key's default value.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData)
{
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG err = ResolveWith(hKey, KEY_QUERY_VALUE, key))
        return err;
    LONG result = ERROR_SUCCESS;
    LONG err = key.hive->QueryValue(key.ref.id, ValueName(lpValueName),
                                    [&](DWORD type, const BYTE *data, DWORD size) {
                                        if (lpType)
                                            *lpType = type;
                                        result = CopyData(data, size, lpData, lpcbData);
                                    });
    return err ? err : result;
}

// RegSetValueExA: stores the bytes as given, under any type number (Windows checks neither the
// size of a REG_DWORD nor the NUL of a string; NT's habit of counting a NUL the caller forgot
// is not copied: the data is stored byte for byte).
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                           DWORD cbData)
{
    OpenKey key;
    if (LONG err = ResolveWith(hKey, KEY_SET_VALUE, key))
        return err;
    const std::string_view name = ValueName(lpValueName);
    if (name.size() > kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    return key.hive->SetValue(key.ref.id, name, dwType, lpData, cbData);
}

// RegDeleteValueA: removes a value (NULL or empty name: the default value).
LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    OpenKey key;
    if (LONG err = ResolveWith(hKey, KEY_SET_VALUE, key))
        return err;
    const std::string_view name = ValueName(lpValueName);
    if (name.size() > kMaxValueNameLength)
        return ERROR_FILE_NOT_FOUND;
    return key.hive->DeleteValue(key.ref.id, name);
}

// RegDeleteKeyA: deletes a subkey, or hKey's own key for an empty name (the handle needs
// DELETE). NT refuses a key that has subkeys with ERROR_ACCESS_DENIED; Windows 95/98/Me delete
// the whole subtree. The roots and the keys the predefined handles stand for are never deleted.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    const Policy policy = CurrentPolicy();
    OpenKey parent;
    if (LONG err = Resolve(hKey, policy, parent))
        return err;
    KeyRef target;
    if (!*lpSubKey)
    {
        if (parent.predefined || !Allows(parent, DELETE))
            return ERROR_ACCESS_DENIED;
        target = parent.ref;
    }
    else
    {
        std::vector<std::string> components;
        if (LONG err = SplitPath(lpSubKey, policy, components))
            return err;
        if (LONG err = parent.hive->Find(parent.ref, components, target))
            return err;
        if (!Writable(policy, target.area, UserArea(policy, parent.hive)))
            return ERROR_ACCESS_DENIED;
    }
    return parent.hive->DeleteKey(target.id, !policy.nt);
}

// RegEnumKeyExA: the index-th subkey in case-insensitive name order. A name (or class) buffer
// too small gives ERROR_MORE_DATA and is left untouched, its length too.
LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG err = ResolveWith(hKey, KEY_ENUMERATE_SUB_KEYS, key))
        return err;
    plat::reg::SubKeyEntry entry;
    if (LONG err = key.hive->EnumKey(key.ref.id, dwIndex, entry))
        return err;
    if (entry.name.size() >= *lpcchName || (lpClass && entry.className.size() >= *lpcchClass))
        return ERROR_MORE_DATA;
    CopyName(entry.name, lpName, lpcchName);
    if (lpClass)
        CopyName(entry.className, lpClass, lpcchClass);
    else if (lpcchClass)
        *lpcchClass = static_cast<DWORD>(entry.className.size());
    StoreFileTime(lpftLastWriteTime, entry.lastWrite);
    return ERROR_SUCCESS;
}

// RegEnumKeyA: RegEnumKeyExA with a buffer of cchName characters.
LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName)
{
    DWORD length = cchName;
    return RegEnumKeyExA(hKey, dwIndex, lpName, &length, nullptr, nullptr, nullptr, nullptr);
}

// RegEnumValueA: the index-th value in the order values were first set. As on XP: a name
// buffer too small gives ERROR_MORE_DATA with the type and the data size but no name and no
// data; a data buffer too small gives ERROR_MORE_DATA with the name, type and size needed.
LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG err = ResolveWith(hKey, KEY_QUERY_VALUE, key))
        return err;
    plat::reg::ValueEntry entry;
    if (LONG err = key.hive->EnumValue(key.ref.id, dwIndex, entry))
        return err;
    const auto size = static_cast<DWORD>(entry.data.size());
    if (lpType)
        *lpType = entry.type;
    if (entry.name.size() >= *lpcchValueName)
    {
        if (lpcbData)
            *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    CopyName(entry.name, lpValueName, lpcchValueName);
    return CopyData(reinterpret_cast<const BYTE *>(entry.data.data()), size, lpData, lpcbData);
}

// RegQueryInfoKeyA: counts and maxima as NT keeps them (see KeyStats): the longest subkey name,
// class and value name in characters without the NUL, the largest data in bytes. The security
// descriptor size is a fixed figure (0 on 9x). A class buffer too small gives ERROR_MORE_DATA
// with the other figures filled in.
LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                             LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    if (lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG err = ResolveWith(hKey, KEY_QUERY_VALUE, key))
        return err;
    plat::reg::KeyStats stats;
    if (LONG err = key.hive->QueryInfo(key.ref.id, stats))
        return err;
    LONG result = ERROR_SUCCESS;
    if (lpClass)
    {
        if (stats.className.size() >= *lpcchClass)
        {
            result = ERROR_MORE_DATA;
            *lpcchClass = static_cast<DWORD>(stats.className.size());
        }
        else
            CopyName(stats.className, lpClass, lpcchClass);
    }
    else if (lpcchClass)
        *lpcchClass = static_cast<DWORD>(stats.className.size());
    const std::pair<LPDWORD, DWORD> figures[] = {
        {lpcSubKeys, stats.subKeys},
        {lpcbMaxSubKeyLen, stats.maxSubKeyLen},
        {lpcbMaxClassLen, stats.maxClassLen},
        {lpcValues, stats.values},
        {lpcbMaxValueNameLen, stats.maxValueNameLen},
        {lpcbMaxValueLen, stats.maxValueLen},
        {lpcbSecurityDescriptor, CurrentPolicy().nt ? kSecurityDescriptorSize : 0},
    };
    for (auto [out, figure] : figures)
        if (out)
            *out = figure;
    StoreFileTime(lpftLastWriteTime, stats.lastWrite);
    return result;
}

// RegFlushKey: writes committed changes from the hive's log into its file (every change is
// already durable against a crashed process).
LONG WINAPI RegFlushKey(HKEY hKey)
{
    OpenKey key;
    if (LONG err = Resolve(hKey, key))
        return err;
    return key.hive->Flush(key.ref.id);
}

namespace kitreg
{
std::string RegistryPath()
{
    return kitpc::PathOf("registry.db");
}

std::string CurrentUserKeyName()
{
    return UserKeyName(CurrentPolicy());
}

LONG DropVolatileKeys()
{
    std::shared_ptr<Hive> hive;
    if (LONG err = CurrentHive(hive))
        return err;
    return hive->DropVolatileKeys();
}

LONG CheckRegistry(std::string *problem)
{
    std::shared_ptr<Hive> hive;
    if (LONG err = CurrentHive(hive))
    {
        if (problem)
            *problem = err == ERROR_REGISTRY_CORRUPT ? "the file is not a registry hive"
                                                     : "the file cannot be opened as a registry hive";
        return err;
    }
    std::string finding;
    LONG err = hive->Check(finding);
    if (problem)
        *problem = finding;
    return err;
}

void CloseRegistry()
{
    Selection &selection = TheSelection();
    std::shared_ptr<Hive> dropped;
    {
        std::lock_guard guard(selection.lock);
        dropped = std::move(selection.hive);
        selection.hive.reset();
        selection.byPath.clear();
    }
    // The connection closes here, outside the lock, unless an open key still holds it.
}

void SetSystemAccess(bool on)
{
    g_systemAccess.store(on);
}
} // namespace kitreg
