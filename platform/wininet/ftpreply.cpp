#include "platform/wininet/ftpreply.h"
#include "platform/core/text.h"

#include <array>
#include <cstdio>

namespace plat::ftp
{
namespace
{
// Up to three decimal digits at `p` as a number 0 to 255; advances p.
std::optional<int> Octet(std::string_view text, size_t &p)
{
    size_t start = p;
    int value = 0;
    while (p < text.size() && IsDigit(text[p]) && p - start < 3)
        value = value * 10 + (text[p++] - '0');
    if (p == start || value > 255 || (p < text.size() && IsDigit(text[p])))
        return std::nullopt;
    return value;
}

// Six comma-separated octets starting at `p` (blanks around the commas allowed); advances p.
std::optional<HostPort> SixNumbers(std::string_view text, size_t &p)
{
    std::array<int, 6> n{};
    for (size_t i = 0; i < n.size(); ++i)
    {
        while (p < text.size() && text[p] == ' ')
            ++p;
        std::optional<int> value = Octet(text, p);
        if (!value)
            return std::nullopt;
        n[i] = *value;
        while (p < text.size() && text[p] == ' ')
            ++p;
        if (i + 1 < n.size())
        {
            if (p >= text.size() || text[p] != ',')
                return std::nullopt;
            ++p;
        }
    }
    HostPort result;
    result.address = (uint32_t(n[0]) << 24) | (uint32_t(n[1]) << 16) | (uint32_t(n[2]) << 8) | uint32_t(n[3]);
    result.port = static_cast<uint16_t>((n[4] << 8) | n[5]);
    return result;
}
} // namespace

std::optional<int> ReplyCode(std::string_view line)
{
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return std::nullopt;
    if (line[0] < '1' || line[0] > '5')
        return std::nullopt;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-')
        return std::nullopt;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

ReplyParser::Result ReplyParser::Feed(std::string_view data, size_t &used)
{
    used = 0;
    if (failed_)
        return *failed_;
    if (complete_)
        return Result::Complete;
    while (used < data.size())
    {
        const char c = data[used++];
        ++bytes_;
        if (c == '\n')
        {
            if (!line_.empty() && line_.back() == '\r')
                line_.pop_back();
            Result result = EndLine();
            if (result != Result::NeedMore)
                return result;
            continue;
        }
        line_ += c;
        if (line_.size() >= kMaxReplyLine || bytes_ >= kMaxReplyBytes)
        {
            partial_ += line_;
            line_.clear();
            failed_ = Result::TooLong;
            return *failed_;
        }
    }
    return Result::NeedMore;
}

ReplyParser::Result ReplyParser::EndLine()
{
    std::string line = std::move(line_);
    line_.clear();
    partial_ += line;
    partial_ += "\r\n";
    if (code_ == 0)
    {
        std::optional<int> code = ReplyCode(line);
        if (!code)
        {
            failed_ = Result::Malformed;
            return *failed_;
        }
        code_ = *code;
        multiLine_ = line.size() > 3 && line[3] == '-';
    }
    else if (std::optional<int> code = ReplyCode(line);
             code && *code == code_ && (line.size() == 3 || line[3] == ' '))
    {
        multiLine_ = false; // the closing line of a group
    }
    if (multiLine_)
        return Result::NeedMore;
    complete_ = true;
    return Result::Complete;
}

Reply ReplyParser::Take()
{
    Reply reply;
    if (complete_)
    {
        reply.code = code_;
        reply.text = std::move(partial_);
        reply.bytes = bytes_;
    }
    Reset();
    return reply;
}

void ReplyParser::Reset()
{
    line_.clear();
    partial_.clear();
    bytes_ = 0;
    code_ = 0;
    multiLine_ = false;
    complete_ = false;
    failed_.reset();
}

std::optional<HostPort> ParsePassiveReply(std::string_view text)
{
    // Past the code, the first digit that starts six numbers.
    for (size_t p = text.size() > 4 ? 4 : text.size(); p < text.size(); ++p)
    {
        if (!IsDigit(text[p]) || (p > 0 && IsDigit(text[p - 1])))
            continue;
        size_t end = p;
        if (std::optional<HostPort> found = SixNumbers(text, end))
            return found;
    }
    return std::nullopt;
}

std::string FormatHostPort(HostPort hostPort)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u,%u,%u,%u,%u,%u", (hostPort.address >> 24) & 0xFF,
                  (hostPort.address >> 16) & 0xFF, (hostPort.address >> 8) & 0xFF, hostPort.address & 0xFF,
                  (hostPort.port >> 8) & 0xFF, hostPort.port & 0xFF);
    return text;
}

std::optional<HostPort> ParseHostPort(std::string_view argument)
{
    size_t p = 0;
    std::optional<HostPort> found = SixNumbers(argument, p);
    if (!found || p != argument.size())
        return std::nullopt; // nothing may follow the sixth number
    return found;
}
} // namespace plat::ftp
