// IDispatch from a member table: names, argument conversion, [out] and [retval] parameters,
// errors, and that Invoke reaches the members the vtable reaches.
#include "common/com/BStr.h"
#include "common/com/Object.h"

#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>
#ifdef _WIN32
#include <initguid.h> // the tests' own GUIDs are defined in this file
#endif

using kitcom::BStr;
using kitcom::ComPtr;
using kitcom::Variant;

namespace
{
// {D15A7C11-0000-4000-8000-000000000001}
DEFINE_GUID(IID_ICalc, 0xD15A7C11, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);

struct ICalc : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE Sum(LONG a, LONG b, LONG *result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Concat(BSTR a, BSTR b, BSTR *result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Scale(DOUBLE *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Scale(DOUBLE value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Swap(LONG *number, BSTR *text) = 0;
    virtual HRESULT STDMETHODCALLTYPE Keep(IUnknown *object) = 0;
    virtual HRESULT STDMETHODCALLTYPE KeepCalc(ICalc *calc) = 0;
    virtual HRESULT STDMETHODCALLTYPE Echo(VARIANT value, VARIANT *result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Fail(LONG code) = 0;
    virtual HRESULT STDMETHODCALLTYPE Small(BYTE b, SHORT s, ULONG u) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Self(ICalc **self) = 0;
    virtual HRESULT STDMETHODCALLTYPE Throw() = 0;
};
} // namespace
KITCOM_INTERFACE_ID(ICalc, IID_ICalc)

namespace
{
enum : DISPID
{
    kSum = 1,
    kConcat,
    kScale,
    kSwap,
    kKeep,
    kKeepCalc,
    kEcho,
    kFail,
    kSmall,
    kSelf,
    kThrow,
};

class CCalc final : public kitcom::Object<CCalc, ICalc>
{
  public:
    static std::span<const kitcom::DispMember<CCalc>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CCalc> members[] = {
            kitcom::MethodRetval<&CCalc::Sum>("Sum", kSum),
            kitcom::MethodRetval<&CCalc::Concat>("Concat", kConcat),
            kitcom::PropGet<&CCalc::get_Scale>("Scale", kScale),
            kitcom::PropPut<&CCalc::put_Scale>("Scale", kScale),
            kitcom::Method<&CCalc::Swap>("Swap", kSwap),
            kitcom::Method<&CCalc::Keep>("Keep", kKeep),
            kitcom::Method<&CCalc::KeepCalc>("KeepCalc", kKeepCalc),
            kitcom::MethodRetval<&CCalc::Echo>("Echo", kEcho),
            kitcom::Method<&CCalc::Fail>("Fail", kFail),
            kitcom::Method<&CCalc::Small>("Small", kSmall),
            kitcom::PropGet<&CCalc::get_Self>("Self", kSelf),
            kitcom::Method<&CCalc::Throw>("Throw", kThrow),
        };
        return members;
    }

    HRESULT STDMETHODCALLTYPE Sum(LONG a, LONG b, LONG *result) override
    {
        ++calls;
        *result = a + b;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Concat(BSTR a, BSTR b, BSTR *result) override
    {
        return kitcom::ReturnNarrow(kitcom::NarrowOf(a) + kitcom::NarrowOf(b), result);
    }
    HRESULT STDMETHODCALLTYPE get_Scale(DOUBLE *value) override
    {
        *value = scale;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Scale(DOUBLE value) override
    {
        scale = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Swap(LONG *number, BSTR *text) override
    {
        *number = *number * 2;
        SysFreeString(*text);
        *text = kitcom::AllocNarrow("cambiado");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Keep(IUnknown *object) override
    {
        kept.Assign(object);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE KeepCalc(ICalc *calc) override
    {
        keptCalc.Assign(calc);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Echo(VARIANT value, VARIANT *result) override
    {
        return VariantCopy(result, &value);
    }
    HRESULT STDMETHODCALLTYPE Fail(LONG code) override
    {
        if (code == 1)
            return kitcom::ReportError(E_ACCESSDENIED, "Calc", "Acceso denegado al cálculo.");
        return static_cast<HRESULT>(code);
    }
    HRESULT STDMETHODCALLTYPE Small(BYTE b, SHORT s, ULONG u) override
    {
        small = std::to_string(b) + "/" + std::to_string(s) + "/" + std::to_string(u);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_Self(ICalc **self) override
    {
        AddRef();
        *self = this;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Throw() override { throw std::runtime_error("no"); }

    int calls = 0;
    DOUBLE scale = 1.0;
    ComPtr<IUnknown> kept;
    ComPtr<ICalc> keptCalc;
    std::string small;
};

// An Invoke call: arguments written in the order of the parameters (reversed for DISPPARAMS).
struct Call
{
    HRESULT hr;
    Variant result;
    UINT argErr = 0xFFFF;
    EXCEPINFO excep;
};

Call Invoke(IDispatch *object, DISPID id, WORD flags, std::vector<VARIANT> args, bool named = false)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), named ? &put : nullptr,
                         static_cast<UINT>(reversed.size()), named ? 1u : 0u};
    Call call;
    std::memset(&call.excep, 0, sizeof call.excep);
    call.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &call.result, &call.excep,
                             &call.argErr);
    return call;
}

VARIANT Missing()
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

class DispatchTest : public testing::Test
{
  protected:
    ComPtr<CCalc> calc = kitcom::Make<CCalc>();
    IDispatch *dispatch = calc.Get();
};
} // namespace

TEST_F(DispatchTest, NamesWithoutCase)
{
    struct Case
    {
        const OLECHAR *name;
        HRESULT hr;
        DISPID id;
    };
    const Case cases[] = {
        {OLESTR("Sum"), S_OK, kSum},
        {OLESTR("SUM"), S_OK, kSum},
        {OLESTR("scale"), S_OK, kScale},
        {OLESTR("Sums"), DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {OLESTR(""), DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const Case &c : cases)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = 12345;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), c.hr);
        EXPECT_EQ(id, c.id);
    }
    // Parameter names are not known.
    LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("Sum")), const_cast<LPOLESTR>(OLESTR("a"))};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], kSum);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_ICalc, names, 1, LOCALE_USER_DEFAULT, ids),
              DISP_E_UNKNOWNINTERFACE);

