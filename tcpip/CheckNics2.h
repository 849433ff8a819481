// CCheckNics2: which network adapters the PC has. A run of its worker reads the adapters
// (CNicList) into three lists of display names: every adapter present, those whose TCP/IP
// settings could be read, and of those the ones bound to TCP/IP; the client reads the list it
// chose. IsTcpipInstalled answers on the caller's thread.
#pragma once

#include "common/com/EventSource.h"
#include "common/com/Object.h"
#include "common/worker/WorkerObject.h"
#include "tcpip/DaxTcpip.h"

#include <span>
#include <string>
#include <vector>

class CCheckNics2 final
    : public kitcom::Object<CCheckNics2, ICheckNics2, kitcom::Events<&DIID__ICheckNics2Events>>,
      public CWorkerObject
{
  public:
    CCheckNics2();
    ~CCheckNics2();

    static std::span<const kitcom::DispMember<CCheckNics2>> DispatchTable();

    HRESULT STDMETHODCALLTYPE Start() override;
    HRESULT STDMETHODCALLTYPE Stop(LONG lTimeout) override;
    HRESULT STDMETHODCALLTYPE IsActive(LONG *bActive) override;
    HRESULT STDMETHODCALLTYPE GetNicName(LONG lPos, BSTR *bstrName) override;
    HRESULT STDMETHODCALLTYPE GetNumNics(LONG *lNum) override;
    HRESULT STDMETHODCALLTYPE ExistsNic(BSTR bstrName, LONG *bExists) override;
    HRESULT STDMETHODCALLTYPE IsTcpipInstalled(LONG *bInstalled) override;
    HRESULT STDMETHODCALLTYPE SetNicListToAccess(LONG idNicList) override;

    // The worker's abort message.
    static constexpr UINT kMsgAbort = WM_USER + 30;

  private:
    using NameList = std::vector<std::string>;

    JobEnd Job() override;
    kitcom::EventSource &EventsOf() override { return *this; }
    // The list of a type; nullptr for an unknown type. Under m_lock.
    const NameList *ListOf(LONG idNicList) const;

    // Under m_lock.
    NameList m_all;
    NameList m_linked;
    NameList m_enabled;
    NameList m_access;
    LONG m_idListType = NIC_LIST_ENABLED;
};
