// The adapter records: what Read takes from each layout, what each setter writes, straight or
// through the deferred-change file, what the record keeps, and the roll-back of failed writes.
#include "tcpip/NicList.h"
#include "tcpip/TcpipRegistry.h"
#include "tcpip/tests/nictest.h"

#include "testing/kittest.h"

#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>

using namespace nictest;

namespace
{
struct Fields
{
    Strings ips, masks, gateways, dns, wins;
    std::string nodeType, hostName, domain, dhcpAddress, dhcpMask, dhcpServer;
    LONG dhcp = -1, dnsEnabled = -1, bound = -1;
    bool operator==(const Fields &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Strings &list)
{
    out << "{";
    for (const std::string &item : list)
        out << "\"" << item << "\" ";
    return out << "}";
}

[[maybe_unused]] void PrintTo(const Fields &f, std::ostream *out)
{
    *out << "ips " << f.ips << " masks " << f.masks << " gateways " << f.gateways << " dns " << f.dns
         << " wins " << f.wins << " node \"" << f.nodeType << "\" host \"" << f.hostName << "\" domain \""
         << f.domain << "\" dhcp " << f.dhcp << " [" << f.dhcpAddress << " " << f.dhcpMask << " "
         << f.dhcpServer << "] dns " << f.dnsEnabled << " bound " << f.bound;
}

Fields FieldsOf(const CNicTcpip &record)
{
    Fields f;
    EXPECT_EQ(record.GetIPs(f.ips), S_OK);
    EXPECT_EQ(record.GetMasks(f.masks), S_OK);
    EXPECT_EQ(record.GetGateways(f.gateways), S_OK);
    EXPECT_EQ(record.GetDNS(f.dns), S_OK);
    EXPECT_EQ(record.GetWINS(f.wins, f.nodeType), S_OK);
    EXPECT_EQ(record.GetHostName(f.hostName), S_OK);
    EXPECT_EQ(record.GetDomain(f.domain), S_OK);
    EXPECT_EQ(record.GetDhcpIPAddress(f.dhcpAddress), S_OK);
    EXPECT_EQ(record.GetDhcpSubnetMask(f.dhcpMask), S_OK);
    EXPECT_EQ(record.GetDhcpServer(f.dhcpServer), S_OK);
    EXPECT_EQ(record.GetDhcpEnabled(f.dhcp), S_OK);
    EXPECT_EQ(record.GetDnsEnabled(f.dnsEnabled), S_OK);
    EXPECT_EQ(record.GetBound(f.bound), S_OK);
    return f;
}

// A PC of the family with one adapter "{1} Tarjeta" configured by hand: two addresses (one on
// 9x), a gateway, two DNS servers, WINS servers, host name and domain.
class Adapter
{
  public:
    explicit Adapter(Family family) : family_(family)
    {
        MakePc(family);
        key_ = AddCard(family, {"Tarjeta"});
        Configure();
    }

    Family family() const { return family_; }
    std::string I() const { return InterfaceKey(family_, key_); }
    std::string W() const { return WinsKey(family_, key_); }
    std::string G() const { return GlobalKey(family_); }
    const std::string &key() const { return key_; }
    Strings Keys() const { return {I(), W(), G()}; }

    // The adapter's record, freshly loaded.
    CNicTcpip &Load()
    {
        EXPECT_EQ(list_.Load(), S_OK);
        EXPECT_EQ(list_.Find("{1} Tarjeta"), S_OK);
        CNicTcpip *record = list_.Current();
        if (!record)
            throw std::runtime_error("no adapter record");
        return *record;
    }

    void Configure() const
    {
        if (Is9x(family_))
        {
            WriteString(I(), "IPAddress", "192.168.1.10");
            WriteString(I(), "IPMask", "255.255.255.0");
            WriteString(I(), "DefaultGateway", "192.168.1.1");
            for (int n = 1; n <= 3; ++n)
                WriteString(I(), ("NameServer" + std::to_string(n)).c_str(), "10.0.0." + std::to_string(n));
            WriteString(G(), "NameServer", "80.58.0.33,80.58.32.97");
            WriteString(G(), "EnableDNS", "1");
            WriteString(G(), "NodeType", "8");
            WriteString(G(), "HostName", "pc-casa");
            WriteString(G(), "Domain", "casa.local");
            return;
        }
        WriteMultiSz(I(), "IPAddress", {"192.168.1.10", "10.0.0.5"});
        WriteMultiSz(I(), "SubnetMask", {"255.255.255.0", "255.0.0.0"});
        WriteMultiSz(I(), "DefaultGateway", {"192.168.1.1"});
        WriteDword(I(), "EnableDHCP", 0);
        if (family_ == Family::NT4)
        {
            WriteString(G(), "NameServer", "80.58.0.33 80.58.32.97");
            WriteString(W(), "NameServer", "10.0.0.1");
            WriteString(W(), "NameServerBackup", "10.0.0.2");
            WriteString(G(), "HostName", "pc-casa");
            WriteString(G(), "Domain", "casa.local");
        }
        else
        {
            WriteString(I(), "NameServer", "80.58.0.33,80.58.32.97");
            WriteMultiSz(W(), "NameServerList", {"10.0.0.1", "10.0.0.2"});
        }
    }

