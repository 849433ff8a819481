// The network card options of `machine create --nic` and `machine nic add|set`, and the text of
// the PC's cards for `machine show` (as ipconfig /all or winipcfg /all would print it).
#pragma once

#include "platform/kit/kitmachine.h"
#include "tools/machine/nics.h"
#include "tools/pcreg/PcRegistry.h"

#include <optional>
#include <string>
#include <vector>

namespace machinecli
{
// The options given for one card, in terminal text; what is not given stays as it is.
struct NicOptions
{
    std::optional<std::string> description;
    bool dhcp = false;
    std::optional<std::string> ip, gw, dns, wins; // as typed; "none" empties a list
    std::optional<bool> disabled, unbound, hidden;
    bool Empty() const;
};

// The command line with the card options taken out: `cards` holds one entry per --nic (its
// description and the options after it), `loose` the card options given before any --nic.
struct NicArguments
{
    std::vector<std::string> rest;
    std::vector<NicOptions> cards;
    NicOptions loose;
};
std::optional<NicArguments> ExtractNicOptions(int argc, char **argv, std::string &problem);

// Applies the options to a card's settings, for a PC of `family`; the reason when they cannot be.
std::optional<std::string> ApplyNicOptions(const NicOptions &options, kitpc::WindowsFamily family,
                                           kitmachine::NicSettings &nic);

// A card's settings as the registry holds them, to be changed and written again.
kitmachine::NicSettings SettingsOf(const pcreg::NetworkCard &card);

// One line per card: its number, description and state (terminal text).
std::vector<std::string> CardLines(const std::vector<pcreg::NetworkCard> &cards);

// The TCP/IP configuration of the cards bound to TCP/IP and enabled, as the family's own program
// prints it (ipconfig /all on NT, winipcfg /all on 9x), in the PC's language (Windows 1252).
std::string IpConfigText(kitpc::WindowsFamily family, const std::vector<pcreg::NetworkCard> &cards,
                         const pcreg::TcpipSettings &tcpip, bool spanish);
} // namespace machinecli
