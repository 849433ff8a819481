#include "common/trace/TraceLog.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
const char kBanner[] = "********************* NUEVA EJECUCION DEL LOG ******************";

// Copies at most CTraceLog::kMaxText characters and the NUL; NULL stores an empty text.
void CopyText(char (&target)[MAX_PATH], const char *source)
{
    if (!source)
    {
        target[0] = '\0';
        return;
    }
    const size_t length = strnlen(source, CTraceLog::kMaxText);
    std::memcpy(target, source, length);
    target[length] = '\0';
}

// What a text-mode stream writes for the text: every LF becomes CR LF.
std::string TextModeBytes(const char *text, size_t length)
{
    std::string bytes;
    bytes.reserve(length + 8);
    for (size_t i = 0; i < length; ++i)
    {
        if (text[i] == '\n')
            bytes += '\r';
        bytes += text[i];
    }
    return bytes;
}
} // namespace

CTraceLog::CTraceLog()
    : m_dwRegistryEnabled(0), m_dwAlwaysOn(0), m_szPath(), m_szFileName(), m_szDirectory(), m_szRegistryKey(),
      m_szRegistryValue(), m_hFile(INVALID_HANDLE_VALUE), m_hRegistryRoot(HKEY_LOCAL_MACHINE)
{
    CopyText(m_szFileName, "Log.txt");
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length > 0 && length < sizeof temp)
        CopyText(m_szDirectory, temp);
}

CTraceLog::~CTraceLog()
{
    Close();
}

void CTraceLog::SetDirectory(const char *pszDirectory)
{
    CopyText(m_szDirectory, pszDirectory);
}

void CTraceLog::SetFileName(const char *pszFileName)
{
    CopyText(m_szFileName, pszFileName);
}

void CTraceLog::SetRegistrySwitch(const char *pszKey, const char *pszValue, HKEY hRoot)
{
    CopyText(m_szRegistryKey, pszKey);
    CopyText(m_szRegistryValue, pszValue);
    if (hRoot == HKEY_LOCAL_MACHINE || hRoot == HKEY_CURRENT_USER)
        m_hRegistryRoot = hRoot;
}

void CTraceLog::SetAlwaysOn(DWORD dwAlwaysOn)
{
    m_dwAlwaysOn = dwAlwaysOn;
}

// The registry switch turns the log on only when its value holds exactly 1.
void CTraceLog::ReadRegistrySwitch()
{
    m_dwRegistryEnabled = 0;
    if (m_szRegistryKey[0] == '\0' || m_szRegistryValue[0] == '\0')
        return;
    HKEY hKey;
    if (RegOpenKeyExA(m_hRegistryRoot, m_szRegistryKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    DWORD dwValue = 0;
    DWORD cbValue = sizeof dwValue;
    if (RegQueryValueExA(hKey, m_szRegistryValue, nullptr, nullptr, reinterpret_cast<LPBYTE>(&dwValue),
                         &cbValue) == ERROR_SUCCESS &&
        dwValue == 1)
        m_dwRegistryEnabled = 1;
    RegCloseKey(hKey);
}

HRESULT CTraceLog::Open()
{
    if (m_szFileName[0] == '\0')
        return E_INVALIDARG;
    const size_t directoryLength = std::strlen(m_szDirectory);
    const bool bare = directoryLength == 0 || m_szDirectory[directoryLength - 1] == '\\';
    std::snprintf(m_szPath, sizeof m_szPath, bare ? "%s%s" : "%s\\%s", m_szDirectory, m_szFileName);

    ReadRegistrySwitch();
    HRESULT hr = Close();
    if (FAILED(hr))
        return hr;

    // A file above the limit is started afresh; one held open elsewhere cannot be opened
    // exclusively and is kept whatever its size.
    HANDLE hExisting =
        CreateFileA(m_szPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hExisting != INVALID_HANDLE_VALUE)
    {
        DWORD dwSize = GetFileSize(hExisting, nullptr);
        CloseHandle(hExisting);
        if (dwSize != INVALID_FILE_SIZE && dwSize > kMaxFileSize)
            DeleteFileA(m_szPath);
    }

    m_hFile = CreateFileA(m_szPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return E_FAIL;
    WriteRaw("\n\n", 2);
    return Write(kBanner);
}

HRESULT CTraceLog::WriteRaw(const char *pszText, size_t cbText)
{
    const std::string bytes = TextModeBytes(pszText, cbText);
    DWORD dwWritten = 0;
    // WriteFile hands the line to the system at once (nothing is buffered in the process), so a
    // dying process leaves every line written; no need to wait for the disk itself.
    if (!WriteFile(m_hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr))
        return E_FAIL;
    return S_OK;
}

HRESULT CTraceLog::Write(const char *pszMessage)
{
    if (!pszMessage || m_hFile == INVALID_HANDLE_VALUE)
        return E_FAIL;
    if (m_dwRegistryEnabled == 0 && m_dwAlwaysOn == 0)
        return S_OK;
    SYSTEMTIME st;
    GetLocalTime(&st);
    // The line is formatted as the platform's formatting call would: cut to kMaxLine bytes with
    // its NUL, so a longer message loses its end, line break included.
    char szLine[kMaxLine];
    int length =
        std::snprintf(szLine, sizeof szLine, "%02d/%02d/%d a las %02d:%02d:%02d(%03d) -- %s\n", st.wDay,
                      st.wMonth, st.wYear, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, pszMessage);
    if (length < 0)
        return E_FAIL;
    return WriteRaw(szLine, std::min(static_cast<size_t>(length), sizeof szLine - 1));
}

HRESULT CTraceLog::WriteText(const char *pszMessage, const char *pszDetail)
{
    if (!pszMessage || !pszDetail)
        return E_FAIL;
    std::string text = std::string(pszMessage) + " [" + pszDetail + "]";
    return Write(text.c_str());
}

HRESULT CTraceLog::WriteNumber(const char *pszMessage, const char *pszLabel, int nNumber)
{
    if (!pszMessage || !pszLabel)
        return E_FAIL;
    std::string text = std::string(pszMessage) + " [" + pszLabel + ": " + std::to_string(nNumber) + "]";
    return Write(text.c_str());
}

HRESULT CTraceLog::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
    {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    return S_OK;
}
