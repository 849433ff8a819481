// COM: GUID texts, apartments, object creation through the registry, ProgIDs, OleRun.
#include "platform/windows.h"
#include "platform/wstring.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace
{
// {86C05C70-6370-11D6-9BEC-00C04F1F2D46}
const GUID kSomeGuid = {0x86C05C70, 0x6370, 0x11D6, {0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46}};
constexpr const OLECHAR *kSomeGuidText = OLESTR("{86C05C70-6370-11D6-9BEC-00C04F1F2D46}");
// A class nobody registers.
const GUID kNoClass = {0x0BADC1A5, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
// A class the tests register by hand.
const GUID kTestClass = {0x5E57C1A5, 0x1111, 0x4222, {0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
constexpr const char *kTestClassKey = "CLSID\\{5E57C1A5-1111-4222-8333-444455556666}";

void SetClassesValue(const std::string &path, const char *name, const std::string &value)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// COM initialised for the test's thread, and undone after it.
class ComTest : public testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

WString Wide(const char *text)
{
    return WString(text, text + std::strlen(text));
}

HRESULT CreateTestClass(IUnknown **out, DWORD context = CLSCTX_ALL)
{
    *out = reinterpret_cast<IUnknown *>(0x1234); // must be cleared on failure
    return CoCreateInstance(kTestClass, nullptr, context, IID_IUnknown, reinterpret_cast<void **>(out));
}

DWORD WINAPI CreateOnFreshThread(LPVOID result)
{
    IUnknown *object;
    *static_cast<HRESULT *>(result) = CreateTestClass(&object);
    return 0;
}

// An object that needs OleRun before use.
class Runnable : public IRunnableObject
{
  public:
    int runs = 0;
    HRESULT runResult = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IRunnableObject)
        {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetRunningClass(LPCLSID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Run(LPBINDCTX) override
    {
        ++runs;
        return runResult;
    }
    BOOL STDMETHODCALLTYPE IsRunning() override { return runs > 0; }
    HRESULT STDMETHODCALLTYPE LockRunning(BOOL, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetContainedObject(BOOL) override { return S_OK; }
};

class Plain : public IUnknown
{
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = riid == IID_IUnknown ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};
} // namespace

TEST(GuidText, FormatsUpperCaseWithBraces)
{
    OLECHAR text[40];
    std::fill(std::begin(text), std::end(text), static_cast<OLECHAR>(0xBEEF));
    EXPECT_EQ(StringFromGUID2(kSomeGuid, text, 39), 39);
    EXPECT_EQ(WString(text), kSomeGuidText);
    EXPECT_EQ(text[39], static_cast<OLECHAR>(0xBEEF));
    EXPECT_EQ(StringFromGUID2(kSomeGuid, text, 38), 0); // no room for the NUL
    EXPECT_EQ(StringFromGUID2(GUID_NULL, text, 40), 39);
    EXPECT_EQ(WString(text), OLESTR("{00000000-0000-0000-0000-000000000000}"));

    LPOLESTR task = nullptr;
    ASSERT_EQ(StringFromCLSID(kSomeGuid, &task), S_OK);
    EXPECT_EQ(WString(task), kSomeGuidText);
    CoTaskMemFree(task);
    ASSERT_EQ(StringFromIID(IID_IDispatch, &task), S_OK);
    EXPECT_EQ(WString(task), OLESTR("{00020400-0000-0000-C000-000000000046}"));
    CoTaskMemFree(task);
}

TEST(GuidText, ParsesAndRefusesBadTexts)
{
    GUID guid;
    ASSERT_EQ(IIDFromString(kSomeGuidText, &guid), S_OK);
    EXPECT_EQ(guid, kSomeGuid);
    ASSERT_EQ(CLSIDFromString(OLESTR("{86c05c70-6370-11d6-9bec-00c04f1f2d46}"), &guid), S_OK); // any case
    EXPECT_EQ(guid, kSomeGuid);
    ASSERT_EQ(IIDFromString(nullptr, &guid), S_OK);
    EXPECT_EQ(guid, GUID_NULL);
    guid = kSomeGuid;
    ASSERT_EQ(CLSIDFromString(nullptr, &guid), S_OK);
    EXPECT_EQ(guid, GUID_NULL);

    struct Case
    {
        const OLECHAR *text;
        HRESULT iidResult;
    };
    const Case cases[] = {
        {OLESTR("86C05C70-6370-11D6-9BEC-00C04F1F2D46"), E_INVALIDARG},  // no braces
        {OLESTR("{86C05C70-6370-11D6-9BEC-00C04F1F2D46"), E_INVALIDARG}, // one brace
        {OLESTR("{86C05C70-6370-11D6-9BEC-00C04F1F2D46}x"), E_INVALIDARG},
        {OLESTR(""), E_INVALIDARG},
        {OLESTR("{86C05C70-6370-11D6-9BEC-00C04F1F2D4G}"), CO_E_IIDSTRING}, // not hexadecimal
        {OLESTR("{86C05C70+6370-11D6-9BEC-00C04F1F2D46}"), CO_E_IIDSTRING}, // separator
        {OLESTR("(86C05C70-6370-11D6-9BEC-00C04F1F2D46)"), CO_E_IIDSTRING},
        {OLESTR("{86C05C7-06370-11D6-9BEC-00C04F1F2D46}"), CO_E_IIDSTRING},
    };
    for (const Case &c : cases)
    {
        guid = kSomeGuid;
        EXPECT_EQ(IIDFromString(c.text, &guid), c.iidResult) << std::string(c.text, c.text + 3);
        guid = kSomeGuid;
        EXPECT_EQ(CLSIDFromString(c.text, &guid), CO_E_CLASSSTRING);
#ifndef _WIN32
        // Windows documents only the result: what it leaves in the CLSID on failure varies.
        EXPECT_EQ(guid, GUID_NULL);
#endif
    }
#ifndef _WIN32
    // Windows writes through the pointer without checking it.
    EXPECT_EQ(IIDFromString(kSomeGuidText, nullptr), E_INVALIDARG);
#endif
}

TEST(GuidText, CoCreateGuidMakesDistinctVersion4Guids)
{
    std::set<WString> seen;
    for (int i = 0; i < 100; ++i)
    {
        GUID guid;
        ASSERT_EQ(CoCreateGuid(&guid), S_OK);
        EXPECT_EQ(guid.Data3 >> 12, 4);
        EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
        OLECHAR text[40];
        StringFromGUID2(guid, text, 40);
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

TEST(Apartment, InitialisationsAreCountedPerThread)
{
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(OleInitialize(nullptr), S_OK); // the first OLE initialisation of the thread
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    OleUninitialize();
    OleUninitialize();
    CoUninitialize();
    CoUninitialize();
    IUnknown *object;
    EXPECT_EQ(CreateTestClass(&object), REGDB_E_CLASSNOTREG); // still initialised once
    CoUninitialize();
    EXPECT_EQ(CreateTestClass(&object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    CoUninitialize(); // one too many: ignored

    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
    EXPECT_EQ(OleInitialize(nullptr), RPC_E_CHANGED_MODE);
    CoUninitialize();
}

TEST(Apartment, ReservedArgumentMustBeNull)
{
    const HRESULT hr = CoInitializeEx(reinterpret_cast<LPVOID>(1), COINIT_MULTITHREADED);
    EXPECT_EQ(hr, E_INVALIDARG);
    if (SUCCEEDED(hr))
        CoUninitialize();
}

TEST_F(ComTest, OtherThreadsNeedTheirOwnInitialisation)
{
    HRESULT result = S_OK;
    DWORD id;
    HANDLE thread = CreateThread(nullptr, 0, CreateOnFreshThread, &result, 0, &id);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(result, CO_E_NOTINITIALIZED);
}

TEST_F(ComTest, CreationFailuresGiveWindowsCodes)
{
    IUnknown *object;
    // Not registered at all.
    EXPECT_EQ(
        CoCreateInstance(kNoClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void **>(&object)),
        REGDB_E_CLASSNOTREG);
    // A CLSID key without InprocServer32, then one with an empty path.
    SetClassesValue(kTestClassKey, nullptr, "Clase de prueba");
    EXPECT_EQ(CreateTestClass(&object), REGDB_E_CLASSNOTREG);
    SetClassesValue(std::string(kTestClassKey) + "\\InprocServer32", nullptr, "");
    EXPECT_EQ(CreateTestClass(&object), REGDB_E_CLASSNOTREG);
    // A library that does not exist.
    SetClassesValue(std::string(kTestClassKey) + "\\InprocServer32", nullptr, "NoSuchServer.dll");
    EXPECT_EQ(CreateTestClass(&object), CO_E_DLLNOTFOUND);
    EXPECT_EQ(object, nullptr);
    // A library without DllGetClassObject.
    SetClassesValue(std::string(kTestClassKey) + "\\InprocServer32", nullptr, "testlib_sample.dll");
    EXPECT_EQ(CreateTestClass(&object), CO_E_ERRORINDLL);
    // A file that is not a library.
    const std::string bogus = kittest::MachineDir() + "/temp/bogus";
    HANDLE file = CreateFileA((bogus + ".so").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, "MZ not really", 13, &written, nullptr);
    CloseHandle(file);
    SetClassesValue(std::string(kTestClassKey) + "\\InprocServer32", nullptr, bogus + ".dll");
    EXPECT_EQ(CreateTestClass(&object), CO_E_ERRORINDLL);
    // Only in-process servers exist.
    EXPECT_EQ(CreateTestClass(&object, CLSCTX_LOCAL_SERVER), REGDB_E_CLASSNOTREG);

    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_ALL, nullptr, IID_IClassFactory, nullptr), E_INVALIDARG);
    CoFreeUnusedLibraries(); // nothing loaded that could go
}

TEST(ProgId, LooksUpTheClassDirectlyOrThroughCurVer)
{
    SetClassesValue("Kit.Prueba.1", nullptr, "Prueba");
    SetClassesValue("Kit.Prueba.1\\CLSID", nullptr, "{86C05C70-6370-11D6-9BEC-00C04F1F2D46}");
    SetClassesValue("Kit.Prueba", nullptr, "Prueba");
    SetClassesValue("Kit.Prueba\\CurVer", nullptr, "Kit.Prueba.1");
    SetClassesValue("Kit.Roto\\CLSID", nullptr, "not a guid");
    SetClassesValue("CLSID\\{86C05C70-6370-11D6-9BEC-00C04F1F2D46}\\ProgID", nullptr, "Kit.Prueba.1");

    struct Case
    {
        const char *progId;
        HRESULT hr;
        GUID clsid;
    };
    const Case cases[] = {
        {"Kit.Prueba.1", S_OK, kSomeGuid},
        {"KIT.PRUEBA.1", S_OK, kSomeGuid}, // names compare without case
        {"Kit.Roto", CO_E_CLASSSTRING, GUID_NULL},
        {"Kit.NoExiste", CO_E_CLASSSTRING, GUID_NULL},
        {"", CO_E_CLASSSTRING, GUID_NULL},
    };
    for (const Case &c : cases)
    {
        GUID clsid = kNoClass;
        EXPECT_EQ(CLSIDFromProgID(Wide(c.progId).c_str(), &clsid), c.hr) << c.progId;
        EXPECT_EQ(clsid, c.clsid) << c.progId;
    }
    GUID clsid;
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Kit\x4E2D"), &clsid), CO_E_CLASSSTRING); // no ANSI form
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Kit.Prueba"), nullptr), E_INVALIDARG);
    // CLSIDFromString takes ProgIDs too.
    ASSERT_EQ(CLSIDFromString(OLESTR("Kit.Prueba.1"), &clsid), S_OK);
    EXPECT_EQ(clsid, kSomeGuid);

    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(kSomeGuid, &progId), S_OK);
    EXPECT_EQ(WString(progId), OLESTR("Kit.Prueba.1"));
    CoTaskMemFree(progId);
    progId = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(ProgIDFromCLSID(kNoClass, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(progId, nullptr);
    EXPECT_EQ(ProgIDFromCLSID(kSomeGuid, nullptr), E_INVALIDARG);
}

TEST(ProgId, VersionIndependentOneGoesThroughCurVer)
{
    SetClassesValue("Kit.Prueba.1\\CLSID", nullptr, "{86C05C70-6370-11D6-9BEC-00C04F1F2D46}");
    SetClassesValue("Kit.Prueba\\CurVer", nullptr, "Kit.Prueba.1");
    GUID clsid = kNoClass;
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Kit.Prueba"), &clsid), S_OK);
    EXPECT_EQ(clsid, kSomeGuid);
}

TEST(OleRun, RunsObjectsThatAskForIt)
{
    Runnable runnable;
    EXPECT_EQ(OleRun(&runnable), S_OK);
    EXPECT_EQ(runnable.runs, 1);
    runnable.runResult = E_FAIL;
    EXPECT_EQ(OleRun(&runnable), E_FAIL);
    Plain plain;
    EXPECT_EQ(OleRun(&plain), S_OK);
#ifndef _WIN32
    // Windows calls through the pointer without checking it.
    EXPECT_EQ(OleRun(nullptr), E_INVALIDARG);
#endif
}

TEST(TaskMemory, AllocatesReallocatesAndFrees)
{
    void *block = CoTaskMemAlloc(0);
    EXPECT_NE(block, nullptr);
    block = CoTaskMemRealloc(block, 64);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 64);
    CoTaskMemFree(block);
    CoTaskMemFree(nullptr);
}