    UINT count = 7;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ITypeInfo *info = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
}

TEST_F(DispatchTest, InvokeReachesTheVtableMembers)
{
    LONG viaVtable = 0;
    ASSERT_EQ(calc->Sum(2, 3, &viaVtable), S_OK);
    Call call = Invoke(dispatch, kSum, DISPATCH_METHOD, {Variant(2), Variant(3)});
    ASSERT_EQ(call.hr, S_OK);
    EXPECT_EQ(call.result.vt, VT_I4);
    EXPECT_EQ(call.result.lVal, viaVtable);
    EXPECT_EQ(calc->calls, 2);

    // Arguments are coerced; a property is written through DISPID_PROPERTYPUT.
    call = Invoke(dispatch, kSum, DISPATCH_METHOD, {Variant(OLESTR("40")), Variant(2.4)});
    EXPECT_EQ(call.result.lVal, 42);
    EXPECT_EQ(Invoke(dispatch, kScale, DISPATCH_PROPERTYPUT, {Variant(OLESTR("2.5"))}, true).hr, S_OK);
    EXPECT_EQ(calc->scale, 2.5);
    EXPECT_EQ(Invoke(dispatch, kScale, DISPATCH_PROPERTYPUT, {Variant(3)}).hr, S_OK); // without the name too
    call = Invoke(dispatch, kScale, DISPATCH_PROPERTYGET, {});
    EXPECT_EQ(call.result.vt, VT_R8);
    EXPECT_EQ(call.result.dblVal, 3.0);

    call = Invoke(dispatch, kConcat, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant("ab"), Variant(7)});
    ASSERT_EQ(call.hr, S_OK);
    EXPECT_EQ(kitcom::NarrowOf(call.result.bstrVal), "ab7");

    // Narrow integer types, and a success that is not S_OK.
    call = Invoke(dispatch, kSmall, DISPATCH_METHOD, {Variant(255), Variant(-2), Variant(OLESTR("7"))});
    EXPECT_EQ(call.hr, S_OK);
    EXPECT_EQ(call.result.vt, VT_EMPTY);
    EXPECT_EQ(calc->small, "255/-2/7");
}

