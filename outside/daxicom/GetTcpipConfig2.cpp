// CGetTcpipConfig2: DaxTcpip's GetTcpipConfig2 through its dual interface.
#include "outside/daxicom/GetTcpipConfig2.h"
#include "outside/daxicom/Texto.h"

#include "tcpip/DaxTcpip.h"

namespace
{
constexpr CControlKit::Tipo kTipo = {CGetTcpipConfig2::kProgId,     &IID_IGetTcpipConfig2,
                                     &DIID__IGetTcpipConfig2Events, DISPID_TCPIPEVENTS_START,
                                     DISPID_TCPIPEVENTS_END,        DISPID_TCPIPEVENTS_PROGRESSDONE};
} // namespace

CGetTcpipConfig2::CGetTcpipConfig2() : CControlKit(kTipo) {}

LONG CGetTcpipConfig2::Start()
{
    return Invocar(&IGetTcpipConfig2::Start);
}

LONG CGetTcpipConfig2::Stop(LONG lTimeOut)
{
    return Invocar(&IGetTcpipConfig2::Stop, lTimeOut);
}

LONG CGetTcpipConfig2::IsActive()
{
    return Leer(&IGetTcpipConfig2::IsActive);
}

LONG CGetTcpipConfig2::SetDevice(LPCSTR lpszDevice)
{
    return Invocar(&IGetTcpipConfig2::SetDevice, daxicom::CBstr(lpszDevice).Get());
}

LONG CGetTcpipConfig2::GetInfoConfig(IUnknown **ppIUnkInfo)
{
    return Invocar(&IGetTcpipConfig2::GetInfoConfig, ppIUnkInfo);
}
