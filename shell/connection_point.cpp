#include "shell/connection_point.h"

#include <new>

namespace wrenfield::shell {

namespace {

// How an enumerator copies its items out: with a reference for the caller.
inline void addReference(IConnectionPoint* point)
{
    point->AddRef();
}
inline void addReference(CONNECTDATA& data)
{
    data.pUnk->AddRef();
}
inline void dropReference(IConnectionPoint* point)
{
    point->Release();
}
inline void dropReference(CONNECTDATA& data)
{
    data.pUnk->Release();
}

// A snapshot enumerator: it holds its own references to the items and keeps
// the object that made it alive.
template <typename Interface, typename Item, const IID* InterfaceId> class Enumerator final : public Interface {
public:
    Enumerator(IUnknown& owner, std::vector<Item> items, std::size_t position = 0)
        : owner_(owner)
        , items_(std::move(items))
        , position_(position)
    {
        owner_.AddRef();
        for (Item& item : items_)
            addReference(item);
    }
    ~Enumerator()
    {
        for (Item& item : items_)
            dropReference(item);
        owner_.Release();
    }
    Enumerator(const Enumerator&) = delete;
    Enumerator& operator=(const Enumerator&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, *InterfaceId)) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        while (given < count && position_ < items_.size()) {
            out[given] = items_[position_++];
            addReference(out[given]);
            ++given;
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const std::size_t left = items_.size() - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Interface** copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new (std::nothrow) Enumerator(owner_, items_, position_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    IUnknown& owner_;
    std::vector<Item> items_;
    std::size_t position_;
    std::atomic<ULONG> references_{1};
};

using ConnectionEnumerator = Enumerator<IEnumConnections, CONNECTDATA, &IID_IEnumConnections>;
using PointEnumerator = Enumerator<IEnumConnectionPoints, IConnectionPoint*, &IID_IEnumConnectionPoints>;

}  // namespace

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, const IID& source)
    : container_(container)
    , source_(source)
{}

ConnectionPoint::~ConnectionPoint()
{
    disconnectAll();
}

void ConnectionPoint::disconnectAll()
{
    std::vector<CONNECTDATA> sinks;
    sinks.swap(sinks_);
    for (CONNECTDATA& sink : sinks)
        sink.pUnk->Release();
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef()
{
    return container_.AddRef();
}

ULONG ConnectionPoint::Release()
{
    return container_.Release();
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = source_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    container_.AddRef();
    *container = &container_;
    return S_OK;
}

std::vector<IDispatch*> ConnectionPoint::connectedSinks() const
{
    std::vector<IDispatch*> sinks;
    sinks.reserve(sinks_.size());
    for (const CONNECTDATA& connection : sinks_) {
        auto* sink = static_cast<IDispatch*>(static_cast<void*>(connection.pUnk));
        sink->AddRef();
        sinks.push_back(sink);
    }
    return sinks;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    // A sink must speak the event interface.
    IUnknown* events = nullptr;
    if (FAILED(sink->QueryInterface(source_, reinterpret_cast<void**>(&events))) || !events)
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back({events, nextCookie_});
    } catch (const std::bad_alloc&) {
        events->Release();
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie)
{
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->dwCookie == cookie) {
            IUnknown* sink = it->pUnk;
            sinks_.erase(it);
            sink->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (!connections)
        return E_POINTER;
    *connections = nullptr;
    try {
        *connections = new ConnectionEnumerator(container_, sinks_);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT enumerateConnectionPoints(IConnectionPointContainer& container, std::vector<IConnectionPoint*> points,
                                  IEnumConnectionPoints** enumerator)
{
    if (!enumerator)
        return E_POINTER;
    *enumerator = nullptr;
    try {
        *enumerator = new PointEnumerator(container, std::move(points));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace wrenfield::shell
