// Service control manager: the DHCP client service of an XP PC opened, queried and reconfigured
// as the TCP/IP module does, the checks of the arguments, access for a limited user, 9x, bad
// handles and the database lock held by another process.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitservice.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <gtest/gtest.h>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
using kittest::ReadRegDword;
using kittest::ReadRegMultiSz;
using kittest::ReadRegString;
using kittest::ReadRegValue;

constexpr char kServices[] = "System\\CurrentControlSet\\Services";
constexpr char kDhcpKey[] = "System\\CurrentControlSet\\Services\\Dhcp";
constexpr char kChild[] = "platform_child_service";
constexpr DWORD kSentinel = 0xdeadbeef;

struct ScHandleCloser
{
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ScHandleCloser>;

struct ScLockReleaser
{
    void operator()(SC_LOCK lock) const { UnlockServiceDatabase(lock); }
};
using ScLock = std::unique_ptr<void, ScLockReleaser>;

#ifndef _WIN32
void MakePc(kitpc::WindowsFamily os, bool admin = true)
{
    kitpc::MachineOptions options;
    options.os = os;
    options.admin = admin;
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
}
#endif

[[maybe_unused]] void WriteExpandSz(const std::string &path, const char *name, const std::string &text)
{
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, path, name, REG_EXPAND_SZ,
                           std::string_view(text.c_str(), text.size() + 1));
}

[[maybe_unused]] void WriteMultiSz(const std::string &path, const char *name, const std::string &list)
{
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, path, name, REG_MULTI_SZ, list);
}

#ifdef _WIN32
// Windows' service manager reads its database once, at start: a service is added through it.
std::vector<std::string> g_added;

void AddService(const std::string &name, DWORD type, DWORD start, const std::string &displayName,
                const std::string &group = "", const char *image = "%SystemRoot%\\System32\\svchost.exe",
                const char *dependencies = nullptr)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager) << GetLastError();
    SC_HANDLE service = CreateServiceA(
        manager, name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_NORMAL,
        image, group.empty() ? nullptr : group.c_str(), nullptr, dependencies, nullptr, nullptr);
    EXPECT_TRUE(service) << name << ": " << GetLastError();
    if (service)
    {
        g_added.push_back(name);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

void RemoveAddedServices()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    for (const std::string &name : g_added)
        if (SC_HANDLE service = OpenServiceA(manager, name.c_str(), DELETE))
        {
            DeleteService(service);
            CloseServiceHandle(service);
        }
    CloseServiceHandle(manager);
    g_added.clear();
}

void AddDhcpService()
{
    AddService("Dhcp", SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, "Cliente DHCP", "TDI",
               "%SystemRoot%\\System32\\svchost.exe -k netsvcs", "Tcpip\0Afd\0NetBT\0\0");
}
#else
// A service key as the machine tool lays out a Win32 service or a driver.
void AddService(const std::string &name, DWORD type, DWORD start, const std::string &displayName,
                const std::string &group = "")
{
    const std::string path = std::string(kServices) + "\\" + name;
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, path, "Type", type);
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, path, "Start", start);
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, path, "ErrorControl", SERVICE_ERROR_NORMAL);
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, path, "DisplayName", displayName);
    if (!group.empty())
        kittest::WriteRegString(HKEY_LOCAL_MACHINE, path, "Group", group);
}

void RemoveAddedServices() {}

// The DHCP client of XP: manual start here, so a change to automatic shows.
void AddDhcpService()
{
    AddService("Dhcp", SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, "Cliente DHCP", "TDI");
    WriteExpandSz(kDhcpKey, "ImagePath", "%SystemRoot%\\System32\\svchost.exe -k netsvcs");
    WriteMultiSz(kDhcpKey, "DependOnService", std::string("Tcpip\0Afd\0NetBT\0\0", 18));
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kDhcpKey, "ObjectName", "LocalSystem");
}
#endif

