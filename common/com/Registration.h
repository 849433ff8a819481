// Registration scripts: the keys DllRegisterServer writes for a class and a type library, and
// that DllUnregisterServer removes.
//
// Per class, under HKEY_CLASSES_ROOT:
//   CLSID\{clsid}                      = description
//     ProgID                           = progId
//     VersionIndependentProgID         = versionIndependentProgId
//     InprocServer32                   = the library's file; ThreadingModel = threadingModel
//     TypeLib = {libid}, Version = version                    (when given)
//     Control, Insertable, Programmable                      (empty keys, for controls)
//     MiscStatus = "0", MiscStatus\1 = miscStatus             (controls)
//     ToolboxBitmap32 = "<library>, <toolboxBitmap>"          (controls that give one)
//   <progId>                           = description; CLSID = {clsid}
//   <versionIndependentProgId>         = description; CLSID = {clsid}; CurVer = progId
// Per type library (as RegisterTypeLib writes it; the library is the server's own file):
//   TypeLib\{libid}\<major.minor>      = name; 0\win32 = file; FLAGS = "0"; HELPDIR = folder
//   Interface\{iid}                    = name; ProxyStubClsid(32) = the automation marshaller;
//                                        TypeLib = {libid}, Version = <major.minor>
// Unregistration removes exactly what registration wrote, children first (NT refuses to
// delete a key that has subkeys): the values it wrote, then each key left with no values and
// no subkeys. What others added under those keys stays. A class that is not registered is
// unregistered successfully.
#pragma once

#include "platform/windows.h"

#include <span>
#include <string>

namespace kitcom
{
struct ClassRegistration
{
    const char *description = nullptr;
    const char *progId = nullptr;
    const char *versionIndependentProgId = nullptr;
    const char *threadingModel = "Apartment"; // nullptr: no ThreadingModel value (single-threaded)
    const GUID *typeLib = nullptr;
    const char *version = nullptr;
    bool control = false;
    bool insertable = false;
    bool programmable = false;
    DWORD miscStatus = 0;  // MiscStatus\1, for controls (e.g. 132497: invisible at run time)
    int toolboxBitmap = 0; // ToolboxBitmap32 resource number, for controls; 0: none
};

struct TypeLibInterface
{
    const IID *iid;
    const char *name;
};

struct TypeLibRegistration
{
    const GUID *libId = nullptr;
    const char *name = nullptr;
    WORD major = 1;
    WORD minor = 0;
    std::span<const TypeLibInterface> interfaces = {};
};

// Each returns S_OK, or SELFREG_E_CLASS / SELFREG_E_TYPELIB when the registry refused (a
// failed registration removes what it had written).
HRESULT RegisterClassKeys(REFCLSID clsid, const ClassRegistration &registration,
                          const std::string &modulePath);
HRESULT UnregisterClassKeys(REFCLSID clsid, const ClassRegistration &registration);
HRESULT RegisterTypeLibKeys(const TypeLibRegistration &typeLib, const std::string &modulePath);
HRESULT UnregisterTypeLibKeys(const TypeLibRegistration &typeLib);
} // namespace kitcom
