// CSetTcpipConfig2: writes new TCP/IP settings for one network adapter, chosen by its display
// name (SetDevice), from a copy of the client's TCP/IP parameter object (SetInfoConfig): into
// the registry, or with SetChangesDelay(1) into the deferred-change file "TcpChang.reg" that
// ExecuteTcpipChanges later imports with the registry editor.
#pragma once

#include "common/com/CritSec.h"
#include "common/com/EventSource.h"
#include "common/com/Object.h"
#include "common/param/TcpipParamPtr.h"
#include "common/worker/WorkerObject.h"
#include "tcpip/DaxTcpip.h"
#include "tcpip/NicTcpip.h"

#include <span>
#include <string>

class CSetTcpipConfig2 final : public kitcom::Object<CSetTcpipConfig2, ISetTcpipConfig2,
                                                     kitcom::Events<&DIID__ISetTcpipConfig2Events>>,
                               public CWorkerObject
{
  public:
    CSetTcpipConfig2();
    ~CSetTcpipConfig2();
    // Creates the object's own parameter object; without it the object still works and says so.
    HRESULT FinalConstruct();

    static std::span<const kitcom::DispMember<CSetTcpipConfig2>> DispatchTable();

    HRESULT STDMETHODCALLTYPE SetMainPath(BSTR bstrPath) override;
    HRESULT STDMETHODCALLTYPE SetDevice(BSTR bstrDevice) override;
    HRESULT STDMETHODCALLTYPE SetInfoConfig(IUnknown *pIUnkInfo) override;
    HRESULT STDMETHODCALLTYPE Start() override;
    HRESULT STDMETHODCALLTYPE Stop(LONG lTimeout) override;
    HRESULT STDMETHODCALLTYPE IsActive(LONG *bActive) override;
    HRESULT STDMETHODCALLTYPE SetChangesDelay(LONG bDelay) override;
    HRESULT STDMETHODCALLTYPE ExecuteTcpipChanges() override;

    static constexpr UINT kMsgAbort = WM_USER + 20;
    // How long ExecuteTcpipChanges waits for the registry editor.
    static constexpr DWORD kEditorWaitMs = 4000;

  private:
    // The settings the run writes, read from the own parameter object.
    struct Settings
    {
        std::string hostName, domain, nodeType;
        LONG bDhcp = 0, bDns = 0;
        StringList ips, masks, gateways, dns, wins;
        bool modified[6] = {}; // groups 3002 to 3007
    };

    JobEnd Job() override;
    kitcom::EventSource &EventsOf() override { return *this; }
    // False when a call of the parameter object failed. Under m_lock.
    bool ReadSettings(Settings &settings);
    // The setters in their order, each only when its group asks for it; false at the first failure.
    bool WriteSettings(CNicTcpip &nic, const Settings &settings);

    // Under m_lock.
    std::string m_strMainPath;
    std::string m_strDevice;
    LONG m_bDelay = 0;
    TcpipParamPtr m_param;
    // Held while a run writes and while ExecuteTcpipChanges imports.
    kitcom::AutoCriticalSection m_writeLock;
};
