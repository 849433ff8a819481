// An entry's section of rasphone.pbk as the NT family writes it: the entry's own keys, then the
// MEDIA group (port and device name) and the DEVICE group (device type, phone number). The keys
// are Windows' names; each member of RASENTRYA has one home, so what is written reads back the
// same. 2000/XP mark their entries "Encoding=1" and keep the text in UTF-8; NT 4 writes ANSI.
#include "platform/rasapi32/rasapi32.h"
#include "platform/core/text.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace
{
using plat::ras::Version;

enum class Group
{
    Entry,
    Media,
    Device,
};

enum class Kind
{
    Number,     // a DWORD member
    Text,       // a char array member
    Option,     // a dwfOptions bit: 1 when set
    NotOption,  // a dwfOptions bit: 0 when set
    Option2,    // a dwfOptions2 bit: 1 when set
    NotOption2, // a dwfOptions2 bit: 0 when set
    Assign,     // a dwfOptions bit: 2 (given) when set, 1 (assigned by the server) when clear
    Address,    // a RASIPADDR member, dotted
    Guid,       // guidId, 32 hexadecimal digits
};

// The structure versions a member belongs to.
enum Since
{
    V400,
    V401,
    V500,
    V501,
};

struct Field
{
    Group group;
    const char *key;
    Kind kind;
    size_t offset; // of the member; for the options the bit
    size_t size;
    Since since;
};

#define NUMBER(group, key, member, since)                                                                    \
    {                                                                                                        \
        Group::group, key, Kind::Number, offsetof(RASENTRYA, member), 4, since                               \
    }
#define TEXT(group, key, member, since)                                                                      \
    {                                                                                                        \
        Group::group, key, Kind::Text, offsetof(RASENTRYA, member), sizeof(RASENTRYA::member), since         \
    }
#define BIT(group, key, kind, bit, since)                                                                    \
    {                                                                                                        \
        Group::group, key, Kind::kind, bit, 0, since                                                         \
    }
#define ADDRESS(key, member)                                                                                 \
    {                                                                                                        \
        Group::Entry, key, Kind::Address, offsetof(RASENTRYA, member), 4, V400                               \
    }

// In the order Windows writes them.
const Field kFields[] = {
    NUMBER(Entry, "Type", dwType, V500),
    BIT(Entry, "AutoLogon", Option, RASEO_UseLogonCredentials, V400),
    BIT(Entry, "UseRasCredentials", NotOption2, RASEO2_DontUseRasCredentials, V501),
    {Group::Entry, "Guid", Kind::Guid, offsetof(RASENTRYA, guidId), sizeof(GUID), V500},
    NUMBER(Entry, "BaseProtocol", dwFramingProtocol, V400),
    NUMBER(Entry, "VpnStrategy", dwVpnStrategy, V500),
    BIT(Entry, "LcpExtensions", NotOption, RASEO_DisableLcpExtensions, V400),
    NUMBER(Entry, "DataEncryption", dwEncryptionType, V500),
    BIT(Entry, "RequireDataEncryption", Option, RASEO_RequireDataEncryption, V400),
    BIT(Entry, "RequireEncryptedPw", Option, RASEO_RequireEncryptedPw, V400),
    BIT(Entry, "RequireMsEncryptedPw", Option, RASEO_RequireMsEncryptedPw, V400),
    BIT(Entry, "SwCompression", Option, RASEO_SwCompression, V400),
    BIT(Entry, "NegotiateMultilinkAlways", NotOption2, RASEO2_DontNegotiateMultilink, V501),
    BIT(Entry, "NetworkLogon", Option, RASEO_NetworkLogon, V400),
    BIT(Entry, "SecureLocalFiles", Option, RASEO_SecureLocalFiles, V400),
    NUMBER(Entry, "DialMode", dwDialMode, V401),
    NUMBER(Entry, "DialPercent", dwDialExtraPercent, V401),
    NUMBER(Entry, "DialSeconds", dwDialExtraSampleSeconds, V401),
    NUMBER(Entry, "HangUpPercent", dwHangUpExtraPercent, V401),
    NUMBER(Entry, "HangUpSeconds", dwHangUpExtraSampleSeconds, V401),
    NUMBER(Entry, "RedialAttempts", dwRedialCount, V501),
    NUMBER(Entry, "RedialSeconds", dwRedialPause, V501),
    NUMBER(Entry, "IdleDisconnectSeconds", dwIdleDisconnectSeconds, V401),
    BIT(Entry, "RedialOnLinkFailure", Option2, RASEO2_ReconnectIfDropped, V501),
    TEXT(Entry, "CustomDialDll", szCustomDialDll, V500),
    TEXT(Entry, "AutodialDll", szAutodialDll, V400),
    TEXT(Entry, "AutodialFunc", szAutodialFunc, V400),
    BIT(Entry, "ShareMsFilePrint", NotOption2, RASEO2_SecureFileAndPrint, V501),
    BIT(Entry, "BindMsNetClient", NotOption2, RASEO2_SecureClientForMSNet, V501),
    BIT(Entry, "SharedPhoneNumbers", Option, RASEO_SharedPhoneNumbers, V400),
    BIT(Entry, "GlobalDeviceSettings", Option2, RASEO2_UseGlobalDeviceSettings, V501),
    BIT(Entry, "UsePreSharedKey", Option2, RASEO2_UsePreSharedKey, V501),
    BIT(Entry, "Internet", Option2, RASEO2_Internet, V501),
    TEXT(Entry, "PrerequisiteEntry", szPrerequisiteEntry, V501),
    TEXT(Entry, "PrerequisitePbk", szPrerequisitePbk, V501),
    BIT(Entry, "PreviewUserPw", Option, RASEO_PreviewUserPw, V400),
    BIT(Entry, "PreviewDomain", Option, RASEO_PreviewDomain, V400),
    BIT(Entry, "PreviewPhoneNumber", Option, RASEO_PreviewPhoneNumber, V400),
    BIT(Entry, "ShowDialingProgress", Option, RASEO_ShowDialingProgress, V400),
    BIT(Entry, "ShowMonitorIconInTaskBar", Option, RASEO_ModemLights, V400),
    BIT(Entry, "CustomAuth", Option, RASEO_Custom, V400),
    NUMBER(Entry, "CustomAuthKey", dwCustomAuthKey, V500),
    BIT(Entry, "AuthPAP", Option, RASEO_RequirePAP, V400),
    BIT(Entry, "AuthSPAP", Option, RASEO_RequireSPAP, V400),
    BIT(Entry, "AuthCHAP", Option, RASEO_RequireCHAP, V400),
    BIT(Entry, "AuthMSCHAP", Option, RASEO_RequireMsCHAP, V400),
    BIT(Entry, "AuthMSCHAP2", Option, RASEO_RequireMsCHAP2, V400),
    BIT(Entry, "AuthW95MSCHAP", Option, RASEO_RequireW95MSCHAP, V400),
    BIT(Entry, "AuthEAP", Option, RASEO_RequireEAP, V400),
    BIT(Entry, "IpPrioritizeRemote", Option, RASEO_RemoteDefaultGateway, V400),
    BIT(Entry, "IpHeaderCompression", Option, RASEO_IpHeaderCompression, V400),
    ADDRESS("IpAddress", ipaddr),
    ADDRESS("IpDnsAddress", ipaddrDns),
    ADDRESS("IpDns2Address", ipaddrDnsAlt),
    ADDRESS("IpWinsAddress", ipaddrWins),
    ADDRESS("IpWins2Address", ipaddrWinsAlt),
    BIT(Entry, "IpAssign", Assign, RASEO_SpecificIpAddr, V400),
    BIT(Entry, "IpNameAssign", Assign, RASEO_SpecificNameServers, V400),
    NUMBER(Entry, "IpFrameSize", dwFrameSize, V400),
    BIT(Entry, "IpNBTFlags", NotOption2, RASEO2_DisableNbtOverIP, V501),
    NUMBER(Entry, "TcpWindowSize", dwTcpWindowSize, V501),
    TEXT(Entry, "IpDnsSuffix", szDnsSuffix, V501),
    TEXT(Media, "Device", szDeviceName, V400),
    TEXT(Device, "PhoneNumber", szLocalPhoneNumber, V400),
    TEXT(Device, "AreaCode", szAreaCode, V400),
    NUMBER(Device, "CountryCode", dwCountryCode, V400),
    NUMBER(Device, "CountryID", dwCountryID, V400),
    BIT(Device, "UseDialingRules", Option, RASEO_UseCountryAndAreaCodes, V400),
    BIT(Device, "PromoteAlternates", Option, RASEO_PromoteAlternates, V400),
    BIT(Device, "TerminalBeforeDial", Option, RASEO_TerminalBeforeDial, V400),
    BIT(Device, "TerminalAfterDial", Option, RASEO_TerminalAfterDial, V400),
    BIT(Device, "CustomScript", Option, RASEO_CustomScript, V400),
    TEXT(Device, "Script", szScript, V400),
    TEXT(Device, "X25Pad", szX25PadType, V400),
    TEXT(Device, "X25Address", szX25Address, V400),
    TEXT(Device, "Facilities", szX25Facilities, V400),
    TEXT(Device, "UserData", szX25UserData, V400),
    NUMBER(Device, "Channels", dwChannels, V400),
};

#undef NUMBER
#undef TEXT
#undef BIT
#undef ADDRESS

// Protocols RAS may exclude; the file keeps what is left out.
constexpr DWORD kKnownProtocols = RASNP_NetBEUI | RASNP_Ipx | RASNP_Ip;

Since VersionSince(const Version &version)
{
    return version.xp ? V501 : version.win2000OrLater ? V500 : version.nt ? V401 : V400;
}

BYTE *MemberOf(RASENTRYA &entry, const Field &field)
{
    return reinterpret_cast<BYTE *>(&entry) + field.offset;
}
const BYTE *MemberOf(const RASENTRYA &entry, const Field &field)
{
    return reinterpret_cast<const BYTE *>(&entry) + field.offset;
}

DWORD &OptionsOf(RASENTRYA &entry, Kind kind)
{
    return kind == Kind::Option2 || kind == Kind::NotOption2 ? entry.dwfOptions2 : entry.dwfOptions;
}

std::string FormatValue(const RASENTRYA &entry, const Field &field)
{
    DWORD options =
        field.kind == Kind::Option2 || field.kind == Kind::NotOption2 ? entry.dwfOptions2 : entry.dwfOptions;
    const bool set = (options & static_cast<DWORD>(field.offset)) != 0;
    switch (field.kind)
    {
    case Kind::Number: {
        DWORD value = 0;
        std::memcpy(&value, MemberOf(entry, field), sizeof value);
        return std::to_string(value);
    }
    case Kind::Text:
        return plat::ras::FieldText(reinterpret_cast<const char *>(MemberOf(entry, field)), field.size);
    case Kind::Option:
    case Kind::Option2:
        return set ? "1" : "0";
    case Kind::NotOption:
    case Kind::NotOption2:
        return set ? "0" : "1";
    case Kind::Assign:
        return set ? "2" : "1";
    case Kind::Address: {
        const BYTE *a = MemberOf(entry, field);
        return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
               std::to_string(a[3]);
    }
    case Kind::Guid: {
        std::string hex;
        char digits[3];
        for (size_t i = 0; i < sizeof(GUID); ++i)
        {
            std::snprintf(digits, sizeof digits, "%02X", MemberOf(entry, field)[i]);
            hex += digits;
        }
        return hex;
    }
    }
    return {};
}

DWORD ParseNumber(std::string_view text)
{
    DWORD value = 0;
    for (char c : text)
    {
        if (!plat::IsDigit(c))
            break;
        value = value * 10 + static_cast<DWORD>(c - '0');
    }
    return value;
}

void ParseAddress(std::string_view text, BYTE *address)
{
    for (int part = 0; part < 4; ++part)
    {
        const size_t dot = text.find('.');
        address[part] = static_cast<BYTE>(ParseNumber(text.substr(0, dot)));
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    }
}

void StoreValue(RASENTRYA &entry, const Field &field, std::string_view value)
{
    const DWORD bit = static_cast<DWORD>(field.offset);
    switch (field.kind)
    {
    case Kind::Number: {
        const DWORD number = ParseNumber(value);
        std::memcpy(MemberOf(entry, field), &number, sizeof number);
        return;
    }
    case Kind::Text:
        plat::ras::SetField(reinterpret_cast<char *>(MemberOf(entry, field)), field.size, value);
        return;
    case Kind::Option:
    case Kind::Option2:
    case Kind::NotOption:
    case Kind::NotOption2:
    case Kind::Assign: {
        const DWORD number = ParseNumber(value);
        const bool set = field.kind == Kind::Assign                                        ? number == 2
                         : field.kind == Kind::NotOption || field.kind == Kind::NotOption2 ? number == 0
                                                                                           : number != 0;
        DWORD &options = OptionsOf(entry, field.kind);
        options = set ? options | bit : options & ~bit;
        return;
    }
    case Kind::Address:
        ParseAddress(value, MemberOf(entry, field));
        return;
    case Kind::Guid: {
        uint64_t byte = 0;
        for (size_t i = 0; i < sizeof(GUID) && 2 * i + 1 < value.size(); ++i)
            if (plat::ReadHex(value.data() + 2 * i, 2, byte))
                MemberOf(entry, field)[i] = static_cast<BYTE>(byte);
        return;
    }
    }
}

void AppendLine(std::string &text, std::string_view key, std::string_view value)
{
    text.append(key).append("=").append(value).append("\r\n");
}

// The group's keys the version knows; texts in the file's encoding (UTF-8 on 2000/XP).
void AppendGroup(std::string &text, Group group, const RASENTRYA &entry, Since since, bool utf8)
{
    for (const Field &field : kFields)
        if (field.group == group && field.since <= since)
        {
            const std::string value = FormatValue(entry, field);
            AppendLine(text, field.key, utf8 && field.kind == Kind::Text ? plat::Utf8From1252(value) : value);
        }
}

const Field *FindField(Group group, std::string_view key)
{
    for (const Field &field : kFields)
        if (field.group == group && plat::EqualNoCase(field.key, key))
            return &field;
    return nullptr;
}
} // namespace

