#include "tools/install/Installer.h"
#include "common/com/ComPtr.h"
#include "tools/install/UninstallTexts.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>

namespace
{
constexpr char kMakerKey[] = "Software\\Nuv\\Dax";
constexpr char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kDisplayName[] = "Kit ADSL";
constexpr char kHelpFolder[] = "Kit ADSL";
constexpr char kVersion[] = "1.0";
constexpr char kStringFile[] = "UNS_0a00.ini";
constexpr char kSettings[] = "Config.ini"; // the wizard's and the uninstaller's, one file
constexpr char kLogName[] = "Install.log";
// The progress lines of the uninstaller are green.
constexpr BYTE kTextColor[] = {0, 255, 0};
// Every setting of the product is read with a buffer of this size.
constexpr DWORD kSettingSize = 260;

class CKey
{
  public:
    CKey() = default;
    ~CKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    CKey(const CKey &) = delete;
    CKey &operator=(const CKey &) = delete;

    LONG Open(HKEY root, const std::string &path, REGSAM access = KEY_READ)
    {
        return RegOpenKeyExA(root, path.c_str(), 0, access, &key_);
    }
    LONG Create(HKEY root, const std::string &path)
    {
        return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &key_, nullptr);
    }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

struct StoredValue
{
    DWORD type = REG_NONE;
    std::string data;
};

std::optional<StoredValue> ReadValue(HKEY root, const std::string &path, const char *name)
{
    CKey key;
    if (key.Open(root, path) != ERROR_SUCCESS)
        return std::nullopt;
    StoredValue value;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExA(key.Get(), name, nullptr, &value.type, reinterpret_cast<BYTE *>(value.data.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::string Text(const std::optional<StoredValue> &value)
{
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return {};
    return value->data.substr(0, value->data.find('\0'));
}

DWORD Number(const std::optional<StoredValue> &value)
{
    DWORD number = 0;
    if (value && value->type == REG_DWORD && value->data.size() == sizeof number)
        std::copy(value->data.begin(), value->data.end(), reinterpret_cast<char *>(&number));
    return number;
}

// A value as "RegDB Old:" holds it for the uninstaller to write back.
std::string OldText(const std::optional<StoredValue> &value)
{
    if (!value)
        return {};
    char number[16];
    switch (value->type)
    {
    case REG_DWORD:
        std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(Number(value)));
        return number;
    case REG_BINARY: {
        DWORD bits = 0;
        std::copy_n(value->data.begin(), std::min(value->data.size(), sizeof bits),
                    reinterpret_cast<char *>(&bits));
        std::snprintf(number, sizeof number, "%x", static_cast<unsigned>(bits));
        return number;
    }
    default:
        return value->data.substr(0, value->data.find('\0'));
    }
}

RegKind KindOf(DWORD type)
{
    switch (type)
    {
    case REG_EXPAND_SZ:
        return RegKind::ExpandSz;
    case REG_MULTI_SZ:
        return RegKind::MultiSz;
    case REG_DWORD:
        return RegKind::Dword;
    case REG_BINARY:
        return RegKind::Binary;
    default:
        return RegKind::Sz;
    }
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsNt()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// CopyFileA copies no POSIX mode: the programs copied must stay runnable on the host.
void KeepMode(const std::string &source, const std::string &target)
{
    std::string host = target;
    std::replace(host.begin(), host.end(), '\\', '/');
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(source, ec);
    if (!ec)
        std::filesystem::permissions(host, status.permissions(), ec);
}

std::string SystemMessage(DWORD error)
{
    char text[512] = "";
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::string HexCode(HRESULT hr)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(hr));
    return code;
}

std::string Setting(const std::string &file, const char *key)
{
    char value[kSettingSize] = "";
    GetPrivateProfileStringA("General", key, "", value, sizeof value, file.c_str());
    return value;
}

// COM for the registrations and the shortcuts.
class COleSession
{
  public:
    COleSession() : hr_(OleInitialize(nullptr)) {}
    ~COleSession()
    {
        if (SUCCEEDED(hr_))
            OleUninitialize();
    }
    COleSession(const COleSession &) = delete;
    COleSession &operator=(const COleSession &) = delete;
    bool Ok() const { return SUCCEEDED(hr_); }

  private:
    HRESULT hr_;
};

std::u16string Wide(const std::string &text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::u16string wide(size > 0 ? size : 1, u'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    return wide;
}
} // namespace

// One file of the kit: where it is in the build and where it goes on the PC.
struct KitFile
{
    enum From
    {
        Bin,
        Lib
    } from;
    const char *source; // relative to its build folder
    enum To
    {
        Folder,    // the installation folder
        Resources, // its res folder
        Shared     // the maker's shared folder
    } to;
    const char *target;
    bool server; // an in-process COM server to register
};

namespace
{
const KitFile kKitFiles[] = {
    {KitFile::Lib, "QelAsist.so", KitFile::Folder, "QelAsist.so", false},
    {KitFile::Lib, "Config.ini", KitFile::Folder, kSettings, false},
    {KitFile::Lib, "643.cfg", KitFile::Folder, "643.cfg", false},
    {KitFile::Lib, "Bitmap.bmp", KitFile::Folder, "Bitmap.bmp", false},
    {KitFile::Bin, "QelExec", KitFile::Folder, "QelExec", false},
    {KitFile::Bin, "QelFixRt", KitFile::Folder, "QelFixRt", false},
    {KitFile::Bin, "Uninstal", KitFile::Folder, "Uninstal", false},
    {KitFile::Lib, "res/Espera.avi", KitFile::Resources, "Espera.avi", false},
    {KitFile::Lib, "res/Foto.bmp", KitFile::Resources, "Foto.bmp", false},
    {KitFile::Lib, "res/Icono.ico", KitFile::Resources, "Icono.ico", false},
    {KitFile::Lib, "QelComun.so", KitFile::Shared, "QelComun.dll", false},
    {KitFile::Lib, "QelMFC.so", KitFile::Shared, "QelMFC.dll", false},
    {KitFile::Lib, "QelApli.so", KitFile::Shared, "QelApli.dll", false},
    {KitFile::Lib, "DaxICOM.so", KitFile::Shared, "DaxICOM.dll", false},
    {KitFile::Lib, "DaxParam.so", KitFile::Shared, "DaxParam.dll", true},
    {KitFile::Lib, "DaxModem.so", KitFile::Shared, "DaxModem.dll", true},
    {KitFile::Lib, "DaxTcpip.so", KitFile::Shared, "DaxTcpip.dll", true},
    {KitFile::Lib, "DaxWPoet.so", KitFile::Shared, "DaxWPoet.dll", true},
};
} // namespace

bool CInstaller::Fail(const std::string &what)
{
    error_ = what;
    return false;
}

std::string CInstaller::SourceOf(const KitFile &item) const
{
    return (item.from == KitFile::Bin ? options_.bin : lib_) + "/" + item.source;
}

std::string CInstaller::TargetOf(const KitFile &item) const
{
    switch (item.to)
    {
    case KitFile::Folder:
        return install_ + "\\" + item.target;
    case KitFile::Resources:
        return install_ + "\\res\\" + item.target;
    default:
        return shared_ + "\\" + item.target;
    }
}

bool CInstaller::CheckSources()
{
    lib_ = (std::filesystem::path(options_.bin) / ".." / "lib").lexically_normal().string();
    for (const KitFile &item : kKitFiles)
        if (!Exists(SourceOf(item)))
            return Fail("the build has no " + SourceOf(item));
    return true;
}

bool CInstaller::ReadProduct()
{
    const std::string settings = lib_ + "/" + kSettings;
    nemonico_ = Setting(settings, "Nemonico");
    mutex_ = Setting(settings, "Mutex");
    title_ = Setting(settings, "Titulo");
    if (nemonico_.empty() || mutex_.empty() || title_.empty())
        return Fail(settings + " lacks Nemonico, Mutex or Titulo in [General]");
    return true;
}

// Windows lets only an administrator write HKEY_LOCAL_MACHINE on the NT family; the kit is not
// installed halfway for want of it.
bool CInstaller::CheckRights()
{
    CKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE", KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return Fail("installing the kit needs an administrator of the PC");
    return true;
}

bool CInstaller::FindFolders()
{
    const std::string programFiles = Text(ReadValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir"));
    if (programFiles.empty())
        return Fail(std::string("the PC has no ProgramFilesDir in HKEY_LOCAL_MACHINE\\") + kCurrentVersion);
    shared_ = programFiles + "\\Nuv\\Dax";
    install_ = shared_ + "\\" + options_.folder;
    const bool nt = IsNt();
    desktop_ = Text(ReadValue(nt ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kShellFolders,
                              nt ? "Common Desktop" : "Desktop"));
    if (desktop_.empty())
        return Fail("the PC's Shell Folders name no desktop");
    help_ = desktop_ + "\\" + kHelpFolder;
    return true;
}

// The folder and the parents it needs, parents first; each one made is recorded.
bool CInstaller::MakeFolder(const std::string &folder)
{
    if (IsFolder(folder))
        return true;
    const size_t separator = folder.find_last_of("\\/");
    if (separator != std::string::npos && separator > 0 && !MakeFolder(folder.substr(0, separator)))
        return false;
    if (!CreateDirectoryA(folder.c_str(), nullptr))
        return Fail("cannot make " + folder + ": " + SystemMessage(GetLastError()));
    log_.MadeDir(folder);
    return true;
}

bool CInstaller::CountShared(const std::string &file)
{
    CKey key;
    LONG error = key.Create(HKEY_LOCAL_MACHINE, kSharedDlls);
    if (error != ERROR_SUCCESS)
        return Fail(std::string("cannot open HKEY_LOCAL_MACHINE\\") + kSharedDlls + ": " +
                    SystemMessage(error));
    const DWORD count = Number(ReadValue(HKEY_LOCAL_MACHINE, kSharedDlls, file.c_str())) + 1;
    error = RegSetValueExA(key.Get(), file.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&count),
                           sizeof count);
    if (error != ERROR_SUCCESS)
        return Fail("cannot count " + file + " in SharedDlls: " + SystemMessage(error));
    return true;
}

bool CInstaller::CopyKitFile(const KitFile &item)
{
    const std::string target = TargetOf(item);
    const bool existed = Exists(target);
    if (!CopyFileA(SourceOf(item).c_str(), target.c_str(), FALSE))
        return Fail("cannot copy " + SourceOf(item) + " to " + target + ": " + SystemMessage(GetLastError()));
    KeepMode(SourceOf(item), target);
    log_.FileCopy(target, existed);
    return item.to != KitFile::Shared || CountShared(target);
}

// The settings file is the wizard's and the uninstaller's: it gets the product's key name and
// the help folder the uninstaller removes.
bool CInstaller::WriteSettings()
{
    const std::string settings = install_ + "\\" + kSettings;
    if (!WritePrivateProfileStringA("General", "Registro", options_.product.c_str(), settings.c_str()) ||
        !WritePrivateProfileStringA("General", "Ayuda", kHelpFolder, settings.c_str()))
        return Fail("cannot write " + settings + ": " + SystemMessage(GetLastError()));
    return true;
}

bool CInstaller::WriteStringFile()
{
    const std::string file = install_ + "\\" + kStringFile;
    const bool existed = Exists(file);
    if (existed && !DeleteFileA(file.c_str()))
        return Fail("cannot replace " + file + ": " + SystemMessage(GetLastError()));
    for (const UninstallText &text : UninstallTexts())
        if (!WritePrivateProfileStringA("cadenas", text.key, text.text, file.c_str()))
            return Fail("cannot write " + file + ": " + SystemMessage(GetLastError()));
    log_.FileCopy(file, existed);
    return true;
}

bool CInstaller::RegisterServers()
{
    typedef HRESULT(WINAPI * ServerEntry)();
    for (const KitFile &item : kKitFiles)
    {
        if (!item.server)
            continue;
        const std::string server = TargetOf(item);
        const HMODULE module = LoadLibraryA(server.c_str());
        if (!module)
            return Fail("cannot load " + server + ": " + SystemMessage(GetLastError()));
        const auto entry = reinterpret_cast<ServerEntry>(
            reinterpret_cast<void *>(GetProcAddress(module, "DllRegisterServer")));
        const HRESULT hr = entry ? entry() : E_NOTIMPL;
        FreeLibrary(module);
        if (FAILED(hr))
            return Fail("DllRegisterServer of " + server + " failed: " + HexCode(hr));
        log_.SelfRegister(server);
    }
    return true;
}

bool CInstaller::MakeShortcut(const std::string &link, const std::string &target,
                              const std::string &description)
{
    kitcom::ComPtr<IShellLinkA> shell;
    HRESULT hr =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, shell.PutVoid());
    kitcom::ComPtr<IPersistFile> file;
    if (SUCCEEDED(hr))
    {
        shell->SetPath(target.c_str());
        shell->SetWorkingDirectory(install_.c_str());
        shell->SetDescription(description.c_str());
        shell->SetIconLocation((install_ + "\\res\\Icono.ico").c_str(), 0);
        hr = shell->QueryInterface(IID_IPersistFile, file.PutVoid());
    }
    if (SUCCEEDED(hr))
        hr = file->Save(Wide(link).c_str(), TRUE);
    if (FAILED(hr))
        return Fail("cannot make the shortcut " + link + ": " + HexCode(hr));
    log_.ShellLink(link);
    return true;
}

bool CInstaller::MakeShortcuts()
{
    const std::string wizard = install_ + "\\QelExec";
    const std::string uninstaller = install_ + "\\Uninstal";
    const std::string name = title_ + ".lnk";
    return MakeFolder(help_) && MakeShortcut(help_ + "\\" + name, wizard, title_) &&
           MakeShortcut(help_ + "\\Desinstalar " + kDisplayName + ".lnk", uninstaller,
                        std::string("Desinstalar ") + kDisplayName) &&
           MakeShortcut(desktop_ + "\\" + name, wizard, title_);
}

// One REG_SZ value, its old value recorded before it changes.
bool CInstaller::WriteValue(HKEY root, const std::string &path, const char *name, const std::string &text)
{
    const std::optional<StoredValue> old = ReadValue(root, path, name);
    log_.RegDbValue(root, path, name, old ? KindOf(old->type) : RegKind::Sz, OldText(old));
    CKey key;
    LONG error = key.Create(root, path);
    if (error == ERROR_SUCCESS)
        error = RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1));
    if (error != ERROR_SUCCESS)
        return Fail(std::string("cannot write ") + RootName(root) + "\\" + path + " \"" + name +
                    "\": " + SystemMessage(error));
    return true;
}

