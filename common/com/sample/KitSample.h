// KitSample: the kit's sample in-process server and what its clients need (the declarations
// MIDL would give for its type library).
//
//   coclass Counter ("KitSample.Counter.1", "KitSample.Counter")
//     [default] dual interface ICounter
//       [id(1)] Add(long lValue)                     adds to Total; negative: E_INVALIDARG
//       [id(2), propget] long Total
//       [id(3), propget, propput] BSTR Name          "Contador" at first
//       [id(4)] Run(long lCount)                     a worker thread fires Tick(1..lCount), then
//                                                    Done(Name); S_FALSE while a run goes on
//       [id(5)] GetState([out] long *, [out] BSTR *) Total and Name at once
//       [id(6)] [out, retval] long IsRunning()
//     [default, source] dispinterface _ICounterEvents
//       [id(1)] void Tick(long lCount)
//       [id(2)] void Done(BSTR bstrName)
#pragma once

#include "common/com/ComPtr.h"
#include "platform/windows.h"
#ifdef _WIN32
#include <initguid.h> // the GUIDs below are defined (selectany) where they are used
#endif

// {26D9B81C-CEFC-40F0-92A1-7CBE473C2D50}
DEFINE_GUID(LIBID_KitSampleLib, 0x26D9B81C, 0xCEFC, 0x40F0, 0x92, 0xA1, 0x7C, 0xBE, 0x47, 0x3C, 0x2D, 0x50);
// {661833FB-DD15-44E4-98CF-95F91B3A19A6}
DEFINE_GUID(CLSID_Counter, 0x661833FB, 0xDD15, 0x44E4, 0x98, 0xCF, 0x95, 0xF9, 0x1B, 0x3A, 0x19, 0xA6);
// {C48242FF-FA34-46FB-AAE6-6291177FBB56}
DEFINE_GUID(IID_ICounter, 0xC48242FF, 0xFA34, 0x46FB, 0xAA, 0xE6, 0x62, 0x91, 0x17, 0x7F, 0xBB, 0x56);
// {2A3FCD4A-ABB4-4089-9945-1508257B1957}
DEFINE_GUID(DIID__ICounterEvents, 0x2A3FCD4A, 0xABB4, 0x4089, 0x99, 0x45, 0x15, 0x08, 0x25, 0x7B, 0x19, 0x57);

enum : DISPID
{
    DISPID_COUNTER_ADD = 1,
    DISPID_COUNTER_TOTAL = 2,
    DISPID_COUNTER_NAME = 3,
    DISPID_COUNTER_RUN = 4,
    DISPID_COUNTER_GETSTATE = 5,
    DISPID_COUNTER_ISRUNNING = 6,
};
enum : DISPID
{
    DISPID_COUNTEREVENTS_TICK = 1,
    DISPID_COUNTEREVENTS_DONE = 2,
};

struct ICounter : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE Add(LONG lValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Total(LONG *plTotal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR *pbstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR bstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE Run(LONG lCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(LONG *plTotal, BSTR *pbstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsRunning(LONG *pbRunning) = 0;
};
KITCOM_INTERFACE_ID(ICounter, IID_ICounter)
