#include "windows/src/calc_object.h"

#include <array>
#include <atomic>
#include <new>

#include "Wrenfield515UK.h"
#include "engine/population_methods.h"
#include "platform/runtime_error.h"
#include "windows/src/error_info.h"
#include "windows/src/module.h"
#include "windows/src/type_library.h"
#include "windows/src/variant_args.h"

namespace wrenfield::windows {
namespace {

class CalcObject final : public _Calc, public ISupportErrorInfo {
public:
    explicit CalcObject(ITypeInfo* typeInfo) : typeInfo_(typeInfo) { objectCreated(); }
    ~CalcObject()
    {
        typeInfo_->Release();
        objectDestroyed();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__Calc)) {
            *object = static_cast<_Calc*>(this);
        } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch, by the type library
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (info == nullptr)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        typeInfo_->AddRef();
        *info = typeInfo_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override
    {
        if (!IsEqualIID(iid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        return DispGetIDsOfNames(typeInfo_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override
    {
        if (!IsEqualIID(iid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        return DispInvoke(static_cast<_Calc*>(this), typeInfo_, id, flags, params, result, exception,
                          argumentError);
    }

    // _Calc: the five population methods in slot order.
    HRESULT STDMETHODCALLTYPE custcentukn(VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
                                          VARIANT* eth, VARIANT* par, VARIANT* result) override
    {
        return call(engine::custcentukn, {bwt, gest, wt, ht, sex, eth, par}, result);
    }
    HRESULT STDMETHODCALLTYPE custcentus(VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
                                         VARIANT* eth, VARIANT* par, VARIANT* result) override
    {
        return call(engine::custcentus, {bwt, gest, wt, ht, sex, eth, par}, result);
    }
    HRESULT STDMETHODCALLTYPE custcentswe(VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
                                          VARIANT* eth, VARIANT* par, VARIANT* result) override
    {
        return call(engine::custcentswe, {bwt, gest, wt, ht, sex, eth, par}, result);
    }
    HRESULT STDMETHODCALLTYPE custcentnz(VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
                                         VARIANT* eth, VARIANT* par, VARIANT* result) override
    {
        return call(engine::custcentnz, {bwt, gest, wt, ht, sex, eth, par}, result);
    }
    HRESULT STDMETHODCALLTYPE custcentau(VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
                                         VARIANT* eth, VARIANT* par, VARIANT* result) override
    {
        return call(engine::custcentau, {bwt, gest, wt, ht, sex, eth, par}, result);
    }

    // ISupportErrorInfo: every failure of `_Calc` carries error information.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return IsEqualIID(iid, IID__Calc) ? S_OK : S_FALSE;
    }

private:
    // Runs one method: the arguments as the engine's variants, the method,
    // the write-backs (also after a failure), the result. A run-time error
    // becomes its classic HRESULT with error information.
    static HRESULT call(engine::PopulationMethod method, std::array<VARIANT*, 7> arguments, VARIANT* result)
    {
        if (result == nullptr)
            return E_POINTER;
        VariantInit(result);
        try {
            VariantArguments args(arguments);
            Variant value;
            try {
                value = method(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
            } catch (...) {
                // The caller's variables get what was written before the
                // failure; the method's own error is the one reported.
                try {
                    args.writeBack();
                } catch (...) {
                }
                throw;
            }
            args.writeBack();
            return resultToVariant(value, result);
        } catch (const RuntimeError& error) {
            return reportRuntimeError(error, IID__Calc);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    std::atomic<ULONG> references_{1};
    ITypeInfo* typeInfo_;
};

}  // namespace

HRESULT createCalc(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    ITypeInfo* typeInfo = nullptr;
    HRESULT hr = loadTypeInfo(IID__Calc, &typeInfo);
    if (FAILED(hr))
        return hr;
    CalcObject* calc = new (std::nothrow) CalcObject(typeInfo);
    if (calc == nullptr) {
        typeInfo->Release();
        return E_OUTOFMEMORY;
    }
    hr = calc->QueryInterface(iid, object);
    calc->Release();
    return hr;
}

}  // namespace wrenfield::windows
