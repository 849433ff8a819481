// install run as a process on fresh XP and 98 PCs: what it leaves on the PC, and Install.log
// read back the way the uninstaller reads it (each tag searched in the line, its value at the
// tag's fixed offset) to exactly what was done.
#include "common/com/ComPtr.h"
#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/pcfile.h"
#include "testing/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace
{
using Strings = std::vector<std::string>;

constexpr char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kProductKey[] = "Software\\Nuv\\Dax\\KitADSL";
constexpr char kWizardLink[] = "Asistente de configuración ADSL.lnk";
const Strings kServers = {"DaxParam.dll", "DaxModem.dll", "DaxTcpip.dll", "DaxWPoet.dll"};

// One registry record of the log: a "RegDB Key:" line and the "RegDB" lines after it.
struct RegRecord
{
    std::string key, name, type, root, old;
};

// Install.log as the uninstaller's table reads it.
struct InstallLog
{
    Strings copies, overwrites, servers, links, dirs, kills;
    std::vector<RegRecord> values;
    std::string productName, textColor;

    explicit InstallLog(const std::string &text)
    {
        const Strings lines = Lines(text);
        for (size_t i = 0; i < lines.size(); ++i)
        {
            const std::string &line = lines[i];
            Collect(line, "File Copy:", 11, copies);
            Collect(line, "File Overwrite:", 16, overwrites);
            Collect(line, "Self-Register:", 15, servers);
            Collect(line, "Shell Link:", 12, links);
            Collect(line, "Made Dir:", 10, dirs);
            Collect(line, "RegDB Kill:", 12, kills);
            if (line.find("Text Color:") != std::string::npos)
                textColor = Value(line, 12);
            if (line.find("NOMBRE_QelAsist") != std::string::npos && productName.empty())
                productName = Value(line, std::string("NOMBRE_QelAsist ").size());
            if (line.find("RegDB Key:") != std::string::npos)
                values.push_back(Record(lines, i));
        }
    }

    static Strings Lines(const std::string &text)
    {
        Strings lines;
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        EXPECT_EQ(start, text.size()) << "the last line has no CR LF";
        return lines;
    }

    static std::string Value(const std::string &line, size_t offset)
    {
        return line.size() > offset ? line.substr(offset) : std::string();
    }

    static void Collect(const std::string &line, const char *tag, size_t offset, Strings &into)
    {
        if (line.find(tag) == std::string::npos)
            return;
        EXPECT_EQ(line.rfind(std::string(tag) + " ", 0), 0u) << line;
        if (std::string value = Value(line, offset); !value.empty())
            into.push_back(value);
    }

    static RegRecord Record(const Strings &lines, size_t first)
    {
        RegRecord record;
        record.key = Value(lines[first], 11);
        for (size_t i = first + 1; i < lines.size(); ++i)
        {
            const std::string &line = lines[i];
            if (line.find("RegDB") == std::string::npos || line.find("RegDB Key:") != std::string::npos)
                break;
            if (line.find("RegDB Name:") != std::string::npos)
                record.name = Value(line, 12);
            else if (line.find("RegDB Type:") != std::string::npos)
                record.type = Value(line, 12);
            else if (line.find("RegDB Root:") != std::string::npos)
                record.root = Value(line, 12);
            else if (line.find("RegDB Old:") != std::string::npos)
                record.old = Value(line, 11);
        }
        return record;
    }
};

bool IsFile(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Every file under the folder, by the path the installer names it with.
void FilesUnder(const std::string &folder, std::set<std::string> &files, bool recurse = true)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << folder;
    do
    {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.insert(folder + "\\" + name);
        else if (recurse)
            FilesUnder(folder + "\\" + name, files);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// A path with one kind of separator (the shell link keeps the host's).
std::string Slashed(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool IsLibrary(const std::string &file)
{
    return file.size() > 4 && file.substr(file.size() - 4) == ".dll";
}

std::set<std::string> Set(const Strings &items)
{
    return {items.begin(), items.end()};
}

std::string Setting(const std::string &file, const char *section, const char *key)
{
    char value[260] = "";
    GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, file.c_str());
    return value;
}

// Where a shortcut leads, through the platform's shell link.
struct LinkTarget
{
    std::string path, folder;
};

LinkTarget LoadLink(const std::string &link)
{
    kitcom::ComPtr<IShellLinkA> shell;
    EXPECT_EQ(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, shell.PutVoid()),
        S_OK);
    kitcom::ComPtr<IPersistFile> file;
    if (!shell || FAILED(shell->QueryInterface(IID_IPersistFile, file.PutVoid())))
        return {};
    WCHAR wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    EXPECT_EQ(file->Load(wide, STGM_READ), S_OK) << link;
    char path[MAX_PATH] = "", folder[MAX_PATH] = "";
    shell->GetPath(path, MAX_PATH, nullptr, 0);
    shell->GetWorkingDirectory(folder, MAX_PATH);
    return {path, folder};
}

class InstallTest : public testing::TestWithParam<const char *>
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        std::string output;
        ASSERT_EQ(kittest::Run("machine",
                               {"create", "--os", GetParam(), "--dir", kittest::MachineDir(), "--force"},
                               &output),
                  0)
            << output;
        kitreg::CloseRegistry();
        shared_ =
            kittest::ReadRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir").value_or("") +
            "\\Nuv\\Dax";
        folder_ = shared_ + "\\KitADSL";
        const bool nt = std::string(GetParam()) != "98";
        desktop_ = *kittest::ReadRegString(nt ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kShellFolders,
                                           nt ? "Common Desktop" : "Desktop");
    }
    void TearDown() override { CoUninitialize(); }

    static int Install(const Strings &arguments = {}, std::string *output = nullptr)
    {
        Strings all = {"--dir", kittest::MachineDir()};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::string ignored;
        return kittest::Run("install", all, output ? output : &ignored);
    }

    InstallLog Log() const { return InstallLog(pcfile::Read(folder_ + "\\Install.log", "")); }

    std::string shared_, folder_, desktop_;
};

