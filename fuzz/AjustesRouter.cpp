// Arbitrary bytes as the router's configuration file, read as its settings the way the preview,
// the firmware backup's check and the support reports read it: nothing is read outside the
// text, every setting is a numbered code with a value without blanks at its ends, and a
// setting's code and value are the line's own text.
#include "wizard/Ficheros.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace
{
void Exigir(bool condicion)
{
    if (!condicion)
        std::abort();
}

bool Blanco(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view texto(reinterpret_cast<const char *>(data), size);
    size_t lineas = 1;
    for (char c : texto)
        lineas += c == '\n';
    const auto ajustes = asistente::AjustesDelRouter(texto);
    Exigir(ajustes.size() <= lineas);
    for (const auto &[codigo, valor] : ajustes)
    {
        Exigir(!codigo.empty());
        for (char c : codigo)
            Exigir(c >= '0' && c <= '9');
        Exigir(valor.empty() || (!Blanco(valor.front()) && !Blanco(valor.back())));
        Exigir(valor.find('\n') == std::string::npos);
        Exigir(texto.find(codigo) != std::string_view::npos && texto.find(valor) != std::string_view::npos);
    }
    return 0;
}