TEST_F(DispatchTest, OutParametersByReference)
{
    LONG number = 21;
    BSTR text = SysAllocString(OLESTR("viejo"));
    VARIANT refs[2];
    refs[0].vt = VT_I4 | VT_BYREF;
    refs[0].plVal = &number;
    refs[1].vt = VT_BSTR | VT_BYREF;
    refs[1].pbstrVal = &text;
    EXPECT_EQ(Invoke(dispatch, kSwap, DISPATCH_METHOD, {refs[0], refs[1]}).hr, S_OK);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(kitcom::NarrowOf(text), "cambiado");
    SysFreeString(text);

    // References to VARIANTs carry the values in and out, with their types.
    Variant numberSlot(OLESTR("5")), textSlot("x");
    VARIANT vrefs[2];
    vrefs[0].vt = VT_VARIANT | VT_BYREF;
    vrefs[0].pvarVal = &numberSlot;
    vrefs[1].vt = VT_VARIANT | VT_BYREF;
    vrefs[1].pvarVal = &textSlot;
    EXPECT_EQ(Invoke(dispatch, kSwap, DISPATCH_METHOD, {vrefs[0], vrefs[1]}).hr, S_OK);
    EXPECT_EQ(numberSlot.vt, VT_I4);
    EXPECT_EQ(numberSlot.lVal, 10);
    EXPECT_EQ(textSlot.vt, VT_BSTR);
    EXPECT_EQ(kitcom::NarrowOf(textSlot.bstrVal), "cambiado");

    // A value where a reference is wanted.
    Call call = Invoke(dispatch, kSwap, DISPATCH_METHOD, {Variant(1), refs[1]});
    EXPECT_EQ(call.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call.argErr, 1u); // the first parameter is the last argument
}

