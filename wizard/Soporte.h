// The support bundle (one zip archive of everything a technician needs to see what happened:
// the kit's logs, the PC, its TCP/IP, its routes and dial-up connection, the router's settings,
// what the user was shown) and the run report (the run as JSON: pages, components' events,
// message boxes, the final state and the exit code). Both hide every password of the run.
#pragma once

#include <string>

namespace soporte
{
// Writes the archive; false with the reason when it could not be written.
bool EscribirPaquete(const std::string &fichero, std::string &motivo);
// Writes the run report of a run that ended with that exit code of its host.
bool EscribirInforme(const std::string &fichero, int salida, std::string &motivo);
// "Informe-AAAAMMDD-HHMMSS.zip": the name the error page gives the archive beside the wizard.
std::string NombreFechado();
} // namespace soporte
