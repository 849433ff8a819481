// Dial-up networking as the PPPoE module binds it (LoadLibraryA, GetProcAddress): which modules
// and functions each Windows family has, the devices of each registry source, the list
// functions' buffer protocol and structure versions, the phone book of each family (created,
// found in another case, updated, deleted, damaged, read-only) and the dial parameters' store.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstring>
#include <string>
#include <vector>

namespace
{
#ifndef _WIN32
using kitpc::WindowsFamily;
#endif
using kittest::WriteRegDword;
using kittest::WriteRegString;

constexpr char kRemoteAccess[] = "System\\CurrentControlSet\\Services\\RemoteAccess";
constexpr char kNetClass[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";
constexpr char kModemClass[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\";
constexpr char k9xModemClass[] = "System\\CurrentControlSet\\Services\\Class\\Modem\\";
constexpr char kEntry[] = "Conexi\xF3n ADSL Router"; // Windows 1252
constexpr DWORD kSentinel = 0xdeadbeef;

#ifndef _WIN32
void MakePc(WindowsFamily os, bool ras = true, LANGID lang = 0x0C0A)
{
    kitpc::MachineOptions options;
    options.os = os;
    options.lang = lang;
    ASSERT_TRUE(kitpc::CreateMachine(kittest::MachineDir(), options));
    if (ras)
        WriteRegDword(HKEY_LOCAL_MACHINE, kRemoteAccess, "Start", 3);
}

#endif

// The product's binding: RASAPI32.DLL first, then RNAPH.DLL.
struct Ras
{
    HMODULE rasapi = LoadLibraryA("RASAPI32.DLL");
    HMODULE rnaph = LoadLibraryA("rnaph.dll");

    template <class F> F Get(const char *name) const
    {
        FARPROC proc = rasapi ? GetProcAddress(rasapi, name) : nullptr;
        if (!proc && rnaph)
            proc = GetProcAddress(rnaph, name);
        return reinterpret_cast<F>(reinterpret_cast<void *>(proc));
    }
};
#define RAS(ras, name) ras.Get<decltype(&name)>(#name)

// What every Windows of the NT family answers with an empty phone book.
TEST(RasWindows, StructuresAndCodesOfTheSdk)
{
    // WINVER 0x501's structures: no pointers in them, the same on every build.
    EXPECT_EQ(sizeof(RASENTRYA), 2884u);
    EXPECT_EQ(sizeof(RASENTRYNAMEA), 532u);
    EXPECT_EQ(sizeof(RASDEVINFOA), 152u);
    EXPECT_EQ(sizeof(RASCREDENTIALSA), 540u);
    EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, 603);
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, 621);
    EXPECT_EQ(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, 623);
    EXPECT_EQ(ERROR_CANNOT_WRITE_PHONEBOOK, 624);
    EXPECT_EQ(ERROR_INVALID_SIZE, 632);
    EXPECT_STREQ(RASDT_PPPoE, "PPPoE");
    EXPECT_EQ(RASET_Broadband, 5);
    EXPECT_EQ(RASNP_Ip, 4);
    EXPECT_EQ(RASFP_Ppp, 1);
}

TEST(RasWindows, Rasapi32HasThePhoneBookFunctions)
{
    Ras ras;
    ASSERT_NE(nullptr, ras.rasapi);
    for (const char *name :
         {"RasEnumDevicesA", "RasEnumEntriesA", "RasGetEntryPropertiesA", "RasSetEntryPropertiesA",
          "RasValidateEntryNameA", "RasDeleteEntryA", "RasGetEntryDialParamsA", "RasSetEntryDialParamsA",
          "RasSetCredentialsA", "RasGetErrorStringA", "RasDialA", "RasHangUpA"})
        EXPECT_NE(nullptr, GetProcAddress(ras.rasapi, name)) << name;
    SetLastError(kSentinel);
    EXPECT_EQ(nullptr, GetProcAddress(ras.rasapi, "RasNoSuchFunctionA"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
}

TEST(RasWindows, EmptyPhoneBook)
{
    Ras ras;
    ASSERT_NE(nullptr, ras.rasapi);
    RASENTRYNAMEA names[2] = {};
    names[0].dwSize = sizeof names[0];
    DWORD bytes = sizeof names, count = kSentinel;
    EXPECT_EQ(0u, RAS(ras, RasEnumEntriesA)(nullptr, nullptr, names, &bytes, &count));
    EXPECT_EQ(0u, count);
    names[0].dwSize = 7;
    bytes = sizeof names;
    EXPECT_EQ(DWORD(ERROR_INVALID_SIZE), RAS(ras, RasEnumEntriesA)(nullptr, nullptr, names, &bytes, &count));

    RASENTRYA entry = {};
    entry.dwSize = sizeof entry;
    DWORD size = sizeof entry;
    EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY),
              RAS(ras, RasGetEntryPropertiesA)(nullptr, kEntry, &entry, &size, nullptr, nullptr));
    EXPECT_EQ(0u, RAS(ras, RasValidateEntryNameA)(nullptr, kEntry));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), RAS(ras, RasValidateEntryNameA)(nullptr, "a\\b"));

    char text[512];
    EXPECT_EQ(0u, RAS(ras, RasGetErrorStringA)(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, text, sizeof text));
    EXPECT_NE(text[0], '\0');
}

