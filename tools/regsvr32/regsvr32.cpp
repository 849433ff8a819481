// regsvr32: registers and unregisters in-process servers, as Windows' regsvr32 does.
//
//     regsvr32 [/u] [/s] [/n] [/i[:cmdline]] library...
//
// OleInitialize, LoadLibraryA, then DllRegisterServer (with /u DllUnregisterServer); with /i
// also DllInstall(TRUE, cmdline) after it (with /u DllInstall(FALSE, cmdline) before it); /n
// skips DllRegisterServer/DllUnregisterServer and needs /i. Options are taken in any case,
// with '/' or '-'; an argument that names an existing file is a library whatever its first
// character (a POSIX path starts with '/'). /? and --help show the usage. Windows shows its messages in
// message boxes; here they go to standard output (Windows 1252), in Spanish worded as Spanish Windows XP
// words them when the PC's user language is Spanish, in English otherwise; /s shows none. When LoadLibrary
// fails the loader's own text follows the system's message. A damaged registry is said on standard
// error, /s or not, and ends with code 5.
//
// Exit codes, as Windows' regsvr32: 0 success, 1 bad arguments, 2 OleInitialize failed,
// 3 LoadLibrary failed, 4 an entry point is missing, 5 the call failed. With several
// libraries each is done in turn and the first failure's code is the result.
#include "platform/kit/kitconsole.h"
#include "platform/kit/kitloader.h"
#include "platform/windows.h"
#include "tools/pcreg/PcRegistry.h"
#include "tools/text/ToolText.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
enum ExitCode
{
    kSuccess = 0,
    kFailArgs = 1,
    kFailOle = 2,
    kFailLoad = 3,
    kFailEntry = 4,
    kFailReg = 5,
};

struct Texts
{
    const char *usage;
    const char *noFile;
    const char *badFlag; // flag
    const char *oleFailed;
    const char *loadFailed;   // file, system message
    const char *entryMissing; // file, entry point
    const char *cannotRegister;
    const char *cannotUnregister;
    const char *callFailed; // operation, file, code
    const char *succeeded;  // operation, file
    const char *both;       // first operation, second operation
};

constexpr Texts kEnglish = {
    "Usage: regsvr32 [/u] [/s] [/n] [/i[:cmdline]] dllname\n"
    "/u - Unregister server\n"
    "/s - Silent; display no message boxes\n"
    "/i - Call DllInstall passing it an optional [cmdline]; when used with /u calls dll uninstall\n"
    "/n - do not call DllRegisterServer; this option must be used with /i",
    "To register a module, you must provide a binary name.",
    "Unrecognized flag: %s",
    "OleInitialize failed (or OleUninitialize).",
    "LoadLibrary(\"%s\") failed - %s",
    "%s was loaded, but the %s entry point was not found.",
    "This file can not be registered.",
    "This file can not be unregistered.",
    "%s in %s failed.\nReturn code was: 0x%08x",
    "%s in %s succeeded.",
    "%s and %s",
};

constexpr Texts kSpanish = {
    "Uso: regsvr32 [/u] [/s] [/n] [/i[:línea_de_comandos]] nombre_de_dll\n"
    "/u - Anular el registro del servidor\n"
    "/s - Silencioso; no mostrar cuadros de mensaje\n"
    "/i - Llamar a DllInstall pasándole una [línea_de_comandos] opcional; cuando se usa con /u, llama a la "
    "desinstalación del archivo dll\n"
    "/n - No llamar a DllRegisterServer; esta opción se debe usar con /i",
    "Para registrar un módulo, debe proporcionar un nombre de archivo binario.",
    "Indicador no reconocido: %s",
    "Error de OleInitialize (o de OleUninitialize).",
    "Error de LoadLibrary(\"%s\") - %s",
    "%s se cargó, pero no se encontró el punto de entrada %s.",
    "No se puede registrar este archivo.",
    "No se puede anular el registro de este archivo.",
    "Error de %s en %s.\nEl código de retorno fue: 0x%08x",
    "%s en %s se realizó correctamente.",
    "%s y %s",
};

struct Options
{
    bool unregister = false;
    bool silent = false;
    bool install = false;
    bool skipRegister = false;
    std::string installLine;
    std::vector<std::string> files;
};

typedef HRESULT(WINAPI *ServerEntry)();
typedef HRESULT(WINAPI *InstallEntry)(BOOL bInstall, LPCWSTR pszCmdLine);

class Tool
{
  public:
    Tool() : texts_(pcreg::SpanishPc() ? kSpanish : kEnglish) {}

    int Main(int argc, char **argv)
    {
        if (AsksForHelp(argc, argv))
        {
            options_.silent = false;
            Say(texts_.usage);
            return kSuccess;
        }
        if (!Parse(argc, argv))
            return kFailArgs;
        if (pcreg::Probe() != ERROR_SUCCESS)
            return RegistryDamaged();
        if (FAILED(OleInitialize(nullptr)))
        {
            Say(texts_.oleFailed);
            return kFailOle;
        }
        int result = kSuccess;
        for (const std::string &file : options_.files)
        {
            int code = Process(file);
            if (result == kSuccess)
                result = code;
        }
        OleUninitialize();
        return result;
    }

  private:
    // Shows one message (the message box Windows would show).
    void Say(const char *format, ...)
    {
        if (options_.silent)
            return;
        char text[2048];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        std::printf("%s\n", kitpc::TerminalText(text).c_str());
        std::fflush(stdout);
    }

