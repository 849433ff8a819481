// System messages (FormatMessageA) and local memory.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstdarg>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace
{
constexpr DWORD kFromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The system text of a code, or "" with the error in *error.
std::string SystemText(DWORD code, DWORD language = 0, DWORD *error = nullptr, DWORD flags = kFromSystem)
{
    char buffer[1024];
    SetLastError(0xdeadbeef);
    DWORD length = FormatMessageA(flags, nullptr, code, language, buffer, sizeof buffer, nullptr);
    if (error)
        *error = GetLastError();
    return length ? std::string(buffer, length) : std::string();
}

// FormatMessageA from a string with arguments through a va_list, as callers write it.
std::string FromString(DWORD flags, const char *format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_STRING | flags, format, 0, 0, buffer, sizeof buffer, &args);
    va_end(args);
    return length ? std::string(buffer, length) : "<" + std::to_string(GetLastError()) + ">";
}

std::string FromArray(DWORD flags, const char *format, const DWORD_PTR *args)
{
    char buffer[512];
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | flags, format, 0, 0,
                       buffer, sizeof buffer, reinterpret_cast<va_list *>(const_cast<DWORD_PTR *>(args)));
    return length ? std::string(buffer, length) : "<" + std::to_string(GetLastError()) + ">";
}

// English as the user's and the system's language: the simulated PC is told so; Windows has the
// language it was installed with.
void UseEnglishPc()
{
#ifndef _WIN32
    ASSERT_TRUE(kitpc::SetIdentityValue("Locale", "UserLangID", "0x0409"));
    ASSERT_TRUE(kitpc::SetIdentityValue("Locale", "SystemLangID", "0x0409"));
#endif
}
} // namespace

// ---------------------------------------------------------------------------------------------
// System texts

TEST(SystemMessages, SpanishPcGetsSpanishTexts)
{
    struct Case
    {
        DWORD code;
        const char *text;
    };
    const Case cases[] = {
        {ERROR_SUCCESS, "La operación se completó correctamente.\r\n"},
        {ERROR_FILE_NOT_FOUND, "El sistema no puede hallar el archivo especificado.\r\n"},
        {ERROR_PATH_NOT_FOUND, "El sistema no puede hallar la ruta especificada.\r\n"},
        {ERROR_ACCESS_DENIED, "Acceso denegado.\r\n"},
        {ERROR_INVALID_PARAMETER, "El parámetro no es correcto.\r\n"},
        {ERROR_SHARING_VIOLATION,
         "El proceso no tiene acceso al archivo porque está siendo utilizado por otro proceso.\r\n"},
        {ERROR_MORE_DATA, "Hay más datos disponibles.\r\n"},
        {ERROR_NO_MORE_ITEMS, "No hay más datos disponibles.\r\n"},
        {ERROR_SERVICE_DOES_NOT_EXIST, "El servicio especificado no existe como servicio instalado.\r\n"},
        {static_cast<DWORD>(E_FAIL), "Error no especificado\r\n"},
        {static_cast<DWORD>(E_OUTOFMEMORY), "No hay suficiente espacio de almacenamiento para completar esta "
                                            "operación.\r\n"},
        {static_cast<DWORD>(E_INVALIDARG), "El parámetro no es correcto.\r\n"},
        {static_cast<DWORD>(REGDB_E_CLASSNOTREG), "Clase no registrada\r\n"},
        {static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)), "Acceso denegado.\r\n"},
    };
    for (const Case &c : cases)
    {
        EXPECT_EQ(SystemText(c.code), c.text) << std::hex << c.code;
        EXPECT_EQ(SystemText(c.code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)), c.text)
            << std::hex << c.code;
    }
    EXPECT_EQ(std::strlen("Acceso denegado."), 16u); // one byte per character: Windows-1252
}