INSTANTIATE_TEST_SUITE_P(Pcs, InstallTest, testing::Values("xp", "98"));

TEST_P(InstallTest, LeavesTheFilesAndRecordsEveryCopy)
{
    std::string output;
    ASSERT_EQ(Install({}, &output), 0) << output;
    const InstallLog log = Log();

    // Every file of the installation and of the shared folder, and nothing else, is a copy.
    std::set<std::string> files;
    FilesUnder(folder_, files);
    FilesUnder(shared_, files, false);
    files.erase(folder_ + "\\Install.log");
    EXPECT_EQ(Set(log.copies), files);
    EXPECT_EQ(log.copies.size(), files.size()) << "a file copied twice";
    EXPECT_TRUE(log.overwrites.empty());
    for (const char *name :
         {"QelAsist.so", "Config.ini", "643.cfg", "QelExec", "QelFixRt", "Uninstal", "UNS_0a00.ini",
          "Bitmap.bmp", "res\\Foto.bmp", "res\\Espera.avi", "res\\Icono.ico"})
        EXPECT_TRUE(IsFile(folder_ + "\\" + name)) << name;
    for (const std::string &server : kServers)
        EXPECT_TRUE(IsFile(shared_ + "\\" + server)) << server;

    // Folders made parents first, the help folder on the family's desktop among them.
    EXPECT_EQ(log.dirs, (Strings{shared_.substr(0, shared_.size() - 4), shared_, folder_, folder_ + "\\res",
                                 desktop_ + "\\Kit ADSL"}));
    for (const std::string &dir : log.dirs)
        EXPECT_TRUE(IsFolder(dir)) << dir;
    EXPECT_EQ(log.productName, "Kit ADSL");
    EXPECT_EQ(log.textColor, "(0,255,0)");
}

