#include "tools/routersim/Console.h"

#include <cstdio>
#include <vector>

namespace routersim
{
namespace
{
constexpr char kEsc = '\x1b';
constexpr int kMaxFailures = 3; // wrong passwords in a row before the console gives up
constexpr size_t kMaxPassword = 30;
constexpr size_t kMaxChoice = 2; // menu numbers have one or two digits
const char *const kTitle = "Prestige 643 Main Menu";
const char *const kLogout = "99";

// The running settings the screens show.
enum Code
{
    kDhcpServer = 30200001,
    kPoolStart = 30200002,
    kPoolSize = 30200003,
    kDns1 = 30200004,
    kDns2 = 30200005,
    kLanIp = 30200008,
    kLanMask = 30200009,
    kRipDirection = 30200010,
    kRipVersion = 30200011,
    kMulticast = 30200012,
};

// Where the prompts and their input are.
struct Spot
{
    int row, column;
};
constexpr Spot kSelectionPrompt{21, 27};
constexpr Spot kSelectionInput{21, 56};
constexpr Spot kMessage{23, 27};
constexpr Spot kConfirmPrompt{22, 20};
constexpr Spot kConfirmInput{22, 61};

struct Piece
{
    int row, column;
    std::string text;
};

std::string MoveTo(Spot spot)
{
    char move[24];
    std::snprintf(move, sizeof move, "%c[%d;%dH", kEsc, spot.row, spot.column);
    return move;
}

std::string Placed(const Piece &piece)
{
    return MoveTo({piece.row, piece.column}) + piece.text + kEsc + "[K";
}

std::string ClearScreen()
{
    return std::string(1, kEsc) + "[2J" + kEsc + "[H";
}

// A choice of a menu: the page it opens is the menu's page, a dot, and its number.
struct Entry
{
    const char *menu;
    const char *number;
    const char *label;
    Spot spot;
};

const Entry kEntries[] = {
    {"", "1", "General Setup", {4, 4}},        {"", "2", "WAN Setup", {5, 4}},
    {"", "3", "Ethernet Setup", {6, 4}},       {"", "4", "Internet Access Setup", {7, 4}},
    {"", "11", "Remote Node Setup", {10, 4}},  {"", "12", "Static Routing Setup", {11, 4}},
    {"", "15", "NAT Setup", {12, 4}},          {"", "21", "Filter Set Configuration", {4, 43}},
    {"", "22", "SNMP Configuration", {5, 43}}, {"", "23", "System Password", {6, 43}},
    {"", "24", "System Maintenance", {7, 43}}, {"", "25", "IP Routing Policy Setup", {8, 43}},
    {"", "26", "Schedule Setup", {9, 43}},     {"", kLogout, "Exit", {12, 43}},
    {"3", "1", "General Setup", {3, 25}},      {"3", "2", "TCP/IP and DHCP Setup", {4, 25}},
};

std::string PageOf(const Entry &entry)
{
    return *entry.menu ? std::string(entry.menu) + "." + entry.number : std::string(entry.number);
}

const Entry *Find(const std::string &menu, const std::string &number)
{
    for (const Entry &entry : kEntries)
        if (menu == entry.menu && number == entry.number)
            return &entry;
    return nullptr;
}

bool IsMenu(const std::string &page)
{
    for (const Entry &entry : kEntries)
        if (page == entry.menu)
            return true;
    return false;
}

std::string ParentOf(const std::string &page)
{
    const size_t dot = page.rfind('.');
    return dot == std::string::npos ? std::string() : page.substr(0, dot);
}

// "Menu 3.2 - TCP/IP and DHCP Ethernet Setup"; the main menu's own title.
std::string TitleOf(const std::string &page)
{
    if (page.empty())
        return kTitle;
    std::string name;
    if (page == "3.1")
        name = "General Ethernet Setup";
    else if (page == "3.2")
        name = "TCP/IP and DHCP Ethernet Setup";
    else
        for (const Entry &entry : kEntries)
            if (PageOf(entry) == page)
                name = entry.label;
    return "Menu " + page + " - " + name;
}

std::string DottedMask(const std::string &prefix)
{
    int bits = 0;
    if (std::sscanf(prefix.c_str(), "%d", &bits) != 1 || bits < 0 || bits > 32)
        return "0.0.0.0";
    const uint32_t mask = bits ? ~uint32_t(0) << (32 - bits) : 0;
    char text[20];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", mask >> 24, mask >> 16 & 255, mask >> 8 & 255,
                  mask & 255);
    return text;
}

class Values
{
  public:
    explicit Values(const ConsoleSource &source) : source_(source) {}
    std::string Text(int code, const char *unset) const
    {
        const std::string value = source_.value ? source_.value(code) : std::string();
        return value.empty() ? unset : value;
    }
    std::string Address(int code) const
    {
        const std::string value = Text(code, "0.0.0.0");
        return value == "0" ? "0.0.0.0" : value;
    }

