// CFileMap: a named block of shared memory (a file mapping backed by the paging file) and its
// view.
#pragma once

#include "comun/Export.h"
#include "platform/windows.h"

class QELCOMUN_API CFileMap
{
  public:
    enum
    {
        modoTotal = 0,
        modoSoloLectura = 4,
    };

    CFileMap();
    virtual ~CFileMap();
    CFileMap(const CFileMap &) = delete;
    CFileMap &operator=(const CFileMap &) = delete;

    // Opens an existing named block and maps all of it: mode 0 for all access, a mode with bit 4
    // for reading only; other modes E_INVALIDARG.
    HRESULT Open(LPCSTR pszNombre, LONG lModo);
    // Creates the named block of dwSize bytes, or opens it when it exists, and maps dwSize bytes of
    // it for writing: 0 when it was created, 1 (S_FALSE) when it existed. A block that exists with
    // fewer bytes than asked for is refused, so nobody writes past its end.
    HRESULT CreateTemp(DWORD dwSize, LPCSTR pszNombre);
    // Blocks backed by a file of their own are not offered: E_NOTIMPL.
    HRESULT Create(LPCSTR pszFichero, DWORD dwSize, LPCSTR pszNombre, LONG lModo);
    // 1 (S_FALSE) when not open.
    HRESULT Close();
    BOOL IsOpen() const;
    // The view, or NULL when not open.
    LPVOID VerPFileMap() const;

  private:
    HANDLE m_hMap = nullptr;
    LPVOID m_pView = nullptr;
};