TEST_P(InstallTest, RegistersTheServersAndCountsTheSharedLibraries)
{
    ASSERT_EQ(Install(), 0);
    const InstallLog log = Log();
    Strings servers;
    for (const std::string &server : kServers)
        servers.push_back(shared_ + "\\" + server);
    EXPECT_EQ(log.servers, servers);

    // Each server's classes lead to its copy in the shared folder.
    std::set<std::string> registered;
    HKEY clsid = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &clsid), ERROR_SUCCESS);
    char name[64];
    for (DWORD i = 0; RegEnumKeyA(clsid, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        if (auto path = kittest::ReadRegString(HKEY_CLASSES_ROOT,
                                               std::string("CLSID\\") + name + "\\InprocServer32", nullptr))
            registered.insert(path->substr(path->find_last_of("\\/") + 1));
    RegCloseKey(clsid);
    for (const std::string &server : kServers)
        EXPECT_TRUE(registered.count(server)) << server << " has no class registered";

    int libraries = 0;
    for (const std::string &file : log.copies)
        if (IsLibrary(file))
        {
            ++libraries;
            EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, file.c_str()), 1u) << file;
        }
    EXPECT_EQ(libraries, 8); // the four servers and the wizard's four libraries
}

TEST_P(InstallTest, ShortcutsLeadToTheWizard)
{
    ASSERT_EQ(Install(), 0);
    const InstallLog log = Log();
    const std::string help = desktop_ + "\\Kit ADSL";
    EXPECT_EQ(Set(log.links),
              (std::set<std::string>{help + "\\" + kWizardLink, help + "\\Desinstalar Kit ADSL.lnk",
                                     desktop_ + "\\" + kWizardLink}));
    for (const std::string &link : log.links)
    {
        const LinkTarget target = LoadLink(link);
        EXPECT_TRUE(IsFile(target.path)) << link << " -> " << target.path;
        EXPECT_EQ(Slashed(target.folder), Slashed(folder_));
    }
    EXPECT_EQ(Slashed(LoadLink(desktop_ + "\\" + kWizardLink).path), Slashed(folder_ + "\\QelExec"));
    EXPECT_EQ(Slashed(LoadLink(help + "\\Desinstalar Kit ADSL.lnk").path), Slashed(folder_ + "\\Uninstal"));
}

TEST_P(InstallTest, SettingsNameTheProductForTheUninstaller)
{
    ASSERT_EQ(Install(), 0);
    const std::string settings = folder_ + "\\Config.ini";
    const std::string wizard = kittest::LibDir() + "/Config.ini";
    for (const char *key : {"Nemonico", "Mutex", "Registro", "Titulo"})
        EXPECT_EQ(Setting(settings, "General", key), Setting(wizard, "General", key)) << key;
    EXPECT_EQ(Setting(settings, "General", "Ayuda"), "Kit ADSL");

    const std::string strings = folder_ + "\\UNS_0a00.ini";
    for (const char *key : {"ATENCION", "APLICACION", "NO_INSTALL_LOG", "SO_CORRECTO", "NOADMIN",
                            "APLICACION_EN_USO", "CONFIRMARDES", "RUNONCE", "CERRAR_APLICACION",
                            "DESREGISTRANDO", "BORRANDOFIC", "BORRANDOREG", "NODESINSTALADO", "REINICIOWIN"})
    {
        const std::string text = Setting(strings, "cadenas", (std::string("IDS_UNINSTALL_") + key).c_str());
        EXPECT_NE(text, "<none>") << key;
        EXPECT_LT(text.size(), 260u) << key;
        const bool inserts = std::string(key) == "NO_INSTALL_LOG" || std::string(key) == "NOADMIN" ||
                             std::string(key) == "CONFIRMARDES" || std::string(key) == "NODESINSTALADO";
        EXPECT_EQ(text.find("%s") != std::string::npos, inserts) << key << ": " << text;
    }

    // The splash picture: a 24-bit BMP.
    const std::string bitmap = pcfile::Read(folder_ + "\\Bitmap.bmp", "");
    ASSERT_GT(bitmap.size(), 54u);
    EXPECT_EQ(bitmap.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(bitmap[28]), 24);
}

