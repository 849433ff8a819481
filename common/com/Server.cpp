// An in-process server's class factories and exports.
#include "common/com/Server.h"

namespace kitcom
{
namespace
{
// The class object DllGetClassObject hands out; like every object it keeps the server loaded
// while it lives.
class ClassFactory final : public Object<ClassFactory, IClassFactory>
{
  public:
    explicit ClassFactory(const ClassEntry &entry) : entry_(entry) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        return entry_.create(riid, ppvObject);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override
    {
        if (fLock)
            LockModule();
        else
            UnlockModule();
        return S_OK;
    }

  private:
    const ClassEntry &entry_;
};
} // namespace

HRESULT GetClassObject(const ServerInfo &server, REFCLSID rclsid, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const ClassEntry &entry : server.classes)
        if (*entry.clsid == rclsid)
        {
            ComPtr<ClassFactory> factory = Make<ClassFactory>(entry);
            if (!factory)
                return E_OUTOFMEMORY;
            return factory->QueryInterface(riid, ppv);
        }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow()
{
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT RegisterServer(const ServerInfo &server)
{
    const std::string path = ModuleFileName();
    if (path.empty())
        return E_UNEXPECTED;
    for (const ClassEntry &entry : server.classes)
        if (HRESULT hr = RegisterClassKeys(*entry.clsid, entry.registration, path); FAILED(hr))
            return hr;
    if (server.typeLib)
        return RegisterTypeLibKeys(*server.typeLib, path);
    return S_OK;
}

HRESULT UnregisterServer(const ServerInfo &server)
{
    HRESULT result = S_OK;
    for (const ClassEntry &entry : server.classes)
        if (HRESULT hr = UnregisterClassKeys(*entry.clsid, entry.registration);
            FAILED(hr) && SUCCEEDED(result))
            result = hr;
    if (server.typeLib)
        if (HRESULT hr = UnregisterTypeLibKeys(*server.typeLib); FAILED(hr) && SUCCEEDED(result))
            result = hr;
    return result;
}
} // namespace kitcom
