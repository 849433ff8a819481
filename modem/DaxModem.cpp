// DaxModem: the modem module's in-process server, its class table and its type library.
#include "common/com/Server.h"
#include "modem/SetZyxelConfig.h"

namespace
{
// The controls' toolbox bitmaps are resources 102 and 104 of the library; 104 is this one's.
constexpr int kToolboxSetZyxelConfig = 104;

constexpr kitcom::ClassEntry kClasses[] = {
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
    {&IID_ISetZyxelConfig, "ISetZyxelConfig"},
    {&DIID__ISetZyxelConfigEvents, "_ISetZyxelConfigEvents"},
};

constexpr kitcom::TypeLibRegistration kTypeLib = {
    .libId = &LIBID_DAXMODEMLib, .name = "DaxModem 1.0 Type Library", .interfaces = kInterfaces};

constexpr kitcom::ServerInfo kServer = {kClasses, &kTypeLib};
} // namespace

KITCOM_SERVER(kServer)
