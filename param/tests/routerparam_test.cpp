// RouterParam through its public interface: registration, creation from another library, every
// method through the vtable and through IDispatch::Invoke, defaults, bad arguments, copies.
#include "param/tests/paramtest.h"

#include "common/com/Object.h"
#include "testing/kittest.h"
#include "testing/regsvr32.h"
#include "testing/registry.h"

#include <cstring>

using namespace paramtest;

namespace
{
using PairSetter = HRESULT (STDMETHODCALLTYPE IRouterParam::*)(BSTR, BSTR);
using PairGetter = HRESULT (STDMETHODCALLTYPE IRouterParam::*)(BSTR *, BSTR *);
using FlagSetter = HRESULT (STDMETHODCALLTYPE IRouterParam::*)(LONG);
using FlagGetter = HRESULT (STDMETHODCALLTYPE IRouterParam::*)(LONG *);

const struct PairCase
{
    const char *name;
    PairSetter set;
    PairGetter get;
    DISPID setId, getId;
} kPairs[] = {
    {"Lan", &IRouterParam::SetLan, &IRouterParam::GetLan, DISPID_ROUTERPARAM_SETLAN,
     DISPID_ROUTERPARAM_GETLAN},
    {"Wan", &IRouterParam::SetWan, &IRouterParam::GetWan, DISPID_ROUTERPARAM_SETWAN,
     DISPID_ROUTERPARAM_GETWAN},
    {"Dns", &IRouterParam::SetDns, &IRouterParam::GetDns, DISPID_ROUTERPARAM_SETDNS,
     DISPID_ROUTERPARAM_GETDNS},
    {"Dhcp", &IRouterParam::SetDhcp, &IRouterParam::GetDhcp, DISPID_ROUTERPARAM_SETDHCP,
     DISPID_ROUTERPARAM_GETDHCP},
    {"User", &IRouterParam::SetUser, &IRouterParam::GetUser, DISPID_ROUTERPARAM_SETUSER,
     DISPID_ROUTERPARAM_GETUSER},
};

const struct FlagCase
{
    const char *name;
    FlagSetter set;
    FlagGetter get;
    DISPID setId, getId;
} kFlags[] = {
    {"Nat", &IRouterParam::SetNat, &IRouterParam::GetNat, DISPID_ROUTERPARAM_SETNAT,
     DISPID_ROUTERPARAM_GETNAT},
    {"Bridge", &IRouterParam::SetBridge, &IRouterParam::GetBridge, DISPID_ROUTERPARAM_SETBRIDGE,
     DISPID_ROUTERPARAM_GETBRIDGE},
    {"Encap", &IRouterParam::SetEncap, &IRouterParam::GetEncap, DISPID_ROUTERPARAM_SETENCAP,
     DISPID_ROUTERPARAM_GETENCAP},
};

const struct NameCase
{
    const OLECHAR *name;
    DISPID id;
} kNames[] = {
    {OLESTR("CopyTo"), 1},     {OLESTR("SetLan"), 2},   {OLESTR("GetLan"), 3},    {OLESTR("SetWan"), 4},
    {OLESTR("GetWan"), 5},     {OLESTR("SetDns"), 6},   {OLESTR("GetDns"), 7},    {OLESTR("SetDhcp"), 8},
    {OLESTR("GetDhcp"), 9},    {OLESTR("SetNat"), 10},  {OLESTR("GetNat"), 11},   {OLESTR("SetBridge"), 12},
    {OLESTR("GETBRIDGE"), 13}, {OLESTR("SetUser"), 14}, {OLESTR("GetUser"), 15},  {OLESTR("SetEncap"), 16},
    {OLESTR("getencap"), 17},  {OLESTR("Reset"), 18},   {OLESTR("SetPorts"), 19}, {OLESTR("GetPorts"), 20},
};

class RouterParamTest : public ParamServer
{
};

// A plain object that is not a parameter object.
class CStranger final : public kitcom::Object<CStranger, IUnknown>
{
};
} // namespace

