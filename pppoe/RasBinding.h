// CRasBinding: the dial-up networking entry points the module calls, found at run time in
// RASAPI32.DLL (and, on Windows 95/98/Me, in RNAPH.DLL for those RASAPI32 lacks there), as
// the "A" variants. An entry point that neither library has stays null; the iterators refuse
// to call it (ERROR_CALL_NOT_IMPLEMENTED as a RAS error).
//
// CRasError: what the iterators throw for a RAS call that failed, with its code.
#pragma once

#include "platform/windows.h"

#include <exception>
#include <string>

class CRasError : public std::exception
{
  public:
    explicit CRasError(DWORD dwCode) : m_dwCode(dwCode) {}
    DWORD Code() const noexcept { return m_dwCode; }
    const char *what() const noexcept override { return "RAS error"; }

  private:
    DWORD m_dwCode;
};

class CRasBinding
{
  public:
    using PfnRasDeleteEntry = DWORD(WINAPI *)(LPCSTR, LPCSTR);
    using PfnRasEnumDevices = DWORD(WINAPI *)(LPRASDEVINFOA, LPDWORD, LPDWORD);
    using PfnRasGetEntryProperties = DWORD(WINAPI *)(LPCSTR, LPCSTR, LPRASENTRYA, LPDWORD, LPBYTE, LPDWORD);
    using PfnRasSetEntryProperties = DWORD(WINAPI *)(LPCSTR, LPCSTR, LPRASENTRYA, DWORD, LPBYTE, DWORD);
    using PfnRasValidateEntryName = DWORD(WINAPI *)(LPCSTR, LPCSTR);
    using PfnRasEnumEntries = DWORD(WINAPI *)(LPCSTR, LPCSTR, LPRASENTRYNAMEA, LPDWORD, LPDWORD);
    using PfnRasGetEntryDialParams = DWORD(WINAPI *)(LPCSTR, LPRASDIALPARAMSA, LPBOOL);
    using PfnRasSetEntryDialParams = DWORD(WINAPI *)(LPCSTR, LPRASDIALPARAMSA, BOOL);
    using PfnRasSetCredentials = DWORD(WINAPI *)(LPCSTR, LPCSTR, LPRASCREDENTIALSA, BOOL);
    using PfnRasGetErrorString = DWORD(WINAPI *)(UINT, LPSTR, DWORD);

    // Loads the libraries: RNAPH.DLL only where the NT flag is not set.
    explicit CRasBinding(bool bNt);
    ~CRasBinding();
    CRasBinding(const CRasBinding &) = delete;
    CRasBinding &operator=(const CRasBinding &) = delete;

    PfnRasDeleteEntry RasDeleteEntry = nullptr;
    PfnRasEnumDevices RasEnumDevices = nullptr;
    PfnRasGetEntryProperties RasGetEntryProperties = nullptr;
    PfnRasSetEntryProperties RasSetEntryProperties = nullptr;
    PfnRasValidateEntryName RasValidateEntryName = nullptr;
    PfnRasEnumEntries RasEnumEntries = nullptr;
    PfnRasGetEntryDialParams RasGetEntryDialParams = nullptr;
    PfnRasSetEntryDialParams RasSetEntryDialParams = nullptr;
    PfnRasSetCredentials RasSetCredentials = nullptr;
    PfnRasGetErrorString RasGetErrorString = nullptr;

    // Throws CRasError for a missing entry point.
    template <class F> static F Need(F pfn)
    {
        if (!pfn)
            throw CRasError(ERROR_CALL_NOT_IMPLEMENTED);
        return pfn;
    }

  private:
    template <class F> void Bind(F &pfn, const char *pszName, bool bFallBack);

    HMODULE m_hRasApi = nullptr;
    HMODULE m_hRnaph = nullptr;
};

// The text of a RAS error: RasGetErrorString's, or the code in decimal when it has none.
std::string RasErrorText(DWORD dwCode);
