// Test entry point: every test runs on a fresh simulated PC of its own ($KIT_MACHINE in a new
// temporary folder), removed afterwards unless KIT_KEEP_MACHINE is set.
#include "testing/kittest.h"
#include "platform/kit/kitmachine.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
std::string g_machine;

class FreshMachine : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo &) override
    {
        g_machine = kittest::NewMachineDir();
        ::setenv("KIT_MACHINE", g_machine.c_str(), 1);
        kitpc::Root(); // lays out the default PC now, so tests can put files into it
    }
    void OnTestEnd(const testing::TestInfo &) override
    {
        if (!std::getenv("KIT_KEEP_MACHINE"))
        {
            std::error_code ec;
            std::filesystem::remove_all(g_machine, ec);
        }
    }
};
} // namespace

namespace kittest
{
std::string NewMachineDir()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kit-pc-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

const std::string &MachineDir()
{
    return g_machine;
}

std::string BinDir()
{
    const char *bin = std::getenv("KIT_BIN");
    if (bin && *bin)
        return bin;
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    return std::filesystem::path(self).parent_path().string();
}

std::string LibDir()
{
    return (std::filesystem::path(BinDir()).parent_path() / "lib").string();
}

std::string ReadHostFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<none>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteHostFile(const std::string &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}
} // namespace kittest

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshMachine);
    return RUN_ALL_TESTS();
}
