// The preview of a configuration run: what the run would change on the PC and on the router,
// found by the components themselves without changing anything. The TCP/IP module writes into
// its deferred-change file instead of the registry, the modem module generates the file it
// would upload and downloads the router's current one; the dial-up connection and the routes
// are described from the run record. What a component changes all the same is put back.
#pragma once

#include "platform/windows.h"
#include "wizard/Ficheros.h"

#include <string>
#include <utility>
#include <vector>

class CDatosAsistente;

namespace vistaprevia
{
// The values of a registry key and its subkeys, taken to be put back: values that changed or
// went are written again, values that appeared are deleted. Keys that appeared are left.
class CCopiaRegistro
{
  public:
    void Tomar(HKEY raiz, const std::string &clave);
    void Restaurar() const;

  private:
    struct Valor
    {
        std::string clave, nombre;
        DWORD tipo = 0;
        std::vector<BYTE> datos;
        bool operator==(const Valor &) const = default;
    };
    static void Leer(HKEY raiz, const std::string &clave, std::vector<Valor> &valores);

    HKEY m_raiz = nullptr;
    std::string m_clave;
    std::vector<Valor> m_valores;
};

// A file taken to be put back as it was: its bytes written again, or the file removed when there
// was none.
class CCopiaFichero
{
  public:
    void Tomar(const std::string &ruta);
    void Restaurar() const;

  private:
    std::string m_ruta;
    bool m_bHabia = false;
    std::string m_bytes;
};

// The router's settings that change, one "code: current -> new" line each (passwords as
// "********", an empty value as "(vacío)"), and how many stay as they are; a code only one side
// has shows "(no está)".
struct CambiosRouter
{
    std::vector<std::string> lineas;
    size_t iguales = 0;
};
CambiosRouter CompararAjustes(const std::vector<asistente::AjusteRouter> &actuales,
                              const std::vector<asistente::AjusteRouter> &nuevos);

// The routes the route fixer will add for the run record (one PC with static addressing); none
// otherwise.
std::vector<std::string> RutasDelPlan(const CDatosAsistente &datos);

// The lines of a REGEDIT4 file as it stands, without its line ends and empty lines.
std::vector<std::string> LineasRegistro(const std::string &texto);

// The parts of the preview's text, each a title and its lines (indented when shown).
struct Seccion
{
    std::string titulo;
    std::vector<std::string> lineas;
};
std::string Componer(const std::string &cabecera, const std::vector<Seccion> &secciones);
} // namespace vistaprevia
