/*
 * The component runtime: the names, numeric codes and memory layouts of the
 * component object model, for hosts and servers on a machine that has none.
 *
 * Plain C and C++ can include this header. Everything a component's source
 * touches keeps the platform's own spelling and values (GUID, HRESULT codes,
 * VARIANT and its VARTYPE codes, length-prefixed BSTR texts, DISPPARAMS with
 * its arguments in reverse order, EXCEPINFO, IUnknown / IClassFactory /
 * IDispatch), so that the same server source also builds against the real
 * platform headers. In C the interfaces are structs whose first member,
 * lpVtbl, points at a table of functions taking the object first; in C++ they
 * are abstract classes whose virtual table has the same layout.
 *
 * Calling convention macros (STDMETHODCALLTYPE and its relatives) are empty
 * here: this runtime uses the system's one calling convention.
 *
 * The runtime itself (texts, variants, the registry, creation) lives in the
 * shared library wfcom; link with it.
 *
 * Sources call the platform's names (SysAllocString, VariantInit,
 * CoCreateInstance, IID_IDispatch...), but the library exports each under
 * the runtime's own prefix (WfSysAllocString, WfVariantInit...): the
 * declarations below give every one its exported name. So a process that
 * also loads another library with functions of the platform's names (an
 * emulation layer, a second runtime) keeps both working: neither takes the
 * other's place.
 */
#ifndef WRENFIELD_PLATFORM_COM_WF_COM_H
#define WRENFIELD_PLATFORM_COM_WF_COM_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#include "wrenfield/wfcom_export.h"

/* The name the library exports for the platform's name `name`. */
#define WF_COM_STRINGIFY_(text) #text
#define WF_COM_STRINGIFY(text) WF_COM_STRINGIFY_(text)
#define WF_COM_EXPORTED_AS(name) __asm__(WF_COM_STRINGIFY(__USER_LABEL_PREFIX__) "Wf" #name)

#ifdef __cplusplus
#define EXTERN_C extern "C"
#define WF_COM_BEGIN_C extern "C" {
#define WF_COM_END_C }
#else
#define EXTERN_C extern
#define WF_COM_BEGIN_C
#define WF_COM_END_C
#endif

#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define WINOLEAPI EXTERN_C HRESULT
#define STDAPI EXTERN_C HRESULT
#define STDAPI_(type) EXTERN_C type
#define BEGIN_INTERFACE
#define END_INTERFACE

WF_COM_BEGIN_C

/* ---- Basic types ------------------------------------------------------ */

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef char CHAR;
typedef float FLOAT;
typedef double DOUBLE;
typedef void* PVOID;
typedef void* LPVOID;
typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef DWORD LCID;
typedef LONG DISPID;
typedef DISPID MEMBERID;
typedef USHORT VARTYPE;
typedef SHORT VARIANT_BOOL;
typedef double DATE;

/* Texts of the component model are UTF-16. */
typedef char16_t WCHAR;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* BSTR;
#define OLESTR(text) u##text

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

/* ---- GUIDs ------------------------------------------------------------ */

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;

#ifdef __cplusplus
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&
#else
#define REFGUID const GUID* const
#define REFIID const IID* const
#define REFCLSID const CLSID* const
#endif

WFCOM_EXPORT extern const IID IID_NULL WF_COM_EXPORTED_AS(IID_NULL);
WFCOM_EXPORT extern const IID IID_IUnknown WF_COM_EXPORTED_AS(IID_IUnknown);
WFCOM_EXPORT extern const IID IID_IClassFactory WF_COM_EXPORTED_AS(IID_IClassFactory);
WFCOM_EXPORT extern const IID IID_IDispatch WF_COM_EXPORTED_AS(IID_IDispatch);
/* Connection points: how an object's events reach the sinks that ask. */
WFCOM_EXPORT extern const IID IID_IConnectionPointContainer WF_COM_EXPORTED_AS(IID_IConnectionPointContainer);
WFCOM_EXPORT extern const IID IID_IConnectionPoint WF_COM_EXPORTED_AS(IID_IConnectionPoint);
WFCOM_EXPORT extern const IID IID_IEnumConnections WF_COM_EXPORTED_AS(IID_IEnumConnections);
WFCOM_EXPORT extern const IID IID_IEnumConnectionPoints WF_COM_EXPORTED_AS(IID_IEnumConnectionPoints);
/* The standard automation marshaller's class, named by dual interfaces. */
WFCOM_EXPORT extern const CLSID CLSID_PSOAInterface WF_COM_EXPORTED_AS(CLSID_PSOAInterface);

