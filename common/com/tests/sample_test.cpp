// The sample server end to end: registered by regsvr32 (a process), created by ProgID from
// another library, called through its vtable and through IDispatch, its events received from
// its worker thread by sinks built with the toolkit, unregistered again.
#include "common/com/BStr.h"
#include "common/com/Object.h"
#include "common/com/sample/KitSample.h"
#include "testing/kittest.h"
#include "testing/regsvr32.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

using kitcom::BStr;
using kitcom::ComPtr;
using kitcom::Variant;

namespace
{
constexpr DWORD kWaitLimit = 60000; // only a broken build waits this long
constexpr const char *kCounterKey = "CLSID\\{661833FB-DD15-44E4-98CF-95F91B3A19A6}";

std::atomic<int> g_liveSinks{0};

// Receives the counter's events: counts them, checks their order, remembers the thread.
class CCounterSink final
    : public kitcom::Object<CCounterSink, kitcom::EventSink<CCounterSink, &DIID__ICounterEvents>>
{
  public:
    explicit CCounterSink(HRESULT tickResult = S_OK) : tickResult_(tickResult)
    {
        done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ++g_liveSinks;
    }
    ~CCounterSink()
    {
        CloseHandle(done_);
        if (gate_)
            CloseHandle(gate_);
        --g_liveSinks;
    }

    static std::span<const kitcom::DispMember<CCounterSink>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CCounterSink> members[] = {
            kitcom::Method<&CCounterSink::Tick>("Tick", DISPID_COUNTEREVENTS_TICK),
            kitcom::Method<&CCounterSink::Done>("Done", DISPID_COUNTEREVENTS_DONE),
        };
        return members;
    }

    HRESULT Tick(LONG lCount)
    {
        if (gate_ && lCount == 1)
        {
            SetEvent(firstTick_);
            WaitForSingleObject(gate_, kWaitLimit);
        }
        LONG seen = ++ticks;
        if (lCount != seen)
            inOrder = false;
        tickThread = GetCurrentThreadId();
        return tickResult_;
    }
    HRESULT Done(BSTR bstrName)
    {
        {
            std::lock_guard guard(lock_);
            name_ = kitcom::NarrowOf(bstrName);
        }
        SetEvent(done_);
        return S_OK;
    }

    bool WaitDone() { return WaitForSingleObject(done_, kWaitLimit) == WAIT_OBJECT_0; }
    std::string Name()
    {
        std::lock_guard guard(lock_);
        return name_;
    }
    // Holds the worker in the first Tick until Open().
    void Hold(HANDLE firstTick)
    {
        gate_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        firstTick_ = firstTick;
    }
    void Open() { SetEvent(gate_); }

    std::atomic<LONG> ticks{0};
    std::atomic<bool> inOrder{true};
    std::atomic<DWORD> tickThread{0};

  private:
    HRESULT tickResult_;
    HANDLE done_;
    HANDLE gate_ = nullptr;
    HANDLE firstTick_ = nullptr;
    std::mutex lock_;
    std::string name_;
};

typedef HRESULT (*CreateByProgIdFn)(LPCOLESTR, REFIID, void **);

class SampleServer : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        std::string output;
        ASSERT_EQ(kittest::Regsvr32({"/s", "KitSample.dll"}, &output), 0) << output;
        client_ = LoadLibraryA("testlib_comclient.dll");
        ASSERT_NE(client_, nullptr);
        create_ = reinterpret_cast<CreateByProgIdFn>(
            reinterpret_cast<void *>(GetProcAddress(client_, "CreateByProgId")));
        ASSERT_NE(create_, nullptr);
    }
    void TearDown() override
    {
        if (client_)
            FreeLibrary(client_);
        CoFreeUnusedLibraries();
        CoUninitialize();
        EXPECT_EQ(g_liveSinks.load(), 0);
    }

    ComPtr<ICounter> Create(LPCOLESTR progId = OLESTR("KitSample.Counter"))
    {
        ComPtr<ICounter> counter;
        EXPECT_EQ(create_(progId, IID_ICounter, counter.PutVoid()), S_OK);
        return counter;
    }

    static DWORD Advise(ICounter *counter, IUnknown *sink)
    {
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        DWORD cookie = 0;
        EXPECT_EQ(ComPtr<ICounter>(counter).As(container), S_OK);
        EXPECT_EQ(container->FindConnectionPoint(DIID__ICounterEvents, &point), S_OK);
        EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
        return cookie;
    }
    static HRESULT Unadvise(ICounter *counter, DWORD cookie)
    {
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        ComPtr<ICounter>(counter).As(container);
        container->FindConnectionPoint(DIID__ICounterEvents, &point);
        return point->Unadvise(cookie);
    }

    static HRESULT Invoke(IDispatch *object, DISPID id, WORD flags, std::vector<VARIANT> reversedArgs,
                          VARIANT *result = nullptr, EXCEPINFO *excepInfo = nullptr)
    {
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params = {reversedArgs.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                             static_cast<UINT>(reversedArgs.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        UINT argErr = 0;
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excepInfo, &argErr);
    }

    HMODULE client_ = nullptr;
    CreateByProgIdFn create_ = nullptr;
};

