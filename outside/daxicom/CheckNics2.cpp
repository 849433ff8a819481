// CCheckNics2: DaxTcpip's CheckNics2 through its dual interface.
#include "outside/daxicom/CheckNics2.h"
#include "outside/daxicom/Texto.h"

#include "tcpip/DaxTcpip.h"

namespace
{
constexpr CControlKit::Tipo kTipo = {CCheckNics2::kProgId,     &IID_ICheckNics2,
                                     &DIID__ICheckNics2Events, DISPID_TCPIPEVENTS_START,
                                     DISPID_TCPIPEVENTS_END,   DISPID_TCPIPEVENTS_PROGRESSDONE};
} // namespace

CCheckNics2::CCheckNics2() : CControlKit(kTipo) {}

LONG CCheckNics2::Start()
{
    return Invocar(&ICheckNics2::Start);
}

LONG CCheckNics2::Stop(LONG lTimeOut)
{
    return Invocar(&ICheckNics2::Stop, lTimeOut);
}

LONG CCheckNics2::IsActive()
{
    return Leer(&ICheckNics2::IsActive);
}

LONG CCheckNics2::IsTcpipInstalled()
{
    return Leer(&ICheckNics2::IsTcpipInstalled);
}

LONG CCheckNics2::GetNumNics()
{
    return Leer(&ICheckNics2::GetNumNics);
}

LONG CCheckNics2::GetNicName(LONG lPos, std::string &strName)
{
    daxicom::CBstr nombre;
    const LONG hr = Invocar(&ICheckNics2::GetNicName, lPos, nombre.Put());
    strName = nombre.Estrecho();
    return hr;
}

LONG CCheckNics2::SetNicListToAccess(LONG idNicList)
{
    return Invocar(&ICheckNics2::SetNicListToAccess, idNicList);
}
