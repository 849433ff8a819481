// regedit's messages in English and in Spanish, and the one place that picks the language.
#include "tools/regedit/messages.h"
#include "tools/text/ToolText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace regedit
{
namespace
{
constexpr size_t kScriptErrors = static_cast<size_t>(ScriptError::CannotDeleteValue) + 1;

struct Texts
{
    const char *usage;
    const char *imported;      // file
    const char *cannotOpen;    // file
    const char *notAScript;    // file
    const char *badLine;       // file, line, what is wrong
    const char *refused;       // file, line, what was refused, the system's reason
    const char *noSuchKey;     // the reason a key cannot be exported
    const char *unknownRoot;   // the same for a root that does not exist
    const char *cannotExport;  // key, reason
    const char *cannotWrite;   // file
    const char *unknownSwitch; // switch
    const char *exportArguments;
    const char *noFile;
    // By ScriptError: what is wrong with a line (%s: the key), or what the registry refused
    // (the key, and for values the value's name first).
    const char *problems[kScriptErrors];
};

constexpr Texts kEnglish = {
    "Usage: regedit [/s] FILE...          imports registry scripts (REGEDIT4)\n"
    "       regedit /e FILE [KEY]         exports KEY and its subkeys, or the whole registry\n"
    "\n"
    "  /s, -s   silent: shows nothing when the import succeeds\n"
    "  /e, -e   exports in REGEDIT4 format (Windows-1252, CR LF); /a and -a are the same\n"
    "  KEY      a full key name, for example HKEY_LOCAL_MACHINE\\Software\\Microsoft\n"
    "\n"
    "The PC is the one named by $KIT_MACHINE. An import applies each line as it is read, as\n"
    "Windows' regedit does: when a line is wrong, regedit reports its number and stops, and the\n"
    "lines before it stay imported. The exit status is 0 on success, 1 on a failed import or\n"
    "export, 2 on a bad command line.\n",
    "Information in %s has been successfully entered into the registry.",
    "Cannot import %s: Error opening the file. There may be a disk or file system error.",
    "Cannot import %s: The specified file is not a registry script. You can only import binary registry "
    "files from within the registry editor.",
    "Cannot import %s: Error in line %d: %s.",
    "Cannot import %s: Error accessing the registry in line %d: %s. %s",
    "The specified key does not exist.",
    "The root key name is not valid.",
    "Cannot export %s: %s",
    "Cannot export %s: Error writing the file. There may be a disk or file system error.",
    "Invalid switch: %s",
    "/e takes a file name and at most one key.",
    "No file to import was given.",
    {
        "",
        "",
        "unrecognized line",
        "missing ']' after the key name",
        "unknown root key in [%s]",
        "missing '\"' after the value name",
        "missing '=' after the value name",
        "value outside a key",
        "unknown value type",
        "unexpected text after the string",
        "missing '\"' at the end of the string",
        "bad dword value (dword: takes up to 8 hex digits)",
        "bad type in hex(N)",
        "missing ':' after hex",
        "the file ends inside a continued hex value",
        "bad hex byte",
        "cannot create the key [%s]",
        "cannot delete the key [%s]",
        "cannot set the value \"%s\" in [%s]",
        "cannot delete the value \"%s\" from [%s]",
    },
};

constexpr Texts kSpanish = {
    "Uso: regedit [/s] ARCHIVO...          importa scripts del Registro (REGEDIT4)\n"
    "     regedit /e ARCHIVO [CLAVE]       exporta CLAVE y sus subclaves, o todo el Registro\n"
    "\n"
    "  /s, -s   silencioso: no muestra nada si la importación se realiza correctamente\n"
    "  /e, -e   exporta en formato REGEDIT4 (Windows-1252, CR LF); /a y -a hacen lo mismo\n"
    "  CLAVE    un nombre de clave completo, por ejemplo HKEY_LOCAL_MACHINE\\Software\\Microsoft\n"
    "\n"
    "El equipo es el que indica $KIT_MACHINE. La importación aplica cada línea a medida que la lee,\n"
    "como el regedit de Windows: si una línea no es correcta, regedit indica su número y se detiene,\n"
    "y las líneas anteriores quedan importadas. El código de salida es 0 si la operación se realiza\n"
    "correctamente, 1 si no se puede importar o exportar y 2 si la línea de comandos no es correcta.\n",
    "La información de %s se ha introducido correctamente en el Registro.",
    "No se puede importar %s: Error al abrir el archivo. Puede haber un error en el disco o en el sistema "
    "de archivos.",
    "No se puede importar %s: El archivo especificado no es un script del Registro. Sólo puede importar "
    "archivos binarios del Registro desde el Editor del Registro.",
    "No se puede importar %s: Error en la línea %d: %s.",
    "No se puede importar %s: Error al obtener acceso al Registro en la línea %d: %s. %s",
    "La clave especificada no existe.",
    "El nombre de la clave raíz no es válido.",
    "No se puede exportar %s: %s",
    "No se puede exportar %s: Error al escribir el archivo. Puede haber un error en el disco o en el "
    "sistema de archivos.",
    "Modificador no válido: %s",
    "/e necesita un nombre de archivo y, como mucho, una clave.",
    "No se ha especificado ningún archivo para importar.",
    {
        "",
        "",
        "línea no reconocida",
        "falta ']' después del nombre de la clave",
        "clave raíz desconocida en [%s]",
        "falta '\"' después del nombre del valor",
        "falta '=' después del nombre del valor",
        "valor fuera de una clave",
        "tipo de valor desconocido",
        "texto inesperado después de la cadena",
        "falta '\"' al final de la cadena",
        "valor dword no válido (dword: admite hasta 8 dígitos hexadecimales)",
        "tipo no válido en hex(N)",
        "falta ':' después de hex",
        "el archivo termina dentro de un valor hexadecimal continuado",
        "byte hexadecimal no válido",
        "no se puede crear la clave [%s]",
        "no se puede eliminar la clave [%s]",
        "no se puede escribir el valor \"%s\" en [%s]",
        "no se puede eliminar el valor \"%s\" de [%s]",
    },
};

const Texts &TheTexts()
{
    static const Texts &texts = PRIMARYLANGID(GetUserDefaultLangID()) == LANG_SPANISH ? kSpanish : kEnglish;
    return texts;
}

// printf into a string of any length: key names in a message may be long.
std::string Format(const char *format, ...)
{
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::vector<char> text(size > 0 ? size + 1 : 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    return std::string(text.data());
}

// The system's text for a Win32 error, in the PC's language, without its line break.
std::string SystemText(LONG error)
{
    char text[512];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    if (!length)
        return Format("%ld", static_cast<long>(error));
    return std::string(tooltext::TrimRight(std::string_view(text, length), tooltext::kWhitespace));
}

const char *ProblemPattern(ScriptError what)
{
    return TheTexts().problems[static_cast<size_t>(what)];
}
} // namespace

std::string UsageText()
{
    return TheTexts().usage;
}

std::string ImportedText(const std::string &file)
{
    return Format(TheTexts().imported, file.c_str());
}

std::string CannotOpenText(const std::string &file)
{
    return Format(TheTexts().cannotOpen, file.c_str());
}

std::string ImportProblemText(const std::string &file, const ImportProblem &problem)
{
    const Texts &texts = TheTexts();
    const char *pattern = ProblemPattern(problem.what);
    switch (problem.what)
    {
    case ScriptError::None:
    case ScriptError::NotAScript:
        return Format(texts.notAScript, file.c_str());
    case ScriptError::CannotCreateKey:
    case ScriptError::CannotDeleteKey:
        return Format(texts.refused, file.c_str(), problem.line, Format(pattern, problem.key.c_str()).c_str(),
                      SystemText(problem.error).c_str());
    case ScriptError::CannotSetValue:
    case ScriptError::CannotDeleteValue:
        return Format(texts.refused, file.c_str(), problem.line,
                      Format(pattern, problem.name.c_str(), problem.key.c_str()).c_str(),
                      SystemText(problem.error).c_str());
    default:
        return Format(texts.badLine, file.c_str(), problem.line,
                      Format(pattern, problem.key.c_str()).c_str());
    }
}

std::string ExportProblemText(const ExportProblem &problem)
{
    const Texts &texts = TheTexts();
    const std::string reason = problem.unknownRoot                     ? texts.unknownRoot
                               : problem.error == ERROR_FILE_NOT_FOUND ? texts.noSuchKey
                                                                       : SystemText(problem.error);
    return Format(texts.cannotExport, problem.key.c_str(), reason.c_str());
}

std::string CannotWriteText(const std::string &file)
{
    return Format(TheTexts().cannotWrite, file.c_str());
}

std::string UnknownSwitchText(const std::string &argument)
{
    return Format(TheTexts().unknownSwitch, argument.c_str());
}

std::string ExportArgumentsText()
{
    return TheTexts().exportArguments;
}

std::string NoFileText()
{
    return TheTexts().noFile;
}
} // namespace regedit
