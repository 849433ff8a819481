// The registry of a fresh Windows installation, per family, where the kit and its tools look:
// version keys, shell folders, start-up keys, applications, Internet settings, TCP/IP, control
// set and the 9x Enum tree. Used by `machine create` and by tests that lay out a PC in-process.
#pragma once

#include "platform/kit/kitmachine.h"

#include <string>

namespace kitmachine
{
// What tells the families apart in the registry of a fresh installation.
struct FamilyLayout
{
    kitpc::WindowsFamily family;
    const char *productName;      // "Microsoft Windows 98"
    const char *versionName;      // 9x "Version": "Windows 98"; empty on NT
    const char *versionNumber;    // 9x "VersionNumber" ("4.10.2222"); NT "CurrentVersion" ("5.1")
    const char *subVersionNumber; // 9x "SubVersionNumber" (" A " on 98 SE)
    const char *productId;        // "ProductId" as Setup writes it
    const char *userAgent;        // the Internet Explorer that came with it
};

// The facts of machine.ini the registry repeats.
enum class Fact
{
    Computer, // the computer's name
    User,     // the user's name
    Language, // the user's and the system's language
    Version,  // the Windows version within its family's layout
};

const FamilyLayout &LayoutOf(kitpc::WindowsFamily family);

// Writes into the current PC's registry ($KIT_MACHINE) what a fresh installation of the PC's
// Windows family (as machine.ini says) holds, with the PC's folders as host paths. Existing keys
// are kept and the values written are replaced. It writes as the system (kitreg::SetSystemAccess
// on while it works, off when it returns). Returns false and names the key or value that could
// not be written in `error`. Dial-up networking is laid out with `dialUp`.
bool LayOutRegistry(std::string &error, bool dialUp = true);

// Writes again, from what machine.ini now says, the values the layout of the PC's family takes
// from `fact`, wherever the layout puts them; other values are left alone and keys that are gone
// are not made again. Returns false and names what could not be written in `error`.
bool RewriteFact(Fact fact, std::string &error);

// Whether a PC laid out for `from` keeps a consistent registry as `to` once Fact::Version is
// rewritten (the 9x versions among themselves).
bool SameLayout(kitpc::WindowsFamily from, kitpc::WindowsFamily to);
} // namespace kitmachine
