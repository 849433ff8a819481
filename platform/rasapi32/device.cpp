// RAS devices: the WAN miniports and modems of 2000/XP, the TAPI devices RAS uses on NT 4 and the
// modems of 9x, read from the registry where Windows keeps them.
#include "platform/rasapi32/rasapi32.h"
#include "platform/core/text.h"

#include <cstring>

namespace
{
using plat::ras::Device;
using plat::ras::RegKey;

constexpr char kNtNetClass[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr char kNtModemClass[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
constexpr char kNt4TapiDevices[] = "SOFTWARE\\Microsoft\\RAS\\TAPI DEVICES";
constexpr char k9xModemClass[] = "System\\CurrentControlSet\\Services\\Class\\Modem";
constexpr char kEnum[] = "SYSTEM\\CurrentControlSet\\Enum\\";
constexpr DWORD kConfigFlagDisabled = 0x1;

// A WAN miniport's RAS device type by its component.
const char *MiniportType(const std::string &componentId)
{
    if (plat::EqualNoCase(componentId, "ms_pptpminiport") ||
        plat::EqualNoCase(componentId, "ms_l2tpminiport"))
        return RASDT_Vpn;
    if (plat::EqualNoCase(componentId, "ms_ptiminiport"))
        return "parallel";
    return RASDT_PPPoE;
}

// The miniport's port as XP names it ("PPPoE5-0", "VPN2-0").
std::string MiniportPort(const char *type, const std::string &subkey)
{
    const std::string prefix = std::strcmp(type, RASDT_Vpn) == 0     ? "VPN"
                               : std::strcmp(type, RASDT_PPPoE) == 0 ? "PPPoE"
                                                                     : "LPT";
    return prefix + std::to_string(std::atoi(subkey.c_str())) + "-0";
}

bool DeviceEnabled(const std::string &deviceInstance)
{
    RegKey key;
    if (deviceInstance.empty() || key.Open(HKEY_LOCAL_MACHINE, kEnum + deviceInstance) != ERROR_SUCCESS)
        return false;
    const std::string flags = key.Bytes("ConfigFlags", REG_DWORD).value_or(std::string(4, '\0'));
    DWORD value = 0;
    std::memcpy(&value, flags.data(), std::min<size_t>(flags.size(), sizeof value));
    return !(value & kConfigFlagDisabled);
}

void AddWanMiniports(std::vector<Device> &devices)
{
    RegKey netClass;
    if (netClass.Open(HKEY_LOCAL_MACHINE, kNtNetClass) != ERROR_SUCCESS)
        return;
    for (const std::string &subkey : netClass.SubKeys())
    {
        RegKey component, interfaces;
        if (component.Open(netClass.Get(), subkey) != ERROR_SUCCESS ||
            interfaces.Open(component.Get(), "Ndi\\Interfaces") != ERROR_SUCCESS ||
            !plat::EqualNoCase(interfaces.String("UpperRange"), "ndiswan") ||
            !DeviceEnabled(component.String("DeviceInstanceID")))
            continue;
        const char *type = MiniportType(component.String("ComponentId"));
        devices.push_back({type, component.String("DriverDesc"), MiniportPort(type, subkey)});
    }
}

void AddModems(std::vector<Device> &devices, const char *classPath, bool friendlyName)
{
    RegKey modemClass;
    if (modemClass.Open(HKEY_LOCAL_MACHINE, classPath) != ERROR_SUCCESS)
        return;
    for (const std::string &subkey : modemClass.SubKeys())
    {
        RegKey modem;
        if (modem.Open(modemClass.Get(), subkey) != ERROR_SUCCESS)
            continue;
        std::string name = friendlyName ? modem.String("FriendlyName") : "";
        if (name.empty())
            name = modem.String("DriverDesc");
        std::string port = modem.String("AttachedTo");
        devices.push_back({RASDT_Modem, name, port.empty() ? name : port});
    }
}

void AddTapiDevices(std::vector<Device> &devices)
{
    RegKey tapi;
    if (tapi.Open(HKEY_LOCAL_MACHINE, kNt4TapiDevices) != ERROR_SUCCESS)
        return;
    for (const std::string &provider : tapi.SubKeys())
    {
        RegKey key;
        if (key.Open(tapi.Get(), provider) != ERROR_SUCCESS)
            continue;
        const std::vector<std::string> ports = key.MultiString("Address");
        const std::vector<std::string> names = key.MultiString("Friendly Name");
        for (size_t i = 0; i < names.size(); ++i)
            devices.push_back({RASDT_Modem, names[i], i < ports.size() ? ports[i] : names[i]});
    }
}
} // namespace

namespace plat::ras
{
std::vector<Device> ListDevices()
{
    const Version version = CurrentVersion();
    std::vector<Device> devices;
    if (version.win2000OrLater)
    {
        AddWanMiniports(devices);
        AddModems(devices, kNtModemClass, true);
    }
    else if (version.nt)
        AddTapiDevices(devices);
    else
        AddModems(devices, k9xModemClass, false);
    return devices;
}
} // namespace plat::ras

// RasEnumDevicesA: the PC's RAS devices (see device.cpp's opening). A buffer too small (or NULL)
// gives ERROR_BUFFER_TOO_SMALL with the bytes and the count needed; a first record whose dwSize
// is not sizeof(RASDEVINFOA) gives ERROR_INVALID_USER_BUFFER, as documented.
DWORD WINAPI RasEnumDevicesA(LPRASDEVINFOA lpRasDevInfo, LPDWORD lpcb, LPDWORD lpcDevices)
{
    if (!lpcb || !lpcDevices)
        return ERROR_INVALID_PARAMETER;
    if (lpRasDevInfo && lpRasDevInfo->dwSize != sizeof(RASDEVINFOA))
        return ERROR_INVALID_USER_BUFFER;
    const std::vector<plat::ras::Device> devices = plat::ras::ListDevices();
    const DWORD needed = static_cast<DWORD>(devices.size() * sizeof(RASDEVINFOA));
    if (!lpRasDevInfo || *lpcb < needed)
    {
        *lpcb = needed;
        *lpcDevices = static_cast<DWORD>(devices.size());
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < devices.size(); ++i)
    {
        RASDEVINFOA &record = lpRasDevInfo[i];
        std::memset(&record, 0, sizeof record);
        record.dwSize = sizeof record;
        plat::ras::SetField(record.szDeviceType, devices[i].type);
        plat::ras::SetField(record.szDeviceName, devices[i].name);
    }
    *lpcb = needed;
    *lpcDevices = static_cast<DWORD>(devices.size());
    return ERROR_SUCCESS;
}
