#include "pppoe/RasIter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
// The structure sizes each Windows knows.
constexpr DWORD kEntrySize9x = 1768, kEntrySizeNt = 1796, kEntrySizeXp = 2884;
constexpr DWORD kNameSizeOld = 264, kNameSizeXp = 532;
constexpr DWORD kDialSize9x = 1052, kDialSizeNt = 1060;
constexpr DWORD kCredentialsSize = 540;

// Copies a text into a fixed field with its NUL; too long is E_INVALIDARG.
template <size_t N> void CopyField(char (&field)[N], const std::string &text)
{
    if (text.size() >= N)
        throw CSystemError(E_INVALIDARG);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

void Check(DWORD dwCode)
{
    if (dwCode != 0)
        throw CRasError(dwCode);
}
} // namespace

const char *CSystemError::what() const noexcept
{
    char szText[256] = "";
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(m_hr), 0, szText, sizeof szText, nullptr);
    m_text.assign(szText, n);
    while (!m_text.empty() && (m_text.back() == '\n' || m_text.back() == '\r'))
        m_text.pop_back();
    if (m_text.empty())
    {
        std::snprintf(szText, sizeof szText, "0x%08X", static_cast<unsigned>(m_hr));
        m_text = szText;
    }
    return m_text.c_str();
}

// --- devices ------------------------------------------------------------------------------------

CRasDeviceIter::CRasDeviceIter(DWORD dwOsFlags) : m_ras((dwOsFlags & OSV_NT) != 0) {}

void CRasDeviceIter::Enumerate()
{
    auto enumDevices = CRasBinding::Need(m_ras.RasEnumDevices);
    DWORD dwCount = kFirstRecords;
    for (;;)
    {
        std::vector<RASDEVINFOA> devices(dwCount);
        devices[0].dwSize = sizeof(RASDEVINFOA);
        DWORD dwBytes = static_cast<DWORD>(devices.size() * sizeof(RASDEVINFOA));
        DWORD dwFound = 0;
        const DWORD dwCode = enumDevices(devices.data(), &dwBytes, &dwFound);
        if (dwCode == ERROR_BUFFER_TOO_SMALL && dwFound > dwCount)
        {
            dwCount = dwFound;
            continue;
        }
        Check(dwCode);
        devices.resize(std::min<size_t>(dwFound, devices.size()));
        m_devices = std::move(devices);
        m_position = 0;
        return;
    }
}

// --- entries ------------------------------------------------------------------------------------

CRasEntryIter::CRasEntryIter(DWORD dwOsFlags)
    : m_dwOsFlags(dwOsFlags), m_ras((dwOsFlags & OSV_NT) != 0), m_entry(sizeof(RASENTRYA))
{
}

DWORD CRasEntryIter::EntrySize() const
{
    if (m_dwOsFlags & OSV_WINXP)
        return kEntrySizeXp;
    return (m_dwOsFlags & OSV_NT) ? kEntrySizeNt : kEntrySize9x;
}

DWORD CRasEntryIter::NameSize() const
{
    return (m_dwOsFlags & OSV_WINXP) ? kNameSizeXp : kNameSizeOld;
}

DWORD CRasEntryIter::DialParamsSize() const
{
    return (m_dwOsFlags & OSV_NT) ? kDialSizeNt : kDialSize9x;
}

const char *CRasEntryIter::PhoneBook() const
{
    return m_bPhoneBookGiven ? m_phoneBook.c_str() : nullptr;
}

void CRasEntryIter::Open(const char *pszPhoneBook)
{
    m_bPhoneBookGiven = pszPhoneBook != nullptr;
    m_phoneBook = pszPhoneBook ? pszPhoneBook : "";
    auto enumEntries = CRasBinding::Need(m_ras.RasEnumEntries);
    const DWORD dwNameSize = NameSize();
    DWORD dwSlots = kFirstNames;
    std::vector<BYTE> records;
    DWORD dwCount = 0;
    for (;;)
    {
        records.assign(static_cast<size_t>(dwSlots) * dwNameSize, 0);
        reinterpret_cast<RASENTRYNAMEA *>(records.data())->dwSize = dwNameSize;
        DWORD dwBytes = static_cast<DWORD>(records.size());
        dwCount = 0;
        const DWORD dwCode = enumEntries(
            nullptr, PhoneBook(), reinterpret_cast<LPRASENTRYNAMEA>(records.data()), &dwBytes, &dwCount);
        if (dwCode == ERROR_BUFFER_TOO_SMALL && dwCount > dwSlots)
        {
            dwSlots = dwCount;
            continue;
        }
        Check(dwCode);
        dwCount = std::min(dwCount, dwSlots);
        break;
    }
    // Into slots of one size, whatever the platform's record.
    m_names.assign(static_cast<size_t>(dwCount) * kNameSlot, 0);
    for (DWORD i = 0; i < dwCount; ++i)
        std::memcpy(&m_names[i * kNameSlot], &records[i * dwNameSize], std::min(dwNameSize, kNameSlot));
    m_dwNames = dwCount;
    m_bEditing = false;
    if (m_dwNames > 0)
        Load(0);
}

void CRasEntryIter::Close()
{
    m_bEditing = false;
    m_names.clear();
    m_dwNames = 0;
}

const char *CRasEntryIter::NameAt(DWORD dwIndex) const
{
    return reinterpret_cast<const RASENTRYNAMEA *>(&m_names[dwIndex * kNameSlot])->szEntryName;
}