#ifndef _WIN32
// The simulated PC of each family, with its devices and its phone book.

void AddMiniport(const std::string &nnnn, const char *component, const char *desc, bool enabled = true,
                 const char *upper = "ndiswan")
{
    const std::string key = kNetClass + nnnn;
    const std::string instance = std::string("ROOT\\") + component + "\\" + nnnn;
    WriteRegString(HKEY_LOCAL_MACHINE, key, "ComponentId", component);
    WriteRegString(HKEY_LOCAL_MACHINE, key, "DriverDesc", desc);
    WriteRegString(HKEY_LOCAL_MACHINE, key, "DeviceInstanceID", instance);
    WriteRegString(HKEY_LOCAL_MACHINE, key + "\\Ndi\\Interfaces", "UpperRange", upper);
    WriteRegDword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\" + instance, "ConfigFlags",
                  enabled ? 0 : 1);
}

struct Device
{
    std::string type, name;
    bool operator==(const Device &) const = default;
};

std::vector<Device> Devices(const Ras &ras)
{
    auto enumDevices = RAS(ras, RasEnumDevicesA);
    EXPECT_NE(nullptr, enumDevices);
    std::vector<RASDEVINFOA> records(8);
    records[0].dwSize = sizeof(RASDEVINFOA);
    DWORD bytes = static_cast<DWORD>(records.size() * sizeof(RASDEVINFOA)), count = kSentinel;
    DWORD result = enumDevices(records.data(), &bytes, &count);
    if (result == ERROR_BUFFER_TOO_SMALL)
    {
        EXPECT_EQ(count * sizeof(RASDEVINFOA), bytes);
        records.resize(count);
        records[0].dwSize = sizeof(RASDEVINFOA);
        result = enumDevices(records.data(), &bytes, &count);
    }
    EXPECT_EQ(0u, result);
    std::vector<Device> devices;
    for (DWORD i = 0; i < count && result == 0; ++i)
        devices.push_back({records[i].szDeviceType, records[i].szDeviceName});
    return devices;
}

std::vector<std::string> Entries(const Ras &ras, DWORD recordSize, DWORD *error = nullptr)
{
    std::vector<BYTE> buffer(8 * recordSize);
    reinterpret_cast<RASENTRYNAMEA *>(buffer.data())->dwSize = recordSize;
    DWORD bytes = static_cast<DWORD>(buffer.size()), count = kSentinel;
    const DWORD result = RAS(ras, RasEnumEntriesA)(
        nullptr, nullptr, reinterpret_cast<RASENTRYNAMEA *>(buffer.data()), &bytes, &count);
    if (error)
        *error = result;
    std::vector<std::string> names;
    for (DWORD i = 0; result == 0 && i < count; ++i)
        names.push_back(reinterpret_cast<RASENTRYNAMEA *>(buffer.data() + i * recordSize)->szEntryName);
    return names;
}

RASENTRYA PppoeEntry(DWORD size)
{
    RASENTRYA entry{};
    entry.dwSize = size;
    entry.dwfOptions = 0x3D0D0310;
    entry.dwfNetProtocols = RASNP_Ip;
    entry.dwFramingProtocol = RASFP_Ppp;
    std::strcpy(entry.szDeviceName, "WinPoET WAN (PPPOE) Adapter");
    std::strcpy(entry.szDeviceType, RASDT_PPPoE);
    std::strcpy(entry.szLocalPhoneNumber, "1.1.1.1");
    if (size >= RASENTRYA_V501_SIZE)
        entry.dwType = RASET_Broadband;
    return entry;
}

DWORD SetEntry(const Ras &ras, const char *name, RASENTRYA entry)
{
    return RAS(ras, RasSetEntryPropertiesA)(nullptr, name, &entry, entry.dwSize, nullptr, 0);
}

