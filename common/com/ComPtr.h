// ComPtr: a reference held on a COM interface, released when the holder goes.
//
// Construction or assignment from a raw pointer borrows it and takes a reference of its own
// (AddRef); Attach adopts a reference the caller already owns. `&ptr` releases what is held
// and gives the address for an [out] parameter, which then fills it with an owned reference.
#pragma once

#include "platform/windows.h"

#include <cstddef>
#include <memory>
#include <utility>

namespace kitcom
{
// The IID of an interface type, for ComPtr::As and the interface tables of kitcom::Object.
// Declare it once next to the interface with KITCOM_INTERFACE_ID(IFoo, IID_IFoo).
template <class I> REFIID IidOf();
} // namespace kitcom

#define KITCOM_INTERFACE_ID(Interface, iid)                                                                  \
    template <> inline REFIID kitcom::IidOf<Interface>()                                                     \
    {                                                                                                        \
        return iid;                                                                                          \
    }

KITCOM_INTERFACE_ID(IUnknown, IID_IUnknown)
KITCOM_INTERFACE_ID(IDispatch, IID_IDispatch)
KITCOM_INTERFACE_ID(IClassFactory, IID_IClassFactory)
KITCOM_INTERFACE_ID(IConnectionPoint, IID_IConnectionPoint)
KITCOM_INTERFACE_ID(IConnectionPointContainer, IID_IConnectionPointContainer)
KITCOM_INTERFACE_ID(IEnumConnections, IID_IEnumConnections)
KITCOM_INTERFACE_ID(IEnumConnectionPoints, IID_IEnumConnectionPoints)
KITCOM_INTERFACE_ID(IRunnableObject, IID_IRunnableObject)

namespace kitcom
{
template <class T> class ComPtr
{
  public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Borrows `p`: takes a reference of its own.
    explicit ComPtr(T *p) noexcept : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr &other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    // From a pointer to a derived class (an implementation class to one of its interfaces).
    template <class U> ComPtr(const ComPtr<U> &other) noexcept : ComPtr(static_cast<T *>(other.Get())) {}
    ~ComPtr() { Reset(); }

    ComPtr &operator=(const ComPtr &other) noexcept
    {
        Assign(other.p_);
        return *this;
    }
    ComPtr &operator=(ComPtr &&other) noexcept
    {
        if (this != std::addressof(other))
            Attach(std::exchange(other.p_, nullptr));
        return *this;
    }
    ComPtr &operator=(std::nullptr_t) noexcept
    {
        Reset();
        return *this;
    }
    // Borrows `p` (AddRef), then releases what was held.
    void Assign(T *p) noexcept
    {
        if (p)
            p->AddRef();
        Attach(p);
    }

    T *Get() const noexcept { return p_; }
    T *operator->() const noexcept { return p_; }
    T &operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // For [out] parameters: releases what is held first.
    T **operator&() noexcept
    {
        Reset();
        return &p_;
    }
    void **PutVoid() noexcept
    {
        Reset();
        return reinterpret_cast<void **>(&p_);
    }

    // Adopts a reference the caller owns (no AddRef); releases what was held.
    void Attach(T *p) noexcept
    {
        T *old = std::exchange(p_, p);
        if (old)
            old->Release();
    }
    // Gives up the reference without releasing it.
    [[nodiscard]] T *Detach() noexcept { return std::exchange(p_, nullptr); }
    void Reset() noexcept { Attach(nullptr); }
    // An owned copy of the reference for an [out] parameter (E_POINTER when `out` is null).
    HRESULT CopyTo(T **out) const noexcept
    {
        if (!out)
            return E_POINTER;
        *out = p_;
        if (p_)
            p_->AddRef();
        return S_OK;
    }

    // QueryInterface into another holder; E_POINTER when nothing is held.
    template <class U> HRESULT As(ComPtr<U> &out) const noexcept { return As(IidOf<U>(), out); }
    template <class U> HRESULT As(REFIID iid, ComPtr<U> &out) const noexcept
    {
        if (!p_)
        {
            out.Reset();
            return E_POINTER;
        }
        return p_->QueryInterface(iid, out.PutVoid());
    }

  private:
    T *p_ = nullptr;
};

template <class T, class U> bool operator==(const ComPtr<T> &a, const ComPtr<U> &b) noexcept
{
    return a.Get() == b.Get();
}
template <class T, class U> bool operator==(const ComPtr<T> &a, U *b) noexcept
{
    return a.Get() == b;
}
template <class T> bool operator==(const ComPtr<T> &a, std::nullptr_t) noexcept
{
    return a.Get() == nullptr;
}

// True when two interface pointers belong to one object (COM identity: same IUnknown).
bool SameObject(IUnknown *a, IUnknown *b) noexcept;
} // namespace kitcom