  private:
    Family family_;
    std::string key_;
    CNicList list_;
};

// What Configure laid out, as the record reads it.
Fields Configured(Family family)
{
    Fields f;
    f.gateways = {"192.168.1.1"};
    f.dns = {"80.58.0.33", "80.58.32.97"};
    f.dhcpAddress = f.dhcpMask = f.dhcpServer = "0.0.0.0";
    f.dhcp = 0;
    f.dnsEnabled = 1;
    f.bound = 1;
    f.hostName = "pc-casa";
    f.domain = "casa.local";
    if (Is9x(family))
    {
        f.ips = {"192.168.1.10"};
        f.masks = {"255.255.255.0"};
        f.wins = {"10.0.0.1", "10.0.0.2", "10.0.0.3"};
        f.nodeType = "8";
        return f;
    }
    f.ips = {"192.168.1.10", "10.0.0.5"};
    f.masks = {"255.255.255.0", "255.0.0.0"};
    f.wins = {"10.0.0.1", "10.0.0.2"};
    if (family != Family::NT4)
        f.hostName = f.domain = "E_NOTIMPL";
    return f;
}

bool NotKept(Family family)
{
    return family == Family::Win2000 || family == Family::XP;
}

// What a run of the job writes: every setter once, in the job's order.
struct Plan
{
    const char *name;
    Strings ips, masks, gateways, dns, wins;
    std::string nodeType;
    bool enableDhcp;
};

const Plan kPlans[] = {
    {"full",
     {"10.0.0.1", "10.0.0.2"},
     {"255.0.0.0", "255.255.0.0"},
     {"10.0.0.138", "10.0.0.139"},
     {"80.58.61.250", "80.58.61.254"},
     {"10.0.0.20"},
     "8",
     false},
    {"empty", {}, {}, {}, {}, {}, "", true},
};

// Each setter expected to succeed (2000/XP: E_NOTIMPL for the host name and domain).
void RunEverySetter(CNicTcpip &record, Family family, const Plan &plan,
                    kittest::Caller where = kittest::Caller::current())
{
    kittest::CallerTrace trace(where);
    const HRESULT notKept = NotKept(family) ? E_NOTIMPL : S_OK;
    EXPECT_EQ(record.SetIPs(plan.ips, plan.masks), S_OK);
    EXPECT_EQ(record.SetGateways(plan.gateways), S_OK);
    EXPECT_EQ(record.SetDNS(plan.dns), S_OK);
    EXPECT_EQ(record.SetWINS(plan.wins, plan.nodeType), S_OK);
    EXPECT_EQ(record.SetHostName("pc-adsl"), notKept);
    EXPECT_EQ(record.SetDomain("C:\\dominio \"raro\""), notKept);
    EXPECT_EQ(record.DisableDNS(), S_OK);
    if (plan.enableDhcp)
    {
        EXPECT_EQ(record.EnableDHCP(), S_OK);
    }
}

class EveryLayout : public testing::TestWithParam<Family>
{
  protected:
    void TearDown() override { tcpipreg::SetWriteTarget(0); }
};

std::string FamilyTestName(const testing::TestParamInfo<Family> &info)
{
    return NameOf(info.param);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Read

TEST_P(EveryLayout, ReadTakesEveryFieldFromItsLayout)
{
    Adapter adapter(GetParam());
    EXPECT_EQ(FieldsOf(adapter.Load()), Configured(GetParam()));
}

TEST_P(EveryLayout, MissingValuesLeaveTheirFieldsEmpty)
{
    MakePc(GetParam());
    AddCard(GetParam(), {"Tarjeta"});
    CNicList list;
    ASSERT_EQ(list.Load(), S_OK);
    ASSERT_EQ(list.First(), S_OK);
    Fields expected;
    expected.dhcp = Is9x(GetParam()) ? 1 : 0; // no address on 9x means DHCP
    expected.dnsEnabled = 0;
    expected.bound = 1;
    expected.dhcpAddress = expected.dhcpMask = expected.dhcpServer = Is9x(GetParam()) ? "" : "0.0.0.0";
    if (NotKept(GetParam()))
        expected.hostName = expected.domain = "E_NOTIMPL";
    EXPECT_EQ(FieldsOf(*list.Current()), expected);
}

TEST_P(EveryLayout, ReadNeedsANameAKeyAndTheTcpipKey)
{
    Adapter adapter(GetParam());
    std::unique_ptr<CNicTcpip> record;
    if (Is9x(GetParam()))
        record = std::make_unique<CNicTcpip9x>();
    else if (GetParam() == Family::NT4)
        record = std::make_unique<CNicTcpipNT4>();
    else
        record = std::make_unique<CNicTcpip2000>();
    EXPECT_EQ(record->SetName(""), E_FAIL);
    EXPECT_EQ(record->SetKey(""), E_FAIL);
    EXPECT_EQ(record->Read(), E_FAIL);
    EXPECT_EQ(record->SetKey(adapter.key()), S_OK);
    EXPECT_EQ(record->Read(), E_FAIL); // no name yet
    EXPECT_EQ(record->SetName("{1} Tarjeta"), S_OK);
    EXPECT_EQ(record->Read(), S_OK);
    EXPECT_EQ(FieldsOf(*record), Configured(GetParam()));
    EXPECT_EQ(record->SetKey("NoSuch\\Key"), S_OK);
    EXPECT_EQ(record->Read(), E_FAIL);
}

TEST_P(EveryLayout, EverySetterNeedsTheAdaptersKey)
{
    std::unique_ptr<CNicTcpip> record;
    if (Is9x(GetParam()))
        record = std::make_unique<CNicTcpip9x>();
    else if (GetParam() == Family::NT4)
        record = std::make_unique<CNicTcpipNT4>();
    else
        record = std::make_unique<CNicTcpip2000>();
    EXPECT_EQ(record->SetIPs({}, {}), E_FAIL);
    EXPECT_EQ(record->SetGateways({}), E_FAIL);
    EXPECT_EQ(record->SetDNS({}), E_FAIL);
    EXPECT_EQ(record->SetWINS({}, ""), E_FAIL);
    EXPECT_EQ(record->SetHostName("x"), E_FAIL);
    EXPECT_EQ(record->SetDomain("x"), E_FAIL);
    EXPECT_EQ(record->DisableDNS(), E_FAIL);
    EXPECT_EQ(record->EnableDHCP(), E_FAIL);
    EXPECT_EQ(DeferredText(), "<none>");
}

TEST(NicTcpip2000Read, DhcpFieldsComeFromTheInterfaceOnlyWithDhcp)
{
    for (Family family : {Family::Win2000, Family::XP, Family::NT4})
    {
        SCOPED_TRACE(NameOf(family));
        kittest::TempMachine pc;
        Adapter adapter(family);
        WriteString(adapter.I(), "DhcpIPAddress", "192.168.1.33");
        WriteString(adapter.I(), "DhcpSubnetMask", "255.255.255.0");
        WriteString(adapter.I(), "DhcpServer", "192.168.1.1");
        Fields f = FieldsOf(adapter.Load());
        EXPECT_EQ(f.dhcpAddress, "0.0.0.0");
        EXPECT_EQ(f.dhcpServer, "0.0.0.0");
        WriteDword(adapter.I(), "EnableDHCP", 2);
        f = FieldsOf(adapter.Load());
        EXPECT_EQ(f.dhcp, 1);
        EXPECT_EQ(f.dhcpAddress, "192.168.1.33");
        EXPECT_EQ(f.dhcpMask, "255.255.255.0");
        EXPECT_EQ(f.dhcpServer, "192.168.1.1");
    }
}

TEST(NicTcpip2000Read, BoundWhenTheBindingListNamesTheAdapterWithItsCase)
{
    for (Family family : {Family::Win2000, Family::NT4})
    {
        SCOPED_TRACE(NameOf(family));
        kittest::TempMachine pc;
        Adapter adapter(family);
        const std::string linkage = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Linkage";
        WriteMultiSz(linkage, "Bind", {"\\Device\\NdisWanIp", "  \\Device\\" + adapter.key() + " "});
        EXPECT_EQ(FieldsOf(adapter.Load()).bound, 1);
        std::string lower = adapter.key();
        for (char &c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        WriteMultiSz(linkage, "Bind",
                     {"\\Device\\" + lower, adapter.key(), "\\Device\\" + adapter.key() + "x"});
        EXPECT_EQ(FieldsOf(adapter.Load()).bound, 0);
        WriteMultiSz(linkage, "Bind", {"/dev/xx/" + adapter.key()}); // any eight characters
        EXPECT_EQ(FieldsOf(adapter.Load()).bound, 1);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, linkage.c_str());
        EXPECT_EQ(FieldsOf(adapter.Load()).bound, 0);
    }
}

TEST(NicTcpip2000Read, DnsSplitsAtCommasKeepingEmptyParts)
{
    Adapter adapter(Family::XP);
    WriteString(adapter.I(), "NameServer", "80.58.0.33,,80.58.32.97");
    EXPECT_EQ(FieldsOf(adapter.Load()).dns, (Strings{"80.58.0.33", "", "80.58.32.97"}));
    WriteString(adapter.I(), "NameServer", "");
    const Fields f = FieldsOf(adapter.Load());
    EXPECT_TRUE(f.dns.empty());
    EXPECT_EQ(f.dnsEnabled, 0);
}

TEST(NicTcpipNT4Read, WinsServersAreTakenOnlyWhenNotEmpty)
{
    Adapter adapter(Family::NT4);
    WriteString(adapter.W(), "NameServer", "");
    EXPECT_EQ(FieldsOf(adapter.Load()).wins, Strings{"10.0.0.2"});
    WriteString(adapter.G(), "NameServer", "1.1.1.1  2.2.2.2");
    EXPECT_EQ(FieldsOf(adapter.Load()).dns, (Strings{"1.1.1.1", "", "2.2.2.2"}));
}

TEST(NicTcpip9xRead, DhcpComesFromTheAddressAndTheLeasesOfEveryAdapter)
{
    for (Family family : {Family::Win95, Family::Win98, Family::Win98SE, Family::WinMe})
    {
        SCOPED_TRACE(NameOf(family));
        kittest::TempMachine pc;
        Adapter adapter(family);
        const std::string dhcp = "SYSTEM\\CurrentControlSet\\Services\\VxD\\DHCP";
        WriteRaw(dhcp + "\\DhcpInfo00", "DhcpIPAddress", REG_BINARY, "\xC0\xA8\x01\x21");
        WriteRaw(dhcp + "\\DhcpInfo00", "DhcpSubnetMask", REG_BINARY, std::string("\xFF\xFF\xFF\x00", 4));
        WriteRaw(dhcp + "\\DhcpInfo00", "DhcpServer", REG_BINARY, "\xC0\xA8\x01\x01");
        WriteRaw(dhcp + "\\DhcpInfo01", "DhcpIPAddress", REG_BINARY, std::string("\x0A\x00\x00\x07", 4));
        WriteRaw(dhcp + "\\DhcpInfo01", "DhcpSubnetMask", REG_BINARY, std::string("\xFF\x00\x00\x00", 4));
        WriteRaw(dhcp + "\\DhcpInfo01", "DhcpServer", REG_BINARY, std::string("\x0A\x00\x00\x01", 4));
        WriteRaw(dhcp + "\\DhcpInfo02", "DhcpIPAddress", REG_BINARY, std::string("\x0A\x00\x00\x09", 4));
        Fields f = FieldsOf(adapter.Load());
        EXPECT_EQ(f.dhcp, 0);
        EXPECT_EQ(f.dhcpAddress, "0.0.0.0");
        for (const char *none : {"0.0.0.0", ""})
        {
            WriteString(adapter.I(), "IPAddress", none);
            f = FieldsOf(adapter.Load());
            EXPECT_EQ(f.dhcp, 1);
            EXPECT_EQ(f.dhcpAddress, "192.168.1.33,10.0.0.7");
            EXPECT_EQ(f.dhcpMask, "255.255.255.0,255.0.0.0");
            EXPECT_EQ(f.dhcpServer, "192.168.1.1,10.0.0.1");
        }
        EXPECT_EQ(f.ips, Strings{""});
    }
}

TEST(NicTcpip9xRead, WinsServersAreReadUntilOneIsMissingAndDnsNeedsEnableDns)
{
    Adapter adapter(Family::Win98SE);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, adapter.I().c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "NameServer2");
    RegCloseKey(key);
    WriteString(adapter.G(), "EnableDNS", "01");
    WriteString(adapter.I(), "DefaultGateway", "192.168.1.1,,192.168.1.2");
    const Fields f = FieldsOf(adapter.Load());
    EXPECT_EQ(f.wins, Strings{"10.0.0.1"});
    EXPECT_EQ(f.dnsEnabled, 0);
    EXPECT_EQ(f.gateways, (Strings{"192.168.1.1", "", "192.168.1.2"}));
}

// ---------------------------------------------------------------------------------------------
// The setters

TEST_P(EveryLayout, AfterEachSetterTheRecordHoldsWhatARereadFinds)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    // The lease fields and the node type are the record's own after a setter.
    auto comparable = [](Fields f) {
        f.dhcpAddress = f.dhcpMask = f.dhcpServer = f.nodeType = "";
        return f;
    };
    CNicList again;
    auto reread = [&] {
        EXPECT_EQ(again.Load(), S_OK);
        EXPECT_EQ(again.Find("{1} Tarjeta"), S_OK);
        return comparable(FieldsOf(*again.Current()));
    };
    const std::vector<std::pair<const char *, std::function<HRESULT()>>> steps = {
        {"SetIPs",
         [&] {
             return record.SetIPs({"10.0.0.1", "10.0.0.2"}, {"255.0.0.0", "255.255.0.0"});
         }},
        {"SetGateways",
         [&] {
             return record.SetGateways({"10.0.0.138", "10.0.0.139"});
         }},
        {"SetDNS",
         [&] {
             return record.SetDNS({"80.58.61.250", "80.58.61.254"});
         }},
        {"SetWINS",
         [&] {
             return record.SetWINS({"10.0.0.20", "10.0.0.21", "10.0.0.22"}, "8");
         }},
        {"SetHostName", [&] { return record.SetHostName("pc-adsl"); }},
        {"SetDomain", [&] { return record.SetDomain("adsl.local"); }},
        {"DisableDNS", [&] { return record.DisableDNS(); }},
        {"SetIPs none", [&] { return record.SetIPs({}, {}); }},
        {"EnableDHCP", [&] { return record.EnableDHCP(); }},
        {"SetGateways none", [&] { return record.SetGateways({}); }},
        {"SetWINS none", [&] { return record.SetWINS({}, ""); }},
    };
    for (const auto &[name, step] : steps)
    {
        SCOPED_TRACE(name);
        const HRESULT hr = step();
        EXPECT_TRUE(hr == S_OK || (hr == E_NOTIMPL && NotKept(GetParam())));
        Fields read = reread();
        // 95/98/Me: EnableDHCP empties the gateways in the registry only.
        if (Is9x(GetParam()) && std::string(name) == "EnableDHCP")
        {
            EXPECT_TRUE(read.gateways.empty());
            read.gateways = FieldsOf(record).gateways;
        }
        EXPECT_EQ(comparable(FieldsOf(record)), read);
    }
    const Fields f = FieldsOf(record);
    EXPECT_EQ(f.dhcp, 1);
    EXPECT_EQ(f.dnsEnabled, 0);
    EXPECT_EQ(f.hostName, NotKept(GetParam()) ? "E_NOTIMPL" : "pc-adsl");
    EXPECT_EQ(f.nodeType, "8"); // kept from the SetWINS that named one
}

TEST_P(EveryLayout, SetIPsNeedsAsManyMasksAsAddresses)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    const Snapshot before = TakeSnapshot(adapter.Keys());
    EXPECT_EQ(record.SetIPs({"10.0.0.1", "10.0.0.2"}, {"255.0.0.0"}), E_INVALIDARG);
    EXPECT_EQ(TakeSnapshot(adapter.Keys()), before);
    EXPECT_EQ(FieldsOf(record), Configured(GetParam()));
}

