// The part of MFC the kit's classes stand on (MFC42.DLL's afx.h): CObject with run-time class
// information, CException, CString, CStringList and CFile with CFileException. Narrow text
// (Windows 1252), as the kit is built without _UNICODE.
#pragma once

#include "platform/windows.h"

#include <cstdarg>
#include <string>

class CObject;

// What DECLARE_DYNAMIC records of a class: its name, size, schema and base.
struct CRuntimeClass
{
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema; // 0xFFFF: not serialisable
    CObject *(PASCAL *m_pfnCreateObject)();
    CRuntimeClass *m_pBaseClass;

    BOOL IsDerivedFrom(const CRuntimeClass *pBaseClass) const;
    CObject *CreateObject(); // NULL without dynamic creation
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                                                          \
  public:                                                                                                    \
    static CRuntimeClass class##class_name;                                                                  \
    CRuntimeClass *GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                                       \
    CRuntimeClass class_name::class##class_name = {#class_name, sizeof(class_name), 0xFFFF, nullptr,         \
                                                   RUNTIME_CLASS(base_class_name)};                          \
    CRuntimeClass *class_name::GetRuntimeClass() const                                                       \
    {                                                                                                        \
        return RUNTIME_CLASS(class_name);                                                                    \
    }

// The root of MFC's classes. Its virtuals in Windows' slot order: GetRuntimeClass, the
// destructor, Serialize, AssertValid (the debug Dump is left out, as a release build has none).
class CObject
{
  public:
    static CRuntimeClass classCObject;
    virtual CRuntimeClass *GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize(void *ar); // CArchive is not part of this subset; a no-op
    virtual void AssertValid() const {}

    BOOL IsKindOf(const CRuntimeClass *pClass) const;

  protected:
    CObject() = default;
    CObject(const CObject &) = default;
    CObject &operator=(const CObject &) = default;
};

// A growable narrow string with MFC's interface.
class CString
{
  public:
    CString() = default;
    CString(const CString &) = default;
    CString(LPCSTR psz) : m_text(psz ? psz : "") {}
    CString(LPCSTR pch, int nLength) : m_text(pch ? std::string(pch, static_cast<size_t>(nLength)) : "") {}
    CString(char ch, int nRepeat = 1) : m_text(static_cast<size_t>(nRepeat > 0 ? nRepeat : 0), ch) {}
    CString &operator=(const CString &) = default;
    CString &operator=(LPCSTR psz);
    CString &operator=(char ch);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int nIndex) const { return m_text.at(static_cast<size_t>(nIndex)); }
    void SetAt(int nIndex, char ch) { m_text.at(static_cast<size_t>(nIndex)) = ch; }
    char operator[](int nIndex) const { return GetAt(nIndex); }
    operator LPCSTR() const { return m_text.c_str(); }

    CString &operator+=(const CString &s);
    CString &operator+=(LPCSTR psz);
    CString &operator+=(char ch);
    friend CString operator+(const CString &a, const CString &b);
    friend CString operator+(const CString &a, LPCSTR b);
    friend CString operator+(LPCSTR a, const CString &b);
    friend CString operator+(const CString &a, char b);

    int Compare(LPCSTR psz) const;       // by byte value
    int CompareNoCase(LPCSTR psz) const; // Windows 1252 case folded
    friend bool operator==(const CString &a, LPCSTR b) { return a.Compare(b) == 0; }
    friend bool operator==(const CString &a, const CString &b) { return a.m_text == b.m_text; }
    friend bool operator<(const CString &a, const CString &b) { return a.m_text < b.m_text; }

    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    int Find(char ch, int nStart = 0) const;
    int Find(LPCSTR pszSub, int nStart = 0) const;
    int ReverseFind(char ch) const;
    void MakeUpper(); // ASCII letters and Windows 1252's accented ones
    void MakeLower();
    void TrimLeft(); // blanks, tabs, CR and LF
    void TrimRight();
    int Replace(LPCSTR pszOld, LPCSTR pszNew);

    void Format(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(LPCSTR pszFormat, va_list args);

    // The buffer for writing at least nMinBufLength characters; ReleaseBuffer ends the text at
    // nNewLength, or at the first NUL for -1.
    LPSTR GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);

  private:
    std::string m_text;
};