  private:
    const ConsoleSource &source_;
};

std::vector<Piece> TcpIpForm(const ConsoleSource &source, bool dhcpNone)
{
    const Values values(source);
    const bool server = !dhcpNone && values.Text(kDhcpServer, "0") == "1";
    const auto pool = [&](const std::string &value) { return server ? value : std::string("N/A"); };
    return {
        {3, 11, std::string("DHCP= ") + (server ? "Server" : "None")},
        {4, 11, "Client IP Pool Starting Address= " + pool(values.Address(kPoolStart))},
        {5, 11, "Size of Client IP Pool= " + pool(values.Text(kPoolSize, "0"))},
        {6, 11, "Primary DNS Server= " + pool(values.Address(kDns1))},
        {7, 11, "Secondary DNS Server= " + pool(values.Address(kDns2))},
        {8, 11, "Remote DHCP Server= N/A"},
        {10, 11, "TCP/IP Setup:"},
        {12, 11, "IP Address= " + values.Address(kLanIp)},
        {13, 11, "IP Subnet Mask= " + DottedMask(values.Text(kLanMask, "0"))},
        {14, 11, "RIP Direction= " + values.Text(kRipDirection, "None")},
        {15, 13, "Version= " + values.Text(kRipVersion, "RIP-1")},
        {16, 11, "Multicast= " + values.Text(kMulticast, "None")},
        {17, 11, "IP Policies="},
        {18, 11, "Edit IP Alias= No"},
    };
}

std::vector<Piece> FormBody(const std::string &page, const ConsoleSource &source, bool dhcpNone)
{
    if (page == "3.2")
        return TcpIpForm(source, dhcpNone);
    if (page == "3.1")
        return {{3, 11, "Input Filter Sets:"},  {4, 13, "protocol filters="}, {5, 13, "device filters="},
                {6, 11, "Output Filter Sets:"}, {7, 13, "protocol filters="}, {8, 13, "device filters="}};
    return {{10, 11, "Nothing to change here."}};
}

std::vector<Piece> MenuBody(const std::string &page)
{
    std::vector<Piece> pieces;
    if (page.empty())
    {
        pieces.push_back({3, 2, "Getting Started"});
        pieces.push_back({3, 41, "Advanced Management"});
        pieces.push_back({9, 2, "Advanced Applications"});
    }
    for (const Entry &entry : kEntries)
        if (page == entry.menu)
            pieces.push_back(
                {entry.spot.row, entry.spot.column, std::string(entry.number) + ". " + entry.label});
    return pieces;
}
} // namespace

Console::Console(ConsoleSource source) : source_(std::move(source)) {}

void Console::Reset()
{
    state_ = State::Waiting;
    typed_.clear();
    failures_ = 0;
    page_.clear();
}

Console::Answer Console::Feed(std::string_view input)
{
    Answer answer;
    if (faults_.silent || input.empty())
        return answer;
    if (faults_.garbage)
    {
        Garbage(input.size(), answer);
        return answer;
    }
    for (char c : input)
    {
        Take(c, answer);
        if (answer.hangUp)
            break;
    }
    return answer;
}

void Console::Take(char c, Answer &answer)
{
    if (c == '\n')
        return; // a terminal's CR LF counts once
    switch (state_)
    {
    case State::Waiting:
        if (c != '\r')
            return;
        if (faults_.noPassword)
            return LogIn(answer);
        state_ = State::Password;
        typed_.clear();
        answer.bytes += "\r\nEnter Password: ";
        return;
    case State::Password:
        return TakePassword(c, answer);
    case State::Menu:
        return TakeMenu(c, answer);
    }
}

