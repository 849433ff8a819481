// CSetTcpipConfig2: the TCP/IP write of DaxTcpip (one adapter's new settings).
#pragma once

#include "outside/daxicom/ControlKit.h"

class DAXICOM_API CSetTcpipConfig2 : public CControlKit
{
  public:
    static constexpr char kProgId[] = "DaxTcpip.SetTcpipConfig2";

    CSetTcpipConfig2();

    LONG Start();
    LONG Stop(LONG lTimeOut);
    LONG IsActive(); // 1 while the job runs
    LONG SetDevice(LPCSTR lpszDevice);
    LONG SetInfoConfig(IUnknown *pIUnkInfo); // a TcpipParam, copied by the component
    LONG SetChangesDelay(LONG bDelay);       // 1: the writes go to the deferred-change file
};
