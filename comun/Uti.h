// CUti: utilities, all static: bringing a window to the front, and readable texts of Windows
// values for traces.
#pragma once

#include "comun/Export.h"
#include "platform/windows.h"

#include <string>

class QELCOMUN_API CUti
{
  public:
    CUti() = delete;

    // Restores the window when it is hidden or minimised, then brings its last active pop-up (or
    // the window itself) to the foreground. E_INVALIDARG for a null or dead window; E_FAIL when
    // Windows refuses the foreground.
    static HRESULT ActivarVentana(HWND hWnd);

    // The status of a date, as MFC's COleDateTime keeps it.
    enum EstadoFecha
    {
        fechaValida = 0,
        fechaInvalida = 1,
        fechaNula = 2,
    };

    static std::string VerTextoBOOL(int iValor);
    static std::string VerTextoHKEY(HKEY hKey);
    static std::string VerTextoCSIDL(DWORD dwCsidl);
    static std::string VerTextoIID(REFIID iid);
    static std::string VerTextoCLSID(REFCLSID clsid);
    static std::string VerTextoLANGID(WORD wLangId);
    static std::string VerTextoHRESULT(HRESULT hr);
    static std::string VerTextoWM(UINT uMensaje);
    static std::string VerTextoHWND(HWND hWnd);
    static std::string VerTextoVARIANT(const VARIANT &var);
    // "{Mon 31/12/2001 23:59:59}"; an invalid or null date gets its status in front.
    static std::string VerTextoFecha(DATE dtFecha, EstadoFecha estado = fechaValida);
};