DWORD GetEntry(const Ras &ras, const char *name, RASENTRYA &entry, DWORD size)
{
    std::memset(&entry, 0xCC, sizeof entry);
    entry.dwSize = size;
    DWORD bytes = size, deviceBytes = kSentinel;
    const DWORD result =
        RAS(ras, RasGetEntryPropertiesA)(nullptr, name, &entry, &bytes, nullptr, &deviceBytes);
    EXPECT_EQ(0u, deviceBytes);
    return result;
}

std::string UserPbk()
{
    return kittest::MachineDir() + "/appdata/Microsoft/Network/Connections/Pbk/rasphone.pbk";
}

TEST(RasModules, NtFamilyHasRasapi32AndNoRnaph)
{
    MakePc(WindowsFamily::XP, false);
    Ras ras;
    ASSERT_NE(nullptr, ras.rasapi);
    EXPECT_EQ(nullptr, ras.rnaph);
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(ras.rasapi, LoadLibraryA("rasapi32"));
    for (const char *name : {"RasEnumDevicesA", "RasSetCredentialsA", "RasGetErrorStringA", "RasHangUpA"})
        EXPECT_NE(nullptr, GetProcAddress(ras.rasapi, name)) << name;
    SetLastError(kSentinel);
    EXPECT_EQ(nullptr, GetProcAddress(ras.rasapi, "RasNoSuchFunctionA"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(DWORD(ERROR_CALL_NOT_IMPLEMENTED),
              RAS(ras, RasDialA)(nullptr, nullptr, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_CALL_NOT_IMPLEMENTED), RAS(ras, RasHangUpA)(nullptr));
}

TEST(RasModules, Windows98LoadsThemOnlyWithDialUpNetworking)
{
    MakePc(WindowsFamily::Win98, false);
    SetLastError(kSentinel);
    EXPECT_EQ(nullptr, LoadLibraryA("RASAPI32.DLL"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, LoadLibraryA("RNAPH.DLL"));

    WriteRegDword(HKEY_LOCAL_MACHINE, kRemoteAccess, "Start", 3);
    Ras ras;
    ASSERT_NE(nullptr, ras.rasapi);
    ASSERT_NE(nullptr, ras.rnaph);
    for (const char *name : {"RasDeleteEntryA", "RasEnumDevicesA", "RasGetEntryPropertiesA",
                             "RasSetEntryPropertiesA", "RasValidateEntryNameA"})
    {
        EXPECT_EQ(nullptr, GetProcAddress(ras.rasapi, name)) << name;
        EXPECT_NE(nullptr, GetProcAddress(ras.rnaph, name)) << name;
    }
    EXPECT_NE(nullptr, GetProcAddress(ras.rasapi, "RasEnumEntriesA"));
    EXPECT_EQ(nullptr, GetProcAddress(ras.rasapi, "RasSetCredentialsA"));
    EXPECT_EQ(nullptr, GetProcAddress(ras.rnaph, "RasSetCredentialsA"));
}

TEST(RasDevices, XpMiniportsThenModems)
{
    MakePc(WindowsFamily::XP);
    AddMiniport("0000", "ms_pppoeminiport", "Minipuerto WAN (PPPOE)");
    AddMiniport("0001", "ms_pptpminiport", "Minipuerto WAN (PPTP)");
    AddMiniport("0002", "*ivsnpoet", "WinPoET WAN (PPPOE) Adapter", false);
    AddMiniport("0003", "ms_ptiminiport", "Puerto paralelo directo");
    AddMiniport("0004", "ntspppoe", "NTS EnterNet PPPoE Adapter", true, "ndis5");
    WriteRegString(HKEY_LOCAL_MACHINE, std::string(kModemClass) + "0000", "FriendlyName", "Modem #1");
    WriteRegString(HKEY_LOCAL_MACHINE, std::string(kModemClass) + "0000", "DriverDesc", "Modem");
    WriteRegString(HKEY_LOCAL_MACHINE, std::string(kModemClass) + "0001", "DriverDesc", "Standard Modem");
    const std::vector<Device> expected = {{"PPPoE", "Minipuerto WAN (PPPOE)"},
                                          {"vpn", "Minipuerto WAN (PPTP)"},
                                          {"parallel", "Puerto paralelo directo"},
                                          {"modem", "Modem #1"},
                                          {"modem", "Standard Modem"}};
    EXPECT_EQ(expected, Devices(Ras()));

    // Enabled again, the client's own miniport is a PPPoE device.
    AddMiniport("0002", "*ivsnpoet", "WinPoET WAN (PPPOE) Adapter", true);
    EXPECT_EQ((Device{"PPPoE", "WinPoET WAN (PPPOE) Adapter"}), Devices(Ras())[2]);
}

TEST(RasDevices, Nt4TapiDevicesAndWindows98Modems)
{
    MakePc(WindowsFamily::NT4);
    const std::string tapi = "SOFTWARE\\Microsoft\\RAS\\TAPI DEVICES\\";
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, tapi + "Unimodem", "Address", REG_MULTI_SZ,
                           {"COM1\0COM2\0\0", 11});
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, tapi + "Unimodem", "Friendly Name", REG_MULTI_SZ,
                           {"Modem A\0Modem B\0\0", 17});
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE, tapi + "WinPoET", "Friendly Name", REG_MULTI_SZ,
                           {"Ivasion Poet Adapter\0\0", 22});
    EXPECT_EQ(
        (std::vector<Device>{{"modem", "Modem A"}, {"modem", "Modem B"}, {"modem", "Ivasion Poet Adapter"}}),
        Devices(Ras()));

    MakePc(WindowsFamily::Win98);
    WriteRegString(HKEY_LOCAL_MACHINE, std::string(k9xModemClass) + "0000", "DriverDesc",
                   "Ivasion Poet Adapter");
    EXPECT_EQ((std::vector<Device>{{"modem", "Ivasion Poet Adapter"}}), Devices(Ras()));
}

