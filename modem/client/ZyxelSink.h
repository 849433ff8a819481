// CZyxelSink: a client's sink for the SetZyxelConfig events. It keeps what it hears, in order,
// lets the client wait for the n-th End, and may print each event as it comes.
#pragma once

#include "common/com/BStr.h"
#include "common/com/Object.h"
#include "modem/DaxModem.h"

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CZyxelSink final
    : public kitcom::Object<CZyxelSink, kitcom::EventSink<CZyxelSink, &DIID__ISetZyxelConfigEvents>>
{
  public:
    struct Evento
    {
        std::string strNombre; // "Start", "End" or "ProgressDone"
        LONG bOk = 0;
        std::string strTexto;
        DWORD dwThread = 0;
    };

    static std::span<const kitcom::DispMember<CZyxelSink>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CZyxelSink> members[] = {
            kitcom::Method<&CZyxelSink::Start>("Start", DISPID_SETZYXELEVENTS_START),
            kitcom::Method<&CZyxelSink::End>("End", DISPID_SETZYXELEVENTS_END),
            kitcom::Method<&CZyxelSink::ProgressDone>("ProgressDone", DISPID_SETZYXELEVENTS_PROGRESSDONE),
        };
        return members;
    }

    HRESULT Start(LONG bOk, BSTR bstrText) { return Anotar({"Start", bOk, kitcom::NarrowOf(bstrText)}); }
    HRESULT End(LONG bOk, BSTR bstrText) { return Anotar({"End", bOk, kitcom::NarrowOf(bstrText)}); }
    HRESULT ProgressDone(BSTR bstrText) { return Anotar({"ProgressDone", 0, kitcom::NarrowOf(bstrText)}); }

    // Called for each event as it arrives, on the thread that fired it.
    void AlRecibir(std::function<void(const Evento &)> fn)
    {
        std::lock_guard guard(m_lock);
        m_alRecibir = std::move(fn);
    }

    // Waits until `n` End events have arrived in all; false after `dwMs` milliseconds.
    bool EsperarEnd(size_t n, DWORD dwMs)
    {
        std::unique_lock guard(m_lock);
        return m_cambio.wait_for(guard, std::chrono::milliseconds(dwMs), [&] { return Cuantos("End") >= n; });
    }

    std::vector<Evento> Eventos() const
    {
        std::lock_guard guard(m_lock);
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
        std::lock_guard guard(m_lock);
        m_eventos.clear();
    }

  private:
    HRESULT Anotar(Evento evento)
    {
        evento.dwThread = GetCurrentThreadId();
        std::function<void(const Evento &)> fn;
        {
            std::lock_guard guard(m_lock);
            m_eventos.push_back(evento);
            fn = m_alRecibir;
        }
        if (fn)
            fn(evento);
        m_cambio.notify_all();
        return S_OK;
    }

    size_t Cuantos(const char *pszNombre) const
    {
        size_t n = 0;
        for (const Evento &evento : m_eventos)
            n += evento.strNombre == pszNombre;
        return n;
    }

    mutable std::mutex m_lock;
    std::condition_variable m_cambio;
    std::vector<Evento> m_eventos;
    std::function<void(const Evento &)> m_alRecibir;
};
