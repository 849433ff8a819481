// Messages of the system (FormatMessageA), in Spanish or English, and of the built-in modules.
#include "platform/kernel32/message.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"
#include "platform/kernel32/message_texts.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace
{
constexpr DWORD kWin32Facility = 0x80070000u; // HRESULT_FROM_WIN32's high word
constexpr DWORD kNoWrap = FORMAT_MESSAGE_MAX_WIDTH_MASK;

// ---------------------------------------------------------------------------------------------
// Where texts come from.

std::mutex &ModuleMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

std::map<HMODULE, plat::ModuleMessageLookup> &ModuleTables()
{
    static auto *tables = new std::map<HMODULE, plat::ModuleMessageLookup>;
    return *tables;
}

std::optional<plat::ModuleMessageLookup> ModuleTable(HMODULE module)
{
    std::lock_guard guard(ModuleMutex());
    auto it = ModuleTables().find(module);
    if (it == ModuleTables().end())
        return std::nullopt;
    return it->second;
}

// The system text of a code; an HRESULT of facility Win32 has the text of its Win32 error.
const char *SystemText(DWORD code, bool spanish)
{
    if ((code & 0xFFFF0000u) == kWin32Facility)
        code &= 0xFFFFu;
    for (const plat::SystemMessage &message : plat::kSystemMessages)
        if (message.code == code)
            return spanish ? message.spanish : message.english;
    return nullptr;
}

// Which texts a language id asks for: 0 and the neutral ids mean the PC's language (Spanish
// texts for a Spanish user, English otherwise); otherwise Spanish or English explicitly.
DWORD ChooseLanguage(DWORD languageId, bool &spanish)
{
    if (languageId > 0xFFFF)
        return ERROR_RESOURCE_LANG_NOT_FOUND;
    LANGID lang = static_cast<LANGID>(languageId);
    const bool implicit = PRIMARYLANGID(lang) == LANG_NEUTRAL;
    if (implicit)
    {
        const kitpc::Identity id = kitpc::ReadIdentity();
        lang = SUBLANGID(lang) == SUBLANG_SYS_DEFAULT ? id.systemLangId : id.userLangId;
    }
    spanish = PRIMARYLANGID(lang) == LANG_SPANISH;
    if (!implicit && !spanish && PRIMARYLANGID(lang) != LANG_ENGLISH)
        return ERROR_RESOURCE_LANG_NOT_FOUND;
    return ERROR_SUCCESS;
}

// The message definition FormatMessageA works on, or the error.
DWORD FindPattern(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, std::string &pattern)
{
    if (flags & FORMAT_MESSAGE_FROM_STRING)
    {
        if (!source)
            return ERROR_INVALID_PARAMETER;
        pattern = static_cast<const char *>(source);
        return ERROR_SUCCESS;
    }
    if (!(flags & (FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM)))
        return ERROR_INVALID_PARAMETER;
    bool spanish = false;
    if (DWORD error = ChooseLanguage(languageId, spanish))
        return error;
    const char *text = nullptr;
    if (flags & FORMAT_MESSAGE_FROM_HMODULE)
    {
        std::optional<plat::ModuleMessageLookup> table =
            ModuleTable(static_cast<HMODULE>(const_cast<void *>(source)));
        if (table)
            text = (*table)(messageId, spanish);
        else if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM))
            return ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    if (!text && (flags & FORMAT_MESSAGE_FROM_SYSTEM))
        text = SystemText(messageId, spanish);
    if (!text)
        return ERROR_MR_MID_NOT_FOUND;
    pattern = std::string(text) + "\r\n";
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Insert arguments: an array of DWORD_PTR, or a va_list read in order, each argument taken as
// pointer-sized as Windows does.

class InsertArguments
{
  public:
    InsertArguments(va_list *list, bool isArray)
        : list_(isArray ? nullptr : list),
          array_(isArray ? reinterpret_cast<const DWORD_PTR *>(list) : nullptr)
    {
    }
    bool Available() const { return list_ || array_; }
    // Argument `number` (1-based).
    DWORD_PTR Get(unsigned number)
    {
        if (array_)
            return array_[number - 1];
        while (taken_.size() < number)
            taken_.push_back(va_arg(*list_, DWORD_PTR));
        return taken_[number - 1];
    }

  private:
    va_list *list_;
    const DWORD_PTR *array_;
    std::vector<DWORD_PTR> taken_;
};

std::string Utf8FromUtf16(const char16_t *text)
{
    std::string out;
    for (const char16_t *p = text; *p; ++p)
    {
        char32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (*++p - 0xDC00);
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
            out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        else
            out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                    static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

// A printf format between the exclamation marks of an insert ("08X", "-10s", "*.*s", "I64u").
struct InsertFormat
{
    std::string flags;
    bool widthFromArgument = false;
    bool precisionFromArgument = false;
    std::string width;
    std::string precision; // with its '.'
    enum class Size
    {
        Default,
        Short,
        Wide,
        Long64,
        Pointer
    } size = Size::Default;
    char conversion = 's';
};

bool ParseInsertFormat(std::string_view text, InsertFormat &format)
{
    size_t i = 0;
    while (i < text.size() && std::strchr("-+ #0", text[i]))
        format.flags += text[i++];
    if (i < text.size() && text[i] == '*')
        format.widthFromArgument = true, ++i;
    while (i < text.size() && plat::IsDigit(text[i]))
        format.width += text[i++];
    if (i < text.size() && text[i] == '.')
    {
        format.precision = ".";
        ++i;
        if (i < text.size() && text[i] == '*')
            format.precisionFromArgument = true, ++i;
        while (i < text.size() && plat::IsDigit(text[i]))
            format.precision += text[i++];
    }
    std::string_view rest = text.substr(i);
    using Size = InsertFormat::Size;
    for (auto [prefix, size] : {std::pair{std::string_view("I64"), Size::Long64},
                                {"ll", Size::Long64},
                                {"I32", Size::Default},
                                {"I", Size::Pointer},
                                {"h", Size::Short},
                                {"l", Size::Wide},
                                {"w", Size::Wide}})
    {
        if (rest.starts_with(prefix))
        {
            format.size = size;
            rest.remove_prefix(prefix.size());
            break;
        }
    }
    if (rest.size() != 1)
        return false;
    format.conversion = rest[0];
    return std::strchr("sScCdiuxXop", format.conversion) != nullptr;
}

template <class T> std::string Printf(const std::string &spec, T value)
{
    const int length = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (length <= 0)
        return {};
    std::string out(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(out.data(), out.size(), spec.c_str(), value);
    out.resize(static_cast<size_t>(length));
    return out;
}

// Formats insert `number` with its printf format; '*' widths and precisions take the insert's own
// argument and the next ones, the value coming after them.
DWORD FormatInsert(unsigned number, std::string_view formatText, InsertArguments &args, std::string &out)
{
    InsertFormat format;
    if (!ParseInsertFormat(formatText, format))
        return ERROR_INVALID_PARAMETER;
    unsigned next = number;
    std::string spec = "%" + format.flags;
    if (format.widthFromArgument)
        spec += std::to_string(static_cast<int>(args.Get(next++)));
    spec += format.width;
    if (format.precisionFromArgument)
        spec += "." + std::to_string(static_cast<int>(args.Get(next++)));
    else
        spec += format.precision;
    const DWORD_PTR value = args.Get(next);
    using Size = InsertFormat::Size;
    const char conversion = format.conversion;
    const bool wide = conversion == 'S' || conversion == 'C' || format.size == Size::Wide;
    switch (conversion)
    {
    case 's':
    case 'S': {
        const char *text = reinterpret_cast<const char *>(value);
        std::string converted;
        if (text && wide)
            converted = plat::Cp1252FromUtf8(Utf8FromUtf16(reinterpret_cast<const char16_t *>(value)));
        out += Printf(spec + "s", !text ? "(null)" : wide ? converted.c_str() : text);
        return ERROR_SUCCESS;
    }
    case 'c':
    case 'C': {
        char c = static_cast<char>(value & 0xFF);
        if (wide)
        {
            const char16_t wc[2] = {static_cast<char16_t>(value & 0xFFFF), 0};
            std::string converted = plat::Cp1252FromUtf8(Utf8FromUtf16(wc));
            c = converted.empty() ? '?' : converted[0];
        }
        out += Printf(spec + "c", c);
        return ERROR_SUCCESS;
    }
    case 'p':
        out +=
            Printf("%0" + std::to_string(sizeof(void *) * 2) + "llX", static_cast<unsigned long long>(value));
        return ERROR_SUCCESS;
    default:
        break;
    }
    const bool isSigned = conversion == 'd' || conversion == 'i';
    if (format.size == Size::Long64 || (format.size == Size::Pointer && sizeof(DWORD_PTR) == 8))
    {
        spec += std::string("ll") + conversion;
        out += isSigned ? Printf(spec, static_cast<long long>(value))
                        : Printf(spec, static_cast<unsigned long long>(value));
    }
    else if (format.size == Size::Short)
    {
        spec += std::string("h") + conversion;
        out += isSigned ? Printf(spec, static_cast<int>(static_cast<short>(value)))
                        : Printf(spec, static_cast<unsigned>(static_cast<unsigned short>(value)));
    }
    else
    {
        spec += conversion;
        out += isSigned ? Printf(spec, static_cast<int>(static_cast<DWORD>(value)))
                        : Printf(spec, static_cast<unsigned>(value));
    }
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// The message definition's escapes: %1..%99 with an optional !printf format!, %0 (end, no line
// break), %n (hard line break), %r, %t, and %<other> for the character itself (%%, %., %!, "% ").
// With a maximum width, the definition's own line breaks become blanks.

DWORD Expand(std::string_view pattern, DWORD flags, InsertArguments &args, std::string &out)
{
    const bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    const bool joinLines = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0;
    for (size_t i = 0; i < pattern.size();)
    {
        const char c = pattern[i];
        if ((c == '\r' || c == '\n') && joinLines)
        {
            i += (c == '\r' && i + 1 < pattern.size() && pattern[i + 1] == '\n') ? 2 : 1;
            out += ' ';
            continue;
        }
        if (c != '%' || i + 1 >= pattern.size())
        {
            out += c;
            ++i;
            continue;
        }
        const char escape = pattern[++i];
        if (escape >= '1' && escape <= '9')
        {
            const size_t start = i;
            unsigned number = static_cast<unsigned>(escape - '0');
            if (++i < pattern.size() && plat::IsDigit(pattern[i]))
                number = number * 10 + static_cast<unsigned>(pattern[i++] - '0');
            if (ignoreInserts)
            {
                out += '%';
                out += pattern.substr(start, i - start);
                continue;
            }
            if (!args.Available())
                return ERROR_INVALID_PARAMETER;
            std::string_view format = "s";
            if (i < pattern.size() && pattern[i] == '!')
            {
                const size_t close = pattern.find('!', i + 1);
                if (close == std::string_view::npos)
                    return ERROR_INVALID_PARAMETER;
                format = pattern.substr(i + 1, close - i - 1);
                i = close + 1;
            }
            if (DWORD error = FormatInsert(number, format, args, out))
                return error;
            continue;
        }
        ++i;
        switch (escape)
        {
        case '0':
            return ERROR_SUCCESS;
        case 'n':
            out += "\r\n";
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        default:
            if (ignoreInserts)
                out += '%';
            out += escape;
            break;
        }
    }
    return ERROR_SUCCESS;
}

// Breaks lines longer than `width` at their last blank within the width (a word longer than
// the width is cut); hard line breaks stay.
std::string Wrap(std::string_view text, size_t width)
{
    std::string out;
    while (!text.empty())
    {
        size_t lineEnd = text.find("\r\n");
        std::string_view line = text.substr(0, lineEnd);
        while (line.size() > width)
        {
            size_t blank = line.substr(0, width + 1).find_last_of(' ');
            const size_t cut = blank == std::string_view::npos || blank == 0 ? width : blank;
            out += line.substr(0, cut);
            out += "\r\n";
            line.remove_prefix(cut < line.size() && line[cut] == ' ' ? cut + 1 : cut);
        }
        out += line;
        if (lineEnd == std::string_view::npos)
            break;
        out += "\r\n";
        text.remove_prefix(lineEnd + 2);
    }
    return out;
}

DWORD Deliver(const std::string &message, DWORD flags, LPSTR buffer, DWORD size)
{
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
    {
        const size_t bytes = std::max<size_t>(message.size() + 1, size);
        auto *allocated = static_cast<char *>(LocalAlloc(LMEM_FIXED, bytes));
        if (!allocated)
            return 0;
        std::memcpy(allocated, message.c_str(), message.size() + 1);
        *reinterpret_cast<LPSTR *>(buffer) = allocated;
        return static_cast<DWORD>(message.size());
    }
    if (message.size() + 1 > size)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, message.c_str(), message.size() + 1);
    return static_cast<DWORD>(message.size());
}
} // namespace

namespace plat
{
void RegisterModuleMessages(HMODULE module, ModuleMessageLookup lookup)
{
    std::lock_guard guard(ModuleMutex());
    ModuleTables()[module] = lookup;
}
} // namespace plat

// FormatMessageA: a message from a string, a module's table or the system's (texts for the
// errors and HRESULTs the kit meets, in Spanish as Spanish Windows XP words them when the language
// is Spanish, else in US English; 0x8007xxxx finds Win32 error xxxx; each ends in "\r\n"), with
// inserts %1..%99 and their !printf! formats taken from a va_list or a DWORD_PTR array. Returns
// the length without terminator. Errors: a code without text ERROR_MR_MID_NOT_FOUND, an explicit
// language other than Spanish or English ERROR_RESOURCE_LANG_NOT_FOUND, a small buffer
// ERROR_INSUFFICIENT_BUFFER, inserts without arguments ERROR_INVALID_PARAMETER. Differences:
// floating-point formats are refused (ERROR_INVALID_PARAMETER); lines are wrapped at the maximum
// width at the last blank, which may differ from Windows for some texts.
DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list *Arguments)
{
    if (!lpBuffer)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
        *reinterpret_cast<LPSTR *>(lpBuffer) = nullptr;
    std::string pattern;
    if (DWORD error = FindPattern(dwFlags, lpSource, dwMessageId, dwLanguageId, pattern))
    {
        SetLastError(error);
        return 0;
    }
    InsertArguments args(Arguments, (dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0);
    std::string message;
    if (DWORD error = Expand(pattern, dwFlags, args, message))
    {
        SetLastError(error);
        return 0;
    }
    const DWORD width = dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (width != 0 && width != kNoWrap)
        message = Wrap(message, width);
    return Deliver(message, dwFlags, lpBuffer, nSize);
}
