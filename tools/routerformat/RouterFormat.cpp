// The Prestige 643's configuration file format.
#include "tools/routerformat/RouterFormat.h"
#include "tools/text/ToolText.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace routerformat
{
namespace
{
using tooltext::Split;
using tooltext::Trim;

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number, digits only (an optional "-" for ranges), wholly consumed.
template <class T> bool Number(std::string_view text, T &value)
{
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool ValidName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_';
    });
}

bool ParseKind(std::string_view text, Code &code)
{
    const size_t colon = text.find(':');
    const std::string_view head = text.substr(0, colon);
    const std::string_view tail =
        colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    const bool hasTail = colon != std::string_view::npos;
    if (head == "ip" || head == "prefix" || head == "flag")
    {
        code.kind = head == "ip" ? Kind::Ip : head == "prefix" ? Kind::Prefix : Kind::Flag;
        return !hasTail;
    }
    if (head == "int")
    {
        code.kind = Kind::Int;
        const size_t dots = tail.find("..");
        return hasTail && dots != std::string_view::npos && Number(tail.substr(0, dots), code.min) &&
               Number(tail.substr(dots + 2), code.max) && code.min <= code.max;
    }
    if (head == "enum")
    {
        code.kind = Kind::Enum;
        if (!hasTail)
            return false;
        for (std::string_view choice : Split(tail, '/'))
        {
            if (choice.empty())
                return false;
            code.choices.emplace_back(choice);
        }
        return true;
    }
    if (head == "text")
    {
        code.kind = Kind::Text;
        return hasTail && Number(tail, code.maxLength);
    }
    return false;
}

bool ValidIp(std::string_view text)
{
    const std::vector<std::string_view> parts = Split(text, '.');
    if (parts.size() != 4)
        return false;
    return std::all_of(parts.begin(), parts.end(), [](std::string_view part) {
        unsigned value = 0;
        return part.size() <= 3 && AllDigits(part) && Number(part, value) && value <= 255;
    });
}
} // namespace

bool CodeTable::Parse(std::string_view text, std::string *error)
{
    codes_.clear();
    int lineNumber = 0;
    const auto fail = [&](const std::string &why) {
        if (error)
            *error = "line " + std::to_string(lineNumber) + ": " + why;
        codes_.clear();
        return false;
    };
    for (std::string_view line : Split(text, '\n'))
    {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const std::vector<std::string_view> fields = Split(line, '|');
        if (fields.size() != 5)
            return fail("five fields separated by \"|\" expected");
        Code code;
        if (fields[0].size() > 9 || !AllDigits(fields[0]) || !Number(fields[0], code.code))
            return fail("the code must be 1 to 9 digits");
        if (!ValidName(fields[1]))
            return fail("bad name");
        if (!ParseKind(fields[2], code))
            return fail("unknown kind \"" + std::string(fields[2]) + "\"");
        code.name = fields[1];
        code.defaultValue = fields[3];
        code.meaning = fields[4];
        if (!ValueFits(code, code.defaultValue))
            return fail("the default does not fit the kind");
        if (Find(code.code))
            return fail("code " + std::string(fields[0]) + " listed twice");
        if (FindByName(code.name))
            return fail("name " + code.name + " listed twice");
        codes_.push_back(std::move(code));
    }
    return true;
}

bool CodeTable::Load(const std::string &path, std::string *error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
    {
        if (error)
            *error = "cannot open " + path;
        codes_.clear();
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return Parse(text.str(), error);
}

const Code *CodeTable::Find(int code) const
{
    const auto found =
        std::find_if(codes_.begin(), codes_.end(), [&](const Code &c) { return c.code == code; });
    return found == codes_.end() ? nullptr : &*found;
}

const Code *CodeTable::FindByName(std::string_view name) const
{
    const auto found =
        std::find_if(codes_.begin(), codes_.end(), [&](const Code &c) { return c.name == name; });
    return found == codes_.end() ? nullptr : &*found;
}

bool ValueFits(const Code &code, std::string_view value)
{
    if (value.empty())
        return true;
    switch (code.kind)
    {
    case Kind::Ip:
        return value == "0" || ValidIp(value);
    case Kind::Prefix: {
        int prefix = 0;
        return value.size() <= 2 && AllDigits(value) && Number(value, prefix) && prefix <= 32;
    }
    case Kind::Flag:
        return value == "0" || value == "1";
    case Kind::Int: {
        long long number = 0;
        return value.size() <= 18 && Number(value, number) && number >= code.min && number <= code.max;
    }
    case Kind::Enum:
        return std::find(code.choices.begin(), code.choices.end(), value) != code.choices.end();
    case Kind::Text:
        return value.size() <= code.maxLength && value.find_first_of("\r\n|") == std::string_view::npos;
    }
    return false;
}

std::optional<Setting> ParseLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const std::string_view code = Trim(line.substr(0, equals));
    Setting setting;
    if (code.size() > 9 || !AllDigits(code) || !Number(code, setting.code))
        return std::nullopt;
    setting.value = Trim(line.substr(equals + 1));
    return setting;
}

std::string FormatLine(int code, std::string_view value)
{
    std::string line = std::to_string(code) + " = ";
    line += value;
    line += "\r\n";
    return line;
}
} // namespace routerformat
