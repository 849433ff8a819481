// WININET.DLL as a built-in module: its exports for LoadLibraryA/GetProcAddress and its message
// table, which Windows programs read with FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE,
// GetModuleHandleA("wininet.dll"), ...) since the system's table has no WinINet texts.
#include "platform/wininet.h"
#include "platform/windows.h"
#include "platform/kernel32/message.h"
#include "platform/core/builtin.h"

namespace
{
struct WininetMessage
{
    DWORD code;
    const char *english;
    const char *spanish;
};

// The texts as wininet.dll words them (without the final line break).
const WininetMessage kMessages[] = {
    {ERROR_INTERNET_OUT_OF_HANDLES, "No more Internet handles can be allocated",
     "No se pueden asignar más identificadores de Internet"},
    {ERROR_INTERNET_TIMEOUT, "The operation timed out", "Se agotó el tiempo de espera para la operación"},
    {ERROR_INTERNET_EXTENDED_ERROR, "The server returned extended information",
     "El servidor devolvió información extendida"},
    {ERROR_INTERNET_INTERNAL_ERROR, "An internal error occurred in the Microsoft Internet extensions",
     "Se produjo un error interno en las extensiones de Internet de Microsoft"},
    {ERROR_INTERNET_INVALID_URL, "The URL is invalid", "La dirección URL no es válida"},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, "The URL does not use a recognized protocol",
     "La dirección URL no utiliza un protocolo reconocido"},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "The server name or address could not be resolved",
     "No se puede resolver el nombre o la dirección del servidor"},
    {ERROR_INTERNET_PROTOCOL_NOT_FOUND, "A protocol with the required capabilities was not found",
     "No se encontró un protocolo con las capacidades requeridas"},
    {ERROR_INTERNET_INVALID_OPTION, "The option is invalid", "La opción no es válida"},
    {ERROR_INTERNET_BAD_OPTION_LENGTH, "The length is incorrect for the option type",
     "La longitud no es correcta para el tipo de opción"},
    {ERROR_INTERNET_OPTION_NOT_SETTABLE, "The option value cannot be set",
     "No se puede establecer el valor de la opción"},
    {ERROR_INTERNET_SHUTDOWN, "Microsoft Internet Extension support has been shut down",
     "Se cerró la compatibilidad con las extensiones de Internet de Microsoft"},
    {ERROR_INTERNET_INCORRECT_USER_NAME, "The user name was not allowed",
     "No se permitió el nombre de usuario"},
    {ERROR_INTERNET_INCORRECT_PASSWORD, "The password was not allowed", "No se permitió la contraseña"},
    {ERROR_INTERNET_LOGIN_FAILURE, "The login request was denied",
     "Se denegó la solicitud de inicio de sesión"},
    {ERROR_INTERNET_INVALID_OPERATION, "The requested operation is invalid",
     "La operación solicitada no es válida"},
    {ERROR_INTERNET_OPERATION_CANCELLED, "The operation has been canceled", "Se canceló la operación"},
    {ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
     "The supplied handle is the wrong type for the requested operation",
     "El identificador proporcionado no es del tipo correcto para la operación solicitada"},
    {ERROR_INTERNET_INCORRECT_HANDLE_STATE, "The handle is in the wrong state for the requested operation",
     "El identificador no está en el estado correcto para la operación solicitada"},
    {ERROR_INTERNET_NOT_PROXY_REQUEST, "The request cannot be made on a Proxy session",
     "No se puede realizar la solicitud en una sesión de proxy"},
    {ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND, "The registry value could not be found",
     "No se encontró el valor del Registro"},
    {ERROR_INTERNET_BAD_REGISTRY_PARAMETER, "The registry parameter is incorrect",
     "El parámetro del Registro no es correcto"},
    {ERROR_INTERNET_NO_DIRECT_ACCESS, "Direct Internet access is not available",
     "No está disponible el acceso directo a Internet"},
    {ERROR_INTERNET_NO_CONTEXT, "No context value was supplied",
     "No se proporcionó ningún valor de contexto"},
    {ERROR_INTERNET_NO_CALLBACK, "No status callback was supplied",
     "No se proporcionó ninguna devolución de llamada de estado"},
    {ERROR_INTERNET_REQUEST_PENDING, "There are outstanding requests", "Hay solicitudes pendientes"},
    {ERROR_INTERNET_INCORRECT_FORMAT, "The information format is incorrect",
     "El formato de la información no es correcto"},
    {ERROR_INTERNET_ITEM_NOT_FOUND, "The requested item could not be found",
     "No se encontró el elemento solicitado"},
    {ERROR_INTERNET_CANNOT_CONNECT, "A connection with the server could not be established",
     "No se puede establecer una conexión con el servidor"},
    {ERROR_INTERNET_CONNECTION_ABORTED, "The connection with the server was terminated abnormally",
     "La conexión con el servidor finalizó de forma anormal"},
    {ERROR_INTERNET_CONNECTION_RESET, "The connection with the server was reset",
     "Se restableció la conexión con el servidor"},
    {ERROR_FTP_TRANSFER_IN_PROGRESS, "There is already an FTP request in progress on this session",
     "Ya hay una solicitud FTP en curso en esta sesión"},
    {ERROR_FTP_DROPPED, "The FTP session was terminated", "Se terminó la sesión FTP"},
    {ERROR_FTP_NO_PASSIVE_MODE, "FTP Passive mode is not available",
     "El modo pasivo de FTP no está disponible"},
    {ERROR_INTERNET_DISCONNECTED, "The Internet connection has been lost",
     "Se perdió la conexión a Internet"},
};

const char *LookupMessage(DWORD code, bool spanish)
{
    for (const WininetMessage &message : kMessages)
        if (message.code == code)
            return spanish ? message.spanish : message.english;
    return nullptr;
}

const plat::BuiltinExport kExports[] = {
    {"InternetOpenA", plat::ExportOf(&InternetOpenA)},
    {"InternetConnectA", plat::ExportOf(&InternetConnectA)},
    {"InternetCloseHandle", plat::ExportOf(&InternetCloseHandle)},
    {"InternetSetStatusCallbackA", plat::ExportOf(&InternetSetStatusCallbackA)},
    {"InternetSetStatusCallback", plat::ExportOf(&InternetSetStatusCallbackA)},
    {"InternetSetOptionA", plat::ExportOf(&InternetSetOptionA)},
    {"InternetQueryOptionA", plat::ExportOf(&InternetQueryOptionA)},
    {"InternetGetLastResponseInfoA", plat::ExportOf(&InternetGetLastResponseInfoA)},
    {"FtpPutFileA", plat::ExportOf(&FtpPutFileA)},
    {"FtpGetFileA", plat::ExportOf(&FtpGetFileA)},
    {nullptr, nullptr},
};

bool RegisterWininet()
{
    plat::RegisterBuiltinModule("WININET.DLL", kExports);
    if (HMODULE module = GetModuleHandleA("WININET.DLL"))
        plat::RegisterModuleMessages(module, &LookupMessage);
    return true;
}

const bool g_wininet = RegisterWininet();
} // namespace
