// A folder where no file can be created or replaced: nothing half-written is left, and what was
// there stays. The folder is made immutable on the host (root ignores plain permissions); where
// the host does not allow that, the tests are skipped.
#include "modem/tests/modemtest.h"
#include "testing/hostfile.h"

using kittest::ImmutableFolder;

class ReadOnlyFolder : public ModemConfigTest
{
  protected:
    void SetUp() override
    {
        ModemConfigTest::SetUp();
        FillMultipuesto();
        param.SetNat(0);
        ASSERT_TRUE(CreateDirectoryA(Path("ro").c_str(), nullptr));
        ASSERT_TRUE(
            pcfile::Write(Path("643.cfg"), "30200008 = <<ROUTER_LAN_IP>>\r\n12010001 = <<ROUTE_NAME>>\r\n"));
        ASSERT_TRUE(pcfile::Write(Path("ro\\config.dat"), "12010001 = <<ROUTE_NAME>>\n"));
        ASSERT_TRUE(pcfile::Write(Path("ro\\643get.cfg"), "40000011 = 1\r\n150000002 = 80\r\n"));
    }
    std::string Folder() const { return dir + "/ro"; }
};

TEST_F(ReadOnlyFolder, TemplateFillCreatesNothing)
{
    ImmutableFolder ro(Folder());
    if (!ro.On())
        GTEST_SKIP() << "the host cannot make a folder immutable";
    EXPECT_TRUE(FAILED(config->CrearFicheroCfg(Path("643.cfg").c_str(), Path("ro\\new.dat").c_str())));
    EXPECT_FALSE(pcfile::Exists(Path("ro\\new.dat")));
}

TEST_F(ReadOnlyFolder, RoutesLeaveTheFileAsItWas)
{
    ASSERT_TRUE(SetCurrentDirectoryA(Folder().c_str())); // "mitmp.tmp" goes there
    ImmutableFolder ro(Folder());
    if (!ro.On())
        GTEST_SKIP() << "the host cannot make a folder immutable";
    EXPECT_TRUE(FAILED(config->PrepararRutas(Path("ro\\config.dat").c_str())));
    EXPECT_EQ(pcfile::Read(Path("ro\\config.dat"), "<missing>"), "12010001 = <<ROUTE_NAME>>\n");
    EXPECT_FALSE(pcfile::Exists(Path("ro\\mitmp.tmp")));
}

TEST_F(ReadOnlyFolder, DownloadIsReadButNotRewritten)
{
    ImmutableFolder ro(Folder());
    if (!ro.On())
        GTEST_SKIP() << "the host cannot make a folder immutable";
    EXPECT_TRUE(FAILED(config->LeerConfig812(Path("ro\\643get.cfg").c_str())));
    EXPECT_EQ(pcfile::Read(Path("ro\\643get.cfg"), "<missing>"), "40000011 = 1\r\n150000002 = 80\r\n");
    EXPECT_FALSE(pcfile::Exists(Path("ro\\643get.cfg.tmp")));
    EXPECT_EQ(param.GetNat(), 1);
    EXPECT_EQ(param.GetPorts(), "Default,80");
}
