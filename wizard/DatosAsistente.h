// CDatosAsistente: the run record. The pages fill it as the user answers; the plans and the
// configuration run read it. One per process, living as long as the library.
#pragma once

#include "platform/windows.h"

#include <string>

class CRegApli;

// Error codes of the last failure (CodigoError), which also say where "Reintentar" goes back.
enum CodigoError : DWORD
{
    errNinguno = 0,
    errModem = 1,           // the router's configuration failed, or its password was refused
    errTcpip = 2,           // the PC's TCP/IP configuration failed
    errRas = 3,             // the dial-up connection could not be made
    errTcpipManual = 4,     // the TCP/IP could not be changed from the manual-address page
    errLecturaTcpip = 5,    // the TCP/IP could not be read, or the password refused while checking
    errFirmware = 6,        // the firmware update failed, or the password refused during it
    errPasswordConsola = 7, // the console refused the password
};

class CDatosAsistente
{
  public:
    CDatosAsistente();
    ~CDatosAsistente();
    CDatosAsistente(const CDatosAsistente &) = delete;
    CDatosAsistente &operator=(const CDatosAsistente &) = delete;

    DWORD ModoConf = 0;  // 0 one PC, 1 several PCs
    DWORD ModoDirec = 0; // 0 static public addressing, 1 dynamic
    DWORD DHCP = 0;      // several PCs: 0 the router's DHCP server, 1 manual addressing
    std::string IpPrivada, MaskPrivada;
    std::string IpPublica, MaskPublica;
    std::string Username, Password;
    std::string PasswordRouter; // the router's password the user typed (page 22); not saved
    std::string NIC;
    std::string PuertoSerie;
    std::string IpRouter;
    std::string MaskRouter;
    std::string IpGestion, MaskGestion;
    std::string FichFirmware;
    DWORD CodigoError = errNinguno;
    std::string TextoError;
    DWORD Requisitos = 0;
    IUnknown *ParamModem = nullptr; // RouterParam, held
    IUnknown *ParamTcpip = nullptr; // TcpipParam, held
    DWORD PaginaEventos = 0;        // page that gets the modem component's events: 12, 17 or 19
    DWORD RutasFallidas = 0;
    DWORD Operacion = 0; // 0 configure, 1 update the firmware
    std::string ListaPuertos;
    std::string ListaDirecciones;
    std::string IpRouterConsola, MaskRouterConsola, IpPcConsola;

    std::string LanRouter; // the router's LAN address in ParamModem when it was released

    // The parameter objects: the record holds one reference to each, released when replaced.
    void SetParamModem(IUnknown *p);
    void SetParamTcpip(IUnknown *p);
    void LiberarParametros();

    // The working values saved before the reboot a TCP/IP change needs, and reloaded after it,
    // in the order the application registry is written and read.
    void Guardar(CRegApli &reg) const;
    void Cargar(const CRegApli &reg);
};
