// Windows of the simulated PC: a record per window, visible to every process of the PC, as
// Windows' window handles are system-wide. Each record is a file in $KIT_MACHINE/objects/hwnd
// named after its handle; the owning process holds a shared lock on a far byte of it for the
// window's life (an open-file-description lock, so it goes with a dead process, as Windows
// destroys a dead program's windows), and every read or change of the record holds a lock on
// another byte. Handles are even 32-bit values, so they survive a 32-bit word as Windows
// promises. The control a window hosts and the user interface behind it are per process.
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitwindow.h"
#include "platform/core/lasterror.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <utility>
#include <unistd.h>
#include <vector>

namespace
{
constexpr uint32_t kMagic = 0x444E5748;      // "HWND"
constexpr off_t kAliveByte = off_t{1} << 30; // shared-locked by the owner while the window lives
constexpr off_t kDataByte = kAliveByte + 1;  // locked around every read or change of the record
constexpr int kMaxDepth = 64;                // parent chains are followed this far at most
constexpr uint32_t kFirstHandle = 0x00010000;

// The fixed part of a record; the window's text follows it.
struct RecordHeader
{
    uint32_t magic = kMagic;
    uint32_t handle = 0;
    uint32_t processId = 0;
    uint32_t threadId = 0;
    uint32_t parent = 0;
    uint32_t owner = 0;
    uint32_t lastPopup = 0;
    uint32_t changes = 0;
    uint8_t visible = 0;
    uint8_t iconic = 0;
    uint8_t zoomed = 0;
    uint8_t reserved = 0;
    uint32_t textLength = 0;
};

struct Record
{
    RecordHeader header;
    std::string text;
};

// The PC-wide foreground state.
struct ForegroundState
{
    uint32_t window = 0;
    uint32_t locked = 0;
};

uint32_t ValueOf(HWND window)
{
    const auto value = reinterpret_cast<uintptr_t>(window);
    return value > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(value);
}

HWND HandleOf(uint32_t value)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

std::string Folder()
{
    return kitpc::PathOf("objects/hwnd");
}

std::string RecordPath(uint32_t value)
{
    char name[32];
    std::snprintf(name, sizeof name, "/hwnd-%08X", value);
    return Folder() + name;
}

class Fd
{
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

bool LockByte(int fd, short type, off_t offset)
{
    struct flock lock
    {
    };
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    while (::fcntl(fd, type == F_UNLCK ? F_OFD_SETLK : F_OFD_SETLKW, &lock) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Whether some process still holds the window alive.
bool IsHeldAlive(int fd)
{
    struct flock lock
    {
    };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kAliveByte;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

bool ReadAll(int fd, Record &record)
{
    RecordHeader header;
    struct stat info
    {
    };
    if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        header.magic != kMagic || ::fstat(fd, &info) != 0)
        return false;
    // A damaged record never makes a text larger than the record holds.
    if (static_cast<uint64_t>(info.st_size) < sizeof header + uint64_t{header.textLength})
        return false;
    std::string text(header.textLength, '\0');
    if (header.textLength != 0 &&
        ::pread(fd, text.data(), text.size(), sizeof header) != static_cast<ssize_t>(text.size()))
        return false;
    record.header = header;
    record.text = std::move(text);
    return true;
}

bool WriteAll(int fd, const Record &record)
{
    std::string bytes(reinterpret_cast<const char *>(&record.header), sizeof record.header);
    bytes += record.text;
    return ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()) &&
           ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

// The record of a live window, read under the record's lock.
std::optional<Record> Read(HWND window)
{
    const uint32_t value = ValueOf(window);
    if (value == 0)
        return std::nullopt;
    Fd fd(::open(RecordPath(value).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0 || !LockByte(fd.Get(), F_RDLCK, kDataByte))
        return std::nullopt;
    Record record;
    const bool ok = ReadAll(fd.Get(), record) && record.header.handle == value && IsHeldAlive(fd.Get());
    LockByte(fd.Get(), F_UNLCK, kDataByte);
    if (!ok)
        return std::nullopt;
    return record;
}

// Changes a live window's record under its lock; false when it is not a window.
bool Update(HWND window, const std::function<void(Record &)> &change)
{
    const uint32_t value = ValueOf(window);
    if (value == 0)
        return false;
    Fd fd(::open(RecordPath(value).c_str(), O_RDWR | O_CLOEXEC));
    if (fd.Get() < 0 || !LockByte(fd.Get(), F_WRLCK, kDataByte))
        return false;
    Record record;
    bool ok = ReadAll(fd.Get(), record) && record.header.handle == value && IsHeldAlive(fd.Get());
    if (ok)
    {
        change(record);
        record.header.textLength = static_cast<uint32_t>(record.text.size());
        ++record.header.changes;
        ok = WriteAll(fd.Get(), record);
    }
    LockByte(fd.Get(), F_UNLCK, kDataByte);
    return ok;
}

// The folder-wide lock held while records are made or removed.
class FolderLock
{
  public:
    FolderLock() : fd_(::open((Folder() + "/.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644))
    {
        if (fd_.Get() >= 0)
            while (::flock(fd_.Get(), LOCK_EX) != 0 && errno == EINTR)
            {
            }
    }
    bool Held() const { return fd_.Get() >= 0; }

  private:
    Fd fd_;
};

// The foreground state lives in one small file, read and written under a lock of its own.
bool ChangeForeground(const std::function<void(ForegroundState &)> &change, ForegroundState *result = nullptr)
{
    std::error_code ec;
    std::filesystem::create_directories(Folder(), ec);
    Fd fd(::open((Folder() + "/foreground").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644));
    if (fd.Get() < 0 || !LockByte(fd.Get(), F_WRLCK, 0))
        return false;
    ForegroundState state;
    if (::pread(fd.Get(), &state, sizeof state, 0) != static_cast<ssize_t>(sizeof state))
        state = ForegroundState{};
    ForegroundState before = state;
    change(state);
    bool ok = true;
    if (std::memcmp(&before, &state, sizeof state) != 0)
        ok = ::pwrite(fd.Get(), &state, sizeof state, 0) == static_cast<ssize_t>(sizeof state);
    LockByte(fd.Get(), F_UNLCK, 0);
    if (result)
        *result = state;
    return ok;
}

ForegroundState ReadForeground()
{
    ForegroundState state;
    ChangeForeground([](ForegroundState &) {}, &state);
    return state;
}

// What this process keeps of its own windows.
struct LocalWindow
{
    int fd = -1; // holds the window alive
    IDispatch *control = nullptr;
    kitwin::WindowBackend *backend = nullptr;
};

struct LocalWindows
{
    std::mutex lock;
    std::map<uint32_t, LocalWindow> windows;
};

LocalWindows &Locals()
{
    static auto *locals = new LocalWindows; // never destroyed: windows may outlive static destruction
    return *locals;
}

kitwin::WindowBackend *BackendOf(HWND window)
{
    LocalWindows &locals = Locals();
    std::lock_guard guard(locals.lock);
    auto it = locals.windows.find(ValueOf(window));
    return it == locals.windows.end() ? nullptr : it->second.backend;
}

bool IsLocal(HWND window)
{
    LocalWindows &locals = Locals();
    std::lock_guard guard(locals.lock);
    return locals.windows.count(ValueOf(window)) != 0;
}

BOOL FailWindow()
{
    return plat::Fail(ERROR_INVALID_WINDOW_HANDLE);
}

std::nullptr_t NoWindow()
{
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

// Every live window whose record matches, for cascading destruction.
std::vector<uint32_t> WindowsWhere(const std::function<bool(const RecordHeader &)> &match)
{
    std::vector<uint32_t> found;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(Folder(), ec))
    {
        const std::string name = entry.path().filename().string();
        if (name.rfind("hwnd-", 0) != 0)
            continue;
        const uint32_t value = static_cast<uint32_t>(std::strtoul(name.c_str() + 5, nullptr, 16));
        if (auto record = Read(HandleOf(value)); record && match(record->header))
            found.push_back(value);
    }
    return found;
}

// Makes a record file with a fresh handle and holds it alive; returns its descriptor.
int CreateRecordFile(Record &record)
{
    static std::mutex randomLock;
    static std::mt19937 random(std::random_device{}());
    std::error_code ec;
    std::filesystem::create_directories(Folder(), ec);
    FolderLock folderLock;
    if (!folderLock.Held())
        return -1;
    for (int attempt = 0; attempt < 1000; ++attempt)
    {
        uint32_t value;
        {
            std::lock_guard guard(randomLock);
            value = (kFirstHandle + static_cast<uint32_t>(random() % (0x7FFF0000u - kFirstHandle))) & ~1u;
        }
        const std::string path = RecordPath(value);
        int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
        {
            // A record nobody holds is a dead program's window: its handle is free again.
            Fd old(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            if (old.Get() >= 0 && !IsHeldAlive(old.Get()))
                ::unlink(path.c_str());
            continue;
        }
        if (fd < 0)
            return -1;
        record.header.handle = value;
        record.header.textLength = static_cast<uint32_t>(record.text.size());
        if (!LockByte(fd, F_RDLCK, kAliveByte) || !WriteAll(fd, record))
        {
            ::close(fd);
            ::unlink(path.c_str());
            return -1;
        }
        return fd;
    }
    errno = ENOSPC;
    return -1;
}

void SetLastPopupOfOwner(const Record &record)
{
    if (record.header.owner)
        Update(HandleOf(record.header.owner),
               [&](Record &owner) { owner.header.lastPopup = record.header.handle; });
}

// The part of ShowWindow that changes the record; false for an unknown command.
bool ApplyShow(RecordHeader &h, int nCmdShow)
{
    switch (nCmdShow)
    {
    case SW_HIDE:
        h.visible = 0;
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        h.visible = 1;
        if (h.iconic)
            h.iconic = 0; // a restored window goes back to maximised when it was
        else
            h.zoomed = 0;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        h.visible = 1;
        h.iconic = 1;
        break;
    case SW_SHOWMAXIMIZED:
        h.visible = 1;
        h.iconic = 0;
        h.zoomed = 1;
        break;
    case SW_SHOW:
    case SW_SHOWNA:
        h.visible = 1;
        break;
    default:
        return false;
    }
    return true;
}
} // namespace

namespace kitwin
{
HWND CreateWindowRecord(const WindowDesc &desc)
{
    for (HWND related : {desc.parent, desc.owner})
        if (related && !IsWindow(related))
            return NoWindow();
    Record record;
    record.header.processId = static_cast<uint32_t>(GetCurrentProcessId());
    record.header.threadId = static_cast<uint32_t>(GetCurrentThreadId());
    record.header.parent = ValueOf(desc.parent);
    record.header.owner = ValueOf(desc.owner);
    record.header.visible = desc.visible;
    record.header.iconic = desc.iconic;
    record.text = desc.text;
    const int fd = CreateRecordFile(record);
    if (fd < 0)
    {
        plat::FailFromErrno();
        return nullptr;
    }
    if (desc.control)
        desc.control->AddRef();
    LocalWindows &locals = Locals();
    std::lock_guard guard(locals.lock);
    locals.windows[record.header.handle] = LocalWindow{fd, desc.control, desc.backend};
    return HandleOf(record.header.handle);
}

bool AttachControl(HWND window, IDispatch *control)
{
    IDispatch *old = nullptr;
    {
        LocalWindows &locals = Locals();
        std::lock_guard guard(locals.lock);
        auto it = locals.windows.find(ValueOf(window));
        if (it == locals.windows.end())
            return plat::Fail(ERROR_ACCESS_DENIED);
        if (control)
            control->AddRef();
        old = std::exchange(it->second.control, control);
    }
    if (old)
        old->Release();
    return true;
}

bool ReportState(HWND window, bool visible, bool iconic)
{
    if (!Update(window, [&](Record &r) {
            r.header.visible = visible;
            r.header.iconic = iconic;
        }))
        return FailWindow();
    return true;
}

bool ReportActivated(HWND window)
{
    std::optional<Record> record = Read(window);
    if (!record)
        return FailWindow();
    SetLastPopupOfOwner(*record);
    return ChangeForeground([&](ForegroundState &s) { s.window = record->header.handle; });
}

void SetForegroundLocked(bool locked)
{
    ChangeForeground([&](ForegroundState &s) { s.locked = locked; });
}

bool ReadWindowState(HWND window, WindowState &state)
{
    std::optional<Record> record = Read(window);
    if (!record)
        return false;
    const RecordHeader &h = record->header;
    state.text = record->text;
    state.parent = HandleOf(h.parent);
    state.owner = HandleOf(h.owner);
    state.lastActivePopup = HandleOf(h.lastPopup);
    state.visible = h.visible;
    state.iconic = h.iconic;
    state.zoomed = h.zoomed;
    state.processId = h.processId;
    state.threadId = h.threadId;
    state.changes = h.changes;
    return true;
}
} // namespace kitwin

// IsWindow: whether the handle names a live window of the PC, from any process.
BOOL WINAPI IsWindow(HWND hWnd)
{
    return Read(hWnd).has_value();
}

// GetWindowTextA: the window's text cut to nMaxCount - 1 characters, NUL-terminated; returns its
// length. Differs: no WM_GETTEXT is sent (windows have no procedures here).
int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    std::optional<Record> record = Read(hWnd);
    if (!record)
        return FailWindow();
    if (!lpString || nMaxCount <= 0)
        return 0;
    const size_t length = std::min(record->text.size(), static_cast<size_t>(nMaxCount) - 1);
    std::memcpy(lpString, record->text.data(), length);
    lpString[length] = '\0';
    return static_cast<int>(length);
}

// GetWindowTextLengthA: the length of the window's text.
int WINAPI GetWindowTextLengthA(HWND hWnd)
{
    std::optional<Record> record = Read(hWnd);
    if (!record)
        return FailWindow();
    return static_cast<int>(record->text.size());
}

// SetWindowTextA: replaces the window's text (NULL: empty); the owning process's user interface
// hears of it.
BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    const std::string text = lpString ? lpString : "";
    if (!Update(hWnd, [&](Record &r) { r.text = text; }))
        return FailWindow();
    if (kitwin::WindowBackend *backend = BackendOf(hWnd))
        backend->OnTextChanged(hWnd, text);
    return TRUE;
}

// IsIconic: whether the window is minimised.
BOOL WINAPI IsIconic(HWND hWnd)
{
    std::optional<Record> record = Read(hWnd);
    return record && record->header.iconic;
}

// IsZoomed: whether the window is maximised.
BOOL WINAPI IsZoomed(HWND hWnd)
{
    std::optional<Record> record = Read(hWnd);
    return record && record->header.zoomed && !record->header.iconic;
}

// IsWindowVisible: whether the window and every parent above it are visible.
BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    HWND current = hWnd;
    for (int depth = 0; current && depth < kMaxDepth; ++depth)
    {
        std::optional<Record> record = Read(current);
        if (!record || !record->header.visible)
            return FALSE;
        current = HandleOf(record->header.parent);
    }
    return current == nullptr;
}

// ShowWindow: hides, shows, minimises, maximises or restores the window (SW_*); returns whether
// it was visible before. A restored window goes back to maximised when it was maximised before it
// was minimised. Differs: no activation follows (SetForegroundWindow does that) and no messages are
// sent; an unknown command fails with ERROR_INVALID_PARAMETER.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    if (!IsWindow(hWnd))
        return FailWindow();
    if (nCmdShow < 0 || nCmdShow > SW_MAX)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    bool wasVisible = false;
    if (!Update(hWnd, [&](Record &r) {
            wasVisible = r.header.visible;
            ApplyShow(r.header, nCmdShow);
        }))
        return FailWindow();
    if (kitwin::WindowBackend *backend = BackendOf(hWnd))
        backend->OnShow(hWnd, nCmdShow);
    return wasVisible;
}

// SetForegroundWindow: makes the window the PC's foreground window (and its owner's last
// active pop-up). Refused (FALSE) while the foreground is locked, as Windows refuses a program
// the user is not working in (kitwin::SetForegroundLocked). Differs: no activation messages.
BOOL WINAPI SetForegroundWindow(HWND hWnd)
{
    std::optional<Record> record = Read(hWnd);
    if (!record)
        return FailWindow();
    bool refused = false;
    if (!ChangeForeground([&](ForegroundState &s) {
            refused = s.locked != 0;
            if (!refused)
                s.window = record->header.handle;
        }))
        return plat::FailFromErrno();
    if (refused)
        return FALSE;
    // The window's record changes too, so its program sees it was brought forward.
    Update(hWnd, [](Record &) {});
    SetLastPopupOfOwner(*record);
    if (kitwin::WindowBackend *backend = BackendOf(hWnd))
        backend->OnForeground(hWnd);
    return TRUE;
}

// GetForegroundWindow: the PC's foreground window; NULL when there is none (or it is gone).
HWND WINAPI GetForegroundWindow()
{
    const HWND window = HandleOf(ReadForeground().window);
    return window && IsWindow(window) ? window : nullptr;
}

// GetLastActivePopup: the pop-up the window owns that was active last, or the window itself when
// there is none, or it is gone or hidden, or no longer owned by it.
HWND WINAPI GetLastActivePopup(HWND hWnd)
{
    std::optional<Record> record = Read(hWnd);
    if (!record)
        return NoWindow();
    const HWND popup = HandleOf(record->header.lastPopup);
    if (popup && popup != hWnd)
        if (std::optional<Record> p = Read(popup);
            p && p->header.owner == record->header.handle && p->header.visible)
            return popup;
    return hWnd;
}

// GetParent: a child window's parent, or a pop-up's owner; NULL for other windows.
HWND WINAPI GetParent(HWND hWnd)
{
    std::optional<Record> record = Read(hWnd);
    if (!record)
        return NoWindow();
    const uint32_t parent = record->header.parent ? record->header.parent : record->header.owner;
    if (!parent)
        SetLastError(ERROR_SUCCESS);
    return HandleOf(parent);
}

// GetWindowThreadProcessId: the thread (returned) and process that made the window.
DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    std::optional<Record> record = Read(hWnd);
    if (!record)
        return FailWindow();
    if (lpdwProcessId)
        *lpdwProcessId = record->header.processId;
    return record->header.threadId;
}

// DestroyWindow: destroys the window, its child windows and the windows it owns; the user
// interface hears of each first, and the hosted control is released. Only the process that made
// the window may destroy it (ERROR_ACCESS_DENIED otherwise, as Windows refuses other threads).
BOOL WINAPI DestroyWindow(HWND hWnd)
{
    if (!IsWindow(hWnd))
        return FailWindow();
    if (!IsLocal(hWnd))
        return plat::Fail(ERROR_ACCESS_DENIED);
    const uint32_t value = ValueOf(hWnd);
    for (uint32_t dependent :
         WindowsWhere([&](const RecordHeader &h) { return h.parent == value || h.owner == value; }))
        if (IsLocal(HandleOf(dependent)))
            DestroyWindow(HandleOf(dependent));

    if (kitwin::WindowBackend *backend = BackendOf(hWnd))
        backend->OnDestroy(hWnd);
    LocalWindow local;
    {
        LocalWindows &locals = Locals();
        std::lock_guard guard(locals.lock);
        auto it = locals.windows.find(value);
        if (it == locals.windows.end())
            return FailWindow(); // destroyed meanwhile by another thread
        local = it->second;
        locals.windows.erase(it);
    }
    {
        FolderLock folderLock;
        ::unlink(RecordPath(value).c_str());
        ::close(local.fd);
    }
    ChangeForeground([&](ForegroundState &s) {
        if (s.window == value)
            s.window = 0;
    });
    if (local.control)
        local.control->Release();
    return TRUE;
}

// atl.dll. AtlAxGetControl is ATL's (atl.dll), not user32's: it is kept here because the control
// a window hosts is this file's per-process record of the window, and the platform is one library.
// AtlAxGetControl: the control a window hosts (QueryInterface for IUnknown). E_POINTER without
// an out pointer; E_FAIL for a window of another process or one without a control.
HRESULT WINAPI AtlAxGetControl(HWND h, IUnknown **pp)
{
    if (!pp)
        return E_POINTER;
    *pp = nullptr;
    IDispatch *control = nullptr;
    {
        LocalWindows &locals = Locals();
        std::lock_guard guard(locals.lock);
        auto it = locals.windows.find(ValueOf(h));
        if (it != locals.windows.end() && it->second.control)
        {
            control = it->second.control;
            control->AddRef();
        }
    }
    if (!control || !IsWindow(h))
    {
        if (control)
            control->Release();
        return E_FAIL;
    }
    const HRESULT hr = control->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(pp));
    control->Release();
    return hr;
}
