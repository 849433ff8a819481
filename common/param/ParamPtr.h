// Creating a parameter object, and ParamPtr<I>: the holder the call wrappers RouterParamPtr and
// TcpipParamPtr are built on.
//
// Creation is what every caller of the objects does: CoCreateInstance with no outer object and
// CLSCTX_ALL asking for IUnknown, OleRun, QueryInterface for the interface. Any failure leaves
// the caller without an object and gives the HRESULT; creation never throws.
//
// A wrapper's methods call the interface's method of the same name and throw CComError (the
// HRESULT and the interface's IID) when it fails; an empty holder throws E_POINTER the same
// way. Texts go in as 8-bit text and come out as 8-bit text by the kit's rule (each byte one
// UTF-16 unit; the low byte of each unit back). The raw interface stays at hand with Get() for
// callers that must not throw (a component's worker) and for passing the object on as an
// IUnknown.
#pragma once

#include "common/com/BStr.h"
#include "common/com/ComPtr.h"
#include "common/param/ComError.h"

#include <string>
#include <string_view>
#include <utility>

// CoCreateInstance(CLSCTX_ALL, IID_IUnknown) → OleRun → QueryInterface(iid). *ppv is NULL on
// failure.
HRESULT CreateParamObject(REFCLSID clsid, REFIID iid, void **ppv);

using TextPair = std::pair<std::string, std::string>;

template <class I> class ParamPtr
{
  public:
    ParamPtr() noexcept = default;
    // Borrows `p` (takes a reference of its own).
    explicit ParamPtr(I *p) noexcept : m_p(p) {}

    // Asks `pUnknown` for the interface: S_OK, E_POINTER for NULL, or the QueryInterface
    // failure (the holder is then empty).
    HRESULT QueryFrom(IUnknown *pUnknown) noexcept
    {
        m_p.Reset();
        if (!pUnknown)
            return E_POINTER;
        return pUnknown->QueryInterface(kitcom::IidOf<I>(), m_p.PutVoid());
    }

    I *Get() const noexcept { return m_p.Get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(m_p); }
    void Release() noexcept { m_p.Reset(); }
    // Gives up the reference to the caller.
    [[nodiscard]] I *Detach() noexcept { return m_p.Detach(); }

  protected:
    HRESULT CreateOf(REFCLSID clsid) noexcept
    {
        return CreateParamObject(clsid, kitcom::IidOf<I>(), m_p.PutVoid());
    }

    // Calls a method of the interface: returns its success code, throws on failure.
    template <class Method, class... Args> HRESULT Call(Method method, Args &&...args) const
    {
        I *p = m_p.Get();
        if (!p)
            ThrowComError(E_POINTER, kitcom::IidOf<I>());
        return CheckComResult((p->*method)(std::forward<Args>(args)...), kitcom::IidOf<I>());
    }

    // An 8-bit text as a BSTR argument.
    static kitcom::BStr Text(std::string_view text)
    {
        kitcom::BStr bstr(text);
        if (bstr.IsNull())
            ThrowComError(E_OUTOFMEMORY, kitcom::IidOf<I>());
        return bstr;
    }

    template <class Method> HRESULT PutText(Method method, std::string_view text) const
    {
        return Call(method, Text(text).Get());
    }
    template <class Method>
    HRESULT PutTexts(Method method, std::string_view first, std::string_view second) const
    {
        return Call(method, Text(first).Get(), Text(second).Get());
    }
    template <class Method, class... Args> std::string GetText(Method method, Args... args) const
    {
        kitcom::BStr text;
        Call(method, args..., &text);
        return text.Narrow();
    }
    template <class Method, class... Args> TextPair GetTexts(Method method, Args... args) const
    {
        kitcom::BStr first, second;
        Call(method, args..., &first, &second);
        return {first.Narrow(), second.Narrow()};
    }
    template <class Method, class... Args> LONG GetLong(Method method, Args... args) const
    {
        LONG value = 0;
        Call(method, args..., &value);
        return value;
    }

  private:
    kitcom::ComPtr<I> m_p;
};
