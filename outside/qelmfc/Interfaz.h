// The binding's user interface as a whole: its one thread, its clock, and the provider that
// answers message boxes and file dialogs, on screen or from a script.
#pragma once

#include "outside/qelmfc/Export.h"
#include "platform/windows.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CGuion;

namespace qelmfc
{
// The binding's one documented clock factor: the environment variable KIT_UI_CLOCK, a number
// greater than 0 and at most 1 (default 1), multiplies every window timer's interval, so tests
// run the pages' timed steps faster without changing their logic.
QELMFC_API double FactorReloj();

// Runs the user-interface loop of the calling thread (posted calls, timers, repaints) until
// done() is true or ms milliseconds have passed; TRUE when done() became true. For hosts and
// tests that wait for a window's work outside a modal loop.
QELMFC_API BOOL BombearHasta(const std::function<bool()> &done, DWORD ms);

// What the user sees, one line at a time (Windows 1252): each page as it is shown, each status
// line a page changes, each message box with its answer. The default writes nothing.
using Transcripcion = std::function<void(const std::string &linea)>;
QELMFC_API void SetTranscripcion(Transcripcion transcripcion);
QELMFC_API void Transcribir(const std::string &linea);

// What was shown so far in this process, kept whether or not a transcript is set, for the
// support report: every transcript line, each page shown and each message box with its answer,
// each with the tick count (GetTickCount) it came at.
struct LineaVista
{
    DWORD ms = 0;
    std::string texto;
};
struct PaginaVista
{
    DWORD ms = 0;
    int indice = -1;
    UINT dialogo = 0;
    std::string titulo;
};
struct MensajeVisto
{
    DWORD ms = 0;
    std::string titulo, texto, respuesta;
};
QELMFC_API std::vector<LineaVista> LineasVistas();
QELMFC_API std::vector<PaginaVista> PaginasVistas();
QELMFC_API std::vector<MensajeVisto> MensajesVistos();

// The scripted user: with a script, message boxes and file dialogs are answered from it and
// the pages are worked as it says (choose, type, press); without one (the default), boxes and
// dialogs are shown on screen and a person works the pages. Hosts and tests set it before
// running the wizard; the script is shared with the caller, which may read its state after.
QELMFC_API void UsarGuion(std::shared_ptr<CGuion> guion);
QELMFC_API std::shared_ptr<CGuion> GuionEnUso();

// The user of a stand-alone program, one without the wizard's host, set up by the program
// itself at its start: with KIT_ANSWERS naming an answers file (Guion.h: [Mensaje] and
// [Fichero] steps), message boxes and file dialogs are answered from it and everything shown
// goes to standard output as the wizard's host writes it (kept for the purpose even when the
// program's start-up code lets its console go); without it, a person answers on screen. FALSE,
// with the reason on standard error, when the answers file cannot be read or is wrong.
QELMFC_API BOOL PrepararUsuarioDelPrograma();
// At the program's end: TRUE when a script was used and every one of its steps was done; else
// FALSE, and with a script the reason goes to standard output (the first step left undone, or
// the box it did not expect).
QELMFC_API BOOL GuionTerminado();

// How the last sheet of the process closed: its result (ID_WIZFINISH or IDCANCEL), the page it
// stood on and that page's dialog id; hosts turn it into their exit code.
struct FinHoja
{
    bool cerrada = false; // a sheet ran and closed
    INT_PTR resultado = 0;
    int pagina = -1;
    UINT dialogo = 0;
};
QELMFC_API FinHoja UltimaHoja();
QELMFC_API void OlvidarUltimaHoja();
QELMFC_API void RegistrarFinHoja(const FinHoja &fin);
} // namespace qelmfc
