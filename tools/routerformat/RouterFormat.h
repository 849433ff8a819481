// The Prestige 643's configuration file ("rom-t"): the list of its codes (data/643-codes.txt,
// whose header describes the syntax) and the "code = value" lines of the file itself. Shared by
// the router simulator and the kit's tests, so both read the format from one place.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace routerformat
{
enum class Kind
{
    Ip,     // dotted IPv4 address; "0" also means not set
    Prefix, // mask as a prefix length 0..32
    Flag,   // 0 or 1
    Int,    // decimal in [min, max]
    Enum,   // one of the choices, exactly
    Text,   // up to maxLength bytes
};

struct Code
{
    int code = 0;
    std::string name;
    Kind kind = Kind::Text;
    long long min = 0, max = 0;       // Int
    std::vector<std::string> choices; // Enum
    size_t maxLength = 0;             // Text
    std::string defaultValue;
    std::string meaning;
};

class CodeTable
{
  public:
    // Parses the list's text. On the first bad line: false, and `error` says "line N: why".
    bool Parse(std::string_view text, std::string *error = nullptr);
    // Reads and parses a list file (KIT_ROUTER_CODES is the kit's own).
    bool Load(const std::string &path, std::string *error = nullptr);

    const std::vector<Code> &Codes() const { return codes_; } // in the file's order
    const Code *Find(int code) const;
    const Code *FindByName(std::string_view name) const;

  private:
    std::vector<Code> codes_;
};

// Whether a value fits the code's kind; the empty value (not set) fits every kind.
bool ValueFits(const Code &code, std::string_view value);

// One line of a configuration file, with or without its LF / CR LF: the code (digits, blanks
// around it allowed) and the value (after the first "=", blanks at both ends removed).
// Nothing for a line of another form.
struct Setting
{
    int code = 0;
    std::string value;
};
std::optional<Setting> ParseLine(std::string_view line);

// "code = value" with CR LF, as the router serves its configuration.
std::string FormatLine(int code, std::string_view value);
} // namespace routerformat
