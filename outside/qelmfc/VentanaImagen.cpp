// CVentanaImagen: the picture window, its lines kept and drawn at every repaint.
#include "outside/qelmfc/VentanaImagen.h"
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Imagen.h"
#include "outside/qelmfc/Interfaz.h"

#include "tools/rc/RcFormat.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <map>
#include <mutex>
#include <optional>

using qelmfc::Ansi;
using qelmfc::Texto;

namespace
{
struct Linea
{
    std::string texto;
    int y = 0;
    int derecha = 0;
    COLORREF color = 0;
};

// The system font, the one a window's device context draws with until a font is chosen: a
// bold sans serif 16 pixels high, drawn without smoothing as Windows draws its raster fonts.
QFont FuenteSistema()
{
    QFont fuente;
    fuente.setFamilies({QStringLiteral("System"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                        QStringLiteral("DejaVu Sans")});
    fuente.setPixelSize(13);
    fuente.setBold(true);
    fuente.setStyleStrategy(QFont::NoAntialias);
    return fuente;
}

QColor ColorDe(COLORREF color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// The caption of dialog template id of the module, or none without the template.
std::optional<std::string> TituloDePlantilla(HMODULE modulo, UINT id)
{
    HRSRC recurso = FindResourceA(modulo, MAKEINTRESOURCEA(id), RT_DIALOG);
    const auto *datos =
        recurso ? static_cast<const BYTE *>(LockResource(LoadResource(modulo, recurso))) : nullptr;
    const std::optional<kitrc::Dialog> plantilla =
        datos ? kitrc::ReadDialog(datos, SizeofResource(modulo, recurso)) : std::nullopt;
    if (!plantilla)
        return std::nullopt;
    return Ansi(QString::fromUtf16(plantilla->caption.data(), plantilla->caption.size()));
}

QImage ImagenDeFichero(const std::string &fichero)
{
    auto *hBitmap =
        static_cast<HBITMAP>(LoadImageA(nullptr, fichero.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!hBitmap)
        return {};
    QImage imagen = qelmfc::ImagenDeBitmap(hBitmap);
    DeleteObject(hBitmap);
    return imagen;
}

// The lines drawn so far, by index; written from any thread, read by the window's.
class Lineas
{
  public:
    void Poner(int indice, Linea linea)
    {
        std::lock_guard<std::mutex> guard(lock_);
        lineas_[indice] = std::move(linea);
    }
    std::map<int, Linea> Copia() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return lineas_;
    }
    void Vaciar()
    {
        std::lock_guard<std::mutex> guard(lock_);
        lineas_.clear();
    }

  private:
    mutable std::mutex lock_;
    std::map<int, Linea> lineas_;
};

// The window: the picture stretched over the client area, the lines over it. The user cannot
// close it: the program does when its work is done.
class Lienzo : public QWidget
{
  public:
    Lienzo(QImage imagen, const Lineas &lineas)
        : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
          imagen_(std::move(imagen)), lineas_(lineas)
    {
        setFont(FuenteSistema());
        setCursor(Qt::WaitCursor);
    }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter pintor(this);
        pintor.drawImage(rect(), imagen_);
        pintor.setFont(font());
        for (const auto &[indice, linea] : lineas_.Copia())
        {
            pintor.setPen(ColorDe(linea.color));
            const QRect caja(0, linea.y, width() - linea.derecha, height() - linea.y);
            pintor.drawText(caja, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, Texto(linea.texto));
        }
    }
    void closeEvent(QCloseEvent *evento) override { evento->ignore(); }

  private:
    QImage imagen_;
    const Lineas &lineas_;
};
} // namespace

struct CVentanaImagen::Impl
{
    Lineas lineas;
    Lienzo *ventana = nullptr;
    SIZE tamano{0, 0};
};

CVentanaImagen::CVentanaImagen() : m_p(std::make_unique<Impl>()) {}

CVentanaImagen::~CVentanaImagen()
{
    Destruir();
}

BOOL CVentanaImagen::Crear(HMODULE modulo, UINT idPlantilla, const std::string &bitmap)
{
    if (m_p->ventana)
        return TRUE;
    qelmfc::AsegurarAplicacion();
    const std::optional<std::string> titulo = TituloDePlantilla(modulo, idPlantilla);
    if (!titulo)
    {
        qelmfc::Transcribir("!! no hay plantilla de diálogo " + std::to_string(idPlantilla));
        return FALSE;
    }
    QImage imagen = ImagenDeFichero(bitmap);
    if (imagen.isNull() || !CrearVentana(*titulo, nullptr))
        return FALSE;
    const QSize tamano = imagen.size();
    m_p->ventana = new Lienzo(std::move(imagen), m_p->lineas);
    m_p->ventana->setWindowTitle(Texto(*titulo));
    m_p->ventana->setFixedSize(tamano);
    QRect cliente(QPoint(0, 0), tamano);
    if (const QScreen *pantalla = QGuiApplication::primaryScreen())
        cliente.moveCenter(pantalla->geometry().center());
    m_p->ventana->setGeometry(cliente);
    m_p->tamano = {tamano.width(), tamano.height()};
    m_p->lineas.Vaciar();
    m_p->ventana->show();
    SetForegroundWindow(m_hWnd);
    qelmfc::Transcribir("== Ventana «" + *titulo + "» (" + std::to_string(tamano.width()) + "×" +
                        std::to_string(tamano.height()) + ")");
    return TRUE;
}

SIZE CVentanaImagen::Tamano() const
{
    return m_p->tamano;
}

SIZE CVentanaImagen::MedirTexto(const std::string &texto) const
{
    qelmfc::AsegurarAplicacion();
    const QFontMetrics medida(FuenteSistema());
    return {medida.horizontalAdvance(Texto(texto)), medida.height()};
}

void CVentanaImagen::DibujarLinea(int indice, const std::string &texto, int y, int derecha, COLORREF color)
{
    if (indice < 0)
        return;
    m_p->lineas.Poner(indice, {texto, y, derecha, color});
    // The window's thread repaints; a window that is gone draws nothing.
    const BOOL enVentana = PostCall([this] {
        if (m_p->ventana)
            m_p->ventana->update();
    });
    if (enVentana)
        qelmfc::Transcribir("   · " + texto);
}

BOOL CVentanaImagen::Capturar(const std::string &fichero)
{
    if (!m_p->ventana)
        return FALSE;
    return m_p->ventana->grab().save(Texto(fichero), "PNG") ? TRUE : FALSE;
}

void CVentanaImagen::Destruir()
{
    // The calls still posted go with the window's record, before the widget they would touch.
    DestruirVentana();
    delete m_p->ventana;
    m_p->ventana = nullptr;
    m_p->tamano = {0, 0};
}
