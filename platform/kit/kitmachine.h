// The simulated PC itself: where it lives and what it is. For the PC's tools and for tests;
// product code sees the PC only through the Windows functions.
#pragma once

#include "platform/windef.h"

#include <optional>
#include <string>
#include <string_view>

namespace kitpc
{
enum class WindowsFamily
{
    Win95,
    Win98,
    Win98SE,
    WinMe,
    NT4,
    Win2000,
    XP,
};

std::optional<WindowsFamily> FamilyFromName(std::string_view name); // "95", "98", "98se", "me", "nt4", "2000", "xp"
const char *FamilyName(WindowsFamily family);
bool IsNtFamily(WindowsFamily family);

struct MachineOptions
{
    WindowsFamily os = WindowsFamily::XP;
    LANGID lang = 0x0C0A;
    bool admin = true;
    std::string computerName = "PC-ADSL";
    std::string userName = "Usuario";
};

struct Identity
{
    WindowsFamily family = WindowsFamily::XP;
    DWORD platformId = 2;
    DWORD majorVersion = 5;
    DWORD minorVersion = 1;
    DWORD buildNumber = 2600;
    std::string csdVersion;
    WORD servicePackMajor = 0;
    LANGID userLangId = 0x0C0A;
    LANGID systemLangId = 0x0C0A;
    bool administrator = true;
    std::string computerName;
    std::string userName;
    int logPixelsX = 96;
};

// The PC's directory: $KIT_MACHINE, else ~/.local/share/kit/machine. On first use a missing or
// empty directory becomes a default PC (Windows XP, Spanish, administrator).
std::string Root();
// A path inside the PC's directory ("temp", "windows/system32"...), without a trailing separator.
std::string PathOf(std::string_view relative);

// Lays out a PC in `root`: folders and machine.ini. The registry starts with its root keys on
// first use; tools/machine adds the layout of each Windows family.
bool CreateMachine(const std::string &root, const MachineOptions &options);

// The identity of the current PC (machine.ini, re-read when it changes).
Identity ReadIdentity();

// Changes one identity setting in machine.ini ("Windows.CSDVersion", "User.Administrator"...).
bool SetIdentityValue(std::string_view section, std::string_view key, std::string_view value);

// Folder names of the PC, relative to its root, for the running Windows family.
std::string WindowsFolder();       // "windows"
std::string SystemFolder();        // "windows/system" on 9x, "windows/system32" on NT
} // namespace kitpc
