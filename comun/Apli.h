// CApli: the application, as the kit's programs and libraries describe themselves: its default
// language, folder, registry keys, string table, help files and images. Abstract: a concrete
// application (outside this library) supplies its name, version and registry key.
#pragma once

#include "comun/Export.h"
#include "platform/windows.h"

#include <string>

class QELCOMUN_API CApli
{
  public:
    CApli();
    virtual ~CApli();
    CApli(const CApli &) = delete;
    CApli &operator=(const CApli &) = delete;

    // What a concrete application supplies.
    virtual HRESULT VerNombre(std::string &nombre) const = 0;
    virtual HRESULT VerVersion(std::string &version) const = 0;
    virtual HRESULT VerClaveRegistro(std::string &clave) const = 0;

    // The default language: 10 (Spanish) here.
    virtual WORD VerLangDef() const;
    // The application's folder: empty here.
    virtual HRESULT VerDir(std::string &dir) const;
    // Help for a page of an assistant, and the about box: E_NOTIMPL here.
    virtual HRESULT LanzarAyuda(LONG lAsistente);
    virtual HRESULT DoModalAcercaDe(HWND hPadre);

    // HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion, opened for reading and setting
    // values on first use and kept; NULL when it cannot be opened.
    HKEY VerHKeySis();
    // No user key in this base: NULL.
    HKEY VerHKeyUsr() const;
    // No effect in this base: 0.
    HRESULT FijarLangDef(LPCSTR pszLang);

    // A resource file of the application ("<VerDir>\res\apli"), in the language or the default one.
    HRESULT BuscarFichRes(LPCSTR pszFich, WORD wLang, std::string &path) const;
    // "<folder>\res\apli\ayuda\<file>", the folder being the module's when one is given, else
    // VerDir; the file need not exist.
    HRESULT BuscarFichAyuda(LPCSTR pszFich, WORD wLang, std::string &path, HMODULE hMod = nullptr) const;

    // A string of the application's table for the language; E_FAIL when it is empty.
    HRESULT VerCadena(LPCSTR pszClave, std::string &texto, WORD wLang) const;
    // The string in the default language as a FormatMessage text with the extra arguments
    // (narrow texts) as inserts; E_INVALIDARG without pTexto.
    HRESULT VerMensaje(LPCSTR pszClave, std::string *pTexto, ...) const;

    // "icono.ico" at the system's icon sizes and "paleta.pal", from the resource folder.
    HRESULT CargarIconoGrande(HICON &hIcon) const;
    HRESULT CargarIconoPequeno(HICON &hIcon) const;
    HRESULT CargarPaleta(HPALETTE &hPal) const;

  private:
    HKEY m_hKeySis = nullptr;
    HKEY m_hKeyUsr = nullptr;
};
