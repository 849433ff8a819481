// What the support report and the run report gather from the PC, the router and the run: each
// piece as the bytes it will be written with, or the reason it could not be had. One set of
// collectors for both reports.
#pragma once

#include "wizard/Secretos.h"

#include <string>
#include <utility>
#include <vector>

namespace soporte
{
struct Pieza
{
    explicit Pieza(std::string n = {}, std::string b = {}) : nombre(std::move(n)), bytes(std::move(b)) {}

    std::string nombre; // its name in the archive ("rutas.txt")
    std::string bytes;
    std::string falta; // not empty: it could not be had, and why
    std::string nota;  // where it came from, when that is not the usual place
};

// The router's settings: downloaded through the modem component into a scratch folder, else
// the copy the wizard downloaded beside it ("router.cfg").
Pieza AjustesRouter();
// The PC's TCP/IP settings: the registry keys of its family's layout ("registro/tcpip.reg").
Pieza RegistroTcpip();
// The routing table as `route PRINT` shows it ("rutas.txt").
Pieza Rutas();
// The dial-up connections of the phone book with their dial parameters ("ras.txt").
Pieza AgendaRas();
// The EnterNet client's profiles, when it is installed ("enternet.ini").
Pieza PerfilEnterNet();
// The kit's trace logs of the temporary folder ("trazas/DaxModem.txt"...).
std::vector<Pieza> Trazas();
// Windows version, computer name and user ("pc.txt").
Pieza Identidad();
// The kit's registry keys and the start-up entries ("registro/kit.reg").
Pieza RegistroKit();
// What the user was shown so far ("transcripcion.txt").
Pieza Transcripcion();

// The passwords this run knows by value: the run record's, the router's (its initial one too),
// the saved answers', the plan's PPPoE password and the dial-up connections'.
CSecretos SecretosDeLaEjecucion();
// Every piece learnt from, then hidden.
void Ocultar(CSecretos &secretos, std::vector<Pieza> &piezas);
} // namespace soporte
