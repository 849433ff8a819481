// COM: apartments, object creation through the registry, ProgIDs, server unloading.
//
// Every object is used directly by whichever thread holds it: there is no marshalling between
// apartments (the kit's components fire their events from worker threads straight into the
// client's sinks, which is how they are built). CoInitialize is still required per thread, as
// on Windows, and ThreadingModel is accepted whatever it says. Only in-process servers exist.
#include "platform/core/builtin.h"
#include "platform/core/refcounted.h"
#include "platform/core/lasterror.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace
{
struct Apartment
{
    int comInits = 0;
    int oleInits = 0;
    DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment t_apartment;

struct Server
{
    HMODULE module = nullptr;
    LPFNGETCLASSOBJECT getClassObject = nullptr;
    LPFNCANUNLOADNOW canUnloadNow = nullptr;
};

// The servers loaded by CoGetClassObject, by the path their registration names. The lock is
// held while a server's DllGetClassObject runs, so CoFreeUnusedLibraries never unloads a
// library between the look-up and the call (the factory it hands out then holds the server).
struct Servers
{
    std::recursive_mutex lock; // a DllMain or DllGetClassObject may create objects itself
    std::map<std::string, Server> byPath;
};

Servers &TheServers()
{
    static auto *servers = new Servers;
    return *servers;
}

// Windows 1252 text of a wide name; nothing when a character has no 1252 form (no such key
// can exist then).
std::optional<std::string> AnsiOf(LPCOLESTR text)
{
    if (!*text)
        return std::string();
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy)
        return std::nullopt;
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

LPOLESTR TaskStringOf(const std::string &ansi)
{
    int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    auto *out = static_cast<LPOLESTR>(CoTaskMemAlloc(static_cast<SIZE_T>(size) * sizeof(OLECHAR)));
    if (out)
        MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, out, size);
    return out;
}

std::string GuidText(REFGUID guid)
{
    OLECHAR text[40];
    StringFromGUID2(guid, text, 40);
    return *AnsiOf(text);
}

// A string value (REG_SZ or REG_EXPAND_SZ, taken as written) of HKEY_CLASSES_ROOT\path;
// nothing when the key or value is missing or empty.
std::optional<std::string> ReadClassesValue(const std::string &path, const char *valueName = nullptr)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    char buffer[MAX_PATH * 2];
    DWORD size = sizeof buffer - 1, type = 0;
    LONG rc = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    buffer[size] = '\0';
    std::string value = buffer; // the stored size counts the NUL
    if (value.empty())
        return std::nullopt;
    return value;
}

HRESULT HresultOfLoadError(DWORD error)
{
    return error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? CO_E_DLLNOTFOUND
               : CO_E_ERRORINDLL;
}

template <class F> F ExportOf(HMODULE module, const char *name)
{
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// The server loaded for a registration path (loading it on first use). Call with the lock held.
HRESULT LoadServer(Servers &servers, const std::string &path, Server &server)
{
    auto it = servers.byPath.find(path);
    if (it != servers.byPath.end())
    {
        server = it->second;
        return S_OK;
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module)
        return HresultOfLoadError(GetLastError());
    Server loaded;
    loaded.module = module;
    loaded.getClassObject = ExportOf<LPFNGETCLASSOBJECT>(module, "DllGetClassObject");
    loaded.canUnloadNow = ExportOf<LPFNCANUNLOADNOW>(module, "DllCanUnloadNow");
    if (!loaded.getClassObject)
    {
        FreeLibrary(module);
        return CO_E_ERRORINDLL;
    }
    servers.byPath[path] = loaded;
    server = loaded;
    return S_OK;
}

// The class object of a built-in class, one per CoGetClassObject call.
class BuiltinFactory final : public plat::RefCounted<IClassFactory>
{
  public:
    explicit BuiltinFactory(plat::BuiltinClass builtin) : RefCounted(0), builtin_(builtin) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = plat::SameGuid(riid, IID_IUnknown) || plat::SameGuid(riid, IID_IClassFactory) ? this : nullptr;
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return builtin_.create(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    plat::BuiltinClass builtin_;
};

// The class object of a built-in class of the running Windows, when rclsid is one.
std::optional<HRESULT> BuiltinClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    std::optional<plat::BuiltinClass> builtin = plat::FindBuiltinClass(rclsid);
    if (!builtin)
        return std::nullopt;
    if (builtin->present && !builtin->present())
        return REGDB_E_CLASSNOTREG;
    auto *factory = new BuiltinFactory(*builtin);
    factory->AddRef();
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

bool InApartment()
{
    return t_apartment.comInits > 0;
}
} // namespace

// CoInitialize: CoInitializeEx in a single-threaded apartment.
HRESULT WINAPI CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

// CoInitializeEx: counts the thread's initialisations (S_OK the first time, S_FALSE after);
// another concurrency model than the thread's first gives RPC_E_CHANGED_MODE. The model is
// recorded only: objects are called directly from any thread.
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    if (pvReserved)
        return E_INVALIDARG;
    const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_apartment.comInits > 0)
    {
        if (t_apartment.model != model)
            return RPC_E_CHANGED_MODE;
        ++t_apartment.comInits;
        return S_FALSE;
    }
    t_apartment.model = model;
    t_apartment.comInits = 1;
    return S_OK;
}

