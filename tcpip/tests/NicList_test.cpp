// The Windows version code, the adapter lists of each family and their navigation.
#include "tcpip/NicList.h"
#include "tcpip/tests/nictest.h"

#include "testing/kittest.h"

#include <gtest/gtest.h>

using namespace nictest;

namespace
{
Strings Names(CNicList &list)
{
    Strings names;
    EXPECT_EQ(list.GetNameList(names), S_OK);
    return names;
}

// The display names of the records that were read, in order.
Strings RecordNames(CNicList &list)
{
    Strings names;
    for (HRESULT hr = list.First(); hr == S_OK; hr = list.Next())
    {
        std::string name;
        EXPECT_EQ(list.Current()->GetName(name), S_OK);
        names.push_back(name);
    }
    return names;
}

class EveryFamily : public testing::TestWithParam<Family>
{
  protected:
    void SetUp() override { MakePc(GetParam()); }
};

std::string FamilyTestName(const testing::TestParamInfo<Family> &info)
{
    return NameOf(info.param);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// GetWindowsVersionCode

TEST_P(EveryFamily, VersionCodeOfAFreshInstallation)
{
    const LONG expected[] = {WINVER_CODE_95,  WINVER_CODE_98,   WINVER_CODE_98SE, WINVER_CODE_ME,
                             WINVER_CODE_NT4, WINVER_CODE_2000, WINVER_CODE_XP};
    LONG code = -1;
    EXPECT_EQ(GetWindowsVersionCode(code), S_OK);
    EXPECT_EQ(code, expected[static_cast<int>(GetParam())]);
}

struct VersionCase
{
    const char *family, *platformId, *major, *minor, *csd, *servicePack;
    LONG code;
};

class VersionCodes : public testing::TestWithParam<VersionCase>
{
};

TEST_P(VersionCodes, FromThePlatformsVersion)
{
    const VersionCase &c = GetParam();
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", c.family));
    for (auto [key, value] : {std::pair{"PlatformId", c.platformId},
                              {"MajorVersion", c.major},
                              {"MinorVersion", c.minor},
                              {"CSDVersion", c.csd},
                              {"ServicePackMajor", c.servicePack}})
        ASSERT_TRUE(kitpc::SetIdentityValue("Windows", key, value));
    LONG code = -1;
    EXPECT_EQ(GetWindowsVersionCode(code), S_OK);
    EXPECT_EQ(code, c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionCodes,
    testing::Values(VersionCase{"95", "1", "4", "3", "", "0", WINVER_CODE_95},      // OSR2's minor
                    VersionCase{"98", "1", "4", "10", "xA", "0", WINVER_CODE_98SE}, // only the 2nd character
                    VersionCase{"98", "1", "4", "89", "Ax", "0", WINVER_CODE_98},   //
                    VersionCase{"me", "1", "4", "95", "", "0", WINVER_CODE_ME},     //
                    VersionCase{"98", "1", "5", "0", "", "0", WINVER_CODE_UNKNOWN}, // a 9x that never was
                    VersionCase{"nt4", "2", "4", "0", "Service Pack 3", "3", WINVER_CODE_NT4}, // basic only
                    VersionCase{"nt4", "2", "3", "51", "", "0", WINVER_CODE_NT4},              //
                    VersionCase{"xp", "2", "6", "0", "", "0", WINVER_CODE_NT4},                //
                    VersionCase{"xp", "2", "5", "2", "", "0", WINVER_CODE_XP},                 //
                    VersionCase{"xp", "3", "5", "1", "", "0", WINVER_CODE_UNKNOWN}));

// ---------------------------------------------------------------------------------------------
// Load: what every family shares

TEST_P(EveryFamily, TwoCardsWithOneDescriptionAreToldApartByTheirNumber)
{
    AddCard(GetParam(), {"Realtek RTL8139"});
    AddCard(GetParam(), {"Realtek RTL8139"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    const Strings expected = {"{1} Realtek RTL8139", "{2} Realtek RTL8139"};
    EXPECT_EQ(Names(list), expected);
    EXPECT_EQ(RecordNames(list), expected);
}

TEST_P(EveryFamily, ACardWithoutItsTcpipKeyIsListedButHasNoRecord)
{
    AddCard(GetParam(), {"Tarjeta A", "", true, false, false});
    AddCard(GetParam(), {"Tarjeta B"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), (Strings{"{1} Tarjeta A", "{2} Tarjeta B"}));
    EXPECT_EQ(RecordNames(list), Strings{"{2} Tarjeta B"});
}

TEST_P(EveryFamily, ACardWithoutDescriptionTakesNoNumber)
{
    AddCard(GetParam(), {""});
    AddCard(GetParam(), {"Tarjeta B"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), Strings{"{1} Tarjeta B"});
}

TEST_P(EveryFamily, ALoadStartsAgain)
{
    AddCard(GetParam(), {"Tarjeta A"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), Strings{"{1} Tarjeta A"});
    EXPECT_EQ(RecordNames(list), Strings{"{1} Tarjeta A"});
}

TEST_P(EveryFamily, AnEmptyPcLoadsNothingOrFailsWithoutItsKey)
{
    CNicList list;
    // NT keeps the cards' key from its installation; the 9x Enum tree is always there.
    EXPECT_EQ(list.Load(), E_FAIL);
    EXPECT_EQ(list.First(), E_FAIL);
    EXPECT_EQ(list.Current(), nullptr);
    if (Is9x(GetParam()))
        WriteString("Enum\\Root", "", "");
    else
        WriteString("Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", "", "");
    EXPECT_EQ(list.Load(), S_OK);
    EXPECT_TRUE(Names(list).empty());
    EXPECT_EQ(list.First(), E_FAIL);
}

TEST_P(EveryFamily, FindComparesTheWholeNameWithCase)
{
    AddCard(GetParam(), {"Tarjeta A"});
    AddCard(GetParam(), {"Tarjeta B"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    ASSERT_EQ(list.Find("{2} Tarjeta B"), S_OK);
    std::string name;
    list.Current()->GetName(name);
    EXPECT_EQ(name, "{2} Tarjeta B");
    for (const char *other : {"{1} tarjeta a", "Tarjeta A", "{1} Tarjeta A "})
        EXPECT_EQ(list.Find(other), E_FAIL) << other;
    EXPECT_EQ(list.Find(""), E_INVALIDARG);
    list.Current()->GetName(name);
    EXPECT_EQ(name, "{2} Tarjeta B"); // where it was
    EXPECT_EQ(list.Find("{1} Tarjeta A"), S_OK);
    list.Current()->GetName(name);
    EXPECT_EQ(name, "{1} Tarjeta A");
}

TEST_P(EveryFamily, NavigationStopsAtBothEnds)
{
    AddCard(GetParam(), {"Tarjeta A"});
    AddCard(GetParam(), {"Tarjeta B"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    auto current = [&list] {
        std::string name;
        list.Current()->GetName(name);
        return name;
    };
    EXPECT_EQ(list.Last(), S_OK);
    EXPECT_EQ(current(), "{2} Tarjeta B");
    EXPECT_EQ(list.Next(), E_FAIL);
    EXPECT_EQ(current(), "{2} Tarjeta B");
    EXPECT_EQ(list.Prev(), S_OK);
    EXPECT_EQ(current(), "{1} Tarjeta A");
    EXPECT_EQ(list.Prev(), E_FAIL);
    EXPECT_EQ(list.First(), S_OK);
    EXPECT_EQ(list.Next(), S_OK);
    EXPECT_EQ(current(), "{2} Tarjeta B");
}

INSTANTIATE_TEST_SUITE_P(Families, EveryFamily, testing::ValuesIn(kAllFamilies), FamilyTestName);

TEST(NicList, WithoutALoadEveryOperationFails)
{
    CNicList list;
    Strings names;
    EXPECT_EQ(list.First(), E_FAIL);
    EXPECT_EQ(list.Last(), E_FAIL);
    EXPECT_EQ(list.Next(), E_FAIL);
    EXPECT_EQ(list.Prev(), E_FAIL);
    EXPECT_EQ(list.Find("{1} Tarjeta"), E_FAIL);
    EXPECT_EQ(list.GetNameList(names), E_FAIL);
    EXPECT_EQ(list.Current(), nullptr);
}

TEST(NicList, AnUnknownWindowsLoadsNothing)
{
    MakePc(Family::XP);
    AddCard(Family::XP, {"Tarjeta A"});
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "3"));
    CNicList list;
    EXPECT_EQ(list.Load(), E_FAIL);
    EXPECT_EQ(list.First(), E_FAIL);
}

// ---------------------------------------------------------------------------------------------
// NT 4 and 2000/XP

class NtFamily : public EveryFamily
{
};

TEST_P(NtFamily, AHiddenCardIsLeftOutWhateverItsHiddenValueHolds)
{
    AddCard(GetParam(), {"Oculta", "", true, true});
    AddCard(GetParam(), {"Visible"});
    const std::string entry = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\3";
    AddCard(GetParam(), {"Oculta por texto"});
    WriteString(entry, "Hidden", "1"); // 2 bytes: fits the 4-byte read
    AddCard(GetParam(), {"Texto largo"});
    WriteString("Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\4", "Hidden", "no, visible");
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), (Strings{"{1} Visible", "{2} Texto largo"}));
}

TEST_P(NtFamily, ACardWithoutServiceNameIsLeftOut)
{
    AddCard(GetParam(), {"Sin servicio"});
    kittest::WriteRegValue(HKEY_LOCAL_MACHINE,
                           "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1", "ServiceName",
                           REG_SZ, std::string(3000, 'x')); // does not fit: a failed read
    AddCard(GetParam(), {"Con servicio"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), Strings{"{1} Con servicio"});
}

TEST_P(NtFamily, TheRecordsAreOfTheFamilysLayout)
{
    const std::string key = AddCard(GetParam(), {"Tarjeta"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    ASSERT_EQ(list.First(), S_OK);
    if (GetParam() == Family::NT4)
        EXPECT_NE(dynamic_cast<CNicTcpipNT4 *>(list.Current()), nullptr);
    else
        EXPECT_NE(dynamic_cast<CNicTcpip2000 *>(list.Current()), nullptr);
    std::string read;
    list.Current()->GetKey(read);
    EXPECT_EQ(read, key);
}

INSTANTIATE_TEST_SUITE_P(Families, NtFamily, testing::Values(Family::NT4, Family::Win2000, Family::XP),
                         FamilyTestName);

TEST(NicList2000, ACardWhoseDeviceDoesNotAnswerTakesNoNumber)
{
    for (Family family : {Family::Win2000, Family::XP})
    {
        SCOPED_TRACE(NameOf(family));
        kittest::TempMachine pc;
        MakePc(family);
        DeleteTree("Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards");
        AddCard(family, {"Desconectada", "{11111111-2222-3333-4444-555555555555}", false});
        AddCard(family, {"Conectada"});
        CNicList list;
        ASSERT_EQ(list.Load(), S_OK);
        EXPECT_EQ(Names(list), Strings{"{1} Conectada"});
        EXPECT_EQ(RecordNames(list), Strings{"{1} Conectada"});
    }
}

TEST(NicListNT4, NT4HasNoDeviceCheck)
{
    MakePc(Family::NT4);
    AddCard(Family::NT4, {"Sin dispositivo", "", false});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(RecordNames(list), Strings{"{1} Sin dispositivo"});
}

// ---------------------------------------------------------------------------------------------
// 95, 98, 98 SE and Me

class Family9x : public EveryFamily
{
};

INSTANTIATE_TEST_SUITE_P(Families, Family9x,
                         testing::Values(Family::Win95, Family::Win98, Family::Win98SE, Family::WinMe),
                         FamilyTestName);

TEST_P(Family9x, TheDialUpAdapterNeverAppears)
{
    AddCard(GetParam(), {"Adaptador de acceso telefónico"});
    WriteString("Enum\\PCI\\VEN_10B7&DEV_9001\\BUS_00", "HardwareID", "*pnp8387");
    AddCard(GetParam(), {"Adaptador compatible"});
    WriteString("Enum\\PCI\\VEN_10B7&DEV_9002\\BUS_00", "CompatibleIDs", "*PNP8387");
    AddCard(GetParam(), {"Tarjeta Ethernet"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), Strings{"{1} Tarjeta Ethernet"});
    EXPECT_EQ(RecordNames(list), Strings{"{1} Tarjeta Ethernet"});
}

TEST_P(Family9x, OnlyNetDevicesCountWhateverTheCaseOfTheirClass)
{
    AddCard(GetParam(), {"Módem"});
    WriteString("Enum\\PCI\\VEN_10B7&DEV_9001\\BUS_00", "Class", "Modem");
    AddCard(GetParam(), {"Tarjeta en minúsculas"});
    WriteString("Enum\\PCI\\VEN_10B7&DEV_9002\\BUS_00", "Class", "nEt");
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), Strings{"{1} Tarjeta en minúsculas"});
}

TEST_P(Family9x, ABindingCopiedFromAnotherAdapterIsNotTheAdapters)
{
    AddCard(GetParam(), {"Copia"});
    WriteString("Enum\\Network\\MSTCP\\0000", "MasterCopy", "Enum\\Network\\MSTCP\\0001");
    AddCard(GetParam(), {"Propia"});
    WriteString("Enum\\Network\\MSTCP\\0001", "MasterCopy", "ENUM\\NETWORK\\mstcp\\0001"); // case aside
    AddCard(GetParam(), {"Sin MasterCopy"});
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\Network\\MSTCP\\0002"); // recreated below without it
    WriteString("Enum\\Network\\MSTCP\\0002", "Driver", "NetTrans\\0002");
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), (Strings{"{1} Propia", "{2} Sin MasterCopy"}));
    EXPECT_EQ(RecordNames(list), (Strings{"{1} Propia", "{2} Sin MasterCopy"}));
}

TEST_P(Family9x, TheSearchGoesOnPastABindingWithoutDriverAndTheLastOneDecides)
{
    const std::string instance = "Enum\\PCI\\VEN_10B7&DEV_9001\\BUS_00";
    const std::string driver = AddCard(GetParam(), {"Dos enlaces"});
    // An own binding without a driver, then a copied one that names a driver: not accepted.
    WriteString(instance + "\\Bindings", "NETBEUI\\0000", "");
    WriteString("Enum\\Network\\MSTCP\\0000", "Driver", "");
    WriteString(instance + "\\Bindings", "mstcp\\0005", "");
    WriteString("Enum\\Network\\mstcp\\0005", "Driver", driver);
    WriteString("Enum\\Network\\mstcp\\0005", "MasterCopy", "Enum\\Network\\MSTCP\\0000");
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_TRUE(Names(list).empty());
    // Its own now: found through the second binding.
    WriteString("Enum\\Network\\mstcp\\0005", "MasterCopy", "Enum\\Network\\mstcp\\0005");
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(RecordNames(list), Strings{"{1} Dos enlaces"});
}

TEST_P(Family9x, AnAdapterWithoutTcpipBindingIsListedWithoutRecord)
{
    AddCard(GetParam(), {"Sin TCP/IP"});
    DeleteTree("Enum\\PCI\\VEN_10B7&DEV_9001\\BUS_00\\Bindings");
    AddCard(GetParam(), {"Con IPX"});
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_10B7&DEV_9002\\BUS_00\\Bindings");
    WriteString("Enum\\PCI\\VEN_10B7&DEV_9002\\BUS_00\\Bindings", "NWLINK\\0000", "");
    AddCard(GetParam(), {"Con TCP/IP"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), (Strings{"{1} Sin TCP/IP", "{2} Con IPX", "{3} Con TCP/IP"}));
    EXPECT_EQ(RecordNames(list), Strings{"{3} Con TCP/IP"});
    std::string key;
    list.Current()->GetKey(key);
    EXPECT_EQ(key, "NetTrans\\0002");
    EXPECT_NE(dynamic_cast<CNicTcpip9x *>(list.Current()), nullptr);
}

TEST_P(Family9x, ADeviceWithoutDescriptionIsLeftOut)
{
    AddCard(GetParam(), {"Sin descripción"});
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_10B7&DEV_9001\\BUS_00", 0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    RegDeleteValueA(key, "DeviceDesc");
    RegCloseKey(key);
    AddCard(GetParam(), {"Con descripción"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    EXPECT_EQ(Names(list), Strings{"{1} Con descripción"});
}
