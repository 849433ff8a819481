// The phone book: on the NT family the rasphone.pbk file (one section per entry, see
// pbkformat.cpp), on 9x the RemoteAccess keys of the user (Addresses: one REG_BINARY value per
// entry holding its RASENTRY of Windows 95's size; Profile\<entry>: the entry's user name).
#include "platform/core/path.h"
#include "platform/core/text.h"
#include "platform/rasapi32/rasapi32.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
namespace fs = std::filesystem;
using plat::ras::PhoneBook;
using plat::ras::RegKey;

constexpr char kAddresses[] = "RemoteAccess\\Addresses";
constexpr char kProfile[] = "RemoteAccess\\Profile\\";

struct Section
{
    std::string name; // in the ANSI code page
    std::string body; // the lines after the header, as in the file
};

bool HasMode(const std::string &path, mode_t bits)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) != 0 || (st.st_mode & bits) == bits;
}

// The file's sections; ERROR_CANNOT_OPEN_PHONEBOOK when it cannot be read or is not a phone
// book (binary data, a broken section header). A missing file is an empty phone book.
DWORD ReadSections(const PhoneBook &book, std::vector<Section> &sections)
{
    sections.clear();
    std::error_code ec;
    if (!fs::exists(book.path, ec))
        return ERROR_SUCCESS;
    std::ifstream in(book.path, std::ios::binary);
    if (!in || !HasMode(book.path, S_IRUSR))
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    if (content.find('\0') != std::string::npos)
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    std::istringstream lines(content);
    for (std::string line; std::getline(lines, line);)
    {
        const std::string_view trimmed = plat::Trim(line, " \t\r");
        if (!trimmed.empty() && trimmed.front() == '[')
        {
            if (trimmed.back() != ']' || trimmed.size() < 3)
                return ERROR_CANNOT_OPEN_PHONEBOOK;
            const std::string_view name = trimmed.substr(1, trimmed.size() - 2);
            sections.push_back({book.utf8 ? plat::Cp1252FromUtf8(name) : std::string(name), {}});
        }
        else if (!sections.empty())
            sections.back().body.append(line).append("\n");
    }
    return ERROR_SUCCESS;
}

DWORD WriteSections(const PhoneBook &book, const std::vector<Section> &sections, const std::string *replaced,
                    const std::string &section)
{
    std::error_code ec;
    if (fs::exists(book.path, ec) && !HasMode(book.path, S_IWUSR))
        return ERROR_CANNOT_WRITE_PHONEBOOK;
    fs::create_directories(fs::path(book.path).parent_path(), ec);
    std::string text;
    for (const Section &existing : sections)
        if (!replaced || !plat::EqualNoCase(existing.name, *replaced))
            text += "[" + (book.utf8 ? plat::Utf8From1252(existing.name) : existing.name) + "]\r\n" +
                    existing.body;
    text += section;
    std::ofstream out(book.path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())).flush())
        return ERROR_CANNOT_WRITE_PHONEBOOK;
    return ERROR_SUCCESS;
}

const Section *FindSection(const std::vector<Section> &sections, std::string_view name)
{
    for (const Section &section : sections)
        if (plat::EqualNoCase(section.name, name))
            return &section;
    return nullptr;
}

// 9x: the entries are the values of Addresses; a value that is not a RASENTRY damages the book.
DWORD ListRegistryEntries(std::vector<std::string> &names)
{
    RegKey addresses;
    names.clear();
    if (addresses.Open(HKEY_CURRENT_USER, kAddresses) != ERROR_SUCCESS)
        return ERROR_SUCCESS;
    for (const std::string &name : addresses.ValueNames())
    {
        if (addresses.Bytes(name.c_str(), REG_BINARY).value_or("").size() != RASENTRYA_V400_SIZE)
            return ERROR_CANNOT_OPEN_PHONEBOOK;
        names.push_back(name);
    }
    return ERROR_SUCCESS;
}
} // namespace