namespace plat::ras
{
std::string PbkSection(std::string_view name, const RASENTRYA &entry, const Version &version)
{
    const Since since = VersionSince(version);
    const bool utf8 = version.win2000OrLater;
    auto text = [utf8](std::string_view ansi) { return utf8 ? Utf8From1252(ansi) : std::string(ansi); };
    std::string section = "[" + text(name) + "]\r\n";
    if (utf8)
        AppendLine(section, "Encoding", "1");
    AppendGroup(section, Group::Entry, entry, since, utf8);
    AppendLine(section, "ExcludedProtocols", std::to_string(~entry.dwfNetProtocols & kKnownProtocols));
    if (since >= V500)
        section += "\r\nNETCOMPONENTS\r\nms_server=1\r\nms_msclient=1\r\n";
    section += "\r\n";
    AppendLine(section, "MEDIA", "rastapi");
    std::string port = FieldText(entry.szDeviceName);
    for (const Device &device : ListDevices())
        if (EqualNoCase(device.name, FieldText(entry.szDeviceName)))
            port = device.port;
    AppendLine(section, "Port", text(port));
    AppendGroup(section, Group::Media, entry, since, utf8);
    section += "\r\n";
    AppendLine(section, "DEVICE", text(FieldText(entry.szDeviceType)));
    AppendGroup(section, Group::Device, entry, since, utf8);
    section += "\r\n";
    return section;
}

void ParsePbkSection(std::string_view body, bool utf8, RASENTRYA &entry)
{
    Group group = Group::Entry;
    DWORD excluded = 0;
    while (!body.empty())
    {
        const size_t end = body.find('\n');
        std::string_view line = Trim(body.substr(0, end), " \t\r");
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string value =
            utf8 ? Cp1252FromUtf8(Trim(line.substr(eq + 1))) : std::string(Trim(line.substr(eq + 1)));
        if (EqualNoCase(key, "MEDIA"))
            group = Group::Media;
        else if (key == "DEVICE")
        {
            group = Group::Device;
            SetField(entry.szDeviceType, value);
        }
        else if (group == Group::Entry && EqualNoCase(key, "ExcludedProtocols"))
            excluded = ParseNumber(value);
        else if (const Field *field = FindField(group, key))
            StoreValue(entry, *field, value);
    }
    entry.dwfNetProtocols = ~excluded & kKnownProtocols;
}
} // namespace plat::ras