TEST_F(DispatchTest, ObjectsAndVariants)
{
    ComPtr<CCalc> other = kitcom::Make<CCalc>();
    EXPECT_EQ(Invoke(dispatch, kKeep, DISPATCH_METHOD, {Variant(other.Get())}).hr, S_OK);
    EXPECT_TRUE(kitcom::SameObject(calc->kept.Get(), other->GetUnknown()));
    // An IUnknown argument reaches an ICalc parameter through QueryInterface.
    VARIANT unknown;
    unknown.vt = VT_UNKNOWN;
    unknown.punkVal = other->GetUnknown();
    EXPECT_EQ(Invoke(dispatch, kKeepCalc, DISPATCH_METHOD, {unknown}).hr, S_OK);
    EXPECT_EQ(calc->keptCalc.Get(), static_cast<ICalc *>(other.Get()));
    Call call = Invoke(dispatch, kKeepCalc, DISPATCH_METHOD, {Variant(3)});
    EXPECT_EQ(call.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call.argErr, 0u);

    call = Invoke(dispatch, kEcho, DISPATCH_METHOD, {Variant("eco")});
    EXPECT_EQ(call.result.vt, VT_BSTR);
    EXPECT_EQ(kitcom::NarrowOf(call.result.bstrVal), "eco");
    // A missing argument is a value for a VARIANT parameter...
    call = Invoke(dispatch, kEcho, DISPATCH_METHOD, {Missing()});
    EXPECT_EQ(call.hr, S_OK);
    EXPECT_EQ(call.result.vt, VT_ERROR);
    // ...but not for others.
    call = Invoke(dispatch, kSum, DISPATCH_METHOD, {Variant(1), Missing()});
    EXPECT_EQ(call.hr, DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(call.argErr, 0u);

    // An interface [out, retval] comes out as VT_DISPATCH for a dual interface.
    call = Invoke(dispatch, kSelf, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(call.hr, S_OK);
    EXPECT_EQ(call.result.vt, VT_DISPATCH);
    EXPECT_EQ(call.result.pdispVal, dispatch);
    calc->kept.Reset();
    calc->keptCalc.Reset();
}

TEST_F(DispatchTest, ResultsWithoutARequestAreFreed)
{
    // No pVarResult: the BSTR the member made must not leak (checked under asan).
    VARIANT args[2];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(OLESTR("a"));
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(OLESTR("b"));
    DISPPARAMS params = {args, nullptr, 2, 0};
    EXPECT_EQ(dispatch->Invoke(kConcat, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                               nullptr, nullptr),
              S_OK);
    SysFreeString(args[0].bstrVal);
    SysFreeString(args[1].bstrVal);
    ICalc *self = nullptr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch->Invoke(kSelf, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, nullptr,
                               nullptr, nullptr),
              S_OK); // the reference it returned is released
    EXPECT_EQ(calc->get_Self(&self), S_OK);
    EXPECT_EQ(self->Release(), 1u);
}

TEST_F(DispatchTest, CallErrors)
{
    struct Case
    {
        const char *what;
        DISPID id;
        WORD flags;
        std::vector<Variant> args;
        HRESULT hr;
        UINT argErr;
    };
    const Case cases[] = {
        {"unknown member", 99, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0xFFFF},
        {"get of a method", kSum, DISPATCH_PROPERTYPUT, {Variant(1)}, DISP_E_MEMBERNOTFOUND, 0xFFFF},
        {"method call of a property", kScale, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0xFFFF},
        {"too few", kSum, DISPATCH_METHOD, {Variant(1)}, DISP_E_BADPARAMCOUNT, 0xFFFF},
        {"too many",
         kSum,
         DISPATCH_METHOD,
         {Variant(1), Variant(2), Variant(3)},
         DISP_E_BADPARAMCOUNT,
         0xFFFF},
        {"get with an argument", kScale, DISPATCH_PROPERTYGET, {Variant(1)}, DISP_E_BADPARAMCOUNT, 0xFFFF},
        {"text for a number", kSum, DISPATCH_METHOD, {Variant("uno"), Variant(2)}, DISP_E_TYPEMISMATCH, 1},
        {"second argument", kSum, DISPATCH_METHOD, {Variant(1), Variant("dos")}, DISP_E_TYPEMISMATCH, 0},
        {"too big for a byte",
         kSmall,
         DISPATCH_METHOD,
         {Variant(256), Variant(0), Variant(0)},
         DISP_E_OVERFLOW,
         2},
        {"negative unsigned",
         kSmall,
         DISPATCH_METHOD,
         {Variant(1), Variant(0), Variant(-1)},
         DISP_E_OVERFLOW,
         0},
    };
    for (const Case &c : cases)
    {
        Call call = Invoke(dispatch, c.id, c.flags, {c.args.begin(), c.args.end()});
        EXPECT_EQ(call.hr, c.hr) << c.what;
        EXPECT_EQ(call.argErr, c.argErr) << c.what;
    }
    EXPECT_EQ(calc->calls, 0); // no member ran

    // Named arguments other than the put value are not understood.
    VARIANT value = Variant(1).Detach();
    DISPID named = 5;
    DISPPARAMS params = {&value, &named, 1, 1};
    EXPECT_EQ(dispatch->Invoke(kScale, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    EXPECT_EQ(dispatch->Invoke(kScale, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr),
              E_INVALIDARG);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch->Invoke(kScale, IID_ICalc, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchTest, MemberFailuresBecomeExceptions)
{
    Call call = Invoke(dispatch, kFail, DISPATCH_METHOD, {Variant(1)});
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.excep.scode, E_ACCESSDENIED);
    EXPECT_EQ(kitcom::NarrowOf(call.excep.bstrSource), "Calc");
    EXPECT_EQ(kitcom::NarrowOf(call.excep.bstrDescription), "Acceso denegado al c\xE1lculo.");
    SysFreeString(call.excep.bstrSource);
    SysFreeString(call.excep.bstrDescription);

    // Without a report: the code only.
    call = Invoke(dispatch, kFail, DISPATCH_METHOD, {Variant(static_cast<int>(E_FAIL))});
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.excep.scode, E_FAIL);
    EXPECT_EQ(call.excep.bstrSource, nullptr);
    // A report does not outlive its call.
    kitcom::ReportError(E_FAIL, "viejo", "viejo");
    call = Invoke(dispatch, kFail, DISPATCH_METHOD, {Variant(static_cast<int>(E_FAIL))});
    EXPECT_EQ(call.excep.bstrSource, nullptr);

    call = Invoke(dispatch, kThrow, DISPATCH_METHOD, {});
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.excep.scode, E_UNEXPECTED);

    // Without an EXCEPINFO.
    VARIANT arg = Variant(static_cast<int>(E_FAIL)).Detach();
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(kFail, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_EXCEPTION);
}