void Console::TakePassword(char c, Answer &answer)
{
    if (c == '\b' || c == '\x7f')
    {
        if (!typed_.empty())
        {
            typed_.pop_back();
            answer.bytes += "\b \b";
        }
        return;
    }
    if (c != '\r')
    {
        if (static_cast<unsigned char>(c) >= ' ' && typed_.size() < kMaxPassword)
        {
            typed_ += c;
            answer.bytes += '*';
        }
        return;
    }
    if (typed_.empty())
    {
        answer.bytes += "\r\nEnter Password: ";
        return;
    }
    const bool right = !faults_.wrongPassword && source_.password && typed_ == source_.password();
    typed_.clear();
    if (right)
    {
        answer.bytes += "\r\n";
        return LogIn(answer);
    }
    answer.bytes += "\r\nPassword is not correct\r\n";
    if (++failures_ >= kMaxFailures)
        return Reset();
    answer.bytes += "\r\nEnter Password: ";
}

void Console::TakeMenu(char c, Answer &answer)
{
    if (c == kEsc)
        return Up(answer);
    if (OnForm())
    {
        if (c == '\r') // confirmed: nothing on the forms changes, so back up
            Up(answer);
        return;
    }
    if (c == '\r')
        return Choose(answer);
    if ((c == '\b' || c == '\x7f') && !typed_.empty())
    {
        typed_.pop_back();
        answer.bytes += "\b \b";
    }
    else if (c >= '0' && c <= '9' && typed_.size() < kMaxChoice)
    {
        typed_ += c;
        answer.bytes += c;
    }
}

void Console::Choose(Answer &answer)
{
    const std::string choice = std::move(typed_);
    typed_.clear();
    if (choice.empty())
        return Draw(answer);
    if (page_.empty() && choice == kLogout)
    {
        answer.bytes += ClearScreen() + Placed({1, 29, kTitle}) +
                        Placed({12, 24, "Session closed. Press ENTER to log in."});
        return Reset();
    }
    if (const Entry *entry = Find(page_, choice))
    {
        page_ = PageOf(*entry);
        return Draw(answer);
    }
    answer.bytes +=
        Placed({kMessage.row, kMessage.column, "Invalid selection"}) + MoveTo(kSelectionInput) + kEsc + "[K";
}

void Console::LogIn(Answer &answer)
{
    state_ = State::Menu;
    page_.clear();
    typed_.clear();
    failures_ = 0;
    Draw(answer);
}

void Console::Up(Answer &answer)
{
    page_ = ParentOf(page_);
    typed_.clear();
    Draw(answer);
}

bool Console::OnForm() const
{
    return !IsMenu(page_);
}

void Console::Draw(Answer &answer)
{
    const bool form = OnForm();
    const std::string title = TitleOf(page_);
    std::string screen = ClearScreen() + Placed({1, page_.empty() ? 29 : 21, title});
    for (const Piece &piece : form ? FormBody(page_, source_, faults_.dhcpNone) : MenuBody(page_))
        screen += Placed(piece);
    if (form)
        screen +=
            Placed({kConfirmPrompt.row, kConfirmPrompt.column, "Press ENTER to Confirm or ESC to Cancel:"}) +
            MoveTo(kConfirmInput);
    else
        screen += Placed({kSelectionPrompt.row, kSelectionPrompt.column, "Enter Menu Selection Number:"}) +
                  MoveTo(kSelectionInput);
    if (faults_.drop)
    {
        screen.resize(screen.size() / 2);
        answer.hangUp = true;
        Reset();
    }
    answer.bytes += screen;
}

void Console::Garbage(size_t typed, Answer &answer)
{
    // No letters but the ends of escape sequences, so that no prompt can ever be read in it.
    static const char kJunk[] = "\x1b\x1b[[[0123456789;;HJK#*~";
    for (size_t i = 0; i < typed * 16; ++i)
    {
        noise_ ^= noise_ << 13;
        noise_ ^= noise_ >> 17;
        noise_ ^= noise_ << 5;
        const uint32_t pick = noise_ % (sizeof kJunk - 1 + 128);
        answer.bytes +=
            pick < sizeof kJunk - 1 ? kJunk[pick] : static_cast<char>(0x80 + (pick - (sizeof kJunk - 1)));
    }
}
} // namespace routersim
