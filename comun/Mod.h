// CMod: a loaded module (a library of the kit, or the program), its string table ("cadenas.ini"
// in its resource folder) and the exports a host drives it through.
#pragma once

#include "comun/Export.h"
#include "comun/Profile.h"
#include "platform/windows.h"

#include <string>

class CApli;

#ifndef _WIN32
// shlwapi's version block (shlwapi.h on Windows).
typedef struct _DllVersionInfo
{
    DWORD cbSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformID;
} DLLVERSIONINFO;
#define DLLVER_PLATFORM_WINDOWS 0x00000001
#define DLLVER_PLATFORM_NT 0x00000002
typedef HRESULT(CALLBACK *DLLGETVERSIONPROC)(DLLVERSIONINFO *);
#else
#include <shlwapi.h>
#endif

// The entry points of a module driven by a host, such as the wizard: "GetIDOfName" takes the
// name as narrow text; "Invoke" takes the id and the rest of CMod::Invoke's arguments.
typedef HRESULT(WINAPI *PFNGETIDOFNAME)(LPCSTR pszName, DWORD dwFlags, LONG *plId);
typedef HRESULT(WINAPI *PFNINVOKE)(LONG lId, DWORD dwFlags, WORD wFlags, UINT uArgs, LPCOLESTR *ppszArgs,
                                   VARIANT *pResult, EXCEPINFO *pExcepInfo, UINT *puArgErr);

class QELCOMUN_API CMod
{
  public:
    CMod();
    explicit CMod(CApli *pApli);
    virtual ~CMod();
    CMod(const CMod &) = delete;
    CMod &operator=(const CMod &) = delete;

    // A module already loaded, taken over as it is (not freed by Close); NULL: the program.
    HRESULT Open(HMODULE hMod);
    // Loads the library (freed by Close). E_INVALIDARG for an empty path.
    HRESULT Open(LPCSTR pszPath);
    // The in-process server registered for the class (HKCR\CLSID\{...}\InprocServer32).
    HRESULT Open(REFCLSID clsid);
    // 1 (S_FALSE) when not open.
    HRESULT Close();
    BOOL IsOpen() const;
    HMODULE VerHMODULE() const;
    HRESULT VerFich(std::string &fichero) const;
    HRESULT VerDir(std::string &dir) const;

    // The owning application's default language (0 without one).
    WORD VerLangDef() const;
    HRESULT FijarLangDef(LPCSTR pszLang);

    // A string of the module's table; E_FAIL when there is no table or the text is empty.
    HRESULT VerCadena(LPCSTR pszClave, std::string &texto) const;
    HRESULT VerCadena(UINT uId, std::string &texto) const;
    // The string formatted as a FormatMessage text with the extra arguments (narrow texts) as
    // inserts %1, %2...; E_INVALIDARG without pTexto.
    HRESULT VerMensaje(LPCSTR pszClave, std::string *pTexto, ...) const;
    HRESULT VerMensaje(UINT uId, std::string *pTexto, ...) const;

    // Images of the module's own resources (the kit's libraries carry none: the errors of
    // LoadImage) or, by file name, from its resource folder.
    HRESULT CargarIcono(UINT uId, int cx, int cy, HICON &hIcon) const;
    HRESULT CargarIconoGrande(UINT uId, HICON &hIcon) const;
    HRESULT CargarIconoPequeno(UINT uId, HICON &hIcon) const;
    HRESULT CargarCursor(UINT uId, HCURSOR &hCursor) const;
    HRESULT CargarIcono(LPCSTR pszFich, int cx, int cy, HICON &hIcon) const;
    HRESULT CargarIconoGrande(LPCSTR pszFich, HICON &hIcon) const;
    HRESULT CargarIconoPequeno(LPCSTR pszFich, HICON &hIcon) const;
    HRESULT CargarCursor(LPCSTR pszFich, int cx, int cy, HCURSOR &hCursor) const;
    // With large fonts the "-125.bmp" variant is preferred when there is one.
    HRESULT CargarBitmap(LPCSTR pszFich, int cx, int cy, HBITMAP &hBitmap) const;

    HRESULT BuscarFichRes(LPCSTR pszFich, WORD wLang, std::string &path) const;

    // The module's exports, called with the arguments given. E_FAIL without a module, the
    // look-up's error when the export is missing.
    HRESULT GetProcAddress(LPCSTR pszNombre, FARPROC &pfn) const;
    HRESULT DllGetVersion(DLLVERSIONINFO &info) const;
    HRESULT GetIDOfName(LPCOLESTR pszNombre, DWORD dwFlags, LONG &lId) const;
    HRESULT Invoke(LONG lId, DWORD dwFlags, WORD wFlags, UINT uArgs, LPCOLESTR *ppszArgs, VARIANT *pResult,
                   EXCEPINFO *pExcepInfo, UINT *puArgErr) const;

  private:
    HRESULT CargarTabla();
    HRESULT Mensaje(HRESULT hrCadena, const std::string &patron, std::string *pTexto, va_list *args) const;
    HRESULT CargarImagen(LPCSTR pszFich, UINT uTipo, int cx, int cy, HANDLE &hImagen) const;

    HMODULE m_hMod = nullptr;
    CApli *m_pApli = nullptr;
    BOOL m_bPropio = FALSE;
    CProfile m_cadenas;
};