// The same setters on two fresh PCs: straight into the registry on one, into the deferred file
// on the other, which the registry editor then imports. Both registries end alike.
TEST_P(EveryLayout, TheImportedDeferredFileLeavesWhatDirectWritesLeave)
{
    for (const Plan &plan : kPlans)
    {
        SCOPED_TRACE(plan.name);
        Snapshot direct;
        {
            kittest::TempMachine pc("kit-pc-direct");
            Adapter adapter(GetParam());
            RunEverySetter(adapter.Load(), GetParam(), plan);
            direct = TakeSnapshot(adapter.Keys());
            EXPECT_EQ(DeferredText(), "<none>");
        }
        kittest::TempMachine pc("kit-pc-deferred");
        Adapter adapter(GetParam());
        CNicTcpip &record = adapter.Load();
        Snapshot expectedPending = TakeSnapshot(adapter.Keys());
        tcpipreg::SetWriteTarget(1);
        RunEverySetter(record, GetParam(), plan);
        tcpipreg::SetWriteTarget(0);
        if (Is9x(GetParam())) // the old WINS servers go at once
            for (int n = 1; n <= 3; ++n)
                expectedPending.erase(SnapshotName(adapter.I(), "NameServer" + std::to_string(n)));
        EXPECT_EQ(TakeSnapshot(adapter.Keys()), expectedPending);
        ASSERT_EQ(kittest::Run("regedit", {"-s", DeferredPath()}), 0) << DeferredText();
        EXPECT_EQ(TakeSnapshot(adapter.Keys()), direct);
        EXPECT_NE(TakeSnapshot(adapter.Keys()), expectedPending);
    }
}

