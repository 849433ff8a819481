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

// A key (of HKEY_LOCAL_MACHINE unless another root is named) opened for reading; a key that is
// not there reads as empty. A failure of the hive is kept for DamageSeen.
class ReadKey
{
  public:
    explicit ReadKey(const std::string &path) : ReadKey(HKEY_LOCAL_MACHINE, path) {}
    ReadKey(HKEY root, const std::string &path);
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
    // A string value as stored, without splitting; empty when missing or of another type.
    std::string Text(const char *name) const;
    // A multi-string's strings (a plain string as one), without splitting.
    std::vector<std::string> List(const char *name) const;
    // A value's bytes, whatever its type; nothing when missing.
    std::optional<std::string> Bytes(const char *name) const;

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
// NT 4 under each network card's service, 9x under Class\NetTrans (a DHCP adapter with its lease,
// VxD\DHCP\DhcpInfoNN for NetTrans\00NN).
std::vector<Adapter> ReadAdapters(kitpc::WindowsFamily family);

// One network card as its Windows lists it (NetworkCards on NT, the Enum tree on 9x), with the
// TCP/IP settings it is configured with and its DHCP lease.
struct NetworkCard
{
    int number = 0;          // NT: NetworkCards\<n>; 9x: Class\Net\000n (0 is the dial-up adapter)
    std::string description; // Windows 1252
    std::string key;         // NT 4 service, 2000/XP GUID, 9x NetTrans\000n (empty when unbound)
    std::string connection;  // 2000/XP: the connection's name
    std::string instance;    // 9x: its key in the Enum tree
    bool dialUp = false;     // 9x: the dial-up adapter
    bool hidden = false;     // NT: NetworkCards "Hidden"
    bool enabled = true;     // 2000/XP: its device opens; NT 4: service not disabled; 9x: ConfigFlags
    bool bound = true;       // NT: in Tcpip\Linkage Bind; 9x: an MSTCP binding with a driver
    bool dhcp = false;
    std::vector<std::string> addresses, masks, gateways, dns, wins;
    std::string leaseAddress, leaseMask, leaseServer;
    std::vector<std::string> leaseGateways;
};

// The machine-wide TCP/IP settings (9x: VxD\MSTCP; NT: Tcpip\Parameters).
struct TcpipSettings
{
    std::string hostName, domain, nodeType; // node type: 9x only
    std::vector<std::string> dns;           // 9x and NT 4: the machine's DNS servers
    bool dnsEnabled = false;                // 9x EnableDNS "1"; NT: a DNS server is set
    bool routing = false;                   // NT IPEnableRouter
};

// The cards in the order their Windows enumerates them; the 9x dial-up adapter among them.
std::vector<NetworkCard> ReadNetworkCards(kitpc::WindowsFamily family);
TcpipSettings ReadTcpipSettings(kitpc::WindowsFamily family);

// The parts of a list kept in one string ("a,b" on 9x, "a b" in NT 4's NameServer), empty ones
// dropped.
std::vector<std::string> SplitList(const std::string &text, char separator);
} // namespace pcreg
