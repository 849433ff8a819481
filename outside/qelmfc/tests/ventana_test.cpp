// The picture window: its size from the bitmap, its caption from the template, its lines drawn
// over the picture from another thread and kept at every repaint.
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/VentanaImagen.h"

#include "testing/kittest.h"

#include <QImage>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr UINT kPlantilla = 200;
constexpr int kAncho = 400, kAlto = 300;
constexpr int kDerecha = 20;
constexpr COLORREF kVerde = RGB(0, 255, 0);
const QRgb kArriba = qRgb(0, 0, 128), kAbajo = qRgb(96, 0, 48);

void Poner16(std::string &s, std::size_t at, unsigned v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Poner32(std::string &s, std::size_t at, unsigned v)
{
    Poner16(s, at, v & 0xFFFF);
    Poner16(s, at + 2, v >> 16);
}

// A 24-bit bottom-up BMP of two bands: the upper half kArriba, the lower kAbajo.
std::string Bmp(int ancho, int alto)
{
    const int fila = (ancho * 3 + 3) & ~3;
    std::string s(54 + static_cast<std::size_t>(fila) * alto, '\0');
    s[0] = 'B';
    s[1] = 'M';
    Poner32(s, 2, static_cast<unsigned>(s.size()));
    Poner32(s, 10, 54);
    Poner32(s, 14, 40);
    Poner32(s, 18, static_cast<unsigned>(ancho));
    Poner32(s, 22, static_cast<unsigned>(alto));
    Poner16(s, 26, 1);
    Poner16(s, 28, 24);
    for (int y = 0; y < alto; ++y)
    {
        const QRgb color = y < alto / 2 ? kArriba : kAbajo;
        const std::size_t inicio = 54 + static_cast<std::size_t>(alto - 1 - y) * fila;
        for (int x = 0; x < ancho; ++x)
        {
            s[inicio + x * 3] = static_cast<char>(qBlue(color));
            s[inicio + x * 3 + 1] = static_cast<char>(qGreen(color));
            s[inicio + x * 3 + 2] = static_cast<char>(qRed(color));
        }
    }
    return s;
}

std::string Fichero(const std::string &nombre)
{
    return kittest::MachineDir() + "/" + nombre;
}

std::string Bitmap()
{
    const std::string ruta = Fichero("Bitmap.bmp");
    EXPECT_TRUE(kittest::WriteHostFile(ruta, Bmp(kAncho, kAlto)));
    return ruta;
}

struct Transcripcion
{
    std::vector<std::string> lineas;
    Transcripcion()
    {
        qelmfc::SetTranscripcion([this](const std::string &linea) { lineas.push_back(linea); });
    }
    ~Transcripcion() { qelmfc::SetTranscripcion(nullptr); }
};

int Verdes(const QImage &imagen, int x0, int x1, int y0, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if ((imagen.pixel(x, y) & 0xFFFFFF) == 0x00FF00)
                ++n;
    return n;
}
} // namespace