TEST(NicTcpip2000Write, TheDeferredFileOfAnAddressChangeReadsAsExpected)
{
    Adapter adapter(Family::Win2000);
    CNicTcpip &record = adapter.Load();
    tcpipreg::SetWriteTarget(1);
    EXPECT_EQ(record.SetIPs({"10.0.0.1", "10.0.0.2"}, {"255.0.0.0", "255.0.0.0"}), S_OK);
    EXPECT_EQ(record.SetGateways({}), S_OK);
    tcpipreg::SetWriteTarget(0);
    EXPECT_EQ(DeferredText(),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + adapter.I() +
                  "]\r\n"
                  "\"IPAddress\"=hex(7):31,30,2e,30,2e,30,2e,31,00,31,30,2e,30,2e,30,2e,32,00,00\r\n"
                  "\"SubnetMask\"=hex(7):32,35,35,2e,30,2e,30,2e,30,00,32,35,35,2e,30,2e,30,2e,30,"
                  "00,00\r\n"
                  "\"EnableDHCP\"=dword:00000000\r\n"
                  "\"DefaultGateway\"=hex(7):00,00\r\n");
    EXPECT_EQ(FieldsOf(record).ips, (Strings{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"),
              (Strings{"192.168.1.10", "10.0.0.5"}));
}

TEST(NicTcpip2000Write, EverySetterWritesItsValues)
{
    Adapter adapter(Family::XP);
    CNicTcpip &record = adapter.Load();
    EXPECT_EQ(record.SetDNS({"1.1.1.1", "2.2.2.2"}), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "NameServer"), "1.1.1.1,2.2.2.2");
    EXPECT_EQ(record.SetWINS({"3.3.3.3", "4.4.4.4", "5.5.5.5"}, "2"), S_OK);
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.W(), "NameServerList"),
              (Strings{"3.3.3.3", "4.4.4.4", "5.5.5.5"}));
    const Snapshot before = TakeSnapshot(adapter.Keys());
    EXPECT_EQ(record.SetHostName("pc"), E_NOTIMPL);
    EXPECT_EQ(record.SetDomain("dom"), E_NOTIMPL);
    EXPECT_EQ(TakeSnapshot(adapter.Keys()), before);
    EXPECT_EQ(record.DisableDNS(), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "NameServer"), "");
    WriteString(adapter.I(), "DhcpServer", "192.168.1.1");
    EXPECT_EQ(record.EnableDHCP(), S_OK);
    EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, adapter.I(), "EnableDHCP"), 1u);
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"), Strings{"0.0.0.0"});
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.I(), "SubnetMask"), Strings{"0.0.0.0"});
    EXPECT_EQ(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, adapter.I(), "DefaultGateway")->data,
              std::string(1, '\0'));
    for (const char *name : {"DhcpServer", "DhcpIPAddress", "DhcpSubnetMask"})
        EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), name), "") << name;
    const Fields f = FieldsOf(record);
    EXPECT_EQ(f.nodeType, "2");
    EXPECT_TRUE(f.dns.empty());
}

