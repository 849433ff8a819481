// CNicTcpipNT: the interface key of NT 4 and 2000/XP, where addresses, masks and gateways are
// multi-strings and DHCP a 32-bit flag.
#include "tcpip/NicTcpip.h"

#include "tcpip/TcpipRegistry.h"

namespace
{
constexpr char kLinkage[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Linkage";
// What an entry of the binding list starts with: "\Device\".
constexpr size_t kDevicePrefix = 8;
const StringList kNoAddress = {"0.0.0.0"};

std::string TrimBlanks(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Whether TCP/IP's binding list names the adapter (case counts).
bool BoundToTcpip(const std::string &key)
{
    StringList bindings;
    if (!tcpipreg::ReadMultiString(kLinkage, "Bind", bindings))
        return false;
    for (const std::string &binding : bindings)
    {
        const std::string device = TrimBlanks(binding);
        if (device.size() >= kDevicePrefix && device.substr(kDevicePrefix) == key)
            return true;
    }
    return false;
}
} // namespace

HRESULT CNicTcpipNT::ReadInterface()
{
    if (FAILED(Probe()))
        return E_FAIL;
    const std::string key = InterfaceKey();
    ResetSettings();
    tcpipreg::ReadMultiString(key, "IPAddress", m_ips);
    tcpipreg::ReadMultiString(key, "SubnetMask", m_masks);
    tcpipreg::ReadMultiString(key, "DefaultGateway", m_gateways);
    DWORD dhcp = 0;
    tcpipreg::ReadDword(key, "EnableDHCP", dhcp);
    m_bDhcpEnabled = dhcp != 0;
    if (m_bDhcpEnabled)
    {
        tcpipreg::ReadString(key, "DhcpIPAddress", m_strDhcpIPAddress);
        tcpipreg::ReadString(key, "DhcpSubnetMask", m_strDhcpSubnetMask);
        tcpipreg::ReadString(key, "DhcpServer", m_strDhcpServer);
    }
    m_bBound = BoundToTcpip(m_strKey);
    return S_OK;
}

void CNicTcpipNT::RollBackAddresses() const
{
    const std::string key = InterfaceKey();
    tcpipreg::WriteMultiString(key, "IPAddress", m_ips);
    tcpipreg::WriteMultiString(key, "SubnetMask", m_masks);
    tcpipreg::WriteMultiString(key, "DefaultGateway", m_gateways);
    tcpipreg::WriteDword(key, "EnableDHCP", static_cast<DWORD>(m_bDhcpEnabled));
}

HRESULT CNicTcpipNT::SetIPs(const StringList &ips, const StringList &masks)
{
    if (m_strKey.empty())
        return E_FAIL;
    if (ips.size() != masks.size())
        return E_INVALIDARG;
    const std::string key = InterfaceKey();
    const HRESULT hr = Written(tcpipreg::WriteMultiString(key, "IPAddress", ips) &&
                                   tcpipreg::WriteMultiString(key, "SubnetMask", masks) &&
                                   tcpipreg::WriteDword(key, "EnableDHCP", 0),
                               [this] { RollBackAddresses(); });
    if (SUCCEEDED(hr))
    {
        m_ips = ips;
        m_masks = masks;
        m_bDhcpEnabled = 0;
    }
    return hr;
}

HRESULT CNicTcpipNT::SetGateways(const StringList &gateways)
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteMultiString(InterfaceKey(), "DefaultGateway", gateways));
    if (SUCCEEDED(hr))
        m_gateways = gateways;
    return hr;
}

HRESULT CNicTcpipNT::EnableDHCP()
{
    if (m_strKey.empty())
        return E_FAIL;
    const std::string key = InterfaceKey();
    const HRESULT hr = Written(tcpipreg::WriteDword(key, "EnableDHCP", 1) &&
                                   tcpipreg::WriteMultiString(key, "IPAddress", kNoAddress) &&
                                   tcpipreg::WriteMultiString(key, "SubnetMask", kNoAddress) &&
                                   tcpipreg::WriteMultiString(key, "DefaultGateway", {}),
                               [this] { RollBackAddresses(); });
    if (FAILED(hr))
        return hr;
    // The lease of a former DHCP configuration is forgotten; the client asks again at its start.
    for (const char *name : {"DhcpServer", "DhcpIPAddress", "DhcpSubnetMask"})
        tcpipreg::WriteString(key, name, "");
    m_bDhcpEnabled = 1;
    m_ips = kNoAddress;
    m_masks = kNoAddress;
    m_gateways.clear();
    return tcpipreg::SetDhcpServiceAutomatic() ? S_OK : E_FAIL;
}
