// Events, mutexes, critical sections and interlocked operations.
#include "platform/core/lasterror.h"
#include "platform/core/namedobj.h"
#include "platform/core/wait.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <vector>

namespace
{
using plat::ObjectKind;

// ---------------------------------------------------------------------------------------------
// Events

class EventObject : public plat::Waitable
{
  public:
    EventObject(bool manualReset, bool signaled)
        : Waitable(ObjectKind::Event), manualReset_(manualReset), signaled_(signaled)
    {
    }
    bool IsSignaled(DWORD) const override { return signaled_; }
    bool Acquire(DWORD) override
    {
        if (!manualReset_)
            signaled_ = false;
        return false;
    }
    void Set(bool signaled)
    {
        {
            std::lock_guard guard(plat::WaitMutex());
            signaled_ = signaled;
        }
        if (signaled)
            plat::NotifyWaiters();
    }

  private:
    const bool manualReset_;
    bool signaled_; // guarded by WaitMutex
};

// Named events are shared between the handles of this process.
struct EventNames
{
    std::mutex lock;
    std::map<std::string, std::weak_ptr<EventObject>> byName;
};

EventNames &TheEventNames()
{
    static auto *names = new EventNames;
    return *names;
}

std::shared_ptr<EventObject> EventOf(HANDLE handle)
{
    return plat::GetHandleObject<EventObject>(handle, ObjectKind::Event);
}

// ---------------------------------------------------------------------------------------------
// Mutexes: a robust, recursive pthread mutex, so ownership belongs to a thread, recursion works,
// a non-owner cannot release it, and a dead owner (thread or process) leaves it "abandoned" for
// the next waiter. Named mutexes live in the PC's named-object files, shared by all processes.

class MutexObject : public plat::Waitable
{
  public:
    MutexObject() : Waitable(ObjectKind::Mutex), own_(std::make_unique<pthread_mutex_t>())
    {
        mutex_ = own_.get();
        Initialise(false);
    }

    MutexObject(plat::NamedObjectFile file, bool existed)
        : Waitable(ObjectKind::Mutex), file_(std::make_unique<plat::NamedObjectFile>(std::move(file)))
    {
        map_ = ::mmap(nullptr, sizeof(pthread_mutex_t), PROT_READ | PROT_WRITE, MAP_SHARED,
                      file_->Descriptor(), plat::NamedObjectFile::kHeaderSize);
        if (map_ == MAP_FAILED)
        {
            map_ = nullptr;
            return;
        }
        mutex_ = static_cast<pthread_mutex_t *>(map_);
        if (!existed)
            Initialise(true);
    }

    ~MutexObject() override
    {
        if (map_)
            ::munmap(map_, sizeof(pthread_mutex_t));
        else if (own_)
            pthread_mutex_destroy(own_.get());
    }

    bool Valid() const { return mutex_ != nullptr; }
    // A new named mutex is made (and owned by its creator when asked): others may open it.
    void Ready()
    {
        if (file_)
            file_->Ready();
    }

    // The check takes the mutex when it is free (there is no way to look without taking it);
    // Acquire then keeps it and Unclaim gives it back.
    bool IsSignaled(DWORD tid) const override
    {
        int rc = pthread_mutex_trylock(mutex_);
        if (rc == EOWNERDEAD)
        {
            pthread_mutex_consistent(mutex_);
            claims_[tid].push_back(true);
            return true;
        }
        if (rc != 0)
            return false;
        claims_[tid].push_back(false);
        return true;
    }

    bool Acquire(DWORD tid) override
    {
        auto it = claims_.find(tid);
        if (it == claims_.end() || it->second.empty())
            return false;
        bool abandoned = it->second.back();
        it->second.pop_back();
        if (it->second.empty())
            claims_.erase(it);
        return abandoned;
    }

    void Unclaim(DWORD tid) override
    {
        Acquire(tid);
        pthread_mutex_unlock(mutex_);
    }

    bool NeedsPolling() const override
    {
        return true; // owners in other processes, and owners that die, announce nothing
    }

    // Returns false when the caller does not own the mutex.
    bool Release()
    {
        // glibc keeps the owner's thread id in the mutex; checking it first keeps a non-owner
        // from ever calling unlock (which the thread sanitizer rightly treats as a bug).
        if (static_cast<DWORD>(mutex_->__data.__owner) != plat::CurrentThreadIdForWait())
            return false;
        if (pthread_mutex_unlock(mutex_) != 0)
            return false;
        plat::NotifyWaiters();
        return true;
    }

