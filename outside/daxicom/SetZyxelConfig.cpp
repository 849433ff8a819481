// CSetZyxelConfig: DaxModem's SetZyxelConfig through its dual interface.
#include "outside/daxicom/SetZyxelConfig.h"
#include "outside/daxicom/Texto.h"

#include "modem/DaxModem.h"

namespace
{
constexpr CControlKit::Tipo kTipo = {CSetZyxelConfig::kProgId,     &IID_ISetZyxelConfig,
                                     &DIID__ISetZyxelConfigEvents, DISPID_SETZYXELEVENTS_START,
                                     DISPID_SETZYXELEVENTS_END,    DISPID_SETZYXELEVENTS_PROGRESSDONE};
} // namespace

CSetZyxelConfig::CSetZyxelConfig() : CControlKit(kTipo) {}

LONG CSetZyxelConfig::Start()
{
    return Invocar(&ISetZyxelConfig::Start);
}

LONG CSetZyxelConfig::Stop(LONG lTimeOut)
{
    return Invocar(&ISetZyxelConfig::Stop, lTimeOut);
}

LONG CSetZyxelConfig::IsActive()
{
    return Leer(&ISetZyxelConfig::IsActive);
}

LONG CSetZyxelConfig::SetModemConfig(IUnknown *pIUnkInfo)
{
    return Invocar(&ISetZyxelConfig::SetModemConfig, pIUnkInfo);
}

LONG CSetZyxelConfig::GetModemConfig(IUnknown **ppIUnkRouterParam)
{
    return Invocar(&ISetZyxelConfig::GetModemConfig, ppIUnkRouterParam);
}

LONG CSetZyxelConfig::SetModemCurIp(LPCSTR lpszCurIp)
{
    return Invocar(&ISetZyxelConfig::SetModemCurIp, daxicom::CBstr(lpszCurIp).Get());
}

LONG CSetZyxelConfig::CheckAccess(LPCSTR lpszList)
{
    return Invocar(&ISetZyxelConfig::CheckAccess, daxicom::CBstr(lpszList).Get());
}

LONG CSetZyxelConfig::SetPassword(LPCSTR lpszPassword)
{
    return Invocar(&ISetZyxelConfig::SetPassword, daxicom::CBstr(lpszPassword).Get());
}

LONG CSetZyxelConfig::UpdateFw(LPCSTR lpszFile)
{
    return Invocar(&ISetZyxelConfig::UpdateFw, daxicom::CBstr(lpszFile).Get());
}

LONG CSetZyxelConfig::SetTransferMode(LONG bGetMode)
{
    return Invocar(&ISetZyxelConfig::SetTransferMode, bGetMode);
}

LONG CSetZyxelConfig::CreateConfigFile(LPCSTR lpszFile)
{
    return Invocar(&ISetZyxelConfig::CreateConfigFile, daxicom::CBstr(lpszFile).Get());
}

LONG CSetZyxelConfig::SetBackupFile(LPCSTR lpszFile)
{
    return Invocar(&ISetZyxelConfig::SetBackupFile, daxicom::CBstr(lpszFile).Get());
}
