// CProfile: INI files through GetPrivateProfileStringA / WritePrivateProfileStringA.
#include "comun/Profile.h"
#include "comun/Internal.h"

#include <vector>

namespace
{
// The buffer VerValor reads with first; longer values are read again with a larger buffer, so
// none is cut.
constexpr DWORD kBufferValor = 16384;
constexpr DWORD kMaxValor = 64u << 20;
} // namespace

CProfile::CProfile() = default;

CProfile::~CProfile() = default;

HRESULT CProfile::Open(LPCSTR pszPath, LONG lModo)
{
    Close();
    if (!pszPath || !*pszPath || (lModo != modoLecturaEscritura && lModo != modoSoloLectura))
        return E_INVALIDARG;
    m_path = pszPath;
    m_modo = lModo;
    return S_OK;
}

HRESULT CProfile::Close()
{
    if (!IsOpen())
        return S_FALSE;
    m_path.clear();
    m_seccion.clear();
    m_modo = modoLecturaEscritura;
    return S_OK;
}

BOOL CProfile::IsOpen() const
{
    return !m_path.empty();
}

HRESULT CProfile::FijarSeccion(LPCSTR pszSeccion)
{
    if (!IsOpen())
        return E_FAIL;
    if (!pszSeccion)
        return E_INVALIDARG; // a NULL section would read the list of sections
    m_seccion = pszSeccion;
    return S_OK;
}

HRESULT CProfile::VerSeccion(std::string &seccion) const
{
    seccion.clear();
    if (!IsOpen())
        return E_FAIL;
    seccion = m_seccion;
    return S_OK;
}

HRESULT CProfile::VerValor(LPCSTR pszClave, std::string &valor) const
{
    valor.clear();
    if (!IsOpen())
        return E_FAIL;
    if (!pszClave || !*pszClave)
        return E_INVALIDARG;
    std::vector<char> buffer(kBufferValor);
    for (;;)
    {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length =
            GetPrivateProfileStringA(m_seccion.c_str(), pszClave, "", buffer.data(), size, m_path.c_str());
        if (length + 1 < size)
        {
            valor.assign(buffer.data(), length);
            return S_OK;
        }
        // The value filled the buffer: it may have been cut.
        if (size >= kMaxValor)
            return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
        buffer.resize(static_cast<size_t>(size) * 2);
    }
}

HRESULT CProfile::FijarValor(LPCSTR pszClave, LPCSTR pszValor)
{
    if (!IsOpen() || m_modo == modoSoloLectura || m_seccion.empty())
        return E_FAIL;
    if (!pszClave || !*pszClave || !pszValor)
        return E_INVALIDARG; // a NULL value would delete the key
    if (!WritePrivateProfileStringA(m_seccion.c_str(), pszClave, pszValor, m_path.c_str()))
        return comun::HResultUltimoError();
    return S_OK;
}
