// KitSample: the sample in-process server's class table, type library and exports.
#include "common/com/Server.h"
#include "common/com/sample/Counter.h"

namespace
{
constexpr kitcom::ClassEntry kClasses[] = {
    kitcom::Class<CCounter>(CLSID_Counter, {.description = "Counter Class",
                                            .progId = "KitSample.Counter.1",
                                            .versionIndependentProgId = "KitSample.Counter",
                                            .threadingModel = "Apartment",
                                            .typeLib = &LIBID_KitSampleLib,
                                            .version = "1.0",
                                            .programmable = true}),
};

constexpr kitcom::TypeLibInterface kInterfaces[] = {
    {&IID_ICounter, "ICounter"},
    {&DIID__ICounterEvents, "_ICounterEvents"},
};

constexpr kitcom::TypeLibRegistration kTypeLib = {
    .libId = &LIBID_KitSampleLib, .name = "KitSample 1.0 Type Library", .interfaces = kInterfaces};

constexpr kitcom::ServerInfo kServer = {kClasses, &kTypeLib};
} // namespace

KITCOM_SERVER(kServer)
