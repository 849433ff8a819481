// The PCs the adapter tests run on: a fresh PC of one Windows family with network adapters laid
// out in its registry (and devices/ for 2000/XP) as that family keeps them.
#pragma once

#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "testing/registry.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace nictest
{
using Family = kitpc::WindowsFamily;
using Strings = std::vector<std::string>;

inline constexpr Family kAllFamilies[] = {Family::Win95, Family::Win98,   Family::Win98SE, Family::WinMe,
                                          Family::NT4,   Family::Win2000, Family::XP};
bool Is9x(Family family);
// "95", "98se", "2000"... as a test name part.
std::string NameOf(Family family);

// Makes the current test's PC one of `family` (administrator or a limited user).
void MakePc(Family family, bool admin = true);

// One adapter as a test lays it out.
struct Card
{
    Card(std::string description_, std::string key_ = "", bool device_ = true, bool hidden_ = false,
         bool tcpip_ = true, bool bound_ = true)
        : description(std::move(description_)), key(std::move(key_)), device(device_), hidden(hidden_),
          tcpip(tcpip_), bound(bound_)
    {
    }
    std::string description;
    std::string key;     // service name or 9x driver key; made up from the card's number when empty
    bool device = true;  // 2000/XP: its device answers (devices/<service>)
    bool hidden = false; // NT 4, 2000/XP: a "Hidden" value
    bool tcpip = true;   // its TCP/IP key (I) exists
    bool bound = true;   // NT 4, 2000/XP: named in TCP/IP's binding list
};

// Lays out the next adapter of the PC's family; returns its key. 9x cards are "Net" devices of
// Enum\PCI bound to their own MSTCP instance.
std::string AddCard(Family family, const Card &card);
// The display name the n-th accepted adapter gets.
std::string DisplayName(int number, const std::string &description);

// The registry keys of an adapter (the layout's I, W and G; G is empty on 2000/XP).
std::string InterfaceKey(Family family, const std::string &key);
std::string WinsKey(Family family, const std::string &key);
std::string GlobalKey(Family family);

// Writers of the tests' registry (HKEY_LOCAL_MACHINE).
void WriteString(const std::string &key, const char *name, const std::string &text,
                 kittest::Caller where = kittest::Caller::current());
void WriteDword(const std::string &key, const char *name, DWORD value,
                kittest::Caller where = kittest::Caller::current());
void WriteMultiSz(const std::string &key, const char *name, const Strings &values,
                  kittest::Caller where = kittest::Caller::current());
void WriteRaw(const std::string &key, const char *name, DWORD type, const std::string &bytes,
              kittest::Caller where = kittest::Caller::current());
void DeleteTree(const std::string &key);

// Every value of the keys, by "key|name" (names and keys upper-cased), as type and bytes; an
// empty multi-string is one NUL however it was written.
struct Stored
{
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const Stored &) const = default;
};
using Snapshot = std::map<std::string, Stored>;
Snapshot TakeSnapshot(const Strings &keys);
std::string SnapshotName(const std::string &key, const std::string &name);

// From now on the registry refuses every change of the values of that name (as a hive that
// cannot be written there): the registry file is given a rule of its own.
void RefuseValueChanges(const char *name);

// The deferred-change file's path and text ("<none>" when absent).
std::string DeferredPath();
std::string DeferredText();
} // namespace nictest
