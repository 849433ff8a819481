// The running state of the PC's services, as the PC's tools set it. The services themselves are
// registry keys (HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\<name> with a "Type" value);
// whether each one runs is kept in $KIT_MACHINE/services.ini, section [State], one line
// "<name>=running" or "<name>=stopped" per service. A service without a line runs when it
// starts at boot, with the system or automatically, and is stopped otherwise.
#pragma once

#include <string>
#include <string_view>

namespace kitpc
{
enum class ServiceState
{
    Default, // no line: the start type decides
    Running,
    Stopped,
};

// The file holding the states ($KIT_MACHINE/services.ini).
std::string ServiceStatePath();

// Records the state of a service (Default removes its line); false when the file cannot be written.
bool SetServiceState(std::string_view service, ServiceState state);
} // namespace kitpc
