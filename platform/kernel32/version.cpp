// Who the PC is: Windows version, languages, code page and computer name (machine.ini).
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{
constexpr WORD kSuiteSingleUserTerminalServer = 0x0100; // what XP Professional reports
constexpr UINT kAnsiCodePage = 1252;

// Whether this Windows knows OSVERSIONINFOEX: NT 4.0 from Service Pack 6, and 2000 and XP.
bool KnowsExtendedVersionInfo(const kitpc::Identity &id)
{
    if (id.platformId != VER_PLATFORM_WIN32_NT)
        return false;
    return id.majorVersion > 4 || id.servicePackMajor >= 6;
}

} // namespace

// GetVersionExA: the PC's version from machine.ini. dwOSVersionInfoSize must be
// sizeof(OSVERSIONINFOA) or, where Windows knows it (NT 4.0 SP6, 2000, XP), sizeof(OSVERSIONINFOEXA);
// anything else fails with ERROR_INSUFFICIENT_BUFFER as Windows does. The EX form reports a
// workstation, and on XP the single-user terminal server suite.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    if (!lpVersionInformation)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    const kitpc::Identity id = kitpc::ReadIdentity();
    const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    const bool extended = size == sizeof(OSVERSIONINFOEXA) && KnowsExtendedVersionInfo(id);
    if (size != sizeof(OSVERSIONINFOA) && !extended)
        return plat::Fail(ERROR_INSUFFICIENT_BUFFER);

    OSVERSIONINFOA &info = *lpVersionInformation;
    info.dwMajorVersion = id.majorVersion;
    info.dwMinorVersion = id.minorVersion;
    info.dwBuildNumber = id.buildNumber;
    info.dwPlatformId = id.platformId;
    std::memset(info.szCSDVersion, 0, sizeof info.szCSDVersion);
    id.csdVersion.copy(info.szCSDVersion, std::min(id.csdVersion.size(), sizeof info.szCSDVersion - 1));
    if (extended)
    {
        auto &ex = reinterpret_cast<OSVERSIONINFOEXA &>(info);
        ex.wServicePackMajor = id.servicePackMajor;
        ex.wServicePackMinor = 0;
        ex.wSuiteMask = id.family == kitpc::WindowsFamily::XP ? kSuiteSingleUserTerminalServer : 0;
        ex.wProductType = VER_NT_WORKSTATION;
        ex.wReserved = 0;
    }
    return TRUE;
}

// GetVersion: major version in the low byte, minor in the next, and on NT the build number in
// the high word; on 95/98/Me the high bits are set (0xC000) as those systems report.
DWORD WINAPI GetVersion()
{
    const kitpc::Identity id = kitpc::ReadIdentity();
    const DWORD version = (id.majorVersion & 0xFF) | ((id.minorVersion & 0xFF) << 8);
    if (id.platformId != VER_PLATFORM_WIN32_NT)
        return version | 0xC0000000u;
    return version | ((id.buildNumber & 0x7FFF) << 16);
}

// GetUserDefaultLangID: the user's language from machine.ini.
LANGID WINAPI GetUserDefaultLangID()
{
    return kitpc::ReadIdentity().userLangId;
}

// GetSystemDefaultLangID: the system's language from machine.ini.
LANGID WINAPI GetSystemDefaultLangID()
{
    return kitpc::ReadIdentity().systemLangId;
}

// GetUserDefaultLCID: the user's language with the default sort order.
LCID WINAPI GetUserDefaultLCID()
{
    return GetUserDefaultLangID();
}

// GetSystemDefaultLCID: the system's language with the default sort order.
LCID WINAPI GetSystemDefaultLCID()
{
    return GetSystemDefaultLangID();
}

// GetACP: the ANSI code page, always Windows-1252 (the kit's narrow strings).
UINT WINAPI GetACP()
{
    return kAnsiCodePage;
}

// GetComputerNameA: the NetBIOS name from machine.ini, upper-cased and cut to
// MAX_COMPUTERNAME_LENGTH as Windows keeps it. *nSize is the buffer's size; on success the length
// copied without the terminator; too small: ERROR_BUFFER_OVERFLOW and the size needed with it.
BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize)
{
    std::string name = plat::Upper1252(kitpc::ReadIdentity().computerName);
    if (name.size() > MAX_COMPUTERNAME_LENGTH)
        name.resize(MAX_COMPUTERNAME_LENGTH);
    return plat::CopyNameOut(name, lpBuffer, nSize, ERROR_BUFFER_OVERFLOW, false);
}
