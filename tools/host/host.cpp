// QelExec, the wizard's host: loads QelAsist, calls GetIDOfName("asistente") and Invoke, which
// runs the wizard until it closes.
//
//   QelExec [--dir FOLDER] [--unattended ANSWERS.ini [--dry-run]] [--transcript FILE]
//           [--support FILE.zip] [--report FILE.json] [--restore-after-firmware yes|no]
//
// --dir          the folder of QelAsist (default: found by name, as Windows finds a DLL)
//
// The wizard runs in its own folder, as the kit's shortcut starts it: the modem component
// keeps its template and the router's downloaded settings in the current folder.
// --unattended   a scripted user works the pages and answers the boxes (see outside/qelmfc/
//                Guion.h); without it a person does, on screen. KIT_ANSWERS in the environment
//                stands for --unattended when the host starts with no arguments (a restart of
//                the PC starts it so).
// --dry-run      with --unattended: the answers are followed to the summary page, where its
//                "Detalles..." shows what the configuration would change, and the wizard closes
//                there: nothing on the PC or the router is changed
// --transcript   every page, status line and box also written to FILE (Windows 1252)
// --support      the support archive (the kit's logs, the PC, the router, what was shown; every
//                password hidden) written to FILE once the wizard has closed; without
//                --unattended the wizard does not run: the archive is of the PC as it is
// --report       the run as JSON (pages, components' events, boxes, final state, exit code)
//                written to FILE once the wizard has closed
// --restore-after-firmware
//                with --unattended: when a firmware update changed the router's settings, the
//                question whether to put the backup taken before it back is answered so (yes:
//                the backup goes back), whatever the answers file says; without it the answers
//                file answers that box as any other
//
// Each page, status line and message box is printed as it goes. Exit codes:
//   0 the wizard finished (Finalizar), or a dry run showed its preview
//   1 the wizard was cancelled
//   2 the answers ran out (the page is named)  3 the answers file is wrong or does not fit
//   4 the wizard did not open a window (its settings refused, or another wizard was open)
//   5 QelAsist could not be loaded or lacks its entry points
//   6 the support archive alone (--support without --unattended) could not be written
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
#include <vector>

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
    kSinInforme = 6,
    kUso = 64,
};

// The summary page, where a dry run stops after pressing "Detalles..." and closing its box.
constexpr UINT kDialogoResumen = 2013;
constexpr char kPasosVistaPrevia[] = "[Pagina 2013]\n"
                                     "Pulsar=Detalles...\n"
                                     "[Mensaje]\n"
                                     "Texto=Estos son los cambios\n"
                                     "Respuesta=Aceptar\n";

struct Opciones
{
    std::string dir;
    std::string respuestas;
    std::string transcripcion;
    bool vistaPrevia = false;
    std::string soporte;
    std::string informe;
    std::string restaurar; // after a firmware update: "yes", "no" or empty (the script says)
};

int Uso(const std::string &problema)
{
    std::fprintf(
        stderr,
        "QelExec: %s\nuso: QelExec [--dir CARPETA] [--unattended RESPUESTAS.ini [--dry-run]] "
        "[--transcript FICHERO]\n"
        "               [--support FICHERO.zip] [--report FICHERO.json] [--restore-after-firmware yes|no]\n",
        problema.c_str());
    return kUso;
}

// A path of the command line as it names a file from the folder the host was started in (the
// host moves to the wizard's folder before the reports are written).
std::string RutaCompleta(const std::string &ruta)
{
    char completa[MAX_PATH] = "";
    const DWORD n = GetFullPathNameA(ruta.c_str(), sizeof completa, completa, nullptr);
    return n > 0 && n < sizeof completa ? std::string(completa) : ruta;
}