WFCOM_EXPORT int IsEqualGUID(REFGUID a, REFGUID b) WF_COM_EXPORTED_AS(IsEqualGUID);
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

/* ---- Status codes ----------------------------------------------------- */

#define SEVERITY_SUCCESS 0
#define SEVERITY_ERROR 1
#define FACILITY_NULL 0
#define FACILITY_RPC 1
#define FACILITY_DISPATCH 2
#define FACILITY_ITF 4
#define FACILITY_WIN32 7
#define FACILITY_CONTROL 10

#define MAKE_HRESULT(sev, fac, code) ((HRESULT)(((uint32_t)(sev) << 31) | ((uint32_t)(fac) << 16) | ((uint32_t)(code))))
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define HRESULT_CODE(hr) ((hr)&0xFFFF)
#define HRESULT_FACILITY(hr) (((hr) >> 16) & 0x1FFF)
#define HRESULT_FROM_WIN32(x)                                                                                          \
    ((HRESULT)(x) <= 0 ? ((HRESULT)(x)) : ((HRESULT)(((uint32_t)(x)&0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000)))

#define WF_HR(value) ((HRESULT)(uint32_t)(value))

#define S_OK WF_HR(0x00000000)
#define S_FALSE WF_HR(0x00000001)
#define E_NOTIMPL WF_HR(0x80004001)
#define E_NOINTERFACE WF_HR(0x80004002)
#define E_POINTER WF_HR(0x80004003)
#define E_ABORT WF_HR(0x80004004)
#define E_FAIL WF_HR(0x80004005)
#define E_UNEXPECTED WF_HR(0x8000FFFF)
#define E_ACCESSDENIED WF_HR(0x80070005)
#define E_OUTOFMEMORY WF_HR(0x8007000E)
#define E_INVALIDARG WF_HR(0x80070057)

#define CLASS_E_NOAGGREGATION WF_HR(0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE WF_HR(0x80040111)
#define REGDB_E_READREGDB WF_HR(0x80040150)
#define REGDB_E_WRITEREGDB WF_HR(0x80040151)
#define REGDB_E_KEYMISSING WF_HR(0x80040152)
#define REGDB_E_CLASSNOTREG WF_HR(0x80040154)
#define SELFREG_E_TYPELIB WF_HR(0x80040200)
#define SELFREG_E_CLASS WF_HR(0x80040201)
#define CO_E_NOTINITIALIZED WF_HR(0x800401F0)
#define CO_E_CLASSSTRING WF_HR(0x800401F3)
#define CO_E_APPNOTFOUND WF_HR(0x800401F5)
#define CO_E_DLLNOTFOUND WF_HR(0x800401F8)
#define CO_E_ERRORINDLL WF_HR(0x800401F9)
#define CONNECT_E_NOCONNECTION WF_HR(0x80040200)
#define CONNECT_E_ADVISELIMIT WF_HR(0x80040201)
#define CONNECT_E_CANNOTCONNECT WF_HR(0x80040202)

#define DISP_E_UNKNOWNINTERFACE WF_HR(0x80020001)
#define DISP_E_MEMBERNOTFOUND WF_HR(0x80020003)
#define DISP_E_PARAMNOTFOUND WF_HR(0x80020004)
#define DISP_E_TYPEMISMATCH WF_HR(0x80020005)
#define DISP_E_UNKNOWNNAME WF_HR(0x80020006)
#define DISP_E_NONAMEDARGS WF_HR(0x80020007)
#define DISP_E_BADVARTYPE WF_HR(0x80020008)
#define DISP_E_EXCEPTION WF_HR(0x80020009)
#define DISP_E_OVERFLOW WF_HR(0x8002000A)
#define DISP_E_BADINDEX WF_HR(0x8002000B)
#define DISP_E_UNKNOWNLCID WF_HR(0x8002000C)
#define DISP_E_BADPARAMCOUNT WF_HR(0x8002000E)
#define DISP_E_PARAMNOTOPTIONAL WF_HR(0x8002000F)
#define TYPE_E_ELEMENTNOTFOUND WF_HR(0x8002802B)

/* ---- Texts (BSTR) ------------------------------------------------------
 * A BSTR points at UTF-16 code units that follow a 32-bit byte count and
 * end with a zero unit not counted in the length. NULL counts as the
 * zero-length text. */

WFCOM_EXPORT BSTR SysAllocString(const OLECHAR* text) WF_COM_EXPORTED_AS(SysAllocString);
WFCOM_EXPORT BSTR SysAllocStringLen(const OLECHAR* text, UINT length) WF_COM_EXPORTED_AS(SysAllocStringLen);
WFCOM_EXPORT BSTR SysAllocStringByteLen(const char* bytes, UINT byteLength) WF_COM_EXPORTED_AS(SysAllocStringByteLen);
WFCOM_EXPORT int SysReAllocString(BSTR* text, const OLECHAR* newText) WF_COM_EXPORTED_AS(SysReAllocString);
WFCOM_EXPORT void SysFreeString(BSTR text) WF_COM_EXPORTED_AS(SysFreeString);
WFCOM_EXPORT UINT SysStringLen(BSTR text) WF_COM_EXPORTED_AS(SysStringLen);
WFCOM_EXPORT UINT SysStringByteLen(BSTR text) WF_COM_EXPORTED_AS(SysStringByteLen);

/* ---- VARIANT ------------------------------------------------------------ */

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_RECORD = 36,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_ILLEGAL = 0xffff,
    VT_ILLEGALMASKED = 0x0fff,
    VT_TYPEMASK = 0x0fff
};

