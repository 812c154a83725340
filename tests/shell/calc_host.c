/*
 * A host written in plain C: finds the Calc control by its ProgID through the
 * component runtime, creates it, and calls the five population methods by
 * dispatch identifier and through their slots, with by-reference doubles and
 * 16-bit integers, by-value numbers and texts.
 *
 *   calc_host registered     the library is registered: everything above
 *   calc_host unregistered   it is not: creation must fail with a clear code
 *
 * The registry is the one the runtime finds ($WRENFIELD_REGISTRY in tests).
 * Exit status 0 when every check passed.
 */
#define COBJMACROS
#include <dlfcn.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "shell/runtime/wf_com.h"
#include "shell/runtime/wf_registry.h"
#include "shell/wrenfield515uk.h"

static int failures = 0;
static int checks = 0;

#define CHECK(cond, ...)                                                                                               \
    do {                                                                                                               \
        ++checks;                                                                                                      \
        if (!(cond)) {                                                                                                 \
            ++failures;                                                                                                \
            fprintf(stderr, "%s:%d: FAILED: ", __FILE__, __LINE__);                                                    \
            fprintf(stderr, __VA_ARGS__);                                                                              \
            fputc('\n', stderr);                                                                                       \
        }                                                                                                              \
    } while (0)

#define CHECK_HR(expr, expected)                                                                                       \
    do {                                                                                                               \
        HRESULT hr_ = (expr);                                                                                          \
        CHECK(hr_ == (expected), "%s returned 0x%08X, expected 0x%08X", #expr, (unsigned)hr_, (unsigned)(expected));   \
    } while (0)

/* ---- Variants ---------------------------------------------------------- */

static VARIANT refR8(double* d)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_R8;
    V_R8REF(&v) = d;
    return v;
}

static VARIANT refI2(SHORT* s)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I2;
    V_I2REF(&v) = s;
    return v;
}

static VARIANT valR8(double d)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_R8;
    V_R8(&v) = d;
    return v;
}

static VARIANT valI2(SHORT s)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = s;
    return v;
}

/* A text variant from ASCII. */
static VARIANT valText(const char* ascii)
{
    OLECHAR units[64];
    size_t n = strlen(ascii);
    for (size_t i = 0; i <= n && i < 64; ++i)
        units[i] = (OLECHAR)ascii[i];
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(units, (UINT)n);
    return v;
}

static int textEquals(BSTR text, const char* ascii)
{
    size_t n = strlen(ascii);
    if (SysStringLen(text) != n)
        return 0;
    for (size_t i = 0; i < n; ++i)
        if (text[i] != (OLECHAR)ascii[i])
            return 0;
    return 1;
}

static void clearAll(VARIANT* v, int n)
{
    for (int i = 0; i < n; ++i)
        VariantClear(&v[i]);
}

/* Invoke with seven positional arguments given in parameter order. */
static HRESULT invoke7(IDispatch* disp, DISPID id, const VARIANT* inOrder, VARIANT* result, EXCEPINFO* excep,
                       UINT* argErr)
{
    VARIANT reversed[7];
    for (int i = 0; i < 7; ++i)
        reversed[6 - i] = inOrder[i];
    DISPPARAMS params = {reversed, NULL, 7, 0};
    return IDispatch_Invoke(disp, id, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, excep, argErr);
}

typedef HRESULT(STDMETHODCALLTYPE* Slot)(_Calc*, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                         VARIANT*);

static Slot slotOf(_Calc* calc, int index)
{
    switch (index) {
    case 0:
        return calc->lpVtbl->custcentukn;
    case 1:
        return calc->lpVtbl->custcentus;
    case 2:
        return calc->lpVtbl->custcentswe;
    case 3:
        return calc->lpVtbl->custcentnz;
    default:
        return calc->lpVtbl->custcentau;
    }
}

/* ---- The worked values -------------------------------------------------- */