TEST(RasDevices, MoreThanEightAndTheBufferProtocol)
{
    MakePc(WindowsFamily::WinMe);
    for (int i = 0; i < 11; ++i)
        WriteRegString(HKEY_LOCAL_MACHINE,
                       k9xModemClass + std::string("000") + std::to_string(i % 10) + (i >= 10 ? "x" : ""),
                       "DriverDesc", "Modem " + std::to_string(i));
    Ras ras;
    auto enumDevices = RAS(ras, RasEnumDevicesA);
    std::vector<RASDEVINFOA> records(8);
    records[0].dwSize = sizeof(RASDEVINFOA);
    DWORD bytes = 8 * sizeof(RASDEVINFOA), count = kSentinel;
    EXPECT_EQ(DWORD(ERROR_BUFFER_TOO_SMALL), enumDevices(records.data(), &bytes, &count));
    EXPECT_EQ(11u, count);
    EXPECT_EQ(11 * 152u, bytes);
    bytes = 0;
    EXPECT_EQ(DWORD(ERROR_BUFFER_TOO_SMALL), enumDevices(nullptr, &bytes, &count));
    EXPECT_EQ(11 * 152u, bytes);
    records[0].dwSize = 148;
    bytes = 8 * sizeof(RASDEVINFOA);
    EXPECT_EQ(DWORD(ERROR_INVALID_USER_BUFFER), enumDevices(records.data(), &bytes, &count));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), enumDevices(records.data(), nullptr, &count));
    EXPECT_EQ(11u, Devices(ras).size());
}

TEST(RasSizes, EachFamilyTakesItsVersions)
{
    struct Case
    {
        WindowsFamily os;
        std::vector<DWORD> entry, refusedEntry, names, refusedNames, dial, refusedDial;
    };
    const Case cases[] = {
        {WindowsFamily::Win98, {1768}, {1796, 2884, 1000}, {264}, {532}, {1052}, {1060}},
        {WindowsFamily::NT4, {1768, 1796}, {2088, 2884}, {264}, {532}, {1052, 1060}, {1056}},
        {WindowsFamily::XP, {1768, 1796, 2088, 2884}, {2000}, {264, 532}, {300}, {1052, 1060}, {1064}},
    };
    for (const Case &c : cases)
    {
        MakePc(c.os);
        Ras ras;
        SCOPED_TRACE(kitpc::FamilyName(c.os));
        ASSERT_EQ(0u, SetEntry(ras, kEntry, PppoeEntry(RASENTRYA_V400_SIZE)));
        RASENTRYA entry;
        for (DWORD size : c.entry)
            EXPECT_EQ(0u, GetEntry(ras, kEntry, entry, size)) << size;
        for (DWORD size : c.refusedEntry)
        {
            EXPECT_EQ(DWORD(ERROR_INVALID_SIZE), GetEntry(ras, kEntry, entry, size)) << size;
            EXPECT_EQ(DWORD(ERROR_INVALID_SIZE), SetEntry(ras, kEntry, PppoeEntry(size))) << size;
        }
        DWORD error = kSentinel;
        for (DWORD size : c.names)
        {
            EXPECT_EQ(std::vector<std::string>{kEntry}, Entries(ras, size, &error)) << size;
        }
        for (DWORD size : c.refusedNames)
        {
            Entries(ras, size, &error);
            EXPECT_EQ(DWORD(ERROR_INVALID_SIZE), error) << size;
        }
        RASDIALPARAMSA params{};
        std::strcpy(params.szEntryName, kEntry);
        BOOL hasPassword = FALSE;
        for (DWORD size : c.dial)
        {
            params.dwSize = size;
            EXPECT_EQ(0u, RAS(ras, RasGetEntryDialParamsA)(nullptr, &params, &hasPassword)) << size;
        }
        for (DWORD size : c.refusedDial)
        {
            params.dwSize = size;
            EXPECT_EQ(DWORD(ERROR_INVALID_SIZE),
                      RAS(ras, RasGetEntryDialParamsA)(nullptr, &params, &hasPassword));
        }
        // The size asked for is the largest version this Windows knows.
        DWORD bytes = 0;
        EXPECT_EQ(DWORD(ERROR_BUFFER_TOO_SMALL),
                  RAS(ras, RasGetEntryPropertiesA)(nullptr, kEntry, nullptr, &bytes, nullptr, nullptr));
        EXPECT_EQ(c.entry.back(), bytes);
    }
}

