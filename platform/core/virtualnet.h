// The simulated PC's virtual network ($KIT_MACHINE/network.ini):
//
//   [Local]
//   Address=192.168.1.33            ; the PC's own address (this is the default)
//   [Hosts]
//   192.168.1.1:21=127.0.0.1:40021  ; virtual address:port = loopback address:port
//   192.168.1.1:*=127.0.0.1:*       ; every other port of the address, to the same port
//
// A listed address:port is reached at its loopback endpoint; anything else is unreachable, and
// so is a mapping whose target lies outside 127.0.0.0/8 (it is never connected to). A line for
// the port itself wins over a line for every port. The file is read again whenever it changes.
// Addresses and ports are in host byte order.
#pragma once

#include "platform/core/netposix.h"

#include <cstdint>
#include <optional>

namespace plat
{
using net::Endpoint;

// The loopback endpoint that stands for a virtual address:port, or nullopt when unreachable.
std::optional<Endpoint> VirtualNetLookup(uint32_t hostOrderAddress, uint16_t port);

// The virtual endpoint a loopback endpoint stands for: the [Hosts] entry that maps to it, else
// the one virtual address all entries on that loopback address share (with the port as is);
// nullopt when there is no such entry or the choice is ambiguous.
std::optional<Endpoint> VirtualNetReverse(Endpoint loopback);

// The PC's own virtual address: [Local] Address=, else 192.168.1.33.
uint32_t VirtualLocalAddress();

// Strict dotted-quad text ("192.168.1.1") to an address, and back.
std::optional<uint32_t> ParseDottedQuad(const char *text);
} // namespace plat
