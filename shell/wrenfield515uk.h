/*
 * Wrenfield515UK: what a host needs to create the Calc control and call it,
 * in C or C++. The identifiers, the dispatch identifiers and the slot order
 * are those of the interface description Wrenfield515UK.idl.
 *
 * _Calc is a dual interface: IDispatch's seven slots, then the five
 * population methods. Each takes seven in-out VARIANT* arguments (bwt, gest,
 * wt, ht, sex, eth, par) and a VARIANT* for the result: the centile in
 * percent as VT_R8, or a zero-length VT_BSTR when an input is missing. A
 * method's run-time error arrives through the slot as the HRESULT
 * 0x800A0000 + its number (13, type mismatch: 0x800A000D) and through
 * IDispatch::Invoke as DISP_E_EXCEPTION with the same scode in EXCEPINFO.
 */
#ifndef WRENFIELD_SHELL_WRENFIELD515UK_H
#define WRENFIELD_SHELL_WRENFIELD515UK_H

#include "shell/com_platform.h"

#define WRENFIELD515UK_PROGID "Wrenfield515UK.Calc"
#define WRENFIELD515UK_PROGID_OLESTR OLESTR("Wrenfield515UK.Calc")

#define DISPID_custcentukn 0x60030001
#define DISPID_custcentus 0x60030002
#define DISPID_custcentswe 0x60030003
#define DISPID_custcentnz 0x60030004
#define DISPID_custcentau 0x60030005

/* The HRESULT of a method's run-time error number n (through the slot), and
 * the scode of the EXCEPINFO (through Invoke). */
#define WRENFIELD_ERROR_HRESULT(n) MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, (n))

static const GUID LIBID_Wrenfield515UK = {0x739DC2BA, 0x688E, 0x4D50, {0xAE, 0xFA, 0x62, 0xD6, 0x6F, 0x05, 0x5A, 0x60}};
static const IID IID__Calc = {0xC5DD6964, 0xC996, 0x44FD, {0xAE, 0xCF, 0xC2, 0x65, 0x2D, 0x21, 0xC9, 0xA5}};
static const CLSID CLSID_Calc = {0x187A1494, 0xA7E4, 0x46E6, {0xB1, 0xC8, 0x18, 0x85, 0x65, 0x9A, 0xB4, 0x46}};
static const IID DIID___Calc = {0x6A377DCC, 0x2856, 0x4013, {0xAB, 0x27, 0xCF, 0xC4, 0x05, 0xA0, 0xEC, 0xEC}};

#define WRENFIELD_CALC_METHOD(name)                                                                          \
    HRESULT STDMETHODCALLTYPE name(VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex, \
                                   VARIANT* eth, VARIANT* par, VARIANT* retval)

#ifdef __cplusplus

struct _Calc : public IDispatch {
    virtual WRENFIELD_CALC_METHOD(custcentukn) = 0;
    virtual WRENFIELD_CALC_METHOD(custcentus) = 0;
    virtual WRENFIELD_CALC_METHOD(custcentswe) = 0;
    virtual WRENFIELD_CALC_METHOD(custcentnz) = 0;
    virtual WRENFIELD_CALC_METHOD(custcentau) = 0;
};

#else /* C */

typedef struct _Calc _Calc;

#define WRENFIELD_CALC_SLOT(name)                                                                                   \
    HRESULT(STDMETHODCALLTYPE * name)(_Calc * This, VARIANT * bwt, VARIANT * gest, VARIANT * wt, VARIANT * ht, \
                                      VARIANT * sex, VARIANT * eth, VARIANT * par, VARIANT * retval)

typedef struct _CalcVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(_Calc* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(_Calc* This);
    ULONG(STDMETHODCALLTYPE* Release)(_Calc* This);
    HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(_Calc* This, UINT* pctinfo);
    HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(_Calc* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
    HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(_Calc* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                              LCID lcid, DISPID* rgDispId);
    HRESULT(STDMETHODCALLTYPE* Invoke)(_Calc* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                       DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                       UINT* puArgErr);
    WRENFIELD_CALC_SLOT(custcentukn);
    WRENFIELD_CALC_SLOT(custcentus);
    WRENFIELD_CALC_SLOT(custcentswe);
    WRENFIELD_CALC_SLOT(custcentnz);
    WRENFIELD_CALC_SLOT(custcentau);
    END_INTERFACE
} _CalcVtbl;

struct _Calc {
    const _CalcVtbl* lpVtbl;
};

#ifdef COBJMACROS
#define _Calc_QueryInterface(This, riid, ppv) ((This)->lpVtbl->QueryInterface(This, riid, ppv))
#define _Calc_AddRef(This) ((This)->lpVtbl->AddRef(This))
#define _Calc_Release(This) ((This)->lpVtbl->Release(This))
#define _Calc_GetIDsOfNames(This, riid, names, count, lcid, ids) \
    ((This)->lpVtbl->GetIDsOfNames(This, riid, names, count, lcid, ids))
#define _Calc_Invoke(This, id, riid, lcid, flags, params, result, excep, argErr) \
    ((This)->lpVtbl->Invoke(This, id, riid, lcid, flags, params, result, excep, argErr))
#define _Calc_custcentukn(This, bwt, gest, wt, ht, sex, eth, par, r) \
    ((This)->lpVtbl->custcentukn(This, bwt, gest, wt, ht, sex, eth, par, r))
#define _Calc_custcentus(This, bwt, gest, wt, ht, sex, eth, par, r) \
    ((This)->lpVtbl->custcentus(This, bwt, gest, wt, ht, sex, eth, par, r))
#define _Calc_custcentswe(This, bwt, gest, wt, ht, sex, eth, par, r) \
    ((This)->lpVtbl->custcentswe(This, bwt, gest, wt, ht, sex, eth, par, r))
#define _Calc_custcentnz(This, bwt, gest, wt, ht, sex, eth, par, r) \
    ((This)->lpVtbl->custcentnz(This, bwt, gest, wt, ht, sex, eth, par, r))
#define _Calc_custcentau(This, bwt, gest, wt, ht, sex, eth, par, r) \
    ((This)->lpVtbl->custcentau(This, bwt, gest, wt, ht, sex, eth, par, r))
#endif /* COBJMACROS */

#endif /* C */

#endif /* WRENFIELD_SHELL_WRENFIELD515UK_H */
