// The RAS iterators: CRasDeviceIter walks the dial-up devices, CRasEntryIter the entries of a
// phone book and edits one. Both throw CRasError for a RAS call that fails; a text too long
// for its field, or an entry name RAS rejects, throws CSystemError with E_INVALIDARG.
#pragma once

#include "pppoe/OsVersion.h"
#include "pppoe/RasBinding.h"

#include <exception>
#include <string>
#include <vector>

class CSystemError : public std::exception
{
  public:
    explicit CSystemError(HRESULT hr) : m_hr(hr) {}
    HRESULT Error() const noexcept { return m_hr; }
    const char *what() const noexcept override;

  private:
    HRESULT m_hr;
    mutable std::string m_text;
};

class CRasDeviceIter
{
  public:
    // The records room is made for at first; RAS says how many more it needs.
    static constexpr DWORD kFirstRecords = 8;

    explicit CRasDeviceIter(DWORD dwOsFlags);
    // Asks RAS for the devices (throws CRasError) and stands on the first.
    void Enumerate();
    bool AtEnd() const { return m_position >= m_devices.size(); }
    void Next() { ++m_position; }
    const RASDEVINFOA &Current() const { return m_devices[m_position]; }

  private:
    CRasBinding m_ras;
    std::vector<RASDEVINFOA> m_devices;
    size_t m_position = 0;
};

class CRasEntryIter
{
  public:
    // Every entry name is kept in a record of this size, whatever the platform's.
    static constexpr DWORD kNameSlot = 532;
    // The names room is made for at first; RAS says how many more it needs.
    static constexpr DWORD kFirstNames = 8;

    explicit CRasEntryIter(DWORD dwOsFlags);
    // The phone book (nullptr: the user's default one) and its entries, standing on the first
    // (loaded) when there is one.
    void Open(const char *pszPhoneBook);
    void Close();
    // Stands on the entry of that name, compared without regard to case, and loads it; false
    // when none.
    bool Find(const std::string &name);
    // Starts changing the current entry (its properties and dial parameters are loaded).
    void Edit();
    // A new entry with the defaults of the platform, to be named with SetEntryName.
    void AddNew();
    // Writes the entry: its name checked first when it is new, then its properties, then its
    // dial parameters (and on NT 4 its credentials).
    void Update();

    void SetEntryName(const std::string &name);
    void SetDeviceName(const std::string &name);
    void SetDeviceType(const std::string &type);
    void SetFramingProtocol(DWORD dwProtocol) { Entry().dwFramingProtocol = dwProtocol; }
    void SetNetProtocols(DWORD dwProtocols) { Entry().dwfNetProtocols = dwProtocols; }
    void SetCountry(DWORD dwId, DWORD dwCode);
    void SetAreaCode(const std::string &code);
    void SetIpAddress(const RASIPADDR &address) { Entry().ipaddr = address; }
    void SetDnsAddress(const RASIPADDR &address) { Entry().ipaddrDns = address; }
    void SetAltDnsAddress(const RASIPADDR &address) { Entry().ipaddrDnsAlt = address; }
    void SetScript(const std::string &script);
    void SetUserName(const std::string &user);
    void SetPassword(const std::string &password);
    void SetPhoneNumber(const std::string &number);
    void SetOptions(DWORD dwOptions) { Entry().dwfOptions = dwOptions; }
    void SetEntryType(DWORD dwType);

  private:
    RASENTRYA &Entry() { return *reinterpret_cast<RASENTRYA *>(m_entry.data()); }
    DWORD EntrySize() const;
    DWORD NameSize() const;
    DWORD DialParamsSize() const;
    const char *PhoneBook() const;
    const char *NameAt(DWORD dwIndex) const;
    // Makes the entry at dwIndex the current one with its properties and dial parameters.
    void Load(DWORD dwIndex);

    const DWORD m_dwOsFlags;
    CRasBinding m_ras;
    std::string m_phoneBook;
    bool m_bPhoneBookGiven = false;
    std::vector<BYTE> m_names; // kNameSlot bytes an entry
    DWORD m_dwNames = 0;
    DWORD m_dwCurrent = 0;
    bool m_bEditing = false;
    bool m_bNew = false;
    std::string m_name;
    // The whole structure of this build, of which the platform's size is passed.
    std::vector<BYTE> m_entry;
    RASDIALPARAMSA m_dial = {};
};