// Created, found under another case (not duplicated), updated, read back and deleted.
void EntryLifecycle(WindowsFamily os, DWORD entrySize, DWORD nameSize)
{
    MakePc(os);
    Ras ras;
    EXPECT_EQ(0u, RAS(ras, RasValidateEntryNameA)(nullptr, kEntry));
    ASSERT_EQ(0u, SetEntry(ras, kEntry, PppoeEntry(entrySize)));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS),
              RAS(ras, RasValidateEntryNameA)(nullptr, "CONEXI\xD3N adsl router"));

    RASENTRYA update = PppoeEntry(entrySize);
    update.szLocalPhoneNumber[0] = '\0';
    update.dwfOptions = RASEO_RemoteDefaultGateway;
    ASSERT_EQ(0u, SetEntry(ras, "conexi\xF3n adsl router", update));
    ASSERT_EQ(0u, SetEntry(ras, "Otra", PppoeEntry(entrySize)));
    EXPECT_EQ((std::vector<std::string>{kEntry, "Otra"}), Entries(ras, nameSize));

    RASENTRYA entry;
    ASSERT_EQ(0u, GetEntry(ras, "CONEXI\xD3N ADSL ROUTER", entry, entrySize));
    EXPECT_EQ(entrySize, entry.dwSize);
    EXPECT_EQ(DWORD(RASEO_RemoteDefaultGateway), entry.dwfOptions);
    EXPECT_STREQ("", entry.szLocalPhoneNumber);
    EXPECT_STREQ("WinPoET WAN (PPPOE) Adapter", entry.szDeviceName);
    EXPECT_STREQ(RASDT_PPPoE, entry.szDeviceType);
    EXPECT_EQ(DWORD(RASNP_Ip), entry.dwfNetProtocols);
    EXPECT_EQ(DWORD(RASFP_Ppp), entry.dwFramingProtocol);
    if (entrySize >= RASENTRYA_V501_SIZE)
    {
        EXPECT_EQ(DWORD(RASET_Broadband), entry.dwType);
    }

    EXPECT_EQ(0u, RAS(ras, RasDeleteEntryA)(nullptr, "otra"));
    EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY), RAS(ras, RasDeleteEntryA)(nullptr, "Otra"));
    EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY), GetEntry(ras, "Otra", entry, entrySize));
    EXPECT_EQ(std::vector<std::string>{kEntry}, Entries(ras, nameSize));
    for (const char *bad : {"", ".oculta", "a\\b", "[x]"})
        EXPECT_EQ(DWORD(ERROR_INVALID_NAME), RAS(ras, RasValidateEntryNameA)(nullptr, bad)) << bad;
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), SetEntry(ras, "a:b", PppoeEntry(entrySize)));
}

TEST(RasPhoneBook, XpFileWithWindowsKeys)
{
    EntryLifecycle(WindowsFamily::XP, RASENTRYA_V501_SIZE, RASENTRYNAMEA_V500_SIZE);
    const std::string pbk = kittest::ReadHostFile(UserPbk());
    EXPECT_NE(std::string::npos, pbk.find("[Conexi\xC3\xB3n ADSL Router]\r\nEncoding=1\r\nType=5\r\n"))
        << pbk;
    for (const char *line : {"\r\nMEDIA=rastapi\r\n", "\r\nDevice=WinPoET WAN (PPPOE) Adapter\r\n",
                             "\r\nDEVICE=PPPoE\r\n", "\r\nIpPrioritizeRemote=1\r\n", "\r\nPhoneNumber=\r\n"})
        EXPECT_NE(std::string::npos, pbk.find(line)) << line;
    EXPECT_EQ(std::string::npos, pbk.find("[Otra]"));
}

