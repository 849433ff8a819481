// The network configuration objects of Windows 2000/XP (netcfgx.h): the network components
// installed on the PC. CLSID_CNetCfg is built into the platform.
#pragma once

#include "platform/objbase.h"
#include "platform/winreg.h"

// {5B035261-40F9-11D1-AAEC-00805FC1270E}
DEFINE_GUID(CLSID_CNetCfg, 0x5B035261, 0x40F9, 0x11D1, 0xAA, 0xEC, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E);
// {C0E8AE93-306E-11D1-AACF-00805FC1270E}
DEFINE_GUID(IID_INetCfg, 0xC0E8AE93, 0x306E, 0x11D1, 0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E);
// {C0E8AE99-306E-11D1-AACF-00805FC1270E}
DEFINE_GUID(IID_INetCfgComponent, 0xC0E8AE99, 0x306E, 0x11D1, 0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E);
// {C0E8AE92-306E-11D1-AACF-00805FC1270E}
DEFINE_GUID(IID_IEnumNetCfgComponent, 0xC0E8AE92, 0x306E, 0x11D1, 0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27,
            0x0E);

#define NETCFG_E_ALREADY_INITIALIZED _HRESULT_TYPEDEF_(0x8004A020L)
#define NETCFG_E_NOT_INITIALIZED _HRESULT_TYPEDEF_(0x8004A021L)
#define NETCFG_E_IN_USE _HRESULT_TYPEDEF_(0x8004A022L)
#define NETCFG_E_NO_WRITE_LOCK _HRESULT_TYPEDEF_(0x8004A024L)

// Device problems GetDeviceStatus reports (cfg.h).
#define CM_PROB_DISABLED 0x00000016

struct IEnumNetCfgComponent;

struct INetCfgComponent : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(LPWSTR *ppszwDisplayName) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDisplayName(LPCWSTR pszwDisplayName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpText(LPWSTR *pszwHelpText) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetId(LPWSTR *ppszwId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCharacteristics(LPDWORD pdwCharacteristics) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstanceGuid(GUID *pGuid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPnpDevNodeId(LPWSTR *ppszwDevNodeId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClassGuid(GUID *pGuid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBindName(LPWSTR *ppszwBindName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceStatus(ULONG *pulStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenParamKey(HKEY *phkey) = 0;
    virtual HRESULT STDMETHODCALLTYPE RaisePropertyUi(HWND hwndParent, DWORD dwFlags,
                                                      IUnknown *punkContext) = 0;
};

struct INetCfg : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Initialize(PVOID pvReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE Uninitialize() = 0;
    virtual HRESULT STDMETHODCALLTYPE Apply() = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumComponents(const GUID *pguidClass,
                                                     IEnumNetCfgComponent **ppenumComponent) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindComponent(LPCWSTR pszwInfId, INetCfgComponent **pComponent) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryNetCfgClass(const GUID *pguidClass, REFIID riid,
                                                       void **ppvObject) = 0;
};
