// winipcfg: Windows 95/98/Me's IP configuration program, as the kit uses it.
//
//     winipcfg [/release_all] [/renew_all] [/Batch [FILE]]
//
// /release_all gives back every adapter's DHCP lease: the leases the DHCP client keeps in the
// registry (HKLM\System\CurrentControlSet\Services\VxD\DHCP\DhcpInfoNN, one key a lease) are
// removed, so the adapters ask for a new address at the next start. /renew_all has nothing to
// renew on the simulated PC (no DHCP server answers) and says so. Windows shows a window with
// the configuration; here it goes to standard output. With /Batch nothing is shown: the text is
// written to FILE, by default "winipcfg.out" in the current folder, as Windows does.
// Switches take '/' or '-' in any case. Windows NT, 2000 and XP have no winipcfg (ipconfig
// instead): there it refuses to run. Exit code 0, 1 when it cannot run, 2 for a bad command line.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "tools/pcreg/PcRegistry.h"
#include "tools/text/ToolText.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace
{
constexpr int kOk = 0, kFailed = 1, kUsage = 2;
constexpr char kDhcpKey[] = "System\\CurrentControlSet\\Services\\VxD\\DHCP";
constexpr char kLeasePrefix[] = "DhcpInfo";
constexpr char kDefaultBatchFile[] = "winipcfg.out";

struct Texts
{
    const char *title;
    const char *released; // lease key
    const char *noLeases;
    const char *nothingToRenew;
    const char *notOnNt;
    const char *cannotWrite; // file
    const char *usage;
};

constexpr Texts kEnglish = {
    "Windows IP Configuration\r\n\r\n",
    "        Lease released . . . . . . : %s\r\n",
    "        No DHCP lease to release.\r\n",
    "        No DHCP server answered: nothing renewed.\r\n",
    "winipcfg is not part of this version of Windows: use ipconfig.",
    "winipcfg: cannot write %s.",
    "Usage: winipcfg [/release_all] [/renew_all] [/Batch [file]]",
};

constexpr Texts kSpanish = {
    "Configuración IP de Windows\r\n\r\n",
    "        Concesión liberada . . . . . : %s\r\n",
    "        No hay ninguna concesión DHCP que liberar.\r\n",
    "        Ningún servidor DHCP respondió: no se renovó nada.\r\n",
    "winipcfg no forma parte de esta versión de Windows: use ipconfig.",
    "winipcfg: no se puede escribir %s.",
    "Uso: winipcfg [/release_all] [/renew_all] [/Batch [archivo]]",
};

const Texts &T()
{
    static const Texts &texts = pcreg::SpanishPc() ? kSpanish : kEnglish;
    return texts;
}

struct Options
{
    bool release = false;
    bool renew = false;
    bool batch = false;
    bool help = false;
    std::string batchFile = kDefaultBatchFile;
};

bool IsSwitch(const std::string &arg)
{
    return arg.size() > 1 && (arg[0] == '/' || arg[0] == '-');
}

bool Parse(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const std::string name = IsSwitch(arg) ? arg.substr(1) : "";
        if (tooltext::EqualNoCase(name, "release_all"))
            options.release = true;
        else if (tooltext::EqualNoCase(name, "renew_all"))
            options.renew = true;
        else if (tooltext::EqualNoCase(name, "batch"))
        {
            options.batch = true;
            if (i + 1 < argc && !IsSwitch(argv[i + 1]))
                options.batchFile = argv[++i];
        }
        else if (name == "?" || name == "-help")
            options.help = true;
        else
            return false;
    }
    return true;
}

// The lease keys the DHCP client keeps; `damaged` is set when the hive failed on the way.
std::vector<std::string> Leases(HKEY dhcp, bool &damaged)
{
    std::vector<std::string> leases;
    char name[256];
    for (DWORD i = 0;; ++i)
    {
        DWORD length = sizeof name;
        const LONG error = RegEnumKeyExA(dhcp, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        damaged = damaged || pcreg::IsDamage(error);
        if (error != ERROR_SUCCESS)
            break;
        if (std::string_view(name).substr(0, sizeof kLeasePrefix - 1) == kLeasePrefix)
            leases.emplace_back(name);
    }
    return leases;
}

// Removes every lease; the text that says which. Nothing when the registry failed.
std::optional<std::string> ReleaseAll()
{
    HKEY dhcp = nullptr;
    if (LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDhcpKey, 0, KEY_ALL_ACCESS, &dhcp))
        return pcreg::IsDamage(error) ? std::nullopt : std::optional<std::string>(T().noLeases);
    std::string text;
    char line[512];
    bool damaged = false;
    for (const std::string &lease : Leases(dhcp, damaged))
    {
        const LONG error = RegDeleteKeyA(dhcp, lease.c_str());
        damaged = damaged || pcreg::IsDamage(error);
        if (error == ERROR_SUCCESS)
        {
            std::snprintf(line, sizeof line, T().released, lease.c_str());
            text += line;
        }
    }
    RegCloseKey(dhcp);
    if (damaged)
        return std::nullopt;
    return text.empty() ? T().noLeases : text;
}

bool WriteBatchFile(const std::string &path, const std::string &text)
{
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

void Show(const std::string &text)
{
    std::fputs(kitpc::TerminalText(text).c_str(), stdout);
}

// Said even with /Batch: the PC itself failed, not the configuration.
int RegistryDamaged()
{
    std::fprintf(stderr, "%s\n", kitpc::TerminalText(pcreg::DamageMessage()).c_str());
    return kFailed;
}
} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!Parse(argc, argv, options))
    {
        Show(std::string(T().usage) + "\n");
        return kUsage;
    }
    if (options.help)
    {
        Show(std::string(T().usage) + "\n");
        return kOk;
    }
    if (kitpc::IsNtFamily(kitpc::ReadIdentity().family))
    {
        Show(std::string(T().notOnNt) + "\n");
        return kFailed;
    }
    if (pcreg::Probe() != ERROR_SUCCESS)
        return RegistryDamaged();
    std::string text = T().title;
    if (options.release)
    {
        std::optional<std::string> released = ReleaseAll();
        if (!released)
            return RegistryDamaged();
        text += *released;
    }
    if (options.renew)
        text += T().nothingToRenew;
    if (!options.batch)
    {
        Show(text);
        return kOk;
    }
    if (!WriteBatchFile(options.batchFile, text))
    {
        char message[MAX_PATH + 64];
        std::snprintf(message, sizeof message, T().cannotWrite, options.batchFile.c_str());
        Show(std::string(message) + "\n");
        return kFailed;
    }
    return kOk;
}
