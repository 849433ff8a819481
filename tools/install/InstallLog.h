// The record of an installation the uninstaller undoes: Install.log in the installation
// folder, one record a line, each a tag and one blank before its value. Lines are kept while
// the installation runs and added at the end of the file, so a second installation over the
// first leaves both records for one uninstall.
#pragma once

#include "platform/windows.h"

#include <string>
#include <vector>

// The kinds of value the uninstaller can write back ("RegDB Type:").
enum class RegKind
{
    Sz = 0,
    ExpandSz = 1,
    MultiSz = 2,
    Dword = 3,
    Binary = 4,
};

// Root numbers of "RegDB Root:": the predefined key is 0x80000000 plus it.
int RootNumber(HKEY root);
// The name of a predefined key as "RegDB Kill:" spells it.
const char *RootName(HKEY root);

class CInstallLog
{
  public:
    void ProductName(const std::string &nemonico, const std::string &name);
    void TextColor(BYTE red, BYTE green, BYTE blue);
    void MadeDir(const std::string &folder);
    // "File Overwrite:" when the file was there before the copy, "File Copy:" otherwise.
    void FileCopy(const std::string &file, bool overwritten);
    void SelfRegister(const std::string &server);
    void ShellLink(const std::string &link);
    void RegDbKill(HKEY root, const std::string &key);
    // One value written: where, what kind, and its text before (empty when it did not exist).
    void RegDbValue(HKEY root, const std::string &key, const std::string &name, RegKind kind,
                    const std::string &old);

    const std::vector<std::string> &Lines() const { return lines_; }
    // Adds the lines to the end of the file (made when missing), CR LF after each.
    bool AppendTo(const std::string &path) const;

  private:
    void Record(const char *tag, const std::string &value);

    std::vector<std::string> lines_;
};
