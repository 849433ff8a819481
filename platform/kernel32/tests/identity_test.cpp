// Who the PC is: version, languages, names, the user's token and privileges, session end, time.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstring>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

// Most of who the PC is comes from the simulated PC's machine.ini, which a test sets: the Windows
// build keeps the checks that hold for whatever Windows runs them.
namespace
{
#ifndef _WIN32
void MakePc(kitpc::WindowsFamily family, bool admin = true, LANGID lang = 0x0C0A)
{
    kitpc::MachineOptions options;
    options.os = family;
    options.admin = admin;
    options.lang = lang;
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
}

std::string PowerLog()
{
    return kittest::ReadHostFile(kittest::MachineDir() + "/power.log", "");
}
#endif

// A SID made with AllocateAndInitializeSid, freed on scope exit.
class Sid
{
  public:
    Sid(BYTE authority, std::vector<DWORD> subs)
    {
        SID_IDENTIFIER_AUTHORITY id{{0, 0, 0, 0, 0, authority}};
        const BYTE count = static_cast<BYTE>(subs.size());
        subs.resize(8);
        EXPECT_TRUE(AllocateAndInitializeSid(&id, count, subs[0], subs[1], subs[2], subs[3], subs[4], subs[5],
                                             subs[6], subs[7], &sid_));
    }
    ~Sid() { FreeSid(sid_); }
    Sid(const Sid &) = delete;
    Sid &operator=(const Sid &) = delete;
    PSID Get() const { return sid_; }

  private:
    PSID sid_ = nullptr;
};

HANDLE OpenToken(DWORD access)
{
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
    return token;
}

#ifndef _WIN32
// The attributes of a group in the token, or -1 when absent.
long long GroupAttributes(const TOKEN_GROUPS *groups, PSID sid)
{
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (EqualSid(groups->Groups[i].Sid, sid))
            return groups->Groups[i].Attributes;
    return -1;
}
#endif

struct TokenBuffer
{
    alignas(8) BYTE bytes[2048];
};

LUID ShutdownLuid()
{
    LUID luid{};
    EXPECT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid));
    return luid;
}

BOOL EnablePrivilege(HANDLE token, LUID luid, DWORD attributes, TOKEN_PRIVILEGES *previous = nullptr,
                     DWORD previousSize = 0, DWORD *returned = nullptr)
{
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = attributes;
    return AdjustTokenPrivileges(token, FALSE, &privileges, previousSize, previous, returned);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Version

#ifndef _WIN32
TEST(Version, ReportedPerFamily)
{
    struct Case
    {
        kitpc::WindowsFamily family;
        DWORD platform, major, minor, build;
        const char *csd;
        DWORD packed;
        bool extended;
    };
    using F = kitpc::WindowsFamily;
    const Case cases[] = {
        {F::Win95, 1, 4, 0, 0x040003B6, "", 0xC0000004, false},
        {F::Win98, 1, 4, 10, 0x040A07CE, " ", 0xC0000A04, false},
        {F::Win98SE, 1, 4, 10, 0x040A08AE, " A ", 0xC0000A04, false},
        {F::WinMe, 1, 4, 90, 0x045A0BB8, " ", 0xC0005A04, false},
        {F::NT4, 2, 4, 0, 1381, "Service Pack 6", 0x05650004, true},
        {F::Win2000, 2, 5, 0, 2195, "Service Pack 4", 0x08930005, true},
        {F::XP, 2, 5, 1, 2600, "Service Pack 2", 0x0A280105, true},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(kitpc::FamilyName(c.family));
        MakePc(c.family);
        OSVERSIONINFOA info;
        std::memset(&info, 0xCC, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(info.dwPlatformId, c.platform);
        EXPECT_EQ(info.dwMajorVersion, c.major);
        EXPECT_EQ(info.dwMinorVersion, c.minor);
        EXPECT_EQ(info.dwBuildNumber, c.build);
        EXPECT_STREQ(info.szCSDVersion, c.csd);
        EXPECT_EQ(GetVersion(), c.packed);

        OSVERSIONINFOEXA ex;
        std::memset(&ex, 0xCC, sizeof ex);
        ex.dwOSVersionInfoSize = sizeof ex;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&ex)), c.extended ? TRUE : FALSE);
        if (c.extended)
        {
            EXPECT_EQ(ex.dwMajorVersion, c.major);
            EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
            EXPECT_EQ(ex.wServicePackMinor, 0);
        }
        else
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
}

