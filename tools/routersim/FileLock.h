// Advisory locks (flock) on a file or folder of the router's state. A lock belongs to the open
// file, so a child forked by the holder keeps it after the holder's exit, and it goes when the
// last holder ends, however it ends: a router that died leaves no lock behind.
#pragma once

#include <string>

namespace routersim
{
class FileLock
{
  public:
    FileLock() = default;
    ~FileLock() { Close(); }
    FileLock(FileLock &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock &operator=(FileLock &&other) noexcept;
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Opens the file (created when missing) or folder to lock; false with errno set.
    bool Open(const std::string &path, bool folder);
    // Takes the lock if nobody holds it; false when somebody does.
    bool TryLock() const;
    // Takes the lock, waiting for its holder up to `seconds`; false when it held on.
    bool LockWithin(unsigned seconds) const;
    // Takes the lock, however long the holder keeps it (held for short updates only).
    void Lock() const;
    void Close();

  private:
    int fd_ = -1;
};
} // namespace routersim