DWORD WINAPI ReleaseOnOtherThread(LPVOID object)
{
    static_cast<IUnknown *>(object)->Release();
    return 0;
}
} // namespace

TEST_F(SampleServer, VtableAndInvokeReachTheSameMembers)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    ComPtr<ICounter> versioned = Create(OLESTR("KitSample.Counter.1"));
    ASSERT_TRUE(versioned);

    EXPECT_EQ(counter->Add(5), S_OK);
    Variant three(OLESTR("3")); // coerced to the LONG parameter
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_ADD, DISPATCH_METHOD, {three}), S_OK);
    LONG total = 0;
    EXPECT_EQ(counter->get_Total(&total), S_OK);
    EXPECT_EQ(total, 8);
    Variant result;
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_TOTAL, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 8);

    // The name: put through Invoke (named DISPID_PROPERTYPUT), read through the vtable.
    Variant name("Contador ADSL");
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_NAME, DISPATCH_PROPERTYPUT, {name}), S_OK);
    BStr read;
    EXPECT_EQ(counter->get_Name(&read), S_OK);
    EXPECT_EQ(read.Narrow(), "Contador ADSL");
    EXPECT_EQ(counter->put_Name(BStr("Conexión").Get()), S_OK);
    result.Clear();
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_NAME, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result),
              S_OK);
    EXPECT_EQ(kitcom::NarrowOf(result.bstrVal), "Conexi\xF3n");

    // [out] parameters by reference, and the [out, retval] one.
    LONG outTotal = 0;
    BSTR outName = nullptr;
    VARIANT byRef[2];
    byRef[1].vt = VT_I4 | VT_BYREF;
    byRef[1].plVal = &outTotal;
    byRef[0].vt = VT_BSTR | VT_BYREF;
    byRef[0].pbstrVal = &outName;
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_GETSTATE, DISPATCH_METHOD, {byRef[0], byRef[1]}), S_OK);
    EXPECT_EQ(outTotal, 8);
    EXPECT_EQ(kitcom::NarrowOf(outName), "Conexi\xF3n");
    SysFreeString(outName);
    result.Clear();
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_ISRUNNING, DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 0);

    // Names, in any case.
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("total"))};
    EXPECT_EQ(counter->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, DISPID_COUNTER_TOTAL);

    // The two objects are distinct.
    EXPECT_EQ(versioned->get_Total(&total), S_OK);
    EXPECT_EQ(total, 0);
}

TEST_F(SampleServer, FailuresThroughTheVtableAndThroughInvoke)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    EXPECT_EQ(counter->Add(-1), E_INVALIDARG);
    EXCEPINFO info;
    std::memset(&info, 0xCC, sizeof info);
    Variant minusOne(-1);
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_ADD, DISPATCH_METHOD, {minusOne}, nullptr, &info),
              DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_INVALIDARG);
    EXPECT_EQ(kitcom::NarrowOf(info.bstrSource), "KitSample.Counter");
    EXPECT_EQ(kitcom::NarrowOf(info.bstrDescription), "El valor no puede ser negativo.");
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    EXPECT_EQ(counter->get_Total(nullptr), E_POINTER);
    EXPECT_EQ(counter->GetState(nullptr, nullptr), E_POINTER);

    // A null BSTR is the empty name, never a null one.
    EXPECT_EQ(counter->put_Name(nullptr), S_OK);
    BStr name;
    EXPECT_EQ(counter->get_Name(&name), S_OK);
    EXPECT_FALSE(name.IsNull());
    EXPECT_EQ(name.Length(), 0u);
    VARIANT nullText;
    nullText.vt = VT_BSTR;
    nullText.bstrVal = nullptr;
    EXPECT_EQ(Invoke(counter.Get(), DISPID_COUNTER_NAME, DISPATCH_PROPERTYPUT, {nullText}), S_OK);
}

