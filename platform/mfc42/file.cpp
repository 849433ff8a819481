// CFile over CreateFileA, ReadFile, WriteFile and SetFilePointer.
#include "platform/afx.h"

IMPLEMENT_DYNAMIC(CFile, CObject)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace
{
DWORD AccessOf(UINT flags)
{
    switch (flags & 3)
    {
    case CFile::modeRead:
        return GENERIC_READ;
    case CFile::modeWrite:
        return GENERIC_WRITE;
    default:
        return GENERIC_READ | GENERIC_WRITE;
    }
}

DWORD ShareOf(UINT flags)
{
    switch (flags & 0x70)
    {
    case CFile::shareExclusive:
        return 0;
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: // shareCompat
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
}

DWORD DispositionOf(UINT flags)
{
    if (flags & CFile::modeCreate)
        return (flags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    return OPEN_EXISTING;
}
} // namespace

CFile::CFile(LPCSTR lpszFileName, UINT nOpenFlags)
{
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error))
        CFileException::ThrowOsError(error.m_lOsError, error.m_strFileName);
}

CFile::~CFile()
{
    Abort();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException *pError)
{
    Abort();
    m_strFileName = lpszFileName;
    m_hFile = CreateFileA(lpszFileName, AccessOf(nOpenFlags), ShareOf(nOpenFlags), nullptr,
                          DispositionOf(nOpenFlags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile != INVALID_HANDLE_VALUE)
        return TRUE;
    if (pError)
    {
        pError->m_lOsError = static_cast<LONG>(GetLastError());
        pError->m_cause = CFileException::OsErrorToException(pError->m_lOsError);
        pError->m_strFileName = lpszFileName;
    }
    return FALSE;
}

void CFile::ThrowLastError() const
{
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    throw new CFileException(CFileException::generic, -1, m_strFileName); // a failure without a code
}

UINT CFile::Read(void *lpBuf, UINT nCount)
{
    DWORD done = 0;
    if (nCount && !ReadFile(m_hFile, lpBuf, nCount, &done, nullptr))
        ThrowLastError();
    return done;
}

void CFile::Write(const void *lpBuf, UINT nCount)
{
    DWORD done = 0;
    if (nCount == 0)
        return;
    if (!WriteFile(m_hFile, lpBuf, nCount, &done, nullptr))
        ThrowLastError();
    if (done < nCount)
        throw new CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

LONG CFile::Seek(LONG lOff, UINT nFrom)
{
    const DWORD position = SetFilePointer(m_hFile, lOff, nullptr, nFrom);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        ThrowLastError();
    return static_cast<LONG>(position);
}

DWORD CFile::GetLength() const
{
    const DWORD size = GetFileSize(m_hFile, nullptr);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        ThrowLastError();
    return size;
}

DWORD CFile::GetPosition() const
{
    const DWORD position = SetFilePointer(m_hFile, 0, nullptr, FILE_CURRENT);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        ThrowLastError();
    return position;
}

void CFile::Flush()
{
    if (m_hFile != INVALID_HANDLE_VALUE && !FlushFileBuffers(m_hFile))
        ThrowLastError();
}

void CFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    const BOOL closed = CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (!closed)
        ThrowLastError();
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}