  private:
    void Initialise(bool shared)
    {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
        pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
        if (shared)
            pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
        pthread_mutex_init(mutex_, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }

    std::unique_ptr<plat::NamedObjectFile> file_;
    std::unique_ptr<pthread_mutex_t> own_;
    void *map_ = nullptr;
    pthread_mutex_t *mutex_ = nullptr;
    // Claims taken by IsSignaled and not yet acquired, per thread (guarded by WaitMutex).
    mutable std::map<DWORD, std::vector<bool>> claims_;
};

// Takes a new mutex for its creator; ownership is real pthread ownership by this thread.
void TakeInitialOwnership(MutexObject &mutex)
{
    plat::Waitable *objects[] = {&mutex};
    plat::WaitForObjects(objects, false, INFINITE);
}

// A kernel object's name holds no backslash but after the session prefix "Global\" or "Local\";
// the PC has one session, where both name the same object as the bare name. Anything else is a
// folder of the object namespace that does not exist: ERROR_PATH_NOT_FOUND.
std::optional<std::string_view> ObjectName(std::string_view name)
{
    for (std::string_view prefix : {std::string_view("Global\\"), std::string_view("Local\\")})
        if (name.starts_with(prefix))
        {
            name.remove_prefix(prefix.size());
            break;
        }
    if (name.find('\\') != std::string_view::npos)
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    return name;
}

HANDLE OpenNamedMutex(LPCSTR lpName, bool create, bool initialOwner)
{
    const std::optional<std::string_view> name = ObjectName(lpName);
    if (!name)
        return nullptr;
    bool existed = false;
    // Nobody else opens a new mutex before it is initialised and, when asked, owned by its
    // creator, as Windows creates it in one step.
    std::optional<plat::NamedObjectFile> file =
        plat::NamedObjectFile::Open(*name, plat::NamedKind::Mutex, sizeof(pthread_mutex_t), create, existed,
                                    plat::NamedObjectFile::Creation::UntilReady);
    if (!file)
        return nullptr;
    auto mutex = std::make_shared<MutexObject>(std::move(*file), existed);
    if (!mutex->Valid())
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (initialOwner && !existed)
        TakeInitialOwnership(*mutex);
    mutex->Ready();
    HANDLE handle = plat::InsertHandle(mutex);
    if (handle)
        SetLastError(existed && create ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

// ---------------------------------------------------------------------------------------------
// Critical sections keep a recursive mutex behind DebugInfo, and mirror the owner and the
// recursion count in the Windows fields for anyone who looks at them.

std::recursive_mutex *LockOf(LPCRITICAL_SECTION section)
{
    return static_cast<std::recursive_mutex *>(section->DebugInfo);
}
} // namespace

// CreateEventA: manual- or auto-reset event; named events are shared within this process only.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName)
{
    if (!lpName || !*lpName)
    {
        HANDLE handle =
            plat::InsertHandle(std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE));
        if (handle)
            SetLastError(ERROR_SUCCESS);
        return handle;
    }
    EventNames &names = TheEventNames();
    std::lock_guard guard(names.lock);
    if (auto existing = names.byName[lpName].lock())
    {
        HANDLE handle = plat::InsertHandle(existing);
        if (handle)
            SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    auto event = std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE);
    names.byName[lpName] = event;
    HANDLE handle = plat::InsertHandle(event);
    if (handle)
        SetLastError(ERROR_SUCCESS);
    return handle;
}

// OpenEventA: a named event of this process; ERROR_FILE_NOT_FOUND when there is none.
HANDLE WINAPI OpenEventA(DWORD, BOOL, LPCSTR lpName)
{
    if (!lpName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    EventNames &names = TheEventNames();
    std::lock_guard guard(names.lock);
    auto it = names.byName.find(lpName);
    std::shared_ptr<EventObject> event = it == names.byName.end() ? nullptr : it->second.lock();
    if (!event)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return plat::InsertHandle(event);
}

// SetEvent: signals the event; an auto-reset event wakes one waiter.
BOOL WINAPI SetEvent(HANDLE hEvent)
{
    std::shared_ptr<EventObject> event = EventOf(hEvent);
    if (!event)
        return FALSE;
    event->Set(true);
    return TRUE;
}

// ResetEvent: makes the event non-signaled.
BOOL WINAPI ResetEvent(HANDLE hEvent)
{
    std::shared_ptr<EventObject> event = EventOf(hEvent);
    if (!event)
        return FALSE;
    event->Set(false);
    return TRUE;
}

// PulseEvent: signals and resets at once. Differs: a waiter wakes only if it runs before the
// reset (Windows itself documents PulseEvent as unreliable).
BOOL WINAPI PulseEvent(HANDLE hEvent)
{
    std::shared_ptr<EventObject> event = EventOf(hEvent);
    if (!event)
        return FALSE;
    event->Set(true);
    event->Set(false);
    return TRUE;
}

// CreateMutexA: unnamed mutexes belong to the process; named ones are machine-wide. A named
// mutex that exists is opened (ERROR_ALREADY_EXISTS) and bInitialOwner is then ignored. Names
// hold no backslash but after "Global\" or "Local\" (ERROR_PATH_NOT_FOUND), as on NT.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName)
{
    if (lpName && *lpName)
        return OpenNamedMutex(lpName, true, bInitialOwner != FALSE);
    auto mutex = std::make_shared<MutexObject>();
    if (bInitialOwner)
        TakeInitialOwnership(*mutex);
    HANDLE handle = plat::InsertHandle(mutex);
    if (handle)
        SetLastError(ERROR_SUCCESS);
    return handle;
}

// OpenMutexA: an existing named mutex of the PC; ERROR_FILE_NOT_FOUND when there is none,
// ERROR_PATH_NOT_FOUND for a name with a backslash (see CreateMutexA).
HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR lpName)
{
    if (!lpName || !*lpName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return OpenNamedMutex(lpName, false, false);
}

// ReleaseMutex: one level of the caller's ownership; ERROR_NOT_OWNER for anyone else.
BOOL WINAPI ReleaseMutex(HANDLE hMutex)
{
    std::shared_ptr<MutexObject> mutex = plat::GetHandleObject<MutexObject>(hMutex, ObjectKind::Mutex);
    if (!mutex)
        return FALSE;
    if (!mutex->Release())
        return plat::Fail(ERROR_NOT_OWNER);
    return TRUE;
}

// InitializeCriticalSection: a recursive lock for the owner thread.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    *lpCriticalSection = CRITICAL_SECTION{};
    lpCriticalSection->DebugInfo = new std::recursive_mutex;
    lpCriticalSection->LockCount = -1;
}

// InitializeCriticalSectionAndSpinCount: the spin count is kept but not used.
BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount)
{
    InitializeCriticalSection(lpCriticalSection);
    lpCriticalSection->SpinCount = dwSpinCount;
    return TRUE;
}

namespace
{
void NoteEntered(LPCRITICAL_SECTION section)
{
    section->OwningThread = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
    ++section->RecursionCount;
}
} // namespace

// EnterCriticalSection: waits for the section; the owner may enter again.
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    LockOf(lpCriticalSection)->lock();
    NoteEntered(lpCriticalSection);
}

// TryEnterCriticalSection: enters when free or already owned.
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (!LockOf(lpCriticalSection)->try_lock())
        return FALSE;
    NoteEntered(lpCriticalSection);
    return TRUE;
}

// LeaveCriticalSection: one level of ownership. Differs: a thread that does not own the
// section is ignored instead of corrupting it.
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    const HANDLE self = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
    if (lpCriticalSection->OwningThread != self || lpCriticalSection->RecursionCount <= 0)
        return;
    if (--lpCriticalSection->RecursionCount == 0)
        lpCriticalSection->OwningThread = nullptr;
    LockOf(lpCriticalSection)->unlock();
}

// DeleteCriticalSection: frees the section's resources.
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    delete LockOf(lpCriticalSection);
    *lpCriticalSection = CRITICAL_SECTION{};
}

LONG WINAPI InterlockedIncrement(LONG volatile *Addend)
{
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedDecrement(LONG volatile *Addend)
{
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedExchange(LONG volatile *Target, LONG Value)
{
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedCompareExchange(LONG volatile *Destination, LONG Exchange, LONG Comperand)
{
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return Comperand;
}
