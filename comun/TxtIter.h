// CTxtIter: an iterator over the lines of a text file, read-only, each line split into fields
// by one separator character. Lines starting with '#' are comments and never seen. A line keeps
// at most 2047 characters besides its line break (the 2048-character line buffer, its NUL
// included); the rest of a longer line is skipped up to its line break, so a long line is still
// one line, and the field that limit cut short reads as far as it was kept, with S_FALSE.
#pragma once

#include "comun/Iterador.h"

#include <string>
#include <vector>

class QELCOMUN_API CTxtIter : public CIterador
{
  public:
    enum
    {
        modoLecturaEscritura = 0,
        modoSoloLectura = 4,
    };

    CTxtIter();
    ~CTxtIter() override;
    CTxtIter(const CTxtIter &) = delete;
    CTxtIter &operator=(const CTxtIter &) = delete;

    // Opens the file and reads its first line. E_INVALIDARG for a zero separator, an empty path or
    // a mode other than 4 (read-only); E_NOTIMPL for mode 0; E_FAIL when the file cannot be opened.
    HRESULT Open(char cSeparador, LPCSTR pszPath, LONG lModo);

    HRESULT Close() override;
    BOOL IsOpen() override;
    BOOL IsEOF() override;
    HRESULT MoveFirst() override;
    HRESULT MoveNext() override;
    // Reads n lines on; E_NOTIMPL for a negative n, E_FAIL when the lines run out.
    HRESULT Move(int iFilas) override;

    // Field n: the text after the n-th separator up to the next one (or the end of the line,
    // without its line break; a last line without one keeps its last character); S_FALSE for
    // the field of a cut line that lost its end. E_INVALIDARG for a negative index, E_FAIL for
    // a line with fewer fields or at the end of the file; as a number ("%ld"), E_FAIL when it
    // is not one or was cut.
    HRESULT GetFieldValue(LONG lIndice, std::string &valor);
    HRESULT GetFieldValue(LONG lIndice, LONG &lValor);
    // By name: the upper-cased name becomes an index through VerIndiceCampoMayus.
    HRESULT GetFieldValue(LPCSTR pszCampo, std::string &valor) override;
    HRESULT GetFieldValue(LPCSTR pszCampo, int &iValor) override;

  protected:
    // The index of a field name (upper case); -1 here, where fields have no names.
    virtual LONG VerIndiceCampoMayus(LPCSTR pszCampoMayus);

  private:
    bool LeerLinea();
    bool LeerByte(char &c);
    void Anadir(char c);
    void Rebobinar();

    HANDLE m_hFich = INVALID_HANDLE_VALUE;
    BOOL m_bEOF = TRUE;
    char m_cSeparador = ' ';
    std::string m_linea;     // the current line, its line break included when it has one
    bool m_bCortada = false; // the current line was longer than the buffer
    std::vector<char> m_buffer;
    size_t m_posicion = 0;
    size_t m_llenos = 0;
    bool m_finFichero = false;
};
