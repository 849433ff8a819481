// The network configuration object (CLSID_CNetCfg) of Windows 2000/XP: the network components of
// the PC's network class (Class\{4D36E972-...}), each a subkey with its ComponentId, DriverDesc,
// NetCfgInstanceId and DeviceInstanceID, and the state of its device in the Enum tree. It reads
// only: nothing is installed, removed or bound here.
#include "platform/core/builtin.h"
#include "platform/core/refcounted.h"
#include "platform/core/text.h"
#include "platform/kit/kitmachine.h"
#include "platform/netcfgx.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace
{
constexpr char kNetClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum\\";
constexpr DWORD kConfigFlagDisabled = 0x1;

// One network component as Initialize found it.
struct Component
{
    std::string id;
    std::string displayName;
    std::string instanceId; // "{GUID}"
    bool deviceEnabled = false;
};

// A value of an open key; nothing when missing or not of `type`.
std::optional<std::string> ReadValue(HKEY key, const char *name, DWORD type)
{
    DWORD found = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &found, nullptr, &size) != ERROR_SUCCESS || found != type)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &found, reinterpret_cast<BYTE *>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return data;
}

std::string ReadText(HKEY key, const char *name)
{
    std::optional<std::string> data = ReadValue(key, name, REG_SZ);
    return data ? std::string(data->c_str()) : std::string();
}

// A device is enabled when its Enum key is there and its ConfigFlags lack CONFIGFLAG_DISABLED.
bool DeviceEnabled(const std::string &deviceInstanceId)
{
    HKEY key = nullptr;
    if (deviceInstanceId.empty() || RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kEnumKey + deviceInstanceId).c_str(),
                                                  0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    std::optional<std::string> flags = ReadValue(key, "ConfigFlags", REG_DWORD);
    RegCloseKey(key);
    DWORD value = 0;
    if (flags && flags->size() == sizeof value)
        std::memcpy(&value, flags->data(), sizeof value);
    return !(value & kConfigFlagDisabled);
}

std::vector<Component> ReadComponents()
{
    std::vector<Component> components;
    HKEY netClass = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetClassKey, 0, KEY_READ, &netClass) != ERROR_SUCCESS)
        return components;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(netClass, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY key = nullptr;
        if (RegOpenKeyExA(netClass, name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        Component component;
        component.id = ReadText(key, "ComponentId");
        component.displayName = ReadText(key, "DriverDesc");
        component.instanceId = ReadText(key, "NetCfgInstanceId");
        component.deviceEnabled = DeviceEnabled(ReadText(key, "DeviceInstanceID"));
        RegCloseKey(key);
        if (!component.id.empty())
            components.push_back(std::move(component));
    }
    RegCloseKey(netClass);
    return components;
}

// Windows 1252 text as a wide string in task memory, as the caller frees it (CoTaskMemFree).
HRESULT TaskString(const std::string &text, LPWSTR *out)
{
    if (!out)
        return E_POINTER;
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(static_cast<SIZE_T>(size) * sizeof(WCHAR)));
    if (!*out)
        return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, *out, size);
    return S_OK;
}

std::optional<std::string> AnsiOf(LPCWSTR text)
{
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy)
        return std::nullopt;
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

// The reference counting every object here shares, and their one interface besides IUnknown.
template <class Interface> class Counted : public plat::RefCounted<Interface>
{
  protected:
    HRESULT Hand(REFIID riid, REFIID own, void **ppv)
    {
        if (!ppv)
            return E_POINTER;
        *ppv = plat::SameGuid(riid, IID_IUnknown) || plat::SameGuid(riid, own) ? this : nullptr;
        if (!*ppv)
            return E_NOINTERFACE;
        this->AddRef();
        return S_OK;
    }
};

class NetCfgComponent final : public Counted<INetCfgComponent>
{
  public:
    explicit NetCfgComponent(Component component) : component_(std::move(component)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        return Hand(riid, IID_INetCfgComponent, ppv);
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(LPWSTR *name) override
    {
        return TaskString(component_.displayName, name);
    }
    HRESULT STDMETHODCALLTYPE SetDisplayName(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpText(LPWSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR *id) override { return TaskString(component_.id, id); }
    HRESULT STDMETHODCALLTYPE GetCharacteristics(LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetInstanceGuid(GUID *guid) override
    {
        if (!guid)
            return E_POINTER;
        std::u16string text(component_.instanceId.begin(), component_.instanceId.end());
        return CLSIDFromString(text.c_str(), guid) == S_OK ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GetPnpDevNodeId(LPWSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClassGuid(GUID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindName(LPWSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(ULONG *status) override
    {
        if (!status)
            return E_POINTER;
        *status = component_.deviceEnabled ? 0 : CM_PROB_DISABLED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenParamKey(HKEY *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RaisePropertyUi(HWND, DWORD, IUnknown *) override { return E_NOTIMPL; }

  private:
    Component component_;
};

class NetCfg final : public Counted<INetCfg>
{
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        return Hand(riid, IID_INetCfg, ppv);
    }
    HRESULT STDMETHODCALLTYPE Initialize(PVOID) override
    {
        if (components_)
            return NETCFG_E_ALREADY_INITIALIZED;
        components_ = ReadComponents();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Uninitialize() override
    {
        if (!components_)
            return NETCFG_E_NOT_INITIALIZED;
        components_.reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Apply() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Cancel() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumComponents(const GUID *, IEnumNetCfgComponent **found) override
    {
        if (found)
            *found = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindComponent(LPCWSTR id, INetCfgComponent **found) override
    {
        if (found)
            *found = nullptr;
        if (!id || !found)
            return E_POINTER;
        if (!components_)
            return NETCFG_E_NOT_INITIALIZED;
        std::optional<std::string> wanted = AnsiOf(id);
        for (const Component &component : *components_)
            if (wanted && plat::EqualNoCase(component.id, *wanted))
            {
                *found = new NetCfgComponent(component);
                return S_OK;
            }
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE QueryNetCfgClass(const GUID *, REFIID, void **ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        return E_NOTIMPL;
    }

  private:
    std::optional<std::vector<Component>> components_; // set between Initialize and Uninitialize
};

HRESULT CreateNetCfg(REFIID riid, void **ppv)
{
    auto *object = new NetCfg;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

// The network configuration objects came with Windows 2000.
bool NetCfgPresent()
{
    const kitpc::WindowsFamily family = kitpc::ReadIdentity().family;
    return family == kitpc::WindowsFamily::Win2000 || family == kitpc::WindowsFamily::XP;
}

const bool g_netcfg = (plat::RegisterBuiltinClass(CLSID_CNetCfg, {CreateNetCfg, NetCfgPresent}), true);
} // namespace
