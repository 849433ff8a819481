// A client library for the parameter objects' tests: creates an object from outside the
// server, as the components and the wizard do (CoCreateInstance with CLSCTX_ALL and no outer
// object, OleRun, QueryInterface), either by ProgID or by CLSID.
#include "platform/windows.h"

#define PARAMCLIENT_EXPORT extern "C" __attribute__((visibility("default")))

PARAMCLIENT_EXPORT HRESULT CreateByClsid(REFCLSID clsid, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IUnknown *object = nullptr;
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void **>(&object));
    if (FAILED(hr))
        return hr;
    hr = OleRun(object);
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

PARAMCLIENT_EXPORT HRESULT CreateByProgId(LPCOLESTR progId, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    return CreateByClsid(clsid, riid, ppv);
}
