// The adapter tests' PCs.
#include "tcpip/tests/nictest.h"

#include "platform/kit/kitregistry.h"
#include "testing/kittest.h"
#include "testing/pcfile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace nictest
{
namespace
{
constexpr char kNetworkCards[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kLinkage[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Linkage";

std::string Upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

int SubKeyCount(const std::string &key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(opened);
    return static_cast<int>(count);
}

std::string AddCardNT(Family family, const Card &card, int number)
{
    const std::string service = !card.key.empty() ? card.key
                                : family == Family::NT4
                                    ? "El90x" + std::to_string(number)
                                    : "{6A1D3C5E-0000-4000-8000-00000000000" + std::to_string(number) + "}";
    const std::string entry = std::string(kNetworkCards) + "\\" + std::to_string(number);
    WriteString(entry, "Description", card.description);
    WriteString(entry, "ServiceName", service);
    if (card.hidden)
        WriteDword(entry, "Hidden", 1);
    if (card.device && family != Family::NT4)
    {
        EXPECT_TRUE(kittest::WriteHostFile(kittest::MachineDir() + "/devices/" + service, ""));
    }
    if (card.tcpip)
        WriteString(InterfaceKey(family, service), "NTEContextList", "");
    if (card.bound)
    {
        Strings bindings = kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, kLinkage, "Bind").value_or(Strings{});
        bindings.push_back("\\Device\\" + service);
        WriteMultiSz(kLinkage, "Bind", bindings);
    }
    return service;
}

std::string AddCard9x(const Card &card, int number)
{
    const std::string instance = "Enum\\PCI\\VEN_10B7&DEV_" + std::to_string(9000 + number) + "\\BUS_00";
    const std::string binding = "MSTCP\\000" + std::to_string(number - 1);
    const std::string driver = card.key.empty() ? "NetTrans\\000" + std::to_string(number - 1) : card.key;
    WriteString(instance, "Class", "Net");
    WriteString(instance, "DeviceDesc", card.description);
    WriteString(instance, "HardwareID", "PCI\\VEN_10B7&DEV_" + std::to_string(9000 + number));
    WriteString(instance + "\\Bindings", binding.c_str(), "");
    WriteString("Enum\\Network\\" + binding, "Driver", driver);
    WriteString("Enum\\Network\\" + binding, "MasterCopy", "Enum\\Network\\" + binding);
    if (card.tcpip)
        WriteString(InterfaceKey(Family::Win95, driver), "DriverDesc", "TCP/IP");
    return driver;
}
} // namespace

bool Is9x(Family family)
{
    return !kitpc::IsNtFamily(family);
}

std::string NameOf(Family family)
{
    return std::string("Windows") + kitpc::FamilyName(family);
}

void MakePc(Family family, bool admin)
{
    kitreg::CloseRegistry();
    kitpc::MachineOptions options;
    options.os = family;
    options.admin = admin;
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
    // The DHCP client service, which EnableDHCP sets to start with Windows.
    if (!Is9x(family))
    {
        kitreg::SetSystemAccess(true); // laid out by Windows, whoever the user is
        const std::string dhcp = "SYSTEM\\CurrentControlSet\\Services\\Dhcp";
        kittest::WriteRegDword(HKEY_LOCAL_MACHINE, dhcp, "Type", SERVICE_WIN32_SHARE_PROCESS);
        kittest::WriteRegDword(HKEY_LOCAL_MACHINE, dhcp, "Start", SERVICE_DEMAND_START);
        kittest::WriteRegDword(HKEY_LOCAL_MACHINE, dhcp, "ErrorControl", SERVICE_ERROR_NORMAL);
        kitreg::SetSystemAccess(false);
    }
}

std::string AddCard(Family family, const Card &card)
{
    // A limited user's PC is laid out as the system would.
    kitreg::SetSystemAccess(true);
    const std::string key = Is9x(family) ? AddCard9x(card, SubKeyCount("Enum\\PCI") + 1)
                                         : AddCardNT(family, card, SubKeyCount(kNetworkCards) + 1);
    kitreg::SetSystemAccess(false);
    return key;
}

std::string DisplayName(int number, const std::string &description)
{
    return "{" + std::to_string(number) + "} " + description;
}

std::string InterfaceKey(Family family, const std::string &key)
{
    if (Is9x(family))
        return "SYSTEM\\CurrentControlSet\\Services\\Class\\" + key;
    if (family == Family::NT4)
        return "SYSTEM\\CurrentControlSet\\Services\\" + key + "\\Parameters\\Tcpip";
    return "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + key;
}

std::string WinsKey(Family family, const std::string &key)
{
    if (Is9x(family))
        return InterfaceKey(family, key);
    if (family == Family::NT4)
        return "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Adapters\\" + key;
    return "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces\\Tcpip_" + key;
}

std::string GlobalKey(Family family)
{
    if (Is9x(family))
        return "SYSTEM\\CurrentControlSet\\Services\\VxD\\MSTCP";
    if (family == Family::NT4)
        return "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
    return {};
}

void WriteString(const std::string &key, const char *name, const std::string &text, kittest::Caller where)
{
    kittest::WriteRegString(HKEY_LOCAL_MACHINE, key, name, text, where);
}

void WriteDword(const std::string &key, const char *name, DWORD value, kittest::Caller where)
{
    kittest::WriteRegDword(HKEY_LOCAL_MACHINE, key, name, value, where);
}

void WriteMultiSz(const std::string &key, const char *name, const Strings &values, kittest::Caller where)
{
    std::string data;
    for (const std::string &value : values)
        data.append(value.c_str(), value.size() + 1);
    data += '\0';
    WriteRaw(key, name, REG_MULTI_SZ, data, where);
}

void WriteRaw(const std::string &key, const char *name, DWORD type, const std::string &bytes,
              kittest::Caller where)
{
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, key, name, type, bytes, where);
}

void DeleteTree(const std::string &key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return;
    char name[256];
    DWORD length = sizeof name;
    std::vector<std::string> children;
    while (RegEnumKeyExA(opened, static_cast<DWORD>(children.size()), name, &length, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS)
    {
        children.emplace_back(name, length);
        length = sizeof name;
    }
    RegCloseKey(opened);
    for (const std::string &child : children)
        DeleteTree(key + "\\" + child);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()), ERROR_SUCCESS) << key;
}