TEST(Version, ExtendedInfoOnlyFromNt4ServicePack6)
{
    MakePc(kitpc::WindowsFamily::NT4);
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&ex)));
    EXPECT_EQ(ex.wServicePackMajor, 6);
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "ServicePackMajor", "5"));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "CSDVersion", "Service Pack 5"));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&ex)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 5");
}

#endif

TEST(Version, OtherSizesAreRefused)
{
    for (DWORD size : {0u, 1u, 147u, 149u, 155u, 157u, 276u})
    {
        OSVERSIONINFOEXA ex[2];
        std::memset(ex, 0xCC, sizeof ex);
        ex[0].dwOSVersionInfoSize = size;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(ex))) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
        EXPECT_EQ(ex[0].dwMajorVersion, 0xCCCCCCCCu) << size; // untouched
    }
}

// ---------------------------------------------------------------------------------------------
// Languages and names

#ifndef _WIN32
TEST(Identity, LanguagesAndCodePage)
{
    EXPECT_EQ(GetUserDefaultLangID(), 0x0C0A);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0C0A);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0C0Au);
    EXPECT_EQ(GetACP(), 1252u);
    ASSERT_TRUE(kitpc::SetIdentityValue("Locale", "UserLangID", "0x0409"));
    EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0C0Au);
}

#endif

TEST(Identity, ComputerNameBufferRules)
{
#ifdef _WIN32
    char own[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD ownSize = sizeof own;
    ASSERT_TRUE(GetComputerNameA(own, &ownSize));
    const std::string name = own;
#else
    ASSERT_TRUE(kitpc::SetIdentityValue("Computer", "Name", "Pc-Casa"));
    const std::string name = "PC-CASA"; // NetBIOS names are upper case
#endif
    ASSERT_GT(name.size(), 1u);
    const DWORD needed = static_cast<DWORD>(name.size() + 1);
    char buffer[MAX_COMPUTERNAME_LENGTH + 2];
    DWORD size = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetComputerNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, needed);
    size = needed - 1;
    EXPECT_FALSE(GetComputerNameA(buffer, &size));
    EXPECT_EQ(size, needed);
    std::memset(buffer, 'x', sizeof buffer);
    size = needed;
    ASSERT_TRUE(GetComputerNameA(buffer, &size));
    EXPECT_EQ(size, needed - 1);
    EXPECT_EQ(std::string(buffer), name);
    EXPECT_EQ(buffer[needed], 'x');
}

TEST(Identity, UserNameBufferRules)
{
#ifdef _WIN32
    char own[256];
    DWORD ownSize = sizeof own;
    ASSERT_TRUE(GetUserNameA(own, &ownSize));
    const std::string name = own;
#else
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Name", "María"));
    const std::string name = "María";
#endif
    ASSERT_GT(name.size(), 1u);
    const DWORD needed = static_cast<DWORD>(name.size() + 1);
    char buffer[256];
    DWORD size = needed - 1;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetUserNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, needed);
    size = sizeof buffer;
    ASSERT_TRUE(GetUserNameA(buffer, &size));
    EXPECT_EQ(size, needed); // counts the terminator
    EXPECT_EQ(std::string(buffer), name);
}

// ---------------------------------------------------------------------------------------------
// Security