namespace plat::ras
{
PhoneBook OpenPhoneBook(LPCSTR lpszPhonebook)
{
    const Version version = CurrentVersion();
    PhoneBook book;
    book.registry = !version.nt;
    book.utf8 = version.win2000OrLater;
    if (lpszPhonebook && *lpszPhonebook)
        book.path = plat::HostPath(lpszPhonebook);
    else if (version.win2000OrLater)
        book.path = kitpc::PathOf("appdata") + "/Microsoft/Network/Connections/Pbk/rasphone.pbk";
    else
        book.path = kitpc::PathOf(kitpc::SystemFolder()) + "/RAS/rasphone.pbk";
    return book;
}

DWORD ListEntries(const PhoneBook &book, std::vector<std::string> &names)
{
    if (book.registry)
        return ListRegistryEntries(names);
    std::vector<Section> sections;
    const DWORD error = ReadSections(book, sections);
    names.clear();
    // A section whose name no entry can have (longer than RAS' names) is not an entry; it stays
    // in the file untouched.
    for (const Section &section : sections)
        if (section.name.size() <= RAS_MaxEntryName)
            names.push_back(section.name);
    return error;
}

DWORD FindEntry(const PhoneBook &book, std::string_view name, std::string &storedName)
{
    std::vector<std::string> names;
    if (const DWORD error = ListEntries(book, names))
        return error;
    for (const std::string &candidate : names)
        if (EqualNoCase(candidate, name))
        {
            storedName = candidate;
            return ERROR_SUCCESS;
        }
    return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
}

DWORD ReadEntry(const PhoneBook &book, std::string_view name, RASENTRYA &entry)
{
    std::memset(&entry, 0, sizeof entry);
    std::string stored;
    if (const DWORD error = FindEntry(book, name, stored))
        return error;
    if (book.registry)
    {
        RegKey addresses;
        addresses.Open(HKEY_CURRENT_USER, kAddresses);
        const std::string image = addresses.Bytes(stored.c_str(), REG_BINARY).value_or("");
        std::memcpy(&entry, image.data(), std::min<size_t>(image.size(), RASENTRYA_V400_SIZE));
    }
    else
    {
        std::vector<Section> sections;
        ReadSections(book, sections);
        ParsePbkSection(FindSection(sections, stored)->body, book.utf8, entry);
    }
    entry.dwSize = sizeof entry;
    return ERROR_SUCCESS;
}

DWORD WriteEntry(const PhoneBook &book, std::string_view name, const RASENTRYA &entry)
{
    std::string stored(name);
    const DWORD found = FindEntry(book, name, stored);
    if (found != ERROR_SUCCESS && found != ERROR_CANNOT_FIND_PHONEBOOK_ENTRY)
        return found;
    if (book.registry)
    {
        RegKey addresses, profile;
        if (addresses.Create(HKEY_CURRENT_USER, kAddresses) != ERROR_SUCCESS ||
            profile.Create(HKEY_CURRENT_USER, kProfile + stored) != ERROR_SUCCESS)
            return ERROR_CANNOT_WRITE_PHONEBOOK;
        RASENTRYA image = entry;
        image.dwSize = RASENTRYA_V400_SIZE;
        return RegSetValueExA(addresses.Get(), stored.c_str(), 0, REG_BINARY,
                              reinterpret_cast<const BYTE *>(&image), RASENTRYA_V400_SIZE) == ERROR_SUCCESS
                   ? ERROR_SUCCESS
                   : ERROR_CANNOT_WRITE_PHONEBOOK;
    }
    std::vector<Section> sections;
    ReadSections(book, sections);
    return WriteSections(book, sections, &stored, PbkSection(stored, entry, CurrentVersion()));
}

DWORD DeleteEntry(const PhoneBook &book, std::string_view name)
{
    std::string stored;
    if (const DWORD error = FindEntry(book, name, stored))
        return error;
    if (book.registry)
    {
        RegKey addresses;
        addresses.Open(HKEY_CURRENT_USER, kAddresses, KEY_ALL_ACCESS);
        if (RegDeleteValueA(addresses.Get(), stored.c_str()) != ERROR_SUCCESS)
            return ERROR_CANNOT_WRITE_PHONEBOOK;
        RegDeleteKeyA(HKEY_CURRENT_USER, (kProfile + stored).c_str());
    }
    else
    {
        std::vector<Section> sections;
        ReadSections(book, sections);
        if (const DWORD error = WriteSections(book, sections, &stored, ""))
            return error;
    }
    ForgetCredentials(book, stored);
    return ERROR_SUCCESS;
}
} // namespace plat::ras
