// CProfile: an INI file read and written through the private-profile functions; it holds no
// file open, only its path, the current section and the open mode.
#pragma once

#include "comun/Export.h"
#include "platform/windows.h"

#include <string>

class QELCOMUN_API CProfile
{
  public:
    enum
    {
        modoLecturaEscritura = 0,
        modoSoloLectura = 4,
    };

    CProfile();
    virtual ~CProfile();
    CProfile(const CProfile &) = default;
    CProfile &operator=(const CProfile &) = default;

    // Closes first; the file need not exist. E_INVALIDARG for an empty path or a mode other than
    // 0 (read-write) and 4 (read-only).
    HRESULT Open(LPCSTR pszPath, LONG lModo);
    // 1 (S_FALSE) when not open.
    HRESULT Close();
    BOOL IsOpen() const;

    HRESULT FijarSeccion(LPCSTR pszSeccion);
    HRESULT VerSeccion(std::string &seccion) const;
    // The value of a key of the current section; a missing key reads as empty and succeeds.
    HRESULT VerValor(LPCSTR pszClave, std::string &valor) const;
    // E_FAIL when not open, opened read-only or without a section.
    HRESULT FijarValor(LPCSTR pszClave, LPCSTR pszValor);

  private:
    std::string m_path;
    std::string m_seccion;
    LONG m_modo = modoLecturaEscritura;
};
