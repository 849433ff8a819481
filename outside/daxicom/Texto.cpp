// Narrow texts and BSTRs.
#include "outside/daxicom/Texto.h"

namespace daxicom
{
std::basic_string<OLECHAR> Ancho(LPCSTR psz)
{
    std::basic_string<OLECHAR> ancho;
    for (const char *p = psz ? psz : ""; *p; ++p)
        ancho.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(*p)));
    return ancho;
}

std::string Estrecho(BSTR bstr)
{
    std::string texto;
    const UINT n = bstr ? SysStringLen(bstr) : 0;
    texto.reserve(n);
    for (UINT i = 0; i < n; ++i)
        texto.push_back(static_cast<char>(bstr[i] & 0xFF));
    return texto;
}

CBstr::CBstr(LPCSTR psz)
{
    if (!psz)
        return;
    const std::basic_string<OLECHAR> ancho = Ancho(psz);
    m_bstr = SysAllocStringLen(ancho.data(), static_cast<UINT>(ancho.size()));
}

CBstr::~CBstr()
{
    SysFreeString(m_bstr);
}

BSTR *CBstr::Put()
{
    SysFreeString(m_bstr);
    m_bstr = nullptr;
    return &m_bstr;
}
} // namespace daxicom
