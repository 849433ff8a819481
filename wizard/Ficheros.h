// Whole files of the PC read and written at once, and the router's configuration file read as
// its settings: what the preview, the support reports and the firmware backup share.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace asistente
{
// The whole file (others may have it open for writing, as a trace log is); false when it cannot
// be read.
bool LeerFichero(const std::string &ruta, std::string &bytes);
// The file made anew with those bytes; false (GetLastError says why) when it cannot be.
bool EscribirFichero(const std::string &ruta, const std::string &bytes);

// A folder of the temporary folder of its own ("<prefix><process>-<tick>"), emptied and removed
// when it goes; Hecha() is false when none could be made.
class CCarpetaAuxiliar
{
  public:
    explicit CCarpetaAuxiliar(const std::string &prefijo);
    ~CCarpetaAuxiliar();
    CCarpetaAuxiliar(const CCarpetaAuxiliar &) = delete;
    CCarpetaAuxiliar &operator=(const CCarpetaAuxiliar &) = delete;

    bool Hecha() const { return !m_ruta.empty(); }
    const std::string &Ruta() const { return m_ruta; }
    std::string Fichero(const std::string &nombre) const { return m_ruta + "\\" + nombre; }

  private:
    std::string m_ruta;
};

// The router's settings in file order: its numbered "code = value" lines, code and value without
// their blanks; every other line (the router's comments) is left out.
using AjusteRouter = std::pair<std::string, std::string>;
std::vector<AjusteRouter> AjustesDelRouter(std::string_view texto);
} // namespace asistente
