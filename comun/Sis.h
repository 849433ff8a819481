// CSis: system services, all static: module files and folders, language-specific resource files,
// images and palettes from files, identifier texts, the Windows version, the display, the
// browser, restarting the computer and logging off.
#pragma once

#include "comun/Export.h"
#include "platform/windows.h"

#include <string>

// The flags word of CSis::VerVersionSO.
#define QEL_SO_WIN9X 0x0001u // 95/98/Me platform
#define QEL_SO_WIN95 0x0003u // Windows 95
#define QEL_SO_WIN98 0x0011u // Windows 98
#define QEL_SO_WIN98SE 0x0031u
#define QEL_SO_WINME 0x0041u
#define QEL_SO_NT 0x1000u // NT platform
#define QEL_SO_NT4 0x9000u
#define QEL_SO_WIN2000 0xB000u
#define QEL_SO_WINXP 0xD000u

class QELCOMUN_API CSis
{
  public:
    CSis() = delete;

    static LANGID VerLangIDUsr();
    static LANGID VerLangIDSis();

    // The module's file (a null handle: the program), short and long forms, and its folder
    // without the trailing separator. Failure: empty text and the error.
    static HRESULT VerFichModulo(HMODULE hMod, std::string &fichero);
    static HRESULT VerFichModuloLargo(HMODULE hMod, std::string &fichero);
    static HRESULT VerDirModulo(HMODULE hMod, std::string &dir);
    static HRESULT VerDirModuloLargo(HMODULE hMod, std::string &dir);

    // The file of the best language variant of pszFich in a folder, or in a module's resource
    // folder ("<module folder>\res\<module name>"; the program's "<folder>\res" for a null
    // module, written (HMODULE)NULL). E_FAIL and an empty path when there is none; E_INVALIDARG
    // for an empty name or one with a wildcard ('*', '?').
    static HRESULT BuscarFichRes(LPCSTR pszDir, LPCSTR pszFich, WORD wLang, WORD wLangDef, std::string &path);
    static HRESULT BuscarFichRes(HMODULE hMod, LPCSTR pszFich, WORD wLang, WORD wLangDef, std::string &path);

    // Images from files; failure: a null handle and the error.
    static HRESULT CargarIcono(LPCSTR pszPath, int cx, int cy, HICON &hIcon);
    static HRESULT CargarIconoGrande(LPCSTR pszPath, HICON &hIcon);
    static HRESULT CargarIconoPequeno(LPCSTR pszPath, HICON &hIcon);
    static HRESULT CargarCursor(LPCSTR pszPath, int cx, int cy, HCURSOR &hCursor);
    // A DIB section at the bitmap's own size (cx and cy are not used).
    static HRESULT CargarBitmap(LPCSTR pszPath, int cx, int cy, HBITMAP &hBitmap);

    // A palette from a JASC-PAL text file.
    static HRESULT CargarPaletaLogica(LPCSTR pszPath, HPALETTE &hPal);
    // A palette of the colours a bitmap uses (at most 256, in the order they first appear).
    static HRESULT CrearPaletaLogica(HBITMAP hBitmap, HPALETTE &hPal);

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
    static HRESULT VerTextoCLSID(REFCLSID clsid, std::string &texto);
    static HRESULT VerTextoIID(REFIID iid, std::string &texto);
    static HRESULT VerTextoGUID(REFGUID guid, std::string &texto);

    // The IDispatch of the ActiveX control a window hosts; E_INVALIDARG for a null window or one
    // without a control.
    static HRESULT ObtenerDispatch(HWND hWnd, IDispatch *&pDispatch);

    static HRESULT VerVersionSO(DWORD &dwFlags);
    // TRUE when the screen is not at 96 dots per inch.
    static HRESULT HayFuentesGrandes(BOOL &bGrandes);
    // TRUE when a program opens ".htm" files.
    static HRESULT HayNavegador(BOOL &bHay);

    static HRESULT ReiniciarEquipo();
    static HRESULT CerrarSesion();
};
