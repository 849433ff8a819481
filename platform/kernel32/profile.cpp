// Private profile (INI) files, with Windows' parsing rules: names compare without case and keep
// their case; blanks around names and values are trimmed; one pair of matching quotes around a
// value is stripped; lines starting with ';' are comments; of two sections (or keys) with the
// same name the first wins. Writes change only the lines concerned and keep the rest of the
// file as it was. A file name without a folder lives in the Windows folder.
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"
#include "platform/core/text.h"
#include "platform/kernel32/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// INI files are trimmed of carriage returns too, as a line may end in CR LF.
std::string_view Trim(std::string_view text)
{
    return plat::Trim(text, " \t\r");
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// One line of the file, as read, and what it means.
struct Line
{
    enum Type
    {
        Other, // blank, comment or text outside the rules: kept as it is
        Section,
        Entry,
    } type = Other;
    std::string text;                 // without its line end
    std::string name;                 // section or key name, trimmed
    std::optional<std::string> value; // entries: trimmed value; nullopt for a key without '='
};

Line ParseLine(std::string text)
{
    Line line;
    line.text = std::move(text);
    std::string_view body = Trim(line.text);
    if (body.empty() || body.front() == ';')
        return line;
    if (body.front() == '[')
    {
        size_t close = body.find(']');
        line.type = Line::Section;
        line.name = std::string(
            Trim(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        return line;
    }
    line.type = Line::Entry;
    size_t eq = body.find('=');
    if (eq == std::string_view::npos)
    {
        line.name = std::string(body);
        return line;
    }
    line.name = std::string(Trim(body.substr(0, eq)));
    line.value = std::string(Trim(body.substr(eq + 1)));
    return line;
}

struct IniFile
{
    std::vector<Line> lines;
    bool endsWithNewline = true;

    static IniFile Parse(const std::string &content)
    {
        IniFile file;
        size_t start = 0;
        while (start < content.size())
        {
            size_t nl = content.find('\n', start);
            if (nl == std::string::npos)
            {
                file.lines.push_back(ParseLine(content.substr(start)));
                file.endsWithNewline = false;
                break;
            }
            size_t end = nl > start && content[nl - 1] == '\r' ? nl - 1 : nl;
            file.lines.push_back(ParseLine(content.substr(start, end - start)));
            start = nl + 1;
        }
        return file;
    }

    std::string Serialise() const
    {
        std::string out;
        for (size_t i = 0; i < lines.size(); ++i)
        {
            out += lines[i].text;
            if (i + 1 < lines.size() || endsWithNewline)
                out += "\r\n";
        }
        return out;
    }

    // Index of the first section line with this name, or npos.
    size_t FindSection(std::string_view name) const
    {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].type == Line::Section && plat::EqualNoCase(lines[i].name, name))
                return i;
        return std::string::npos;
    }

    // One past the last line of the section starting at `section`.
    size_t SectionEnd(size_t section) const
    {
        size_t i = section + 1;
        while (i < lines.size() && lines[i].type != Line::Section)
            ++i;
        return i;
    }

    size_t FindKey(size_t section, std::string_view key) const
    {
        for (size_t i = section + 1, end = SectionEnd(section); i < end; ++i)
            if (lines[i].type == Line::Entry && plat::EqualNoCase(lines[i].name, key))
                return i;
        return std::string::npos;
    }
};

// The host path of an INI file name: a bare name lives in the Windows folder.
std::string IniPath(const char *fileName)
{
    std::string_view name(fileName);
    if (name.find_first_of("\\/") == std::string_view::npos)
        return plat::HostPath(kitpc::PathOf(kitpc::WindowsFolder()) + "/" + std::string(name));
    return plat::HostPath(name);
}

// An INI file locked for the time of one call: shared for reading, exclusive for writing, so
// threads and processes never see half a change.
class LockedFile
{
  public:
    LockedFile(const std::string &path, bool write)
    {
        fd_ = ::open(path.c_str(), write ? (O_RDWR | O_CREAT | O_CLOEXEC) : (O_RDONLY | O_CLOEXEC), 0644);
        if (fd_ >= 0)
            ::flock(fd_, write ? LOCK_EX : LOCK_SH);
        else
            error_ = errno;
    }
    ~LockedFile()
    {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Error() const { return error_; }

    bool ReadAll(std::string &content) const
    {
        content.clear();
        char buffer[8192];
        off_t offset = 0;
        for (;;)
        {
            ssize_t n = ::pread(fd_, buffer, sizeof buffer, offset);
            if (n < 0)
            {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (n == 0)
                return true;
            content.append(buffer, static_cast<size_t>(n));
            offset += n;
        }
    }

    bool WriteAll(const std::string &content) const
    {
        size_t done = 0;
        while (done < content.size())
        {
            ssize_t n = ::pwrite(fd_, content.data() + done, content.size() - done, static_cast<off_t>(done));
            if (n < 0)
            {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return ::ftruncate(fd_, static_cast<off_t>(content.size())) == 0;
    }

  private:
    int fd_ = -1;
    int error_ = 0;
};

// Reads and parses a file; a missing file reads as empty.
IniFile ReadIni(const char *fileName)
{
    LockedFile file(IniPath(fileName), false);
    std::string content;
    if (file.IsOpen())
        file.ReadAll(content);
    return IniFile::Parse(content);
}

// Copies a list of strings (each with its NUL, then a final NUL) into a caller's buffer with
// Windows' rule for a buffer that is too small: what fits, the last string cut, two NULs, and
// nSize - 2 returned.
DWORD CopyList(const std::vector<std::string> &items, LPSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    if (size == 1)
    {
        buffer[0] = '\0';
        return 0;
    }
    DWORD used = 0;
    for (const std::string &item : items)
    {
        if (used + item.size() + 1 > size - 1)
        {
            // Not all of it fits: fill up to size - 2 characters and close with two NULs.
            size_t room = size - 2 - used;
            std::memcpy(buffer + used, item.data(), std::min(room, item.size()));
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + used, item.c_str(), item.size() + 1);
        used += static_cast<DWORD>(item.size() + 1);
    }
    buffer[used] = '\0';
    return used == 0 ? 0 : used;
}

// Copies one string with the rule for values: cut to nSize - 1 characters.
DWORD CopyString(std::string_view value, LPSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    size_t n = std::min<size_t>(value.size(), size - 1);
    if (n > 0)
        std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

// Reads, changes and writes back a file under an exclusive lock.
// Deletions never create a missing file.
template <class Change> BOOL ModifyIni(const char *fileName, bool create, Change change)
{
    std::string path = IniPath(fileName);
    struct stat st
    {
    };
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists && !create)
        return TRUE;
    // A read-only file refuses writes, whoever runs the program (the mode bits, not access()).
    if (exists && plat::IsReadOnlyMode(st))
        return plat::Fail(ERROR_ACCESS_DENIED);
    LockedFile file(path, true);
    if (!file.IsOpen())
        return plat::Fail(file.Error() == ENOENT ? ERROR_PATH_NOT_FOUND : plat::Win32FromErrno(file.Error()));
    std::string content;
    if (!file.ReadAll(content))
        return plat::FailFromErrno();
    IniFile ini = IniFile::Parse(content);
    if (!change(ini))
        return TRUE; // nothing to change
    if (!file.WriteAll(ini.Serialise()))
        return plat::FailFromErrno();
    return TRUE;
}

// Index where a new entry goes in a section: after its last non-blank line.
size_t InsertionPoint(const IniFile &ini, size_t section)
{
    size_t end = ini.SectionEnd(section);
    while (end > section + 1 && ini.lines[end - 1].type == Line::Other &&
           Trim(ini.lines[end - 1].text).empty())
        --end;
    return end;
}

void AppendLine(IniFile &ini, size_t at, std::string text)
{
    ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(at), ParseLine(std::move(text)));
    if (at == ini.lines.size() - 1)
        ini.endsWithNewline = true;
}

// Removes a section (its header up to the next section).
void DeleteSection(IniFile &ini, size_t section)
{
    size_t end = ini.SectionEnd(section);
    const bool atEnd = end == ini.lines.size();
    ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(section),
                    ini.lines.begin() + static_cast<std::ptrdiff_t>(end));
    if (atEnd)
        ini.endsWithNewline = true;
}

// Where a missing section goes: at the end of the file.
size_t AddSection(IniFile &ini, const char *name)
{
    ini.lines.push_back(ParseLine(std::string("[") + name + "]"));
    ini.endsWithNewline = true;
    return ini.lines.size() - 1;
}
} // namespace

// GetPrivateProfileStringA: a value, or with a NULL section the section names, or with a NULL
// key the key names of a section. Values too long are cut (nSize - 1 returned); lists too long
// are cut and closed with two NULs (nSize - 2 returned).
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName)
{
    if (!lpFileName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!lpReturnedString || nSize == 0)
        return 0;
    IniFile ini = ReadIni(lpFileName);
    if (!lpAppName)
    {
        std::vector<std::string> names;
        for (const Line &line : ini.lines)
            if (line.type == Line::Section)
                names.push_back(line.name);
        return CopyList(names, lpReturnedString, nSize);
    }
    size_t section = ini.FindSection(lpAppName);
    if (!lpKeyName)
    {
        std::vector<std::string> keys;
        if (section != std::string::npos)
            for (size_t i = section + 1, end = ini.SectionEnd(section); i < end; ++i)
                if (ini.lines[i].type == Line::Entry && ini.lines[i].value) // a line without '=' names no key
                    keys.push_back(ini.lines[i].name);
        return CopyList(keys, lpReturnedString, nSize);
    }
    if (section != std::string::npos)
    {
        size_t key = ini.FindKey(section, lpKeyName);
        if (key != std::string::npos && ini.lines[key].value)
            return CopyString(Unquote(*ini.lines[key].value), lpReturnedString, nSize);
    }
    // The default loses its trailing blanks, as Windows does.
    std::string_view fallback = lpDefault ? lpDefault : "";
    size_t end = fallback.find_last_not_of(' ');
    fallback = end == std::string_view::npos ? std::string_view() : fallback.substr(0, end + 1);
    return CopyString(fallback, lpReturnedString, nSize);
}

// GetPrivateProfileSectionNamesA: the section names, each ended by a NUL, then a NUL.
DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName)
{
    return GetPrivateProfileStringA(nullptr, nullptr, nullptr, lpszReturnBuffer, nSize, lpFileName);
}