bool LeerOpciones(int argc, char **argv, Opciones &o, std::string &problema)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--dry-run")
        {
            o.vistaPrevia = true;
            continue;
        }
        std::string *destino = arg == "--dir"                      ? &o.dir
                               : arg == "--unattended"             ? &o.respuestas
                               : arg == "--transcript"             ? &o.transcripcion
                               : arg == "--support"                ? &o.soporte
                               : arg == "--report"                 ? &o.informe
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
    for (std::string *ruta : {&o.soporte, &o.informe})
        if (!ruta->empty())
            *ruta = RutaCompleta(*ruta);
    if (argc == 1)
        if (const char *env = std::getenv("KIT_ANSWERS"); env && *env)
            o.respuestas = kitpc::PcText(env);
    if (o.vistaPrevia && o.respuestas.empty())
    {
        problema = "--dry-run va con --unattended";
        return false;
    }
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

int Resultado(const CGuion *guion, bool vistaPrevia)
{
    const qelmfc::FinHoja fin = qelmfc::UltimaHoja();
    if (guion && guion->Fallido())
    {
        Decir("QelExec: las respuestas no sirven: " + guion->Error());
        return kGuionErroneo;
    }
    if (vistaPrevia && fin.cerrada && guion && guion->Completo() && fin.dialogo == kDialogoResumen)
    {
        Decir("QelExec: vista previa hecha en " + LugarFinal(fin) + "; no se ha cambiado nada.");
        return kFinalizado;
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

// One report, written by the library under its name ("soporte", "informe"): true when written.
bool EscribirInforme(CMod &modulo, const char *nombre, const std::vector<std::string> &argumentos)
{
    std::vector<std::basic_string<OLECHAR>> anchos;
    for (const std::string &a : argumentos)
    {
        const int n = MultiByteToWideChar(CP_ACP, 0, a.c_str(), -1, nullptr, 0);
        std::basic_string<OLECHAR> ancho(static_cast<std::size_t>(n), OLECHAR(0));
        MultiByteToWideChar(CP_ACP, 0, a.c_str(), -1, ancho.data(), n);
        anchos.push_back(std::move(ancho));
    }
    std::vector<LPCOLESTR> punteros;
    for (const auto &a : anchos)
        punteros.push_back(a.c_str());
    std::basic_string<OLECHAR> ancho(nombre, nombre + std::char_traits<char>::length(nombre));
    LONG id = 0;
    const bool escrito = SUCCEEDED(modulo.GetIDOfName(ancho.c_str(), 0, id)) &&
                         SUCCEEDED(modulo.Invoke(id, 0, 0, static_cast<UINT>(punteros.size()),
                                                 punteros.data(), nullptr, nullptr, nullptr));
    Decir(escrito ? "QelExec: escrito " + argumentos.front() + "."
                  : "QelExec: no se ha podido escribir " + argumentos.front() + ".");
    return escrito;
}

// The reports asked for, after the run: true when every one was written.
bool EscribirInformes(CMod &modulo, const Opciones &o, int salida)
{
    bool escritos = true;
    if (!o.informe.empty())
        escritos = EscribirInforme(modulo, "informe", {o.informe, std::to_string(salida)}) && escritos;
    if (!o.soporte.empty())
        escritos = EscribirInforme(modulo, "soporte", {o.soporte}) && escritos;
    return escritos;
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
        if (!guion->Cargar(o.respuestas) ||
            (o.vistaPrevia && !guion->TerminarEn(kDialogoResumen, kPasosVistaPrevia)))
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
    if (!o.soporte.empty() && !guion)
        ExitProcess(EscribirInforme(modulo, "soporte", {o.soporte}) ? kFinalizado : kSinInforme);
    qelmfc::OlvidarUltimaHoja();
    modulo.Invoke(id, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    const int salida = Resultado(guion.get(), o.vistaPrevia);
    qelmfc::UsarGuion(nullptr);
    EscribirInformes(modulo, o, salida);
    // Ended as Windows ends a process: a component's worker still finishing (the wizard closed
    // mid-run) never meets its library unloaded or its static objects destroyed.
    ExitProcess(static_cast<UINT>(salida));
}
