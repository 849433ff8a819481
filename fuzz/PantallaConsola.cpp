// Arbitrary console answers through the screen replay and the field reader: an answer with an
// ESC always draws a whole screen of 25 lines of 80 columns and CR LF, one without is kept as it
// came, and every field taken is one word of the screen's text.
#include "modem/PantallaConsola.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace
{
// The labels of Menu 3.2, with the word each is read at.
constexpr struct
{
    const char *etiqueta;
    int nPalabra;
} kCampos[] = {{"IP Address", 3},
               {"IP Subnet Mask=", 4},
               {"DHCP=", 2},
               {"Client IP Pool Starting Address=", 6},
               {"Size of Client IP Pool", 6},
               {"Primary DNS Server", 4},
               {"Secondary DNS Server", 4}};

void ComprobarPantalla(std::string_view respuesta, const std::string &pantalla)
{
    if (respuesta.find('\x1b') == std::string_view::npos)
    {
        if (pantalla != respuesta)
            std::abort();
        return;
    }
    constexpr size_t kLinea = CPantallaConsola::kColumnas + 2;
    if (pantalla.size() != CPantallaConsola::kFilas * kLinea)
        std::abort();
    for (size_t n = 1; n <= CPantallaConsola::kFilas; ++n)
        if (pantalla.compare(n * kLinea - 2, 2, "\r\n") != 0)
            std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view respuesta(reinterpret_cast<const char *>(data), size);
    const std::string pantalla = TextoDePantalla(respuesta);
    ComprobarPantalla(respuesta, pantalla);
    for (const auto &campo : kCampos)
    {
        const std::string palabra = TomarCampo(pantalla, campo.etiqueta, campo.nPalabra);
        if (palabra.find(' ') != std::string::npos ||
            (!palabra.empty() && pantalla.find(palabra) == std::string::npos))
            std::abort();
    }
    return 0;
}
