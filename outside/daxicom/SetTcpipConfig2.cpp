// CSetTcpipConfig2: DaxTcpip's SetTcpipConfig2 through its dual interface.
#include "outside/daxicom/SetTcpipConfig2.h"
#include "outside/daxicom/Texto.h"

#include "tcpip/DaxTcpip.h"

namespace
{
constexpr CControlKit::Tipo kTipo = {CSetTcpipConfig2::kProgId,     &IID_ISetTcpipConfig2,
                                     &DIID__ISetTcpipConfig2Events, DISPID_TCPIPEVENTS_START,
                                     DISPID_TCPIPEVENTS_END,        DISPID_TCPIPEVENTS_PROGRESSDONE};
} // namespace

CSetTcpipConfig2::CSetTcpipConfig2() : CControlKit(kTipo) {}

LONG CSetTcpipConfig2::Start()
{
    return Invocar(&ISetTcpipConfig2::Start);
}

LONG CSetTcpipConfig2::Stop(LONG lTimeOut)
{
    return Invocar(&ISetTcpipConfig2::Stop, lTimeOut);
}

LONG CSetTcpipConfig2::IsActive()
{
    return Leer(&ISetTcpipConfig2::IsActive);
}

LONG CSetTcpipConfig2::SetDevice(LPCSTR lpszDevice)
{
    return Invocar(&ISetTcpipConfig2::SetDevice, daxicom::CBstr(lpszDevice).Get());
}

LONG CSetTcpipConfig2::SetInfoConfig(IUnknown *pIUnkInfo)
{
    return Invocar(&ISetTcpipConfig2::SetInfoConfig, pIUnkInfo);
}

LONG CSetTcpipConfig2::SetChangesDelay(LONG bDelay)
{
    return Invocar(&ISetTcpipConfig2::SetChangesDelay, bDelay);
}
