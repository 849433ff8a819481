// CNicTcpip2000: the adapter's TCP/IP settings as Windows 2000 and XP keep them: everything in
// the adapter's interface key of TCP/IP but the WINS servers, which NetBT keeps; no host name or
// domain per adapter.
#include "tcpip/NicTcpip.h"

#include "tcpip/TcpipRegistry.h"

namespace
{
constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr char kNetBTInterfaces[] =
    "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces\\Tcpip_";
constexpr char kNotKept[] = "E_NOTIMPL";
} // namespace

std::string CNicTcpip2000::InterfaceKey() const
{
    return kInterfaces + m_strKey;
}

std::string CNicTcpip2000::WinsKey() const
{
    return kNetBTInterfaces + m_strKey;
}

HRESULT CNicTcpip2000::Read()
{
    if (HRESULT hr = ReadInterface(); FAILED(hr))
        return hr;
    std::string text;
    tcpipreg::ReadString(InterfaceKey(), "NameServer", text);
    m_dns = tcpipreg::Split(text, ',');
    m_bDnsEnabled = !m_dns.empty();
    const std::string wins = WinsKey();
    tcpipreg::ReadMultiString(wins, "NameServerList", m_wins);
    DWORD netbios = 0; // read as the system reads it, and not used
    tcpipreg::ReadDword(wins, "NetbiosOption", netbios);
    m_strHostName = kNotKept;
    m_strDomain = kNotKept;
    return S_OK;
}

HRESULT CNicTcpip2000::SetDNS(const StringList &dns)
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteString(InterfaceKey(), "NameServer", tcpipreg::Join(dns, ",")));
    if (SUCCEEDED(hr))
    {
        m_dns = dns;
        m_bDnsEnabled = 1;
    }
    return hr;
}

HRESULT CNicTcpip2000::SetWINS(const StringList &wins, const std::string &nodeType)
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteMultiString(WinsKey(), "NameServerList", wins));
    if (SUCCEEDED(hr))
    {
        m_wins = wins;
        if (!nodeType.empty())
            m_strNodeType = nodeType;
    }
    return hr;
}

HRESULT CNicTcpip2000::SetHostName(const std::string &)
{
    return m_strKey.empty() ? E_FAIL : E_NOTIMPL;
}

HRESULT CNicTcpip2000::SetDomain(const std::string &)
{
    return m_strKey.empty() ? E_FAIL : E_NOTIMPL;
}

HRESULT CNicTcpip2000::DisableDNS()
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteString(InterfaceKey(), "NameServer", ""));
    if (SUCCEEDED(hr))
    {
        m_dns.clear();
        m_bDnsEnabled = 0;
    }
    return hr;
}
