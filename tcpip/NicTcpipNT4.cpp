// CNicTcpipNT4: the adapter's TCP/IP settings as Windows NT 4 keeps them: the interface key below
// the adapter's service, the WINS servers of NetBT's adapter key, and the machine-wide DNS
// servers, host name and domain of TCP/IP's parameters.
#include "tcpip/NicTcpip.h"

#include "tcpip/TcpipRegistry.h"

namespace
{
constexpr char kServices[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr char kNetBTAdapters[] = "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Adapters\\";
constexpr char kParameters[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";

// NT 4 keeps a primary and a backup WINS server, nothing more.
std::string Server(const StringList &servers, size_t index)
{
    return index < servers.size() ? servers[index] : std::string();
}
} // namespace

std::string CNicTcpipNT4::InterfaceKey() const
{
    return kServices + m_strKey + "\\Parameters\\Tcpip";
}

std::string CNicTcpipNT4::WinsKey() const
{
    return kNetBTAdapters + m_strKey;
}

HRESULT CNicTcpipNT4::Read()
{
    if (HRESULT hr = ReadInterface(); FAILED(hr))
        return hr;
    std::string text;
    tcpipreg::ReadString(kParameters, "NameServer", text);
    m_dns = tcpipreg::Split(text, ' ');
    m_bDnsEnabled = !m_dns.empty();
    const std::string wins = WinsKey();
    for (const char *name : {"NameServer", "NameServerBackup"})
        if (tcpipreg::ReadString(wins, name, text) && !text.empty())
            m_wins.push_back(text);
    tcpipreg::ReadString(kParameters, "HostName", m_strHostName);
    tcpipreg::ReadString(kParameters, "Domain", m_strDomain);
    return S_OK;
}

HRESULT CNicTcpipNT4::SetDNS(const StringList &dns)
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteString(kParameters, "NameServer", tcpipreg::Join(dns, " ")));
    if (SUCCEEDED(hr))
    {
        m_dns = dns;
        m_bDnsEnabled = 1;
    }
    return hr;
}

HRESULT CNicTcpipNT4::SetWINS(const StringList &wins, const std::string &nodeType)
{
    if (m_strKey.empty())
        return E_FAIL;
    const std::string key = WinsKey();
    auto write = [&key](const StringList &servers) {
        return tcpipreg::WriteString(key, "NameServer", Server(servers, 0)) &&
               tcpipreg::WriteString(key, "NameServerBackup", Server(servers, 1));
    };
    const HRESULT hr = Written(write(wins), [&] { write(m_wins); });
    if (SUCCEEDED(hr))
    {
        m_wins.assign(wins.begin(),
                      wins.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(wins.size(), 2)));
        if (!nodeType.empty())
            m_strNodeType = nodeType;
    }
    return hr;
}

HRESULT CNicTcpipNT4::SetHostName(const std::string &hostName)
{
    return SetString(kParameters, "HostName", hostName, m_strHostName);
}

HRESULT CNicTcpipNT4::SetDomain(const std::string &domain)
{
    return SetString(kParameters, "Domain", domain, m_strDomain);
}

HRESULT CNicTcpipNT4::DisableDNS()
{
    if (m_strKey.empty())
        return E_FAIL;
    const HRESULT hr = Written(tcpipreg::WriteString(kParameters, "NameServer", ""));
    if (SUCCEEDED(hr))
    {
        m_dns.clear();
        m_bDnsEnabled = 0;
    }
    return hr;
}
