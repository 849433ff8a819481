// The router's configuration kept around a firmware update: the dated backup beside the
// wizard, the temporary file the settings are read into afterwards, and the router's
// "code = value" settings of such a file, to tell whether the update changed them.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace asistente
{
// "<wizard folder>\Copias\rom-t-AAAAMMDD-HHMMSS.cfg" for now, the folder made when missing.
std::string NuevaCopiaConfig();
// A new empty file in the temporary folder; empty when none can be made.
std::string TemporalConfig();

// The settings of a configuration file of the router, by code; nothing when it cannot be read.
using AjustesRouter = std::map<std::string, std::string>;
std::optional<AjustesRouter> LeerAjustesRouter(const std::string &fichero);
} // namespace asistente
