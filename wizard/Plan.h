// The configuration plans: the parameter objects the configuration run hands to the TCP/IP
// module and to the modem module, filled from the run record.
#pragma once

#include "platform/windows.h"

#include <string>

class CDatosAsistente;

namespace plan
{
// The DNS servers the plans give out ("Config.ini" [DNS]).
struct Dns
{
    std::string DNS1, DNS2;
};

// DNS1 and DNS2 of "Config.ini"; both "0.0.0.0" when either cannot be read.
Dns LeerDns();

// A new TcpipParam in *plan (held by the caller): a DHCP client for one PC or for several PCs
// behind the router's DHCP server, else the private address with the router as gateway and the
// DNS pair. Host name, domain and adapter key come from `actual`, the adapter's current
// TcpipParam (NULL: none known; an empty host name becomes "UserADSL"). On failure *plan is
// NULL and the result is the HRESULT of the creation or of the call that failed.
HRESULT PlanTcpip(const CDatosAsistente &datos, IUnknown *actual, const Dns &dns, IUnknown **plan);
// The static plan for a fixed address of the adapter `nic`: the same steps, with that gateway,
// address and mask (the manual-address page reaches the router with it).
struct DireccionFija
{
    std::string gateway, ip, mascara;
};
HRESULT PlanTcpipFijo(const std::string &nic, IUnknown *actual, const Dns &dns, const DireccionFija &fija,
                      IUnknown **plan);

// A new RouterParam in *plan (held by the caller) for the chosen mode: one PC or several,
// static or dynamic addressing. Failures as PlanTcpip.
HRESULT PlanModem(const CDatosAsistente &datos, const Dns &dns, IUnknown **plan);

// The router's LAN address of a several-PCs plan: IpRouter, or the first address of the private
// subnet when none was given.
std::string RouterDelPlan(const CDatosAsistente &datos);

// The values of a plan read back from the object, one "Etiqueta: valor" line each, for printing;
// a line saying so when the object is missing or cannot be read.
std::string TextoPlanTcpip(IUnknown *plan);
std::string TextoPlanModem(IUnknown *plan);
} // namespace plan
