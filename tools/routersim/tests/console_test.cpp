// The router's console as a state machine: what it answers to the keys the kit's reader and a
// person at a terminal send, read off the screen the way the reader reads it.
#include "tools/routersim/Console.h"
#include "tools/routersim/tests/ConsoleScreen.h"

#include <gtest/gtest.h>
#include <map>

namespace
{
using consolescreen::Field;
using consolescreen::ScreenText;
using routersim::Console;
using routersim::ConsoleFaults;

const char *const kMenu32 = "Menu 3.2 - TCP/IP and DHCP Ethernet Setup";

class ConsoleTest : public testing::Test
{
  protected:
    ConsoleTest()
        : console_({[this] { return password_; },
                    [this](int code) {
                        const auto it = values_.find(code);
                        return it == values_.end() ? std::string() : it->second;
                    }})
    {
    }

    // What the console shows after `keys`, as the reader's screen text.
    std::string Keys(const std::string &keys)
    {
        last_ = console_.Feed(keys);
        return ScreenText(last_.bytes);
    }
    void LogIn()
    {
        ASSERT_NE(Keys("\r").find("Enter Password: "), std::string::npos);
        ASSERT_NE(Keys(password_ + "\r").find(" Prestige 643 Main Menu"), std::string::npos);
    }
    void SetFaults(void (*set)(ConsoleFaults &))
    {
        ConsoleFaults faults;
        set(faults);
        console_.SetFaults(faults);
    }

    std::string password_ = "5807";
    std::map<int, std::string> values_ = {
        {30200001, "1"},           {30200002, "10.0.0.50"},  {30200003, "20"}, {30200004, "80.58.0.33"},
        {30200005, "80.58.32.97"}, {30200008, "10.0.0.138"}, {30200009, "16"},
    };
    Console console_;
    Console::Answer last_;
};
} // namespace

TEST_F(ConsoleTest, TheReadersWalkToMenu32AndBack)
{
    const std::string prompt = Keys("\r");
    EXPECT_EQ(last_.bytes.find('\x1b'), std::string::npos); // searched as it comes
    EXPECT_NE(prompt.find("Enter Password: "), std::string::npos);
    EXPECT_EQ(prompt.find("Menu"), std::string::npos);
    EXPECT_EQ(console_.Feed("5").bytes, "*");
    EXPECT_EQ(console_.Feed("8").bytes, "*");
    EXPECT_EQ(console_.Feed("0").bytes, "*");
    const std::string main = Keys("7\r");
    EXPECT_EQ(last_.bytes.rfind("*\r\n\x1b[2J\x1b[H", 0), 0u);
    EXPECT_NE(main.find(" Prestige 643 Main Menu"), std::string::npos) << main;
    EXPECT_NE(main.find("Enter Menu Selection Number:"), std::string::npos);
    EXPECT_NE(main.find("3. Ethernet Setup"), std::string::npos);
    EXPECT_NE(main.find("99. Exit"), std::string::npos);

    const std::string ethernet = Keys("3\r");
    EXPECT_NE(ethernet.find("Menu 3 - Ethernet Setup"), std::string::npos) << ethernet;
    EXPECT_NE(ethernet.find("1. General Setup"), std::string::npos);
    EXPECT_NE(ethernet.find("2. TCP/IP and DHCP Setup"), std::string::npos);

    const std::string form = Keys("2\r");
    ASSERT_NE(form.find(kMenu32), std::string::npos) << form;
    EXPECT_EQ(Field(form, "IP Address", 3), "10.0.0.138");
    EXPECT_EQ(Field(form, "IP Subnet Mask=", 4), "255.255.0.0");
    EXPECT_EQ(Field(form, "DHCP=", 2), "Server");
    EXPECT_EQ(Field(form, "Client IP Pool Starting Address=", 6), "10.0.0.50");
    EXPECT_EQ(Field(form, "Size of Client IP Pool", 6), "20");
    EXPECT_EQ(Field(form, "Primary DNS Server", 4), "80.58.0.33");
    EXPECT_EQ(Field(form, "Secondary DNS Server", 4), "80.58.32.97");
    EXPECT_EQ(form.find("Invalid"), std::string::npos);

    // ESC: the form goes up to Menu 3, Menu 3 to the main menu; then 99 logs out.
    EXPECT_EQ(Keys("\x1b").find("Prestige 643 Main Menu"), std::string::npos);
    EXPECT_NE(Keys("\x1b").find("Prestige 643 Main Menu"), std::string::npos);
    const std::string out = Keys("99\r");
    EXPECT_NE(out.find(" Prestige 643 Main Menu"), std::string::npos);
    EXPECT_NE(out.find("Session closed"), std::string::npos);
    EXPECT_EQ(out.find("Invalid"), std::string::npos);
    // Logged out: digits mean nothing, a carriage return asks for the password again.
    EXPECT_NE(Keys("3\r").find("Enter Password"), std::string::npos);
}

