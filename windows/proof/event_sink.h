// A sink of the control's events, as a form's code is one: an IDispatch that
// answers for the default event interface __Calc2 (or the interface given)
// and counts what it hears.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "shell/wrenfield515uk_ids.h"
#include "wrenfield515uk_idl.h"

class EventSink final : public IDispatch {
public:
    explicit EventSink(const IID& answers = DIID___Calc2)
        : answers_(answers)
    {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, answers_)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        const double centile =
            params && params->cArgs == 1 && V_VT(&params->rgvarg[0]) == VT_R8 ? V_R8(&params->rgvarg[0]) : -1;
        if (id == DISPID_Recomputed) {
            ++recomputed;
            lastRecomputed = centile;
        } else if (id == DISPID_CentileChanged) {
            ++changed;
            lastChanged = centile;
        } else {
            ++other;
        }
        return S_OK;
    }

    int recomputed = 0;
    int changed = 0;
    int other = 0;
    double lastRecomputed = -1;
    double lastChanged = -1;
    ULONG references = 1;

private:
    IID answers_;
};

// Connects a sink to the control's connection point of `source`; 0 when it
// cannot. disconnect() undoes it.
DWORD connectSink(IUnknown* control, IDispatch* sink, const IID& source = DIID___Calc2);
void disconnectSink(IUnknown* control, DWORD cookie, const IID& source = DIID___Calc2);