void CRasEntryIter::Load(DWORD dwIndex)
{
    m_dwCurrent = dwIndex;
    m_name = NameAt(dwIndex);
    std::fill(m_entry.begin(), m_entry.end(), 0);
    Entry().dwSize = EntrySize();
    DWORD dwBytes = EntrySize();
    Check(CRasBinding::Need(m_ras.RasGetEntryProperties)(PhoneBook(), m_name.c_str(), &Entry(), &dwBytes,
                                                         nullptr, nullptr));
    m_dial = {};
    m_dial.dwSize = DialParamsSize();
    CopyField(m_dial.szEntryName, m_name);
    BOOL bPassword = FALSE;
    Check(CRasBinding::Need(m_ras.RasGetEntryDialParams)(PhoneBook(), &m_dial, &bPassword));
}

bool CRasEntryIter::Find(const std::string &name)
{
    for (DWORD i = 0; i < m_dwNames; ++i)
        if (lstrcmpiA(NameAt(i), name.c_str()) == 0)
        {
            if (i != m_dwCurrent || m_name != NameAt(i))
                Load(i);
            return true;
        }
    return false;
}

void CRasEntryIter::Edit()
{
    if (m_dwNames == 0)
        throw CSystemError(E_UNEXPECTED); // no entry to stand on
    m_bEditing = true;
    m_bNew = false;
}

void CRasEntryIter::AddNew()
{
    std::fill(m_entry.begin(), m_entry.end(), 0);
    RASENTRYA &entry = Entry();
    entry.dwSize = EntrySize();
    entry.dwfNetProtocols = RASNP_Ip;
    entry.dwFramingProtocol = RASFP_Ppp;
    entry.dwfOptions = RASEO_IpHeaderCompression | RASEO_RemoteDefaultGateway | RASEO_ModemLights |
                       RASEO_SwCompression; // 0x318
    if (m_dwOsFlags & OSV_NT)
    {
        entry.dwDialMode = RASEDM_DialAll;
        entry.dwIdleDisconnectSeconds = RASIDS_Disabled;
    }
    if (m_dwOsFlags & OSV_WINXP)
        entry.dwType = RASET_Phone;
    m_dial = {};
    m_dial.dwSize = DialParamsSize();
    m_name.clear();
    m_bEditing = true;
    m_bNew = true;
}

void CRasEntryIter::SetEntryName(const std::string &name)
{
    const DWORD dwCode = CRasBinding::Need(m_ras.RasValidateEntryName)(PhoneBook(), name.c_str());
    if (dwCode != ERROR_SUCCESS && dwCode != ERROR_ALREADY_EXISTS)
        throw CSystemError(E_INVALIDARG);
    CopyField(m_dial.szEntryName, name);
    m_name = name;
}

void CRasEntryIter::SetDeviceName(const std::string &name)
{
    CopyField(Entry().szDeviceName, name);
}

void CRasEntryIter::SetDeviceType(const std::string &type)
{
    CopyField(Entry().szDeviceType, type);
}

void CRasEntryIter::SetCountry(DWORD dwId, DWORD dwCode)
{
    Entry().dwCountryID = dwId;
    Entry().dwCountryCode = dwCode;
}

void CRasEntryIter::SetAreaCode(const std::string &code)
{
    CopyField(Entry().szAreaCode, code);
}

void CRasEntryIter::SetScript(const std::string &script)
{
    CopyField(Entry().szScript, script);
}

void CRasEntryIter::SetUserName(const std::string &user)
{
    CopyField(m_dial.szUserName, user);
}

void CRasEntryIter::SetPassword(const std::string &password)
{
    CopyField(m_dial.szPassword, password);
}

void CRasEntryIter::SetPhoneNumber(const std::string &number)
{
    CopyField(Entry().szLocalPhoneNumber, number);
}

void CRasEntryIter::SetEntryType(DWORD dwType)
{
    if (m_dwOsFlags & OSV_WINXP)
        Entry().dwType = dwType;
}

void CRasEntryIter::Update()
{
    if (!m_bEditing)
        throw CSystemError(E_UNEXPECTED); // neither Edit nor AddNew came first
    if (m_bNew)
        Check(CRasBinding::Need(m_ras.RasValidateEntryName)(PhoneBook(), m_name.c_str()));
    Check(CRasBinding::Need(m_ras.RasSetEntryProperties)(PhoneBook(), m_name.c_str(), &Entry(), EntrySize(),
                                                         nullptr, 0));
    Check(CRasBinding::Need(m_ras.RasSetEntryDialParams)(PhoneBook(), &m_dial, FALSE));
    if (m_dwOsFlags & OSV_NT4)
    {
        RASCREDENTIALSA credentials = {};
        credentials.dwSize = kCredentialsSize;
        credentials.dwMask = RASCM_UserName | RASCM_Password;
        std::memcpy(credentials.szUserName, m_dial.szUserName, sizeof credentials.szUserName);
        std::memcpy(credentials.szPassword, m_dial.szPassword, sizeof credentials.szPassword);
        Check(CRasBinding::Need(m_ras.RasSetCredentials)(PhoneBook(), m_name.c_str(), &credentials, FALSE));
    }
    // Out of edit mode, standing on the entry as the phone book now has it.
    m_bEditing = false;
    m_bNew = false;
    const std::string name = m_name;
    Open(PhoneBook());
    Find(name);
}
