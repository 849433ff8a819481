// Test entry point: every test runs on a fresh simulated PC of its own ($KIT_MACHINE in a new
// temporary folder), removed afterwards unless KIT_KEEP_MACHINE is set.
#include "testing/machine.h"

#include <gtest/gtest.h>
#include <optional>

namespace
{
class FreshMachine : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo &) override { machine_.emplace(); }
    void OnTestEnd(const testing::TestInfo &) override { machine_.reset(); }

    std::optional<kittest::TempMachine> machine_;
};
} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshMachine);
    return RUN_ALL_TESTS();
}