    // Not a message box but the PC itself failing: said even with /s.
    static int RegistryDamaged()
    {
        std::fprintf(stderr, "%s\n", kitpc::TerminalText(pcreg::DamageMessage()).c_str());
        return kFailReg;
    }

    static bool AsksForHelp(int argc, char **argv)
    {
        for (int i = 1; i < argc; ++i)
        {
            const std::string arg = argv[i];
            if (arg == "/?" || arg == "-?" || arg == "--help")
                return true;
        }
        return false;
    }

    static bool IsExistingFile(const std::string &arg)
    {
        const DWORD attributes = GetFileAttributesA(arg.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool Parse(int argc, char **argv)
    {
        for (int i = 1; i < argc; ++i)
        {
            std::string arg = argv[i];
            if (arg.empty() || (arg[0] != '/' && arg[0] != '-') || IsExistingFile(arg))
            {
                options_.files.push_back(arg);
                continue;
            }
            const char flag = arg.size() > 1 ? static_cast<char>(arg[1] | 0x20) : '\0';
            if (flag == 'u' && arg.size() == 2)
                options_.unregister = true;
            else if (flag == 's' && arg.size() == 2)
                options_.silent = true;
            else if (flag == 'n' && arg.size() == 2)
                options_.skipRegister = true;
            else if (flag == 'i' && (arg.size() == 2 || arg[2] == ':'))
            {
                options_.install = true;
                options_.installLine = arg.size() > 3 ? arg.substr(3) : "";
            }
            else
            {
                Say(texts_.badFlag, arg.c_str());
                Say(texts_.usage);
                return false;
            }
        }
        if (options_.skipRegister && !options_.install)
        {
            Say(texts_.usage);
            return false;
        }
        if (options_.files.empty())
        {
            Say(texts_.noFile);
            return false;
        }
        return true;
    }

    std::string SystemMessage(DWORD error)
    {
        char text[512];
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                 0, text, sizeof text, nullptr);
        return std::string(tooltext::TrimRight(std::string_view(text, n), tooltext::kLineEnds));
    }

    template <class F> F Entry(HMODULE module, const char *name)
    {
        return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    }

    int Process(const std::string &file)
    {
        HMODULE module = LoadLibraryA(file.c_str());
        if (!module)
        {
            const DWORD error = GetLastError();
            Say(texts_.loadFailed, file.c_str(), SystemMessage(error).c_str());
            Say("%s", kitpc::LastLoaderError().c_str());
            return kFailLoad;
        }
        int code = Call(module, file);
        FreeLibrary(module);
        return code;
    }

    int Call(HMODULE module, const std::string &file)
    {
        const bool server = !options_.skipRegister;
        const char *serverName = options_.unregister ? "DllUnregisterServer" : "DllRegisterServer";
        ServerEntry serverEntry = server ? Entry<ServerEntry>(module, serverName) : nullptr;
        InstallEntry installEntry = options_.install ? Entry<InstallEntry>(module, "DllInstall") : nullptr;
        const char *missing = server && !serverEntry              ? serverName
                              : options_.install && !installEntry ? "DllInstall"
                                                                  : nullptr;
        if (missing)
        {
            std::string text = std::string(texts_.entryMissing) + "\n\n" +
                               (options_.unregister ? texts_.cannotUnregister : texts_.cannotRegister);
            Say(text.c_str(), file.c_str(), missing);
            return kFailEntry;
        }

        std::u16string line = WideOf(options_.installLine);
        // Installing registers first; uninstalling undoes the installation first.
        auto install = [&]() { return installEntry(options_.unregister ? FALSE : TRUE, line.c_str()); };
        HRESULT hr = S_OK;
        const char *failed = nullptr;
        if (options_.unregister && installEntry && FAILED(hr = install()))
            failed = "DllInstall";
        if (!failed && serverEntry && FAILED(hr = serverEntry()))
            failed = serverName;
        if (!failed && !options_.unregister && installEntry && FAILED(hr = install()))
            failed = "DllInstall";
        if (failed)
        {
            Say(texts_.callFailed, failed, file.c_str(), static_cast<unsigned>(hr));
            return pcreg::Probe() != ERROR_SUCCESS ? RegistryDamaged() : kFailReg;
        }
        Say(texts_.succeeded,
            OperationName(serverEntry ? serverName : nullptr, installEntry != nullptr).c_str(), file.c_str());
        return kSuccess;
    }

    std::string OperationName(const char *serverName, bool install)
    {
        if (!serverName)
            return "DllInstall";
        if (!install)
            return serverName;
        char text[128];
        if (options_.unregister)
            std::snprintf(text, sizeof text, texts_.both, "DllInstall", serverName);
        else
            std::snprintf(text, sizeof text, texts_.both, serverName, "DllInstall");
        return text;
    }

    static std::u16string WideOf(const std::string &ansi)
    {
        int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
        std::u16string wide(static_cast<size_t>(size > 0 ? size : 1), u'\0');
        if (size > 0)
            MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), size);
        wide.resize(wide.size() - 1);
        return wide;
    }

    const Texts &texts_;
    Options options_;
};
} // namespace

int main(int argc, char **argv)
{
    Tool tool;
    return tool.Main(argc, argv);
}
