// The user of a stand-alone program: its scripted user and its transcript, set up by the program
// itself as the wizard's host sets them up for the wizard.
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/Comunes.h"
#include "outside/qelmfc/Interfaz.h"

#include "platform/kit/kitconsole.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace
{
constexpr const char *kRespuestas = "KIT_ANSWERS";

// A program with a WinMain starts without a console: its start-up code sends the standard
// handles nowhere before WinMain runs. A scripted run keeps the ones it was started with for
// the transcript, taken as the library loads, before that happens.
struct Consola
{
    int salida = -1;
    int error = -1;
};

int Guardar(int fd)
{
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

const Consola g_consola = [] {
    Consola c;
    const char *respuestas = std::getenv(kRespuestas);
    if (respuestas && *respuestas)
        c = {Guardar(1), Guardar(2)};
    return c;
}();

void Escribir(int fd, const std::string &linea)
{
    if (fd < 0)
        return;
    // One write a line: lines from several threads never mix.
    const std::string texto = kitpc::TerminalText(linea) + "\n";
    std::size_t hecho = 0;
    while (hecho < texto.size())
    {
        const ssize_t n = ::write(fd, texto.data() + hecho, texto.size() - hecho);
        if (n <= 0)
            return;
        hecho += static_cast<std::size_t>(n);
    }
}

} // namespace

namespace qelmfc
{
BOOL PrepararUsuarioDelPrograma()
{
    const char *respuestas = std::getenv(kRespuestas);
    if (!respuestas || !*respuestas)
        return TRUE;
    auto guion = std::make_shared<CGuion>();
    if (!guion->Cargar(kitpc::PcText(respuestas)))
    {
        Escribir(g_consola.error, qelmfc::NombrePrograma() + ": las respuestas no sirven: " + guion->Error());
        return FALSE;
    }
    UsarGuion(guion);
    SetTranscripcion([](const std::string &linea) { Escribir(g_consola.salida, linea); });
    return TRUE;
}

BOOL GuionTerminado()
{
    const std::shared_ptr<CGuion> guion = GuionEnUso();
    if (!guion)
        return FALSE;
    if (guion->Concluir())
        return TRUE;
    Transcribir(qelmfc::NombrePrograma() + ": las respuestas no sirven: " + guion->Error());
    return FALSE;
}
} // namespace qelmfc