// GetPrivateProfileSectionA: the "key=value" lines of a section (comments left out).
DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                       LPCSTR lpFileName)
{
    if (!lpAppName || !lpFileName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    IniFile ini = ReadIni(lpFileName);
    std::vector<std::string> entries;
    size_t section = ini.FindSection(lpAppName);
    if (section != std::string::npos)
        for (size_t i = section + 1, end = ini.SectionEnd(section); i < end; ++i)
            if (ini.lines[i].type == Line::Entry)
                entries.push_back(ini.lines[i].value ? ini.lines[i].name + "=" + *ini.lines[i].value
                                                     : ini.lines[i].name);
    return CopyList(entries, lpReturnedString, nSize);
}

// GetPrivateProfileIntA: the decimal number at the start of the value; the default when the key
// is missing or empty; 0 when the value does not start with a number.
UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName)
{
    char buffer[64];
    if (GetPrivateProfileStringA(lpAppName, lpKeyName, "", buffer, sizeof buffer, lpFileName) == 0)
        return static_cast<UINT>(nDefault);
    const char *p = buffer;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    uint32_t value = 0;
    while (plat::IsDigit(*p))
        value = value * 10 + static_cast<uint32_t>(*p++ - '0');
    return negative ? static_cast<UINT>(0u - value) : value;
}

