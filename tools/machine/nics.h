// The PC's network cards, laid out where each Windows family keeps them: the 9x Enum tree with
// its MSTCP bindings and the Class keys, NT 4's NetworkCards and adapter services, 2000/XP's
// NetworkCards and TCP/IP interfaces by GUID; the TCP/IP binding list, NetBT and the devices
// that answer for enabled cards.
#pragma once

#include "platform/windef.h"
#include "tools/machine/writer.h"

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

// The 9x dial-up adapter (Enum\Root\Net\0000, Net\0000, MSTCP\0000, NetTrans\0000), in the
// system's language; every 9x installation has it.
void DialUpAdapter(Writer &w, LANGID language);
} // namespace kitmachine