TEST_F(ConsoleTest, TheDefaultsOfTheRouterAsDelivered)
{
    values_ = {{30200001, "1"},       {30200002, "192.168.1.33"}, {30200003, "32"},
               {30200004, "0.0.0.0"}, {30200008, "192.168.1.1"},  {30200009, "24"},
               {30200010, "None"}};
    LogIn();
    Keys("3\r");
    const std::string form = Keys("2\r");
    EXPECT_EQ(Field(form, "IP Address", 3), "192.168.1.1");
    EXPECT_EQ(Field(form, "IP Subnet Mask=", 4), "255.255.255.0");
    EXPECT_EQ(Field(form, "Client IP Pool Starting Address=", 6), "192.168.1.33");
    EXPECT_EQ(Field(form, "Size of Client IP Pool", 6), "32");
    EXPECT_EQ(Field(form, "Primary DNS Server", 4), "0.0.0.0");
    EXPECT_EQ(Field(form, "Secondary DNS Server", 4), "0.0.0.0"); // not set
    EXPECT_EQ(Field(form, "RIP Direction=", 3), "None");
}

TEST_F(ConsoleTest, ADhcpServerThatIsOffShowsNone)
{
    values_[30200001] = "0";
    LogIn();
    Keys("3\r");
    std::string form = Keys("2\r");
    EXPECT_EQ(Field(form, "DHCP=", 2), "None");
    EXPECT_EQ(Field(form, "Size of Client IP Pool", 6), "N/A");
    EXPECT_EQ(Field(form, "IP Address", 3), "10.0.0.138");

    values_[30200001] = "1";
    SetFaults([](ConsoleFaults &f) { f.dhcpNone = true; });
    form = Keys("\x1b"
                "2\r");
    EXPECT_EQ(Field(form, "DHCP=", 2), "None");
    EXPECT_EQ(Field(form, "IP Subnet Mask=", 4), "255.255.0.0");
}

TEST_F(ConsoleTest, WrongPasswordsAndTheThirdOne)
{
    password_ = "secret";
    Keys("\r");
    for (int attempt = 1; attempt <= 2; ++attempt)
    {
        const std::string answer = Keys("5807\r");
        EXPECT_NE(answer.find("Password is not correct"), std::string::npos) << attempt;
        EXPECT_NE(answer.find("Enter Password: "), std::string::npos) << attempt;
        EXPECT_EQ(answer.find("Menu"), std::string::npos);
    }
    const std::string third = Keys("5807\r");
    EXPECT_NE(third.find("Password is not correct"), std::string::npos);
    EXPECT_EQ(third.find("Enter Password"), std::string::npos); // back to waiting
    EXPECT_EQ(Keys("secret"), "");                              // nobody asked
    EXPECT_NE(Keys("\r").find("Enter Password: "), std::string::npos);
    // An empty line asks again without counting; a mistyped character can be rubbed out.
    EXPECT_NE(Keys("\r").find("Enter Password: "), std::string::npos);
    EXPECT_EQ(console_.Feed("secrex\x7f").bytes, "******\b \b");
    EXPECT_NE(Keys("t\r").find("Prestige 643 Main Menu"), std::string::npos);
}

