// DaxModem: the modem module's in-process server and what its clients need (the declarations
// MIDL would give for its type library "DaxModem 1.0 Type Library", library DAXMODEMLib).
//
//   coclass SetZyxelConfig ("DaxModem.SetZyxelConfig.1", "DaxModem.SetZyxelConfig"), a control
//     [default] dual interface ISetZyxelConfig
//       [id(1)]  SetModemConfig(IUnknown *iUnkInfo)   copies an IRouterParam into the object
//       [id(2)]  IsActive([out] long *pbActive)       1 and S_FALSE while a worker runs
//       [id(3)]  Start()                              upload, or download after SetTransferMode(1)
//       [id(4)]  Stop(long lTimeOut)                  cancels; always fires End(1, "msg2")
//       [id(5)]  SetModemCurIp(BSTR bstrCurIp)        the router's address (dotted IPv4 or nothing)
//       [id(6)]  CheckAccess(BSTR list)               finds the router among comma-separated addresses
//       [id(7)]  SetPassword(BSTR pass)               the FTP password ("5807" at first)
//       [id(8)]  UpdateFw(BSTR file)                  puts the firmware file as "ras"
//       [id(9)]  SetTransferMode(long bGetMode)       1: the next run downloads
//       [id(10)] GetModemConfig([out] IUnknown **iUnkRouterParam)  a copy of the object's settings
//       [id(11)] CreateConfigFile(BSTR bstrFile)      writes the file the next upload would send,
//                                                     sending nothing (not while a run is active)
//       [id(12)] SetBackupFile(BSTR bstrFile)         the next Start moves "rom-t" as it is, to or
//                                                     from this file; cleared by every run
//     [default, source] dispinterface _ISetZyxelConfigEvents
//       [id(1)] Start(long bOk, BSTR bstrText)        bOk 0: success, 1: failure
//       [id(2)] End(long bOk, BSTR bstrText)
//       [id(3)] ProgressDone(BSTR bstrText)           bytes transferred so far
//
//   coclass GetZyxelConfig ("DaxModem.GetZyxelConfig.1", "DaxModem.GetZyxelConfig"), a control
//     [default] dual interface IGetZyxelConfig
//       [id(1)] Start()                               reads the router's LAN settings over its console
//       [id(2)] Stop(long lTimeOut)                   asks the reader to end and waits for it
//       [id(3)] IsActive([out] long *pbActive)        1 and S_FALSE while the reader runs
//       [id(4)] GetInfoConfig([out] IUnknown **iUnkZyxelParam)  a copy of the settings read
//       [id(5)] SetPassword(BSTR bstrPassword)        the console password ("5807" at first)
//       [id(6)] SetPort(BSTR bstrPort)                "COMn": the serial port n
//     [default, source] dispinterface _IGetZyxelConfigEvents
//       [id(1)] Start(long bOk, BSTR bstrText)        bOk 0: success, 1: failure
//       [id(2)] ProgressDone(BSTR bstrText)           "msg7" port open, "msg8" password sent
//       [id(3)] End(long bOk, BSTR bstrText)
#pragma once

#include "common/com/ComPtr.h"
#include "platform/windows.h"
#ifdef _WIN32
#include <initguid.h> // the GUIDs below are defined (selectany) where they are used
#endif

// {29F199C1-63E3-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(LIBID_DAXMODEMLib, 0x29F199C1, 0x63E3, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {29F199D2-63E3-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(CLSID_SetZyxelConfig, 0x29F199D2, 0x63E3, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {29F199D1-63E3-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(IID_ISetZyxelConfig, 0x29F199D1, 0x63E3, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {29F199D3-63E3-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(DIID__ISetZyxelConfigEvents, 0x29F199D3, 0x63E3, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D,
            0x46);

// {29F199CF-63E3-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(CLSID_GetZyxelConfig, 0x29F199CF, 0x63E3, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {29F199CE-63E3-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(IID_IGetZyxelConfig, 0x29F199CE, 0x63E3, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D, 0x46);
// {29F199D0-63E3-11D6-9BEC-00C04F1F2D46}
DEFINE_GUID(DIID__IGetZyxelConfigEvents, 0x29F199D0, 0x63E3, 0x11D6, 0x9B, 0xEC, 0x00, 0xC0, 0x4F, 0x1F, 0x2D,
            0x46);

enum : DISPID
{
    DISPID_SETZYXEL_SETMODEMCONFIG = 1,
    DISPID_SETZYXEL_ISACTIVE = 2,
    DISPID_SETZYXEL_START = 3,
    DISPID_SETZYXEL_STOP = 4,
    DISPID_SETZYXEL_SETMODEMCURIP = 5,
    DISPID_SETZYXEL_CHECKACCESS = 6,
    DISPID_SETZYXEL_SETPASSWORD = 7,
    DISPID_SETZYXEL_UPDATEFW = 8,
    DISPID_SETZYXEL_SETTRANSFERMODE = 9,
    DISPID_SETZYXEL_GETMODEMCONFIG = 10,
    DISPID_SETZYXEL_CREATECONFIGFILE = 11,
    DISPID_SETZYXEL_SETBACKUPFILE = 12,
};
enum : DISPID
{
    DISPID_SETZYXELEVENTS_START = 1,
    DISPID_SETZYXELEVENTS_END = 2,
    DISPID_SETZYXELEVENTS_PROGRESSDONE = 3,
};

struct ISetZyxelConfig : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE SetModemConfig(IUnknown *iUnkInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsActive(LONG *pbActive) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(LONG lTimeOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetModemCurIp(BSTR bstrCurIp) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckAccess(BSTR list) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPassword(BSTR pass) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateFw(BSTR file) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTransferMode(LONG bGetMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetModemConfig(IUnknown **iUnkRouterParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateConfigFile(BSTR bstrFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBackupFile(BSTR bstrFile) = 0;
};
KITCOM_INTERFACE_ID(ISetZyxelConfig, IID_ISetZyxelConfig)

enum : DISPID
{
    DISPID_GETZYXEL_START = 1,
    DISPID_GETZYXEL_STOP = 2,
    DISPID_GETZYXEL_ISACTIVE = 3,
    DISPID_GETZYXEL_GETINFOCONFIG = 4,
    DISPID_GETZYXEL_SETPASSWORD = 5,
    DISPID_GETZYXEL_SETPORT = 6,
};

enum : DISPID
{
    DISPID_GETZYXELEVENTS_START = 1,
    DISPID_GETZYXELEVENTS_PROGRESSDONE = 2,
    DISPID_GETZYXELEVENTS_END = 3,
};

struct IGetZyxelConfig : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(LONG lTimeOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsActive(LONG *pbActive) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInfoConfig(IUnknown **iUnkZyxelParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPassword(BSTR bstrPassword) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPort(BSTR bstrPort) = 0;
};
KITCOM_INTERFACE_ID(IGetZyxelConfig, IID_IGetZyxelConfig)
