// Shell file associations: which program opens a file, from HKEY_CLASSES_ROOT as Explorer
// reads it (".ext" -> file type -> shell\<verb>\command).
#include "platform/core/lasterror.h"
#include "platform/core/text.h"

#include <cstring>
#include <string>

namespace
{
// What FindExecutable returns on success: any value above 32 (Windows' own is an instance-like
// number of no meaning).
constexpr UINT_PTR kFoundExecutable = 42;

HINSTANCE ShellResult(UINT_PTR code, DWORD lastError)
{
    SetLastError(lastError);
    return reinterpret_cast<HINSTANCE>(code);
}

// The default value of HKCR\<subKey> as text, %VARIABLES% expanded for REG_EXPAND_SZ; empty when
// it is missing or not text.
std::string ClassesText(const std::string &subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, size = 0;
    std::string value;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0)
    {
        value.resize(size);
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(value.data()), &size) !=
            ERROR_SUCCESS)
            value.clear();
        value.resize(std::strlen(value.c_str()));
    }
    RegCloseKey(key);
    if (type != REG_EXPAND_SZ)
        return value;
    std::string expanded;
    for (size_t i = 0; i < value.size(); ++i)
    {
        const size_t close = value[i] == '%' ? value.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos)
        {
            expanded += value[i];
            continue;
        }
        const std::string name = value.substr(i + 1, close - i - 1);
        char buffer[MAX_PATH * 4];
        const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
        if (length > 0 && length < sizeof buffer)
            expanded += buffer;
        else
            expanded += value.substr(i, close - i + 1); // unknown variables stay as written
        i = close;
    }
    return expanded;
}

// The program of a command line: the quoted part, or the text up to ".exe", or the first word.
std::string ProgramOf(const std::string &command)
{
    const size_t start = command.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    if (command[start] == '"')
    {
        const size_t close = command.find('"', start + 1);
        return command.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1);
    }
    const std::string upper = plat::Upper1252(command);
    for (size_t at = upper.find(".EXE", start); at != std::string::npos; at = upper.find(".EXE", at + 1))
        if (at + 4 == upper.size() || upper[at + 4] == ' ' || upper[at + 4] == '\t')
            return command.substr(start, at + 4 - start);
    const size_t end = command.find_first_of(" \t", start);
    return command.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool IsProgramExtension(const std::string &extension)
{
    for (const char *program : {"exe", "com", "bat", "cmd", "pif"})
        if (plat::EqualNoCase(extension, program))
            return true;
    return false;
}
} // namespace

// FindExecutableA: the program that opens a file: the file itself when it is a program, else
// the command of the default verb of its type (HKCR\.ext -> type -> shell\<verb>\command, verb
// "open" unless the shell key names another), its program part put in lpResult (MAX_PATH).
// Returns a value above 32 on success; SE_ERR_FNF (2) for a missing file, SE_ERR_PNF (3) for a
// missing folder, SE_ERR_NOASSOC (31) when no program is registered, SE_ERR_OOM (8) when the path
// does not fit; lpResult is then empty. The last error follows (ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND, ERROR_NO_ASSOCIATION). Differs: a NULL lpFile or lpResult gives
// SE_ERR_FNF; the program need not exist; DDE and per-user associations are not looked at.
HINSTANCE WINAPI FindExecutableA(LPCSTR lpFile, LPCSTR lpDirectory, LPSTR lpResult)
{
    if (lpResult)
        *lpResult = '\0';
    if (!lpResult || !lpFile || !*lpFile)
        return ShellResult(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    std::string path = lpFile;
    const bool absolute = path[0] == '\\' || path[0] == '/' || (path.size() > 1 && path[1] == ':');
    if (!absolute && lpDirectory && *lpDirectory)
        path = std::string(lpDirectory) + "\\" + path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_PATH_NOT_FOUND ? ShellResult(SE_ERR_PNF, ERROR_PATH_NOT_FOUND)
                                                      : ShellResult(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    const size_t nameStart = path.find_last_of("\\/") == std::string::npos ? 0 : path.find_last_of("\\/") + 1;
    const size_t dot = path.rfind('.');
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || dot == std::string::npos || dot < nameStart)
        return ShellResult(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    const std::string extension = path.substr(dot + 1);

    std::string program;
    if (IsProgramExtension(extension))
    {
        char full[MAX_PATH];
        const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
        program = length > 0 && length < sizeof full ? full : path;
    }
    else
    {
        const std::string type = ClassesText("." + extension);
        if (type.empty())
            return ShellResult(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
        std::string verb = ClassesText(type + "\\shell");
        if (verb.empty())
            verb = "open";
        program = ProgramOf(ClassesText(type + "\\shell\\" + verb + "\\command"));
        if (program.empty())
            return ShellResult(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    }
    if (program.size() >= MAX_PATH)
        return ShellResult(SE_ERR_OOM, ERROR_NOT_ENOUGH_MEMORY);
    std::memcpy(lpResult, program.c_str(), program.size() + 1);
    return ShellResult(kFoundExecutable, ERROR_SUCCESS);
}
