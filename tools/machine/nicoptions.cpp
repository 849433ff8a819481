// Network card options and the ipconfig/winipcfg text of `machine show`.
#include "tools/machine/nicoptions.h"
#include "platform/kit/kitconsole.h"
#include "tools/text/ToolText.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>

namespace machinecli
{
namespace
{
using kitpc::WindowsFamily;

// --- Options ------------------------------------------------------------------------------------

enum class Kind
{
    List,   // takes a value
    Switch, // sets a flag
};

struct CardOption
{
    const char *name;
    Kind kind;
};

constexpr CardOption kCardOptions[] = {
    {"--dhcp", Kind::Switch},    {"--ip", Kind::List},        {"--gw", Kind::List},
    {"--dns", Kind::List},       {"--wins", Kind::List},      {"--disabled", Kind::Switch},
    {"--enabled", Kind::Switch}, {"--unbound", Kind::Switch}, {"--bound", Kind::Switch},
    {"--hidden", Kind::Switch},  {"--shown", Kind::Switch},
};

const CardOption *FindCardOption(const std::string &word)
{
    for (const CardOption &option : kCardOptions)
        if (word == option.name)
            return &option;
    return nullptr;
}

// Records one option in the card's options; false when the card has it already.
bool Record(NicOptions &card, const std::string &name, const std::string &value)
{
    auto once = [](auto &slot, auto v) {
        if (slot)
            return false;
        slot = v;
        return true;
    };
    if (name == "--dhcp")
        return !card.dhcp && (card.dhcp = true);
    if (name == "--ip")
        return once(card.ip, value);
    if (name == "--gw")
        return once(card.gw, value);
    if (name == "--dns")
        return once(card.dns, value);
    if (name == "--wins")
        return once(card.wins, value);
    if (name == "--disabled" || name == "--enabled")
        return once(card.disabled, name == "--disabled");
    if (name == "--unbound" || name == "--bound")
        return once(card.unbound, name == "--unbound");
    return once(card.hidden, name == "--hidden");
}

std::optional<std::uint32_t> ParseQuad(const std::string &text)
{
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

std::string QuadText(std::uint32_t value)
{
    return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
           std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF);
}

// A mask as a dotted quad of leading ones, or a prefix length 0..32.
std::optional<std::string> ParseMask(const std::string &text)
{
    std::uint32_t mask = 0;
    if (!text.empty() && text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos)
    {
        const int bits = std::stoi(text);
        if (bits > 32)
            return std::nullopt;
        mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
    }
    else if (auto quad = ParseQuad(text))
        mask = *quad;
    else
        return std::nullopt;
    if ((~mask & (~mask + 1)) != 0) // the ones must lead
        return std::nullopt;
    return QuadText(mask);
}

// "a,b" into its addresses; "none" is the empty list.
std::optional<std::vector<std::string>> ParseAddressList(const std::string &text)
{
    std::vector<std::string> list;
    if (text == "none")
        return list;
    for (std::string_view part : tooltext::Split(text, ','))
    {
        auto address = ParseQuad(std::string(part));
        if (!address)
            return std::nullopt;
        list.push_back(QuadText(*address));
    }
    return list;
}

std::optional<std::string> ApplyAddresses(const std::string &text, kitmachine::NicSettings &nic)
{
    nic.addresses.clear();
    nic.masks.clear();
    for (std::string_view part : tooltext::Split(text, ','))
    {
        const size_t slash = part.find('/');
        auto address = ParseQuad(std::string(part.substr(0, slash)));
        auto mask =
            slash == std::string::npos ? std::nullopt : ParseMask(std::string(part.substr(slash + 1)));
        if (!address || !mask || *address == 0)
            return "--ip takes ADDRESS/MASK[,ADDRESS/MASK...], not " + std::string(part);
        nic.addresses.push_back(QuadText(*address));
        nic.masks.push_back(*mask);
    }
    nic.dhcp = false;
    return std::nullopt;
}

// --- The text of ipconfig and winipcfg ----------------------------------------------------------

struct Labels
{
    const char *title9x, *titleNt; // winipcfg's takes the Windows name
    const char *hostName, *dnsSuffix, *dnsServers, *nodeType, *routing, *winsProxy, *dnsForNetbios;
    const char *adapter9x, *adapterNt; // "%d" the adapter's index; "%s" its name
    const char *description, *dhcpEnabled, *address, *mask, *gateway, *dhcpServer, *primaryWins,
        *secondaryWins;
    const char *yes, *no;
    const char *broadcast, *peer, *mixed, *hybrid, *unknown;
};

constexpr Labels kEnglish = {
    "%s IP Configuration",
    "Windows IP Configuration",
    "Host Name",
    "Primary Dns Suffix",
    "DNS Servers",
    "Node Type",
    "IP Routing Enabled",
    "WINS Proxy Enabled",
    "NetBIOS Resolution Uses DNS",
    "%d Ethernet Adapter :",
    "Ethernet adapter %s:",
    "Description",
    "Dhcp Enabled",
    "IP Address",
    "Subnet Mask",
    "Default Gateway",
    "DHCP Server",
    "Primary WINS Server",
    "Secondary WINS Server",
    "Yes",
    "No",
    "Broadcast",
    "Peer-Peer",
    "Mixed",
    "Hybrid",
    "Unknown",
};

constexpr Labels kSpanish = {
    "Configuración IP de %s",
    "Configuración IP de Windows",
    "Nombre del host",
    "Sufijo DNS principal",
    "Servidores DNS",
    "Tipo de nodo",
    "Enrutamiento habilitado",
    "Proxy WINS habilitado",
    "Resolución NetBIOS usa DNS",
    "Adaptador Ethernet %d :",
    "Adaptador Ethernet %s:",
    "Descripción",
    "DHCP habilitado",
    "Dirección IP",
    "Máscara de subred",
    "Puerta de enlace predeterminada",
    "Servidor DHCP",
    "Servidor WINS principal",
    "Servidor WINS secundario",
    "Sí",
    "No",
    "Difusión",
    "Punto a punto",
    "Mixto",
    "Híbrido",
    "desconocido",
};

std::string Fill(const char *format, const std::string &text)
{
    char line[256];
    std::snprintf(line, sizeof line, format, text.c_str());
    return line;
}

std::string Fill(const char *format, int number)
{
    char line[256];
    std::snprintf(line, sizeof line, format, number);
    return line;
}

// "        Label . . . . . : value", the first value on the label's line, the others below it.
class Block
{
  public:
    explicit Block(size_t width) : width_(width) {}
    void Line(const std::string &label, const std::vector<std::string> &values)
    {
        // The dots stand in fixed columns, as in the programs' own output.
        std::string line = "        " + label;
        while (line.size() < width_)
            line += line.size() % 2 == width_ % 2 ? '.' : ' ';
        text_ += line + ": " + (values.empty() ? "" : values.front()) + "\r\n";
        for (size_t i = 1; i < values.size(); ++i)
            text_ += std::string(width_ + 2, ' ') + values[i] + "\r\n";
    }
    void Line(const std::string &label, const std::string &value)
    {
        Line(label, std::vector<std::string>{value});
    }
    void Raw(const std::string &line) { text_ += line + "\r\n"; }
    const std::string &Text() const { return text_; }

