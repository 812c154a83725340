// The class factory of Calc and the library's four entry points.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <new>

#include "Wrenfield515UK.h"
#include "windows/src/calc_object.h"
#include "windows/src/module.h"
#include "windows/src/registration.h"

namespace wrenfield::windows {
namespace {

class CalcFactory final : public IClassFactory {
public:
    CalcFactory() { objectCreated(); }
    ~CalcFactory() { objectDestroyed(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
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

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        return createCalc(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            serverLocked();
        else
            serverUnlocked();
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace
}  // namespace wrenfield::windows

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    using namespace wrenfield::windows;
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Calc))
        return CLASS_E_CLASSNOTAVAILABLE;
    CalcFactory* factory = new (std::nothrow) CalcFactory();
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return wrenfield::windows::inUse() ? S_FALSE : S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    return wrenfield::windows::registerServer();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return wrenfield::windows::unregisterServer();
}
