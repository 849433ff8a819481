// CIterador: the interface of the library's iterators (over arguments, over lines of text...).
// The base class answers as an empty iterator that cannot move or change anything.
#pragma once

#include "comun/Export.h"
#include "platform/windows.h"

#include <string>

class CIterador;

// A search criterion: 0 when the current element matches, a positive value to go on, a negative
// status to stop with that error. a, b and c are the caller's (pointer-sized, so texts fit).
typedef HRESULT (*PFNCRITERIO)(CIterador *pIter, LONG_PTR a, LONG_PTR b, LONG_PTR c);

// Edit modes (GetEditMode) and open options, as DAO names them.
enum EditModeEnum
{
    dbEditNone = 0,
    dbEditInProgress = 1,
    dbEditAdd = 2,
    dbEditChanged = 4,
    dbEditDeleted = 8,
    dbEditNew = 16,
};
enum
{
    dbReadOnly = 4,
    dbAppendOnly = 8,
};

class QELCOMUN_API CIterador
{
  public:
    CIterador();
    virtual ~CIterador();

    virtual HRESULT Close();
    virtual BOOL IsOpen();
    virtual BOOL IsBOF();
    virtual BOOL IsEOF();
    virtual HRESULT Move(int iFilas);
    virtual HRESULT MoveFirst();
    virtual HRESULT MoveNext();
    virtual HRESULT MovePrev();
    virtual BOOL CanUpdate();
    virtual BOOL CanAppend();
    virtual int GetEditMode();
    virtual HRESULT AddNew();
    virtual HRESULT Edit();
    virtual HRESULT Update();
    virtual HRESULT Delete();
    virtual HRESULT CancelUpdate();
    // From the first element: 0 and positioned on the first match, 1 (S_FALSE) when none matches.
    // By text: equal texts, with case (bCaso TRUE) or without. By number: both zero or both not.
    virtual HRESULT FindFirst(LPCSTR pszCampo, LPCSTR pszTexto, BOOL bCaso);
    virtual HRESULT FindFirst(LPCSTR pszCampo, int iValor);
    virtual HRESULT FindFirst(PFNCRITERIO pfnCriterio, LONG_PTR a, LONG_PTR b, LONG_PTR c);
    // The same from the current element; E_FAIL when already at the end.
    virtual HRESULT FindNext(LPCSTR pszCampo, LPCSTR pszTexto, BOOL bCaso);
    virtual HRESULT FindNext(LPCSTR pszCampo, int iValor);
    virtual HRESULT FindNext(PFNCRITERIO pfnCriterio, LONG_PTR a, LONG_PTR b, LONG_PTR c);
    virtual HRESULT GetFieldValue(LPCSTR pszCampo, std::string &valor);
    virtual HRESULT GetFieldValue(LPCSTR pszCampo, int &iValor);
    virtual HRESULT SetFieldValue(LPCSTR pszCampo, LPCSTR pszValor);
    virtual HRESULT SetFieldValue(LPCSTR pszCampo, int iValor);
    virtual HRESULT SetFieldValueNull(LPCSTR pszCampo);
    // "{CIterador,<edit mode>}".
    virtual std::string VerObjeto();

    static std::string VerTextoEditMode(int iModo);
    static std::string VerTextoOpciones(long lOpciones);
};
