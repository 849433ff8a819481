// Arbitrary bytes as an uninstaller's Install.log: every record kind is read back, every value
// is a whole line's rest with no NUL or line end in it, and every registry record has a root
// only when it names one of the seven predefined keys.
#include "uninstall/InstallLog.h"
#include "testing/machine.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace
{
const std::string &LogPath()
{
    static const kittest::TempMachine machine("kit-fuzz");
    static const std::string path = machine.Root() + "/temp/Install.log";
    return path;
}

void SinFinesDeLinea(const std::string &valor)
{
    if (valor.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::ofstream(LogPath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    CInstallLog log;
    if (!log.Abrir(LogPath()))
        std::abort();
    for (const char *etiqueta :
         {CInstallLog::kFileCopy, CInstallLog::kFileOverwrite, CInstallLog::kSelfRegister,
          CInstallLog::kShellLink, CInstallLog::kMadeDir, CInstallLog::kRegDbKill})
        for (const std::string &valor : log.Valores(etiqueta))
        {
            if (valor.empty())
                std::abort();
            SinFinesDeLinea(valor);
        }
    for (const CRegistroLog &r : log.Registros())
    {
        SinFinesDeLinea(r.clave);
        SinFinesDeLinea(r.nombre);
        SinFinesDeLinea(r.anterior);
        const auto raiz = reinterpret_cast<std::uintptr_t>(r.raiz);
        if (r.conRaiz != (r.raiz != nullptr) ||
            (r.conRaiz && (raiz < reinterpret_cast<std::uintptr_t>(HKEY_CLASSES_ROOT) ||
                           raiz > reinterpret_cast<std::uintptr_t>(HKEY_DYN_DATA))))
            std::abort();
    }
    SinFinesDeLinea(log.Nombre("QelAsist"));
    return 0;
}
