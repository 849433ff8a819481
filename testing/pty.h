// A pseudo-terminal standing for a device on one of the PC's COM ports: the PC's devices/COMn
// links to its slave, the test speaks through its master as the device would.
#pragma once

#include <string>
#include <string_view>

namespace kittest
{
class PtyDevice
{
  public:
    // Opens the pair and links the current PC's devices/COM<port> to the slave.
    explicit PtyDevice(int port = 1);
    ~PtyDevice(); // closes the master (the PC's side sees the line hang up) and the link
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    bool Ok() const { return master_ >= 0; }
    int Master() const { return master_; }
    const std::string &SlavePath() const { return slave_; }

    // Bytes the PC sent, as many as come within waitMs of silence (at most `max`).
    std::string Receive(int waitMs = 200, size_t max = 65536);
    // Reads until `text` has come (or timeoutMs passed); everything read.
    std::string ReceiveUntil(std::string_view text, int timeoutMs = 5000);
    // Writes the bytes; false when the line stays full (nobody reads it) for 200 ms.
    bool Send(std::string_view bytes);
    // Closes the master now: the line hangs up under the PC.
    void HangUp();

  private:
    int master_ = -1;
    std::string slave_;
    std::string link_;
};
} // namespace kittest
