// IDispatch from a table of members: a dual interface's Invoke calls the same member
// functions its vtable calls.
//
// A class lists its members once, in a static function of its own:
//
//     std::span<const kitcom::DispMember<CCounter>> CCounter::DispatchTable()
//     {
//         static constexpr kitcom::DispMember<CCounter> members[] = {
//             kitcom::Method<&CCounter::Add>("Add", 1),
//             kitcom::PropGet<&CCounter::get_Total>("Total", 2),
//             kitcom::PropPut<&CCounter::put_Name>("Name", 3),
//             kitcom::MethodRetval<&CCounter::IsActive>("IsActive", 4), // last parameter is [out, retval]
//         };
//         return members;
//     }
//
// Parameter types: LONG/INT/BOOL (VT_I4), ULONG/DWORD/UINT (VT_UI4), SHORT and VARIANT_BOOL
// (VT_I2: they are one C++ type), USHORT, BYTE, CHAR, LONGLONG, ULONGLONG, FLOAT, DOUBLE, BSTR,
// IUnknown*, IDispatch*, any other interface pointer with a KITCOM_INTERFACE_ID (reached by
// QueryInterface), and VARIANT by value. A pointer to one of them is an [out] parameter: a
// VT_BYREF argument of the same type or a VT_BYREF|VT_VARIANT, or pVarResult for the last
// parameter of a PropGet or MethodRetval member.
//
// Invoke follows the type-library Invoke of Windows: arguments come in reverse order and are
// coerced with VariantChangeType (DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW with *puArgErr set
// to the argument's index), a missing argument (VT_ERROR, DISP_E_PARAMNOTFOUND) for a
// non-VARIANT parameter is DISP_E_PARAMNOTOPTIONAL, a wrong count DISP_E_BADPARAMCOUNT, named
// arguments other than DISPID_PROPERTYPUT DISP_E_NONAMEDARGS. A member that fails makes Invoke
// return DISP_E_EXCEPTION with EXCEPINFO.scode set to its HRESULT, and the source and
// description it gave with ReportError; a member that succeeds makes it return S_OK (S_FALSE
// too, as Windows). There are no type libraries at run time: GetTypeInfoCount gives 0.
// Member functions must not throw; Invoke turns an escaping exception into DISP_E_EXCEPTION.
#pragma once

#include "common/com/BStr.h"
#include "common/com/ComPtr.h"
#include "common/com/ThreadEnd.h"