TEST(CVentanaImagenTest, ThreeGreenLinesRightAlignedOverThePicture)
{
    const std::string bitmap = Bitmap();
    Transcripcion t;
    CVentanaImagen ventana;
    ASSERT_TRUE(ventana.Crear(nullptr, kPlantilla, bitmap));
    EXPECT_TRUE(IsWindow(ventana.GetSafeHwnd()));
    char titulo[64] = {};
    GetWindowTextA(ventana.GetSafeHwnd(), titulo, sizeof titulo);
    EXPECT_STREQ(titulo, "Desinstalación");
    const SIZE tamano = ventana.Tamano();
    EXPECT_EQ(tamano.cx, kAncho);
    EXPECT_EQ(tamano.cy, kAlto);

    // Laid out as the uninstaller lays out its progress lines.
    const std::vector<std::string> textos = {"Eliminando registro de componentes...", "Borrando ficheros...",
                                             "Borrando entradas del registro..."};
    int alto = 0;
    std::vector<int> anchos;
    for (const std::string &texto : textos)
    {
        const SIZE s = ventana.MedirTexto(texto);
        anchos.push_back(s.cx);
        alto = std::max(alto, static_cast<int>(s.cy));
    }
    ASSERT_GT(alto, 8);
    EXPECT_GT(anchos[0], anchos[1]); // a longer text is wider
    const int hueco = (180 - 3 * alto) / 4;
    std::vector<int> filas;
    for (int i = 0; i < 3; ++i)
        filas.push_back(100 + hueco + i * (alto + hueco));

    std::thread trabajador([&] {
        for (int i = 0; i < 3; ++i)
            ventana.DibujarLinea(i, textos[i], filas[i], kDerecha, kVerde);
    });
    trabajador.join();
    qelmfc::BombearHasta([] { return false; }, 50);

    const std::string png = Fichero("desinstalar-progreso.png");
    ASSERT_TRUE(ventana.Capturar(png));
    const QImage imagen(QString::fromLocal8Bit(png.c_str()));
    ASSERT_EQ(imagen.width(), kAncho);
    ASSERT_EQ(imagen.height(), kAlto);
    // The picture where there is no text, its upper band on top.
    EXPECT_EQ(imagen.pixel(5, 5) & 0xFFFFFF, kArriba & 0xFFFFFF);
    EXPECT_EQ(imagen.pixel(5, kAlto - 5) & 0xFFFFFF, kAbajo & 0xFFFFFF);
    EXPECT_EQ(imagen.pixel(kAncho - 5, filas[1] + alto / 2) & 0xFFFFFF, kAbajo & 0xFFFFFF);
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(textos[i]);
        const int fin = kAncho - kDerecha;
        // Green near the right edge of the line's row, none past the line's end or before its start.
        EXPECT_GT(Verdes(imagen, fin - 40, fin, filas[i], filas[i] + alto), 10);
        EXPECT_EQ(Verdes(imagen, fin + 2, kAncho, filas[i], filas[i] + alto), 0);
        EXPECT_GT(Verdes(imagen, fin - anchos[i], fin - anchos[i] + 15, filas[i], filas[i] + alto), 0);
        EXPECT_EQ(Verdes(imagen, 0, fin - anchos[i] - 2, filas[i], filas[i] + alto), 0);
    }
    // Nothing green above the first line nor between the lines.
    EXPECT_EQ(Verdes(imagen, 0, kAncho, 0, filas[0] - 1), 0);
    EXPECT_EQ(Verdes(imagen, 0, kAncho, filas[0] + alto + 1, filas[1] - 1), 0);

    ASSERT_FALSE(t.lineas.empty());
    EXPECT_EQ(t.lineas.front(), "== Ventana «Desinstalación» (400×300)");
    const std::vector<std::string> esperadas = {"   · " + textos[0], "   · " + textos[1],
                                                "   · " + textos[2]};
    EXPECT_EQ(std::vector<std::string>(t.lineas.begin() + 1, t.lineas.end()), esperadas);
    ventana.Destruir();
}

TEST(CVentanaImagenTest, LinesAreKeptAndARedrawnLineReplacesItsIndex)
{
    CVentanaImagen ventana;
    ASSERT_TRUE(ventana.Crear(nullptr, kPlantilla, Bitmap()));
    ventana.DibujarLinea(0, "Primera línea larga de prueba", 110, kDerecha, kVerde);
    ventana.DibujarLinea(0, "Corta", 110, kDerecha, RGB(255, 0, 0));
    qelmfc::BombearHasta([] { return false; }, 30);
    const std::string png = Fichero("lineas.png");
    ASSERT_TRUE(ventana.Capturar(png));
    const QImage imagen(QString::fromLocal8Bit(png.c_str()));
    // The second drawing of line 0 replaced the first: red, not green.
    EXPECT_EQ(Verdes(imagen, 0, kAncho, 100, 140), 0);
    int rojos = 0;
    for (int y = 100; y < 140; ++y)
        for (int x = 0; x < kAncho; ++x)
            rojos += (imagen.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
    EXPECT_GT(rojos, 5);
}

TEST(CVentanaImagenTest, AMissingOrBadBitmapOrTemplateShowsNothing)
{
    Transcripcion t;
    CVentanaImagen sinFichero;
    EXPECT_FALSE(sinFichero.Crear(nullptr, kPlantilla, Fichero("no-existe.bmp")));
    EXPECT_EQ(sinFichero.GetSafeHwnd(), nullptr);
    EXPECT_EQ(sinFichero.Tamano().cx, 0);

    const std::string malo = Fichero("malo.bmp");
    ASSERT_TRUE(kittest::WriteHostFile(malo, Bmp(40, 30).substr(0, 40)));
    CVentanaImagen danado;
    EXPECT_FALSE(danado.Crear(nullptr, kPlantilla, malo));
    EXPECT_EQ(danado.GetSafeHwnd(), nullptr);

    CVentanaImagen sinPlantilla;
    EXPECT_FALSE(sinPlantilla.Crear(nullptr, 4109, Bitmap()));
    EXPECT_EQ(sinPlantilla.GetSafeHwnd(), nullptr);
    for (const std::string &linea : t.lineas)
        EXPECT_EQ(linea.find("== Ventana"), std::string::npos) << linea;
}

TEST(CVentanaImagenTest, ADestroyedWindowDrawsAndTranscribesNothing)
{
    Transcripcion t;
    CVentanaImagen ventana;
    ASSERT_TRUE(ventana.Crear(nullptr, kPlantilla, Bitmap()));
    const HWND hwnd = ventana.GetSafeHwnd();
    ventana.Destruir();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(ventana.Tamano().cx, 0);
    ventana.DibujarLinea(0, "tarde", 110, kDerecha, kVerde);
    EXPECT_FALSE(ventana.Capturar(Fichero("nada.png")));
    EXPECT_EQ(t.lineas.size(), 1u);
}
