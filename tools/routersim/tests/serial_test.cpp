// routersim's console from the PC's side of the line: the PC's devices/COMn opened as a
// serial port (POSIX termios, and Debian's python3-serial as an independent client), the
// login, Menu 3.2 with the router's running settings, the port closed and opened again, the
// link's life, and the console's misbehaviours.
#include "testing/kittest.h"
#include "testing/servers.h"
#include "tools/routersim/tests/ConsoleScreen.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace
{
using consolescreen::Field;
using consolescreen::ScreenText;

// The PC's COM port as a POSIX program opens it: raw, 9600 8N1.
class Port
{
  public:
    explicit Port(const std::string &path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0)
            return;
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, B9600);
        settings.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
    ~Port()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;

    bool Open() const { return fd_ >= 0; }
    // Sends `keys`, then reads until the screen holds `text` (or the line ends, or a bound).
    std::string Ask(const std::string &keys, const std::string &text)
    {
        if (!keys.empty() && ::write(fd_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
            return "";
        answer_.clear();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ScreenText(answer_).find(text) == std::string::npos)
        {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  until - std::chrono::steady_clock::now())
                                  .count();
            pollfd item{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&item, 1, static_cast<int>(left)) <= 0)
                break;
            char chunk[4096];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0)
            {
                ended_ = true;
                break;
            }
            answer_.append(chunk, static_cast<size_t>(n));
        }
        return ScreenText(answer_);
    }
    // The first bytes that come after `keys` (within a bound).
    std::string First(const std::string &keys)
    {
        answer_.clear();
        pollfd item{fd_, POLLIN, 0};
        char chunk[4096];
        ssize_t n = 0;
        if (::write(fd_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size()) &&
            ::poll(&item, 1, 10000) == 1 && (n = ::read(fd_, chunk, sizeof chunk)) > 0)
            answer_.assign(chunk, static_cast<size_t>(n));
        return answer_;
    }
    // Whether nothing comes within `milliseconds`.
    bool Quiet(int milliseconds)
    {
        pollfd item{fd_, POLLIN, 0};
        return ::poll(&item, 1, milliseconds) == 0;
    }
    bool Ended() const { return ended_; }
    int Fd() const { return fd_; }
    const std::string &Raw() const { return answer_; }

  private:
    int fd_ = -1;
    std::string answer_;
    bool ended_ = false;
};

const char *const kMenu32 = "Menu 3.2 - TCP/IP and DHCP Ethernet Setup";

class SerialTest : public testing::Test
{
  protected:
    std::string State() const { return kittest::MachineDir() + "/router"; }
    std::string Com(int n = 1) const { return kittest::MachineDir() + "/devices/COM" + std::to_string(n); }
    void Start(std::vector<std::string> extra = {})
    {
        router_ = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), State(), kittest::MachineDir(),
                                                          std::move(extra));
        ASSERT_TRUE(router_->Started());
    }
    // Running settings of the router before it starts, as a configuration upload leaves them.
    void Settings(const std::string &lines)
    {
        std::filesystem::create_directories(State());
        kittest::WriteHostFile(State() + "/settings.txt", lines);
    }
    int Routersim(const std::vector<std::string> &arguments)
    {
        return kitservers::Run(kittest::BinDir() + "/routersim", arguments);
    }
    void LogIn(Port &port, const std::string &password = "5807")
    {
        ASSERT_NE(port.Ask("\r", "Enter Password: ").find("Enter Password: "), std::string::npos);
        ASSERT_NE(port.Ask(password + "\r", "Enter Menu Selection Number:").find(" Prestige 643 Main Menu"),
                  std::string::npos);
    }

    std::unique_ptr<kitservers::RouterSim> router_;
};
} // namespace

TEST_F(SerialTest, LogInAndReadMenu32OffTheRunningSettings)
{
    Settings("30200008 = 10.0.0.138\r\n30200009 = 16\r\n30200002 = 10.0.0.50\r\n30200003 = 20\r\n"
             "30200004 = 80.58.0.33\r\n30200005 = 80.58.32.97\r\n");
    Start({"--password", "1234"});
    ASSERT_TRUE(std::filesystem::is_symlink(Com()));
    EXPECT_EQ(std::filesystem::read_symlink(Com()).string().rfind("/dev/pts/", 0), 0u);
    Port port(Com());
    ASSERT_TRUE(port.Open());
    LogIn(port, "1234");
    EXPECT_NE(port.Ask("3\r", "Enter Menu Selection Number:").find("Menu 3 - Ethernet Setup"),
              std::string::npos);
    const std::string form = port.Ask("2\r", "Press ENTER to Confirm or ESC to Cancel:");
    ASSERT_NE(form.find(kMenu32), std::string::npos) << port.Raw();
    EXPECT_EQ(Field(form, "IP Address", 3), "10.0.0.138");
    EXPECT_EQ(Field(form, "IP Subnet Mask=", 4), "255.255.0.0");
    EXPECT_EQ(Field(form, "DHCP=", 2), "Server");
    EXPECT_EQ(Field(form, "Client IP Pool Starting Address=", 6), "10.0.0.50");
    EXPECT_EQ(Field(form, "Size of Client IP Pool", 6), "20");
    EXPECT_EQ(Field(form, "Primary DNS Server", 4), "80.58.0.33");
    EXPECT_EQ(Field(form, "Secondary DNS Server", 4), "80.58.32.97");
    EXPECT_NE(port.Ask("\x1b", "Enter Menu Selection Number:").find("Menu 3 - Ethernet Setup"),
              std::string::npos);
    EXPECT_NE(port.Ask("\x1b", "Enter Menu Selection Number:").find(" Prestige 643 Main Menu"),
              std::string::npos);
    EXPECT_NE(port.Ask("99\r", "Session closed").find(" Prestige 643 Main Menu"), std::string::npos);
}

