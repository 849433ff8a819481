// CArgIter: command-line arguments.
#include "comun/ArgIter.h"
#include "comun/Internal.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

namespace
{
bool EsBlanco(WCHAR c)
{
    return c == OLESTR(' ') || c == OLESTR('\t');
}

// The command-line rules: blanks outside quotes end an argument, a double quote switches quoting
// and starts an argument, \" is a literal double quote, every other character is copied.
HRESULT Partir(const WString &linea, std::vector<WString> &args)
{
    args.clear();
    WString actual;
    bool enArgumento = false;
    bool comillas = false;
    for (size_t i = 0; i < linea.size(); ++i)
    {
        const WCHAR c = linea[i];
        if (c == OLESTR('\\') && i + 1 < linea.size() && linea[i + 1] == OLESTR('"'))
        {
            actual += OLESTR('"');
            enArgumento = true;
            ++i;
        }
        else if (c == OLESTR('"'))
        {
            comillas = !comillas;
            enArgumento = true;
        }
        else if (EsBlanco(c) && !comillas)
        {
            if (enArgumento)
                args.push_back(std::move(actual));
            actual.clear();
            enArgumento = false;
        }
        else
        {
            actual += c;
            enArgumento = true;
        }
    }
    if (comillas)
    {
        args.clear();
        return E_INVALIDARG;
    }
    if (enArgumento)
        args.push_back(std::move(actual));
    return S_OK;
}

// Whether a text starts, after blanks and a sign, with a digit (or, for a real number, with a
// point and a digit), as "%ld" and "%lf" need.
bool EmpiezaConNumero(const std::string &texto, bool real)
{
    size_t i = texto.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return false;
    if (texto[i] == '+' || texto[i] == '-')
        ++i;
    if (real && i < texto.size() && texto[i] == '.')
        ++i;
    return i < texto.size() && texto[i] >= '0' && texto[i] <= '9';
}
} // namespace

CArgIter::CArgIter() = default;

CArgIter::~CArgIter()
{
    Close();
}

HRESULT CArgIter::Copiar(const std::vector<WString> &args)
{
    size_t total = 0;
    for (const WString &arg : args)
        total += arg.size() + 1;
    if (total > UINT_MAX / sizeof(WCHAR))
        return E_OUTOFMEMORY;
    BSTR buffer = SysAllocStringLen(nullptr, static_cast<UINT>(total));
    if (!buffer)
        return E_OUTOFMEMORY;
    try
    {
        m_punteros.reserve(args.size());
    }
    catch (const std::bad_alloc &)
    {
        SysFreeString(buffer);
        return E_OUTOFMEMORY;
    }
    WCHAR *cursor = buffer;
    for (const WString &arg : args)
    {
        m_punteros.push_back(cursor);
        std::copy(arg.begin(), arg.end(), cursor);
        cursor += arg.size();
        *cursor++ = OLESTR('\0');
    }
    m_bstrArgs = buffer;
    m_ppArgv = m_punteros.data();
    m_iArgc = static_cast<int>(args.size());
    m_iActual = 0;
    m_bOpen = TRUE;
    return S_OK;
}

HRESULT CArgIter::Open(LPCSTR pszLinea)
{
    Close();
    std::vector<WString> args;
    try
    {
        const HRESULT hr = Partir(comun::AnsiAUtf16(pszLinea ? pszLinea : ""), args);
        if (FAILED(hr))
            return hr;
    }
    catch (const std::bad_alloc &)
    {
        return E_OUTOFMEMORY;
    }
    return Copiar(args);
}

HRESULT CArgIter::Open(int argc, const char *const *argv)
{
    Close();
    if (argc < 0 || (argc > 0 && !argv))
        return E_INVALIDARG;
    std::vector<WString> args;
    try
    {
        for (int i = 0; i < argc; ++i)
        {
            const char *arg = argv[i] ? argv[i] : "";
            const WString wide = comun::AnsiAUtf16(arg);
            if (wide.empty() && *arg)
                return comun::HResultUltimoError();
            args.push_back(wide);
        }
    }
    catch (const std::bad_alloc &)
    {
        return E_OUTOFMEMORY;
    }
    return Copiar(args);
}

HRESULT CArgIter::Open(int argc, const WCHAR *const *argv)
{
    Close();
    if (argc < 0 || (argc > 0 && !argv))
        return E_INVALIDARG;
    m_ppArgv = argv;
    m_iArgc = argc;
    m_iActual = 0;
    m_bOpen = TRUE;
    return S_OK;
}

HRESULT CArgIter::Close()
{
    if (m_bstrArgs)
        SysFreeString(m_bstrArgs);
    m_bstrArgs = nullptr;
    m_punteros.clear();
    m_ppArgv = nullptr;
    m_iArgc = 0;
    m_iActual = 0;
    m_bOpen = FALSE;
    return S_OK;
}

BOOL CArgIter::IsOpen()
{
    return m_bOpen;
}

BOOL CArgIter::IsBOF()
{
    return !m_bOpen || m_iArgc == 0;
}

BOOL CArgIter::IsEOF()
{
    return !m_bOpen || m_iActual >= m_iArgc;
}

HRESULT CArgIter::MoveFirst()
{
    if (!m_bOpen)
        return E_FAIL;
    m_iActual = 0;
    return S_OK;
}

HRESULT CArgIter::MoveNext()
{
    if (IsEOF())
        return E_FAIL;
    ++m_iActual;
    return S_OK;
}

int CArgIter::VerArgc() const
{
    return m_iArgc;
}

const WCHAR *const *CArgIter::VerArgv() const
{
    return m_ppArgv;
}

const WCHAR *CArgIter::operator[](int i) const
{
    return i >= 0 && i < m_iArgc ? m_ppArgv[i] : nullptr;
}

HRESULT CArgIter::VerArg(std::string &arg) const
{
    arg.clear();
    const WCHAR *actual = (*this)[m_iActual];
    if (!m_bOpen || !actual)
        return E_FAIL;
    arg = comun::Utf16AAnsi(actual);
    return S_OK;
}

HRESULT CArgIter::VerArg(LONG &lArg) const
{
    lArg = 0;
    std::string texto;
    const HRESULT hr = VerArg(texto);
    if (FAILED(hr))
        return hr;
    if (!EmpiezaConNumero(texto, false))
        return E_INVALIDARG;
    errno = 0;
    const long valor = std::strtol(texto.c_str(), nullptr, 10);
    if (errno == ERANGE || valor < INT32_MIN || valor > INT32_MAX)
        return E_INVALIDARG; // does not fit 32 bits
    lArg = static_cast<LONG>(valor);
    return S_OK;
}

HRESULT CArgIter::VerArg(double &dArg) const
{
    dArg = 0;
    std::string texto;
    const HRESULT hr = VerArg(texto);
    if (FAILED(hr))
        return hr;
    if (!EmpiezaConNumero(texto, true))
        return E_INVALIDARG;
    const double valor = std::strtod(texto.c_str(), nullptr);
    if (!std::isfinite(valor))
        return E_INVALIDARG;
    dArg = valor;
    return S_OK;
}

std::string CArgIter::VerArgSeguro(LPCSTR pszTexto)
{
    if (!pszTexto || !*pszTexto)
        return "\"\"";
    std::string texto = pszTexto;
    // A backslash just before the closing quote would escape it: trailing backslashes go after it.
    const size_t finBarras = texto.find_last_not_of('\\') + 1;
    const std::string barras = texto.substr(finBarras);
    texto.resize(finBarras);
    std::string out = "\"";
    for (char c : texto)
    {
        if (c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"" + barras;
}
