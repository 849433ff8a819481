// CJobSink: a client's sink for the events of the kit's job objects (the modem module's
// SetZyxelConfig and GetZyxelConfig and the TCP/IP module's three objects), which all have
// Start(bOk, bstrText) as dispatch id 1 and End(bOk, bstrText) and ProgressDone(bstrText) on
// their own outgoing interface: End as 2 and ProgressDone as 3 unless the object says otherwise
// (GetZyxelConfig has them the other way round). It keeps what it hears, in order, lets the client wait for
// the n-th End, and may print each event as it comes.
//
//     kitcom::ComPtr<CJobSink<&DIID__ICheckNics2Events>> sink = kitcom::Make<...>();
#pragma once

#include "common/com/BStr.h"
#include "common/com/CritSec.h"
#include "common/com/Object.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

template <const IID *EventsIid, DISPID EndId = 2, DISPID ProgressDoneId = 3>
class CJobSink final
    : public kitcom::Object<CJobSink<EventsIid, EndId, ProgressDoneId>,
                            kitcom::EventSink<CJobSink<EventsIid, EndId, ProgressDoneId>, EventsIid>>
{
  public:
    struct Evento
    {
        std::string strNombre; // "Start", "End" or "ProgressDone"
        LONG bOk = 0;
        std::string strTexto;
        DWORD dwThread = 0;
    };

    static constexpr DISPID kStart = 1;
    static constexpr DISPID kEnd = EndId;
    static constexpr DISPID kProgressDone = ProgressDoneId;

    static std::span<const kitcom::DispMember<CJobSink>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CJobSink> members[] = {
            kitcom::Method<&CJobSink::Start>("Start", kStart),
            kitcom::Method<&CJobSink::End>("End", kEnd),
            kitcom::Method<&CJobSink::ProgressDone>("ProgressDone", kProgressDone),
        };
        return members;
    }

    HRESULT Start(LONG bOk, BSTR bstrText) { return Anotar({"Start", bOk, kitcom::NarrowOf(bstrText)}); }
    HRESULT End(LONG bOk, BSTR bstrText) { return Anotar({"End", bOk, kitcom::NarrowOf(bstrText)}); }
    HRESULT ProgressDone(BSTR bstrText) { return Anotar({"ProgressDone", 0, kitcom::NarrowOf(bstrText)}); }

    // Called for each event as it arrives, on the thread that fired it.
    void AlRecibir(std::function<void(const Evento &)> fn)
    {
        kitcom::CritSecLock guard(m_lock);
        m_alRecibir = std::move(fn);
    }

    // Waits until `n` End events have arrived in all; false after `dwMs` milliseconds.
    bool EsperarEnd(size_t n, DWORD dwMs)
    {
        CAviso aviso(*this);
        const DWORD dwInicio = GetTickCount();
        kitcom::CritSecLock guard(m_lock);
        while (Cuantos("End") < n)
        {
            const DWORD dwPasado = GetTickCount() - dwInicio;
            if (dwPasado >= dwMs)
                return false;
            guard.Unlock();
            WaitForSingleObject(aviso.Evento(), dwMs - dwPasado);
            guard.Lock();
        }
        return true;
    }

    // How many events of that name have arrived.
    size_t Contar(const char *pszNombre) const
    {
        kitcom::CritSecLock guard(m_lock);
        return Cuantos(pszNombre);
    }

    std::vector<Evento> Eventos() const
    {
        kitcom::CritSecLock guard(m_lock);
        return m_eventos;
    }

    // "Start(0,msg1) End(0,msg1)": the events other than ProgressDone, in order.
    std::string Resumen() const
    {
        std::string resumen;
        for (const Evento &evento : Eventos())
            if (evento.strNombre != "ProgressDone")
                resumen += (resumen.empty() ? "" : " ") + evento.strNombre + "(" +
                           std::to_string(evento.bOk) + "," + evento.strTexto + ")";
        return resumen;
    }

    void Olvidar()
    {
        kitcom::CritSecLock guard(m_lock);
        m_eventos.clear();
    }

  private:
    HRESULT Anotar(Evento evento)
    {
        evento.dwThread = GetCurrentThreadId();
        std::function<void(const Evento &)> fn;
        {
            kitcom::CritSecLock guard(m_lock);
            m_eventos.push_back(evento);
            fn = m_alRecibir;
        }
        if (fn)
            fn(evento);
        Avisar();
        return S_OK;
    }

    // A waiter's own auto-reset event, set by every event that arrives while it waits; each
    // waiter has its own so no one can take another's wake-up.
    class CAviso
    {
      public:
        explicit CAviso(CJobSink &sink)
            : m_sink(sink), m_hEvento(CreateEventA(nullptr, FALSE, FALSE, nullptr))
        {
            kitcom::CritSecLock guard(m_sink.m_lock);
            m_sink.m_avisos.push_back(m_hEvento);
        }
        ~CAviso()
        {
            {
                kitcom::CritSecLock guard(m_sink.m_lock);
                std::erase(m_sink.m_avisos, m_hEvento);
            }
            CloseHandle(m_hEvento);
        }
        CAviso(const CAviso &) = delete;
        CAviso &operator=(const CAviso &) = delete;
        HANDLE Evento() const { return m_hEvento; }

      private:
        CJobSink &m_sink;
        HANDLE m_hEvento;
    };

    void Avisar()
    {
        kitcom::CritSecLock guard(m_lock);
        for (HANDLE hEvento : m_avisos)
            SetEvent(hEvento);
    }

    size_t Cuantos(const char *pszNombre) const
    {
        size_t n = 0;
        for (const Evento &evento : m_eventos)
            n += evento.strNombre == pszNombre;
        return n;
    }

    mutable kitcom::AutoCriticalSection m_lock;
    std::vector<HANDLE> m_avisos; // the events of the threads in EsperarEnd
    std::vector<Evento> m_eventos;
    std::function<void(const Evento &)> m_alRecibir;
};
