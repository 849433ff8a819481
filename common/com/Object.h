// Reference-counted COM objects with an interface table.
//
//     class CCounter final
//         : public kitcom::Object<CCounter, ICounter, kitcom::Events<&DIID__ICounterEvents>>
//
// The class lists what it implements; QueryInterface walks the list by IID (KITCOM_INTERFACE_ID
// gives each interface its IID): IID_IUnknown gives the first entry (the object's identity),
// IID_IDispatch the first entry derived from IDispatch, anything else E_NOINTERFACE with
// *ppv = NULL, unless the class has a member `HRESULT QueryOtherInterface(REFIID, void **)`
// that finds it. An entry may be an implementation class that names its interface as
// `using Interface = ...` (kitcom::Events, kitcom::EventSink). A listed interface derived
// from IDispatch is dual: its IDispatch methods come from the class's DispatchTable()
// (Dispatch.h).
//
// The reference count is atomic, starts at 0 and deletes the object at 0; objects are called
// directly from any thread (no apartments, no marshalling). Every live object holds a lock on
// its server module (DllCanUnloadNow). The class should be final; objects are made with
// kitcom::Make<T>(...) or kitcom::CreateInstance<T>, which call `HRESULT FinalConstruct()`
// when the class has one.
#pragma once

#include "common/com/ComPtr.h"
#include "common/com/Dispatch.h"
#include "common/com/Module.h"

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

namespace kitcom
{
namespace detail
{
template <class E, class = void> struct InterfaceOfEntry
{
    using type = E;
    static constexpr bool implementation = false;
};
template <class E> struct InterfaceOfEntry<E, std::void_t<typename E::Interface>>
{
    using type = typename E::Interface;
    static constexpr bool implementation = true;
};
template <class E> using InterfaceOf = typename InterfaceOfEntry<E>::type;

// Whether an entry answers `riid`: its interface's IID, or one its implementation class also
// answers to (`static bool AlsoAnswers(REFIID)`, as an event sink answers its event IID).
template <class E> bool Answers(REFIID riid) noexcept
{
    if (riid == IidOf<InterfaceOf<E>>())
        return true;
    if constexpr (requires(REFIID r) { E::AlsoAnswers(r); })
        return E::AlsoAnswers(riid);
    return false;
}

// The base class an entry puts into the object.
template <class Derived, class E>
using BaseOf = std::conditional_t<!InterfaceOfEntry<E>::implementation && std::is_base_of_v<IDispatch, E>,
                                  DispatchImpl<Derived, E>, E>;
} // namespace detail

template <class Derived, class... Entries> class Object : public detail::BaseOf<Derived, Entries>...
{
    static_assert(sizeof...(Entries) > 0, "an object implements at least one interface");

  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        IUnknown *found = Find(riid);
        if (!found)
        {
            if constexpr (requires(Derived & d, REFIID r, void **p) { d.QueryOtherInterface(r, p); })
                return static_cast<Derived *>(this)->QueryOtherInterface(riid, ppv);
            return E_NOINTERFACE;
        }
        found->AddRef();
        *ppv = found;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.fetch_add(1) + 1; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = refs_.fetch_sub(1) - 1;
        if (left == 0)
            delete static_cast<Derived *>(this);
        return left;
    }

    // The object's identity (its first interface), without a reference.
    IUnknown *GetUnknown() noexcept { return EntryPointer<FirstEntry>(); }

  protected:
    Object() noexcept { LockModule(); }
    ~Object() { UnlockModule(); }
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;

  private:
    using FirstEntry = std::tuple_element_t<0, std::tuple<Entries...>>;

    template <class E> IUnknown *EntryPointer() noexcept
    {
        using Base = detail::BaseOf<Derived, E>;
        return static_cast<detail::InterfaceOf<E> *>(static_cast<Base *>(this));
    }

    IUnknown *Find(REFIID riid) noexcept
    {
        if (riid == IID_IUnknown)
            return GetUnknown();
        IUnknown *found = nullptr;
        ((found = found ? found : (detail::Answers<Entries>(riid) ? EntryPointer<Entries>() : nullptr)), ...);
        if (!found && riid == IID_IDispatch)
            ((found = found ? found
                            : (std::is_base_of_v<IDispatch, detail::InterfaceOf<Entries>>
                                   ? EntryPointer<Entries>()
                                   : nullptr)),
             ...);
        return found;
    }

    std::atomic<ULONG> refs_{0};
};

// The IDispatch of an event sink: Invoke reaches the handlers of Derived::DispatchTable(), and
// QueryInterface answers the outgoing interface's IID too, so a connection point takes it.
//
//     class CCounterSink final
//         : public kitcom::Object<CCounterSink, kitcom::EventSink<CCounterSink, &DIID__ICounterEvents>>
template <class Derived, const IID *EventIid> class EventSink : public DispatchImpl<Derived, IDispatch>
{
  public:
    using Interface = IDispatch;
    static bool AlsoAnswers(REFIID riid) noexcept { return riid == *EventIid; }
};

namespace detail
{
// Makes a T into `object`: E_OUTOFMEMORY, E_UNEXPECTED (a constructor that threw) or what
// its FinalConstruct says.
template <class T, class... A> HRESULT Construct(ComPtr<T> &object, A &&...args) noexcept
{
    object.Reset();
    try
    {
        T *raw = new (std::nothrow) T(std::forward<A>(args)...);
        if (!raw)
            return E_OUTOFMEMORY;
        raw->AddRef();
        object.Attach(raw);
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
    if constexpr (requires(T & t) { t.FinalConstruct(); })
    {
        HRESULT hr = object->FinalConstruct();
        if (FAILED(hr))
        {
            object.Reset();
            return hr;
        }
    }
    return S_OK;
}
} // namespace detail

// A new object with one reference held by the result; empty when it could not be made (out of
// memory, a constructor that threw, or a FinalConstruct that failed).
template <class T, class... A> ComPtr<T> Make(A &&...args)
{
    ComPtr<T> object;
    detail::Construct(object, std::forward<A>(args)...);
    return object;
}

// IClassFactory::CreateInstance's work for class T: a new object asked for `riid`.
template <class T> HRESULT CreateInstance(REFIID riid, void **ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ComPtr<T> object;
    HRESULT hr = detail::Construct(object);
    if (FAILED(hr))
        return hr;
    return object->QueryInterface(riid, ppv);
}
} // namespace kitcom