TEST(NicTcpipNT4Write, EverySetterWritesItsValues)
{
    Adapter adapter(Family::NT4);
    CNicTcpip &record = adapter.Load();
    EXPECT_EQ(record.SetDNS({"1.1.1.1", "2.2.2.2"}), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "NameServer"), "1.1.1.1 2.2.2.2");
    EXPECT_EQ(record.SetWINS({"3.3.3.3", "4.4.4.4", "5.5.5.5"}, ""), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.W(), "NameServer"), "3.3.3.3");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.W(), "NameServerBackup"), "4.4.4.4");
    EXPECT_EQ(FieldsOf(record).wins, (Strings{"3.3.3.3", "4.4.4.4"}));
    EXPECT_EQ(record.SetWINS({"6.6.6.6"}, "8"), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.W(), "NameServerBackup"), "");
    EXPECT_EQ(record.SetHostName("pc-adsl"), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "HostName"), "pc-adsl");
    EXPECT_EQ(record.SetDomain("adsl.local"), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "Domain"), "adsl.local");
    EXPECT_EQ(record.DisableDNS(), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "NameServer"), "");
    EXPECT_EQ(record.EnableDHCP(), S_OK);
    EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, adapter.I(), "EnableDHCP"), 1u);
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"), Strings{"0.0.0.0"});
    EXPECT_EQ(FieldsOf(record).nodeType, "8");
}

