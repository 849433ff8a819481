// Support shared by the kit's tests.
#pragma once

#include <string>

namespace kittest
{
// The current test's simulated PC ($KIT_MACHINE), fresh for every test.
const std::string &MachineDir();
// A new empty folder for another PC.
std::string NewMachineDir();
// Where the built programs are (the build tree's bin folder).
std::string BinDir();
} // namespace kittest