typedef struct {
    const char* method;
    DISPID id;
    double in[7]; /* bwt, gest, wt, ht, sex, eth, par */
    double expected;
    double tolerance;
    double htAfter; /* what ht holds afterwards */
} Case;

static const Case cases[] = {
    {"custcentukn", DISPID_custcentukn, {3400, 280, 64, 163, 1, 1, 0}, 38.2216410, 5e-8, 163},
    {"custcentus", DISPID_custcentus, {3400, 280, 64, 163, 1, 1, 0}, 36.7994620, 5e-8, 163},
    {"custcentswe", DISPID_custcentswe, {3500, 280, 65, 170, 1, 1, 0}, 35.0635, 5e-5, 3},
    {"custcentnz", DISPID_custcentnz, {3500, 280, 70, 165, 1, 1, 0}, 40.9032, 5e-5, 165},
    {"custcentau", DISPID_custcentau, {3400, 280, 68, 168, 0, 1, 1}, 33.9737, 5e-5, 168},
};
#define CASE_COUNT ((int)(sizeof cases / sizeof cases[0]))

static void checkResult(const Case* c, const char* how, HRESULT hr, VARIANT* result)
{
    CHECK(hr == S_OK, "%s %s: 0x%08X", c->method, how, (unsigned)hr);
    CHECK(V_VT(result) == VT_R8, "%s %s: result type %u", c->method, how, V_VT(result));
    if (V_VT(result) == VT_R8)
        CHECK(fabs(V_R8(result) - c->expected) <= c->tolerance, "%s %s: %.9f, expected %.7f", c->method, how,
              V_R8(result), c->expected);
    VariantClear(result);
}

/* By dispatch identifier, every argument a reference to a double. */
static void byIdWithDoubleReferences(IDispatch* disp, const Case* c)
{
    double vars[7];
    VARIANT args[7];
    for (int i = 0; i < 7; ++i) {
        vars[i] = c->in[i];
        args[i] = refR8(&vars[i]);
    }
    VARIANT result;
    VariantInit(&result);
    checkResult(c, "by id, VT_BYREF|VT_R8", invoke7(disp, c->id, args, &result, NULL, NULL), &result);
    CHECK(vars[1] == 40, "%s: gest %g after the call, expected 40 weeks", c->method, vars[1]);
    CHECK(vars[3] == c->htAfter, "%s: ht %g after the call, expected %g", c->method, vars[3], c->htAfter);
}

/* Through the slot: doubles for the measures, 16-bit integers for the codes
 * and for the gestation, each passed as an in-out VARIANT* holding a
 * reference. */
static void bySlotWithMixedReferences(_Calc* calc, int index, const Case* c)
{
    double bwt = c->in[0], wt = c->in[2], ht = c->in[3];
    SHORT gest = (SHORT)c->in[1], sex = (SHORT)c->in[4], eth = (SHORT)c->in[5], par = (SHORT)c->in[6];
    VARIANT a[7] = {refR8(&bwt), refI2(&gest), refR8(&wt), refR8(&ht), refI2(&sex), refI2(&eth), refI2(&par)};
    VARIANT result;
    HRESULT hr = slotOf(calc, index)(calc, &a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6], &result);
    checkResult(c, "by slot, VT_BYREF|VT_R8 and VT_BYREF|VT_I2", hr, &result);
    CHECK(gest == 40, "%s: 16-bit gest %d after the call, expected 40", c->method, gest);
    CHECK(ht == c->htAfter, "%s: ht %g after the slot call", c->method, ht);
}

/* By dispatch identifier with values: doubles and 16-bit integers. The
 * caller's copies are temporaries, so nothing comes back. */
