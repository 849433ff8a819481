// winipcfg run as a process on a Windows 98 PC: leases released, the batch file, the refusals.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace
{
constexpr char kDhcp[] = "System\\CurrentControlSet\\Services\\VxD\\DHCP";

void MakePc(kitpc::WindowsFamily family)
{
    kitpc::MachineOptions options;
    options.os = family;
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
}

void AddLease(const std::string &name)
{
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, std::string(kDhcp) + "\\" + name, "DhcpIPAddress",
                            "80.58.1.10");
}

// Runs winipcfg in the PC's temporary folder, where its batch file goes.
int Winipcfg(const std::vector<std::string> &args, std::string *output)
{
    std::filesystem::current_path(kittest::MachineDir() + "/temp");
    return kittest::Run("winipcfg", args, output);
}
} // namespace

TEST(Winipcfg, ReleaseAllInBatchGivesBackEveryLeaseQuietly)
{
    MakePc(kitpc::WindowsFamily::Win98);
    AddLease("DhcpInfo00");
    AddLease("DhcpInfo01");
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, kDhcp, "StaticVxD", "vdhcp.386");
    std::string output;
    ASSERT_EQ(Winipcfg({"/release_all", "/Batch"}, &output), 0) << output;
    EXPECT_EQ(output, "");
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(kDhcp) + "\\DhcpInfo00"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(kDhcp) + "\\DhcpInfo01"));
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kDhcp, "StaticVxD").value_or(""), "vdhcp.386");
    const std::string out = kittest::ReadHostFile(kittest::MachineDir() + "/temp/winipcfg.out");
    EXPECT_NE(out.find("DhcpInfo00\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("DhcpInfo01\r\n"), std::string::npos) << out;

    // Nothing left: it says so, on the screen this time.
    ASSERT_EQ(Winipcfg({"-RELEASE_ALL"}, &output), 0);
    EXPECT_NE(output.find(kitpc::TerminalText("No hay ninguna concesión DHCP que liberar.")),
              std::string::npos)
        << output;
}

TEST(Winipcfg, BatchFileNamedAndCommandLineMistakes)
{
    MakePc(kitpc::WindowsFamily::Win98SE);
    AddLease("DhcpInfo00");
    std::string output;
    ASSERT_EQ(Winipcfg({"/batch", "lease.txt", "/release_all"}, &output), 0) << output;
    EXPECT_NE(kittest::ReadHostFile(kittest::MachineDir() + "/temp/lease.txt").find("DhcpInfo00"),
              std::string::npos);
    EXPECT_EQ(Winipcfg({"/frob"}, &output), 2);
    EXPECT_NE(output.find("Uso: winipcfg"), std::string::npos) << output;
    EXPECT_EQ(Winipcfg({"/?"}, &output), 0);
    EXPECT_NE(output.find("Uso: winipcfg"), std::string::npos) << output;
}

TEST(Winipcfg, NtHasNone)
{
    MakePc(kitpc::WindowsFamily::XP);
    std::string output;
    EXPECT_EQ(Winipcfg({"/release_all", "/Batch"}, &output), 1);
    EXPECT_NE(output.find("ipconfig"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(kittest::MachineDir() + "/temp/winipcfg.out"));
}
