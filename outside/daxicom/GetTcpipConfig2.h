// CGetTcpipConfig2: the TCP/IP read of DaxTcpip (one adapter's current settings).
#pragma once

#include "outside/daxicom/ControlKit.h"

class DAXICOM_API CGetTcpipConfig2 : public CControlKit
{
  public:
    static constexpr char kProgId[] = "DaxTcpip.GetTcpipConfig2";

    CGetTcpipConfig2();

    LONG Start();
    LONG Stop(LONG lTimeOut);
    LONG IsActive(); // 1 while the job runs
    LONG SetDevice(LPCSTR lpszDevice);
    LONG GetInfoConfig(IUnknown **ppIUnkInfo); // a TcpipParam, AddRef'ed
};