  private:
    size_t width_;
    std::string text_;
};

const char *NodeTypeName(const std::string &type, const Labels &l)
{
    if (type == "1")
        return l.broadcast;
    if (type == "2")
        return l.peer;
    if (type == "4")
        return l.mixed;
    if (type == "8")
        return l.hybrid;
    return l.unknown;
}

const char *WindowsName(WindowsFamily family)
{
    switch (family)
    {
    case WindowsFamily::Win95:
        return "Windows 95";
    case WindowsFamily::WinMe:
        return "Windows Me";
    default:
        return "Windows 98";
    }
}

bool Shown(const pcreg::NetworkCard &card)
{
    return card.bound && card.enabled;
}

// What the card uses: the lease with DHCP, else its own addresses.
struct InUse
{
    std::vector<std::string> addresses, masks, gateways;
};

InUse InUseOf(const pcreg::NetworkCard &card)
{
    if (!card.dhcp)
        return {card.addresses, card.masks, card.gateways};
    if (card.leaseAddress.empty())
        return {{"0.0.0.0"}, {"0.0.0.0"}, {}};
    return {{card.leaseAddress}, {card.leaseMask}, card.leaseGateways};
}

std::string WinsAt(const pcreg::NetworkCard &card, size_t i)
{
    return i < card.wins.size() ? card.wins[i] : "";
}

std::string NineXText(WindowsFamily family, const std::vector<pcreg::NetworkCard> &cards,
                      const pcreg::TcpipSettings &tcpip, const Labels &l)
{
    Block b(36);
    b.Raw(Fill(l.title9x, WindowsName(family)));
    b.Raw("");
    b.Line(l.hostName, tcpip.hostName);
    b.Line(l.dnsServers, tcpip.dnsEnabled ? tcpip.dns : std::vector<std::string>{});
    b.Line(l.nodeType, NodeTypeName(tcpip.nodeType, l));
    b.Line(l.routing, l.no);
    b.Line(l.winsProxy, l.no);
    b.Line(l.dnsForNetbios, tcpip.dnsEnabled ? l.yes : l.no);
    int index = 0;
    for (const pcreg::NetworkCard &card : cards)
    {
        if (!Shown(card))
            continue;
        const InUse inUse = InUseOf(card);
        b.Raw("");
        b.Raw(Fill(l.adapter9x, index++));
        b.Raw("");
        b.Line(l.description, card.description);
        b.Line(l.dhcpEnabled, card.dhcp ? l.yes : l.no);
        b.Line(l.address, inUse.addresses);
        b.Line(l.mask, inUse.masks);
        b.Line(l.gateway, inUse.gateways);
        if (card.dhcp)
            b.Line(l.dhcpServer, card.leaseServer.empty() ? "255.255.255.255" : card.leaseServer);
        b.Line(l.primaryWins, WinsAt(card, 0));
        b.Line(l.secondaryWins, WinsAt(card, 1));
    }
    return b.Text();
}

std::string NtText(WindowsFamily family, const std::vector<pcreg::NetworkCard> &cards,
                   const pcreg::TcpipSettings &tcpip, const Labels &l)
{
    bool wins = false;
    for (const pcreg::NetworkCard &card : cards)
        wins = wins || (Shown(card) && !card.wins.empty());
    Block b(42);
    b.Raw(l.titleNt);
    b.Raw("");
    b.Line(l.hostName, tcpip.hostName);
    b.Line(l.dnsSuffix, tcpip.domain);
    b.Line(l.nodeType, wins ? l.hybrid : l.unknown);
    b.Line(l.routing, tcpip.routing ? l.yes : l.no);
    b.Line(l.winsProxy, l.no);
    for (const pcreg::NetworkCard &card : cards)
    {
        if (!Shown(card))
            continue;
        const InUse inUse = InUseOf(card);
        b.Raw("");
        b.Raw(Fill(l.adapterNt, family == WindowsFamily::NT4 ? card.key : card.connection));
        b.Raw("");
        b.Line(l.description, card.description);
        b.Line(l.dhcpEnabled, card.dhcp ? l.yes : l.no);
        for (size_t i = 0; i < inUse.addresses.size(); ++i)
        {
            b.Line(l.address, inUse.addresses[i]);
            b.Line(l.mask, i < inUse.masks.size() ? inUse.masks[i] : "");
        }
        b.Line(l.gateway, inUse.gateways);
        if (card.dhcp)
            b.Line(l.dhcpServer, card.leaseServer);
        b.Line(l.dnsServers, card.dns);
        b.Line(l.primaryWins, WinsAt(card, 0));
        if (card.wins.size() > 1)
            b.Line(l.secondaryWins, WinsAt(card, 1));
    }
    return b.Text();
}
} // namespace

bool NicOptions::Empty() const
{
    return !description && !dhcp && !ip && !gw && !dns && !wins && !disabled && !unbound && !hidden;
}

std::optional<NicArguments> ExtractNicOptions(int argc, char **argv, std::string &problem)
{
    NicArguments result;
    NicOptions *current = &result.loose;
    for (int i = 1; i < argc; ++i)
    {
        const std::string word = argv[i];
        const CardOption *option = FindCardOption(word);
        if (word != "--nic" && !option)
        {
            result.rest.push_back(word);
            continue;
        }
        if (i + 1 >= argc && (word == "--nic" || option->kind == Kind::List))
        {
            problem = word + " needs a value";
            return std::nullopt;
        }
        if (word == "--nic")
        {
            result.cards.emplace_back();
            result.cards.back().description = argv[++i];
            current = &result.cards.back();
            continue;
        }
        const std::string value = option->kind == Kind::List ? argv[++i] : "";
        if (!Record(*current, word, value))
        {
            problem = word + " is given twice for one card";
            return std::nullopt;
        }
    }
    return result;
}

std::optional<std::string> ApplyNicOptions(const NicOptions &o, WindowsFamily family,
                                           kitmachine::NicSettings &nic)
{
    if (o.description)
    {
        nic.description = kitpc::PcText(*o.description);
        if (tooltext::Trim(nic.description, tooltext::kWhitespace).empty())
            return "a network card needs a description";
    }
    if (o.dhcp && o.ip)
        return "--dhcp and --ip exclude each other";
    if (o.hidden && !kitpc::IsNtFamily(family))
        return "--hidden and --shown are for NT PCs: Windows 95, 98 and Me hide no network card";
    if (o.ip)
    {
        if (auto problem = ApplyAddresses(*o.ip, nic))
            return problem;
    }
    if (o.dhcp)
    {
        nic.dhcp = true;
        nic.addresses.clear();
        nic.masks.clear();
        nic.gateways.clear();
    }
    struct ListOption
    {
        const char *name;
        const std::optional<std::string> &text;
        std::vector<std::string> &list;
    };
    for (const ListOption &list :
         {ListOption{"--gw", o.gw, nic.gateways}, ListOption{"--dns", o.dns, nic.dns},
          ListOption{"--wins", o.wins, nic.wins}})
    {
        if (!list.text)
            continue;
        auto addresses = ParseAddressList(*list.text);
        if (!addresses)
            return std::string(list.name) + " takes ADDRESS[,ADDRESS...] or none, not " + *list.text;
        list.list = *addresses;
    }
    if (nic.dhcp && !nic.gateways.empty())
        return "--gw needs fixed addresses (--ip): a DHCP card takes its gateway from its lease";
    nic.disabled = o.disabled.value_or(nic.disabled);
    nic.unbound = o.unbound.value_or(nic.unbound);
    nic.hidden = o.hidden.value_or(nic.hidden);
    return std::nullopt;
}

kitmachine::NicSettings SettingsOf(const pcreg::NetworkCard &card)
{
    kitmachine::NicSettings nic;
    nic.description = card.description;
    // A card without fixed addresses (a 9x card without TCP/IP too) takes them from DHCP.
    nic.dhcp = card.dhcp || card.addresses.empty();
    if (!nic.dhcp)
    {
        nic.addresses = card.addresses;
        nic.masks = card.masks;
        nic.gateways = card.gateways;
    }
    nic.dns = card.dns;
    nic.wins = card.wins;
    nic.disabled = !card.enabled;
    nic.unbound = !card.bound;
    nic.hidden = card.hidden;
    return nic;
}

std::vector<std::string> CardLines(const std::vector<pcreg::NetworkCard> &cards)
{
    std::vector<std::string> lines;
    for (const pcreg::NetworkCard &card : cards)
    {
        std::string state = card.dialUp        ? "dial-up adapter"
                            : card.key.empty() ? "no TCP/IP"
                            : card.dhcp        ? "DHCP"
                                               : "fixed address";
        for (auto [flag, word] : {std::pair{!card.enabled, ", disabled"}, std::pair{!card.bound, ", unbound"},
                                  std::pair{card.hidden, ", hidden"}})
            if (flag)
                state += word;
        lines.push_back((card.dialUp ? std::string("-") : std::to_string(card.number)) + "  " +
                        card.description + "  (" + state + (card.key.empty() ? "" : "; " + card.key) + ")");
    }
    return lines;
}

std::string IpConfigText(WindowsFamily family, const std::vector<pcreg::NetworkCard> &cards,
                         const pcreg::TcpipSettings &tcpip, bool spanish)
{
    const Labels &labels = spanish ? kSpanish : kEnglish;
    return kitpc::IsNtFamily(family) ? NtText(family, cards, tcpip, labels)
                                     : NineXText(family, cards, tcpip, labels);
}
} // namespace machinecli
