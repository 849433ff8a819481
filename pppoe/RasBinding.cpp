#include "pppoe/RasBinding.h"

#include <cstdio>

CRasBinding::CRasBinding(bool bNt)
{
    m_hRasApi = LoadLibraryA("RASAPI32.DLL");
    if (!bNt)
        m_hRnaph = LoadLibraryA("RNAPH.DLL");
    Bind(RasDeleteEntry, "RasDeleteEntryA", true);
    Bind(RasEnumDevices, "RasEnumDevicesA", true);
    Bind(RasGetEntryProperties, "RasGetEntryPropertiesA", true);
    Bind(RasSetEntryProperties, "RasSetEntryPropertiesA", true);
    Bind(RasValidateEntryName, "RasValidateEntryNameA", true);
    Bind(RasEnumEntries, "RasEnumEntriesA", false);
    Bind(RasGetEntryDialParams, "RasGetEntryDialParamsA", false);
    Bind(RasSetEntryDialParams, "RasSetEntryDialParamsA", false);
    Bind(RasSetCredentials, "RasSetCredentialsA", false);
    Bind(RasGetErrorString, "RasGetErrorStringA", false);
}

CRasBinding::~CRasBinding()
{
    if (m_hRnaph)
        FreeLibrary(m_hRnaph);
    if (m_hRasApi)
        FreeLibrary(m_hRasApi);
}

template <class F> void CRasBinding::Bind(F &pfn, const char *pszName, bool bFallBack)
{
    FARPROC found = m_hRasApi ? GetProcAddress(m_hRasApi, pszName) : nullptr;
    if (!found && bFallBack && m_hRnaph)
        found = GetProcAddress(m_hRnaph, pszName);
    pfn = reinterpret_cast<F>(reinterpret_cast<void *>(found));
}

std::string RasErrorText(DWORD dwCode)
{
    CRasBinding ras(true);
    char szText[512] = "";
    if (ras.RasGetErrorString && ras.RasGetErrorString(dwCode, szText, sizeof szText) == 0 && szText[0])
        return szText;
    std::snprintf(szText, sizeof szText, "%ld", static_cast<long>(dwCode));
    return szText;
}
