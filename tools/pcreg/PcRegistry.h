// What the PC's own programs (route, regedit, regsvr32, winipcfg, machine) share about its
// registry: whether it can be read at all, the message that says it is damaged and where, the
// PC's language for their messages, and the TCP/IP settings of the PC's network adapters.
#pragma once

#include "platform/kit/kitmachine.h"
#include "platform/windows.h"

#include <optional>
#include <string>
#include <vector>

namespace pcreg
{
// Whether an error of a Reg* call means the hive itself failed (a damaged or unreadable file),
// rather than a missing key or value.
bool IsDamage(LONG error);

// The first failure of the hive met by any Reg* call of this process's readers (ReadKey,
// Probe), or ERROR_SUCCESS.
LONG DamageSeen();

// Opens the registry and reads one key: ERROR_SUCCESS, or the hive's failure (also kept for
// DamageSeen). Cheap: it does not check the whole file.
LONG Probe();

// Runs the full check of the registry file: nothing when it is sound, else where the damage is
// and what was found, "<registry file> (<finding>)".
std::optional<std::string> FindDamage();

// The PC's user speaks Spanish (its programs speak Spanish then, English otherwise).
bool SpanishPc();

// "El Registro del equipo está dañado: <where>." in the PC's language (Windows 1252), for a
// program that met a failure of the hive.
std::string DamageMessage();

// A key of HKEY_LOCAL_MACHINE opened for reading; a key that is not there reads as empty. A
// failure of the hive is kept for DamageSeen.
class ReadKey
{
  public:
    explicit ReadKey(const std::string &path);
    ~ReadKey();
    ReadKey(const ReadKey &) = delete;
    ReadKey &operator=(const ReadKey &) = delete;

    explicit operator bool() const { return key_ != nullptr; }
    std::vector<std::string> SubKeys() const;
    std::vector<std::string> ValueNames() const;
    // A string or multi-string value as its strings; a 9x string may list several, split by
    // commas. Empty when missing or of another type.
    std::vector<std::string> Strings(const char *name) const;
    // A DWORD value, 0 when missing.
    DWORD Number(const char *name) const;

  private:
    HKEY key_ = nullptr;
};

// One network adapter's TCP/IP settings as the PC's stack uses them: the DHCP lease's when the
// adapter takes its address from DHCP (NT family), else the fixed ones.
struct Adapter
{
    std::vector<std::string> addresses;
    std::vector<std::string> masks;
    std::vector<std::string> gateways;
    std::vector<std::string> gatewayMetrics;
};

// The adapters where each Windows family keeps them: 2000/XP under Tcpip\Parameters\Interfaces,
// NT 4 under each network card's service, 9x under Class\NetTrans.
std::vector<Adapter> ReadAdapters(kitpc::WindowsFamily family);
} // namespace pcreg
