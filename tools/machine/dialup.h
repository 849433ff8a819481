// Dial-up networking (RAS) and the PPPoE clients (WinPoET, EnterNet), laid out where each Windows
// family keeps them: the RemoteAccess service, the 9x dial-up adapter, the WAN miniports of
// 2000/XP, the clients' devices, services, network components, modems and program folder, and the
// kit's client selector. What is laid out is read back from the registry for `machine show`.
#pragma once

#include "platform/kit/kitmachine.h"
#include "platform/windef.h"
#include "tools/machine/writer.h"

#include <optional>
#include <string>
#include <vector>

namespace kitmachine
{
enum class PppoeClient
{
    None,
    WinPoet,
    EnterNet,
};

// How a PPPoE client is installed.
struct PppoeSettings
{
    PppoeClient client = PppoeClient::None;
    bool disabled = false; // its device disabled (2000/XP) or missing (9x, NT 4)
    bool stopped = false;  // XP: the WinPoET service does not run
};

// Dial-up networking's own keys for `family`, in the system's language: with `makeKeys` off only
// the values taken from the facts of machine.ini are written again, into keys that are there.
void DialUpNetworking(Writer &w, kitpc::WindowsFamily family, LANGID language);

// Installs (or removes) dial-up networking on the current PC.
bool SetDialUp(bool installed, std::string &error);

// Removes whatever PPPoE client the PC has and installs the one asked for.
bool SetPppoe(const PppoeSettings &settings, std::string &error);

// The kit's client selector: HKLM\SOFTWARE\NUV\DAX\ADSL "WinPoet" (0 EnterNet, else WinPoET).
extern const char *const kSelectorKey;
bool SetSelector(DWORD value, std::string &error);

// What the registry and the PC's folders hold, for `machine show` (Windows 1252 lines).
bool DialUpInstalled();
std::vector<std::string> DialUpLines();
std::vector<std::string> PppoeLines();
// The devices the PC's dial-up networking lists (RasEnumDevices); nothing without it.
std::vector<std::string> RasDeviceLines();
// The phone book's entries as the PC's dial-up networking reads them, and the default Internet
// connection; nothing without dial-up networking.
std::vector<std::string> PhoneBookLines();
} // namespace kitmachine
