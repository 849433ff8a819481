// kitsample_client: uses the sample server as the kit's wizard uses its components. It creates
// "KitSample.Counter" by ProgID, calls it through its vtable and through IDispatch, and
// receives the events its worker thread fires. Exit code 0 when all went well.
#include "common/com/BStr.h"
#include "common/com/Object.h"
#include "common/com/sample/KitSample.h"

#include "platform/kit/kitconsole.h"

#include <cstdarg>
#include <cstdio>

namespace
{
using kitpc::Say;

constexpr DWORD kWaitLimit = 30000;

class CPrintingSink final
    : public kitcom::Object<CPrintingSink, kitcom::EventSink<CPrintingSink, &DIID__ICounterEvents>>
{
  public:
    CPrintingSink() : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), client_(GetCurrentThreadId()) {}
    ~CPrintingSink() { CloseHandle(done_); }
    static std::span<const kitcom::DispMember<CPrintingSink>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CPrintingSink> members[] = {
            kitcom::Method<&CPrintingSink::Tick>("Tick", DISPID_COUNTEREVENTS_TICK),
            kitcom::Method<&CPrintingSink::Done>("Done", DISPID_COUNTEREVENTS_DONE),
        };
        return members;
    }
    HRESULT Tick(LONG lCount)
    {
        Say("  evento Tick(%d)%s\n", static_cast<int>(lCount),
            GetCurrentThreadId() != client_ ? " desde el thread de trabajo" : "");
        return S_OK;
    }
    HRESULT Done(BSTR bstrName)
    {
        Say("  evento Done(\"%s\")\n", kitcom::NarrowOf(bstrName).c_str());
        SetEvent(done_);
        return S_OK;
    }
    bool WaitDone() { return WaitForSingleObject(done_, kWaitLimit) == WAIT_OBJECT_0; }

  private:
    HANDLE done_;
    DWORD client_;
};

int Fail(const char *what, HRESULT hr)
{
    Say("%s: error 0x%08X\n", what, static_cast<unsigned>(hr));
    return 1;
}

int Run()
{
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(OLESTR("KitSample.Counter"), &clsid);
    if (FAILED(hr))
        return Fail("CLSIDFromProgID(\"KitSample.Counter\")", hr);
    kitcom::ComPtr<IUnknown> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid());
    if (FAILED(hr))
        return Fail("CoCreateInstance", hr);
    OleRun(object.Get());
    kitcom::ComPtr<ICounter> counter;
    if (FAILED(hr = object.As(counter)))
        return Fail("QueryInterface(ICounter)", hr);
    LPOLESTR text = nullptr;
    StringFromCLSID(clsid, &text);
    Say("Contador creado: KitSample.Counter = %s\n", kitcom::BStr(text).Narrow().c_str());
    CoTaskMemFree(text);

    counter->Add(5);
    // Add(7) through IDispatch, with the argument as text: Invoke converts it.
    kitcom::Variant seven(OLESTR("7"));
    DISPPARAMS params = {&seven, nullptr, 1, 0};
    hr = counter->Invoke(DISPID_COUNTER_ADD, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                         nullptr, nullptr);
    LONG total = 0;
    counter->get_Total(&total);
    Say("Total tras Add(5) por la vtable y Add(\"7\") por IDispatch: %d\n", static_cast<int>(total));
    counter->put_Name(kitcom::BStr("Conexión ADSL").Get());

    kitcom::ComPtr<CPrintingSink> sink = kitcom::Make<CPrintingSink>();
    kitcom::ComPtr<IConnectionPointContainer> container;
    kitcom::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (FAILED(hr = counter.As(container)) ||
        FAILED(hr = container->FindConnectionPoint(DIID__ICounterEvents, &point)) ||
        FAILED(hr = point->Advise(sink->GetUnknown(), &cookie)))
        return Fail("Advise", hr);
    Say("Run(3):\n");
    counter->Run(3);
    if (!sink->WaitDone())
        return Fail("Run", E_ABORT);
    point->Unadvise(cookie);
    return 0;
}
} // namespace

int main()
{
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    int code = Run();
    CoUninitialize();
    return code;
}