TEST(NicTcpip9xWrite, EverySetterWritesItsValues)
{
    Adapter adapter(Family::WinMe);
    CNicTcpip &record = adapter.Load();
    EXPECT_EQ(record.SetIPs({"10.0.0.1", "10.0.0.2"}, {"255.0.0.0", "255.255.0.0"}), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"), "10.0.0.1");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPMask"), "255.0.0.0");
    EXPECT_EQ(record.SetIPs({}, {}), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"), "0.0.0.0");
    EXPECT_EQ(FieldsOf(record).dhcp, 1);
    EXPECT_EQ(record.SetIPs({"0.0.0.0"}, {"255.0.0.0"}), S_OK);
    EXPECT_EQ(FieldsOf(record).dhcp, 0);
    EXPECT_EQ(record.SetGateways({"1.1.1.1", "2.2.2.2"}), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "DefaultGateway"), "1.1.1.1,2.2.2.2");
    WriteString(adapter.G(), "EnableDNS", "0");
    EXPECT_EQ(record.SetDNS({"3.3.3.3", "4.4.4.4"}), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "NameServer"), "3.3.3.3,4.4.4.4");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "EnableDNS"), "1");
    EXPECT_EQ(record.DisableDNS(), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "EnableDNS"), "0");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "NameServer"), "3.3.3.3,4.4.4.4");
    EXPECT_EQ(record.SetHostName("pc-adsl"), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "HostName"), "pc-adsl");
    EXPECT_EQ(record.SetDomain("adsl.local"), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "Domain"), "adsl.local");
    EXPECT_EQ(record.EnableDHCP(), S_OK);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"), "0.0.0.0");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPMask"), "0.0.0.0");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "DefaultGateway"), "");
    const Fields f = FieldsOf(record);
    EXPECT_EQ(f.dhcp, 1);
    EXPECT_EQ(f.ips, Strings{"0.0.0.0"}); // only the flag changes
    EXPECT_EQ(f.gateways, (Strings{"1.1.1.1", "2.2.2.2"}));
}

struct NodeTypeCase
{
    Strings wins;
    const char *given;
    bool dhcp;
    const char *written;
};

TEST(NicTcpip9xWrite, SetWinsReplacesEveryServerAndChoosesTheNodeType)
{
    const NodeTypeCase cases[] = {
        {{"1.1.1.1"}, "", false, "8"}, {{"1.1.1.1"}, "1", false, "8"}, {{}, " 1 ", false, "1"},
        {{}, "4", false, "1"},         {{}, "8", false, "8"},          {{}, "", true, ""},
        {{}, "4", true, ""},           {{}, "1", true, "1"},
    };
    for (const NodeTypeCase &c : cases)
    {
        SCOPED_TRACE(std::string("given \"") + c.given + "\" dhcp " + (c.dhcp ? "1" : "0"));
        kittest::TempMachine pc;
        Adapter adapter(Family::Win98);
        if (c.dhcp)
            WriteString(adapter.I(), "IPAddress", "0.0.0.0");
        CNicTcpip &record = adapter.Load();
        EXPECT_EQ(record.SetWINS(c.wins, c.given), S_OK);
        EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "NodeType"), c.written);
        EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "NameServer1"),
                  c.wins.empty() ? std::nullopt : std::optional<std::string>(c.wins[0]));
        for (const char *gone : {"NameServer2", "NameServer3"})
            EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, adapter.I(), gone)) << gone;
        EXPECT_EQ(FieldsOf(record).wins, c.wins);
    }
}

