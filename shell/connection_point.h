// The control's one connection point, for its event interface __Calc, and
// the enumerators a container walks. Sinks can connect, be listed and
// disconnect; the control raises no events.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <vector>

namespace wrenfield::windows {

class SourceConnectionPoint final : public IConnectionPoint {
public:
    // `container` is the control; its references are this object's references.
    explicit SourceConnectionPoint(IConnectionPointContainer& container, const IID& source);
    ~SourceConnectionPoint();
    SourceConnectionPoint(const SourceConnectionPoint&) = delete;
    SourceConnectionPoint& operator=(const SourceConnectionPoint&) = delete;

    // Lets every sink go (when the control closes or is destroyed).
    void disconnectAll();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

private:
    IConnectionPointContainer& container_;
    IID source_;
    std::vector<CONNECTDATA> sinks_;
    DWORD nextCookie_ = 1;
};

// An enumerator of the one connection point, holding the container alive.
HRESULT enumerateConnectionPoint(IConnectionPointContainer& container, IConnectionPoint& point,
                                 IEnumConnectionPoints** enumerator);

}  // namespace wrenfield::windows
