// DaxWPoet: the PPPoE module's in-process server, its class table and its type library.
#include "common/com/Server.h"
#include "pppoe/WPoet.h"

namespace
{
constexpr kitcom::ClassEntry kClasses[] = {
    kitcom::Class<CWPoet>(CLSID_WPoet, {.description = "WPoet Class",
                                        .progId = PROGID_WPOET,
                                        .versionIndependentProgId = "DaxWPoet.WPoet",
                                        .threadingModel = "Apartment",
                                        .typeLib = &LIBID_DAXWPOETLib,
                                        .version = "1.0"}),
};

constexpr kitcom::TypeLibInterface kInterfaces[] = {
    {&IID_IWPoet, "IWPoet"},
};

constexpr kitcom::TypeLibRegistration kTypeLib = {
    .libId = &LIBID_DAXWPOETLib, .name = "DaxWPoet 1.0 Type Library", .interfaces = kInterfaces};

constexpr kitcom::ServerInfo kServer = {kClasses, &kTypeLib};
} // namespace

KITCOM_SERVER(kServer)
