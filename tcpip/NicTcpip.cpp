// CNicTcpip: what every layout's adapter record shares, its names and its getters.
#include "tcpip/NicTcpip.h"

#include "tcpip/TcpipRegistry.h"

namespace
{
HRESULT SetNonEmpty(std::string &field, const std::string &text)
{
    if (text.empty())
        return E_FAIL;
    field = text;
    return S_OK;
}

template <class T> HRESULT Copy(const T &field, T &out)
{
    out = field;
    return S_OK;
}
} // namespace

void CNicTcpip::ResetSettings()
{
    m_strNodeType.clear();
    m_strHostName.clear();
    m_strDomain.clear();
    m_strDhcpIPAddress = m_strDhcpSubnetMask = m_strDhcpServer = "0.0.0.0";
    m_ips.clear();
    m_masks.clear();
    m_gateways.clear();
    m_dns.clear();
    m_wins.clear();
    m_bDhcpEnabled = 0;
    m_bDnsEnabled = 0;
    m_bBound = 1;
}

HRESULT CNicTcpip::Written(bool written, const std::function<void()> &rollBack)
{
    if (written)
        return S_OK;
    if (rollBack && tcpipreg::WriteTarget() == 0)
        rollBack();
    return E_FAIL;
}

HRESULT CNicTcpip::SetString(const std::string &key, const char *name, const std::string &value,
                             std::string &field)
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteString(key, name, value));
    if (SUCCEEDED(hr))
        field = value;
    return hr;
}

HRESULT CNicTcpip::SetName(const std::string &name)
{
    return SetNonEmpty(m_strName, name);
}

HRESULT CNicTcpip::SetKey(const std::string &key)
{
    return SetNonEmpty(m_strKey, key);
}

HRESULT CNicTcpip::GetIPs(StringList &ips) const
{
    return Copy(m_ips, ips);
}

HRESULT CNicTcpip::GetMasks(StringList &masks) const
{
    return Copy(m_masks, masks);
}

HRESULT CNicTcpip::GetGateways(StringList &gateways) const
{
    return Copy(m_gateways, gateways);
}

HRESULT CNicTcpip::GetDNS(StringList &dns) const
{
    return Copy(m_dns, dns);
}

HRESULT CNicTcpip::GetWINS(StringList &wins, std::string &nodeType) const
{
    nodeType = m_strNodeType;
    return Copy(m_wins, wins);
}

HRESULT CNicTcpip::GetName(std::string &name) const
{
    return Copy(m_strName, name);
}

HRESULT CNicTcpip::GetKey(std::string &key) const
{
    return Copy(m_strKey, key);
}

HRESULT CNicTcpip::GetHostName(std::string &hostName) const
{
    return Copy(m_strHostName, hostName);
}

HRESULT CNicTcpip::GetDomain(std::string &domain) const
{
    return Copy(m_strDomain, domain);
}

HRESULT CNicTcpip::GetDhcpIPAddress(std::string &address) const
{
    return Copy(m_strDhcpIPAddress, address);
}

HRESULT CNicTcpip::GetDhcpSubnetMask(std::string &mask) const
{
    return Copy(m_strDhcpSubnetMask, mask);
}

HRESULT CNicTcpip::GetDhcpServer(std::string &server) const
{
    return Copy(m_strDhcpServer, server);
}

HRESULT CNicTcpip::GetDhcpEnabled(LONG &enabled) const
{
    return Copy(m_bDhcpEnabled, enabled);
}

HRESULT CNicTcpip::GetDnsEnabled(LONG &enabled) const
{
    return Copy(m_bDnsEnabled, enabled);
}

HRESULT CNicTcpip::GetBound(LONG &bound) const
{
    return Copy(m_bBound, bound);
}

HRESULT CNicTcpip::Probe() const
{
    return Named() && tcpipreg::KeyExists(InterfaceKey()) ? S_OK : E_FAIL;
}
