// The dial parameters kept per entry. User name, domain and password live in one file of the PC
// (ras/credentials) that only its owner may read or write (mode 0600), one line per entry: the
// phone book and entry (upper-cased), user name, domain, whether a password is kept and the
// password, each hex-coded so no text can break a line.
// On 9x the user name is also where Windows 9x keeps it (RemoteAccess\Profile\<entry>, "User").
#include "platform/core/text.h"
#include "platform/rasapi32/rasapi32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace
{
using plat::ras::Credentials;
using plat::ras::PhoneBook;

using Store = std::map<std::string, Credentials>;

std::string StorePath()
{
    return kitpc::PathOf("ras") + "/credentials";
}

std::string KeyOf(const PhoneBook &book, std::string_view entry)
{
    return (book.registry ? std::string("registry") : book.path) + "|" + plat::Upper1252(entry);
}

// Each field starts with '.', so an empty one still takes its place on the line.
std::string Hex(std::string_view text)
{
    std::string hex = ".";
    char digits[3];
    for (unsigned char c : text)
    {
        std::snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return hex;
}

std::string Unhex(std::string_view hex)
{
    std::string text;
    uint64_t byte = 0;
    for (size_t at = 1; at + 1 < hex.size(); at += 2)
        if (plat::ReadHex(hex.data() + at, 2, byte))
            text += static_cast<char>(byte);
    return text;
}

Store Load()
{
    Store store;
    std::ifstream in(StorePath());
    for (std::string line; std::getline(in, line);)
    {
        std::istringstream fields(line);
        std::string key, user, domain, hasPassword, password;
        if (!(fields >> key >> user >> domain >> hasPassword))
            continue;
        fields >> password;
        Credentials &credentials = store[Unhex(key)];
        credentials.userName = Unhex(user);
        credentials.domain = Unhex(domain);
        if (hasPassword == "1")
            credentials.password = Unhex(password);
    }
    return store;
}

// Written to a new file created 0600 and renamed over the old one, so the password is never in
// a file others can read, not even for a moment.
DWORD Save(const Store &store)
{
    std::string text;
    for (const auto &[key, credentials] : store)
        text += Hex(key) + " " + Hex(credentials.userName) + " " + Hex(credentials.domain) + " " +
                (credentials.password ? "1 " + Hex(*credentials.password) : "0 .") + "\n";
    const std::string path = StorePath();
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return ERROR_CANNOT_WRITE_PHONEBOOK;
    const bool written =
        ::fchmod(fd, 0600) == 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0)
    {
        ::unlink(temporary.c_str());
        return ERROR_CANNOT_WRITE_PHONEBOOK;
    }
    return ERROR_SUCCESS;
}

void SetProfileUser(const PhoneBook &book, std::string_view entry, const std::string &user)
{
    plat::ras::RegKey profile;
    if (book.registry &&
        profile.Create(HKEY_CURRENT_USER, "RemoteAccess\\Profile\\" + std::string(entry)) == ERROR_SUCCESS)
        RegSetValueExA(profile.Get(), "User", 0, REG_SZ, reinterpret_cast<const BYTE *>(user.c_str()),
                       static_cast<DWORD>(user.size() + 1));
}
} // namespace

namespace plat::ras
{
std::optional<Credentials> LoadCredentials(const PhoneBook &book, std::string_view entry)
{
    const Store store = Load();
    auto it = store.find(KeyOf(book, entry));
    if (it == store.end())
        return std::nullopt;
    return it->second;
}

DWORD SaveCredentials(const PhoneBook &book, std::string_view entry, const Credentials &credentials)
{
    Store store = Load();
    store[KeyOf(book, entry)] = credentials;
    SetProfileUser(book, entry, credentials.userName);
    return Save(store);
}

void ForgetCredentials(const PhoneBook &book, std::string_view entry)
{
    Store store = Load();
    if (store.erase(KeyOf(book, entry)))
        Save(store);
}
} // namespace plat::ras