TEST(RasPhoneBook, Nt4FileInTheSystemFolder)
{
    EntryLifecycle(WindowsFamily::NT4, RASENTRYA_V401_SIZE, RASENTRYNAMEA_V400_SIZE);
    const std::string pbk =
        kittest::ReadHostFile(kittest::MachineDir() + "/windows/system32/RAS/rasphone.pbk");
    EXPECT_NE(std::string::npos, pbk.find("[Conexi\xF3n ADSL Router]\r\n")) << pbk;
    EXPECT_EQ(std::string::npos, pbk.find("Encoding=1"));
}

TEST(RasPhoneBook, Windows98Registry)
{
    EntryLifecycle(WindowsFamily::Win98, RASENTRYA_V400_SIZE, RASENTRYNAMEA_V400_SIZE);
    const auto value = kittest::ReadRegValue(HKEY_CURRENT_USER, "RemoteAccess\\Addresses", kEntry);
    ASSERT_TRUE(value);
    EXPECT_EQ(DWORD(REG_BINARY), value->type);
    EXPECT_EQ(1768u, value->data.size());
    EXPECT_TRUE(kittest::RegKeyExists(HKEY_CURRENT_USER, std::string("RemoteAccess\\Profile\\") + kEntry));
    EXPECT_FALSE(kittest::RegKeyExists(HKEY_CURRENT_USER, "RemoteAccess\\Profile\\Otra"));
}

TEST(RasPhoneBook, DefaultEntryOfThePc)
{
    MakePc(WindowsFamily::XP);
    Ras ras;
    RASENTRYA entry;
    ASSERT_EQ(0u, GetEntry(ras, nullptr, entry, RASENTRYA_V501_SIZE));
    EXPECT_EQ(DWORD(RASFP_Ppp), entry.dwFramingProtocol);
    EXPECT_EQ(DWORD(RASNP_Ip), entry.dwfNetProtocols);
    EXPECT_EQ(0x318u, entry.dwfOptions);
    EXPECT_EQ(DWORD(RASEDM_DialAll), entry.dwDialMode);
    EXPECT_EQ(DWORD(RASIDS_Disabled), entry.dwIdleDisconnectSeconds);
    EXPECT_EQ(DWORD(RASET_Phone), entry.dwType);
    EXPECT_STREQ("", entry.szDeviceName);
    EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY), GetEntry(ras, kEntry, entry, RASENTRYA_V501_SIZE));
}

TEST(RasPhoneBook, DamagedAndReadOnly)
{
    MakePc(WindowsFamily::XP);
    Ras ras;
    ASSERT_EQ(0u, SetEntry(ras, kEntry, PppoeEntry(RASENTRYA_V501_SIZE)));
    const std::string good = kittest::ReadHostFile(UserPbk());

    ASSERT_EQ(0, ::chmod(UserPbk().c_str(), 0444));
    EXPECT_EQ(DWORD(ERROR_CANNOT_WRITE_PHONEBOOK), SetEntry(ras, "Otra", PppoeEntry(RASENTRYA_V501_SIZE)));
    EXPECT_EQ(DWORD(ERROR_CANNOT_WRITE_PHONEBOOK), RAS(ras, RasDeleteEntryA)(nullptr, kEntry));
    EXPECT_EQ(std::vector<std::string>{kEntry}, Entries(ras, RASENTRYNAMEA_V500_SIZE));
    ASSERT_EQ(0, ::chmod(UserPbk().c_str(), 0000));
    DWORD error = 0;
    Entries(ras, RASENTRYNAMEA_V500_SIZE, &error);
    EXPECT_EQ(DWORD(ERROR_CANNOT_OPEN_PHONEBOOK), error);
    ASSERT_EQ(0, ::chmod(UserPbk().c_str(), 0644));

    for (const std::string &damaged : {std::string("\0\x01\x02garbage", 10), std::string("[Conexi\n") + good})
    {
        ASSERT_TRUE(kittest::WriteHostFile(UserPbk(), damaged));
        Entries(ras, RASENTRYNAMEA_V500_SIZE, &error);
        EXPECT_EQ(DWORD(ERROR_CANNOT_OPEN_PHONEBOOK), error);
        EXPECT_EQ(DWORD(ERROR_CANNOT_OPEN_PHONEBOOK), RAS(ras, RasValidateEntryNameA)(nullptr, kEntry));
        EXPECT_EQ(DWORD(ERROR_CANNOT_OPEN_PHONEBOOK), SetEntry(ras, kEntry, PppoeEntry(RASENTRYA_V501_SIZE)));
        EXPECT_EQ(damaged, kittest::ReadHostFile(UserPbk()));
    }

    // 9x: a value of Addresses that is not an entry.
    MakePc(WindowsFamily::Win98);
    kittest::WriteRegValue(HKEY_CURRENT_USER, "RemoteAccess\\Addresses", "Rota", REG_BINARY, "xx");
    Ras ras98;
    Entries(ras98, RASENTRYNAMEA_V400_SIZE, &error);
    EXPECT_EQ(DWORD(ERROR_CANNOT_OPEN_PHONEBOOK), error);
}

