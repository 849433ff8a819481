// DaxParam: the in-process server of the parameter objects, its class table, type library
// keys and exports.
#include "common/com/Server.h"
#include "param/RouterParam.h"
#include "param/TcpipParam.h"

namespace
{
constexpr kitcom::ClassEntry kClasses[] = {
    kitcom::Class<CRouterParam>(CLSID_RouterParam, {.description = "RouterParam Class",
                                                    .progId = PROGID_ROUTERPARAM,
                                                    .versionIndependentProgId = PROGID_ROUTERPARAM_CURRENT,
                                                    .threadingModel = "Apartment",
                                                    .typeLib = &LIBID_DAXPARAMLib,
                                                    .version = "1.0"}),
    kitcom::Class<CTcpipParam>(CLSID_TcpipParam, {.description = "TcpipParam Class",
                                                  .progId = PROGID_TCPIPPARAM,
                                                  .versionIndependentProgId = PROGID_TCPIPPARAM_CURRENT,
                                                  .threadingModel = "Apartment",
                                                  .typeLib = &LIBID_DAXPARAMLib,
                                                  .version = "1.0"}),
};

constexpr kitcom::TypeLibInterface kInterfaces[] = {
    {&IID_IRouterParam, "IRouterParam"},
    {&IID_ITcpipParam, "ITcpipParam"},
};

constexpr kitcom::TypeLibRegistration kTypeLib = {
    .libId = &LIBID_DAXPARAMLib, .name = "DaxParam 1.0 Type Library", .interfaces = kInterfaces};

constexpr kitcom::ServerInfo kServer = {kClasses, &kTypeLib};
} // namespace

KITCOM_SERVER(kServer)