TEST(SystemMessages, OtherPcsGetEnglishTexts)
{
    UseEnglishPc();
    struct Case
    {
        DWORD code;
        const char *text;
    };
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
        {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
        {static_cast<DWORD>(E_NOTIMPL), "Not implemented\r\n"},
        {static_cast<DWORD>(E_NOINTERFACE), "No such interface supported\r\n"},
        {static_cast<DWORD>(E_POINTER), "Invalid pointer\r\n"},
        {static_cast<DWORD>(E_UNEXPECTED), "Catastrophic failure\r\n"},
        {static_cast<DWORD>(CLASS_E_CLASSNOTAVAILABLE), "ClassFactory cannot supply requested class\r\n"},
        {static_cast<DWORD>(CO_E_DLLNOTFOUND), "DLL for class not found\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SystemText(c.code), c.text) << std::hex << c.code;
}

TEST(SystemMessages, ExplicitLanguages)
{
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              "Access is denied.\r\n");
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN)),
              "Acceso denegado.\r\n");
    DWORD error = 0;
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_FRENCH, SUBLANG_DEFAULT), &error), "");
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
    UseEnglishPc();
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH)),
              "Acceso denegado.\r\n");
}

TEST(SystemMessages, EveryErrorTheKitMeetsHasATextInBothLanguages)
{
    const DWORD codes[] = {
        ERROR_INVALID_FUNCTION,
        ERROR_FILE_NOT_FOUND,
        ERROR_PATH_NOT_FOUND,
        ERROR_TOO_MANY_OPEN_FILES,
        ERROR_ACCESS_DENIED,
        ERROR_INVALID_HANDLE,
        ERROR_NOT_ENOUGH_MEMORY,
        ERROR_BAD_ENVIRONMENT,
        ERROR_BAD_FORMAT,
        ERROR_INVALID_ACCESS,
        ERROR_INVALID_DATA,
        ERROR_OUTOFMEMORY,
        ERROR_INVALID_DRIVE,
        ERROR_CURRENT_DIRECTORY,
        ERROR_NOT_SAME_DEVICE,
        ERROR_NO_MORE_FILES,
        ERROR_WRITE_PROTECT,
        ERROR_BAD_UNIT,
        ERROR_NOT_READY,
        ERROR_BAD_COMMAND,
        ERROR_CRC,
        ERROR_BAD_LENGTH,
        ERROR_SEEK,
        ERROR_WRITE_FAULT,
        ERROR_READ_FAULT,
        ERROR_GEN_FAILURE,
        ERROR_SHARING_VIOLATION,
        ERROR_LOCK_VIOLATION,
        ERROR_HANDLE_EOF,
        ERROR_HANDLE_DISK_FULL,
        ERROR_NOT_SUPPORTED,
        ERROR_BAD_NETPATH,
        ERROR_NETWORK_BUSY,
        ERROR_DEV_NOT_EXIST,
        ERROR_UNEXP_NET_ERR,
        ERROR_FILE_EXISTS,
        ERROR_CANNOT_MAKE,
        ERROR_INVALID_PARAMETER,
        ERROR_BROKEN_PIPE,
        ERROR_OPEN_FAILED,
        ERROR_BUFFER_OVERFLOW,
        ERROR_DISK_FULL,
        ERROR_CALL_NOT_IMPLEMENTED,
        ERROR_SEM_TIMEOUT,
        ERROR_INSUFFICIENT_BUFFER,
        ERROR_INVALID_NAME,
        ERROR_INVALID_LEVEL,
        ERROR_MOD_NOT_FOUND,
        ERROR_PROC_NOT_FOUND,
        ERROR_WAIT_NO_CHILDREN,
        ERROR_NEGATIVE_SEEK,
        ERROR_SEEK_ON_DEVICE,
        ERROR_DIR_NOT_EMPTY,
        ERROR_BAD_PATHNAME,
        ERROR_BUSY,
        ERROR_BAD_ARGUMENTS,
        ERROR_ALREADY_EXISTS,
        ERROR_BAD_EXE_FORMAT,
        ERROR_ENVVAR_NOT_FOUND,
        ERROR_FILENAME_EXCED_RANGE,
        ERROR_BAD_PIPE,
        ERROR_PIPE_BUSY,
        ERROR_NO_DATA,
        ERROR_MORE_DATA,
        ERROR_NO_MORE_ITEMS,
        ERROR_DIRECTORY,
        ERROR_NOT_OWNER,
        ERROR_PARTIAL_COPY,
        ERROR_MR_MID_NOT_FOUND,
        ERROR_INVALID_ADDRESS,
        ERROR_ARITHMETIC_OVERFLOW,
        ERROR_OPERATION_ABORTED,
        ERROR_IO_INCOMPLETE,
        ERROR_IO_PENDING,
        ERROR_NOACCESS,
        ERROR_INVALID_FLAGS,
        ERROR_UNRECOGNIZED_VOLUME,
        ERROR_FILE_INVALID,
        ERROR_NO_TOKEN,
        ERROR_BADDB,
        ERROR_BADKEY,
        ERROR_CANTOPEN,
        ERROR_CANTREAD,
        ERROR_CANTWRITE,
        ERROR_REGISTRY_RECOVERED,
        ERROR_REGISTRY_CORRUPT,
        ERROR_REGISTRY_IO_FAILED,
        ERROR_NOT_REGISTRY_FILE,
        ERROR_KEY_DELETED,
        ERROR_KEY_HAS_CHILDREN,
        ERROR_CHILD_MUST_BE_VOLATILE,
        ERROR_DEPENDENT_SERVICES_RUNNING,
        ERROR_SERVICE_REQUEST_TIMEOUT,
        ERROR_SERVICE_NO_THREAD,
        ERROR_SERVICE_DATABASE_LOCKED,
        ERROR_SERVICE_ALREADY_RUNNING,
        ERROR_SERVICE_DISABLED,
        ERROR_SERVICE_DOES_NOT_EXIST,
        ERROR_SERVICE_NOT_ACTIVE,
        ERROR_EXCEPTION_IN_SERVICE,
        ERROR_DATABASE_DOES_NOT_EXIST,
        ERROR_SERVICE_MARKED_FOR_DELETE,
        ERROR_SERVICE_EXISTS,
        ERROR_NO_UNICODE_TRANSLATION,
        ERROR_DLL_INIT_FAILED,
        ERROR_SHUTDOWN_IN_PROGRESS,
        ERROR_NO_SHUTDOWN_IN_PROGRESS,
        ERROR_NOT_FOUND,
        ERROR_BAD_DEVICE,
        ERROR_CANCELLED,
        ERROR_CONNECTION_REFUSED,
        ERROR_NETWORK_UNREACHABLE,
        ERROR_HOST_UNREACHABLE,
        ERROR_NOT_ALL_ASSIGNED,
        ERROR_SOME_NOT_MAPPED,
        ERROR_INVALID_OWNER,
        ERROR_NO_SUCH_PRIVILEGE,
        ERROR_PRIVILEGE_NOT_HELD,
        ERROR_INVALID_SID,
        ERROR_INVALID_SECURITY_DESCR,
        ERROR_BAD_TOKEN_TYPE,
        ERROR_FILE_CORRUPT,
        ERROR_NO_SYSTEM_RESOURCES,
        ERROR_TIMEOUT,
        ERROR_RESOURCE_DATA_NOT_FOUND,
        ERROR_RESOURCE_TYPE_NOT_FOUND,
        ERROR_RESOURCE_NAME_NOT_FOUND,
        ERROR_RESOURCE_LANG_NOT_FOUND,
        ERROR_CANT_RESOLVE_FILENAME,
        static_cast<DWORD>(E_ABORT),
        static_cast<DWORD>(E_PENDING),
        static_cast<DWORD>(E_HANDLE),
        static_cast<DWORD>(CO_E_NOTINITIALIZED),
        static_cast<DWORD>(CO_E_CLASSSTRING),
        static_cast<DWORD>(CO_E_ERRORINDLL),
        static_cast<DWORD>(RPC_E_CHANGED_MODE),
        static_cast<DWORD>(REGDB_E_READREGDB),
        static_cast<DWORD>(REGDB_E_KEYMISSING),
        static_cast<DWORD>(CLASS_E_NOAGGREGATION),
        static_cast<DWORD>(DISP_E_MEMBERNOTFOUND),
        static_cast<DWORD>(DISP_E_TYPEMISMATCH),
        static_cast<DWORD>(DISP_E_UNKNOWNNAME),
        static_cast<DWORD>(DISP_E_BADPARAMCOUNT),
        static_cast<DWORD>(TYPE_E_LIBNOTREGISTERED),
    };
    for (DWORD code : codes)
    {
        for (WORD lang :
             {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH)})
        {
            const std::string text = SystemText(code, lang);
            ASSERT_GT(text.size(), 2u) << std::hex << code << " " << lang;
            EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << std::hex << code;
        }
    }
}

