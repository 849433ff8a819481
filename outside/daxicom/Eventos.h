// The events the wrappers' components fired in this process, in order: what a run report
// lists. Every wrapper records its component's events as they are fired, before they are
// handed to the parent window.
#pragma once

#include "outside/daxicom/Export.h"
#include "platform/windows.h"

#include <string>
#include <vector>

namespace daxicom
{
struct EventoVisto
{
    DWORD ms = 0;           // GetTickCount when it was fired
    std::string componente; // the ProgID the wrapper made ("DaxModem.SetZyxelConfig")
    DISPID dispid = 0;      // DISPID_EVENTO_START, _END or _PROGRESSDONE
    LONG lStatus = 0;
    std::string texto;
};
DAXICOM_API std::vector<EventoVisto> EventosVistos();
// Called by the wrappers' sinks, on the component's thread.
void AnotarEvento(const std::string &componente, DISPID dispid, LONG lStatus, const std::string &texto);
} // namespace daxicom
