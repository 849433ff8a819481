// The binding's user interface on Windows: the message loop of the calling thread, the clock
// factor, the transcript, and the user of a stand-alone program (a person: the scripted user
// of the Qt binding is not part of this build).
#include "outside/qelmfc/Comunes.h"
#include "outside/qelmfc/Interfaz.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>

namespace
{
constexpr const char *kRespuestas = "KIT_ANSWERS";
// How often the condition of BombearHasta is looked at while no message comes.
constexpr DWORD kVistazo = 5;

std::mutex g_transcripcionLock;
qelmfc::Transcripcion g_transcripcion;

// One line on a standard handle, if the program was given one (a WinMain program may have none).
void Escribir(DWORD estandar, const std::string &linea)
{
    const HANDLE h = GetStdHandle(estandar);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return;
    const std::string texto = linea + "\r\n";
    DWORD escritos = 0;
    WriteFile(h, texto.data(), static_cast<DWORD>(texto.size()), &escritos, nullptr);
}
} // namespace

namespace qelmfc
{
// The thread's messages are dispatched as they come; done() is looked at after each batch and
// every few milliseconds in between, as nothing signals it.
BOOL BombearHasta(const std::function<bool()> &done, DWORD ms)
{
    const DWORD inicio = GetTickCount();
    for (;;)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                // Left for the thread's own loop, which ends on it.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return done() ? TRUE : FALSE;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return TRUE;
        DWORD espera = kVistazo;
        if (ms != INFINITE)
        {
            const DWORD pasado = GetTickCount() - inicio;
            if (pasado >= ms)
                return FALSE;
            espera = std::min(espera, ms - pasado);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, espera, QS_ALLINPUT);
    }
}

void SetTranscripcion(Transcripcion transcripcion)
{
    std::lock_guard<std::mutex> guard(g_transcripcionLock);
    g_transcripcion = std::move(transcripcion);
}

void Transcribir(const std::string &linea)
{
    Transcripcion copia;
    {
        std::lock_guard<std::mutex> guard(g_transcripcionLock);
        copia = g_transcripcion;
    }
    if (copia)
        copia(linea);
}

BOOL PrepararUsuarioDelPrograma()
{
    const char *respuestas = std::getenv(kRespuestas);
    if (!respuestas || !*respuestas)
        return TRUE;
    // An answers file would go unread and the boxes would wait for a person: say so, at once.
    Escribir(STD_ERROR_HANDLE, qelmfc::NombrePrograma() +
                                   ": las respuestas no sirven: este programa no tiene usuario guionizado (" +
                                   kRespuestas + ")");
    return FALSE;
}

BOOL GuionTerminado()
{
    return FALSE;
}
} // namespace qelmfc
