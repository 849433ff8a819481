// CCheckNics2: the adapter check of DaxTcpip (whether TCP/IP is installed, the adapters' names).
#pragma once

#include "outside/daxicom/ControlKit.h"

#include <string>

class DAXICOM_API CCheckNics2 : public CControlKit
{
  public:
    static constexpr char kProgId[] = "DaxTcpip.CheckNics2";

    CCheckNics2();

    LONG Start();
    LONG Stop(LONG lTimeOut);
    LONG IsActive();                                  // 1 while the job runs
    LONG IsTcpipInstalled();                          // 1 when TCP/IP is installed
    LONG GetNumNics();                                // the adapters in the chosen list
    LONG GetNicName(LONG lPos, std::string &strName); // 1-based; S_FALSE out of range
    LONG SetNicListToAccess(LONG idNicList);
};
