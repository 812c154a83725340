#include "shell/calc_object.h"

#include <atomic>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "form/calc.h"
#include "form/calc_interface.h"
#include "platform/runtime_error.h"
#include "platform/utf16_text.h"
#include "shell/calc_arguments.h"
#include "shell/module.h"
#include "shell/project_description.h"
#include "shell/wrenfield515uk.h"
#ifdef _WIN32
#include <memory>

#include "shell/library_windows.h"
#include "windows/control/interface_trace.h"
#include "windows/control/ole_control.h"
#endif

namespace wrenfield::shell {
namespace {

constexpr int kParameterCount = 7;

HRESULT errorHresult(const RuntimeError& error)
{
    return WRENFIELD_ERROR_HRESULT(error.code());
}

#ifndef _WIN32
// Name lookup and EXCEPINFO texts of this runtime's dispatch (the platform's
// dispatch does both from the type library).
std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A name from the host, compared without regard to (ASCII) case.
std::string foldedName(LPOLESTR name)
{
    if (!name)
        return {};
    return lowerAscii(utf8FromUtf16(reinterpret_cast<const char16_t*>(name)));
}

BSTR textOf(std::string_view utf8)
{
    const std::u16string units = utf16FromUtf8(utf8);
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(units.data()), static_cast<UINT>(units.size()));
}
#endif

// How a call ended: a status for the caller, or a run-time error of the method.
struct CallOutcome {
    HRESULT status = S_OK;
    std::optional<RuntimeError> error;
    UINT failedArgument = 0;  // parameter index, for a status that names one
};

// On the platform, dispatch is the platform's own, driven by the type
// library embedded in the library: GetIDsOfNames and Invoke go through the
// type information of _Calc to the slots, and the slots leave error
// information for the caller (ISupportErrorInfo says so).
class CalcObject final : public _Calc
#ifdef _WIN32
    , public ISupportErrorInfo
#endif
{
public:
    CalcObject()
        : calc_([this](const RuntimeError& error, std::string_view) {
              if (!startupError_)
                  startupError_ = error;
          })
    {
        calc_.setErrorSink(form::defaultCalcErrorSink());
        objectCreated();
    }
    ~CalcObject()
    {
#ifdef _WIN32
        if (typeInfo_)
            typeInfo_->Release();
#endif
        objectDestroyed();
    }
    CalcObject(const CalcObject&) = delete;
    CalcObject& operator=(const CalcObject&) = delete;

    const std::optional<RuntimeError>& startupError() const { return startupError_; }

#ifdef _WIN32
    HRESULT loadTypeInfo() { return loadCalcTypeInfo(&typeInfo_); }

    // The visual control: its window, its OLE interfaces, its persistence.
    void makeControl() { control_ = std::make_unique<windows::OleControl>(*static_cast<_Calc*>(this), calc_); }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return IsEqualIID(riid, IID__Calc) ? S_OK : S_FALSE;
    }
#endif

    // --- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
#ifdef _WIN32
        const HRESULT hr = ownInterface(riid, ppv);
        windows::traceQueryInterface(riid, hr);
        return hr;
    }
    HRESULT ownInterface(REFIID riid, void** ppv)
    {
        if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
            *ppv = static_cast<ISupportErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        if (control_ && control_->query(riid, ppv) == S_OK)
            return S_OK;
#endif
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID__Calc)) {
            *ppv = static_cast<_Calc*>(this);
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

#ifdef _WIN32
    // --- IDispatch, by the embedded type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0)
            return DISP_E_BADINDEX;
        typeInfo_->AddRef();
        *ppTInfo = typeInfo_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                            DISPID* rgDispId) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        return DispGetIDsOfNames(typeInfo_, rgszNames, cNames, rgDispId);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        return DispInvoke(static_cast<_Calc*>(this), typeInfo_, dispIdMember, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
    }
#else
    // --- IDispatch. The type information lives in the registered type
    // library, not in the object.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