// CoUninitialize: one initialisation less; ignored on a thread that has none. Loaded servers
// stay loaded until CoFreeUnusedLibraries (Windows unloads them with the last apartment).
void WINAPI CoUninitialize()
{
    if (t_apartment.comInits > 0)
        --t_apartment.comInits;
}

// CoGetClassObject: the class object of a class Windows itself provides (the shell link; the
// network configuration on 2000/XP), else of an in-process server registered under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, loaded once per process. Local and remote
// servers do not exist here: a context without CLSCTX_INPROC_SERVER finds no class.
// Errors: CO_E_NOTINITIALIZED, REGDB_E_CLASSNOTREG, CO_E_DLLNOTFOUND (no such library),
// CO_E_ERRORINDLL (not a library, refused to load, or no DllGetClassObject), and whatever the
// server's DllGetClassObject returns.
HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (!InApartment())
        return CO_E_NOTINITIALIZED;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    if (std::optional<HRESULT> builtin = BuiltinClassObject(rclsid, riid, ppv))
        return *builtin;
    std::optional<std::string> path = ReadClassesValue("CLSID\\" + GuidText(rclsid) + "\\InprocServer32");
    if (!path)
        return REGDB_E_CLASSNOTREG;
    Servers &servers = TheServers();
    std::lock_guard guard(servers.lock);
    Server server;
    HRESULT hr = LoadServer(servers, *path, server);
    if (FAILED(hr))
        return hr;
    hr = server.getClassObject(rclsid, riid, ppv);
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}

// CoCreateInstance: CoGetClassObject, then IClassFactory::CreateInstance.
HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void **>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}

// CoFreeUnusedLibraries: unloads the servers whose DllCanUnloadNow says S_OK. Servers without
// DllCanUnloadNow stay. Windows delays the unloading of free-threaded servers; here it is at once.
void WINAPI CoFreeUnusedLibraries()
{
    Servers &servers = TheServers();
    std::lock_guard guard(servers.lock);
    for (auto it = servers.byPath.begin(); it != servers.byPath.end();)
    {
        if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK)
        {
            FreeLibrary(it->second.module);
            it = servers.byPath.erase(it);
        }
        else
            ++it;
    }
}

// CLSIDFromProgID: HKEY_CLASSES_ROOT\<ProgID>\CLSID; a ProgID without a CLSID key is followed
// through its CurVer key. CO_E_CLASSSTRING (and CLSID_NULL) when there is no such ProgID or
// its CLSID text is not a GUID.
HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid)
{
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    *lpclsid = CLSID_NULL;
    std::optional<std::string> progId = AnsiOf(lpszProgID);
    for (int hops = 0; hops < 2 && progId && !progId->empty(); ++hops)
    {
        if (std::optional<std::string> text = ReadClassesValue(*progId + "\\CLSID"))
        {
            std::u16string wide(text->begin(), text->end());
            GUID clsid;
            if (IIDFromString(wide.c_str(), &clsid) != S_OK)
                return CO_E_CLASSSTRING;
            *lpclsid = clsid;
            return S_OK;
        }
        progId = ReadClassesValue(*progId + "\\CurVer");
    }
    return CO_E_CLASSSTRING;
}

// ProgIDFromCLSID: HKEY_CLASSES_ROOT\CLSID\{...}\ProgID, in task memory (CoTaskMemFree).
HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *lplpszProgID)
{
    if (!lplpszProgID)
        return E_INVALIDARG;
    *lplpszProgID = nullptr;
    std::optional<std::string> progId = ReadClassesValue("CLSID\\" + GuidText(clsid) + "\\ProgID");
    if (!progId)
        return REGDB_E_CLASSNOTREG;
    *lplpszProgID = TaskStringOf(*progId);
    return *lplpszProgID ? S_OK : E_OUTOFMEMORY;
}

// OleInitialize: COM in a single-threaded apartment; S_OK on the thread's first OLE
// initialisation even when COM was initialised before, S_FALSE after; RPC_E_CHANGED_MODE in
// a multithreaded apartment.
HRESULT WINAPI OleInitialize(LPVOID pvReserved)
{
    HRESULT hr = CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
        return hr;
    return t_apartment.oleInits++ == 0 ? S_OK : S_FALSE;
}

// OleUninitialize: one OLE initialisation less (and its COM initialisation).
void WINAPI OleUninitialize()
{
    if (t_apartment.oleInits == 0)
        return;
    --t_apartment.oleInits;
    CoUninitialize();
}

// OleRun: puts an object into its running state through IRunnableObject::Run; an object that
// does not have that interface is running already (every in-process object of the kit).
HRESULT WINAPI OleRun(LPUNKNOWN pUnknown)
{
    if (!pUnknown)
        return E_INVALIDARG;
    IRunnableObject *runnable = nullptr;
    if (FAILED(pUnknown->QueryInterface(IID_IRunnableObject, reinterpret_cast<void **>(&runnable))) ||
        !runnable)
        return S_OK;
    HRESULT hr = runnable->Run(nullptr);
    runnable->Release();
    return hr;
}
