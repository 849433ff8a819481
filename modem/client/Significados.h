// What the modem module's result texts mean, in the words the wizard would use, and how the
// command-line clients print an event of either control.
#pragma once

#include "platform/kit/kitconsole.h"

#include <string>

namespace modemclient
{
struct Significado
{
    const char *pszTexto;
    const char *pszSignificado;
};

inline constexpr Significado kSignificados[] = {
    {"msg1", "correcto"},
    {"msg2", "cancelado"},
    {"msg3", "sin conexión con el módem-router"},
    {"msg4", "error en la transferencia"},
    {"msg5", "el módem-router rechazó el acceso o cortó la conexión"},
    {"msg6", "la consola del módem-router no responde"},
    {"msg7", "puerto serie abierto"},
    {"msg8", "enviando la contraseña a la consola"},
    {"Error", "error"},
};

inline const char *SignificadoDe(const std::string &texto)
{
    for (const Significado &s : kSignificados)
        if (texto == s.pszTexto)
            return s.pszSignificado;
    return nullptr;
}

// One event as it comes: its name, result and text, and the text's meaning when it has one.
template <class Evento> void Imprimir(const Evento &evento)
{
    const char *pszSignificado = SignificadoDe(evento.strTexto);
    if (evento.strNombre == "ProgressDone")
        kitpc::Say("  ProgressDone(\"%s\")%s%s\n", evento.strTexto.c_str(), pszSignificado ? "  " : "",
                   pszSignificado ? pszSignificado : "");
    else if (pszSignificado)
        kitpc::Say("  %s(%d, \"%s\")  %s: %s\n", evento.strNombre.c_str(), static_cast<int>(evento.bOk),
                   evento.strTexto.c_str(), evento.strTexto.c_str(), pszSignificado);
    else
        kitpc::Say("  %s(%d, \"%s\")\n", evento.strNombre.c_str(), static_cast<int>(evento.bOk),
                   evento.strTexto.c_str());
}
} // namespace modemclient
