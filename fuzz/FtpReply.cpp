// libFuzzer target: how WinINet's FTP sessions read a server's control connection. The first
// byte chooses how the rest arrives (in pieces of 1 to 32 bytes); the replies read must not
// depend on that, and every reply, PASV address and PORT argument read must be well formed.
#include "platform/wininet/ftpreply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace
{
using plat::ftp::Reply;
using plat::ftp::ReplyParser;

struct Outcome
{
    std::vector<Reply> replies;
    ReplyParser::Result last = ReplyParser::Result::NeedMore;
    size_t consumed = 0;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Feeds `input` in pieces of `piece` bytes, reading replies until a failure.
Outcome Read(std::string_view input, size_t piece)
{
    Outcome outcome;
    ReplyParser parser;
    while (!input.empty())
    {
        std::string_view chunk = input.substr(0, piece);
        input.remove_prefix(chunk.size());
        while (!chunk.empty())
        {
            size_t used = 0;
            outcome.last = parser.Feed(chunk, used);
            Check(used <= chunk.size());
            chunk.remove_prefix(used);
            outcome.consumed += used;
            if (outcome.last == ReplyParser::Result::Complete)
            {
                outcome.replies.push_back(parser.Take());
                continue;
            }
            if (outcome.last != ReplyParser::Result::NeedMore)
            {
                size_t again = 1;
                Check(parser.Feed("220 x\r\n", again) == outcome.last && again == 0); // stays failed
                return outcome;
            }
            Check(chunk.empty());
        }
    }
    return outcome;
}

void CheckReply(const Reply &reply)
{
    Check(reply.code >= 100 && reply.code <= 599);
    Check(reply.text.size() >= 5 && reply.text.compare(reply.text.size() - 2, 2, "\r\n") == 0);
    Check(std::string_view(reply.text).substr(0, 3) == std::to_string(reply.code));
    Check(reply.bytes > 0 && reply.bytes <= plat::ftp::kMaxReplyBytes);
    if (auto where = plat::ftp::ParsePassiveReply(reply.text))
    {
        auto back = plat::ftp::ParseHostPort(plat::ftp::FormatHostPort(*where));
        Check(back && back->address == where->address && back->port == where->port);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = data[0] % 32 + 1;
    const std::string_view input(reinterpret_cast<const char *>(data + 1), size - 1);

    const Outcome whole = Read(input, input.size() + 1);
    const Outcome pieces = Read(input, piece);
    Check(whole.last == pieces.last && whole.consumed == pieces.consumed);
    Check(whole.replies.size() == pieces.replies.size());
    size_t bytes = 0;
    for (size_t i = 0; i < whole.replies.size(); ++i)
    {
        Check(whole.replies[i].code == pieces.replies[i].code &&
              whole.replies[i].text == pieces.replies[i].text &&
              whole.replies[i].bytes == pieces.replies[i].bytes);
        CheckReply(whole.replies[i]);
        bytes += whole.replies[i].bytes;
    }
    if (whole.last == ReplyParser::Result::Complete || whole.last == ReplyParser::Result::NeedMore)
        Check(bytes <= whole.consumed);

    // The same bytes as a PORT argument, as a server reads one.
    if (auto hostPort = plat::ftp::ParseHostPort(input))
    {
        auto back = plat::ftp::ParseHostPort(plat::ftp::FormatHostPort(*hostPort));
        Check(back && back->address == hostPort->address && back->port == hostPort->port);
    }
    if (auto code = plat::ftp::ReplyCode(input))
        Check(*code >= 100 && *code <= 599);
    return 0;
}
