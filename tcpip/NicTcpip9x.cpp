// CNicTcpip9x: the adapter's TCP/IP settings as Windows 95, 98 and Me keep them: one address and
// mask, the gateways and the WINS servers in the TCP/IP driver's key below the class tree, the
// rest machine-wide in MSTCP's key, and the DHCP leases of every adapter in DHCP's key.
#include "tcpip/NicTcpip.h"

#include "tcpip/TcpipRegistry.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace
{
constexpr char kClass[] = "SYSTEM\\CurrentControlSet\\Services\\Class\\";
constexpr char kMstcp[] = "SYSTEM\\CurrentControlSet\\Services\\VxD\\MSTCP";
constexpr char kDhcp[] = "SYSTEM\\CurrentControlSet\\Services\\VxD\\DHCP";
constexpr char kNoAddress[] = "0.0.0.0";

std::string FirstOrNone(const StringList &list)
{
    return list.empty() ? std::string(kNoAddress) : list.front();
}

std::string WinsValueName(size_t number)
{
    char name[32];
    std::snprintf(name, sizeof name, "NameServer%zu", number);
    return name;
}

// A lease's address as stored: four bytes, the first one first.
std::string Dotted(DWORD value)
{
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

void AppendListed(std::string &field, const std::string &text)
{
    if (!field.empty())
        field += ',';
    field += text;
}

// The NetBIOS node types MSTCP knows: broadcast ("1") and hybrid ("8"); anything else is none.
std::string KnownNodeType(const std::string &nodeType)
{
    const size_t first = nodeType.find_first_not_of(" \t");
    const std::string trimmed = first == std::string::npos
                                    ? std::string()
                                    : nodeType.substr(first, nodeType.find_last_not_of(" \t") - first + 1);
    return trimmed == "1" || trimmed == "8" ? trimmed : std::string();
}
} // namespace

std::string CNicTcpip9x::InterfaceKey() const
{
    return kClass + m_strKey;
}

HRESULT CNicTcpip9x::Read()
{
    if (FAILED(Probe()))
        return E_FAIL;
    const std::string key = InterfaceKey();
    ResetSettings();
    std::string text;
    if (tcpipreg::ReadString(key, "IPAddress", text))
        m_ips = {text};
    if (tcpipreg::ReadString(key, "IPMask", text))
        m_masks = {text};
    m_bDhcpEnabled = m_ips.empty() || m_ips.front().empty() || m_ips.front() == kNoAddress;
    tcpipreg::ReadString(key, "DefaultGateway", text);
    m_gateways = tcpipreg::Split(text, ',');
    for (size_t number = 1; tcpipreg::ReadString(key, WinsValueName(number).c_str(), text); ++number)
        m_wins.push_back(text);
    tcpipreg::ReadString(kMstcp, "NameServer", text);
    m_dns = tcpipreg::Split(text, ',');
    tcpipreg::ReadString(kMstcp, "EnableDNS", text);
    m_bDnsEnabled = text == "1";
    tcpipreg::ReadString(kMstcp, "NodeType", m_strNodeType);
    tcpipreg::ReadString(kMstcp, "HostName", m_strHostName);
    tcpipreg::ReadString(kMstcp, "Domain", m_strDomain);
    if (m_bDhcpEnabled)
        ReadLeases();
    return S_OK;
}

void CNicTcpip9x::ReadLeases()
{
    m_strDhcpIPAddress.clear();
    m_strDhcpSubnetMask.clear();
    m_strDhcpServer.clear();
    StringList leases;
    tcpipreg::SubKeyNames(kDhcp, leases);
    for (const std::string &lease : leases)
    {
        if (lease.empty())
            continue;
        const std::string key = std::string(kDhcp) + "\\" + lease;
        DWORD address = 0, mask = 0, server = 0;
        if (tcpipreg::ReadDword(key, "DhcpIPAddress", address) &&
            tcpipreg::ReadDword(key, "DhcpSubnetMask", mask) &&
            tcpipreg::ReadDword(key, "DhcpServer", server))
        {
            AppendListed(m_strDhcpIPAddress, Dotted(address));
            AppendListed(m_strDhcpSubnetMask, Dotted(mask));
            AppendListed(m_strDhcpServer, Dotted(server));
        }
    }
}

void CNicTcpip9x::RollBackAddresses() const
{
    const std::string key = InterfaceKey();
    tcpipreg::WriteString(key, "IPAddress", FirstOrNone(m_ips));
    tcpipreg::WriteString(key, "IPMask", FirstOrNone(m_masks));
    tcpipreg::WriteString(key, "DefaultGateway", tcpipreg::Join(m_gateways, ","));
}

bool CNicTcpip9x::WriteWinsServers(const StringList &wins) const
{
    const std::string key = InterfaceKey();
    for (size_t i = 0; i < wins.size(); ++i)
        if (!tcpipreg::WriteString(key, WinsValueName(i + 1).c_str(), wins[i]))
            return false;
    return true;
}

void CNicTcpip9x::DeleteWinsServers(size_t count) const
{
    const std::string key = InterfaceKey();
    for (size_t number = 1; number <= count; ++number)
        if (!tcpipreg::DeleteValue(key, WinsValueName(number).c_str()))
            break;
}

HRESULT CNicTcpip9x::SetIPs(const StringList &ips, const StringList &masks)
{
    if (m_strKey.empty())
        return E_FAIL;
    if (ips.size() != masks.size())
        return E_INVALIDARG;
    const std::string key = InterfaceKey();
    const std::string ip = FirstOrNone(ips);
    const std::string mask = FirstOrNone(masks);
    const HRESULT hr =
        Written(tcpipreg::WriteString(key, "IPAddress", ip) && tcpipreg::WriteString(key, "IPMask", mask),
                [this] { RollBackAddresses(); });
    if (SUCCEEDED(hr))
    {
        m_ips = {ip};
        m_masks = {mask};
        m_bDhcpEnabled = ip == kNoAddress && mask == kNoAddress;
    }
    return hr;
}

HRESULT CNicTcpip9x::SetGateways(const StringList &gateways)
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr =
        Written(tcpipreg::WriteString(InterfaceKey(), "DefaultGateway", tcpipreg::Join(gateways, ",")));
    if (SUCCEEDED(hr))
        m_gateways = gateways;
    return hr;
}

