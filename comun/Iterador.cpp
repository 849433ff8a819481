// CIterador: the iterators' interface and the searches every iterator shares.
#include "comun/Iterador.h"
#include "comun/Internal.h"

#include <cstring>

namespace
{
// A text field equal to the text b, with case when c is TRUE.
HRESULT CriterioTexto(CIterador *pIter, LONG_PTR a, LONG_PTR b, LONG_PTR c)
{
    std::string valor;
    const HRESULT hr = pIter->GetFieldValue(reinterpret_cast<LPCSTR>(a), valor);
    if (FAILED(hr))
        return hr;
    const auto *texto = reinterpret_cast<LPCSTR>(b);
    const bool igual = c ? valor == texto : comun::IgualSinCaso(valor, texto);
    return igual ? S_OK : S_FALSE;
}

// A numeric field that is zero exactly when the value b is.
HRESULT CriterioNumero(CIterador *pIter, LONG_PTR a, LONG_PTR b, LONG_PTR)
{
    int valor = 0;
    const HRESULT hr = pIter->GetFieldValue(reinterpret_cast<LPCSTR>(a), valor);
    if (FAILED(hr))
        return hr;
    return (valor == 0) == (b == 0) ? S_OK : S_FALSE;
}
} // namespace

CIterador::CIterador() = default;

CIterador::~CIterador() = default;

HRESULT CIterador::Close()
{
    return S_FALSE; // nothing is open
}

BOOL CIterador::IsOpen()
{
    return FALSE;
}

BOOL CIterador::IsBOF()
{
    return TRUE;
}

BOOL CIterador::IsEOF()
{
    return TRUE;
}

HRESULT CIterador::Move(int)
{
    return E_NOTIMPL;
}

HRESULT CIterador::MoveFirst()
{
    return E_NOTIMPL;
}

HRESULT CIterador::MoveNext()
{
    return E_NOTIMPL;
}

HRESULT CIterador::MovePrev()
{
    return E_NOTIMPL;
}

BOOL CIterador::CanUpdate()
{
    return FALSE;
}

BOOL CIterador::CanAppend()
{
    return FALSE;
}

int CIterador::GetEditMode()
{
    return dbEditNone;
}

HRESULT CIterador::AddNew()
{
    return E_NOTIMPL;
}

HRESULT CIterador::Edit()
{
    return E_NOTIMPL;
}

HRESULT CIterador::Update()
{
    return E_NOTIMPL;
}

HRESULT CIterador::Delete()
{
    return E_NOTIMPL;
}

HRESULT CIterador::CancelUpdate()
{
    return E_NOTIMPL;
}

HRESULT CIterador::FindFirst(LPCSTR pszCampo, LPCSTR pszTexto, BOOL bCaso)
{
    if (!pszTexto)
        return E_INVALIDARG;
    return FindFirst(CriterioTexto, reinterpret_cast<LONG_PTR>(pszCampo),
                     reinterpret_cast<LONG_PTR>(pszTexto), bCaso);
}

HRESULT CIterador::FindFirst(LPCSTR pszCampo, int iValor)
{
    return FindFirst(CriterioNumero, reinterpret_cast<LONG_PTR>(pszCampo), iValor, 0);
}

HRESULT CIterador::FindFirst(PFNCRITERIO pfnCriterio, LONG_PTR a, LONG_PTR b, LONG_PTR c)
{
    if (!pfnCriterio)
        return E_INVALIDARG;
    const HRESULT hr = MoveFirst();
    if (FAILED(hr))
        return hr;
    if (IsEOF())
        return S_FALSE;
    return FindNext(pfnCriterio, a, b, c);
}

HRESULT CIterador::FindNext(LPCSTR pszCampo, LPCSTR pszTexto, BOOL bCaso)
{
    if (!pszTexto)
        return E_INVALIDARG;
    return FindNext(CriterioTexto, reinterpret_cast<LONG_PTR>(pszCampo), reinterpret_cast<LONG_PTR>(pszTexto),
                    bCaso);
}

HRESULT CIterador::FindNext(LPCSTR pszCampo, int iValor)
{
    return FindNext(CriterioNumero, reinterpret_cast<LONG_PTR>(pszCampo), iValor, 0);
}

HRESULT CIterador::FindNext(PFNCRITERIO pfnCriterio, LONG_PTR a, LONG_PTR b, LONG_PTR c)
{
    if (!pfnCriterio)
        return E_INVALIDARG;
    if (IsEOF())
        return E_FAIL;
    for (;;)
    {
        const HRESULT resultado = pfnCriterio(this, a, b, c);
        if (resultado < 0)
            return resultado;
        if (resultado == 0)
            return S_OK;
        const HRESULT hr = MoveNext();
        if (IsEOF())
            return S_FALSE; // past the last element: nothing matched
        if (FAILED(hr))
            return hr;
    }
}

HRESULT CIterador::GetFieldValue(LPCSTR, std::string &valor)
{
    valor.clear();
    return E_NOTIMPL;
}

HRESULT CIterador::GetFieldValue(LPCSTR, int &iValor)
{
    iValor = 0;
    return E_NOTIMPL;
}

HRESULT CIterador::SetFieldValue(LPCSTR, LPCSTR)
{
    return E_NOTIMPL;
}

HRESULT CIterador::SetFieldValue(LPCSTR, int)
{
    return E_NOTIMPL;
}

HRESULT CIterador::SetFieldValueNull(LPCSTR)
{
    return E_NOTIMPL;
}

std::string CIterador::VerObjeto()
{
    return "{CIterador," + VerTextoEditMode(GetEditMode()) + "}";
}

std::string CIterador::VerTextoEditMode(int iModo)
{
    switch (iModo)
    {
    case dbEditNone:
        return "dbEditNone";
    case dbEditInProgress:
        return "dbEditInProgress";
    case dbEditAdd:
        return "dbEditAdd";
    case dbEditChanged:
        return "dbEditChanged";
    case dbEditDeleted:
        return "dbEditDeleted";
    case dbEditNew:
        return "dbEditNew";
    default:
        return comun::Formato("%d", iModo);
    }
}

std::string CIterador::VerTextoOpciones(long lOpciones)
{
    if (lOpciones != dbReadOnly && lOpciones != dbAppendOnly && lOpciones != (dbReadOnly | dbAppendOnly))
        return comun::Formato("%ld", lOpciones);
    std::string texto;
    if (lOpciones & dbReadOnly)
        texto += "dbReadOnly";
    if (lOpciones & dbAppendOnly)
        texto += "|dbAppendOnly";
    return texto;
}
