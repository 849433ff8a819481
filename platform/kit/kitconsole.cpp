// Printing the PC's text on the host's terminal, on both builds (the conversions are each
// build's own).
#include "platform/kit/kitconsole.h"

#include <cstdarg>
#include <cstdio>

namespace kitpc
{
void Say(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    std::fputs(TerminalText(text).c_str(), stdout);
    std::fflush(stdout);
}
} // namespace kitpc
