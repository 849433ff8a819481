// A folder where no file can be created or replaced: nothing half-written is left, and what was
// there stays. The folder is made immutable on the host (root ignores plain permissions); where
// the host does not allow that, the tests are skipped.
#include "modem/tests/modemtest.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using modemtest::Exists;
using modemtest::ReadAll;
using modemtest::WriteAll;

namespace
{
bool SetImmutable(const std::string &hostPath, bool on)
{
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok)
    {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

// The folder is immutable while this lives.
class Inmutable
{
  public:
    explicit Inmutable(std::string path) : path_(std::move(path)), on_(SetImmutable(path_, true)) {}
    ~Inmutable()
    {
        if (on_)
            SetImmutable(path_, false);
    }
    bool On() const { return on_; }

  private:
    std::string path_;
    bool on_;
};
} // namespace

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
            WriteAll(Path("643.cfg"), "30200008 = <<ROUTER_LAN_IP>>\r\n12010001 = <<ROUTE_NAME>>\r\n"));
        ASSERT_TRUE(WriteAll(Path("ro\\config.dat"), "12010001 = <<ROUTE_NAME>>\n"));
        ASSERT_TRUE(WriteAll(Path("ro\\643get.cfg"), "40000011 = 1\r\n150000002 = 80\r\n"));
    }
    std::string Folder() const { return dir + "/ro"; }
};

TEST_F(ReadOnlyFolder, TemplateFillCreatesNothing)
{
    Inmutable ro(Folder());
    if (!ro.On())
        GTEST_SKIP() << "the host cannot make a folder immutable";
    EXPECT_TRUE(FAILED(config->CrearFicheroCfg(Path("643.cfg").c_str(), Path("ro\\new.dat").c_str())));
    EXPECT_FALSE(Exists(Path("ro\\new.dat")));
}

TEST_F(ReadOnlyFolder, RoutesLeaveTheFileAsItWas)
{
    ASSERT_TRUE(SetCurrentDirectoryA(Folder().c_str())); // "mitmp.tmp" goes there
    Inmutable ro(Folder());
    if (!ro.On())
        GTEST_SKIP() << "the host cannot make a folder immutable";
    EXPECT_TRUE(FAILED(config->PrepararRutas(Path("ro\\config.dat").c_str())));
    EXPECT_EQ(ReadAll(Path("ro\\config.dat")), "12010001 = <<ROUTE_NAME>>\n");
    EXPECT_FALSE(Exists(Path("ro\\mitmp.tmp")));
}

TEST_F(ReadOnlyFolder, DownloadIsReadButNotRewritten)
{
    Inmutable ro(Folder());
    if (!ro.On())
        GTEST_SKIP() << "the host cannot make a folder immutable";
    EXPECT_TRUE(FAILED(config->LeerConfig812(Path("ro\\643get.cfg").c_str())));
    EXPECT_EQ(ReadAll(Path("ro\\643get.cfg")), "40000011 = 1\r\n150000002 = 80\r\n");
    EXPECT_FALSE(Exists(Path("ro\\643get.cfg.tmp")));
    EXPECT_EQ(param.GetNat(), 1);
    EXPECT_EQ(param.GetPorts(), "Default,80");
}
