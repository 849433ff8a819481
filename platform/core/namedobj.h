// The PC's namespace of named kernel objects (mutexes, file mappings), shared by every process
// using the same $KIT_MACHINE.
#pragma once

#include "platform/windows.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace plat
{
enum class NamedKind : uint32_t
{
    Mutex = 1,
    Mapping = 2,
};

// Each named object is a file in $KIT_MACHINE/objects: a header page, then the object's shared
// data. Every open handle holds a shared lock on byte 0 of the file (an open-file-description
// lock, so it goes away with the handle or with a dead process); an object "exists" while
// anyone holds that lock, and a file nobody holds is a stale leftover that the next creator
// starts afresh, as Windows forgets an object when its last handle closes. Byte 1 is locked
// exclusively around the check-and-create so two creators cannot race; a creator whose shared
// data needs more than zeros keeps that lock until the data is ready, so nobody else opens the
// object half made.
class NamedObjectFile
{
  public:
    static constexpr size_t kHeaderSize = 4096;

    // What a creator does with the creation lock: gives it back at once (the shared data is
    // all zeros), or keeps it until Ready.
    enum class Creation
    {
        Done,
        UntilReady,
    };

    // Opens or creates the object; on failure returns nullopt with the last error set
    // (ERROR_INVALID_HANDLE when the name belongs to another kind of object,
    // ERROR_FILE_NOT_FOUND when opening a missing one). `existed` tells whether another handle
    // had it open; `payloadSize` is the size of the shared data for a new object.
    static std::optional<NamedObjectFile> Open(std::string_view name, NamedKind kind, uint64_t payloadSize,
                                               bool create, bool &existed,
                                               Creation creation = Creation::Done);
    NamedObjectFile(NamedObjectFile &&other) noexcept;
    NamedObjectFile &operator=(NamedObjectFile &&) = delete;
    ~NamedObjectFile(); // a creation lock still held goes with the descriptor

    // The new object's shared data is in place: others may open it.
    void Ready();

    int Descriptor() const { return fd_; }
    uint64_t PayloadSize() const { return payloadSize_; }

  private:
    NamedObjectFile(int fd, uint64_t payloadSize, bool creating)
        : fd_(fd), payloadSize_(payloadSize), creating_(creating)
    {
    }
    int fd_;
    uint64_t payloadSize_;
    bool creating_;
};
} // namespace plat
