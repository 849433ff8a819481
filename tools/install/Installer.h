// The kit's installation onto the current PC, as the product's installer leaves it: the
// installation folder, the shared folder with the registered COM servers and their counters,
// the shortcuts, the application key, and Install.log recording all of it.
#pragma once

#include "tools/install/InstallLog.h"

#include <string>

struct KitFile; // one file of the kit: where it is in the build and where it goes

struct InstallOptions
{
    std::string bin;                 // the build's programs; its libraries are in bin/../lib
    std::string product = "KitADSL"; // the application key under HKLM Software\Nuv\Dax ("Registro")
    std::string folder = "KitADSL";  // the installation folder under the shared folder
};

class CInstaller
{
  public:
    explicit CInstaller(InstallOptions options) : options_(std::move(options)) {}

    // Installs; false with Error() when something could not be done. What was done up to the
    // failure is in Install.log all the same, so the uninstaller can undo it.
    bool Run();
    const std::string &Error() const { return error_; }
    const std::string &InstallFolder() const { return install_; }

  private:
    bool Fail(const std::string &what);
    bool CheckSources();
    bool ReadProduct();
    bool CheckRights();
    bool FindFolders();
    bool Install();
    bool MakeFolder(const std::string &folder);
    bool CopyKitFile(const KitFile &item);
    bool CountShared(const std::string &file);
    bool WriteSettings();
    bool WriteStringFile();
    bool RegisterServers();
    bool MakeShortcuts();
    bool MakeShortcut(const std::string &link, const std::string &target, const std::string &description);
    bool WriteApplicationKey();
    bool WriteValue(HKEY root, const std::string &key, const char *name, const std::string &text);

    std::string SourceOf(const KitFile &item) const;
    std::string TargetOf(const KitFile &item) const;

    InstallOptions options_;
    std::string lib_;
    std::string nemonico_, mutex_, title_;
    std::string shared_, install_, desktop_, help_;
    CInstallLog log_;
    std::string error_;
};
