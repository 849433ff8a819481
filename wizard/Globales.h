// What the whole wizard library shares: its module, its texts, its settings file and the run
// record of the one wizard a process runs.
#pragma once

#include "platform/windows.h"

#include <string>

class CModKIT;
class CDatosAsistente;

namespace asistente
{
// The library's module handle (recorded when it is loaded) and its module object.
HMODULE Modulo();
CModKIT &ModuloKit();
CDatosAsistente &Datos();

// A text of the string table, read with the 260-character buffer; a missing string is empty.
std::string Cadena(UINT id);
// Texts of the string table with "%s" filled, as sprintf would.
std::string CadenaCon(UINT id, const std::string &valor);

// The wizard's folder (without the trailing "\") and "Config.ini" in it.
std::string Directorio();
std::string FicheroConfig();
// A value of "Config.ini"; false when the file, the section or the value cannot be read or the
// value is empty.
bool LeerConfig(LPCSTR seccion, LPCSTR clave, std::string &valor);
// "SOFTWARE\NUV\DAX\" followed by "Registro".
std::string ClaveRegistro();

// Windows NT family (platform id 2).
bool EsNT();
// Windows 95, 98 or Me (platform id 1).
bool Es9x();

// Starts a command line as a new process (normal priority, no handles inherited) without
// waiting for it; false when it cannot be started.
bool Lanzar(const std::string &orden);
} // namespace asistente
