// Registration scripts: a class's or a type library's keys as a list, parents before children,
// written in order and removed in reverse.
#include "common/com/Registration.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kitcom
{
namespace
{
// The automation marshaller, proxy of every dual and dispatch interface.
constexpr const char *kAutomationProxy = "{00020424-0000-0000-C000-000000000046}";

struct ScriptKey
{
    std::string path;                                        // under HKEY_CLASSES_ROOT
    std::vector<std::pair<std::string, std::string>> values; // "" names the default value
};
using Script = std::vector<ScriptKey>;

std::string GuidText(REFGUID guid)
{
    OLECHAR wide[40];
    StringFromGUID2(guid, wide, 40);
    return std::string(wide, wide + 38);
}

std::string FolderOf(const std::string &path)
{
    size_t end = path.find_last_of("/\\");
    return end == std::string::npos ? std::string() : path.substr(0, end);
}

void Add(Script &script, std::string path, std::vector<std::pair<std::string, std::string>> values = {})
{
    script.push_back({std::move(path), std::move(values)});
}

void AddDefault(Script &script, std::string path, const char *value)
{
    if (value)
        Add(script, std::move(path), {{"", value}});
    else
        Add(script, std::move(path));
}

Script ClassScript(REFCLSID clsid, const ClassRegistration &r, const std::string &modulePath)
{
    const std::string clsidText = GuidText(clsid);
    const std::string key = "CLSID\\" + clsidText;
    Script script;
    AddDefault(script, key, r.description);
    if (r.progId)
        AddDefault(script, key + "\\ProgID", r.progId);
    if (r.versionIndependentProgId)
        AddDefault(script, key + "\\VersionIndependentProgID", r.versionIndependentProgId);
    std::vector<std::pair<std::string, std::string>> server = {{"", modulePath}};
    if (r.threadingModel)
        server.emplace_back("ThreadingModel", r.threadingModel);
    Add(script, key + "\\InprocServer32", std::move(server));
    if (r.typeLib)
        AddDefault(script, key + "\\TypeLib", GuidText(*r.typeLib).c_str());
    if (r.version)
        AddDefault(script, key + "\\Version", r.version);
    if (r.programmable)
        Add(script, key + "\\Programmable");
    if (r.control)
    {
        Add(script, key + "\\Control");
        AddDefault(script, key + "\\MiscStatus", "0");
        AddDefault(script, key + "\\MiscStatus\\1", std::to_string(r.miscStatus).c_str());
        if (r.toolboxBitmap)
            AddDefault(script, key + "\\ToolboxBitmap32",
                       (modulePath + ", " + std::to_string(r.toolboxBitmap)).c_str());
    }
    if (r.insertable)
        Add(script, key + "\\Insertable");
    if (r.progId)
    {
        AddDefault(script, r.progId, r.description);
        AddDefault(script, std::string(r.progId) + "\\CLSID", clsidText.c_str());
    }
    if (r.versionIndependentProgId)
    {
        AddDefault(script, r.versionIndependentProgId, r.description);
        AddDefault(script, std::string(r.versionIndependentProgId) + "\\CLSID", clsidText.c_str());
        if (r.progId)
            AddDefault(script, std::string(r.versionIndependentProgId) + "\\CurVer", r.progId);
    }
    return script;
}

std::string VersionText(const TypeLibRegistration &t)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x.%x", t.major, t.minor);
    return text;
}

Script TypeLibScript(const TypeLibRegistration &t, const std::string &modulePath)
{
    const std::string libText = GuidText(*t.libId);
    const std::string version = VersionText(t);
    const std::string key = "TypeLib\\" + libText + "\\" + version;
    Script script;
    Add(script, "TypeLib\\" + libText);
    AddDefault(script, key, t.name);
    Add(script, key + "\\0");
    AddDefault(script, key + "\\0\\win32", modulePath.c_str());
    AddDefault(script, key + "\\FLAGS", "0");
    AddDefault(script, key + "\\HELPDIR", FolderOf(modulePath).c_str());
    for (const TypeLibInterface &i : t.interfaces)
    {
        const std::string interfaceKey = "Interface\\" + GuidText(*i.iid);
        AddDefault(script, interfaceKey, i.name);
        AddDefault(script, interfaceKey + "\\ProxyStubClsid", kAutomationProxy);
        AddDefault(script, interfaceKey + "\\ProxyStubClsid32", kAutomationProxy);
        Add(script, interfaceKey + "\\TypeLib", {{"", libText}, {"Version", version}});
    }
    return script;
}

const char *NameOf(const std::string &valueName)
{
    return valueName.empty() ? nullptr : valueName.c_str();
}

LONG Write(const Script &script)
{
    for (const ScriptKey &k : script)
    {
        HKEY key;
        LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, k.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        for (const auto &[name, value] : k.values)
        {
            rc = RegSetValueExA(key, NameOf(name), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1));
            if (rc != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

// Removes one key's values of the script, then the key when nothing is left in it.
LONG Remove(const ScriptKey &k)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, k.path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return rc;
    for (const auto &[name, value] : k.values)
    {
        rc = RegDeleteValueA(key, NameOf(name));
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            break;
        rc = ERROR_SUCCESS;
    }
    DWORD subKeys = 0, values = 0;
    if (rc == ERROR_SUCCESS)
        rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                              nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (subKeys || values)
        return ERROR_SUCCESS; // someone else's keys or values live here
    rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, k.path.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Removes everything it can, children first; the first error is the result.
LONG Erase(const Script &script)
{
    LONG result = ERROR_SUCCESS;
    for (auto it = script.rbegin(); it != script.rend(); ++it)
    {
        LONG rc = Remove(*it);
        if (result == ERROR_SUCCESS)
            result = rc;
    }
    return result;
}

HRESULT Register(const Script &script, HRESULT failure)
{
    if (Write(script) == ERROR_SUCCESS)
        return S_OK;
    Erase(script);
    return failure;
}
} // namespace

HRESULT RegisterClassKeys(REFCLSID clsid, const ClassRegistration &registration,
                          const std::string &modulePath)
{
    return Register(ClassScript(clsid, registration, modulePath), SELFREG_E_CLASS);
}

HRESULT UnregisterClassKeys(REFCLSID clsid, const ClassRegistration &registration)
{
    return Erase(ClassScript(clsid, registration, "")) == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegisterTypeLibKeys(const TypeLibRegistration &typeLib, const std::string &modulePath)
{
    if (!typeLib.libId)
        return SELFREG_E_TYPELIB;
    return Register(TypeLibScript(typeLib, modulePath), SELFREG_E_TYPELIB);
}

HRESULT UnregisterTypeLibKeys(const TypeLibRegistration &typeLib)
{
    if (!typeLib.libId)
        return SELFREG_E_TYPELIB;
    return Erase(TypeLibScript(typeLib, "")) == ERROR_SUCCESS ? S_OK : SELFREG_E_TYPELIB;
}
} // namespace kitcom
