// DaxWPoet: the PPPoE module's in-process server and what its clients need (the declarations
// MIDL would give for its type library, library DAXWPOETLib).
//
//   coclass WPoet ("DaxWPoet.WPoet.1", "DaxWPoet.WPoet"), "WPoet Class", apartment-threaded
//     [default] dual interface IWPoet ("IWPoet Interface")
//       [id(1)] CreateConnection(BSTR bstrUserName, BSTR bstrPassword)
//                  the dial-up connection "Conexión ADSL Router" (WinPoET) or the EnterNet
//                  profile and its desktop shortcut; S_OK when all was set up, else S_FALSE
//       [id(2)] GetInfo([out] long *bRAS, [out] long *bInstalled, [out] long *bDevice)
//                  dial-up networking, the PPPoE client and its device; S_FALSE when a check
//                  could not run
#pragma once

#include "common/com/ComPtr.h"
#include "platform/windows.h"
#ifdef _WIN32
#include <initguid.h> // the GUIDs below are defined (selectany) where they are used
#endif

// {7A83EEC0-F706-4535-9B95-122770F43863}
DEFINE_GUID(LIBID_DAXWPOETLib, 0x7A83EEC0, 0xF706, 0x4535, 0x9B, 0x95, 0x12, 0x27, 0x70, 0xF4, 0x38, 0x63);
// {B11F58F4-9D70-4215-BF3A-382FA41AD668}
DEFINE_GUID(CLSID_WPoet, 0xB11F58F4, 0x9D70, 0x4215, 0xBF, 0x3A, 0x38, 0x2F, 0xA4, 0x1A, 0xD6, 0x68);
// {C8F49257-54F8-4DD1-A6E1-D27EC632ABC1}
DEFINE_GUID(IID_IWPoet, 0xC8F49257, 0x54F8, 0x4DD1, 0xA6, 0xE1, 0xD2, 0x7E, 0xC6, 0x32, 0xAB, 0xC1);

#define PROGID_WPOET "DaxWPoet.WPoet.1"

enum : DISPID
{
    DISPID_WPOET_CREATECONNECTION = 1,
    DISPID_WPOET_GETINFO = 2,
};

struct IWPoet : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE CreateConnection(BSTR bstrUserName, BSTR bstrPassword) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInfo(LONG *bRAS, LONG *bInstalled, LONG *bDevice) = 0;
};
KITCOM_INTERFACE_ID(IWPoet, IID_IWPoet)