static void byIdWithValues(IDispatch* disp, const Case* c)
{
    VARIANT args[7] = {valR8(c->in[0]),        valI2((SHORT)c->in[1]), valR8(c->in[2]),       valR8(c->in[3]),
                       valI2((SHORT)c->in[4]), valI2((SHORT)c->in[5]), valI2((SHORT)c->in[6])};
    VARIANT result;
    VariantInit(&result);
    checkResult(c, "by id, by value", invoke7(disp, c->id, args, &result, NULL, NULL), &result);
    CHECK(V_VT(&args[1]) == VT_I2 && V_I2(&args[1]) == (SHORT)c->in[1], "%s: a by-value gest changed", c->method);
}

/* Through the slot with texts: the VARIANTs are the caller's own, so the
 * weeks replace the text of gest. */
static void bySlotWithTexts(_Calc* calc, int index, const Case* c)
{
    char text[7][32];
    VARIANT a[7];
    for (int i = 0; i < 7; ++i) {
        snprintf(text[i], sizeof text[i], "%g", c->in[i]);
        a[i] = valText(text[i]);
    }
    VARIANT result;
    HRESULT hr = slotOf(calc, index)(calc, &a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6], &result);
    checkResult(c, "by slot, texts", hr, &result);
    CHECK(V_VT(&a[1]) == VT_R8 && V_R8(&a[1]) == 40, "%s: gest variant vt %u after a text call", c->method,
          V_VT(&a[1]));
    clearAll(a, 7);
}

/* By dispatch identifier with every argument named, in a shuffled order. */
static void byIdWithNamedArguments(IDispatch* disp, const Case* c)
{
    static const DISPID order[7] = {6, 1, 4, 0, 3, 5, 2};
    double vars[7];
    VARIANT args[7];
    DISPID names[7];
    for (int i = 0; i < 7; ++i) {
        vars[order[i]] = c->in[order[i]];
        args[i] = refR8(&vars[order[i]]);
        names[i] = order[i];
    }
    DISPPARAMS params = {args, names, 7, 7};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = IDispatch_Invoke(disp, c->id, &IID_NULL, 0, DISPATCH_METHOD, &params, &result, NULL, NULL);
    checkResult(c, "by id, named", hr, &result);
    CHECK(vars[1] == 40, "%s: named gest %g", c->method, vars[1]);
}

/* ---- Edge cases ---------------------------------------------------------- */

static void missingInputs(IDispatch* disp, _Calc* calc)
{
    /* Empty bwt by identifier, zero-length text par through the slot. */
    double vars[7] = {0, 280, 64, 163, 1, 1, 0};
    VARIANT args[7];
    for (int i = 0; i < 7; ++i)
        args[i] = refR8(&vars[i]);
    VariantInit(&args[0]);
    VARIANT result;
    VariantInit(&result);
    CHECK_HR(invoke7(disp, DISPID_custcentukn, args, &result, NULL, NULL), S_OK);
    CHECK(V_VT(&result) == VT_BSTR && SysStringLen(V_BSTR(&result)) == 0, "empty bwt: result vt %u", V_VT(&result));
    CHECK(vars[1] == 280, "empty bwt: gest %g, must stay in days", vars[1]);
    VariantClear(&result);

    VARIANT a[7] = {valR8(3400), valR8(280), valR8(64), valR8(163), valI2(1), valI2(1), valText("")};
    CHECK_HR(_Calc_custcentukn(calc, &a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6], &result), S_OK);
    CHECK(V_VT(&result) == VT_BSTR && SysStringLen(V_BSTR(&result)) == 0, "zero-length par: result vt %u",
          V_VT(&result));
    CHECK(V_VT(&a[1]) == VT_R8 && V_R8(&a[1]) == 280, "zero-length par: gest must stay in days");
    VariantClear(&result);
    clearAll(a, 7);
}

