// DaxModem: the modem module's in-process server, its class table and its type library.
#include "common/com/Server.h"
#include "modem/GetZyxelConfig.h"
#include "modem/SetZyxelConfig.h"

namespace
{
// The controls' toolbox bitmaps are resources 102 and 104 of the library.
constexpr int kToolboxGetZyxelConfig = 102;
constexpr int kToolboxSetZyxelConfig = 104;

constexpr kitcom::ClassEntry kClasses[] = {
    kitcom::Class<CGetZyxelConfig>(CLSID_GetZyxelConfig,
                                   {.description = "GetZyxelConfig Class",
                                    .progId = "DaxModem.GetZyxelConfig.1",
                                    .versionIndependentProgId = "DaxModem.GetZyxelConfig",
                                    .threadingModel = "Apartment",
                                    .typeLib = &LIBID_DAXMODEMLib,
                                    .version = "1.0",
                                    .control = true,
                                    .insertable = true,
                                    .programmable = true,
                                    .miscStatus = 132497,
                                    .toolboxBitmap = kToolboxGetZyxelConfig}),
    kitcom::Class<CSetZyxelConfig>(CLSID_SetZyxelConfig,
                                   {.description = "SetZyxelConfig Class",
                                    .progId = "DaxModem.SetZyxelConfig.1",
                                    .versionIndependentProgId = "DaxModem.SetZyxelConfig",
                                    .threadingModel = "Apartment",
                                    .typeLib = &LIBID_DAXMODEMLib,
                                    .version = "1.0",
                                    .control = true,
                                    .insertable = true,
                                    .programmable = true,
                                    .miscStatus = 132497,
                                    .toolboxBitmap = kToolboxSetZyxelConfig}),
};

constexpr kitcom::TypeLibInterface kInterfaces[] = {
    {&IID_IGetZyxelConfig, "IGetZyxelConfig"},
    {&DIID__IGetZyxelConfigEvents, "_IGetZyxelConfigEvents"},
    {&IID_ISetZyxelConfig, "ISetZyxelConfig"},
    {&DIID__ISetZyxelConfigEvents, "_ISetZyxelConfigEvents"},
};

constexpr kitcom::TypeLibRegistration kTypeLib = {
    .libId = &LIBID_DAXMODEMLib, .name = "DaxModem 1.0 Type Library", .interfaces = kInterfaces};

constexpr kitcom::ServerInfo kServer = {kClasses, &kTypeLib};
} // namespace

KITCOM_SERVER(kServer)
