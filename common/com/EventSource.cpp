// Connection points: advising sinks and firing events to them.
#include "common/com/EventSource.h"
#include "common/com/CritSec.h"
#include "common/com/Object.h"

#include <algorithm>
#include <utility>

namespace kitcom
{
namespace
{
void AddRefItem(CONNECTDATA &item) noexcept
{
    item.pUnk->AddRef();
}
void ReleaseItem(CONNECTDATA &item) noexcept
{
    item.pUnk->Release();
}
void AddRefItem(IConnectionPoint *item) noexcept
{
    item->AddRef();
}
void ReleaseItem(IConnectionPoint *item) noexcept
{
    item->Release();
}

// A snapshot enumerator (IEnumConnections, IEnumConnectionPoints): it holds a reference on
// every item it will hand out, and hands each out with a reference of the caller's.
template <class IEnum, class Item> class Enumerator final : public Object<Enumerator<IEnum, Item>, IEnum>
{
  public:
    Enumerator(std::vector<Item> items, size_t position) : items_(std::move(items)), position_(position)
    {
        for (Item &item : items_)
            AddRefItem(item);
    }
    ~Enumerator()
    {
        for (Item &item : items_)
            ReleaseItem(item);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item *out, ULONG *fetched) override
    {
        if (!out || (!fetched && count != 1))
            return E_POINTER;
        ULONG n = 0;
        for (; n < count && position_ < items_.size(); ++n, ++position_)
        {
            out[n] = items_[position_];
            AddRefItem(out[n]);
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const size_t left = items_.size() - position_;
        position_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum **ppEnum) override
    {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = nullptr;
        ComPtr<Enumerator> copy = Make<Enumerator>(items_, position_);
        if (!copy)
            return E_OUTOFMEMORY;
        *ppEnum = copy.Detach();
        return S_OK;
    }

  private:
    std::vector<Item> items_;
    size_t position_;
};

template <class IEnum, class Item> HRESULT MakeEnumerator(std::vector<Item> items, IEnum **out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<Enumerator<IEnum, Item>> enumerator = Make<Enumerator<IEnum, Item>>(std::move(items), size_t{0});
    if (!enumerator)
        return E_OUTOFMEMORY;
    *out = enumerator.Detach();
    return S_OK;
}
} // namespace

// One outgoing interface of an object. It is part of its container: its reference count is
// the container's.
class ConnectionPoint final : public IConnectionPoint
{
  public:
    ConnectionPoint(IConnectionPointContainer *container, const IID &iid) : container_(container), iid_(iid)
    {
    }
    ~ConnectionPoint()
    {
        for (auto &[cookie, sink] : sinks_)
            sink->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IConnectionPoint)
            return E_NOINTERFACE;
        AddRef();
        *ppv = static_cast<IConnectionPoint *>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return container_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return container_->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *pIID) override
    {
        if (!pIID)
            return E_POINTER;
        *pIID = iid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer **ppCPC) override
    {
        if (!ppCPC)
            return E_POINTER;
        container_->AddRef();
        *ppCPC = container_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown *pUnkSink, DWORD *pdwCookie) override
    {
        if (!pdwCookie)
            return E_POINTER;
        *pdwCookie = 0;
        if (!pUnkSink)
            return E_POINTER;
        IDispatch *sink = nullptr;
        if (FAILED(pUnkSink->QueryInterface(iid_, reinterpret_cast<void **>(&sink))) || !sink)
            if (FAILED(pUnkSink->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&sink))) || !sink)
                return CONNECT_E_CANNOTCONNECT;
        CritSecLock guard(lock_);
        if (++nextCookie_ == 0) // cookie 0 means "no connection"
            ++nextCookie_;
        sinks_.emplace_back(nextCookie_, sink);
        *pdwCookie = nextCookie_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override
    {
        IDispatch *sink = nullptr;
        {
            CritSecLock guard(lock_);
            auto it = std::find_if(sinks_.begin(), sinks_.end(),
                                   [&](auto &entry) { return entry.first == dwCookie; });
            if (it == sinks_.end())
                return CONNECT_E_NOCONNECTION;
            sink = it->second;
            sinks_.erase(it);
        }
        sink->Release(); // outside the lock: a sink's destruction may call back
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **ppEnum) override
    {
        std::vector<CONNECTDATA> items;
        {
            CritSecLock guard(lock_);
            for (auto &[cookie, sink] : sinks_)
                items.push_back({sink, cookie});
            for (CONNECTDATA &item : items) // the snapshot's own references, until the enumerator has its own
                item.pUnk->AddRef();
        }
        HRESULT hr = MakeEnumerator(items, ppEnum);
        for (CONNECTDATA &item : items)
            item.pUnk->Release();
        return hr;
    }

    ULONG Fire(DISPID id, DISPPARAMS &params)
    {
        // Owned references: a thread ended inside a sink unwinds through here and gives them back.
        std::vector<ComPtr<IDispatch>> snapshot;
        {
            CritSecLock guard(lock_);
            snapshot.reserve(sinks_.size());
            for (auto &[cookie, sink] : sinks_)
                snapshot.emplace_back(sink);
        }
        for (const ComPtr<IDispatch> &sink : snapshot)
        {
            // A sink's failure is its own business; the others still hear the event.
            sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                         nullptr);
        }
        return static_cast<ULONG>(snapshot.size());
    }

    size_t Count() const
    {
        CritSecLock guard(lock_);
        return sinks_.size();
    }

    const IID &Iid() const { return iid_; }

  private:
    IConnectionPointContainer *container_;
    const IID iid_;
    mutable AutoCriticalSection lock_;
    std::vector<std::pair<DWORD, IDispatch *>> sinks_;
    DWORD nextCookie_ = 0;
};

EventSource::EventSource(std::initializer_list<const IID *> eventIids)
{
    for (const IID *iid : eventIids)
        points_.push_back(std::make_unique<ConnectionPoint>(this, *iid));
}

EventSource::~EventSource() = default;

HRESULT STDMETHODCALLTYPE EventSource::EnumConnectionPoints(IEnumConnectionPoints **ppEnum)
{
    std::vector<IConnectionPoint *> items;
    for (auto &point : points_)
        items.push_back(point.get());
    return MakeEnumerator(items, ppEnum);
}

HRESULT STDMETHODCALLTYPE EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint **ppCP)
{
    if (!ppCP)
        return E_POINTER;
    *ppCP = nullptr;
    for (auto &point : points_)
        if (point->Iid() == riid)
        {
            point->AddRef();
            *ppCP = point.get();
            return S_OK;
        }
    return CONNECT_E_NOCONNECTION;
}

ULONG EventSource::FireParams(size_t index, DISPID id, DISPPARAMS &params)
{
    return index < points_.size() ? points_[index]->Fire(id, params) : 0;
}

size_t EventSource::ConnectionCount(size_t index) const
{
    return index < points_.size() ? points_[index]->Count() : 0;
}
} // namespace kitcom
