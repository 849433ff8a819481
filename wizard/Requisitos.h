// The requirement bits the requirements check sets in the run record (Requisitos).
#pragma once

#include "platform/windows.h"

enum Requisito : DWORD
{
    reqSinNic = 1,              // no network adapter installed
    reqSinNicEnlazada = 2,      // no adapter bound to TCP/IP
    reqSinNicHabilitada = 4,    // no adapter enabled
    reqNicKitNoInstalada = 8,   // the kit's adapter is missing; others are usable
    reqNicKitNoEnlazada = 16,   // the kit's adapter is not bound to TCP/IP
    reqNicKitNoHabilitada = 32, // the kit's adapter is not enabled
    reqSinTcpip = 64,
    reqSinRas = 128,
    reqSinPppoe = 256,          // no PPPoE client
    reqSinAdaptadorPppoe = 512, // no PPPoE client adapter
};

namespace asistente
{
// The PC itself dials the PPPoE connection: one PC with dynamic addressing, being configured.
bool CompruebaPppoe();
} // namespace asistente
