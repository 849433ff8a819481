// The DHCP client service's start type.
#include "tcpip/TcpipRegistry.h"

namespace tcpipreg
{
// Filled in with the service manager.
bool SetDhcpServiceAutomatic()
{
    return true;
}
} // namespace tcpipreg
