// QelExec, the wizard's host: loads QelAsist, calls GetIDOfName("asistente") and Invoke, which
// runs the wizard until it closes.
//
//   QelExec [--dir FOLDER] [--unattended ANSWERS.ini] [--transcript FILE]
//           [--restore-after-firmware yes|no]
//
// --dir          the folder of QelAsist (default: found by name, as Windows finds a DLL)
//
// The wizard runs in its own folder, as the kit's shortcut starts it: the modem component
// keeps its template and the router's downloaded settings in the current folder.
// --unattended   a scripted user works the pages and answers the boxes (see outside/qelmfc/
//                Guion.h); without it a person does, on screen. KIT_ANSWERS in the environment
//                stands for --unattended when the host starts with no arguments (a restart of
//                the PC starts it so).
// --transcript   every page, status line and box also written to FILE (Windows 1252)
// --restore-after-firmware
//                with --unattended: when a firmware update changed the router's settings, the
//                question whether to put the backup taken before it back is answered so (yes:
//                the backup goes back), whatever the answers file says; without it the answers
//                file answers that box as any other
//
// Each page, status line and message box is printed as it goes. Exit codes:
//   0 the wizard finished (Finalizar)          1 the wizard was cancelled
//   2 the answers ran out (the page is named)  3 the answers file is wrong or does not fit
//   4 the wizard did not open a window (its settings refused, or another wizard was open)
//   5 QelAsist could not be loaded or lacks its entry points
//  64 the command line is wrong
#include "comun/Mod.h"
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/PropSheet.h"
#include "platform/kit/kitconsole.h"
#include "platform/windows.h"
#include "wizard/resource.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
enum Salida
{
    kFinalizado = 0,
    kCancelado = 1,
    kGuionAgotado = 2,
    kGuionErroneo = 3,
    kSinVentana = 4,
    kSinAsistente = 5,
    kUso = 64,
};

struct Opciones
{
    std::string dir;
    std::string respuestas;
    std::string transcripcion;
    std::string restaurar; // after a firmware update: "yes", "no" or empty (the script says)
};

int Uso(const std::string &problema)
{
    std::fprintf(stderr,
                 "QelExec: %s\nuso: QelExec [--dir CARPETA] [--unattended RESPUESTAS.ini] "
                 "[--transcript FICHERO]\n"
                 "               [--restore-after-firmware yes|no]\n",
                 problema.c_str());
    return kUso;
}

bool LeerOpciones(int argc, char **argv, Opciones &o, std::string &problema)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        std::string *destino = arg == "--dir"                      ? &o.dir
                               : arg == "--unattended"             ? &o.respuestas
                               : arg == "--transcript"             ? &o.transcripcion
                               : arg == "--restore-after-firmware" ? &o.restaurar
                                                                   : nullptr;
        if (!destino)
        {
            problema = "opción desconocida " + arg;
            return false;
        }
        if (i + 1 >= argc || !*argv[i + 1])
        {
            problema = arg + " lleva un valor";
            return false;
        }
        *destino = kitpc::PcText(argv[++i]);
    }
    if (argc == 1)
        if (const char *env = std::getenv("KIT_ANSWERS"); env && *env)
            o.respuestas = kitpc::PcText(env);
    if (!o.restaurar.empty() && o.restaurar != "yes" && o.restaurar != "no")
    {
        problema = "--restore-after-firmware es yes o no";
        return false;
    }
    if (!o.restaurar.empty() && o.respuestas.empty())
    {
        problema = "--restore-after-firmware va con --unattended";
        return false;
    }
    return true;
}

// The wizard's question after a firmware update that changed the router's settings, answered
// always the same; its caption is the wizard's own.
void ResponderRestaurar(CGuion &guion, HMODULE asistente, const std::string &respuesta)
{
    char titulo[260] = "";
    LoadStringA(asistente, IDS_FIRM_RESTAURAR_TITULO, titulo, sizeof titulo);
    guion.ResponderSiempre(titulo, respuesta == "yes" ? IDYES : IDNO);
}

void Decir(const std::string &linea)
{
    std::printf("%s\n", kitpc::TerminalText(linea).c_str());
    std::fflush(stdout);
}

