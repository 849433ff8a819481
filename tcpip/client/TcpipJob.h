// CTcpipJob: one object of the TCP/IP module created by its ProgID, with a CJobSink connected to
// its events, for the module's clients (tcpipclient, tests, benchmarks).
#pragma once

#include "common/com/BStr.h"
#include "common/com/JobSink.h"
#include "tcpip/DaxTcpip.h"

template <class I, const IID *EventsIid> class CTcpipJob
{
  public:
    using Sink = CJobSink<EventsIid>;

    explicit CTcpipJob(const char *progId)
    {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(kitcom::BStr(progId).Get(), &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, kitcom::IidOf<I>(), m_obj.PutVoid())))
            return;
        m_sink = kitcom::Make<Sink>();
        kitcom::ComPtr<IConnectionPointContainer> container;
        m_obj->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        if (!container || FAILED(container->FindConnectionPoint(*EventsIid, &m_point)) ||
            FAILED(m_point->Advise(m_sink->GetUnknown(), &m_cookie)))
            m_obj.Reset();
    }
    ~CTcpipJob()
    {
        if (m_point && m_cookie)
            m_point->Unadvise(m_cookie);
    }

    I *operator->() const { return m_obj.Get(); }
    I *Get() const { return m_obj.Get(); }
    Sink &Events() const { return *m_sink; }
    explicit operator bool() const { return static_cast<bool>(m_obj); }

    // Start, then the wait for the run's End (at most `dwMs`, then Stop): true for End(1, "15").
    bool Run(DWORD dwMs)
    {
        const size_t ends = m_sink->Contar("End");
        if (m_obj->Start() != S_OK)
            return false;
        if (!m_sink->EsperarEnd(ends + 1, dwMs))
        {
            m_obj->Stop(kStopMs);
            return false;
        }
        const auto events = m_sink->Eventos();
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->strNombre == "End")
                return it->bOk == 1 && it->strTexto == "15";
        return false;
    }

    // Waits until the worker has gone (its last log line written), at most `dwMs`.
    bool WaitGone(DWORD dwMs) const
    {
        const DWORD dwStart = GetTickCount();
        for (LONG bActive = 1; m_obj->IsActive(&bActive) == S_OK && bActive; Sleep(1))
            if (GetTickCount() - dwStart >= dwMs)
                return false;
        return true;
    }

    static constexpr LONG kStopMs = 2000;

  private:
    kitcom::ComPtr<I> m_obj;
    kitcom::ComPtr<Sink> m_sink;
    kitcom::ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

using CheckNicsJob = CTcpipJob<ICheckNics2, &DIID__ICheckNics2Events>;
using GetTcpipJob = CTcpipJob<IGetTcpipConfig2, &DIID__IGetTcpipConfig2Events>;
using SetTcpipJob = CTcpipJob<ISetTcpipConfig2, &DIID__ISetTcpipConfig2Events>;
