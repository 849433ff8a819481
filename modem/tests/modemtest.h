// Support of the configuration file tests: each test runs in a folder of its own PC, made the
// current directory, with a registered DaxParam server, a fresh router parameter object and the
// module's trace log "DaxModem.txt". Files of the PC are read and written with pcfile.h.
#pragma once

#include "common/param/RouterParamPtr.h"
#include "common/trace/TraceLog.h"
#include "modem/ModemConfig.h"
#include "testing/pcfile.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace modemtest
{
// A file of the kit's data folder in the source tree.
std::string DataPath(const char *name);
} // namespace modemtest

class ModemConfigTest : public testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // "<current directory>\<name>", as the module builds its paths.
    std::string Path(const char *name) const;
    // The messages written to DaxModem.txt so far.
    std::vector<std::string> Log() const;

    // The object as the wizard fills it for one PC behind NAT with DHCP (multipuesto, static).
    void FillMultipuesto();

    RouterParamPtr param;
    CTraceLog log;
    std::unique_ptr<CModemConfig> config;
    std::string dir;
};
