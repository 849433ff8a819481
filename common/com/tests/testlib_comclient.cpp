// A client library for the toolkit's tests: creates an object by ProgID as the kit's wizard
// creates its components (CLSIDFromProgID, CoCreateInstance with CLSCTX_ALL, OleRun,
// QueryInterface) and hands it back. It has no DllGetClassObject, so it also stands for "a
// library that is not a server".
#include "platform/windows.h"

extern "C" __attribute__((visibility("default"))) HRESULT CreateByProgId(LPCOLESTR progId, REFIID riid,
                                                                         void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    IUnknown *object = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void **>(&object));
    if (FAILED(hr))
        return hr;
    hr = OleRun(object);
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}