// WritePrivateProfileStringA: sets a value (creating the file and the section when missing);
// a NULL value deletes the key, a NULL key deletes the section. Lines are "key=value", CR LF.
BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName)
{
    if (!lpAppName && !lpKeyName && !lpString)
        return TRUE; // asks to flush the cache: writes are never cached here
    if (!lpAppName || !lpFileName)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    return ModifyIni(lpFileName, lpKeyName && lpString, [&](IniFile &ini) {
        size_t section = ini.FindSection(lpAppName);
        if (!lpKeyName)
        {
            if (section == std::string::npos)
                return false;
            DeleteSection(ini, section);
            return true;
        }
        if (!lpString)
        {
            size_t key = section == std::string::npos ? std::string::npos : ini.FindKey(section, lpKeyName);
            if (key == std::string::npos)
                return false;
            ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(key));
            return true;
        }
        if (section == std::string::npos)
            section = AddSection(ini, lpAppName);
        size_t key = ini.FindKey(section, lpKeyName);
        if (key != std::string::npos)
        {
            ini.lines[key] = ParseLine(ini.lines[key].name + "=" + lpString);
            return true;
        }
        AppendLine(ini, InsertionPoint(ini, section), std::string(lpKeyName) + "=" + lpString);
        return true;
    });
}

// WritePrivateProfileSectionA: replaces the lines of a section with "key=value\0...\0\0".
BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName)
{
    if (!lpAppName || !lpFileName)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    return ModifyIni(lpFileName, lpString != nullptr, [&](IniFile &ini) {
        size_t section = ini.FindSection(lpAppName);
        if (!lpString)
        {
            if (section == std::string::npos)
                return false;
            DeleteSection(ini, section);
            return true;
        }
        if (section == std::string::npos)
            section = AddSection(ini, lpAppName);
        size_t end = ini.SectionEnd(section);
        ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(section + 1),
                        ini.lines.begin() + static_cast<std::ptrdiff_t>(end));
        size_t at = section + 1;
        for (const char *p = lpString; *p; p += std::strlen(p) + 1)
            AppendLine(ini, at++, p);
        return true;
    });
}
