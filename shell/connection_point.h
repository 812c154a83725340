// A connection point of the Calc object's events, and the enumerators a host
// walks: sinks of the point's event interface connect (Advise), are listed
// and disconnect; the object raises an event to every sink connected at that
// moment. The same code serves the platform and this project's runtime.
#pragma once

#include <atomic>
#include <vector>

#include "shell/com_platform.h"

namespace wrenfield::shell {

class ConnectionPoint final : public IConnectionPoint {
public:
    // `container` is the object; its references are this point's references.
    ConnectionPoint(IConnectionPointContainer& container, const IID& source);
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& source() const noexcept { return source_; }

    // Lets every sink go (when the object closes or is destroyed).
    void disconnectAll();

    // The sinks connected now, each with a reference the caller releases: a
    // sink may disconnect (or connect others) while it hears an event.
    std::vector<IDispatch*> connectedSinks() const;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    // A sink must answer for the event interface (an IDispatch, since the
    // event interfaces are dispatch interfaces); anything else is
    // CONNECT_E_CANNOTCONNECT.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

private:
    IConnectionPointContainer& container_;
    IID source_;
    std::vector<CONNECTDATA> sinks_;
    DWORD nextCookie_ = 1;
};

// An enumerator of the object's connection points, holding the object alive.
HRESULT enumerateConnectionPoints(IConnectionPointContainer& container, std::vector<IConnectionPoint*> points,
                                  IEnumConnectionPoints** enumerator);

}  // namespace wrenfield::shell