TEST(SystemMessages, UnknownCode)
{
    for (DWORD code : {0x0000FFFEu, 0x80070FFEu, 0x8BADF00Du})
    {
        DWORD error = 0;
        EXPECT_EQ(SystemText(code, 0, &error), "") << std::hex << code;
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND)) << std::hex << code;
    }
}

TEST(SystemMessages, InsertsOfSystemTexts)
{
    EXPECT_EQ(SystemText(ERROR_BAD_EXE_FORMAT), "%1 no es una aplicación Win32 válida.\r\n");
    char buffer[128];
    const DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>("ruta.exe")};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                                  ERROR_BAD_EXE_FORMAT, 0, buffer, sizeof buffer,
                                  reinterpret_cast<va_list *>(const_cast<DWORD_PTR *>(args)));
    EXPECT_EQ(std::string(buffer, length), "ruta.exe no es una aplicación Win32 válida.\r\n");
    // Inserts with nothing to insert.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_BAD_EXE_FORMAT, 0, buffer,
                             sizeof buffer, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---------------------------------------------------------------------------------------------
// Formatting

TEST(Formatting, InsertsFromVaList)
{
    EXPECT_EQ(FromString(0, "%1 y %2", "uno", "dos"), "uno y dos");
    EXPECT_EQ(FromString(0, "%2 antes que %1", "uno", "dos"), "dos antes que uno");
    EXPECT_EQ(FromString(0, "%1!d! %1!u! %1!x!", -1), "-1 4294967295 ffffffff");
    EXPECT_EQ(FromString(0, "[%1!08X!] [%2!-5s!] [%3!5s!] [%4!c!]", 0xBEEFu, "ab", "cd", 'z'),
              "[0000BEEF] [ab   ] [   cd] [z]");
    EXPECT_EQ(FromString(0, "%1!I64u!", 12345678901234ull), "12345678901234");
    EXPECT_EQ(FromString(0, "%1!S!", OLESTR("Conexión")), "Conexión");
    EXPECT_EQ(FromString(0, "%1!s!", static_cast<const char *>(nullptr)), "(null)");
    EXPECT_EQ(FromString(0, "%10", "a", "b", "c", "d", "e", "f", "g", "h", "i", "diez"), "diez");
}

