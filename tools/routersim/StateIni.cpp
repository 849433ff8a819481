#include "tools/routersim/StateIni.h"
#include "tools/routersim/FileLock.h"
#include "tools/text/ToolText.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace routersim
{
namespace
{
std::vector<std::string> ReadLines(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return tooltext::Lines(text.str());
}

// The name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line)
{
    line = tooltext::Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return std::nullopt;
    return tooltext::Trim(line.substr(1, line.size() - 2));
}

// Whether a "key=value" line is of `key`; its value in `value`.
bool IsKey(std::string_view line, std::string_view key, std::string_view *value = nullptr)
{
    const size_t equal = line.find('=');
    if (equal == std::string_view::npos || !tooltext::EqualNoCase(tooltext::Trim(line.substr(0, equal)), key))
        return false;
    if (value)
        *value = tooltext::Trim(line.substr(equal + 1));
    return true;
}

// Where `key` of `section` is (or goes): the line's index, and whether it is there already.
struct Place
{
    size_t line;
    bool found;
};

Place Find(std::vector<std::string> &lines, std::string_view section, std::string_view key)
{
    bool inSection = false;
    std::optional<size_t> sectionEnd;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (std::optional<std::string_view> name = SectionOf(lines[i]))
        {
            inSection = tooltext::EqualNoCase(*name, section);
            if (inSection && !sectionEnd)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (IsKey(lines[i], key))
            return {i, true};
        if (!tooltext::Trim(lines[i]).empty())
            sectionEnd = i + 1;
    }
    if (sectionEnd)
        return {*sectionEnd, false};
    if (!lines.empty() && !tooltext::Trim(lines.back()).empty())
        lines.emplace_back();
    lines.push_back("[" + std::string(section) + "]");
    return {lines.size(), false};
}
} // namespace

std::string StateIni::Get(std::string_view section, std::string_view key, std::string_view fallback) const
{
    bool inSection = false;
    for (const std::string &line : ReadLines(path_))
    {
        std::string_view value;
        if (std::optional<std::string_view> name = SectionOf(line))
            inSection = tooltext::EqualNoCase(*name, section);
        else if (inSection && IsKey(line, key, &value))
            return std::string(value);
    }
    return std::string(fallback);
}

int StateIni::GetInt(std::string_view section, std::string_view key, int fallback) const
{
    const std::string text = Get(section, key, "");
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return text.empty() || error != std::errc() || end != text.data() + text.size() ? fallback : value;
}

bool StateIni::Set(std::string_view section, std::string_view key, std::string_view value) const
{
    FileLock lock;
    if (!lock.Open(folder_, true))
        return false;
    lock.Lock();
    std::vector<std::string> lines = ReadLines(path_);
    const Place place = Find(lines, section, key);
    const std::string entry = std::string(key) + "=" + std::string(value);
    if (place.found)
        lines[place.line] = entry;
    else
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.line), entry);
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    const std::string fresh = path_ + ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        if (!(out << text) || !out.flush())
            return false;
    }
    return std::rename(fresh.c_str(), path_.c_str()) == 0;
}
} // namespace routersim