typedef union tagCY {
    struct {
        ULONG Lo;
        LONG Hi;
    } s;
    LONGLONG int64;
} CY;

typedef struct tagDEC {
    USHORT wReserved;
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    ULONGLONG Lo64;
} DECIMAL;

typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
typedef struct IClassFactory IClassFactory;
typedef struct IConnectionPoint IConnectionPoint;
typedef struct IConnectionPointContainer IConnectionPointContainer;
typedef struct IEnumConnections IEnumConnections;
typedef struct IEnumConnectionPoints IEnumConnectionPoints;
typedef struct IRecordInfo IRecordInfo;
typedef struct ITypeInfo ITypeInfo;
typedef struct tagSAFEARRAY SAFEARRAY;

typedef struct tagVARIANT VARIANT;
typedef VARIANT VARIANTARG;
typedef VARIANT* LPVARIANT;

/* 16 bytes on 32-bit machines and 24 on 64-bit ones, as on the platform: a
 * 2-byte type, three reserved words and a value as wide as a record
 * reference (two pointers); a DECIMAL overlays all of it. */
struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                SCODE* pscode;
                CY* pcyVal;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                VARIANT* pvarVal;
                PVOID byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                struct {
                    PVOID pvRecord;
                    IRecordInfo* pRecInfo;
                } brecVal;
            };
        };
        DECIMAL decVal;
    };
};

#define V_VT(v) ((v)->vt)
#define V_ISBYREF(v) (V_VT(v) & VT_BYREF)
#define V_I2(v) ((v)->iVal)
#define V_I2REF(v) ((v)->piVal)
#define V_I4(v) ((v)->lVal)
#define V_I4REF(v) ((v)->plVal)
#define V_R4(v) ((v)->fltVal)
#define V_R4REF(v) ((v)->pfltVal)
#define V_R8(v) ((v)->dblVal)
#define V_R8REF(v) ((v)->pdblVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_UI1(v) ((v)->bVal)
#define V_BSTR(v) ((v)->bstrVal)
#define V_BSTRREF(v) ((v)->pbstrVal)
#define V_VARIANTREF(v) ((v)->pvarVal)
#define V_BYREF(v) ((v)->byref)
#define V_ERROR(v) ((v)->scode)
#define V_UNKNOWN(v) ((v)->punkVal)
#define V_DISPATCH(v) ((v)->pdispVal)

WFCOM_EXPORT void VariantInit(VARIANTARG* v) WF_COM_EXPORTED_AS(VariantInit);
/* Frees what the variant owns (its text) and leaves it empty. */
WFCOM_EXPORT HRESULT VariantClear(VARIANTARG* v) WF_COM_EXPORTED_AS(VariantClear);
WFCOM_EXPORT HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source) WF_COM_EXPORTED_AS(VariantCopy);
/* Copies, reading through a by-reference variant. */
WFCOM_EXPORT HRESULT VariantCopyInd(VARIANT* destination, const VARIANTARG* source) WF_COM_EXPORTED_AS(VariantCopyInd);
/* Converts to VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R8 or VT_BSTR; numbers
 * convert to whole types rounded half to even (DISP_E_OVERFLOW outside the
 * range), texts to numbers with "." as the decimal point (DISP_E_TYPEMISMATCH
 * when not numeric). Flags are accepted and ignored. */