#ifndef _WIN32
TEST(Security, NoTokenOn9x)
{
    MakePc(kitpc::WindowsFamily::Win98);
    HANDLE token = reinterpret_cast<HANDLE>(0x1234);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    LUID luid;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

TEST(Security, TokenGroupsOfAnAdministratorAndOfAUser)
{
    const Sid everyone(1, {SECURITY_WORLD_RID});
    const Sid users(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS});
    const Sid admins(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
    const Sid interactive(5, {SECURITY_INTERACTIVE_RID});
    const Sid authenticated(5, {SECURITY_AUTHENTICATED_USER_RID});
    for (bool admin : {true, false})
    {
        SCOPED_TRACE(admin ? "administrator" : "user");
        MakePc(kitpc::WindowsFamily::XP, admin);
        HANDLE token = OpenToken(TOKEN_QUERY);
        DWORD needed = 0;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        ASSERT_GT(needed, sizeof(TOKEN_GROUPS));
        ASSERT_LT(needed, sizeof(TokenBuffer) - 16);

        TokenBuffer buffer;
        std::memset(buffer.bytes, 0xAB, sizeof buffer.bytes);
        DWORD returned = 0;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetTokenInformation(token, TokenGroups, buffer.bytes, needed - 1, &returned));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(returned, needed);
        ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.bytes, needed, &returned));
        EXPECT_EQ(returned, needed);
        EXPECT_EQ(buffer.bytes[needed], 0xAB); // nothing written past the size

        auto *groups = reinterpret_cast<const TOKEN_GROUPS *>(buffer.bytes);
        for (DWORD i = 0; i < groups->GroupCount; ++i)
        {
            // Every SID lies in the same buffer, after the array.
            auto *sid = static_cast<const BYTE *>(groups->Groups[i].Sid);
            EXPECT_GE(sid, reinterpret_cast<const BYTE *>(&groups->Groups[groups->GroupCount]));
            EXPECT_LE(sid + GetLengthSid(groups->Groups[i].Sid), buffer.bytes + needed);
            EXPECT_TRUE(IsValidSid(groups->Groups[i].Sid));
        }
        for (PSID sid : {everyone.Get(), users.Get(), interactive.Get(), authenticated.Get()})
        {
            long long attributes = GroupAttributes(groups, sid);
            ASSERT_NE(attributes, -1);
            EXPECT_TRUE(attributes & SE_GROUP_ENABLED);
        }
        const long long adminAttributes = GroupAttributes(groups, admins.Get());
        if (admin)
            EXPECT_TRUE(adminAttributes != -1 && (adminAttributes & SE_GROUP_ENABLED));
        else
            EXPECT_EQ(adminAttributes, -1);
        EXPECT_TRUE(CloseHandle(token));
    }
}

#endif

TEST(Security, TokenUserAndAccessRights)
{
    HANDLE token = OpenToken(TOKEN_QUERY);
    TokenBuffer buffer;
    DWORD returned = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer.bytes, sizeof buffer.bytes, &returned));
    auto *user = reinterpret_cast<const TOKEN_USER *>(buffer.bytes);
    EXPECT_TRUE(IsValidSid(user->User.Sid));
    EXPECT_EQ(returned, sizeof(TOKEN_USER) + GetLengthSid(user->User.Sid));
    EXPECT_EQ(*GetSidSubAuthorityCount(user->User.Sid), 5);
    EXPECT_EQ(*GetSidSubAuthority(user->User.Sid, 0), SECURITY_NT_NON_UNIQUE);

    // Adjusting needs TOKEN_ADJUST_PRIVILEGES.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnablePrivilege(token, ShutdownLuid(), SE_PRIVILEGE_ENABLED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(token);

    HANDLE adjustOnly = OpenToken(TOKEN_ADJUST_PRIVILEGES);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetTokenInformation(adjustOnly, TokenUser, buffer.bytes, sizeof buffer.bytes, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(adjustOnly);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        GetTokenInformation(token, TokenUser, buffer.bytes, sizeof buffer.bytes, &returned)); // closed
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Security, SidFunctions)
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 1, 2, 3, 4, 5, 6, 7, 8, &sid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &sid));
    EXPECT_TRUE(IsValidSid(sid));
    EXPECT_EQ(GetLengthSid(sid), 16u);
    EXPECT_EQ(GetSidIdentifierAuthority(sid)->Value[5], 5);
    PSID same = nullptr, other = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 9, 9, 9, 9, 9, 9, &same)); // unused ones ignored
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 545, 0, 0, 0, 0, 0, 0, &other));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(EqualSid(sid, same));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EqualSid(sid, other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(FreeSid(sid), nullptr);
    FreeSid(same);
    FreeSid(other);
}

