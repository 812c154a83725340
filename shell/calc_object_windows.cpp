// The Calc object on the platform: dispatch is the platform's own, driven by
// the type library embedded in the library. GetIDsOfNames and Invoke go
// through the type information of _Calc to the slots, and the slots leave
// error information for the caller (ISupportErrorInfo says so).
#include "shell/calc_object_base.h"
#include "shell/library_windows.h"

namespace wrenfield::shell {
namespace {

class CalcObject final : public CalcObjectBase, public ISupportErrorInfo {
public:
    ~CalcObject() override
    {
        if (typeInfo_)
            typeInfo_->Release();
    }

    HRESULT finishCreation() override { return loadCalcTypeInfo(&typeInfo_); }

    // --- IUnknown, for every interface of the object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return CalcObjectBase::QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return CalcObjectBase::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CalcObjectBase::Release(); }

    // --- ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return IsEqualIID(riid, IID__Calc) ? S_OK : S_FALSE;
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
        return DispInvoke(static_cast<_Calc*>(this), typeInfo_, dispIdMember, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
    }

protected:
    void* otherInterface(REFIID riid) override
    {
        if (IsEqualIID(riid, IID_ISupportErrorInfo))
            return static_cast<ISupportErrorInfo*>(this);
        return nullptr;
    }
    void reportSlotError(const RuntimeError& error) override { setErrorInfo(error); }

private:
    ITypeInfo* typeInfo_ = nullptr;
};

}  // namespace

CalcObjectBase* newCalcObject()
{
    return new CalcObject;
}

}  // namespace wrenfield::shell
