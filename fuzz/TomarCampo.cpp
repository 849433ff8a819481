// Arbitrary screens, labels and word numbers through the field reader: a field is empty or one
// word (no blank in it) of the line that holds the label, found in the screen's text.
#include "modem/PantallaConsola.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte is the word's number (0 to 15), then the label up to a NUL, then the screen.
    const int nPalabra = data[0] & 0x0F;
    const std::string_view resto(reinterpret_cast<const char *>(data) + 1, size - 1);
    const size_t nFin = resto.find('\0');
    const std::string_view etiqueta = resto.substr(0, nFin);
    const std::string_view pantalla =
        nFin == std::string_view::npos ? std::string_view() : resto.substr(nFin + 1);
    const std::string palabra = TomarCampo(pantalla, etiqueta, nPalabra);
    if (palabra.empty())
        return 0;
    if (nPalabra < 1 || palabra.find(' ') != std::string::npos ||
        pantalla.find(palabra) == std::string_view::npos)
        std::abort();
    return 0;
}