TEST(Security, PrivilegeNames)
{
    struct Case
    {
        const char *name;
        DWORD luid;
    };
    const Case cases[] = {{SE_SHUTDOWN_NAME, 19},   {"seshutdownprivilege", 19},  {SE_DEBUG_NAME, 20},
                          {SE_BACKUP_NAME, 17},     {SE_RESTORE_NAME, 18},        {SE_CHANGE_NOTIFY_NAME, 23},
                          {SE_SYSTEMTIME_NAME, 12}, {SE_REMOTE_SHUTDOWN_NAME, 24}};
    for (const Case &c : cases)
    {
        LUID luid{0xdead, 0xbeef};
        EXPECT_TRUE(LookupPrivilegeValueA(nullptr, c.name, &luid)) << c.name;
        EXPECT_EQ(luid.LowPart, c.luid) << c.name;
        EXPECT_EQ(luid.HighPart, 0) << c.name;
    }
    LUID luid;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
    EXPECT_TRUE(LookupPrivilegeValueA("", SE_SHUTDOWN_NAME, &luid));
}

#ifndef _WIN32
TEST(Security, PrivilegesHeldAndEnabled)
{
    MakePc(kitpc::WindowsFamily::XP, false);
    HANDLE token = OpenToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    LUID debug{};
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &debug));

    // A user does not hold SeDebugPrivilege: TRUE, but not all assigned.
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(EnablePrivilege(token, debug, SE_PRIVILEGE_ENABLED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));

    // A previous state too small changes nothing.
    TOKEN_PRIVILEGES previous{};
    DWORD returned = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnablePrivilege(token, ShutdownLuid(), SE_PRIVILEGE_ENABLED, &previous, 2, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, sizeof(TOKEN_PRIVILEGES));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));

    // Enabling SeShutdownPrivilege, which users hold: the previous state says it was off.
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(
        EnablePrivilege(token, ShutdownLuid(), SE_PRIVILEGE_ENABLED, &previous, sizeof previous, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(previous.PrivilegeCount, 1u);
    EXPECT_EQ(previous.Privileges[0].Luid.LowPart, 19u);
    EXPECT_EQ(previous.Privileges[0].Attributes, 0u);
    // Already enabled: nothing changes, so nothing is reported.
    EXPECT_TRUE(
        EnablePrivilege(token, ShutdownLuid(), SE_PRIVILEGE_ENABLED, &previous, sizeof previous, &returned));
    EXPECT_EQ(previous.PrivilegeCount, 0u);

    // The state belongs to the process: a second token sees it.
    HANDLE second = OpenToken(TOKEN_QUERY);
    TokenBuffer buffer;
    ASSERT_TRUE(GetTokenInformation(second, TokenPrivileges, buffer.bytes, sizeof buffer.bytes, &returned));
    auto *privileges = reinterpret_cast<const TOKEN_PRIVILEGES *>(buffer.bytes);
    bool enabled = false;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        if (privileges->Privileges[i].Luid.LowPart == 19)
            enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    EXPECT_TRUE(enabled);

    // Disabling all of them turns it off again.
    EXPECT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ExitWindowsEx(EWX_SHUTDOWN, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
    CloseHandle(second);
    CloseHandle(token);
}

TEST(Security, AdministratorsHoldMorePrivileges)
{
    MakePc(kitpc::WindowsFamily::XP, true);
    HANDLE token = OpenToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    for (const char *name : {SE_DEBUG_NAME, SE_BACKUP_NAME, SE_SYSTEMTIME_NAME, SE_SHUTDOWN_NAME})
    {
        LUID luid{};
        ASSERT_TRUE(LookupPrivilegeValueA(nullptr, name, &luid));
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(EnablePrivilege(token, luid, SE_PRIVILEGE_ENABLED)) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << name;
    }
    CloseHandle(token);
}

// ---------------------------------------------------------------------------------------------
// Ending the session

TEST(Power, ShutdownNeedsThePrivilegeOnNt)
{
    MakePc(kitpc::WindowsFamily::XP);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_EQ(PowerLog(), "");

    EXPECT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0)); // logging off needs none

    HANDLE token = OpenToken(TOKEN_ADJUST_PRIVILEGES);
    ASSERT_TRUE(EnablePrivilege(token, ShutdownLuid(), SE_PRIVILEGE_ENABLED));
    CloseHandle(token);
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0x00040002));
    EXPECT_TRUE(ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, 0));

    const std::string pid = std::to_string(getpid());
    const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d (\\w+) flags=(0x[0-9A-F]{8}) "
                          "reason=(0x[0-9A-F]{8}) pid=(\\d+) program=(\\S+)");
    std::istringstream log(PowerLog());
    std::string text;
    const char *expected[][3] = {{"logoff", "0x00000000", "0x00000000"},
                                 {"reboot", "0x00000006", "0x00040002"},
                                 {"poweroff", "0x00000009", "0x00000000"}};
    for (const auto &want : expected)
    {
        ASSERT_TRUE(std::getline(log, text));
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        EXPECT_EQ(match[1], want[0]);
        EXPECT_EQ(match[2], want[1]);
        EXPECT_EQ(match[3], want[2]);
        EXPECT_EQ(match[4], pid);
        EXPECT_EQ(match[5], "platform_identity_test");
    }
    EXPECT_FALSE(std::getline(log, text));
}