TEST(RasPhoneBook, TextsKeepTheirLettersAndSectionsNoEntryCanBeStay)
{
    MakePc(WindowsFamily::XP);
    Ras ras;
    // Texts of every group with letters outside ASCII, read back as written.
    RASENTRYA entry = PppoeEntry(RASENTRYA_V501_SIZE);
    std::strcpy(entry.szAutodialDll, "C:\\Programaci\xF3n\\marcador.dll");
    std::strcpy(entry.szDeviceName, "M\xF3"
                                    "dem est\xE1"
                                    "ndar");
    std::strcpy(entry.szAreaCode, "\xD1");
    ASSERT_EQ(0u, SetEntry(ras, kEntry, entry));
    RASENTRYA read;
    ASSERT_EQ(0u, GetEntry(ras, kEntry, read, RASENTRYA_V501_SIZE));
    EXPECT_STREQ(entry.szAutodialDll, read.szAutodialDll);
    EXPECT_STREQ(entry.szDeviceName, read.szDeviceName);
    EXPECT_STREQ(entry.szAreaCode, read.szAreaCode);
    // An entry read and written again reads back byte for byte.
    std::memset(read.szAutodialDll, 0, sizeof read.szAutodialDll);
    std::strcpy(read.szAutodialDll, "a.dll");
    ASSERT_EQ(0u, SetEntry(ras, kEntry, read));
    RASENTRYA again;
    ASSERT_EQ(0u, GetEntry(ras, kEntry, again, RASENTRYA_V501_SIZE));
    EXPECT_EQ(0, std::memcmp(&read, &again, RASENTRYA_V501_SIZE));
    // A key given twice takes the second text, with nothing of the first behind its end.
    std::string twice = kittest::ReadHostFile(UserPbk());
    twice.insert(twice.find("PhoneNumber="), "PhoneNumber=912345678\r\n");
    ASSERT_TRUE(kittest::WriteHostFile(UserPbk(), twice));
    ASSERT_EQ(0u, GetEntry(ras, kEntry, again, RASENTRYA_V501_SIZE));
    EXPECT_EQ(std::string("1.1.1.1") + std::string(sizeof again.szLocalPhoneNumber - 7, '\0'),
              std::string(again.szLocalPhoneNumber, sizeof again.szLocalPhoneNumber));

    // A section whose name is longer than an entry's is no entry, and a write keeps it.
    const std::string longName(300, 'x');
    ASSERT_TRUE(kittest::WriteHostFile(UserPbk(), "[" + longName + "]\r\nType=1\r\n\r\n" +
                                                      kittest::ReadHostFile(UserPbk())));
    EXPECT_EQ(std::vector<std::string>{kEntry}, Entries(ras, RASENTRYNAMEA_V500_SIZE));
    ASSERT_EQ(0u, SetEntry(ras, "Otra", PppoeEntry(RASENTRYA_V501_SIZE)));
    EXPECT_NE(std::string::npos, kittest::ReadHostFile(UserPbk()).find("[" + longName + "]\r\nType=1\r\n"));
}

