// Creating a parameter object.
#include "common/param/ParamPtr.h"

HRESULT CreateParamObject(REFCLSID clsid, REFIID iid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    kitcom::ComPtr<IUnknown> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid());
    if (FAILED(hr))
        return hr;
    if (!object)
        return E_UNEXPECTED;
    if (FAILED(hr = OleRun(object.Get())))
        return hr;
    return object->QueryInterface(iid, ppv);
}
