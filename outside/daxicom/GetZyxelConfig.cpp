// CGetZyxelConfig: DaxModem's GetZyxelConfig through its dual interface. Its events have their
// own DISPIDs (End is 3); the parent receives them as every component's.
#include "outside/daxicom/GetZyxelConfig.h"
#include "outside/daxicom/Texto.h"

#include "modem/DaxModem.h"

namespace
{
constexpr CControlKit::Tipo kTipo = {CGetZyxelConfig::kProgId,     &IID_IGetZyxelConfig,
                                     &DIID__IGetZyxelConfigEvents, DISPID_GETZYXELEVENTS_START,
                                     DISPID_GETZYXELEVENTS_END,    DISPID_GETZYXELEVENTS_PROGRESSDONE};
} // namespace

CGetZyxelConfig::CGetZyxelConfig() : CControlKit(kTipo) {}

LONG CGetZyxelConfig::Start()
{
    return Invocar(&IGetZyxelConfig::Start);
}

LONG CGetZyxelConfig::Stop(LONG lTimeOut)
{
    return Invocar(&IGetZyxelConfig::Stop, lTimeOut);
}

LONG CGetZyxelConfig::IsActive()
{
    return Leer(&IGetZyxelConfig::IsActive);
}

LONG CGetZyxelConfig::SetPort(LPCSTR lpszPort)
{
    return Invocar(&IGetZyxelConfig::SetPort, daxicom::CBstr(lpszPort).Get());
}

LONG CGetZyxelConfig::SetPassword(LPCSTR lpszPassword)
{
    return Invocar(&IGetZyxelConfig::SetPassword, daxicom::CBstr(lpszPassword).Get());
}

LONG CGetZyxelConfig::GetInfoConfig(IUnknown **ppIUnkZyxelParam)
{
    return Invocar(&IGetZyxelConfig::GetInfoConfig, ppIUnkZyxelParam);
}