TEST(RasDialParams, PasswordKeptOnlyInAPrivateFile)
{
    struct Case
    {
        WindowsFamily os;
        const char *passwordBack;
    };
    for (const Case &c : {Case{WindowsFamily::XP, "****************"}, Case{WindowsFamily::NT4, "secreto"},
                          Case{WindowsFamily::Win98, "secreto"}})
    {
        SCOPED_TRACE(kitpc::FamilyName(c.os));
        MakePc(c.os);
        Ras ras;
        ASSERT_EQ(0u, SetEntry(ras, kEntry, PppoeEntry(RASENTRYA_V400_SIZE)));
        RASDIALPARAMSA params{};
        params.dwSize = RASDIALPARAMSA_V400_SIZE;
        std::strcpy(params.szEntryName, "conexi\xF3n adsl router");
        std::strcpy(params.szUserName, "usuario@adsl");
        std::strcpy(params.szPassword, "secreto");
        ASSERT_EQ(0u, RAS(ras, RasSetEntryDialParamsA)(nullptr, &params, FALSE));

        RASDIALPARAMSA back{};
        back.dwSize = RASDIALPARAMSA_V400_SIZE;
        std::strcpy(back.szEntryName, kEntry);
        BOOL hasPassword = kSentinel;
        ASSERT_EQ(0u, RAS(ras, RasGetEntryDialParamsA)(nullptr, &back, &hasPassword));
        EXPECT_EQ(TRUE, hasPassword);
        EXPECT_STREQ("usuario@adsl", back.szUserName);
        EXPECT_STREQ(c.passwordBack, back.szPassword);

        // Handed back as it came, the password stays what it was.
        ASSERT_EQ(0u, RAS(ras, RasSetEntryDialParamsA)(nullptr, &back, FALSE));
        struct stat st
        {
        };
        const std::string store = kittest::MachineDir() + "/ras/credentials";
        ASSERT_EQ(0, ::stat(store.c_str(), &st));
        EXPECT_EQ(0600u, st.st_mode & 0777);
        EXPECT_NE(std::string::npos, kittest::ReadHostFile(store).find("7365637265746f")); // "secreto"
        const std::string pbk =
            kittest::ReadHostFile(kittest::MachineDir() +
                                  "/appdata/Microsoft/Network/Connections/Pbk/rasphone.pbk") +
            kittest::ReadHostFile(kittest::MachineDir() + "/windows/system32/RAS/rasphone.pbk");
        EXPECT_EQ(std::string::npos, pbk.find("secreto"));

        ASSERT_EQ(0u, RAS(ras, RasSetEntryDialParamsA)(nullptr, &params, TRUE));
        ASSERT_EQ(0u, RAS(ras, RasGetEntryDialParamsA)(nullptr, &back, &hasPassword));
        EXPECT_EQ(FALSE, hasPassword);
        EXPECT_STREQ("", back.szPassword);
        std::strcpy(back.szEntryName, "Nadie");
        EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY),
                  RAS(ras, RasGetEntryDialParamsA)(nullptr, &back, &hasPassword));
    }
}

TEST(RasDialParams, Nt4Credentials)
{
    MakePc(WindowsFamily::NT4);
    Ras ras;
    ASSERT_EQ(0u, SetEntry(ras, kEntry, PppoeEntry(RASENTRYA_V401_SIZE)));
    RASCREDENTIALSA credentials{};
    credentials.dwSize = sizeof credentials;
    credentials.dwMask = RASCM_UserName | RASCM_Password;
    std::strcpy(credentials.szUserName, "usuario");
    std::strcpy(credentials.szPassword, "clave");
    auto setCredentials = RAS(ras, RasSetCredentialsA);
    ASSERT_EQ(0u, setCredentials(nullptr, kEntry, &credentials, FALSE));
    RASDIALPARAMSA back{};
    back.dwSize = RASDIALPARAMSA_V401_SIZE;
    std::strcpy(back.szEntryName, kEntry);
    BOOL hasPassword = FALSE;
    ASSERT_EQ(0u, RAS(ras, RasGetEntryDialParamsA)(nullptr, &back, &hasPassword));
    EXPECT_STREQ("usuario", back.szUserName);
    EXPECT_STREQ("clave", back.szPassword);
    credentials.dwSize = 536;
    EXPECT_EQ(DWORD(ERROR_INVALID_SIZE), setCredentials(nullptr, kEntry, &credentials, FALSE));
    credentials.dwSize = sizeof credentials;
    EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY),
              setCredentials(nullptr, "Nadie", &credentials, FALSE));
}

TEST(RasErrors, TextsInTheUsersLanguage)
{
    char text[512];
    MakePc(WindowsFamily::XP);
    Ras spanish;
    auto errorString = RAS(spanish, RasGetErrorStringA);
    ASSERT_EQ(0u, errorString(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, text, sizeof text));
    EXPECT_STREQ("El sistema no pudo encontrar la entrada de la libreta de tel\xE9"
                 "fonos para esta conexi\xF3n.",
                 text);
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), errorString(ERROR_INVALID_SIZE, text, 5));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), errorString(999999, text, sizeof text));

    MakePc(WindowsFamily::Win2000, true, 0x0409);
    ASSERT_EQ(0u, errorString(ERROR_BUFFER_TOO_SMALL, text, sizeof text));
    EXPECT_STREQ("The buffer is too small.", text);
}
#endif
} // namespace
