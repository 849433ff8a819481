// The message boxes of the process: MessageBoxA hands them here. With a script the answer is
// the script's; without one a real box is shown. Either way the box goes to the transcript.
#include "outside/qelmfc/Mensajes.h"
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/Interfaz.h"

#include "platform/kit/kitwindow.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace
{
std::string NombreIcono(UINT tipo)
{
    switch (tipo & MB_ICONMASK)
    {
    case MB_ICONHAND:
        return "error";
    case MB_ICONQUESTION:
        return "pregunta";
    case MB_ICONEXCLAMATION:
        return "aviso";
    case MB_ICONASTERISK:
        return "información";
    default:
        return "sin icono";
    }
}

QMessageBox::Icon IconoQt(UINT tipo)
{
    switch (tipo & MB_ICONMASK)
    {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::ButtonRole Papel(int id)
{
    switch (id)
    {
    case IDOK:
    case IDYES:
    case IDRETRY:
        return QMessageBox::AcceptRole;
    case IDNO:
        return QMessageBox::NoRole;
    case IDCANCEL:
    case IDABORT:
        return QMessageBox::RejectRole;
    default:
        return QMessageBox::ActionRole;
    }
}

// A box closed without pressing a button answers as Windows closes one: Cancel when it has it,
// else No, else its first button.
int RespuestaDeCierre(UINT tipo)
{
    const std::vector<int> botones = qelmfc::BotonesDe(tipo);
    for (int id : {IDCANCEL, IDNO})
        if (std::find(botones.begin(), botones.end(), id) != botones.end())
            return id;
    return botones.front();
}

// A box whose text would not fit on the screen shows it in a scrolling field instead: its first
// paragraph above, the rest below in a fixed-width font, the same buttons under it.
constexpr int kLineasCaja = 24;

int EnPantallaLargo(const std::string &texto, const std::string &titulo, UINT tipo)
{
    QDialog caja;
    caja.setWindowTitle(qelmfc::Texto(titulo));
    auto *columna = new QVBoxLayout(&caja);
    const std::size_t corte = texto.find('\n');
    auto *cabecera = new QLabel(qelmfc::Texto(texto.substr(0, corte)));
    cabecera->setWordWrap(true);
    columna->addWidget(cabecera);
    auto *campo = new QPlainTextEdit(
        qelmfc::Texto(corte == std::string::npos ? std::string() : texto.substr(corte + 1)));
    campo->setReadOnly(true);
    campo->setLineWrapMode(QPlainTextEdit::NoWrap);
    campo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    columna->addWidget(campo);
    auto *botonera = new QDialogButtonBox;
    columna->addWidget(botonera);
    const std::vector<int> botones = qelmfc::BotonesDe(tipo);
    int respuesta = RespuestaDeCierre(tipo);
    for (int id : botones)
    {
        QPushButton *b =
            botonera->addButton(qelmfc::Texto(qelmfc::NombreRespuesta(id)), QDialogButtonBox::ActionRole);
        QObject::connect(b, &QPushButton::clicked, &caja, [&caja, &respuesta, id] {
            respuesta = id;
            caja.accept();
        });
    }
    caja.resize(720, 520);
    caja.exec();
    return respuesta;
}

int EnPantalla(const std::string &texto, const std::string &titulo, UINT tipo)
{
    qelmfc::AsegurarAplicacion();
    if (std::count(texto.begin(), texto.end(), '\n') >= kLineasCaja)
        return EnPantallaLargo(texto, titulo, tipo);
    QMessageBox caja;
    caja.setWindowTitle(qelmfc::Texto(titulo));
    caja.setText(qelmfc::Texto(texto));
    caja.setIcon(IconoQt(tipo));
    const std::vector<int> botones = qelmfc::BotonesDe(tipo);
    std::map<QAbstractButton *, int> respuestas;
    const std::size_t porDefecto = (tipo & MB_DEFMASK) >> 8;
    for (std::size_t i = 0; i < botones.size(); ++i)
    {
        QPushButton *b =
            caja.addButton(qelmfc::Texto(qelmfc::NombreRespuesta(botones[i])), Papel(botones[i]));
        respuestas[b] = botones[i];
        if (i == porDefecto)
            caja.setDefaultButton(b);
    }
    if (tipo & (MB_TOPMOST | MB_SYSTEMMODAL))
        caja.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (tipo & MB_SETFOREGROUND)
    {
        caja.show();
        caja.raise();
        caja.activateWindow();
    }
    caja.exec();
    auto it = respuestas.find(caja.clickedButton());
    return it != respuestas.end() ? it->second : RespuestaDeCierre(tipo);
}

int Proveedor(void *, HWND, const char *texto, const char *titulo, UINT tipo)
{
    std::shared_ptr<CGuion> guion = qelmfc::GuionEnUso();
    int respuesta = guion ? guion->ResponderMensaje(titulo, texto, tipo) : EnPantalla(texto, titulo, tipo);
    // A box the script does not answer (the run has failed) is closed unanswered, so the program
    // takes its safe way out.
    if (!respuesta)
        respuesta = RespuestaDeCierre(tipo);
    std::string botones;
    for (int id : qelmfc::BotonesDe(tipo))
        botones += (botones.empty() ? "" : "/") + qelmfc::NombreRespuesta(id);
    std::string cuerpo = texto;
    for (std::size_t at = cuerpo.find('\n'); at != std::string::npos; at = cuerpo.find('\n', at + 7))
        cuerpo.replace(at, 1, "\n      ");
    qelmfc::AnotarMensaje(titulo, texto, qelmfc::NombreRespuesta(respuesta));
    qelmfc::Transcribir("-- Mensaje «" + std::string(titulo) + "» (" + NombreIcono(tipo) + "; " + botones +
                        "): " + cuerpo + " -> " + qelmfc::NombreRespuesta(respuesta));
    return respuesta;
}

// The library's boxes are the process's from the moment it is loaded.
const bool g_instalado = [] {
    kitwin::SetMessageBoxProvider(Proveedor, nullptr);
    return true;
}();
} // namespace
