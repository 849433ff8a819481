// What the two bindings of QelMFC share: the program's name and the user interface's clock.
#include "outside/qelmfc/Comunes.h"
#include "outside/qelmfc/Interfaz.h"

#include "platform/windows.h"

#include <cstdlib>

namespace qelmfc
{
std::string NombrePrograma()
{
    char ruta[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, ruta, sizeof ruta);
    std::string nombre(ruta, n < sizeof ruta ? n : 0);
    const std::size_t barra = nombre.find_last_of("\\/");
    if (barra != std::string::npos)
        nombre.erase(0, barra + 1);
    const std::size_t punto = nombre.rfind('.');
    if (punto != std::string::npos && punto > 0)
        nombre.erase(punto);
    return nombre.empty() ? std::string("programa") : nombre;
}

double FactorReloj()
{
    static const double factor = [] {
        const char *texto = std::getenv("KIT_UI_CLOCK");
        if (!texto || !*texto)
            return 1.0;
        char *fin = nullptr;
        const double valor = std::strtod(texto, &fin);
        return (fin && *fin == '\0' && valor > 0.0 && valor <= 1.0) ? valor : 1.0;
    }();
    return factor;
}
} // namespace qelmfc
