// A dispatch object that does nothing and counts its references (never deleting itself), for
// tests that hand an IDispatch to a window, a VARIANT or a control host. Invoke answers
// `Answer` when a test derives from it.
#pragma once

#include "platform/windows.h"

namespace kittest
{
class NullDispatch : public IDispatch
{
  public:
    NullDispatch() = default;
    NullDispatch(const NullDispatch &) = delete;
    NullDispatch &operator=(const NullDispatch &) = delete;
    virtual ~NullDispatch() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IDispatch)
        {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *, VARIANT *result,
                                     EXCEPINFO *, UINT *) override
    {
        return Answer(id, flags, result);
    }

    ULONG refs = 1;

  protected:
    virtual HRESULT Answer(DISPID, WORD, VARIANT *) { return DISP_E_MEMBERNOTFOUND; }
};
} // namespace kittest