bool CInstaller::WriteApplicationKey()
{
    const std::string key = std::string(kMakerKey) + "\\" + options_.product;
    log_.RegDbKill(HKEY_LOCAL_MACHINE, key);
    return WriteValue(HKEY_LOCAL_MACHINE, key, "DirPrincipal", install_) &&
           WriteValue(HKEY_LOCAL_MACHINE, key, "Version", kVersion);
}

bool CInstaller::Install()
{
    if (!MakeFolder(install_ + "\\res") || !MakeFolder(shared_))
        return false;
    for (const KitFile &item : kKitFiles)
        if (!CopyKitFile(item))
            return false;
    COleSession ole;
    if (!ole.Ok())
        return Fail("OleInitialize failed");
    return WriteSettings() && WriteStringFile() && RegisterServers() && MakeShortcuts() &&
           WriteApplicationKey();
}

bool CInstaller::Run()
{
    if (!CheckSources() || !ReadProduct() || !CheckRights() || !FindFolders())
        return false;
    log_.ProductName(nemonico_, kDisplayName);
    const auto [red, green, blue] = kTextColor;
    log_.TextColor(red, green, blue);
    const bool installed = Install();
    // Whatever was done stays recorded, for the uninstaller to undo.
    if (Exists(install_) && !log_.AppendTo(install_ + "\\" + kLogName) && installed)
        return Fail("cannot write " + install_ + "\\" + kLogName + ": " + SystemMessage(GetLastError()));
    return installed;
}
