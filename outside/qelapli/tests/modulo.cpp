// A library of the tests that makes its own module object, as the wizard library does.
#include "outside/qelapli/ApliKIT.h"

extern "C" __attribute__((visibility("default"))) HRESULT VerFicheroModulo(char *pszFich, DWORD cch)
{
    CModKIT mod;
    std::string fichero;
    const HRESULT hr = mod.IsOpen() ? mod.VerFich(fichero) : E_FAIL;
    if (FAILED(hr))
        return hr;
    lstrcpynA(pszFich, fichero.c_str(), static_cast<int>(cch));
    return S_OK;
}