HRESULT CNicTcpip9x::SetDNS(const StringList &dns)
{
    if (m_strKey.empty())
        return E_FAIL;
    auto write = [](const StringList &servers, LONG enabled) {
        return tcpipreg::WriteString(kMstcp, "NameServer", tcpipreg::Join(servers, ",")) &&
               tcpipreg::WriteString(kMstcp, "EnableDNS", enabled ? "1" : "0");
    };
    const HRESULT hr = Written(write(dns, 1), [&] { write(m_dns, m_bDnsEnabled); });
    if (SUCCEEDED(hr))
    {
        m_dns = dns;
        m_bDnsEnabled = 1;
    }
    return hr;
}

HRESULT CNicTcpip9x::SetWINS(const StringList &wins, const std::string &nodeType)
{
    if (m_strKey.empty())
        return E_FAIL;
    // With servers the adapter asks them first (hybrid); without, and without DHCP to name any,
    // it broadcasts.
    std::string type = KnownNodeType(nodeType);
    if (!wins.empty())
        type = "8";
    else if (type.empty() && !m_bDhcpEnabled)
        type = "1";
    const std::string key = InterfaceKey();
    // The old list goes first, straight from the registry: a shorter list leaves no stale servers.
    DeleteWinsServers(std::numeric_limits<size_t>::max());
    const HRESULT hr = Written(WriteWinsServers(wins) && tcpipreg::WriteString(key, "NodeType", type), [&] {
        DeleteWinsServers(wins.size());
        WriteWinsServers(m_wins);
        tcpipreg::WriteString(key, "NodeType", m_strNodeType);
    });
    if (SUCCEEDED(hr))
    {
        m_wins = wins;
        if (!type.empty())
            m_strNodeType = type;
    }
    return hr;
}

HRESULT CNicTcpip9x::SetHostName(const std::string &hostName)
{
    return SetString(kMstcp, "HostName", hostName, m_strHostName);
}

HRESULT CNicTcpip9x::SetDomain(const std::string &domain)
{
    return SetString(kMstcp, "Domain", domain, m_strDomain);
}

HRESULT CNicTcpip9x::DisableDNS()
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteString(kMstcp, "EnableDNS", "0"));
    if (SUCCEEDED(hr))
        m_bDnsEnabled = 0;
    return hr;
}

HRESULT CNicTcpip9x::EnableDHCP()
{
    if (m_strKey.empty())
        return E_FAIL;
    const std::string key = InterfaceKey();
    const HRESULT hr = Written(tcpipreg::WriteString(key, "IPAddress", kNoAddress) &&
                                   tcpipreg::WriteString(key, "IPMask", kNoAddress) &&
                                   tcpipreg::WriteString(key, "DefaultGateway", ""),
                               [this] { RollBackAddresses(); });
    if (SUCCEEDED(hr))
        m_bDhcpEnabled = 1;
    return hr;
}