// Every value of a key, by name: its type and bytes.
std::map<std::string, std::pair<DWORD, std::string>> KeyValues(const std::string &path)
{
    std::map<std::string, std::pair<DWORD, std::string>> values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return values;
    char name[256];
    BYTE data[4096];
    for (DWORD index = 0;; ++index)
    {
        DWORD nameLength = sizeof name, size = sizeof data, type = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values[name] = {type, std::string(reinterpret_cast<char *>(data), size)};
    }
    RegCloseKey(key);
    return values;
}

ScHandle OpenManager(DWORD access = SC_MANAGER_ALL_ACCESS)
{
    return ScHandle(OpenSCManagerA(nullptr, nullptr, access));
}

ScHandle OpenDhcp(SC_HANDLE manager, DWORD access)
{
    return ScHandle(OpenServiceA(manager, "DHCP", access));
}

BOOL SetStart(SC_HANDLE service, DWORD start)
{
    return ChangeServiceConfigA(service, SERVICE_NO_CHANGE, start, SERVICE_NO_CHANGE, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr);
}

class ServiceTest : public testing::Test
{
  protected:
    void SetUp() override
    {
#ifndef _WIN32
        MakePc(kitpc::WindowsFamily::XP);
#endif
        AddDhcpService();
    }
    void TearDown() override
    {
        RemoveAddedServices();
    }
};

// What the TCP/IP module does when it turns DHCP on: full access, lock, change the start type.
TEST_F(ServiceTest, StartTypeBecomesAutomaticLeavingEverythingElse)
{
    const auto before = KeyValues(kDhcpKey);
    ScHandle manager = OpenManager();
    ASSERT_TRUE(manager);
    SetLastError(kSentinel);
    ScLock lock(LockServiceDatabase(manager.get()));
    ASSERT_TRUE(lock) << GetLastError();
    ScHandle service = OpenDhcp(manager.get(), SERVICE_CHANGE_CONFIG);
    ASSERT_TRUE(service) << GetLastError();
    SetLastError(kSentinel);
    EXPECT_TRUE(SetStart(service.get(), SERVICE_AUTO_START)) << GetLastError();

    auto expected = before;
    const DWORD automatic = SERVICE_AUTO_START;
    expected["Start"] = {REG_DWORD, std::string(reinterpret_cast<const char *>(&automatic), 4)};
    EXPECT_EQ(KeyValues(kDhcpKey), expected);
    service.reset();
    SetLastError(kSentinel);
    EXPECT_TRUE(UnlockServiceDatabase(lock.release()));
}

TEST_F(ServiceTest, NoChangeKeepsEveryValue)
{
    const auto before = KeyValues(kDhcpKey);
    ScHandle manager = OpenManager();
    ScHandle service = OpenDhcp(manager.get(), SERVICE_ALL_ACCESS);
    ASSERT_TRUE(service);
    SetLastError(kSentinel);
    EXPECT_TRUE(ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(KeyValues(kDhcpKey), before);
}

TEST_F(ServiceTest, EverySettingIsWrittenWhereWindowsKeepsIt)
{
    ScHandle manager = OpenManager();
    ScHandle service = OpenDhcp(manager.get(), SERVICE_CHANGE_CONFIG);
    ASSERT_TRUE(service);
    ASSERT_TRUE(ChangeServiceConfigA(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED,
                                     SERVICE_ERROR_SEVERE, "%SystemRoot%\\dhcp.exe", "NetworkProvider",
                                     nullptr, "Tcpip\0+PNP_TDI\0", ".\\Usuario", "clave", "DHCP propio"))
        << GetLastError();
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "Type"), SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "Start"), SERVICE_DISABLED);
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "ErrorControl"), SERVICE_ERROR_SEVERE);
    const auto image = ReadRegValue(HKEY_LOCAL_MACHINE, kDhcpKey, "ImagePath");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->type, REG_EXPAND_SZ);
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kDhcpKey, "ImagePath"), "%SystemRoot%\\dhcp.exe");
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kDhcpKey, "Group"), "NetworkProvider");
    EXPECT_EQ(ReadRegMultiSz(HKEY_LOCAL_MACHINE, kDhcpKey, "DependOnService"),
              std::vector<std::string>{"Tcpip"});
    EXPECT_EQ(ReadRegMultiSz(HKEY_LOCAL_MACHINE, kDhcpKey, "DependOnGroup"),
              std::vector<std::string>{"PNP_TDI"});
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kDhcpKey, "ObjectName"), ".\\Usuario");
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kDhcpKey, "DisplayName"), "DHCP propio");
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, kDhcpKey, "Password"));

    // Empty texts: no group, no dependencies.
    ASSERT_TRUE(ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     nullptr, "", nullptr, "", nullptr, nullptr, nullptr));
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, kDhcpKey, "Group"));
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, kDhcpKey, "DependOnService"));
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, kDhcpKey, "DependOnGroup"));
}

