// FTP control-connection texts (RFC 959): the server's replies, read incrementally, and the
// host-port arguments of PASV replies and PORT commands. Pure functions, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plat::ftp
{
// Bounds that keep an endless or hostile server from growing a reply without end.
constexpr size_t kMaxReplyLine = 4096;       // bytes of one line, its line end included
constexpr size_t kMaxReplyBytes = 64 * 1024; // bytes of one whole (multi-line) reply

struct Reply
{
    int code = 0;     // 100 to 599
    std::string text; // every line, each ended by CR LF, as WinINet hands replies out
    size_t bytes = 0; // bytes the reply took on the wire
};

// Reads replies from the bytes of the control connection as they come. A reply is one line
// "xyz text" or a group "xyz-text" ... "xyz text" closed by a line with the same code and a
// blank; lines end in LF with an optional CR before it.
class ReplyParser
{
  public:
    enum class Result
    {
        NeedMore,  // every byte was taken; the reply is not complete yet
        Complete,  // a reply is complete (Take it); `used` bytes were taken
        Malformed, // the first line does not start with a reply code
        TooLong,   // a line or the whole reply passed its bound
    };

    // Takes bytes up to the end of the current reply; `used` says how many were taken. After
    // Malformed or TooLong the parser stays in that state until Reset.
    Result Feed(std::string_view data, size_t &used);
    // The reply that Feed completed; the parser then starts on the next one.
    Reply Take();
    // What was read of a reply that could not be parsed or was cut short, its unfinished last
    // line included (for the last response text).
    std::string Partial() const { return partial_ + line_; }
    void Reset();

  private:
    Result EndLine();

    std::string line_;    // the line being read, without its line end
    std::string partial_; // the lines of the reply so far, CR LF after each
    size_t bytes_ = 0;
    int code_ = 0; // code of a multi-line reply, 0 before its first line
    bool multiLine_ = false;
    bool complete_ = false;
    std::optional<Result> failed_;
};

// The code of a reply's first line ("227 ..." -> 227), or nullopt when it does not start with
// three digits, the first one 1 to 5, followed by a blank, a hyphen or the end of the line.
std::optional<int> ReplyCode(std::string_view line);

struct HostPort
{
    uint32_t address = 0; // host byte order
    uint16_t port = 0;
};

// The six numbers h1,h2,h3,h4,p1,p2 of a 227 reply's text (the first run of them, with or
// without parentheses, as RFC 1123 asks clients to look for), each 0 to 255.
std::optional<HostPort> ParsePassiveReply(std::string_view text);
// The argument of a PORT command: "h1,h2,h3,h4,p1,p2".
std::string FormatHostPort(HostPort hostPort);
// A PORT command's argument read back (what a server does with it).
std::optional<HostPort> ParseHostPort(std::string_view argument);
} // namespace plat::ftp
