// File mappings backed by the paging file: shared memory. Named mappings are the PC's named
// objects (platform/core/namedobj.h), so every process of the PC maps the same memory; the
// mapping disappears when its last handle and its last view are gone.
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"
#include "platform/core/namedobj.h"

#include <map>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace
{
class MappingObject : public plat::KernelObject
{
  public:
    MappingObject(int fd, uint64_t offset, uint64_t size, bool writable,
                  std::unique_ptr<plat::NamedObjectFile> named)
        : KernelObject(plat::ObjectKind::Mapping), fd_(fd), offset_(offset), size_(size), writable_(writable),
          named_(std::move(named))
    {
    }
    ~MappingObject() override
    {
        if (!named_ && fd_ >= 0)
            ::close(fd_);
    }
    int Descriptor() const { return fd_; }
    uint64_t Offset() const { return offset_; }
    uint64_t Size() const { return size_; }
    bool Writable() const { return writable_; }

  private:
    int fd_;
    uint64_t offset_;
    uint64_t size_;
    bool writable_;
    std::unique_ptr<plat::NamedObjectFile> named_; // owns fd_ when named
};

struct View
{
    size_t length;
    std::shared_ptr<MappingObject> mapping; // a view keeps its mapping alive
};

struct Views
{
    std::mutex lock;
    std::map<const void *, View> byAddress;
};

Views &TheViews()
{
    static auto *views = new Views;
    return *views;
}

bool ProtectionAllowed(DWORD protect, bool &writable)
{
    switch (protect & 0xFF)
    {
    case PAGE_READONLY:
        writable = false;
        return true;
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
        writable = true;
        return true;
    default:
        return false;
    }
}

HANDLE InsertMapping(std::shared_ptr<MappingObject> mapping, bool existed)
{
    HANDLE handle = plat::InsertHandle(std::move(mapping));
    if (handle)
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}
} // namespace

// CreateFileMappingA: paging-file backed mappings only (hFile = INVALID_HANDLE_VALUE); a named
// one that exists is opened with ERROR_ALREADY_EXISTS and keeps its size. Differs: mapping a
// real file fails with ERROR_CALL_NOT_IMPLEMENTED.
HANDLE WINAPI CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                                 DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCSTR lpName)
{
    if (hFile != INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    bool writable = false;
    const uint64_t size = (static_cast<uint64_t>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
    if (!ProtectionAllowed(flProtect, writable) || size == 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (lpName && *lpName)
    {
        bool existed = false;
        auto file = plat::NamedObjectFile::Open(lpName, plat::NamedKind::Mapping, size, true, existed);
        if (!file)
            return nullptr;
        auto named = std::make_unique<plat::NamedObjectFile>(std::move(*file));
        int fd = named->Descriptor();
        uint64_t actual = named->PayloadSize();
        return InsertMapping(std::make_shared<MappingObject>(fd, plat::NamedObjectFile::kHeaderSize, actual,
                                                             writable, std::move(named)),
                             existed);
    }
    int fd = ::memfd_create("kit-mapping", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0)
    {
        if (fd >= 0)
            ::close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return InsertMapping(std::make_shared<MappingObject>(fd, 0, size, writable, nullptr), false);
}

// OpenFileMappingA: an existing named mapping of the PC; ERROR_FILE_NOT_FOUND otherwise.
HANDLE WINAPI OpenFileMappingA(DWORD dwDesiredAccess, BOOL, LPCSTR lpName)
{
    if (!lpName || !*lpName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool existed = false;
    auto file = plat::NamedObjectFile::Open(lpName, plat::NamedKind::Mapping, 0, false, existed);
    if (!file)
        return nullptr;
    auto named = std::make_unique<plat::NamedObjectFile>(std::move(*file));
    int fd = named->Descriptor();
    uint64_t size = named->PayloadSize();
    const bool writable = (dwDesiredAccess & FILE_MAP_WRITE) != 0;
    HANDLE handle = plat::InsertHandle(std::make_shared<MappingObject>(fd, plat::NamedObjectFile::kHeaderSize,
                                                                       size, writable, std::move(named)));
    if (handle)
        SetLastError(ERROR_SUCCESS);
    return handle;
}

// MapViewOfFile: a view of the mapping (0 bytes = to its end). Offsets must be multiples of
// the allocation granularity (64 KB), as on Windows.
LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                            DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap)
{
    std::shared_ptr<MappingObject> mapping =
        plat::GetHandleObject<MappingObject>(hFileMappingObject, plat::ObjectKind::Mapping);
    if (!mapping)
        return nullptr;
    const uint64_t offset = (static_cast<uint64_t>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
    if (offset % 65536 != 0 || offset >= mapping->Size())
    {
        SetLastError(offset % 65536 ? ERROR_MAPPED_ALIGNMENT : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    uint64_t length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : mapping->Size() - offset;
    if (offset + length > mapping->Size())
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const bool wantWrite = (dwDesiredAccess & FILE_MAP_WRITE) != 0 || dwDesiredAccess == FILE_MAP_ALL_ACCESS;
    if (wantWrite && !mapping->Writable())
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const bool copy = (dwDesiredAccess & FILE_MAP_COPY) != 0 && !wantWrite;
    void *address = ::mmap(nullptr, length, PROT_READ | (wantWrite || copy ? PROT_WRITE : 0),
                           copy ? MAP_PRIVATE : MAP_SHARED, mapping->Descriptor(),
                           static_cast<off_t>(mapping->Offset() + offset));
    if (address == MAP_FAILED)
    {
        plat::FailFromErrno();
        return nullptr;
    }
    Views &views = TheViews();
    std::lock_guard guard(views.lock);
    views.byAddress[address] = View{length, mapping};
    return address;
}

// UnmapViewOfFile: ends a view; ERROR_INVALID_ADDRESS for an address that is not a view.
BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress)
{
    View view;
    {
        Views &views = TheViews();
        std::lock_guard guard(views.lock);
        auto it = views.byAddress.find(lpBaseAddress);
        if (it == views.byAddress.end())
            return plat::Fail(ERROR_INVALID_ADDRESS);
        view = std::move(it->second);
        views.byAddress.erase(it);
    }
    ::munmap(const_cast<void *>(lpBaseAddress), view.length);
    return TRUE;
}