TEST_F(SerialTest, TheSessionOutlivesThePortAndTheNextOpenerIsServed)
{
    Start();
    {
        Port port(Com());
        LogIn(port);
    }
    for (int opening = 0; opening < 3; ++opening)
    {
        Port port(Com());
        ASSERT_TRUE(port.Open());
        EXPECT_NE(port.Ask("3\r", "Enter Menu Selection Number:").find("Menu 3 - Ethernet Setup"),
                  std::string::npos)
            << opening;
        EXPECT_NE(port.Ask("\x1b", "Enter Menu Selection Number:").find(" Prestige 643 Main Menu"),
                  std::string::npos);
    }
    // Faults are taken at the next opening.
    ASSERT_EQ(Routersim({"fault", "--state", State(), "console-silent"}), 0);
    Port silent(Com());
    ASSERT_EQ(::write(silent.Fd(), "3\r", 2), 2);
    EXPECT_TRUE(silent.Quiet(300));
}

TEST_F(SerialTest, TheLinkLivesAsLongAsTheRouter)
{
    Start({"--com", "3"});
    EXPECT_FALSE(std::filesystem::exists(Com(1)));
    ASSERT_TRUE(std::filesystem::is_symlink(Com(3)));
    EXPECT_NE(kittest::ReadHostFile(State() + "/routersim.ini").find("Com=" + Com(3)), std::string::npos);
    EXPECT_EQ(router_->Stop(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(Com(3)));

    Start({"--com", "0"});
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(Com()).parent_path() / "COM1"));
    EXPECT_EQ(router_->Stop(), 0);

    // A device of the PC's own is not taken over.
    kittest::WriteHostFile(Com(2), "");
    router_ = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), State(), kittest::MachineDir(),
                                                      std::vector<std::string>{"--com", "2"});
    EXPECT_FALSE(router_->Started());
    EXPECT_TRUE(std::filesystem::is_regular_file(Com(2)));
}

TEST_F(SerialTest, Misbehaviours)
{
    Start({"--fault", "console-no-password"});
    {
        Port port(Com());
        EXPECT_NE(port.Ask("\r", "Enter Menu Selection Number:").find(" Prestige 643 Main Menu"),
                  std::string::npos);
        port.Ask("99\r", "Session closed");
    }
    ASSERT_EQ(Routersim({"fault", "--state", State(), "console-wrong-password"}), 0);
    {
        Port port(Com());
        port.Ask("\r", "Enter Password: ");
        EXPECT_NE(port.Ask("5807\r", "Enter Password: ").find("Password is not correct"), std::string::npos);
    }
    ASSERT_EQ(Routersim({"fault", "--state", State(), "console-garbage"}), 0);
    {
        Port port(Com());
        const std::string junk = port.First("\r");
        EXPECT_FALSE(junk.empty());
        EXPECT_EQ(ScreenText(junk).find("Enter Password"), std::string::npos);
    }
    // A dropped line ends the PC's opening; the link then leads to a fresh line.
    ASSERT_EQ(Routersim({"fault", "--state", State(), "console-drop,console-dhcp-none"}), 0);
    const auto before = std::filesystem::read_symlink(Com());
    {
        Port port(Com());
        port.Ask("\r", "Enter Password: ");
        port.Ask("5807\r", "Enter Menu Selection Number:");
        EXPECT_TRUE(port.Ended());
        // Some of the screen may have come before the hang-up; never all of it.
        EXPECT_EQ(ScreenText(port.Raw()).find("Enter Menu Selection Number:"), std::string::npos);
    }
    EXPECT_NE(std::filesystem::read_symlink(Com()), before)
        << kittest::ReadHostFile(State() + "/routersim.log");
    ASSERT_EQ(Routersim({"fault", "--state", State(), "console-dhcp-none"}), 0);
    Port port(Com());
    LogIn(port);
    port.Ask("3\r", "Enter Menu Selection Number:");
    EXPECT_EQ(Field(port.Ask("2\r", "Press ENTER to Confirm"), "DHCP=", 2), "None");
}

TEST_F(SerialTest, PythonSerialAtNineThousandSixHundredBaud)
{
    if (kitservers::Run(kitservers::kPython, {"-c", "import serial"}) != 0)
        GTEST_SKIP() << "Debian's python3-serial is not installed (./kit installs it)";
    Settings("30200008 = 172.16.0.1\r\n30200009 = 12\r\n30200001 = 1\r\n30200002 = 172.16.0.100\r\n"
             "30200003 = 64\r\n30200004 = 172.16.0.1\r\n30200005 = 8.8.4.4\r\n");
    Start({"--baud", "9600", "--password", "zyxel"});
    std::string output;
    EXPECT_EQ(kitservers::Run(kitservers::kPython, {KIT_SERIAL_CHECK, Com(), "zyxel"}, &output), 0) << output;
    EXPECT_EQ(output, "172.16.0.1 255.240.0.0 Server 172.16.0.100 64 172.16.0.1 8.8.4.4\n");
}
