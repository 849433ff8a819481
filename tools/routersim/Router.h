// The simulated Prestige 643's state: a directory.
//
//   routersim.ini   (LF line ends) [Router] Password= (5807: the password before any setting gives one),
//                   Address= (192.168.1.1), RestartSeconds= (3), FirmwareSettings= (keep;
//                   factory: a firmware received brings the factory settings back)
//                   [Faults] Fault= comma-separated misbehaviours (read at every new
//                            connection and every new opening of the console's port):
//                            refuse-login, drop-control, drop-data, slow, garbage, silent,
//                            no-data, firmware-no-data, firmware-drop-data, console-silent,
//                            console-no-password, console-wrong-password, console-garbage, console-drop,
//                            console-dhcp-none; Delay= milliseconds for slow (2000)
//                   [Running] Pid=, FtpPort=, HttpPort=, Com= (the PC's devices/COMn link),
//                             Pty= (where it leads) of the running simulator (empty once it
//                             has stopped)
//                   [Firmware] Size=, Received= of the last firmware ("ras") received
//   settings.txt    the running configuration, "code = value" CR LF in the codes' order
//   firmware.bin    the last firmware received
//   routersim.log   what happened: sessions, commands, transfers (and, for a detached
//                   router, what it writes on its standard error)
//   routersim.lock  held by the running simulator for its whole life
#pragma once

#include "tools/routerformat/RouterFormat.h"
#include "tools/routersim/Console.h"
#include "tools/routersim/StateIni.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace routersim
{
struct Faults
{
    bool refuseLogin = false;      // PASS answered 530
    bool dropControl = false;      // the control connection reset in the middle of a transfer
    bool dropData = false;         // the data connection reset in the middle of a transfer, then 426
    bool slow = false;             // every reply waits `delay` milliseconds
    bool garbage = false;          // answers that are no FTP replies
    bool silent = false;           // connections taken, never answered
    bool noData = false;           // 150 for a transfer, then no data connection and no reply
    bool firmwareNoData = false;   // no-data for the firmware ("ras") alone
    bool firmwareDropData = false; // drop-data for the firmware alone
    ConsoleFaults console;         // the serial console's
    int delay = 2000;
};

// Reads "refuse-login,slow"; false with the bad word in `error`.
bool ParseFaults(std::string_view list, Faults &faults, std::string &error);

class Router
{
  public:
    explicit Router(std::string stateDir);

    // The codes list and the settings (defaults where settings.txt has none).
    bool Load(const std::string &codesPath, std::string &error);
    // Keeps the running settings in settings.txt; false when they cannot be kept.
    bool Save() const;

    const std::string &StateDir() const { return dir_; }
    std::string LockPath() const { return dir_ + "/routersim.lock"; }
    std::string Ini(const char *section, const char *key, const char *fallback) const;
    // False when the state cannot keep it.
    bool SetIni(const char *section, const char *key, const std::string &value) const;

    // The password of the FTP server is the router's system password (code 23000001, as its
    // list says), or the state's when that setting is empty.
    std::string Password() const;
    // Stores a value in the running settings and keeps them; false when it does not fit.
    bool SetValue(int code, const std::string &value);
    // A running setting ("" when the code has none).
    std::string Value(int code) const;
    std::string Address() const { return Ini("Router", "Address", "192.168.1.1"); }
    int RestartSeconds() const;
    Faults CurrentFaults() const;

    // The configuration as the router serves it.
    std::string ConfigText() const;
    struct Applied
    {
        int taken = 0;    // settings stored
        int refused = 0;  // a known code with a value that does not fit it
        int ignored = 0;  // lines that are no setting of the list
        bool kept = true; // settings.txt holds them
    };
    // Takes a received configuration file into the running settings and keeps them.
    Applied ApplyConfig(std::string_view text);
    // Records the firmware just written to FirmwarePath(), and takes the factory settings
    // when the state says a firmware brings them; false when the state cannot.
    bool KeepFirmware(size_t size);
    std::string FirmwarePath() const { return dir_ + "/firmware.bin"; }

    void Log(const std::string &line) const;
    // Logs an event and, for a router in the foreground, prints it ("routersim: ...").
    void Announce(const std::string &line) const;
    void SetForeground(bool foreground) { foreground_ = foreground; }

  private:
    bool SaveSettings() const; // lock held

    std::string dir_;
    StateIni ini_;
    bool foreground_ = false;
    routerformat::CodeTable codes_;
    mutable std::mutex lock_;
    std::map<int, std::string> values_; // guarded by lock_
};
} // namespace routersim
