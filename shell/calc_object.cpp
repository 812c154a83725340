// The Calc object's shared part and its class factory; the platform's
// dispatch and interfaces are in calc_object_posix.cpp and
// windows/control/calc_object_windows.cpp.
#include "shell/calc_object.h"

#include <array>
#include <new>

#include "shell/calc_arguments.h"
#include "shell/calc_object_base.h"
#include "shell/com_text.h"
#include "shell/module.h"

namespace wrenfield::shell {

CalcObjectBase::CalcObjectBase()
    : calc_([this](const RuntimeError& error, std::string_view) {
        if (!startupError_)
            startupError_ = error;
    })
{
    calc_.setErrorSink(form::defaultCalcErrorSink());
    objectCreated();
}

CalcObjectBase::~CalcObjectBase()
{
    objectDestroyed();
}

HRESULT CalcObjectBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID__Calc) ||
        IsEqualIID(riid, IID__Calc2)) {
        *ppv = static_cast<_Calc2*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
        *ppv = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CalcObjectBase::AddRef()
{
    return ++references_;
}

ULONG CalcObjectBase::Release()
{
    const ULONG left = --references_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CalcObjectBase::slot(std::size_t index, VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
                             VARIANT* eth, VARIANT* par, VARIANT* retval)
{
    VARIANT* args[kParameterCount] = {bwt, gest, wt, ht, sex, eth, par};
    if (!retval)
        return E_POINTER;
    VariantInit(retval);
    for (VARIANT* arg : args)
        if (!arg)
            return E_POINTER;
    const CallOutcome outcome = call(form::calcMethods()[index], args, true, retval);
    if (outcome.error) {
        reportSlotError(*outcome.error, outcome.error->description());
        return errorHresult(*outcome.error);
    }
    return outcome.status;
}

// --- Properties ------------------------------------------------------------------

HRESULT CalcObjectBase::readProperty(std::size_t index, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    try {
        *value = bstrFromUtf8(propertyText(calc_, calcProperties()[index]));
        return *value ? S_OK : E_OUTOFMEMORY;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CalcObjectBase::writeProperty(std::size_t index, BSTR value)
{
    try {
        pickPropertyText(calc_, calcProperties()[index], utf8FromBstr(value));
        return S_OK;
    } catch (const RuntimeError& error) {
        reportSlotError(error, propertyErrorDescription(error));
        return errorHresult(error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CalcObjectBase::get_Centile(double* value)
{
    if (!value)
        return E_POINTER;
    *value = shownCentile(calc_);
    return S_OK;
}

// --- Connection points ---------------------------------------------------------------

HRESULT CalcObjectBase::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    return enumerateConnectionPoints(*this, {&eventSinks_, &firstVersionSinks_}, points);
}

HRESULT CalcObjectBase::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    for (ConnectionPoint* candidate : {&eventSinks_, &firstVersionSinks_}) {
        if (IsEqualIID(riid, candidate->source())) {
            candidate->AddRef();
            *point = candidate;
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

void CalcObjectBase::disconnectSinks()
{
    eventSinks_.disconnectAll();
    firstVersionSinks_.disconnectAll();
}

CallOutcome CalcObjectBase::call(const form::CalcMethod& method, VARIANT* const* args, bool callersVariables,
                                 VARIANT* result)
{
    CallOutcome outcome;
    try {
        std::array<BoundArgument, kParameterCount> bound;
        for (std::size_t i = 0; i < kParameterCount; ++i) {
            const HRESULT hr = bound[i].bind(args[i], callersVariables);
            if (FAILED(hr)) {
                outcome.status = hr;
                outcome.failedArgument = static_cast<UINT>(i);
                return outcome;
            }
        }
        std::array<Variant, kParameterCount> values;
        // The engine Variants are moved into one array for the call and back
        // afterwards, so that a by-reference Variant keeps referring to the
        // caller's variable.
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = std::move(bound[i].value());
        Variant value;
        try {
            value = form::callCalcMethod(calc_, method, values);
        } catch (const RuntimeError& error) {
            outcome.error = error;
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            bound[i].value() = std::move(values[i]);
            try {
                const HRESULT hr = bound[i].writeBack();
                if (FAILED(hr) && SUCCEEDED(outcome.status))
                    outcome.status = hr;
            } catch (const RuntimeError& error) {
                if (!outcome.error)
                    outcome.error = error;
            }
        }
        if (!outcome.error && SUCCEEDED(outcome.status) && result)
            outcome.status = toVariant(value, result);
    } catch (const std::bad_alloc&) {
        outcome.status = E_OUTOFMEMORY;
    } catch (...) {
        outcome.status = E_UNEXPECTED;
    }
    return outcome;
}

namespace {

class CalcFactory final : public IClassFactory {
public:
    CalcFactory() { objectCreated(); }
    ~CalcFactory() { objectDestroyed(); }
    CalcFactory(const CalcFactory&) = delete;
    CalcFactory& operator=(const CalcFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
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
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        return createCalc(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override
    {
        lockServer(fLock != FALSE);
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT createCalc(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    try {
        CalcObjectBase* object = newCalcObject();
        HRESULT hr = object->startupError() ? errorHresult(*object->startupError()) : object->finishCreation();
        if (SUCCEEDED(hr))
            hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT createCalcFactory(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    try {
        auto* factory = new CalcFactory;
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace wrenfield::shell
