// The Calc object on this project's runtime: dispatch by the control's own
// tables (the method names and dispatch identifiers of _Calc, the parameter
// names, the properties of _Calc2), as the runtime has no type library
// services.
#include <cstring>
#include <new>
#include <string>

#include "platform/ascii_text.h"
#include "shell/calc_object_base.h"
#include "shell/calc_properties.h"
#include "shell/com_text.h"
#include "shell/project_description.h"

namespace wrenfield::shell {
namespace {

// A name from the host, compared without regard to (ASCII) case.
std::string foldedName(LPOLESTR name)
{
    return lowerAscii(utf8FromOleText(name));
}

// The method with this dispatch identifier; nullptr when none has it.
const form::CalcMethod* methodByDispatchId(DISPID id)
{
    for (std::size_t slot = 0; slot < kCalcDispatchIds.size(); ++slot)
        if (kCalcDispatchIds[slot] == id)
            return &form::calcMethods()[slot];
    return nullptr;
}

void fillException(EXCEPINFO* exception, const RuntimeError& error, std::string_view description);

class CalcObject final : public CalcObjectBase {
public:
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

protected:
    void reportSlotError(const RuntimeError&, std::string_view description) override
    {
        lastSlotError_ = std::string(description);
    }

private:
    HRESULT invokeProperty(const CalcProperty& property, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError);

    // The description of the last property write that failed, for Invoke's
    // EXCEPINFO (the runtime keeps no error information of its own).
    std::string lastSlotError_;
};

// A run-time error as a late-bound caller receives it: DISP_E_EXCEPTION with
// the error's number in scode, its description and the library as source.
void fillException(EXCEPINFO* exception, const RuntimeError& error, std::string_view description)
{
    if (!exception)
        return;
    std::memset(exception, 0, sizeof *exception);
    exception->wCode = 0;
    exception->scode = errorHresult(error);
    exception->bstrSource = bstrFromUtf8(kRegistration.projectName);
    exception->bstrDescription = bstrFromUtf8(description);
}

HRESULT CalcObject::invokeProperty(const CalcProperty& property, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argumentError)
{
    if (!params)
        return E_POINTER;
    if ((params->cArgs > 0 && !params->rgvarg) || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_POINTER;
    const std::size_t index = static_cast<std::size_t>(&property - calcProperties().data());

    if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
        if (params->cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return S_OK;  // read for nothing
        VariantInit(result);
        if (!property.writable()) {
            double centile = 0;
            get_Centile(&centile);
            V_VT(result) = VT_R8;
            V_R8(result) = centile;
            return S_OK;
        }
        BSTR text = nullptr;
        const HRESULT hr = readProperty(index, &text);
        if (SUCCEEDED(hr)) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = text;
        }
        return hr;
    }
    if (!(flags & DISPATCH_PROPERTYPUT) || !property.writable())
        return DISP_E_MEMBERNOTFOUND;
    // A property write: its one argument, named DISPID_PROPERTYPUT.
    if (params->cArgs != 1)
        return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_PARAMNOTOPTIONAL;
    VARIANT text;
    VariantInit(&text);
    // A number becomes its text ("3500"); a reference is read through.
    HRESULT hr = VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR);
    if (FAILED(hr)) {
        if (argumentError)
            *argumentError = 0;
        return hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
    }
    lastSlotError_.clear();
    hr = writeProperty(index, V_BSTR(&text));
    VariantClear(&text);
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL && FAILED(hr)) {
        fillException(exception, RuntimeError(static_cast<ErrorNumber>(HRESULT_CODE(hr))), lastSlotError_);
        return DISP_E_EXCEPTION;
    }
    return hr;
}

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
        for (std::size_t slot = 0; slot < kCalcDispatchIds.size(); ++slot)
            if (lowerAscii(form::calcMethods()[slot].name) == member)
                rgDispId[0] = kCalcDispatchIds[slot];
        if (const CalcProperty* property = propertyByName(member)) {
            // A property has no named parameters.
            rgDispId[0] = property->dispatchId;
            return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
        if (rgDispId[0] == DISPID_UNKNOWN)
            return DISP_E_UNKNOWNNAME;
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
    if (const CalcProperty* property = propertyByDispatchId(dispIdMember))
        return invokeProperty(*property, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    const form::CalcMethod* method = methodByDispatchId(dispIdMember);
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
        if (id < 0 || id >= static_cast<DISPID>(kParameterCount) || args[id]) {
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
        fillException(pExcepInfo, *outcome.error, outcome.error->description());
        return DISP_E_EXCEPTION;
    }
    if (FAILED(outcome.status) && puArgErr &&
        (outcome.status == DISP_E_TYPEMISMATCH || outcome.status == DISP_E_PARAMNOTOPTIONAL))
        *puArgErr = position[outcome.failedArgument];
    return outcome.status;
}

}  // namespace

CalcObjectBase* newCalcObject()
{
    return new CalcObject;
}

}  // namespace wrenfield::shell
