// EventSource: connection points for an object's outgoing dispatch interfaces, and Fire.
//
//     class CCounter final : public kitcom::Object<CCounter, ICounter, kitcom::Events<&DIID__ICounterEvents>>
//     {
//         ... Fire(1, lCount);          // Tick(lCount) to every sink, from any thread
//     };
//
// One IConnectionPoint per outgoing interface: Advise takes the sink through QueryInterface
// for the outgoing IID or else IID_IDispatch (CONNECT_E_CANNOTCONNECT when it has neither),
// Unadvise gives CONNECT_E_NOCONNECTION for a cookie it does not know. Fire calls
// IDispatch::Invoke (DISPATCH_METHOD, user-default locale, arguments by value) on every sink
// in turn; a sink that fails is ignored and the next one still called. Firing is safe from
// any thread while other threads advise and unadvise: the sinks are copied (with a reference
// each) under the point's lock and called outside it, so a sink whose Unadvise races a Fire
// may still receive that one last event (as with ATL), and a sink may Unadvise from inside
// its own event.
#pragma once

#include "common/com/BStr.h"

#include <array>
#include <initializer_list>
#include <memory>
#include <vector>

namespace kitcom
{
class ConnectionPoint;

class EventSource : public IConnectionPointContainer
{
  public:
    using Interface = IConnectionPointContainer;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint **ppCP) override;

    // Fires event `id` of the first outgoing interface; arguments as kitcom::Variant takes
    // them (LONG, texts, objects...). Returns the number of sinks called.
    template <class... A> ULONG Fire(DISPID id, const A &...args) { return FireOn(0, id, args...); }
    // The same on the outgoing interface `index` (in the order given to the constructor).
    template <class... A> ULONG FireOn(size_t index, DISPID id, const A &...args)
    {
        constexpr size_t count = sizeof...(A);
        std::array<Variant, count> values{Variant(args)...};
        std::array<VARIANTARG, count> reversed{};
        for (size_t i = 0; i < count; ++i)
            reversed[count - 1 - i] = values[i]; // borrowed: `values` keeps ownership
        DISPPARAMS params = {count ? reversed.data() : nullptr, nullptr, static_cast<UINT>(count), 0};
        return FireParams(index, id, params);
    }
    ULONG FireParams(size_t index, DISPID id, DISPPARAMS &params);

    // The sinks advised on the outgoing interface `index` now.
    size_t ConnectionCount(size_t index = 0) const;

  protected:
    explicit EventSource(std::initializer_list<const IID *> eventIids);
    ~EventSource();
    EventSource(const EventSource &) = delete;
    EventSource &operator=(const EventSource &) = delete;

  private:
    std::vector<std::unique_ptr<ConnectionPoint>> points_;
};

// An EventSource for the outgoing interfaces given as template arguments (the form an object
// lists among its interfaces).
template <const IID *...EventIids> class Events : public EventSource
{
  protected:
    Events() : EventSource({EventIids...}) {}
};
} // namespace kitcom