struct __POSITION;
typedef __POSITION *POSITION;

// A doubly linked list of CString, walked by POSITION.
class CStringList : public CObject
{
    DECLARE_DYNAMIC(CStringList)
  public:
    CStringList() = default;
    ~CStringList() override;
    CStringList(const CStringList &) = delete;
    CStringList &operator=(const CStringList &) = delete;

    int GetCount() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }
    POSITION AddHead(LPCSTR newElement);
    POSITION AddTail(LPCSTR newElement);
    void RemoveAll();
    CString &GetHead();
    CString &GetTail();
    CString RemoveHead();
    CString RemoveTail();
    POSITION GetHeadPosition() const;
    POSITION GetTailPosition() const;
    CString &GetNext(POSITION &rPosition);
    CString &GetPrev(POSITION &rPosition);
    CString &GetAt(POSITION position);
    void RemoveAt(POSITION position);
    POSITION Find(LPCSTR searchValue, POSITION startAfter = nullptr) const;

  private:
    struct Node;
    Node *m_pHead = nullptr;
    Node *m_pTail = nullptr;
    int m_nCount = 0;
};

// The exceptions MFC throws by pointer; the catcher calls Delete.
class CException : public CObject
{
    DECLARE_DYNAMIC(CException)
  public:
    CException() = default;
    explicit CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}
    // Frees an exception thrown from the heap (auto-delete); a stack one is left alone.
    void Delete();
    virtual BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr);
    // Shows the message to the user. The platform has no windows: it writes the message to the
    // standard error of the program and returns IDOK.
    virtual int ReportError(UINT nType = 0, UINT nMessageID = 0);

    // FALSE for an exception that is not on the heap (MFC keeps it public too).
    BOOL m_bAutoDelete = TRUE;
};

class CFileException : public CException
{
    DECLARE_DYNAMIC(CFileException)
  public:
    enum
    {
        none,
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };
    explicit CFileException(int cause = none, LONG lOsError = -1, LPCSTR lpszArchiveName = nullptr)
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszArchiveName)
    {
    }
    // The cause for a Windows error code.
    static int PASCAL OsErrorToException(LONG lOsError);
    static void PASCAL ThrowOsError(LONG lOsError, LPCSTR lpszFileName = nullptr);
    BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

// A file through the platform's CreateFileA; failures throw a CFileException (Open reports
// them instead).
class CFile : public CObject
{
    DECLARE_DYNAMIC(CFile)
  public:
    enum OpenFlags : UINT
    {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };
    enum SeekPosition : UINT
    {
        begin = 0,
        current = 1,
        end = 2
    };
    static const HANDLE hFileNull;

    CFile() = default;
    CFile(LPCSTR lpszFileName, UINT nOpenFlags);
    ~CFile() override;
    CFile(const CFile &) = delete;
    CFile &operator=(const CFile &) = delete;

    virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException *pError = nullptr);
    virtual UINT Read(void *lpBuf, UINT nCount);
    virtual void Write(const void *lpBuf, UINT nCount);
    virtual LONG Seek(LONG lOff, UINT nFrom);
    DWORD SeekToEnd() { return static_cast<DWORD>(Seek(0, end)); }
    void SeekToBegin() { Seek(0, begin); }
    virtual DWORD GetLength() const;
    virtual DWORD GetPosition() const;
    virtual void Flush();
    virtual void Close();
    virtual void Abort(); // closes without throwing
    CString GetFilePath() const { return m_strFileName; }

    HANDLE m_hFile = INVALID_HANDLE_VALUE;

  private:
    [[noreturn]] void ThrowLastError() const;
    CString m_strFileName;
};
