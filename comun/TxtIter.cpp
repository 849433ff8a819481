// CTxtIter: lines and fields of a text file, read as the C library reads a file in text mode
// (CR LF is a line break, Ctrl-Z ends the text).
#include "comun/TxtIter.h"
#include "comun/Internal.h"

#include <cerrno>
#include <cstdlib>

namespace
{
constexpr size_t kBufferLectura = 4096;
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
    HANDLE file = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    m_hFich = file;
    m_cSeparador = cSeparador;
    m_buffer.resize(kBufferLectura);
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

// The next line that is not a comment; false at the end of the file. Lines are read whole,
// however long, so a long line never turns into two.
bool CTxtIter::LeerLinea()
{
    for (;;)
    {
        m_linea.clear();
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
                    m_linea += '\r';
            }
            if (c == '\r')
            {
                retornoPendiente = true; // CR LF is one line break
                continue;
            }
            m_linea += c;
            if (c == '\n')
                break;
        }
        if (retornoPendiente)
            m_linea += '\r';
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
    if (iFilas < 0)
        return E_NOTIMPL;
    if (!IsOpen())
        return E_FAIL;
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
    const size_t fin = m_linea.find(m_cSeparador, inicio);
    if (fin != std::string::npos)
        valor = m_linea.substr(inicio, fin - inicio);
    else
    {
        // The last field runs to the end of the line, without the line break.
        size_t finLinea = m_linea.size();
        if (finLinea > inicio && m_linea[finLinea - 1] == '\n')
            --finLinea;
        valor = m_linea.substr(inicio, finLinea - inicio);
    }
    return S_OK;
}

HRESULT CTxtIter::GetFieldValue(LONG lIndice, LONG &lValor)
{
    lValor = 0;
    std::string texto;
    const HRESULT hr = GetFieldValue(lIndice, texto);
    if (FAILED(hr))
        return hr;
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
