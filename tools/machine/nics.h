// The PC's network cards, laid out where each Windows family keeps them: the 9x Enum tree with
// its MSTCP bindings and the Class keys, NT 4's NetworkCards and adapter services, 2000/XP's
// NetworkCards and TCP/IP interfaces by GUID; the TCP/IP binding list, NetBT and the devices
// that answer for enabled cards.
#pragma once

#include "platform/windef.h"
#include "tools/machine/writer.h"

#include <optional>
#include <string>
#include <vector>

namespace kitmachine
{
// A card as it is installed: texts in Windows 1252, addresses as dotted quads.
struct NicSettings
{
    std::string description;
    bool dhcp = true;                          // else the fixed addresses below
    std::vector<std::string> addresses, masks; // one mask per address
    std::vector<std::string> gateways;         // fixed addresses only
    std::vector<std::string> dns;              // 9x and NT 4 keep them for the whole machine
    std::vector<std::string> wins;             // NT 4 keeps the first two
    bool disabled = false;                     // 9x ConfigFlags, NT 4 service, 2000/XP no device
    bool unbound = false;                      // not bound to TCP/IP
    bool hidden = false;                       // NT only: NetworkCards "Hidden"
};

// Installs a card under the number after the highest in use (cards count from 1). Returns false
// and names what could not be written in `error`.
bool AddNic(const NicSettings &nic, int &number, std::string &error);

// Writes card `number` again with new settings; its number, GUID and service stay.
bool ReplaceNic(int number, const NicSettings &nic, std::string &error);

// Removes card `number` from every key that names it, and its device.
bool RemoveNic(int number, std::string &error);

// Identities derived from the card's number, the same every time.
std::string NicGuid(int number);                                        // 2000/XP "{...}"
std::string NicServiceName(int number, const std::string &description); // NT 4 "E100B1"

// The DHCP lease a DHCP card of that number holds on a fresh PC (the modem-router's pool).
struct Lease
{
    std::string address, mask, server, gateway;
};
Lease LeaseOf(int number);

// The 9x dial-up adapter (Enum\Root\Net\0000, Net\0000 named MS$PPP, MSTCP\0000, NetTrans\0000),
// in the system's language; Dial-Up Networking installs it.
void DialUpAdapter(Writer &w, LANGID language);
std::string DialUpAdapterName(LANGID language);

// The devices folder of the PC: \\.\NAME opens when devices/NAME is there.
void SetDeviceFile(const std::string &name, bool present);

// A 2000/XP network component: a subkey of Class\Net and, for its device, a key of the Enum tree.
struct NetComponent
{
    std::string componentId, description, instanceId; // instanceId: NetCfgInstanceId "{...}"
    std::string deviceInstanceId;                     // "ROOT\MS_PPPOEMINIPORT\0000"
    std::string provider;
    DWORD characteristics = 0;
    bool wanMiniport = false; // bound below NDISWAN: a RAS device
    bool disabled = false;    // its device disabled in the hardware profile
    std::optional<Fact> descriptionFrom;
};
extern const std::string kNetClassKey; // HKLM path of Class\Net on 2000/XP

// The Class\Net subkey holding the component with this NetCfgInstanceId, else the first number
// no component has ("...\0003").
std::string NetComponentKey(const std::string &instanceId);
// The Class\Net subkey of the component with this ComponentId (compared without case), if any.
std::optional<std::string> FindNetComponent(const std::string &componentId);
void WriteNetComponent(Writer &w, const NetComponent &component);
// Removes the component's Class\Net subkey and its device's Enum key.
void RemoveNetComponent(Writer &w, const std::string &classKey);
} // namespace kitmachine
