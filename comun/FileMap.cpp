// CFileMap: named file mappings shared between the processes of the PC.
#include "comun/FileMap.h"
#include "comun/Internal.h"

CFileMap::CFileMap() = default;

CFileMap::~CFileMap()
{
    Close();
}

HRESULT CFileMap::Open(LPCSTR pszNombre, LONG lModo)
{
    Close();
    // A block is found by its name: without one there is nothing to open.
    if (!pszNombre || !*pszNombre || (lModo != modoTotal && !(lModo & modoSoloLectura)))
        return E_INVALIDARG;
    const DWORD access = (lModo & modoSoloLectura) ? FILE_MAP_READ : FILE_MAP_ALL_ACCESS;
    HANDLE map = OpenFileMappingA(access, TRUE, pszNombre);
    if (!map)
        return comun::HResultUltimoError();
    LPVOID view = MapViewOfFile(map, access, 0, 0, 0);
    if (!view)
    {
        const HRESULT hr = comun::HResultUltimoError();
        CloseHandle(map);
        return hr;
    }
    m_hMap = map;
    m_pView = view;
    return S_OK;
}

HRESULT CFileMap::CreateTemp(DWORD dwSize, LPCSTR pszNombre)
{
    Close();
    if (dwSize == 0)
        return E_INVALIDARG;
    HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, dwSize, pszNombre);
    if (!map)
        return comun::HResultUltimoError();
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    LPVOID view = MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, dwSize);
    if (!view)
    {
        const HRESULT hr = comun::HResultUltimoError();
        CloseHandle(map);
        return hr;
    }
    m_hMap = map;
    m_pView = view;
    return existed ? S_FALSE : S_OK;
}

HRESULT CFileMap::Create(LPCSTR, DWORD, LPCSTR, LONG)
{
    return E_NOTIMPL;
}

HRESULT CFileMap::Close()
{
    if (!IsOpen())
        return S_FALSE;
    if (m_pView)
        UnmapViewOfFile(m_pView);
    CloseHandle(m_hMap);
    m_pView = nullptr;
    m_hMap = nullptr;
    return S_OK;
}

BOOL CFileMap::IsOpen() const
{
    return m_hMap != nullptr;
}

LPVOID CFileMap::VerPFileMap() const
{
    return m_pView;
}