TEST_F(ServiceTest, ArgumentsAreCheckedAndNothingIsWrittenOnFailure)
{
    AddService("RasMan", SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, "Administrador de conexión");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kDhcpKey, "ObjectName", ".\\Usuario");
    struct Case
    {
        const char *what;
        DWORD type, start, errorControl;
        const char *dependencies;
        const char *displayName;
        bool wantsTag;
        DWORD error;
    } cases[] = {
        {"boot start for a Win32 service", SERVICE_NO_CHANGE, SERVICE_BOOT_START, SERVICE_NO_CHANGE, nullptr,
         nullptr, false, ERROR_INVALID_PARAMETER},
        {"system start for a Win32 service", SERVICE_NO_CHANGE, SERVICE_SYSTEM_START, SERVICE_NO_CHANGE,
         nullptr, nullptr, false, ERROR_INVALID_PARAMETER},
        {"start type out of range", SERVICE_NO_CHANGE, 5, SERVICE_NO_CHANGE, nullptr, nullptr, false,
         ERROR_INVALID_PARAMETER},
        {"error control out of range", SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, 4, nullptr, nullptr, false,
         ERROR_INVALID_PARAMETER},
        {"unknown type", 0x40, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, false,
         ERROR_INVALID_PARAMETER},
        {"interactive driver", SERVICE_KERNEL_DRIVER | SERVICE_INTERACTIVE_PROCESS, SERVICE_NO_CHANGE,
         SERVICE_NO_CHANGE, nullptr, nullptr, false, ERROR_INVALID_PARAMETER},
        {"interactive, not LocalSystem", SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
         SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, false, ERROR_INVALID_PARAMETER},
        {"a tag for a Win32 service", SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
         nullptr, true, ERROR_INVALID_PARAMETER},
        {"depends on itself", SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, "Tcpip\0dhcp\0",
         nullptr, false, ERROR_CIRCULAR_DEPENDENCY},
        {"another service's display name", SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
         "ADMINISTRADOR DE CONEXIÓN", false, ERROR_DUPLICATE_SERVICE_NAME},
        {"another service's name", SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, "rasman",
         false, ERROR_DUPLICATE_SERVICE_NAME},
    };
    const auto before = KeyValues(kDhcpKey);
    ScHandle manager = OpenManager();
    ScHandle service = OpenDhcp(manager.get(), SERVICE_CHANGE_CONFIG);
    ASSERT_TRUE(service);
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        DWORD tag = kSentinel;
        SetLastError(kSentinel);
        EXPECT_FALSE(ChangeServiceConfigA(service.get(), c.type, c.start, c.errorControl, "otro.exe", nullptr,
                                          c.wantsTag ? &tag : nullptr, c.dependencies, nullptr, nullptr,
                                          c.displayName));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(tag, kSentinel);
        EXPECT_EQ(KeyValues(kDhcpKey), before);
    }
}

#ifndef _WIN32
TEST_F(ServiceTest, DependencyLoopThroughAnotherServiceIsCircular)
{
    AddService("Tcpip", SERVICE_KERNEL_DRIVER, SERVICE_SYSTEM_START, "Controlador de protocolo TCP/IP");
    WriteMultiSz(std::string(kServices) + "\\Tcpip", "DependOnService", std::string("Dhcp\0\0", 6));
    ScHandle manager = OpenManager();
    ScHandle service = OpenDhcp(manager.get(), SERVICE_CHANGE_CONFIG);
    SetLastError(kSentinel);
    EXPECT_FALSE(ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                      nullptr, nullptr, nullptr, "Afd\0TCPIP\0", nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CIRCULAR_DEPENDENCY));
}

