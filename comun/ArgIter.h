// CArgIter: an iterator over command-line arguments, split from one command line or given as an
// argument array.
#pragma once

#include "comun/Iterador.h"
#include "platform/wstring.h"

#include <string>
#include <vector>

class QELCOMUN_API CArgIter : public CIterador
{
  public:
    CArgIter();
    ~CArgIter() override;
    CArgIter(const CArgIter &) = delete;
    CArgIter &operator=(const CArgIter &) = delete;

    // Splits a command line: blanks separate arguments, double quotes group them (and are not
    // kept), \" is a double quote. E_INVALIDARG (and no arguments) when a quote is left open.
    HRESULT Open(LPCSTR pszLinea);
    // Copies ANSI arguments. E_INVALIDARG for a negative count, or a positive one without texts.
    HRESULT Open(int argc, const char *const *argv);
    // Uses the caller's wide arguments as they are (they must outlive the iterator's use).
    HRESULT Open(int argc, const WCHAR *const *argv);

    using CIterador::GetFieldValue;
    HRESULT Close() override;
    BOOL IsOpen() override;
    BOOL IsBOF() override;
    BOOL IsEOF() override;
    HRESULT MoveFirst() override;
    HRESULT MoveNext() override;

    int VerArgc() const;
    const WCHAR *const *VerArgv() const;
    // The argument's text, NULL outside 0 .. count - 1.
    const WCHAR *operator[](int i) const;

    // The current argument: as text (E_FAIL at the end), or as a number ("%ld", "%lf"):
    // E_INVALIDARG, and 0, when it does not start with one.
    HRESULT VerArg(std::string &arg) const;
    HRESULT VerArg(LONG &lArg) const;
    HRESULT VerArg(double &dArg) const;

    // The text quoted so that the splitting above gives it back as one argument.
    static std::string VerArgSeguro(LPCSTR pszTexto);

  private:
    HRESULT Copiar(const std::vector<WString> &args);

    BOOL m_bOpen = FALSE;
    int m_iActual = 0;
    int m_iArgc = 0;
    const WCHAR *const *m_ppArgv = nullptr;
    std::vector<const WCHAR *> m_punteros; // the owned array
    BSTR m_bstrArgs = nullptr;             // every owned argument, NUL-separated
};
