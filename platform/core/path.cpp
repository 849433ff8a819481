#include "platform/core/path.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/text.h"

#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace
{
bool Exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Normalise(std::string_view windowsPath)
{
    std::string out;
    out.reserve(windowsPath.size());
    for (char c : windowsPath)
    {
        char s = c == '\\' ? '/' : c;
        if (s == '/' && !out.empty() && out.back() == '/')
            continue;
        out += s;
    }
    return out;
}

// The real name of `name` inside `folder`, compared without case, or empty.
std::string MatchInFolder(const std::string &folder, const std::string &name)
{
    DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    std::string found;
    while (struct dirent *entry = ::readdir(dir))
    {
        if (plat::EqualNoCase(entry->d_name, name))
        {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string ResolveNoCase(const std::string &path)
{
    if (path.empty() || Exists(path))
        return path;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size())
    {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    const bool absolute = path[0] == '/';
    std::string current = absolute ? "/" : "";
    bool resolving = true;
    for (size_t i = absolute ? 1 : 0; i < parts.size(); ++i)
    {
        const std::string &part = parts[i];
        if (!current.empty() && current.back() != '/')
            current += '/';
        if (part.empty())
            continue; // trailing separator
        if (!resolving || part == "." || part == "..")
        {
            current += part;
            continue;
        }
        std::string exact = current + part;
        if (Exists(exact))
        {
            current = exact;
            continue;
        }
        std::string folder = current.empty() ? "." : current;
        if (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        std::string match = MatchInFolder(folder, part);
        if (match.empty())
        {
            resolving = false;
            current = exact;
        }
        else
            current += match;
    }
    if (path.back() == '/' && current.back() != '/')
        current += '/';
    return current;
}
} // namespace

namespace plat
{
bool IsDevicePath(std::string_view windowsPath, std::string *name)
{
    if (windowsPath.size() < 5)
        return false;
    auto sep = [](char c) { return c == '\\' || c == '/'; };
    if (!sep(windowsPath[0]) || !sep(windowsPath[1]) || windowsPath[2] != '.' || !sep(windowsPath[3]))
        return false;
    std::string_view rest = windowsPath.substr(4);
    if (rest.empty() || rest.find_first_of("\\/") != std::string_view::npos)
        return false;
    if (name)
        *name = std::string(rest);
    return true;
}

std::string HostPath(std::string_view windowsPath)
{
    std::string device;
    if (IsDevicePath(windowsPath, &device))
        return ResolveNoCase(kitpc::PathOf("devices") + "/" + device);
    return ResolveNoCase(Normalise(windowsPath));
}

std::string_view FileNamePart(std::string_view hostPath)
{
    size_t slash = hostPath.find_last_of('/');
    return slash == std::string_view::npos ? hostPath : hostPath.substr(slash + 1);
}

std::string FolderPart(std::string_view hostPath)
{
    size_t slash = hostPath.find_last_of('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(hostPath.substr(0, slash));
}
} // namespace plat
