// Helpers shared by the library's sources (not exported).
#pragma once

#include "platform/windows.h"
#include "platform/wstring.h"

#include <cstdarg>
#include <string>
#include <string_view>

namespace comun
{
// HRESULT_FROM_WIN32 of the thread's last error; E_FAIL when a failing call left no error, so a
// failure is never reported as success.
HRESULT HResultUltimoError();

// Windows 1252 upper case, as Windows compares names.
char Mayuscula1252(char c);
std::string Mayusculas1252(std::string_view texto);
bool IgualSinCaso(std::string_view a, std::string_view b);

// UTF-16 and the ANSI code page (1252) through the platform's conversions.
WString AnsiAUtf16(std::string_view texto);
std::string Utf16AAnsi(WStringView texto);

// A FormatMessage message string with its inserts taken from `args` (narrow texts for %1, %2...).
HRESULT FormatearMensaje(const std::string &patron, va_list *args, std::string &texto);

// printf into a std::string.
std::string Formato(const char *formato, ...) __attribute__((format(printf, 1, 2)));
} // namespace comun
