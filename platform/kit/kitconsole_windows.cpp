// The PC's tools' console text on Windows: the same conversions through the system's own code
// pages (under Wine, the terminal is the host's, in UTF-8).
#include "platform/kit/kitconsole.h"

#include "platform/windows.h"

namespace kitpc
{
namespace
{
std::string Convert(std::string_view text, UINT from, UINT to)
{
    if (text.empty())
        return {};
    const int units = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    const int bytes =
        WideCharToMultiByte(to, 0, wide.data(), units, nullptr, 0, to == CP_UTF8 ? nullptr : "?", nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(to, 0, wide.data(), units, out.data(), bytes, to == CP_UTF8 ? nullptr : "?", nullptr);
    return out;
}
} // namespace

std::string TerminalText(std::string_view pcText)
{
    return Convert(pcText, 1252, CP_UTF8);
}

std::string PcText(std::string_view terminalText)
{
    return Convert(terminalText, CP_UTF8, 1252);
}
} // namespace kitpc
