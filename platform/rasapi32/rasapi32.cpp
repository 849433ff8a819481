// RASAPI32.DLL: the phone book, its entries' properties and dial parameters, for the family of
// Windows the PC runs (structure sizes, phone-book store, password handling).
#include "platform/core/text.h"
#include "platform/rasapi32/rasapi32.h"

#include <cstring>

namespace
{
using plat::ras::Credentials;
using plat::ras::PhoneBook;
using plat::ras::Version;

// What 2000/XP give for a saved password; handed back unchanged, it keeps the saved one.
constexpr char kPasswordHandle[] = "****************";
constexpr char kBadNameCharacters[] = "\\/:*?\"<>|[]";

bool ValidEntryName(LPCSTR name)
{
    if (!name || !*name || *name == '.' || std::strlen(name) > RAS_MaxEntryName)
        return false;
    for (const char *c = name; *c; ++c)
        if (static_cast<unsigned char>(*c) < 0x20 || std::strchr(kBadNameCharacters, *c))
            return false;
    return true;
}

// The entry Windows proposes for a new connection.
RASENTRYA DefaultEntry(const Version &version)
{
    RASENTRYA entry{};
    entry.dwSize = sizeof entry;
    entry.dwfOptions =
        RASEO_RemoteDefaultGateway | RASEO_IpHeaderCompression | RASEO_ModemLights | RASEO_SwCompression;
    entry.dwCountryID = entry.dwCountryCode = version.spanish ? 34 : 1;
    entry.dwfNetProtocols = version.nt ? RASNP_Ip : RASNP_NetBEUI | RASNP_Ipx | RASNP_Ip;
    entry.dwFramingProtocol = RASFP_Ppp;
    if (version.nt)
    {
        entry.dwDialMode = RASEDM_DialAll;
        entry.dwDialExtraPercent = 75;
        entry.dwDialExtraSampleSeconds = 120;
        entry.dwHangUpExtraPercent = 10;
        entry.dwHangUpExtraSampleSeconds = 120;
        entry.dwIdleDisconnectSeconds = RASIDS_Disabled;
    }
    if (version.win2000OrLater)
    {
        entry.dwType = RASET_Phone;
        entry.dwEncryptionType = ET_Optional;
    }
    if (version.xp)
    {
        entry.dwRedialCount = 3;
        entry.dwRedialPause = 60;
    }
    return entry;
}

// The members of the caller's version, over what the entry had.
void Overlay(RASENTRYA &entry, const RASENTRYA &given)
{
    std::memcpy(&entry, &given, given.dwSize);
    entry.dwSize = sizeof entry;
    entry.dwAlternateOffset = 0;
}

DWORD FindCredentials(const PhoneBook &book, LPCSTR entryName, std::string &stored, Credentials &credentials)
{
    if (const DWORD error = plat::ras::FindEntry(book, entryName, stored))
        return error;
    credentials = plat::ras::LoadCredentials(book, stored).value_or(Credentials{});
    return ERROR_SUCCESS;
}
} // namespace