TEST_F(SampleServer, QueryInterfaceRules)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    ComPtr<IUnknown> fromCounter, fromDispatch, fromContainer;
    ComPtr<IDispatch> dispatch;
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(counter.As(fromCounter), S_OK);
    ASSERT_EQ(counter.As(dispatch), S_OK);
    ASSERT_EQ(counter.As(container), S_OK);
    ASSERT_EQ(dispatch.As(fromDispatch), S_OK);
    ASSERT_EQ(container.As(fromContainer), S_OK);
    EXPECT_EQ(fromCounter, fromDispatch); // one identity, whichever interface is asked
    EXPECT_EQ(fromCounter, fromContainer);
    EXPECT_EQ(static_cast<IDispatch *>(counter.Get()), dispatch.Get()); // IDispatch is the dual interface

    void *out = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(counter->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(counter->QueryInterface(IID_ICounter, nullptr), E_POINTER);

    // Asked for an interface the class does not have, creation fails cleanly.
    ComPtr<IClassFactory> notThere;
    EXPECT_EQ(create_(OLESTR("KitSample.Counter"), IID_IClassFactory, notThere.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(notThere);
}

TEST_F(SampleServer, EventsComeFromTheWorkerThread)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    counter->put_Name(BStr("Contador de pasos").Get());
    ComPtr<CCounterSink> sink = kitcom::Make<CCounterSink>();
    DWORD cookie = Advise(counter.Get(), sink->GetUnknown());
    EXPECT_NE(cookie, 0u);

    EXPECT_EQ(counter->Run(50), S_OK);
    ASSERT_TRUE(sink->WaitDone());
    EXPECT_EQ(sink->ticks.load(), 50);
    EXPECT_TRUE(sink->inOrder);
    EXPECT_NE(sink->tickThread, GetCurrentThreadId());
    EXPECT_EQ(sink->Name(), "Contador de pasos");
    EXPECT_EQ(Unadvise(counter.Get(), cookie), S_OK);
    EXPECT_EQ(Unadvise(counter.Get(), cookie), CONNECT_E_NOCONNECTION);
}

TEST_F(SampleServer, RunRefusedWhileRunning)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    HANDLE firstTick = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ComPtr<CCounterSink> sink = kitcom::Make<CCounterSink>();
    sink->Hold(firstTick);
    Advise(counter.Get(), sink->GetUnknown());
    ASSERT_EQ(counter->Run(3), S_OK);
    ASSERT_EQ(WaitForSingleObject(firstTick, kWaitLimit), WAIT_OBJECT_0);
    EXPECT_EQ(counter->Run(3), S_FALSE); // the worker sits in the first Tick
    LONG running = 0;
    EXPECT_EQ(counter->IsRunning(&running), S_OK);
    EXPECT_EQ(running, 1);
    sink->Open();
    ASSERT_TRUE(sink->WaitDone());
    EXPECT_EQ(sink->ticks.load(), 3);
    EXPECT_EQ(counter->Run(-1), E_INVALIDARG);
    CloseHandle(firstTick);
}

TEST_F(SampleServer, AFailingSinkDoesNotStopTheOthers)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    ComPtr<CCounterSink> failing = kitcom::Make<CCounterSink>(E_FAIL);
    ComPtr<CCounterSink> good = kitcom::Make<CCounterSink>();
    Advise(counter.Get(), failing->GetUnknown());
    Advise(counter.Get(), good->GetUnknown());
    ASSERT_EQ(counter->Run(10), S_OK);
    ASSERT_TRUE(good->WaitDone());
    ASSERT_TRUE(failing->WaitDone());
    EXPECT_EQ(failing->ticks.load(), 10);
    EXPECT_EQ(good->ticks.load(), 10);
}