TEST(NicTcpip9xWrite, TheOldServersAreDeletedUpToTheFirstGapAlsoWithDeferredWrites)
{
    Adapter adapter(Family::Win95);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, adapter.I().c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "NameServer2");
    RegCloseKey(key);
    CNicTcpip &record = adapter.Load();
    tcpipreg::SetWriteTarget(1);
    EXPECT_EQ(record.SetWINS({"7.7.7.7"}, ""), S_OK);
    tcpipreg::SetWriteTarget(0);
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, adapter.I(), "NameServer1"));
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "NameServer3"), "10.0.0.3");
    EXPECT_NE(DeferredText().find("\"NameServer1\"=\"7.7.7.7\"\r\n\"NodeType\"=\"8\"\r\n"),
              std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Failed writes

TEST_P(EveryLayout, AVanishedAdapterKeyIsMadeAgainByTheNextWrite)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    DeleteTree(adapter.I());
    EXPECT_EQ(record.SetGateways({"10.0.0.138"}), S_OK);
    const Snapshot after = TakeSnapshot({adapter.I()});
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after.begin()->first.substr(after.begin()->first.find('|')), "|DEFAULTGATEWAY");
}

class NtLayout : public EveryLayout
{
};

// The registry refuses the masks: the addresses written before them are put back, with the
// record's gateways and DHCP flag.
TEST_P(NtLayout, SetIPsRollsBackWhenAWriteFails)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    WriteMultiSz(adapter.I(), "DefaultGateway", {"9.9.9.9"}); // changed behind the record's back
    WriteDword(adapter.I(), "EnableDHCP", 1);
    RefuseValueChanges("SubnetMask");
    EXPECT_EQ(record.SetIPs({"10.0.0.1"}, {"255.0.0.0"}), E_FAIL);
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"),
              (Strings{"192.168.1.10", "10.0.0.5"}));
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.I(), "SubnetMask"),
              (Strings{"255.255.255.0", "255.0.0.0"}));
    EXPECT_EQ(kittest::ReadRegMultiSz(HKEY_LOCAL_MACHINE, adapter.I(), "DefaultGateway"),
              Strings{"192.168.1.1"});
    EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, adapter.I(), "EnableDHCP"), 0u);
    EXPECT_EQ(FieldsOf(record), Configured(GetParam()));
}

TEST_P(NtLayout, EnableDhcpRollsBackWhenAWriteFails)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    RefuseValueChanges("IPAddress");
    EXPECT_EQ(record.EnableDHCP(), E_FAIL);
    EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, adapter.I(), "EnableDHCP"), 0u);
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, adapter.I(), "DhcpServer"));
    EXPECT_EQ(FieldsOf(record).dhcp, 0);
}

TEST_P(NtLayout, TheLeaseValuesOfEnableDhcpMayFail)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    RefuseValueChanges("DhcpIPAddress");
    EXPECT_EQ(record.EnableDHCP(), S_OK);
    EXPECT_EQ(kittest::ReadRegDword(HKEY_LOCAL_MACHINE, adapter.I(), "EnableDHCP"), 1u);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "DhcpSubnetMask"), "");
}

TEST_P(NtLayout, DeferredWritesAreNotRolledBack)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    const Snapshot before = TakeSnapshot(adapter.Keys());
    tcpipreg::SetWriteTarget(1);
    // Masks too long for the file's room: the addresses are in the file, nothing else happens.
    EXPECT_EQ(record.SetIPs({"10.0.0.1"}, {std::string(200, '5')}), E_FAIL);
    tcpipreg::SetWriteTarget(0);
    EXPECT_EQ(TakeSnapshot(adapter.Keys()), before);
    const std::string text = DeferredText();
    EXPECT_NE(text.find("\"IPAddress\"=hex(7):31,30,2e,30,2e,30,2e,31,00,00\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("SubnetMask"), std::string::npos) << text;
    EXPECT_EQ(text.find("DefaultGateway"), std::string::npos) << text;
}

TEST_P(NtLayout, SettersWithoutRollBackJustFail)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    RefuseValueChanges("DefaultGateway");
    RefuseValueChanges("NameServer");
    RefuseValueChanges("NameServerList");
    const Snapshot before = TakeSnapshot(adapter.Keys());
    EXPECT_EQ(record.SetGateways({"10.0.0.138"}), E_FAIL);
    EXPECT_EQ(record.SetDNS({"1.1.1.1"}), E_FAIL);
    EXPECT_EQ(record.DisableDNS(), E_FAIL);
    EXPECT_EQ(TakeSnapshot(adapter.Keys()), before);
    EXPECT_EQ(FieldsOf(record), Configured(GetParam()));
}

