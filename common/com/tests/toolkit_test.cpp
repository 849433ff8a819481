// The toolkit's pieces: ComPtr, BStr and Variant, objects and their interface tables, class
// factories and the module lock, registration scripts.
#include "testing/registry.h"
#include "common/com/BStr.h"
#include "common/com/Object.h"
#include "common/com/Server.h"
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#ifdef _WIN32
#include <initguid.h> // the tests' own GUIDs are defined in this file
#endif

using kitcom::BStr;
using kitcom::ComPtr;
using kitcom::Variant;

namespace
{
// {A1A1A1A1-0000-4000-8000-000000000001}
DEFINE_GUID(IID_IThing, 0xA1A1A1A1, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(IID_IOther, 0xA1A1A1A1, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_GUID(IID_IExtra, 0xA1A1A1A1, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
DEFINE_GUID(CLSID_Thing, 0xA1A1A1A1, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10);
DEFINE_GUID(LIBID_Thing, 0xA1A1A1A1, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20);

struct IThing : public IUnknown
{
    virtual LONG STDMETHODCALLTYPE Value() = 0;
};
struct IOther : public IUnknown
{
    virtual LONG STDMETHODCALLTYPE Twice() = 0;
};
} // namespace
KITCOM_INTERFACE_ID(IThing, IID_IThing)
KITCOM_INTERFACE_ID(IOther, IID_IOther)

namespace
{
std::atomic<int> g_live{0};

class CThing final : public kitcom::Object<CThing, IThing, IOther>
{
  public:
    explicit CThing(LONG value = 21, HRESULT construct = S_OK) : value_(value), construct_(construct)
    {
        ++g_live;
    }
    ~CThing() { --g_live; }
    HRESULT FinalConstruct() { return construct_; }
    // IID_IExtra reaches IOther through the class's own look-up.
    HRESULT QueryOtherInterface(REFIID riid, void **ppv)
    {
        if (riid != IID_IExtra)
            return E_NOINTERFACE;
        AddRef();
        *ppv = static_cast<IOther *>(this);
        return S_OK;
    }
    LONG STDMETHODCALLTYPE Value() override { return value_; }
    LONG STDMETHODCALLTYPE Twice() override { return 2 * value_; }

  private:
    LONG value_;
    HRESULT construct_;
};

ULONG RefsOf(IUnknown *object)
{
    object->AddRef();
    return object->Release();
}

constexpr kitcom::ClassEntry kThingClasses[] = {
    kitcom::Class<CThing>(
        CLSID_Thing,
        {.description = "Thing Class", .progId = "Kit.Thing.1", .versionIndependentProgId = "Kit.Thing"}),
};
constexpr kitcom::ServerInfo kThingServer = {kThingClasses};
} // namespace

TEST(ComPtr, HoldsAndReleasesReferences)
{
    ComPtr<CThing> thing = kitcom::Make<CThing>();
    ASSERT_TRUE(thing);
    EXPECT_EQ(RefsOf(thing->GetUnknown()), 1u);
    {
        ComPtr<IThing> copy(thing.Get()); // borrowing takes a reference
        EXPECT_EQ(RefsOf(thing->GetUnknown()), 2u);
        ComPtr<IThing> moved(std::move(copy));
        EXPECT_FALSE(copy);
        EXPECT_EQ(RefsOf(thing->GetUnknown()), 2u);
        ComPtr<IThing> assigned;
        assigned = moved;
        EXPECT_EQ(RefsOf(thing->GetUnknown()), 3u);
        EXPECT_TRUE(assigned == moved);
        EXPECT_TRUE(assigned == static_cast<IThing *>(thing.Get()));
    }
    EXPECT_EQ(RefsOf(thing->GetUnknown()), 1u);

    // Detach gives the reference away; Attach adopts one.
    thing->AddRef();
    ComPtr<IThing> adopted;
    adopted.Attach(thing.Get());
    EXPECT_EQ(RefsOf(thing->GetUnknown()), 2u);
    IThing *raw = adopted.Detach();
    EXPECT_FALSE(adopted);
    EXPECT_EQ(raw->Release(), 1u);

    // &ptr releases what it held before the call fills it.
    ComPtr<IOther> other;
    ASSERT_EQ(thing.As(other), S_OK);
    EXPECT_EQ(other->Twice(), 42);
    EXPECT_EQ(thing->QueryInterface(IID_IOther, other.PutVoid()), S_OK);
    EXPECT_EQ(RefsOf(thing->GetUnknown()), 2u);
    IOther *out = nullptr;
    EXPECT_EQ(other.CopyTo(&out), S_OK);
    EXPECT_EQ(out->Release(), 2u);
    EXPECT_EQ(other.CopyTo(nullptr), E_POINTER);
    other = nullptr;
    thing.Reset();
    EXPECT_EQ(g_live.load(), 0);

    ComPtr<IUnknown> empty;
    ComPtr<IThing> none;
    EXPECT_EQ(empty.As(none), E_POINTER);
    EXPECT_TRUE(empty == nullptr);
}

TEST(Object, QueryInterfaceRules)
{
    ComPtr<CThing> thing = kitcom::Make<CThing>();
    ComPtr<IUnknown> a, b, c;
    ComPtr<IOther> other;
    ASSERT_EQ(thing->QueryInterface(IID_IUnknown, a.PutVoid()), S_OK);
    ASSERT_EQ(thing.As(other), S_OK);
    ASSERT_EQ(other->QueryInterface(IID_IUnknown, b.PutVoid()), S_OK);
    EXPECT_EQ(a, b); // the identity is the same whichever interface is asked
    EXPECT_EQ(a.Get(), static_cast<IUnknown *>(static_cast<IThing *>(thing.Get())));
    // Symmetric and transitive.
    ComPtr<IThing> back;
    EXPECT_EQ(other.As(back), S_OK);
    EXPECT_EQ(back.Get(), static_cast<IThing *>(thing.Get()));
    // The class's own look-up.
    EXPECT_EQ(thing->QueryInterface(IID_IExtra, c.PutVoid()), S_OK);
    EXPECT_EQ(c.Get(), static_cast<IUnknown *>(other.Get()));

    void *none = reinterpret_cast<void *>(1);
    EXPECT_EQ(thing->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE); // not dual
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(thing->QueryInterface(IID_IThing, nullptr), E_POINTER);
}

TEST(Object, LifetimeAndModuleLock)
{
    const LONG locks = kitcom::ModuleLockCount();
    ComPtr<CThing> thing = kitcom::Make<CThing>(5);
    EXPECT_EQ(kitcom::ModuleLockCount(), locks + 1);
    EXPECT_EQ(thing->Value(), 5);
    thing.Reset();
    EXPECT_EQ(g_live.load(), 0); // deleted at zero
    EXPECT_EQ(kitcom::ModuleLockCount(), locks);

    // A FinalConstruct that fails: nothing made, nothing left.
    EXPECT_FALSE(kitcom::Make<CThing>(5, E_ACCESSDENIED));
    EXPECT_EQ(g_live.load(), 0);
    void *out = nullptr;
    EXPECT_EQ(kitcom::CreateInstance<CThing>(IID_IThing, &out), S_OK);
    static_cast<IThing *>(out)->Release();
    EXPECT_EQ(kitcom::CreateInstance<CThing>(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(g_live.load(), 0);
    EXPECT_EQ(kitcom::ModuleLockCount(), locks);
}

TEST(BStr, NarrowTextsRoundTrip)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    BStr text(all);
    EXPECT_EQ(text.Length(), 255u);
    EXPECT_EQ(text.Get()[0xF2], 0xF3); // each byte is one unit of the same value
    EXPECT_EQ(text.Narrow(), all);

    EXPECT_EQ(kitcom::NarrowOf(nullptr), "");
    BStr wide(OLESTR("\x20AC\x0101"));
    EXPECT_EQ(wide.Narrow(), "\xAC\x01"); // the low byte of each unit
    BStr empty("");
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_TRUE(BStr().IsNull());
    EXPECT_TRUE(BStr(static_cast<const OLECHAR *>(nullptr)).IsNull());

    // Copies keep the whole byte length, NULs and all.
    BSTR odd = SysAllocStringByteLen("a\0b", 3);
    BStr copy = BStr::CopyOf(odd);
    EXPECT_NE(copy.Get(), odd);
    EXPECT_EQ(SysStringByteLen(copy.Get()), 3u);
    SysFreeString(odd);
    BStr assigned;
    assigned = copy;
    EXPECT_EQ(SysStringByteLen(assigned.Get()), 3u);

    // &text frees the old text for an [out] parameter.
    BStr out("viejo");
    EXPECT_EQ(kitcom::ReturnNarrow("nuevo", &out), S_OK);
    EXPECT_EQ(out.Narrow(), "nuevo");
    EXPECT_EQ(kitcom::ReturnNarrow("x", nullptr), E_POINTER);
    BSTR handed = nullptr;
    EXPECT_EQ(out.CopyTo(&handed), S_OK);
    EXPECT_EQ(kitcom::NarrowOf(handed), "nuevo");
    SysFreeString(handed);
    EXPECT_EQ(BStr().CopyTo(&handed), S_OK);
    EXPECT_EQ(handed, nullptr);
    BSTR detached = out.Detach();
    EXPECT_TRUE(out.IsNull());
    out.Attach(detached);
    EXPECT_EQ(out.Narrow(), "nuevo");
}

TEST(Variant, OwnsWhatItHolds)
{
    struct Case
    {
        Variant value;
        VARTYPE vt;
    };
    const Case cases[] = {
        {Variant(5), VT_I4},           {Variant(5u), VT_UI4},     {Variant(short{5}), VT_I2},
        {Variant(5LL), VT_I8},         {Variant(true), VT_BOOL},  {Variant(0.5), VT_R8},
        {Variant(0.5f), VT_R4},        {Variant("txt"), VT_BSTR}, {Variant(OLESTR("w")), VT_BSTR},
        {Variant(BStr("b")), VT_BSTR},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value.vt, c.vt);
    EXPECT_EQ(cases[4].value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(kitcom::NarrowOf(cases[7].value.bstrVal), "txt");

    ComPtr<CThing> thing = kitcom::Make<CThing>();
    {
        Variant object(static_cast<IThing *>(thing.Get()));
        EXPECT_EQ(object.vt, VT_UNKNOWN);
        EXPECT_EQ(RefsOf(thing->GetUnknown()), 2u);
        Variant copy(object);
        EXPECT_EQ(RefsOf(thing->GetUnknown()), 3u);
        Variant moved(std::move(copy));
        EXPECT_EQ(copy.vt, VT_EMPTY);
        EXPECT_EQ(RefsOf(thing->GetUnknown()), 3u);
        VARIANT detached = moved.Detach();
        EXPECT_EQ(moved.vt, VT_EMPTY);
        VariantClear(&detached);
        EXPECT_EQ(RefsOf(thing->GetUnknown()), 2u);
    }
    EXPECT_EQ(RefsOf(thing->GetUnknown()), 1u);

    Variant number(OLESTR("12"));
    EXPECT_EQ(number.ChangeType(VT_I4), S_OK);
    EXPECT_EQ(number.lVal, 12);
}

TEST(Server, ClassObjectsAndTheLockCount)
{
    const LONG locks = kitcom::ModuleLockCount();
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> object;
    EXPECT_EQ(kitcom::GetClassObject(kThingServer, CLSID_Thing, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(kitcom::GetClassObject(kThingServer, IID_IThing, IID_IClassFactory, object.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(object);
    EXPECT_EQ(kitcom::GetClassObject(kThingServer, CLSID_Thing, IID_IThing, object.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(kitcom::GetClassObject(kThingServer, CLSID_Thing, IID_IClassFactory, nullptr), E_POINTER);

    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, object.PutVoid()), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOther, object.PutVoid()), S_OK);
    EXPECT_EQ(kitcom::ModuleLockCount(), locks + 2); // the factory and the object
    EXPECT_EQ(kitcom::CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    object.Reset();
    EXPECT_EQ(kitcom::ModuleLockCount(), locks + 1);
    EXPECT_EQ(kitcom::GetClassObject(kThingServer, CLSID_Thing, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(kitcom::ModuleLockCount(), locks);
    if (locks == 0)
    {
        EXPECT_EQ(kitcom::CanUnloadNow(), S_OK);
    }
}

TEST(Registration, ClassKeysComeAndGoExactly)
{
    const std::string module = "/kit/DaxModem.so";
    const kitcom::ClassRegistration control = {.description = "SetZyxelConfig Class",
                                               .progId = "Kit.Control.1",
                                               .versionIndependentProgId = "Kit.Control",
                                               .typeLib = &LIBID_Thing,
                                               .version = "1.0",
                                               .control = true,
                                               .insertable = true,
                                               .programmable = true,
                                               .miscStatus = 132497,
                                               .toolboxBitmap = 101};
    ASSERT_EQ(kitcom::RegisterClassKeys(CLSID_Thing, control, module), S_OK);
    const std::string key = "CLSID\\{A1A1A1A1-0000-4000-8000-000000000010}";
    struct Expected
    {
        std::string path;
        const char *name;
        std::string value;
    };
    const Expected expected[] = {
        {key, nullptr, "SetZyxelConfig Class"},
        {key + "\\ProgID", nullptr, "Kit.Control.1"},
        {key + "\\VersionIndependentProgID", nullptr, "Kit.Control"},
        {key + "\\InprocServer32", nullptr, module},
        {key + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {key + "\\TypeLib", nullptr, "{A1A1A1A1-0000-4000-8000-000000000020}"},
        {key + "\\Version", nullptr, "1.0"},
        {key + "\\MiscStatus", nullptr, "0"},
        {key + "\\MiscStatus\\1", nullptr, "132497"},
        {key + "\\ToolboxBitmap32", nullptr, "/kit/DaxModem.so, 101"},
        {key + "\\Control", nullptr, "<no value>"},
        {key + "\\Insertable", nullptr, "<no value>"},
        {key + "\\Programmable", nullptr, "<no value>"},
        {"Kit.Control.1", nullptr, "SetZyxelConfig Class"},
        {"Kit.Control.1\\CLSID", nullptr, "{A1A1A1A1-0000-4000-8000-000000000010}"},
        {"Kit.Control", nullptr, "SetZyxelConfig Class"},
        {"Kit.Control\\CLSID", nullptr, "{A1A1A1A1-0000-4000-8000-000000000010}"},
        {"Kit.Control\\CurVer", nullptr, "Kit.Control.1"},
    };
    for (const Expected &e : expected)
        EXPECT_EQ(kittest::ClassesText(e.path, e.name), e.value) << e.path;
    // Registering again changes nothing.
    ASSERT_EQ(kitcom::RegisterClassKeys(CLSID_Thing, control, module), S_OK);

    // Someone else's key and value survive; everything of ours goes.
    kittest::WriteRegString(HKEY_CLASSES_ROOT, key + "\\Implemented Categories", nullptr, "ajena");
    kittest::WriteRegString(HKEY_CLASSES_ROOT, "Kit.Control", "Ajeno", "valor");
    ASSERT_EQ(kitcom::UnregisterClassKeys(CLSID_Thing, control), S_OK);
    EXPECT_EQ(kittest::ClassesText(key + "\\Implemented Categories"), "ajena");
    EXPECT_EQ(kittest::ClassesText(key), "<no value>"); // kept for the foreign key, without our name
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, key + "\\InprocServer32"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, key + "\\MiscStatus"));
    EXPECT_EQ(kittest::ClassesText("Kit.Control", "Ajeno"), "valor");
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "Kit.Control\\CurVer"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "Kit.Control.1"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "CLSID"));

    // Not registered: still a success.
    EXPECT_EQ(kitcom::UnregisterClassKeys(CLSID_Thing, control), S_OK);

    // The foreign keys go too: the tests that follow may share this registry (a real PC's).
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\Implemented Categories").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Kit.Control"), ERROR_SUCCESS);
}

TEST(Registration, TypeLibraryKeys)
{
    const kitcom::TypeLibInterface interfaces[] = {{&IID_IThing, "IThing"}};
    const kitcom::TypeLibRegistration lib = {.libId = &LIBID_Thing,
                                             .name = "Thing 1.0 Type Library",
                                             .major = 1,
                                             .minor = 10,
                                             .interfaces = interfaces};
    ASSERT_EQ(kitcom::RegisterTypeLibKeys(lib, "/kit/lib/Thing.so"), S_OK);
    const std::string key =
        "TypeLib\\{A1A1A1A1-0000-4000-8000-000000000020}\\1.a"; // versions are hexadecimal
    EXPECT_EQ(kittest::ClassesText(key), "Thing 1.0 Type Library");
    EXPECT_EQ(kittest::ClassesText(key + "\\0\\win32"), "/kit/lib/Thing.so");
    EXPECT_EQ(kittest::ClassesText(key + "\\FLAGS"), "0");
    EXPECT_EQ(kittest::ClassesText(key + "\\HELPDIR"), "/kit/lib");
    const std::string iface = "Interface\\{A1A1A1A1-0000-4000-8000-000000000001}";
    EXPECT_EQ(kittest::ClassesText(iface), "IThing");
    EXPECT_EQ(kittest::ClassesText(iface + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(kittest::ClassesText(iface + "\\TypeLib"), "{A1A1A1A1-0000-4000-8000-000000000020}");
    EXPECT_EQ(kittest::ClassesText(iface + "\\TypeLib", "Version"), "1.a");

    ASSERT_EQ(kitcom::UnregisterTypeLibKeys(lib), S_OK);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "TypeLib\\{A1A1A1A1-0000-4000-8000-000000000020}"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, iface));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "TypeLib"));
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "Interface"));
}

TEST(Registration, RefusedWritesLeaveNothing)
{
#ifndef _WIN32
    // A user who is not an administrator may not write HKCR (the PC's identity says who is).
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Administrator", "0"));
    EXPECT_EQ(kitcom::RegisterServer(kThingServer), SELFREG_E_CLASS);
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Administrator", "1"));
#endif
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\{A1A1A1A1-0000-4000-8000-000000000010}"));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "Kit.Thing"));

    // The real thing registers with the file this toolkit lives in (here: the test program).
    ASSERT_EQ(kitcom::RegisterServer(kThingServer), S_OK);
    EXPECT_NE(kittest::ClassesText("CLSID\\{A1A1A1A1-0000-4000-8000-000000000010}\\InprocServer32")
                  .find("com_toolkit_test"),
              std::string::npos);
    EXPECT_EQ(kitcom::UnregisterServer(kThingServer), S_OK);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\{A1A1A1A1-0000-4000-8000-000000000010}"));
}
