// CIniFile: one Windows INI file and a section of it, through the platform's private-profile
// functions. A relative name is taken against the current directory (the profile functions
// would look in the Windows folder).
#pragma once

#include "platform/windows.h"

#include <string>
#include <vector>

class CIniFile
{
  public:
    // The longest value Read gives.
    static constexpr DWORD kMaxValue = 16384;

    void Open(const std::string &fileName);
    void SetSection(const std::string &section) { m_section = section; }
    const std::string &Path() const { return m_path; }

    // Empty when the key is absent.
    std::string Read(const char *pszKey) const;
    // Throws CSystemError with the last Windows error when the file cannot take it.
    void Write(const char *pszKey, const std::string &value) const;

  private:
    std::string m_path;
    std::string m_section;
};