Snapshot TakeSnapshot(const Strings &keys)
{
    Snapshot snapshot;
    for (const std::string &key : keys)
    {
        HKEY opened = nullptr;
        if (key.empty() ||
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            continue;
        for (DWORD index = 0;; ++index)
        {
            char name[256];
            DWORD length = sizeof name;
            if (RegEnumValueA(opened, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            std::optional<kittest::RegValue> value = kittest::ReadRegValue(opened, name);
            if (!value)
                continue;
            if (value->type == REG_MULTI_SZ && value->data == std::string(2, '\0'))
                value->data.resize(1);
            snapshot[SnapshotName(key, name)] = {value->type, value->data};
        }
        RegCloseKey(opened);
    }
    return snapshot;
}

std::string SnapshotName(const std::string &key, const std::string &name)
{
    return Upper(key) + "|" + Upper(name);
}

void RefuseValueChanges(const char *name)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(kitreg::RegistryPath().c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 60000);
    const std::string fold = Upper(name);
    for (const char *event : {"INSERT", "UPDATE"})
    {
        const std::string sql = std::string("CREATE TRIGGER refuse_") + fold + "_" + event + " BEFORE " +
                                event + " ON vals WHEN NEW.fold = CAST('" + fold +
                                "' AS BLOB) BEGIN SELECT RAISE(ABORT, 'refused'); END";
        char *error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
    }
    sqlite3_close(db);
}

std::string DeferredPath()
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "TcpChang.reg";
}

std::string DeferredText()
{
    return pcfile::Read(DeferredPath(), "<none>");
}
} // namespace nictest