TEST(Power, NineXChecksNothing)
{
    MakePc(kitpc::WindowsFamily::WinMe);
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_NE(PowerLog().find(" reboot flags=0x00000002 "), std::string::npos);
}

#endif

// ---------------------------------------------------------------------------------------------
// Time

TEST(Time, SystemAndLocalTime)
{
    const std::time_t before = std::time(nullptr);
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    GetLocalTime(&local);
    const std::time_t after = std::time(nullptr);
    std::tm tm = *std::gmtime(&before);
    std::tm tmAfter = *std::gmtime(&after);
    EXPECT_TRUE(utc.wYear == tm.tm_year + 1900 || utc.wYear == tmAfter.tm_year + 1900);
    EXPECT_TRUE(utc.wDayOfWeek == tm.tm_wday || utc.wDayOfWeek == tmAfter.tm_wday);
    EXPECT_GE(utc.wMonth, 1);
    EXPECT_LE(utc.wMonth, 12);
    EXPECT_LT(utc.wMilliseconds, 1000);
    tm = *std::localtime(&before);
    tmAfter = *std::localtime(&after);
    EXPECT_TRUE(local.wHour == tm.tm_hour || local.wHour == tmAfter.tm_hour);
    EXPECT_TRUE(local.wDay == tm.tm_mday || local.wDay == tmAfter.tm_mday);
}

#ifndef _WIN32
// The simulated PC started with the host.
TEST(Time, TickCountIsTheTimeSinceStart)
{
    const DWORD first = GetTickCount();
    double uptime = 0;
    std::ifstream("/proc/uptime") >> uptime;
    const DWORD second = GetTickCount();
    EXPECT_LE(first, second);
    const DWORD expected = static_cast<DWORD>(static_cast<unsigned long long>(uptime * 1000.0));
    EXPECT_LT(static_cast<DWORD>(second - expected + 2000), 4000u) << second << " " << expected;
}
#endif
