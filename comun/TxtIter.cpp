// CTxtIter: lines and fields of a text file, read as the C library reads a file in text mode
// (CR LF is a line break, Ctrl-Z ends the text).
#include "comun/TxtIter.h"
#include "comun/Internal.h"

#include <cerrno>
#include <cstdlib>
#include <new>

namespace
{
constexpr size_t kBufferLectura = 4096;
constexpr size_t kBufferLinea = 2048;               // as the C library's line reads are made
constexpr size_t kMaxTextoLinea = kBufferLinea - 1; // its NUL takes the last place
constexpr char kComentario = '#';
constexpr char kFinTexto = 0x1A; // Ctrl-Z
} // namespace

CTxtIter::CTxtIter() = default;

CTxtIter::~CTxtIter()
{
    Close();
}

HRESULT CTxtIter::Open(char cSeparador, LPCSTR pszPath, LONG lModo)
{
    Close();
    if (cSeparador == '\0' || !pszPath || !*pszPath)
        return E_INVALIDARG;
    if (lModo == modoLecturaEscritura)
        return E_NOTIMPL;
    if (lModo != modoSoloLectura)
        return E_INVALIDARG;
    try
    {
        // Every buffer is taken here, so reading lines never allocates.
        m_buffer.resize(kBufferLectura);
        m_linea.reserve(kBufferLinea);
    }
    catch (const std::bad_alloc &)
    {
        Close();
        return E_OUTOFMEMORY;
    }
    HANDLE file = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        Close();
        return E_FAIL;
    }
    m_hFich = file;
    m_cSeparador = cSeparador;
    Rebobinar();
    m_bEOF = !LeerLinea();
    return S_OK;
}

HRESULT CTxtIter::Close()
{
    if (m_hFich != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFich);
    m_hFich = INVALID_HANDLE_VALUE;
    m_bEOF = TRUE;
    m_bCortada = false;
    m_linea.clear();
    m_buffer.clear();
    m_posicion = m_llenos = 0;
    m_finFichero = false;
    return S_OK;
}

BOOL CTxtIter::IsOpen()
{
    return m_hFich != INVALID_HANDLE_VALUE;
}

BOOL CTxtIter::IsEOF()
{
    return !IsOpen() || m_bEOF;
}

void CTxtIter::Rebobinar()
{
    SetFilePointer(m_hFich, 0, nullptr, FILE_BEGIN);
    m_posicion = m_llenos = 0;
    m_finFichero = false;
}

bool CTxtIter::LeerByte(char &c)
{
    if (m_posicion == m_llenos)
    {
        if (m_finFichero)
            return false;
        DWORD leidos = 0;
        if (!ReadFile(m_hFich, m_buffer.data(), static_cast<DWORD>(m_buffer.size()), &leidos, nullptr) ||
            leidos == 0)
        {
            m_finFichero = true;
            return false;
        }
        m_posicion = 0;
        m_llenos = leidos;
    }
    c = m_buffer[m_posicion++];
    if (c == kFinTexto)
    {
        m_finFichero = true;
        m_posicion = m_llenos;
        return false;
    }
    return true;
}

// Keeps a character of the current line while it fits the line buffer.
void CTxtIter::Anadir(char c)
{
    if (m_linea.size() < kMaxTextoLinea)
        m_linea += c;
    else
        m_bCortada = true;
}

// The next line that is not a comment; false at the end of the file. A line longer than the
// buffer is read to its end all the same: its tail never turns into a line of its own.
bool CTxtIter::LeerLinea()
{
    for (;;)
    {
        m_linea.clear();
        m_bCortada = false;
        char c;
        bool leido = false;
        bool retornoPendiente = false;
        while (LeerByte(c))
        {
            leido = true;
            if (retornoPendiente)
            {
                retornoPendiente = false;
                if (c != '\n')
                    Anadir('\r');
            }
            if (c == '\r')
            {
                retornoPendiente = true; // CR LF is one line break
                continue;
            }
            if (c == '\n')
            {
                m_linea += c; // the buffer keeps a place for it
                break;
            }
            Anadir(c);
        }
        if (retornoPendiente)
            Anadir('\r');
        if (!leido)
            return false;
        if (m_linea[0] != kComentario)
            return true;
    }
}

HRESULT CTxtIter::MoveFirst()
{
    if (!IsOpen())
        return E_FAIL;
    Rebobinar();
    m_bEOF = !LeerLinea();
    return S_OK;
}

HRESULT CTxtIter::MoveNext()
{
    return Move(1);
}

HRESULT CTxtIter::Move(int iFilas)
{
    if (!IsOpen())
        return E_FAIL;
    if (iFilas < 0)
        return E_NOTIMPL;
    for (int i = 0; i < iFilas; ++i)
    {
        if (m_bEOF)
            return E_FAIL;
        if (!LeerLinea())
        {
            m_bEOF = TRUE;
            m_linea.clear();
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT CTxtIter::GetFieldValue(LONG lIndice, std::string &valor)
{
    valor.clear();
    if (!IsOpen())
        return E_FAIL;
    if (lIndice < 0)
        return E_INVALIDARG;
    if (m_bEOF)
        return E_FAIL;
    size_t inicio = 0;
    for (LONG i = 0; i < lIndice; ++i)
    {
        const size_t sep = m_linea.find(m_cSeparador, inicio);
        if (sep == std::string::npos)
            return E_FAIL;
        inicio = sep + 1;
    }
    size_t fin = m_linea.find(m_cSeparador, inicio);
    // The last field runs to the end of the line, without the line break; in a cut line its end
    // is lost, which S_FALSE tells.
    const bool cortado = fin == std::string::npos && m_bCortada;
    if (fin == std::string::npos)
    {
        fin = m_linea.size();
        if (fin > inicio && m_linea[fin - 1] == '\n')
            --fin;
    }
    try
    {
        valor.assign(m_linea, inicio, fin - inicio);
    }
    catch (const std::bad_alloc &)
    {
        return E_OUTOFMEMORY;
    }
    return cortado ? S_FALSE : S_OK;
}

HRESULT CTxtIter::GetFieldValue(LONG lIndice, LONG &lValor)
{
    lValor = 0;
    std::string texto;
    const HRESULT hr = GetFieldValue(lIndice, texto);
    if (FAILED(hr))
        return hr;
    if (hr != S_OK)
        return E_FAIL; // the end of the number was cut
    const char *inicio = texto.c_str();
    char *fin = nullptr;
    errno = 0;
    const long valor = std::strtol(inicio, &fin, 10);
    if (fin == inicio || errno == ERANGE || valor < INT32_MIN || valor > INT32_MAX)
        return E_FAIL;
    lValor = static_cast<LONG>(valor);
    return S_OK;
}

HRESULT CTxtIter::GetFieldValue(LPCSTR pszCampo, std::string &valor)
{
    valor.clear();
    if (!pszCampo)
        return E_INVALIDARG;
    return GetFieldValue(VerIndiceCampoMayus(comun::Mayusculas1252(pszCampo).c_str()), valor);
}

HRESULT CTxtIter::GetFieldValue(LPCSTR pszCampo, int &iValor)
{
    iValor = 0;
    if (!pszCampo)
        return E_INVALIDARG;
    LONG valor = 0;
    const HRESULT hr = GetFieldValue(VerIndiceCampoMayus(comun::Mayusculas1252(pszCampo).c_str()), valor);
    iValor = valor;
    return hr;
}

LONG CTxtIter::VerIndiceCampoMayus(LPCSTR)
{
    return -1;
}