TEST_F(RouterParamTest, RegisteredWithItsProgIdsAndTypeLibrary)
{
    const std::string clsid = "{86C05C70-6370-11D6-9BEC-00C04F1F2D46}";
    EXPECT_EQ(kittest::ClassesText("DaxParam.RouterParam\\CLSID"), clsid);
    EXPECT_EQ(kittest::ClassesText("DaxParam.RouterParam.1\\CLSID"), clsid);
    EXPECT_EQ(kittest::ClassesText("DaxParam.RouterParam\\CurVer"), "DaxParam.RouterParam.1");
    EXPECT_EQ(kittest::ClassesText("CLSID\\" + clsid + "\\ProgID"), "DaxParam.RouterParam.1");
    EXPECT_EQ(kittest::ClassesText("CLSID\\" + clsid + "\\VersionIndependentProgID"), "DaxParam.RouterParam");
    EXPECT_EQ(kittest::ClassesText("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(kittest::ClassesText("CLSID\\" + clsid + "\\TypeLib"),
              "{86C05C6C-6370-11D6-9BEC-00C04F1F2D46}");
    EXPECT_EQ(kittest::ClassesText("TypeLib\\{86C05C6C-6370-11D6-9BEC-00C04F1F2D46}\\1.0"),
              "DaxParam 1.0 Type Library");
    EXPECT_EQ(kittest::ClassesText("Interface\\{86C05C6F-6370-11D6-9BEC-00C04F1F2D46}"), "IRouterParam");
    EXPECT_EQ(kittest::ClassesText("Interface\\{86C05C6D-6370-11D6-9BEC-00C04F1F2D46}"), "ITcpipParam");
    EXPECT_EQ(kittest::ClassesText("DaxParam.TcpipParam\\CLSID"), "{86C05C6E-6370-11D6-9BEC-00C04F1F2D46}");
    EXPECT_EQ(kittest::ClassesText("DaxParam.TcpipParam.1\\CLSID"), "{86C05C6E-6370-11D6-9BEC-00C04F1F2D46}");
    EXPECT_EQ(kittest::ClassesText("CLSID\\{86C05C6E-6370-11D6-9BEC-00C04F1F2D46}\\InprocServer32",
                                   "ThreadingModel"),
              "Apartment");
}

TEST_F(RouterParamTest, CreatedByProgIdAndByClsidAsDistinctObjects)
{
    ComPtr<IRouterParam> byName = CreateByProgId<IRouterParam>(OLESTR("DaxParam.RouterParam"));
    ComPtr<IRouterParam> byVersion = CreateByProgId<IRouterParam>(OLESTR("DaxParam.RouterParam.1"));
    ComPtr<IRouterParam> byClsid = CreateByClsid<IRouterParam>(CLSID_RouterParam);
    ASSERT_TRUE(byName && byVersion && byClsid);
    EXPECT_EQ(byName->SetNat(1), S_OK);
    LONG nat = -1;
    EXPECT_EQ(byVersion->GetNat(&nat), S_OK);
    EXPECT_EQ(nat, 0);
    EXPECT_EQ(byClsid->GetNat(&nat), S_OK);
    EXPECT_EQ(nat, 0);

    // IDispatch is the dual interface itself; the class does not offer the other interface.
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(byName.As(dispatch), S_OK);
    EXPECT_TRUE(kitcom::SameObject(dispatch.Get(), byName.Get()));
    ComPtr<ITcpipParam> wrong;
    EXPECT_EQ(byName.As(wrong), E_NOINTERFACE);
    EXPECT_FALSE(wrong);
    void *none = Garbage();
    EXPECT_EQ(RawCreateByClsid(CLSID_RouterParam, IID_ITcpipParam, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST_F(RouterParamTest, UnregisteredClassesCannotBeCreated)
{
    std::string output;
    ASSERT_EQ(kittest::Regsvr32({"/u", "/s", "DaxParam.dll"}, &output), 0) << output;
    void *object = Garbage();
    EXPECT_EQ(RawCreateByClsid(CLSID_RouterParam, IID_IRouterParam, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    object = Garbage();
    EXPECT_EQ(RawCreateByClsid(CLSID_TcpipParam, IID_ITcpipParam, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    object = Garbage();
    EXPECT_TRUE(FAILED(RawCreateByProgId(OLESTR("DaxParam.RouterParam"), IID_IRouterParam, &object)));
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(kittest::ClassesText("DaxParam.RouterParam\\CLSID"), "<no key>");
}

TEST_F(RouterParamTest, ServerUnloadsOnlyWhenNoObjectIsLeft)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    HMODULE server = LoadLibraryA("DaxParam.dll");
    ASSERT_NE(server, nullptr);
    auto canUnload =
        reinterpret_cast<HRESULT (*)()>(reinterpret_cast<void *>(GetProcAddress(server, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    param.Reset();
    EXPECT_EQ(canUnload(), S_OK);
    FreeLibrary(server);
}

TEST_F(RouterParamTest, NewObjectHoldsEmptyTextsAndZeroFlags)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    for (const PairCase &c : kPairs)
    {
        BSTR a = Garbage(), b = Garbage();
        EXPECT_EQ((param.Get()->*c.get)(&a, &b), S_OK) << c.name;
        ASSERT_NE(a, nullptr) << c.name;
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_EQ(SysStringLen(a), 0u) << c.name;
        EXPECT_EQ(SysStringLen(b), 0u) << c.name;
        SysFreeString(a);
        SysFreeString(b);
    }
    for (const FlagCase &c : kFlags)
    {
        LONG value = 0x5A5A;
        EXPECT_EQ((param.Get()->*c.get)(&value), S_OK) << c.name;
        EXPECT_EQ(value, 0) << c.name;
    }
    BSTR ports = Garbage();
    EXPECT_EQ(param->GetPorts(&ports), S_OK);
    ASSERT_NE(ports, nullptr);
    EXPECT_EQ(Take(ports), "");
}

TEST_F(RouterParamTest, VtableAndInvokeReachTheSameValues)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    for (const PairCase &c : kPairs)
    {
        // Set through the vtable, read through Invoke (VT_BYREF|VT_BSTR).
        EXPECT_EQ((param.Get()->*c.set)(Text("80.58.1.10").Get(), Text("255.255.255.0").Get()), S_OK);
        BSTR a = nullptr, b = nullptr;
        EXPECT_EQ(Invoke(param.Get(), c.getId, {Out(&a), Out(&b)}), S_OK) << c.name;
        EXPECT_EQ(Take(a), "80.58.1.10") << c.name;
        EXPECT_EQ(Take(b), "255.255.255.0") << c.name;
        // Set through Invoke, read through the vtable.
        Variant first("Conexión"), second("x");
        EXPECT_EQ(Invoke(param.Get(), c.setId, {first, second}), S_OK) << c.name;
        EXPECT_EQ((param.Get()->*c.get)(&a, &b), S_OK);
        EXPECT_EQ(Take(a), "Conexi\xF3n") << c.name;
        EXPECT_EQ(Take(b), "x") << c.name;
    }
    for (const FlagCase &c : kFlags)
    {
        EXPECT_EQ((param.Get()->*c.set)(-7), S_OK);
        Variant out; // VT_BYREF|VT_VARIANT receives a VT_I4
        EXPECT_EQ(Invoke(param.Get(), c.getId, {Out(&out)}), S_OK) << c.name;
        EXPECT_EQ(out.vt, VT_I4) << c.name;
        EXPECT_EQ(out.lVal, -7) << c.name;
        Variant two(OLESTR("2")); // coerced to LONG
        EXPECT_EQ(Invoke(param.Get(), c.setId, {two}), S_OK) << c.name;
        LONG value = 0;
        EXPECT_EQ((param.Get()->*c.get)(&value), S_OK);
        EXPECT_EQ(value, 2) << c.name;
        EXPECT_EQ(Invoke(param.Get(), c.getId, {Out(&value)}), S_OK) << c.name;
        EXPECT_EQ(value, 2) << c.name;
    }
    EXPECT_EQ(param->SetPorts(Text("Default,192.168.1.2,80,192.168.1.3").Get()), S_OK);
    BSTR ports = nullptr;
    EXPECT_EQ(Invoke(param.Get(), DISPID_ROUTERPARAM_GETPORTS, {Out(&ports)}), S_OK);
    EXPECT_EQ(Take(ports), "Default,192.168.1.2,80,192.168.1.3");
    Variant list("21,192.168.1.4");
    EXPECT_EQ(Invoke(param.Get(), DISPID_ROUTERPARAM_SETPORTS, {list}), S_OK);
    EXPECT_EQ(param->GetPorts(&ports), S_OK);
    EXPECT_EQ(Take(ports), "21,192.168.1.4");
    EXPECT_EQ(Invoke(param.Get(), DISPID_ROUTERPARAM_RESET, {}), S_OK);
    EXPECT_EQ(param->GetPorts(&ports), S_OK);
    EXPECT_EQ(Take(ports), "");
}

TEST_F(RouterParamTest, NamesGiveTheSlotDispatchIds)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    for (const NameCase &c : kNames)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = 0;
        EXPECT_EQ(param->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, c.id) << BStr(c.name).Narrow();
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(OLESTR("PutNicName"))};
    DISPID id = 0;
    EXPECT_EQ(param->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(Invoke(param.Get(), 21, {}), DISP_E_MEMBERNOTFOUND);
}

TEST_F(RouterParamTest, TextsComeBackUnchanged)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    const OLECHAR wide[] = {'a', 0x20AC, 0, 'b', 0xFFFF};
    BSTR odd = SysAllocStringLen(wide, 5); // a euro sign, an embedded NUL, a non-character
    const std::string long1252(5000, '\xF1');
    EXPECT_EQ(param->SetUser(odd, Text(long1252.c_str()).Get()), S_OK);
    BSTR user = nullptr, password = nullptr;
    EXPECT_EQ(param->GetUser(&user, &password), S_OK);
    ASSERT_EQ(SysStringLen(user), 5u);
    EXPECT_EQ(std::memcmp(user, wide, sizeof wide), 0);
    EXPECT_NE(user, odd); // a copy of its own
    EXPECT_EQ(Take(password), long1252);
    SysFreeString(user);
    SysFreeString(odd);

    // A NULL BSTR is the empty text.
    EXPECT_EQ(param->SetUser(nullptr, nullptr), S_OK);
    EXPECT_EQ(param->SetPorts(nullptr), S_OK);
    EXPECT_EQ(param->GetUser(&user, &password), S_OK);
    ASSERT_NE(user, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(Take(user), "");
    EXPECT_EQ(Take(password), "");
}

TEST_F(RouterParamTest, NullOutputsAreRefused)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    FillAll(param.Get(), 1);
    for (const PairCase &c : kPairs)
    {
        BSTR b = Garbage();
        EXPECT_EQ((param.Get()->*c.get)(nullptr, &b), E_POINTER) << c.name;
        EXPECT_EQ(b, nullptr) << c.name;
        BSTR a = Garbage();
        EXPECT_EQ((param.Get()->*c.get)(&a, nullptr), E_POINTER) << c.name;
        EXPECT_EQ(a, nullptr) << c.name;
    }
    for (const FlagCase &c : kFlags)
        EXPECT_EQ((param.Get()->*c.get)(nullptr), E_POINTER) << c.name;
    EXPECT_EQ(param->GetPorts(nullptr), E_POINTER);
    // Through Invoke an [out] argument that is not a reference is refused before the call.
    Variant notByRef("x");
    BSTR b = nullptr;
    EXPECT_EQ(Invoke(param.Get(), DISPID_ROUTERPARAM_GETLAN, {notByRef, Out(&b)}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(b, nullptr);
}

TEST_F(RouterParamTest, ResetEmptiesEverything)
{
    ComPtr<IRouterParam> param = NewRouter();
    ComPtr<IRouterParam> fresh = NewRouter();
    ASSERT_TRUE(param && fresh);
    FillAll(param.Get(), 3);
    ASSERT_NE(ReadAll(param.Get()), ReadAll(fresh.Get()));
    EXPECT_EQ(param->Reset(), S_OK);
    EXPECT_EQ(ReadAll(param.Get()), ReadAll(fresh.Get()));
}

TEST_F(RouterParamTest, CopyToCopiesEveryValue)
{
    ComPtr<IRouterParam> source = NewRouter();
    ComPtr<IRouterParam> target = NewRouter();
    ASSERT_TRUE(source && target);
    FillAll(source.Get(), 4);
    FillAll(target.Get(), 5);
    const RouterSnapshot before = ReadAll(source.Get());
    EXPECT_EQ(source->CopyTo(target.Get()), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), before);
    EXPECT_EQ(ReadAll(source.Get()), before);

    // The copy is independent of its source.
    EXPECT_EQ(source->SetNat(0), S_OK);
    LONG nat = 0;
    EXPECT_EQ(target->GetNat(&nat), S_OK);
    EXPECT_EQ(nat, 5);

    // An empty source empties the target; the target may be given by any of its interfaces.
    ComPtr<IRouterParam> empty = NewRouter();
    ComPtr<IDispatch> targetDispatch;
    ASSERT_EQ(target.As(targetDispatch), S_OK);
    EXPECT_EQ(empty->CopyTo(targetDispatch.Get()), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), ReadAll(empty.Get()));
}

TEST_F(RouterParamTest, CopyToThroughInvoke)
{
    ComPtr<IRouterParam> source = NewRouter();
    ComPtr<IRouterParam> target = NewRouter();
    ASSERT_TRUE(source && target);
    FillAll(source.Get(), 6);
    Variant targetArg(static_cast<IDispatch *>(target.Get()));
    EXPECT_EQ(Invoke(source.Get(), DISPID_ROUTERPARAM_COPYTO, {targetArg}), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), ReadAll(source.Get()));

    VARIANT nothing;
    VariantInit(&nothing);
    nothing.vt = VT_UNKNOWN;
    nothing.punkVal = nullptr;
    EXCEPINFO info;
    std::memset(&info, 0, sizeof info);
    EXPECT_EQ(Invoke(source.Get(), DISPID_ROUTERPARAM_COPYTO, {nothing}, &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_INVALIDARG);
    EXPECT_EQ(kitcom::NarrowOf(info.bstrSource), "DaxParam.RouterParam");
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
}

TEST_F(RouterParamTest, CopyToIntoItselfKeepsTheValues)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    FillAll(param.Get(), 7);
    const RouterSnapshot before = ReadAll(param.Get());
    EXPECT_EQ(param->CopyTo(param.Get()), S_OK);
    EXPECT_EQ(ReadAll(param.Get()), before);
}

TEST_F(RouterParamTest, CopyToRefusesWhatIsNotARouterParam)
{
    ComPtr<IRouterParam> source = NewRouter();
    ComPtr<ITcpipParam> tcpip = NewTcpip();
    ASSERT_TRUE(source && tcpip);
    FillAll(source.Get(), 8);
    const TcpipSnapshot tcpipBefore = ReadAll(tcpip.Get());
    EXPECT_EQ(source->CopyTo(nullptr), E_INVALIDARG);
    EXPECT_EQ(source->CopyTo(tcpip.Get()), E_NOINTERFACE);
    EXPECT_EQ(ReadAll(tcpip.Get()), tcpipBefore);
    ComPtr<CStranger> stranger = kitcom::Make<CStranger>();
    EXPECT_EQ(source->CopyTo(stranger->GetUnknown()), E_NOINTERFACE);
}