TEST_P(NtLayout, ALimitedUserChangesNothing)
{
    Adapter adapter(GetParam());
    ASSERT_TRUE(kitpc::SetIdentityValue("User", "Administrator", "0"));
    CNicTcpip &record = adapter.Load(); // reading is allowed
    const Snapshot before = TakeSnapshot(adapter.Keys());
    EXPECT_EQ(record.SetIPs({"10.0.0.1"}, {"255.0.0.0"}), E_FAIL);
    EXPECT_EQ(record.SetGateways({"10.0.0.138"}), E_FAIL);
    EXPECT_EQ(record.SetDNS({"1.1.1.1"}), E_FAIL);
    EXPECT_EQ(record.SetWINS({"2.2.2.2"}, "8"), E_FAIL);
    EXPECT_EQ(record.DisableDNS(), E_FAIL);
    EXPECT_EQ(record.EnableDHCP(), E_FAIL);
    EXPECT_EQ(TakeSnapshot(adapter.Keys()), before);
    EXPECT_EQ(FieldsOf(record), Configured(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, NtLayout, testing::Values(Family::NT4, Family::Win2000, Family::XP),
                         FamilyTestName);

TEST(NicTcpipNT4Write, SetWinsRollsBackThePrimaryServer)
{
    Adapter adapter(Family::NT4);
    CNicTcpip &record = adapter.Load();
    WriteString(adapter.W(), "NameServerBackup", "9.9.9.9");
    RefuseValueChanges("NameServerBackup");
    EXPECT_EQ(record.SetWINS({"3.3.3.3", "4.4.4.4"}, "8"), E_FAIL);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.W(), "NameServer"), "10.0.0.1");
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.W(), "NameServerBackup"), "9.9.9.9");
    EXPECT_EQ(FieldsOf(record).wins, (Strings{"10.0.0.1", "10.0.0.2"}));
}

TEST(NicTcpip2000Write, SetWinsHasNoRollBack)
{
    Adapter adapter(Family::XP);
    CNicTcpip &record = adapter.Load();
    RefuseValueChanges("NameServerList");
    EXPECT_EQ(record.SetWINS({"3.3.3.3"}, "8"), E_FAIL);
    EXPECT_EQ(FieldsOf(record).nodeType, "");
}

class Layout9x : public EveryLayout
{
};

TEST_P(Layout9x, SetIPsAndEnableDhcpRollBackTheAddressMaskAndGateways)
{
    for (bool dhcp : {false, true})
    {
        SCOPED_TRACE(dhcp ? "EnableDHCP" : "SetIPs");
        kittest::TempMachine pc;
        Adapter adapter(GetParam());
        CNicTcpip &record = adapter.Load();
        WriteString(adapter.I(), "DefaultGateway", "9.9.9.9");
        RefuseValueChanges("IPMask");
        EXPECT_EQ(dhcp ? record.EnableDHCP() : record.SetIPs({"10.0.0.1"}, {"255.0.0.0"}), E_FAIL);
        EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"), "192.168.1.10");
        EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPMask"), "255.255.255.0");
        EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "DefaultGateway"), "192.168.1.1");
        EXPECT_EQ(FieldsOf(record), Configured(GetParam()));
    }
}

TEST_P(Layout9x, AnAdapterWithoutAddressRollsBackToNone)
{
    Adapter adapter(GetParam());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, adapter.I().c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "IPAddress");
    RegDeleteValueA(key, "IPMask");
    RegCloseKey(key);
    CNicTcpip &record = adapter.Load();
    RefuseValueChanges("IPMask");
    EXPECT_EQ(record.SetIPs({"10.0.0.1"}, {"255.0.0.0"}), E_FAIL);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "IPAddress"), "0.0.0.0");
}

TEST_P(Layout9x, SetDnsRollsBackTheServers)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    RefuseValueChanges("EnableDNS");
    EXPECT_EQ(record.SetDNS({"1.1.1.1"}), E_FAIL);
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.G(), "NameServer"),
              "80.58.0.33,80.58.32.97");
    EXPECT_EQ(FieldsOf(record).dns, (Strings{"80.58.0.33", "80.58.32.97"}));
}

TEST_P(Layout9x, SetWinsRollsBackTheServersAndTheNodeType)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    WriteString(adapter.I(), "NodeType", "1");
    RefuseValueChanges("NodeType");
    EXPECT_EQ(record.SetWINS({"7.7.7.7", "7.7.7.8", "7.7.7.9", "7.7.7.10"}, ""), E_FAIL);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(),
                                         ("NameServer" + std::to_string(n)).c_str()),
                  "10.0.0." + std::to_string(n))
            << n;
    EXPECT_FALSE(kittest::ReadRegValue(HKEY_LOCAL_MACHINE, adapter.I(), "NameServer4"));
    EXPECT_EQ(kittest::ReadRegString(HKEY_LOCAL_MACHINE, adapter.I(), "NodeType"), "1");
    EXPECT_EQ(FieldsOf(record).wins, (Strings{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
}

TEST_P(Layout9x, SettersWithoutRollBackJustFail)
{
    Adapter adapter(GetParam());
    CNicTcpip &record = adapter.Load();
    for (const char *name : {"DefaultGateway", "HostName", "Domain", "EnableDNS"})
        RefuseValueChanges(name);
    const Snapshot before = TakeSnapshot(adapter.Keys());
    EXPECT_EQ(record.SetGateways({"10.0.0.138"}), E_FAIL);
    EXPECT_EQ(record.SetHostName("pc"), E_FAIL);
    EXPECT_EQ(record.SetDomain("dom"), E_FAIL);
    EXPECT_EQ(record.DisableDNS(), E_FAIL);
    EXPECT_EQ(TakeSnapshot(adapter.Keys()), before);
    EXPECT_EQ(FieldsOf(record), Configured(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, Layout9x,
                         testing::Values(Family::Win95, Family::Win98, Family::Win98SE, Family::WinMe),
                         FamilyTestName);
INSTANTIATE_TEST_SUITE_P(Layouts, EveryLayout, testing::ValuesIn(kAllFamilies), FamilyTestName);