static void typeMismatch(IDispatch* disp, _Calc* calc)
{
    VARIANT args[7] = {valText("heavy"), valR8(280), valR8(64), valR8(163), valI2(1), valI2(1), valI2(0)};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep;
    memset(&excep, 0, sizeof excep);
    CHECK_HR(invoke7(disp, DISPID_custcentukn, args, &result, &excep, NULL), DISP_E_EXCEPTION);
    CHECK(excep.scode == (SCODE)0x800A000D, "scode 0x%08X", (unsigned)excep.scode);
    CHECK(excep.wCode == 0, "wCode %u", excep.wCode);
    CHECK(textEquals(excep.bstrDescription, "Type mismatch"), "description of a non-numeric text");
    CHECK(V_VT(&result) == VT_EMPTY, "no result after an error");
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);

    CHECK_HR(_Calc_custcentus(calc, &args[0], &args[1], &args[2], &args[3], &args[4], &args[5], &args[6], &result),
             WRENFIELD_ERROR_HRESULT(13));
    clearAll(args, 7);

    /* A 16-bit variable that cannot take the centred height: overflow,
     * reported, and the variable keeps its value. */
    double bwt = 3500, gest = 280, wt = 65;
    SHORT ht = -32768, sex = 1, eth = 1, par = 0;
    VARIANT o[7] = {refR8(&bwt), refR8(&gest), refR8(&wt), refI2(&ht), refI2(&sex), refI2(&eth), refI2(&par)};
    memset(&excep, 0, sizeof excep);
    CHECK_HR(invoke7(disp, DISPID_custcentswe, o, &result, &excep, NULL), DISP_E_EXCEPTION);
    CHECK(excep.scode == (SCODE)0x800A0006, "overflow scode 0x%08X", (unsigned)excep.scode);
    CHECK(textEquals(excep.bstrDescription, "Overflow"), "overflow description");
    CHECK(ht == -32768, "ht %d after an overflow", ht);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);

    /* The quotient into a 16-bit gest is rounded to the nearest whole week. */
    SHORT gest16 = 277;
    double d[6] = {3400, 64, 163, 1, 1, 0};
    VARIANT r[7] = {refR8(&d[0]), refI2(&gest16), refR8(&d[1]), refR8(&d[2]), refR8(&d[3]), refR8(&d[4]), refR8(&d[5])};
    CHECK_HR(invoke7(disp, DISPID_custcentukn, r, &result, NULL, NULL), S_OK);
    CHECK(gest16 == 40, "277 days into a 16-bit gest: %d weeks", gest16);
    VariantClear(&result);

    /* A type the methods do not take names its argument. */
    VARIANT t[7] = {valR8(3400), valR8(280), valR8(64), valR8(163), valI2(1), valI2(1), valI2(0)};
    V_VT(&t[2]) = VT_DATE;
    UINT argErr = 99;
    CHECK_HR(invoke7(disp, DISPID_custcentukn, t, &result, NULL, &argErr), DISP_E_TYPEMISMATCH);
    CHECK(argErr == 4, "puArgErr %u, expected 4 (wt is the fifth from the end)", argErr);
}

