// DaxTcpip: the TCP/IP module's in-process server, its class table and its type library.
#include "common/com/Server.h"
#include "tcpip/CheckNics2.h"
#include "tcpip/GetTcpipConfig2.h"
#include "tcpip/SetTcpipConfig2.h"

namespace
{
constexpr kitcom::ClassEntry kClasses[] = {
    kitcom::Class<CCheckNics2>(CLSID_CheckNics2, {.description = "CheckNics2 Class",
                                                  .progId = PROGID_CHECKNICS2,
                                                  .versionIndependentProgId = "DaxTcpip.CheckNics2",
                                                  .threadingModel = "Apartment",
                                                  .typeLib = &LIBID_DAXTCPIPLib,
                                                  .version = "1.0",
                                                  .control = true,
                                                  .programmable = true}),
    kitcom::Class<CGetTcpipConfig2>(CLSID_GetTcpipConfig2,
                                    {.description = "GetTcpipConfig2 Class",
                                     .progId = PROGID_GETTCPIPCONFIG2,
                                     .versionIndependentProgId = "DaxTcpip.GetTcpipConfig2",
                                     .threadingModel = "Apartment",
                                     .typeLib = &LIBID_DAXTCPIPLib,
                                     .version = "1.0",
                                     .control = true,
                                     .programmable = true}),
    kitcom::Class<CSetTcpipConfig2>(CLSID_SetTcpipConfig2,
                                    {.description = "SetTcpipConfig2 Class",
                                     .progId = PROGID_SETTCPIPCONFIG2,
                                     .versionIndependentProgId = "DaxTcpip.SetTcpipConfig2",
                                     .threadingModel = "Apartment",
                                     .typeLib = &LIBID_DAXTCPIPLib,
                                     .version = "1.0",
                                     .control = true,
                                     .programmable = true}),
};

constexpr kitcom::TypeLibInterface kInterfaces[] = {
    {&IID_ICheckNics2, "ICheckNics2"},           {&DIID__ICheckNics2Events, "_ICheckNics2Events"},
    {&IID_IGetTcpipConfig2, "IGetTcpipConfig2"}, {&DIID__IGetTcpipConfig2Events, "_IGetTcpipConfig2Events"},
    {&IID_ISetTcpipConfig2, "ISetTcpipConfig2"}, {&DIID__ISetTcpipConfig2Events, "_ISetTcpipConfig2Events"},
};

constexpr kitcom::TypeLibRegistration kTypeLib = {
    .libId = &LIBID_DAXTCPIPLib, .name = "DaxTcpip 1.0 Type Library", .interfaces = kInterfaces};

constexpr kitcom::ServerInfo kServer = {kClasses, &kTypeLib};
} // namespace

KITCOM_SERVER(kServer)
