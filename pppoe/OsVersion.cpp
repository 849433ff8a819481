#include "pppoe/OsVersion.h"

namespace
{
constexpr char kWinPoetService[] = "WinPPPoverEthernet";

// The 9x detail bits: which of the family.
DWORD NineXDetail(const OSVERSIONINFOA &info)
{
    if (info.dwMinorVersion >= 90)
        return 0x0008; // Me
    if (info.dwMinorVersion >= 10)
        return 0x0004; // 98
    return 0x0002;     // 95
}

class CServiceHandle
{
  public:
    explicit CServiceHandle(SC_HANDLE handle) : m_handle(handle) {}
    ~CServiceHandle()
    {
        if (m_handle)
            CloseServiceHandle(m_handle);
    }
    CServiceHandle(const CServiceHandle &) = delete;
    CServiceHandle &operator=(const CServiceHandle &) = delete;
    SC_HANDLE Get() const { return m_handle; }

  private:
    SC_HANDLE m_handle;
};
} // namespace

HRESULT GetOSVersion(DWORD &dwFlags)
{
    dwFlags = 0;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
    {
        const DWORD dwError = GetLastError();
        return dwError ? HRESULT_FROM_WIN32(dwError) : 0;
    }
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        dwFlags = OSV_WIN9X | NineXDetail(info);
    else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT)
    {
        dwFlags = OSV_NT;
        if (info.dwMajorVersion == 4)
            dwFlags |= OSV_NT4;
        else if (info.dwMajorVersion == 5)
            dwFlags |= info.dwMinorVersion == 0 ? OSV_WIN2000 : OSV_WINXP;
    }
    return 0;
}

HRESULT WinPoetServiceRunning(LONG &bRunning)
{
    bRunning = FALSE;
    CServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager.Get())
        return E_FAIL;
    CServiceHandle service(OpenServiceA(manager.Get(), kWinPoetService, SERVICE_ALL_ACCESS));
    if (!service.Get())
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? S_OK : E_FAIL;
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.Get(), &status))
        return E_FAIL;
    bRunning = status.dwCurrentState == SERVICE_RUNNING ? TRUE : FALSE;
    return S_OK;
}
