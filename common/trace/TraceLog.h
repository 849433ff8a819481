// CTraceLog: the plain-text trace every deliverable keeps in the temporary folder, appended to
// on every run, a banner at the start of each run and a time stamp to the millisecond on every
// line. It never stops its users: a log that cannot be opened stays silent.
#pragma once

#include "platform/windows.h"

class CTraceLog
{
  public:
    CTraceLog();
    virtual ~CTraceLog();
    CTraceLog(const CTraceLog &) = delete;
    CTraceLog &operator=(const CTraceLog &) = delete;

    void SetDirectory(const char *pszDirectory);
    void SetFileName(const char *pszFileName);
    // Only HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are accepted as the root.
    void SetRegistrySwitch(const char *pszKey, const char *pszValue, HKEY hRoot);
    void SetAlwaysOn(DWORD dwAlwaysOn);

    HRESULT Open();
    HRESULT Write(const char *pszMessage);
    HRESULT WriteText(const char *pszMessage, const char *pszDetail);
    HRESULT WriteNumber(const char *pszMessage, const char *pszLabel, int nNumber);
    HRESULT Close();

    // Longest text a setter keeps, and the longest composed trace line (with its NUL).
    static constexpr size_t kMaxText = MAX_PATH - 1;
    static constexpr size_t kMaxLine = 1024;
    // A file larger than this is started afresh at the next Open.
    static constexpr DWORD kMaxFileSize = 204800;

  private:
    void ReadRegistrySwitch();
    HRESULT WriteRaw(const char *pszText, size_t cbText);

    DWORD m_dwRegistryEnabled;
    DWORD m_dwAlwaysOn;
    char m_szPath[MAX_PATH];
    char m_szFileName[MAX_PATH];
    char m_szDirectory[MAX_PATH];
    char m_szRegistryKey[MAX_PATH];
    char m_szRegistryValue[MAX_PATH];
    HANDLE m_hFile;
    HKEY m_hRegistryRoot;
};