WFCOM_EXPORT HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT flags, VARTYPE vt)
    WF_COM_EXPORTED_AS(VariantChangeType);

/* ---- Dispatch ------------------------------------------------------------ */

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

#define DISPID_UNKNOWN (-1)
#define DISPID_VALUE 0
#define DISPID_PROPERTYPUT (-3)
#define DISPID_NEWENUM (-4)

#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_NEUTRAL 0x0000

typedef struct tagDISPPARAMS {
    VARIANTARG* rgvarg;        /* the arguments, last one first */
    DISPID* rgdispidNamedArgs; /* the identifiers of the first cNamedArgs */
    UINT cArgs;
    UINT cNamedArgs;
} DISPPARAMS;

typedef struct tagEXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(struct tagEXCEPINFO*);
    SCODE scode;
} EXCEPINFO;

/* ---- Interfaces -------------------------------------------------------- */

WF_COM_END_C

#ifdef __cplusplus

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IClassFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

struct IDispatch : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                                    DISPID* rgDispId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                             DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                             UINT* puArgErr) = 0;
};

/* One connection of a sink: the sink's interface and the cookie that
 * disconnects it. */
typedef struct tagCONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
} CONNECTDATA;

struct IEnumConnections : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** ppEnum) = 0;
};

struct IConnectionPoint : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) = 0;
};

struct IEnumConnectionPoints : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) = 0;
};

struct IConnectionPointContainer : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;
};

#else /* C */

typedef struct IUnknownVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IUnknown* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(IUnknown* This);
    ULONG(STDMETHODCALLTYPE* Release)(IUnknown* This);
    END_INTERFACE
} IUnknownVtbl;
struct IUnknown {
    const IUnknownVtbl* lpVtbl;
};

typedef struct IClassFactoryVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IClassFactory* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(IClassFactory* This);
    ULONG(STDMETHODCALLTYPE* Release)(IClassFactory* This);
    HRESULT(STDMETHODCALLTYPE* CreateInstance)(IClassFactory* This, IUnknown* pUnkOuter, REFIID riid, void** ppvObject);
    HRESULT(STDMETHODCALLTYPE* LockServer)(IClassFactory* This, BOOL fLock);
    END_INTERFACE
} IClassFactoryVtbl;
struct IClassFactory {
    const IClassFactoryVtbl* lpVtbl;
};

typedef struct IDispatchVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IDispatch* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(IDispatch* This);
    ULONG(STDMETHODCALLTYPE* Release)(IDispatch* This);
    HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IDispatch* This, UINT* pctinfo);
    HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(IDispatch* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
    HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
    (IDispatch* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
    HRESULT(STDMETHODCALLTYPE* Invoke)
    (IDispatch* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
    END_INTERFACE
} IDispatchVtbl;
struct IDispatch {
    const IDispatchVtbl* lpVtbl;
};

typedef struct tagCONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
} CONNECTDATA;

typedef struct IEnumConnectionsVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IEnumConnections* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(IEnumConnections* This);
    ULONG(STDMETHODCALLTYPE* Release)(IEnumConnections* This);
    HRESULT(STDMETHODCALLTYPE* Next)(IEnumConnections* This, ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched);
    HRESULT(STDMETHODCALLTYPE* Skip)(IEnumConnections* This, ULONG cConnections);
    HRESULT(STDMETHODCALLTYPE* Reset)(IEnumConnections* This);
    HRESULT(STDMETHODCALLTYPE* Clone)(IEnumConnections* This, IEnumConnections** ppEnum);
    END_INTERFACE
} IEnumConnectionsVtbl;
struct IEnumConnections {
    const IEnumConnectionsVtbl* lpVtbl;
};

