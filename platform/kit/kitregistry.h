// The simulated PC's registry seen from outside Windows: what the PC's own tools (machine,
// regedit, tests) need beyond the Reg* functions. Product code never includes this.
//
// Layout: HKEY_LOCAL_MACHINE and HKEY_USERS are the two real roots.
//   HKEY_CLASSES_ROOT   = HKEY_LOCAL_MACHINE\Software\Classes
//   HKEY_CURRENT_CONFIG = HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current
//   HKEY_CURRENT_USER   = HKEY_USERS\<CurrentUserKeyName()>: the user's SID on NT, ".DEFAULT" on 9x
//                         (a 9x PC without user profiles). HKEY_USERS\.DEFAULT always exists.
#pragma once

#include "platform/windef.h"

#include <string>

namespace kitreg
{
// The registry file of the current PC ($KIT_MACHINE/registry.db).
std::string RegistryPath();

// The HKEY_USERS subkey HKEY_CURRENT_USER stands for on the current PC.
std::string CurrentUserKeyName();

// What a restart does to the registry: volatile keys (REG_OPTION_VOLATILE) are gone.
LONG DropVolatileKeys();

// Checks the hive file: SQLite's integrity check and the tree's own rules. ERROR_SUCCESS, or the
// error (ERROR_REGISTRY_CORRUPT when damaged) with the finding in `problem`.
LONG CheckRegistry(std::string *problem);

// Drops this process's connection to the current PC's registry; keys still open keep theirs,
// and the next Reg* call opens the file again. For tools that replace registry.db.
void CloseRegistry();

// The PC's own tools act as the system: NT's security (a limited user's read-only
// HKEY_LOCAL_MACHINE, no keys directly below HKEY_LOCAL_MACHINE or HKEY_USERS) does not apply
// to this process while on. Off by default.
void SetSystemAccess(bool on);
} // namespace kitreg