TEST_P(InstallTest, ApplicationKeyWithItsOldValues)
{
    // A value there before, of another kind: the log keeps it as it was.
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Version", 7);
    ASSERT_EQ(Install(), 0);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "DirPrincipal"), folder_);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Version"), "1.0");

    const InstallLog log = Log();
    EXPECT_EQ(log.kills, Strings{std::string("HKEY_LOCAL_MACHINE\\") + kProductKey});
    ASSERT_EQ(log.values.size(), 2u);
    EXPECT_EQ(log.values[0].key, kProductKey);
    EXPECT_EQ(log.values[0].name, "DirPrincipal");
    EXPECT_EQ(log.values[0].type, "0");
    EXPECT_EQ(log.values[0].root, "2");
    EXPECT_EQ(log.values[0].old, "");
    EXPECT_EQ(log.values[1].name, "Version");
    EXPECT_EQ(log.values[1].type, "3");
    EXPECT_EQ(log.values[1].root, "2");
    EXPECT_EQ(log.values[1].old, "7");
}

// A second installation over the first adds its own record: every file overwritten, each
// shared library counted once more, the values it replaced as they were.
TEST_P(InstallTest, InstallingAgainRecordsTheOverwrites)
{
    ASSERT_EQ(Install(), 0);
    const InstallLog first = Log();
    ASSERT_EQ(Install(), 0);
    const InstallLog both = Log();
    EXPECT_EQ(both.copies, first.copies);
    EXPECT_EQ(both.overwrites, first.copies);
    EXPECT_EQ(both.dirs, first.dirs);
    EXPECT_EQ(both.servers.size(), 2 * first.servers.size());
    for (const std::string &file : first.copies)
    {
        if (IsLibrary(file))
        {
            EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, file.c_str()), 2u) << file;
        }
    }
    ASSERT_EQ(both.values.size(), 4u);
    EXPECT_EQ(both.values[2].old, folder_);
    EXPECT_EQ(both.values[3].old, "1.0");
}

TEST_P(InstallTest, ProductAndFolderNamedOnTheCommandLine)
{
    ASSERT_EQ(Install({"--product", "OtroKit", "--folder", "Otra Carpeta"}), 0);
    const std::string folder = shared_ + "\\Otra Carpeta";
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Nuv\\Dax\\OtroKit", "DirPrincipal"),
              folder);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(Setting(folder + "\\Config.ini", "General", "Registro"), "OtroKit");
    EXPECT_TRUE(IsFile(folder + "\\Install.log"));
}

TEST(Install, NeedsAnAdministratorOnNt)
{
    std::string output;
    ASSERT_EQ(
        kittest::Run("machine",
                     {"create", "--os", "xp", "--admin", "no", "--dir", kittest::MachineDir(), "--force"},
                     &output),
        0)
        << output;
    kitreg::CloseRegistry();
    EXPECT_EQ(kittest::Run("install", {"--dir", kittest::MachineDir()}, &output), 1);
    const std::string programFiles =
        kittest::ReadRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir").value_or("?");
    EXPECT_FALSE(IsFolder(programFiles + "\\Nuv"));
    EXPECT_FALSE(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, kSharedDlls,
                                       (programFiles + "\\Nuv\\Dax\\DaxParam.dll").c_str()));
}

TEST(Install, FailuresAndUsage)
{
    std::string output;
    EXPECT_EQ(kittest::Run("install", {"--dir", kittest::MachineDir() + "/no-such-pc"}, &output), 1);
    EXPECT_EQ(kittest::Run("install", {"--dir"}, &output), 2);
    EXPECT_EQ(kittest::Run("install", {"--unknown", "x"}, &output), 2);
    EXPECT_EQ(kittest::Run("install", {"--help"}, &output), 0);
    EXPECT_EQ(output.rfind("usage: install", 0), 0u) << output;

    // A build without the kit's files: nothing is installed.
    const std::string empty = kittest::MachineDir() + "/nobuild";
    ASSERT_TRUE(CreateDirectoryA(empty.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((empty + "/bin").c_str(), nullptr));
    EXPECT_EQ(kittest::Run("install", {"--dir", kittest::MachineDir(), "--from", empty + "/bin"}, &output),
              1);
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}
} // namespace
