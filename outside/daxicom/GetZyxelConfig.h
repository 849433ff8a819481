// CGetZyxelConfig: the modem console reader of DaxModem (the router's LAN settings over its
// serial console).
#pragma once

#include "outside/daxicom/ControlKit.h"

class DAXICOM_API CGetZyxelConfig : public CControlKit
{
  public:
    static constexpr char kProgId[] = "DaxModem.GetZyxelConfig";

    CGetZyxelConfig();

    LONG Start();
    LONG Stop(LONG lTimeOut);
    LONG IsActive();               // 1 while the reader runs
    LONG SetPort(LPCSTR lpszPort); // "COMn"
    LONG SetPassword(LPCSTR lpszPassword);
    LONG GetInfoConfig(IUnknown **ppIUnkZyxelParam); // a RouterParam, AddRef'ed
};