/* The weeks written back into gest, in each type a caller may hold it in. */
static void gestWriteBackIntoEachType(IDispatch* disp)
{
    SHORT i2 = 275;
    LONG i4 = 275;
    FLOAT r4 = 280;
    BSTR text = SysAllocString(u"275");
    VARIANT inner = valI2(280);
    VARIANT innerText = valText("277");
    struct {
        const char* what;
        VARIANT gest;
    } rows[] = {
        {"VT_BYREF|VT_I2 275", refI2(&i2)},
        {"VT_BYREF|VT_I4 275", valR8(0)},
        {"VT_BYREF|VT_R4 280", valR8(0)},
        {"VT_BYREF|VT_BSTR 275", valR8(0)},
        {"VT_BYREF|VT_VARIANT holding VT_I2 280", valR8(0)},
        {"VT_BYREF|VT_VARIANT holding VT_BSTR 277", valR8(0)},
    };
    V_VT(&rows[1].gest) = VT_BYREF | VT_I4;
    V_I4REF(&rows[1].gest) = &i4;
    V_VT(&rows[2].gest) = VT_BYREF | VT_R4;
    V_R4REF(&rows[2].gest) = &r4;
    V_VT(&rows[3].gest) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&rows[3].gest) = &text;
    V_VT(&rows[4].gest) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&rows[4].gest) = &inner;
    V_VT(&rows[5].gest) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&rows[5].gest) = &innerText;
    for (size_t r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
        VARIANT args[7] = {valR8(3400), rows[r].gest, valR8(64), valR8(163), valI2(1), valI2(1), valI2(0)};
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = invoke7(disp, DISPID_custcentukn, args, &result, NULL, NULL);
        CHECK(hr == S_OK && V_VT(&result) == VT_R8, "%s: 0x%08X", rows[r].what, (unsigned)hr);
        VariantClear(&result);
    }
    CHECK(i2 == 39, "16-bit 275 days: %d weeks", i2);
    CHECK(i4 == 39, "32-bit 275 days: %d weeks", (int)i4);
    CHECK(r4 == 40.0f, "single 280 days: %g weeks", r4);
    CHECK(textEquals(text, "39.285714285714285"), "text 275 days: the weeks as text");
    CHECK(V_VT(&inner) == VT_R8 && V_R8(&inner) == 40, "referenced variant: vt %u", V_VT(&inner));
    CHECK(V_VT(&innerText) == VT_R8 && fabs(V_R8(&innerText) - 277.0 / 7) == 0, "referenced text variant");
    SysFreeString(text);
    VariantClear(&inner);
    VariantClear(&innerText);

    /* Other by-value numbers, and no result variant at all. */
    double gest = 280;
    VARIANT more[7] = {valR8(3400), refR8(&gest), valR8(64), valR8(163), valI2(1), valI2(1), valI2(0)};
    V_VT(&more[0]) = VT_I4;
    V_I4(&more[0]) = 3400;
    V_VT(&more[2]) = VT_R4;
    V_R4(&more[2]) = 64;
    V_VT(&more[6]) = VT_UI1;
    V_UI1(&more[6]) = 0;
    CHECK_HR(invoke7(disp, DISPID_custcentukn, more, NULL, NULL, NULL), S_OK);
    CHECK(gest == 40, "the write-back happens without a result variant too");
}

