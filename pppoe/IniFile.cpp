#include "pppoe/IniFile.h"

#include "pppoe/RasIter.h"

void CIniFile::Open(const std::string &fileName)
{
    char szFull[MAX_PATH] = "";
    char *pszPart = nullptr;
    const DWORD n = GetFullPathNameA(fileName.c_str(), sizeof szFull, szFull, &pszPart);
    m_path = n > 0 && n < sizeof szFull ? std::string(szFull, n) : fileName;
}

std::string CIniFile::Read(const char *pszKey) const
{
    std::vector<char> value(kMaxValue + 1, '\0');
    const DWORD n = GetPrivateProfileStringA(m_section.c_str(), pszKey, "", value.data(),
                                             static_cast<DWORD>(value.size()), m_path.c_str());
    return std::string(value.data(), n);
}

void CIniFile::Write(const char *pszKey, const std::string &value) const
{
    if (!WritePrivateProfileStringA(m_section.c_str(), pszKey, value.c_str(), m_path.c_str()))
        throw CSystemError(HRESULT_FROM_WIN32(GetLastError()));
}
