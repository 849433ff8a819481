// CNicTcpip: one network adapter's TCP/IP settings as the registry of its Windows family keeps
// them, read by Read and written by the setters (straight into the registry, or into the
// deferred-change file when the process-wide write target says so; TcpipRegistry.h). The three
// layouts are CNicTcpip9x (95, 98, 98 SE, Me), CNicTcpipNT4 and CNicTcpip2000 (2000 and XP), the
// last two over CNicTcpipNT.
//
// Every text is 8-bit. The display name is "{N} " and the adapter's description; the adapter
// key is the service name (NT 4, 2000/XP: a GUID in braces there) or, on 9x, the TCP/IP driver
// key below the class tree ("NetTrans\0000").
#pragma once

#include "platform/windows.h"

#include <functional>
#include <string>
#include <vector>

using StringList = std::vector<std::string>;

class CNicTcpip
{
  public:
    CNicTcpip() = default;
    virtual ~CNicTcpip() = default;
    CNicTcpip(const CNicTcpip &) = delete;
    CNicTcpip &operator=(const CNicTcpip &) = delete;

    // Fills the record from the registry: E_FAIL when the display name or the key is empty or
    // the adapter's TCP/IP key does not exist; a value that cannot be read leaves its field empty.
    virtual HRESULT Read() = 0;
    // Whether Read would succeed, without reading the settings.
    HRESULT Probe() const;
    virtual HRESULT SetIPs(const StringList &ips, const StringList &masks) = 0;
    virtual HRESULT SetGateways(const StringList &gateways) = 0;
    virtual HRESULT SetDNS(const StringList &dns) = 0;
    virtual HRESULT SetWINS(const StringList &wins, const std::string &nodeType) = 0;
    virtual HRESULT SetHostName(const std::string &hostName) = 0;
    virtual HRESULT SetDomain(const std::string &domain) = 0;
    virtual HRESULT DisableDNS() = 0;
    virtual HRESULT EnableDHCP() = 0;
    // E_FAIL for an empty text.
    virtual HRESULT SetName(const std::string &name);
    virtual HRESULT SetKey(const std::string &key);

    virtual HRESULT GetIPs(StringList &ips) const;
    virtual HRESULT GetMasks(StringList &masks) const;
    virtual HRESULT GetGateways(StringList &gateways) const;
    virtual HRESULT GetDNS(StringList &dns) const;
    virtual HRESULT GetWINS(StringList &wins, std::string &nodeType) const;
    virtual HRESULT GetName(std::string &name) const;
    virtual HRESULT GetKey(std::string &key) const;
    virtual HRESULT GetHostName(std::string &hostName) const;
    virtual HRESULT GetDomain(std::string &domain) const;
    virtual HRESULT GetDhcpIPAddress(std::string &address) const;
    virtual HRESULT GetDhcpSubnetMask(std::string &mask) const;
    virtual HRESULT GetDhcpServer(std::string &server) const;
    virtual HRESULT GetDhcpEnabled(LONG &enabled) const;
    virtual HRESULT GetDnsEnabled(LONG &enabled) const;
    virtual HRESULT GetBound(LONG &bound) const;

  protected:
    // Whether the record names an adapter: a display name and a key.
    bool Named() const { return !m_strName.empty() && !m_strKey.empty(); }
    // The adapter's TCP/IP key (I) of the layout.
    virtual std::string InterfaceKey() const = 0;
    // Every setting back to its initial value, before a Read.
    void ResetSettings();
    // A setter's result: S_OK when its writes were made; otherwise E_FAIL, after `rollBack`
    // when the writes went straight to the registry.
    static HRESULT Written(bool written, const std::function<void()> &rollBack = {});
    // A setter of one string value: E_FAIL without an adapter key; once written, `field` keeps it.
    HRESULT SetString(const std::string &key, const char *name, const std::string &value, std::string &field);

    std::string m_strName;
    std::string m_strKey;
    std::string m_strNodeType;
    std::string m_strHostName;
    std::string m_strDomain;
    std::string m_strDhcpIPAddress = "0.0.0.0";
    std::string m_strDhcpSubnetMask = "0.0.0.0";
    std::string m_strDhcpServer = "0.0.0.0";
    StringList m_ips;
    StringList m_masks;
    StringList m_gateways;
    StringList m_dns;
    StringList m_wins;
    LONG m_bDhcpEnabled = 0;
    LONG m_bDnsEnabled = 0;
    LONG m_bBound = 1;
};

class CNicTcpip9x final : public CNicTcpip
{
  public:
    HRESULT Read() override;
    HRESULT SetIPs(const StringList &ips, const StringList &masks) override;
    HRESULT SetGateways(const StringList &gateways) override;
    HRESULT SetDNS(const StringList &dns) override;
    HRESULT SetWINS(const StringList &wins, const std::string &nodeType) override;
    HRESULT SetHostName(const std::string &hostName) override;
    HRESULT SetDomain(const std::string &domain) override;
    HRESULT DisableDNS() override;
    HRESULT EnableDHCP() override;

  protected:
    std::string InterfaceKey() const override;

  private:
    // Every DHCP lease of the machine, joined with ",".
    void ReadLeases();
    // The previous first address and mask, and gateways, back into I (direct writes only).
    void RollBackAddresses() const;
    // "NameServer1", "NameServer2"... of I: written for the list, or deleted up to `count` or
    // until one is missing.
    bool WriteWinsServers(const StringList &wins) const;
    void DeleteWinsServers(size_t count) const;
};

// What NT 4 and 2000/XP share: the addresses, masks, gateways and DHCP flag as multi-strings
// and a 32-bit value of the adapter's interface key, written and rolled back alike.
class CNicTcpipNT : public CNicTcpip
{
  public:
    HRESULT SetIPs(const StringList &ips, const StringList &masks) override;
    HRESULT SetGateways(const StringList &gateways) override;
    HRESULT EnableDHCP() override;

  protected:
    // The reads both layouts make alike: addresses, masks, gateways, DHCP and the binding;
    // E_FAIL as Read says.
    HRESULT ReadInterface();
    // The previous addresses, masks, gateways and DHCP flag back into I (direct writes only).
    void RollBackAddresses() const;
};

class CNicTcpipNT4 final : public CNicTcpipNT
{
  public:
    HRESULT Read() override;
    HRESULT SetDNS(const StringList &dns) override;
    HRESULT SetWINS(const StringList &wins, const std::string &nodeType) override;
    HRESULT SetHostName(const std::string &hostName) override;
    HRESULT SetDomain(const std::string &domain) override;
    HRESULT DisableDNS() override;

  protected:
    std::string InterfaceKey() const override;

  private:
    std::string WinsKey() const;
};

class CNicTcpip2000 final : public CNicTcpipNT
{
  public:
    HRESULT Read() override;
    HRESULT SetDNS(const StringList &dns) override;
    HRESULT SetWINS(const StringList &wins, const std::string &nodeType) override;
    // Windows 2000 and XP keep no host name or domain per adapter: E_NOTIMPL.
    HRESULT SetHostName(const std::string &hostName) override;
    HRESULT SetDomain(const std::string &domain) override;
    HRESULT DisableDNS() override;

  protected:
    std::string InterfaceKey() const override;

  private:
    std::string WinsKey() const;
};
