// OLE on top of COM: initialisation and running objects.
#pragma once

#include "platform/objbase.h"

struct IBindCtx;
typedef IBindCtx *LPBINDCTX;

// {00000126-0000-0000-C000-000000000046}
DEFINE_GUID(IID_IRunnableObject, 0x00000126, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

// An object that must be put into its running state before use (oleidl.h on Windows).
struct IRunnableObject : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetRunningClass(LPCLSID lpClsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE Run(LPBINDCTX pbc) = 0;
    virtual BOOL STDMETHODCALLTYPE IsRunning() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockRunning(BOOL fLock, BOOL fLastUnlockCloses) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetContainedObject(BOOL fContained) = 0;
};
typedef IRunnableObject *LPRUNNABLEOBJECT;

HRESULT WINAPI OleInitialize(LPVOID pvReserved);
void WINAPI OleUninitialize();
HRESULT WINAPI OleRun(LPUNKNOWN pUnknown);