TEST_F(ConsoleTest, BadChoicesAreInvalidAndTheMenuStays)
{
    LogIn();
    for (const char *choice : {"7\r", "0\r", "31\r", "3.2\r"})
    {
        const std::string answer = Keys(choice);
        EXPECT_NE(answer.find("Invalid selection"), std::string::npos) << choice;
        EXPECT_EQ(answer.find("Menu 3 - Ethernet Setup"), std::string::npos) << choice;
    }
    // Still at the main menu: digits beyond two are not taken, a rubbed-out one is gone.
    EXPECT_NE(Keys("333\r").find("Invalid selection"), std::string::npos);
    EXPECT_NE(Keys("3\r").find("Menu 3 - Ethernet Setup"), std::string::npos);
    EXPECT_NE(Keys("99\r").find("Invalid"), std::string::npos); // 99 is the main menu's only
    EXPECT_NE(Keys("2\x7f"
                   "1\r")
                  .find("Menu 3.1 - General Ethernet Setup"),
              std::string::npos);
    EXPECT_NE(Keys("\r").find("Menu 3 - Ethernet Setup"), std::string::npos); // ENTER confirms, up
    EXPECT_NE(Keys("\x1b").find(" Prestige 643 Main Menu"), std::string::npos);
    EXPECT_NE(Keys("\x1b").find(" Prestige 643 Main Menu"), std::string::npos); // the top stays
    // A carriage return alone redraws the menu: a logged-in console answers "\r" with a menu.
    EXPECT_NE(Keys("\r").find("Enter Menu Selection Number:"), std::string::npos);
    EXPECT_NE(Keys("1\r").find("Menu 1 - General Setup"), std::string::npos);
}

TEST_F(ConsoleTest, EveryPieceIsPlacedOnTheScreen)
{
    LogIn();
    const std::string bytes = console_.Feed("3\r").bytes;
    // Only the echoed digit comes before the screen; every text follows a cursor position.
    ASSERT_EQ(bytes.rfind("3\x1b[2J\x1b[H\x1b[1;21HMenu 3 - Ethernet Setup\x1b[K", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("\x1b[3;25H1. General Setup\x1b[K"), std::string::npos);
    EXPECT_NE(bytes.find("\x1b[21;27HEnter Menu Selection Number:\x1b[K\x1b[21;56H"), std::string::npos);
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
}

TEST_F(ConsoleTest, Misbehaviours)
{
    SetFaults([](ConsoleFaults &f) { f.silent = true; });
    EXPECT_EQ(console_.Feed("\r5807\r3\r").bytes, "");

    SetFaults([](ConsoleFaults &f) { f.noPassword = true; });
    EXPECT_NE(Keys("\r").find(" Prestige 643 Main Menu"), std::string::npos);
    Keys("99\r");

    SetFaults([](ConsoleFaults &f) { f.wrongPassword = true; });
    Keys("\r");
    EXPECT_NE(Keys("5807\r").find("Password is not correct"), std::string::npos);

    SetFaults([](ConsoleFaults &f) { f.garbage = true; });
    for (const char *keys : {"\r", "5807\r", "3\r"})
    {
        const std::string junk = console_.Feed(keys).bytes;
        EXPECT_GE(junk.size(), 16u);
        const std::string screen = ScreenText(junk);
        for (const char *text : {"Menu", "Password", "Invalid"})
            EXPECT_EQ(screen.find(text), std::string::npos) << keys;
    }

    SetFaults([](ConsoleFaults &f) { f.drop = true; });
    Keys("\r");
    last_ = console_.Feed("5807\r3\r");
    EXPECT_TRUE(last_.hangUp);
    EXPECT_NE(ScreenText(last_.bytes).find("Prestige 643 Main Menu"), std::string::npos);
    EXPECT_EQ(ScreenText(last_.bytes).find("Enter Menu Selection Number:"), std::string::npos); // half
    // The line is gone with the session: the next one starts at the password.
    console_.SetFaults({});
    EXPECT_NE(Keys("\r").find("Enter Password: "), std::string::npos);
}