static void dispatchErrors(IDispatch* disp, _Calc* calc)
{
    static OLECHAR upper[] = u"CUSTCENTSWE";
    static OLECHAR gestName[] = u"Gest";
    static OLECHAR parName[] = u"PAR";
    static OLECHAR unknown[] = u"custcentfr";
    LPOLESTR names[3] = {upper, gestName, parName};
    DISPID ids[3];
    CHECK_HR(IDispatch_GetIDsOfNames(disp, &IID_NULL, names, 3, 0, ids), S_OK);
    CHECK(ids[0] == DISPID_custcentswe && ids[1] == 1 && ids[2] == 6, "ids %d %d %d", (int)ids[0], (int)ids[1],
          (int)ids[2]);
    names[0] = unknown;
    CHECK_HR(IDispatch_GetIDsOfNames(disp, &IID_NULL, names, 1, 0, ids), DISP_E_UNKNOWNNAME);
    CHECK(ids[0] == DISPID_UNKNOWN, "unknown name id %d", (int)ids[0]);
    names[0] = upper;
    names[1] = unknown;
    CHECK_HR(IDispatch_GetIDsOfNames(disp, &IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
    CHECK(ids[0] == DISPID_custcentswe && ids[1] == DISPID_UNKNOWN, "unknown parameter");

    VARIANT args[7] = {valR8(3400), valR8(280), valR8(64), valR8(163), valI2(1), valI2(1), valI2(0)};
    VARIANT result;
    VariantInit(&result);
    CHECK_HR(invoke7(disp, 0x60030006, args, &result, NULL, NULL), DISP_E_MEMBERNOTFOUND);
    CHECK_HR(invoke7(disp, DISPID_VALUE, args, &result, NULL, NULL), DISP_E_MEMBERNOTFOUND);
    DISPPARAMS six = {args, NULL, 6, 0};
    CHECK_HR(IDispatch_Invoke(disp, DISPID_custcentukn, &IID_NULL, 0, DISPATCH_METHOD, &six, &result, NULL, NULL),
             DISP_E_BADPARAMCOUNT);
    DISPPARAMS seven = {args, NULL, 7, 0};
    CHECK_HR(
        IDispatch_Invoke(disp, DISPID_custcentukn, &IID_NULL, 0, DISPATCH_PROPERTYPUT, &seven, &result, NULL, NULL),
        DISP_E_MEMBERNOTFOUND);
    CHECK_HR(
        IDispatch_Invoke(disp, DISPID_custcentukn, &IID_IDispatch, 0, DISPATCH_METHOD, &seven, &result, NULL, NULL),
        DISP_E_UNKNOWNINTERFACE);
    CHECK_HR(IDispatch_Invoke(disp, DISPID_custcentukn, &IID_NULL, 0, DISPATCH_METHOD, NULL, &result, NULL, NULL),
             E_POINTER);
    DISPID twice[2] = {1, 1};
    DISPPARAMS duplicate = {args, twice, 7, 2};
    UINT argErr = 99;
    CHECK_HR(
        IDispatch_Invoke(disp, DISPID_custcentukn, &IID_NULL, 0, DISPATCH_METHOD, &duplicate, &result, NULL, &argErr),
        DISP_E_PARAMNOTFOUND);
    CHECK(argErr == 1, "duplicate name puArgErr %u", argErr);
    CHECK_HR(_Calc_custcentukn(calc, &args[0], NULL, &args[2], &args[3], &args[4], &args[5], &args[6], &result),
             E_POINTER);
    CHECK_HR(_Calc_custcentukn(calc, &args[0], &args[1], &args[2], &args[3], &args[4], &args[5], &args[6], NULL),
             E_POINTER);
    VARIANT nullRef = refR8(NULL);
    CHECK_HR(_Calc_custcentukn(calc, &nullRef, &args[1], &args[2], &args[3], &args[4], &args[5], &args[6], &result),
             E_POINTER);

    void* other = (void*)1;
    CHECK_HR(IDispatch_QueryInterface(disp, &IID_IClassFactory, &other), E_NOINTERFACE);
    CHECK(other == NULL, "a refused interface leaves NULL");
    CHECK_HR(IDispatch_QueryInterface(disp, &DIID___Calc, &other), E_NOINTERFACE);
    CHECK_HR(IDispatch_QueryInterface(disp, &IID_IDispatch, NULL), E_POINTER);
}

/* ---- The runs ------------------------------------------------------------ */

static HRESULT canUnloadNow(void)
{
    char path[4096];
    if (FAILED(WfRegistryQueryString("CLSID\\{187A1494-A7E4-46E6-B1C8-1885659AB446}\\InprocServer32", NULL, path,
                                     sizeof path)))
        return E_FAIL;
    void* library = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return E_FAIL;
    LPFNCANUNLOADNOW fn = (LPFNCANUNLOADNOW)dlsym(library, "DllCanUnloadNow");
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(library);
    return hr;
}

static int runRegistered(void)
{
    CLSID clsid;
    IUnknown* unknown = NULL;
    CHECK_HR(CoCreateInstance(&CLSID_Calc, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void**)&unknown),
             CO_E_NOTINITIALIZED);
    CHECK_HR(CoInitialize(NULL), S_OK);

    CHECK_HR(CLSIDFromProgID(WRENFIELD515UK_PROGID_OLESTR, &clsid), S_OK);
    CHECK(IsEqualCLSID(&clsid, &CLSID_Calc), "the ProgID names the Calc class");
    CHECK_HR(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void**)&unknown), S_OK);
    if (!unknown)
        return 1;
    IDispatch* disp = NULL;
    _Calc* calc = NULL;
    CHECK_HR(IUnknown_QueryInterface(unknown, &IID_IDispatch, (void**)&disp), S_OK);
    CHECK_HR(IUnknown_QueryInterface(unknown, &IID__Calc, (void**)&calc), S_OK);
    CHECK(canUnloadNow() == S_FALSE, "the library must stay while an instance lives");

    for (int i = 0; i < CASE_COUNT; ++i) {
        byIdWithDoubleReferences(disp, &cases[i]);
        bySlotWithMixedReferences(calc, i, &cases[i]);
        byIdWithValues(disp, &cases[i]);
        bySlotWithTexts(calc, i, &cases[i]);
        byIdWithNamedArguments(disp, &cases[i]);
    }
    missingInputs(disp, calc);
    gestWriteBackIntoEachType(disp);
    typeMismatch(disp, calc);
    dispatchErrors(disp, calc);

    /* A second instance through the class factory itself. */
    IClassFactory* factory = NULL;
    CHECK_HR(CoGetClassObject(&CLSID_Calc, CLSCTX_INPROC_SERVER, NULL, &IID_IClassFactory, (void**)&factory), S_OK);
    if (factory) {
        IUnknown* second = NULL;
        CHECK_HR(IClassFactory_CreateInstance(factory, unknown, &IID_IUnknown, (void**)&second), CLASS_E_NOAGGREGATION);
        CHECK_HR(IClassFactory_CreateInstance(factory, NULL, &IID__Calc, (void**)&second), S_OK);
        if (second)
            IUnknown_Release(second);
        CHECK_HR(IClassFactory_LockServer(factory, TRUE), S_OK);
        IClassFactory_Release(factory);
        IUnknown_Release((IUnknown*)calc);
        IDispatch_Release(disp);
        CHECK(IUnknown_Release(unknown) == 0, "the last reference ends the instance");
        CHECK(canUnloadNow() == S_FALSE, "a server lock keeps the library");
        /* The lock is the server's, not the factory's: unlock through a new one. */
        CHECK_HR(CoGetClassObject(&CLSID_Calc, CLSCTX_INPROC_SERVER, NULL, &IID_IClassFactory, (void**)&factory), S_OK);
        IClassFactory_LockServer(factory, FALSE);
        IClassFactory_Release(factory);
    }
    CHECK_HR(canUnloadNow(), S_OK);
    CoUninitialize();
    /* Leaving the apartment unloads the library that allows it. */
    char path[4096];
    if (SUCCEEDED(WfRegistryQueryString("CLSID\\{187A1494-A7E4-46E6-B1C8-1885659AB446}\\InprocServer32", NULL, path,
                                        sizeof path))) {
        void* still = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
        CHECK(still == NULL, "the library is still loaded after CoUninitialize");
        if (still)
            dlclose(still);
    }

    printf("calc_host: %d checks, %d failed\n", checks, failures);
    return failures ? 1 : 0;
}

static int runUnregistered(void)
{
    CLSID clsid;
    IUnknown* unknown = (IUnknown*)1;
    CHECK_HR(CoInitialize(NULL), S_OK);
    CHECK_HR(CLSIDFromProgID(WRENFIELD515UK_PROGID_OLESTR, &clsid), CO_E_CLASSSTRING);
    CHECK_HR(CoCreateInstance(&CLSID_Calc, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void**)&unknown),
             REGDB_E_CLASSNOTREG);
    CHECK(unknown == NULL, "a failed creation leaves NULL");
    CoUninitialize();
    printf("calc_host: %d checks, %d failed\n", checks, failures);
    return failures ? 1 : 0;
}

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "registered") == 0)
        return runRegistered();
    if (argc == 2 && strcmp(argv[1], "unregistered") == 0)
        return runUnregistered();
    fprintf(stderr, "usage: calc_host registered|unregistered\n");
    return 2;
}