// RasEnumEntriesA: the phone book's entries in its order. lprasentryname NULL or *lpcb too small:
// ERROR_BUFFER_TOO_SMALL with the bytes and count needed; a dwSize this Windows does not know:
// ERROR_INVALID_SIZE. RASENTRYNAMEA of 2000/XP also names the phone book file.
DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, LPRASENTRYNAMEA lprasentryname,
                             LPDWORD lpcb, LPDWORD lpcEntries)
{
    if (reserved || !lpcb || !lpcEntries)
        return ERROR_INVALID_PARAMETER;
    const Version version = plat::ras::CurrentVersion();
    const DWORD recordSize = lprasentryname ? lprasentryname->dwSize : version.EntryNameSize();
    if (!version.KnowsEntryNameSize(recordSize))
        return ERROR_INVALID_SIZE;
    const PhoneBook book = plat::ras::OpenPhoneBook(lpszPhonebook);
    std::vector<std::string> names;
    if (const DWORD error = plat::ras::ListEntries(book, names))
        return error;
    const DWORD needed = static_cast<DWORD>(names.size()) * recordSize;
    *lpcEntries = static_cast<DWORD>(names.size());
    if (!lprasentryname || *lpcb < needed)
    {
        *lpcb = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    BYTE *at = reinterpret_cast<BYTE *>(lprasentryname);
    for (const std::string &name : names)
    {
        RASENTRYNAMEA record{};
        record.dwSize = recordSize;
        plat::ras::SetField(record.szEntryName, name);
        record.dwFlags = REN_User;
        plat::ras::SetField(record.szPhonebookPath, book.registry ? "" : book.path);
        std::memcpy(at, &record, recordSize);
        at += recordSize;
    }
    *lpcb = needed;
    return ERROR_SUCCESS;
}

// RasGetEntryPropertiesA: an entry (found without case), or with no entry name the entry
// Windows proposes for a new one. lpRasEntry NULL or a buffer smaller than its dwSize:
// ERROR_BUFFER_TOO_SMALL with the size; no alternate numbers and no device configuration
// (*lpdwDeviceInfoSize 0).
DWORD WINAPI RasGetEntryPropertiesA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASENTRYA lpRasEntry,
                                    LPDWORD lpdwEntryInfoSize, LPBYTE, LPDWORD lpdwDeviceInfoSize)
{
    if (!lpdwEntryInfoSize)
        return ERROR_INVALID_PARAMETER;
    const Version version = plat::ras::CurrentVersion();
    if (lpdwDeviceInfoSize)
        *lpdwDeviceInfoSize = 0;
    if (lpRasEntry && !version.KnowsEntrySize(lpRasEntry->dwSize))
        return ERROR_INVALID_SIZE;
    const DWORD size = lpRasEntry ? lpRasEntry->dwSize : version.EntrySize();
    if (!lpRasEntry || *lpdwEntryInfoSize < size)
    {
        *lpdwEntryInfoSize = size;
        return ERROR_BUFFER_TOO_SMALL;
    }
    RASENTRYA entry = DefaultEntry(version);
    if (lpszEntry && *lpszEntry)
        if (const DWORD error =
                plat::ras::ReadEntry(plat::ras::OpenPhoneBook(lpszPhonebook), lpszEntry, entry))
            return error;
    std::memcpy(lpRasEntry, &entry, size);
    lpRasEntry->dwSize = size;
    *lpdwEntryInfoSize = size;
    return ERROR_SUCCESS;
}

// RasSetEntryPropertiesA: adds the entry or changes the one of that name (found without case,
// keeping its name); the members the caller's version lacks keep their values. No device
// configuration is kept.
DWORD WINAPI RasSetEntryPropertiesA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASENTRYA lpRasEntry,
                                    DWORD dwEntryInfoSize, LPBYTE, DWORD)
{
    if (!lpRasEntry)
        return ERROR_BUFFER_INVALID;
    const Version version = plat::ras::CurrentVersion();
    if (!version.KnowsEntrySize(lpRasEntry->dwSize) || dwEntryInfoSize < lpRasEntry->dwSize)
        return ERROR_INVALID_SIZE;
    if (!ValidEntryName(lpszEntry))
        return ERROR_INVALID_NAME;
    const PhoneBook book = plat::ras::OpenPhoneBook(lpszPhonebook);
    RASENTRYA entry = DefaultEntry(version);
    const DWORD read = plat::ras::ReadEntry(book, lpszEntry, entry);
    if (read == ERROR_CANNOT_FIND_PHONEBOOK_ENTRY)
        entry = DefaultEntry(version);
    else if (read != ERROR_SUCCESS)
        return read;
    Overlay(entry, *lpRasEntry);
    return plat::ras::WriteEntry(book, lpszEntry, entry);
}

// RasValidateEntryNameA: 0 for a name a new entry may take, ERROR_ALREADY_EXISTS when an entry
// has it (without case), ERROR_INVALID_NAME for a name Windows refuses.
DWORD WINAPI RasValidateEntryNameA(LPCSTR lpszPhonebook, LPCSTR lpszEntry)
{
    if (!ValidEntryName(lpszEntry))
        return ERROR_INVALID_NAME;
    std::string stored;
    const DWORD found = plat::ras::FindEntry(plat::ras::OpenPhoneBook(lpszPhonebook), lpszEntry, stored);
    return found == ERROR_SUCCESS                       ? ERROR_ALREADY_EXISTS
           : found == ERROR_CANNOT_FIND_PHONEBOOK_ENTRY ? ERROR_SUCCESS
                                                        : found;
}

// RasDeleteEntryA: the entry and its dial parameters.
DWORD WINAPI RasDeleteEntryA(LPCSTR lpszPhonebook, LPCSTR lpszEntry)
{
    if (!lpszEntry || !*lpszEntry)
        return ERROR_INVALID_NAME;
    return plat::ras::DeleteEntry(plat::ras::OpenPhoneBook(lpszPhonebook), lpszEntry);
}

