// Service control manager (advapi32) over the simulated PC.
//
// The services are the keys of HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services that have a
// "Type" value of a service type; their configuration is read from and written to those keys at
// each call, so every process of the PC sees the same database. Whether a service runs is the
// PC's business (kitservice.h: services.ini, written by its tools); nothing here starts or stops
// one. The database lock is an open-file-description lock on $KIT_MACHINE/services.lock, so it is
// machine-wide and goes with the process holding it, as Windows releases a dead holder's lock.
//
// Security is NT's default for an interactive user: an administrator may do anything; any other
// user may connect, enumerate and query, and nothing more. 95/98/Me have no service manager:
// every function fails with ERROR_CALL_NOT_IMPLEMENTED there, as their stubs do.
#include "platform/advapi32/security.h"
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/kernel32/file.h"
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitservice.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using plat::ObjectKind;

namespace
{
constexpr char kServicesPath[] = "System\\CurrentControlSet\\Services";
constexpr char kStateFile[] = "services.ini";
constexpr char kStateSection[] = "State";
constexpr char kLockFile[] = "services.lock";
constexpr char kLocalSystem[] = "LocalSystem";
constexpr size_t kMaxServiceNameLength = 256;

bool IsNt()
{
    return kitpc::IsNtFamily(kitpc::ReadIdentity().family);
}

// Sets the last error and gives what a failing handle function returns.
std::nullptr_t Refuse(DWORD err)
{
    SetLastError(err);
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Access rights: the generic rights as Windows maps them for the manager and for services, and
// what XP's default security descriptors give a user who is not an administrator.

struct AccessMapping
{
    ACCESS_MASK read, write, execute, all;
    ACCESS_MASK user;
};

constexpr AccessMapping kManagerMapping{
    STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
    STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG,
    STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK,
    SC_MANAGER_ALL_ACCESS,
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL,
};

constexpr AccessMapping kServiceMapping{
    STANDARD_RIGHTS_READ | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
        SERVICE_ENUMERATE_DEPENDENTS,
    STANDARD_RIGHTS_WRITE | SERVICE_CHANGE_CONFIG,
    STANDARD_RIGHTS_EXECUTE | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
        SERVICE_USER_DEFINED_CONTROL,
    SERVICE_ALL_ACCESS,
    SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
        SERVICE_USER_DEFINED_CONTROL | READ_CONTROL,
};

// The rights granted for `desired` (MAXIMUM_ALLOWED: all the caller may have), or
// ERROR_ACCESS_DENIED when it asks for one the caller may not have.
DWORD GrantAccess(const AccessMapping &mapping, ACCESS_MASK desired, ACCESS_MASK &granted)
{
    const ACCESS_MASK allowed = kitpc::ReadIdentity().administrator ? mapping.all : mapping.user;
    ACCESS_MASK wanted =
        desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (desired & GENERIC_READ)
        wanted |= mapping.read;
    if (desired & GENERIC_WRITE)
        wanted |= mapping.write;
    if (desired & GENERIC_EXECUTE)
        wanted |= mapping.execute;
    if (desired & GENERIC_ALL)
        wanted |= mapping.all;
    if (wanted & ~allowed)
        return ERROR_ACCESS_DENIED;
    granted = wanted | ((desired & MAXIMUM_ALLOWED) ? allowed : 0);
    return ERROR_SUCCESS;
}

// A connection to the manager or an opened service: the rights it was granted and, for a
// service, its name as the caller gave it.
class ScObject final : public plat::KernelObject
{
  public:
    ScObject(ObjectKind kind, ACCESS_MASK access, std::string name = {})
        : KernelObject(kind), access_(access), name_(std::move(name))
    {
    }
    bool ClosableByCloseHandle() const override { return false; }
    bool Allows(ACCESS_MASK rights) const { return (access_ & rights) == rights; }
    const std::string &Name() const { return name_; }

  private:
    const ACCESS_MASK access_;
    const std::string name_;
};

// The object behind an SC_HANDLE of the kind, checked for the rights; nullptr with the last error set.
std::shared_ptr<ScObject> ScObjectOf(SC_HANDLE handle, ObjectKind kind, ACCESS_MASK rights)
{
    if (!IsNt())
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    auto object = plat::GetHandleObject<ScObject>(handle, kind);
    if (object && !object->Allows(rights))
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return object;
}

SC_HANDLE InsertScObject(ObjectKind kind, ACCESS_MASK access, std::string name = {})
{
    return static_cast<SC_HANDLE>(
        plat::InsertHandle(std::make_shared<ScObject>(kind, access, std::move(name))));
}

// ---------------------------------------------------------------------------------------------
// The services' keys.

class RegKey
{
  public:
    RegKey() = default;
    ~RegKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;

    LONG Open(HKEY parent, const std::string &path, REGSAM access)
    {
        return RegOpenKeyExA(parent, path.c_str(), 0, access, &key_);
    }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

std::optional<DWORD> QueryDword(HKEY key, const char *name)
{
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

// The value's bytes when it has one of the types; nothing otherwise.
std::optional<std::string> QueryBytes(HKEY key, const char *name, std::initializer_list<DWORD> types)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    for (DWORD wanted : types)
        if (type == wanted)
        {
            data.resize(size);
            return data;
        }
    return std::nullopt;
}

std::string QueryString(HKEY key, const char *name)
{
    std::string text = QueryBytes(key, name, {REG_SZ, REG_EXPAND_SZ}).value_or("");
    return text.substr(0, text.find('\0'));
}

// The strings of a double-NUL-terminated list (a REG_MULTI_SZ value, lpDependencies).
std::vector<std::string> SplitMultiSz(const char *list, size_t size)
{
    std::vector<std::string> strings;
    for (size_t at = 0; at < size && list[at];)
    {
        const std::string_view item(list + at, strnlen(list + at, size - at));
        strings.emplace_back(item);
        at += item.size() + 1;
    }
    return strings;
}

// A caller's list ends at its first empty string, so a plain "" is an empty list.
std::vector<std::string> SplitMultiSz(const char *list)
{
    std::vector<std::string> strings;
    for (; *list; list += strings.back().size() + 1)
        strings.emplace_back(list);
    return strings;
}

std::vector<std::string> QueryMultiSz(HKEY key, const char *name)
{
    const std::string data = QueryBytes(key, name, {REG_MULTI_SZ}).value_or("");
    return SplitMultiSz(data.data(), data.size());
}

bool IsDriverType(DWORD type)
{
    return type == SERVICE_KERNEL_DRIVER || type == SERVICE_FILE_SYSTEM_DRIVER ||
           type == SERVICE_RECOGNIZER_DRIVER || type == SERVICE_ADAPTER;
}

// A type a service may have: a driver, or a Win32 service that may also interact with the desktop.
bool IsServiceType(DWORD type)
{
    const DWORD process = type & ~SERVICE_INTERACTIVE_PROCESS;
    if (process == SERVICE_WIN32_OWN_PROCESS || process == SERVICE_WIN32_SHARE_PROCESS)
        return true;
    return IsDriverType(type);
}

bool IsDriverStart(DWORD start)
{
    return start == SERVICE_BOOT_START || start == SERVICE_SYSTEM_START;
}

struct ServiceConfig
{
    DWORD type = 0;
    DWORD start = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    std::string group;
    std::string objectName;
    std::string displayName;
    std::optional<DWORD> tag;
};

// Service names are key names of the Services key: no path separators.
bool IsValidServiceName(std::string_view name)
{
    return !name.empty() && name.size() <= kMaxServiceNameLength &&
           name.find_first_of("\\/") == std::string_view::npos;
}

// A service's key and what it holds; ERROR_SERVICE_DOES_NOT_EXIST when the key is missing or is
// not a service's.
LONG OpenServiceKey(const std::string &name, REGSAM access, RegKey &key, ServiceConfig &config)
{
    LONG err = key.Open(HKEY_LOCAL_MACHINE, std::string(kServicesPath) + "\\" + name, access);
    if (err == ERROR_FILE_NOT_FOUND)
        return ERROR_SERVICE_DOES_NOT_EXIST;
    if (err)
        return err;
    const std::optional<DWORD> type = QueryDword(key.Get(), "Type");
    if (!type || !IsServiceType(*type))
        return ERROR_SERVICE_DOES_NOT_EXIST;
    config.type = *type;
    config.start = QueryDword(key.Get(), "Start").value_or(SERVICE_DEMAND_START);
    config.errorControl = QueryDword(key.Get(), "ErrorControl").value_or(SERVICE_ERROR_NORMAL);
    config.group = QueryString(key.Get(), "Group");
    config.objectName = QueryString(key.Get(), "ObjectName");
    config.displayName = QueryString(key.Get(), "DisplayName");
    config.tag = QueryDword(key.Get(), "Tag");
    return ERROR_SUCCESS;
}

// Calls `visit` with the name and configuration of every service of the PC.
void ForEachService(const std::function<void(const std::string &, const ServiceConfig &)> &visit)
{
    RegKey services;
    if (services.Open(HKEY_LOCAL_MACHINE, kServicesPath, KEY_ENUMERATE_SUB_KEYS) != ERROR_SUCCESS)
        return;
    char name[kMaxServiceNameLength + 1];
    for (DWORD index = 0; RegEnumKeyA(services.Get(), index, name, sizeof name) == ERROR_SUCCESS; ++index)
    {
        RegKey key;
        ServiceConfig config;
        if (OpenServiceKey(name, KEY_QUERY_VALUE, key, config) == ERROR_SUCCESS)
            visit(name, config);
    }
}

// Whether following the services' DependOnService lists from `dependencies` leads back to `self`.
bool LeadsBackTo(const std::string &self, const std::vector<std::string> &dependencies,
                 std::set<std::string> &seen)
{
    for (const std::string &dependency : dependencies)
    {
        if (plat::EqualNoCase(dependency, self))
            return true;
        if (!IsValidServiceName(dependency) || !seen.insert(plat::Upper1252(dependency)).second)
            continue;
        RegKey key;
        ServiceConfig config;
        if (OpenServiceKey(dependency, KEY_QUERY_VALUE, key, config) == ERROR_SUCCESS &&
            LeadsBackTo(self, QueryMultiSz(key.Get(), "DependOnService"), seen))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// The services' states.

DWORD CurrentState(const std::string &name, DWORD start, bool &recorded)
{
    char text[16] = "";
    GetPrivateProfileStringA(kStateSection, name.c_str(), "", text, sizeof text,
                             kitpc::ServiceStatePath().c_str());
    recorded = true;
    if (plat::EqualNoCase(text, "running"))
        return SERVICE_RUNNING;
    if (plat::EqualNoCase(text, "stopped"))
        return SERVICE_STOPPED;
    recorded = false;
    return start <= SERVICE_AUTO_START ? SERVICE_RUNNING : SERVICE_STOPPED;
}

// ---------------------------------------------------------------------------------------------
// The database lock.

// The PCs whose database lock this process holds.
std::set<std::string> &Holdings()
{
    static auto *holdings = new std::set<std::string>;
    return *holdings;
}

std::mutex &HoldingsMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

bool HoldsLock(const std::string &machine)
{
    std::lock_guard guard(HoldingsMutex());
    return Holdings().count(machine) != 0;
}

plat::UniqueFd OpenLockFile()
{
    return plat::UniqueFd(::open(kitpc::PathOf(kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
}

// Takes the lock byte without waiting: ERROR_SUCCESS, ERROR_SERVICE_DATABASE_LOCKED when another
// holder has it in a conflicting way, or the system's error.
DWORD TakeLockByte(const plat::UniqueFd &fd, short type)
{
    if (!fd)
        return plat::Win32FromErrno(errno);
    struct flock lock
    {
    };
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    while (::fcntl(fd.Get(), F_OFD_SETLK, &lock) != 0)
    {
        if (errno == EAGAIN || errno == EACCES)
            return ERROR_SERVICE_DATABASE_LOCKED;
        if (errno != EINTR)
            return plat::Win32FromErrno(errno);
    }
    return ERROR_SUCCESS;
}

// A held database lock: its write lock, and this process's record of holding it.
class LockObject final : public plat::KernelObject
{
  public:
    LockObject(plat::UniqueFd fd, std::string machine)
        : KernelObject(ObjectKind::ServiceLock), fd_(std::move(fd)), machine_(std::move(machine))
    {
        std::lock_guard guard(HoldingsMutex());
        Holdings().insert(machine_);
    }
    ~LockObject() override
    {
        // Forgotten before the lock goes, so no change here passes unguarded once others may lock.
        std::lock_guard guard(HoldingsMutex());
        Holdings().erase(machine_);
    }
    bool ClosableByCloseHandle() const override { return false; }

  private:
    plat::UniqueFd fd_;
    const std::string machine_;
};

// While a change is written, the database cannot be locked by anyone else; a change while
// another holder has it is refused. The holder itself changes freely.
class ChangeGuard
{
  public:
    DWORD Acquire()
    {
        if (HoldsLock(kitpc::Root()))
            return ERROR_SUCCESS;
        fd_ = OpenLockFile();
        return TakeLockByte(fd_, F_RDLCK);
    }

  private:
    plat::UniqueFd fd_;
};

// ---------------------------------------------------------------------------------------------
// ChangeServiceConfigA's pieces.

LONG SetDword(HKEY key, const char *name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
}

LONG SetString(HKEY key, const char *name, DWORD type, const std::string &text)
{
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

// Removes a value; one already missing is no error.
LONG RemoveValue(HKEY key, const char *name)
{
    const LONG err = RegDeleteValueA(key, name);
    return err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err;
}

// Writes the list, or removes the value when the list is empty.
LONG SetMultiSz(HKEY key, const char *name, const std::vector<std::string> &strings)
{
    if (strings.empty())
        return RemoveValue(key, name);
    std::string data;
    for (const std::string &text : strings)
        data.append(text).push_back('\0');
    data.push_back('\0');
    return RegSetValueExA(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(data.data()),
                          static_cast<DWORD>(data.size()));
}

// lpDependencies split as Windows keeps it: services in DependOnService, groups (marked with
// SC_GROUP_IDENTIFIER) in DependOnGroup without their mark.
struct Dependencies
{
    std::vector<std::string> services;
    std::vector<std::string> groups;
};

Dependencies ParseDependencies(const char *list)
{
    Dependencies out;
    for (std::string &item : SplitMultiSz(list))
    {
        if (item.front() == SC_GROUP_IDENTIFIER)
            out.groups.push_back(item.substr(1));
        else
            out.services.push_back(std::move(item));
    }
    return out;
}

bool IsLocalSystemAccount(const std::string &account)
{
    return account.empty() || plat::EqualNoCase(account, kLocalSystem) ||
           plat::EqualNoCase(account, ".\\LocalSystem");
}

// A tag unique in the service's load order group: the one it has when its group stays, else one
// more than the highest of the group.
DWORD TagInGroup(const std::string &name, const ServiceConfig &current, const std::string &group)
{
    if (current.tag && plat::EqualNoCase(current.group, group))
        return *current.tag;
    DWORD highest = 0;
    ForEachService([&](const std::string &other, const ServiceConfig &config) {
        if (!plat::EqualNoCase(other, name) && config.tag && plat::EqualNoCase(config.group, group))
            highest = std::max(highest, *config.tag);
    });
    return highest + 1;
}

bool DisplayNameTaken(const std::string &name, const std::string &displayName)
{
    bool taken = false;
    ForEachService([&](const std::string &other, const ServiceConfig &config) {
        if (!plat::EqualNoCase(other, name) &&
            (plat::EqualNoCase(other, displayName) || plat::EqualNoCase(config.displayName, displayName)))
            taken = true;
    });
    return taken;
}

// What ChangeServiceConfigA was asked to do, the NULL and SERVICE_NO_CHANGE arguments left out.
struct ConfigChange
{
    std::optional<DWORD> type, start, errorControl;
    const char *imagePath = nullptr;
    const char *group = nullptr;
    const char *dependencies = nullptr;
    const char *objectName = nullptr;
    const char *displayName = nullptr;
    bool wantsTag = false;
};

std::optional<DWORD> Changed(DWORD value)
{
    return value == SERVICE_NO_CHANGE ? std::nullopt : std::optional<DWORD>(value);
}

// Windows' checks of the arguments against the service as it will be: ERROR_SUCCESS or the error.
DWORD CheckChange(const std::string &name, const ServiceConfig &current, const ConfigChange &change)
{
    if (change.type && !IsServiceType(*change.type))
        return ERROR_INVALID_PARAMETER;
    if (change.start && *change.start > SERVICE_DISABLED)
        return ERROR_INVALID_PARAMETER;
    if (change.errorControl && *change.errorControl > SERVICE_ERROR_CRITICAL)
        return ERROR_INVALID_PARAMETER;
    const DWORD type = change.type.value_or(current.type);
    const DWORD start = change.start.value_or(current.start);
    // Only drivers start at boot or with the system, and only they get tags.
    if ((change.type || change.start) && IsDriverStart(start) && !IsDriverType(type))
        return ERROR_INVALID_PARAMETER;
    if (change.wantsTag && !(IsDriverStart(start) && IsDriverType(type)))
        return ERROR_INVALID_PARAMETER;
    // Only a service of the LocalSystem account may interact with the desktop.
    const std::string account = change.objectName ? change.objectName : current.objectName;
    if ((type & SERVICE_INTERACTIVE_PROCESS) && !IsLocalSystemAccount(account))
        return ERROR_INVALID_PARAMETER;
    if (change.dependencies)
    {
        std::set<std::string> seen;
        if (LeadsBackTo(name, ParseDependencies(change.dependencies).services, seen))
            return ERROR_CIRCULAR_DEPENDENCY;
    }
    if (change.displayName && *change.displayName && DisplayNameTaken(name, change.displayName))
        return ERROR_DUPLICATE_SERVICE_NAME;
    return ERROR_SUCCESS;
}

// Writes the change into the service's key; `tag` receives the service's tag when asked for.
LONG WriteChange(HKEY key, const std::string &name, const ServiceConfig &current, const ConfigChange &change,
                 DWORD &tag)
{
    LONG err = ERROR_SUCCESS;
    auto write = [&err](LONG result) {
        if (!err)
            err = result;
    };
    if (change.type)
        write(SetDword(key, "Type", *change.type));
    if (change.start)
        write(SetDword(key, "Start", *change.start));
    if (change.errorControl)
        write(SetDword(key, "ErrorControl", *change.errorControl));
    if (change.imagePath)
        write(SetString(key, "ImagePath", REG_EXPAND_SZ, change.imagePath));
    if (change.group)
        write(*change.group ? SetString(key, "Group", REG_SZ, change.group) : RemoveValue(key, "Group"));
    if (change.dependencies)
    {
        const Dependencies dependencies = ParseDependencies(change.dependencies);
        write(SetMultiSz(key, "DependOnService", dependencies.services));
        write(SetMultiSz(key, "DependOnGroup", dependencies.groups));
    }
    if (change.objectName)
        write(SetString(key, "ObjectName", REG_SZ, change.objectName));
    if (change.displayName)
        write(SetString(key, "DisplayName", REG_SZ, change.displayName));
    if (change.wantsTag)
    {
        tag = TagInGroup(name, current, change.group ? change.group : current.group);
        write(SetDword(key, "Tag", tag));
    }
    return err;
}

} // namespace

namespace kitpc
{
std::string ServiceStatePath()
{
    return PathOf(kStateFile);
}

bool SetServiceState(std::string_view service, ServiceState state)
{
    const std::string name(service);
    const char *text = state == ServiceState::Running   ? "running"
                       : state == ServiceState::Stopped ? "stopped"
                                                        : nullptr;
    return WritePrivateProfileStringA(kStateSection, name.c_str(), text, ServiceStatePath().c_str()) != FALSE;
}
} // namespace kitpc

// OpenSCManagerA: a connection to this PC's service control manager, SC_MANAGER_CONNECT always
// included. Only this computer is reachable: another name fails with RPC_S_SERVER_UNAVAILABLE, as
// for a computer that does not answer. Only the active database exists: "ServicesFailed" gives
// ERROR_DATABASE_DOES_NOT_EXIST, any other name ERROR_INVALID_NAME. A user who is not an
// administrator may have SC_MANAGER_CONNECT, _ENUMERATE_SERVICE, _QUERY_LOCK_STATUS and
// READ_CONTROL; asking for more gives ERROR_ACCESS_DENIED. 95/98/Me: ERROR_CALL_NOT_IMPLEMENTED.
SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess)
{
    if (!IsNt())
        return Refuse(ERROR_CALL_NOT_IMPLEMENTED);
    if (!plat::IsLocalComputerName(lpMachineName))
        return Refuse(RPC_S_SERVER_UNAVAILABLE);
    if (lpDatabaseName && !plat::EqualNoCase(lpDatabaseName, SERVICES_ACTIVE_DATABASEA))
        return Refuse(plat::EqualNoCase(lpDatabaseName, SERVICES_FAILED_DATABASEA)
                          ? ERROR_DATABASE_DOES_NOT_EXIST
                          : ERROR_INVALID_NAME);
    ACCESS_MASK granted = 0;
    if (DWORD err = GrantAccess(kManagerMapping, dwDesiredAccess | SC_MANAGER_CONNECT, granted))
        return Refuse(err);
    return InsertScObject(ObjectKind::ServiceManager, granted);
}

// OpenServiceA: a service of the PC by its key name, compared without case. NULL name:
// ERROR_INVALID_ADDRESS; an empty one, one longer than 256 characters or one with a slash or
// backslash: ERROR_INVALID_NAME; no such service: ERROR_SERVICE_DOES_NOT_EXIST (display names are
// not looked up, as on Windows). A user who is not an administrator may have the query rights
// (QUERY_CONFIG, QUERY_STATUS, ENUMERATE_DEPENDENTS, INTERROGATE, USER_DEFINED_CONTROL,
// READ_CONTROL); asking for more gives ERROR_ACCESS_DENIED.
SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess)
{
    if (!ScObjectOf(hSCManager, ObjectKind::ServiceManager, SC_MANAGER_CONNECT))
        return nullptr;
    if (!lpServiceName)
        return Refuse(ERROR_INVALID_ADDRESS);
    if (!IsValidServiceName(lpServiceName))
        return Refuse(ERROR_INVALID_NAME);
    RegKey key;
    ServiceConfig config;
    if (LONG err = OpenServiceKey(lpServiceName, KEY_QUERY_VALUE, key, config))
        return Refuse(static_cast<DWORD>(err));
    ACCESS_MASK granted = 0;
    if (DWORD err = GrantAccess(kServiceMapping, dwDesiredAccess, granted))
        return Refuse(err);
    return InsertScObject(ObjectKind::Service, granted, lpServiceName);
}

// QueryServiceStatus: the service's type (its "Type" value) and its state as the PC records it
// (kitservice.h): SERVICE_RUNNING or SERVICE_STOPPED, never a pending state. A running Win32
// service accepts SERVICE_ACCEPT_STOP and _SHUTDOWN, a running driver SERVICE_ACCEPT_STOP; a
// stopped one nothing. A stopped service the PC has no record of reports
// ERROR_SERVICE_NEVER_STARTED as its exit code. Needs SERVICE_QUERY_STATUS; a NULL
// lpServiceStatus gives RPC_X_NULL_REF_POINTER, as the call's marshalling refuses it.
BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus)
{
    auto service = ScObjectOf(hService, ObjectKind::Service, SERVICE_QUERY_STATUS);
    if (!service)
        return FALSE;
    if (!lpServiceStatus)
        return plat::Fail(RPC_X_NULL_REF_POINTER);
    RegKey key;
    ServiceConfig config;
    if (LONG err = OpenServiceKey(service->Name(), KEY_QUERY_VALUE, key, config))
        return plat::Fail(static_cast<DWORD>(err));
    bool recorded = false;
    SERVICE_STATUS status{};
    status.dwServiceType = config.type;
    status.dwCurrentState = CurrentState(service->Name(), config.start, recorded);
    if (status.dwCurrentState == SERVICE_RUNNING)
        status.dwControlsAccepted =
            IsDriverType(config.type) ? SERVICE_ACCEPT_STOP : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    else if (!recorded)
        status.dwWin32ExitCode = ERROR_SERVICE_NEVER_STARTED;
    *lpServiceStatus = status;
    return TRUE;
}

// ChangeServiceConfigA: changes the values of the service's key: Type, Start, ErrorControl,
// ImagePath (REG_EXPAND_SZ), Group (removed when ""), DependOnService and DependOnGroup
// (REG_MULTI_SZ from lpDependencies, groups marked '+'; removed when empty), ObjectName,
// DisplayName and, when lpdwTagId is given, Tag. SERVICE_NO_CHANGE and NULL leave a setting as it
// is. Checks as Windows: a type, start type or error control out of range, boot or system start
// for a service that is not a driver, a tag for one that is not a boot or system start driver, or
// an interactive service of an account other than LocalSystem give ERROR_INVALID_PARAMETER; a
// dependency leading back to the service ERROR_CIRCULAR_DEPENDENCY; a display name another
// service has as name or display name ERROR_DUPLICATE_SERVICE_NAME. Needs SERVICE_CHANGE_CONFIG.
// While another process, or another lock of this PC, holds the database lock: ERROR_SERVICE_
// DATABASE_LOCKED; the holder itself may change. Differences: the account is not checked against
// the PC's users and the password is not kept; tags are counted per group without the
// GroupOrderList; a service marked for deletion is not modelled (a key removed meanwhile gives
// ERROR_SERVICE_DOES_NOT_EXIST).
BOOL WINAPI ChangeServiceConfigA(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType,
                                 DWORD dwErrorControl, LPCSTR lpBinaryPathName, LPCSTR lpLoadOrderGroup,
                                 LPDWORD lpdwTagId, LPCSTR lpDependencies, LPCSTR lpServiceStartName,
                                 LPCSTR lpPassword, LPCSTR lpDisplayName)
{
    (void)lpPassword; // LSA keeps service passwords, not the registry; nothing here asks for them
    auto service = ScObjectOf(hService, ObjectKind::Service, SERVICE_CHANGE_CONFIG);
    if (!service)
        return FALSE;
    RegKey key;
    ServiceConfig current;
    if (LONG err = OpenServiceKey(service->Name(), KEY_QUERY_VALUE | KEY_SET_VALUE, key, current))
        return plat::Fail(static_cast<DWORD>(err));
    ChangeGuard guard;
    if (DWORD err = guard.Acquire())
        return plat::Fail(err);

    ConfigChange change;
    change.type = Changed(dwServiceType);
    change.start = Changed(dwStartType);
    change.errorControl = Changed(dwErrorControl);
    change.imagePath = lpBinaryPathName;
    change.group = lpLoadOrderGroup;
    change.dependencies = lpDependencies;
    change.objectName = lpServiceStartName;
    change.displayName = lpDisplayName;
    change.wantsTag = lpdwTagId != nullptr;
    if (DWORD err = CheckChange(service->Name(), current, change))
        return plat::Fail(err);
    DWORD tag = 0;
    if (LONG err = WriteChange(key.Get(), service->Name(), current, change, tag))
        return plat::Fail(static_cast<DWORD>(err));
    if (lpdwTagId)
        *lpdwTagId = tag;
    return TRUE;
}

// LockServiceDatabase: the PC's service database lock, machine-wide: while it is held a second
// lock, from any process, fails with ERROR_SERVICE_DATABASE_LOCKED, and so does a change by anyone
// but the holder. It goes with UnlockServiceDatabase or when the holding process ends. Needs
// SC_MANAGER_LOCK.
SC_LOCK WINAPI LockServiceDatabase(SC_HANDLE hSCManager)
{
    if (!ScObjectOf(hSCManager, ObjectKind::ServiceManager, SC_MANAGER_LOCK))
        return nullptr;
    plat::UniqueFd fd = OpenLockFile();
    if (DWORD err = TakeLockByte(fd, F_WRLCK))
        return Refuse(err);
    return plat::InsertHandle(std::make_shared<LockObject>(std::move(fd), kitpc::Root()));
}

// UnlockServiceDatabase: releases the lock; anything but a live lock gives
// ERROR_INVALID_SERVICE_LOCK.
BOOL WINAPI UnlockServiceDatabase(SC_LOCK ScLock)
{
    if (!IsNt())
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (!plat::FindHandleObject<LockObject>(ScLock, ObjectKind::ServiceLock))
        return plat::Fail(ERROR_INVALID_SERVICE_LOCK);
    plat::RemoveHandle(ScLock);
    return TRUE;
}

// CloseServiceHandle: closes a manager or service handle; services stay open when their manager
// is closed first, as on Windows. Anything else (a lock, a kernel handle): ERROR_INVALID_HANDLE.
BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject)
{
    if (!IsNt())
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(hSCObject);
    if (!object || (object->Kind() != ObjectKind::ServiceManager && object->Kind() != ObjectKind::Service))
        return plat::Fail(ERROR_INVALID_HANDLE);
    plat::RemoveHandle(hSCObject);
    return TRUE;
}