typedef struct IConnectionPointVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IConnectionPoint* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(IConnectionPoint* This);
    ULONG(STDMETHODCALLTYPE* Release)(IConnectionPoint* This);
    HRESULT(STDMETHODCALLTYPE* GetConnectionInterface)(IConnectionPoint* This, IID* pIID);
    HRESULT(STDMETHODCALLTYPE* GetConnectionPointContainer)(IConnectionPoint* This, IConnectionPointContainer** ppCPC);
    HRESULT(STDMETHODCALLTYPE* Advise)(IConnectionPoint* This, IUnknown* pUnkSink, DWORD* pdwCookie);
    HRESULT(STDMETHODCALLTYPE* Unadvise)(IConnectionPoint* This, DWORD dwCookie);
    HRESULT(STDMETHODCALLTYPE* EnumConnections)(IConnectionPoint* This, IEnumConnections** ppEnum);
    END_INTERFACE
} IConnectionPointVtbl;
struct IConnectionPoint {
    const IConnectionPointVtbl* lpVtbl;
};

typedef struct IEnumConnectionPointsVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IEnumConnectionPoints* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(IEnumConnectionPoints* This);
    ULONG(STDMETHODCALLTYPE* Release)(IEnumConnectionPoints* This);
    HRESULT(STDMETHODCALLTYPE* Next)
    (IEnumConnectionPoints* This, ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched);
    HRESULT(STDMETHODCALLTYPE* Skip)(IEnumConnectionPoints* This, ULONG cConnections);
    HRESULT(STDMETHODCALLTYPE* Reset)(IEnumConnectionPoints* This);
    HRESULT(STDMETHODCALLTYPE* Clone)(IEnumConnectionPoints* This, IEnumConnectionPoints** ppEnum);
    END_INTERFACE
} IEnumConnectionPointsVtbl;
struct IEnumConnectionPoints {
    const IEnumConnectionPointsVtbl* lpVtbl;
};

typedef struct IConnectionPointContainerVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IConnectionPointContainer* This, REFIID riid, void** ppvObject);
    ULONG(STDMETHODCALLTYPE* AddRef)(IConnectionPointContainer* This);
    ULONG(STDMETHODCALLTYPE* Release)(IConnectionPointContainer* This);
    HRESULT(STDMETHODCALLTYPE* EnumConnectionPoints)(IConnectionPointContainer* This, IEnumConnectionPoints** ppEnum);
    HRESULT(STDMETHODCALLTYPE* FindConnectionPoint)
    (IConnectionPointContainer* This, REFIID riid, IConnectionPoint** ppCP);
    END_INTERFACE
} IConnectionPointContainerVtbl;
struct IConnectionPointContainer {
    const IConnectionPointContainerVtbl* lpVtbl;
};

#ifdef COBJMACROS
#define IUnknown_QueryInterface(This, riid, ppv) ((This)->lpVtbl->QueryInterface(This, riid, ppv))
#define IUnknown_AddRef(This) ((This)->lpVtbl->AddRef(This))
#define IUnknown_Release(This) ((This)->lpVtbl->Release(This))
#define IClassFactory_QueryInterface(This, riid, ppv) ((This)->lpVtbl->QueryInterface(This, riid, ppv))
#define IClassFactory_AddRef(This) ((This)->lpVtbl->AddRef(This))
#define IClassFactory_Release(This) ((This)->lpVtbl->Release(This))
#define IClassFactory_CreateInstance(This, outer, riid, ppv) ((This)->lpVtbl->CreateInstance(This, outer, riid, ppv))
#define IClassFactory_LockServer(This, lock) ((This)->lpVtbl->LockServer(This, lock))
#define IDispatch_QueryInterface(This, riid, ppv) ((This)->lpVtbl->QueryInterface(This, riid, ppv))
#define IDispatch_AddRef(This) ((This)->lpVtbl->AddRef(This))
#define IDispatch_Release(This) ((This)->lpVtbl->Release(This))
#define IDispatch_GetTypeInfoCount(This, pctinfo) ((This)->lpVtbl->GetTypeInfoCount(This, pctinfo))
#define IDispatch_GetTypeInfo(This, i, lcid, pp) ((This)->lpVtbl->GetTypeInfo(This, i, lcid, pp))
#define IDispatch_GetIDsOfNames(This, riid, names, count, lcid, ids)                                                   \
    ((This)->lpVtbl->GetIDsOfNames(This, riid, names, count, lcid, ids))
#define IDispatch_Invoke(This, id, riid, lcid, flags, params, result, excep, argErr)                                   \
    ((This)->lpVtbl->Invoke(This, id, riid, lcid, flags, params, result, excep, argErr))
