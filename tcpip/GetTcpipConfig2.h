// CGetTcpipConfig2: reads one network adapter's TCP/IP settings, chosen by its display name
// (SetDevice), into the object's TCP/IP parameter object, which GetInfoConfig hands out.
#pragma once

#include "common/com/EventSource.h"
#include "common/com/Object.h"
#include "common/param/TcpipParamPtr.h"
#include "common/worker/WorkerObject.h"
#include "tcpip/DaxTcpip.h"

#include <span>
#include <string>

class CNicTcpip;

class CGetTcpipConfig2 final : public kitcom::Object<CGetTcpipConfig2, IGetTcpipConfig2,
                                                     kitcom::Events<&DIID__IGetTcpipConfig2Events>>,
                               public CWorkerObject
{
  public:
    CGetTcpipConfig2();
    ~CGetTcpipConfig2();
    // Creates the parameter object; without it the object still works and says so.
    HRESULT FinalConstruct();

    static std::span<const kitcom::DispMember<CGetTcpipConfig2>> DispatchTable();

    HRESULT STDMETHODCALLTYPE SetMainPath(BSTR bstrPath) override;
    HRESULT STDMETHODCALLTYPE SetDevice(BSTR bstrDevice) override;
    HRESULT STDMETHODCALLTYPE GetInfoConfig(IUnknown **pIUnkInfo) override;
    HRESULT STDMETHODCALLTYPE Start() override;
    HRESULT STDMETHODCALLTYPE Stop(LONG lTimeout) override;
    HRESULT STDMETHODCALLTYPE IsActive(LONG *bActive) override;

    static constexpr UINT kMsgAbort = WM_USER + 10;

  private:
    JobEnd Job() override;
    kitcom::EventSource &EventsOf() override { return *this; }
    // The record's settings into the parameter object; false when a call of it failed.
    bool Store(const CNicTcpip &nic);

    // Under m_lock.
    std::string m_strMainPath;
    std::string m_strDevice;
    TcpipParamPtr m_param;
};