// The transcript on the terminal, and in a file when asked.
class Transcripcion
{
  public:
    explicit Transcripcion(const std::string &fichero)
    {
        if (!fichero.empty())
            m_h = CreateFileA(fichero.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                              nullptr);
        qelmfc::SetTranscripcion([this](const std::string &linea) { Escribir(linea); });
    }
    ~Transcripcion()
    {
        qelmfc::SetTranscripcion(nullptr);
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    bool Abierta(const std::string &fichero) const { return fichero.empty() || m_h != INVALID_HANDLE_VALUE; }
    void Escribir(const std::string &linea)
    {
        Decir(linea);
        if (m_h == INVALID_HANDLE_VALUE)
            return;
        const std::string texto = linea + "\r\n";
        DWORD escritos = 0;
        WriteFile(m_h, texto.data(), static_cast<DWORD>(texto.size()), &escritos, nullptr);
    }

  private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

std::string LugarFinal(const qelmfc::FinHoja &fin)
{
    return "la página " + std::to_string(fin.pagina) + " (" + std::to_string(fin.dialogo) + ")";
}

int Resultado(const CGuion *guion)
{
    const qelmfc::FinHoja fin = qelmfc::UltimaHoja();
    if (guion && guion->Fallido())
    {
        Decir("QelExec: las respuestas no sirven: " + guion->Error());
        return kGuionErroneo;
    }
    if (!fin.cerrada)
    {
        Decir("QelExec: el asistente no abrió su ventana.");
        return kSinVentana;
    }
    if (fin.resultado == ID_WIZFINISH)
    {
        Decir("QelExec: el asistente terminó en " + LugarFinal(fin) + ".");
        return kFinalizado;
    }
    if (guion && guion->Completo())
    {
        Decir("QelExec: fin de las respuestas en " + LugarFinal(fin) + ".");
        return kGuionAgotado;
    }
    Decir("QelExec: el asistente se canceló en " + LugarFinal(fin) + ".");
    return kCancelado;
}

// The current folder becomes the library's own.
void EntrarEnSuCarpeta(HMODULE modulo)
{
    char ruta[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(modulo, ruta, sizeof ruta);
    if (n == 0 || n >= sizeof ruta)
        return;
    char *barra = nullptr;
    for (char *c = ruta; *c; ++c)
        if (*c == '\\' || *c == '/')
            barra = c;
    if (barra)
    {
        *barra = '\0';
        SetCurrentDirectoryA(ruta);
    }
}
} // namespace

int main(int argc, char **argv)
{
    Opciones o;
    std::string problema;
    if (!LeerOpciones(argc, argv, o, problema))
        return Uso(problema);

    std::shared_ptr<CGuion> guion;
    if (!o.respuestas.empty())
    {
        guion = std::make_shared<CGuion>();
        if (!guion->Cargar(o.respuestas))
        {
            Decir("QelExec: las respuestas no sirven: " + guion->Error());
            return kGuionErroneo;
        }
        qelmfc::UsarGuion(guion);
    }
    Transcripcion transcripcion(o.transcripcion);
    if (!transcripcion.Abierta(o.transcripcion))
        return Uso("no se puede escribir " + o.transcripcion);

    const std::string biblioteca = o.dir.empty() ? "QelAsist.dll" : o.dir + "\\QelAsist.dll";
    CMod modulo;
    LONG id = 0;
    if (FAILED(modulo.Open(biblioteca.c_str())) || FAILED(modulo.GetIDOfName(OLESTR("asistente"), 0, id)))
    {
        Decir("QelExec: no se puede cargar " + biblioteca + ".");
        return kSinAsistente;
    }
    EntrarEnSuCarpeta(modulo.VerHMODULE());
    if (guion && !o.restaurar.empty())
        ResponderRestaurar(*guion, modulo.VerHMODULE(), o.restaurar);
    qelmfc::OlvidarUltimaHoja();
    modulo.Invoke(id, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    const int salida = Resultado(guion.get());
    qelmfc::UsarGuion(nullptr);
    // Ended as Windows ends a process: a component's worker still finishing (the wizard closed
    // mid-run) never meets its library unloaded or its static objects destroyed.
    ExitProcess(static_cast<UINT>(salida));
}