TEST(Formatting, InsertsFromArray)
{
    const DWORD_PTR args[] = {4,
                              2,
                              reinterpret_cast<DWORD_PTR>("Bill"),
                              reinterpret_cast<DWORD_PTR>("Bob"),
                              6,
                              reinterpret_cast<DWORD_PTR>("Bill")};
    EXPECT_EQ(FromArray(0, "%1!*.*s! %4 %5!*s!", args), "  Bi Bob   Bill");
    const DWORD_PTR numbers[] = {7, 0xFFFF};
    EXPECT_EQ(FromArray(0, "%1!03d!-%2!hd!", numbers), "007--1");
}

TEST(Formatting, Escapes)
{
    struct Case
    {
        const char *format;
        const char *plain;   // inserts replaced
        const char *ignored; // FORMAT_MESSAGE_IGNORE_INSERTS
    };
    const Case cases[] = {
        {"a%nb", "a\r\nb", "a\r\nb"},
        {"100%% seguro", "100% seguro", "100%% seguro"},
        {"fin%0 no", "fin", "fin"},
        {"%.%!% x", ".! x", "%.%!% x"},
        {"tab%tcr%r", "tab\tcr\r", "tab\tcr\r"},
        {"linea\r\nsiguiente", "linea\r\nsiguiente", "linea\r\nsiguiente"},
        {"%1 %2!d!", "uno 2", "%1 %2!d!"},
    };
    for (const Case &c : cases)
    {
        EXPECT_EQ(FromString(0, c.format, "uno", 2), c.plain) << c.format;
        EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, c.format), c.ignored) << c.format;
    }
}

