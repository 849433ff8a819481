// The process's handle table: every HANDLE and opened HKEY is an entry (kind, generation,
// reference-counted object), never a cast of a descriptor or a pointer.
#pragma once

#include "platform/windows.h"

#include <memory>

namespace plat
{
enum class ObjectKind
{
    File,
    Find,
    Process,
    Thread,
    Event,
    Mutex,
    Semaphore,
    Mapping,
    Token,
    RegKey,
    Module,
    Internet,
    Bitmap,         // GDI bitmap (gdi.cpp)
    Icon,           // icon or cursor (gdi.cpp)
    Palette,        // GDI logical palette (gdi.cpp)
    DeviceContext,  // GDI device context (gdi.cpp)
    Socket,         // Windows Sockets socket (winsock.cpp)
    MessageQueue,   // a thread's message queue and its waits for new input (msgqueue.cpp)
    ThreadGate,     // what a starting thread and its creator wait for (thread.cpp)
    ServiceManager, // a connection to the service control manager (service.cpp)
    Service,        // an opened service (service.cpp)
    ServiceLock,    // the service database's lock (service.cpp)
};

class KernelObject
{
  public:
    explicit KernelObject(ObjectKind kind) : kind_(kind) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject &) = delete;
    KernelObject &operator=(const KernelObject &) = delete;

    ObjectKind Kind() const { return kind_; }
    // Whether CloseHandle may close handles of this kind (find and registry handles have their
    // own closing functions, as on Windows).
    virtual bool ClosableByCloseHandle() const { return true; }

  private:
    ObjectKind kind_;
};

// Adds an object; returns its new handle, or nullptr (with ERROR_NO_SYSTEM_RESOURCES) when full.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind a live handle, or nullptr. Pseudo handles are not resolved here.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// The object of the expected kind, or nullptr; the last error is left alone (callers with
// their own error for a wrong handle, such as Winsock's WSAENOTSOCK).
template <class T> std::shared_ptr<T> FindHandleObject(HANDLE handle, ObjectKind kind)
{
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object || object->Kind() != kind)
        return nullptr;
    return std::static_pointer_cast<T>(std::move(object));
}

// The object of the expected kind, or nullptr with ERROR_INVALID_HANDLE set.
template <class T> std::shared_ptr<T> GetHandleObject(HANDLE handle, ObjectKind kind)
{
    std::shared_ptr<T> object = FindHandleObject<T>(handle, kind);
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// Removes a handle from the table and gives back its object (the last reference may be the
// caller's); nullptr when the handle is not live.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle);

// Number of live handles (for tests and leak checks).
size_t LiveHandleCount();
} // namespace plat
