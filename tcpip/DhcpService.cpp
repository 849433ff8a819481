// The DHCP client service set to start with Windows, for an adapter that takes its address from
// DHCP (NT 4, 2000 and XP).
#include "tcpip/TcpipRegistry.h"

namespace tcpipreg
{
bool SetDhcpServiceAutomatic()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return false;
    bool bDone = false;
    if (SC_LOCK lock = LockServiceDatabase(manager))
    {
        if (SC_HANDLE service = OpenServiceA(manager, "DHCP", SERVICE_CHANGE_CONFIG))
        {
            // What the change itself gives is not looked at: the service is there and was asked.
            ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            CloseServiceHandle(service);
            bDone = true;
        }
        UnlockServiceDatabase(lock);
    }
    CloseServiceHandle(manager);
    return bDone;
}
} // namespace tcpipreg
