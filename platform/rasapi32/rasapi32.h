// Internal: what the sources of RASAPI32.DLL share: the PC's Windows version as RAS sees it, the
// registry keys it reads, the phone book (a rasphone.pbk file on the NT family, the RemoteAccess
// keys on 9x) and the dial parameters' store.
#pragma once

#include "platform/kit/kitmachine.h"
#include "platform/ras.h"
#include "platform/windows.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::ras
{
// The running Windows, by the structure versions its RAS knows.
struct Version
{
    // The structure versions (dwSize) this Windows accepts and the largest it knows.
    bool KnowsEntrySize(DWORD size) const;
    DWORD EntrySize() const;
    bool KnowsEntryNameSize(DWORD size) const;
    DWORD EntryNameSize() const;
    bool KnowsDialParamsSize(DWORD size) const;

    kitpc::WindowsFamily family;
    bool nt;
    bool win2000OrLater;
    bool xp;
    bool spanish; // the user's language
};
Version CurrentVersion();
// Whether dial-up networking is installed (the RemoteAccess service key).
bool RasInstalled();

// A registry key closed when its owner goes; reads that fail give nothing.
class RegKey
{
  public:
    RegKey() = default;
    ~RegKey();
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;
    LONG Open(HKEY parent, const std::string &path, REGSAM access = KEY_READ);
    LONG Create(HKEY parent, const std::string &path);
    HKEY Get() const { return key_; }
    std::optional<std::string> Bytes(const char *name, DWORD wantedType) const;
    std::string String(const char *name) const; // REG_SZ up to its NUL; empty when missing
    std::vector<std::string> MultiString(const char *name) const;
    std::vector<std::string> SubKeys() const; // in key order
    std::vector<std::string> ValueNames() const;

  private:
    HKEY key_ = nullptr;
};

// Text of a fixed char field: up to its NUL or its end.
std::string FieldText(const char *field, size_t size);
template <size_t N> std::string FieldText(const CHAR (&field)[N])
{
    return FieldText(field, N);
}
// Copies text into a fixed field, cut to fit, NUL-padded to its end.
void SetField(char *field, size_t size, std::string_view text);
template <size_t N> void SetField(CHAR (&field)[N], std::string_view text)
{
    SetField(field, N, text);
}

// One RAS device as RasEnumDevicesA reports it, with the port an entry on it names.
struct Device
{
    std::string type;
    std::string name;
    std::string port;
};
std::vector<Device> ListDevices();

// A phone book: the file of the NT family, or the registry of 9x.
struct PhoneBook
{
    bool registry = false;
    bool utf8 = false; // 2000/XP keep the file's text in UTF-8
    std::string path;  // NT: the phone book's file
};
// The phone book a caller names (NULL: the user's default one).
PhoneBook OpenPhoneBook(LPCSTR lpszPhonebook);
// Entry names in phone-book order; ERROR_CANNOT_OPEN_PHONEBOOK when the book cannot be read or
// is damaged (a missing book is empty).
DWORD ListEntries(const PhoneBook &book, std::vector<std::string> &names);
// The stored name of an entry (found without case); ERROR_CANNOT_FIND_PHONEBOOK_ENTRY.
DWORD FindEntry(const PhoneBook &book, std::string_view name, std::string &storedName);
// The whole entry (all versions' members; those the PC's Windows lacks are zero).
DWORD ReadEntry(const PhoneBook &book, std::string_view name, RASENTRYA &entry);
// Adds the entry, or replaces the one of that name (found without case, keeping its name).
DWORD WriteEntry(const PhoneBook &book, std::string_view name, const RASENTRYA &entry);
DWORD DeleteEntry(const PhoneBook &book, std::string_view name);

// The rasphone.pbk text of the NT family: an entry's section to and from RASENTRYA.
std::string PbkSection(std::string_view name, const RASENTRYA &entry, const Version &version);
void ParsePbkSection(std::string_view body, bool utf8, RASENTRYA &entry);

// The dial parameters kept per entry; the password in a file only its owner reads.
struct Credentials
{
    std::string userName;
    std::string domain;
    std::optional<std::string> password;
};
std::optional<Credentials> LoadCredentials(const PhoneBook &book, std::string_view entry);
DWORD SaveCredentials(const PhoneBook &book, std::string_view entry, const Credentials &credentials);
void ForgetCredentials(const PhoneBook &book, std::string_view entry);
} // namespace plat::ras