#endif

    // --- _Calc slots
    WRENFIELD_CALC_METHOD(custcentukn) override { return slot(0, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentus) override { return slot(1, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentswe) override { return slot(2, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentnz) override { return slot(3, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentau) override { return slot(4, bwt, gest, wt, ht, sex, eth, par, retval); }

private:
    HRESULT slot(std::size_t index, VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
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
#ifdef _WIN32
            setErrorInfo(*outcome.error);
#endif
            return errorHresult(*outcome.error);
        }
        return outcome.status;
    }

    // Binds the arguments (in parameter order), runs the method, writes back
    // into the caller's variables (also after a run-time error: a method
    // that failed after storing the weeks has stored them) and delivers the
    // result.
    CallOutcome call(const form::CalcMethod& method, VARIANT* const* args, bool callersVariables, VARIANT* result);

    std::atomic<ULONG> references_{1};
    std::optional<RuntimeError> startupError_;
#ifdef _WIN32
    ITypeInfo* typeInfo_ = nullptr;
#endif
    form::Calc calc_;
#ifdef _WIN32
    // After calc_: the control's windows go before the form they show.
    std::unique_ptr<windows::OleControl> control_;
#endif
};

CallOutcome CalcObject::call(const form::CalcMethod& method, VARIANT* const* args, bool callersVariables,
                             VARIANT* result)
{
    CallOutcome outcome;
    try {
        std::array<BoundArgument, kParameterCount> bound;
        for (int i = 0; i < kParameterCount; ++i) {
            const HRESULT hr = bound[static_cast<std::size_t>(i)].bind(args[i], callersVariables);
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

#ifndef _WIN32
HRESULT CalcObject::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!rgszNames || !rgDispId)
        return E_POINTER;
    if (cNames == 0)
        return E_INVALIDARG;
    try {
        for (UINT i = 0; i < cNames; ++i)
            rgDispId[i] = DISPID_UNKNOWN;
        const std::string member = foldedName(rgszNames[0]);
        const form::CalcMethod* found = nullptr;
        for (const form::CalcMethod& method : form::calcMethods())
            if (lowerAscii(method.name) == member)
                found = &method;
        if (!found)
            return DISP_E_UNKNOWNNAME;
        rgDispId[0] = found->dispatchId;
        // The further names are parameters, numbered by their position.
        HRESULT hr = S_OK;
        for (UINT i = 1; i < cNames; ++i) {
            const std::string parameter = foldedName(rgszNames[i]);
            for (std::size_t p = 0; p < form::kCalcParameterNames.size(); ++p)
                if (form::kCalcParameterNames[p] == parameter)
                    rgDispId[i] = static_cast<DISPID>(p);
            if (rgDispId[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CalcObject::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                           VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    const form::CalcMethod* method = form::calcMethodByDispatchId(dispIdMember);
    // The methods can be called, or read like a property with arguments; the
    // control has nothing to assign to.
    if (!method || !(wFlags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (!pDispParams)
        return E_POINTER;
    const DISPPARAMS& params = *pDispParams;
    if ((params.cArgs > 0 && !params.rgvarg) || (params.cNamedArgs > 0 && !params.rgdispidNamedArgs))
        return E_POINTER;
    if (params.cNamedArgs > params.cArgs)
        return E_INVALIDARG;
    if (params.cArgs != kParameterCount)
        return DISP_E_BADPARAMCOUNT;

    // Arguments arrive last first; the named ones come first in rgvarg.
    VARIANT* args[kParameterCount] = {};
    UINT position[kParameterCount] = {};
    for (UINT i = 0; i < params.cNamedArgs; ++i) {
        const DISPID id = params.rgdispidNamedArgs[i];
        if (id < 0 || id >= kParameterCount || args[id]) {
            if (puArgErr)
                *puArgErr = i;
            return DISP_E_PARAMNOTFOUND;
        }
        args[id] = &params.rgvarg[i];
        position[id] = i;
    }
    const UINT positional = params.cArgs - params.cNamedArgs;
    for (UINT k = 0; k < positional; ++k) {
        const UINT index = params.cArgs - 1 - k;
        if (args[k]) {  // also given by name
            if (puArgErr)
                *puArgErr = position[k];
            return DISP_E_PARAMNOTFOUND;
        }
        args[k] = &params.rgvarg[index];
        position[k] = index;
    }

    if (pVarResult)
        VariantInit(pVarResult);
    const CallOutcome outcome = call(*method, args, false, pVarResult);
    if (outcome.error) {
        if (pExcepInfo) {
            std::memset(pExcepInfo, 0, sizeof *pExcepInfo);
            pExcepInfo->wCode = 0;
            pExcepInfo->scode = errorHresult(*outcome.error);
            pExcepInfo->bstrSource = textOf(kRegistration.projectName);
            pExcepInfo->bstrDescription = textOf(outcome.error->description());
        }
        return DISP_E_EXCEPTION;
    }
    if (FAILED(outcome.status) && puArgErr &&
        (outcome.status == DISP_E_TYPEMISMATCH || outcome.status == DISP_E_PARAMNOTOPTIONAL))
        *puArgErr = position[outcome.failedArgument];
    return outcome.status;
}
#endif

// --- The class factory

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
        auto* object = new CalcObject;
        if (const auto& error = object->startupError()) {
            object->Release();
            return errorHresult(*error);
        }
#ifdef _WIN32
        if (const HRESULT hr = object->loadTypeInfo(); FAILED(hr)) {
            object->Release();
            return hr;
        }
        object->makeControl();
#endif
        const HRESULT hr = object->QueryInterface(riid, ppv);
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
