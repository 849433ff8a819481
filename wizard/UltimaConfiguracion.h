// The values of the last completed configuration (the application registry's names ending in
// "1"), which prefill the pages of a new run; and storing them when a configuration ends well.
#pragma once

#include "platform/windows.h"

#include <string>

class CDatosAsistente;

struct CUltimaConfiguracion
{
    DWORD ModoConf = 0, ModoDirec = 0;
    DWORD Dhcp = 0xFFFFFFFF; // 0 or 1 when the last configuration chose one
    std::string IpPublica, MaskPublica, IpGestion, MaskGestion;
    std::string IpPrivada, MaskPrivada, NIC, Username;

    // Reads them from the application registry; what cannot be read stays empty.
    static CUltimaConfiguracion Leer();
    // Stores what a configuration that ended well leaves for the next run.
    static void Guardar(const CDatosAsistente &datos);
};