#define IConnectionPointContainer_QueryInterface(This, riid, ppv) ((This)->lpVtbl->QueryInterface(This, riid, ppv))
#define IConnectionPointContainer_AddRef(This) ((This)->lpVtbl->AddRef(This))
#define IConnectionPointContainer_Release(This) ((This)->lpVtbl->Release(This))
#define IConnectionPointContainer_EnumConnectionPoints(This, pp) ((This)->lpVtbl->EnumConnectionPoints(This, pp))
#define IConnectionPointContainer_FindConnectionPoint(This, riid, pp)                                                  \
    ((This)->lpVtbl->FindConnectionPoint(This, riid, pp))
#define IConnectionPoint_QueryInterface(This, riid, ppv) ((This)->lpVtbl->QueryInterface(This, riid, ppv))
#define IConnectionPoint_AddRef(This) ((This)->lpVtbl->AddRef(This))
#define IConnectionPoint_Release(This) ((This)->lpVtbl->Release(This))
#define IConnectionPoint_GetConnectionInterface(This, iid) ((This)->lpVtbl->GetConnectionInterface(This, iid))
#define IConnectionPoint_GetConnectionPointContainer(This, pp) ((This)->lpVtbl->GetConnectionPointContainer(This, pp))
#define IConnectionPoint_Advise(This, sink, cookie) ((This)->lpVtbl->Advise(This, sink, cookie))
#define IConnectionPoint_Unadvise(This, cookie) ((This)->lpVtbl->Unadvise(This, cookie))
#define IConnectionPoint_EnumConnections(This, pp) ((This)->lpVtbl->EnumConnections(This, pp))
#define IEnumConnections_Next(This, n, items, fetched) ((This)->lpVtbl->Next(This, n, items, fetched))
#define IEnumConnections_Release(This) ((This)->lpVtbl->Release(This))
#define IEnumConnectionPoints_Next(This, n, items, fetched) ((This)->lpVtbl->Next(This, n, items, fetched))
#define IEnumConnectionPoints_Release(This) ((This)->lpVtbl->Release(This))
#endif /* COBJMACROS */

#endif /* C */

WF_COM_BEGIN_C

/* ---- Apartments and creation ------------------------------------------ */

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0

/* Enters the calling thread into its own apartment (one per thread). Every
 * successful call needs a CoUninitialize on the same thread; the last one
 * unloads the libraries whose DllCanUnloadNow allows it. */
WFCOM_EXPORT HRESULT CoInitialize(LPVOID reserved) WF_COM_EXPORTED_AS(CoInitialize);
WFCOM_EXPORT HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit) WF_COM_EXPORTED_AS(CoInitializeEx);
WFCOM_EXPORT void CoUninitialize(void) WF_COM_EXPORTED_AS(CoUninitialize);

/* The class factory (or another interface of the class object) of a
 * registered in-process class: the registry names the library, which is
 * loaded once and asked through DllGetClassObject. */
WFCOM_EXPORT HRESULT CoGetClassObject(REFCLSID rclsid, DWORD clsContext, LPVOID serverInfo, REFIID riid, LPVOID* ppv)
    WF_COM_EXPORTED_AS(CoGetClassObject);
/* Creates one instance of a registered class through its class factory. */
WFCOM_EXPORT HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid, LPVOID* ppv)
    WF_COM_EXPORTED_AS(CoCreateInstance);
/* Unloads the loaded libraries that report DllCanUnloadNow S_OK. */
WFCOM_EXPORT void CoFreeUnusedLibraries(void) WF_COM_EXPORTED_AS(CoFreeUnusedLibraries);

/* The class registered under a ProgID ("Wrenfield515UK.Calc"), or from its
 * braced text form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}". */
WFCOM_EXPORT HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) WF_COM_EXPORTED_AS(CLSIDFromProgID);
WFCOM_EXPORT HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) WF_COM_EXPORTED_AS(CLSIDFromString);
/* Writes the braced text form (39 units with the ending zero); returns the
 * count written, or 0 when the buffer is too small. */
WFCOM_EXPORT int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int size) WF_COM_EXPORTED_AS(StringFromGUID2);

/* The entry points of an in-process server library. */
typedef HRESULT(STDAPICALLTYPE* LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* LPFNCANUNLOADNOW)(void);

WF_COM_END_C

#endif /* WRENFIELD_PLATFORM_COM_WF_COM_H */