TEST(Formatting, MaximumWidth)
{
    // Line breaks of the text become blanks, hard ones (%n) stay; the system text's final
    // line break too.
    EXPECT_EQ(FromString(FORMAT_MESSAGE_MAX_WIDTH_MASK, "a\r\nb%nc"), "a b\r\nc");
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, 0, nullptr, kFromSystem | FORMAT_MESSAGE_MAX_WIDTH_MASK),
              "Acceso denegado. ");
    EXPECT_EQ(FromString(10, "aaaa bbbb cccc dddddddddddd"), "aaaa bbbb\r\ncccc\r\ndddddddddd\r\ndd");
}

TEST(Formatting, AllocatedBuffer)
{
    LPSTR text = reinterpret_cast<LPSTR>(0x1);
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | kFromSystem, nullptr, ERROR_ACCESS_DENIED,
                                  0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_EQ(length, 18u);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Acceso denegado.\r\n");
    EXPECT_EQ(LocalFree(text), nullptr);

    // nSize is then a minimum.
    length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, "ab", 0, 0,
                            reinterpret_cast<LPSTR>(&text), 300, nullptr);
    ASSERT_EQ(length, 2u);
    text[299] = 'z'; // the block holds at least 300 bytes
    LocalFree(text);

    // A failure leaves NULL.
    text = reinterpret_cast<LPSTR>(0x1);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | kFromSystem, nullptr, 0x0000FFFE, 0,
                             reinterpret_cast<LPSTR>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(text, nullptr);
}

TEST(Formatting, SmallBuffer)
{
    char buffer[24];
    std::memset(buffer, 'x', sizeof buffer);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 18, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 19, nullptr), 18u);
    EXPECT_STREQ(buffer, "Acceso denegado.\r\n");
    EXPECT_EQ(buffer[19], 'x');
}

TEST(Formatting, BadRequests)
{
    char buffer[32];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(0, "x", 0, 0, buffer, sizeof buffer, nullptr), 0u); // no source
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "%1", 0, 0, buffer, sizeof buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, nullptr, 1, 0, buffer, sizeof buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND)); // no message table
    EXPECT_EQ(FromString(0, "%1!f!", 1), "<87>");                                 // no floating point
}

// ---------------------------------------------------------------------------------------------
// Local memory

TEST(LocalMemory, FixedBlocks)
{
    auto *zeroed = static_cast<BYTE *>(LocalAlloc(LPTR, 64));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(zeroed[i], 0);
    EXPECT_EQ(LocalFree(zeroed), nullptr);
    HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
    EXPECT_NE(empty, nullptr);
    LocalFree(empty);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
#ifndef _WIN32
    // The simulated PC has fixed blocks only.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LocalAlloc(0x0002 /* LMEM_MOVEABLE */, 16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
#endif
}
