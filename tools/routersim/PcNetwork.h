// The router's place in the PC's virtual network (network.ini of the PC's folder, [Hosts]):
// its address's FTP port, port 80 and every other port (passive data connections) mapped to the
// loopback ports it listens on.
#pragma once

#include "tools/routersim/Server.h"

#include <optional>
#include <string>

namespace routersim
{
// Writes the router's lines; false when the PC's network cannot be written.
bool MapRouter(const std::string &machine, const std::string &address, const Ports &ports);
// Removes the lines MapRouter wrote, those still as it wrote them, and nothing else.
void UnmapRouter(const std::string &machine, const std::string &address, const Ports &ports);
// The loopback port of a router that answers at `address` of the PC's network, if one does.
std::optional<uint16_t> LiveRouterAt(const std::string &machine, const std::string &address);
} // namespace routersim