TEST_F(SampleServer, ThousandSinksComeAndGoWhileTheWorkerFires)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    constexpr int kSinks = 1000;
    // Advised all along: it hears every event of every run, up to the object's end.
    ComPtr<CCounterSink> watcher = kitcom::Make<CCounterSink>();
    Advise(counter.Get(), watcher->GetUnknown());
    std::vector<ComPtr<CCounterSink>> sinks;
    std::vector<DWORD> cookies;
    for (int i = 0; i < kSinks; ++i)
    {
        counter->Run(200); // keeps a worker firing all along (S_FALSE while one runs)
        sinks.push_back(kitcom::Make<CCounterSink>());
        cookies.push_back(Advise(counter.Get(), sinks.back()->GetUnknown()));
        if (i % 2)
        {
            EXPECT_EQ(Unadvise(counter.Get(), cookies[i - 1]), S_OK);
            cookies[i - 1] = 0;
        }
    }
    for (DWORD cookie : cookies)
    {
        if (cookie)
        {
            EXPECT_EQ(Unadvise(counter.Get(), cookie), S_OK);
        }
    }
    // Releasing the last reference on another thread waits for the worker there.
    HANDLE thread = CreateThread(nullptr, 0, ReleaseOnOtherThread, counter.Detach(), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, kWaitLimit), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_GE(watcher->ticks.load(), 200); // at least one whole run was fired
    sinks.clear();
    watcher.Reset();
    EXPECT_EQ(g_liveSinks.load(), 0); // every reference the points took was given back
}

TEST_F(SampleServer, ModuleLockCountAndUnloading)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    HMODULE server = GetModuleHandleA("KitSample.dll");
    ASSERT_NE(server, nullptr);
    auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(
        reinterpret_cast<void *>(GetProcAddress(server, "DllCanUnloadNow")));
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    CoFreeUnusedLibraries(); // the object keeps it loaded
    EXPECT_EQ(GetModuleHandleA("KitSample.dll"), server);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_Counter, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.PutVoid()),
              S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    ComPtr<IUnknown> aggregated;
    ComPtr<IUnknown> outer(counter.Get());
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, aggregated.PutVoid()),
              CLASS_E_NOAGGREGATION);
    factory.Reset();
    outer.Reset();
    counter.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE); // the LockServer lock
    CoGetClassObject(CLSID_Counter, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.PutVoid());
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleA("KitSample.dll"), nullptr);
    // Loaded again on demand.
    EXPECT_TRUE(Create());
}

TEST_F(SampleServer, BadClassesAndNames)
{
    ComPtr<IUnknown> object;
    EXPECT_EQ(create_(OLESTR("KitSample.NoSuchClass"), IID_IUnknown, object.PutVoid()), CO_E_CLASSSTRING);
    // {00000000-0000-4000-8000-0000000000AB}: unknown.
    static const CLSID unknown = {0, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0xAB}};
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
              REGDB_E_CLASSNOTREG);

    // Registered to the sample library, which does not have that class.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT,
                              "CLSID\\{00000000-0000-4000-8000-0000000000AB}\\InprocServer32", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // In-process only: with CLSCTX_ALL, COM goes on to look for a local server, whose failure
    // hides the library's answer.
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("KitSample.dll"), 14);
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    // Registered to a library that is not a server.
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("testlib_comclient.dll"), 22);
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
              CO_E_ERRORINDLL);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-4000-8000-0000000000AB}\\InprocServer32");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-4000-8000-0000000000AB}");
    EXPECT_FALSE(object);
}

TEST_F(SampleServer, UnregisteredByRegsvr32)
{
    ComPtr<ICounter> counter = Create();
    ASSERT_TRUE(counter);
    counter.Reset();
    std::string output;
    ASSERT_EQ(kittest::Regsvr32({"/u", "/s", "KitSample.dll"}, &output), 0) << output;
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kCounterKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "KitSample.Counter.1", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Interface\\{C48242FF-FA34-46FB-AAE6-6291177FBB56}", 0,
                            KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(create_(OLESTR("KitSample.Counter"), IID_IUnknown, object.PutVoid()), CO_E_CLASSSTRING);
}
