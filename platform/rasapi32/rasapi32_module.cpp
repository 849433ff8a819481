// RASAPI32.DLL and RNAPH.DLL as built-in modules. The NT family ships RASAPI32.DLL always and
// never RNAPH.DLL; on 9x both come with dial-up networking, and the phone-book functions are in
// RNAPH.DLL, as on Windows 95 (RASAPI32.DLL lacks them, and RasSetCredentialsA, there).
// RasGetErrorStringA is here: its texts are the module's.
#include "platform/core/builtin.h"
#include "platform/rasapi32/rasapi32.h"

#include <cstring>
#include <vector>

namespace
{
struct RasMessage
{
    DWORD code;
    const char *english;
    const char *spanish;
};

// The texts of the codes these modules return, as Windows words them.
const RasMessage kMessages[] = {
    {ERROR_BUFFER_TOO_SMALL, "The buffer is too small.", "El búfer es demasiado pequeño."},
    {ERROR_BUFFER_INVALID, "The buffer is invalid.", "El búfer no es válido."},
    {ERROR_CANNOT_OPEN_PHONEBOOK, "The system could not open the phone book file.",
     "El sistema no pudo abrir el archivo de la libreta de teléfonos."},
    {ERROR_CANNOT_LOAD_PHONEBOOK, "The system could not load the phone book file.",
     "El sistema no pudo cargar el archivo de la libreta de teléfonos."},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "The system could not find the phone book entry for this connection.",
     "El sistema no pudo encontrar la entrada de la libreta de teléfonos para esta conexión."},
    {ERROR_CANNOT_WRITE_PHONEBOOK, "The system could not update the phone book file.",
     "El sistema no pudo actualizar el archivo de la libreta de teléfonos."},
    {ERROR_CORRUPT_PHONEBOOK, "The system found invalid information in the phone book file.",
     "El sistema encontró información no válida en el archivo de la libreta de teléfonos."},
    {ERROR_INVALID_SIZE, "The structure size is incorrect.", "El tamaño de la estructura es incorrecto."},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect.",
     "La sintaxis del nombre de archivo, del directorio o de la etiqueta del volumen no es correcta."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.",
     "No se puede crear un archivo que ya existe."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.", "El parámetro no es correcto."},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system.",
     "Esta función no es válida en este sistema."},
    {ERROR_INVALID_USER_BUFFER, "The supplied user buffer is not valid for the requested operation.",
     "El búfer de usuario proporcionado no es válido para la operación solicitada."},
};

// Where an export is: the NT family's RASAPI32.DLL, 9x's RASAPI32.DLL, RNAPH.DLL.
enum Home : unsigned
{
    Nt = 1,
    Rasapi9x = 2,
    Rnaph = 4,
};

struct RasExport
{
    const char *name;
    FARPROC address;
    unsigned homes;
};
} // namespace

// RasGetErrorStringA: the text of a code these modules return, in the user's language (English
// or Spanish); ERROR_INVALID_PARAMETER for another code, ERROR_INSUFFICIENT_BUFFER when the text
// does not fit.
DWORD WINAPI RasGetErrorStringA(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize)
{
    if (!lpszErrorString)
        return ERROR_INVALID_PARAMETER;
    const bool spanish = plat::ras::CurrentVersion().spanish;
    for (const RasMessage &message : kMessages)
        if (message.code == uErrorValue)
        {
            const std::string text = spanish ? message.spanish : message.english;
            if (text.size() >= cBufSize)
                return ERROR_INSUFFICIENT_BUFFER;
            std::memcpy(lpszErrorString, text.c_str(), text.size() + 1);
            return ERROR_SUCCESS;
        }
    return ERROR_INVALID_PARAMETER;
}

namespace
{
const RasExport kRasExports[] = {
    {"RasDeleteEntryA", plat::ExportOf(&RasDeleteEntryA), Nt | Rnaph},
    {"RasEnumDevicesA", plat::ExportOf(&RasEnumDevicesA), Nt | Rnaph},
    {"RasGetEntryPropertiesA", plat::ExportOf(&RasGetEntryPropertiesA), Nt | Rnaph},
    {"RasSetEntryPropertiesA", plat::ExportOf(&RasSetEntryPropertiesA), Nt | Rnaph},
    {"RasValidateEntryNameA", plat::ExportOf(&RasValidateEntryNameA), Nt | Rnaph},
    {"RasEnumEntriesA", plat::ExportOf(&RasEnumEntriesA), Nt | Rasapi9x},
    {"RasGetEntryDialParamsA", plat::ExportOf(&RasGetEntryDialParamsA), Nt | Rasapi9x},
    {"RasSetEntryDialParamsA", plat::ExportOf(&RasSetEntryDialParamsA), Nt | Rasapi9x},
    {"RasSetCredentialsA", plat::ExportOf(&RasSetCredentialsA), Nt},
    {"RasGetErrorStringA", plat::ExportOf(&RasGetErrorStringA), Nt | Rasapi9x},
    {"RasDialA", plat::ExportOf(&RasDialA), Nt | Rasapi9x},
    {"RasEnumConnectionsA", plat::ExportOf(&RasEnumConnectionsA), Nt | Rasapi9x},
    {"RasGetConnectStatusA", plat::ExportOf(&RasGetConnectStatusA), Nt | Rasapi9x},
    {"RasGetProjectionInfoA", plat::ExportOf(&RasGetProjectionInfoA), Nt | Rasapi9x},
    {"RasHangUpA", plat::ExportOf(&RasHangUpA), Nt | Rasapi9x},
};

const plat::BuiltinExport *ExportsOf(Home home)
{
    static const auto tables = [] {
        std::vector<std::vector<plat::BuiltinExport>> made(Rnaph + 1);
        for (unsigned h : {Nt, Rasapi9x, Rnaph})
        {
            for (const RasExport &e : kRasExports)
                if (e.homes & h)
                    made[h].push_back({e.name, e.address});
            made[h].push_back({nullptr, nullptr});
        }
        return made;
    }();
    return tables[home].data();
}

const plat::BuiltinExport *Rasapi32Exports()
{
    if (plat::ras::CurrentVersion().nt)
        return ExportsOf(Nt);
    return plat::ras::RasInstalled() ? ExportsOf(Rasapi9x) : nullptr;
}

const plat::BuiltinExport *RnaphExports()
{
    return !plat::ras::CurrentVersion().nt && plat::ras::RasInstalled() ? ExportsOf(Rnaph) : nullptr;
}

const bool g_ras = (plat::RegisterBuiltinModule("RASAPI32.DLL", &Rasapi32Exports),
                    plat::RegisterBuiltinModule("RNAPH.DLL", &RnaphExports), true);
} // namespace
