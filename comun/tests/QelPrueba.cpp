// A module driven by a host, as the wizard is: it exports GetIDOfName, Invoke and DllGetVersion.
// The tests load copies of it with a string table beside them.
#include "comun/Mod.h"

#include <cctype>
#include <string>

#ifdef _WIN32
#define PRUEBA_EXPORT __attribute__((dllexport))
#else
#define PRUEBA_EXPORT __attribute__((visibility("default")))
#endif

extern "C"
{
    PRUEBA_EXPORT HRESULT WINAPI GetIDOfName(LPCSTR pszName, DWORD, LONG *plId)
    {
        std::string name = pszName ? pszName : "";
        for (char &c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        *plId = name == "asistente" ? 1 : 0;
        return *plId ? S_OK : DISP_E_UNKNOWNNAME;
    }

    // Id 1 answers with the number of arguments and the first one's length in *pResult.
    PRUEBA_EXPORT HRESULT WINAPI Invoke(LONG lId, DWORD, WORD wFlags, UINT uArgs, LPCOLESTR *ppszArgs,
                                        VARIANT *pResult, EXCEPINFO *, UINT *puArgErr)
    {
        if (lId != 1)
            return DISP_E_MEMBERNOTFOUND;
        if (pResult)
        {
            pResult->vt = VT_I4;
            pResult->lVal = static_cast<LONG>(uArgs * 100 + wFlags);
            if (uArgs && ppszArgs && ppszArgs[0])
                pResult->lVal += static_cast<LONG>(std::char_traits<OLECHAR>::length(ppszArgs[0])) * 1000;
        }
        if (puArgErr)
            *puArgErr = 7;
        return S_OK;
    }

    PRUEBA_EXPORT HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO *pInfo)
    {
        if (!pInfo || pInfo->cbSize != sizeof(DLLVERSIONINFO))
            return E_INVALIDARG;
        pInfo->dwMajorVersion = 1;
        pInfo->dwMinorVersion = 2;
        pInfo->dwBuildNumber = 3;
        pInfo->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
        return S_OK;
    }
}
