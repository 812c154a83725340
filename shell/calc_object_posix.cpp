// The Calc object on this project's runtime: dispatch by the control's own
// tables (the method names and dispatch identifiers of _Calc, the parameter
// names), as the runtime has no type library services.
#include <cstring>
#include <new>
#include <string>

#include "platform/ascii_text.h"
#include "shell/calc_object_base.h"
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
};

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
        if (pExcepInfo) {
            std::memset(pExcepInfo, 0, sizeof *pExcepInfo);
            pExcepInfo->wCode = 0;
            pExcepInfo->scode = errorHresult(*outcome.error);
            pExcepInfo->bstrSource = bstrFromUtf8(kRegistration.projectName);
            pExcepInfo->bstrDescription = bstrFromUtf8(outcome.error->description());
        }
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