// RasGetEntryDialParamsA: the user name, domain and password kept for the entry. *lpfPassword
// tells whether a password is kept; 9x and NT 4 give the password itself, 2000/XP a handle of
// 16 asterisks that RasSetEntryDialParamsA takes for the kept password.
DWORD WINAPI RasGetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lprasdialparams,
                                    LPBOOL lpfPassword)
{
    if (!lprasdialparams || !lpfPassword)
        return ERROR_BUFFER_INVALID;
    const Version version = plat::ras::CurrentVersion();
    const DWORD size = lprasdialparams->dwSize;
    if (!version.KnowsDialParamsSize(size))
        return ERROR_INVALID_SIZE;
    std::string stored;
    Credentials credentials;
    const std::string name = plat::ras::FieldText(lprasdialparams->szEntryName);
    if (const DWORD error =
            FindCredentials(plat::ras::OpenPhoneBook(lpszPhonebook), name.c_str(), stored, credentials))
        return error;
    RASDIALPARAMSA params{};
    params.dwSize = size;
    plat::ras::SetField(params.szEntryName, name);
    plat::ras::SetField(params.szUserName, credentials.userName);
    plat::ras::SetField(params.szDomain, credentials.domain);
    if (credentials.password)
        plat::ras::SetField(params.szPassword,
                            version.win2000OrLater ? kPasswordHandle : *credentials.password);
    std::memcpy(lprasdialparams, &params, size);
    *lpfPassword = credentials.password ? TRUE : FALSE;
    return ERROR_SUCCESS;
}

// RasSetEntryDialParamsA: keeps the user name, domain and (unless fRemovePassword) the password
// for the entry; on 2000/XP the password handle keeps the password already kept.
DWORD WINAPI RasSetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lprasdialparams,
                                    BOOL fRemovePassword)
{
    if (!lprasdialparams)
        return ERROR_BUFFER_INVALID;
    const Version version = plat::ras::CurrentVersion();
    if (!version.KnowsDialParamsSize(lprasdialparams->dwSize))
        return ERROR_INVALID_SIZE;
    const PhoneBook book = plat::ras::OpenPhoneBook(lpszPhonebook);
    std::string stored;
    Credentials credentials;
    const std::string name = plat::ras::FieldText(lprasdialparams->szEntryName);
    if (const DWORD error = FindCredentials(book, name.c_str(), stored, credentials))
        return error;
    credentials.userName = plat::ras::FieldText(lprasdialparams->szUserName);
    credentials.domain = plat::ras::FieldText(lprasdialparams->szDomain);
    const std::string password = plat::ras::FieldText(lprasdialparams->szPassword);
    if (fRemovePassword)
        credentials.password.reset();
    else if (!(version.win2000OrLater && password == kPasswordHandle && credentials.password))
        credentials.password = password;
    return plat::ras::SaveCredentials(book, stored, credentials);
}

// RasSetCredentialsA (NT family): sets, or with fClearCredentials clears, the members dwMask
// names (RASCM_UserName, RASCM_Password, RASCM_Domain) of the entry's dial parameters.
DWORD WINAPI RasSetCredentialsA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASCREDENTIALSA lpCredentials,
                                BOOL fClearCredentials)
{
    if (!lpCredentials)
        return ERROR_BUFFER_INVALID;
    if (lpCredentials->dwSize != sizeof(RASCREDENTIALSA))
        return ERROR_INVALID_SIZE;
    if (!lpszEntry || !*lpszEntry)
        return ERROR_INVALID_NAME;
    const PhoneBook book = plat::ras::OpenPhoneBook(lpszPhonebook);
    std::string stored;
    Credentials credentials;
    if (const DWORD error = FindCredentials(book, lpszEntry, stored, credentials))
        return error;
    const DWORD mask = lpCredentials->dwMask;
    if (mask & RASCM_UserName)
        credentials.userName = fClearCredentials ? "" : plat::ras::FieldText(lpCredentials->szUserName);
    if (mask & RASCM_Domain)
        credentials.domain = fClearCredentials ? "" : plat::ras::FieldText(lpCredentials->szDomain);
    if (mask & RASCM_Password)
    {
        if (fClearCredentials)
            credentials.password.reset();
        else
            credentials.password = plat::ras::FieldText(lpCredentials->szPassword);
    }
    return plat::ras::SaveCredentials(book, stored, credentials);
}

// The PC has no line to dial: connections are not offered.
DWORD WINAPI RasDialA(LPVOID, LPCSTR, LPRASDIALPARAMSA, DWORD, LPVOID, LPHRASCONN)
{
    return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD WINAPI RasEnumConnectionsA(LPVOID, LPDWORD, LPDWORD)
{
    return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD WINAPI RasGetConnectStatusA(HRASCONN, LPVOID)
{
    return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD WINAPI RasGetProjectionInfoA(HRASCONN, DWORD, LPVOID, LPDWORD)
{
    return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD WINAPI RasHangUpA(HRASCONN)
{
    return ERROR_CALL_NOT_IMPLEMENTED;
}
