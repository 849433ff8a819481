// The process's Qt application, the clock factor and the text conversions.
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Interfaz.h"

#include "platform/windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace qelmfc
{
namespace
{
bool HayPantalla()
{
    const char *x = std::getenv("DISPLAY");
    const char *w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

std::mutex g_transcripcionLock;
Transcripcion g_transcripcion;
std::shared_ptr<CGuion> g_guion;
FinHoja g_ultimaHoja;
} // namespace

void AsegurarAplicacion()
{
    if (QApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && (g_guion || !HayPantalla()))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; a session without one gets a temporary one.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
    {
        static QTemporaryDir runtime;
        if (runtime.isValid())
            qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    // Qt keeps argc and argv for the application's life, which is the process's.
    static int argc = 1;
    static char nombre[] = "kit";
    static char *argv[] = {nombre, nullptr};
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

QString Texto(const std::string &ansi)
{
    if (ansi.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::u16string ancho(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), ancho.data(), n);
    return QString::fromUtf16(ancho.data(), n);
}

std::string Ansi(const QString &texto)
{
    if (texto.isEmpty())
        return {};
    const auto *ancho = reinterpret_cast<const WCHAR *>(texto.utf16());
    const int n =
        WideCharToMultiByte(CP_ACP, 0, ancho, static_cast<int>(texto.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, ancho, static_cast<int>(texto.size()), ansi.data(), n, nullptr, nullptr);
    return ansi;
}

BOOL BombearHasta(const std::function<bool()> &done, DWORD ms)
{
    AsegurarAplicacion();
    if (done())
        return TRUE;
    QElapsedTimer reloj;
    reloj.start();
    QEventLoop bucle;
    QTimer vistazo;
    bool hecho = false;
    QObject::connect(&vistazo, &QTimer::timeout, &bucle, [&] {
        hecho = done();
        if (hecho || reloj.elapsed() >= static_cast<qint64>(ms))
            bucle.quit();
    });
    vistazo.start(2);
    bucle.exec();
    return hecho ? TRUE : FALSE;
}

void SetTranscripcion(Transcripcion transcripcion)
{
    std::lock_guard<std::mutex> guard(g_transcripcionLock);
    g_transcripcion = std::move(transcripcion);
}

void Transcribir(const std::string &linea)
{
    AnotarLinea(linea);
    Transcripcion copia;
    {
        std::lock_guard<std::mutex> guard(g_transcripcionLock);
        copia = g_transcripcion;
    }
    if (copia)
        copia(linea);
}

void UsarGuion(std::shared_ptr<CGuion> guion)
{
    g_guion = std::move(guion);
}

std::shared_ptr<CGuion> GuionEnUso()
{
    return g_guion;
}

FinHoja UltimaHoja()
{
    return g_ultimaHoja;
}

void OlvidarUltimaHoja()
{
    g_ultimaHoja = FinHoja();
}

void RegistrarFinHoja(const FinHoja &fin)
{
    g_ultimaHoja = fin;
}
} // namespace qelmfc