TEST_F(ServiceTest, DriversStartAtBootAndGetTagsInTheirGroup)
{
    AddService("Tcpip", SERVICE_KERNEL_DRIVER, SERVICE_SYSTEM_START, "Controlador de protocolo TCP/IP",
               "PNP_TDI");
    AddService("NetBT", SERVICE_KERNEL_DRIVER, SERVICE_SYSTEM_START, "NetBios sobre TCP/IP", "PNP_TDI");
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\NetBT", "Tag", 4);
    ScHandle manager = OpenManager();
    ScHandle driver(OpenServiceA(manager.get(), "tcpip", SERVICE_CHANGE_CONFIG));
    ASSERT_TRUE(driver);
    DWORD tag = 0;
    ASSERT_TRUE(ChangeServiceConfigA(driver.get(), SERVICE_NO_CHANGE, SERVICE_BOOT_START, SERVICE_NO_CHANGE,
                                     nullptr, nullptr, &tag, nullptr, nullptr, nullptr, nullptr))
        << GetLastError();
    EXPECT_EQ(tag, 5u);
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\Tcpip", "Tag"), 5u);
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\Tcpip", "Start"),
              SERVICE_BOOT_START);
    // Asked again in the same group: the same tag.
    tag = 0;
    ASSERT_TRUE(ChangeServiceConfigA(driver.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     nullptr, nullptr, &tag, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(tag, 5u);
}

TEST_F(ServiceTest, StatusFollowsThePcsRecordAndTheStartType)
{
    AddService("Tcpip", SERVICE_KERNEL_DRIVER, SERVICE_SYSTEM_START, "Controlador de protocolo TCP/IP");
    ScHandle manager = OpenManager(SC_MANAGER_CONNECT);
    ScHandle dhcp = OpenDhcp(manager.get(), SERVICE_QUERY_STATUS);
    ScHandle tcpip(OpenServiceA(manager.get(), "Tcpip", SERVICE_QUERY_STATUS));
    ASSERT_TRUE(dhcp && tcpip);

    SERVICE_STATUS status;
    std::memset(&status, 0xAB, sizeof status);
    SetLastError(kSentinel);
    ASSERT_TRUE(QueryServiceStatus(dhcp.get(), &status));
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_SHARE_PROCESS);
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED); // manual start, never started
    EXPECT_EQ(status.dwControlsAccepted, 0u);
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));
    EXPECT_EQ(status.dwCheckPoint, 0u);
    EXPECT_EQ(status.dwWaitHint, 0u);

    ASSERT_TRUE(QueryServiceStatus(tcpip.get(), &status));
    EXPECT_EQ(status.dwServiceType, SERVICE_KERNEL_DRIVER);
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING); // system start
    EXPECT_EQ(status.dwControlsAccepted, SERVICE_ACCEPT_STOP);

    ASSERT_TRUE(kitpc::SetServiceState("DHCP", kitpc::ServiceState::Running));
    ASSERT_TRUE(kitpc::SetServiceState("tcpip", kitpc::ServiceState::Stopped));
    ASSERT_TRUE(QueryServiceStatus(dhcp.get(), &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(status.dwControlsAccepted, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    ASSERT_TRUE(QueryServiceStatus(tcpip.get(), &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, 0u);

    ASSERT_TRUE(kitpc::SetServiceState("Dhcp", kitpc::ServiceState::Default));
    ASSERT_TRUE(QueryServiceStatus(dhcp.get(), &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);

    SetLastError(kSentinel);
    EXPECT_FALSE(QueryServiceStatus(dhcp.get(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_X_NULL_REF_POINTER));
}

#endif

TEST_F(ServiceTest, EachCallNeedsItsRight)
{
    ScHandle connectOnly = OpenManager(SC_MANAGER_CONNECT);
    ASSERT_TRUE(connectOnly);
    SetLastError(kSentinel);
    EXPECT_FALSE(LockServiceDatabase(connectOnly.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ScHandle queryConfig = OpenDhcp(connectOnly.get(), SERVICE_QUERY_CONFIG);
    ASSERT_TRUE(queryConfig);
    SERVICE_STATUS status{};
    SetLastError(kSentinel);
    EXPECT_FALSE(QueryServiceStatus(queryConfig.get(), &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    const auto before = KeyValues(kDhcpKey);
    ScHandle queryStatus = OpenDhcp(connectOnly.get(), GENERIC_READ);
    ASSERT_TRUE(queryStatus);
    EXPECT_TRUE(QueryServiceStatus(queryStatus.get(), &status));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetStart(queryStatus.get(), SERVICE_AUTO_START));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(KeyValues(kDhcpKey), before);

    ScHandle generic = OpenDhcp(connectOnly.get(), GENERIC_WRITE);
    ASSERT_TRUE(generic);
    EXPECT_TRUE(SetStart(generic.get(), SERVICE_AUTO_START));
}

#ifndef _WIN32
TEST_F(ServiceTest, LimitedUserMayOnlyRead)
{
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Administrator", "0"));
    const DWORD managerRights[] = {SC_MANAGER_ALL_ACCESS,         SC_MANAGER_LOCK, SC_MANAGER_CREATE_SERVICE,
                                   SC_MANAGER_MODIFY_BOOT_CONFIG, GENERIC_WRITE,   GENERIC_ALL};
    for (DWORD rights : managerRights)
    {
        SCOPED_TRACE(rights);
        SetLastError(kSentinel);
        EXPECT_FALSE(OpenSCManagerA(nullptr, nullptr, rights));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    ScHandle manager = OpenManager(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    ASSERT_TRUE(manager);
    EXPECT_TRUE(OpenManager(GENERIC_READ));
    const DWORD serviceRights[] = {
        SERVICE_ALL_ACCESS, SERVICE_CHANGE_CONFIG, SERVICE_START, SERVICE_STOP, DELETE,
        WRITE_DAC,          GENERIC_WRITE};
    for (DWORD rights : serviceRights)
    {
        SCOPED_TRACE(rights);
        SetLastError(kSentinel);
        EXPECT_FALSE(OpenServiceA(manager.get(), "Dhcp", rights));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    ScHandle service = OpenDhcp(manager.get(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    ASSERT_TRUE(service);
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(service.get(), &status));
    // MAXIMUM_ALLOWED gives the user what he may have: querying, not changing.
    ScHandle most = OpenDhcp(manager.get(), MAXIMUM_ALLOWED);
    ASSERT_TRUE(most);
    EXPECT_TRUE(QueryServiceStatus(most.get(), &status));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetStart(most.get(), SERVICE_AUTO_START));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "Start"), SERVICE_DEMAND_START);
}

TEST(ServiceFamilyTest, Windows9xHasNoServiceManager)
{
    for (kitpc::WindowsFamily os : {kitpc::WindowsFamily::Win95, kitpc::WindowsFamily::Win98,
                                    kitpc::WindowsFamily::Win98SE, kitpc::WindowsFamily::WinMe})
    {
        SCOPED_TRACE(kitpc::FamilyName(os));
        MakePc(os);
        SetLastError(kSentinel);
        EXPECT_FALSE(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    }
}

TEST(ServiceFamilyTest, NtFamiliesHaveOne)
{
    for (kitpc::WindowsFamily os : {kitpc::WindowsFamily::NT4, kitpc::WindowsFamily::Win2000})
    {
        SCOPED_TRACE(kitpc::FamilyName(os));
        MakePc(os);
        ScHandle manager = OpenManager();
        EXPECT_TRUE(manager);
    }
}

#endif

TEST_F(ServiceTest, OnlyThisComputerAndTheActiveDatabase)
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &length));
    std::string lower = computer;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string &name :
         {std::string(), std::string(computer), lower, "\\\\" + std::string(computer)})
    {
        SCOPED_TRACE(name);
        EXPECT_TRUE(ScHandle(OpenSCManagerA(name.c_str(), SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)));
    }
#ifndef _WIN32
    // Another computer: on Windows this would go out to the network. The simulated PC has no
    // other computer, and takes the database name without case (Windows documents neither).
    SetLastError(kSentinel);
    EXPECT_FALSE(OpenSCManagerA("\\\\SERVIDOR", nullptr, SC_MANAGER_CONNECT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_TRUE(ScHandle(OpenSCManagerA(nullptr, "servicesactive", SC_MANAGER_CONNECT)));
#endif
    SetLastError(kSentinel);
    EXPECT_FALSE(OpenSCManagerA(nullptr, SERVICES_FAILED_DATABASEA, SC_MANAGER_CONNECT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DATABASE_DOES_NOT_EXIST));
    SetLastError(kSentinel);
    EXPECT_FALSE(OpenSCManagerA(nullptr, "Otra", SC_MANAGER_CONNECT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(ServiceTest, MissingServicesAndBadNames)
{
    // A key of the tree without a service type is no service.
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\Sin tipo", "DisplayName", "x");
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\Tipo malo", "Type", 0x40);
    ScHandle manager = OpenManager();
    struct Case
    {
        const char *name;
        DWORD error;
    } cases[] = {
        {"NoExiste", ERROR_SERVICE_DOES_NOT_EXIST},
        {"Sin tipo", ERROR_SERVICE_DOES_NOT_EXIST},
        {"Tipo malo", ERROR_SERVICE_DOES_NOT_EXIST},
        {"Cliente DHCP", ERROR_SERVICE_DOES_NOT_EXIST}, // a display name is not a service name
#ifndef _WIN32
        {"", ERROR_INVALID_NAME}, // the simulated PC's answer: Windows documents none
#endif
        {"Dhcp\\Parameters", ERROR_INVALID_NAME},
        {"Dhcp/x", ERROR_INVALID_NAME},
        {nullptr, ERROR_INVALID_ADDRESS},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.name ? c.name : "(null)");
        SetLastError(kSentinel);
        EXPECT_FALSE(OpenServiceA(manager.get(), c.name, SERVICE_QUERY_STATUS));
        EXPECT_EQ(GetLastError(), c.error);
    }
    SetLastError(kSentinel);
    EXPECT_FALSE(OpenServiceA(manager.get(), std::string(257, 'a').c_str(), SERVICE_QUERY_STATUS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));

#ifndef _WIN32
    // The key goes while the simulated manager's service is open: Windows' manager keeps its
    // database in memory.
    ScHandle service = OpenDhcp(manager.get(), SERVICE_ALL_ACCESS);
    ASSERT_TRUE(service);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDhcpKey), ERROR_SUCCESS);
    SERVICE_STATUS status{};
    SetLastError(kSentinel);
    EXPECT_FALSE(QueryServiceStatus(service.get(), &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetStart(service.get(), SERVICE_AUTO_START));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
#endif
}

#ifndef _WIN32
// Windows' service handles are RPC context handles: what it does with a handle of another kind is
// undefined. The simulated PC refuses them.
TEST_F(ServiceTest, BadHandles)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager);
    SC_HANDLE service = OpenServiceA(manager, "Dhcp", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(service);
    SC_LOCK lock = LockServiceDatabase(manager);
    ASSERT_TRUE(lock);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SERVICE_STATUS status{};

    auto expectError = [](BOOL ok, DWORD error) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(GetLastError(), error);
        SetLastError(kSentinel);
    };
    SetLastError(kSentinel);
    expectError(CloseServiceHandle(nullptr), ERROR_INVALID_HANDLE);
    expectError(CloseServiceHandle(static_cast<SC_HANDLE>(event)), ERROR_INVALID_HANDLE);
    expectError(CloseServiceHandle(static_cast<SC_HANDLE>(lock)), ERROR_INVALID_HANDLE);
    expectError(CloseHandle(manager), ERROR_INVALID_HANDLE);
    expectError(OpenServiceA(service, "Dhcp", SERVICE_QUERY_STATUS) != nullptr, ERROR_INVALID_HANDLE);
    expectError(QueryServiceStatus(manager, &status), ERROR_INVALID_HANDLE);
    expectError(SetStart(manager, SERVICE_AUTO_START), ERROR_INVALID_HANDLE);
    expectError(LockServiceDatabase(service) != nullptr, ERROR_INVALID_HANDLE);
    expectError(LockServiceDatabase(nullptr) != nullptr, ERROR_INVALID_HANDLE);
    expectError(UnlockServiceDatabase(manager), ERROR_INVALID_SERVICE_LOCK);
    expectError(UnlockServiceDatabase(nullptr), ERROR_INVALID_SERVICE_LOCK);

    // The refused closes left everything open.
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    expectError(LockServiceDatabase(manager) != nullptr, ERROR_SERVICE_DATABASE_LOCKED);

    EXPECT_TRUE(UnlockServiceDatabase(lock));
    expectError(UnlockServiceDatabase(lock), ERROR_INVALID_SERVICE_LOCK);
    // A service outlives its manager.
    EXPECT_TRUE(CloseServiceHandle(manager));
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    expectError(CloseServiceHandle(manager), ERROR_INVALID_HANDLE);
    expectError(OpenServiceA(manager, "Dhcp", SERVICE_QUERY_STATUS) != nullptr, ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseServiceHandle(service));
    expectError(QueryServiceStatus(service, &status), ERROR_INVALID_HANDLE);
    CloseHandle(event);
}
#endif

TEST_F(ServiceTest, LockHeldByAnotherProcessRefusesLockAndChangeUntilItDies)
{
    kittest::Child holder(kChild, {"lock"});
    ASSERT_EQ(holder.ReadLine(), "locked");

    const auto before = KeyValues(kDhcpKey);
    ScHandle manager = OpenManager();
    SetLastError(kSentinel);
    EXPECT_FALSE(LockServiceDatabase(manager.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DATABASE_LOCKED));
    ScHandle service = OpenDhcp(manager.get(), SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS);
    ASSERT_TRUE(service);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetStart(service.get(), SERVICE_AUTO_START));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DATABASE_LOCKED));
    EXPECT_EQ(KeyValues(kDhcpKey), before);
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(service.get(), &status)); // the lock only guards changes

    holder.Kill();
    SetLastError(kSentinel);
    ScLock lock(LockServiceDatabase(manager.get()));
    EXPECT_TRUE(lock) << GetLastError();
    EXPECT_TRUE(SetStart(service.get(), SERVICE_AUTO_START)) << GetLastError();
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "Start"), SERVICE_AUTO_START);
}

// A child's output with its line ends as "\n" (a Windows program writes "\r\n").
std::string Lines(std::string text)
{
    std::erase(text, '\r');
    return text;
}

TEST_F(ServiceTest, OnlyTheHolderChangesWhileLocked)
{
    ScHandle manager = OpenManager();
    ScLock lock(LockServiceDatabase(manager.get()));
    ASSERT_TRUE(lock);
    EXPECT_EQ(kittest::Run(kChild, {"change", "Dhcp", "2"}), 1);
    std::string output;
    kittest::Run(kChild, {"change", "Dhcp", "2"}, &output);
    EXPECT_EQ(Lines(output), "error 1055\n");
    kittest::Child locker(kChild, {"lock"}); // holds on if it gets the lock
    EXPECT_EQ(locker.ReadLine(), "error 1055");
    locker.Kill();
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "Start"), SERVICE_DEMAND_START);

    ScHandle service = OpenDhcp(manager.get(), SERVICE_CHANGE_CONFIG);
    EXPECT_TRUE(SetStart(service.get(), SERVICE_DISABLED));
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "Start"), SERVICE_DISABLED);

    // Unlocked: anyone may change again.
    lock.reset();
    kittest::Run(kChild, {"change", "Dhcp", "2"}, &output);
    EXPECT_EQ(Lines(output), "ok\n");
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kDhcpKey, "Start"), SERVICE_AUTO_START);
}
} // namespace
