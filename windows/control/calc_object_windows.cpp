// The Calc object on the platform: dispatch is the platform's own, driven by
// the type library embedded in the library. GetIDsOfNames and Invoke go
// through the type information of _Calc2 (the methods of _Calc and the
// properties) to the slots, and the slots leave error information for the
// caller (ISupportErrorInfo says so). The visual control (windows/control/)
// adds its OLE interfaces to the same object.
#include <memory>

#include "shell/calc_object_base.h"
#include "windows/control/library_windows.h"
#include "windows/control/interface_trace.h"
#include "windows/control/ole_control.h"

namespace wrenfield::shell {
namespace {

class CalcObject final : public CalcObjectBase, public ISupportErrorInfo {
public:
    ~CalcObject() override
    {
        if (typeInfo_)
            typeInfo_->Release();
    }

    // The type information, then the visual control: its window, its OLE
    // interfaces, its persistence.
    HRESULT finishCreation() override
    {
        const HRESULT hr = loadCalcTypeInfo(&typeInfo_);
        if (SUCCEEDED(hr))
            control_ = std::make_unique<windows::OleControl>(*this, calc());
        return hr;
    }

    // --- IUnknown, for every interface of the object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        const HRESULT hr = ownInterface(riid, ppv);
        windows::traceQueryInterface(riid, hr);
        return hr;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return CalcObjectBase::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CalcObjectBase::Release(); }

    // --- ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return IsEqualIID(riid, IID__Calc) || IsEqualIID(riid, IID__Calc2) ? S_OK : S_FALSE;
    }

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
        return DispInvoke(static_cast<_Calc2*>(this), typeInfo_, dispIdMember, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
    }

protected:
    void reportSlotError(const RuntimeError&, std::string_view description) override { setErrorInfo(description); }

private:
    HRESULT ownInterface(REFIID riid, void** ppv)
    {
        if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
            *ppv = static_cast<ISupportErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        if (control_ && control_->query(riid, ppv) == S_OK)
            return S_OK;
        return CalcObjectBase::QueryInterface(riid, ppv);
    }

    ITypeInfo* typeInfo_ = nullptr;
    // Destroyed before the form model (a member of the base) that its
    // windows show.
    std::unique_ptr<windows::OleControl> control_;
};

}  // namespace

CalcObjectBase* newCalcObject()
{
    return new CalcObject;
}

}  // namespace wrenfield::shell
