// The Prestige 643's serial console as a state machine: bytes typed in, bytes the console
// sends back. The line it runs on (a pty) is ConsoleLine's.
//
// Dialogue: a carriage return asks "Enter Password: " (each typed character echoed as '*');
// a wrong password answers "Password is not correct" and asks again, and the third wrong one
// in a row drops back to waiting for a carriage return. The menus are drawn on an 80x25 VT100
// screen: ESC[2J ESC[H, then every piece of text placed with ESC[row;colH and followed by ESC[K.
// At "Enter Menu Selection Number:" digits (echoed) and a carriage return choose; a number the
// menu does not have writes "Invalid selection". ESC goes up one menu (at the main menu it
// redraws it); a carriage return alone redraws the menu. "99" at the main menu logs out: the
// screen is cleared, the main menu's title is kept on its first row with "Session closed" below
// it, and the console waits for a carriage return again. The session survives the PC closing
// and reopening the port.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace routersim
{
// Console misbehaviours, set by `routersim fault` and taken at every new opening of the port.
struct ConsoleFaults
{
    bool silent = false;        // console-silent: reads everything, never answers
    bool noPassword = false;    // console-no-password: the main menu without a password prompt
    bool wrongPassword = false; // console-wrong-password: every password "is not correct"
    bool garbage = false;       // console-garbage: bytes and escape junk, never a prompt
    bool drop = false;          // console-drop: the line hangs up halfway through every screen
    bool dhcpNone = false;      // console-dhcp-none: Menu 3.2 shows "DHCP= None"
};

// Where the console's screens take their values from: the router's running settings.
struct ConsoleSource
{
    std::function<std::string()> password;      // the system password
    std::function<std::string(int code)> value; // a running setting, by its code
};

class Console
{
  public:
    explicit Console(ConsoleSource source);

    void SetFaults(const ConsoleFaults &faults) { faults_ = faults; }

    struct Answer
    {
        std::string bytes;   // what the console sends
        bool hangUp = false; // the line is dropped once `bytes` are sent (input after it is lost)
    };
    Answer Feed(std::string_view input);

    // The line went down: waiting for a carriage return, logged out.
    void Reset();

  private:
    enum class State
    {
        Waiting,  // for a carriage return
        Password, // "Enter Password: " asked
        Menu,     // a menu or form of the logged-in session
    };

    void Take(char c, Answer &answer);
    void TakePassword(char c, Answer &answer);
    void TakeMenu(char c, Answer &answer);
    void Choose(Answer &answer);
    void LogIn(Answer &answer);
    void Up(Answer &answer);
    void Draw(Answer &answer);
    void Garbage(size_t typed, Answer &answer);
    bool OnForm() const;

    ConsoleSource source_;
    ConsoleFaults faults_;
    State state_ = State::Waiting;
    std::string typed_;    // the password or the menu number being typed
    int failures_ = 0;     // wrong passwords in a row
    std::string page_;     // "" the main menu, "3", "3.2"...
    uint32_t noise_ = 643; // console-garbage's generator
};
} // namespace routersim