#include <cstddef>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kitcom
{
enum class DispKind : WORD
{
    Method = DISPATCH_METHOD,
    PropGet = DISPATCH_PROPERTYGET,
    PropPut = DISPATCH_PROPERTYPUT,
    PropPutRef = DISPATCH_PROPERTYPUTREF,
};

// Records why the member that is about to fail fails, for the EXCEPINFO of IDispatch::Invoke
// (as SetErrorInfo does for Windows' Invoke). Returns `hr`, so a member can write
// `return kitcom::ReportError(E_INVALIDARG, "KitSample.Counter", "...");`.
HRESULT ReportError(HRESULT hr, std::string_view source, std::string_view description);

// One IDispatch::Invoke call as a member's thunk sees it.
class InvokeFrame
{
  public:
    InvokeFrame(DispKind kind, DISPPARAMS *params, VARIANT *result, EXCEPINFO *excepInfo,
                UINT *argErr) noexcept;

    // Checks the call itself (argument array, named arguments); clears *pVarResult.
    HRESULT Begin() noexcept;
    HRESULT CheckCount(size_t inputs) noexcept;
    // The argument of the parameter at `index` (parameters in declaration order).
    VARIANT &Arg(size_t index) noexcept;
    // Fails the call because of the argument of parameter `index`.
    HRESULT Fail(HRESULT hr, size_t index) noexcept;
    // The argument coerced to `vt` (any VT_BYREF followed) into `out`, which owns the result.
    HRESULT Coerce(size_t index, VARTYPE vt, VARIANT &out) noexcept;
    VARIANT *Result() noexcept { return result_; }
    // The member has run and returned `hr`.
    HRESULT MemberReturned(HRESULT hr) noexcept
    {
        called_ = true;
        return hr;
    }
    // The HRESULT Invoke returns.
    HRESULT End(HRESULT hr) noexcept;

  private:
    DispKind kind_;
    DISPPARAMS *params_;
    VARIANT *result_;
    EXCEPINFO *excepInfo_;
    UINT *argErr_;
    bool called_ = false;
};

template <class D> struct DispMember
{
    const char *name;
    DISPID id;
    DispKind kind;
    HRESULT (*call)(D *self, InvokeFrame &frame);
};

namespace detail
{
template <class... A> struct TypeList
{
};

template <class F> struct MemberFunction;
template <class C, class... A> struct MemberFunction<HRESULT (C::*)(A...)>
{
    using Class = C;
    using Args = TypeList<A...>;
    static constexpr size_t arity = sizeof...(A);
};
template <class C, class... A>
struct MemberFunction<HRESULT (C::*)(A...) noexcept> : MemberFunction<HRESULT (C::*)(A...)>
{
};

template <class T> inline constexpr bool kIsInterface = std::is_base_of_v<IUnknown, T>;

// How a value type rides in a VARIANT.
template <class T, class = void> struct Value;
template <class T, VARTYPE Vt, T VARIANT::*Member> struct PlainValue
{
    static constexpr VARTYPE vt = Vt;
    static T Read(const VARIANT &v) noexcept { return v.*Member; }
    static void Put(VARIANT &v, T value) noexcept
    {
        v.vt = Vt;
        v.*Member = value;
    }
    static void Free(T &) noexcept {}
};
template <> struct Value<LONG> : PlainValue<LONG, VT_I4, &VARIANT::lVal>
{
};
template <> struct Value<ULONG> : PlainValue<ULONG, VT_UI4, &VARIANT::ulVal>
{
};
template <> struct Value<SHORT> : PlainValue<SHORT, VT_I2, &VARIANT::iVal>
{
};
template <> struct Value<USHORT> : PlainValue<USHORT, VT_UI2, &VARIANT::uiVal>
{
};
template <> struct Value<BYTE> : PlainValue<BYTE, VT_UI1, &VARIANT::bVal>
{
};
template <> struct Value<CHAR> : PlainValue<CHAR, VT_I1, &VARIANT::cVal>
{
};
template <> struct Value<LONGLONG> : PlainValue<LONGLONG, VT_I8, &VARIANT::llVal>
{
};
template <> struct Value<ULONGLONG> : PlainValue<ULONGLONG, VT_UI8, &VARIANT::ullVal>
{
};
template <> struct Value<FLOAT> : PlainValue<FLOAT, VT_R4, &VARIANT::fltVal>
{
};
template <> struct Value<DOUBLE> : PlainValue<DOUBLE, VT_R8, &VARIANT::dblVal>
{
};
template <> struct Value<BSTR> : PlainValue<BSTR, VT_BSTR, &VARIANT::bstrVal>
{
    static void Free(BSTR &text) noexcept
    {
        SysFreeString(text);
        text = nullptr;
    }
};
template <class I> struct Value<I *, std::enable_if_t<kIsInterface<I>>>
{
    static constexpr VARTYPE vt = std::is_base_of_v<IDispatch, I> ? VT_DISPATCH : VT_UNKNOWN;
    static void Put(VARIANT &v, I *value) noexcept
    {
        v.vt = vt;
        if constexpr (vt == VT_DISPATCH)
            v.pdispVal = value;
        else
            v.punkVal = value;
    }
    static void Free(I *&value) noexcept
    {
        if (value)
            value->Release();
        value = nullptr;
    }
};
template <> struct Value<VARIANT>
{
    static constexpr VARTYPE vt = VT_VARIANT;
    static void Put(VARIANT &v, VARIANT value) noexcept { v = value; }
    static void Free(VARIANT &value) noexcept { VariantClear(&value); }
};

// An [in] parameter.
template <class T> class InParam
{
  public:
    HRESULT Load(InvokeFrame &frame, size_t index) noexcept
    {
        HRESULT hr = frame.Coerce(index, Value<T>::vt, holder_);
        if (SUCCEEDED(hr))
            value_ = Value<T>::Read(holder_);
        return hr;
    }
    T Get() const noexcept { return value_; }
    void Finish(InvokeFrame &, bool) noexcept {}

  private:
    Variant holder_;
    T value_{};
};

// BSTR arguments are lent as they are when they already are texts.
template <> class InParam<BSTR>
{
  public:
    HRESULT Load(InvokeFrame &frame, size_t index) noexcept
    {
        VARIANT &arg = frame.Arg(index);
        if (arg.vt == VT_BSTR)
            return value_ = arg.bstrVal, S_OK;
        if (arg.vt == (VT_BSTR | VT_BYREF) && arg.pbstrVal)
            return value_ = *arg.pbstrVal, S_OK;
        HRESULT hr = frame.Coerce(index, VT_BSTR, holder_);
        if (SUCCEEDED(hr))
            value_ = holder_.bstrVal;
        return hr;
    }
    BSTR Get() const noexcept { return value_; }
    void Finish(InvokeFrame &, bool) noexcept {}

  private:
    Variant holder_;
    BSTR value_ = nullptr;
};

// Interface arguments: lent as they are, or reached with QueryInterface (then held for the
// length of the call).
template <class I> class InParam<I *>
{
    static_assert(kIsInterface<I>, "a pointer [in] parameter must be an interface");

  public:
    HRESULT Load(InvokeFrame &frame, size_t index) noexcept
    {
        HRESULT hr = frame.Coerce(index, VT_UNKNOWN, holder_);
        if (FAILED(hr))
        {
            // A VT_DISPATCH argument refused as VT_UNKNOWN cannot happen; anything else is
            // not an object.
            return hr;
        }
        if (!holder_.punkVal)
            return S_OK;
        if constexpr (std::is_same_v<I, IUnknown>)
            value_ = holder_.punkVal;
        else
        {
            if (FAILED(holder_.punkVal->QueryInterface(IidOf<I>(), query_.PutVoid())))
                return frame.Fail(DISP_E_TYPEMISMATCH, index);
            value_ = query_.Get();
        }
        return S_OK;
    }
    I *Get() const noexcept { return value_; }
    void Finish(InvokeFrame &, bool) noexcept {}

  private:
    Variant holder_;
    ComPtr<I> query_;
    I *value_ = nullptr;
};

// VARIANT arguments: a copy with any reference followed, owned for the length of the call; a
// missing optional argument comes as it is.
template <> class InParam<VARIANT>
{
  public:
    HRESULT Load(InvokeFrame &frame, size_t index) noexcept
    {
        HRESULT hr = VariantCopyInd(&holder_, &frame.Arg(index));
        return FAILED(hr) ? frame.Fail(hr == E_INVALIDARG ? DISP_E_TYPEMISMATCH : hr, index) : S_OK;
    }
    VARIANT Get() const noexcept { return holder_; }
    void Finish(InvokeFrame &, bool) noexcept {}

  private:
    Variant holder_;
};

// The VT_BYREF type that carries a T*.
template <class T> constexpr bool RefMatches(VARTYPE vt) noexcept
{
    if constexpr (std::is_same_v<T, VARIANT>)
        return false;
    else if constexpr (std::is_pointer_v<T>)
    {
        using I = std::remove_pointer_t<T>;
        if constexpr (kIsInterface<I> && !std::is_same_v<T, BSTR>)
            return vt == (VT_UNKNOWN | VT_BYREF) ||
                   (std::is_base_of_v<IDispatch, I> && vt == (VT_DISPATCH | VT_BYREF));
        else
            return vt == (Value<T>::vt | VT_BYREF);
    }
    else
        return vt == (Value<T>::vt | VT_BYREF);
}

// An [out] (or [in, out]) parameter: a VT_BYREF argument of the parameter's type is passed
// straight through; for a VT_BYREF|VT_VARIANT one the member sees the VARIANT's value
// converted to the parameter's type, and the VARIANT receives the result after a successful
// call.
template <class T> class OutParam
{
  public:
    HRESULT Load(InvokeFrame &frame, size_t index) noexcept
    {
        VARIANT &arg = frame.Arg(index);
        if (RefMatches<T>(arg.vt) && arg.byref)
            target_ = static_cast<T *>(arg.byref);
        else if (arg.vt == (VT_VARIANT | VT_BYREF) && arg.pvarVal)
        {
            if constexpr (std::is_same_v<T, VARIANT>)
                target_ = arg.pvarVal;
            else
            {
                slot_ = arg.pvarVal;
                target_ = &local_;
                Prefill();
            }
        }
        else
            return frame.Fail(DISP_E_TYPEMISMATCH, index);
        return S_OK;
    }
    T *Get() noexcept { return target_; }
    void Finish(InvokeFrame &, bool succeeded) noexcept
    {
        if (!slot_)
            return;
        if (succeeded)
        {
            VariantClear(slot_);
            Value<T>::Put(*slot_, std::exchange(local_, T{}));
        }
        else
            Value<T>::Free(local_);
    }

  private:
    // An [in, out] parameter sees the value the VARIANT holds, when it converts.
    void Prefill() noexcept
    {
        if constexpr (requires(const VARIANT &v) { Value<T>::Read(v); })
        {
            Variant value;
            if (SUCCEEDED(VariantChangeType(&value, slot_, 0, Value<T>::vt)))
            {
                local_ = Value<T>::Read(value);
                value.vt = VT_EMPTY; // the value now belongs to local_
            }
        }
    }

    T *target_ = nullptr;
    VARIANT *slot_ = nullptr;
    T local_{};
};

// The [out, retval] parameter: its value becomes *pVarResult.
template <class T> class RetvalParam
{
  public:
    RetvalParam() noexcept
    {
        if constexpr (std::is_same_v<T, VARIANT>)
            VariantInit(&local_);
    }
    HRESULT Load(InvokeFrame &, size_t) noexcept { return S_OK; }
    T *Get() noexcept { return &local_; }
    void Finish(InvokeFrame &frame, bool succeeded) noexcept
    {
        if (succeeded && frame.Result())
            Value<T>::Put(*frame.Result(), std::exchange(local_, T{}));
        else
            Value<T>::Free(local_);
    }

  private:
    T local_{};
};

template <class A, bool Retval> struct ParamOf
{
    using type = InParam<A>;
};
template <class T> struct ParamOf<T *, false>
{
    using type = std::conditional_t<kIsInterface<T>, InParam<T *>, OutParam<T>>;
};
template <class T> struct ParamOf<T *, true>
{
    using type = RetvalParam<T>;
};
// BSTR is a pointer type but an [in] text; BSTR* is an [out] text.
template <> struct ParamOf<BSTR, false>
{
    using type = InParam<BSTR>;
};
template <class T> struct ParamOf<T **, false>
{
    using type = OutParam<T *>;
};
template <class T> struct ParamOf<T **, true>
{
    using type = RetvalParam<T *>;
};

template <auto Fn, bool Retval, class C, class... A, size_t... I>
KITCOM_CATCHES_THREAD_END HRESULT CallMember(C *self, InvokeFrame &frame, TypeList<A...>,
                                             std::index_sequence<I...>)
{
    constexpr size_t count = sizeof...(A);
    if constexpr (Retval)
    {
        static_assert(count > 0, "a retval member needs a pointer parameter");
        static_assert(std::is_pointer_v<std::tuple_element_t<count - 1, std::tuple<A...>>>,
                      "the last parameter of a retval member is a pointer");
    }
    if (HRESULT hr = frame.CheckCount(Retval ? count - 1 : count); FAILED(hr))
        return hr;
    std::tuple<typename ParamOf<A, Retval && I + 1 == count>::type...> params;
    HRESULT hr = S_OK;
    ((hr = SUCCEEDED(hr) ? std::get<I>(params).Load(frame, I) : hr), ...);
    if (FAILED(hr))
        return hr;
    try
    {
        hr = (self->*Fn)(std::get<I>(params).Get()...);
    }
    KITCOM_LET_THREAD_END_THROUGH
    catch (...)
    {
        hr = E_UNEXPECTED;
    }
    (std::get<I>(params).Finish(frame, SUCCEEDED(hr)), ...);
    return frame.MemberReturned(hr);
}

template <auto Fn, bool Retval, class D> HRESULT Thunk(D *self, InvokeFrame &frame)
{
    using F = MemberFunction<decltype(Fn)>;
    return CallMember<Fn, Retval>(static_cast<typename F::Class *>(self), frame, typename F::Args{},
                                  std::make_index_sequence<F::arity>{});
}

// A table entry waiting for the table's class (known where the entry is stored).
template <auto Fn, DispKind Kind, bool Retval> struct MemberSpec
{
    const char *name;
    DISPID id;
    template <class D> constexpr operator DispMember<D>() const noexcept
    {
        return {name, id, Kind, &Thunk<Fn, Retval, D>};
    }
};

bool NameMatches(LPCOLESTR wide, const char *name) noexcept;
} // namespace detail

template <auto Fn>
constexpr detail::MemberSpec<Fn, DispKind::Method, false> Method(const char *name, DISPID id)
{
    return {name, id};
}
template <auto Fn>
constexpr detail::MemberSpec<Fn, DispKind::Method, true> MethodRetval(const char *name, DISPID id)
{
    return {name, id};
}
template <auto Fn>
constexpr detail::MemberSpec<Fn, DispKind::PropGet, true> PropGet(const char *name, DISPID id)
{
    return {name, id};
}
template <auto Fn>
constexpr detail::MemberSpec<Fn, DispKind::PropPut, false> PropPut(const char *name, DISPID id)
{
    return {name, id};
}
template <auto Fn>
constexpr detail::MemberSpec<Fn, DispKind::PropPutRef, false> PropPutRef(const char *name, DISPID id)
{
    return {name, id};
}

// IDispatch::GetIDsOfNames over a table: names compare without case; parameter names are not
// known (DISPID_UNKNOWN and DISP_E_UNKNOWNNAME for them).
template <class D>
HRESULT DispatchIdsOfNames(std::span<const DispMember<D>> table, REFIID riid, LPOLESTR *names, UINT count,
                           DISPID *ids) noexcept
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (count == 0)
        return S_OK;
    if (!names || !ids)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const DispMember<D> &member : table)
        if (names[0] && detail::NameMatches(names[0], member.name))
        {
            ids[0] = member.id;
            break;
        }
    if (ids[0] == DISPID_UNKNOWN)
        hr = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i)
    {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

// IDispatch::Invoke over a table.
template <class D>
HRESULT DispatchInvoke(std::span<const DispMember<D>> table, D *self, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS *params, VARIANT *result, EXCEPINFO *excepInfo, UINT *argErr)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    const DispMember<D> *member = nullptr;
    for (const DispMember<D> &candidate : table)
        if (candidate.id == id && (flags & static_cast<WORD>(candidate.kind)))
        {
            member = &candidate;
            break;
        }
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    InvokeFrame frame(member->kind, params, result, excepInfo, argErr);
    HRESULT hr = frame.Begin();
    if (SUCCEEDED(hr))
        hr = member->call(self, frame);
    return frame.End(hr);
}

HRESULT NoTypeInfoCount(UINT *pctinfo) noexcept;
HRESULT NoTypeInfo(ITypeInfo **ppTInfo) noexcept;

// The IDispatch part of a dual interface I, from Derived::DispatchTable().
template <class Derived, class I> class DispatchImpl : public I
{
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) override { return NoTypeInfoCount(pctinfo); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo) override
    {
        return NoTypeInfo(ppTInfo);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID,
                                            DISPID *rgDispId) override
    {
        return DispatchIdsOfNames(Derived::DispatchTable(), riid, rgszNames, cNames, rgDispId);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                                     DISPPARAMS *pDispParams, VARIANT *pVarResult, EXCEPINFO *pExcepInfo,
                                     UINT *puArgErr) override
    {
        return DispatchInvoke(Derived::DispatchTable(), static_cast<Derived *>(this), dispIdMember, riid,
                              wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    }
};
} // namespace kitcom
