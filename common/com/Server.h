// An in-process server: its table of classes and its four exports.
//
//     constexpr kitcom::ClassEntry kClasses[] = {
//         kitcom::Class<CCounter>(CLSID_Counter, {.description = "Counter Class",
//                                                 .progId = "KitSample.Counter.1",
//                                                 .versionIndependentProgId = "KitSample.Counter"}),
//     };
//     constexpr kitcom::ServerInfo kServer = {kClasses, &kTypeLib};   // type library optional
//     KITCOM_SERVER(kServer)
//
// KITCOM_SERVER defines DllGetClassObject (a class factory for the classes of the table,
// CLASS_E_CLASSNOTAVAILABLE for any other CLSID), DllCanUnloadNow (S_OK once no object of the
// server is alive and no LockServer lock is held, S_FALSE before), DllRegisterServer and
// DllUnregisterServer (the registration scripts of Registration.h, the library's own file
// found from its own address) as extern "C" exports.
#pragma once

#include "common/com/Object.h"
#include "common/com/Registration.h"

#include <span>

namespace kitcom
{
struct ClassEntry
{
    const CLSID *clsid;
    HRESULT (*create)(REFIID riid, void **ppv);
    ClassRegistration registration;
};

template <class T> constexpr ClassEntry Class(const CLSID &clsid, const ClassRegistration &registration)
{
    return {&clsid, &CreateInstance<T>, registration};
}

struct ServerInfo
{
    std::span<const ClassEntry> classes;
    const TypeLibRegistration *typeLib = nullptr;
};

// The work of the four exports.
HRESULT GetClassObject(const ServerInfo &server, REFCLSID rclsid, REFIID riid, void **ppv);
HRESULT CanUnloadNow();
HRESULT RegisterServer(const ServerInfo &server);
HRESULT UnregisterServer(const ServerInfo &server);
} // namespace kitcom

#ifdef _WIN32
#define KITCOM_EXPORT extern "C" __attribute__((dllexport))
#else
#define KITCOM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#define KITCOM_SERVER(server)                                                                                \
    KITCOM_EXPORT HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)                \
    {                                                                                                        \
        return ::kitcom::GetClassObject(server, rclsid, riid, ppv);                                          \
    }                                                                                                        \
    KITCOM_EXPORT HRESULT WINAPI DllCanUnloadNow()                                                           \
    {                                                                                                        \
        return ::kitcom::CanUnloadNow();                                                                     \
    }                                                                                                        \
    KITCOM_EXPORT HRESULT WINAPI DllRegisterServer()                                                         \
    {                                                                                                        \
        return ::kitcom::RegisterServer(server);                                                             \
    }                                                                                                        \
    KITCOM_EXPORT HRESULT WINAPI DllUnregisterServer()                                                       \
    {                                                                                                        \
        return ::kitcom::UnregisterServer(server);                                                           \
    }
