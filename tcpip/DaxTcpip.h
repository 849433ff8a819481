// DaxTcpip: the TCP/IP module's in-process server and what its clients need (the declarations
// MIDL would give for its type library "DaxTcpip 1.0 Type Library", library DAXTCPIPLib).
//
//   coclass CheckNics2 ("DaxTcpip.CheckNics2.1", "DaxTcpip.CheckNics2")
//     [default] dual interface ICheckNics2
//       [id(1)] Start()  [id(2)] Stop(long lTimeout)  [id(3)] IsActive([out] long *bActive)
//       [id(4)] GetNicName(long lPos, [out] BSTR *bstrName)      1-based, in the chosen list
//       [id(5)] GetNumNics([out] long *lNum)
//       [id(6)] ExistsNic(BSTR bstrName, [out] long *bExists)   case ignored
//       [id(7)] IsTcpipInstalled([out] long *bInstalled)        on the caller's thread
//       [id(8)] SetNicListToAccess(long idNicList)              NIC_LIST_ALL/LINKED/ENABLED
//   coclass GetTcpipConfig2 ("DaxTcpip.GetTcpipConfig2.1", "DaxTcpip.GetTcpipConfig2")
//     [default] dual interface IGetTcpipConfig2
//       [id(1)] SetMainPath(BSTR)  [id(2)] SetDevice(BSTR bstrDevice)  the display name
//       [id(3)] GetInfoConfig([out] IUnknown **pIUnkInfo)       the object's TcpipParam
//       [id(4)] Start()  [id(5)] Stop(long)  [id(6)] IsActive([out] long *)
//   coclass SetTcpipConfig2 ("DaxTcpip.SetTcpipConfig2.1", "DaxTcpip.SetTcpipConfig2")
//     [default] dual interface ISetTcpipConfig2
//       [id(1)] SetMainPath(BSTR)  [id(2)] SetDevice(BSTR)
//       [id(3)] SetInfoConfig(IUnknown *pIUnkInfo)               copied and validated
//       [id(4)] Start()  [id(5)] Stop(long)  [id(6)] IsActive([out] long *)
//       [id(7)] SetChangesDelay(long bDelay)                    1: into "TcpChang.reg"
//       [id(8)] ExecuteTcpipChanges()                           imports it with regedit -s
//   Each with its [default, source] dispinterface _I...Events:
//       [id(1)] Start(long bOk, BSTR bstrText)  [id(2)] End(long bOk, BSTR bstrText)
//       [id(3)] ProgressDone(BSTR bstrText)     bOk 1: success; texts are numeric codes
#pragma once

#include "common/com/ComPtr.h"
#include "platform/windows.h"
#ifdef _WIN32
#include <initguid.h> // the GUIDs below are defined (selectany) where they are used
#endif

// {F714B3F1-636C-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(LIBID_DAXTCPIPLib, 0xF714B3F1, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);

DEFINE_GUID(CLSID_CheckNics2, 0xF714B3FF, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
DEFINE_GUID(IID_ICheckNics2, 0xF714B3FE, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
DEFINE_GUID(DIID__ICheckNics2Events, 0xF714B400, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D,
            0x46);

DEFINE_GUID(CLSID_GetTcpipConfig2, 0xF714B402, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D,
            0x46);
DEFINE_GUID(IID_IGetTcpipConfig2, 0xF714B401, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
DEFINE_GUID(DIID__IGetTcpipConfig2Events, 0xF714B403, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F,
            0x2D, 0x46);

DEFINE_GUID(CLSID_SetTcpipConfig2, 0xF714B405, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D,
            0x46);
DEFINE_GUID(IID_ISetTcpipConfig2, 0xF714B404, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
DEFINE_GUID(DIID__ISetTcpipConfig2Events, 0xF714B406, 0x636C, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F,
            0x2D, 0x46);

#define PROGID_CHECKNICS2 "DaxTcpip.CheckNics2.1"
#define PROGID_GETTCPIPCONFIG2 "DaxTcpip.GetTcpipConfig2.1"
#define PROGID_SETTCPIPCONFIG2 "DaxTcpip.SetTcpipConfig2.1"

// The lists of CheckNics2 (SetNicListToAccess).
enum NicListType : LONG
{
    NIC_LIST_ALL = 3501,     // every adapter present
    NIC_LIST_LINKED = 3502,  // those whose TCP/IP settings could be read
    NIC_LIST_ENABLED = 3503, // of those, the ones bound to TCP/IP
};

enum : DISPID
{
    DISPID_CHECKNICS_START = 1,
    DISPID_CHECKNICS_STOP = 2,
    DISPID_CHECKNICS_ISACTIVE = 3,
    DISPID_CHECKNICS_GETNICNAME = 4,
    DISPID_CHECKNICS_GETNUMNICS = 5,
    DISPID_CHECKNICS_EXISTSNIC = 6,
    DISPID_CHECKNICS_ISTCPIPINSTALLED = 7,
    DISPID_CHECKNICS_SETNICLISTTOACCESS = 8,
};
enum : DISPID
{
    DISPID_GETTCPIP_SETMAINPATH = 1,
    DISPID_GETTCPIP_SETDEVICE = 2,
    DISPID_GETTCPIP_GETINFOCONFIG = 3,
    DISPID_GETTCPIP_START = 4,
    DISPID_GETTCPIP_STOP = 5,
    DISPID_GETTCPIP_ISACTIVE = 6,
};
enum : DISPID
{
    DISPID_SETTCPIP_SETMAINPATH = 1,
    DISPID_SETTCPIP_SETDEVICE = 2,
    DISPID_SETTCPIP_SETINFOCONFIG = 3,
    DISPID_SETTCPIP_START = 4,
    DISPID_SETTCPIP_STOP = 5,
    DISPID_SETTCPIP_ISACTIVE = 6,
    DISPID_SETTCPIP_SETCHANGESDELAY = 7,
    DISPID_SETTCPIP_EXECUTETCPIPCHANGES = 8,
};
// The events of the three objects.
enum : DISPID
{
    DISPID_TCPIPEVENTS_START = 1,
    DISPID_TCPIPEVENTS_END = 2,
    DISPID_TCPIPEVENTS_PROGRESSDONE = 3,
};

struct ICheckNics2 : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(LONG lTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsActive(LONG *bActive) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNicName(LONG lPos, BSTR *bstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumNics(LONG *lNum) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExistsNic(BSTR bstrName, LONG *bExists) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsTcpipInstalled(LONG *bInstalled) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNicListToAccess(LONG idNicList) = 0;
};
KITCOM_INTERFACE_ID(ICheckNics2, IID_ICheckNics2)

struct IGetTcpipConfig2 : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE SetMainPath(BSTR bstrPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDevice(BSTR bstrDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInfoConfig(IUnknown **pIUnkInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(LONG lTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsActive(LONG *bActive) = 0;
};
KITCOM_INTERFACE_ID(IGetTcpipConfig2, IID_IGetTcpipConfig2)

struct ISetTcpipConfig2 : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE SetMainPath(BSTR bstrPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDevice(BSTR bstrDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInfoConfig(IUnknown *pIUnkInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(LONG lTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsActive(LONG *bActive) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetChangesDelay(LONG bDelay) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecuteTcpipChanges() = 0;
};
KITCOM_INTERFACE_ID(ISetTcpipConfig2, IID_ISetTcpipConfig2)
